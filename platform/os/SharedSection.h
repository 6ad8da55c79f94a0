#pragma once
// A named memory section shared between processes, with the lifetime of a
// Windows page-file section: it lives while some process holds it.
//
// Linux: POSIX shared memory named "/" + IpcName(name). Every holder keeps a
// shared flock on its own descriptor of the object; a section whose holders
// all died (crash included) has no lock left, is stale, and the next creator
// or opener removes it. The last holder to close removes the name. Create,
// open and close of all processes are serialised by one lock file per user
// and namespace, in the user's runtime folder (UserRuntimeFolder, where no
// other user can create it first), so that these checks never race; an
// operation that leaves its name without a section (the last holder's
// close, a failed create or open) removes it too.
//
// A holder is one open descriptor: a process must not fork without exec
// while it holds a section (the child would share the holder's lock).
//
// The creator's descriptor also keeps a write lock of its own kind (an
// open-file-description record lock on the first byte), which the other
// holders can see without taking anything: it goes with the creator's close
// or death, so a partner tells that the creator has gone (CreatorHolds).

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace platform::os {

enum class SectionCreateResult { Created, AlreadyExists, Failed };

// The POSIX name of a section: "/" + IpcName(name). Any thread.
std::string SectionPosixName(std::string_view name);

class SharedSection {
 public:
  SharedSection() = default;
  ~SharedSection();
  SharedSection(SharedSection&& other) noexcept;
  SharedSection& operator=(SharedSection&& other) noexcept;
  SharedSection(const SharedSection&) = delete;
  SharedSection& operator=(const SharedSection&) = delete;

  // Creates the section with `size` bytes (zero-filled) and maps it whole.
  // AlreadyExists when a live holder has a section of that name (this
  // object stays closed); a stale one is replaced. Failed on size 0 or any
  // system error. Closes what this object held before. Any thread.
  SectionCreateResult Create(std::string_view name, std::size_t size);

  // Maps the whole existing section; false (closed) when there is none, it
  // is stale, or it cannot be mapped. Closes what this object held before.
  bool Open(std::string_view name);

  // Unmaps and releases this holder; the last holder removes the name.
  // Does nothing when closed.
  void Close();

  // True while the process that created the section still holds it (for
  // the creator itself: while it is open); false when closed, or when the
  // creator has closed it or died. Any thread.
  bool CreatorHolds() const;

  bool IsOpen() const { return data_ != nullptr; }
  std::uint8_t* Data() const { return data_; }
  std::size_t Size() const { return size_; }

 private:
  void Reset() noexcept;

  int fd_ = -1;
  std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
  std::string posixName_;
  std::string lockPath_;  // the create/open/close lock of the section's namespace
  bool creator_ = false;  // this holder created the section and keeps its mark
};

}  // namespace platform::os

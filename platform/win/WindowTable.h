#pragma once
// The machine-wide window table: a shared memory segment, named by the IPC
// namespace, that maps every live window handle to its owner (process,
// process start time, thread). It is what makes a handle mean the same
// window in every process of the namespace.
//
// Lifetime: every attached process holds a read lock on the segment; the
// last one to detach (it can take the write lock) removes the name, so a
// clean run leaves nothing in /dev/shm. A process that attaches alone
// finds only dead owners and starts from an empty table. Entries of a
// process that died without detaching are reclaimed when met.

#include "platform/os/Process.h"
#include "platform/win/Messages.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace platform::win {

struct WindowOwner {
  os::ProcessIdentity Process;
  uint32_t ThreadId = 0;
};

// Name of the table, before the IPC namespace scopes it.
inline constexpr std::string_view kWindowTableName = "FerrowickWindows";

class WindowTable {
 public:
  // Slots of the table; a handle is (generation << 13) | slot, so handles
  // stay below 2^31 and a freed slot comes back under a new handle.
  static constexpr uint32_t kCapacity = 8192;

  // Attaches to the segment of that name (created when missing). Attached()
  // tells whether it worked. Bounded: gives up after about two seconds of
  // contention.
  explicit WindowTable(std::string name);
  // Removes this object's process's entries, then detaches; removes the
  // segment when no other holder is left.
  ~WindowTable();
  WindowTable(const WindowTable&) = delete;
  WindowTable& operator=(const WindowTable&) = delete;

  bool Attached() const { return base_ != nullptr; }
  const std::string& Name() const { return name_; }

  // Removes the segment of that name when no process holds it any more (its
  // holders were killed and could not remove it). False when a live process
  // holds it or there is none. Any thread.
  static bool RemoveStale(const std::string& name);

  // A new handle owned by owner; 0 when the table is full of live windows
  // or not attached. Any thread.
  HWND Register(const WindowOwner& owner);
  // Frees the handle when it is registered to that process; false otherwise.
  // Any thread.
  bool Unregister(HWND handle, const os::ProcessIdentity& process);
  // The owner of a live handle. False for 0, an unknown or freed handle, or
  // one whose owning process is gone (its entry is then reclaimed). Any
  // thread.
  bool Lookup(HWND handle, WindowOwner& owner);
  // Frees every entry of that process. Any thread.
  void UnregisterProcess(const os::ProcessIdentity& process);

 private:
  bool Attach();
  bool Initialise();
  void Detach();
  bool Lock();
  void Unlock();

  std::string name_;
  int fd_ = -1;
  unsigned char* base_ = nullptr;
  os::ProcessIdentity self_;
};

}  // namespace platform::win

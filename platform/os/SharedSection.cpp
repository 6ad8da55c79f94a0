#include "platform/os/SharedSection.h"

#include "platform/os/IpcNamespace.h"
#include "platform/os/RuntimeFolder.h"

#include <cerrno>
#include <chrono>
#include <limits>
#include <thread>
#include <utility>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::os {

namespace {

// Longest wait for the create/open/close lock; it is held for microseconds,
// and a holder that dies releases it.
constexpr auto kCriticalLockTimeout = std::chrono::seconds(10);

// The lock file of the namespace, in a folder only this user can create
// files in; "" when there is no such folder.
std::string CriticalLockPath() {
  const std::string folder = UserRuntimeFolder();
  return folder.empty() ? "" : folder + "/" + IpcName("sections.lock");
}

// True when fd is still the file at path (not unlinked or replaced since
// it was opened).
bool StillAtPath(int fd, const std::string& path) {
  struct stat held {}, named {};
  return ::fstat(fd, &held) == 0 && ::lstat(path.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
         held.st_ino == named.st_ino;
}

// Serialises create, open and close of the namespace's sections between
// all processes of the user. Holds an exclusive flock on the lock file
// while it lives. The file may be removed by a holder (Remove); a waiter
// that then gets the lock on the removed file opens the path again.
class CriticalLock {
 public:
  explicit CriticalLock(std::string path) : path_(std::move(path)) {
    if (path_.empty()) return;
    const auto deadline = std::chrono::steady_clock::now() + kCriticalLockTimeout;
    while (!locked_ && std::chrono::steady_clock::now() <= deadline) {
      fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
      if (fd_ < 0) return;
      while (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        if ((errno != EWOULDBLOCK && errno != EINTR) || std::chrono::steady_clock::now() > deadline) {
          Release();
          return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
      if (StillAtPath(fd_, path_)) {
        locked_ = true;
      } else {
        Release();
      }
    }
  }
  ~CriticalLock() { Release(); }
  CriticalLock(const CriticalLock&) = delete;
  CriticalLock& operator=(const CriticalLock&) = delete;
  explicit operator bool() const { return locked_; }

  // Removes the lock file while holding it, so that none is left behind;
  // called last by an operation that leaves its section name free (the
  // next operation makes a new file).
  void Remove() {
    if (locked_) ::unlink(path_.c_str());
  }

 private:
  void Release() {
    if (fd_ >= 0) ::close(fd_);  // closing releases the flock
    fd_ = -1;
    locked_ = false;
  }

  std::string path_;
  int fd_ = -1;
  bool locked_ = false;
};

enum class Existing { Live, Stale, Gone, Error };

// Whether a section of that name has a live holder. Under the critical lock.
Existing ProbeExisting(const std::string& posixName) {
  int fd = ::shm_open(posixName.c_str(), O_RDWR, 0);
  if (fd < 0) return errno == ENOENT ? Existing::Gone : Existing::Error;
  Existing result = Existing::Error;
  if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
    result = Existing::Stale;
  } else if (errno == EWOULDBLOCK) {
    result = Existing::Live;
  }
  ::close(fd);
  return result;
}

// The creator's mark: a record lock of the open file description (not a
// flock, so it never meets the holders' locks), gone when it is closed.
struct flock CreatorMarkRange(short type) {
  struct flock range {};
  range.l_type = type;
  range.l_whence = SEEK_SET;
  range.l_start = 0;
  range.l_len = 1;
  return range;
}

bool MarkCreator(int fd) {
  struct flock range = CreatorMarkRange(F_WRLCK);
  return ::fcntl(fd, F_OFD_SETLK, &range) == 0;
}

void Discard(int fd, const std::string& posixName) {
  ::shm_unlink(posixName.c_str());
  ::close(fd);
}

}  // namespace

std::string SectionPosixName(std::string_view name) { return "/" + IpcName(name); }

SharedSection::~SharedSection() { Close(); }

SharedSection::SharedSection(SharedSection&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      data_(std::exchange(other.data_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      posixName_(std::move(other.posixName_)),
      lockPath_(std::move(other.lockPath_)),
      creator_(std::exchange(other.creator_, false)) {}

SharedSection& SharedSection::operator=(SharedSection&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = std::exchange(other.fd_, -1);
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
    posixName_ = std::move(other.posixName_);
    lockPath_ = std::move(other.lockPath_);
    creator_ = std::exchange(other.creator_, false);
  }
  return *this;
}

void SharedSection::Reset() noexcept {
  fd_ = -1;
  data_ = nullptr;
  size_ = 0;
  posixName_.clear();
  lockPath_.clear();
  creator_ = false;
}

SectionCreateResult SharedSection::Create(std::string_view name, std::size_t size) {
  Close();
  if (size == 0 || size > static_cast<std::size_t>(std::numeric_limits<off_t>::max())) {
    return SectionCreateResult::Failed;
  }
  const std::string posixName = SectionPosixName(name);
  const std::string lockPath = CriticalLockPath();
  CriticalLock lock(lockPath);
  if (!lock) return SectionCreateResult::Failed;

  int fd = -1;
  for (int attempt = 0; attempt < 2 && fd < 0; ++attempt) {
    fd = ::shm_open(posixName.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
    if (fd >= 0) break;
    if (errno != EEXIST) {
      lock.Remove();  // the name stays free
      return SectionCreateResult::Failed;
    }
    switch (ProbeExisting(posixName)) {
      case Existing::Live:
        return SectionCreateResult::AlreadyExists;
      case Existing::Stale:
        ::shm_unlink(posixName.c_str());  // every holder died: replace it
        break;
      case Existing::Gone:
        break;
      case Existing::Error:
        return SectionCreateResult::Failed;
    }
  }
  if (fd < 0) return SectionCreateResult::Failed;

  if (::ftruncate(fd, static_cast<off_t>(size)) != 0 || ::flock(fd, LOCK_SH | LOCK_NB) != 0 || !MarkCreator(fd)) {
    Discard(fd, posixName);
    lock.Remove();
    return SectionCreateResult::Failed;
  }
  void* view = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_POPULATE, fd, 0);
  if (view == MAP_FAILED) {
    Discard(fd, posixName);
    lock.Remove();
    return SectionCreateResult::Failed;
  }
  fd_ = fd;
  data_ = static_cast<std::uint8_t*>(view);
  size_ = size;
  posixName_ = posixName;
  lockPath_ = lockPath;
  creator_ = true;
  return SectionCreateResult::Created;
}

bool SharedSection::Open(std::string_view name) {
  Close();
  const std::string posixName = SectionPosixName(name);
  const std::string lockPath = CriticalLockPath();
  CriticalLock lock(lockPath);
  if (!lock) return false;

  int fd = ::shm_open(posixName.c_str(), O_RDWR, 0);
  if (fd < 0) {
    lock.Remove();  // no section of that name to open
    return false;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
    Discard(fd, posixName);  // no live holder: the section died with them
    lock.Remove();
    return false;
  }
  struct stat info {};
  if (::flock(fd, LOCK_SH | LOCK_NB) != 0 || ::fstat(fd, &info) != 0 || info.st_size <= 0) {
    ::close(fd);
    return false;
  }
  const auto size = static_cast<std::size_t>(info.st_size);
  void* view = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_POPULATE, fd, 0);
  if (view == MAP_FAILED) {
    ::close(fd);
    return false;
  }
  fd_ = fd;
  data_ = static_cast<std::uint8_t*>(view);
  size_ = size;
  posixName_ = posixName;
  lockPath_ = lockPath;
  return true;
}

bool SharedSection::CreatorHolds() const {
  if (fd_ < 0) return false;
  if (creator_) return true;
  struct flock range = CreatorMarkRange(F_RDLCK);
  // A failed question answers "holds": a partner never lets go on doubt.
  if (::fcntl(fd_, F_OFD_GETLK, &range) != 0) return true;
  return range.l_type != F_UNLCK;
}

void SharedSection::Close() {
  if (fd_ < 0) return;
  // The lock of the section's namespace, whatever the namespace is now.
  CriticalLock lock(lockPath_);
  if (data_ != nullptr) ::munmap(data_, size_);
  // Our shared lock is given up by the attempt; closing follows anyway.
  // Without the critical lock the name is left for the next creator, which
  // finds it stale.
  const bool last = lock && ::flock(fd_, LOCK_EX | LOCK_NB) == 0;
  if (last) ::shm_unlink(posixName_.c_str());
  ::close(fd_);
  Reset();
  // Last of all: once the file is gone, another process may lock a new one.
  if (last) lock.Remove();
}

}  // namespace platform::os

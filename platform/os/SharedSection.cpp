#include "platform/os/SharedSection.h"

#include "platform/os/IpcNamespace.h"

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

std::string CriticalLockPath() {
  return "/tmp/ferrowick-sections-" + std::to_string(::getuid()) + ".lock";
}

// Serialises create, open and close of sections between all processes of
// the user. Holds an exclusive flock on the lock file while it lives.
class CriticalLock {
 public:
  CriticalLock() {
    fd_ = ::open(CriticalLockPath().c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ < 0) return;
    const auto deadline = std::chrono::steady_clock::now() + kCriticalLockTimeout;
    while (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
      if ((errno != EWOULDBLOCK && errno != EINTR) ||
          std::chrono::steady_clock::now() > deadline) {
        ::close(fd_);
        fd_ = -1;
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    locked_ = true;
  }
  ~CriticalLock() {
    if (fd_ >= 0) ::close(fd_);  // closing releases the flock
  }
  CriticalLock(const CriticalLock&) = delete;
  CriticalLock& operator=(const CriticalLock&) = delete;
  explicit operator bool() const { return locked_; }

 private:
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
      posixName_(std::move(other.posixName_)) {}

SharedSection& SharedSection::operator=(SharedSection&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = std::exchange(other.fd_, -1);
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
    posixName_ = std::move(other.posixName_);
  }
  return *this;
}

void SharedSection::Reset() noexcept {
  fd_ = -1;
  data_ = nullptr;
  size_ = 0;
  posixName_.clear();
}

SectionCreateResult SharedSection::Create(std::string_view name, std::size_t size) {
  Close();
  if (size == 0 || size > static_cast<std::size_t>(std::numeric_limits<off_t>::max())) {
    return SectionCreateResult::Failed;
  }
  const std::string posixName = SectionPosixName(name);
  CriticalLock lock;
  if (!lock) return SectionCreateResult::Failed;

  int fd = -1;
  for (int attempt = 0; attempt < 2 && fd < 0; ++attempt) {
    fd = ::shm_open(posixName.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
    if (fd >= 0) break;
    if (errno != EEXIST) return SectionCreateResult::Failed;
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

  if (::ftruncate(fd, static_cast<off_t>(size)) != 0 || ::flock(fd, LOCK_SH | LOCK_NB) != 0) {
    Discard(fd, posixName);
    return SectionCreateResult::Failed;
  }
  void* view = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  if (view == MAP_FAILED) {
    Discard(fd, posixName);
    return SectionCreateResult::Failed;
  }
  fd_ = fd;
  data_ = static_cast<std::uint8_t*>(view);
  size_ = size;
  posixName_ = posixName;
  return SectionCreateResult::Created;
}

bool SharedSection::Open(std::string_view name) {
  Close();
  const std::string posixName = SectionPosixName(name);
  CriticalLock lock;
  if (!lock) return false;

  int fd = ::shm_open(posixName.c_str(), O_RDWR, 0);
  if (fd < 0) return false;
  if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
    Discard(fd, posixName);  // no live holder: the section died with them
    return false;
  }
  struct stat info {};
  if (::flock(fd, LOCK_SH | LOCK_NB) != 0 || ::fstat(fd, &info) != 0 || info.st_size <= 0) {
    ::close(fd);
    return false;
  }
  const auto size = static_cast<std::size_t>(info.st_size);
  void* view = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  if (view == MAP_FAILED) {
    ::close(fd);
    return false;
  }
  fd_ = fd;
  data_ = static_cast<std::uint8_t*>(view);
  size_ = size;
  posixName_ = posixName;
  return true;
}

void SharedSection::Close() {
  if (fd_ < 0) return;
  CriticalLock lock;
  if (data_ != nullptr) ::munmap(data_, size_);
  // Our shared lock is given up by the attempt; closing follows anyway.
  // Without the critical lock the name is left for the next creator, which
  // finds it stale.
  if (lock && ::flock(fd_, LOCK_EX | LOCK_NB) == 0) ::shm_unlink(posixName_.c_str());
  ::close(fd_);
  Reset();
}

}  // namespace platform::os

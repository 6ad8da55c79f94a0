#include "platform/win/WindowTable.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

namespace platform::win {
namespace {

constexpr uint32_t kMagic = 0x4E445746;  // "FWDN"
constexpr uint32_t kSlotBits = 13;
constexpr uint32_t kMaxGeneration = (1u << (31 - kSlotBits)) - 1;
static_assert((1u << kSlotBits) == WindowTable::kCapacity);

struct TableHeader {
  uint32_t Magic;
  uint32_t Capacity;
  uint32_t NextSlot;
  uint32_t Reserved;
  pthread_mutex_t Mutex;  // process-shared, robust
  unsigned char Pad[64 - sizeof(pthread_mutex_t)];
};
static_assert(sizeof(pthread_mutex_t) <= 64);
static_assert(sizeof(TableHeader) == 80);

struct TableSlot {
  uint32_t Handle;  // 0 = free
  uint32_t Pid;
  uint64_t StartTime;
  uint32_t ThreadId;
  uint32_t Generation;  // last generation handed out from this slot
};
static_assert(sizeof(TableSlot) == 24);

constexpr size_t kSegmentSize = sizeof(TableHeader) + sizeof(TableSlot) * WindowTable::kCapacity;

TableHeader* Header(unsigned char* base) { return reinterpret_cast<TableHeader*>(base); }
TableSlot* Slots(unsigned char* base) {
  return reinterpret_cast<TableSlot*>(base + sizeof(TableHeader));
}

// Open-file-description locks on byte 0: they belong to this attachment
// (not to the process), and converting read <-> write is atomic.
bool SetLock(int fd, short type) {
  struct flock lock {};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  lock.l_start = 0;
  lock.l_len = 1;
  return ::fcntl(fd, F_OFD_SETLK, &lock) == 0;
}

// The name still refers to the segment this descriptor has open.
bool SameSegment(int fd, const std::string& name) {
  struct stat opened {};
  struct stat named {};
  if (::fstat(fd, &opened) != 0) return false;
  const std::string path = "/dev/shm/" + name;
  if (::stat(path.c_str(), &named) != 0) return false;
  return opened.st_ino == named.st_ino && opened.st_dev == named.st_dev;
}

std::string SegmentName(const std::string& name) { return "/" + name; }

}  // namespace

WindowTable::WindowTable(std::string name) : name_(std::move(name)) {
  self_.Pid = os::GetCurrentProcessId();
  self_.StartTime = os::ProcessStartTime(self_.Pid);
  Attach();
}

WindowTable::~WindowTable() {
  if (!Attached()) return;
  UnregisterProcess(self_);
  Detach();
}

bool WindowTable::Attach() {
  if (name_.empty() || name_.find('/') != std::string::npos) return false;
  for (int attempt = 0; attempt < 2000; ++attempt) {
    const int fd = ::shm_open(SegmentName(name_).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    fd_ = fd;
    if (SetLock(fd, F_WRLCK)) {
      // Alone: whatever the segment holds belongs to dead processes.
      const bool same = SameSegment(fd, name_);
      if (same && Initialise() && SetLock(fd, F_RDLCK)) return true;
      if (base_) ::munmap(base_, kSegmentSize);
      base_ = nullptr;
      if (same) ::shm_unlink(SegmentName(name_).c_str());
    } else if (SetLock(fd, F_RDLCK)) {
      // Others hold it; a segment being removed has lost its name.
      if (SameSegment(fd, name_)) {
        struct stat st {};
        if (::fstat(fd, &st) == 0 && static_cast<size_t>(st.st_size) == kSegmentSize) {
          void* map = ::mmap(nullptr, kSegmentSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
          if (map != MAP_FAILED) {
            base_ = static_cast<unsigned char*>(map);
            if (Header(base_)->Magic == kMagic && Header(base_)->Capacity == kCapacity) return true;
            ::munmap(base_, kSegmentSize);
            base_ = nullptr;
          }
        }
      }
    }
    ::close(fd);
    fd_ = -1;
    // A holder is initialising or removing the segment: short and bounded.
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return false;
}

// Called with the write lock held: nobody else is attached.
bool WindowTable::Initialise() {
  if (::ftruncate(fd_, static_cast<off_t>(kSegmentSize)) != 0) return false;
  void* map = ::mmap(nullptr, kSegmentSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd_, 0);
  if (map == MAP_FAILED) return false;
  base_ = static_cast<unsigned char*>(map);
  std::memset(base_, 0, kSegmentSize);
  TableHeader* header = Header(base_);
  pthread_mutexattr_t attr;
  pthread_mutexattr_init(&attr);
  pthread_mutexattr_setpshared(&attr, PTHREAD_PROCESS_SHARED);
  pthread_mutexattr_setrobust(&attr, PTHREAD_MUTEX_ROBUST);
  const bool ok = pthread_mutex_init(&header->Mutex, &attr) == 0;
  pthread_mutexattr_destroy(&attr);
  if (!ok) {
    ::munmap(base_, kSegmentSize);
    base_ = nullptr;
    return false;
  }
  header->Capacity = kCapacity;
  header->Magic = kMagic;
  return true;
}

bool WindowTable::RemoveStale(const std::string& name) {
  if (name.empty() || name.find('/') != std::string::npos) return false;
  const int fd = ::shm_open(SegmentName(name).c_str(), O_RDWR | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  // Every holder keeps a read lock on its own description: the write lock is
  // ours only when nobody is left. Removed under the lock, so nobody can
  // attach in between.
  const bool removed = SetLock(fd, F_WRLCK) && SameSegment(fd, name) && ::shm_unlink(SegmentName(name).c_str()) == 0;
  ::close(fd);
  return removed;
}

void WindowTable::Detach() {
  // The last holder (the only one that can take the write lock) removes the
  // name while still holding the lock, so nobody can attach in between.
  if (SetLock(fd_, F_WRLCK) && SameSegment(fd_, name_)) ::shm_unlink(SegmentName(name_).c_str());
  ::munmap(base_, kSegmentSize);
  base_ = nullptr;
  ::close(fd_);
  fd_ = -1;
}

bool WindowTable::Lock() {
  const int rc = pthread_mutex_lock(&Header(base_)->Mutex);
  if (rc == EOWNERDEAD) {
    // A holder died inside; every update below leaves the slots valid.
    pthread_mutex_consistent(&Header(base_)->Mutex);
    return true;
  }
  return rc == 0;
}

void WindowTable::Unlock() { pthread_mutex_unlock(&Header(base_)->Mutex); }

HWND WindowTable::Register(const WindowOwner& owner) {
  if (!Attached() || !Lock()) return 0;
  TableHeader* header = Header(base_);
  TableSlot* slots = Slots(base_);
  const uint32_t start = header->NextSlot % kCapacity;
  int64_t found = -1;
  for (uint32_t n = 0; n < kCapacity && found < 0; ++n) {
    const uint32_t index = (start + n) % kCapacity;
    if (slots[index].Handle == 0) found = index;
  }
  // Full: reclaim a slot of a process that is gone.
  for (uint32_t index = 0; index < kCapacity && found < 0; ++index) {
    const TableSlot& slot = slots[index];
    if (!os::IsProcessAlive(os::ProcessIdentity{slot.Pid, slot.StartTime})) found = index;
  }
  HWND handle = 0;
  if (found >= 0) {
    const uint32_t index = static_cast<uint32_t>(found);
    TableSlot& slot = slots[index];
    uint32_t generation = slot.Generation + 1;
    if (generation > kMaxGeneration) generation = 1;
    slot.Handle = 0;
    slot.Pid = owner.Process.Pid;
    slot.StartTime = owner.Process.StartTime;
    slot.ThreadId = owner.ThreadId;
    slot.Generation = generation;
    handle = (generation << kSlotBits) | index;
    slot.Handle = handle;  // written last: a dead writer leaves a free slot
    header->NextSlot = (index + 1) % kCapacity;
  }
  Unlock();
  return handle;
}

bool WindowTable::Unregister(HWND handle, const os::ProcessIdentity& process) {
  if (!Attached() || handle == 0 || !Lock()) return false;
  TableSlot& slot = Slots(base_)[handle % kCapacity];
  const bool mine = slot.Handle == handle && slot.Pid == process.Pid &&
                    slot.StartTime == process.StartTime;
  if (mine) slot.Handle = 0;
  Unlock();
  return mine;
}

bool WindowTable::Lookup(HWND handle, WindowOwner& owner) {
  if (!Attached() || handle == 0 || !Lock()) return false;
  const TableSlot& slot = Slots(base_)[handle % kCapacity];
  const bool found = slot.Handle == handle;
  if (found) owner = {{slot.Pid, slot.StartTime}, slot.ThreadId};
  Unlock();
  if (!found) return false;
  if (owner.Process.Pid == self_.Pid && owner.Process.StartTime == self_.StartTime) return true;
  if (os::IsProcessAlive(owner.Process)) return true;
  Unregister(handle, owner.Process);  // the owner died without detaching
  return false;
}

void WindowTable::UnregisterProcess(const os::ProcessIdentity& process) {
  if (!Attached() || !Lock()) return;
  TableSlot* slots = Slots(base_);
  for (uint32_t index = 0; index < kCapacity; ++index) {
    if (slots[index].Handle != 0 && slots[index].Pid == process.Pid &&
        slots[index].StartTime == process.StartTime) {
      slots[index].Handle = 0;
    }
  }
  Unlock();
}

}  // namespace platform::win

#include "peers/opcsim/Stamps.h"

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>

namespace opcsim {

StampFile& StampFile::Instance() {
  static StampFile file;
  return file;
}

StampFile::StampFile() {
  const char* path = std::getenv("FERROWICK_OPCSIM_STAMPS");
  if (path != nullptr && *path != '\0') fd_ = ::open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
}

StampFile::~StampFile() {
  if (fd_ >= 0) ::close(fd_);
}

void StampFile::Record(StampKind kind, std::uint32_t count, double value) {
  if (fd_ < 0) return;
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  const StampRecord record{static_cast<std::uint32_t>(kind), count,
                           std::chrono::duration_cast<std::chrono::nanoseconds>(now).count(), value};
  std::lock_guard guard(lock_);
  // O_APPEND keeps records of other processes whole; a short write is lost.
  [[maybe_unused]] const ssize_t written = ::write(fd_, &record, sizeof record);
}

}  // namespace opcsim

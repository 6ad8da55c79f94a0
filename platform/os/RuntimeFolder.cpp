#include "platform/os/RuntimeFolder.h"

#include <cerrno>
#include <cstdlib>
#include <vector>

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::os {

namespace {

constexpr const char* kFolderName = "ferrowick";

// A directory of this user (links followed) whose mode has none of the
// bits in `forbidden`.
bool OwnDirectory(const std::string& path, mode_t forbidden) {
  struct stat info {};
  return !path.empty() && path.front() == '/' && ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
         info.st_uid == ::geteuid() && (info.st_mode & forbidden) == 0;
}

// Creates path (mode 0700) when missing and answers whether it is a
// directory, not a link, of this user with no access for group or others.
bool PrivateFolder(const std::string& path) {
  if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return false;
  const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat info {};
  const bool ok = ::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::geteuid() &&
                  (info.st_mode & 077) == 0;
  ::close(fd);
  return ok;
}

std::string HomeFolder() {
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return home;
  std::vector<char> buffer(16384);
  passwd entry {};
  passwd* found = nullptr;
  if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr) return "";
  return found->pw_dir != nullptr ? found->pw_dir : "";
}

std::string FromRuntimeDir() {
  const char* base = std::getenv("XDG_RUNTIME_DIR");
  if (base == nullptr || !OwnDirectory(base, 077)) return "";
  const std::string folder = std::string(base) + "/" + kFolderName;
  return PrivateFolder(folder) ? folder : "";
}

std::string FromHome() {
  const std::string home = HomeFolder();
  if (!OwnDirectory(home, 022)) return "";
  const std::string cache = home + "/.cache";
  if (::mkdir(cache.c_str(), 0700) != 0 && errno != EEXIST) return "";
  if (!OwnDirectory(cache, 022)) return "";
  const std::string folder = cache + "/" + kFolderName;
  return PrivateFolder(folder) ? folder : "";
}

std::string FromTemp() {
  const std::string folder = "/tmp/" + std::string(kFolderName) + "-" + std::to_string(::geteuid());
  return PrivateFolder(folder) ? folder : "";
}

}  // namespace

std::string UserRuntimeFolder() {
  for (std::string (*candidate)() : {FromRuntimeDir, FromHome, FromTemp}) {
    std::string folder = candidate();
    if (!folder.empty()) return folder;
  }
  return "";
}

}  // namespace platform::os

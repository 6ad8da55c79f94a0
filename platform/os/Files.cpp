#include "platform/os/Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>
#include <vector>

namespace platform::os {

namespace {

// Start of the last path element.
size_t NameStart(std::string_view path) {
  const size_t slash = path.rfind(PathDelim);
  return slash == std::string_view::npos ? 0 : slash + 1;
}

// Position of the extension's dot within the last element, or npos.
size_t ExtStart(std::string_view path) {
  const size_t dot = path.rfind('.');
  if (dot == std::string_view::npos || dot < NameStart(path)) return std::string_view::npos;
  return dot;
}

}  // namespace

bool FileExists(const std::string& path) {
  struct stat st{};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool SameFile(const std::string& a, const std::string& b) {
  if (a == b) return true;
  struct stat sa{};
  struct stat sb{};
  if (a.empty() || b.empty() || ::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

bool DeleteFile(const std::string& path) {
  struct stat st{};
  if (path.empty() || ::lstat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
  return ::unlink(path.c_str()) == 0;
}

bool CopyFile(const std::string& src, const std::string& dst, bool overwrite) {
  if (!FileExists(src) || dst.empty()) return false;
  struct stat st{};
  if (::stat(dst.c_str(), &st) == 0) {
    if (!overwrite || !S_ISREG(st.st_mode)) return false;
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return false;  // read-only
  }
  std::error_code ec;
  const auto option = overwrite ? std::filesystem::copy_options::overwrite_existing
                                : std::filesystem::copy_options::none;
  return std::filesystem::copy_file(src, dst, option, ec) && !ec;
}

std::string ExtractFileExt(std::string_view path) {
  const size_t dot = ExtStart(path);
  return dot == std::string_view::npos ? std::string() : std::string(path.substr(dot));
}

std::string ChangeFileExt(std::string_view path, std::string_view ext) {
  const size_t dot = ExtStart(path);
  std::string result(path.substr(0, dot == std::string_view::npos ? path.size() : dot));
  result += ext;
  return result;
}

std::string ExtractFilePath(std::string_view path) {
  return std::string(path.substr(0, NameStart(path)));
}

std::string ExtractFileName(std::string_view path) {
  return std::string(path.substr(NameStart(path)));
}

std::string IncludeTrailingPathDelimiter(std::string_view path) {
  std::string result(path);
  if (!result.empty() && result.back() != PathDelim) result += PathDelim;
  return result;
}

std::string ProgramPath() {
  std::vector<char> buffer(4096);
  for (int attempt = 0; attempt < 4; ++attempt) {
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n < 0) return std::string();
    if (static_cast<size_t>(n) < buffer.size()) return std::string(buffer.data(), n);
    buffer.resize(buffer.size() * 2);
  }
  return std::string();
}

bool ReadFileBytes(const std::string& path, std::string& bytes) {
  bytes.clear();
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  if (::fstat(fd, &st) == 0 && st.st_size > 0) bytes.reserve(static_cast<std::size_t>(st.st_size));
  char buffer[65536];
  bool ok = true;
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ok = false;
    if (n <= 0) break;
    bytes.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return ok;
}

bool AppendLine(const std::string& path, std::string_view line) {
  if (path.empty()) return false;
  const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  std::string data(line);
  data += "\r\n";
  std::string_view rest(data);
  off_t start = -1;  // where the entry's first bytes went
  bool written = true;
  while (written && !rest.empty()) {
    const ssize_t n = ::write(fd, rest.data(), rest.size());
    if (n < 0 && errno == EINTR) continue;
    written = n > 0;
    if (!written) break;
    if (start < 0) start = ::lseek(fd, 0, SEEK_CUR) - n;
    rest.remove_prefix(static_cast<size_t>(n));
  }
  // A short write (full disk, size limit) leaves no part of the entry for
  // the next one to follow.
  if (!written && start >= 0) (void)!::ftruncate(fd, start);
  const bool closed = ::close(fd) == 0;
  return written && closed;
}

}  // namespace platform::os

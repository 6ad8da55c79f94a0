#include "platform/os/IniFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <optional>
#include <vector>

#include "platform/os/Convert.h"
#include "platform/os/Files.h"
#include "platform/os/Text.h"

namespace platform::os {

namespace {

// Larger files are refused rather than read into memory.
constexpr off_t kMaxFileSize = 16 * 1024 * 1024;
// A change waits at most this long for another writer of the folder.
constexpr uint32_t kLockWaitMs = 5000;

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// Trims the blanks of the profile format only, so that other control bytes
// (ESC in the system's settings lines) survive even at a value's ends.
std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

enum class LineKind { Section, Key, Other };

struct ParsedLine {
  LineKind kind = LineKind::Other;
  std::string_view name;   // section or key
  std::string_view value;  // key lines only
};

ParsedLine Parse(std::string_view line) {
  const std::string_view s = TrimBlanks(line);
  ParsedLine parsed;
  if (s.empty() || s.front() == ';') return parsed;
  if (s.front() == '[') {
    const size_t close = s.find(']');
    parsed.kind = LineKind::Section;
    parsed.name = TrimBlanks(s.substr(1, close == std::string_view::npos ? s.size() - 1 : close - 1));
    return parsed;
  }
  const size_t eq = s.find('=');
  if (eq == std::string_view::npos) return parsed;
  parsed.kind = LineKind::Key;
  parsed.name = TrimBlanks(s.substr(0, eq));
  parsed.value = TrimBlanks(s.substr(eq + 1));
  return parsed;
}

enum class ReadResult { Ok, Missing, Failed };

ReadResult ReadLines(const std::string& path, std::vector<std::string>& lines) {
  lines.clear();
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT ? ReadResult::Missing : ReadResult::Failed;
  struct stat st{};
  std::string data;
  bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= kMaxFileSize;
  while (ok) {
    char buffer[65536];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = n == 0;
      break;
    }
    data.append(buffer, static_cast<size_t>(n));
    ok = data.size() <= static_cast<size_t>(kMaxFileSize);
  }
  ::close(fd);
  if (!ok) return ReadResult::Failed;
  size_t start = 0;
  while (start < data.size()) {
    size_t end = data.find('\n', start);
    if (end == std::string::npos) end = data.size();
    size_t stop = end;
    if (stop > start && data[stop - 1] == '\r') --stop;
    lines.emplace_back(data, start, stop - start);
    start = end + 1;
  }
  return ReadResult::Ok;
}

// Lines of the file for reading: a file that cannot be read reads as empty.
std::vector<std::string> LinesForRead(const std::string& path) {
  std::vector<std::string> lines;
  if (ReadLines(path, lines) != ReadResult::Ok) lines.clear();
  return lines;
}

// Lines of the file for a change: a missing file is empty, an unreadable
// one refuses the change so that nothing is lost.
std::vector<std::string> LinesForWrite(const std::string& path) {
  std::vector<std::string> lines;
  if (ReadLines(path, lines) == ReadResult::Failed)
    throw EIniFileException("cannot read settings file " + path);
  return lines;
}

bool WriteAll(int fd, const std::string& data) {
  size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// The file a change replaces: the target of a link, so that the link stays.
std::string ResolveTarget(const std::string& path) {
  std::string target = path;
  if (char* real = ::realpath(path.c_str(), nullptr)) {
    target = real;
    std::free(real);
  }
  return target;
}

// Puts the folder's entries on disk (the rename). The file is replaced by
// then, so a failure here is not reported: the change did happen.
void SyncFolderOf(const std::string& path) {
  std::string folder = ExtractFilePath(path);
  if (folder.empty()) folder = ".";
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  (void)::fsync(fd);
  ::close(fd);
}

// Replaces the file as a whole (temporary file, then rename), so that a
// reader in another process sees either the old or the new contents.
void SaveLines(const std::string& path, const std::vector<std::string>& lines) {
  const std::string target = ResolveTarget(path);
  struct stat st{};
  const bool existed = ::stat(target.c_str(), &st) == 0;
  const mode_t mode = existed ? st.st_mode & 07777 : 0644;

  std::string data;
  for (const std::string& line : lines) {
    data += line;
    data += "\r\n";
  }
  std::string temp = target + ".XXXXXX";
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) throw EIniFileException("cannot write settings file " + path);
  // Keeping the owner works only with the right to give files away; the
  // rewritten file then belongs to the writer, as a new file would.
  if (existed && ::fchown(fd, st.st_uid, st.st_gid) != 0) {
  }
  // On disk before it replaces the old file, so that a power cut leaves
  // one of the two whole.
  const bool written = WriteAll(fd, data) && ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
  const bool closed = ::close(fd) == 0;
  if (!written || !closed || ::rename(temp.c_str(), target.c_str()) != 0) {
    ::unlink(temp.c_str());
    throw EIniFileException("cannot write settings file " + path);
  }
  SyncFolderOf(target);
}

// Serialises read-modify-write cycles of all writers (threads and
// processes) of settings files in one folder. The lock sits on the folder
// because each change replaces the file itself.
class WriteLock {
 public:
  explicit WriteLock(const std::string& path) {
    std::string folder = ExtractFilePath(ResolveTarget(path));
    if (folder.empty()) folder = ".";
    fd_ = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd_ < 0) throw EIniFileException("cannot write settings file " + path);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kLockWaitMs);
    while (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
      if ((errno != EWOULDBLOCK && errno != EINTR) || std::chrono::steady_clock::now() > deadline) {
        ::close(fd_);
        throw EIniFileException("settings file is busy: " + path);
      }
      ::usleep(1000);
    }
  }
  ~WriteLock() { ::close(fd_); }  // closing releases the lock
  WriteLock(const WriteLock&) = delete;
  WriteLock& operator=(const WriteLock&) = delete;

 private:
  int fd_ = -1;
};

bool HasLineBreak(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

void CheckSection(std::string_view section) {
  if (section.empty() || HasLineBreak(section) || section.find(']') != std::string_view::npos)
    throw EIniFileException("invalid section name \"" + std::string(section) + "\"");
}

void CheckKey(std::string_view key) {
  if (key.empty() || HasLineBreak(key) || key.find('=') != std::string_view::npos ||
      key.front() == ';' || key.front() == '[')
    throw EIniFileException("invalid key name \"" + std::string(key) + "\"");
}

void CheckValue(std::string_view key, std::string_view value) {
  if (HasLineBreak(value)) throw EIniFileException("value of \"" + std::string(key) + "\" holds a line break");
}

// Removes every occurrence of the section with all its lines; true when
// there was one.
bool RemoveSection(std::vector<std::string>& lines, std::string_view section) {
  std::vector<std::string> kept;
  kept.reserve(lines.size());
  bool inSection = false;
  bool removed = false;
  for (std::string& line : lines) {
    const ParsedLine parsed = Parse(line);
    if (parsed.kind == LineKind::Section) inSection = SameText(parsed.name, section);
    if (inSection) removed = true;
    else kept.push_back(std::move(line));
  }
  lines = std::move(kept);
  return removed;
}

// Index of the first line holding key in a section named section.
std::optional<size_t> FindKey(const std::vector<std::string>& lines, std::string_view section,
                              std::string_view key) {
  bool inSection = false;
  for (size_t i = 0; i < lines.size(); ++i) {
    const ParsedLine parsed = Parse(lines[i]);
    if (parsed.kind == LineKind::Section) inSection = SameText(parsed.name, section);
    else if (inSection && parsed.kind == LineKind::Key && SameText(parsed.name, key)) return i;
  }
  return std::nullopt;
}

// Where a new key of section goes: after the last non-blank line of the
// section's first occurrence; nullopt when the section is missing.
std::optional<size_t> InsertPoint(const std::vector<std::string>& lines,
                                  std::string_view section) {
  std::optional<size_t> point;
  for (size_t i = 0; i < lines.size(); ++i) {
    const ParsedLine parsed = Parse(lines[i]);
    if (parsed.kind == LineKind::Section) {
      if (point) break;
      if (SameText(parsed.name, section)) point = i + 1;
    } else if (point && !TrimBlanks(lines[i]).empty()) {
      point = i + 1;
    }
  }
  return point;
}

}  // namespace

TIniFile::TIniFile(std::string fileName) : fileName_(std::move(fileName)) {}

std::string TIniFile::ReadString(std::string_view section, std::string_view key,
                                 std::string_view def) const {
  const std::vector<std::string> lines = LinesForRead(fileName_);
  const auto at = FindKey(lines, TrimBlanks(section), TrimBlanks(key));
  if (!at) return std::string(def);
  return std::string(Parse(lines[*at]).value);
}

int32_t TIniFile::ReadInteger(std::string_view section, std::string_view key, int32_t def) const {
  int32_t value = 0;
  return TryStrToInt(ReadString(section, key, ""), value) ? value : def;
}

bool TIniFile::ReadBool(std::string_view section, std::string_view key, bool def) const {
  return ReadInteger(section, key, def ? 1 : 0) != 0;
}

void TIniFile::WriteString(std::string_view section, std::string_view key,
                           std::string_view value) {
  section = TrimBlanks(section);
  key = TrimBlanks(key);
  CheckSection(section);
  CheckKey(key);
  CheckValue(key, value);

  const WriteLock lock(fileName_);
  std::vector<std::string> lines = LinesForWrite(fileName_);
  std::string entry;
  if (const auto at = FindKey(lines, section, key)) {
    entry = std::string(Parse(lines[*at]).name);  // keep the key as the file spells it
    entry += '=';
    entry += value;
    lines[*at] = std::move(entry);
  } else {
    entry = std::string(key) + "=" + std::string(value);
    if (const auto point = InsertPoint(lines, section)) {
      lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(*point), std::move(entry));
    } else {
      if (!lines.empty() && !TrimBlanks(lines.back()).empty()) lines.emplace_back();
      lines.push_back("[" + std::string(section) + "]");
      lines.push_back(std::move(entry));
    }
  }
  SaveLines(fileName_, lines);
}

void TIniFile::WriteInteger(std::string_view section, std::string_view key, int32_t value) {
  WriteString(section, key, IntToStr(value));
}

void TIniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

bool TIniFile::SectionExists(std::string_view section) const {
  section = TrimBlanks(section);
  bool inSection = false;
  for (const std::string& line : LinesForRead(fileName_)) {
    const ParsedLine parsed = Parse(line);
    if (parsed.kind == LineKind::Section) inSection = SameText(parsed.name, section);
    else if (inSection && parsed.kind == LineKind::Key) return true;
  }
  return false;
}

bool TIniFile::ValueExists(std::string_view section, std::string_view key) const {
  return FindKey(LinesForRead(fileName_), TrimBlanks(section), TrimBlanks(key)).has_value();
}

void TIniFile::EraseSection(std::string_view section) {
  section = TrimBlanks(section);
  const WriteLock lock(fileName_);
  std::vector<std::string> lines = LinesForWrite(fileName_);
  if (RemoveSection(lines, section)) SaveLines(fileName_, lines);
}

void TIniFile::ReplaceSection(std::string_view section, const std::vector<TEntry>& entries) {
  section = TrimBlanks(section);
  CheckSection(section);
  std::vector<std::string> block{"[" + std::string(section) + "]"};
  for (const TEntry& entry : entries) {
    const std::string_view key = TrimBlanks(entry.Key);
    CheckKey(key);
    CheckValue(key, entry.Value);
    block.push_back(std::string(key) + "=" + entry.Value);
  }

  const WriteLock lock(fileName_);
  std::vector<std::string> lines = LinesForWrite(fileName_);
  const bool removed = RemoveSection(lines, section);
  if (entries.empty()) {  // a section without keys does not exist
    if (removed) SaveLines(fileName_, lines);
    return;
  }
  if (!lines.empty() && !TrimBlanks(lines.back()).empty()) lines.emplace_back();
  lines.insert(lines.end(), block.begin(), block.end());
  SaveLines(fileName_, lines);
}

}  // namespace platform::os

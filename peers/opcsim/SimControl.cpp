#include "peers/opcsim/SimControl.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>

#include "platform/com/RegistryStore.h"

namespace opcsim {

namespace {

constexpr off_t kMaxJournal = off_t{64} << 20;
constexpr std::size_t kMaxCommandLine = 8192;

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

bool EnsureFolder(const std::string& folder) {
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  return std::filesystem::is_directory(folder, ec);
}

// Appends `text` with one write under an exclusive lock of the file.
bool AppendLocked(const std::string& path, std::string_view text, off_t limit) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  bool ok = false;
  if (::flock(fd, LOCK_EX) == 0) {
    struct stat st {};
    if (::fstat(fd, &st) == 0 && (limit == 0 || st.st_size + static_cast<off_t>(text.size()) <= limit))
      ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ::flock(fd, LOCK_UN);
  }
  ::close(fd);
  return ok;
}

// Journals kept open, one descriptor per file for the whole process: a
// client adds thousands of items in a row, each journaled. A file that was
// removed (its folder removed by RemoveControl) is opened anew.
class JournalFiles {
 public:
  static JournalFiles& Instance() {
    static JournalFiles files;
    return files;
  }
  ~JournalFiles() {
    for (const auto& [path, fd] : open_) ::close(fd);
  }
  JournalFiles(const JournalFiles&) = delete;
  JournalFiles& operator=(const JournalFiles&) = delete;

  // Appends text with one write while the file stays below limit (0: no
  // limit). One write in append mode lands whole at the end whoever else
  // appends, so no lock keeps the lines of several processes apart.
  bool Append(const std::string& folder, const std::string& path, std::string_view text, off_t limit) {
    std::lock_guard lock(mutex_);
    for (int attempt = 0; attempt < 2; ++attempt) {
      const int fd = Descriptor(folder, path);
      if (fd < 0) return false;
      // Link count and size only: asking for the file's times would make
      // every later write store a fine-grained modification time.
      struct statx st {};
      if (::statx(fd, "", AT_EMPTY_PATH, STATX_NLINK | STATX_SIZE, &st) != 0) return false;
      if (st.stx_nlink != 0) {
        if (limit != 0 && static_cast<off_t>(st.stx_size) + static_cast<off_t>(text.size()) > limit) return false;
        return ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
      }
      ::close(fd);
      open_.erase(path);
    }
    return false;
  }

 private:
  JournalFiles() = default;
  int Descriptor(const std::string& folder, const std::string& path) {
    const auto found = open_.find(path);
    if (found != open_.end()) return found->second;
    if (!EnsureFolder(folder)) return -1;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd >= 0) open_.emplace(path, fd);
    return fd;
  }

  std::mutex mutex_;
  std::map<std::string, int> open_;
};

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

bool ValidProgId(std::string_view progId) {
  if (progId.empty() || progId.size() > 200 || progId[0] == '.') return false;
  for (char c : progId) {
    bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
              c == '_' || c == '-';
    if (!ok) return false;
  }
  return true;
}

std::string ControlFolder(std::string_view progId) {
  return platform::com::RegistryDirectory() + "/opcsim/" + Lower(progId);
}

bool ValidFault(std::string_view what) {
  static const char* const kPlain[] = {"container", "shutdownpoint", "shutdownadvise", "addgroup",
                                       "callbackpoint", "advise", "write", "badstream", "status",
                                       "novendor"};
  for (const char* name : kPlain)
    if (what == name) return true;
  for (std::string_view prefix : {std::string_view("additem:"), std::string_view("write:")})
    if (what.size() > prefix.size() && what.substr(0, prefix.size()) == prefix) return true;
  return false;
}

bool AppendCommand(std::string_view progId, std::string_view line) {
  if (line.size() > kMaxCommandLine || line.find('\n') != std::string_view::npos) return false;
  std::string folder = ControlFolder(progId);
  if (!EnsureFolder(folder)) return false;
  return AppendLocked(folder + "/commands", std::string(line) + "\n", 0);
}

bool SetFault(std::string_view progId, std::string_view what, bool on) {
  std::string folder = ControlFolder(progId);
  if (!EnsureFolder(folder)) return false;
  std::string path = folder + "/faults";
  int lock = ::open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (lock < 0 || ::flock(lock, LOCK_EX) != 0) {
    if (lock >= 0) ::close(lock);
    return false;
  }
  std::set<std::string> faults;
  std::istringstream in(ReadAll(path));
  for (std::string line; std::getline(in, line);)
    if (!line.empty()) faults.insert(line);
  if (on) faults.insert(std::string(what));
  else faults.erase(std::string(what));
  std::string text;
  for (const auto& f : faults) text += f + "\n";
  std::string temp = path + ".tmp" + std::to_string(::getpid());
  bool ok = false;
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out << text;
    ok = static_cast<bool>(out);
  }
  ok = ok && ::rename(temp.c_str(), path.c_str()) == 0;
  if (!ok) ::unlink(temp.c_str());
  ::close(lock);
  return ok;
}

void AppendJournal(std::string_view progId, std::string_view line) { JournalWriter(progId).Append(line); }

JournalWriter::JournalWriter(std::string_view progId) : folder_(ControlFolder(progId)), path_(folder_ + "/journal") {}

void JournalWriter::Append(std::string_view line) const {
  std::string text;
  text.reserve(line.size() + 1);
  text.append(line).push_back('\n');
  JournalFiles::Instance().Append(folder_, path_, text, kMaxJournal);
}

std::string ReadJournal(std::string_view progId) { return ReadAll(ControlFolder(progId) + "/journal"); }

void RemoveControl(std::string_view progId) {
  std::error_code ec;
  std::filesystem::remove_all(ControlFolder(progId), ec);
}

CommandReader::CommandReader(std::string progId) : path_(ControlFolder(progId) + "/commands") {
  struct stat st {};
  if (::stat(path_.c_str(), &st) == 0) offset_ = st.st_size;
}

std::vector<std::string> CommandReader::Take() {
  std::vector<std::string> lines;
  int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return lines;
  struct stat st {};
  if (::fstat(fd, &st) == 0 && st.st_size < offset_) offset_ = 0;  // the file was made anew
  char buffer[4096];
  for (;;) {
    ssize_t n = ::pread(fd, buffer, sizeof buffer, offset_);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    offset_ += n;
    partial_.append(buffer, static_cast<std::size_t>(n));
    if (partial_.size() > 4 * kMaxCommandLine) partial_.clear();  // never a valid line
  }
  ::close(fd);
  std::size_t start = 0;
  for (std::size_t nl; (nl = partial_.find('\n', start)) != std::string::npos; start = nl + 1)
    lines.push_back(partial_.substr(start, nl - start));
  partial_.erase(0, start);
  return lines;
}

FaultSwitches::FaultSwitches(std::string progId)
    : folder_(ControlFolder(progId)),
      parent_(std::filesystem::path(folder_).parent_path().string()),
      folderName_(std::filesystem::path(folder_).filename().string()),
      path_(folder_ + "/faults"),
      notify_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {}

FaultSwitches::~FaultSwitches() {
  if (notify_ >= 0) ::close(notify_);
}

bool FaultSwitches::On(std::string_view what) {
  std::lock_guard lock(mutex_);
  if (!Unchanged()) {
    Watch();
    Reload();
  }
  return !on_.empty() && on_.count(std::string(what)) != 0;
}

bool FaultSwitches::Unchanged() {
  if (parentWatch_ < 0) return false;
  bool unchanged = true;
  alignas(inotify_event) char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(notify_, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN) return unchanged;
    if (n <= 0) {
      DropWatches();
      return false;
    }
    for (ssize_t at = 0; at < n;) {
      const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
      at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      unchanged = Unrelated(*event) && unchanged;
    }
  }
}

bool FaultSwitches::Unrelated(const inotify_event& event) {
  constexpr std::uint32_t kSelf = IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT;
  const std::string_view name = event.len > 0 ? std::string_view(event.name) : std::string_view();
  if ((event.mask & IN_Q_OVERFLOW) != 0) {
    DropWatches();
    return false;
  }
  if (event.wd == parentWatch_) {
    if ((event.mask & kSelf) != 0) {
      DropWatches();
      return false;
    }
    if (name != folderName_) return true;
    DropFolderWatch();  // the control folder came, went or moved
    return false;
  }
  if (event.wd == folderWatch_) {
    if ((event.mask & kSelf) != 0) {
      DropFolderWatch();
      return false;
    }
    return name != "faults";
  }
  return true;  // a watch dropped before
}

void FaultSwitches::Watch() {
  if (notify_ < 0) return;
  constexpr std::uint32_t kFolders = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF |
                                     IN_MOVE_SELF | IN_ONLYDIR;
  if (parentWatch_ < 0) parentWatch_ = ::inotify_add_watch(notify_, parent_.c_str(), kFolders);
  if (parentWatch_ >= 0 && folderWatch_ < 0)
    folderWatch_ = ::inotify_add_watch(notify_, folder_.c_str(), kFolders | IN_CLOSE_WRITE);
}

void FaultSwitches::DropFolderWatch() {
  if (folderWatch_ >= 0) ::inotify_rm_watch(notify_, folderWatch_);
  folderWatch_ = -1;
}

void FaultSwitches::DropWatches() {
  DropFolderWatch();
  if (parentWatch_ >= 0) ::inotify_rm_watch(notify_, parentWatch_);
  parentWatch_ = -1;
}

void FaultSwitches::Reload() {
  struct stat st {};
  Stamp stamp;
  if (::stat(path_.c_str(), &st) == 0)
    stamp = Stamp{true, st.st_ino, st.st_size, st.st_mtim.tv_sec, st.st_mtim.tv_nsec};
  else if (::stat(parent_.c_str(), &st) != 0)
    DropWatches();  // removed with the folders above: its own event may come late
  if (stamp == stamp_) return;
  stamp_ = stamp;
  on_.clear();
  std::istringstream in(stamp.exists ? ReadAll(path_) : std::string());
  for (std::string line; std::getline(in, line);)
    if (!line.empty()) on_.insert(line);
}

}  // namespace opcsim

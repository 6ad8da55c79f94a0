#include "platform/com/RegistryStore.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/os/IpcNamespace.h"

namespace platform::com {

namespace {

constexpr std::string_view kHeader = "FERROWICK REGISTRY 1";
constexpr std::size_t kMaxFileSize = 64u << 20;

// Closes a descriptor at the end of a scope.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

bool MakeDirectories(const std::string& path) {
  for (std::size_t pos = 1; pos <= path.size(); ++pos) {
    if (pos < path.size() && path[pos] != '/') continue;
    std::string part = path.substr(0, pos);
    if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  return true;
}

std::string Escape(std::string_view text, bool name) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '=': out += name ? "\\=" : "="; break;
      default: out.push_back(c);
    }
  }
  return out;
}

// Reads an escaped text up to an unescaped '=' (when `stopAtEquals`) or the
// end; `pos` moves past what was read. False on a bad escape.
bool Unescape(std::string_view line, std::size_t& pos, bool stopAtEquals, std::string& out) {
  out.clear();
  while (pos < line.size()) {
    char c = line[pos];
    if (c == '=' && stopAtEquals) return true;
    ++pos;
    if (c != '\\') {
      out.push_back(c);
      continue;
    }
    if (pos >= line.size()) return false;
    char e = line[pos++];
    if (e == '\\' || e == '=') out.push_back(e);
    else if (e == 'n') out.push_back('\n');
    else if (e == 'r') out.push_back('\r');
    else return false;
  }
  return !stopAtEquals;
}

void SerializeNode(const RegistryNode& node, const std::string& path, std::string& out) {
  if (!path.empty()) out += "[" + path + "]\n";
  for (const auto& [folded, value] : node.values) {
    if (value.name.empty()) out += "@=" + Escape(value.data, false) + "\n";
  }
  for (const auto& [folded, value] : node.values) {
    if (!value.name.empty())
      out += ":" + Escape(value.name, true) + "=" + Escape(value.data, false) + "\n";
  }
  for (const auto& [folded, child] : node.children)
    SerializeNode(child, path.empty() ? child.name : path + "\\" + child.name, out);
}

struct FileStamp {
  dev_t dev = 0;
  ino_t ino = 0;
  off_t size = -1;
  timespec mtime{};
  timespec ctime{};
  bool operator==(const FileStamp& o) const {
    return dev == o.dev && ino == o.ino && size == o.size && mtime.tv_sec == o.mtime.tv_sec &&
           mtime.tv_nsec == o.mtime.tv_nsec && ctime.tv_sec == o.ctime.tv_sec &&
           ctime.tv_nsec == o.ctime.tv_nsec;
  }
};

struct CachedTree {
  FileStamp stamp;
  std::shared_ptr<const RegistryNode> root;
};

std::mutex gCacheMutex;
std::map<std::string, CachedTree> gCache;  // by file path

// The current tree of the file at `path` (missing file: empty tree); null
// when the file is damaged or unreadable.
std::shared_ptr<const RegistryNode> LoadTree(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    if (errno == ENOENT) return std::make_shared<RegistryNode>();
    return nullptr;
  }
  FileStamp stamp{st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim};
  {
    std::lock_guard lock(gCacheMutex);
    auto it = gCache.find(path);
    if (it != gCache.end() && it->second.stamp == stamp) return it->second.root;
  }
  if (static_cast<std::size_t>(st.st_size) > kMaxFileSize) return nullptr;
  FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) return errno == ENOENT ? std::make_shared<RegistryNode>() : nullptr;
  if (::fstat(fd.get(), &st) != 0 || static_cast<std::size_t>(st.st_size) > kMaxFileSize) return nullptr;
  stamp = FileStamp{st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim};
  std::string text(static_cast<std::size_t>(st.st_size), '\0');
  std::size_t got = 0;
  while (got < text.size()) {
    ssize_t n = ::read(fd.get(), text.data() + got, text.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return nullptr;
    got += static_cast<std::size_t>(n);
  }
  auto root = std::make_shared<RegistryNode>();
  if (!ParseRegistry(text, *root)) return nullptr;
  std::lock_guard lock(gCacheMutex);
  gCache[path] = CachedTree{stamp, root};
  return root;
}

bool WriteWhole(const std::string& path, const std::string& text) {
  std::string temp = path + ".tmp" + std::to_string(::getpid());
  {
    FileDescriptor fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    if (fd.get() < 0) return false;
    std::size_t done = 0;
    while (done < text.size()) {
      ssize_t n = ::write(fd.get(), text.data() + done, text.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        ::unlink(temp.c_str());
        return false;
      }
      done += static_cast<std::size_t>(n);
    }
  }
  if (::rename(temp.c_str(), path.c_str()) != 0) {
    ::unlink(temp.c_str());
    return false;
  }
  return true;
}

// Takes the writers' lock of a file within 5 s; -1 when it cannot.
int LockForWriting(const std::string& path) {
  int fd = ::open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return -1;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if ((errno != EWOULDBLOCK && errno != EINTR) || std::chrono::steady_clock::now() > deadline) {
      ::close(fd);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return fd;
}

}  // namespace

std::string RegistryDirectory() {
  if (const char* dir = std::getenv("FERROWICK_REGISTRY_DIR"); dir != nullptr && *dir != '\0')
    return dir;
  const char* home = std::getenv("HOME");
  std::string ns = platform::os::IpcNamespace();
  return std::string(home && *home ? home : "/tmp") + "/.local/share/ferrowick/registry/" +
         (ns.empty() ? "default" : ns);
}

std::string RegistryMachineFile(std::string_view machine) {
  if (machine.empty() || machine.size() > 63 || machine[0] == '.') return {};
  std::string name;
  for (char c : machine) {
    bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
              c == '-' || c == '_' || c == '.';
    if (!ok) return {};
    name.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
  }
  return RegistryDirectory() + "/" + name + ".reg";
}

std::string RegistryFold(std::string_view name) {
  std::string out(name);
  for (char& c : out) {
    auto b = static_cast<unsigned char>(c);
    if (b >= 'A' && b <= 'Z') b = static_cast<unsigned char>(b + 32);
    else if (b >= 0xC0 && b <= 0xDF) b = static_cast<unsigned char>(b + 32);
    else if (b == 0xA8) b = 0xB8;
    c = static_cast<char>(b);
  }
  return out;
}

std::string SerializeRegistry(const RegistryNode& root) {
  std::string out(kHeader);
  out += "\n";
  SerializeNode(root, "", out);
  return out;
}

bool ParseRegistry(std::string_view text, RegistryNode& root) {
  root = RegistryNode{};
  std::size_t start = 0;
  bool first = true;
  RegistryNode* current = &root;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    if (first) {
      if (line != kHeader) return false;
      first = false;
      continue;
    }
    if (line.empty()) continue;
    if (line.front() == '[') {
      if (line.size() < 3 || line.back() != ']') return false;
      std::string_view path = line.substr(1, line.size() - 2);
      current = &root;
      std::size_t p = 0;
      while (p <= path.size()) {
        std::size_t q = path.find('\\', p);
        if (q == std::string_view::npos) q = path.size();
        std::string_view part = path.substr(p, q - p);
        if (part.empty()) return false;
        RegistryNode& child = current->children[RegistryFold(part)];
        if (child.name.empty()) child.name = std::string(part);
        current = &child;
        p = q + 1;
      }
    } else if (line.front() == '@' && line.size() >= 2 && line[1] == '=') {
      std::size_t pos = 2;
      std::string data;
      if (!Unescape(line, pos, false, data)) return false;
      current->values[""] = RegistryNode::Value{"", std::move(data)};
    } else if (line.front() == ':') {
      std::size_t pos = 1;
      std::string name, data;
      if (!Unescape(line, pos, true, name) || name.empty()) return false;
      ++pos;  // the '='
      if (!Unescape(line, pos, false, data)) return false;
      std::string folded = RegistryFold(name);
      current->values[folded] = RegistryNode::Value{std::move(name), std::move(data)};
    } else {
      return false;
    }
  }
  return !first || text.empty();
}

LONG ReadRegistry(std::string_view machine, const std::function<LONG(const RegistryNode&)>& reader) {
  std::string path = RegistryMachineFile(machine);
  if (path.empty()) return ERROR_BAD_NETPATH;
  auto root = LoadTree(path);
  if (!root) return ERROR_BADDB;
  return reader(*root);
}

LONG WriteRegistry(std::string_view machine, const std::function<LONG(RegistryNode&)>& writer) {
  std::string path = RegistryMachineFile(machine);
  if (path.empty()) return ERROR_BAD_NETPATH;
  if (!MakeDirectories(RegistryDirectory())) return ERROR_CANTWRITE;
  FileDescriptor lock(LockForWriting(path));
  if (lock.get() < 0) return ERROR_LOCK_FAILED;
  auto current = LoadTree(path);
  if (!current) return ERROR_BADDB;
  RegistryNode copy = *current;
  if (LONG rc = writer(copy); rc != ERROR_SUCCESS) return rc;
  if (!WriteWhole(path, SerializeRegistry(copy))) return ERROR_CANTWRITE;
  return ERROR_SUCCESS;
}

}  // namespace platform::com

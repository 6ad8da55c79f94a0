#include "tests/e2e/E2eSupport.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>

#include "platform/os/Time.h"
#include "platform/win/Window.h"
#include "tests/KillGuard.h"

extern char** environ;

namespace e2e {

namespace fs = std::filesystem;

namespace {

constexpr int kCtlTimeoutMs = 20000;

// Spawns args with this process's environment; fileActions may redirect.
pid_t Spawn(const std::vector<std::string>& args, const posix_spawn_file_actions_t* actions) {
  std::vector<std::string> copy = args;
  std::vector<char*> argv;
  for (std::string& a : copy) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  if (::posix_spawn(&pid, argv[0], actions, nullptr, argv.data(), environ) != 0) return -1;
  return pid;
}

// Waits for a child at most timeoutMs; its exit status, 128 + signal, or
// -1 (then killed and reaped).
int WaitChild(pid_t pid, int timeoutMs) {
  const uint32_t start = platform::os::GetTickCount();
  for (;;) {
    int status = 0;
    const pid_t r = ::waitpid(pid, &status, WNOHANG);
    if (r == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    if (r < 0) return -1;
    if (platform::os::TickDiff(platform::os::GetTickCount(), start) >= static_cast<uint32_t>(timeoutMs)) {
      if (kill_guard::KillChild(pid)) ::waitpid(pid, &status, 0);
      return -1;
    }
    ::usleep(5000);
  }
}

std::optional<std::string> GetEnv(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

// The processes whose program file lies inside folder: the servers that
// drivers started from the plant's driver folders.
std::vector<pid_t> ProcessesRunningFrom(const std::string& folder) {
  std::vector<pid_t> pids;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator("/proc", error)) {
    const std::string name = entry.path().filename().string();
    if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) continue;
    std::error_code unreadable;  // a process that ended meanwhile, or one of another user
    const std::string program = fs::read_symlink(entry.path() / "exe", unreadable).string();
    if (!unreadable && program.starts_with(folder + "/")) pids.push_back(static_cast<pid_t>(std::stol(name)));
  }
  return pids;
}

}  // namespace

std::string ReadFile(const std::string& path) {
  // Plain reads: a /proc file of a process that ends meanwhile reads short.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return "";
  std::string text;
  char buffer[4096];
  for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<size_t>(n));
  ::close(fd);
  return text;
}

Plant::Plant() {
  static std::atomic<int> counter{0};
  namespace_ = "e2e-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
  for (const char* name : {"FERROWICK_IPC_NAMESPACE", "FERROWICK_REGISTRY_DIR", "LD_LIBRARY_PATH", "DISPLAY"})
    savedEnvironment_.emplace_back(name, GetEnv(name));
  ::setenv("FERROWICK_IPC_NAMESPACE", namespace_.c_str(), 1);
  const std::string registry = folder_.Path() + "/registry";
  fs::create_directories(registry);
  fs::create_directories(DriverDir());
  fs::create_directories(ProjectDir());
  ::setenv("FERROWICK_REGISTRY_DIR", registry.c_str(), 1);
  // The server runs from a copy in the driver folder: it finds the staged
  // libraries through the path. No window of it opens on a display.
  ::setenv("LD_LIBRARY_PATH", FW_OUT_DIR, 1);
  ::unsetenv("DISPLAY");
  std::error_code ec;
  fs::copy_file(FW_OUT_DIR "/Ferrowick_V30.srv", DriverDir() + "/Ferrowick_V30.srv", ec);
  EXPECT_FALSE(ec) << ec.message();
}

Plant::~Plant() {
  // A server that a driver in a test's host started may still be ending
  // when the test is over; it must not write into the folder after it went.
  for (const pid_t pid : ProcessesRunningFrom(folder_.Path())) Remember(pid);
  for (const pid_t pid : servers_) {
    kill_guard::KillIf(pid, IsServerProcess);
  }
  for (const pid_t pid : servers_) WaitEnded(pid);
  // Killed processes cannot leave the window table or a section; with all
  // of the namespace's processes gone they are stale.
  platform::win::RemoveStaleWindowTable();
  for (const std::string& name : SharedMemoryLeft()) ::unlink(("/dev/shm/" + name).c_str());
  for (const auto& [name, value] : savedEnvironment_) {
    if (value) ::setenv(name.c_str(), value->c_str(), 1);
    else ::unsetenv(name.c_str());
  }
}

void Plant::WriteDriverFiles(const std::string& general, const std::vector<std::string>& devices,
                             const std::string& description) const {
  std::string ini = "[OPCSRV]\r\n" + general + "Device_Count=" + std::to_string(devices.size()) + "\r\n";
  for (size_t i = 0; i < devices.size(); ++i) ini += "Device_" + std::to_string(i) + "=" + devices[i] + "\r\n";
  std::ofstream(DriverDir() + "/Ferrowick_V30.ini", std::ios::binary) << ini;
  std::ofstream(DriverDir() + "/Ferrowick_V30.edd", std::ios::binary) << description;
}

int Plant::Register(const std::string& progId, const std::string& items) const {
  const std::string file = folder_.Write(progId + ".items", items);
  return Ctl({"register", progId, file});
}

int Plant::Ctl(const std::vector<std::string>& args, std::string* output) const {
  std::vector<std::string> all{FW_OUT_DIR "/opcsim-ctl"};
  all.insert(all.end(), args.begin(), args.end());
  const std::string outFile = folder_.Path() + "/ctl-output.txt";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  const pid_t pid = Spawn(all, &actions);
  posix_spawn_file_actions_destroy(&actions);
  if (pid < 0) return -1;
  const int status = WaitChild(pid, kCtlTimeoutMs);
  if (output != nullptr) *output = ReadFile(outFile);
  return status;
}

std::string Plant::Journal(const std::string& progId) const {
  std::string out;
  Ctl({"journal", progId}, &out);
  return out;
}

void Plant::Remember(pid_t server) {
  if (server > 0) servers_.push_back(server);
}

std::vector<std::string> Plant::SharedMemoryLeft() const {
  std::vector<std::string> left;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator("/dev/shm", ec)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind(namespace_ + ".", 0) == 0) left.push_back(name);
  }
  return left;
}

bool Plant::SectionLeft() const { return fs::exists("/dev/shm/" + namespace_ + ".Ferrowikc_V30.dat"); }

std::string DeviceLine(const std::string& name, int address, const std::string& progId, const std::string& prefix,
                       const std::string& tagList, const std::string& link, const std::string& command) {
  const std::string esc = "\x1b";
  return "Name=" + name + esc + "DeviceAddress=" + std::to_string(address) + esc + "OPCServerName=" + progId + esc +
         "OPCInterface=0" + esc + "Prefix=" + prefix + esc + "Enabled=1" + esc + "Precision=2" + esc +
         "TagListName=" + tagList + esc + "LinkCtrlTagName=" + link + esc + "ComandCtrlTagName=" + command;
}

bool IsServerProcess(pid_t pid) {
  if (pid <= 0) return false;
  const std::string stat = ReadFile("/proc/" + std::to_string(pid) + "/stat");
  const size_t close = stat.rfind(')');
  if (close == std::string::npos || close + 2 >= stat.size() || stat[close + 2] == 'Z') return false;
  return ReadFile("/proc/" + std::to_string(pid) + "/cmdline").find("Ferrowick_V30.srv") != std::string::npos;
}

bool WaitEnded(pid_t pid, int timeoutMs) {
  const uint32_t start = platform::os::GetTickCount();
  for (;;) {
    const std::string stat = ReadFile("/proc/" + std::to_string(pid) + "/stat");
    const size_t close = stat.rfind(')');
    if (close == std::string::npos || close + 2 >= stat.size() || stat[close + 2] == 'Z' || stat[close + 2] == 'X')
      return true;
    if (platform::os::TickDiff(platform::os::GetTickCount(), start) >= static_cast<uint32_t>(timeoutMs)) return false;
    ::usleep(5000);
  }
}

Host::~Host() { Kill(); }

bool Host::Start(const std::vector<std::string>& args) {
  // A host that died must not end the test through its closed input.
  ::signal(SIGPIPE, SIG_IGN);
  int in[2], out[2];
  if (::pipe2(in, O_CLOEXEC) != 0) return false;
  if (::pipe2(out, O_CLOEXEC) != 0) {
    ::close(in[0]);
    ::close(in[1]);
    return false;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_addopen(&actions, 2, (errors_.Path() + "/stderr.txt").c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);
  std::vector<std::string> all{FW_OUT_DIR "/halvorsten-host"};
  all.insert(all.end(), args.begin(), args.end());
  pid_ = Spawn(all, &actions);
  posix_spawn_file_actions_destroy(&actions);
  ::close(in[0]);
  ::close(out[1]);
  input_ = in[1];
  output_ = out[0];
  return pid_ > 0;
}

void Host::Send(const std::string& line) {
  const std::string text = line + "\n";
  size_t done = 0;
  while (input_ >= 0 && done < text.size()) {
    const ssize_t n = ::write(input_, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
}

bool Host::ReadSome(int timeoutMs) {
  if (output_ < 0) return false;
  pollfd fd{output_, POLLIN, 0};
  if (::poll(&fd, 1, timeoutMs) <= 0) return false;
  char buffer[4096];
  const ssize_t n = ::read(output_, buffer, sizeof buffer);
  if (n <= 0) {
    ::close(output_);
    output_ = -1;
    return false;
  }
  pending_.append(buffer, static_cast<size_t>(n));
  for (size_t end; (end = pending_.find('\n')) != std::string::npos;) {
    lines_.push_back(pending_.substr(0, end));
    pending_.erase(0, end + 1);
  }
  return true;
}

std::optional<std::string> Host::Expect(const std::function<bool(const std::string&)>& match, int timeoutMs) {
  const uint32_t start = platform::os::GetTickCount();
  for (;;) {
    for (; cursor_ < lines_.size(); ++cursor_) {
      if (match(lines_[cursor_])) return lines_[cursor_++];
    }
    const uint32_t elapsed = platform::os::TickDiff(platform::os::GetTickCount(), start);
    if (elapsed >= static_cast<uint32_t>(timeoutMs)) return std::nullopt;
    if (!ReadSome(static_cast<int>(static_cast<uint32_t>(timeoutMs) - elapsed)) && output_ < 0) return std::nullopt;
  }
}

std::optional<std::string> Host::ExpectPrefix(const std::string& prefix, int timeoutMs) {
  return Expect([&](const std::string& line) { return line.rfind(prefix, 0) == 0; }, timeoutMs);
}

std::optional<std::string> Host::Seen(const std::function<bool(const std::string&)>& match, int timeoutMs) {
  for (size_t i = 0; i < cursor_ && i < lines_.size(); ++i) {
    if (match(lines_[i])) return lines_[i];
  }
  return Expect(match, timeoutMs);
}

pid_t Host::ServerPid() {
  Send("section");
  const auto line = ExpectPrefix("section ");
  if (!line) return 0;
  static const std::regex slot(" slot0=(\\d+)/");
  std::smatch m;
  return std::regex_search(*line, m, slot) ? static_cast<pid_t>(std::stol(m[1])) : 0;
}

int Host::Finish(int timeoutMs) {
  if (input_ >= 0) ::close(input_);
  input_ = -1;
  if (pid_ <= 0) return -1;
  // Keep reading: a host blocked on a full pipe would never end.
  const uint32_t start = platform::os::GetTickCount();
  for (;;) {
    int status = 0;
    const pid_t r = ::waitpid(pid_, &status, WNOHANG);
    if (r == pid_) {
      pid_ = -1;
      while (ReadSome(0)) {
      }
      return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    if (platform::os::TickDiff(platform::os::GetTickCount(), start) >= static_cast<uint32_t>(timeoutMs)) {
      Kill();
      return -1;
    }
    ReadSome(10);
  }
}

void Host::Kill() {
  if (input_ >= 0) ::close(input_);
  input_ = -1;
  if (kill_guard::KillChild(pid_)) {
    int status = 0;
    ::waitpid(pid_, &status, 0);
  }
  pid_ = -1;
  if (output_ >= 0) ::close(output_);
  output_ = -1;
}

std::string Host::Errors() const { return ReadFile(errors_.Path() + "/stderr.txt"); }

std::function<bool(const std::string&)> ValueLine(int32_t id, std::optional<float> value) {
  return [id, value](const std::string& line) {
    static const std::regex record("^value block=\\d+ id=(-?\\d+) value=(\\S+) ");
    std::smatch m;
    if (!std::regex_search(line, m, record) || std::stol(m[1]) != id) return false;
    return !value || std::stof(m[2]) == *value;
  };
}

}  // namespace e2e

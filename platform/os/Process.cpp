#include "platform/os/Process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/eventfd.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <mutex>
#include <optional>
#include <thread>

extern char** environ;

namespace platform::os {
namespace {

// Fields after "pid (comm) " of /proc/<pid>/stat: state is the first of
// them, the start time the twentieth.
struct ProcStat {
  char State = 0;
  uint64_t StartTime = 0;
};

bool ReadProcStat(uint32_t pid, ProcStat& out) {
  if (pid == 0) return false;
  char path[64];
  std::snprintf(path, sizeof path, "/proc/%u/stat", pid);
  const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  char buffer[1024];
  const ssize_t n = ::read(fd, buffer, sizeof buffer - 1);
  ::close(fd);
  if (n <= 0) return false;
  const std::string_view text(buffer, static_cast<size_t>(n));
  // The command name may hold blanks and parentheses: the fields start after
  // the last ')'.
  const size_t close = text.rfind(')');
  if (close == std::string_view::npos || close + 2 >= text.size()) return false;
  std::string_view rest = text.substr(close + 2);
  for (int field = 3; field <= 22; ++field) {
    const size_t end = rest.find(' ');
    const std::string_view token = rest.substr(0, end);
    if (token.empty()) return false;
    if (field == 3) out.State = token[0];
    if (field == 22) {
      uint64_t value = 0;
      for (char c : token) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<uint64_t>(c - '0');
      }
      out.StartTime = value;
      return true;
    }
    if (end == std::string_view::npos) return false;
    rest = rest.substr(end + 1);
  }
  return false;
}

// The processes IsProcessAlive has found alive, each with a pidfd: it
// becomes readable once the process has exited (zombie or reaped), which
// one zero-timeout poll asks without the kernel formatting any text.
class WatchedProcesses {
 public:

  // True, false, or nullopt when the identity is not watched.
  std::optional<bool> Ask(const ProcessIdentity& identity) {
    std::lock_guard lock(mutex_);
    for (size_t i = 0; i < watched_.size(); ++i) {
      if (watched_[i].Identity.Pid != identity.Pid) continue;
      if (!HasExited(watched_[i].PidFd)) return watched_[i].Identity.StartTime == identity.StartTime;
      // Ended: the pid may since name another process.
      const bool same = watched_[i].Identity.StartTime == identity.StartTime;
      Drop(i);
      if (same) return false;
      return std::nullopt;
    }
    return std::nullopt;
  }

  // The answer from /proc, and a pidfd kept when the process runs.
  bool Watch(const ProcessIdentity& identity) {
    if (!enabled_.load(std::memory_order_relaxed)) return ProcessStartTime(identity.Pid) == identity.StartTime;
    const int pidFd = static_cast<int>(::syscall(SYS_pidfd_open, static_cast<pid_t>(identity.Pid), 0));
    if (pidFd < 0) {
      if (errno == ESRCH) return false;
      return ProcessStartTime(identity.Pid) == identity.StartTime;  // no pidfds here
    }
    // The stat read after the pidfd opened and before it reports an exit
    // is that process's own: a pid reused in between cannot pass.
    const bool alive = ProcessStartTime(identity.Pid) == identity.StartTime && !HasExited(pidFd);
    if (!alive || !Keep(identity, pidFd)) ::close(pidFd);
    return alive;
  }

  size_t Count() {
    std::lock_guard lock(mutex_);
    return watched_.size();
  }

  void Enable(bool use) {
    enabled_.store(use, std::memory_order_relaxed);
    if (!use) Clear();
  }

 private:
  struct Watched {
    ProcessIdentity Identity;
    int PidFd;
  };

  static bool HasExited(int pidFd) {
    pollfd fd{pidFd, POLLIN, 0};
    const int rc = ::poll(&fd, 1, 0);
    return rc != 0;  // readable, or the pidfd failed: never taken for alive
  }

  bool Keep(const ProcessIdentity& identity, int pidFd) {
    std::lock_guard lock(mutex_);
    if (!enabled_.load(std::memory_order_relaxed)) return false;
    for (const Watched& entry : watched_) {
      if (entry.Identity.Pid == identity.Pid) return false;  // another thread was first
    }
    if (watched_.size() >= kMaxWatchedProcesses) {
      for (size_t i = watched_.size(); i-- > 0;) {
        if (HasExited(watched_[i].PidFd)) Drop(i);
      }
    }
    if (watched_.size() >= kMaxWatchedProcesses) return false;
    watched_.push_back({identity, pidFd});
    return true;
  }

  // With mutex_ held.
  void Drop(size_t index) {
    ::close(watched_[index].PidFd);
    watched_.erase(watched_.begin() + static_cast<std::ptrdiff_t>(index));
  }

  void Clear() {
    std::lock_guard lock(mutex_);
    for (const Watched& entry : watched_) ::close(entry.PidFd);
    watched_.clear();
  }

  std::mutex mutex_;
  std::vector<Watched> watched_;
  std::atomic<bool> enabled_{true};
};

WatchedProcesses& TheWatchedProcesses() {
  // Never destroyed: other threads may still ask while the process exits.
  static WatchedProcesses* watched = new WatchedProcesses;
  return *watched;
}

// Waits for every started child through its pidfd and reaps it, so that a
// child never stays a zombie of the caller and the caller needs no SIGCHLD
// handler. One thread, started with the first child, stopped at exit.
class Reaper {
 public:
  ~Reaper() {
    std::thread thread;
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
      thread = std::move(thread_);
    }
    Wake();
    if (thread.joinable()) thread.join();
    for (const Child& child : children_) {
      if (child.PidFd >= 0) ::close(child.PidFd);
    }
    if (wakeFd_ >= 0) ::close(wakeFd_);
  }

  // Takes the child over; answers false only when no reaper can run (the
  // child then stays a zombie until the caller exits).
  bool Add(pid_t pid) {
    const int pidFd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    // ESRCH: someone of the caller already reaped it; nothing to do.
    if (pidFd < 0 && errno == ESRCH) return true;
    std::lock_guard lock(mutex_);
    if (stopping_) {
      if (pidFd >= 0) ::close(pidFd);
      return false;
    }
    if (wakeFd_ < 0) wakeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd_ < 0) {
      if (pidFd >= 0) ::close(pidFd);
      return false;
    }
    children_.push_back({pid, pidFd});
    if (!thread_.joinable()) thread_ = std::thread([this] { Run(); });
    Wake();
    return true;
  }

  int Pending() {
    std::lock_guard lock(mutex_);
    return static_cast<int>(children_.size());
  }

 private:
  struct Child {
    pid_t Pid;
    int PidFd;  // -1: no pidfd could be had; swept by waitpid on each round
  };

  void Wake() {
    if (wakeFd_ >= 0) {
      const uint64_t one = 1;
      [[maybe_unused]] ssize_t n = ::write(wakeFd_, &one, sizeof one);
    }
  }

  void Run() {
    std::vector<pollfd> fds;
    for (;;) {
      {
        std::lock_guard lock(mutex_);
        if (stopping_) return;
        ReapFinished();
        fds.assign(1, pollfd{wakeFd_, POLLIN, 0});
        for (const Child& child : children_) {
          if (child.PidFd >= 0) fds.push_back({child.PidFd, POLLIN, 0});
        }
      }
      // The bound only serves children without a pidfd.
      ::poll(fds.data(), fds.size(), 1000);
      uint64_t count = 0;
      [[maybe_unused]] ssize_t n = ::read(wakeFd_, &count, sizeof count);
    }
  }

  // Called with mutex_ held.
  void ReapFinished() {
    for (size_t i = 0; i < children_.size();) {
      siginfo_t info{};
      const Child child = children_[i];
      const int rc = child.PidFd >= 0
                         ? ::waitid(static_cast<idtype_t>(3 /* P_PIDFD */),
                                    static_cast<id_t>(child.PidFd), &info, WEXITED | WNOHANG)
                         : ::waitid(P_PID, static_cast<id_t>(child.Pid), &info, WEXITED | WNOHANG);
      // ECHILD: the caller reaped it itself (or ignores SIGCHLD).
      const bool gone = (rc == 0 && info.si_pid != 0) || (rc < 0 && errno == ECHILD);
      if (!gone) {
        ++i;
        continue;
      }
      if (child.PidFd >= 0) ::close(child.PidFd);
      children_.erase(children_.begin() + static_cast<std::ptrdiff_t>(i));
    }
  }

  std::mutex mutex_;
  std::vector<Child> children_;
  std::thread thread_;
  int wakeFd_ = -1;
  bool stopping_ = false;
};

Reaper& TheReaper() {
  static Reaper reaper;
  return reaper;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The program name: quotes toggle, everything else is literal, a blank
// outside quotes ends it.
size_t SplitProgramName(std::string_view line, size_t i, std::string& out) {
  bool quoted = false;
  for (; i < line.size(); ++i) {
    const char c = line[i];
    if (c == '"') {
      quoted = !quoted;
      continue;
    }
    if (!quoted && IsBlank(c)) break;
    out.push_back(c);
  }
  return i;
}

size_t SplitArgument(std::string_view line, size_t i, std::string& out) {
  bool quoted = false;
  while (i < line.size()) {
    size_t slashes = 0;
    while (i < line.size() && line[i] == '\\') {
      ++slashes;
      ++i;
    }
    if (i < line.size() && line[i] == '"') {
      out.append(slashes / 2, '\\');
      if (slashes % 2 == 1) {
        out.push_back('"');
        ++i;
      } else if (quoted && i + 1 < line.size() && line[i + 1] == '"') {
        out.push_back('"');
        i += 2;
      } else {
        quoted = !quoted;
        ++i;
      }
      continue;
    }
    out.append(slashes, '\\');
    if (i >= line.size()) break;
    if (!quoted && IsBlank(line[i])) break;
    out.push_back(line[i]);
    ++i;
  }
  return i;
}

// Owns the spawn attribute objects for one posix_spawn call.
class SpawnSetup {
 public:
  SpawnSetup() {
    ok_ = posix_spawn_file_actions_init(&actions_) == 0;
    if (!ok_) return;
    ok_ = posix_spawnattr_init(&attr_) == 0;
    if (!ok_) {
      posix_spawn_file_actions_destroy(&actions_);
      return;
    }
    sigset_t none;
    sigset_t all;
    sigemptyset(&none);
    sigfillset(&all);
    sigdelset(&all, SIGKILL);
    sigdelset(&all, SIGSTOP);
    ok_ = posix_spawn_file_actions_addopen(&actions_, 0, "/dev/null", O_RDONLY, 0) == 0 &&
          posix_spawn_file_actions_addopen(&actions_, 1, "/dev/null", O_WRONLY, 0) == 0 &&
          posix_spawn_file_actions_adddup2(&actions_, 1, 2) == 0 &&
          posix_spawn_file_actions_addclosefrom_np(&actions_, 3) == 0 &&
          posix_spawnattr_setsigmask(&attr_, &none) == 0 &&
          posix_spawnattr_setsigdefault(&attr_, &all) == 0 &&
          posix_spawnattr_setflags(&attr_, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK |
                                               POSIX_SPAWN_SETSIGDEF) == 0;
    initialised_ = true;
  }
  ~SpawnSetup() {
    if (!initialised_) return;
    posix_spawnattr_destroy(&attr_);
    posix_spawn_file_actions_destroy(&actions_);
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;

  bool Ok() const { return ok_ && initialised_; }
  const posix_spawn_file_actions_t* Actions() const { return &actions_; }
  const posix_spawnattr_t* Attr() const { return &attr_; }

 private:
  posix_spawn_file_actions_t actions_{};
  posix_spawnattr_t attr_{};
  bool ok_ = false;
  bool initialised_ = false;
};

}  // namespace

uint32_t GetCurrentProcessId() { return static_cast<uint32_t>(::getpid()); }

uint64_t ProcessStartTime(uint32_t pid) {
  ProcStat stat;
  if (!ReadProcStat(pid, stat)) return 0;
  if (stat.State == 'Z' || stat.State == 'X' || stat.State == 'x') return 0;
  return stat.StartTime;
}

bool IsProcessAlive(uint32_t pid) { return ProcessStartTime(pid) != 0; }

bool IsProcessAlive(const ProcessIdentity& identity) {
  if (identity.Pid == 0 || identity.StartTime == 0) return false;
  WatchedProcesses& watched = TheWatchedProcesses();
  if (const std::optional<bool> known = watched.Ask(identity)) return *known;
  return watched.Watch(identity);
}

size_t WatchedProcessCount() { return TheWatchedProcesses().Count(); }

void WatchProcessesByPidFd(bool use) { TheWatchedProcesses().Enable(use); }

std::vector<std::string> SplitCommandLine(std::string_view line) {
  std::vector<std::string> args;
  size_t i = 0;
  while (i < line.size() && IsBlank(line[i])) ++i;
  if (i >= line.size()) return args;
  args.emplace_back();
  i = SplitProgramName(line, i, args.back());
  for (;;) {
    while (i < line.size() && IsBlank(line[i])) ++i;
    if (i >= line.size()) break;
    args.emplace_back();
    i = SplitArgument(line, i, args.back());
  }
  return args;
}

bool CreateProcess(std::string_view commandLine, ProcessIdentity* started) {
  std::vector<std::string> args = SplitCommandLine(commandLine);
  if (args.empty() || args[0].empty()) return false;
  // Windows path separators in the program path.
  std::string program = args[0];
  for (char& c : program) {
    if (c == '\\') c = '/';
  }
  std::vector<char*> argv;
  argv.reserve(args.size() + 1);
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);

  SpawnSetup setup;
  if (!setup.Ok()) return false;
  pid_t pid = 0;
  const bool search = program.find('/') == std::string::npos;
  const int rc = search ? ::posix_spawnp(&pid, program.c_str(), setup.Actions(), setup.Attr(),
                                         argv.data(), environ)
                        : ::posix_spawn(&pid, program.c_str(), setup.Actions(), setup.Attr(),
                                        argv.data(), environ);
  if (rc != 0) return false;
  // Read before handing the child to the reaper: a child that already ended
  // is still a zombie here and keeps its start time.
  ProcStat stat;
  const uint64_t startTime = ReadProcStat(static_cast<uint32_t>(pid), stat) ? stat.StartTime : 0;
  TheReaper().Add(pid);
  if (started) *started = {static_cast<uint32_t>(pid), startTime};
  return true;
}

int PendingChildCount() { return TheReaper().Pending(); }

}  // namespace platform::os

#include "platform/os/Process.h"

#include "tests/KillGuard.h"
#include "tests/platform/win/WinTestSupport.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using platform::os::CreateProcess;
using platform::os::IsProcessAlive;
using platform::os::ProcessIdentity;
using platform::os::ProcessStartTime;
using platform::os::SplitCommandLine;
using Args = std::vector<std::string>;

TEST(SplitCommandLine, QuotedProgramAndArguments) {
  EXPECT_EQ(SplitCommandLine(R"("dir with blank/prog" "0"  "x y.ini")"),
            (Args{"dir with blank/prog", "0", "x y.ini"}));
  EXPECT_EQ(SplitCommandLine("  prog\ta  b\t "), (Args{"prog", "a", "b"}));
  EXPECT_EQ(SplitCommandLine(""), Args{});
  EXPECT_EQ(SplitCommandLine(" \t "), Args{});
  EXPECT_EQ(SplitCommandLine(R"(p "" x)"), (Args{"p", "", "x"}));
  EXPECT_EQ(SplitCommandLine(R"(p a"b c"d)"), (Args{"p", "ab cd"}));
  EXPECT_EQ(SplitCommandLine(R"(p "unclosed arg)"), (Args{"p", "unclosed arg"}));
}

TEST(SplitCommandLine, BackslashRules) {
  // Backslashes are literal unless they precede a quote.
  EXPECT_EQ(SplitCommandLine(R"(p C:\dir\file.ini)"), (Args{"p", R"(C:\dir\file.ini)"}));
  // 2n+1 before a quote: n backslashes and a literal quote.
  EXPECT_EQ(SplitCommandLine(R"(p a\"b)"), (Args{"p", R"(a"b)"}));
  EXPECT_EQ(SplitCommandLine(R"(p a\\\"b)"), (Args{"p", R"(a\"b)"}));
  // 2n before a quote: n backslashes, the quote opens or closes.
  EXPECT_EQ(SplitCommandLine(R"(p "a\\" b)"), (Args{"p", R"(a\)", "b"}));
  EXPECT_EQ(SplitCommandLine(R"(p a\\\\"b c")"), (Args{"p", R"(a\\b c)"}));
  // A trailing backslash run stays as it is.
  EXPECT_EQ(SplitCommandLine(R"(p a\\)"), (Args{"p", R"(a\\)"}));
  // A doubled quote inside quotes is one literal quote.
  EXPECT_EQ(SplitCommandLine(R"(p "a""b" c)"), (Args{"p", R"(a"b)", "c"}));
  // The program name takes no escapes.
  EXPECT_EQ(SplitCommandLine(R"("C:\dir\" x)"), (Args{R"(C:\dir\)", "x"}));
  EXPECT_EQ(SplitCommandLine(R"(C:\a"b c"d e)"), (Args{R"(C:\ab cd)", "e"}));
}

TEST(ProcessIdentity, SelfIsAliveUnderItsStartTimeOnly) {
  const uint32_t pid = platform::os::GetCurrentProcessId();
  EXPECT_EQ(pid, static_cast<uint32_t>(::getpid()));
  const uint64_t start = ProcessStartTime(pid);
  ASSERT_NE(start, 0u);
  EXPECT_TRUE(IsProcessAlive(pid));
  EXPECT_TRUE(IsProcessAlive(ProcessIdentity{pid, start}));
  // The same pid with another start time is another (reused) process.
  EXPECT_FALSE(IsProcessAlive(ProcessIdentity{pid, start + 1}));
  EXPECT_FALSE(IsProcessAlive(0));
  EXPECT_FALSE(IsProcessAlive(ProcessIdentity{0, 0}));
  EXPECT_FALSE(IsProcessAlive(0x7FFFFFF0u));
}

TEST(ProcessIdentity, ZombieAndExitedAreNotAlive) {
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) ::_exit(0);
  const uint32_t pid = static_cast<uint32_t>(child);
  // Not reaped yet: a zombie.
  EXPECT_TRUE(wintest::WaitUntil([&] { return !IsProcessAlive(pid); }, 10000));
  EXPECT_TRUE(fs::exists("/proc/" + std::to_string(pid)));
  EXPECT_EQ(ProcessStartTime(pid), 0u);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_FALSE(IsProcessAlive(pid));
}

// A child that waits until it is killed; -1 when none could be made.
pid_t ForkWaitingChild() {
  const pid_t child = ::fork();
  if (child == 0) {
    ::pause();
    ::_exit(0);
  }
  return child;
}

// Every answer holds whether the pidfd of a process is kept or /proc is
// read each time: a running child is alive under its own start time only,
// and not once it has ended, reaped or still a zombie.
TEST(ProcessIdentity, RunningEndedAndReusedAnswersWithAndWithoutPidFds) {
  for (const bool pidFds : {true, false}) {
    SCOPED_TRACE(pidFds ? "pidfd kept" : "/proc each time");
    platform::os::WatchProcessesByPidFd(pidFds);
    const size_t watchedBefore = platform::os::WatchedProcessCount();
    const pid_t child = ForkWaitingChild();
    ASSERT_GT(child, 0);
    const ProcessIdentity running{static_cast<uint32_t>(child), ProcessStartTime(static_cast<uint32_t>(child))};
    ASSERT_NE(running.StartTime, 0u);
    for (int ask = 0; ask < 3; ++ask) EXPECT_TRUE(IsProcessAlive(running));
    EXPECT_EQ(platform::os::WatchedProcessCount(), watchedBefore + (pidFds ? 1 : 0));
    // The same pid under another start time is not this process, before
    // and after it was watched.
    EXPECT_FALSE(IsProcessAlive(ProcessIdentity{running.Pid, running.StartTime + 1}));
    EXPECT_FALSE(IsProcessAlive(ProcessIdentity{running.Pid, running.StartTime - 1}));
    EXPECT_TRUE(IsProcessAlive(running));
    ASSERT_TRUE(kill_guard::KillChild(child));
    // Not reaped yet: a zombie, which is not alive.
    EXPECT_TRUE(wintest::WaitUntil([&] { return !IsProcessAlive(running); }, 10000));
    EXPECT_TRUE(fs::exists("/proc/" + std::to_string(child)));
    EXPECT_EQ(platform::os::WatchedProcessCount(), watchedBefore);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_FALSE(IsProcessAlive(running));
    EXPECT_FALSE(IsProcessAlive(ProcessIdentity{running.Pid, running.StartTime + 1}));
  }
  platform::os::WatchProcessesByPidFd(true);
}

// Never more pidfds than the bound, and every question is still answered.
TEST(ProcessIdentity, WatchedProcessesAreBounded) {
  platform::os::WatchProcessesByPidFd(true);
  std::vector<pid_t> children;
  for (size_t i = 0; i < platform::os::kMaxWatchedProcesses + 4; ++i) {
    const pid_t child = ForkWaitingChild();
    ASSERT_GT(child, 0);
    children.push_back(child);
  }
  for (const pid_t child : children) {
    const uint32_t pid = static_cast<uint32_t>(child);
    EXPECT_TRUE(IsProcessAlive(ProcessIdentity{pid, ProcessStartTime(pid)}));
    EXPECT_LE(platform::os::WatchedProcessCount(), platform::os::kMaxWatchedProcesses);
  }
  for (const pid_t child : children) {
    if (kill_guard::KillChild(child)) ::waitpid(child, nullptr, 0);
  }
  for (const pid_t child : children) {
    EXPECT_FALSE(IsProcessAlive(ProcessIdentity{static_cast<uint32_t>(child), 1}));
  }
}

// The tests' guard signals no pid that names a group or all processes, nor
// one that is not its own child; an unreaped child it kills, also once it
// is a zombie.
TEST(KillGuard, OnlyAChildNotReapedIsKilled) {
  for (const pid_t pid : {0, -1, -::getpgrp()}) {
    EXPECT_FALSE(kill_guard::SignalIf(pid, 0, [](pid_t) { return true; })) << pid;
  }
  for (const pid_t pid : {0, -1, -::getpgrp(), ::getppid(), ::getpid()}) EXPECT_FALSE(kill_guard::KillChild(pid)) << pid;
  const pid_t child = ForkWaitingChild();
  ASSERT_GT(child, 0);
  EXPECT_TRUE(kill_guard::KillChild(child));
  ASSERT_TRUE(wintest::WaitUntil([&] { return ProcessStartTime(static_cast<uint32_t>(child)) == 0; }, 20000));
  EXPECT_TRUE(kill_guard::KillChild(child)) << "a zombie keeps its pid";
  ASSERT_EQ(::waitpid(child, nullptr, 0), child);
  EXPECT_FALSE(kill_guard::KillChild(child)) << "reaped: the pid may be another's";
}

// Threads asking about one process at once, while it runs and after it
// ended, all get the same answers (and the kept pidfd is shared safely).
TEST(ProcessIdentity, ThreadsAskAtOnce) {
  platform::os::WatchProcessesByPidFd(true);
  const pid_t child = ForkWaitingChild();
  ASSERT_GT(child, 0);
  const ProcessIdentity running{static_cast<uint32_t>(child), ProcessStartTime(static_cast<uint32_t>(child))};
  const auto askAll = [&](bool expected) {
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
      threads.emplace_back([&] {
        for (int i = 0; i < 200; ++i) {
          if (IsProcessAlive(running) != expected) ++wrong;
        }
      });
    }
    for (std::thread& thread : threads) thread.join();
    return wrong.load();
  };
  EXPECT_EQ(askAll(true), 0);
  ASSERT_TRUE(kill_guard::KillChild(child));
  ASSERT_EQ(::waitpid(child, nullptr, 0), child);
  EXPECT_EQ(askAll(false), 0);
}

class CreateProcessTest : public ::testing::Test {
 protected:
  // Runs the argv child role through command line and answers its report.
  std::string RunArgvChild(const std::string& commandLine, ProcessIdentity* started = nullptr) {
    const fs::path report = dir_.Path() / "report.txt";
    wintest::ScopedEnv role(wintest::kChildRoleVar, "argv:" + report.string());
    ProcessIdentity child;
    if (!CreateProcess(commandLine, &child)) return "<not started>";
    if (started) *started = child;
    if (!wintest::WaitUntil([&] { return fs::exists(report); }, 20000)) return "<no report>";
    // Reaped before this test ends, so that no child outlives the run.
    EXPECT_TRUE(wintest::WaitUntil(
        [&] { return !fs::exists("/proc/" + std::to_string(child.Pid)); }, 20000));
    return wintest::ReadFile(report);
  }

  wintest::TempDir dir_;
};

TEST_F(CreateProcessTest, QuotedPathAndArgumentsReachTheChild) {
  const fs::path folder = dir_.Path() / "dir with blank";
  fs::create_directories(folder);
  fs::create_symlink(wintest::SelfPath(), folder / "prog");
  const fs::path previous = fs::current_path();
  fs::current_path(dir_.Path());  // the command line names the program relatively
  const std::string report = RunArgvChild(R"("dir with blank/prog" "0"  "x y.ini")");
  fs::current_path(previous);
  EXPECT_EQ(report.substr(0, report.find("cwd=")),
            "arg=dir with blank/prog\narg=0\narg=x y.ini\n");
  // The child runs in the caller's working directory.
  EXPECT_NE(report.find("cwd=" + fs::canonical(dir_.Path()).string() + "\n"), std::string::npos);
}

TEST_F(CreateProcessTest, ChildGetsEnvironmentAndNoDescriptors) {
  wintest::ScopedEnv probe("FW_WIN_PROBE", "probe value");
  // A descriptor the caller forgot to mark close-on-exec.
  const int leaky = ::open("/dev/null", O_RDONLY);
  ASSERT_GE(leaky, 0);
  const std::string report = RunArgvChild("\"" + wintest::SelfPath() + "\" a");
  ::close(leaky);
  EXPECT_NE(report.find("arg=a\n"), std::string::npos) << report;
  EXPECT_NE(report.find("env=probe value\n"), std::string::npos) << report;
  EXPECT_NE(report.find("fds=0\n"), std::string::npos) << report;
}

TEST_F(CreateProcessTest, ChildIsReapedWithoutTheCallerWaiting) {
  wintest::ScopedEnv role(wintest::kChildRoleVar, "exit");
  ProcessIdentity child;
  ASSERT_TRUE(CreateProcess("\"" + wintest::SelfPath() + "\"", &child));
  ASSERT_NE(child.Pid, 0u);
  EXPECT_NE(child.StartTime, 0u);
  // Gone entirely (no zombie left) while this thread never waited for it.
  EXPECT_TRUE(wintest::WaitUntil(
      [&] { return !fs::exists("/proc/" + std::to_string(child.Pid)); }, 20000));
  EXPECT_FALSE(IsProcessAlive(child));
  errno = 0;
  EXPECT_EQ(::waitpid(static_cast<pid_t>(child.Pid), nullptr, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);
  EXPECT_TRUE(wintest::WaitUntil([] { return platform::os::PendingChildCount() == 0; }, 20000));
}

TEST_F(CreateProcessTest, FailuresStartNothing) {
  EXPECT_FALSE(CreateProcess(""));
  EXPECT_FALSE(CreateProcess("   "));
  EXPECT_FALSE(CreateProcess("\"\" x"));
  EXPECT_FALSE(CreateProcess((dir_.Path() / "missing program").string()));
  const fs::path plain = dir_.Path() / "not-executable";
  std::ofstream(plain) << "data";
  EXPECT_FALSE(CreateProcess(plain.string()));
  EXPECT_EQ(platform::os::PendingChildCount(), 0);
}

TEST_F(CreateProcessTest, WindowsSeparatorsInTheProgramPath) {
  const fs::path folder = dir_.Path() / "bin";
  fs::create_directories(folder);
  fs::create_symlink(wintest::SelfPath(), folder / "prog");
  std::string path = (folder / "prog").string();
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  const std::string report = RunArgvChild("\"" + path + "\" C:\\x\\y.ini");
  // Arguments are passed as written; only the program path is converted.
  EXPECT_NE(report.find("arg=C:\\x\\y.ini\n"), std::string::npos) << report;
}

}  // namespace

#include "platform/os/IpcNamespace.h"
#include "platform/os/Process.h"
#include "platform/win/MessageLoop.h"
#include "platform/win/Window.h"

#include "tests/KillGuard.h"
#include "tests/platform/win/WinTestSupport.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <sstream>

namespace {

namespace fs = std::filesystem;
using namespace platform::win;
using platform::os::ProcessIdentity;

class CrossProcess : public ::testing::Test {
 protected:
  // Starts a child process that owns a window and runs a message loop.
  bool StartWindowChild(const fs::path& report, HWND& hwnd, ProcessIdentity& child) {
    wintest::ScopedEnv role(wintest::kChildRoleVar, "window:" + report.string());
    if (!platform::os::CreateProcess("\"" + wintest::SelfPath() + "\"", &child)) return false;
    if (!wintest::WaitUntil([&] { return fs::exists(report); }, 20000)) return false;
    std::istringstream text(wintest::ReadFile(report));
    uint32_t pid = 0;
    text >> hwnd >> pid;
    return hwnd != 0 && pid == child.Pid;
  }

  // SIGKILL to a child while it still runs under its start time; whether
  // it was sent.
  static bool Kill(const ProcessIdentity& child) {
    return kill_guard::KillIf(static_cast<pid_t>(child.Pid),
                              [&](pid_t) { return platform::os::IsProcessAlive(child); });
  }

  // Children still running at the end are killed (and then reaped).
  void TearDown() override {
    for (const ProcessIdentity& child : started_) {
      Kill(child);
    }
    EXPECT_TRUE(wintest::WaitUntil([] { return platform::os::PendingChildCount() == 0; }, 20000));
  }

  wintest::TempDir dir_;
  std::vector<ProcessIdentity> started_;
};

TEST_F(CrossProcess, WindowOfAnotherProcessLivesUntilThatProcessIsKilled) {
  HWND remote = 0;
  ProcessIdentity child;
  ASSERT_TRUE(StartWindowChild(dir_.Path() / "a.txt", remote, child));
  started_.push_back(child);
  EXPECT_TRUE(IsWindow(remote));
  uint32_t pid = 0;
  EXPECT_NE(GetWindowThreadProcessId(remote, &pid), 0u);
  EXPECT_EQ(pid, child.Pid);

  // Integer parameters cross both ways, in order, also in a burst that
  // neither side handles at once.
  constexpr LPARAM kBase = 0x123456789AB;
  constexpr int kBurst = 500;
  std::vector<WPARAM> echoed;
  const HWND self = AllocateHWnd([&](HWND, UINT message, WPARAM wParam, LPARAM) -> LRESULT {
    if (message == WM_USER + 2) echoed.push_back(wParam);
    return 0;
  });
  for (int i = 0; i < kBurst; ++i) ASSERT_TRUE(PostMessage(remote, WM_USER + 1, self, kBase + i));
  EXPECT_TRUE(WaitPumping([&] { return echoed.size() >= kBurst; }, 20000));
  ASSERT_EQ(echoed.size(), static_cast<size_t>(kBurst));
  for (int i = 0; i < kBurst; ++i) EXPECT_EQ(echoed[i], static_cast<WPARAM>(kBase + i));
  DestroyWindow(self);

  // Only posts cross processes.
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(SendMessage(remote, WM_USER + 1, 0, 0), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));

  ASSERT_TRUE(Kill(child));
  EXPECT_TRUE(wintest::WaitUntil([&] { return !IsWindow(remote); }, 20000));
  EXPECT_FALSE(PostMessage(remote, WM_CLOSE, 0, 0));
  EXPECT_EQ(GetWindowThreadProcessId(remote), 0u);
}

TEST_F(CrossProcess, CloseMessageEndsTheLoopOfTheOtherProcess) {
  HWND remote = 0;
  ProcessIdentity child;
  const fs::path report = dir_.Path() / "b.txt";
  ASSERT_TRUE(StartWindowChild(report, remote, child));
  started_.push_back(child);
  ASSERT_TRUE(PostMessage(remote, WM_CLOSE, 0, 0));
  const fs::path done = report.string() + ".done";
  ASSERT_TRUE(wintest::WaitUntil([&] { return fs::exists(done); }, 20000));
  EXPECT_EQ(wintest::ReadFile(done), "exit 0");  // its loop ended, not its safety timer
  EXPECT_TRUE(wintest::WaitUntil([&] { return !platform::os::IsProcessAlive(child); }, 20000));
  EXPECT_FALSE(IsWindow(remote));
}

TEST_F(CrossProcess, LastProcessOutRemovesTheWindowTable) {
  // A namespace of its own that this process never joins.
  const std::string ns = platform::os::IpcNamespace() + ".solo";
  const fs::path segment = "/dev/shm/" + ns + ".FerrowickWindows";
  wintest::ScopedEnv scope("FERROWICK_IPC_NAMESPACE", ns);
  HWND remote = 0;
  ProcessIdentity killed;
  ASSERT_TRUE(StartWindowChild(dir_.Path() / "c.txt", remote, killed));
  started_.push_back(killed);
  EXPECT_TRUE(fs::exists(segment));
  ASSERT_TRUE(Kill(killed));
  ASSERT_TRUE(wintest::WaitUntil([&] { return !platform::os::IsProcessAlive(killed); }, 20000));
  // Killed: nobody removed it.
  EXPECT_TRUE(fs::exists(segment));
  // The next process finds it stale, uses it, and being last out removes it.
  const fs::path brief = dir_.Path() / "d.txt";
  wintest::ScopedEnv role(wintest::kChildRoleVar, "briefwindow:" + brief.string());
  ProcessIdentity child;
  ASSERT_TRUE(platform::os::CreateProcess("\"" + wintest::SelfPath() + "\"", &child));
  ASSERT_TRUE(wintest::WaitUntil([&] { return fs::exists(brief); }, 20000));
  EXPECT_NE(wintest::ReadFile(brief), "0");
  ASSERT_TRUE(wintest::WaitUntil([&] { return !platform::os::IsProcessAlive(child); }, 20000));
  EXPECT_FALSE(fs::exists(segment));
  // Nothing of the namespace is left behind, also when that check failed.
  if (fs::exists(segment)) RemoveStaleWindowTable();
}

TEST_F(CrossProcess, StaleWindowTableIsRemovedOnRequest) {
  const std::string ns = platform::os::IpcNamespace() + ".stale";
  const fs::path segment = "/dev/shm/" + ns + ".FerrowickWindows";
  wintest::ScopedEnv scope("FERROWICK_IPC_NAMESPACE", ns);
  EXPECT_FALSE(RemoveStaleWindowTable()) << "there is none yet";
  HWND remote = 0;
  ProcessIdentity killed;
  ASSERT_TRUE(StartWindowChild(dir_.Path() / "e.txt", remote, killed));
  started_.push_back(killed);
  EXPECT_FALSE(RemoveStaleWindowTable()) << "a live process holds it";
  EXPECT_TRUE(fs::exists(segment));
  ASSERT_TRUE(Kill(killed));
  // The lock goes with the last thread of the killed process, a moment
  // after its main thread shows as ended.
  EXPECT_TRUE(wintest::WaitUntil([] { return RemoveStaleWindowTable(); }, 20000));
  EXPECT_FALSE(fs::exists(segment));
}

}  // namespace

// halvorsten-host --interactive against a fake driver on a private Xvfb
// server: the forms the driver opens appear as X windows after their
// queued actions ran, and wait for the person, here a synthetic click and
// a close request of the window manager.

#include "tests/KillGuard.h"
#include "tests/platform/ui/draw/XvfbServer.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr auto kPatience = std::chrono::seconds(20);

// The host as a child process whose output lines are read as they come.
class HostProcess {
 public:
  HostProcess(const std::vector<std::string>& args, const fs::path& errors) {
    int fds[2];
    if (pipe(fds) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addclose(&actions, fds[1]);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = 0;
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    out_ = fds[0];
  }
  ~HostProcess() {
    if (kill_guard::KillChild(pid_)) waitpid(pid_, nullptr, 0);
    if (out_ >= 0) close(out_);
  }
  HostProcess(const HostProcess&) = delete;
  HostProcess& operator=(const HostProcess&) = delete;

  bool Started() const { return pid_ > 0; }
  pid_t Pid() const { return pid_; }

  // The first line from now on that starts with prefix (at most kPatience).
  std::optional<std::string> WaitLine(const std::string& prefix) {
    const auto deadline = Clock::now() + kPatience;
    for (;;) {
      for (size_t end; (end = pending_.find('\n')) != std::string::npos;) {
        std::string line = pending_.substr(0, end);
        pending_.erase(0, end + 1);
        if (line.rfind(prefix, 0) == 0) return line;
      }
      if (Clock::now() >= deadline) return std::nullopt;
      pollfd pfd{out_, POLLIN, 0};
      if (poll(&pfd, 1, 100) <= 0) continue;
      char buffer[4096];
      const ssize_t n = read(out_, buffer, sizeof buffer);
      if (n <= 0) return std::nullopt;
      pending_.append(buffer, static_cast<size_t>(n));
    }
  }

  // The exit status once the host ended (at most kPatience); -1 otherwise.
  int Wait() {
    const auto deadline = Clock::now() + kPatience;
    while (Clock::now() < deadline) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = 0;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return -1;
  }

 private:
  pid_t pid_ = 0;
  int out_ = -1;
  std::string pending_;
};

// The folder and setting of one host on server's display: a folder and an
// IPC namespace called name-<pid>, with the script in the folder.
fs::path Prepare(const xvfbtest::XvfbServer& server, const std::string& name, const std::string& script) {
  const std::string unique = name + "-" + std::to_string(getpid());
  const fs::path dir = fs::temp_directory_path() / unique;
  fs::create_directories(dir);
  std::ofstream(dir / "script.txt") << script;
  setenv("DISPLAY", server.Name().c_str(), 1);
  setenv("FERROWICK_IPC_NAMESPACE", unique.c_str(), 1);
  unsetenv("FERROWICK_UI");
  return dir;
}

// The shown window with that title (at most kPatience); None otherwise.
Window WaitWindow(Display* d, const std::string& title) {
  const auto deadline = Clock::now() + kPatience;
  for (;;) {
    if (const Window w = xvfbtest::FindShownWindow(d, title)) return w;
    if (Clock::now() >= deadline) return None;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

TEST(HostInteractive, AFormTheDriverOpensIsAWindowThePersonAnswers) {
  xvfbtest::XvfbServer server(640, 480);
  if (!server.Installed()) GTEST_SKIP() << "Xvfb is not installed";
  ASSERT_FALSE(server.Name().empty()) << "Xvfb did not start";
  const fs::path dir = Prepare(server, "host-x11", "dialog AboutForm bounds OkButton\nabout\n");

  Display* d = XOpenDisplay(server.Name().c_str());
  ASSERT_NE(d, nullptr);
  {
    HostProcess host({HOST_PROGRAM, "--module", FAKE_DRIVER, "--interactive", (dir / "script.txt").string()},
                     dir / "err.txt");
    ASSERT_TRUE(host.Started());
    // The queued action runs first and tells where the button is.
    const auto bounds = host.WaitLine("bounds AboutForm.OkButton ");
    ASSERT_TRUE(bounds.has_value());
    int left = 0, top = 0, width = 0, height = 0;
    ASSERT_EQ(std::sscanf(bounds->c_str(), "bounds AboutForm.OkButton %d %d %d %d", &left, &top, &width, &height), 4);
    const Window form = WaitWindow(d, "О программе");
    ASSERT_NE(form, None) << "the form is an X window";
    int x = 0, y = 0;
    Window child = None;
    ASSERT_TRUE(XTranslateCoordinates(d, form, DefaultRootWindow(d), 0, 0, &x, &y, &child));
    XTestFakeMotionEvent(d, 0, x + left + width / 2, y + top + height / 2, CurrentTime);
    XTestFakeButtonEvent(d, 1, True, CurrentTime);
    XTestFakeButtonEvent(d, 1, False, CurrentTime);
    XFlush(d);
    // Esc, the host's own answer, would have given 7 (Cancel).
    const auto about = host.WaitLine("log source=FAKE code=5 text=\"about ");
    ASSERT_TRUE(about.has_value());
    EXPECT_EQ(*about, "log source=FAKE code=5 text=\"about 1\"") << "closed by the click on OK";

    // The second form waits for the person until a window manager's close.
    const Window bare = WaitWindow(d, "bare");
    ASSERT_NE(bare, None);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_NE(xvfbtest::FindShownWindow(d, "bare"), None) << "still open";
    xvfbtest::RequestClose(d, bare);
    EXPECT_TRUE(host.WaitLine("log source=FAKE code=5 text=\"bare 2\"").has_value());
    EXPECT_EQ(host.Wait(), 0);
  }
  XCloseDisplay(d);
  std::ifstream errors(dir / "err.txt");
  std::stringstream text;
  text << errors.rdbuf();
  EXPECT_EQ(text.str(), "");
  fs::remove_all(dir);
}

TEST(HostInteractive, CtrlCClosesTheFormThatWaitsAndEndsTheDriver) {
  xvfbtest::XvfbServer server(640, 480);
  if (!server.Installed()) GTEST_SKIP() << "Xvfb is not installed";
  ASSERT_FALSE(server.Name().empty()) << "Xvfb did not start";
  const fs::path dir = Prepare(server, "host-x11-int", "init /drv\nabout\ninfo\n");
  const std::string ipcNamespace = dir.filename().string();

  Display* d = XOpenDisplay(server.Name().c_str());
  ASSERT_NE(d, nullptr);
  {
    HostProcess host({HOST_PROGRAM, "--module", FAKE_DRIVER, "--interactive", (dir / "script.txt").string()},
                     dir / "err.txt");
    ASSERT_TRUE(host.Started());
    ASSERT_NE(WaitWindow(d, "О программе"), None);
    ASSERT_TRUE(kill_guard::SignalIf(host.Pid(), SIGINT, kill_guard::IsOwnChild));
    // Both forms end as cancelled, the rest of the script does not run.
    EXPECT_TRUE(host.WaitLine("log source=FAKE code=5 text=\"about 2\"").has_value());
    EXPECT_TRUE(host.WaitLine("log source=FAKE code=5 text=\"bare 2\"").has_value());
    EXPECT_EQ(host.WaitLine("result "), "result DLMAbout");
    EXPECT_EQ(host.WaitLine("result "), "result DLMStopDeviceDrv 0");
    EXPECT_EQ(host.WaitLine("result "), "result DLMDoneDeviceDrv 0");
    EXPECT_EQ(host.Wait(), 130);
  }
  XCloseDisplay(d);
  fs::remove_all(dir);
  // A host that had to be killed leaves its window table; none runs now.
  EXPECT_FALSE(fs::exists("/dev/shm/" + ipcNamespace + ".FerrowickWindows"));
  fs::remove("/dev/shm/" + ipcNamespace + ".FerrowickWindows");
}

TEST(HostInteractive, WithoutADisplayTheHostRefuses) {
  // No DISPLAY, and a display that does not open: the message names it.
  const fs::path errors = fs::temp_directory_path() / ("host-display-" + std::to_string(getpid()) + ".txt");
  for (const char* display : {"", ":4093"}) {
    const std::string command = std::string(*display ? "DISPLAY=" : "unset DISPLAY; ") + display + " '" +
                                HOST_PROGRAM + "' --module '" + FAKE_DRIVER + "' --interactive /dev/null 2>'" +
                                errors.string() + "'";
    const int raw = std::system(command.c_str());
    EXPECT_EQ(WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, 2) << display;
    std::ifstream in(errors);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (*display) {
      EXPECT_NE(text.find("cannot open X display \":4093\""), std::string::npos) << text;
      EXPECT_EQ(text.find("headless"), std::string::npos) << text;
    }
  }
  fs::remove(errors);
}

}  // namespace

#include "tests/platform/win/WinTestSupport.h"

#include "platform/win/MessageLoop.h"
#include "platform/win/Window.h"

#include <dirent.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

namespace wintest {
namespace {

using namespace platform::win;

constexpr UINT kEchoRequest = WM_USER + 1;  // wParam: reply window, lParam: value
constexpr UINT kEchoReply = WM_USER + 2;    // wParam: the value
constexpr uintptr_t kSafetyTimer = 99;      // ends a forgotten child

int OpenDescriptorsAbove2() {
  DIR* dir = ::opendir("/proc/self/fd");
  if (!dir) return -1;
  int count = 0;
  while (const dirent* entry = ::readdir(dir)) {
    const int fd = std::atoi(entry->d_name);
    if (entry->d_name[0] != '.' && fd > 2 && fd != ::dirfd(dir)) ++count;
  }
  ::closedir(dir);
  return count;
}

int ArgvRole(const std::string& file, int argc, char** argv) {
  std::ostringstream out;
  for (int i = 0; i < argc; ++i) out << "arg=" << argv[i] << "\n";
  char cwd[4096] = {};
  if (!::getcwd(cwd, sizeof cwd)) cwd[0] = 0;
  const char* probe = std::getenv("FW_WIN_PROBE");
  out << "cwd=" << cwd << "\n";
  out << "env=" << (probe ? probe : "") << "\n";
  out << "fds=" << OpenDescriptorsAbove2() << "\n";
  WriteFileAtomic(file, out.str());
  return 0;
}

int WindowRole(const std::string& file) {
  const HWND hwnd = AllocateHWnd([](HWND self, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
    if (message == WM_CLOSE) {
      DestroyWindow(self);
      PostQuitMessage(0);
    } else if (message == kEchoRequest) {
      PostMessage(static_cast<HWND>(wParam), kEchoReply, static_cast<WPARAM>(lParam), 0);
    } else if (message == WM_TIMER && wParam == kSafetyTimer) {
      PostQuitMessage(3);
    }
    return 0;
  });
  if (hwnd == 0) return 2;
  SetTimer(hwnd, kSafetyTimer, 30000);
  WriteFileAtomic(file, std::to_string(hwnd) + " " + std::to_string(::getpid()));
  MSG msg;
  while (GetMessage(msg)) DispatchMessage(msg);
  WriteFileAtomic(file + ".done", "exit " + std::to_string(msg.wParam));
  return static_cast<int>(msg.wParam);
}

}  // namespace

int RunChildRole(const std::string& role, int argc, char** argv) {
  const size_t colon = role.find(':');
  const std::string name = role.substr(0, colon);
  const std::string arg = colon == std::string::npos ? "" : role.substr(colon + 1);
  if (name == "argv") return ArgvRole(arg, argc, argv);
  if (name == "window") return WindowRole(arg);
  if (name == "exit") return 0;
  if (name == "briefwindow") {
    const HWND hwnd = AllocateHWnd(nullptr);
    WriteFileAtomic(arg, std::to_string(hwnd));
    return hwnd == 0 ? 2 : 0;
  }
  return 100;
}

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    if (condition()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

std::string SelfPath() { return std::filesystem::read_symlink("/proc/self/exe").string(); }

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteFileAtomic(const std::filesystem::path& path, const std::string& text) {
  const std::filesystem::path temp = path.string() + ".tmp";
  {
    std::ofstream out(temp, std::ios::binary);
    out << text;
  }
  std::filesystem::rename(temp, path);
}

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "fwwin.XXXXXX").string();
  if (::mkdtemp(pattern.data())) path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ec;
  if (!path_.empty()) std::filesystem::remove_all(path_, ec);
}

ScopedEnv::ScopedEnv(const char* name, const std::string& value) : name_(name) {
  const char* old = std::getenv(name);
  had_ = old != nullptr;
  if (had_) old_ = old;
  ::setenv(name, value.c_str(), 1);
}

ScopedEnv::~ScopedEnv() {
  if (had_) {
    ::setenv(name_.c_str(), old_.c_str(), 1);
  } else {
    ::unsetenv(name_.c_str());
  }
}

}  // namespace wintest

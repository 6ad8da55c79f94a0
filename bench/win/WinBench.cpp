// Message round trips: SendMessage to a window of another thread, and a
// post to a window of another process answered by a post back (two
// cross-process posts per iteration). The program also plays the echoing
// child process.

#include "platform/os/Process.h"
#include "platform/win/MessageLoop.h"
#include "platform/win/Window.h"

#include <benchmark/benchmark.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <thread>

namespace {

using namespace platform::win;

constexpr UINT kEcho = WM_USER + 1;   // wParam: reply window, lParam: value
constexpr UINT kReply = WM_USER + 2;  // wParam: the value
constexpr const char* kChildVar = "FW_WIN_BENCH_CHILD";

// The message loop of a window that answers kEcho and ends on WM_CLOSE
// (or after a minute, should its parent vanish).
int RunEchoLoop(const std::function<void(HWND)>& ready) {
  const HWND hwnd = AllocateHWnd([](HWND self, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
    if (message == kEcho) PostMessage(static_cast<HWND>(wParam), kReply, static_cast<WPARAM>(lParam), 0);
    if (message == WM_CLOSE || message == WM_TIMER) {
      DestroyWindow(self);
      PostQuitMessage(0);
    }
    return static_cast<LRESULT>(wParam) + 1;
  });
  if (hwnd == 0) return 1;
  SetTimer(hwnd, 1, 60000);
  ready(hwnd);
  MSG msg;
  while (GetMessage(msg)) DispatchMessage(msg);
  return 0;
}

void BM_SendMessageCrossThread(benchmark::State& state) {
  std::promise<HWND> made;
  std::thread owner([&] { RunEchoLoop([&](HWND hwnd) { made.set_value(hwnd); }); });
  const HWND target = made.get_future().get();
  LRESULT sum = 0;
  for (auto _ : state) sum += SendMessage(target, WM_USER, 1, 0);
  benchmark::DoNotOptimize(sum);
  PostMessage(target, WM_CLOSE, 0, 0);
  owner.join();
}
BENCHMARK(BM_SendMessageCrossThread)->UseRealTime();

void BM_PostMessageCrossProcessRoundTrip(benchmark::State& state) {
  const std::string report = "/tmp/fw_win_bench." + std::to_string(::getpid());
  ::setenv(kChildVar, report.c_str(), 1);
  platform::os::ProcessIdentity child;
  const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
  const bool started = platform::os::CreateProcess("\"" + self + "\"", &child);
  ::unsetenv(kChildVar);
  HWND remote = 0;
  for (int i = 0; started && i < 10000 && remote == 0; ++i) {
    std::ifstream(report) >> remote;
    if (remote == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  std::filesystem::remove(report);
  if (remote == 0) {
    state.SkipWithError("echo process did not start");
    return;
  }
  WPARAM answered = 0;
  const HWND self_window = AllocateHWnd([&](HWND, UINT message, WPARAM wParam, LPARAM) -> LRESULT {
    if (message == kReply) answered = wParam;
    return 0;
  });
  LPARAM value = 0;
  for (auto _ : state) {
    ++value;
    PostMessage(remote, kEcho, self_window, value);
    MSG msg;
    while (answered != static_cast<WPARAM>(value) && GetMessage(msg)) DispatchMessage(msg);
  }
  PostMessage(remote, WM_CLOSE, 0, 0);
  DestroyWindow(self_window);
  for (int i = 0; i < 5000 && platform::os::IsProcessAlive(child); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  if (platform::os::IsProcessAlive(child)) ::kill(static_cast<pid_t>(child.Pid), SIGKILL);
}
BENCHMARK(BM_PostMessageCrossProcessRoundTrip)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  if (const char* report = std::getenv(kChildVar)) {
    const std::string path = report;
    return RunEchoLoop([&](HWND hwnd) {
      std::ofstream(path + ".tmp") << hwnd;
      std::filesystem::rename(path + ".tmp", path);
    });
  }
  const std::string ns = "winbench" + std::to_string(::getpid());
  ::setenv("FERROWICK_IPC_NAMESPACE", ns.c_str(), 1);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

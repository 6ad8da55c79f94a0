// A stand-in for the communication server in the driver's tests. Copied
// into a test's driver folder as Ferrowick_V30.srv, it appends its command
// line, one argument per TAB-separated field, to "started.txt" beside
// itself. When a file "register" lies beside it, it also opens the section,
// registers its process and a window in slot 0 and waits (at most 30 s)
// for WM_CLOSE or its driver's going, then clears its slot, as the real
// server does.

#include "exchange/ComonDef.h"
#include "exchange/OPCSharedMemory.h"
#include "platform/os/Files.h"
#include "platform/os/Process.h"
#include "platform/win/MessageLoop.h"
#include "platform/win/Window.h"

#include <string>

namespace {

constexpr uint32_t kLifetimeMs = 30000;

int Register() {
  auto section = exchange::TIntercomInterface::Open(exchange::kSectionName);
  if (!section || !section->IsAttached()) return 3;
  bool closed = false;
  const platform::win::HWND window = platform::win::AllocateHWnd(
      [&closed](platform::win::HWND, platform::win::UINT message, platform::win::WPARAM,
                platform::win::LPARAM) -> platform::win::LRESULT {
        if (message == platform::win::WM_CLOSE) closed = true;
        return 0;
      });
  if (window == 0) return 4;
  exchange::ServerIndex = 0;
  exchange::TServerData& slots = *section->ServerData();
  slots.SetOwnProcessId(static_cast<int32_t>(platform::os::GetCurrentProcessId()));
  slots.SetOwnWindowHandle(static_cast<int32_t>(window));
  slots.SetOwnRunning(true);
  platform::win::WaitPumping([&] { return closed || !section->DriverHolds(); }, kLifetimeMs);
  slots.SetOwnWindowHandle(0);
  slots.SetOwnProcessId(0);
  slots.SetOwnRunning(false);
  platform::win::DestroyWindow(window);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string dir = platform::os::ExtractFilePath(platform::os::ProgramPath());
  std::string line;
  for (int i = 0; i < argc; ++i) line += (i ? "\t" : "") + std::string(argv[i]);
  if (!platform::os::AppendLine(dir + "started.txt", line)) return 2;
  return platform::os::FileExists(dir + "register") ? Register() : 0;
}

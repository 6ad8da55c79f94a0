#include "platform/win/Window.h"

#include "platform/os/IpcNamespace.h"
#include "platform/win/WindowRegistry.h"
#include "platform/win/WindowTable.h"

namespace platform::win {

HWND AllocateHWnd(WindowProc proc) { return WindowRegistry::Instance().Add(std::move(proc)); }

bool DestroyWindow(HWND hwnd) { return hwnd != 0 && WindowRegistry::Instance().Remove(hwnd); }

bool IsWindow(HWND hwnd) {
  if (hwnd == 0) return false;
  WindowRegistry& registry = WindowRegistry::Instance();
  if (registry.Find(hwnd)) return true;
  WindowOwner owner;
  return registry.FindRemote(hwnd, owner);
}

uint32_t GetWindowThreadProcessId(HWND hwnd, uint32_t* processId) {
  if (processId) *processId = 0;
  if (hwnd == 0) return 0;
  WindowRegistry& registry = WindowRegistry::Instance();
  if (auto window = registry.Find(hwnd)) {
    if (processId) *processId = registry.Self().Pid;
    return window->ThreadId;
  }
  WindowOwner owner;
  if (!registry.FindRemote(hwnd, owner)) return 0;
  if (processId) *processId = owner.Process.Pid;
  return owner.ThreadId;
}

bool RemoveStaleWindowTable() { return WindowTable::RemoveStale(os::IpcName(kWindowTableName)); }

}  // namespace platform::win

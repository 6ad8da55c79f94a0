#include "platform/ui/TrayIcon.h"

#include <cstring>
#include <mutex>

#include "platform/ui/Backend.h"

namespace platform::ui {

bool Shell_NotifyIconA(uint32_t message, const NOTIFYICONDATAA* data) {
  if (data == nullptr || data->cbSize < sizeof(NOTIFYICONDATAA)) return false;
  static std::mutex mutex;  // the backend's tray is one per process
  std::lock_guard lock(mutex);
  TTrayIcon icon;
  icon.Wnd = data->hWnd;
  icon.ID = data->uID;
  icon.Flags = data->uFlags & (NIF_MESSAGE | NIF_ICON | NIF_TIP);
  if (data->uFlags & NIF_MESSAGE) icon.CallbackMessage = data->uCallbackMessage;
  if (data->uFlags & NIF_ICON) icon.Icon = data->hIcon;
  if (data->uFlags & NIF_TIP) icon.Tip.assign(data->szTip, strnlen(data->szTip, 63));
  switch (message) {
    case NIM_ADD:
      return Backend().TrayAdd(icon);
    case NIM_MODIFY:
      return Backend().TrayModify(icon);
    case NIM_DELETE:
      return Backend().TrayDelete(icon.Wnd, icon.ID);
    default:
      return false;
  }
}

}  // namespace platform::ui

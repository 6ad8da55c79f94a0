#pragma once
// The notification area (tray): the classic record and call, served by the
// backend. Fails when the backend has no tray.

#include <cstdint>

#include "platform/win/Messages.h"

namespace platform::ui {

using HICON = uint32_t;

inline constexpr uint32_t NIM_ADD = 0;
inline constexpr uint32_t NIM_MODIFY = 1;
inline constexpr uint32_t NIM_DELETE = 2;
inline constexpr uint32_t NIF_MESSAGE = 1;
inline constexpr uint32_t NIF_ICON = 2;
inline constexpr uint32_t NIF_TIP = 4;

// The ANSI record, 88 bytes.
#pragma pack(push, 1)
struct NOTIFYICONDATAA {
  uint32_t cbSize;
  platform::win::HWND hWnd;
  uint32_t uID;
  uint32_t uFlags;
  uint32_t uCallbackMessage;
  HICON hIcon;
  char szTip[64];
};
#pragma pack(pop)
static_assert(sizeof(NOTIFYICONDATAA) == 88);

// Adds, modifies or deletes the icon (hWnd, uID). False for an unknown
// message, a record whose cbSize is below 88, no tray, adding an existing
// icon, or modifying / deleting a missing one. The tip is read up to its
// first zero, at most 63 bytes. Any thread.
bool Shell_NotifyIconA(uint32_t message, const NOTIFYICONDATAA* data);

}  // namespace platform::ui

#pragma once
// The message record of the control model and the control model's own
// message numbers (CM_* notifications, CN_* reflected notifications).
// Window message numbers (WM_*) keep their classic values.

#include <cstdint>

#include "platform/win/Messages.h"

namespace platform::ui {

using platform::win::LPARAM;
using platform::win::LRESULT;
using platform::win::WPARAM;

// What WindowProc, WndProc and the message handlers receive. A handler
// that does not know a message leaves WParam and LParam as they are.
struct TMessage {
  uint32_t Msg = 0;
  WPARAM WParam = 0;
  LPARAM LParam = 0;
  LRESULT Result = 0;
};
static_assert(sizeof(TMessage) == 4 * sizeof(void*));

// Window messages the control model sends or handles.
inline constexpr uint32_t WM_MOVE = 0x0003;
inline constexpr uint32_t WM_SIZE = 0x0005;
inline constexpr uint32_t WM_SETFOCUS = 0x0007;
inline constexpr uint32_t WM_KILLFOCUS = 0x0008;
inline constexpr uint32_t WM_ENABLE = 0x000A;
inline constexpr uint32_t WM_SETTEXT = 0x000C;
inline constexpr uint32_t WM_PAINT = 0x000F;
inline constexpr uint32_t WM_ERASEBKGND = 0x0014;
inline constexpr uint32_t WM_SHOWWINDOW = 0x0018;
inline constexpr uint32_t WM_FONTCHANGE = 0x001D;
inline constexpr uint32_t WM_NCPAINT = 0x0085;
inline constexpr uint32_t WM_KEYDOWN = 0x0100;
inline constexpr uint32_t WM_KEYUP = 0x0101;
inline constexpr uint32_t WM_CHAR = 0x0102;
inline constexpr uint32_t WM_SYSKEYDOWN = 0x0104;
inline constexpr uint32_t WM_SYSKEYUP = 0x0105;
inline constexpr uint32_t WM_SYSCHAR = 0x0106;
inline constexpr uint32_t WM_COMMAND = 0x0111;
inline constexpr uint32_t WM_MOUSEMOVE = 0x0200;
inline constexpr uint32_t WM_LBUTTONDOWN = 0x0201;
inline constexpr uint32_t WM_LBUTTONUP = 0x0202;
inline constexpr uint32_t WM_LBUTTONDBLCLK = 0x0203;
inline constexpr uint32_t WM_RBUTTONDOWN = 0x0204;
inline constexpr uint32_t WM_RBUTTONUP = 0x0205;
inline constexpr uint32_t WM_RBUTTONDBLCLK = 0x0206;

// Mouse message parameters: LParam holds x in the low and y in the high
// 16 bits (signed), client coordinates of the receiving control; WParam
// the buttons and keys held (MK_*).
inline constexpr WPARAM MK_LBUTTON = 0x0001;
inline constexpr WPARAM MK_RBUTTON = 0x0002;
inline constexpr WPARAM MK_SHIFT = 0x0004;
inline constexpr WPARAM MK_CONTROL = 0x0008;
inline constexpr LPARAM MakeMouseLParam(int x, int y) {
  return static_cast<LPARAM>((static_cast<uint32_t>(static_cast<uint16_t>(y)) << 16) |
                             static_cast<uint16_t>(x));
}
inline constexpr int MouseX(LPARAM l) { return static_cast<int16_t>(static_cast<uint16_t>(l & 0xFFFF)); }
inline constexpr int MouseY(LPARAM l) { return static_cast<int16_t>(static_cast<uint16_t>((l >> 16) & 0xFFFF)); }

// Keyboard: key messages carry the key code in WParam; for WM_KEYDOWN,
// WM_KEYUP and CM_DIALOGKEY the LParam carries the TShiftState held (the
// classic key data bits are not modelled). WM_CHAR and CM_DIALOGCHAR carry
// the CP1251 character in WParam.

// The control model's own notifications. Their numbers are fixed here and
// stay clear of the system's library messages (0xA000..0xA464).
inline constexpr uint32_t CM_BASE = 0xB000;
inline constexpr uint32_t CM_ACTIVATE = CM_BASE + 0;
inline constexpr uint32_t CM_DEACTIVATE = CM_BASE + 1;
inline constexpr uint32_t CM_DIALOGKEY = CM_BASE + 5;     // WParam key, LParam shift
inline constexpr uint32_t CM_DIALOGCHAR = CM_BASE + 6;    // WParam character
inline constexpr uint32_t CM_FOCUSCHANGED = CM_BASE + 7;  // LParam the newly focused TWinControl*
inline constexpr uint32_t CM_PARENTFONTCHANGED = CM_BASE + 8;
inline constexpr uint32_t CM_PARENTCOLORCHANGED = CM_BASE + 9;
inline constexpr uint32_t CM_HITTEST = CM_BASE + 10;
inline constexpr uint32_t CM_VISIBLECHANGED = CM_BASE + 11;  // WParam the new value
inline constexpr uint32_t CM_ENABLEDCHANGED = CM_BASE + 12;
inline constexpr uint32_t CM_COLORCHANGED = CM_BASE + 13;
inline constexpr uint32_t CM_FONTCHANGED = CM_BASE + 14;
inline constexpr uint32_t CM_CURSORCHANGED = CM_BASE + 15;
inline constexpr uint32_t CM_TEXTCHANGED = CM_BASE + 18;
inline constexpr uint32_t CM_MOUSEENTER = CM_BASE + 19;
inline constexpr uint32_t CM_MOUSELEAVE = CM_BASE + 20;
inline constexpr uint32_t CM_SHOWHINTCHANGED = CM_BASE + 22;
inline constexpr uint32_t CM_SYSCOLORCHANGE = CM_BASE + 25;
inline constexpr uint32_t CM_ENTER = CM_BASE + 27;
inline constexpr uint32_t CM_EXIT = CM_BASE + 28;
inline constexpr uint32_t CM_PARENTSHOWHINTCHANGED = CM_BASE + 34;
inline constexpr uint32_t CM_SHOWINGCHANGED = CM_BASE + 46;
inline constexpr uint32_t CM_RELEASE = CM_BASE + 48;   // posted: free the form
inline constexpr uint32_t CM_INVOKE = CM_BASE + 90;    // posted: run a queued call

// Notifications a windowed control sends to itself about its own command
// (the classic reflection of WM_COMMAND). CN_COMMAND: WParam high word is the
// notification code (0 = clicked).
inline constexpr uint32_t CN_BASE = 0xBC00;
inline constexpr uint32_t CN_COMMAND = CN_BASE + WM_COMMAND;
inline constexpr uint32_t CN_KEYDOWN = CN_BASE + WM_KEYDOWN;
inline constexpr uint32_t CN_CHAR = CN_BASE + WM_CHAR;

}  // namespace platform::ui

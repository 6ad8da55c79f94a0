#pragma once
// Window handles, message parameter types and every window message number
// the system and this layer use, in one place.

#include <cstdint>

namespace platform::win {

// A window handle: non-zero, 32 bits (it is stored in 4-byte fields of
// shared records), unique on the machine within the IPC namespace while the
// window lives. 0 means "no window".
using HWND = uint32_t;
using UINT = uint32_t;
// Message parameters and results are pointer-sized, as on Windows; only
// integers cross a process boundary.
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;
static_assert(sizeof(WPARAM) == sizeof(void*) && sizeof(LPARAM) == sizeof(void*) &&
              sizeof(LRESULT) == sizeof(void*));

// One queued message, as GetMessage/PeekMessage hand it out.
struct MSG {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  uint32_t time;  // milliseconds of the monotonic clock when it was queued
};
static_assert(sizeof(MSG) == (sizeof(void*) == 8 ? 32 : 20));

// Window messages of the message layer itself. The control model's
// messages (WM_PAINT, WM_SIZE, ..., CM_*) are numbered in
// platform/ui/Messages.h.
inline constexpr UINT WM_NULL = 0x0000;
inline constexpr UINT WM_CLOSE = 0x0010;
inline constexpr UINT WM_QUIT = 0x0012;
inline constexpr UINT WM_TIMER = 0x0113;
inline constexpr UINT WM_USER = 0x0400;

// Messages the system defines for itself.
inline constexpr UINT WM_LOCALTIMER = 1147;     // tick of the server's device window
inline constexpr UINT WM_STATUSBARICON = 1359;  // tray icon callback of the server
inline constexpr UINT WM_DRIVERSTATE = 0x69A;   // driver state changed (1690)

// Messages of the skinned-control library: the style query and the range
// 0xA401..0xA464 that styles exchange. WParam carries the group index.
inline constexpr UINT SM_STYLEQUERY = 0xA000;
inline constexpr UINT SM_FIRST = 0xA401;
inline constexpr UINT SM_CACHESTALE = 0xA401;        // LParam: stale flag
inline constexpr UINT SM_SKINLOADED = 0xA402;
inline constexpr UINT SM_SKINREMOVED = 0xA403;
inline constexpr UINT SM_SKINRESET = 0xA404;
inline constexpr UINT SM_INVALIDATE = 0xA407;
inline constexpr UINT SM_PARENTBACKGROUND = 0xA408;
inline constexpr UINT SM_SECTIONREPAINT = 0xA409;
inline constexpr UINT SM_SECTIONTRANSPARENCY = 0xA40A;
inline constexpr UINT SM_BASELAST = 0xA414;           // end of the base-level range
inline constexpr UINT SM_SOFTCONTROL = 0xA433;       // LParam: flag; start of the paint range
inline constexpr UINT SM_PAINTCOLOR = 0xA43D;        // LParam: colour
inline constexpr UINT SM_BACKGROUNDIMAGE = 0xA447;   // LParam: picture
inline constexpr UINT SM_SHADOWENABLED = 0xA451;     // LParam: flag
inline constexpr UINT SM_SHADOWCOLOR = 0xA452;       // LParam: colour
inline constexpr UINT SM_SHADOWTRANSPARENCY = 0xA453;  // LParam: percent
inline constexpr UINT SM_SHADOWOFFSET = 0xA454;      // LParam: pixels
inline constexpr UINT SM_SHADOWBLUR = 0xA455;        // LParam: pixels
inline constexpr UINT SM_CHILDSHADOW = 0xA456;
inline constexpr UINT SM_SHADOWDEFAULTS = 0xA464;    // LParam: defaults object
inline constexpr UINT SM_LAST = 0xA464;

// PeekMessage flags.
inline constexpr UINT PM_NOREMOVE = 0;
inline constexpr UINT PM_REMOVE = 1;

}  // namespace platform::win

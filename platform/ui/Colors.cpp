#include "platform/ui/Colors.h"

#include <array>

namespace platform::ui {

namespace {

// The classic 3D scheme: grey faces, white highlights, dark grey shadows,
// navy selection, pale yellow tooltips. Fixed, so that pictures are
// reproducible whatever desktop the program runs on.
constexpr std::array<TColor, kSystemColorCount> kSystemColors = {
    RGB(192, 192, 192),  // 0 scroll bar
    RGB(0, 128, 128),    // 1 desktop background
    RGB(0, 0, 128),      // 2 active caption
    RGB(128, 128, 128),  // 3 inactive caption
    RGB(192, 192, 192),  // 4 menu
    RGB(255, 255, 255),  // 5 window
    RGB(0, 0, 0),        // 6 window frame
    RGB(0, 0, 0),        // 7 menu text
    RGB(0, 0, 0),        // 8 window text
    RGB(255, 255, 255),  // 9 caption text
    RGB(192, 192, 192),  // 10 active border
    RGB(192, 192, 192),  // 11 inactive border
    RGB(128, 128, 128),  // 12 application workspace
    RGB(0, 0, 128),      // 13 highlight
    RGB(255, 255, 255),  // 14 highlight text
    RGB(192, 192, 192),  // 15 button face
    RGB(128, 128, 128),  // 16 button shadow
    RGB(128, 128, 128),  // 17 grey text
    RGB(0, 0, 0),        // 18 button text
    RGB(192, 192, 192),  // 19 inactive caption text
    RGB(255, 255, 255),  // 20 button highlight
    RGB(0, 0, 0),        // 21 3D dark shadow
    RGB(223, 223, 223),  // 22 3D light
    RGB(0, 0, 0),        // 23 info text
    RGB(255, 255, 225),  // 24 info background
    RGB(192, 192, 192),  // 25 (unused slot)
    RGB(0, 0, 255),      // 26 hot light
    RGB(16, 132, 208),   // 27 gradient active caption
    RGB(181, 181, 181),  // 28 gradient inactive caption
    RGB(0, 0, 128),      // 29 menu highlight
    RGB(192, 192, 192),  // 30 menu bar
};

}  // namespace

TColor GetSysColor(int index) {
  if (index < 0 || index >= kSystemColorCount) return clBlack;
  return kSystemColors[static_cast<std::size_t>(index)];
}

TColor ColorToRGB(TColor color) {
  if (!IsSystemColor(color)) return color;
  return GetSysColor(static_cast<int>(static_cast<uint32_t>(color) & 0x00FFFFFFu));
}

}  // namespace platform::ui

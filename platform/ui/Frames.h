#pragma once
// Classic 3D frames: edges, focus rectangles and the small frame controls
// (push buttons, check boxes, radio buttons, scroll and drop-down arrows)
// that the standard controls paint with, in the fixed system colours.
// Called on the thread that uses the painter.

#include <cstdint>

#include "platform/ui/Painter.h"

namespace platform::ui {

// DrawEdge borders (outer and inner line of a 3D edge) and their pairs.
inline constexpr uint32_t BDR_RAISEDOUTER = 0x1;
inline constexpr uint32_t BDR_SUNKENOUTER = 0x2;
inline constexpr uint32_t BDR_RAISEDINNER = 0x4;
inline constexpr uint32_t BDR_SUNKENINNER = 0x8;
inline constexpr uint32_t EDGE_RAISED = BDR_RAISEDOUTER | BDR_RAISEDINNER;
inline constexpr uint32_t EDGE_SUNKEN = BDR_SUNKENOUTER | BDR_SUNKENINNER;
inline constexpr uint32_t EDGE_ETCHED = BDR_SUNKENOUTER | BDR_RAISEDINNER;
inline constexpr uint32_t EDGE_BUMP = BDR_RAISEDOUTER | BDR_SUNKENINNER;

// DrawEdge sides and options.
inline constexpr uint32_t BF_LEFT = 0x1;
inline constexpr uint32_t BF_TOP = 0x2;
inline constexpr uint32_t BF_RIGHT = 0x4;
inline constexpr uint32_t BF_BOTTOM = 0x8;
inline constexpr uint32_t BF_RECT = BF_LEFT | BF_TOP | BF_RIGHT | BF_BOTTOM;
inline constexpr uint32_t BF_MIDDLE = 0x800;
inline constexpr uint32_t BF_ADJUST = 0x2000;
inline constexpr uint32_t BF_FLAT = 0x4000;
inline constexpr uint32_t BF_MONO = 0x8000;

// DrawFrameControl kinds and states.
inline constexpr uint32_t DFC_SCROLL = 3;
inline constexpr uint32_t DFC_BUTTON = 4;
inline constexpr uint32_t DFCS_BUTTONCHECK = 0x0;
inline constexpr uint32_t DFCS_BUTTONRADIO = 0x4;
inline constexpr uint32_t DFCS_BUTTONPUSH = 0x10;
inline constexpr uint32_t DFCS_SCROLLUP = 0x0;
inline constexpr uint32_t DFCS_SCROLLDOWN = 0x1;
inline constexpr uint32_t DFCS_SCROLLLEFT = 0x2;
inline constexpr uint32_t DFCS_SCROLLRIGHT = 0x3;
inline constexpr uint32_t DFCS_SCROLLCOMBOBOX = 0x5;
inline constexpr uint32_t DFCS_INACTIVE = 0x100;
inline constexpr uint32_t DFCS_PUSHED = 0x200;
inline constexpr uint32_t DFCS_CHECKED = 0x400;
inline constexpr uint32_t DFCS_FLAT = 0x4000;

// Draws the lines of edge on the sides named by flags: the top and left
// line of each border in its light colour, the bottom and right one (and
// so the top-right and bottom-left corners) in its dark colour; the outer
// border first. Raised outer: 3D light / dark shadow; raised inner:
// highlight / shadow; sunken outer: shadow / highlight; sunken inner: dark
// shadow / 3D light. BF_FLAT draws every line in the shadow colour,
// BF_MONO in the window frame colour. BF_MIDDLE fills the inside with the
// button face; BF_ADJUST leaves r as the inside. False for a null handle.
bool DrawEdge(HDC dc, TRect& r, uint32_t edge, uint32_t flags);

// Inverts every second pixel of r's one-pixel frame (those with x + y
// even), so that drawing it twice restores the picture.
bool DrawFocusRect(HDC dc, const TRect& r);

// A small control frame in r: push button face, check box (13 x 13 at r's
// top-left), radio button (12 x 12), or a scroll / drop-down arrow button.
// False for an unknown kind or a null handle.
bool DrawFrameControl(HDC dc, const TRect& r, uint32_t kind, uint32_t state);

}  // namespace platform::ui

#pragma once
// sHintShapes: the geometry and the shape masks of the skinned hint
// windows, as plain functions of their numbers: where a hint opens
// relative to the mouse point (its corner), the ellipse's growth around a
// text box, the body rectangle with room for the tail, the tail point,
// and the stepped masks (light outer steps, each inner step one pixel
// further in and darker) of the comics, ellipse and balloon shapes.
// Masks are drawn into the caller's 24-bit bitmap. GUI thread.

#include <cstdint>

#include "platform/ui/Bitmap.h"
#include "platform/ui/Types.h"

namespace skin {

// Where the window lies relative to the mouse point: 0 below right, 1
// above right, 2 below left, 3 above left. Bit 0: the tail is at the
// bottom edge; bit 1: the tail is at the right side.
using THintCorner = uint8_t;
inline bool TailAtBottom(THintCorner corner) { return (corner & 1) != 0; }

struct THintPlacement {
  platform::ui::TRect Bounds;
  THintCorner Corner = 0;
};

// A w x h hint at mouse point p: below and right of it unless it would
// leave the desktop's height or width, then above or left, but never
// above or left of the desktop.
THintPlacement PlaceHint(platform::ui::TPoint p, int32_t w, int32_t h, const platform::ui::TRect& desktop);

// Growth of an ellipse around a w x h text box: with d = sqrt(w² + h²) - w,
// round(w * d / h) wider and round(h * d / w) higher (halves to even). A
// box without area grows by nothing.
void EllipseGrowth(int32_t w, int32_t h, int32_t& extraWidth, int32_t& extraHeight);

// The tip of the tail in a w x h window, 3 pixels in from the corner the
// mouse point is at.
platform::ui::TPoint HintTailPoint(THintCorner corner, int32_t w, int32_t h);

// The body of a w x h window whose shadow takes shift pixels at the right
// and bottom, with exOffset pixels kept for the tail on the mouse's side.
platform::ui::TRect TailBodyRect(THintCorner corner, int32_t w, int32_t h, int32_t shift, int32_t exOffset);

enum class THintShape { Rounded, Ellipse };

// The stepped mask of a comics (Rounded, corner ellipses radius x radius)
// or ellipse body with a triangular tail to tail, in b (height h = b's):
// for i = 0..blur a shape grown in by i pixels in grey
// round((blur - i) * K) + T, T = transparency (0..100) * 255 div 100 and
// K = (255 - T) / (blur + 1). Nothing for a negative blur; steps that
// could no longer draw anything (past the longer side) are skipped.
void DrawSteppedShape(platform::ui::TBitmap& b, THintShape shape, const platform::ui::TRect& body,
                      platform::ui::TPoint tail, THintCorner corner, int32_t transparency, int32_t blur,
                      int32_t radius);

// The balloon: an ellipse body and a trail of bubbleCount ellipses
// (1..kMaxBubbles; fewer draws none) toward tail, which grow toward the
// body by a step that fills exOffset; bubbleDivisor (at least 1) sets the
// first bubble's size, body height / (divisor * count). shift is the
// shadow's room below a body whose tail is at the bottom. Greys as in
// DrawSteppedShape.
inline constexpr int32_t kMaxBubbles = 16;
struct TBalloonTrail {
  int32_t Count = 3;
  int32_t Divisor = 4;
  int32_t ExOffset = 0;
  int32_t Shift = 0;
};
void DrawBalloonMask(platform::ui::TBitmap& b, const platform::ui::TRect& body, platform::ui::TPoint tail,
                     THintCorner corner, const TBalloonTrail& trail, int32_t transparency, int32_t blur);

}  // namespace skin

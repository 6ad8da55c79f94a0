#include "skin/sHintShapes.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "platform/ui/Colors.h"
#include "skin/sGradient.h"
#include "skin/sGraphics.h"

namespace skin {

namespace ui = platform::ui;
using ui::TPoint;
using ui::TRect;

namespace {

// Coordinates computed in floating point are brought into this range
// before they become integers (nothing drawn lies further out).
constexpr double kCoordLimit = 1 << 20;

int32_t RoundCoord(double v) {
  if (!(v == v)) return 0;  // NaN
  return static_cast<int32_t>(std::nearbyint(std::clamp(v, -kCoordLimit, kCoordLimit)));
}

// The box grown in by i, one more on the right and bottom (a clear pen
// leaves those out).
TRect StepBox(const TRect& r, int32_t i) { return ui::Rect(r.Left + i, r.Top + i, r.Right - i + 1, r.Bottom - i + 1); }

int32_t LongerSide(const TRect& r) { return std::max(RectWidth(r), RectHeight(r)); }

}  // namespace

THintPlacement PlaceHint(TPoint p, int32_t w, int32_t h, const TRect& desktop) {
  int32_t left = p.X, top = p.Y;
  bool below = true, right = true;
  if (desktop.Height() < top + h) {
    top = p.Y - h;
    below = false;
  }
  if (top < desktop.Top) {
    top = p.Y;
    below = true;
  }
  if (desktop.Width() < left + w) {
    left = p.X - w;
    right = false;
  }
  if (left < desktop.Left) {
    left = p.X;
    right = true;
  }
  const THintCorner corner = below ? (right ? 0 : 2) : (right ? 1 : 3);
  return THintPlacement{ui::Bounds(left, top, w, h), corner};
}

void EllipseGrowth(int32_t w, int32_t h, int32_t& extraWidth, int32_t& extraHeight) {
  extraWidth = extraHeight = 0;
  if (w <= 0 || h <= 0) return;
  const double d = std::sqrt(double(w) * w + double(h) * h) - w;
  extraWidth = RoundCoord(w * d / h);
  extraHeight = RoundCoord(h * d / w);
}

TPoint HintTailPoint(THintCorner corner, int32_t w, int32_t h) {
  return TPoint{(corner & 2) != 0 ? w - 3 : 3, TailAtBottom(corner) ? h - 3 : 3};
}

TRect TailBodyRect(THintCorner corner, int32_t w, int32_t h, int32_t shift, int32_t exOffset) {
  if (TailAtBottom(corner)) return ui::Rect(0, 0, w - shift, h - shift - exOffset);
  return ui::Rect(0, exOffset, w - shift, h - shift);
}

void DrawSteppedShape(ui::TBitmap& b, THintShape shape, const TRect& body, TPoint tail, THintCorner corner,
                      int32_t transparency, int32_t blur, int32_t radius) {
  if (blur < 0) return;
  const TGreySteps greys(transparency, blur);
  radius = std::clamp(radius, -ui::kMaxGraphicSide, ui::kMaxGraphicSide);  // the corner's size is its magnitude
  const int32_t height = RectHeight(body);
  const int32_t cx = body.Left + RectWidth(body) / 2;
  const int32_t hw = RectWidth(body) / 8;
  const int32_t H = b.Height();
  const bool bottom = TailAtBottom(corner);
  const double q = bottom ? (H - (body.Bottom - height / 2.0)) / (double(H) - body.Bottom + 1)
                          : (height / 2.0 + body.Top) / (double(body.Top) + 1);
  const int32_t y = bottom ? body.Bottom - height / 2 : body.Top + height / 2;
  ui::TCanvas& c = b.Canvas();
  const int32_t steps = std::min(blur, std::max(LongerSide(body), hw) + 1);
  for (int32_t i = 0; i <= steps; ++i) {
    SelectGrey(c, greys.Grey(i));
    const TRect box = StepBox(body, i);
    if (shape == THintShape::Rounded)
      c.RoundRect(box.Left, box.Top, box.Right, box.Bottom, radius, radius);
    else
      c.Ellipse(box);
    const int32_t half = std::max(hw - RoundCoord(i * q * 2), 0);
    const std::array<TPoint, 3> triangle{tail, TPoint{cx - half, y}, TPoint{cx + half, y}};
    c.Polygon(triangle);
  }
}

void DrawBalloonMask(ui::TBitmap& b, const TRect& body, TPoint tail, THintCorner corner, const TBalloonTrail& trail,
                     int32_t transparency, int32_t blur) {
  if (blur < 0) return;
  const TGreySteps greys(transparency, blur);
  const int32_t w = RectWidth(body), h = RectHeight(body);
  const int32_t cx = body.Left + w / 2;
  const int32_t n = trail.Count < 1 ? 0 : std::min(trail.Count, kMaxBubbles);
  const int32_t H = b.Height();
  const int32_t s = TailAtBottom(corner) ? trail.Shift : 0;

  std::vector<TRect> bubbles;
  if (n > 0) {
    const double u = double(h) / (double(std::max(trail.Divisor, 1)) * n);
    const int32_t step = n > 1 ? RoundCoord((trail.ExOffset - u * n) / (double(n) * (n - 1))) : 0;
    const int32_t dx = std::abs(cx - tail.X) / (n + 1);
    int64_t before = 0;
    for (int32_t k = 1; k <= n; ++k) {
      const int32_t size = RoundCoord(2.0 * step * (k - 1) + u);
      const int32_t hy = size / 2;
      const int32_t hx = h == 0 ? 0 : RoundCoord(double(w) * hy / (2.0 * h));
      const int32_t along = RoundCoord(double(hy) + double(before));
      const int32_t x = (corner & 2) != 0 ? tail.X - k * dx - s : k * dx;
      const int32_t y = TailAtBottom(corner) ? H - s - along : along;
      bubbles.push_back(ui::Rect(std::min(x - hx, x), std::min(y - hy, y), std::max(x + hx + 1, x + 1),
                                 std::max(y + hy + 1, y + 1)));
      before += size;
    }
  }

  int32_t longest = LongerSide(body);
  for (const TRect& r : bubbles) longest = std::max(longest, LongerSide(r));
  ui::TCanvas& c = b.Canvas();
  const int32_t steps = std::min(blur, longest + 1);
  for (int32_t i = 0; i <= steps; ++i) {
    SelectGrey(c, greys.Grey(i));
    c.Ellipse(StepBox(body, i));
    for (const TRect& r : bubbles) c.Ellipse(StepBox(r, i));
  }
}

}  // namespace skin

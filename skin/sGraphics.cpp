#include "skin/sGraphics.h"

#include <algorithm>
#include <cmath>

#include "platform/ui/Colors.h"
#include "skin/sCanvasDraw.h"

namespace skin {

namespace ui = platform::ui;

namespace {

uint8_t ClampByte(double v) {
  const double r = std::nearbyint(v);
  return static_cast<uint8_t>(r < 0 ? 0 : r > 255 ? 255 : r);
}

// A bitmap 0 pixels wide has no rows to address, whatever its height.
bool HasPixels(const TBitmap& b) { return b.Width() > 0 && b.Height() > 0; }

bool SameSize(const TBitmap& a, const TBitmap& b) {
  return a.Width() == b.Width() && a.Height() == b.Height() && HasPixels(a);
}

bool InRange(int32_t v, int32_t size) { return v >= 0 && v < size; }

// The pixel at p is exactly the colour (red in the colour's low byte).
bool PixelIs(const uint8_t* p, TColor c) {
  return p[2] == ui::GetRValue(c) && p[1] == ui::GetGValue(c) && p[0] == ui::GetBValue(c);
}

void PutColor(uint8_t* p, TColor c) {
  p[0] = ui::GetBValue(c);
  p[1] = ui::GetGValue(c);
  p[2] = ui::GetRValue(c);
}

// A 24-bit bitmap holding w x h pixels of c from (x, y).
std::unique_ptr<TBitmap> GrabArea(ui::TPainter& c, int32_t x, int32_t y, int32_t w, int32_t h) {
  auto copy = std::make_unique<TBitmap>();
  copy->SetSize(w, h);
  copy->Canvas().BitBlt(0, 0, w, h, &c, x, y, ui::SRCCOPY);
  return copy;
}

}  // namespace

// ---- mixing ----

TRect ClampToBitmap(TRect r, const TBitmap& b) {
  r.Left = std::max(r.Left, 0);
  r.Top = std::max(r.Top, 0);
  r.Right = std::min(r.Right, b.Width() - 1);
  r.Bottom = std::min(r.Bottom, b.Height() - 1);
  return r;
}

TColor LerpColor(TColor a, TColor b, double t) {
  auto mix = [t](uint8_t x, uint8_t y) { return ClampByte(x - t * (double(x) - y)); };
  return ui::RGB(mix(ui::GetRValue(a), ui::GetRValue(b)), mix(ui::GetGValue(a), ui::GetGValue(b)),
                 mix(ui::GetBValue(a), ui::GetBValue(b)));
}

// ---- blends ----

namespace {

// round(w / 256 * (d - s) + s), halves to even, w in 0..255: the whole
// part is s + floor(w (d - s) / 256), the low byte of w (d - s) the rest.
uint8_t MixByte(int32_t d, int32_t s, int32_t w) {
  const int32_t v = w * (d - s);
  const int32_t rest = v & 0xFF;
  int32_t r = s + (v >> 8);
  if (rest > 128 || (rest == 128 && (r & 1) != 0)) ++r;
  return static_cast<uint8_t>(r);
}

}  // namespace

void MixBitmaps(TBitmap& d, const TBitmap& s, int32_t w) {
  if (!SameSize(d, s)) return;
  const int32_t weight = w & 0xFF;
  const int32_t bytes = 3 * d.Width();
  for (int32_t y = 0; y < d.Height(); ++y) {
    uint8_t* dp = d.ScanLine(y);
    const uint8_t* sp = s.ScanLine(y);
    for (int32_t i = 0; i < bytes; ++i) dp[i] = MixByte(dp[i], sp[i], weight);
  }
}

void MixRectOnto(TBitmap& d, const TBitmap& s, TColor w, TRect r, TPoint p) {
  const auto u = static_cast<uint32_t>(w);
  const double f = double((u & 0xFF) + ((u >> 8) & 0xFF) + ((u >> 16) & 0xFF)) / 768.0;
  // Columns c in [c0, c1] that both s (r.Left + c) and d (p.X + c) have.
  const int32_t c0 = std::max({0, -r.Left, -p.X});
  const int32_t c1 = std::min({r.Width(), s.Width() - 1 - r.Left, d.Width() - 1 - p.X});
  if (c1 < c0) return;
  for (int32_t row = 0; row <= r.Height(); ++row) {
    const int32_t sy = r.Top + row;
    const int32_t dy = p.Y + row;
    if (!InRange(sy, s.Height()) || !InRange(dy, d.Height())) continue;
    const uint8_t* sp = s.ScanLine(sy) + 3 * (r.Left + c0);
    uint8_t* dp = d.ScanLine(dy) + 3 * (p.X + c0);
    for (int32_t i = 0; i < 3 * (c1 - c0 + 1); ++i) dp[i] = ClampByte((double(dp[i]) - sp[i]) * f + sp[i]);
  }
}

void MixRectKeyed(TBitmap& d, int32_t x, int32_t y, const TBitmap& s, TRect r, double w, TColor k) {
  r = ClampToBitmap(r, s);
  const bool keyed = static_cast<uint32_t>(k) < 0xFF000000u;
  if (r.Width() < 0 || !InRange(x, d.Width())) return;  // no column, or the first lies outside
  for (int32_t row = 0; row <= r.Height(); ++row) {
    if (!InRange(y + row, d.Height())) return;
    const uint8_t* sp = s.ScanLine(r.Top + row) + 3 * r.Left;
    uint8_t* dp = d.ScanLine(y + row) + 3 * x;
    for (int32_t col = 0; col <= r.Width(); ++col, sp += 3, dp += 3) {
      if (!InRange(x + col, d.Width())) break;
      if (keyed && PixelIs(sp, k)) continue;
      for (int i = 0; i < 3; ++i) dp[i] = ClampByte(sp[i] - w * (double(sp[i]) - dp[i]));
    }
  }
}

// ---- tints ----

void TintThroughMask(TBitmap& d, const TBitmap& m, TColor c) {
  if (!SameSize(d, m)) return;
  const uint32_t cb[3] = {ui::GetBValue(c), ui::GetGValue(c), ui::GetRValue(c)};
  for (int32_t y = 0; y < d.Height(); ++y) {
    uint8_t* dp = d.ScanLine(y);
    const uint8_t* mp = m.ScanLine(y);
    for (int32_t x = 0; x < d.Width(); ++x, dp += 3, mp += 3)
      for (int i = 0; i < 3; ++i) dp[i] = static_cast<uint8_t>((dp[i] * mp[i] + cb[i] * (255u - mp[i])) >> 8);
  }
}

void TintRegionThroughMask(TBitmap& d, const TBitmap& m, int32_t x, int32_t y, TColor c) {
  const uint32_t cb[3] = {ui::GetBValue(c), ui::GetGValue(c), ui::GetRValue(c)};
  const int32_t k0 = std::max(0, -x);
  const int32_t k1 = std::min(m.Width(), d.Width() - x);
  if (k1 <= k0) return;
  for (int32_t i = 0; i < m.Height(); ++i) {
    if (!InRange(y + i, d.Height())) continue;
    uint8_t* dp = d.ScanLine(y + i) + 3 * (x + k0);
    const uint8_t* mp = m.ScanLine(i) + 3 * k0;
    for (int32_t k = k0; k < k1; ++k, dp += 3, mp += 3)
      for (int j = 0; j < 3; ++j) dp[j] = WeighByte(dp[j], mp[j], cb[j]);
  }
}

void MixThroughWeights(TBitmap& d, const TBitmap& s, const TBitmap& w, const TRect& r) {
  if (r.Width() > d.Width() || r.Height() > d.Height()) return;
  const int32_t x0 = std::max(r.Left, 0);
  const int32_t x1 = std::min({r.Right, d.Width(), s.Width(), w.Width()});
  for (int32_t y = r.Top; y < r.Bottom; ++y) {
    if (!InRange(y, d.Height()) || !InRange(y, s.Height()) || !InRange(y, w.Height())) return;
    if (x1 <= x0) continue;
    uint8_t* dp = d.ScanLine(y) + 3 * x0;
    const uint8_t* sp = s.ScanLine(y) + 3 * x0;
    const uint8_t* wp = w.ScanLine(y) + 3 * x0;
    for (int32_t i = 0; i < 3 * (x1 - x0); ++i)
      dp[i] = WeighByte(dp[i], wp[i], sp[i]);
  }
}

void DrawThroughMask(TRect dst, TRect src, TBitmap& d, const TBitmap& mask, const TBackSource& back) {
  const int32_t half = mask.Height() / 2;
  // The look lives in the upper half; its weights are half a mask lower.
  int32_t h = std::min({src.Height(), dst.Height(), d.Height() - dst.Top, half - src.Top});
  int32_t w = std::min({src.Width(), dst.Width(), d.Width() - dst.Left, mask.Width() - src.Left});
  if (const int32_t left = std::min(dst.Left, src.Left); left < 0) {
    dst.Left -= left;
    src.Left -= left;
    w += left;
  }
  if (const int32_t top = std::min(dst.Top, src.Top); top < 0) {
    dst.Top -= top;
    src.Top -= top;
    h += top;
  }
  if (h < 1 || w < 1) return;
  const TBitmap* backBitmap = back.Valid ? back.Bitmap : nullptr;
  for (int32_t row = 0; row < h; ++row) {
    uint8_t* dp = d.ScanLine(dst.Top + row) + 3 * dst.Left;
    const uint8_t* qp = mask.ScanLine(src.Top + row) + 3 * src.Left;
    const uint8_t* wp = mask.ScanLine(half + src.Top + row) + 3 * src.Left;
    const int32_t by = back.Y + dst.Top + row;
    for (int32_t col = 0; col < w; ++col, dp += 3, qp += 3, wp += 3) {
      if (backBitmap != nullptr && PixelIs(qp, kMaskSeeThrough)) {
        const int32_t bx = back.X + dst.Left + col;
        if (InRange(bx, backBitmap->Width()) && InRange(by, backBitmap->Height())) {
          const uint8_t* bp = backBitmap->ScanLine(by) + 3 * bx;
          dp[0] = bp[0];
          dp[1] = bp[1];
          dp[2] = bp[2];
        }
        continue;
      }
      for (int i = 0; i < 3; ++i) dp[i] = WeighByte(dp[i], wp[i], qp[i]);
    }
  }
}

namespace {

// The geometry of one state of a nine-cell mask laid over a rectangle.
struct TNineCells {
  int32_t cw, ch;   // cell size
  int32_t gx;       // the state's first column
  int32_t lw, rw;   // corner widths
  int32_t th, bh;   // corner heights
  int32_t imageBottom;
};

// One cell (src) tiled from `from` in steps of `step` up to `to`, the last
// piece cut; `across` gives the other two sides. Only the tiles that can
// reach d are laid.
void TileRun(TBitmap& d, const TBitmap& mask, const TRect& src, bool vertical, int32_t from, int32_t to,
             int32_t step, const TRect& across) {
  const int32_t stop = std::min(to, vertical ? d.Height() : d.Width());
  for (int32_t v = FirstTileFrom(from, step, 0); v < stop; v += step) {
    const int32_t end = std::min(v + step, to);
    const TRect dst =
        vertical ? ui::Rect(across.Left, v, across.Right, end) : ui::Rect(v, across.Top, end, across.Bottom);
    DrawThroughMask(dst, src, d, mask, kNoBackSource);
  }
}

}  // namespace

void DrawNineCells(TBitmap& d, const TBitmap& mask, int32_t state, const TRect& rect, bool fillMiddle,
                   const TBackSource& back) {
  const int32_t W = rect.Width();
  const int32_t H = rect.Height();
  TNineCells n{mask.Width() / 9, mask.Height() / 6, 0, 0, 0, 0, 0, 0};
  if (W < 2 || H < 2 || n.cw < 1 || n.ch < 1) return;
  n.gx = 3 * state * n.cw;
  n.lw = n.rw = n.cw;
  if (W < 2 * n.cw) {
    n.lw = W / 2;
    n.rw = n.lw + W % 2;
  }
  n.th = n.bh = n.ch;
  if (H < 2 * n.ch) {
    n.th = H / 2;
    n.bh = n.th + H % 2;
  }
  n.imageBottom = 3 * n.ch;
  const int32_t L = rect.Left, T = rect.Top, R = rect.Right, B = rect.Bottom;
  const int32_t cw = n.cw, ch = n.ch, gx = n.gx, ib = n.imageBottom;

  DrawThroughMask(ui::Rect(L, T, L + n.lw, T + n.th), ui::Rect(gx, 0, gx + n.lw, n.th), d, mask, back);
  TileRun(d, mask, ui::Rect(gx, ch, gx + n.lw, 2 * ch), true, T + ch, B - ch, ch, ui::Rect(L, 0, L + n.lw, 0));
  TileRun(d, mask, ui::Rect(gx + cw, 0, gx + 2 * cw, n.th), false, L + cw, R - cw, cw, ui::Rect(0, T, 0, T + n.th));
  DrawThroughMask(ui::Rect(L, B - n.bh, L + n.lw, B), ui::Rect(gx, ib - n.bh, gx + n.lw, ib), d, mask, back);
  TileRun(d, mask, ui::Rect(gx + cw, ib - n.bh, gx + 2 * cw, ib), false, L + cw, R - cw, cw,
          ui::Rect(0, B - n.bh, 0, B));
  DrawThroughMask(ui::Rect(R - n.rw, B - n.bh, R, B), ui::Rect(gx + 3 * cw - n.rw, ib - n.bh, gx + 3 * cw, ib), d,
                  mask, back);
  DrawThroughMask(ui::Rect(R - n.rw, T, R, T + n.th), ui::Rect(gx + 3 * cw - n.rw, 0, gx + 3 * cw, n.th), d, mask,
                  back);
  TileRun(d, mask, ui::Rect(gx + 3 * cw - n.rw, ch, gx + 3 * cw, 2 * ch), true, T + ch, B - ch, ch,
          ui::Rect(R - n.rw, 0, R, 0));
  if (!fillMiddle) return;
  const TRect middle = ui::Rect(gx + cw, ch, gx + 2 * cw, 2 * ch);
  for (int32_t y = FirstTileFrom(T + ch, ch, 0); y < std::min(B - ch, d.Height()); y += ch)
    TileRun(d, mask, middle, false, L + cw, R - cw, cw, ui::Rect(0, y, 0, std::min(y + ch, B - ch)));
}

// ---- conversions ----

void ToGrey(TBitmap& b) {
  if (!HasPixels(b)) return;
  for (int32_t y = 0; y < b.Height(); ++y) {
    uint8_t* p = b.ScanLine(y);
    for (int32_t x = 0; x < b.Width(); ++x, p += 3) p[0] = p[1] = p[2] = static_cast<uint8_t>((p[0] + p[1] + p[2]) / 3);
  }
}

void ToShapeMask(TBitmap& b) {
  if (!HasPixels(b)) return;
  for (int32_t y = 0; y < b.Height(); ++y) {
    uint8_t* p = b.ScanLine(y);
    for (int32_t x = 0; x < b.Width(); ++x, p += 3)
      if (p[0] + p[1] + p[2] != 765) p[0] = p[1] = p[2] = 0;
  }
}

bool IsBlackColor(TColor c) { return (static_cast<uint32_t>(c) & 0xFFFFFFu) == 0; }

void EdgeShape(TBitmap& d, const TBitmap& m, TColor light, TColor dark) {
  if (!SameSize(d, m)) return;
  const int32_t W = m.Width(), H = m.Height();
  auto black = [](const uint8_t* row, int32_t x) {
    const uint8_t* p = row + 3 * x;
    return (p[0] | p[1] | p[2]) == 0;
  };
  for (int32_t y = 0; y < H; ++y) {
    const uint8_t* above = y > 0 ? m.ScanLine(y - 1) : nullptr;
    const uint8_t* row = m.ScanLine(y);
    const uint8_t* below = y < H - 1 ? m.ScanLine(y + 1) : nullptr;
    uint8_t* dp = d.ScanLine(y);
    for (int32_t x = 0; x < W; ++x) {
      if (!black(row, x)) continue;
      if (x == 0 || above == nullptr || !black(row, x - 1) || !black(above, x))
        PutColor(dp + 3 * x, light);
      else if (x == W - 1 || below == nullptr || !black(row, x + 1) || !black(below, x))
        PutColor(dp + 3 * x, dark);
    }
  }
}

std::unique_ptr<TBitmap> NewBitmapOfSize(const TBitmap& b) {
  auto result = std::make_unique<TBitmap>();
  result->SetSize(b.Width(), b.Height());
  return result;
}

// ---- keyed copies ----

void CopyKeyed(TBitmap& d, const TBitmap& s, int32_t x, int32_t y, TColor key) {
  CopyRectKeyed(d, s, x, y, ui::Rect(0, 0, s.Width() - 1, s.Height() - 1), key);
}

void CopyRectKeyed(TBitmap& d, const TBitmap& s, int32_t x, int32_t y, TRect r, TColor key) {
  r = ClampToBitmap(r, s);
  const int32_t c0 = std::max(0, -x);
  const int32_t c1 = std::min(r.Width(), d.Width() - 1 - x);
  if (c1 < c0) return;
  for (int32_t row = 0; row <= r.Height(); ++row) {
    if (!InRange(y + row, d.Height())) continue;
    const uint8_t* sp = s.ScanLine(r.Top + row) + 3 * (r.Left + c0);
    uint8_t* dp = d.ScanLine(y + row) + 3 * (x + c0);
    for (int32_t col = c0; col <= c1; ++col, sp += 3, dp += 3)
      if (!PixelIs(sp, key)) {
        dp[0] = sp[0];
        dp[1] = sp[1];
        dp[2] = sp[2];
      }
  }
}

void PutButtonGlyph(TBitmap& glyph, TBitmap& d, const TRect& rect, int32_t count, bool enabled, bool grayed,
                    TsDisabledGlyphKind kinds, int32_t state, int32_t blend) {
  glyph.SetPixelFormat(ui::TPixelFormat::pf24bit);
  if (glyph.Empty()) return;
  const uint8_t* corner = glyph.ScanLine(glyph.Height() - 1);
  const TColor key = ui::RGB(corner[2], corner[1], corner[0]);
  if (count == 2) {
    const int32_t w = glyph.Width() / 2;
    const int32_t left = enabled ? 0 : w;
    CopyRectKeyed(d, glyph, rect.Left, rect.Top, ui::Rect(left, 0, left + w - 1, glyph.Height() - 1), key);
    return;
  }
  if (count != 1) return;
  TBitmap copy;
  copy.Assign(&glyph);
  const TRect whole = ui::Rect(0, 0, copy.Width() - 1, copy.Height() - 1);
  if (enabled) {
    if (state == 0 && grayed) ToGrey(copy);
    if (state != 0 || blend < 1)
      CopyKeyed(d, copy, rect.Left, rect.Top, key);
    else
      MixRectKeyed(d, rect.Left, rect.Top, copy, whole, blend / 100.0, key);
    return;
  }
  if (kinds & dgGrayed) ToGrey(copy);
  if (kinds & dgBlended)
    MixRectKeyed(d, rect.Left, rect.Top, copy, whole, 0.5, key);
  else
    CopyKeyed(d, copy, rect.Left, rect.Top, key);
}

// ---- shadows ----

TGreySteps::TGreySteps(int32_t transparency, int32_t blur)
    : base_(std::clamp(transparency, 0, 100) * 255 / 100), step_((255.0 - base_) / (double(blur) + 1)), blur_(blur) {}

TColor TGreySteps::Grey(int32_t i) const {
  const double level = base_ + std::nearbyint((double(blur_) - i) * step_);
  const auto g = static_cast<uint8_t>(std::clamp(level, 0.0, 255.0));
  return ui::RGB(g, g, g);
}

void SelectGrey(ui::TCanvas& c, TColor grey) {
  c.Pen().SetStyle(ui::TPenStyle::psClear);
  c.Brush().SetStyle(ui::TBrushStyle::bsSolid);
  c.Brush().SetColor(grey);
}

void CastShadow(ui::TCanvas& c, const TRect& r, ui::HDC target, TPoint p, int32_t transparency, TColor colour,
                int32_t blur, int32_t shape, int32_t radius) {
  const int32_t w = r.Width(), h = r.Height();
  if (target == nullptr || w <= 0 || h <= 0) return;
  transparency = std::clamp(transparency, 0, 100);
  colour = ui::ColorToRGB(colour);
  TSavedDC savedCanvas(&c);
  TSavedDC savedTarget(target);
  if (transparency == 0) {
    FillAreaSolid(target, ui::Rect(p.X, p.Y, p.X + w, p.Y + h), colour);
    return;
  }
  if (transparency == 100) {
    target->BitBlt(p.X, p.Y, w, h, &c, r.Left, r.Top, ui::SRCCOPY);
    return;
  }
  auto copy = GrabArea(c, r.Left, r.Top, w, h);
  TBitmap mask;
  mask.SetSize(w, h);
  const int32_t b = std::min({w / 2, h / 2, std::max(blur, 0)});
  const TGreySteps greys(transparency, b);
  const int32_t corner = std::max(radius, 0) + b;
  ui::TCanvas& mc = mask.Canvas();
  for (int32_t i = 0; i <= b && (shape == 0 || shape == 1); ++i) {
    SelectGrey(mc, greys.Grey(i));
    if (shape == 0)
      mc.RoundRect(i, i, w - i + 1, h - i + 1, corner, corner);
    else
      mc.Ellipse(i, i, w - i, h - i);
  }
  TintThroughMask(*copy, mask, colour);
  target->BitBlt(p.X, p.Y, w, h, &copy->Canvas(), 0, 0, ui::SRCCOPY);
}

void CastBoxShadow(ui::TCanvas& c, const TRect& r, ui::HDC target, TPoint p, int32_t transparency, TColor colour,
                   int32_t blur, int32_t shape) {
  CastShadow(c, r, target, p, transparency, colour, blur, shape, 0);
}

void CastRoundShadowInPlace(TBitmap& b, const TRect& r, int32_t transparency, TColor colour, int32_t blur,
                            int32_t radius) {
  const int32_t w = r.Width(), h = r.Height();
  if (w <= 0 || h <= 0) return;
  const int32_t limit = std::min(w / 2, h / 2);
  const int32_t blurred = std::clamp(blur, 0, limit);
  const int32_t corner = std::clamp(radius, 0, limit);
  const TGreySteps greys(transparency, blurred);
  auto copy = GrabArea(b.Canvas(), r.Left, r.Top, w, h);
  TBitmap mask;
  mask.SetSize(w, h);
  ui::TCanvas& mc = mask.Canvas();
  SelectGrey(mc, ui::clWhite);
  mc.RoundRect(0, 0, w, h, corner, corner);
  for (int32_t j = 1; j <= blurred; ++j) {
    SelectGrey(mc, greys.Grey(j - 1));
    mc.RoundRect(j, j, w - j, h - j, corner, corner);
  }
  SelectGrey(mc, greys.Grey(blurred));
  mc.RoundRect(blurred, blurred, w - blurred, h - blurred, blurred, blurred);
  TintThroughMask(*copy, mask, colour);
  b.Canvas().BitBlt(r.Left, r.Top, w, h, &copy->Canvas(), 0, 0, ui::SRCCOPY);
}

}  // namespace skin

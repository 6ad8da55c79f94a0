#include "skin/sBorderMasks.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "platform/ui/Colors.h"
#include "platform/ui/Resources.h"
#include "skin/sGraphics.h"

namespace skin {

namespace ui = platform::ui;
using ui::TBitmap;
using ui::TColor;
using ui::TRect;

namespace {

// The six built-in masks, loaded when first asked for (a static
// initialiser could run before the binary's resources are registered).
struct TBuiltInMasks {
  std::array<TBitmap, 6> Masks;
  TBuiltInMasks() {
    for (std::size_t i = 0; i < Masks.size(); ++i) {
      try {
        Masks[i].LoadFromResourceName("BORD" + std::to_string(i + 1));
        Masks[i].SetPixelFormat(ui::TPixelFormat::pf24bit);
      } catch (const ui::EResNotFound&) {
        // A binary without the resource keeps an empty mask, which draws nothing.
      } catch (const ui::EInvalidGraphic&) {
      }
    }
  }
};

// A region handle made for one combine, deleted on every path.
class TRegionHandle {
 public:
  explicit TRegionHandle(ui::TRegion region) : rgn_(ui::CreateRgnFromRegion(std::move(region))) {}
  ~TRegionHandle() { ui::DeleteObject(rgn_); }
  TRegionHandle(const TRegionHandle&) = delete;
  TRegionHandle& operator=(const TRegionHandle&) = delete;
  ui::HRGN Handle() const { return rgn_; }

 private:
  ui::HRGN rgn_;
};

// The transparent runs of one cell, gathered row by row and cut out of a
// region at once. A cell's runs never overlap, so combining those an
// opaque pixel ended with XOR and those open at their row's end with DIFF
// leaves the region as cutting them one by one would, in two combines
// instead of one per run.
class TCellCuts {
 public:
  TCellCuts(int32_t top, int32_t rows) : top_(top), ended_(rows), open_(rows) {}
  // The run [left, right) of row y; ended: an opaque pixel follows it.
  void Add(int32_t left, int32_t y, int32_t right, bool ended) {
    (ended ? ended_ : open_)[y - top_].push_back({left, right});
  }
  void CutFrom(ui::HRGN region) const {
    Cut(region, ended_, ui::RGN_XOR);
    Cut(region, open_, ui::RGN_DIFF);
  }

 private:
  using Rows = std::vector<std::vector<ui::TRegion::Span>>;
  void Cut(ui::HRGN region, const Rows& rows, int mode) const {
    ui::TRegion runs = ui::TRegion::FromRows(top_, rows);
    if (runs.Empty()) return;
    const TRegionHandle handle(std::move(runs));
    ui::CombineRgn(region, region, handle.Handle(), mode);
  }

  int32_t top_;
  Rows ended_, open_;
};

// The cell rule over the pixels both bitmaps have: rows and columns counted
// with the right and bottom edges, limited by the caller's extra bounds.
template <bool Plain>
void BlendCell(const TRect& dr, const TRect& sr, TBitmap& dest, TColor transparentColor, ui::HRGN region,
               const TBitmap& mask, int32_t rows, int32_t cols) {
  const TColor key = ui::ColorToRGB(transparentColor);
  const uint8_t kb = ui::GetBValue(key), kg = ui::GetGValue(key), kr = ui::GetRValue(key);
  const int32_t half = mask.Height() / 2;
  const int32_t r0 = std::max({0, -dr.Top, -sr.Top});
  const int32_t r1 = std::min({rows, dest.Height() - dr.Top, half - sr.Top});
  const int32_t c0 = std::max({0, -dr.Left, -sr.Left});
  const int32_t c1 = std::min({cols, dest.Width() - dr.Left, mask.Width() - sr.Left});
  if (c1 <= c0 || r1 <= r0) return;
  const bool cutting = region != nullptr;
  TCellCuts cuts(dr.Top + r0, cutting ? r1 - r0 : 0);
  for (int32_t row = r0; row < r1; ++row) {
    const int32_t y = dr.Top + row;
    uint8_t* d = dest.ScanLine(y) + 3 * (dr.Left + c0);
    const uint8_t* m = mask.ScanLine(sr.Top + row) + 3 * (sr.Left + c0);
    const uint8_t* a = mask.ScanLine(half + sr.Top + row) + 3 * (sr.Left + c0);
    int32_t runStart = -1;
    for (int32_t col = c0; col < c1; ++col, d += 3, m += 3, a += 3) {
      if (m[0] == kb && m[1] == kg && m[2] == kr) {
        if (runStart < 0) runStart = dr.Left + col;
        continue;
      }
      if (runStart >= 0 && cutting) cuts.Add(runStart, y, dr.Left + col, true);
      runStart = -1;
      for (int i = 0; i < 3; ++i) {
        if constexpr (Plain)
          d[i] = static_cast<uint8_t>(d[i] * a[i] / 256 + m[i] - m[i] * a[i] / 256);
        else
          d[i] = WeighByte(d[i], a[i], m[i]);
      }
    }
    if (runStart >= 0 && cutting) cuts.Add(runStart, y, dr.Left + c1, false);
  }
  if (cutting) cuts.CutFrom(region);
}

}  // namespace

const TBitmap& PredefinedMask(TsPredefinedBorders which) {
  static const TBuiltInMasks builtIn;
  const auto index = static_cast<std::size_t>(which);
  return builtIn.Masks[index < builtIn.Masks.size() ? index : 0];
}

const TBitmap& MaskBitmapFor(TsPredefinedBorders predefined, const TBitmap* custom) {
  if (predefined != TsPredefinedBorders::pdCustom) return PredefinedMask(predefined);
  if (custom != nullptr && custom->Width() >= 1) return *custom;
  return PredefinedMask(TsPredefinedBorders::pdBorder1);
}

void BlendMaskCell(const TRect& destRect, const TRect& srcRect, TBitmap& dest, TColor transparentColor,
                   ui::HRGN region, const TBitmap& mask) {
  const int32_t rows = std::min(srcRect.Height(), destRect.Height()) + 1;
  const int32_t cols = std::min(srcRect.Width(), destRect.Width()) + 1;
  BlendCell<false>(destRect, srcRect, dest, transparentColor, region, mask, rows, cols);
}

void BlendMaskCellPlain(const TRect& destRect, const TRect& srcRect, TBitmap& dest, TColor transparentColor,
                        const TBitmap& mask) {
  const int32_t rows =
      std::min(std::min(srcRect.Height(), destRect.Height()) + 1, dest.Height() - destRect.Top - 1);
  const int32_t cols = std::min(std::min(srcRect.Width(), destRect.Width()) + 1, dest.Width() - destRect.Left - 1);
  BlendCell<true>(destRect, srcRect, dest, transparentColor, nullptr, mask, rows, cols);
}

void PaintMaskedBorders(TBitmap& dest, const TBitmap& mask, int32_t look, bool fillCentre, TColor transparentColor,
                        ui::HRGN region) {
  const int32_t W = dest.Width(), H = dest.Height();
  const int32_t cw = mask.Width() / 9, ch = mask.Height() / 6, half = mask.Height() / 2;
  if (W < 3 || H < 3 || cw < 1 || ch < 1) return;
  const int32_t gx = look * 3 * cw;
  const int32_t Lw = W < 2 * cw ? W / 2 : cw;
  const int32_t Rw = W < 2 * cw ? Lw + W % 2 : cw;
  const int32_t T = H < 2 * ch ? H / 2 : ch;
  const int32_t B = H < 2 * ch ? T + H % 2 : ch;
  auto cell = [&](TRect src, TRect dst) { BlendMaskCell(dst, src, dest, transparentColor, region, mask); };
  using ui::Rect;

  cell(Rect(gx, 0, gx + Lw - 1, T - 1), Rect(0, 0, Lw, T));
  int32_t y = ch;
  for (; y < H - 2 * B; y += ch) cell(Rect(gx, ch, gx + Lw - 1, 2 * ch - 1), Rect(0, y, Lw, y + ch));
  if (y < H - B) cell(Rect(gx, ch, gx + Lw, half - ch - 1), Rect(0, y, Lw - 1, H - ch - 1));

  const TRect topEdge = Rect(gx + cw, 0, gx + 2 * cw - 1, T - 1);
  int32_t x = cw;
  for (; x < W - 2 * Lw; x += cw) cell(topEdge, Rect(x, 0, x + cw - 1, T - 1));
  if (x < W - Lw) cell(topEdge, Rect(x, 0, W - Lw - 1, T - 1));

  cell(Rect(gx, half - B, gx + Lw - 1, half - 1), Rect(0, H - B, Lw - 1, H - 1));
  const TRect bottomEdge = Rect(gx + cw, half - B, gx + 2 * cw - 1, half - 1);
  for (x = cw; x < W - 2 * Lw; x += cw) cell(bottomEdge, Rect(x, H - B, x + cw - 1, H - 1));
  if (x < W - Lw) cell(bottomEdge, Rect(x, H - B, W - cw - 1, H - 1));

  cell(Rect(gx + 3 * cw - Rw, half - B, gx + 3 * cw - 1, half - 1), Rect(W - Rw, H - B, W - 1, H - 1));
  cell(Rect(gx + 3 * cw - Rw, 0, gx + 3 * cw - 1, T - 1), Rect(W - Rw, 0, W - 1, T - 1));
  const TRect rightEdge = Rect(gx + 2 * cw, ch, gx + 3 * cw - 1, 2 * ch - 1);
  for (y = ch; y < H - 2 * T; y += ch) cell(rightEdge, Rect(W - cw, y, W - 1, y + ch - 1));
  if (y < H - T) cell(rightEdge, Rect(W - cw, y, W - 1, H - ch - 1));

  if (!fillCentre) return;
  const TRect centre = Rect(gx + cw, ch, gx + 2 * cw, 2 * ch);
  auto centreRow = [&](int32_t top, int32_t bottom) {
    int32_t cx = cw;
    for (; cx < W - 2 * cw; cx += cw)
      DrawThroughMask(Rect(cx, top, cx + cw, bottom), centre, dest, mask, kNoBackSource);
    if (cx < W - cw) DrawThroughMask(Rect(cx, top, W - cw, bottom), centre, dest, mask, kNoBackSource);
  };
  for (y = ch; y < H - 2 * ch; y += ch) centreRow(y, y + ch);
  if (y < H - ch) centreRow(y, H - ch);
}

void PaintStateMask(TBitmap& dest, TBitmap& mask, ui::TPoint point, TColor transparentColor, int32_t look) {
  const int32_t cw = mask.Width() / 3, hh = mask.Height() / 2;
  if (cw < 1 || hh < 1 || dest.Width() < cw || dest.Height() < hh) return;
  dest.SetPixelFormat(ui::TPixelFormat::pf24bit);
  mask.SetPixelFormat(ui::TPixelFormat::pf24bit);
  const int32_t fx = point.X < 0 ? -point.X : 0;
  const int32_t fy = point.Y < 0 ? -point.Y : 0;
  // The part of the look that lands at 0 or more: clipping shortens the
  // copy instead of shifting it into the next look.
  const TRect src = ui::Rect(look * cw + fx, fy, look * cw + cw - 1, hh - 1);
  const TRect dst = ui::Rect(point.X + fx, point.Y + fy, point.X + cw - 1, point.Y + hh - 1);
  BlendMaskCellPlain(dst, src, dest, transparentColor, mask);
}

void BlendRectWithColor(TBitmap& bitmap, const TRect& rect, int32_t percent, TColor color) {
  const TRect r = ClampToBitmap(rect, bitmap);
  if (r.Right < r.Left || r.Bottom < r.Top) return;
  const double f = std::clamp(percent, 0, 100) / 100.0, g = 1 - f;
  const TColor c = ui::ColorToRGB(color);
  const uint8_t channel[3] = {ui::GetBValue(c), ui::GetGValue(c), ui::GetRValue(c)};
  // One table per channel: the blend of every byte value, rounded once.
  uint8_t table[3][256];
  for (int i = 0; i < 3; ++i)
    for (int v = 0; v < 256; ++v) table[i][v] = static_cast<uint8_t>(std::nearbyint(f * v + g * channel[i]));
  for (int32_t y = r.Top; y <= r.Bottom; ++y) {
    uint8_t* p = bitmap.ScanLine(y) + 3 * r.Left;
    for (int32_t x = r.Left; x <= r.Right; ++x, p += 3)
      for (int i = 0; i < 3; ++i) p[i] = table[i][p[i]];
  }
}

}  // namespace skin

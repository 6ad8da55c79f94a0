#include "skin/sCanvasDraw.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "platform/ui/Colors.h"
#include "platform/ui/Picture.h"
#include "skin/sGraphics.h"
#include "skin/sMaskData.h"

namespace skin {

namespace ui = platform::ui;
using ui::TColor;
using ui::TPoint;
using ui::TRect;

namespace {

void UsePen(ui::HDC dc, TColor colour) {
  dc->Pen().SetStyle(ui::TPenStyle::psSolid);
  dc->Pen().SetWidth(1);
  dc->Pen().SetColor(colour);
}

// ---- bevel lines ----

// One edge: its first line from `from` to `to`, each further line moved by
// the two steps; colourOf(d) is the colour of line d.
struct TEdge {
  TPoint From, To, StepFrom, StepTo;
};

template <class ColourOf>
void DrawEdge(ui::HDC dc, TEdge e, int32_t lines, ColourOf colourOf) {
  TSavedDC saved(dc);
  dc->Brush().SetStyle(ui::TBrushStyle::bsClear);
  for (int32_t d = 0; d < lines; ++d) {
    UsePen(dc, colourOf(d));
    dc->MoveTo(e.From.X, e.From.Y);
    dc->LineTo(e.To.X, e.To.Y);
    e.From = {e.From.X + e.StepFrom.X, e.From.Y + e.StepFrom.Y};
    e.To = {e.To.X + e.StepTo.X, e.To.Y + e.StepTo.Y};
  }
}

// Colour of line d of an edge of kind 0..3 in edge colour c.
TColor BevelLineColour(int32_t kind, TColor c, TColor face, int32_t d, int32_t n, bool gradient) {
  if (!gradient || n < 2 || kind >= 2) return c;
  if (d == 0) return kind == 0 ? ui::clWhite : ui::clBlack;
  const double t = double(d) / n;
  return kind == 0 ? LerpColor(c, face, t) : LerpColor(LerpColor(c, ui::clBlack, 0.5), face, t);
}

// ---- bevel strips ----

enum class TSide { Left, Top, Right, Bottom };

// Weight mask of one strip with the gradient: a value per column (left,
// right) or per row (top, bottom), written inside the mitred ends.
void FillStripGradient(TBitmap& mask, TSide side, bool rising) {
  const int32_t w = mask.Width(), h = mask.Height();
  const bool across = side == TSide::Left || side == TSide::Right;
  const auto step = static_cast<uint8_t>(255 / (across ? w : h));
  for (int32_t r = 0; r < h; ++r) {
    uint8_t* row = mask.ScanLine(across || side == TSide::Top ? r : h - 1 - r);
    if (across) {
      uint8_t v = rising ? 0 : 255;
      for (int32_t c = 0; c < w && c < r && c < h - r; ++c, v = static_cast<uint8_t>(rising ? v + step : v - step)) {
        uint8_t* p = row + 3 * (side == TSide::Left ? c : w - 1 - c);
        p[0] = p[1] = p[2] = v;
      }
    } else {
      const auto v = static_cast<uint8_t>(rising ? r * step : 255 - r * step);
      for (int32_t c = r; c < w - r; ++c) std::memset(row + 3 * c, v, 3);
    }
  }
}

// Weight mask of one strip without gradient: a grey-127 trapezoid.
void FillStripPolygon(TBitmap& mask, TSide side) {
  const int32_t w = mask.Width(), h = mask.Height();
  std::array<TPoint, 4> p;
  switch (side) {
    case TSide::Left: p = {TPoint{0, 0}, {0, h}, {w, h - w}, {w, w}}; break;
    case TSide::Top: p = {TPoint{0, 0}, {h, h}, {w - h, h}, {w, 0}}; break;
    case TSide::Right: p = {TPoint{w, 0}, {w, h}, {0, h - w}, {0, w}}; break;
    case TSide::Bottom: p = {TPoint{0, h}, {h, 0}, {w - h, 0}, {w, h}}; break;
  }
  ui::TCanvas& c = mask.Canvas();
  c.Pen().SetColor(ui::RGB(127, 127, 127));
  c.Brush().SetStyle(ui::TBrushStyle::bsSolid);
  c.Brush().SetColor(ui::RGB(127, 127, 127));
  c.Polygon(p);
}

void ShadeStrip(TBitmap& b, const TRect& strip, TSide side, int32_t type, bool gradient) {
  const bool across = side == TSide::Left || side == TSide::Right;
  if (across ? strip.Height() <= strip.Width() : strip.Width() <= strip.Height()) return;
  const bool firstPair = type == 1 || type == 2;   // types 1, 2 against 3, 4
  const bool oddType = type == 1 || type == 3;     // types 1, 3 against 2, 4
  const bool rising = (side == TSide::Left || side == TSide::Top) == firstPair;
  TColor tint = 0;
  switch (side) {
    case TSide::Left: tint = oddType ? ui::RGB(240, 240, 240) : ui::RGB(25, 25, 25); break;
    case TSide::Top: tint = oddType ? ui::clWhite : ui::clBlack; break;
    case TSide::Right: tint = oddType ? ui::RGB(25, 25, 25) : ui::RGB(240, 240, 240); break;
    case TSide::Bottom: tint = oddType ? ui::clBlack : ui::clWhite; break;
  }
  TBitmap mask;
  mask.SetSize(strip.Width(), strip.Height());
  if (gradient)
    FillStripGradient(mask, side, rising);
  else
    FillStripPolygon(mask, side);
  TintRegionThroughMask(b, mask, strip.Left, strip.Top, tint);
}

}  // namespace

void FillAreaSolid(ui::HDC dc, const TRect& r, TColor colour) {
  if (dc == nullptr) return;
  TSavedDC saved(dc);
  dc->Brush().SetStyle(ui::TBrushStyle::bsSolid);
  dc->Brush().SetColor(colour);
  dc->FillRect(r);
}

void DrawRingFrame(ui::HDC dc, TRect& r, TColor topLeft, TColor bottomRight, int32_t& count) {
  const int32_t rings = std::clamp(count, 0, kMaxFrameLines);
  count = 0;
  if (dc == nullptr) return;
  TSavedDC saved(dc);
  dc->Brush().SetStyle(ui::TBrushStyle::bsClear);
  TRect f = ui::Rect(r.Left, r.Top, r.Right - 1, r.Bottom - 1);
  for (int32_t i = 0; i < rings && f.Left <= f.Right && f.Top <= f.Bottom; ++i) {
    UsePen(dc, ui::ColorToRGB(topLeft));
    dc->MoveTo(f.Left, f.Bottom);
    dc->LineTo(f.Left, f.Top);
    dc->LineTo(f.Right, f.Top);
    UsePen(dc, bottomRight);
    dc->LineTo(f.Right, f.Bottom);
    dc->LineTo(f.Left - 1, f.Bottom);
    f = ui::Rect(f.Left + 1, f.Top + 1, f.Right - 1, f.Bottom - 1);
  }
  r = ui::Rect(r.Left + rings, r.Top + rings, r.Right - rings, r.Bottom - rings);
}

void DrawBevelLines(ui::HDC dc, TColor first, TColor second, TColor face, const TRect& r, int32_t n, int32_t style,
                    bool gradient) {
  if (dc == nullptr || style < 0 || style > 3) return;
  // Lines past the middle of r would only cross the ones drawn.
  n = std::clamp(n, 1, std::clamp((std::max(r.Width(), r.Height()) + 1) / 2, 1, kMaxFrameLines));
  const int32_t L = r.Left, T = r.Top, R = r.Right, B = r.Bottom;
  const TEdge left{{L, B - 1}, {L, T}, {1, -1}, {1, 1}};
  const TEdge top{{L, T}, {R, T}, {1, 1}, {-1, 1}};
  const TEdge right{{R - 1, T + 1}, {R - 1, B - 1}, {-1, 1}, {-1, -1}};
  const TEdge bottom{{R - 1, B - 1}, {L, B - 1}, {-1, -1}, {1, -1}};
  // Colour and kind of the left/top pair and of the right/bottom pair.
  const TColor outer[4][2] = {{first, second}, {second, first}, {first, first}, {second, second}};
  const int32_t kinds[4][2] = {{0, 1}, {1, 0}, {2, 2}, {3, 3}};
  auto edge = [&](const TEdge& e, int pair) {
    const TColor c = outer[style][pair];
    const int32_t kind = kinds[style][pair];
    DrawEdge(dc, e, n, [&](int32_t d) { return BevelLineColour(kind, c, face, d, n, gradient); });
  };
  edge(left, 0);
  edge(top, 0);
  edge(right, 1);
  edge(bottom, 1);
}

void DrawPlainBevel(ui::TCanvas& c, const TRect& r, TColor face, TColor first, TColor second, bool lowered,
                    int32_t width) {
  DrawBevelLines(c.Handle(), ui::ColorToRGB(first), ui::ColorToRGB(second), ui::ColorToRGB(face), r,
                 lowered ? 1 : width, lowered ? 1 : 0, false);
}

void ShadeBevelStrips(TBitmap& b, const TRect& rect, int32_t width, int32_t type, bool gradient) {
  if (type < 1 || type > 4 || width < 1) return;
  if (width == 1) {
    DrawPlainBevel(b.Canvas(), rect, ui::clWhite, ui::clWhite, ui::clBlack, type == 2 || type == 4, 1);
    return;
  }
  const TRect r = ClampToBitmap(rect, b);
  int32_t w = width;
  if (w > r.Height() / 2) w = r.Height() / 2 - 1;
  if (w > r.Width() / 2) w = r.Width() / 2 - 1;
  if (w < 2) return;
  ShadeStrip(b, ui::Rect(r.Left, r.Top, r.Left + w, r.Bottom), TSide::Left, type, gradient);
  ShadeStrip(b, ui::Rect(r.Left, r.Top, r.Right, r.Top + w), TSide::Top, type, gradient);
  ShadeStrip(b, ui::Rect(r.Right - w - 1, r.Top, r.Right, r.Bottom), TSide::Right, type, gradient);
  ShadeStrip(b, ui::Rect(r.Left, r.Bottom - w - 1, r.Right, r.Bottom), TSide::Bottom, type, gradient);
}

void DrawFocusDots(ui::TCanvas& c, const TRect& r) {
  const TRect clip = c.ClipRect();
  // Dots beyond the clip are dropped anyway; the loops start and stop there.
  const int32_t i0 = std::max(0, (clip.Left - r.Left) / 3 - 1);
  for (int32_t i = i0; i <= r.Width() / 3 && r.Left + 3 * i - 1 < clip.Right; ++i) {
    const int32_t x = r.Left + 3 * i;
    c.SetPixel(x, r.Top, ui::clBlack);
    c.SetPixel(x, r.Bottom, ui::clBlack);
    c.SetPixel(x - 1, r.Top - 1, ui::clWhite);
    c.SetPixel(x - 1, r.Bottom - 1, ui::clWhite);
  }
  const int32_t j0 = std::max(0, (clip.Top - r.Top) / 3 - 1);
  for (int32_t j = j0; j <= r.Height() / 3 && r.Top + 3 * j - 1 < clip.Bottom; ++j) {
    const int32_t y = r.Top + 3 * j;
    c.SetPixel(r.Left, y, ui::clBlack);
    c.SetPixel(r.Right, y, ui::clBlack);
    c.SetPixel(r.Left - 1, y - 1, ui::clWhite);
    c.SetPixel(r.Right - 1, y - 1, ui::clWhite);
  }
}

void DrawTick(ui::TCanvas& c, const TRect& rect, bool enabled, TColor colour) {
  TSavedDC saved(&c);
  const int32_t dx = rect.Width() / 8, dy = rect.Height() / 8;
  const TRect r = ui::Rect(rect.Left + dx + 1, rect.Top + dy + 1, rect.Right - dx, rect.Bottom - dy);
  const int32_t t = r.Height() / 3, q = r.Height() / 4;
  const std::array<TPoint, 6> tick = {TPoint{r.Left, r.Bottom - t - 2}, {r.Left + t, r.Bottom - 2},
                                      {r.Right - 2, r.Top + t},        {r.Right - 2, r.Top + t - q},
                                      {r.Left + t, r.Bottom - q - 2},  {r.Left + q, r.Bottom - t - 2}};
  auto draw = [&c](const std::array<TPoint, 6>& points, TColor fill) {
    c.Pen().SetStyle(ui::TPenStyle::psSolid);
    c.Pen().SetColor(fill);
    c.Brush().SetStyle(ui::TBrushStyle::bsSolid);
    c.Brush().SetColor(fill);
    c.Polygon(points);
  };
  if (enabled) {
    draw(tick, colour);
    return;
  }
  std::array<TPoint, 6> shifted = tick;
  for (TPoint& p : shifted) p = {p.X + 1, p.Y + 1};
  draw(shifted, ui::cl3DLight);
  draw(tick, ui::clBtnShadow);
}

namespace {

// The text's rectangle: without DT_WORDBREAK r fitted to the text (centred
// vertically; by DT_CENTER, DT_RIGHT or from the left horizontally).
TRect FitText(ui::TCanvas& c, const char* text, const TRect& r, uint32_t format) {
  TRect fit = r;
  if (format & ui::DT_WORDBREAK) return fit;
  ui::TSize size;
  ui::GetTextExtentPoint32(&c, text, static_cast<int32_t>(std::strlen(text)), &size);
  const int32_t dy = (r.Height() - size.cy) / 2;
  fit.Top += dy;
  fit.Bottom -= dy;
  if (format & ui::DT_CENTER) {
    const int32_t dx = (r.Width() - size.cx) / 2;
    fit.Left += dx;
    fit.Right -= dx;
  } else if (format & ui::DT_RIGHT) {
    fit.Left = fit.Right - size.cx;
  } else {
    fit.Right = fit.Left + size.cx;
  }
  return fit;
}

// Lays text out, draws it with draw(fitted rectangle) and hands back the
// fitted rectangle grown by one pixel (unchanged with DT_WORDBREAK).
template <class Draw>
void PutText(ui::TCanvas& c, const char* text, TRect& r, uint32_t format, Draw draw) {
  if (text == nullptr) return;
  const TRect fit = FitText(c, text, r, format);
  c.Brush().SetStyle(ui::TBrushStyle::bsClear);
  draw(fit);
  if (!(format & ui::DT_WORDBREAK)) r = ui::Rect(fit.Left - 1, fit.Top - 1, fit.Right + 1, fit.Bottom + 1);
}

void DrawPlainText(ui::TCanvas& c, const char* text, bool enabled, TRect fit, uint32_t format) {
  if (enabled) {
    ui::DrawText(c.Handle(), text, -1, &fit, format);
    return;
  }
  c.Font().SetColor(ui::clBtnHighlight);
  TRect shifted = ui::Rect(fit.Left + 1, fit.Top + 1, fit.Right + 1, fit.Bottom + 1);
  ui::DrawText(c.Handle(), text, -1, &shifted, format);
  c.Font().SetColor(ui::clBtnShadow);
  ui::DrawText(c.Handle(), text, -1, &fit, format);
}

}  // namespace

void PutTextEmbossed(ui::TCanvas& c, const char* text, bool enabled, TRect& r, uint32_t format) {
  PutText(c, text, r, format, [&](const TRect& fit) { DrawPlainText(c, text, enabled, fit, format); });
}

void PutTextSkinned(ui::TCanvas& c, const char* text, bool enabled, TRect& r, uint32_t format, int32_t sectionIndex,
                    bool hot) {
  PutText(c, text, r, format, [&](const TRect& fit) {
    if (enabled && IsSectionIndexValid(sectionIndex))
      PutSectionText(c, text, fit, format, sectionIndex, hot);
    else
      DrawPlainText(c, text, enabled, fit, format);
  });
}

void RepeatGraphic(ui::TCanvas& c, const TRect& r, const ui::TGraphic* graphic) {
  if (graphic == nullptr || graphic->Empty()) return;
  const int32_t gw = graphic->Width(), gh = graphic->Height();
  const TRect clip = c.ClipRect();
  if (const auto* bitmap = dynamic_cast<const ui::TBitmap*>(graphic)) {
    const int32_t right = std::min(r.Right, clip.Right), bottom = std::min(r.Bottom, clip.Bottom);
    for (int32_t x = FirstTileFrom(r.Left, gw, clip.Left); x < right; x += gw)
      for (int32_t y = FirstTileFrom(r.Top, gh, clip.Top); y < bottom; y += gh) {
        const int32_t w = std::min(gw, r.Right - x), h = std::min(gh, r.Bottom - y);
        c.DrawBitmap(*bitmap, ui::Rect(x, y, x + w, y + h), ui::Rect(0, 0, w, h));
      }
  } else if (dynamic_cast<const ui::TJPEGImage*>(graphic) != nullptr) {
    // Whole pictures at i = 0 .. width div gw (likewise down); tiles that
    // lie wholly outside the clip are left out.
    const int32_t lastX = r.Left + r.Width() / gw * gw, lastY = r.Top + r.Height() / gh * gh;
    for (int32_t x = FirstTileFrom(r.Left, gw, clip.Left - gw + 1); x <= lastX && x < clip.Right; x += gw)
      for (int32_t y = FirstTileFrom(r.Top, gh, clip.Top - gh + 1); y <= lastY && y < clip.Bottom; y += gh)
        c.Draw(x, y, *graphic);
  }
}

}  // namespace skin

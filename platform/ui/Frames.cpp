#include "platform/ui/Frames.h"

#include <algorithm>

#include "platform/ui/Bitmap.h"
#include "platform/ui/Colors.h"

namespace platform::ui {

namespace {

void Fill(TPainter& p, const TRect& r, TColor color) {
  p.SaveDC();
  p.Brush().SetStyle(TBrushStyle::bsSolid);
  p.Brush().SetColor(color);
  p.FillRect(r);
  p.RestoreDC(-1);
}

// One border of an edge: light top and left, dark bottom and right.
void Border(TPainter& p, const TRect& r, TColor light, TColor dark, uint32_t sides) {
  if (r.Left >= r.Right || r.Top >= r.Bottom) return;
  if (sides & BF_TOP) Fill(p, {r.Left, r.Top, r.Right - 1, r.Top + 1}, light);
  if (sides & BF_LEFT) Fill(p, {r.Left, r.Top, r.Left + 1, r.Bottom - 1}, light);
  if (sides & BF_BOTTOM) Fill(p, {r.Left, r.Bottom - 1, r.Right, r.Bottom}, dark);
  if (sides & BF_RIGHT) Fill(p, {r.Right - 1, r.Top, r.Right, r.Bottom}, dark);
}

TRect Shrink(const TRect& r, uint32_t sides) {
  TRect s = r;
  if (sides & BF_LEFT) ++s.Left;
  if (sides & BF_TOP) ++s.Top;
  if (sides & BF_RIGHT) --s.Right;
  if (sides & BF_BOTTOM) --s.Bottom;
  return s;
}

// A filled triangle pointing in direction d (0 up, 1 down, 2 left, 3
// right) centred in r, 4 pixels deep.
void Arrow(TPainter& p, const TRect& r, int d, TColor color) {
  const int cx = r.Left + (r.Width() - 1) / 2;
  const int cy = r.Top + (r.Height() - 1) / 2;
  for (int i = 0; i < 4; ++i) {
    const int len = 2 * i + 1;  // 1, 3, 5, 7 pixels
    switch (d) {
      case 0: Fill(p, {cx - i, cy - 2 + i, cx - i + len, cy - 1 + i}, color); break;
      case 1: Fill(p, {cx - i, cy + 1 - i, cx - i + len, cy + 2 - i}, color); break;
      case 2: Fill(p, {cx - 2 + i, cy - i, cx - 1 + i, cy - i + len}, color); break;
      default: Fill(p, {cx + 1 - i, cy - i, cx + 2 - i, cy - i + len}, color); break;
    }
  }
}

void CheckMark(TPainter& p, int x, int y, TColor color) {
  // A 7 x 7 tick, three pixels thick: down-right from (x, y + 2) to
  // (x + 2, y + 4), then up-right to (x + 6, y).
  for (int i = 0; i < 7; ++i) {
    const int top = i < 3 ? y + 2 + i : y + 4 - (i - 2);
    Fill(p, {x + i, top, x + i + 1, top + 3}, color);
  }
}

}  // namespace

bool DrawEdge(HDC dc, TRect& r, uint32_t edge, uint32_t flags) {
  if (dc == nullptr) return false;
  TPainter& p = *dc;
  const uint32_t sides = flags & BF_RECT;
  TRect inside = r;
  struct Line {
    uint32_t Bit;
    TColor Light;
    TColor Dark;
  };
  const Line outer[] = {{BDR_RAISEDOUTER, cl3DLight, cl3DDkShadow}, {BDR_SUNKENOUTER, clBtnShadow, clBtnHighlight}};
  const Line inner[] = {{BDR_RAISEDINNER, clBtnHighlight, clBtnShadow}, {BDR_SUNKENINNER, cl3DDkShadow, cl3DLight}};
  for (const auto* set : {outer, inner}) {
    for (int i = 0; i < 2; ++i) {
      if ((edge & set[i].Bit) == 0) continue;
      TColor light = set[i].Light;
      TColor dark = set[i].Dark;
      if (flags & BF_MONO) light = dark = clWindowFrame;
      else if (flags & BF_FLAT) light = dark = clBtnShadow;
      Border(p, inside, light, dark, sides);
      inside = Shrink(inside, sides);
      break;  // one line per border even when both bits are set
    }
  }
  if (flags & BF_MIDDLE) Fill(p, inside, (flags & BF_MONO) ? clWindow : clBtnFace);
  if (flags & BF_ADJUST) r = inside;
  return true;
}

bool DrawFocusRect(HDC dc, const TRect& r) {
  if (dc == nullptr) return false;
  TPainter& p = *dc;
  if (r.Left >= r.Right || r.Top >= r.Bottom) return true;
  auto invert = [&](int x, int y) {
    if (((x + y) & 1) != 0) return;
    const TColor c = p.Pixel(x, y);
    if (c != CLR_INVALID) p.SetPixel(x, y, c ^ 0xFFFFFF);
  };
  for (int x = r.Left; x < r.Right; ++x) {
    invert(x, r.Top);
    if (r.Bottom - 1 != r.Top) invert(x, r.Bottom - 1);
  }
  for (int y = r.Top + 1; y < r.Bottom - 1; ++y) {
    invert(r.Left, y);
    if (r.Right - 1 != r.Left) invert(r.Right - 1, y);
  }
  return true;
}

bool DrawFrameControl(HDC dc, const TRect& r, uint32_t kind, uint32_t state) {
  if (dc == nullptr) return false;
  TPainter& p = *dc;
  const bool inactive = (state & DFCS_INACTIVE) != 0;
  const bool pushed = (state & DFCS_PUSHED) != 0;
  const bool checked = (state & DFCS_CHECKED) != 0;
  if (kind == DFC_BUTTON) {
    const uint32_t style = state & 0xFF;
    if (style == DFCS_BUTTONPUSH) {
      TRect face = r;
      if (state & DFCS_FLAT)
        DrawEdge(dc, face, BDR_SUNKENOUTER, BF_RECT | BF_FLAT | BF_MIDDLE);
      else
        DrawEdge(dc, face, (pushed || checked) ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT | BF_MIDDLE);
      return true;
    }
    if (style == DFCS_BUTTONCHECK) {
      TRect box{r.Left, r.Top, r.Left + 13, r.Top + 13};
      DrawEdge(dc, box, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
      Fill(p, box, (inactive || pushed) ? clBtnFace : clWindow);
      if (checked) CheckMark(p, box.Left + 1, box.Top + 1, inactive ? clGrayText : clWindowText);
      return true;
    }
    if (style == DFCS_BUTTONRADIO) {
      p.SaveDC();
      p.Pen().SetStyle(TPenStyle::psSolid);
      p.Pen().SetWidth(1);
      p.Pen().SetColor(clBtnShadow);
      p.Brush().SetStyle(TBrushStyle::bsSolid);
      p.Brush().SetColor((inactive || pushed) ? clBtnFace : clWindow);
      p.Ellipse(r.Left, r.Top, r.Left + 12, r.Top + 12);
      if (checked) {
        const TColor dot = inactive ? clGrayText : clWindowText;
        p.Pen().SetColor(dot);
        p.Brush().SetColor(dot);
        p.Ellipse(r.Left + 4, r.Top + 4, r.Left + 8, r.Top + 8);
      }
      p.RestoreDC(-1);
      return true;
    }
    return false;
  }
  if (kind == DFC_SCROLL) {
    const uint32_t style = state & 0xFF;
    int direction = 0;
    switch (style) {
      case DFCS_SCROLLUP: direction = 0; break;
      case DFCS_SCROLLDOWN:
      case DFCS_SCROLLCOMBOBOX: direction = 1; break;
      case DFCS_SCROLLLEFT: direction = 2; break;
      case DFCS_SCROLLRIGHT: direction = 3; break;
      default: return false;
    }
    TRect face = r;
    if (pushed)
      DrawEdge(dc, face, BDR_SUNKENOUTER, BF_RECT | BF_FLAT | BF_MIDDLE);
    else
      DrawEdge(dc, face, EDGE_RAISED, BF_RECT | BF_MIDDLE);
    TRect glyph = r;
    if (pushed) {
      ++glyph.Left;
      ++glyph.Top;
      ++glyph.Right;
      ++glyph.Bottom;
    }
    if (inactive) {
      Arrow(p, {glyph.Left + 1, glyph.Top + 1, glyph.Right + 1, glyph.Bottom + 1}, direction, clBtnHighlight);
      Arrow(p, glyph, direction, clBtnShadow);
    } else {
      Arrow(p, glyph, direction, clBtnText);
    }
    return true;
  }
  return false;
}

}  // namespace platform::ui

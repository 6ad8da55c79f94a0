#pragma once
// TPainter: the drawing operations of a canvas, with the pixel rules of the
// classic graphics interface, drawing into a TBitmap target.
//
// Pixel rules: a pixel (x, y) covers the square from (x, y) to (x+1, y+1).
// Rectangles include Left/Top and exclude Right/Bottom. LineTo leaves out
// its last pixel. Rectangle, RoundRect and Ellipse draw a one-pixel outline
// (wider pens grow inward) and fill the rest with the brush; with a clear
// pen the fill is one pixel smaller on the right and bottom. Polygon fills
// the pixels whose centres lie inside (even-odd rule) and then strokes its
// edges through every vertex. Colours go through ColorToRGB. Writes outside
// the target or the clip region are dropped.
//
// Device state: pen, brush and font are the canvas objects; the text
// colour, background colour and background mode are the device's. Handle()
// and the canvas's own text calls take them from the font colour and the
// brush (clear brush: transparent), like a canvas that selects its objects
// before each call; SetTextColor/SetBkMode/SetBkColor change them until
// then. SaveDC/RestoreDC keep all of it and the clip region.
//
// A painter is used on one thread at a time.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "platform/ui/Font.h"
#include "platform/ui/Region.h"
#include "platform/ui/Types.h"

namespace platform::ui {

class TBitmap;
class TGraphic;
class TPainter;

struct TSize {
  int32_t cx = 0;
  int32_t cy = 0;
  friend bool operator==(const TSize&, const TSize&) = default;
};
static_assert(sizeof(TSize) == 8);

enum class TPenStyle { psSolid, psClear };
enum class TBrushStyle { bsSolid, bsClear };

class TPen : public TPersistent {
 public:
  TColor Color() const { return color_; }
  void SetColor(TColor c) { color_ = c; }
  // Widths below 1 count as 1.
  int32_t Width() const { return width_; }
  void SetWidth(int32_t w) { width_ = w < 1 ? 1 : w; }
  TPenStyle Style() const { return style_; }
  void SetStyle(TPenStyle s) { style_ = s; }
  void Assign(const TPersistent* source) override;

 private:
  TColor color_ = clBlack;
  int32_t width_ = 1;
  TPenStyle style_ = TPenStyle::psSolid;
};

class TBrush : public TPersistent {
 public:
  TColor Color() const { return color_; }
  void SetColor(TColor c) { color_ = c; }
  TBrushStyle Style() const { return style_; }
  void SetStyle(TBrushStyle s) { style_ = s; }
  void Assign(const TPersistent* source) override;

 private:
  TColor color_ = clWhite;
  TBrushStyle style_ = TBrushStyle::bsSolid;
};

// A device context handle is the painter itself.
using HDC = TPainter*;

// Background modes.
inline constexpr int TRANSPARENT = 1;
inline constexpr int OPAQUE = 2;

// Raster operations BitBlt understands.
inline constexpr uint32_t SRCCOPY = 0x00CC0020;
inline constexpr uint32_t BLACKNESS = 0x00000042;
inline constexpr uint32_t WHITENESS = 0x00FF0062;

// DrawText format flags.
inline constexpr uint32_t DT_TOP = 0x0;
inline constexpr uint32_t DT_LEFT = 0x0;
inline constexpr uint32_t DT_CENTER = 0x1;
inline constexpr uint32_t DT_RIGHT = 0x2;
inline constexpr uint32_t DT_VCENTER = 0x4;
inline constexpr uint32_t DT_BOTTOM = 0x8;
inline constexpr uint32_t DT_WORDBREAK = 0x10;
inline constexpr uint32_t DT_SINGLELINE = 0x20;
inline constexpr uint32_t DT_EXPANDTABS = 0x40;
inline constexpr uint32_t DT_NOCLIP = 0x100;
inline constexpr uint32_t DT_CALCRECT = 0x400;
inline constexpr uint32_t DT_NOPREFIX = 0x800;

class TPainter : public TPersistent {
 public:
  TPainter();
  ~TPainter() override;

  // The bitmap drawn into; null draws nothing (reads answer CLR_INVALID).
  TBitmap* Target() const { return target_; }
  void SetTarget(TBitmap* target) { target_ = target; }

  TPen& Pen() { return pen_; }
  TBrush& Brush() { return brush_; }
  // Virtual so that a canvas that keeps its own font object draws with it.
  virtual TFont& Font() { return font_; }
  virtual const TFont& Font() const { return font_; }

  // The device handle, with text colour and background taken from the font
  // and the brush.
  HDC Handle();

  // ---- lines and shapes ----
  TPoint PenPos() const { return penPos_; }
  void MoveTo(int32_t x, int32_t y) { penPos_ = {x, y}; }
  // From the pen position to (x, y), the last pixel left out (a pen wider
  // than 1 paints round ends, the last one included); the pen position
  // moves to (x, y).
  void LineTo(int32_t x, int32_t y);
  // Lines through the points, the last pixel left out; the pen position
  // stays.
  void Polyline(std::span<const TPoint> points);
  void Rectangle(int32_t l, int32_t t, int32_t r, int32_t b);
  void Rectangle(const TRect& r) { Rectangle(r.Left, r.Top, r.Right, r.Bottom); }
  // (ew, eh): width and height of the ellipse that rounds the corners.
  void RoundRect(int32_t l, int32_t t, int32_t r, int32_t b, int32_t ew, int32_t eh);
  void Ellipse(int32_t l, int32_t t, int32_t r, int32_t b);
  void Ellipse(const TRect& r) { Ellipse(r.Left, r.Top, r.Right, r.Bottom); }
  void Polygon(std::span<const TPoint> points);
  // The brush over r (nothing with a clear brush), and a one-pixel frame of
  // r in the brush colour.
  void FillRect(const TRect& r);
  void FrameRect(const TRect& r);
  // The colour at (x, y), CLR_INVALID outside the target or the clip.
  TColor Pixel(int32_t x, int32_t y) const;
  void SetPixel(int32_t x, int32_t y, TColor color);

  // ---- pictures and copies ----
  void Draw(int32_t x, int32_t y, const TGraphic& graphic);
  void StretchDraw(const TRect& r, const TGraphic& graphic);
  // Copies source's rectangle src into dest, scaled to dest's size.
  void CopyRect(const TRect& dest, TPainter& source, const TRect& src);
  // Copies w x h pixels from src at (sx, sy) to (x, y). Pixels outside the
  // source bitmap, the target or the clip region are not copied. Only
  // SRCCOPY needs a source; BLACKNESS and WHITENESS fill. Answers false
  // for another operation, a missing source or target.
  bool BitBlt(int32_t x, int32_t y, int32_t w, int32_t h, TPainter* src, int32_t sx, int32_t sy, uint32_t rop);
  bool StretchBlt(const TRect& dest, TPainter* src, const TRect& srcRect, uint32_t rop);
  // Source bitmap's srcRect into dest (nearest pixel when scaled).
  void DrawBitmap(const TBitmap& source, const TRect& dest, const TRect& srcRect);
  // As DrawBitmap, weighing each pixel by the source's fourth byte
  // (opacity); a 24-bit source is opaque.
  void DrawBitmapBlended(const TBitmap& source, const TRect& dest);

  // ---- text (CP1251) ----
  // The text in the font colour with its top-left at (x, y), on the brush
  // colour unless the brush is clear; the pen position moves to the end.
  void TextOut(int32_t x, int32_t y, std::string_view text);
  // As TextOut, clipped to r.
  void TextRect(const TRect& r, int32_t x, int32_t y, std::string_view text);
  TSize TextExtent(std::string_view text) const;
  int32_t TextWidth(std::string_view text) const { return TextExtent(text).cx; }
  int32_t TextHeight(std::string_view text) const { return TextExtent(text).cy; }
  // Lays text out in r by format (DT_*) with the device's text colour and
  // background. Answers the height of the text; with DT_VCENTER or
  // DT_BOTTOM the distance from r's top to the bottom of the text. With
  // DT_CALCRECT nothing is drawn and r's right and bottom are set to hold
  // the text.
  int32_t DrawText(std::string_view text, TRect& r, uint32_t format);

  // ---- device state ----
  int SetBkMode(int mode);
  int BkMode() const { return bkMode_; }
  TColor SetTextColor(TColor color);
  TColor TextColor() const { return textColor_; }
  TColor SetBkColor(TColor color);
  TColor BkColor() const { return bkColor_; }
  // Pushes the state; answers the new depth (1 for the first save).
  int SaveDC();
  // Restores the state saved at that depth (a negative level counts back
  // from the latest) and drops it and later ones; false for a bad level.
  bool RestoreDC(int level);

  // ---- clipping (target coordinates) ----
  // Copies the region as the clip; null removes the clip. Answers the kind.
  int SelectClipRgn(const TRegion* region);
  int IntersectClipRect(int32_t l, int32_t t, int32_t r, int32_t b);
  int ExcludeClipRect(int32_t l, int32_t t, int32_t r, int32_t b);
  // Bounds of the clip, or of the target when there is no clip.
  TRect ClipRect() const;

 private:
  struct State;
  struct TextLine;

  TRect TargetBounds() const;
  TRegion EffectiveClip() const;
  bool Visible(int32_t x, int32_t y) const;
  void Put(int32_t x, int32_t y, TColor rgb);
  void Blend(int32_t x, int32_t y, TColor rgb, unsigned coverage);
  void FillSpan(int32_t y, int32_t x0, int32_t x1, TColor rgb);
  void FillArea(const TRect& r, TColor rgb);
  void Stamp(int32_t x, int32_t y, int32_t w, TColor rgb);
  void Line(TPoint from, TPoint to, bool includeLast);
  void Shape(int32_t l, int32_t t, int32_t r, int32_t b, int32_t ew, int32_t eh);
  void SyncDeviceState();
  void DrawLine(int32_t x, int32_t top, std::string_view text, const std::vector<int>& underlined,
                const std::optional<TRect>& clip, bool expandTabs);

  TBitmap* target_ = nullptr;
  TPen pen_;
  TBrush brush_;
  TFont font_;
  TPoint penPos_;
  int bkMode_ = OPAQUE;
  TColor textColor_ = clBlack;
  TColor bkColor_ = clWhite;
  std::optional<TRegion> clip_;
  std::vector<std::unique_ptr<State>> saved_;
};

// Device-handle calls for code written against them; each acts on the
// painter behind the handle and fails (false, 0) for a null handle.
bool BitBlt(HDC dst, int32_t x, int32_t y, int32_t w, int32_t h, HDC src, int32_t sx, int32_t sy, uint32_t rop);
bool StretchBlt(HDC dst, int32_t x, int32_t y, int32_t w, int32_t h, HDC src, int32_t sx, int32_t sy, int32_t sw,
                int32_t sh, uint32_t rop);
int SaveDC(HDC dc);
bool RestoreDC(HDC dc, int level);
int SetBkMode(HDC dc, int mode);
TColor SetTextColor(HDC dc, TColor color);
TColor SetBkColor(HDC dc, TColor color);
// count -1: text is zero-terminated. Null text or rectangle: 0.
int32_t DrawText(HDC dc, const char* text, int32_t count, TRect* r, uint32_t format);
bool GetTextExtentPoint32(HDC dc, const char* text, int32_t count, TSize* size);
int SelectClipRgn(HDC dc, HRGN rgn);
TColor GetPixel(HDC dc, int32_t x, int32_t y);
TColor SetPixel(HDC dc, int32_t x, int32_t y, TColor color);

}  // namespace platform::ui

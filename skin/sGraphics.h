#pragma once
// sGraphics: the scan-line routines of the skinned controls: colour mixing,
// blends of two bitmaps, tints through masks, pixel conversions, keyed
// copies and shadows. Bitmaps are the caller's and are expected at 24 bits
// per pixel (B,G,R); bitmaps made here are 24-bit and start white. Every
// row and column is bounded before use, so nothing is written outside a
// bitmap and nothing raises for rectangles that reach beyond one. The
// routines keep no state and run on the GUI thread.
//
// Mask weights: a byte m per channel weighs the old pixel, so 255 keeps it
// (nearly) and 0 replaces it by the colour or the second image.

#include <cstdint>
#include <memory>

#include "platform/ui/Bitmap.h"
#include "platform/ui/Canvas.h"
#include "platform/ui/Types.h"

namespace skin {

using platform::ui::TBitmap;
using platform::ui::TColor;
using platform::ui::TPoint;
using platform::ui::TRect;

// Pixels for the see-through spots of a masked copy: Bitmap at offset
// (X, Y), used when Valid. A Valid source without a bitmap counts as off.
struct TBackSource {
  TBitmap* Bitmap = nullptr;
  int32_t X = 0;
  int32_t Y = 0;
  bool Valid = false;
};

// The shared record that stands for no background.
inline constexpr TBackSource kNoBackSource{};

// The marker of a see-through spot in an image-and-weights mask.
inline constexpr TColor kMaskSeeThrough = 0xFF00FF;

// ---- mixing ----

// r within b: left and top at least 0, right and bottom (inclusive) at
// most b's last column and row. Empty (right < left) when they miss b.
TRect ClampToBitmap(TRect r, const TBitmap& b);

// The first of the tile positions from, from + step, ... (step > 0) whose
// tile can reach lo: tiles wholly before lo change no pixel.
inline int32_t FirstTileFrom(int32_t from, int32_t step, int32_t lo) {
  return lo <= from ? from : from + (lo - from) / step * step;
}

// One channel of the mask rule: the old byte d weighing w / 256 against s.
inline uint8_t WeighByte(uint32_t d, uint32_t w, uint32_t s) {
  return static_cast<uint8_t>((d * w + s * (256u - w)) >> 8);
}

// Per channel round(a - t * (a - b)), halves to even; 256 or more is 255
// (below 0 is 0).
TColor LerpColor(TColor a, TColor b, double t);

// ---- blends of two bitmaps ----

// d := round(f * (d - s) + s) with f = (w & 0xFF) / 256. Nothing unless the
// bitmaps have the same size.
void MixBitmaps(TBitmap& d, const TBitmap& s, int32_t w);
// s's rectangle r (right and bottom inclusive) mixed onto d at p, d
// weighing (sum of w's three low bytes) / 768. Pixels that s or d lacks
// are skipped.
void MixRectOnto(TBitmap& d, const TBitmap& s, TColor w, TRect r, TPoint p);
// s's rectangle r (clamped to s, edges inclusive) onto d at (x, y), the old
// pixel weighing w: round(s - w * (s - d)). Pixels equal to the key k are
// left out, unless k >= 0xFF000000 (no key). Rows and columns stop at the
// first target outside d.
void MixRectKeyed(TBitmap& d, int32_t x, int32_t y, const TBitmap& s, TRect r, double w, TColor k);

// ---- tints through masks ----

// d := ((d - c) * m + 255 * c) div 256 for every pixel; nothing unless d and
// m have the same size. c is a plain colour.
void TintThroughMask(TBitmap& d, const TBitmap& m, TColor c);
// The area of d under m laid at (x, y): d := ((d - c) * m + 256 * c) div 256.
// Pixels of the mask that fall outside d are skipped.
void TintRegionThroughMask(TBitmap& d, const TBitmap& m, int32_t x, int32_t y, TColor c);
// Within r: d := ((d - s) * w + 256 * s) div 256, s and w at the same place.
// Nothing when r is wider or taller than d; columns that d, s or w lacks
// are skipped, and a row that one of them lacks ends the routine.
void MixThroughWeights(TBitmap& d, const TBitmap& s, const TBitmap& w, const TRect& r);
// The image half of an image-and-weights mask (src) drawn onto d (dst),
// weighed by the lower half; see-through spots take the background when
// it is valid. The copy is the smaller of the two rectangles, clipped to
// d and to the mask's image half; a negative left or top moves both
// rectangles in.
void DrawThroughMask(TRect dst, TRect src, TBitmap& d, const TBitmap& mask, const TBackSource& back);
// A frame of a nine-cell mask (9 x 6 cells: three states of 3 x 3 image
// cells over 3 x 3 weight cells) stretched over rect: corners with the
// background, edges tiled, the middle tiled when fillMiddle. Nothing for a
// rect under 2 x 2 or a mask whose cells are 0 wide or high.
void DrawNineCells(TBitmap& d, const TBitmap& mask, int32_t state, const TRect& rect, bool fillMiddle,
                   const TBackSource& back);

// ---- conversions ----

// Each pixel's three bytes become (b + g + r) div 3.
void ToGrey(TBitmap& b);
// Every pixel that is not pure white becomes black.
void ToShapeMask(TBitmap& b);
bool IsBlackColor(TColor c);
// One-pixel light (top-left) and dark (bottom-right) edge of m's black
// shape drawn into d. Nothing unless d and m have the same, non-empty size.
void EdgeShape(TBitmap& d, const TBitmap& m, TColor light, TColor dark);
// A 24-bit white bitmap of b's size.
std::unique_ptr<TBitmap> NewBitmapOfSize(const TBitmap& b);

// ---- keyed copies ----

// s copied onto d at (x, y) except pixels equal to key; targets outside d
// are skipped.
void CopyKeyed(TBitmap& d, const TBitmap& s, int32_t x, int32_t y, TColor key);
// The same for s's rectangle r, clamped to s, right and bottom inclusive.
void CopyRectKeyed(TBitmap& d, const TBitmap& s, int32_t x, int32_t y, TRect r, TColor key);

// The disabled-glyph kind set of the buttons.
using TsDisabledGlyphKind = uint8_t;
inline constexpr TsDisabledGlyphKind dgBlended = 1;
inline constexpr TsDisabledGlyphKind dgGrayed = 2;

// A button glyph (1 image, or 2 side by side: enabled, disabled) put onto d
// at rect's top-left, its bottom-left pixel the transparent colour. The
// glyph is switched to 24 bits. Other counts and an empty glyph paint
// nothing.
void PutButtonGlyph(TBitmap& glyph, TBitmap& d, const TRect& rect, int32_t count, bool enabled, bool grayed,
                    TsDisabledGlyphKind kinds, int32_t state, int32_t blend);

// ---- shadows ----

// The grey levels of a soft edge drawn in blur + 1 rings (blur 0 or more):
// ring i (0 the outermost) is T + round((blur - i) * (255 - T) / (blur + 1)),
// halves to even, T = transparency (clamped to 0..100) * 255 div 100.
class TGreySteps {
 public:
  TGreySteps(int32_t transparency, int32_t blur);
  TColor Grey(int32_t i) const;

 private:
  int32_t base_;
  double step_;
  int32_t blur_;
};

// c fills shapes with grey and draws no outline.
void SelectGrey(platform::ui::TCanvas& c, TColor grey);

// A shadow of colour over c's rectangle r put on target at p. Transparency
// (clamped to 0..100): 0 fills, 100 copies unchanged. Blur (0 or more, at
// most half the shorter side) sets the fall-off rings; shape 0 is a
// rounded rectangle of corner radius (0 or more), 1 an ellipse. The
// device states of c and target are restored. An area larger than a bitmap
// can hold raises EInvalidGraphicOperation.
void CastShadow(platform::ui::TCanvas& c, const TRect& r, platform::ui::HDC target, TPoint p,
                int32_t transparency, TColor colour, int32_t blur, int32_t shape, int32_t radius);
// CastShadow with corner radius 0.
void CastBoxShadow(platform::ui::TCanvas& c, const TRect& r, platform::ui::HDC target, TPoint p,
                   int32_t transparency, TColor colour, int32_t blur, int32_t shape);
// A rounded shadow painted in place within b's rectangle r (pixels of r
// outside b are left alone). Transparency clamped to 0..100; blur and
// radius to 0..min(width, height) div 2. An area larger than a bitmap can
// hold raises EInvalidGraphicOperation.
void CastRoundShadowInPlace(TBitmap& b, const TRect& r, int32_t transparency, TColor colour, int32_t blur,
                            int32_t radius);

}  // namespace skin

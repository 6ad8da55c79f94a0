#pragma once
// sBorderMasks: border masks stretched over a control's bitmap, cutting
// their transparent pixels out of the control's region, and the colour
// blend that fades a rectangle. A mask is 9 x 6 cells: three looks
// (0 normal, 1 hot, 2 pressed) of 3 x 3 colour cells side by side, over
// their alpha cells (per channel, the weight of the picture beneath).
// The six built-in masks are the BITMAP resources "BORD1".."BORD6" of the
// binary that paints buttons, loaded on first use. GUI thread.

#include <cstdint>

#include "platform/ui/Bitmap.h"
#include "platform/ui/Region.h"
#include "platform/ui/Types.h"

namespace skin {

enum class TsPredefinedBorders { pdBorder1, pdBorder2, pdBorder3, pdBorder4, pdBorder5, pdBorder6, pdCustom };

// The built-in mask of that name's number (pdBorder1..pdBorder6). A binary
// without the resource gets an empty bitmap, which draws nothing.
const platform::ui::TBitmap& PredefinedMask(TsPredefinedBorders which);

// The mask a style's settings choose: a built-in one, or for pdCustom the
// style's own mask when it is at least 1 pixel wide, else "BORD1".
const platform::ui::TBitmap& MaskBitmapFor(TsPredefinedBorders predefined, const platform::ui::TBitmap* custom);

// Stretches look's cells of mask over the whole of dest; pixels of the
// transparent colour keep dest and are cut out of region (null: no
// cutting). Nothing for dest under 3 x 3 or a mask whose cells are 0 wide
// or high.
void PaintMaskedBorders(platform::ui::TBitmap& dest, const platform::ui::TBitmap& mask, int32_t look,
                        bool fillCentre, platform::ui::TColor transparentColor, platform::ui::HRGN region);

// One cell: srcRect of the mask's colour half onto destRect of dest, both
// counted with their right and bottom edges (min of the two sizes plus
// one). dest := (dest * a + m * (256 - a)) div 256; transparent pixels keep
// dest. With a region, each row's runs of transparent pixels are combined
// into it: with XOR where an opaque pixel ends the run, with DIFF where the
// row does. Pixels outside dest or the mask are skipped.
void BlendMaskCell(const platform::ui::TRect& destRect, const platform::ui::TRect& srcRect,
                   platform::ui::TBitmap& dest, platform::ui::TColor transparentColor, platform::ui::HRGN region,
                   const platform::ui::TBitmap& mask);
// As BlendMaskCell without a region: rows and columns end one short of
// dest's last, and dest := (dest * a) div 256 + m - (m * a) div 256.
void BlendMaskCellPlain(const platform::ui::TRect& destRect, const platform::ui::TRect& srcRect,
                        platform::ui::TBitmap& dest, platform::ui::TColor transparentColor,
                        const platform::ui::TBitmap& mask);

// A small mask of three looks side by side (each width div 3 wide), colour
// half over alpha half, laid once at point. Both bitmaps become 24-bit.
// Nothing when dest is narrower than a look or lower than half the mask.
void PaintStateMask(platform::ui::TBitmap& dest, platform::ui::TBitmap& mask, platform::ui::TPoint point,
                    platform::ui::TColor transparentColor, int32_t look);

// Fades rect (clipped to the bitmap, right and bottom inclusive) toward
// color: round(f * pixel + (1 - f) * c) with f = percent / 100, so percent
// is how much of the picture stays (clamped to 0..100).
void BlendRectWithColor(platform::ui::TBitmap& bitmap, const platform::ui::TRect& rect, int32_t percent,
                        platform::ui::TColor color);

}  // namespace skin

#pragma once
// sCanvasDraw: the routines of the skinned controls that draw through a
// device context or a canvas: solid fills, ring and bevel frames, bevel
// strips, focus dots, the check mark, embossed text and tiled pictures.
// Pens and brushes they choose live in a saved device state that is
// restored before they return. GUI thread.

#include <cstdint>

#include "platform/ui/Bitmap.h"
#include "platform/ui/Canvas.h"
#include "platform/ui/Graphic.h"
#include "platform/ui/Types.h"

namespace skin {

// Keeps a device's state (pen, brush, font, text colours, clip) for a
// scope; a null device keeps nothing.
class TSavedDC {
 public:
  explicit TSavedDC(platform::ui::HDC dc) : dc_(dc), level_(dc != nullptr ? dc->SaveDC() : 0) {}
  ~TSavedDC() {
    if (dc_ != nullptr) dc_->RestoreDC(level_);
  }
  TSavedDC(const TSavedDC&) = delete;
  TSavedDC& operator=(const TSavedDC&) = delete;

 private:
  platform::ui::HDC dc_;
  int level_;
};

// Counts of rings and bevel lines are bounded by this (no bitmap is larger).
inline constexpr int32_t kMaxFrameLines = platform::ui::kMaxGraphicSide;

// r filled with a solid brush of colour. Nothing for a null dc.
void FillAreaSolid(platform::ui::HDC dc, const platform::ui::TRect& r, platform::ui::TColor colour);

// count nested one-pixel rings inside r (right and bottom exclusive): top
// and left in topLeft, bottom and right in bottomRight. count comes back 0
// and r shrunk by count on every side. count is bounded to
// 0..kMaxFrameLines; rings that no longer fit inside r are not drawn.
void DrawRingFrame(platform::ui::HDC dc, platform::ui::TRect& r, platform::ui::TColor topLeft,
                   platform::ui::TColor bottomRight, int32_t& count);

// A frame of n lines per edge (at least one, at most half r's longer side)
// inside r. style 0 raised, 1
// lowered, 2 all first colour, 3 all second colour; other styles draw
// nothing. With gradient the lines of an edge run from its outer colour
// toward face.
void DrawBevelLines(platform::ui::HDC dc, platform::ui::TColor first, platform::ui::TColor second,
                    platform::ui::TColor face, const platform::ui::TRect& r, int32_t n, int32_t style,
                    bool gradient);
// DrawBevelLines without gradient on the canvas: lowered draws style 1 one
// line wide, otherwise style 0 width lines wide.
void DrawPlainBevel(platform::ui::TCanvas& c, const platform::ui::TRect& r, platform::ui::TColor face,
                    platform::ui::TColor first, platform::ui::TColor second, bool lowered, int32_t width);
// Light and dark strips of width w on the four sides of r in b, tinted
// through weight masks; type 0 nothing, 1 and 3 raised, 2 and 4 sunken (3
// and 4 reverse the fall-off). Width 1 is a plain white and black bevel.
void ShadeBevelStrips(platform::ui::TBitmap& b, const platform::ui::TRect& r, int32_t width, int32_t type,
                      bool gradient);

// Black dots every third pixel on r's top, bottom, left and right lines,
// white dots one pixel up and left of each.
void DrawFocusDots(platform::ui::TCanvas& c, const platform::ui::TRect& r);
// A filled check mark inside r; disabled: embossed in the system 3D light
// and button shadow colours.
void DrawTick(platform::ui::TCanvas& c, const platform::ui::TRect& r, bool enabled, platform::ui::TColor colour);

// text drawn with format. Without DT_WORDBREAK the text is fitted into r
// (centred vertically; DT_CENTER, DT_RIGHT or left horizontally) and r
// comes back as that fitted rectangle grown by one pixel; with it r is
// unchanged. Disabled text is embossed and leaves the font in the button
// shadow colour. A null text draws nothing.
void PutTextEmbossed(platform::ui::TCanvas& c, const char* text, bool enabled, platform::ui::TRect& r,
                     uint32_t format);
// PutTextEmbossed whose enabled text takes the colours of a valid skin
// section.
void PutTextSkinned(platform::ui::TCanvas& c, const char* text, bool enabled, platform::ui::TRect& r,
                    uint32_t format, int32_t sectionIndex, bool hot);

// graphic repeated over r: a bitmap in tiles cut at r's right and bottom, a
// JPEG picture whole at every tile position. Nothing for a null or empty
// graphic or another kind.
void RepeatGraphic(platform::ui::TCanvas& c, const platform::ui::TRect& r, const platform::ui::TGraphic* graphic);

}  // namespace skin

#pragma once
// Painting of the control tree into the pixels of its top-level window.
//
// Every top-level windowed control (a form, a hint window) keeps a bitmap
// of its whole window (a form's frame and caption included). A control
// marked for painting is painted into it when the thread's loop goes idle:
// a windowed control erases its area (WM_ERASEBKGND), paints itself
// (WM_PAINT), then its graphic children paint over it in z-order. A
// windowed control's paint is clipped to its part of the window: inside
// every parent's client area and window region, and outside its showing
// windowed children (they paint themselves). A graphic control marked for
// painting repaints its parent's area under it, so see-through controls
// never leave stale pixels.
//
// A canvas draws into the window only while its control's paint runs, in
// the control's own coordinates; outside a paint it draws nowhere.
// GUI thread only.

#include <functional>
#include <string_view>

#include "platform/ui/Region.h"
#include "platform/ui/Types.h"

namespace platform::ui {

class TBitmap;
class TCanvas;
class TControl;
class TWinControl;
class TPainter;
class TCustomForm;

// The top-level windowed control holding control (itself when it has no
// parent); null for a graphic control without a parent.
TWinControl* TopLevelOf(const TControl* control);

// The rectangle a control paints, in the coordinates of its top-level
// window: a form's client area, any other control's whole bounds.
TRect PaintRectInWindow(const TControl* control);

// The part of the top-level window that control may paint (see above).
TRegion PaintableArea(const TControl* control);

// Draws a form's frame and caption bar in the classic look into p (window
// coordinates); nothing for a form without a border.
void PaintFormFrame(TCustomForm& form, TPainter& p);

namespace detail {

// Paints control now (see above); called by TControl::Update.
void PaintNow(TControl* control);

// Runs draw with canvas bound to control's paint area, clipped to the
// paint under way. Without a paint of that control under way the canvas
// draws nowhere while draw runs.
void PaintThrough(TControl* control, TCanvas& canvas, const std::function<void()>& draw);

// A control's own canvas, locked and in the control's font, through
// PaintThrough: how a control with a canvas paints itself.
void PaintOwnCanvas(TControl* control, TCanvas& canvas, const std::function<void()>& paint);

// PaintThrough with a canvas of the moment (font of the control), for
// windowed controls without a canvas of their own.
void PaintWithCanvas(TControl* control, const std::function<void(TCanvas&)>& draw);

// The field of an edit-like control: a sunken edge (when sunken) and the
// inside filled with color; answers the inside.
TRect PaintField(TCanvas& canvas, TRect r, TColor color, bool sunken = true);

// Text in r by DrawText format in the canvas's font colour; disabled text
// is embossed: button highlight one pixel right and down, then the button
// shadow in place. The brush is left clear.
void DrawCaption(TCanvas& canvas, std::string_view text, TRect r, uint32_t format, bool enabled);

// One image of a glyph (of numGlyphs images side by side: the first for
// enabled, the second for disabled when present) with its top-left at
// (x, y); the glyph's bottom-left pixel colour is transparent. A disabled
// button without its own disabled image shows the image embossed.
void DrawGlyph(TCanvas& canvas, const TBitmap& glyph, int numGlyphs, int x, int y, bool enabled);

// Fills control's paint area with color inside the paint under way.
void EraseBackground(TControl* control, TColor color);

// While one lives, painted windows are handed to the backend only when the
// last one ends (one presentation per window for a round of paints).
struct PaintBatch {
  PaintBatch();
  ~PaintBatch();
  PaintBatch(const PaintBatch&) = delete;
  PaintBatch& operator=(const PaintBatch&) = delete;
};

// Hands the windows painted so far to the backend (WindowPainted).
void FlushPainted();

// A top-level window going away leaves the list of painted windows.
void ForgetWindow(TWinControl* top);

}  // namespace detail
}  // namespace platform::ui

#include "platform/ui/Paint.h"

#include <algorithm>
#include <vector>

#include "platform/ui/Backend.h"
#include "platform/ui/Bitmap.h"
#include "platform/ui/Form.h"
#include "platform/ui/Colors.h"
#include "platform/ui/Frames.h"

namespace platform::ui {

namespace {

// The paint under way on this thread: the window's pixels, the control
// being painted and where it may paint (window coordinates).
struct PaintContext {
  TBitmap* Surface = nullptr;
  TControl* Control = nullptr;
  TRegion Clip;
};

thread_local PaintContext* gCurrent = nullptr;
thread_local std::vector<TWinControl*> gPainted;  // windows painted since the last flush
thread_local int gBatch = 0;

struct ContextScope {
  PaintContext* saved;
  explicit ContextScope(PaintContext* now) : saved(gCurrent) { gCurrent = now; }
  ~ContextScope() { gCurrent = saved; }
  ContextScope(const ContextScope&) = delete;
  ContextScope& operator=(const ContextScope&) = delete;
};

TPoint TopOrigin(const TWinControl* top) { return TPoint{top->Left(), top->Top()}; }

// control's whole bounds in window coordinates.
TRect WindowRectInWindow(const TControl* control) {
  const TWinControl* top = TopLevelOf(control);
  if (top == nullptr || control == top) return Rect(0, 0, control->Width(), control->Height());
  const TPoint o = control->Parent()->ClientOrigin();
  const TPoint t = TopOrigin(top);
  return Bounds(o.X - t.X + control->Left(), o.Y - t.Y + control->Top(), control->Width(), control->Height());
}

TRect ClientRectInWindow(const TControl* control) {
  const TWinControl* top = TopLevelOf(control);
  const TPoint o = control->ClientOrigin();
  const TPoint t = top != nullptr ? TopOrigin(top) : TPoint{};
  return Bounds(o.X - t.X, o.Y - t.Y, control->ClientWidth(), control->ClientHeight());
}

// The window region of a windowed control in window coordinates.
void ApplyWindowRegion(const TControl* control, TRegion& area) {
  const auto* w = dynamic_cast<const TWinControl*>(control);
  if (w == nullptr || w->WindowRegion() == nullptr) return;
  TRegion shape = *w->WindowRegion();
  const TRect r = WindowRectInWindow(control);
  shape.Offset(r.Left, r.Top);
  area = TRegion::Combine(area, shape, RGN_AND);
}

TBitmap& SurfaceOf(TWinControl* top) {
  TBitmap& surface = top->WindowBitmap();
  if (surface.Width() != top->Width() || surface.Height() != top->Height()) surface.SetSize(top->Width(), top->Height());
  return surface;
}

void MarkPainted(TWinControl* top) {
  if (std::find(gPainted.begin(), gPainted.end(), top) == gPainted.end()) gPainted.push_back(top);
  if (gBatch == 0) detail::FlushPainted();
}

void PaintWindow(TWinControl* w, const TRegion* limit) {
  TWinControl* top = TopLevelOf(w);
  TBitmap& surface = SurfaceOf(top);
  if (w == top) {
    if (auto* form = dynamic_cast<TCustomForm*>(w)) {
      TPainter frame;
      frame.SetTarget(&surface);
      if (form->WindowRegion() != nullptr) frame.SelectClipRgn(form->WindowRegion());
      PaintFormFrame(*form, frame);
    }
  }
  TRegion area = PaintableArea(w);
  if (limit != nullptr) area = TRegion::Combine(area, *limit, RGN_AND);
  for (int i = 0; i < w->ControlCount(); ++i) {
    auto* child = dynamic_cast<TWinControl*>(w->Controls(i));
    if (child == nullptr || !child->Visible()) continue;
    TRegion covered(WindowRectInWindow(child));
    ApplyWindowRegion(child, covered);
    area = TRegion::Combine(area, covered, RGN_DIFF);
  }
  PaintContext ctx{&surface, w, area};
  ContextScope scope(&ctx);
  w->Perform(WM_ERASEBKGND, 0, 0);
  w->Perform(WM_PAINT, 0, 0);
  for (int i = 0; i < w->ControlCount(); ++i) {
    TControl* g = w->Controls(i);
    if (dynamic_cast<TWinControl*>(g) != nullptr || !g->Visible()) continue;
    ctx.Clip = TRegion::Combine(area, TRegion(WindowRectInWindow(g)), RGN_AND);
    if (ctx.Clip.Empty()) continue;
    ctx.Control = g;
    g->Perform(WM_PAINT, 0, 0);
  }
  MarkPainted(top);
}

}  // namespace

TWinControl* TopLevelOf(const TControl* control) {
  if (control == nullptr) return nullptr;
  const TControl* c = control;
  while (c->Parent() != nullptr) c = c->Parent();
  return dynamic_cast<TWinControl*>(const_cast<TControl*>(c));
}

TRect PaintRectInWindow(const TControl* control) {
  if (dynamic_cast<const TCustomForm*>(control) != nullptr && control->Parent() == nullptr)
    return ClientRectInWindow(control);
  return WindowRectInWindow(control);
}

TRegion PaintableArea(const TControl* control) {
  TRegion area(PaintRectInWindow(control));
  ApplyWindowRegion(control, area);
  for (const TWinControl* a = control->Parent(); a != nullptr; a = a->Parent()) {
    area = TRegion::Combine(area, TRegion(ClientRectInWindow(a)), RGN_AND);
    ApplyWindowRegion(a, area);
  }
  return area;
}

void PaintFormFrame(TCustomForm& form, TPainter& p) {
  const TRect f = form.FrameSize();
  if (f.Top == 0) return;
  p.SaveDC();
  TRect r = Rect(0, 0, form.Width(), form.Height());
  DrawEdge(&p, r, EDGE_RAISED, BF_RECT | BF_ADJUST);
  p.Brush().SetStyle(TBrushStyle::bsSolid);
  p.Brush().SetColor(clBtnFace);
  // The face between the edge and the client area, caption row included.
  const TRect client = Bounds(f.Left, f.Top, form.ClientWidth(), form.ClientHeight());
  p.FillRect({r.Left, r.Top, r.Right, client.Top});
  p.FillRect({r.Left, client.Bottom, r.Right, r.Bottom});
  p.FillRect({r.Left, client.Top, client.Left, client.Bottom});
  p.FillRect({client.Right, client.Top, r.Right, client.Bottom});
  // Caption bar: one pixel inside the edge, its height the caption's.
  const bool tool = form.BorderStyle() == TFormBorderStyle::bsToolWindow ||
                    form.BorderStyle() == TFormBorderStyle::bsSizeToolWin;
  const int barHeight = tool ? 15 : 18;
  TRect bar{r.Left + 1, r.Top + 1, r.Right - 1, r.Top + 1 + barHeight};
  p.Brush().SetColor(form.Active() ? clActiveCaption : clInactiveCaption);
  p.FillRect(bar);
  int textRight = bar.Right - 2;
  if (form.BorderIcons() & biSystemMenu) {
    // Close box: a 16 x 14 button at the right end of the bar, with a cross.
    TRect box{bar.Right - 2 - 16, bar.Top + 2, bar.Right - 2, bar.Top + 2 + 14};
    if (tool) box = {bar.Right - 2 - 12, bar.Top + 2, bar.Right - 2, bar.Top + 2 + 11};
    DrawFrameControl(&p, box, DFC_BUTTON, DFCS_BUTTONPUSH);
    p.Pen().SetColor(clBtnText);
    p.Pen().SetStyle(TPenStyle::psSolid);
    p.Pen().SetWidth(1);
    const int cx = box.Left + (box.Width() - 1) / 2;
    const int cy = box.Top + (box.Height() - 1) / 2;
    for (int d = 0; d < 2; ++d) {
      p.MoveTo(cx - 3 + d, cy - 3);
      p.LineTo(cx + 4 + d, cy + 4);
      p.MoveTo(cx + 3 + d, cy - 3);
      p.LineTo(cx - 4 + d, cy + 4);
    }
    textRight = box.Left - 2;
  }
  p.Font().Assign(&form.Font());
  p.Font().SetStyle(fsBold);
  p.Font().SetColor(form.Active() ? clCaptionText : SystemColor(19));
  p.Brush().SetStyle(TBrushStyle::bsClear);
  TRect text{bar.Left + 3, bar.Top, textRight, bar.Bottom};
  p.Handle();
  p.DrawText(form.Caption(), text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
  p.RestoreDC(-1);
}

namespace detail {

void PaintNow(TControl* control) {
  if (dynamic_cast<TWinControl*>(control) != nullptr) {
    PaintWindow(static_cast<TWinControl*>(control), nullptr);
    return;
  }
  TWinControl* parent = control->Parent();
  if (parent == nullptr) {
    // A graphic control on its own has nowhere to paint: it is only told.
    control->Perform(WM_PAINT, 0, 0);
    return;
  }
  if (parent->PaintPending()) {
    parent->Update();
    return;
  }
  const TRegion under(WindowRectInWindow(control));
  PaintWindow(parent, &under);
}

void PaintThrough(TControl* control, TCanvas& canvas, const std::function<void()>& draw) {
  PaintContext* ctx = gCurrent;
  if (ctx == nullptr || ctx->Control != control || ctx->Surface == nullptr) {
    TBitmap* old = canvas.Target();
    canvas.SetTarget(nullptr);
    try {
      draw();
    } catch (...) {
      canvas.SetTarget(old);
      throw;
    }
    canvas.SetTarget(old);
    return;
  }
  const TRect r = PaintRectInWindow(control);
  if (r.Width() <= 0 || r.Height() <= 0 || ctx->Clip.Empty()) return;
  // The control draws into a copy of its area in its own coordinates; the
  // copy goes back through the clip.
  TBitmap scratch;
  scratch.SetSize(r.Width(), r.Height());
  TPainter copier;
  copier.SetTarget(&scratch);
  copier.DrawBitmap(*ctx->Surface, Rect(0, 0, r.Width(), r.Height()), r);
  TRegion local = ctx->Clip;
  local.Offset(-r.Left, -r.Top);
  const int depth = canvas.SaveDC();
  canvas.SetTarget(&scratch);
  canvas.SelectClipRgn(&local);
  auto finish = [&] {
    canvas.RestoreDC(depth);
    canvas.SelectClipRgn(nullptr);
    canvas.SetTarget(nullptr);
  };
  try {
    draw();
  } catch (...) {
    finish();
    throw;
  }
  finish();
  copier.SetTarget(ctx->Surface);
  copier.SelectClipRgn(&ctx->Clip);
  copier.DrawBitmap(scratch, r, Rect(0, 0, r.Width(), r.Height()));
}

void PaintOwnCanvas(TControl* control, TCanvas& canvas, const std::function<void()>& paint) {
  const TCanvasLock bracket(canvas);
  canvas.Font().Assign(&control->Font());
  PaintThrough(control, canvas, paint);
}

void PaintWithCanvas(TControl* control, const std::function<void(TCanvas&)>& draw) {
  TCanvas canvas;
  canvas.SetControl(control);
  PaintOwnCanvas(control, canvas, [&] { draw(canvas); });
}

TRect PaintField(TCanvas& canvas, TRect r, TColor color, bool sunken) {
  if (sunken) DrawEdge(canvas.Handle(), r, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
  canvas.Brush().SetStyle(TBrushStyle::bsSolid);
  canvas.Brush().SetColor(color);
  canvas.FillRect(r);
  return r;
}

void DrawCaption(TCanvas& canvas, std::string_view text, TRect r, uint32_t format, bool enabled) {
  canvas.Brush().SetStyle(TBrushStyle::bsClear);
  if (enabled) {
    canvas.Handle();
    canvas.DrawText(text, r, format);
    return;
  }
  const TColor old = canvas.Font().Color();
  TRect shifted{r.Left + 1, r.Top + 1, r.Right + 1, r.Bottom + 1};
  canvas.Font().SetColor(clBtnHighlight);
  canvas.Handle();
  canvas.DrawText(text, shifted, format);
  canvas.Font().SetColor(clBtnShadow);
  canvas.Handle();
  canvas.DrawText(text, r, format);
  canvas.Font().SetColor(old);
}

void DrawGlyph(TCanvas& canvas, const TBitmap& glyph, int numGlyphs, int x, int y, bool enabled) {
  if (glyph.Empty()) return;
  const int count = std::max(1, numGlyphs);
  const int w = glyph.Width() / count;
  if (w <= 0) return;
  const int image = (!enabled && count >= 2) ? 1 : 0;
  const uint8_t* key = glyph.ScanLine(glyph.Height() - 1);  // bottom-left pixel
  const bool emboss = !enabled && count < 2;
  for (int gy = 0; gy < glyph.Height(); ++gy) {
    const uint8_t* row = glyph.ScanLine(gy);
    for (int gx = 0; gx < w; ++gx) {
      const uint8_t* px = row + static_cast<std::ptrdiff_t>(image * w + gx) * glyph.BytesPerPixel();
      if (px[0] == key[0] && px[1] == key[1] && px[2] == key[2]) continue;
      if (!emboss) {
        canvas.SetPixel(x + gx, y + gy, RGB(px[2], px[1], px[0]));
        continue;
      }
      // Embossed: the dark pixels of the image as a shadow over a highlight.
      if (px[0] + px[1] + px[2] >= 3 * 192) continue;
      canvas.SetPixel(x + gx + 1, y + gy + 1, clBtnHighlight);
      canvas.SetPixel(x + gx, y + gy, clBtnShadow);
    }
  }
}

void EraseBackground(TControl* control, TColor color) {
  PaintContext* ctx = gCurrent;
  if (ctx == nullptr || ctx->Control != control || ctx->Surface == nullptr) return;
  TPainter p;
  p.SetTarget(ctx->Surface);
  p.SelectClipRgn(&ctx->Clip);
  p.Brush().SetColor(color);
  p.FillRect(PaintRectInWindow(control));
}

PaintBatch::PaintBatch() { ++gBatch; }

PaintBatch::~PaintBatch() {
  if (--gBatch == 0) FlushPainted();
}

void FlushPainted() {
  std::vector<TWinControl*> painted;
  painted.swap(gPainted);
  for (TWinControl* top : painted) Backend().WindowPainted(*top);
}

void ForgetWindow(TWinControl* top) { gPainted.erase(std::remove(gPainted.begin(), gPainted.end(), top), gPainted.end()); }

}  // namespace detail
}  // namespace platform::ui

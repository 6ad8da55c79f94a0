#include "skin/sHintWindows.h"

#include <algorithm>

#include "platform/ui/Backend.h"
#include "platform/ui/Colors.h"
#include "platform/ui/Messages.h"
#include "platform/ui/Screen.h"
#include "skin/sCanvasDraw.h"
#include "skin/sGradient.h"
#include "skin/sGraphics.h"
#include "skin/sHtmlParse.h"

namespace skin {

namespace ui = platform::ui;
using ui::TBitmap;
using ui::TPoint;
using ui::TRect;

namespace {

int32_t BoundSide(int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, 0, ui::kMaxGraphicSide)); }

// The w x h part of the screen at (left, top) in screen coordinates.
void CutFromScreen(TBitmap& out, const TBitmap& screen, const TRect& bounds) {
  const TRect desk = ui::Screen().DesktopRect();
  out.SetPixelFormat(ui::TPixelFormat::pf24bit);
  out.SetSize(bounds.Width(), bounds.Height());
  out.Canvas().DrawBitmap(screen, ui::Rect(0, 0, bounds.Width(), bounds.Height()),
                          ui::Rect(bounds.Left - desk.Left, bounds.Top - desk.Top, bounds.Right - desk.Left,
                                   bounds.Bottom - desk.Top));
}

}  // namespace

// ---- TsCustomHintWindow ----

TsCustomHintWindow::TsCustomHintWindow(ui::TComponent* owner) : ui::THintWindow(owner) {}

TRect TsCustomHintWindow::CalcHintRect(int, const std::string& hint, void*) {
  TsHintManager* m = ActiveHintManager();
  if (m == nullptr) return TRect{};
  TBitmap& work = m->sStyle().WorkBitmap();
  work.Canvas().Font().Assign(&m->Font());
  const TsHintNumbers n = m->Numbers();
  TRect r = ui::Rect(0, 0, n.MaxWidth, 0);
  if (m->HTMLMode) {
    TsHtml html;
    html.Init(&work, hint, r);
    html.Render(r);
  } else {
    work.Canvas().DrawText(hint, r, ui::DT_CALCRECT | ui::DT_WORDBREAK | ui::DT_NOPREFIX | ui::DT_CENTER |
                                        ui::DT_VCENTER);
  }
  const int64_t shift = m->ShadowShift();
  r.Right = BoundSide(r.Right + shift + 2 * (n.MarginH + n.BevelWidth));
  r.Bottom = BoundSide(r.Bottom + shift + 2 * (n.MarginV + n.BevelWidth));
  AddShapeRoom(*m, r);
  return r;
}

void TsCustomHintWindow::AddShapeRoom(const TsHintManager&, TRect&) {}

void TsCustomHintWindow::ActivateHint(TRect rect, const std::string& hint) {
  ui::Application().ProcessMessages();
  TsHintManager* m = ActiveHintManager();
  if (m == nullptr || m->Style() == TsHintStyle::hsNone) return;
  ui::Application().HintHidePause = m->PauseHide;
  ui::Application().ProcessMessages();
  m = ActiveHintManager();
  if (m == nullptr) return;
  SetCaption(hint);
  const THintPlacement at = PlaceHint(GetMousePosition(), rect.Width(), rect.Height(), ui::Screen().DesktopRect());
  Corner = at.Corner;
  TBitmap& work = m->sStyle().WorkBitmap();
  work.SetPixelFormat(ui::TPixelFormat::pf24bit);
  work.SetSize(at.Bounds.Width(), at.Bounds.Height());
  TBitmap screen;
  if (!ui::Backend().CaptureScreen(screen)) {
    ShowErrorMessage(kHintGrabError);
    return;
  }
  CutFromScreen(grab_, screen, at.Bounds);
  SetBounds(at.Bounds.Left, at.Bounds.Top, at.Bounds.Width(), at.Bounds.Height());
  SetVisible(true);
  Invalidate();
}

void TsCustomHintWindow::Paint() {
  TsHintManager* m = ActiveHintManager();
  if (m == nullptr || grab_.Empty()) return;
  TBitmap& work = m->sStyle().WorkBitmap();
  work.Assign(&grab_);
  if (m->sStyle().Shadow().Enabled()) PaintShadow(*m);
  const std::unique_ptr<TBitmap> mask = GetMask(*m);
  const std::unique_ptr<TBitmap> body = GetBody(*m);
  if (mask != nullptr && body != nullptr) MixThroughWeights(work, *body, *mask, ClientRect());
  Canvas().Draw(0, 0, work);
}

void TsCustomHintWindow::Dispatch(ui::TMessage& message) {
  if (message.Msg == ui::WM_ERASEBKGND) {
    message.Result = 1;
    return;
  }
  ui::THintWindow::Dispatch(message);
}

TPoint TsCustomHintWindow::GetMousePosition() const { return ui::Screen().CursorPos(); }

TRect TsCustomHintWindow::GetBodyRect(const TsHintManager& m) const {
  const int32_t s = m.ShadowShift();
  return ui::Rect(0, 0, ClientWidth() - s, ClientHeight() - s);
}

void TsCustomHintWindow::PaintBG(TsHintManager& m, TBitmap& b, const TRect& r) { m.PaintBG(b, r); }

void TsCustomHintWindow::PaintBorder(TsHintManager& m, TBitmap& b) {
  int32_t count = m.Numbers().BevelWidth;
  if (count <= 0) return;
  TRect r = GetBodyRect(m);
  --r.Right;
  --r.Bottom;
  b.Canvas().Pen().SetStyle(ui::TPenStyle::psSolid);
  const TsPassivePainting& painting = m.sStyle().Painting();
  DrawRingFrame(b.Canvas().Handle(), r, ui::ColorToRGB(painting.ColorBorderTop()),
                ui::ColorToRGB(painting.ColorBorderBottom()), count);
}

void TsCustomHintWindow::PaintText(TsHintManager& m, TBitmap& b) {
  ui::TCanvas& c = b.Canvas();
  c.Brush().SetStyle(ui::TBrushStyle::bsClear);
  c.Pen().SetStyle(ui::TPenStyle::psSolid);
  c.Font().Assign(&m.Font());
  c.Handle();  // DrawText takes the clear brush and the font colour from the device
  TRect r = GetBodyRect(m);
  const TsHintNumbers n = m.Numbers();
  const int32_t dx = n.MarginH + n.BevelWidth + EllipseExtraWidth / 2;
  const int32_t dy = n.MarginV + n.BevelWidth + EllipseExtraHeight / 2;
  r = ui::Rect(r.Left + dx, r.Top + dy, r.Right - dx, r.Bottom - dy);
  if (m.HTMLMode) {
    TsHtml html;
    html.Init(&b, Caption(), r);
    TRect size;
    html.Render(size);
  } else {
    c.DrawText(Caption(), r, ui::DT_WORDBREAK | ui::DT_NOPREFIX | ui::DT_CENTER);
  }
}

std::unique_ptr<TBitmap> TsCustomHintWindow::NewLikeWork(TsHintManager& m) {
  return NewBitmapOfSize(m.sStyle().WorkBitmap());
}

// ---- TsSimplyHintWindow ----

TPoint TsSimplyHintWindow::GetMousePosition() const {
  const TPoint p = ui::Screen().CursorPos();
  return TPoint{p.X, p.Y + 16};
}

void TsSimplyHintWindow::PaintShadow(TsHintManager& m) {
  const int32_t s = m.ShadowShift();
  const TRect r = ui::Rect(s, s, ClientWidth(), ClientHeight());
  const TsPassiveShadow& shadow = m.sStyle().Shadow();
  CastRoundShadowInPlace(m.sStyle().WorkBitmap(), r, m.ShadowTransparency(), ui::ColorToRGB(shadow.Color()),
                         shadow.Blur(), 0);
}

std::unique_ptr<TBitmap> TsSimplyHintWindow::GetMask(TsHintManager& m) {
  auto mask = NewLikeWork(m);
  CastRoundShadowInPlace(*mask, GetBodyRect(m), 0, ui::clBlack, m.Numbers().Blur, 0);
  return mask;
}

std::unique_ptr<TBitmap> TsSimplyHintWindow::GetBody(TsHintManager& m) {
  auto body = NewLikeWork(m);
  const int32_t s = m.ShadowShift();
  PaintBG(m, *body, ui::Rect(0, 0, ClientWidth() - s, ClientHeight() - s));
  PaintText(m, *body);
  PaintBorder(m, *body);
  return body;
}

// ---- TsTailedHintWindow ----

std::unique_ptr<TBitmap> TsTailedHintWindow::GetBody(TsHintManager& m) {
  auto body = NewLikeWork(m);
  PaintBG(m, *body, ClientRect());
  PaintText(m, *body);
  PaintBorder(m, *body);
  return body;
}

TRect TsTailedHintWindow::GetBodyRect(const TsHintManager& m) const {
  return TailBodyRect(Corner, ClientWidth(), ClientHeight(), m.ShadowShift(), m.Numbers().ExOffset);
}

void TsTailedHintWindow::PaintBorder(TsHintManager& m, TBitmap& b) {
  if (m.Numbers().BevelWidth <= 0) return;
  const std::unique_ptr<TBitmap> mask = GetMask(m);
  ToShapeMask(*mask);
  const TsPassivePainting& painting = m.sStyle().Painting();
  EdgeShape(b, *mask, ui::ColorToRGB(painting.ColorBorderTop()), ui::ColorToRGB(painting.ColorBorderBottom()));
}

void TsTailedHintWindow::AddShapeRoom(const TsHintManager& m, TRect& r) {
  r.Bottom = BoundSide(int64_t(r.Bottom) + m.Numbers().ExOffset);
}

void TsTailedHintWindow::AddEllipseRoom(const TsHintManager& m, TRect& r) {
  TsTailedHintWindow::AddShapeRoom(m, r);
  EllipseGrowth(r.Width(), r.Height(), EllipseExtraWidth, EllipseExtraHeight);
  r.Right = BoundSide(int64_t(r.Right) + EllipseExtraWidth);
  r.Bottom = BoundSide(int64_t(r.Bottom) + EllipseExtraHeight);
}

TPoint TsTailedHintWindow::TailPoint() const { return HintTailPoint(Corner, ClientWidth(), ClientHeight()); }

std::unique_ptr<TBitmap> TsTailedHintWindow::SteppedMask(TsHintManager& m, THintShape shape) {
  auto mask = NewLikeWork(m);
  const TsHintNumbers n = m.Numbers();
  DrawSteppedShape(*mask, shape, GetBodyRect(m), TailPoint(), Corner, m.sStyle().Painting().Transparency(), n.Blur,
                   n.Radius);
  return mask;
}

void TsTailedHintWindow::SteppedShadow(TsHintManager& m, THintShape shape) {
  const std::unique_ptr<TBitmap> shade = NewLikeWork(m);
  const TsPassiveShadow& shadow = m.sStyle().Shadow();
  const TRect body = GetBodyRect(m);
  const int32_t o = shadow.Offset();
  const TRect r = ui::Rect(body.Left + o, body.Top + o, body.Right + o, body.Bottom + o);
  DrawSteppedShape(*shade, shape, r, TailPoint(), Corner, m.ShadowTransparency(), shadow.Blur(), m.Numbers().Radius);
  TintThroughMask(m.sStyle().WorkBitmap(), *shade, ui::ColorToRGB(shadow.Color()));
}

// ---- the shapes with a tail ----

void TsComicsHintWindow::PaintShadow(TsHintManager& m) { SteppedShadow(m, THintShape::Rounded); }

std::unique_ptr<TBitmap> TsComicsHintWindow::GetMask(TsHintManager& m) { return SteppedMask(m, THintShape::Rounded); }

void TsEllipseHintWindow::PaintShadow(TsHintManager& m) { SteppedShadow(m, THintShape::Ellipse); }

std::unique_ptr<TBitmap> TsEllipseHintWindow::GetMask(TsHintManager& m) { return SteppedMask(m, THintShape::Ellipse); }

void TsEllipseHintWindow::AddShapeRoom(const TsHintManager& m, TRect& r) { AddEllipseRoom(m, r); }

TBalloonTrail TsBalloonHintWindow::Trail(const TsHintManager& m) const {
  return TBalloonTrail{BubbleCount, BubbleDivisor, m.Numbers().ExOffset, m.ShadowShift()};
}

void TsBalloonHintWindow::PaintShadow(TsHintManager& m) {
  const std::unique_ptr<TBitmap> mask = NewLikeWork(m);
  const TsPassiveShadow& shadow = m.sStyle().Shadow();
  DrawBalloonMask(*mask, GetBodyRect(m), TailPoint(), Corner, Trail(m), m.ShadowTransparency(), shadow.Blur());
  const std::unique_ptr<TBitmap> shade = NewLikeWork(m);
  const int32_t off = shadow.Offset();
  shade->Canvas().BitBlt(off, off, shade->Width() - off, shade->Height() - off, &mask->Canvas(), 0, 0, ui::SRCCOPY);
  TintThroughMask(m.sStyle().WorkBitmap(), *shade, ui::ColorToRGB(shadow.Color()));
}

std::unique_ptr<TBitmap> TsBalloonHintWindow::GetMask(TsHintManager& m) {
  auto mask = NewLikeWork(m);
  DrawBalloonMask(*mask, GetBodyRect(m), TailPoint(), Corner, Trail(m), m.sStyle().Painting().Transparency(),
                  m.Numbers().Blur);
  return mask;
}

void TsBalloonHintWindow::AddShapeRoom(const TsHintManager& m, TRect& r) { AddEllipseRoom(m, r); }

// ---- the class a manager sets ----

ui::THintWindow* TsHintWindowMaker::operator()(ui::TComponent* owner) const {
  switch (Style) {
    case TsHintStyle::hsComics:
      return ui::Create<TsComicsHintWindow>(owner);
    case TsHintStyle::hsEllipse:
      return ui::Create<TsEllipseHintWindow>(owner);
    case TsHintStyle::hsBalloon:
      return ui::Create<TsBalloonHintWindow>(owner);
    case TsHintStyle::hsStandard:
      return ui::Create<ui::THintWindow>(owner);
    case TsHintStyle::hsSimply:
    case TsHintStyle::hsNone:
      break;
  }
  return ui::Create<TsSimplyHintWindow>(owner);
}

}  // namespace skin

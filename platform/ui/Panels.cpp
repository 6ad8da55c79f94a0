#include "platform/ui/Panels.h"

#include <algorithm>

#include "platform/ui/Frames.h"
#include "platform/ui/Paint.h"

namespace platform::ui {

namespace {
// Caption line of a group box and its frame: 15 pixels on top, 2 elsewhere.
constexpr int kGroupTop = 15;
constexpr int kGroupFrame = 2;
}  // namespace

TGroupBox::TGroupBox(TComponent* owner) : TCustomControl(owner) {
  SetBoundsQuiet(0, 0, 185, 105);
  SetControlStyle(ControlStyle() | csAcceptsControls);
}

TPoint TGroupBox::ClientOrigin() const {
  TPoint o = TCustomControl::ClientOrigin();
  return TPoint{o.X + kGroupFrame, o.Y + kGroupTop};
}

int TGroupBox::ClientWidth() const { return std::max(0, Width() - 2 * kGroupFrame); }
int TGroupBox::ClientHeight() const { return std::max(0, Height() - kGroupTop - kGroupFrame); }
TPoint TGroupBox::NonClientSize() const { return TPoint{2 * kGroupFrame, kGroupTop + kGroupFrame}; }

void TGroupBox::Dispatch(TMessage& m) {
  // The accelerator of a group box focuses its first control.
  if (m.Msg == CM_DIALOGCHAR && IsAccel(static_cast<char>(m.WParam), Caption()) && CanFocus()) {
    if (TWinControl* first = FindNextControl(nullptr, true, true)) {
      first->SetFocus();
      m.Result = 1;
      return;
    }
  }
  TCustomControl::Dispatch(m);
}

TPanel::TPanel(TComponent* owner) : TCustomControl(owner) {
  SetBoundsQuiet(0, 0, 185, 41);
  SetControlStyle(ControlStyle() | csAcceptsControls | csOpaque);
}

void TGroupBox::Paint() {
  TCanvas& c = Canvas();
  const TRect r = Rect(0, 0, Width(), Height());
  c.Brush().SetStyle(TBrushStyle::bsSolid);
  c.Brush().SetColor(Color());
  c.FillRect(r);
  const int textHeight = c.TextHeight("0");
  TRect frame{r.Left, r.Top + textHeight / 2, r.Right, r.Bottom};
  DrawEdge(c.Handle(), frame, EDGE_ETCHED, BF_RECT);
  if (Caption().empty()) return;
  TRect text{8, 0, 0, 0};
  c.Handle();
  c.DrawText(Caption(), text, DT_SINGLELINE | DT_CALCRECT);
  text.Right = std::min(text.Right, r.Right - 8);
  c.Brush().SetColor(Color());
  c.FillRect(text);
  detail::DrawCaption(c, Caption(), text, DT_SINGLELINE, EffectivelyEnabled());
}

void TPanel::Paint() {
  TCanvas& c = Canvas();
  TRect r = ClientRect();
  c.Brush().SetStyle(TBrushStyle::bsSolid);
  c.Brush().SetColor(Color());
  c.FillRect(r);
  auto bevel = [&](TPanelBevel b) {
    if (b == TPanelBevel::bvNone) return;
    for (int i = 0; i < bevelWidth_; ++i) {
      if (b == TPanelBevel::bvSpace) {
        r = {r.Left + 1, r.Top + 1, r.Right - 1, r.Bottom - 1};
        continue;
      }
      DrawEdge(c.Handle(), r, b == TPanelBevel::bvRaised ? BDR_RAISEDINNER : BDR_SUNKENOUTER, BF_RECT | BF_ADJUST);
    }
  };
  bevel(bevelOuter_);
  r = {r.Left + borderWidth_, r.Top + borderWidth_, r.Right - borderWidth_, r.Bottom - borderWidth_};
  bevel(bevelInner_);
  uint32_t format = DT_SINGLELINE | DT_VCENTER;
  if (alignment_ == TAlignment::taCenter) format |= DT_CENTER;
  if (alignment_ == TAlignment::taRightJustify) format |= DT_RIGHT;
  detail::DrawCaption(c, Caption(), r, format, EffectivelyEnabled());
}

TImage::TImage(TComponent* owner) : TGraphicControl(owner), picture_(std::make_unique<TPicture>()) {
  SetBoundsQuiet(0, 0, 105, 105);
  picture_->OnChange = [this](TObject*) { Invalidate(); };
}

void TImage::Paint() {
  const TGraphic* g = picture_->Graphic();
  if (g == nullptr || g->Empty()) return;
  const int gw = g->Width();
  const int gh = g->Height();
  TRect dest = Bounds(0, 0, gw, gh);
  if (stretch_ || (proportional_ && (gw > Width() || gh > Height()))) {
    dest = Rect(0, 0, Width(), Height());
    if (proportional_ && gw > 0 && gh > 0) {
      // The largest size of the picture's proportions that fits.
      int w = Width();
      int h = static_cast<int>(static_cast<int64_t>(gh) * w / gw);
      if (h > Height()) {
        h = Height();
        w = static_cast<int>(static_cast<int64_t>(gw) * h / gh);
      }
      dest = Bounds(0, 0, w, h);
    }
  }
  if (center_) dest = Bounds((Width() - dest.Width()) / 2, (Height() - dest.Height()) / 2, dest.Width(), dest.Height());
  Canvas().StretchDraw(dest, *g);
}

}  // namespace platform::ui

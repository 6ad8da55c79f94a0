#include "platform/ui/Label.h"

#include "platform/ui/Paint.h"
#include "platform/ui/WinControl.h"

namespace platform::ui {

TLabel::TLabel(TComponent* owner) : TGraphicControl(owner) {
  SetBoundsQuiet(0, 0, 65, 17);
  SetControlStyle(ControlStyle() | csOpaque);
}

void TLabel::SetAlignment(TAlignment a) {
  if (a == alignment_) return;
  alignment_ = a;
  Invalidate();
}

void TLabel::SetLayout(TTextLayout l) {
  if (l == layout_) return;
  layout_ = l;
  Invalidate();
}

void TLabel::SetWordWrap(bool v) {
  if (v == wordWrap_) return;
  wordWrap_ = v;
  Invalidate();
}

void TLabel::SetTransparent(bool v) {
  if (v == transparent_) return;
  transparent_ = v;
  SetControlStyle(v ? ControlStyle() & ~csOpaque : ControlStyle() | csOpaque);
  Invalidate();
}

void TLabel::SetFocusControl(TWinControl* c) {
  if (focusControl_ != nullptr) focusControl_->RemoveFreeNotification(this);
  focusControl_ = c;
  if (c != nullptr) c->FreeNotification(this);
}

void TLabel::Notification(TComponent* component, TOperation operation) {
  TGraphicControl::Notification(component, operation);
  if (operation == TOperation::opRemove && component == focusControl_) focusControl_ = nullptr;
}

void TLabel::Paint() {
  TCanvas& c = Canvas();
  const TRect r = ClientRect();
  if (!transparent_) {
    c.Brush().SetStyle(TBrushStyle::bsSolid);
    c.Brush().SetColor(Color());
    c.FillRect(r);
  }
  uint32_t format = DT_EXPANDTABS;
  if (alignment_ == TAlignment::taCenter) format |= DT_CENTER;
  if (alignment_ == TAlignment::taRightJustify) format |= DT_RIGHT;
  if (wordWrap_) {
    format |= DT_WORDBREAK;
  } else {
    format |= DT_SINGLELINE;
    if (layout_ == TTextLayout::tlCenter) format |= DT_VCENTER;
    if (layout_ == TTextLayout::tlBottom) format |= DT_BOTTOM;
  }
  detail::DrawCaption(c, Caption(), r, format, EffectivelyEnabled());
}

void TLabel::Dispatch(TMessage& m) {
  if (m.Msg == CM_DIALOGCHAR && focusControl_ != nullptr && Enabled() && Showing() &&
      IsAccel(static_cast<char>(m.WParam), Caption()) && focusControl_->CanFocus()) {
    focusControl_->SetFocus();
    m.Result = 1;
    return;
  }
  TGraphicControl::Dispatch(m);
}

}  // namespace platform::ui

#include "platform/ui/Label.h"

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

#include "platform/ui/Panels.h"

#include <algorithm>

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

TImage::TImage(TComponent* owner) : TGraphicControl(owner) { SetBoundsQuiet(0, 0, 105, 105); }

}  // namespace platform::ui

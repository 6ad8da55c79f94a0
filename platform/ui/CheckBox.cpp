#include "platform/ui/CheckBox.h"

namespace platform::ui {

TCheckBox::TCheckBox(TComponent* owner) : TWinControl(owner) {
  SetBoundsQuiet(0, 0, 97, 17);
  SetTabStop(true);
  SetControlStyle(ControlStyle() & ~csClickEvents);
}

void TCheckBox::SetState(TCheckBoxState s) {
  if (s == state_) return;
  state_ = s;
  Invalidate();
}

void TCheckBox::Toggle() {
  switch (state_) {
    case TCheckBoxState::cbUnchecked:
      state_ = allowGrayed_ ? TCheckBoxState::cbGrayed : TCheckBoxState::cbChecked;
      break;
    case TCheckBoxState::cbGrayed:
      state_ = TCheckBoxState::cbChecked;
      break;
    case TCheckBoxState::cbChecked:
      state_ = TCheckBoxState::cbUnchecked;
      break;
  }
  Invalidate();
  Click();
}

void TCheckBox::Dispatch(TMessage& m) {
  if (m.Msg == CM_DIALOGCHAR && IsAccel(static_cast<char>(m.WParam), Caption()) && CanFocus()) {
    SetFocus();
    Toggle();
    m.Result = 1;
    return;
  }
  TWinControl::Dispatch(m);
}

void TCheckBox::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == TMouseButton::mbLeft) pressed_ = true;
  TWinControl::MouseDown(button, shift, x, y);
}

void TCheckBox::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == TMouseButton::mbLeft && pressed_) {
    pressed_ = false;
    if (ClientRect().Contains(TPoint{x, y})) Toggle();
  }
  TWinControl::MouseUp(button, shift, x, y);
}

void TCheckBox::KeyUp(uint16_t& key, TShiftState shift) {
  if (key == VK_SPACE) Toggle();
  TWinControl::KeyUp(key, shift);
}

}  // namespace platform::ui

#include "platform/ui/CheckBox.h"

#include <algorithm>

#include "platform/ui/Frames.h"
#include "platform/ui/Paint.h"

namespace platform::ui {

void TCheckBox::PaintControl() {
  TWinControl::PaintControl();
  detail::PaintWithCanvas(this, [this](TCanvas& c) {
    constexpr int kBox = 13;
    const TRect r = ClientRect();
    const int top = (r.Height() - kBox) / 2;
    const bool boxLeft = alignment_ == TAlignment::taRightJustify;
    const int boxX = boxLeft ? 0 : r.Right - kBox;
    uint32_t state = DFCS_BUTTONCHECK;
    if (state_ != TCheckBoxState::cbUnchecked) state |= DFCS_CHECKED;
    if (state_ == TCheckBoxState::cbGrayed || !EffectivelyEnabled()) state |= DFCS_INACTIVE;
    if (pressed_) state |= DFCS_PUSHED;
    DrawFrameControl(c.Handle(), Bounds(boxX, top, kBox, kBox), DFC_BUTTON, state);
    TRect text = boxLeft ? TRect{kBox + 4, 0, r.Right, r.Bottom} : TRect{0, 0, r.Right - kBox - 4, r.Bottom};
    TRect measured = text;
    c.Handle();
    c.DrawText(Caption(), measured, DT_SINGLELINE | DT_CALCRECT);
    const int textTop = (r.Height() - measured.Height()) / 2;
    TRect shown{text.Left, textTop, text.Left + measured.Width(), textTop + measured.Height()};
    if (!boxLeft) shown = {text.Right - measured.Width(), textTop, text.Right, textTop + measured.Height()};
    detail::DrawCaption(c, Caption(), shown, DT_SINGLELINE, EffectivelyEnabled());
    if (Focused()) {
      const TRect focus{shown.Left - 1, shown.Top - 1, std::min(shown.Right + 1, r.Right), std::min(shown.Bottom + 1, r.Bottom)};
      DrawFocusRect(c.Handle(), focus);
    }
  });
}

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
    m.Result = 1;
    if (Survives([this] { SetFocus(); })) Toggle();  // OnEnter may free the box
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
    if (ClientRect().Contains(TPoint{x, y}) && !Survives([this] { Toggle(); })) return;  // the click freed the box
  }
  TWinControl::MouseUp(button, shift, x, y);
}

void TCheckBox::KeyUp(uint16_t& key, TShiftState shift) {
  if (key == VK_SPACE) Toggle();
  TWinControl::KeyUp(key, shift);
}

}  // namespace platform::ui

#include "platform/ui/Buttons.h"

#include "platform/ui/Form.h"

namespace platform::ui {

TButton::TButton(TComponent* owner) : TWinControl(owner) {
  SetBoundsQuiet(0, 0, 75, 25);
  SetTabStop(true);
  // Clicks come from the button's own press logic, not from csClickEvents.
  SetControlStyle((ControlStyle() & ~csClickEvents) | csOpaque);
}

void TButton::SetDefault(bool v) {
  if (v == default_) return;
  default_ = v;
  if (TCustomForm* form = ParentForm())
    form->Perform(CM_FOCUSCHANGED, 0, reinterpret_cast<LPARAM>(TWinControl::FocusedControl()));
  else
    active_ = v;
  Invalidate();
}

void TButton::Click() {
  if (TCustomForm* form = ParentForm()) form->SetModalResult(modalResult_);
  TWinControl::Click();
}

void TButton::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case CM_DIALOGKEY: {
      auto shift = static_cast<TShiftState>(m.LParam);
      const bool hit = (m.WParam == VK_RETURN && active_) || (m.WParam == VK_ESCAPE && cancel_);
      if (hit && (shift & (ssShift | ssCtrl | ssAlt)) == 0 && CanFocus()) {
        Click();
        m.Result = 1;
        return;
      }
      break;
    }
    case CM_DIALOGCHAR:
      if (IsAccel(static_cast<char>(m.WParam), Caption()) && CanFocus()) {
        Click();
        m.Result = 1;
        return;
      }
      break;
    case CM_FOCUSCHANGED: {
      auto* focused = reinterpret_cast<TWinControl*>(m.LParam);
      bool active = dynamic_cast<TButton*>(focused) != nullptr ? focused == this : default_;
      if (active != active_) {
        active_ = active;
        Invalidate();
      }
      break;
    }
    case CN_COMMAND:
      if ((m.WParam >> 16) == 0) Click();
      return;
    case CM_EXIT:
      if (down_) {
        down_ = false;
        Invalidate();
      }
      break;
    default:
      break;
  }
  TWinControl::Dispatch(m);
}

void TButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == TMouseButton::mbLeft && !down_) {
    down_ = true;
    Invalidate();
  }
  TWinControl::MouseDown(button, shift, x, y);
}

void TButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == TMouseButton::mbLeft && down_) {
    down_ = false;
    Invalidate();
    if (ClientRect().Contains(TPoint{x, y})) Perform(CN_COMMAND, 0, 0);
  }
  TWinControl::MouseUp(button, shift, x, y);
}

void TButton::KeyDown(uint16_t& key, TShiftState shift) {
  if (key == VK_SPACE && !down_) {
    down_ = true;
    Invalidate();
  }
  TWinControl::KeyDown(key, shift);
}

void TButton::KeyUp(uint16_t& key, TShiftState shift) {
  if (key == VK_SPACE && down_) {
    down_ = false;
    Invalidate();
    Perform(CN_COMMAND, 0, 0);
  }
  TWinControl::KeyUp(key, shift);
}

TBitBtn::TBitBtn(TComponent* owner) : TButton(owner) {}

void TBitBtn::SetKind(TBitBtnKind kind) {
  kind_ = kind;
  struct Preset {
    const char* caption;
    TModalResult result;
  };
  static const Preset presets[] = {{"", mrNone},       {"OK", mrOk},         {"Cancel", mrCancel},
                                   {"&Help", mrNone},  {"&Yes", mrYes},      {"&No", mrNo},
                                   {"&Close", mrNone}, {"Abort", mrAbort},   {"&Retry", mrRetry},
                                   {"&Ignore", mrIgnore}, {"&All", 8}};
  if (kind == TBitBtnKind::bkCustom) return;
  const Preset& p = presets[static_cast<int>(kind)];
  SetCaption(p.caption);
  SetModalResult(p.result);
  if (kind == TBitBtnKind::bkOK || kind == TBitBtnKind::bkYes) SetDefault(true);
  if (kind == TBitBtnKind::bkCancel || kind == TBitBtnKind::bkNo) SetCancel(true);
}

void TBitBtn::Click() {
  if (kind_ == TBitBtnKind::bkClose)
    if (TCustomForm* form = ParentForm()) {
      form->Close();
      return;
    }
  TButton::Click();
}

TSpeedButton::TSpeedButton(TComponent* owner) : TGraphicControl(owner) {
  SetBoundsQuiet(0, 0, 23, 22);
  SetControlStyle((ControlStyle() & ~csClickEvents) | csCaptureMouse);
}

void TSpeedButton::SetDown(bool v) {
  if (groupIndex_ == 0) v = false;
  if (v == down_) return;
  if (!v && !allowAllUp_) return;  // the last down button of a group stays down
  down_ = v;
  if (v) ReleaseGroup();
  Invalidate();
}

void TSpeedButton::ReleaseGroup() {
  if (Parent() == nullptr || groupIndex_ == 0) return;
  for (int i = 0; i < Parent()->ControlCount(); ++i) {
    auto* other = dynamic_cast<TSpeedButton*>(Parent()->Controls(i));
    if (other != nullptr && other != this && other->groupIndex_ == groupIndex_ && other->down_) {
      other->down_ = false;
      other->Invalidate();
    }
  }
}

void TSpeedButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == TMouseButton::mbLeft) {
    pressed_ = true;
    Invalidate();
  }
  TGraphicControl::MouseDown(button, shift, x, y);
}

void TSpeedButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == TMouseButton::mbLeft && pressed_) {
    pressed_ = false;
    Invalidate();
    if (ClientRect().Contains(TPoint{x, y})) {
      if (groupIndex_ != 0) {
        if (!down_)
          SetDown(true);
        else if (allowAllUp_)
          SetDown(false);
      }
      Click();
    }
  }
  TGraphicControl::MouseUp(button, shift, x, y);
}

void TSpeedButton::Dispatch(TMessage& m) {
  if (m.Msg == CM_DIALOGCHAR && Enabled() && Showing() && IsAccel(static_cast<char>(m.WParam), Caption())) {
    Click();
    m.Result = 1;
    return;
  }
  TGraphicControl::Dispatch(m);
}

}  // namespace platform::ui

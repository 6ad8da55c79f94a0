#pragma once
// TCheckBox. A click, Space or its accelerator toggles it and raises
// OnClick; SetChecked by code raises nothing.

#include "platform/ui/WinControl.h"

namespace platform::ui {

enum class TCheckBoxState { cbUnchecked, cbChecked, cbGrayed };

class TCheckBox : public TWinControl {
 public:
  explicit TCheckBox(TComponent* owner);
  bool Checked() const { return state_ == TCheckBoxState::cbChecked; }
  void SetChecked(bool v) { SetState(v ? TCheckBoxState::cbChecked : TCheckBoxState::cbUnchecked); }
  TCheckBoxState State() const { return state_; }
  void SetState(TCheckBoxState s);
  bool AllowGrayed() const { return allowGrayed_; }
  void SetAllowGrayed(bool v) { allowGrayed_ = v; }
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment a) { alignment_ = a; Invalidate(); }

 protected:
  // The user's toggle: next state, then OnClick.
  virtual void Toggle();
  void Dispatch(TMessage& message) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  void KeyUp(uint16_t& key, TShiftState shift) override;
  bool FocusOnClick() const override { return true; }
  // The 13 x 13 box (ticked, greyed or pressed) beside the caption, the
  // focus rectangle around the caption while focused.
  void PaintControl() override;

 private:
  TCheckBoxState state_ = TCheckBoxState::cbUnchecked;
  bool allowGrayed_ = false;
  bool pressed_ = false;
  TAlignment alignment_ = TAlignment::taRightJustify;
};

}  // namespace platform::ui

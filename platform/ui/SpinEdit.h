#pragma once
// TSpinEdit: an edit for an integer within [MinValue, MaxValue].
//
// Value is the text read as a decimal integer, or MinValue when the text is
// not one, brought into the limits. Setting Value and leaving the control
// (CM_EXIT) put the limited value into the text. The limits apply when
// MaxValue differs from MinValue. Up and Down keys step by Increment.
// Only digits and signs can be typed.

#include "platform/ui/Edit.h"

namespace platform::ui {

class TSpinEdit : public TEdit {
 public:
  explicit TSpinEdit(TComponent* owner);

  int MinValue() const { return minValue_; }
  void SetMinValue(int v) { minValue_ = v; }
  int MaxValue() const { return maxValue_; }
  void SetMaxValue(int v) { maxValue_ = v; }
  int Increment() const { return increment_; }
  void SetIncrement(int v) { increment_ = v; }
  int Value() const;
  void SetValue(int v);
  // v brought into the limits (when they apply).
  int CheckValue(int v) const;

 protected:
  void Dispatch(TMessage& message) override;
  void KeyDown(uint16_t& key, TShiftState shift) override;
  void KeyPress(char& key) override;
  // The edit with the up and down arrow buttons at its right.
  void PaintControl() override;
  int ReservedRight() const override { return 15; }

 private:
  int minValue_ = 0;
  int maxValue_ = 0;
  int increment_ = 1;
};

}  // namespace platform::ui

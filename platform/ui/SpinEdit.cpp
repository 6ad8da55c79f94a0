#include "platform/ui/SpinEdit.h"

#include <algorithm>

#include "platform/os/Convert.h"
#include "platform/ui/Frames.h"
#include "platform/ui/Paint.h"

namespace platform::ui {

TSpinEdit::TSpinEdit(TComponent* owner) : TEdit(owner) { SetText("0"); }

int TSpinEdit::CheckValue(int v) const {
  if (maxValue_ == minValue_) return v;
  return std::clamp(v, std::min(minValue_, maxValue_), std::max(minValue_, maxValue_));
}

int TSpinEdit::Value() const {
  int32_t v = 0;
  std::string digits;
  for (char c : Text())
    if (c != ' ') digits += c;
  // Only decimal digits with an optional sign count as a number here.
  bool decimal = !digits.empty();
  for (size_t i = 0; i < digits.size(); ++i)
    if (!((digits[i] >= '0' && digits[i] <= '9') || (i == 0 && (digits[i] == '-' || digits[i] == '+'))))
      decimal = false;
  if (!decimal || !platform::os::TryStrToInt(digits, v)) v = minValue_;
  return CheckValue(v);
}

void TSpinEdit::PaintControl() {
  TEdit::PaintControl();
  detail::PaintWithCanvas(this, [this](TCanvas& c) {
    const TRect r{2, 2, Width() - 2, Height() - 2};
    const int half = r.Top + r.Height() / 2;
    const uint32_t state = EffectivelyEnabled() ? 0 : DFCS_INACTIVE;
    DrawFrameControl(c.Handle(), {r.Right - ReservedRight(), r.Top, r.Right, half}, DFC_SCROLL, DFCS_SCROLLUP | state);
    DrawFrameControl(c.Handle(), {r.Right - ReservedRight(), half, r.Right, r.Bottom}, DFC_SCROLL,
                     DFCS_SCROLLDOWN | state);
  });
}

void TSpinEdit::SetValue(int v) { SetText(platform::os::IntToStr(CheckValue(v))); }

void TSpinEdit::Dispatch(TMessage& m) {
  if (m.Msg == CM_EXIT) {
    std::string text = platform::os::IntToStr(Value());
    if (text != Text()) SetText(text);
  }
  TEdit::Dispatch(m);
}

void TSpinEdit::KeyDown(uint16_t& key, TShiftState shift) {
  if ((key == VK_UP || key == VK_DOWN) && !ReadOnly()) {
    const int64_t step = key == VK_UP ? increment_ : -static_cast<int64_t>(increment_);
    const int64_t next = std::clamp<int64_t>(Value() + step, INT32_MIN, INT32_MAX);
    UserChanged(platform::os::IntToStr(CheckValue(static_cast<int>(next))));
    key = 0;
    return;
  }
  TEdit::KeyDown(key, shift);
}

void TSpinEdit::KeyPress(char& key) {
  const bool allowed = (key >= '0' && key <= '9') || key == '-' || key == '+' || key == '\b';
  if (!allowed) return;
  TEdit::KeyPress(key);
}

}  // namespace platform::ui

#include "platform/ui/ComboBox.h"

#include <algorithm>

namespace platform::ui {

TComboBox::TComboBox(TComponent* owner) : TWinControl(owner) {
  SetBoundsQuiet(0, 0, 145, 21);
  SetTabStop(true);
  SetColor(clWindow);
  SetControlStyle(ControlStyle() & ~csClickEvents);
}

void TComboBox::SetStyle(TComboBoxStyle s) {
  style_ = s;
  Invalidate();
}

int TComboBox::ItemIndex() const { return itemIndex_ >= 0 && itemIndex_ < items_.Count() ? itemIndex_ : -1; }

void TComboBox::SetItemIndex(int index) {
  itemIndex_ = index >= 0 && index < items_.Count() ? index : -1;
  if (style_ != TComboBoxStyle::csDropDownList) SetText(itemIndex_ >= 0 ? items_[itemIndex_] : std::string());
  Invalidate();
}

std::string TComboBox::ComboText() const {
  if (style_ == TComboBoxStyle::csDropDownList) return ItemIndex() >= 0 ? items_[ItemIndex()] : std::string();
  return Text();
}

void TComboBox::Clear() {
  items_.Clear();
  itemIndex_ = -1;
  SetText("");
}

void TComboBox::SelectByUser(int index) {
  if (index < 0 || index >= items_.Count()) return;
  itemIndex_ = index;
  if (style_ != TComboBoxStyle::csDropDownList) SetText(items_[index]);
  Invalidate();
  if (OnChange) OnChange(this);
  Click();
}

void TComboBox::KeyDown(uint16_t& key, TShiftState shift) {
  const int n = items_.Count();
  if (n > 0 && (key == VK_DOWN || key == VK_UP)) {
    const int cur = ItemIndex();
    SelectByUser(key == VK_DOWN ? std::min(cur + 1, n - 1) : std::max(cur - 1, 0));
  }
  TWinControl::KeyDown(key, shift);
}

void TComboBox::KeyPress(char& key) {
  std::string t = Text();
  if (key == '\b') {
    if (t.empty()) return;
    t.pop_back();
  } else if (static_cast<unsigned char>(key) >= 32) {
    t += key;
  } else {
    return;
  }
  SetText(t);
  itemIndex_ = items_.IndexOf(t);
  if (OnChange) OnChange(this);
}

}  // namespace platform::ui

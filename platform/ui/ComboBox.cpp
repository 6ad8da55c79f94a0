#include "platform/ui/ComboBox.h"

#include <algorithm>

#include "platform/ui/Frames.h"
#include "platform/ui/Paint.h"

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

void TComboBox::PaintControl() {
  TWinControl::PaintControl();
  detail::PaintWithCanvas(this, [this](TCanvas& c) {
    TRect r = detail::PaintField(c, ClientRect(), Color());
    constexpr int kButton = 16;
    const TRect button{r.Right - kButton, r.Top, r.Right, r.Bottom};
    const bool enabled = EffectivelyEnabled();
    DrawFrameControl(c.Handle(), button, DFC_SCROLL, DFCS_SCROLLCOMBOBOX | (enabled ? 0 : DFCS_INACTIVE));
    TRect text{r.Left + 1, r.Top + 1, button.Left - 1, r.Bottom - 1};
    const bool highlight = Focused() && style_ == TComboBoxStyle::csDropDownList;
    if (highlight) {
      c.Brush().SetColor(clHighlight);
      c.FillRect(text);
    }
    c.Font().SetColor(!enabled ? clGrayText : highlight ? clHighlightText : Font().Color());
    c.Brush().SetStyle(TBrushStyle::bsClear);
    c.Handle();
    TRect inner{text.Left + 2, text.Top, text.Right, text.Bottom};
    c.DrawText(ComboText(), inner, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    if (highlight) DrawFocusRect(c.Handle(), text);
  });
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
  if (OnChange && !Survives([this] { OnChange(this); })) return;
  Click();
}

void TComboBox::KeyDown(uint16_t& key, TShiftState shift) {
  const auto alive = Lifetime();  // the choice's handlers may free the box
  const int n = items_.Count();
  if (n > 0 && (key == VK_DOWN || key == VK_UP)) {
    const int cur = ItemIndex();
    SelectByUser(key == VK_DOWN ? std::min(cur + 1, n - 1) : std::max(cur - 1, 0));
  }
  if (!alive.expired()) TWinControl::KeyDown(key, shift);
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

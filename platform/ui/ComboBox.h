#pragma once
// TComboBox: a drop-down list (csDropDownList: the text is the selected
// item) or an edit with a list (csDropDown: free text). ItemIndex -1 = none;
// an index out of range selects none. The user's choice raises OnChange
// (and OnClick); SetItemIndex by code raises nothing.

#include "platform/os/StringList.h"
#include "platform/ui/WinControl.h"

namespace platform::ui {

enum class TComboBoxStyle { csDropDown, csSimple, csDropDownList };

class TComboBox : public TWinControl {
 public:
  explicit TComboBox(TComponent* owner);

  TComboBoxStyle Style() const { return style_; }
  void SetStyle(TComboBoxStyle s);
  platform::os::TStringList& Items() { return items_; }
  const platform::os::TStringList& Items() const { return items_; }
  int ItemIndex() const;
  void SetItemIndex(int index);
  // The shown text: the selected item of a drop-down list ("" for none).
  std::string ComboText() const;
  int DropDownCount() const { return dropDownCount_; }
  void SetDropDownCount(int n) { dropDownCount_ = n > 0 ? n : 1; }
  void Clear();
  // Chooses index from the open list as the user does.
  void SelectByUser(int index);

  TNotifyEvent OnChange;

 protected:
  void KeyDown(uint16_t& key, TShiftState shift) override;
  void KeyPress(char& key) override;
  bool WantsChars() const override { return style_ != TComboBoxStyle::csDropDownList; }
  bool FocusOnClick() const override { return true; }
  // Sunken frame, the shown text (highlighted while a focused drop-down
  // list), the drop-down button at the right.
  void PaintControl() override;

 private:
  TComboBoxStyle style_ = TComboBoxStyle::csDropDown;
  platform::os::TStringList items_;
  int itemIndex_ = -1;
  int dropDownCount_ = 8;
};

}  // namespace platform::ui

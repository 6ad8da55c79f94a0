#pragma once
// TListBox: a list of lines with one selected line (ItemIndex, -1 = none).
// Items are changed freely by code; an ItemIndex that no longer fits the
// items reads as -1. A click on a line selects it and raises OnClick; a
// double click raises OnDblClick; Up and Down move the selection (OnClick).
// SetItemIndex by code raises nothing.

#include "platform/os/StringList.h"
#include "platform/ui/WinControl.h"

namespace platform::ui {

class TListBox : public TWinControl {
 public:
  explicit TListBox(TComponent* owner);

  platform::os::TStringList& Items() { return items_; }
  const platform::os::TStringList& Items() const { return items_; }
  int ItemIndex() const;
  // -1 or an out-of-range index selects nothing.
  void SetItemIndex(int index);
  int ItemHeight() const { return itemHeight_; }
  void SetItemHeight(int h) { itemHeight_ = h > 0 ? h : 1; }
  int TopIndex() const;
  void SetTopIndex(int index);
  bool Sorted() const { return items_.Sorted(); }
  void SetSorted(bool v) { items_.SetSorted(v); }
  void Clear();
  // Line at a client point, -1 when none.
  int ItemAtPos(TPoint p) const;
  // Selects index as a click on the line does (OnClick, also when the line
  // was selected already); an index out of range does nothing.
  void SelectByUser(int index);

 protected:
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void KeyDown(uint16_t& key, TShiftState shift) override;
  bool FocusOnClick() const override { return true; }
  // Sunken frame, the items from TopIndex one per ItemHeight, the selected
  // one in the highlight colours (with a focus rectangle while focused).
  void PaintControl() override;

 private:
  platform::os::TStringList items_;
  int itemIndex_ = -1;
  int itemHeight_ = 13;
  int topIndex_ = 0;
};

}  // namespace platform::ui

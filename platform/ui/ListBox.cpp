#include "platform/ui/ListBox.h"

#include <algorithm>

#include "platform/ui/Frames.h"
#include "platform/ui/Paint.h"

namespace platform::ui {

TListBox::TListBox(TComponent* owner) : TWinControl(owner) {
  SetBoundsQuiet(0, 0, 121, 97);
  SetTabStop(true);
  SetColor(clWindow);
  // csClickEvents off: OnClick comes from selection, as the list reports it.
  SetControlStyle(ControlStyle() & ~csClickEvents);
}

int TListBox::ItemIndex() const { return itemIndex_ >= 0 && itemIndex_ < items_.Count() ? itemIndex_ : -1; }

void TListBox::SetItemIndex(int index) {
  itemIndex_ = index >= 0 && index < items_.Count() ? index : -1;
  Invalidate();
}

int TListBox::TopIndex() const { return std::clamp(topIndex_, 0, std::max(0, items_.Count() - 1)); }

void TListBox::SetTopIndex(int index) {
  topIndex_ = std::clamp(index, 0, std::max(0, items_.Count() - 1));
  Invalidate();
}

void TListBox::Clear() {
  items_.Clear();
  itemIndex_ = -1;
  topIndex_ = 0;
  Invalidate();
}

void TListBox::PaintControl() {
  TWinControl::PaintControl();
  detail::PaintWithCanvas(this, [this](TCanvas& c) {
    TRect r = detail::PaintField(c, ClientRect(), Color());
    c.IntersectClipRect(r.Left, r.Top, r.Right, r.Bottom);
    const bool enabled = EffectivelyEnabled();
    for (int i = TopIndex(), y = r.Top; i < items_.Count() && y < r.Bottom; ++i, y += itemHeight_) {
      const TRect line{r.Left, y, r.Right, y + itemHeight_};
      const bool selected = i == ItemIndex();
      if (selected) {
        c.Brush().SetStyle(TBrushStyle::bsSolid);
        c.Brush().SetColor(clHighlight);
        c.FillRect(line);
      }
      c.Font().SetColor(!enabled ? clGrayText : selected ? clHighlightText : Font().Color());
      c.Brush().SetStyle(TBrushStyle::bsClear);
      c.Handle();
      TRect text{line.Left + 2, line.Top, line.Right, line.Bottom};
      c.DrawText(items_[i], text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
      if (selected && Focused()) DrawFocusRect(c.Handle(), line);
    }
  });
}

int TListBox::ItemAtPos(TPoint p) const {
  if (!ClientRect().Contains(p)) return -1;
  const int index = TopIndex() + p.Y / itemHeight_;
  return index < items_.Count() ? index : -1;
}

void TListBox::SelectByUser(int index) {
  if (index < 0 || index >= items_.Count()) return;
  itemIndex_ = index;
  // Keep the selected line in view.
  const int visible = std::max(1, ClientHeight() / itemHeight_);
  if (index < TopIndex()) topIndex_ = index;
  if (index >= TopIndex() + visible) topIndex_ = index - visible + 1;
  Invalidate();
  Click();
}

void TListBox::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == TMouseButton::mbLeft && !(shift & ssDouble) &&
      !Survives([&] { SelectByUser(ItemAtPos(TPoint{x, y})); }))
    return;  // the click freed the box
  TWinControl::MouseDown(button, shift, x, y);
  if (button == TMouseButton::mbLeft && (shift & ssDouble)) DblClick();
}

void TListBox::KeyDown(uint16_t& key, TShiftState shift) {
  const auto alive = Lifetime();  // the click may free the box
  const int n = items_.Count();
  if (n > 0) {
    const int cur = ItemIndex();
    if (key == VK_DOWN) SelectByUser(cur < 0 ? 0 : std::min(cur + 1, n - 1));
    if (key == VK_UP) SelectByUser(cur < 0 ? 0 : std::max(cur - 1, 0));
    if (key == VK_HOME) SelectByUser(0);
    if (key == VK_END) SelectByUser(n - 1);
  }
  if (!alive.expired()) TWinControl::KeyDown(key, shift);
}

}  // namespace platform::ui

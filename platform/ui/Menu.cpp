#include "platform/ui/Menu.h"

#include <algorithm>

#include "platform/ui/Backend.h"
#include "platform/ui/Frames.h"
#include "platform/ui/Painter.h"

namespace platform::ui {

TMenuItem::TMenuItem(TComponent* owner) : TComponent(owner) {}

TMenuItem::~TMenuItem() {
  if (parent_ != nullptr) parent_->Remove(this);
  for (TMenuItem* i : items_) i->parent_ = nullptr;
}

TMenuItem* TMenuItem::Items(int index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return items_[static_cast<size_t>(index)];
}

void TMenuItem::Add(TMenuItem* item) {
  if (item == nullptr || item == this) return;
  if (item->parent_ != nullptr) item->parent_->Remove(item);
  items_.push_back(item);
  item->parent_ = this;
}

void TMenuItem::Remove(TMenuItem* item) {
  items_.erase(std::remove(items_.begin(), items_.end(), item), items_.end());
  if (item != nullptr && item->parent_ == this) item->parent_ = nullptr;
}

void TMenuItem::Click() {
  if (!enabled_) return;
  if (TPopupMenu* menu = MenuOf(this)) menu->CloseMenu();
  if (OnClick) OnClick(this);
}

namespace {
// The open menu of the GUI thread (at most one).
thread_local TPopupMenu* gOpenMenu = nullptr;
}  // namespace

TPopupMenu::TPopupMenu(TComponent* owner) : TComponent(owner), items_(new TMenuItem(this)) {}

TPopupMenu::~TPopupMenu() {
  if (gOpenMenu == this) gOpenMenu = nullptr;
  if (open_) {
    open_ = false;
    Backend().MenuChanged(*this);
  }
}

void TPopupMenu::Popup(int x, int y) {
  point_ = TPoint{x, y};
  if (OnPopup) OnPopup(this);
  if (gOpenMenu != nullptr && gOpenMenu != this) gOpenMenu->CloseMenu();
  open_ = true;
  gOpenMenu = this;
  Backend().MenuChanged(*this);
}

void TPopupMenu::CloseMenu() {
  if (gOpenMenu == this) gOpenMenu = nullptr;
  if (!open_) return;
  open_ = false;
  Backend().MenuChanged(*this);
}

namespace {
constexpr int kItemHeight = 18;
constexpr int kSeparatorHeight = 8;
constexpr int kFrame = 3;
constexpr int kEdge = 2;  // the raised edge: items start inside it
bool IsSeparator(const TMenuItem* item) { return item->Caption() == "-"; }
}  // namespace

TRect TPopupMenu::MenuRect() const {
  TPainter measure;
  int width = 0;
  int height = 0;
  for (int i = 0; i < items_->Count(); ++i) {
    const TMenuItem* item = items_->Items(i);
    if (!item->Visible()) continue;
    height += IsSeparator(item) ? kSeparatorHeight : kItemHeight;
    TRect r{0, 0, 0, 0};
    measure.DrawText(item->Caption(), r, DT_SINGLELINE | DT_CALCRECT);
    width = std::max(width, r.Width());
  }
  return Rect(0, 0, width + 40 + 2 * kFrame, height + 2 * kFrame);
}

void TPopupMenu::PaintMenu(TPainter& p, int x, int y) const { PaintMenu(p, x, y, nullptr); }

void TPopupMenu::PaintMenu(TPainter& p, int x, int y, const TMenuItem* hot) const {
  TRect box = MenuRect();
  box = Bounds(x, y, box.Width(), box.Height());
  p.SaveDC();
  DrawEdge(&p, box, EDGE_RAISED, BF_RECT | BF_MIDDLE | BF_ADJUST);
  int top = box.Top;
  for (int i = 0; i < items_->Count(); ++i) {
    const TMenuItem* item = items_->Items(i);
    if (!item->Visible()) continue;
    if (IsSeparator(item)) {
      TRect line{box.Left + 1, top + kSeparatorHeight / 2 - 1, box.Right - 1, top + kSeparatorHeight / 2 + 1};
      DrawEdge(&p, line, EDGE_ETCHED, BF_TOP);
      top += kSeparatorHeight;
      continue;
    }
    TRect text{box.Left + 20, top, box.Right - 4, top + kItemHeight};
    const bool lit = item == hot && item->Enabled();
    if (lit) {
      p.Brush().SetStyle(TBrushStyle::bsSolid);
      p.Brush().SetColor(clHighlight);
      p.FillRect({box.Left, top, box.Right, top + kItemHeight});
    }
    const TColor ink = lit ? clHighlightText : clMenuText;
    p.Brush().SetStyle(TBrushStyle::bsClear);
    if (item->Enabled()) {
      p.Font().SetColor(ink);
      p.Handle();
      p.DrawText(item->Caption(), text, DT_SINGLELINE | DT_VCENTER);
    } else {
      // Disabled: embossed, highlight one pixel down-right under the shadow.
      TRect shifted{text.Left + 1, text.Top + 1, text.Right + 1, text.Bottom + 1};
      p.Font().SetColor(clBtnHighlight);
      p.Handle();
      p.DrawText(item->Caption(), shifted, DT_SINGLELINE | DT_VCENTER);
      p.Font().SetColor(clBtnShadow);
      p.Handle();
      p.DrawText(item->Caption(), text, DT_SINGLELINE | DT_VCENTER);
    }
    if (item->Checked()) {
      p.Brush().SetStyle(TBrushStyle::bsSolid);
      p.Brush().SetColor(ink);
      const int cx = box.Left + 6;
      const int cy = top + kItemHeight / 2 - 3;
      for (int k = 0; k < 7; ++k) {
        const int t = k < 3 ? cy + 2 + k : cy + 4 - (k - 2);
        p.FillRect({cx + k, t, cx + k + 1, t + 3});
      }
    }
    top += kItemHeight;
  }
  p.RestoreDC(-1);
}

TMenuItem* TPopupMenu::ItemAt(TPoint at) const {
  const TRect box = MenuRect();
  if (at.X < kEdge || at.X >= box.Right - kEdge) return nullptr;
  int top = kEdge;
  for (int i = 0; i < items_->Count(); ++i) {
    TMenuItem* item = items_->Items(i);
    if (!item->Visible()) continue;
    const int height = IsSeparator(item) ? kSeparatorHeight : kItemHeight;
    if (at.Y >= top && at.Y < top + height) return IsSeparator(item) ? nullptr : item;
    top += height;
  }
  return nullptr;
}

TPopupMenu* MenuOf(TMenuItem* item) {
  TMenuItem* root = item;
  while (root->Parent() != nullptr) root = root->Parent();
  auto* menu = dynamic_cast<TPopupMenu*>(root->Owner());
  return menu != nullptr && menu->Items() == root ? menu : nullptr;
}

}  // namespace platform::ui

#include "platform/ui/Menu.h"

#include <algorithm>

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

TPopupMenu::TPopupMenu(TComponent* owner) : TComponent(owner), items_(new TMenuItem(this)) {}

void TPopupMenu::Popup(int x, int y) {
  point_ = TPoint{x, y};
  if (OnPopup) OnPopup(this);
  open_ = true;
}

TPopupMenu* MenuOf(TMenuItem* item) {
  TMenuItem* root = item;
  while (root->Parent() != nullptr) root = root->Parent();
  auto* menu = dynamic_cast<TPopupMenu*>(root->Owner());
  return menu != nullptr && menu->Items() == root ? menu : nullptr;
}

}  // namespace platform::ui

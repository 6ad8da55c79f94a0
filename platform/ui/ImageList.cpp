#include "platform/ui/ImageList.h"

#include <algorithm>

namespace platform::ui {

TChangeLink::~TChangeLink() {
  if (sender_ != nullptr) sender_->UnRegisterChanges(this);
}

TCustomImageList::TCustomImageList(TComponent* owner) : TComponent(owner) {}

TCustomImageList::~TCustomImageList() {
  for (TChangeLink* l : links_) l->sender_ = nullptr;
}

void TCustomImageList::SetSize(int width, int height) {
  width = std::max(1, width);
  height = std::max(1, height);
  if (width == width_ && height == height_) return;
  width_ = width;
  height_ = height;
  count_ = 0;
  Change();
}

void TCustomImageList::SetCount(int n) {
  n = std::clamp(n, 0, 10000);
  if (n == count_) return;
  count_ = n;
  Change();
}

void TCustomImageList::SetBkColor(TColor c) {
  if (c == bkColor_) return;
  bkColor_ = c;
  Change();
}

void TCustomImageList::RegisterChanges(TChangeLink* link) {
  if (link == nullptr || link->sender_ == this) return;
  if (link->sender_ != nullptr) link->sender_->UnRegisterChanges(link);
  links_.push_back(link);
  link->sender_ = this;
}

void TCustomImageList::UnRegisterChanges(TChangeLink* link) {
  if (link == nullptr) return;
  links_.erase(std::remove(links_.begin(), links_.end(), link), links_.end());
  if (link->sender_ == this) link->sender_ = nullptr;
}

void TCustomImageList::Change() {
  std::vector<TChangeLink*> links = links_;  // a handler may unregister
  for (TChangeLink* l : links)
    if (std::find(links_.begin(), links_.end(), l) != links_.end() && l->OnChange) l->OnChange(this);
  if (OnChange) OnChange(this);
}

}  // namespace platform::ui

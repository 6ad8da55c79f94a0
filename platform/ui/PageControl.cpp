#include "platform/ui/PageControl.h"

#include <algorithm>

namespace platform::ui {

namespace {
constexpr int kTabRow = 24;  // height of the tab row
constexpr int kFrame = 4;
}  // namespace

TTabSheet::TTabSheet(TComponent* owner) : TWinControl(owner) { SetVisible(false); }

TTabSheet::~TTabSheet() {
  if (pageControl_ != nullptr) pageControl_->RemovePage(this);
}

void TTabSheet::SetPageControl(TPageControl* pc) {
  if (pc == pageControl_) return;
  if (pageControl_ != nullptr) pageControl_->RemovePage(this);
  if (pc != nullptr) pc->InsertPage(this);
}

int TTabSheet::PageIndex() const {
  if (pageControl_ == nullptr) return -1;
  const auto& p = pageControl_->pages_;
  return static_cast<int>(std::find(p.begin(), p.end(), this) - p.begin());
}

void TTabSheet::SetTabVisible(bool v) {
  tabVisible_ = v;
  if (!v && pageControl_ != nullptr && pageControl_->active_ == this) pageControl_->SetActivePage(nullptr);
}

TPageControl::TPageControl(TComponent* owner) : TWinControl(owner) {
  SetBoundsQuiet(0, 0, 289, 193);
  SetTabStop(true);
}

TPageControl::~TPageControl() {
  for (TTabSheet* p : pages_) p->pageControl_ = nullptr;
}

TTabSheet* TPageControl::Pages(int index) const {
  if (index < 0 || index >= PageCount()) return nullptr;
  return pages_[static_cast<size_t>(index)];
}

void TPageControl::InsertPage(TTabSheet* page) {
  pages_.push_back(page);
  page->pageControl_ = this;
  page->SetParent(this);
  PlacePages();
  if (active_ == nullptr && page->TabVisible()) SetActivePage(page);
}

void TPageControl::RemovePage(TTabSheet* page) {
  if (active_ == page) {
    active_ = nullptr;
    page->SetVisible(false);
  }
  pages_.erase(std::remove(pages_.begin(), pages_.end(), page), pages_.end());
  page->pageControl_ = nullptr;
}

void TPageControl::SetActivePage(TTabSheet* page) {
  if (page != nullptr && page->pageControl_ != this)
    throw EInvalidOperation("The page belongs to another page control");
  if (page == active_) return;
  TTabSheet* old = active_;
  active_ = page;
  if (page != nullptr) page->SetVisible(true);
  if (old != nullptr) old->SetVisible(false);
  Invalidate();
}

int TPageControl::ActivePageIndex() const { return active_ == nullptr ? -1 : active_->PageIndex(); }

void TPageControl::SetActivePageIndex(int index) { SetActivePage(Pages(index)); }

void TPageControl::SelectTabByUser(int index) {
  TTabSheet* page = Pages(index);
  if (page == nullptr || !page->TabVisible() || page == active_) return;
  bool allow = true;
  if (OnChanging) OnChanging(this, allow);
  if (!allow) return;
  SetActivePage(page);
  if (OnChange) OnChange(this);
}

void TPageControl::SetBounds(int left, int top, int width, int height) {
  TWinControl::SetBounds(left, top, width, height);
  PlacePages();
}

void TPageControl::PlacePages() {
  for (TTabSheet* p : pages_)
    p->SetBounds(kFrame, kTabRow + kFrame, std::max(0, Width() - 2 * kFrame),
                 std::max(0, Height() - kTabRow - 2 * kFrame));
}

void TPageControl::KeyDown(uint16_t& key, TShiftState shift) {
  if ((key == VK_LEFT || key == VK_RIGHT) && active_ != nullptr) {
    const int step = key == VK_RIGHT ? 1 : -1;
    for (int i = active_->PageIndex() + step; i >= 0 && i < PageCount(); i += step)
      if (pages_[static_cast<size_t>(i)]->TabVisible()) {
        SelectTabByUser(i);
        break;
      }
  }
  TWinControl::KeyDown(key, shift);
}

}  // namespace platform::ui

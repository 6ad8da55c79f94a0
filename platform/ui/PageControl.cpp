#include "platform/ui/PageControl.h"

#include <algorithm>

#include "platform/ui/Frames.h"
#include "platform/ui/Paint.h"

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

TRect TPageControl::TabRect(int index) const {
  if (index < 0 || index >= PageCount() || !pages_[static_cast<size_t>(index)]->TabVisible()) return {};
  TCanvas measure;
  measure.Font().Assign(&Font());
  int x = 2;
  for (int i = 0; i < PageCount(); ++i) {
    const TTabSheet* p = pages_[static_cast<size_t>(i)];
    if (!p->TabVisible()) continue;
    TRect text{0, 0, 0, 0};
    measure.DrawText(p->Caption(), text, DT_SINGLELINE | DT_CALCRECT);
    const int w = text.Width() + 12;
    if (i == index) return TRect{x, kTabRow - 20, x + w, kTabRow};
    x += w;
  }
  return {};
}

void TPageControl::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == TMouseButton::mbLeft)
    for (int i = 0; i < PageCount(); ++i) {
      const TRect tab = TabRect(i);
      if (tab.Contains(TPoint{x, y}) && pages_[static_cast<size_t>(i)] != active_) {
        SelectTabByUser(i);
        break;
      }
    }
  TWinControl::MouseDown(button, shift, x, y);
}

void TPageControl::PaintControl() {
  TWinControl::PaintControl();
  detail::PaintWithCanvas(this, [this](TCanvas& c) {
    TRect body{0, kTabRow, Width(), Height()};
    DrawEdge(c.Handle(), body, EDGE_RAISED, BF_RECT);
    const bool enabled = EffectivelyEnabled();
    TRect activeTab{};
    for (int i = 0; i < PageCount(); ++i) {
      TRect tab = TabRect(i);
      if (tab.Width() <= 0) continue;
      const bool active = pages_[static_cast<size_t>(i)] == active_;
      if (active) tab = {tab.Left - 2, tab.Top - 2, tab.Right + 2, tab.Bottom + 1};
      c.Brush().SetStyle(TBrushStyle::bsSolid);
      c.Brush().SetColor(Color());
      c.FillRect(tab);
      // Light left and top, dark right side; no bottom line.
      c.Brush().SetColor(clBtnHighlight);
      c.FillRect({tab.Left, tab.Top + 2, tab.Left + 1, tab.Bottom});
      c.FillRect({tab.Left + 2, tab.Top, tab.Right - 2, tab.Top + 1});
      c.SetPixel(tab.Left + 1, tab.Top + 1, clBtnHighlight);
      c.Brush().SetColor(cl3DDkShadow);
      c.FillRect({tab.Right - 1, tab.Top + 2, tab.Right, tab.Bottom});
      c.SetPixel(tab.Right - 2, tab.Top + 1, cl3DDkShadow);
      c.Brush().SetColor(clBtnShadow);
      c.FillRect({tab.Right - 2, tab.Top + 2, tab.Right - 1, tab.Bottom});
      TRect text{tab.Left + 6, tab.Top + 2, tab.Right - 6, tab.Bottom};
      c.Font().SetColor(Font().Color());
      detail::DrawCaption(c, pages_[static_cast<size_t>(i)]->Caption(), text, DT_SINGLELINE | DT_VCENTER | DT_CENTER, enabled);
      if (active) activeTab = tab;
    }
    if (activeTab.Width() > 0 && Focused()) {
      TRect focus{activeTab.Left + 3, activeTab.Top + 3, activeTab.Right - 3, activeTab.Bottom - 2};
      DrawFocusRect(c.Handle(), focus);
    }
  });
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

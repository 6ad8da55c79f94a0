#pragma once
// TPageControl with TTabSheet pages. Exactly the active page is shown; the
// pages fill the page control below its tab row. A page control may sit on
// a page of another. The user's choice of a tab raises OnChanging (which may
// refuse) and OnChange; setting ActivePage by code raises neither.

#include <functional>
#include <vector>

#include "platform/ui/WinControl.h"

namespace platform::ui {

class TPageControl;

class TTabSheet : public TWinControl {
 public:
  explicit TTabSheet(TComponent* owner);
  ~TTabSheet() override;
  TPageControl* PageControl() const { return pageControl_; }
  // Joins (or leaves, with null) a page control, as its last page.
  void SetPageControl(TPageControl* pc);
  // Position among the page control's pages; -1 without one.
  int PageIndex() const;
  bool TabVisible() const { return tabVisible_; }
  void SetTabVisible(bool v);

 private:
  friend class TPageControl;
  TPageControl* pageControl_ = nullptr;
  bool tabVisible_ = true;
};

using TTabChangingEvent = std::function<void(TObject* Sender, bool& AllowChange)>;

class TPageControl : public TWinControl {
 public:
  explicit TPageControl(TComponent* owner);
  ~TPageControl() override;
  int PageCount() const { return static_cast<int>(pages_.size()); }
  // Page at index; nullptr out of range.
  TTabSheet* Pages(int index) const;
  TTabSheet* ActivePage() const { return active_; }
  // A page of this control or null; another control's page is refused
  // (EInvalidOperation).
  void SetActivePage(TTabSheet* page);
  int ActivePageIndex() const;
  // -1 or out of range: no page.
  void SetActivePageIndex(int index);
  // Chooses the visible tab at index as a click on it does.
  void SelectTabByUser(int index);

  TNotifyEvent OnChange;
  TTabChangingEvent OnChanging;

  void SetBounds(int left, int top, int width, int height) override;

 protected:
  bool FocusOnClick() const override { return true; }
  void KeyDown(uint16_t& key, TShiftState shift) override;
  // A click on a tab chooses it as a user does.
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  // The tabs of the visible pages in a row (the active one raised and
  // joined to the body), the body's raised frame, a focus rectangle on the
  // active tab's caption while focused.
  void PaintControl() override;

 public:
  // The tab of the page at index in client coordinates; empty for a page
  // whose tab is hidden or an index out of range.
  TRect TabRect(int index) const;

 private:
  friend class TTabSheet;
  void InsertPage(TTabSheet* page);
  void RemovePage(TTabSheet* page);
  void PlacePages();
  std::vector<TTabSheet*> pages_;
  TTabSheet* active_ = nullptr;
};

}  // namespace platform::ui

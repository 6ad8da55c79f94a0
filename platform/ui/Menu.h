#pragma once
// Menus: TMenuItem (a tree of items owned by their menu) and TPopupMenu.
// A popped-up menu stays "open" until an item is chosen (the driver or the
// user clicks it), it is closed, or another menu pops up. The backend is
// told of every opening and closing (on X11 the menu is a window of its
// own).

#include <vector>

#include "platform/ui/Component.h"
#include "platform/ui/Types.h"

namespace platform::ui {

class TPainter;

class TMenuItem : public TComponent {
 public:
  explicit TMenuItem(TComponent* owner);
  ~TMenuItem() override;

  const std::string& Caption() const { return caption_; }
  void SetCaption(std::string_view c) { caption_ = std::string(c); }
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool v) { enabled_ = v; }
  bool Visible() const { return visible_; }
  void SetVisible(bool v) { visible_ = v; }
  bool Checked() const { return checked_; }
  void SetChecked(bool v) { checked_ = v; }

  int Count() const { return static_cast<int>(items_.size()); }
  // Sub-item at index; nullptr out of range.
  TMenuItem* Items(int index) const;
  // Appends an item (the item leaves its former parent item).
  void Add(TMenuItem* item);
  void Remove(TMenuItem* item);
  TMenuItem* Parent() const { return parent_; }

  // Runs OnClick when the item is enabled.
  virtual void Click();
  TNotifyEvent OnClick;

 private:
  std::string caption_;
  bool enabled_ = true;
  bool visible_ = true;
  bool checked_ = false;
  std::vector<TMenuItem*> items_;
  TMenuItem* parent_ = nullptr;
};

class TPopupMenu : public TComponent {
 public:
  explicit TPopupMenu(TComponent* owner);
  ~TPopupMenu() override;
  // The root item holding the menu's items (owned by the menu).
  TMenuItem* Items() const { return items_; }
  // Opens the menu at a screen point: OnPopup, then any other open menu
  // closes and this one is open. GUI thread.
  virtual void Popup(int x, int y);
  bool IsOpen() const { return open_; }
  TPoint PopupPoint() const { return point_; }
  // Closes the menu when open. GUI thread.
  void CloseMenu();
  // The control the menu popped up for.
  TComponent* PopupComponent() const { return popupComponent_; }
  void SetPopupComponent(TComponent* c) { popupComponent_ = c; }
  TNotifyEvent OnPopup;

  // Size of the open menu's box: one 18-pixel row per visible item (a "-"
  // caption is an 8-pixel separator), as wide as the widest caption plus
  // 40 pixels, with a 3-pixel raised frame.
  TRect MenuRect() const;
  // Draws the menu box with its top-left at (x, y) into p (GUI thread).
  void PaintMenu(TPainter& p, int x, int y) const;
  // The same with the row of hot (the item under the pointer) in the
  // highlight colours when it is enabled; null highlights nothing.
  void PaintMenu(TPainter& p, int x, int y, const TMenuItem* hot) const;
  // The visible item (separators excluded) at a point of the menu box
  // (MenuRect coordinates); nullptr for none.
  TMenuItem* ItemAt(TPoint p) const;

 private:
  TMenuItem* items_;
  bool open_ = false;
  TPoint point_;
  TComponent* popupComponent_ = nullptr;
};

// The popup menu that item belongs to; nullptr when none.
TPopupMenu* MenuOf(TMenuItem* item);

}  // namespace platform::ui

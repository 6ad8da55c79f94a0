#pragma once
// TWinControl: a control with a window of its own. It holds child controls
// in order, takes the keyboard focus, routes keys and characters, and
// offers dialog keys (Tab, Enter, Esc) and dialog characters ("&"
// accelerators) to its form.
//
// Focus change from A to B (both on one form), in this order:
//   A: WM_KILLFOCUS;  B: WM_SETFOCUS;
//   CM_EXIT to A, then to each parent of A that does not contain B;
//   CM_ENTER to each parent of B not containing A (outermost first), then B;
//   CM_FOCUSCHANGED (LParam = B) to the form, which passes it to every
//   control of the form, depth first in child order.
//
// Keys reaching the focused control (WM_KEYDOWN, WParam key, LParam shift):
// a dialog key the control does not want (WantsKey false) goes to the form as
// CM_DIALOGKEY, and the form passes it to its controls until one answers
// non-zero (Tab moves the focus instead). Other keys raise OnKeyDown and then
// KeyDown. Characters (WM_CHAR): controls that take text (WantsChars) raise
// OnKeyPress and then KeyPress; for every other control the character goes to
// the form as CM_DIALOGCHAR. WM_SYSCHAR (Alt + character) always does.
//
// A handler run on the way (a click, a key event, OnEnter / OnExit) may free
// the control or its whole form: the routing then touches neither again
// (each step that runs one checks the Lifetime token after it).
//
// Single-threaded: the focus is per thread, as the classic input model.

#include <memory>
#include <optional>
#include <vector>

#include "platform/ui/Control.h"
#include "platform/ui/Region.h"

namespace platform::ui {

class TWinControl : public TControl {
 public:
  explicit TWinControl(TComponent* owner);
  ~TWinControl() override;
  void BeforeDestruction() override;

  // ---- children ----
  int ControlCount() const { return static_cast<int>(controls_.size()); }
  // Child at index in z-order (order of insertion); nullptr when out of range.
  TControl* Controls(int index) const;
  bool ContainsControl(const TControl* control) const;
  // Deepest showing child at a client point (windowed or not); nullptr when
  // the point hits no child.
  TControl* ControlAtPos(TPoint clientPoint) const;
  // Sends a message to every child in order until one answers non-zero.
  void Broadcast(TMessage& message);

  // ---- tab order ----
  int TabOrder() const;
  // Moves the control within its parent's tab list (bounded to the list).
  void SetTabOrder(int order);
  bool TabStop() const { return tabStop_; }
  void SetTabStop(bool v) { tabStop_ = v; }
  // The windowed children in tab order.
  const std::vector<TWinControl*>& TabList() const { return tabList_; }
  // Next control after current (or the first when current is null) in the
  // tab sequence of this control's descendants that can take the focus.
  TWinControl* FindNextControl(TWinControl* current, bool forward, bool checkTabStop) const;
  // Focuses FindNextControl(current); nothing when there is none.
  void SelectNext(TWinControl* current, bool forward, bool checkTabStop);

  // ---- focus ----
  // Showing, enabled up to and including its form, and the form enabled and
  // not held by a modal form.
  virtual bool CanFocus() const;
  // Takes the keyboard focus of the thread; EInvalidOperation when the
  // control cannot (CanFocus false).
  virtual void SetFocus();
  bool Focused() const;
  // The control holding the focus on the calling thread; null when none.
  static TWinControl* FocusedControl();

  // What the control handles itself instead of the form's dialog handling.
  virtual bool WantsKey(uint16_t key, TShiftState shift) const;
  virtual bool WantsChars() const { return false; }

  TKeyEvent OnKeyDown;
  TKeyEvent OnKeyUp;
  TKeyPressEvent OnKeyPress;
  TNotifyEvent OnEnter;
  TNotifyEvent OnExit;

  void SetBounds(int left, int top, int width, int height) override;

  // Realigns the aligned children (Align != alNone) within the client area.
  void Realign();

  // ---- window region and pixels ----
  // Gives the control a window region (coordinates relative to its window's
  // top-left corner); the control owns it from then on and the handle is
  // no longer valid. Painting and hit testing keep inside it. Null removes
  // the region. Answers 0 for a handle that is not a live region (nothing
  // changes), otherwise 1. With redraw the control is painted again.
  int SetWindowRgn(HRGN region, bool redraw);
  // The window region; null when the control has none.
  const TRegion* WindowRegion() const { return windowRegion_ ? &*windowRegion_ : nullptr; }
  // Whether a point of the control's window (coordinates relative to its
  // top-left corner) belongs to the control: inside its bounds and its
  // window region.
  bool HitTest(TPoint windowPoint) const;
  // The pixels of the top-level window holding this control (a form's
  // whole window, frame and caption included) as painted so far.
  TBitmap& WindowBitmap();

 protected:
  void Dispatch(TMessage& message) override;
  void PaintControl() override;

  virtual void KeyDown(uint16_t& key, TShiftState shift);
  virtual void KeyUp(uint16_t& key, TShiftState shift);
  virtual void KeyPress(char& key);
  // Whether a click gives the control the focus (standard input controls).
  virtual bool FocusOnClick() const { return false; }
  // Called by the focus machinery; the base raises OnEnter / OnExit.
  virtual void DoEnter();
  virtual void DoExit();

  friend class TControl;
  friend class TCustomForm;

 private:
  void InsertChild(TControl* control);
  void RemoveChild(TControl* control);
  void DispatchOwn(TMessage& message);
  void HandleKeyDown(TMessage& message);
  void HandleChar(TMessage& message, bool system);
  void CollectTabSequence(std::vector<TWinControl*>& out) const;
  void AlignControls();
  // Marks every descendant for painting (a window shown again).
  void InvalidateTree();

  std::vector<TControl*> controls_;
  std::vector<TWinControl*> tabList_;
  std::optional<TRegion> windowRegion_;
  std::unique_ptr<TBitmap> surface_;  // top-level windows only
  bool tabStop_ = false;
  bool aligning_ = false;
};

// A windowed control that paints itself on its canvas (Paint).
class TCustomControl : public TWinControl {
 public:
  explicit TCustomControl(TComponent* owner);
  TCanvas& Canvas() { return canvas_; }

 protected:
  // Draws the control; the base draws nothing.
  virtual void Paint() {}
  void PaintControl() override;

 private:
  TCanvas canvas_;
};

// Sends a message synchronously to a control and catches whatever a handler
// raises (reported to the application); answers the Result, 0 when a handler
// raised. The entry point for messages coming from outside a handler.
LRESULT SafePerform(TControl* control, uint32_t msg, WPARAM wParam, LPARAM lParam);

// A T owned by owner, named name, on parent (none when null): how a form
// builds its components. Raises what SetName or SetParent raise; the
// control then stays with its owner, which frees it. GUI thread.
template <class T>
T* CreateChild(TComponent* owner, TWinControl* parent, std::string_view name) {
  T* c = Create<T>(owner);
  c->SetName(name);
  if (parent != nullptr) c->SetParent(parent);
  return c;
}

// Accelerator test: the character after a single "&" of caption equals key
// (case ignored, CP1251 letters included). "&&" is a literal "&".
bool IsAccel(char key, std::string_view caption);

}  // namespace platform::ui

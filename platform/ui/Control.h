#pragma once
// TControl: the visual component. Position and size inside its parent,
// visibility, enabling, caption, font, colour, hint, cursor, mouse handling
// and the message path every control has:
//
//   Perform(msg) -> WindowProc (replaceable) -> WndProc (virtual: input
//   filtering) -> Dispatch (virtual: handlers by message number) ->
//   DefaultHandler.
//
// A message nobody handles keeps its WParam and LParam, and Result 0.
// Controls live on the thread that created their form; none of this is
// thread-safe (other threads post or send to a form's window handle).

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/ui/Actions.h"
#include "platform/ui/Canvas.h"
#include "platform/ui/Component.h"
#include "platform/ui/Font.h"
#include "platform/ui/Messages.h"
#include "platform/ui/Types.h"

namespace platform::ui {
namespace detail {
void PaintPending();
}

class TWinControl;
class TCustomForm;
class TPopupMenu;
class TBasicAction;
class TControlActionLink;

using TWndMethod = std::function<void(TMessage&)>;
using TMouseEvent = std::function<void(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;
using TMouseMoveEvent = std::function<void(TObject* Sender, TShiftState Shift, int X, int Y)>;
using TKeyEvent = std::function<void(TObject* Sender, uint16_t& Key, TShiftState Shift)>;
using TKeyPressEvent = std::function<void(TObject* Sender, char& Key)>;

// ControlStyle flags.
using TControlStyle = uint32_t;
inline constexpr TControlStyle csAcceptsControls = 1;
inline constexpr TControlStyle csCaptureMouse = 2;
inline constexpr TControlStyle csClickEvents = 4;
inline constexpr TControlStyle csSetCaption = 8;
inline constexpr TControlStyle csOpaque = 16;
inline constexpr TControlStyle csDoubleClicks = 32;

enum class TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };

// Raised for operations a control cannot do in its state (focusing a
// hidden control, a control that would be its own parent).
class EInvalidOperation : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TControl : public TComponent {
 public:
  explicit TControl(TComponent* owner);
  ~TControl() override;
  void BeforeDestruction() override;

  // ---- messages ----
  // Replaceable entry of every message; initially calls WndProc. Keep the
  // old value to chain to it.
  TWndMethod WindowProc;
  // Sends a message synchronously through WindowProc and answers its Result.
  // Exceptions of handlers reach the caller.
  LRESULT Perform(uint32_t msg, WPARAM wParam = 0, LPARAM lParam = 0);
  LRESULT Perform(TMessage& message);

  // ---- parent and geometry ----
  TWinControl* Parent() const { return parent_; }
  // Moves the control into another parent (or none). EInvalidOperation when
  // the parent would be the control itself or one of its children.
  virtual void SetParent(TWinControl* parent);

  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  void SetLeft(int v) { SetBounds(v, top_, width_, height_); }
  void SetTop(int v) { SetBounds(left_, v, width_, height_); }
  void SetWidth(int v) { SetBounds(left_, top_, v, height_); }
  void SetHeight(int v) { SetBounds(left_, top_, width_, v); }
  // Negative sizes become 0. Sends WM_MOVE and/or WM_SIZE when they change,
  // then OnResize for a size change.
  virtual void SetBounds(int left, int top, int width, int height);
  TRect BoundsRect() const { return Bounds(left_, top_, width_, height_); }
  virtual int ClientWidth() const { return width_; }
  virtual int ClientHeight() const { return height_; }
  // Sizes the control so that its client area gets w (h) pixels: the frame
  // (NonClientSize) is added, also when the control is now smaller than it.
  void SetClientWidth(int w);
  void SetClientHeight(int h);
  // Width and height of the parts outside the client area (frame, caption);
  // they do not depend on the control's size.
  virtual TPoint NonClientSize() const { return TPoint{width_ - ClientWidth(), height_ - ClientHeight()}; }
  TRect ClientRect() const { return Rect(0, 0, ClientWidth(), ClientHeight()); }
  // Screen position of the client area's top-left corner.
  virtual TPoint ClientOrigin() const;
  TPoint ClientToScreen(TPoint p) const;
  TPoint ScreenToClient(TPoint p) const;
  TAlign Align() const { return align_; }
  void SetAlign(TAlign align);

  // ---- state ----
  bool Visible() const { return visible_; }
  // Sends CM_VISIBLECHANGED (WParam = new value) when it changes.
  void SetVisible(bool visible);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  // Visible with every parent visible up to a top-level control.
  virtual bool Showing() const;
  bool Enabled() const { return enabled_; }
  // Sends CM_ENABLEDCHANGED when it changes.
  virtual void SetEnabled(bool enabled);
  // Enabled with every parent enabled.
  bool EffectivelyEnabled() const;

  // Caption and Text are one value. Sends CM_TEXTCHANGED when it changes.
  const std::string& Caption() const { return text_; }
  const std::string& Text() const { return text_; }
  void SetCaption(std::string_view text) { SetText(text); }
  virtual void SetText(std::string_view text);

  TFont& Font() { return font_; }
  const TFont& Font() const { return font_; }
  // Copies into the control's font; sends CM_FONTCHANGED.
  void SetFont(const TFont& font) { font_.Assign(&font); }
  bool ParentFont() const { return parentFont_; }
  void SetParentFont(bool v);

  TColor Color() const { return color_; }
  // Sends CM_COLORCHANGED; ParentColor goes off.
  void SetColor(TColor color);
  bool ParentColor() const { return parentColor_; }
  void SetParentColor(bool v);

  const std::string& Hint() const { return hint_; }
  void SetHint(std::string_view hint) { hint_ = std::string(hint); }
  bool ShowHint() const { return showHint_; }
  void SetShowHint(bool v);
  bool ParentShowHint() const { return parentShowHint_; }
  void SetParentShowHint(bool v);
  TCursor Cursor() const { return cursor_; }
  void SetCursor(TCursor c);
  TPopupMenu* PopupMenu() const { return popupMenu_; }
  void SetPopupMenu(TPopupMenu* menu);

  TControlStyle ControlStyle() const { return controlStyle_; }
  void SetControlStyle(TControlStyle s) { controlStyle_ = s; }

  // ---- painting ----
  // Marks the control for painting; the paint happens when the thread's
  // message loop goes idle (or at Update).
  virtual void Invalidate();
  // Paints now when marked.
  virtual void Update();
  // Invalidate, then Update.
  virtual void Repaint();
  bool PaintPending() const { return paintPending_; }
  // How often the control was painted (WM_PAINT handled); for tests and the
  // headless driver.
  int PaintCount() const { return paintCount_; }

  // ---- actions ----
  // Runs OnClick, or without one the linked action (user clicks and their
  // equivalents; never on property changes).
  virtual void Click();
  // The action the control is linked to (null for none); linking copies
  // the action's values (ActionChange with checkDefaults true).
  TBasicAction* Action() const;
  void SetAction(TBasicAction* action);
  TControlActionLink* ActionLink() const { return actionLink_.get(); }
  // Takes the values of sender (the linked action); with checkDefaults only
  // where the control still has its default value. Caption, Enabled, Hint,
  // Visible.
  virtual void ActionChange(TObject* sender, bool checkDefaults);
  virtual void DblClick();
  // Top-level form holding this control; null when none.
  TCustomForm* ParentForm() const;
  // Walks the parents: true when ancestor is one of them.
  bool HasAncestor(const TWinControl* ancestor) const;

  // ---- events ----
  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  TNotifyEvent OnResize;
  TMouseEvent OnMouseDown;
  TMouseEvent OnMouseUp;
  TMouseMoveEvent OnMouseMove;

 protected:
  virtual void WndProc(TMessage& message);
  // Message handlers by number; an override handles its own numbers and
  // hands every other one to the inherited Dispatch.
  virtual void Dispatch(TMessage& message);
  // Unhandled messages: leaves the record as it is.
  virtual void DefaultHandler(TMessage& message);
  void Notification(TComponent* component, TOperation operation) override;
  // Makes the link object for SetAction; overrides give their own class.
  virtual std::unique_ptr<TControlActionLink> GetActionLinkClass() const;

  virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
  virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
  virtual void MouseMove(TShiftState shift, int x, int y);
  // Paint handler of the control (WM_PAINT); the base counts the paint.
  virtual void PaintControl();

  // Called when the parent changed its colour or font (ParentColor/Font).
  virtual void ParentColorChanged();
  virtual void ParentFontChanged();

  // Geometry without messages (used while aligning).
  void SetBoundsQuiet(int left, int top, int width, int height);
  void RequestAlign();

  friend class TWinControl;
  friend void detail::PaintPending();

 private:
  void HandleMouse(TMessage& message);
  void FontChanged();

  TWinControl* parent_ = nullptr;
  int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  TAlign align_ = TAlign::alNone;
  bool visible_ = true;
  bool enabled_ = true;
  std::string text_;
  TFont font_;
  bool parentFont_ = true;
  TColor color_ = clBtnFace;
  bool parentColor_ = false;
  std::string hint_;
  bool showHint_ = false;
  bool parentShowHint_ = true;
  TCursor cursor_ = crDefault;
  TPopupMenu* popupMenu_ = nullptr;
  std::unique_ptr<TControlActionLink> actionLink_;
  TControlStyle controlStyle_ = csCaptureMouse | csClickEvents | csSetCaption | csDoubleClicks;
  bool paintPending_ = false;
  int paintCount_ = 0;
  bool clicked_ = false;  // left button went down on this control
  bool queued_ = false;   // in the thread's paint list
  TControl* prevPaint_ = nullptr;
  TControl* nextPaint_ = nullptr;

 public:
  // Leaves the thread's paint list (internal).
  void Unqueue();
};

// A control without a window of its own, painted by its parent (label,
// image, speed button).
class TGraphicControl : public TControl {
 public:
  explicit TGraphicControl(TComponent* owner);
  TCanvas& Canvas() { return canvas_; }

 protected:
  // Draws the control; the base draws nothing.
  virtual void Paint() {}
  void PaintControl() override;

 private:
  TCanvas canvas_;
};

}  // namespace platform::ui

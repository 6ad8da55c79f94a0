#include "platform/ui/Control.h"

#include <algorithm>

#include "platform/ui/Form.h"
#include "platform/ui/InputState.h"
#include "platform/ui/Menu.h"
#include "platform/ui/Paint.h"
#include "platform/ui/WinControl.h"

namespace platform::ui {

namespace detail {

InputState& Input() {
  thread_local InputState state;
  return state;
}

void ForgetControl(TControl* control) {
  InputState& s = Input();
  if (s.focus == control) s.focus = nullptr;
  if (s.capture == control) s.capture = nullptr;
  if (s.hover == control) s.hover = nullptr;
  control->Unqueue();
}

void PaintPending() {
  // Painting may invalidate again; those wait for the next round.
  InputState& s = Input();
  PaintBatch batch;
  int count = 0;
  for (TControl* c = s.paintHead; c != nullptr; c = c->nextPaint_) ++count;
  while (count-- > 0 && s.paintHead != nullptr) s.paintHead->Update();
}

}  // namespace detail

TControl::TControl(TComponent* owner) : TComponent(owner) {
  WindowProc = [this](TMessage& m) { WndProc(m); };
  font_.OnChange = [this](TObject*) { FontChanged(); };
}

TControl::~TControl() {
  detail::ForgetControl(this);
  if (parent_ != nullptr) parent_->RemoveChild(this);
}

void TControl::BeforeDestruction() {
  TComponent::BeforeDestruction();
  detail::ForgetControl(this);
}

LRESULT TControl::Perform(uint32_t msg, WPARAM wParam, LPARAM lParam) {
  TMessage m{msg, wParam, lParam, 0};
  WindowProc(m);
  return m.Result;
}

LRESULT TControl::Perform(TMessage& message) {
  WindowProc(message);
  return message.Result;
}

void TControl::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK:
    case WM_MOUSEMOVE:
      HandleMouse(m);
      return;
    default:
      Dispatch(m);
  }
}

void TControl::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case WM_PAINT:
      paintPending_ = false;
      Unqueue();
      ++paintCount_;
      PaintControl();
      return;
    case CM_PARENTCOLORCHANGED:
      ParentColorChanged();
      return;
    case CM_PARENTFONTCHANGED:
      ParentFontChanged();
      return;
    case CM_PARENTSHOWHINTCHANGED:
      if (parentShowHint_ && parent_ != nullptr) showHint_ = parent_->ShowHint();
      return;
    case CM_ENABLEDCHANGED:
    case CM_VISIBLECHANGED:
    case CM_TEXTCHANGED:
    case CM_FONTCHANGED:
    case CM_COLORCHANGED:
      Invalidate();
      return;
    default:
      DefaultHandler(m);
  }
}

void TControl::DefaultHandler(TMessage&) {}

// Mouse messages arrive in client coordinates of this control.
void TControl::HandleMouse(TMessage& m) {
  const int x = MouseX(m.LParam);
  const int y = MouseY(m.LParam);
  TShiftState shift = 0;
  if (m.WParam & MK_SHIFT) shift |= ssShift;
  if (m.WParam & MK_CONTROL) shift |= ssCtrl;
  if (m.WParam & MK_LBUTTON) shift |= ssLeft;
  if (m.WParam & MK_RBUTTON) shift |= ssRight;
  detail::InputState& in = detail::Input();
  auto* self = dynamic_cast<TWinControl*>(this);
  uint32_t msg = m.Msg;
  if (msg == WM_LBUTTONDBLCLK && !(controlStyle_ & csDoubleClicks)) msg = WM_LBUTTONDOWN;
  // A click or a popup's handler may free this control (with its form).
  const auto alive = Lifetime();
  switch (msg) {
    case WM_LBUTTONDOWN:
      if (self != nullptr && self->FocusOnClick() && self->CanFocus() && !self->Focused()) self->SetFocus();
      if (alive.expired()) return;
      if (controlStyle_ & csCaptureMouse) in.capture = this;
      if (controlStyle_ & csClickEvents) clicked_ = true;
      MouseDown(TMouseButton::mbLeft, shift | ssLeft, x, y);
      break;
    case WM_LBUTTONDBLCLK:
      if (controlStyle_ & csCaptureMouse) in.capture = this;
      if (controlStyle_ & csClickEvents) DblClick();
      if (alive.expired()) return;
      MouseDown(TMouseButton::mbLeft, shift | ssLeft | ssDouble, x, y);
      break;
    case WM_LBUTTONUP: {
      if (in.capture == this) in.capture = nullptr;
      bool wasClicked = clicked_;
      clicked_ = false;
      if (wasClicked && ClientRect().Contains(TPoint{x, y})) Click();
      if (alive.expired()) return;
      MouseUp(TMouseButton::mbLeft, shift, x, y);
      break;
    }
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
      MouseDown(TMouseButton::mbRight, shift | ssRight, x, y);
      break;
    case WM_RBUTTONUP:
      MouseUp(TMouseButton::mbRight, shift, x, y);
      if (!alive.expired() && popupMenu_ != nullptr) {
        TPoint p = ClientToScreen(TPoint{x, y});
        popupMenu_->SetPopupComponent(this);
        popupMenu_->Popup(p.X, p.Y);
      }
      break;
    case WM_MOUSEMOVE:
      MouseMove(shift, x, y);
      break;
    default:
      break;
  }
}

void TControl::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (OnMouseDown) OnMouseDown(this, button, shift, x, y);
}

void TControl::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (OnMouseUp) OnMouseUp(this, button, shift, x, y);
}

void TControl::MouseMove(TShiftState shift, int x, int y) {
  if (OnMouseMove) OnMouseMove(this, shift, x, y);
}

void TControl::Click() {
  if (OnClick)
    OnClick(this);
  else if (actionLink_ != nullptr)
    actionLink_->Execute(this);
}

TBasicAction* TControl::Action() const { return actionLink_ != nullptr ? actionLink_->Action() : nullptr; }

std::unique_ptr<TControlActionLink> TControl::GetActionLinkClass() const {
  return std::make_unique<TControlActionLink>();
}

void TControl::SetAction(TBasicAction* action) {
  if (action == Action()) return;
  if (TBasicAction* old = Action()) old->RemoveFreeNotification(this);
  if (action == nullptr) {
    actionLink_.reset();
    return;
  }
  if (actionLink_ == nullptr) {
    actionLink_ = GetActionLinkClass();
    actionLink_->AssignClient(this);
  }
  action->FreeNotification(this);
  actionLink_->SetAction(action);
  ActionChange(action, true);
}

void TControl::ActionChange(TObject* sender, bool checkDefaults) {
  auto* a = dynamic_cast<TCustomAction*>(sender);
  if (a == nullptr) return;
  if (!checkDefaults || Caption().empty()) SetCaption(a->Caption());
  if (!checkDefaults || Enabled()) SetEnabled(a->Enabled());
  if (!checkDefaults || Hint().empty()) SetHint(a->Hint());
  if (!checkDefaults || Visible()) SetVisible(a->Visible());
}

void TControl::DblClick() {
  if (OnDblClick) OnDblClick(this);
}

void TControl::PaintControl() {}

void TControl::SetParent(TWinControl* parent) {
  if (parent == parent_) return;
  if (parent == this) throw EInvalidOperation("A control cannot be its own parent");
  for (const TControl* p = parent; p != nullptr; p = p->parent_)
    if (p == this) throw EInvalidOperation("A control cannot be the parent of its own parent");
  if (parent_ != nullptr) parent_->RemoveChild(this);
  if (parent != nullptr) {
    parent->InsertChild(this);
    if (parentColor_) color_ = parent->Color();
    if (parentFont_) {
      font_.OnChange = nullptr;
      font_.Assign(&parent->Font());
      font_.OnChange = [this](TObject*) { FontChanged(); };
    }
    if (parentShowHint_) showHint_ = parent->ShowHint();
    RequestAlign();
  }
}

bool TControl::HasAncestor(const TWinControl* ancestor) const {
  for (const TWinControl* p = parent_; p != nullptr; p = p->Parent())
    if (p == ancestor) return true;
  return false;
}

TCustomForm* TControl::ParentForm() const {
  const TControl* c = this;
  while (c->parent_ != nullptr) c = c->parent_;
  return dynamic_cast<TCustomForm*>(const_cast<TControl*>(c));
}

void TControl::SetBoundsQuiet(int left, int top, int width, int height) {
  left_ = left;
  top_ = top;
  width_ = std::max(0, width);
  height_ = std::max(0, height);
}

void TControl::SetBounds(int left, int top, int width, int height) {
  width = std::max(0, width);
  height = std::max(0, height);
  const bool moved = left != left_ || top != top_;
  const bool sized = width != width_ || height != height_;
  if (!moved && !sized) return;
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
  if (moved) Perform(WM_MOVE, 0, MakeMouseLParam(left, top));
  if (sized) {
    Perform(WM_SIZE, 0, MakeMouseLParam(ClientWidth(), ClientHeight()));
    if (OnResize) OnResize(this);
  }
  Invalidate();
  if (parent_ != nullptr) parent_->Invalidate();  // the old place shows the parent again
  RequestAlign();
}

// From the fixed frame, not from width_ - ClientWidth(): a control smaller
// than its frame has a client size clamped at 0.
void TControl::SetClientWidth(int w) { SetWidth(NonClientSize().X + w); }
void TControl::SetClientHeight(int h) { SetHeight(NonClientSize().Y + h); }

TPoint TControl::ClientOrigin() const {
  if (parent_ == nullptr) return TPoint{left_, top_};
  TPoint o = parent_->ClientOrigin();
  return TPoint{o.X + left_, o.Y + top_};
}

TPoint TControl::ClientToScreen(TPoint p) const {
  TPoint o = ClientOrigin();
  return TPoint{p.X + o.X, p.Y + o.Y};
}

TPoint TControl::ScreenToClient(TPoint p) const {
  TPoint o = ClientOrigin();
  return TPoint{p.X - o.X, p.Y - o.Y};
}

void TControl::SetAlign(TAlign align) {
  if (align == align_) return;
  align_ = align;
  RequestAlign();
}

void TControl::RequestAlign() {
  if (parent_ != nullptr && align_ != TAlign::alNone) parent_->Realign();
}

bool TControl::Showing() const {
  for (const TControl* c = this; c != nullptr; c = c->parent_)
    if (!c->visible_) return false;
  return true;
}

void TControl::SetVisible(bool visible) {
  if (visible == visible_) return;
  visible_ = visible;
  Perform(CM_VISIBLECHANGED, visible ? 1 : 0, 0);
  if (!visible && parent_ != nullptr) parent_->Invalidate();
  RequestAlign();
}

void TControl::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  Perform(CM_ENABLEDCHANGED, 0, 0);
}

bool TControl::EffectivelyEnabled() const {
  for (const TControl* c = this; c != nullptr; c = c->parent_)
    if (!c->enabled_) return false;
  return true;
}

void TControl::SetText(std::string_view text) {
  if (text == text_) return;
  text_ = std::string(text);
  Perform(CM_TEXTCHANGED, 0, 0);
}

void TControl::SetParentFont(bool v) {
  if (v == parentFont_) return;
  parentFont_ = v;
  if (v && parent_ != nullptr) ParentFontChanged();
}

void TControl::FontChanged() {
  parentFont_ = false;
  Perform(CM_FONTCHANGED, 0, 0);
}

void TControl::ParentFontChanged() {
  if (!parentFont_ || parent_ == nullptr) return;
  font_.OnChange = nullptr;
  font_.Assign(&parent_->Font());
  font_.OnChange = [this](TObject*) { FontChanged(); };
  Perform(CM_FONTCHANGED, 0, 0);
}

void TControl::SetColor(TColor color) {
  parentColor_ = false;
  if (color == color_) return;
  color_ = color;
  Perform(CM_COLORCHANGED, 0, 0);
}

void TControl::SetParentColor(bool v) {
  if (v == parentColor_) return;
  parentColor_ = v;
  if (v && parent_ != nullptr) Perform(CM_PARENTCOLORCHANGED, 0, 0);
}

void TControl::ParentColorChanged() {
  if (!parentColor_ || parent_ == nullptr) return;
  if (color_ != parent_->Color()) {
    color_ = parent_->Color();
    Perform(CM_COLORCHANGED, 0, 0);
  }
  parentColor_ = true;  // a colour taken from the parent keeps following it
}

void TControl::SetShowHint(bool v) {
  parentShowHint_ = false;
  if (v == showHint_) return;
  showHint_ = v;
  Perform(CM_SHOWHINTCHANGED, 0, 0);
}

void TControl::SetParentShowHint(bool v) {
  parentShowHint_ = v;
  if (v && parent_ != nullptr) showHint_ = parent_->ShowHint();
}

void TControl::SetCursor(TCursor c) {
  if (c == cursor_) return;
  cursor_ = c;
  Perform(CM_CURSORCHANGED, 0, 0);
}

void TControl::SetPopupMenu(TPopupMenu* menu) {
  if (popupMenu_ != nullptr) popupMenu_->RemoveFreeNotification(this);
  popupMenu_ = menu;
  if (menu != nullptr) menu->FreeNotification(this);
}

void TControl::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == TOperation::opRemove && component == popupMenu_) popupMenu_ = nullptr;
  if (operation == TOperation::opRemove && actionLink_ != nullptr && component == actionLink_->Action())
    actionLink_.reset();
}

void TControl::Invalidate() {
  if (Destroying() || paintPending_) return;
  paintPending_ = true;
  detail::InputState& s = detail::Input();
  prevPaint_ = s.paintTail;
  nextPaint_ = nullptr;
  if (s.paintTail != nullptr) s.paintTail->nextPaint_ = this;
  else s.paintHead = this;
  s.paintTail = this;
  queued_ = true;
}

void TControl::Unqueue() {
  if (!queued_) return;
  detail::InputState& s = detail::Input();
  if (prevPaint_ != nullptr) prevPaint_->nextPaint_ = nextPaint_;
  else s.paintHead = nextPaint_;
  if (nextPaint_ != nullptr) nextPaint_->prevPaint_ = prevPaint_;
  else s.paintTail = prevPaint_;
  prevPaint_ = nextPaint_ = nullptr;
  queued_ = false;
}

void TControl::Update() {
  Unqueue();
  if (!paintPending_) return;
  if (!Showing()) {
    paintPending_ = false;  // showing it again invalidates it
    return;
  }
  detail::PaintNow(this);
}

void TControl::Repaint() {
  Invalidate();
  Update();
}

TGraphicControl::TGraphicControl(TComponent* owner) : TControl(owner) { canvas_.SetControl(this); }

void TGraphicControl::PaintControl() {
  detail::PaintOwnCanvas(this, canvas_, [this] { Paint(); });
}

}  // namespace platform::ui

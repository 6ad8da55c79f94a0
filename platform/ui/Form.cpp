#include "platform/ui/Form.h"

#include <algorithm>

#include "platform/ui/Application.h"
#include "platform/ui/Backend.h"
#include "platform/ui/InputState.h"
#include "platform/ui/Screen.h"
#include "platform/win/MessageLoop.h"
#include "platform/win/Window.h"

namespace platform::ui {

TCustomForm* FindOwnerForm(TComponent* component) {
  for (TComponent* c = component; c != nullptr; c = c->Owner())
    if (auto* f = dynamic_cast<TCustomForm*>(c)) return f;
  return nullptr;
}

TCustomForm::TCustomForm(TComponent* owner) : TWinControl(owner) {
  SetVisible(false);
  SetBoundsQuiet(0, 0, 320, 240);
  SetColor(clBtnFace);
  SetParentFont(false);
  BeginLoading();
  Screen().AddForm(this);
}

TCustomForm::~TCustomForm() {
  Screen().RemoveForm(this);
  detail::InputState& in = detail::Input();
  if (in.focus != nullptr && (in.focus == this || in.focus->HasAncestor(this))) in.focus = nullptr;
  if (handle_ != 0) platform::win::DestroyWindow(handle_);
}

void TCustomForm::AfterConstruction() {
  TWinControl::AfterConstruction();
  EndLoading();
  DoCreate();
}

void TCustomForm::BeforeDestruction() {
  if (!destroyed_) {
    destroyed_ = true;
    DoDestroy();
  }
  if (Application().MainForm() == this) Application().MainFormGone();
  TWinControl::BeforeDestruction();
}

void TCustomForm::DoCreate() {
  if (OnCreate) OnCreate(this);
}

void TCustomForm::DoDestroy() {
  if (OnDestroy) OnDestroy(this);
}

platform::win::HWND TCustomForm::Handle() {
  if (handle_ == 0 && !Destroying()) {
    handle_ = platform::win::AllocateHWnd(
        [this](platform::win::HWND, platform::win::UINT msg, platform::win::WPARAM w, platform::win::LPARAM l) {
          return SafePerform(this, msg, w, l);
        });
  }
  return handle_;
}

void TCustomForm::SetMessageHandler(uint32_t msg, TMessageHandler handler) {
  if (handler)
    handlers_[msg] = std::move(handler);
  else
    handlers_.erase(msg);
}

void TCustomForm::SetBorderStyle(TFormBorderStyle s) {
  if (s == borderStyle_) return;
  const int cw = ClientWidth();
  const int ch = ClientHeight();
  borderStyle_ = s;
  TRect f = FrameSize();
  SetBounds(Left(), Top(), cw + f.Left + f.Right, ch + f.Top + f.Bottom);
}

// Fixed frame metrics of the classic look: frame 3 (sizeable 4), caption 19
// (tool windows 15).
TRect TCustomForm::FrameSize() const {
  switch (borderStyle_) {
    case TFormBorderStyle::bsNone:
      return TRect{0, 0, 0, 0};
    case TFormBorderStyle::bsSingle:
    case TFormBorderStyle::bsDialog:
      return TRect{3, 22, 3, 3};
    case TFormBorderStyle::bsSizeable:
      return TRect{4, 23, 4, 4};
    case TFormBorderStyle::bsToolWindow:
      return TRect{3, 18, 3, 3};
    case TFormBorderStyle::bsSizeToolWin:
      return TRect{4, 19, 4, 4};
  }
  return TRect{};
}

int TCustomForm::ClientWidth() const {
  TRect f = FrameSize();
  return std::max(0, Width() - f.Left - f.Right);
}

int TCustomForm::ClientHeight() const {
  TRect f = FrameSize();
  return std::max(0, Height() - f.Top - f.Bottom);
}

TPoint TCustomForm::NonClientSize() const {
  const TRect f = FrameSize();
  return TPoint{f.Left + f.Right, f.Top + f.Bottom};
}

TPoint TCustomForm::ClientOrigin() const {
  TRect f = FrameSize();
  return TPoint{Left() + f.Left, Top() + f.Top};
}

void TCustomForm::PlaceOnScreen() {
  if (placed_) return;
  placed_ = true;
  TRect d = Screen().DesktopRect();
  switch (position_) {
    case TPosition::poScreenCenter:
    case TPosition::poDesktopCenter:
      SetBounds(d.Left + (d.Width() - Width()) / 2, d.Top + (d.Height() - Height()) / 2, Width(), Height());
      break;
    case TPosition::poMainFormCenter:
    case TPosition::poOwnerFormCenter: {
      TCustomForm* ref = position_ == TPosition::poMainFormCenter ? Application().MainForm() : FindOwnerForm(Owner());
      if (ref == nullptr || ref == this) ref = nullptr;
      TRect r = ref != nullptr ? ref->BoundsRect() : d;
      SetBounds(r.Left + (r.Width() - Width()) / 2, r.Top + (r.Height() - Height()) / 2, Width(), Height());
      break;
    }
    default:
      break;
  }
}

void TCustomForm::WndProc(TMessage& m) {
  if (auto it = handlers_.find(m.Msg); it != handlers_.end()) {
    TMessageHandler h = it->second;  // the handler may replace itself
    h(m);
    return;
  }
  TWinControl::WndProc(m);
}

void TCustomForm::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case platform::win::WM_CLOSE:
      Close();
      return;
    case CM_DIALOGKEY: {
      auto shift = static_cast<TShiftState>(m.LParam);
      if (m.WParam == VK_TAB && !(shift & (ssCtrl | ssAlt))) {
        SelectNext(activeControl_, !(shift & ssShift), true);
        m.Result = 1;
        return;
      }
      Broadcast(m);
      return;
    }
    case CM_VISIBLECHANGED:
      if (m.WParam != 0) {
        PlaceOnScreen();
        Screen().MoveToFront(this);
        TWinControl::Dispatch(m);
        if (OnShow) OnShow(this);
        Activate();
      } else {
        Deactivate();
        TWinControl::Dispatch(m);
        if (OnHide) OnHide(this);
      }
      return;
    default:
      TWinControl::Dispatch(m);
  }
}

void TCustomForm::BringToFront() {
  if (!Visible() || Active()) return;
  Screen().MoveToFront(this);
  Activate();
}

bool TCustomForm::CloseQuery() {
  bool canClose = true;
  if (OnCloseQuery) OnCloseQuery(this, canClose);
  return canClose;
}

// OnCloseQuery or OnClose may free the form; it is left alone then.
void TCustomForm::Close() {
  if (modal_) {
    // The modal loop closes the form once it sees the result.
    modalResult_ = mrCancel;
    return;
  }
  const auto alive = Lifetime();
  if (!CloseQuery() || alive.expired()) return;
  TCloseAction action = Application().MainForm() == this ? TCloseAction::caFree : TCloseAction::caHide;
  if (OnClose) OnClose(this, action);
  if (alive.expired()) return;
  switch (action) {
    case TCloseAction::caNone:
      return;
    case TCloseAction::caHide:
    case TCloseAction::caMinimize:
      Hide();
      break;
    case TCloseAction::caFree:
      Hide();
      if (Application().MainForm() != this) Release();
      break;
  }
  if (Application().MainForm() == this && action != TCloseAction::caNone) Application().Terminate();
}

void TCustomForm::Release() { Application().ReleaseLater(this); }

TModalResult TCustomForm::ShowModal() {
  if (Visible() || modal_ || !Enabled()) throw EInvalidOperation("Cannot make a visible window modal");
  TWinControl* previousFocus = detail::Input().focus;
  // Only the forms showing now are blocked, as a modal window disables the
  // visible windows of its thread: a form made earlier but shown later
  // (from this one) takes input.
  std::vector<TCustomForm*> blocked;
  for (TCustomForm* f : Screen().FormsOfThread())
    if (f != this && f->Visible()) blocked.push_back(f);
  for (TCustomForm* f : blocked) ++f->modalBlock_;
  modal_ = true;
  modalResult_ = mrNone;
  // A handler may free this form inside the loop: then only the other
  // forms are restored, and the answer is the result it closed with
  // (mrCancel when none).
  const auto alive = Lifetime();
  TModalResult result = mrCancel;
  auto restore = [&] {
    if (!alive.expired()) {
      modal_ = false;
      Hide();
    }
    for (TCustomForm* f : Screen().FormsOfThread())
      if (std::find(blocked.begin(), blocked.end(), f) != blocked.end() && f->modalBlock_ > 0) --f->modalBlock_;
    if (previousFocus != nullptr && Screen().IsLiveControl(previousFocus) && previousFocus->CanFocus())
      previousFocus->SetFocus();
  };
  try {
    Show();
    Backend().ModalStarted(*this);
    while (!alive.expired()) {
      Application().WaitForModal(*this);
      if (alive.expired()) break;
      if (Application().Terminated() && modalResult_ == mrNone) modalResult_ = mrCancel;
      if (modalResult_ == mrNone) continue;
      result = modalResult_;
      // Closing: OnCloseQuery may refuse, OnClose may keep the form.
      const bool closes = CloseQuery();
      if (alive.expired()) break;
      if (!closes) {
        modalResult_ = mrNone;
        continue;
      }
      TCloseAction action = TCloseAction::caHide;
      if (OnClose) OnClose(this, action);
      if (alive.expired()) break;
      if (action == TCloseAction::caNone) {
        modalResult_ = mrNone;
        continue;
      }
      result = modalResult_;
      break;
    }
  } catch (...) {
    restore();
    throw;
  }
  restore();
  return result;
}

bool TCustomForm::Active() const { return Screen().ActiveForm() == this; }

void TCustomForm::SetActiveControl(TWinControl* control) {
  if (control == activeControl_) return;
  if (control != nullptr && (control == this || !control->HasAncestor(this)))
    throw EInvalidOperation("The active control must be a control of the form");
  if (control != nullptr && Visible() && !control->CanFocus())
    throw EInvalidOperation("Cannot focus a disabled or invisible window");
  activeControl_ = control;
  if (Visible() && Active() && control != nullptr) FocusControl(control);
}

void TCustomForm::Activate() {
  if (!Visible()) return;
  Screen().SetActiveForm(this);
  TWinControl* target = nullptr;
  if (activeControl_ != nullptr && activeControl_->CanFocus()) target = activeControl_;
  if (target == nullptr) target = FindNextControl(nullptr, true, true);
  if (target == nullptr) target = this;
  if (Survives([&] { FocusControl(target); }) && OnActivate) OnActivate(this);
}

void TCustomForm::Deactivate() {
  detail::InputState& in = detail::Input();
  if (in.focus != nullptr && (in.focus == this || in.focus->HasAncestor(this))) {
    TWinControl* old = in.focus;
    in.focus = nullptr;
    old->Perform(WM_KILLFOCUS, 0, 0);
  }
  if (Screen().ActiveForm() == this) Screen().SetActiveForm(nullptr);
}

// Moves the thread's focus to control (a control of this form or the form).
void TCustomForm::FocusControl(TWinControl* control) {
  detail::InputState& in = detail::Input();
  TWinControl* old = in.focus;
  if (old == control) return;
  in.focus = control;
  if (old != nullptr) old->Perform(WM_KILLFOCUS, 0, 0);
  if (in.focus == control) control->Perform(WM_SETFOCUS, 0, 0);
}

// OnExit and OnEnter may free the form or the control; the walk ends then.
void TCustomForm::SetFocusedControl(TWinControl* control) {
  if (control != this && !control->HasAncestor(this)) return;
  const auto formAlive = Lifetime();
  const auto controlAlive = control->Lifetime();
  const auto gone = [&] { return formAlive.expired() || controlAlive.expired(); };
  activeControl_ = control == this ? nullptr : control;
  Screen().SetActiveForm(this);
  if (focusedControl_ == nullptr) focusedControl_ = this;
  if (focusedControl_ == control) return;
  while (focusedControl_ != nullptr && !focusedControl_->ContainsControl(control)) {
    TWinControl* leaving = focusedControl_;
    focusedControl_ = leaving->Parent();
    leaving->Perform(CM_EXIT, 0, 0);
    if (gone()) return;
  }
  if (focusedControl_ == nullptr) focusedControl_ = this;
  while (focusedControl_ != control) {
    TWinControl* step = control;
    while (step->Parent() != focusedControl_) step = step->Parent();
    focusedControl_ = step;
    step->Perform(CM_ENTER, 0, 0);
    if (gone()) return;
  }
  Perform(CM_FOCUSCHANGED, 0, reinterpret_cast<LPARAM>(control));
}

void TCustomForm::DefocusControl(TWinControl* control) {
  detail::InputState& in = detail::Input();
  if (in.focus != nullptr && control->ContainsControl(in.focus)) FocusControl(this);
  if (activeControl_ != nullptr && control->ContainsControl(activeControl_)) activeControl_ = nullptr;
}

// A control leaves the form (destroyed or moved): nothing may point at it.
void TCustomForm::ForgetControl(TControl* control) {
  auto* w = dynamic_cast<TWinControl*>(control);
  if (w == nullptr) return;
  if (activeControl_ != nullptr && w->ContainsControl(activeControl_)) activeControl_ = nullptr;
  if (focusedControl_ != nullptr && w->ContainsControl(focusedControl_)) focusedControl_ = w->Parent();
  detail::InputState& in = detail::Input();
  if (in.focus != nullptr && w->ContainsControl(in.focus)) in.focus = this;
}

}  // namespace platform::ui

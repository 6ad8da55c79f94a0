#include "platform/ui/WinControl.h"

#include <algorithm>

#include "platform/ui/Application.h"
#include "platform/ui/Backend.h"
#include "platform/ui/Bitmap.h"
#include "platform/ui/Form.h"
#include "platform/ui/InputState.h"
#include "platform/ui/Paint.h"

namespace platform::ui {

namespace {

char UpperCp1251(char c) {
  auto u = static_cast<unsigned char>(c);
  if (u >= 'a' && u <= 'z') return static_cast<char>(u - 32);
  if (u >= 0xE0) return static_cast<char>(u - 32);  // а..я
  if (u == 0xB8) return static_cast<char>(0xA8);    // ё
  return c;
}

}  // namespace

bool IsAccel(char key, std::string_view caption) {
  for (size_t i = 0; i + 1 < caption.size(); ++i) {
    if (caption[i] != '&') continue;
    if (caption[i + 1] == '&') {
      ++i;  // "&&" is a literal "&"
      continue;
    }
    return UpperCp1251(caption[i + 1]) == UpperCp1251(key);
  }
  return false;
}

LRESULT SafePerform(TControl* control, uint32_t msg, WPARAM wParam, LPARAM lParam) {
  if (control == nullptr) return 0;
  try {
    return control->Perform(msg, wParam, lParam);
  } catch (...) {
    HandleDispatchException(std::current_exception());
    return 0;
  }
}

TWinControl::TWinControl(TComponent* owner) : TControl(owner) {}

TWinControl::~TWinControl() {
  // Children go with their parent, whoever owns them.
  while (!controls_.empty()) {
    TControl* child = controls_.back();
    RemoveChild(child);
    Free(child);
  }
  detail::ForgetWindow(this);
  if (surface_ != nullptr && Parent() == nullptr) Backend().WindowDestroyed(*this);
}

int TWinControl::SetWindowRgn(HRGN region, bool redraw) {
  if (region == nullptr) {
    windowRegion_.reset();
  } else {
    std::optional<TRegion> taken = TakeRegion(region);
    if (!taken) return 0;
    windowRegion_ = std::move(*taken);
  }
  if (Parent() != nullptr) {
    if (redraw) Parent()->Invalidate();
  } else if (surface_ != nullptr) {
    Backend().WindowChanged(*this);
  }
  if (redraw) Invalidate();
  return 1;
}

bool TWinControl::HitTest(TPoint p) const {
  if (p.X < 0 || p.Y < 0 || p.X >= Width() || p.Y >= Height()) return false;
  return !windowRegion_ || windowRegion_->Contains(p.X, p.Y);
}

TBitmap& TWinControl::WindowBitmap() {
  TWinControl* top = TopLevelOf(this);
  if (top != this) return top->WindowBitmap();
  if (surface_ == nullptr) surface_ = std::make_unique<TBitmap>();
  return *surface_;
}

void TWinControl::BeforeDestruction() {
  if (TCustomForm* form = ParentForm(); form != nullptr && form != this) form->ForgetControl(this);
  TControl::BeforeDestruction();
}

TControl* TWinControl::Controls(int index) const {
  if (index < 0 || index >= ControlCount()) return nullptr;
  return controls_[static_cast<size_t>(index)];
}

bool TWinControl::ContainsControl(const TControl* control) const {
  return control == this || (control != nullptr && control->HasAncestor(this));
}

void TWinControl::InsertChild(TControl* control) {
  controls_.push_back(control);
  control->parent_ = this;
  if (auto* w = dynamic_cast<TWinControl*>(control)) tabList_.push_back(w);
}

void TWinControl::RemoveChild(TControl* control) {
  if (TCustomForm* form = ParentForm(); form != nullptr) form->ForgetControl(control);
  controls_.erase(std::remove(controls_.begin(), controls_.end(), control), controls_.end());
  tabList_.erase(std::remove(tabList_.begin(), tabList_.end(), control), tabList_.end());
  control->parent_ = nullptr;
  if (control->Visible()) Invalidate();  // its area shows the parent again
  detail::InputState& in = detail::Input();
  if (in.capture != nullptr && (in.capture == control || in.capture->HasAncestor(dynamic_cast<TWinControl*>(control))))
    in.capture = nullptr;
}

TControl* TWinControl::ControlAtPos(TPoint p) const {
  for (auto it = controls_.rbegin(); it != controls_.rend(); ++it) {
    TControl* c = *it;
    if (!c->Visible() || !c->BoundsRect().Contains(p)) continue;
    if (auto* w = dynamic_cast<TWinControl*>(c)) {
      if (!w->HitTest(TPoint{p.X - c->Left(), p.Y - c->Top()})) continue;
      TPoint origin = w->ClientOrigin();
      TPoint mine = ClientOrigin();
      TPoint inner{p.X + mine.X - origin.X, p.Y + mine.Y - origin.Y};
      if (TControl* deeper = w->ControlAtPos(inner)) return deeper;
    }
    return c;
  }
  return nullptr;
}

void TWinControl::Broadcast(TMessage& message) {
  const auto alive = Lifetime();
  std::vector<TControl*> children = controls_;  // a handler may change the list
  for (TControl* c : children) {
    if (alive.expired()) return;
    if (std::find(controls_.begin(), controls_.end(), c) == controls_.end()) continue;
    c->Perform(message);
    if (message.Result != 0) return;
  }
}

int TWinControl::TabOrder() const {
  if (Parent() == nullptr) return -1;
  const auto& list = Parent()->tabList_;
  auto it = std::find(list.begin(), list.end(), this);
  return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

void TWinControl::SetTabOrder(int order) {
  if (Parent() == nullptr) return;
  auto& list = Parent()->tabList_;
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
  order = std::clamp(order, 0, static_cast<int>(list.size()));
  list.insert(list.begin() + order, this);
}

void TWinControl::CollectTabSequence(std::vector<TWinControl*>& out) const {
  for (TWinControl* w : tabList_) {
    out.push_back(w);
    w->CollectTabSequence(out);
  }
}

TWinControl* TWinControl::FindNextControl(TWinControl* current, bool forward, bool checkTabStop) const {
  std::vector<TWinControl*> seq;
  CollectTabSequence(seq);
  if (seq.empty()) return nullptr;
  const int n = static_cast<int>(seq.size());
  int start = -1;
  if (current != nullptr) {
    auto it = std::find(seq.begin(), seq.end(), current);
    if (it != seq.end()) start = static_cast<int>(it - seq.begin());
  }
  for (int step = 1; step <= n; ++step) {
    int i;
    if (start < 0)
      i = forward ? step - 1 : n - step;
    else
      i = ((forward ? start + step : start - step) % n + n) % n;
    TWinControl* c = seq[static_cast<size_t>(i)];
    if (c == current) continue;
    if (c->CanFocus() && (!checkTabStop || c->TabStop())) return c;
  }
  return nullptr;
}

void TWinControl::SelectNext(TWinControl* current, bool forward, bool checkTabStop) {
  if (TWinControl* next = FindNextControl(current, forward, checkTabStop)) next->SetFocus();
}

bool TWinControl::CanFocus() const {
  TCustomForm* form = ParentForm();
  if (form == nullptr) return false;
  if (form->ModalBlocked()) return false;
  for (const TControl* c = this; c != nullptr; c = c->Parent())
    if (!c->Visible() || !c->Enabled()) return false;
  return true;
}

void TWinControl::SetFocus() {
  if (!CanFocus()) throw EInvalidOperation("Cannot focus a disabled or invisible window");
  TCustomForm* form = ParentForm();
  form->FocusControl(this);
}

bool TWinControl::Focused() const { return detail::Input().focus == this; }

TWinControl* TWinControl::FocusedControl() { return detail::Input().focus; }

bool TWinControl::WantsKey(uint16_t key, TShiftState) const {
  return key != VK_TAB && key != VK_RETURN && key != VK_ESCAPE;
}

void TWinControl::Dispatch(TMessage& m) {
  const auto alive = Lifetime();
  DispatchOwn(m);
  if (alive.expired() || Parent() != nullptr) return;
  switch (m.Msg) {
    case CM_VISIBLECHANGED:
    case CM_TEXTCHANGED:
    case WM_MOVE:
    case WM_SIZE:
      Backend().WindowChanged(*this);
      break;
    default:
      break;
  }
}

void TWinControl::DispatchOwn(TMessage& m) {
  switch (m.Msg) {
    case WM_SETFOCUS:
      Invalidate();
      if (TCustomForm* form = ParentForm()) form->SetFocusedControl(this);
      return;
    case WM_KILLFOCUS:
      Invalidate();
      return;
    case WM_ERASEBKGND:
      detail::EraseBackground(this, Color());
      m.Result = 1;
      return;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      HandleKeyDown(m);
      return;
    case WM_KEYUP:
    case WM_SYSKEYUP: {
      auto key = static_cast<uint16_t>(m.WParam);
      auto shift = static_cast<TShiftState>(m.LParam);
      if (OnKeyUp && !Survives([&] { OnKeyUp(this, key, shift); })) return;
      if (key != 0) KeyUp(key, shift);
      return;
    }
    case WM_CHAR:
      HandleChar(m, false);
      return;
    case WM_SYSCHAR:
      HandleChar(m, true);
      return;
    case CM_DIALOGKEY:
    case CM_DIALOGCHAR:
    case CM_FOCUSCHANGED:
      Broadcast(m);
      return;
    case CM_ENTER:
      DoEnter();
      return;
    case CM_EXIT:
      DoExit();
      return;
    case CM_COLORCHANGED: {
      TControl::Dispatch(m);
      TMessage n{CM_PARENTCOLORCHANGED, 0, 0, 0};
      for (TControl* c : std::vector<TControl*>(controls_)) c->Perform(n);
      return;
    }
    case CM_FONTCHANGED: {
      TControl::Dispatch(m);
      for (TControl* c : std::vector<TControl*>(controls_)) c->Perform(CM_PARENTFONTCHANGED, 0, 0);
      return;
    }
    case CM_SHOWHINTCHANGED:
      for (TControl* c : std::vector<TControl*>(controls_)) c->Perform(CM_PARENTSHOWHINTCHANGED, 0, 0);
      return;
    case CM_VISIBLECHANGED:
    case CM_ENABLEDCHANGED: {
      const bool off = m.Msg == CM_VISIBLECHANGED ? m.WParam == 0 : !Enabled();
      if (off) {
        if (TCustomForm* form = ParentForm(); form != nullptr && form != this) form->DefocusControl(this);
      }
      TControl::Dispatch(m);
      if (!off && m.Msg == CM_VISIBLECHANGED) InvalidateTree();
      return;
    }
    default:
      TControl::Dispatch(m);
  }
}

// The dialog key's handlers, OnKeyDown and KeyDown may free this control
// (with its form); nothing of it is touched after that.
void TWinControl::HandleKeyDown(TMessage& m) {
  auto key = static_cast<uint16_t>(m.WParam);
  auto shift = static_cast<TShiftState>(m.LParam);
  if (m.Msg == WM_SYSKEYDOWN) shift |= ssAlt;
  if (!WantsKey(key, shift)) {
    if (TCustomForm* form = ParentForm()) {
      LRESULT used = 0;
      if (!Survives([&] { used = form->Perform(CM_DIALOGKEY, key, static_cast<LPARAM>(shift)); })) return;
      if (used != 0) {
        m.Result = 1;  // the key is used up; no character follows it
        return;
      }
    }
  }
  if (OnKeyDown && !Survives([&] { OnKeyDown(this, key, shift); })) return;
  if (key != 0) KeyDown(key, shift);
}

void TWinControl::HandleChar(TMessage& m, bool system) {
  char ch = static_cast<char>(m.WParam);
  if (!system) {
    if (OnKeyPress && !Survives([&] { OnKeyPress(this, ch); })) return;
    if (ch == 0) return;
    if (WantsChars()) {
      KeyPress(ch);
      return;
    }
  }
  if (TCustomForm* form = ParentForm()) m.Result = form->Perform(CM_DIALOGCHAR, static_cast<unsigned char>(ch), 0);
}

void TWinControl::KeyDown(uint16_t&, TShiftState) {}
void TWinControl::KeyUp(uint16_t&, TShiftState) {}
void TWinControl::KeyPress(char&) {}

void TWinControl::DoEnter() {
  if (OnEnter) OnEnter(this);
}

void TWinControl::DoExit() {
  if (OnExit) OnExit(this);
}

void TWinControl::PaintControl() {}

void TWinControl::SetBounds(int left, int top, int width, int height) {
  TControl::SetBounds(left, top, width, height);
  AlignControls();
}

void TWinControl::Realign() { AlignControls(); }

void TWinControl::InvalidateTree() {
  for (TControl* c : controls_) {
    c->Invalidate();
    if (auto* w = dynamic_cast<TWinControl*>(c)) w->InvalidateTree();
  }
}

// Docks aligned children to the edges of the client area in the order top,
// bottom, left, right, client; each in child order.
void TWinControl::AlignControls() {
  if (aligning_) return;
  aligning_ = true;
  TRect r = ClientRect();
  auto place = [&](TAlign which) {
    for (TControl* c : controls_) {
      if (c->Align() != which || !c->Visible()) continue;
      switch (which) {
        case TAlign::alTop:
          c->SetBounds(r.Left, r.Top, r.Width(), c->Height());
          r.Top += c->Height();
          break;
        case TAlign::alBottom:
          c->SetBounds(r.Left, r.Bottom - c->Height(), r.Width(), c->Height());
          r.Bottom -= c->Height();
          break;
        case TAlign::alLeft:
          c->SetBounds(r.Left, r.Top, c->Width(), r.Height());
          r.Left += c->Width();
          break;
        case TAlign::alRight:
          c->SetBounds(r.Right - c->Width(), r.Top, c->Width(), r.Height());
          r.Right -= c->Width();
          break;
        case TAlign::alClient:
          c->SetBounds(r.Left, r.Top, r.Width(), r.Height());
          break;
        case TAlign::alNone:
          break;
      }
    }
  };
  try {
    for (TAlign a : {TAlign::alTop, TAlign::alBottom, TAlign::alLeft, TAlign::alRight, TAlign::alClient}) place(a);
  } catch (...) {
    aligning_ = false;
    throw;
  }
  aligning_ = false;
}

TCustomControl::TCustomControl(TComponent* owner) : TWinControl(owner) { canvas_.SetControl(this); }

void TCustomControl::PaintControl() {
  detail::PaintOwnCanvas(this, canvas_, [this] { Paint(); });
}

}  // namespace platform::ui

#include "platform/ui/Headless.h"

#include <atomic>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "platform/ui/Application.h"
#include "platform/ui/CheckBox.h"
#include "platform/ui/ComboBox.h"
#include "platform/ui/Edit.h"
#include "platform/ui/Grid.h"
#include "platform/ui/InputState.h"
#include "platform/ui/ListBox.h"
#include "platform/ui/Menu.h"
#include "platform/ui/PageControl.h"
#include "platform/ui/SaveDialog.h"
#include "platform/ui/Screen.h"
#include "platform/ui/X11Backend.h"
#include "platform/win/MessageLoop.h"

namespace platform::ui {

namespace {

std::mutex gTrayMutex;

THeadlessBackend& TheHeadless() {
  static THeadlessBackend* backend = new THeadlessBackend();  // lives to the end of the process
  return *backend;
}

[[noreturn]] void Fail(const std::string& what) { throw std::runtime_error(what); }

void Require(const TControl* c, const char* action) {
  if (c == nullptr) Fail(std::string(action) + ": no such control");
  if (!c->Showing()) Fail(std::string(action) + ": " + c->Name() + " is not showing");
}

// The control that takes the mouse at a screen point: the deepest showing
// control of the front-most form containing it; none when that form is
// held by a modal one or the control (or a parent) is disabled.
TControl* MouseTarget(TPoint p) {
  detail::InputState& in = detail::Input();
  if (in.capture != nullptr) return in.capture;
  for (TCustomForm* f : Screen().FormsOfThread()) {
    if (!f->Visible() || !f->HitTest(TPoint{p.X - f->Left(), p.Y - f->Top()})) continue;
    if (f->ModalBlocked()) return nullptr;
    TControl* target = f->ControlAtPos(f->ScreenToClient(p));
    if (target == nullptr) target = f;
    return target->EffectivelyEnabled() ? target : nullptr;
  }
  return nullptr;
}

void SendMouse(TControl* target, uint32_t msg, WPARAM keys, TPoint screen) {
  TPoint c = target->ScreenToClient(screen);
  SafePerform(target, msg, keys, MakeMouseLParam(c.X, c.Y));
}

// The mouse of the running backend: the driver also acts on the forms of a
// display backend (a host's scripted actions before the person answers).
void Track(TPoint p) {
  platform::ui::Backend().SetCursorPos(p);
  detail::InputState& in = detail::Input();
  TControl* now = nullptr;
  for (TCustomForm* f : Screen().FormsOfThread()) {
    if (!f->Visible() || !f->HitTest(TPoint{p.X - f->Left(), p.Y - f->Top()})) continue;
    now = f->ControlAtPos(f->ScreenToClient(p));
    if (now == nullptr) now = f;
    break;
  }
  if (now != in.hover) {
    TControl* old = in.hover;
    in.hover = now;
    if (old != nullptr) SafePerform(old, CM_MOUSELEAVE, 0, 0);
    if (now != nullptr) SafePerform(now, CM_MOUSEENTER, 0, 0);
  }
  Application().HintMouseMessage(now, p);
  if (TControl* target = MouseTarget(p)) SendMouse(target, WM_MOUSEMOVE, 0, p);
}

TWinControl* FocusedOrFail() {
  TWinControl* f = TWinControl::FocusedControl();
  if (f == nullptr) Fail("no control has the focus");
  return f;
}

}  // namespace

namespace {
std::atomic<bool> gHeadlessOnly{false};
std::atomic<bool> gBackendChosen{false};
}  // namespace

bool UseHeadlessBackend() {
  gHeadlessOnly = true;
  return !gBackendChosen;
}

// The display backend when DISPLAY is set, FERROWICK_UI is not "headless",
// UseHeadlessBackend was not called and the display opens; otherwise the
// headless one.
TBackend& Backend() {
  static TBackend* chosen = [] () -> TBackend* {
    gBackendChosen = true;
    if (gHeadlessOnly) return &TheHeadless();
    const char* display = std::getenv("DISPLAY");
    const char* choice = std::getenv("FERROWICK_UI");
    if (display != nullptr && *display != 0 && (choice == nullptr || std::string_view(choice) != "headless")) {
      try {
        return new TX11Backend();  // lives to the end of the process
      } catch (const EX11Error& e) {
        std::fprintf(stderr, "%s: this process shows no window\n", e.what());
      }
    }
    return &TheHeadless();
  }();
  return *chosen;
}

bool THeadlessBackend::TrayAdd(const TTrayIcon& icon) {
  std::lock_guard lock(gTrayMutex);
  if (!trayAvailable_) return false;
  for (const TTrayIcon& t : tray_)
    if (t.Wnd == icon.Wnd && t.ID == icon.ID) return false;
  tray_.push_back(icon);
  return true;
}

bool THeadlessBackend::TrayModify(const TTrayIcon& icon) {
  std::lock_guard lock(gTrayMutex);
  if (!trayAvailable_) return false;
  for (TTrayIcon& t : tray_)
    if (t.Wnd == icon.Wnd && t.ID == icon.ID) {
      if (icon.Flags & 1) t.CallbackMessage = icon.CallbackMessage;
      if (icon.Flags & 2) t.Icon = icon.Icon;
      if (icon.Flags & 4) t.Tip = icon.Tip;
      return true;
    }
  return false;
}

bool THeadlessBackend::TrayDelete(platform::win::HWND wnd, uint32_t id) {
  std::lock_guard lock(gTrayMutex);
  if (!trayAvailable_) return false;
  for (auto it = tray_.begin(); it != tray_.end(); ++it)
    if (it->Wnd == wnd && it->ID == id) {
      tray_.erase(it);
      return true;
    }
  return false;
}

void THeadlessBackend::ModalStarted(TCustomForm& form) {
  std::function<void(TCustomForm&)> answer;
  if (!modalAnswers_.empty()) {
    answer = std::move(modalAnswers_.front());
    modalAnswers_.erase(modalAnswers_.begin());
  } else {
    answer = defaultModalAnswer_;
  }
  if (!answer) return;
  try {
    answer(form);
  } catch (...) {
    HandleDispatchException(std::current_exception());
  }
}

bool THeadlessBackend::ExecuteSaveDialog(TSaveDialog& dialog, std::string& fileName) {
  if (saveAnswers_.empty()) return false;
  auto answer = std::move(saveAnswers_.front());
  saveAnswers_.erase(saveAnswers_.begin());
  return answer(dialog, fileName);
}

THeadlessBackend& THeadlessDriver::Backend() {
  auto* h = dynamic_cast<THeadlessBackend*>(&platform::ui::Backend());
  if (h == nullptr) Fail("the headless backend is not running");
  return *h;
}

TCustomForm* THeadlessDriver::FindForm(std::string_view name) {
  for (TCustomForm* f : Screen().FormsOfThread())
    if (f->Name() == name) return f;
  return nullptr;
}

TComponent* THeadlessDriver::FindIn(TComponent* root, std::string_view name) {
  if (root == nullptr) return nullptr;
  for (int i = 0; i < root->ComponentCount(); ++i) {
    TComponent* c = root->Components(i);
    if (c->Name() == name) return c;
    if (TComponent* deeper = FindIn(c, name)) return deeper;
  }
  return nullptr;
}

TComponent* THeadlessDriver::Find(std::string_view path) {
  const size_t dot = path.find('.');
  if (dot != std::string_view::npos) return FindIn(FindForm(path.substr(0, dot)), path.substr(dot + 1));
  for (TCustomForm* f : Screen().FormsOfThread()) {
    if (f->Name() == path) return f;
    if (TComponent* c = FindIn(f, path)) return c;
  }
  return nullptr;
}

TControl* THeadlessDriver::FindControl(std::string_view path) { return dynamic_cast<TControl*>(Find(path)); }

TPoint THeadlessDriver::Middle(TControl* control) {
  return control->ClientToScreen(TPoint{control->ClientWidth() / 2, control->ClientHeight() / 2});
}

void THeadlessDriver::MoveTo(TPoint p) { Track(p); }

void THeadlessDriver::MoveTo(TControl* control) {
  Require(control, "MoveTo");
  Track(Middle(control));
}

void THeadlessDriver::MouseDown(TPoint p, TMouseButton button) {
  Track(p);
  if (TControl* t = MouseTarget(p))
    SendMouse(t, button == TMouseButton::mbLeft ? WM_LBUTTONDOWN : WM_RBUTTONDOWN,
              button == TMouseButton::mbLeft ? MK_LBUTTON : MK_RBUTTON, p);
}

void THeadlessDriver::MouseUp(TPoint p, TMouseButton button) {
  platform::ui::Backend().SetCursorPos(p);
  if (TControl* t = MouseTarget(p)) SendMouse(t, button == TMouseButton::mbLeft ? WM_LBUTTONUP : WM_RBUTTONUP, 0, p);
  detail::Input().capture = nullptr;
}

void THeadlessDriver::Click(TComponent* component) {
  if (auto* item = dynamic_cast<TMenuItem*>(component)) {
    TPopupMenu* menu = MenuOf(item);
    if (menu == nullptr || !menu->IsOpen()) Fail("Click: the menu of " + item->Name() + " is not open");
    if (item->Visible()) {
      try {
        item->Click();
      } catch (...) {
        HandleDispatchException(std::current_exception());
      }
    }
    return;
  }
  auto* control = dynamic_cast<TControl*>(component);
  Require(control, "Click");
  TPoint p = Middle(control);
  MouseDown(p);
  MouseUp(p);
}

void THeadlessDriver::DblClick(TControl* control) {
  Require(control, "DblClick");
  TPoint p = Middle(control);
  MouseDown(p);
  MouseUp(p);
  Track(p);
  if (TControl* t = MouseTarget(p)) SendMouse(t, WM_LBUTTONDBLCLK, MK_LBUTTON, p);
  MouseUp(p);
}

void THeadlessDriver::RightClick(TControl* control) {
  Require(control, "RightClick");
  TPoint p = Middle(control);
  MouseDown(p, TMouseButton::mbRight);
  MouseUp(p, TMouseButton::mbRight);
}

void THeadlessDriver::PressKey(uint16_t key, TShiftState shift) {
  TWinControl* target = FocusedOrFail();
  const uint32_t down = (shift & ssAlt) ? WM_SYSKEYDOWN : WM_KEYDOWN;
  const LRESULT used = SafePerform(target, down, key, static_cast<LPARAM>(shift));
  char ch = 0;
  if (key == VK_RETURN) ch = '\r';
  if (key == VK_ESCAPE) ch = 27;
  if (key == VK_SPACE) ch = ' ';
  if (key == VK_BACK) ch = '\b';
  if (key == VK_TAB) ch = '\t';
  // A key used up as a dialog key makes no character.
  if (used == 0 && ch != 0 && !(shift & (ssCtrl | ssAlt)))
    if (TWinControl* now = TWinControl::FocusedControl()) SafePerform(now, WM_CHAR, static_cast<unsigned char>(ch), 0);
  if (TWinControl* now = TWinControl::FocusedControl())
    SafePerform(now, (shift & ssAlt) ? WM_SYSKEYUP : WM_KEYUP, key, static_cast<LPARAM>(shift));
}

void THeadlessDriver::Type(std::string_view text) {
  for (char c : text) SafePerform(FocusedOrFail(), WM_CHAR, static_cast<unsigned char>(c), 0);
}

void THeadlessDriver::AltChar(char c) { SafePerform(FocusedOrFail(), WM_SYSCHAR, static_cast<unsigned char>(c), 0); }

void THeadlessDriver::Fill(TControl* control, std::string_view text) {
  Require(control, "Fill");
  auto* w = dynamic_cast<TWinControl*>(control);
  if (w == nullptr || !w->CanFocus()) Fail("Fill: " + control->Name() + " cannot take the focus");
  try {
    if (w->Focused()) {
      if (auto* e = dynamic_cast<TEdit*>(w)) e->SelectAll();
    } else {
      w->SetFocus();
    }
  } catch (...) {
    HandleDispatchException(std::current_exception());
  }
  Type(text);
}

void THeadlessDriver::SelectRow(TControl* grid, int row) {
  Require(grid, "SelectRow");
  auto* g = dynamic_cast<TStringGrid*>(grid);
  if (g == nullptr) Fail("SelectRow: " + grid->Name() + " is not a grid");
  if (!g->EffectivelyEnabled()) return;
  try {
    if (g->CanFocus() && !g->Focused()) g->SetFocus();
    g->SelectCellByUser(std::max(g->Col(), g->FixedCols()), row);
  } catch (...) {
    HandleDispatchException(std::current_exception());
  }
}

void THeadlessDriver::SelectItem(TControl* control, int index) {
  Require(control, "SelectItem");
  if (!control->EffectivelyEnabled()) return;
  try {
    if (auto* w = dynamic_cast<TWinControl*>(control); w != nullptr && w->CanFocus() && !w->Focused()) w->SetFocus();
    if (auto* l = dynamic_cast<TListBox*>(control))
      l->SelectByUser(index);
    else if (auto* c = dynamic_cast<TComboBox*>(control))
      c->SelectByUser(index);
    else
      Fail("SelectItem: " + control->Name() + " has no items");
  } catch (const std::runtime_error&) {
    throw;
  } catch (...) {
    HandleDispatchException(std::current_exception());
  }
}

void THeadlessDriver::SelectTab(TControl* control, int index) {
  Require(control, "SelectTab");
  auto* pc = dynamic_cast<TPageControl*>(control);
  if (pc == nullptr) Fail("SelectTab: " + control->Name() + " is not a page control");
  if (!pc->EffectivelyEnabled()) return;
  try {
    pc->SelectTabByUser(index);
  } catch (...) {
    HandleDispatchException(std::current_exception());
  }
}

void THeadlessDriver::AnswerNextModal(std::function<void(TCustomForm&)> answer) {
  Backend().modalAnswers_.push_back(std::move(answer));
}

void THeadlessDriver::AnswerNextSaveDialog(std::function<bool(TSaveDialog&, std::string&)> answer) {
  Backend().saveAnswers_.push_back(std::move(answer));
}

size_t THeadlessDriver::PendingModalAnswers() { return Backend().modalAnswers_.size(); }

void THeadlessDriver::SetDefaultModalAnswer(std::function<void(TCustomForm&)> answer) {
  Backend().defaultModalAnswer_ = std::move(answer);
}

void THeadlessDriver::SetModalTimeout(uint32_t ms) { Backend().modalTimeoutMs_ = ms; }

std::string THeadlessDriver::Shown(TControl* control) {
  if (control == nullptr) return {};
  if (auto* m = dynamic_cast<TMemo*>(control)) return m->Lines().Text();
  if (auto* l = dynamic_cast<TListBox*>(control)) return l->Items().Text();
  if (auto* c = dynamic_cast<TComboBox*>(control)) return c->ComboText();
  if (auto* cb = dynamic_cast<TCheckBox*>(control)) return (cb->Checked() ? "[x] " : "[ ] ") + cb->Caption();
  if (auto* g = dynamic_cast<TStringGrid*>(control)) {
    std::string out;
    for (int r = 0; r < g->RowCount(); ++r) {
      for (int c = 0; c < g->ColCount(); ++c) {
        if (c > 0) out += '\t';
        out += g->Cells(c, r);
      }
      out += "\r\n";
    }
    return out;
  }
  return control->Caption();
}

void THeadlessDriver::SetTrayAvailable(bool available) {
  std::lock_guard lock(gTrayMutex);
  Backend().trayAvailable_ = available;
}

std::vector<TTrayIcon> THeadlessDriver::TrayIcons() {
  std::lock_guard lock(gTrayMutex);
  return Backend().tray_;
}

bool THeadlessDriver::ClickTrayIcon(uint32_t id, uint32_t mouseMessage) {
  for (const TTrayIcon& t : TrayIcons())
    if (t.ID == id) return platform::win::PostMessage(t.Wnd, t.CallbackMessage, id, mouseMessage);
  return false;
}

namespace {
void SendTree(TWinControl* root, uint32_t msg) {
  SafePerform(root, msg, 0, 0);
  for (int i = 0; i < root->ControlCount(); ++i) {
    TControl* c = root->Controls(i);
    if (auto* w = dynamic_cast<TWinControl*>(c))
      SendTree(w, msg);
    else
      SafePerform(c, msg, 0, 0);
  }
}
}  // namespace

void THeadlessDriver::SystemColorsChanged() {
  for (TCustomForm* f : Screen().FormsOfThread()) SendTree(f, CM_SYSCOLORCHANGE);
}

void THeadlessDriver::Pump() { Application().ProcessMessages(); }

void THeadlessDriver::Reset() {
  THeadlessBackend& b = Backend();
  b.modalAnswers_.clear();
  b.defaultModalAnswer_ = nullptr;
  b.saveAnswers_.clear();
  b.modalTimeoutMs_ = 30000;
  b.cursor_ = TPoint{};
  std::lock_guard lock(gTrayMutex);
  b.tray_.clear();
  b.trayAvailable_ = true;
}

}  // namespace platform::ui

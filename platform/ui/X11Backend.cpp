#include "platform/ui/X11Backend.h"

#include "platform/ui/Application.h"
#include "platform/ui/Bitmap.h"
#include "platform/ui/Form.h"
#include "platform/ui/InputState.h"
#include "platform/ui/Menu.h"
#include "platform/ui/Painter.h"
#include "platform/ui/SaveDialogForm.h"
#include "platform/ui/Screen.h"
#include "platform/win/MessageLoop.h"

namespace platform::ui {

namespace {

TRect ClientOnScreen(const TCustomForm& form) {
  const TPoint o = form.ClientOrigin();
  return Bounds(o.X, o.Y, std::max(1, form.ClientWidth()), std::max(1, form.ClientHeight()));
}

// The control taking the mouse at a client point of form: the capture,
// else the deepest showing control there; none when the form is held by a
// modal one or the control is disabled.
TControl* MouseTarget(TCustomForm& form, TPoint client) {
  detail::InputState& in = detail::Input();
  if (in.capture != nullptr) return in.capture;
  if (form.ModalBlocked()) return nullptr;
  TControl* target = form.ControlAtPos(client);
  if (target == nullptr) target = &form;
  return target->EffectivelyEnabled() ? target : nullptr;
}

// The control under the pointer changes: the old one is told
// CM_MOUSELEAVE, then the new one CM_MOUSEENTER (none for null).
void HoverOver(TControl* now) {
  detail::InputState& in = detail::Input();
  if (now == in.hover) return;
  TControl* old = in.hover;
  in.hover = now;
  if (old != nullptr) SafePerform(old, CM_MOUSELEAVE, 0, 0);
  if (now != nullptr) SafePerform(now, CM_MOUSEENTER, 0, 0);
}

WPARAM MouseKeys(TShiftState shift) {
  WPARAM keys = 0;
  if (shift & ssShift) keys |= MK_SHIFT;
  if (shift & ssCtrl) keys |= MK_CONTROL;
  if (shift & ssLeft) keys |= MK_LBUTTON;
  if (shift & ssRight) keys |= MK_RBUTTON;
  return keys;
}

}  // namespace

TX11Backend::TX11Backend(const std::string& display) : display_(display) {}

TX11Backend::~TX11Backend() {
  if (guiSet_ && gui_ == std::this_thread::get_id()) platform::win::SetEventSource(-1, nullptr);
}

bool TX11Backend::OnGuiThread() {
  if (!guiSet_) {
    guiSet_ = true;
    gui_ = std::this_thread::get_id();
    platform::win::SetEventSource(display_.ConnectionFd(), [this] { Pump(); });
  }
  return gui_ == std::this_thread::get_id();
}

TRect TX11Backend::DesktopRect() const { return display_.ScreenRect(); }
TPoint TX11Backend::CursorPos() const { return cursor_; }
void TX11Backend::SetCursorPos(TPoint p) { cursor_ = p; }

void TX11Backend::ModalStarted(TCustomForm& form) {
  if (!modalStarted_) return;
  try {
    modalStarted_(form);
  } catch (...) {
    HandleDispatchException(std::current_exception());
  }
}

bool TX11Backend::TrayAvailable() const { return display_.Alive() && display_.TrayAvailable(); }

bool TX11Backend::TrayAdd(const TTrayIcon& icon) {
  if (!OnGuiThread() || !TrayAvailable()) return false;
  std::lock_guard lock(trayMutex_);
  const auto key = std::make_pair(icon.Wnd, icon.ID);
  if (tray_.count(key) != 0) return false;
  Tray entry{icon, display_.CreateWindow({0, 0, 16, 16}, icon.Tip)};
  // The icon: a raised face with a navy square (icon images are not kept
  // by handle on this backend).
  TBitmap picture;
  picture.SetSize(16, 16);
  picture.Canvas().Brush().SetColor(clBtnFace);
  picture.Canvas().FillRect(Rect(0, 0, 16, 16));
  picture.Canvas().Brush().SetColor(clNavy);
  picture.Canvas().FillRect(Rect(3, 3, 13, 13));
  entry.Window->Present(picture);
  if (!display_.DockInTray(*entry.Window)) return false;
  tray_.emplace(key, std::move(entry));
  return true;
}

bool TX11Backend::TrayModify(const TTrayIcon& icon) {
  std::lock_guard lock(trayMutex_);
  auto it = tray_.find(std::make_pair(icon.Wnd, icon.ID));
  if (it == tray_.end()) return false;
  TTrayIcon& t = it->second.Icon;
  if (icon.Flags & 1) t.CallbackMessage = icon.CallbackMessage;
  if (icon.Flags & 2) t.Icon = icon.Icon;
  if (icon.Flags & 4) t.Tip = icon.Tip;
  return true;
}

bool TX11Backend::TrayDelete(platform::win::HWND wnd, uint32_t id) {
  if (!OnGuiThread()) return false;
  std::lock_guard lock(trayMutex_);
  return tray_.erase(std::make_pair(wnd, id)) != 0;
}

// Forms of other threads are never shown: a dialog there could not be
// answered, so it is cancelled at once.
bool TX11Backend::ExecuteSaveDialog(TSaveDialog& dialog, std::string& fileName) {
  if (!OnGuiThread() || !display_.Alive()) return false;
  return RunSaveDialogForm(dialog, fileName);
}

// Forms become framed windows of their client area; the hint window a
// bare window of its whole bounds. Other parentless controls (made before
// their parent is set) are not shown.
void TX11Backend::WindowChanged(TWinControl& top) {
  auto* form = dynamic_cast<TCustomForm*>(&top);
  const bool hint = dynamic_cast<THintWindow*>(&top) != nullptr;
  if ((form == nullptr && !hint) || !OnGuiThread() || !display_.Alive()) return;
  auto it = windows_.find(&top);
  if (!top.Visible()) {
    if (it != windows_.end()) it->second->Hide();
    display_.Flush();
    return;
  }
  const TRect bounds = form != nullptr ? ClientOnScreen(*form)
                                       : Bounds(top.Left(), top.Top(), std::max(1, top.Width()), std::max(1, top.Height()));
  if (it == windows_.end()) {
    it = windows_.emplace(&top, form != nullptr ? display_.CreateWindow(bounds, form->Caption())
                                                : display_.CreatePopup(bounds)).first;
    Present(top, *it->second);
  }
  TX11Window& w = *it->second;
  if (form != nullptr) w.SetTitle(form->Caption());
  w.SetBounds(bounds);
  if (const TRegion* region = top.WindowRegion()) {
    TRegion shape = *region;
    if (form != nullptr) {
      const TRect f = form->FrameSize();
      shape.Offset(-f.Left, -f.Top);
    }
    w.SetShape(&shape);
  } else {
    w.SetShape(nullptr);
  }
  w.Show();
  display_.Flush();
}

void TX11Backend::Present(TWinControl& top, TX11Window& window) {
  auto* form = dynamic_cast<TCustomForm*>(&top);
  TBitmap& pixels = top.WindowBitmap();
  if (pixels.Empty()) return;
  if (form == nullptr) {
    window.Present(pixels);
    return;
  }
  const TRect f = form->FrameSize();
  TBitmap client;
  client.SetSize(std::max(1, form->ClientWidth()), std::max(1, form->ClientHeight()));
  client.Canvas().DrawBitmap(pixels, Rect(0, 0, client.Width(), client.Height()),
                             Bounds(f.Left, f.Top, client.Width(), client.Height()));
  window.Present(client);
}

void TX11Backend::WindowPainted(TWinControl& top) {
  if (!OnGuiThread()) return;
  auto it = windows_.find(&top);
  if (it == windows_.end()) return;
  Present(top, *it->second);
  display_.Flush();
}

void TX11Backend::WindowDestroyed(TWinControl& top) {
  if (!guiSet_ || gui_ != std::this_thread::get_id()) return;
  windows_.erase(&top);
}

bool TX11Backend::CaptureScreen(TBitmap& out) { return display_.CaptureScreen(out); }

TX11Window* TX11Backend::WindowOf(const TWinControl& form) const {
  auto it = windows_.find(&form);
  return it == windows_.end() ? nullptr : it->second.get();
}

TX11Window* TX11Backend::MenuWindowOf(const TPopupMenu& menu) const {
  auto it = menus_.find(const_cast<TPopupMenu*>(&menu));
  return it == menus_.end() ? nullptr : it->second.get();
}

// An open menu is a bare window at its popup point (moved inside the
// screen) holding the pointer and keyboard; closing drops the window.
void TX11Backend::MenuChanged(TPopupMenu& menu) {
  if (!OnGuiThread()) return;
  menus_.erase(&menu);
  menuPressed_ = false;
  menuHot_ = nullptr;
  if (!menu.IsOpen() || !display_.Alive()) {
    display_.Flush();
    return;
  }
  const TRect size = menu.MenuRect();
  const TRect screen = display_.ScreenRect();
  const int x = std::max(screen.Left, std::min(menu.PopupPoint().X, screen.Right - size.Width()));
  const int y = std::max(screen.Top, std::min(menu.PopupPoint().Y, screen.Bottom - size.Height()));
  std::unique_ptr<TX11Window> window = display_.CreatePopup(Bounds(x, y, size.Width(), size.Height()));
  PresentMenu(menu, *window);
  window->Show();
  window->GrabInput();  // without it the menu still takes clicks on itself
  menus_.emplace(&menu, std::move(window));
}

void TX11Backend::Pump() {
  if (!OnGuiThread()) return;
  while (std::optional<TX11Event> e = display_.NextEvent(0)) {
    try {
      HandleEvent(*e);
    } catch (...) {
      HandleDispatchException(std::current_exception());
    }
  }
}

void TX11Backend::HandleTrayEvent(const Tray& tray, const TX11Event& e) {
  uint32_t mouse = 0;
  if (e.Type == TX11Event::Kind::MouseDown) {
    if (e.Button == 1) mouse = e.Double ? WM_LBUTTONDBLCLK : WM_LBUTTONDOWN;
    if (e.Button == 3) mouse = e.Double ? WM_RBUTTONDBLCLK : WM_RBUTTONDOWN;
  } else if (e.Type == TX11Event::Kind::MouseUp) {
    if (e.Button == 1) mouse = WM_LBUTTONUP;
    if (e.Button == 3) mouse = WM_RBUTTONUP;
  }
  if (mouse != 0) platform::win::PostMessage(tray.Icon.Wnd, tray.Icon.CallbackMessage, tray.Icon.ID, mouse);
}

void TX11Backend::PresentMenu(const TPopupMenu& menu, TX11Window& window) {
  const TRect size = menu.MenuRect();
  TBitmap pixels;
  pixels.SetSize(size.Width(), size.Height());
  TPainter painter;
  painter.SetTarget(&pixels);
  menu.PaintMenu(painter, 0, 0, menuHot_);
  window.Present(pixels);
}

void TX11Backend::HandleMenuEvent(TPopupMenu& menu, const TX11Event& e) {
  const TRect box = menu.MenuRect();
  const bool inside = e.X >= 0 && e.Y >= 0 && e.X < box.Width() && e.Y < box.Height();
  switch (e.Type) {
    case TX11Event::Kind::MouseMove:
    case TX11Event::Kind::MouseLeave: {
      TMenuItem* hot = e.Type == TX11Event::Kind::MouseMove && inside ? menu.ItemAt(TPoint{e.X, e.Y}) : nullptr;
      if (hot == menuHot_) break;
      menuHot_ = hot;
      if (TX11Window* window = MenuWindowOf(menu)) PresentMenu(menu, *window);
      break;
    }
    case TX11Event::Kind::MouseDown:
      if (!inside) {
        menu.CloseMenu();
        return;
      }
      menuPressed_ = true;
      break;
    case TX11Event::Kind::MouseUp: {
      // Chosen on the release of a press made inside the menu.
      if (!menuPressed_ || !inside) break;
      menuPressed_ = false;
      TMenuItem* item = menu.ItemAt(TPoint{e.X, e.Y});
      if (item != nullptr && item->Enabled()) item->Click();  // closes the menu first
      break;
    }
    case TX11Event::Kind::KeyDown:
      if (e.Key == VK_ESCAPE) menu.CloseMenu();
      break;
    default:
      break;
  }
}

void TX11Backend::HandleEvent(const TX11Event& e) {
  {
    std::lock_guard lock(trayMutex_);
    for (const auto& [key, tray] : tray_)
      if (tray.Window->Id() == e.Window) {
        HandleTrayEvent(tray, e);
        return;
      }
  }
  for (const auto& [menu, window] : menus_)
    if (window->Id() == e.Window) {
      HandleMenuEvent(*menu, e);
      return;
    }
  for (const auto& [control, window] : windows_)
    if (window->Id() == e.Window) {
      // The hint window takes no input.
      if (auto* form = dynamic_cast<TCustomForm*>(const_cast<TWinControl*>(control))) HandleFormEvent(*form, e);
      return;
    }
}

void TX11Backend::HandleFormEvent(TCustomForm& formRef, const TX11Event& e) {
  TCustomForm* form = &formRef;
  const TPoint screen = form->ClientToScreen(TPoint{e.X, e.Y});
  auto mouse = [&](uint32_t msg, WPARAM keys) {
    cursor_ = screen;
    if (TControl* target = MouseTarget(*form, TPoint{e.X, e.Y})) {
      const TPoint c = target->ScreenToClient(screen);
      SafePerform(target, msg, keys, MakeMouseLParam(c.X, c.Y));
    }
  };
  // The control under the pointer (null: the form itself) becomes the
  // hovered one.
  auto hover = [&] {
    TControl* under = form->ControlAtPos(TPoint{e.X, e.Y});
    HoverOver(under != nullptr ? under : form);
    return under;
  };
  switch (e.Type) {
    case TX11Event::Kind::MouseMove: {
      TControl* under = hover();
      mouse(WM_MOUSEMOVE, MouseKeys(e.Shift));
      Application().HintMouseMessage(under, screen);
      break;
    }
    case TX11Event::Kind::MouseEnter:
      hover();
      break;
    case TX11Event::Kind::MouseLeave:
      HoverOver(nullptr);
      Application().HintMouseMessage(nullptr, screen);
      break;
    case TX11Event::Kind::MouseDown:
      if (e.Button == 1) mouse(e.Double ? WM_LBUTTONDBLCLK : WM_LBUTTONDOWN, MouseKeys(e.Shift | ssLeft));
      if (e.Button == 3) mouse(e.Double ? WM_RBUTTONDBLCLK : WM_RBUTTONDOWN, MouseKeys(e.Shift | ssRight));
      break;
    case TX11Event::Kind::MouseUp:
      if (e.Button == 1) mouse(WM_LBUTTONUP, 0);
      if (e.Button == 3) mouse(WM_RBUTTONUP, 0);
      if (e.Button == 1) detail::Input().capture = nullptr;
      break;
    case TX11Event::Kind::KeyDown: {
      TWinControl* focused = TWinControl::FocusedControl();
      if (focused == nullptr || focused->ParentForm() != form) break;
      const uint32_t down = (e.Shift & ssAlt) ? WM_SYSKEYDOWN : WM_KEYDOWN;
      const LRESULT used = e.Key != 0 ? SafePerform(focused, down, e.Key, static_cast<LPARAM>(e.Shift)) : 0;
      // A key used up as a dialog key makes no character.
      if (used == 0 && e.Char != 0 && !(e.Shift & ssCtrl))
        if (TWinControl* now = TWinControl::FocusedControl())
          SafePerform(now, (e.Shift & ssAlt) ? WM_SYSCHAR : WM_CHAR, static_cast<unsigned char>(e.Char), 0);
      break;
    }
    case TX11Event::Kind::KeyUp:
      if (TWinControl* focused = TWinControl::FocusedControl(); focused != nullptr && e.Key != 0)
        SafePerform(focused, (e.Shift & ssAlt) ? WM_SYSKEYUP : WM_KEYUP, e.Key, static_cast<LPARAM>(e.Shift));
      break;
    case TX11Event::Kind::CloseRequest:
      SafePerform(form, platform::win::WM_CLOSE, 0, 0);
      break;
    case TX11Event::Kind::GotFocus:
      if (!form->ModalBlocked()) form->BringToFront();
      break;
    case TX11Event::Kind::Configured: {
      // The window manager (or the user through it) moved or sized the
      // window: the form follows, its frame around the new client area.
      const TRect f = form->FrameSize();
      int width = form->Width();
      int height = form->Height();
      if (e.Width != std::max(1, form->ClientWidth())) width = e.Width + f.Left + f.Right;
      if (e.Height != std::max(1, form->ClientHeight())) height = e.Height + f.Top + f.Bottom;
      form->SetBounds(e.X - f.Left, e.Y - f.Top, width, height);
      break;
    }
    default:
      break;
  }
}

}  // namespace platform::ui

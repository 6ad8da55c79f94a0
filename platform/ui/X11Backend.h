#pragma once
// The X11 backend: forms shown as top-level X windows through TX11Display.
//
// Chosen by Backend() when DISPLAY is set, FERROWICK_UI is not "headless"
// and the display can be opened. The forms of the thread that shows the
// first form (the GUI thread) become X windows of their client size
// showing their painted client area; the window manager draws the frame.
// Input becomes the control model's messages (mouse to the control under
// the pointer or holding the capture, CM_MOUSELEAVE and CM_MOUSEENTER when
// the control under the pointer changes or the pointer leaves the window,
// keys to the focused control), the
// window manager's close becomes WM_CLOSE, window regions become shapes,
// titles are UTF-8; a move or resize by the window manager moves or sizes
// the form. The hint window and open popup menus are windows the window
// manager leaves alone; an open menu holds the pointer and keyboard: the
// item under the pointer is highlighted, a click on an item chooses it, a
// click elsewhere or Esc closes the menu.
// Save dialogs are TSaveDialogForm run modally (cancelled at once off the
// GUI thread or without a connection). Tray icons are small
// docked windows where a system tray exists; adding fails otherwise.
// X events are read whenever the GUI thread handles its messages.

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/ui/Backend.h"
#include "platform/ui/X11Display.h"

namespace platform::ui {

class TMenuItem;

class TX11Backend : public TBackend {
 public:
  // Connects to the display; EX11Error when that fails.
  explicit TX11Backend(const std::string& display = "");
  ~TX11Backend() override;

  std::string_view Name() const override { return "x11"; }
  TRect DesktopRect() const override;
  TPoint CursorPos() const override;
  void SetCursorPos(TPoint p) override;
  bool TrayAvailable() const override;
  bool TrayAdd(const TTrayIcon& icon) override;
  bool TrayModify(const TTrayIcon& icon) override;
  bool TrayDelete(platform::win::HWND wnd, uint32_t id) override;
  // Runs the hook set by SetModalStarted, if any.
  void ModalStarted(TCustomForm& form) override;
  uint32_t ModalTimeoutMs() const override { return 0; }
  bool ExecuteSaveDialog(TSaveDialog& dialog, std::string& fileName) override;
  void WindowChanged(TWinControl& top) override;
  void WindowPainted(TWinControl& top) override;
  void WindowDestroyed(TWinControl& top) override;
  void MenuChanged(TPopupMenu& menu) override;
  bool CaptureScreen(TBitmap& out) override;

  // Handles every X event waiting now (GUI thread).
  void Pump();
  // The X window of a form or the hint window; null when it has none
  // (tests).
  TX11Window* WindowOf(const TWinControl& form) const;
  // The X window of an open popup menu; null when it has none (tests).
  TX11Window* MenuWindowOf(const TPopupMenu& menu) const;
  TX11Display& Display() { return display_; }
  // Called once a modal form shows, before the person at the display
  // answers it: a program that runs scripted actions on its forms first
  // (nullptr: none). Exceptions of the hook are handled as in a message
  // dispatch. GUI thread.
  void SetModalStarted(std::function<void(TCustomForm&)> hook) { modalStarted_ = std::move(hook); }

 private:
  struct Tray {
    TTrayIcon Icon;
    std::unique_ptr<TX11Window> Window;
  };
  bool OnGuiThread();
  void Present(TWinControl& top, TX11Window& window);
  void HandleEvent(const TX11Event& e);
  void HandleTrayEvent(const Tray& tray, const TX11Event& e);
  void HandleMenuEvent(TPopupMenu& menu, const TX11Event& e);
  void PresentMenu(const TPopupMenu& menu, TX11Window& window);
  void HandleFormEvent(TCustomForm& form, const TX11Event& e);

  TX11Display display_;
  std::thread::id gui_;
  bool guiSet_ = false;
  std::map<const TWinControl*, std::unique_ptr<TX11Window>> windows_;
  std::map<TPopupMenu*, std::unique_ptr<TX11Window>> menus_;
  bool menuPressed_ = false;       // a press began inside the open menu
  TMenuItem* menuHot_ = nullptr;  // the open menu's item under the pointer (compared, never used)
  std::mutex trayMutex_;
  std::map<std::pair<platform::win::HWND, uint32_t>, Tray> tray_;
  TPoint cursor_{};
  std::function<void(TCustomForm&)> modalStarted_;
};

}  // namespace platform::ui

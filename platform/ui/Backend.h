#pragma once
// The backend: what the control model needs from the place forms are shown
// on. The headless backend (a virtual screen, deterministic, driven by the
// test driver of Headless.h) is the default; a display backend is chosen
// when one is built and a display is available.

#include <string>
#include <string_view>

#include "platform/ui/Types.h"
#include "platform/win/Messages.h"

namespace platform::ui {

class TBitmap;
class TCustomForm;
class TPopupMenu;
class TSaveDialog;
class TWinControl;

// One icon of the notification area (the tray).
struct TTrayIcon {
  platform::win::HWND Wnd = 0;
  uint32_t ID = 0;
  uint32_t CallbackMessage = 0;
  uint32_t Icon = 0;
  std::string Tip;
  // Which of message, icon and tip the record sets (NIF_* bits); modifying
  // changes only those.
  uint32_t Flags = 0;
};

class TBackend {
 public:
  virtual ~TBackend() = default;

  virtual std::string_view Name() const = 0;
  // The desktop (virtual screen) in screen coordinates.
  virtual TRect DesktopRect() const = 0;
  virtual TPoint CursorPos() const = 0;
  virtual void SetCursorPos(TPoint p) = 0;

  // Tray: whether a notification area exists; add, modify and delete answer
  // false when there is none, when adding an icon (window, id) that exists,
  // or when modifying / deleting one that does not.
  virtual bool TrayAvailable() const = 0;
  virtual bool TrayAdd(const TTrayIcon& icon) = 0;
  virtual bool TrayModify(const TTrayIcon& icon) = 0;
  virtual bool TrayDelete(platform::win::HWND wnd, uint32_t id) = 0;

  // Called once a modal form is showing, before its loop waits (on the
  // form's thread).
  virtual void ModalStarted(TCustomForm& form) = 0;
  // Longest time a modal loop waits without being ended; 0 = no limit.
  virtual uint32_t ModalTimeoutMs() const = 0;
  // Asks for a file name to save to; false when the user cancels. Runs a
  // modal loop on the calling thread where the backend shows a dialog.
  virtual bool ExecuteSaveDialog(TSaveDialog& dialog, std::string& fileName) = 0;

  // ---- windows (GUI thread; the defaults do nothing) ----
  // A top-level window (form or hint window) was shown, hidden, moved,
  // resized, retitled or given a window region.
  virtual void WindowChanged(TWinControl& top) { (void)top; }
  // A top-level window's pixels (TWinControl::WindowBitmap) were painted.
  virtual void WindowPainted(TWinControl& top) { (void)top; }
  // A top-level window is going away.
  virtual void WindowDestroyed(TWinControl& top) { (void)top; }
  // A popup menu opened or closed (IsOpen tells which; a menu being
  // destroyed is closed first).
  virtual void MenuChanged(TPopupMenu& menu) { (void)menu; }
  // The whole screen as this backend shows it; the default composes the
  // virtual screen (ComposeScreen). False when no picture can be had.
  virtual bool CaptureScreen(TBitmap& out);
};

// The virtual screen: the desktop colour, then every showing form of the
// calling thread from back to front at its position (through its window
// region), then the hint window and
// open popup menus, each as painted so far. Pending paints of the calling
// thread run first. GUI thread.
void ComposeScreen(TBitmap& out);

// The process's backend, chosen on first use.
TBackend& Backend();

// Makes this process use the headless backend whatever DISPLAY says, for a
// process whose forms nobody sees (the stand-in kernel); child processes
// keep their own choice. False when the backend was chosen already. Call
// before the first form; any thread.
bool UseHeadlessBackend();

}  // namespace platform::ui

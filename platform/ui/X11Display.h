#pragma once
// The X11 side of the display backend: one connection to an X server, top-
// level windows that show painted bitmaps, input turned into plain events,
// window shapes from regions, screen and window captures, and the system
// tray protocol. Xlib never ends the process: protocol errors are counted
// and a lost connection only marks the display dead.
//
// A display and its windows are used on one thread (the GUI thread).

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "platform/ui/Bitmap.h"
#include "platform/ui/Region.h"
#include "platform/ui/Types.h"

namespace platform::ui {

class EX11Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// One input or window event, in the window's client coordinates.
struct TX11Event {
  enum class Kind {
    MouseDown,
    MouseUp,
    MouseMove,
    MouseWheel,   // Button: +1 up, -1 down
    MouseEnter,
    MouseLeave,
    KeyDown,
    KeyUp,
    Exposed,      // repainted from the last presented bitmap already
    CloseRequest, // the window manager's close
    Configured,   // new screen position (X, Y) and size (Width, Height), not
                  // one our own earlier move asked for
    GotFocus,
    LostFocus,
  };
  Kind Type = Kind::MouseMove;
  uint64_t Window = 0;
  int32_t X = 0;
  int32_t Y = 0;
  int32_t Width = 0;
  int32_t Height = 0;
  int Button = 0;          // 1 left, 2 middle, 3 right
  bool Double = false;     // second press of a double click
  uint16_t Key = 0;        // virtual key code
  char Char = 0;           // CP1251 character typed, 0 when none or when the
                           // code page lacks it
  TShiftState Shift = 0;
};

class TX11Display;

// A top-level window. Destroying it destroys the X window.
class TX11Window {
 public:
  ~TX11Window();
  TX11Window(const TX11Window&) = delete;
  TX11Window& operator=(const TX11Window&) = delete;

  uint64_t Id() const { return id_; }
  // Title in CP1251, shown as UTF-8.
  void SetTitle(std::string_view cp1251);
  // Moves and sizes the window; nothing when it is there already.
  void SetBounds(const TRect& screenBounds);
  // Show maps (and raises) a hidden window only.
  // Where the window is as far as this side knows (last asked or reported).
  const TRect& Bounds() const { return bounds_; }
  void Show();
  void Hide();
  // Shows the bitmap at the client area's top-left and keeps a copy to
  // repaint exposed parts.
  void Present(const TBitmap& bitmap);
  // The window's outline; null restores the rectangle. False when the
  // server has no SHAPE extension.
  bool SetShape(const TRegion* region);
  // The pixels the server holds for the window's client area; false when
  // the server gives none.
  bool Capture(TBitmap& out) const;
  // Takes the pointer and the keyboard for this window (an open menu):
  // presses anywhere arrive here, in this window's coordinates. False when
  // the server refuses. Released by ReleaseInput or when the window goes.
  bool GrabInput();
  void ReleaseInput();

 private:
  friend class TX11Display;
  TX11Window(TX11Display& display, uint64_t id, const TRect& bounds)
      : display_(display), id_(id), bounds_(bounds) {}
  void Repaint();

  TX11Display& display_;
  uint64_t id_;
  TBitmap shown_;
  TRect bounds_;
  bool mapped_ = false;
  // Request number of the last move asked for: configure events from
  // before it are stale.
  unsigned long moveSerial_ = 0;
  bool grabbed_ = false;
};

class TX11Display {
 public:
  // Connects to the named display ("" = $DISPLAY); EX11Error when that
  // fails.
  explicit TX11Display(const std::string& name = "");
  ~TX11Display();
  TX11Display(const TX11Display&) = delete;
  TX11Display& operator=(const TX11Display&) = delete;

  // A new, hidden top-level window with the given screen bounds.
  std::unique_ptr<TX11Window> CreateWindow(const TRect& bounds, std::string_view cp1251Title);
  // A new, hidden window that the window manager leaves alone (no frame,
  // no focus): hints and menus.
  std::unique_ptr<TX11Window> CreatePopup(const TRect& bounds);
  // The next event of one of this display's windows, waiting at most
  // timeoutMs; nullopt when none came (or the connection is lost).
  std::optional<TX11Event> NextEvent(uint32_t timeoutMs);
  void Flush();
  // Waits until the server has handled every request sent.
  void Sync();
  // The whole screen.
  TRect ScreenRect() const;
  bool CaptureScreen(TBitmap& out) const;

  // Whether a system tray owns its selection on this screen.
  bool TrayAvailable() const;
  // Asks the tray to embed the window as a tray icon; false without a tray.
  bool DockInTray(const TX11Window& icon);

  // False once the connection to the server is lost.
  bool Alive() const { return alive_; }
  // Protocol errors reported by the server so far.
  uint32_t ErrorCount() const;

  // The connection's descriptor (readable when events may wait); -1 once
  // the connection is lost.
  int ConnectionFd() const;

  // Xlib's Display*, for code of this backend only.
  void* Native() const { return display_; }

 private:
  friend class TX11Window;
  bool CaptureDrawable(uint64_t drawable, const TRect& area, TBitmap& out) const;
  void PutBitmap(uint64_t drawable, const TBitmap& bitmap);

  void* display_ = nullptr;
  bool alive_ = true;
  std::map<uint64_t, TX11Window*> windows_;
  uint64_t deleteAtom_ = 0;
  uint64_t protocolsAtom_ = 0;
  // Last press, for double clicks.
  uint64_t lastPressWindow_ = 0;
  int lastPressButton_ = 0;
  uint64_t lastPressTime_ = 0;
  int32_t lastPressX_ = 0;
  int32_t lastPressY_ = 0;
};

// Virtual key code of an X key symbol; 0 for keys without one.
uint16_t VirtualKeyOfKeysym(unsigned long keysym);

// The character an X key symbol types (Latin-1, Cyrillic, keypad and the
// direct Unicode symbols); 0 for keys that type none.
char32_t UnicodeOfKeysym(unsigned long keysym);

}  // namespace platform::ui

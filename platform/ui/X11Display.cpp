#include "platform/ui/X11Display.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/shape.h>
#include <poll.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/os/Text.h"
#include "platform/ui/Colors.h"

namespace platform::ui {

namespace {

std::atomic<uint32_t> gErrors{0};

// Protocol errors (a window gone meanwhile, a bad request) are counted, not
// fatal.
int OnXError(Display*, XErrorEvent*) {
  ++gErrors;
  return 0;
}

// A lost connection marks the display dead instead of ending the process.
void OnIoErrorExit(Display*, void* alive) { *static_cast<bool*>(alive) = false; }

Display* Dpy(void* d) { return static_cast<Display*>(d); }

constexpr uint64_t kDoubleClickMs = 500;
constexpr int kDoubleClickSlop = 4;

// Shift of the lowest set bit of a colour mask and the channel's width.
struct MaskShift {
  int Shift = 0;
  int Bits = 0;
  explicit MaskShift(unsigned long mask) {
    if (mask == 0) return;
    while ((mask & 1) == 0) {
      mask >>= 1;
      ++Shift;
    }
    while ((mask & 1) != 0) {
      mask >>= 1;
      ++Bits;
    }
  }
  unsigned long Put(unsigned v) const {
    return Bits >= 8 ? static_cast<unsigned long>(v) << (Shift + Bits - 8)
                     : static_cast<unsigned long>(v >> (8 - Bits)) << Shift;
  }
  unsigned Get(unsigned long pixel) const {
    const unsigned long v = (pixel >> Shift) & ((1ul << Bits) - 1);
    return Bits >= 8 ? static_cast<unsigned>(v >> (Bits - 8)) : static_cast<unsigned>(v << (8 - Bits));
  }
};

TShiftState ShiftOf(unsigned state) {
  TShiftState s = 0;
  if ((state & ShiftMask) != 0) s |= ssShift;
  if ((state & ControlMask) != 0) s |= ssCtrl;
  if ((state & Mod1Mask) != 0) s |= ssAlt;
  if ((state & Button1Mask) != 0) s |= ssLeft;
  if ((state & Button2Mask) != 0) s |= ssMiddle;
  if ((state & Button3Mask) != 0) s |= ssRight;
  return s;
}

}  // namespace

uint16_t VirtualKeyOfKeysym(unsigned long ks) {
  if (ks >= 'a' && ks <= 'z') return static_cast<uint16_t>(ks - 'a' + 'A');
  if ((ks >= 'A' && ks <= 'Z') || (ks >= '0' && ks <= '9')) return static_cast<uint16_t>(ks);
  if (ks >= XK_F1 && ks <= XK_F24) return static_cast<uint16_t>(0x70 + (ks - XK_F1));
  switch (ks) {
    case XK_BackSpace: return VK_BACK;
    case XK_Tab:
    case XK_ISO_Left_Tab: return VK_TAB;
    case XK_Return:
    case XK_KP_Enter: return VK_RETURN;
    case XK_Shift_L:
    case XK_Shift_R: return VK_SHIFT;
    case XK_Control_L:
    case XK_Control_R: return VK_CONTROL;
    case XK_Alt_L:
    case XK_Alt_R: return VK_MENU;
    case XK_Escape: return VK_ESCAPE;
    case XK_space: return VK_SPACE;
    case XK_Prior: return VK_PRIOR;
    case XK_Next: return VK_NEXT;
    case XK_End: return VK_END;
    case XK_Home: return VK_HOME;
    case XK_Left: return VK_LEFT;
    case XK_Up: return VK_UP;
    case XK_Right: return VK_RIGHT;
    case XK_Down: return VK_DOWN;
    case XK_Delete: return VK_DELETE;
    default: return 0;
  }
}

char32_t UnicodeOfKeysym(unsigned long ks) {
  // Cyrillic symbols 0x6c0..0x6df run in the order of KOI8-R; capitals
  // follow 0x20 higher.
  static constexpr char16_t kKoi8Order[32] = {
      0x44E, 0x430, 0x431, 0x446, 0x434, 0x435, 0x444, 0x433, 0x445, 0x438, 0x439, 0x43A, 0x43B, 0x43C, 0x43D, 0x43E,
      0x43F, 0x44F, 0x440, 0x441, 0x442, 0x443, 0x436, 0x432, 0x44C, 0x44B, 0x437, 0x448, 0x44D, 0x449, 0x447, 0x44A};
  // 0x6a1..0x6af: the other Cyrillic letters, capitals 0x10 higher.
  static constexpr char16_t kCyrillicOther[15] = {0x452, 0x453, 0x451, 0x454, 0x455, 0x456, 0x457, 0x458,
                                                  0x459, 0x45A, 0x45B, 0x45C, 0x491, 0x45E, 0x45F};
  static constexpr char16_t kCyrillicOtherCapital[15] = {0x402, 0x403, 0x401, 0x404, 0x405, 0x406, 0x407, 0x408,
                                                         0x409, 0x40A, 0x40B, 0x40C, 0x490, 0x40E, 0x40F};
  if ((ks >= 0x20 && ks <= 0x7E) || (ks >= 0xA0 && ks <= 0xFF)) return static_cast<char32_t>(ks);
  if (ks >= 0x1000100 && ks <= 0x110FFFF) return static_cast<char32_t>(ks - 0x1000000);
  if (ks >= 0x6C0 && ks <= 0x6DF) return kKoi8Order[ks - 0x6C0];
  if (ks >= 0x6E0 && ks <= 0x6FF) return static_cast<char32_t>(kKoi8Order[ks - 0x6E0] - 0x20);
  if (ks >= 0x6A1 && ks <= 0x6AF) return kCyrillicOther[ks - 0x6A1];
  if (ks >= 0x6B1 && ks <= 0x6BF) return kCyrillicOtherCapital[ks - 0x6B1];
  if (ks == 0x6B0) return 0x2116;  // numero sign
  if (ks >= XK_KP_0 && ks <= XK_KP_9) return static_cast<char32_t>('0' + (ks - XK_KP_0));
  switch (ks) {
    case XK_KP_Space: return ' ';
    case XK_KP_Multiply: return '*';
    case XK_KP_Add: return '+';
    case XK_KP_Subtract: return '-';
    case XK_KP_Decimal: return '.';
    case XK_KP_Divide: return '/';
    case XK_KP_Equal: return '=';
    case XK_EuroSign: return 0x20AC;
    default: return 0;
  }
}

// ---- window ----

TX11Window::~TX11Window() {
  display_.windows_.erase(id_);
  if (display_.alive_) {
    if (grabbed_) ReleaseInput();
    XDestroyWindow(Dpy(display_.display_), id_);
    XFlush(Dpy(display_.display_));
  }
}

void TX11Window::SetTitle(std::string_view cp1251) {
  if (!display_.alive_) return;
  Display* d = Dpy(display_.display_);
  const std::string utf8 = platform::os::Cp1251ToUtf8(cp1251);
  const Atom netName = XInternAtom(d, "_NET_WM_NAME", False);
  const Atom utf8String = XInternAtom(d, "UTF8_STRING", False);
  XChangeProperty(d, id_, netName, utf8String, 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(utf8.data()), static_cast<int>(utf8.size()));
  // The old property holds Latin-1 at most: other letters become '?'.
  std::string latin;
  for (char c : cp1251) latin += static_cast<unsigned char>(c) < 0x80 ? c : '?';
  XStoreName(d, id_, latin.c_str());
}

void TX11Window::SetBounds(const TRect& requested) {
  const TRect b{requested.Left, requested.Top, requested.Left + std::max(1, requested.Width()),
                requested.Top + std::max(1, requested.Height())};
  if (!display_.alive_ || b == bounds_) return;
  bounds_ = b;
  moveSerial_ = NextRequest(Dpy(display_.display_));
  XMoveResizeWindow(Dpy(display_.display_), id_, b.Left, b.Top, static_cast<unsigned>(std::max(1, b.Width())),
                    static_cast<unsigned>(std::max(1, b.Height())));
}

void TX11Window::Show() {
  if (!display_.alive_ || mapped_) return;
  mapped_ = true;
  XMapRaised(Dpy(display_.display_), id_);
}

void TX11Window::Hide() {
  if (!display_.alive_ || !mapped_) return;
  mapped_ = false;
  XUnmapWindow(Dpy(display_.display_), id_);
}

void TX11Window::Present(const TBitmap& bitmap) {
  shown_.Assign(&bitmap);
  Repaint();
}

void TX11Window::Repaint() {
  if (display_.alive_ && !shown_.Empty()) display_.PutBitmap(id_, shown_);
}

bool TX11Window::SetShape(const TRegion* region) {
  if (!display_.alive_) return false;
  Display* d = Dpy(display_.display_);
  int eventBase = 0;
  int errorBase = 0;
  if (!XShapeQueryExtension(d, &eventBase, &errorBase)) return false;
  if (region == nullptr) {
    XShapeCombineMask(d, id_, ShapeBounding, 0, 0, None, ShapeSet);
    return true;
  }
  std::vector<XRectangle> rects;
  for (const TRect& r : region->Rects())
    rects.push_back({static_cast<short>(r.Left), static_cast<short>(r.Top), static_cast<unsigned short>(r.Width()),
                     static_cast<unsigned short>(r.Height())});
  XShapeCombineRectangles(d, id_, ShapeBounding, 0, 0, rects.data(), static_cast<int>(rects.size()), ShapeSet,
                          YXBanded);
  return true;
}

bool TX11Window::GrabInput() {
  if (!display_.alive_) return false;
  Display* d = Dpy(display_.display_);
  const int pointer = XGrabPointer(d, id_, False, ButtonPressMask | ButtonReleaseMask | PointerMotionMask,
                                   GrabModeAsync, GrabModeAsync, None, None, CurrentTime);
  if (pointer != GrabSuccess) return false;
  // The keyboard is a help (Esc), not a need: a refusal keeps the menu.
  XGrabKeyboard(d, id_, False, GrabModeAsync, GrabModeAsync, CurrentTime);
  grabbed_ = true;
  XFlush(d);
  return true;
}

void TX11Window::ReleaseInput() {
  if (!grabbed_ || !display_.alive_) return;
  grabbed_ = false;
  Display* d = Dpy(display_.display_);
  XUngrabPointer(d, CurrentTime);
  XUngrabKeyboard(d, CurrentTime);
  XFlush(d);
}

bool TX11Window::Capture(TBitmap& out) const {
  if (!display_.alive_) return false;
  XWindowAttributes attrs;
  if (!XGetWindowAttributes(Dpy(display_.display_), id_, &attrs)) return false;
  return display_.CaptureDrawable(id_, {0, 0, attrs.width, attrs.height}, out);
}

// ---- display ----

TX11Display::TX11Display(const std::string& name) {
  XSetErrorHandler(OnXError);
  display_ = XOpenDisplay(name.empty() ? nullptr : name.c_str());
  if (display_ == nullptr) {
    const char* fromEnvironment = std::getenv("DISPLAY");
    const std::string shown = !name.empty() ? name : fromEnvironment != nullptr ? fromEnvironment : "";
    throw EX11Error("cannot open X display \"" + shown + "\"");
  }
  Display* d = Dpy(display_);
  XSetIOErrorExitHandler(d, OnIoErrorExit, &alive_);
  deleteAtom_ = XInternAtom(d, "WM_DELETE_WINDOW", False);
  protocolsAtom_ = XInternAtom(d, "WM_PROTOCOLS", False);
}

TX11Display::~TX11Display() {
  // Windows still alive keep a reference to this display; they must go
  // first (their owners hold them).
  XCloseDisplay(Dpy(display_));
}

uint32_t TX11Display::ErrorCount() const { return gErrors.load(); }

std::unique_ptr<TX11Window> TX11Display::CreateWindow(const TRect& bounds, std::string_view cp1251Title) {
  if (!alive_) throw EX11Error("X display connection lost");
  Display* d = Dpy(display_);
  const int screen = DefaultScreen(d);
  const Window w = XCreateSimpleWindow(d, RootWindow(d, screen), bounds.Left, bounds.Top,
                                       static_cast<unsigned>(std::max(1, bounds.Width())),
                                       static_cast<unsigned>(std::max(1, bounds.Height())), 0, 0,
                                       static_cast<unsigned long>(ColorToRGB(clBtnFace) & 0xFFFFFF));
  XSelectInput(d, w,
               ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask | KeyPressMask |
                   KeyReleaseMask | StructureNotifyMask | FocusChangeMask | EnterWindowMask | LeaveWindowMask);
  Atom protocols[] = {static_cast<Atom>(deleteAtom_)};
  XSetWMProtocols(d, w, protocols, 1);
  // Place the window where asked even under a window manager.
  XSizeHints hints{};
  hints.flags = USPosition | USSize;
  hints.x = bounds.Left;
  hints.y = bounds.Top;
  hints.width = bounds.Width();
  hints.height = bounds.Height();
  XSetWMNormalHints(d, w, &hints);
  std::unique_ptr<TX11Window> window(new TX11Window(*this, w, bounds));
  windows_[w] = window.get();
  window->SetTitle(cp1251Title);
  return window;
}

std::unique_ptr<TX11Window> TX11Display::CreatePopup(const TRect& bounds) {
  if (!alive_) throw EX11Error("X display connection lost");
  Display* d = Dpy(display_);
  const int screen = DefaultScreen(d);
  XSetWindowAttributes attrs{};
  attrs.override_redirect = True;
  attrs.background_pixel = static_cast<unsigned long>(ColorToRGB(clInfoBk) & 0xFFFFFF);
  attrs.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask | KeyPressMask |
                     KeyReleaseMask | StructureNotifyMask | EnterWindowMask | LeaveWindowMask;
  const Window w = XCreateWindow(d, RootWindow(d, screen), bounds.Left, bounds.Top,
                                 static_cast<unsigned>(std::max(1, bounds.Width())),
                                 static_cast<unsigned>(std::max(1, bounds.Height())), 0, CopyFromParent, InputOutput,
                                 CopyFromParent, CWOverrideRedirect | CWBackPixel | CWEventMask, &attrs);
  std::unique_ptr<TX11Window> window(new TX11Window(*this, w, bounds));
  windows_[w] = window.get();
  return window;
}

void TX11Display::Flush() {
  if (alive_) XFlush(Dpy(display_));
}

void TX11Display::Sync() {
  if (alive_) XSync(Dpy(display_), False);
}

TRect TX11Display::ScreenRect() const {
  Display* d = Dpy(display_);
  const int screen = DefaultScreen(d);
  return {0, 0, DisplayWidth(d, screen), DisplayHeight(d, screen)};
}

bool TX11Display::CaptureScreen(TBitmap& out) const {
  if (!alive_) return false;
  return CaptureDrawable(RootWindow(Dpy(display_), DefaultScreen(Dpy(display_))), ScreenRect(), out);
}

void TX11Display::PutBitmap(uint64_t drawable, const TBitmap& bitmap) {
  Display* d = Dpy(display_);
  const int screen = DefaultScreen(d);
  Visual* visual = DefaultVisual(d, screen);
  const int depth = DefaultDepth(d, screen);
  const int w = bitmap.Width();
  const int h = bitmap.Height();
  std::vector<char> data(static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 4);
  XImage* image = XCreateImage(d, visual, static_cast<unsigned>(depth), ZPixmap, 0, data.data(),
                               static_cast<unsigned>(w), static_cast<unsigned>(h), 32, w * 4);
  if (image == nullptr) return;
  const MaskShift red(visual->red_mask);
  const MaskShift green(visual->green_mask);
  const MaskShift blue(visual->blue_mask);
  const int bpp = bitmap.BytesPerPixel();
  for (int y = 0; y < h; ++y) {
    const uint8_t* row = bitmap.ScanLine(y);
    for (int x = 0; x < w; ++x) {
      const uint8_t* p = row + x * bpp;
      XPutPixel(image, x, y, red.Put(p[2]) | green.Put(p[1]) | blue.Put(p[0]));
    }
  }
  GC gc = XCreateGC(d, drawable, 0, nullptr);
  XPutImage(d, drawable, gc, image, 0, 0, 0, 0, static_cast<unsigned>(w), static_cast<unsigned>(h));
  XFreeGC(d, gc);
  image->data = nullptr;  // owned by the vector
  XDestroyImage(image);
  XFlush(d);
}

bool TX11Display::CaptureDrawable(uint64_t drawable, const TRect& area, TBitmap& out) const {
  if (area.Width() <= 0 || area.Height() <= 0) return false;
  Display* d = Dpy(display_);
  XImage* image = XGetImage(d, drawable, area.Left, area.Top, static_cast<unsigned>(area.Width()),
                            static_cast<unsigned>(area.Height()), AllPlanes, ZPixmap);
  if (image == nullptr) return false;
  const MaskShift red(image->red_mask);
  const MaskShift green(image->green_mask);
  const MaskShift blue(image->blue_mask);
  out.Clear();
  out.SetPixelFormat(TPixelFormat::pf24bit);
  out.SetSize(area.Width(), area.Height());
  for (int y = 0; y < area.Height(); ++y) {
    uint8_t* row = out.ScanLine(y);
    for (int x = 0; x < area.Width(); ++x) {
      const unsigned long pixel = XGetPixel(image, x, y);
      row[3 * x] = static_cast<uint8_t>(blue.Get(pixel));
      row[3 * x + 1] = static_cast<uint8_t>(green.Get(pixel));
      row[3 * x + 2] = static_cast<uint8_t>(red.Get(pixel));
    }
  }
  XDestroyImage(image);
  return true;
}

bool TX11Display::TrayAvailable() const {
  if (!alive_) return false;
  Display* d = Dpy(display_);
  const std::string name = "_NET_SYSTEM_TRAY_S" + std::to_string(DefaultScreen(d));
  return XGetSelectionOwner(d, XInternAtom(d, name.c_str(), False)) != None;
}

bool TX11Display::DockInTray(const TX11Window& icon) {
  if (!alive_) return false;
  Display* d = Dpy(display_);
  const std::string name = "_NET_SYSTEM_TRAY_S" + std::to_string(DefaultScreen(d));
  const Window tray = XGetSelectionOwner(d, XInternAtom(d, name.c_str(), False));
  if (tray == None) return false;
  XEvent ev{};
  ev.xclient.type = ClientMessage;
  ev.xclient.window = tray;
  ev.xclient.message_type = XInternAtom(d, "_NET_SYSTEM_TRAY_OPCODE", False);
  ev.xclient.format = 32;
  ev.xclient.data.l[0] = CurrentTime;
  ev.xclient.data.l[1] = 0;  // SYSTEM_TRAY_REQUEST_DOCK
  ev.xclient.data.l[2] = static_cast<long>(icon.Id());
  XSendEvent(d, tray, False, NoEventMask, &ev);
  XFlush(d);
  return true;
}

std::optional<TX11Event> TX11Display::NextEvent(uint32_t timeoutMs) {
  Display* d = Dpy(display_);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (alive_) {
    if (XPending(d) == 0) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
      if (left <= 0) return std::nullopt;
      pollfd pfd{ConnectionNumber(d), POLLIN, 0};
      poll(&pfd, 1, static_cast<int>(left));
      continue;
    }
    XEvent ev;
    XNextEvent(d, &ev);
    if (ev.type == MappingNotify) {
      // The keyboard's symbols changed: Xlib's copy must follow.
      XRefreshKeyboardMapping(&ev.xmapping);
      continue;
    }
    auto it = windows_.find(ev.xany.window);
    if (it == windows_.end()) continue;
    TX11Event out;
    out.Window = ev.xany.window;
    switch (ev.type) {
      case ButtonPress:
      case ButtonRelease: {
        const XButtonEvent& b = ev.xbutton;
        out.X = b.x;
        out.Y = b.y;
        out.Shift = ShiftOf(b.state);
        if (b.button == Button4 || b.button == Button5) {
          if (ev.type == ButtonRelease) continue;
          out.Type = TX11Event::Kind::MouseWheel;
          out.Button = b.button == Button4 ? 1 : -1;
          return out;
        }
        if (b.button > Button3) continue;
        out.Button = static_cast<int>(b.button);
        if (ev.type == ButtonRelease) {
          out.Type = TX11Event::Kind::MouseUp;
          return out;
        }
        out.Type = TX11Event::Kind::MouseDown;
        out.Double = lastPressWindow_ == b.window && lastPressButton_ == out.Button &&
                     b.time - lastPressTime_ <= kDoubleClickMs && std::abs(b.x - lastPressX_) <= kDoubleClickSlop &&
                     std::abs(b.y - lastPressY_) <= kDoubleClickSlop;
        // A third press starts a new pair.
        lastPressWindow_ = out.Double ? 0 : b.window;
        lastPressButton_ = out.Button;
        lastPressTime_ = b.time;
        lastPressX_ = b.x;
        lastPressY_ = b.y;
        return out;
      }
      case MotionNotify:
        out.Type = TX11Event::Kind::MouseMove;
        out.X = ev.xmotion.x;
        out.Y = ev.xmotion.y;
        out.Shift = ShiftOf(ev.xmotion.state);
        return out;
      case EnterNotify:
      case LeaveNotify:
        out.Type = ev.type == EnterNotify ? TX11Event::Kind::MouseEnter : TX11Event::Kind::MouseLeave;
        out.X = ev.xcrossing.x;
        out.Y = ev.xcrossing.y;
        return out;
      case KeyPress:
      case KeyRelease: {
        char text[8] = {};
        KeySym keysym = NoSymbol;
        const int n = XLookupString(&ev.xkey, text, sizeof text, &keysym, nullptr);
        out.Type = ev.type == KeyPress ? TX11Event::Kind::KeyDown : TX11Event::Kind::KeyUp;
        out.Key = VirtualKeyOfKeysym(keysym);
        // A letter of another layout keeps the virtual key of its place on
        // the keyboard (the first layout's symbol there).
        if (out.Key == 0) out.Key = VirtualKeyOfKeysym(XLookupKeysym(&ev.xkey, 0));
        out.Shift = ShiftOf(ev.xkey.state);
        // Control characters (Enter, Esc, Backspace, Ctrl+letter) as Xlib
        // makes them; everything else from the symbol through Unicode, since
        // XLookupString knows Latin-1 only. Delete types nothing (its 0x7F
        // would land in an edit as text).
        if (n == 1 && static_cast<unsigned char>(text[0]) < 0x20) {
          out.Char = text[0];
        } else if (const char32_t cp = UnicodeOfKeysym(keysym); cp != 0) {
          const int byte = platform::os::detail::UnicodeToCp1251(cp);
          if (byte > 0) out.Char = static_cast<char>(byte);
        }
        if (out.Key == 0 && out.Char == 0) continue;
        return out;
      }
      case Expose:
        if (ev.xexpose.count != 0) continue;
        it->second->Repaint();
        out.Type = TX11Event::Kind::Exposed;
        return out;
      case ConfigureNotify: {
        TX11Window& w = *it->second;
        // Our own earlier moves come back first: only the state after the
        // last one asked for is news.
        if (!ev.xconfigure.send_event && ev.xconfigure.serial < w.moveSerial_) continue;
        // Under a reparenting window manager the coordinates are relative
        // to its frame; the screen position is asked for.
        int x = ev.xconfigure.x;
        int y = ev.xconfigure.y;
        if (!ev.xconfigure.send_event) {
          Window child = None;
          if (!XTranslateCoordinates(d, ev.xconfigure.window, RootWindow(d, DefaultScreen(d)), 0, 0, &x, &y, &child))
            continue;
        }
        const TRect now{x, y, x + ev.xconfigure.width, y + ev.xconfigure.height};
        if (now == w.bounds_) continue;
        w.bounds_ = now;
        out.Type = TX11Event::Kind::Configured;
        out.X = x;
        out.Y = y;
        out.Width = ev.xconfigure.width;
        out.Height = ev.xconfigure.height;
        return out;
      }
      case FocusIn:
      case FocusOut:
        out.Type = ev.type == FocusIn ? TX11Event::Kind::GotFocus : TX11Event::Kind::LostFocus;
        return out;
      case ClientMessage:
        if (ev.xclient.message_type == protocolsAtom_ &&
            static_cast<uint64_t>(ev.xclient.data.l[0]) == deleteAtom_) {
          out.Type = TX11Event::Kind::CloseRequest;
          return out;
        }
        continue;
      default:
        continue;
    }
  }
  return std::nullopt;
}

int TX11Display::ConnectionFd() const {
  return alive_ && display_ != nullptr ? ConnectionNumber(static_cast<Display*>(display_)) : -1;
}

}  // namespace platform::ui

// The X11 display against a private Xvfb server: showing a painted bitmap,
// clicks and keys through synthetic input, the close request, window
// shapes, UTF-8 titles, the tray protocol and a screenshot; and a real
// form with a button shown and clicked through the X11 backend.

#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/os/Text.h"
#include "platform/ui/Application.h"
#include "platform/ui/Buttons.h"
#include "platform/ui/Colors.h"
#include "platform/ui/Edit.h"
#include "platform/ui/Form.h"
#include "platform/ui/Menu.h"
#include "platform/ui/Painter.h"
#include "platform/ui/SaveDialog.h"
#include "platform/ui/Panels.h"
#include "platform/ui/Screenshot.h"
#include "platform/ui/X11Backend.h"
#include "platform/win/MessageLoop.h"
#include "platform/ui/X11Display.h"
#include "tests/platform/ui/draw/XvfbServer.h"

// Xlib's macros (KeyPress, ...) after the control model's declarations.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/shape.h>

namespace platform::ui {
namespace {

using namespace platform::os::literals;

// An Xvfb server of its own, on a display number it picks itself; stopped
// and reaped when the fixture ends.
class X11 : public ::testing::Test {
 protected:
  void SetUp() override {
    server_ = std::make_unique<xvfbtest::XvfbServer>(320, 240);
    if (!server_->Installed()) GTEST_SKIP() << "Xvfb is not installed";
    ASSERT_FALSE(server_->Name().empty()) << "Xvfb did not start";
    name_ = server_->Name();
    display_ = std::make_unique<TX11Display>(name_);
  }

  void TearDown() override {
    window_.reset();
    display_.reset();
    server_.reset();
  }

  Display* Native() { return static_cast<Display*>(display_->Native()); }

  // Waits (bounded) for an event of the given kind, dropping others.
  std::optional<TX11Event> WaitFor(TX11Event::Kind kind) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
      std::optional<TX11Event> e = display_->NextEvent(100);
      if (e && e->Type == kind) return e;
    }
    return std::nullopt;
  }

  // A mapped window at (40, 30) of 60 x 40 showing a red field with a blue
  // square at (10, 10)..(20, 20).
  TX11Window& ShowPainted() {
    window_ = display_->CreateWindow({40, 30, 100, 70}, "Test");
    TBitmap picture;
    picture.SetSize(60, 40);
    picture.Canvas().Brush().SetColor(clRed);
    picture.Canvas().FillRect({0, 0, 60, 40});
    picture.Canvas().Brush().SetColor(clBlue);
    picture.Canvas().FillRect({10, 10, 20, 20});
    window_->Present(picture);
    window_->Show();
    EXPECT_TRUE(WaitFor(TX11Event::Kind::Exposed).has_value());
    return *window_;
  }

  void Click(int x, int y, unsigned button = 1) {
    XTestFakeMotionEvent(Native(), 0, x, y, CurrentTime);
    XTestFakeButtonEvent(Native(), button, True, CurrentTime);
    XTestFakeButtonEvent(Native(), button, False, CurrentTime);
    XFlush(Native());
  }

  // Gives a keycode without symbols the two symbols of a letter key (as a
  // second keyboard layout would) and answers it.
  KeyCode SpareKey(KeySym lower, KeySym upper) {
    int min = 0;
    int max = 0;
    XDisplayKeycodes(Native(), &min, &max);
    int per = 0;
    KeySym* map = XGetKeyboardMapping(Native(), static_cast<KeyCode>(min), max - min + 1, &per);
    KeyCode spare = 0;
    for (int k = max; k >= min && spare == 0; --k) {
      bool empty = true;
      for (int i = 0; i < per; ++i) empty = empty && map[(k - min) * per + i] == NoSymbol;
      if (empty) spare = static_cast<KeyCode>(k);
    }
    XFree(map);
    KeySym symbols[2] = {lower, upper};
    if (spare != 0) XChangeKeyboardMapping(Native(), spare, 2, symbols, 1);
    XSync(Native(), False);
    return spare;
  }

  void Tap(KeyCode key, bool shift = false) {
    const KeyCode shiftKey = XKeysymToKeycode(Native(), XK_Shift_L);
    if (shift) XTestFakeKeyEvent(Native(), shiftKey, True, CurrentTime);
    XTestFakeKeyEvent(Native(), key, True, CurrentTime);
    XTestFakeKeyEvent(Native(), key, False, CurrentTime);
    if (shift) XTestFakeKeyEvent(Native(), shiftKey, False, CurrentTime);
    XFlush(Native());
  }

  // The process's backend on this test's server; null (the test skips)
  // when another backend was chosen earlier in this process.
  TX11Backend* X11Backend() {
    setenv("DISPLAY", name_.c_str(), 1);
    unsetenv("FERROWICK_UI");
    return dynamic_cast<TX11Backend*>(&Backend());
  }

  // Handles messages and X events until done answers true (at most 5 s).
  static bool Until(const std::function<bool()>& done) {
    return platform::win::WaitPumping([&] {
      Application().ProcessMessages();
      return done();
    }, 20000);
  }

  // A dialog form at (20, 20) with a client area of 194 x 95, shown and
  // painted on the server.
  template <class F = TForm>
  F* ShowForm(TX11Backend& backend) {
    auto* form = Create<F>(nullptr);
    form->SetBorderStyle(TFormBorderStyle::bsDialog);
    form->SetBounds(20, 20, 200, 120);
    form->Show();
    TBitmap shown;
    EXPECT_TRUE(Until([&] {
      TX11Window* w = backend.WindowOf(*form);
      return w != nullptr && w->Capture(shown) && shown.Width() == form->ClientWidth();
    }));
    return form;
  }

  bool OverrideRedirect(uint64_t window) {
    XWindowAttributes attrs;
    return XGetWindowAttributes(Native(), static_cast<Window>(window), &attrs) && attrs.override_redirect;
  }

  std::unique_ptr<xvfbtest::XvfbServer> server_;
  std::string name_;
  std::unique_ptr<TX11Display> display_;
  std::unique_ptr<TX11Window> window_;
};

TEST_F(X11, PresentedBitmapIsWhatTheWindowShows) {
  TX11Window& w = ShowPainted();
  TBitmap shown;
  ASSERT_TRUE(w.Capture(shown));
  ASSERT_EQ(shown.Width(), 60);
  ASSERT_EQ(shown.Height(), 40);
  EXPECT_EQ(shown.Canvas().Pixel(0, 0), clRed);
  EXPECT_EQ(shown.Canvas().Pixel(15, 15), clBlue);
  EXPECT_EQ(shown.Canvas().Pixel(20, 20), clRed);
  // The whole screen holds the window at its place.
  TBitmap screen;
  ASSERT_TRUE(display_->CaptureScreen(screen));
  EXPECT_EQ(screen.Width(), 320);
  EXPECT_EQ(screen.Canvas().Pixel(40 + 15, 30 + 15), clBlue);
  const auto path = std::filesystem::temp_directory_path() / ("x11_shot_" + std::to_string(getpid()) + ".bmp");
  screen.SaveToFile(path.string());
  TBitmap back;
  back.LoadFromFile(path.string());
  std::filesystem::remove(path);
  EXPECT_EQ(back.Canvas().Pixel(40 + 15, 30 + 15), clBlue);
}

TEST_F(X11, SyntheticClickArrivesInClientCoordinates) {
  ShowPainted();
  // Both clicks in one batch: the server stamps them together, so that the
  // second is a double click however late this process reads the first.
  Click(40 + 15, 30 + 12);
  Click(40 + 16, 30 + 12);
  const auto down = WaitFor(TX11Event::Kind::MouseDown);
  ASSERT_TRUE(down.has_value());
  EXPECT_EQ(down->X, 15);
  EXPECT_EQ(down->Y, 12);
  EXPECT_EQ(down->Button, 1);
  EXPECT_FALSE(down->Double);
  const auto up = WaitFor(TX11Event::Kind::MouseUp);
  ASSERT_TRUE(up.has_value());
  EXPECT_EQ(up->Shift & ssLeft, ssLeft);  // the state before the release
  const auto second = WaitFor(TX11Event::Kind::MouseDown);
  ASSERT_TRUE(second.has_value());
  EXPECT_TRUE(second->Double);
}

TEST_F(X11, KeysBecomeVirtualKeysAndCharacters) {
  ShowPainted();
  XSetInputFocus(Native(), static_cast<Window>(window_->Id()), RevertToParent, CurrentTime);
  const KeyCode a = XKeysymToKeycode(Native(), XK_a);
  const KeyCode esc = XKeysymToKeycode(Native(), XK_Escape);
  XTestFakeKeyEvent(Native(), a, True, CurrentTime);
  XTestFakeKeyEvent(Native(), a, False, CurrentTime);
  XTestFakeKeyEvent(Native(), esc, True, CurrentTime);
  XFlush(Native());
  const auto key = WaitFor(TX11Event::Kind::KeyDown);
  ASSERT_TRUE(key.has_value());
  EXPECT_EQ(key->Key, 'A');
  EXPECT_EQ(key->Char, 'a');
  const auto escape = WaitFor(TX11Event::Kind::KeyDown);
  ASSERT_TRUE(escape.has_value());
  EXPECT_EQ(escape->Key, VK_ESCAPE);
  XTestFakeKeyEvent(Native(), esc, False, CurrentTime);
  XFlush(Native());
  EXPECT_EQ(VirtualKeyOfKeysym(XK_F2), 0x71);
  EXPECT_EQ(VirtualKeyOfKeysym(XK_KP_Enter), VK_RETURN);
  EXPECT_EQ(VirtualKeyOfKeysym(XK_Cyrillic_a), 0);
}

TEST(Keysyms, TypeUnicodeCharacters) {
  EXPECT_EQ(UnicodeOfKeysym(XK_a), U'a');
  EXPECT_EQ(UnicodeOfKeysym(XK_eacute), U'\u00E9');
  EXPECT_EQ(UnicodeOfKeysym(XK_Cyrillic_yu), U'\u044E');  // first of the KOI8 order
  EXPECT_EQ(UnicodeOfKeysym(XK_Cyrillic_a), U'\u0430');
  EXPECT_EQ(UnicodeOfKeysym(XK_Cyrillic_ya), U'\u044F');
  EXPECT_EQ(UnicodeOfKeysym(XK_Cyrillic_HARDSIGN), U'\u042A');  // last capital
  EXPECT_EQ(UnicodeOfKeysym(XK_Cyrillic_io), U'\u0451');
  EXPECT_EQ(UnicodeOfKeysym(XK_Cyrillic_IO), U'\u0401');
  EXPECT_EQ(UnicodeOfKeysym(XK_Ukrainian_I), U'\u0406');
  EXPECT_EQ(UnicodeOfKeysym(XK_numerosign), U'\u2116');
  EXPECT_EQ(UnicodeOfKeysym(XK_KP_5), U'5');
  EXPECT_EQ(UnicodeOfKeysym(0x10020AC), U'\u20AC');  // a direct Unicode symbol
  EXPECT_EQ(UnicodeOfKeysym(XK_Escape), 0u);
  EXPECT_EQ(UnicodeOfKeysym(XK_F1), 0u);
  EXPECT_EQ(UnicodeOfKeysym(0x6A0), 0u);  // a hole in the Cyrillic block
}

// A key of a second layout types its Cyrillic letter as a CP1251 byte and
// keeps the virtual key of its place; a letter the code page lacks types
// nothing.
TEST_F(X11, CyrillicKeysTypeCp1251Characters) {
  ShowPainted();
  const KeyCode ya = SpareKey(XK_Cyrillic_ya, XK_Cyrillic_YA);
  ASSERT_NE(ya, 0) << "no spare keycode";
  XSetInputFocus(Native(), static_cast<Window>(window_->Id()), RevertToParent, CurrentTime);
  Tap(ya);
  const auto small = WaitFor(TX11Event::Kind::KeyDown);
  ASSERT_TRUE(small.has_value());
  EXPECT_EQ(static_cast<unsigned char>(small->Char), 0xFF);  // я
  Tap(ya, true);
  std::optional<TX11Event> capital;
  while ((capital = WaitFor(TX11Event::Kind::KeyDown)) && capital->Key == VK_SHIFT) {
  }
  ASSERT_TRUE(capital.has_value());
  EXPECT_EQ(static_cast<unsigned char>(capital->Char), 0xDF);  // Я
  Tap(XKeysymToKeycode(Native(), XK_Delete));
  const auto del = WaitFor(TX11Event::Kind::KeyDown);
  ASSERT_TRUE(del.has_value());
  EXPECT_EQ(del->Key, VK_DELETE);
  EXPECT_EQ(del->Char, 0) << "Delete types no character";
  const KeyCode greek = SpareKey(XK_Greek_alpha, XK_Greek_ALPHA);
  Tap(greek);
  Tap(XKeysymToKeycode(Native(), XK_b));
  const auto next = WaitFor(TX11Event::Kind::KeyDown);
  ASSERT_TRUE(next.has_value());
  EXPECT_EQ(next->Char, 'b') << "a letter outside the code page makes no key event";
}

TEST_F(X11, WindowManagerCloseBecomesACloseRequest) {
  ShowPainted();
  xvfbtest::RequestClose(Native(), static_cast<Window>(window_->Id()));
  const auto close = WaitFor(TX11Event::Kind::CloseRequest);
  ASSERT_TRUE(close.has_value());
  EXPECT_EQ(close->Window, window_->Id());
}

TEST_F(X11, ShapeFollowsTheRegion) {
  TX11Window& w = ShowPainted();
  TRegion shape(TRect{0, 0, 60, 40});
  shape = TRegion::Combine(shape, TRegion(TRect{0, 0, 1, 1}), RGN_XOR);
  ASSERT_TRUE(w.SetShape(&shape));
  display_->Sync();
  int count = 0;
  int ordering = 0;
  XRectangle* rects = XShapeGetRectangles(Native(), static_cast<Window>(w.Id()), ShapeBounding, &count, &ordering);
  ASSERT_NE(rects, nullptr);
  EXPECT_EQ(count, 2);  // the first row without its corner, then the rest
  EXPECT_EQ(rects[0].x, 1);
  EXPECT_EQ(rects[0].width, 59);
  XFree(rects);
  ASSERT_TRUE(w.SetShape(nullptr));
  display_->Sync();
  rects = XShapeGetRectangles(Native(), static_cast<Window>(w.Id()), ShapeBounding, &count, &ordering);
  EXPECT_EQ(count, 1);
  XFree(rects);
}

TEST_F(X11, TitlesAreUtf8) {
  TX11Window& w = ShowPainted();
  w.SetTitle("Ошибка"_cp);
  display_->Sync();
  Atom type = None;
  int format = 0;
  unsigned long items = 0;
  unsigned long after = 0;
  unsigned char* data = nullptr;
  ASSERT_EQ(XGetWindowProperty(Native(), static_cast<Window>(w.Id()), XInternAtom(Native(), "_NET_WM_NAME", False), 0,
                               64, False, AnyPropertyType, &type, &format, &items, &after, &data),
            Success);
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(data), items), "Ошибка");
  XFree(data);
}

TEST_F(X11, TrayDockingNeedsATray) {
  ShowPainted();
  EXPECT_FALSE(display_->TrayAvailable());
  EXPECT_FALSE(display_->DockInTray(*window_));
  // Play the tray on a second connection.
  Display* tray = XOpenDisplay(name_.c_str());
  ASSERT_NE(tray, nullptr);
  const Window trayWindow = XCreateSimpleWindow(tray, DefaultRootWindow(tray), 0, 0, 1, 1, 0, 0, 0);
  XSetSelectionOwner(tray, XInternAtom(tray, "_NET_SYSTEM_TRAY_S0", False), trayWindow, CurrentTime);
  XSync(tray, False);
  EXPECT_TRUE(display_->TrayAvailable());
  EXPECT_TRUE(display_->DockInTray(*window_));
  bool docked = false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!docked && std::chrono::steady_clock::now() < deadline) {
    if (XPending(tray) == 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      continue;
    }
    XEvent ev;
    XNextEvent(tray, &ev);
    docked = ev.type == ClientMessage &&
             ev.xclient.message_type == XInternAtom(tray, "_NET_SYSTEM_TRAY_OPCODE", False) &&
             ev.xclient.data.l[1] == 0 && static_cast<uint64_t>(ev.xclient.data.l[2]) == window_->Id();
  }
  EXPECT_TRUE(docked);
  XCloseDisplay(tray);
}

TEST_F(X11, ErrorsDoNotEndTheProcess) {
  const uint32_t before = display_->ErrorCount();
  XUnmapWindow(Native(), 0x7FFFFFF);  // no such window
  display_->Sync();
  EXPECT_GT(display_->ErrorCount(), before);
  EXPECT_TRUE(display_->Alive());
  EXPECT_THROW(TX11Display(":65000"), EX11Error);  // no server there
}

// The process's backend is chosen once: this test points DISPLAY at its
// server before anything asks for the backend (ctest runs every test in a
// process of its own).
// Each test runs in a process of its own, so the choice is this test's.
TEST_F(X11, HeadlessOnlyProcessIgnoresTheDisplay) {
  setenv("DISPLAY", name_.c_str(), 1);
  unsetenv("FERROWICK_UI");
  ASSERT_TRUE(UseHeadlessBackend()) << "another backend was chosen earlier in this process";
  EXPECT_EQ(Backend().Name(), "headless");
  EXPECT_FALSE(UseHeadlessBackend()) << "the choice is made once";
}

TEST_F(X11, FormWithAButtonIsShownClickedAndCaptured) {
  setenv("DISPLAY", name_.c_str(), 1);
  unsetenv("FERROWICK_UI");
  auto* backend = dynamic_cast<TX11Backend*>(&Backend());
  if (backend == nullptr) GTEST_SKIP() << "another backend was chosen earlier in this process";
  auto* form = Create<TForm>(nullptr);
  form->SetBorderStyle(TFormBorderStyle::bsDialog);
  form->SetBounds(20, 20, 200, 120);
  form->SetCaption("Ошибка"_cp);
  auto* button = Create<TButton>(form);
  button->SetParent(form);
  button->SetBounds(20, 20, 75, 25);
  button->SetCaption("Press");
  int clicks = 0;
  button->OnClick = [&](TObject*) { ++clicks; };
  form->Show();

  // The X window shows the painted client area: the focused button's black
  // frame, then its raised edge.
  TBitmap shown;
  auto showsButton = [&] {
    Application().ProcessMessages();
    TX11Window* w = backend->WindowOf(*form);
    return w != nullptr && w->Capture(shown) && shown.Width() == form->ClientWidth() &&
           shown.Canvas().Pixel(20, 20) == clBlack && shown.Canvas().Pixel(21, 21) == RGB(223, 223, 223);
  };
  EXPECT_TRUE(platform::win::WaitPumping(showsButton, 20000));
  EXPECT_EQ(shown.Canvas().Pixel(5, 5), RGB(192, 192, 192));

  // A synthetic click in the middle of the button (the window lies at the
  // form's client origin: no window manager moves it).
  const TPoint middle = button->ClientToScreen(TPoint{37, 12});
  Click(middle.X, middle.Y);
  EXPECT_TRUE(platform::win::WaitPumping([&] {
    Application().ProcessMessages();
    return clicks == 1;
  }, 20000));
  EXPECT_EQ(clicks, 1);

  // A screenshot of the whole screen holds the button at its place.
  const auto path = std::filesystem::temp_directory_path() / ("x11_form_" + std::to_string(getpid()) + ".bmp");
  ASSERT_TRUE(SaveScreenScreenshot(path.string()));
  TBitmap back;
  back.LoadFromFile(path.string());
  std::filesystem::remove(path);
  const TPoint corner = button->ClientToScreen(TPoint{0, 0});
  EXPECT_EQ(back.Canvas().Pixel(corner.X, corner.Y), clBlack);
  EXPECT_EQ(back.Canvas().Pixel(corner.X + 1, corner.Y + 1), RGB(223, 223, 223));

  // The window manager's close reaches the form as WM_CLOSE.
  bool closed = false;
  form->OnClose = [&](TObject*, TCloseAction& action) {
    closed = true;
    action = TCloseAction::caHide;
  };
  xvfbtest::RequestClose(Native(), static_cast<Window>(backend->WindowOf(*form)->Id()));
  EXPECT_TRUE(platform::win::WaitPumping([&] {
    Application().ProcessMessages();
    return closed;
  }, 20000));
  EXPECT_FALSE(form->Visible());
  TComponent::Free(form);
  EXPECT_EQ(backend->WindowOf(*form), nullptr);
}


TEST_F(X11, CyrillicLetterTypedIntoAnEdit) {
  TX11Backend* backend = X11Backend();
  if (backend == nullptr) GTEST_SKIP() << "another backend was chosen earlier in this process";
  const KeyCode ya = SpareKey(XK_Cyrillic_ya, XK_Cyrillic_YA);
  ASSERT_NE(ya, 0) << "no spare keycode";
  TForm* form = ShowForm(*backend);
  auto* edit = Create<TEdit>(form);
  edit->SetParent(form);
  edit->SetBounds(10, 10, 120, 21);
  edit->SetFocus();
  XSetInputFocus(Native(), static_cast<Window>(backend->WindowOf(*form)->Id()), RevertToParent, CurrentTime);
  Tap(XKeysymToKeycode(Native(), XK_b));
  Tap(ya);
  Tap(ya, true);
  EXPECT_TRUE(Until([&] { return edit->Text().size() == 3; }));
  EXPECT_EQ(edit->Text(), "bяЯ"_cp);
  TComponent::Free(form);
}

// A right click opens the control's menu as a window of its own that the
// window manager leaves alone, showing what the menu paints; a click on an
// item chooses it, a click elsewhere closes the menu.
TEST_F(X11, PopupMenuIsAWindowAndAClickChoosesAnItem) {
  TX11Backend* backend = X11Backend();
  if (backend == nullptr) GTEST_SKIP() << "another backend was chosen earlier in this process";
  TForm* form = ShowForm(*backend);
  auto* panel = Create<TPanel>(form);
  panel->SetParent(form);
  panel->SetBounds(10, 10, 100, 60);
  auto* menu = Create<TPopupMenu>(form);
  std::vector<std::string> chosen;
  for (const char* caption : {"Copy", "-", "Save"}) {
    auto* item = Create<TMenuItem>(menu);
    item->SetCaption(caption);
    item->OnClick = [&chosen, caption](TObject*) { chosen.push_back(caption); };
    menu->Items()->Add(item);
  }
  panel->SetPopupMenu(menu);
  const TPoint at = panel->ClientToScreen(TPoint{50, 30});
  Click(at.X, at.Y, 3);
  ASSERT_TRUE(Until([&] { return menu->IsOpen() && backend->MenuWindowOf(*menu) != nullptr; }));
  backend->Display().Sync();
  TX11Window& window = *backend->MenuWindowOf(*menu);
  EXPECT_TRUE(OverrideRedirect(window.Id()));
  EXPECT_EQ(window.Bounds().Left, at.X);
  EXPECT_EQ(window.Bounds().Top, at.Y);

  TBitmap expected;
  const TRect size = menu->MenuRect();
  expected.SetSize(size.Width(), size.Height());
  TPainter painter;
  painter.SetTarget(&expected);
  menu->PaintMenu(painter, 0, 0);
  TBitmap shown;
  ASSERT_TRUE(window.Capture(shown));
  ASSERT_EQ(shown.Width(), size.Width());
  ASSERT_EQ(shown.Height(), size.Height());
  int differing = 0;
  for (int y = 0; y < shown.Height(); ++y)
    for (int x = 0; x < shown.Width(); ++x) differing += shown.Canvas().Pixel(x, y) != expected.Canvas().Pixel(x, y);
  EXPECT_EQ(differing, 0);

  // The item under the pointer is highlighted; the separator lights none.
  auto rowColour = [&](int y) {
    TBitmap now;
    return window.Capture(now) ? now.Canvas().Pixel(4, y) : clNone;
  };
  XTestFakeMotionEvent(Native(), 0, at.X + 20, at.Y + 2 + 18 + 8 + 9, CurrentTime);
  XFlush(Native());
  EXPECT_TRUE(Until([&] { return rowColour(2 + 18 + 8 + 9) == ColorToRGB(clHighlight); }));
  EXPECT_EQ(rowColour(2 + 9), ColorToRGB(clMenu));
  XTestFakeMotionEvent(Native(), 0, at.X + 20, at.Y + 2 + 18 + 3, CurrentTime);
  XFlush(Native());
  EXPECT_TRUE(Until([&] { return rowColour(2 + 18 + 8 + 9) == ColorToRGB(clMenu); }));

  // "Save": below "Copy" (18 pixels) and the separator (8) inside the edge.
  EXPECT_EQ(menu->ItemAt(TPoint{20, 2 + 18 + 8 + 9}), menu->Items()->Items(2));
  EXPECT_EQ(menu->ItemAt(TPoint{20, 2 + 18 + 3}), nullptr);  // the separator
  Click(at.X + 20, at.Y + 2 + 18 + 8 + 9);
  ASSERT_TRUE(Until([&] { return !chosen.empty(); }));
  EXPECT_EQ(chosen, std::vector<std::string>{"Save"});
  EXPECT_FALSE(menu->IsOpen());
  EXPECT_EQ(backend->MenuWindowOf(*menu), nullptr);

  // Opened again, a click outside closes it and chooses nothing. The
  // backend's ungrab and grab reach the server before this connection's
  // clicks only through a round trip on the backend's connection.
  backend->Display().Sync();
  Click(at.X, at.Y, 3);
  ASSERT_TRUE(Until([&] { return backend->MenuWindowOf(*menu) != nullptr; }));
  backend->Display().Sync();
  Click(5, 230);
  EXPECT_TRUE(Until([&] { return !menu->IsOpen(); }));
  EXPECT_EQ(backend->MenuWindowOf(*menu), nullptr);
  EXPECT_EQ(chosen.size(), 1u);
  TComponent::Free(form);
}

// The hint window is a bare window at its place showing its painted
// pixels.
TEST_F(X11, HintIsAWindowOfItsOwn) {
  TX11Backend* backend = X11Backend();
  if (backend == nullptr) GTEST_SKIP() << "another backend was chosen earlier in this process";
  Application().HintPause = 0;
  Application().HintHidePause = 60000;
  TForm* form = ShowForm(*backend);
  auto* button = Create<TButton>(form);
  button->SetParent(form);
  button->SetBounds(20, 20, 75, 25);
  button->SetHint("Tip");
  button->SetShowHint(true);
  const TPoint middle = button->ClientToScreen(TPoint{37, 12});
  XTestFakeMotionEvent(Native(), 0, middle.X - 1, middle.Y, CurrentTime);
  XTestFakeMotionEvent(Native(), 0, middle.X, middle.Y, CurrentTime);
  XFlush(Native());
  TBitmap shown;
  ASSERT_TRUE(Until([&] {
    THintWindow* hint = Application().HintWindow();
    TX11Window* w = hint != nullptr && hint->Visible() ? backend->WindowOf(*hint) : nullptr;
    return w != nullptr && w->Capture(shown) && shown.Width() == hint->Width() &&
           shown.Canvas().Pixel(1, 1) == ColorToRGB(clInfoBk);
  }));
  THintWindow& hint = *Application().HintWindow();
  TX11Window& window = *backend->WindowOf(hint);
  EXPECT_TRUE(OverrideRedirect(window.Id()));
  EXPECT_EQ(window.Bounds().Left, hint.Left());
  EXPECT_EQ(window.Bounds().Top, hint.Top());
  EXPECT_EQ(shown.Canvas().Pixel(0, 0), ColorToRGB(clInfoText));  // its frame
  Application().CancelHint();
  Application().ProcessMessages();
  // The unmap went out on the backend's connection: once the server has
  // answered there, this connection sees the window unmapped.
  backend->Display().Sync();
  XWindowAttributes attrs;
  ASSERT_TRUE(XGetWindowAttributes(Native(), static_cast<Window>(window.Id()), &attrs));
  EXPECT_EQ(attrs.map_state, IsUnmapped);
  TComponent::Free(form);
}

// A button noting the pointer's crossings, "+name" on entry, "-name" on exit.
class CrossingLog : public TButton {
 public:
  CrossingLog(TComponent* owner, std::vector<std::string>& log) : TButton(owner), log_(log) {}

 protected:
  void Dispatch(TMessage& m) override {
    if (m.Msg == CM_MOUSEENTER) log_.push_back("+" + Name());
    if (m.Msg == CM_MOUSELEAVE) log_.push_back("-" + Name());
    TButton::Dispatch(m);
  }

 private:
  std::vector<std::string>& log_;
};

// The pointer moving from one control to the next, and out of the window,
// tells each control as the headless driver does.
TEST_F(X11, PointerCrossingsBecomeMouseEnterAndLeave) {
  TX11Backend* backend = X11Backend();
  if (backend == nullptr) GTEST_SKIP() << "another backend was chosen earlier in this process";
  TForm* form = ShowForm(*backend);
  std::vector<std::string> log;
  for (const char* name : {"A", "B"}) {
    auto* b = Create<CrossingLog>(form, log);
    b->SetName(name);
    b->SetParent(form);
    b->SetBounds(name[0] == 'A' ? 10 : 100, 20, 75, 25);
  }
  auto moveTo = [&](int x, int y, size_t entries) {
    const TPoint p = form->ClientToScreen(TPoint{x, y});
    XTestFakeMotionEvent(Native(), 0, p.X, p.Y, CurrentTime);
    XFlush(Native());
    return Until([&] { return log.size() >= entries; });
  };
  EXPECT_TRUE(moveTo(20, 30, 1));
  EXPECT_TRUE(moveTo(110, 30, 3));
  EXPECT_TRUE(moveTo(60, 80, 4));    // the form itself, between the buttons
  EXPECT_TRUE(moveTo(105, 25, 5));
  XTestFakeMotionEvent(Native(), 0, 300, 230, CurrentTime);  // out of the window
  XFlush(Native());
  EXPECT_TRUE(Until([&] { return log.size() >= 6; }));
  EXPECT_EQ(log, (std::vector<std::string>{"+A", "-A", "+B", "-B", "+B", "-B"}));
  TComponent::Free(form);
}

// A form noting where every WM_MOVE put it and every WM_SIZE made it.
class MoveLog : public TForm {
 public:
  using TForm::TForm;
  std::vector<int> moves;
  std::vector<int> sizes;

 protected:
  void Dispatch(TMessage& m) override {
    if (m.Msg == WM_MOVE) moves.push_back(Left());
    if (m.Msg == WM_SIZE) sizes.push_back(Width());
    TForm::Dispatch(m);
  }
};

// A window moved or sized from outside (as a window manager does) moves
// and sizes its form; the form's own moves are not undone by the events
// they cause.
TEST_F(X11, MovedWindowMovesItsForm) {
  TX11Backend* backend = X11Backend();
  if (backend == nullptr) GTEST_SKIP() << "another backend was chosen earlier in this process";
  auto* form = ShowForm<MoveLog>(*backend);
  const TPoint client = form->ClientOrigin();
  EXPECT_EQ(client.X, 23);
  EXPECT_EQ(client.Y, 42);
  const auto window = static_cast<Window>(backend->WindowOf(*form)->Id());
  XMoveWindow(Native(), window, 100, 80);
  XFlush(Native());
  EXPECT_TRUE(Until([&] { return form->Left() == 97 && form->Top() == 58; }));
  EXPECT_EQ(form->ClientOrigin().X, 100);
  XResizeWindow(Native(), window, 150, 90);
  XFlush(Native());
  EXPECT_TRUE(Until([&] { return form->ClientWidth() == 150 && form->ClientHeight() == 90; }));
  EXPECT_EQ(form->Width(), 156);
  EXPECT_EQ(form->Left(), 97);

  // Two moves and sizes by code in a row: the events they cause move the
  // form no further (an event of the first must not pull it back on the
  // way).
  form->moves.clear();
  form->sizes.clear();
  form->SetBounds(30, 58, 120, 100);
  form->SetBounds(40, 58, 130, 100);
  // Once the server has answered the backend, every event of both
  // requests waits in its queue; one round of messages handles them all.
  Application().ProcessMessages();
  backend->Display().Sync();
  Application().ProcessMessages();
  EXPECT_EQ(form->moves, (std::vector<int>{30, 40}));
  EXPECT_EQ(form->sizes, (std::vector<int>{120, 130}));
  EXPECT_EQ(form->Left(), 40);
  int x = 0;
  int y = 0;
  Window child = None;
  ASSERT_TRUE(XTranslateCoordinates(Native(), window, DefaultRootWindow(Native()), 0, 0, &x, &y, &child));
  EXPECT_EQ(x, 43);
  EXPECT_EQ(y, 80);
  TComponent::Free(form);
}


// Under X11 a save dialog is our own form: a user types a name and presses
// Enter; the answer is the name in the folder shown, with the default
// extension.
TEST_F(X11, SaveDialogIsAFormThatTakesATypedName) {
  TX11Backend* backend = X11Backend();
  if (backend == nullptr) GTEST_SKIP() << "another backend was chosen earlier in this process";
  const auto folder = std::filesystem::temp_directory_path() / ("x11_save_" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  // The user: a connection of its own, since the dialog's loop holds this
  // thread. A dialog still open after the typing is closed, so that the
  // test cannot hang.
  std::atomic<bool> typed{false};
  std::thread user([&] {
    Display* d = XOpenDisplay(name_.c_str());
    if (d == nullptr) return;
    Window dialog = None;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (dialog == None && std::chrono::steady_clock::now() < deadline) {
      dialog = xvfbtest::FindShownWindow(d, "Сохранить как");
      if (dialog == None) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (dialog != None) {
      XSetInputFocus(d, dialog, RevertToParent, CurrentTime);
      for (KeySym k : {XK_l, XK_o, XK_g, XK_Return}) {
        XTestFakeKeyEvent(d, XKeysymToKeycode(d, k), True, CurrentTime);
        XTestFakeKeyEvent(d, XKeysymToKeycode(d, k), False, CurrentTime);
      }
      XSync(d, False);
      typed = true;
      const auto gone = std::chrono::steady_clock::now() + std::chrono::seconds(30);
      while (xvfbtest::FindShownWindow(d, "Сохранить как") != None && std::chrono::steady_clock::now() < gone)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      if (xvfbtest::FindShownWindow(d, "Сохранить как") != None) xvfbtest::RequestClose(d, dialog);
    }
    XCloseDisplay(d);
  });
  TSaveDialog dialog(nullptr);
  dialog.InitialDir = folder.string();
  dialog.DefaultExt = "txt";
  const bool saved = dialog.Execute();
  user.join();
  std::filesystem::remove_all(folder);
  EXPECT_TRUE(typed);
  ASSERT_TRUE(saved);
  EXPECT_EQ(dialog.FileName, folder.string() + "/log.txt");
  // Another thread's dialog could never be shown: cancelled at once.
  bool other = true;
  std::thread([&] {
    TSaveDialog elsewhere(nullptr);
    other = elsewhere.Execute();
  }).join();
  EXPECT_FALSE(other);
}

}  // namespace
}  // namespace platform::ui

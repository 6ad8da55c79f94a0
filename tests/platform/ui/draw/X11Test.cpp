// The X11 display against a private Xvfb server: showing a painted bitmap,
// clicks and keys through synthetic input, the close request, window
// shapes, UTF-8 titles, the tray protocol and a screenshot; and a real
// form with a button shown and clicked through the X11 backend.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/os/Text.h"
#include "platform/ui/Application.h"
#include "platform/ui/Buttons.h"
#include "platform/ui/Colors.h"
#include "platform/ui/Form.h"
#include "platform/ui/Screenshot.h"
#include "platform/ui/X11Backend.h"
#include "platform/win/MessageLoop.h"
#include "platform/ui/X11Display.h"

// Xlib's macros (KeyPress, ...) after the control model's declarations.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/shape.h>

extern char** environ;

namespace platform::ui {
namespace {

using namespace platform::os::literals;

// An Xvfb server of its own, on a display number it picks itself; stopped
// and reaped when the fixture ends.
class X11 : public ::testing::Test {
 protected:
  void SetUp() override {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const std::string fd = std::to_string(fds[1]);
    const char* argv[] = {"Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "320x240x24", "-nolisten", "tcp", nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const int rc = posix_spawnp(&server_, "Xvfb", &actions, nullptr, const_cast<char**>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (rc != 0) {
      close(fds[0]);
      server_ = 0;
      GTEST_SKIP() << "Xvfb is not installed";
    }
    // Xvfb writes its display number once it accepts connections.
    std::string number;
    pollfd pfd{fds[0], POLLIN, 0};
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (number.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
      if (poll(&pfd, 1, 200) <= 0) continue;
      char buf[16];
      const ssize_t n = read(fds[0], buf, sizeof buf);
      if (n <= 0) break;
      number.append(buf, static_cast<std::size_t>(n));
    }
    close(fds[0]);
    ASSERT_NE(number.find('\n'), std::string::npos) << "Xvfb did not start";
    name_ = ":" + number.substr(0, number.find('\n'));
    display_ = std::make_unique<TX11Display>(name_);
  }

  void TearDown() override {
    window_.reset();
    display_.reset();
    if (server_ > 0) {
      kill(server_, SIGTERM);
      int status = 0;
      for (int i = 0; i < 100 && waitpid(server_, &status, WNOHANG) == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
      if (waitpid(server_, &status, WNOHANG) == 0) {
        kill(server_, SIGKILL);
        waitpid(server_, &status, 0);
      }
    }
  }

  Display* Native() { return static_cast<Display*>(display_->Native()); }

  // Waits (bounded) for an event of the given kind, dropping others.
  std::optional<TX11Event> WaitFor(TX11Event::Kind kind) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
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

  void Click(int x, int y) {
    XTestFakeMotionEvent(Native(), 0, x, y, CurrentTime);
    XTestFakeButtonEvent(Native(), 1, True, CurrentTime);
    XTestFakeButtonEvent(Native(), 1, False, CurrentTime);
    XFlush(Native());
  }

  pid_t server_ = 0;
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
  Click(40 + 15, 30 + 12);
  const auto down = WaitFor(TX11Event::Kind::MouseDown);
  ASSERT_TRUE(down.has_value());
  EXPECT_EQ(down->X, 15);
  EXPECT_EQ(down->Y, 12);
  EXPECT_EQ(down->Button, 1);
  EXPECT_FALSE(down->Double);
  const auto up = WaitFor(TX11Event::Kind::MouseUp);
  ASSERT_TRUE(up.has_value());
  EXPECT_EQ(up->Shift & ssLeft, ssLeft);  // the state before the release
  Click(40 + 16, 30 + 12);
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

TEST_F(X11, WindowManagerCloseBecomesACloseRequest) {
  ShowPainted();
  XEvent ev{};
  ev.xclient.type = ClientMessage;
  ev.xclient.window = static_cast<Window>(window_->Id());
  ev.xclient.message_type = XInternAtom(Native(), "WM_PROTOCOLS", False);
  ev.xclient.format = 32;
  ev.xclient.data.l[0] = static_cast<long>(XInternAtom(Native(), "WM_DELETE_WINDOW", False));
  XSendEvent(Native(), ev.xclient.window, False, NoEventMask, &ev);
  XFlush(Native());
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
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
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
  EXPECT_TRUE(platform::win::WaitPumping(showsButton, 5000));
  EXPECT_EQ(shown.Canvas().Pixel(5, 5), RGB(192, 192, 192));

  // A synthetic click in the middle of the button (the window lies at the
  // form's client origin: no window manager moves it).
  const TPoint middle = button->ClientToScreen(TPoint{37, 12});
  Click(middle.X, middle.Y);
  EXPECT_TRUE(platform::win::WaitPumping([&] {
    Application().ProcessMessages();
    return clicks == 1;
  }, 5000));
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
  XEvent ev{};
  ev.xclient.type = ClientMessage;
  ev.xclient.window = static_cast<Window>(backend->WindowOf(*form)->Id());
  ev.xclient.message_type = XInternAtom(Native(), "WM_PROTOCOLS", False);
  ev.xclient.format = 32;
  ev.xclient.data.l[0] = static_cast<long>(XInternAtom(Native(), "WM_DELETE_WINDOW", False));
  XSendEvent(Native(), ev.xclient.window, False, NoEventMask, &ev);
  XFlush(Native());
  EXPECT_TRUE(platform::win::WaitPumping([&] {
    Application().ProcessMessages();
    return closed;
  }, 5000));
  EXPECT_FALSE(form->Visible());
  TComponent::Free(form);
  EXPECT_EQ(backend->WindowOf(*form), nullptr);
}

}  // namespace
}  // namespace platform::ui

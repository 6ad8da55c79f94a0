// A form button on a real display (a private Xvfb server): the pointer
// moving onto it and away raises OnMouseEnter and OnMouseLeave, and a
// synthetic click clicks it once.

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/Application.h"
#include "platform/ui/Form.h"
#include "platform/ui/X11Backend.h"
#include "platform/win/MessageLoop.h"
#include "skin/sFormButtons.h"
#include "tests/platform/ui/draw/XvfbServer.h"

// Xlib's macros after the control model's declarations.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

namespace skin {
namespace {

namespace ui = platform::ui;

bool Until(const std::function<bool()>& done) {
  return platform::win::WaitPumping(
      [&] {
        ui::Application().ProcessMessages();
        return done();
      },
      20000);
}

TEST(ButtonsX11, PointerEntersLeavesAndClicks) {
  xvfbtest::XvfbServer server(320, 240);
  if (!server.Installed()) GTEST_SKIP() << "Xvfb is not installed";
  ASSERT_FALSE(server.Name().empty()) << "Xvfb did not start";
  setenv("DISPLAY", server.Name().c_str(), 1);
  unsetenv("FERROWICK_UI");
  auto* backend = dynamic_cast<ui::TX11Backend*>(&ui::Backend());
  ASSERT_NE(backend, nullptr);
  Display* input = XOpenDisplay(server.Name().c_str());
  ASSERT_NE(input, nullptr);

  auto form = ui::CreateOwned<ui::TForm>(nullptr);
  form->SetBorderStyle(ui::TFormBorderStyle::bsDialog);
  form->SetBounds(20, 20, 200, 120);
  TsBitBtn* button = CreateFormButton(form.get(), form.get(), "OkBitBtn");
  button->SetBounds(20, 20, 80, 25);
  button->SetCaption("Ok");
  std::vector<std::string> events;
  button->OnMouseEnter = [&](ui::TObject*) { events.push_back("enter"); };
  button->OnMouseLeave = [&](ui::TObject*) { events.push_back("leave"); };
  button->OnClick = [&](ui::TObject*) { events.push_back("click"); };
  form->Show();
  ASSERT_TRUE(Until([&] { return backend->WindowOf(*form) != nullptr; }));

  auto moveTo = [&](ui::TPoint p) {
    XTestFakeMotionEvent(input, 0, p.X, p.Y, CurrentTime);
    XFlush(input);
  };
  const ui::TPoint middle = button->ClientToScreen(ui::TPoint{40, 12});
  moveTo(middle);
  EXPECT_TRUE(Until([&] { return events.size() >= 1; }));
  XTestFakeButtonEvent(input, 1, True, CurrentTime);
  XTestFakeButtonEvent(input, 1, False, CurrentTime);
  XFlush(input);
  EXPECT_TRUE(Until([&] { return events.size() >= 2; }));
  moveTo(form->ClientToScreen(ui::TPoint{150, 70}));
  EXPECT_TRUE(Until([&] { return events.size() >= 3; }));
  EXPECT_EQ(events, (std::vector<std::string>{"enter", "click", "leave"}));
  form.reset();
  XCloseDisplay(input);
}

}  // namespace
}  // namespace skin

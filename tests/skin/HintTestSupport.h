#pragma once
// A form with a button that has a hint, a hint manager in the look of the
// setup dialog, and the mouse resting on the button until the application
// shows the hint. Every test leaves the application's hint state as it
// found it: the manager is freed (handing back what it replaced) and the
// pauses restored.

#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/ui/Application.h"
#include "platform/ui/Buttons.h"
#include "platform/ui/Form.h"
#include "platform/ui/Headless.h"
#include "skin/sHintManager.h"
#include "skin/sHintWindows.h"
#include "tests/skin/SkinTestSupport.h"

namespace hinttest {

namespace ui = platform::ui;
using ui::THeadlessDriver;

// The setup dialog's look: the predefined ellipse with an opaque body
// (the shadow 16 pixels off, 4 soft, 74 % transparent).
inline ui::TComponentPtr<skin::TsHintManager> SetupLikeManager() {
  auto m = ui::CreateOwned<skin::TsHintManager>(nullptr);
  m->SetPreDefinitions(skin::TsHintsPredefinitions::shEllipse);
  m->sStyle().Painting().SetTransparency(0);
  return m;
}

using skintest::At;
using skintest::TBitmap;
using skintest::TColor;

// Channels within tolerance of each other.
inline bool Near(TColor a, TColor b, int tolerance) {
  return std::abs(ui::GetRValue(a) - ui::GetRValue(b)) <= tolerance &&
         std::abs(ui::GetGValue(a) - ui::GetGValue(b)) <= tolerance &&
         std::abs(ui::GetBValue(a) - ui::GetBValue(b)) <= tolerance;
}
// No channel of a above b's, and a darker in all.
inline bool Darker(TColor a, TColor b) {
  return ui::GetRValue(a) <= ui::GetRValue(b) && ui::GetGValue(a) <= ui::GetGValue(b) &&
         ui::GetBValue(a) <= ui::GetBValue(b) &&
         ui::GetRValue(a) + ui::GetGValue(a) + ui::GetBValue(a) < ui::GetRValue(b) + ui::GetGValue(b) + ui::GetBValue(b);
}

// Pixels of a screen with an ellipse hint that opened below and right of
// the mouse (its tail at the top), against the screen before it showed.
struct TEllipseProbes {
  TColor Body;                // inside the ellipse, left of the text
  TColor Outline;             // the first changed pixel from the left of the body's middle row
  TColor Shadow;              // right of the body, down by the shadow's offset
  TColor ShadowScreen;        // the screen there before
  bool OutsideUnchanged;      // just left of, right of and below the window
  bool CornerNearlyUnchanged; // inside the window, outside shape and shadow
};
inline TEllipseProbes ProbeEllipse(const TBitmap& before, const TBitmap& after, const skin::TsEllipseHintWindow& w,
                                   int shift, int exOffset) {
  const ui::TRect at = w.BoundsRect();
  const ui::TRect body = skin::TailBodyRect(w.Corner, at.Width(), at.Height(), shift, exOffset);
  const int cy = at.Top + (body.Top + body.Bottom) / 2;
  int x = at.Left;
  while (x < at.Right && Near(At(after, x, cy), At(before, x, cy), 2)) ++x;
  const int sx = at.Left + body.Right + shift / 3, sy = cy + shift;
  bool outside = true;
  for (const ui::TPoint p : {ui::TPoint{at.Left - 1, cy}, ui::TPoint{at.Right, at.Top}, ui::TPoint{at.Left, at.Bottom}})
    outside = outside && At(after, p.X, p.Y) == At(before, p.X, p.Y);
  return TEllipseProbes{At(after, at.Left + body.Left + w.EllipseExtraWidth / 4, cy),
                        At(after, x, cy),
                        At(after, sx, sy),
                        At(before, sx, sy),
                        outside,
                        Near(At(after, at.Right - 2, at.Top + 1), At(before, at.Right - 2, at.Top + 1), 2)};
}

class HintFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    THeadlessDriver::Reset();
    form = ui::CreateOwned<ui::TForm>(nullptr);
    form->SetBounds(200, 150, 300, 200);
    button = ui::CreateChild<ui::TButton>(form.get(), form.get(), "HintedButton");
    button->SetBounds(20, 20, 100, 25);
    button->SetHint("A hint over the button");
    button->SetShowHint(true);
    form->Show();
    THeadlessDriver::Pump();
  }
  void TearDown() override {
    ui::Application().CancelHint();
    THeadlessDriver::MoveTo(ui::TPoint{0, 0});
    form.reset();
    ui::Application().HintPause = 500;
    ui::Application().HintHidePause = 2500;
  }
  // Rests the mouse on the control until its hint shows; the window the
  // application made.
  ui::THintWindow* ShowHintOf(ui::TControl* control) {
    THeadlessDriver::MoveTo(ui::TPoint{0, 0});
    THeadlessDriver::Pump();
    ui::Application().HintPause = 0;
    THeadlessDriver::MoveTo(control);
    THeadlessDriver::Pump();  // shows it
    THeadlessDriver::Pump();  // paints it
    return ui::Application().HintWindow();
  }

  ui::TComponentPtr<ui::TForm> form;
  ui::TButton* button = nullptr;
};

}  // namespace hinttest

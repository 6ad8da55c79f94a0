#pragma once
// A form with a button that has a hint, a hint manager in the look of the
// setup dialog, and the mouse resting on the button until the application
// shows the hint. Every test leaves the application's hint state as it
// found it: the manager is freed (handing back what it replaced) and the
// pauses restored.

#include <gtest/gtest.h>

#include "platform/ui/Application.h"
#include "platform/ui/Buttons.h"
#include "platform/ui/Form.h"
#include "platform/ui/Headless.h"
#include "skin/sHintManager.h"
#include "skin/sHintWindows.h"

namespace hinttest {

namespace ui = platform::ui;
using ui::THeadlessDriver;

// The setup dialog's stored look over a fresh manager, applied as form
// data is: values first, then Loaded.
inline ui::TComponentPtr<skin::TsHintManager> SetupLikeManager() {
  auto m = ui::CreateOwned<skin::TsHintManager>(nullptr);
  m->BeginLoading();
  skin::TsPassivePaintStyle& s = m->sStyle();
  s.Background().Gradient().SetPercent(100);
  s.Shadow().SetTransparency(74);
  s.Shadow().SetOffset(16);
  s.Shadow().SetBlur(4);
  s.Painting().SetTransparency(0);
  s.Painting().SetColorBorderTop(0);
  s.Painting().SetColor(0xC2FCFC);
  m->Blur = 0;
  m->ExOffset = 26;
  m->MarginH = 6;
  m->MarginV = 12;
  ui::TFont font;
  font.SetHeight(-11);
  font.SetColor(0);
  m->SetFont(font);
  m->SetPreDefinitions(skin::TsHintsPredefinitions::shCustom);
  m->EndLoading();
  return m;
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

#pragma once
// Stand-in controls for the style tests: a button that owns an active
// style and answers the style's questions from plain fields, and a panel
// that owns a background style. Both forward every message to their style
// first and free it last, as the skinned controls do.

#include <gtest/gtest.h>

#include <memory>
#include <string_view>

#include "platform/ui/Edit.h"
#include "platform/ui/Form.h"
#include "platform/ui/Headless.h"
#include "platform/ui/WinControl.h"
#include "skin/sStyleSimply.h"
#include "skin/sStyleUtil.h"

namespace skintest {

template <class Style>
class StyledControl : public platform::ui::TCustomControl {
 public:
  explicit StyledControl(platform::ui::TComponent* owner)
      : platform::ui::TCustomControl(owner), style_(std::make_unique<Style>(this)) {}
  ~StyledControl() override { style_.reset(); }

  Style& sStyle() { return *style_; }
  // Messages that reached the style.
  int styleMessages = 0;

 protected:
  void WndProc(platform::ui::TMessage& message) override {
    if (style_) {
      ++styleMessages;
      style_->HandleMessage(message);
    }
    platform::ui::TCustomControl::WndProc(message);
  }

 private:
  std::unique_ptr<Style> style_;
};

class StandInButton : public StyledControl<skin::TsActiveBGStyle>, public skin::TsStyleButton {
 public:
  explicit StandInButton(platform::ui::TComponent* owner) : StyledControl(owner) {
    sStyle().SetStyleKind(skin::kKindBitBtn);
  }

  bool down = false;
  bool activeDefault = false;
  int32_t bevelWidth = 2;
  int fadeIns = 0;
  int fadeOuts = 0;

  bool Down() const override { return down; }
  bool IsActiveDefault() const override { return activeDefault; }
  int32_t BevelWidth() const override { return bevelWidth; }
  void StartFadeIn() override { ++fadeIns; }
  void StartFadeOut() override { ++fadeOuts; }
  std::string_view ClassName() const override { return "TsBitBtn"; }
};

// A panel kind: a shadow container that listens.
inline constexpr int32_t kKindPanel = 51;

class StandInPanel : public StyledControl<skin::TsPassiveBGStyle> {
 public:
  explicit StandInPanel(platform::ui::TComponent* owner) : StyledControl(owner) {
    sStyle().SetStyleKind(kKindPanel);
  }
};

// A shown form with a styled panel, a button (80 x 25 at 10, 20) and an
// edit that takes the focus away from the button.
class StyledFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::ui::THeadlessDriver::Reset();
    form = platform::ui::CreateOwned<platform::ui::TForm>(nullptr);
    form->SetBounds(0, 0, 320, 240);
    panel = platform::ui::CreateChild<StandInPanel>(form.get(), form.get(), "Panel");
    panel->SetBounds(100, 10, 200, 150);
    button = platform::ui::CreateChild<StandInButton>(form.get(), form.get(), "Button1");
    button->SetBounds(10, 20, 80, 25);
    button->SetTabStop(true);
    edit = platform::ui::CreateChild<platform::ui::TEdit>(form.get(), form.get(), "Edit1");
    edit->SetBounds(10, 180, 80, 21);
    form->Show();
    edit->SetFocus();
    platform::ui::THeadlessDriver::Pump();
  }
  void TearDown() override {
    form.reset();
    platform::ui::THeadlessDriver::Pump();
  }
  skin::TsActiveBGStyle& style() { return button->sStyle(); }
  // The keyboard focus on the button, or away from it on the edit.
  void FocusButton(bool onButton) {
    const bool enabled = button->Enabled();
    button->SetEnabled(true);
    if (onButton)
      button->SetFocus();
    else
      edit->SetFocus();
    button->SetEnabled(enabled);
  }

  platform::ui::TComponentPtr<platform::ui::TForm> form;
  StandInPanel* panel = nullptr;
  StandInButton* button = nullptr;
  platform::ui::TEdit* edit = nullptr;
};

}  // namespace skintest

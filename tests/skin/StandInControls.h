#pragma once
// Stand-in controls for the style tests: a button that owns an active
// style and answers the style's questions from plain fields, and a panel
// that owns a background style. Both forward every message to their style
// first and free it last, as the skinned controls do.

#include <memory>
#include <string_view>

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

}  // namespace skintest

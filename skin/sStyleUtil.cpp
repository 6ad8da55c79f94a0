#include "skin/sStyleUtil.h"

#include <algorithm>

#include "platform/ui/WinControl.h"
#include "skin/sMaskData.h"

namespace skin {

using namespace platform::ui;
namespace msg = platform::win;

namespace {

bool InLibraryRanges(uint32_t number) {
  return (number >= msg::SM_FIRST && number <= msg::SM_BASELAST) ||
         (number >= msg::SM_SOFTCONTROL && number <= msg::SM_LAST);
}

}  // namespace

// ---- TsPaintStyle ----

TsPaintStyle::TsPaintStyle(TControl* control)
    : TsGenStyle(control), painting_(std::make_unique<TsPainting>(*this)) {}

TsPaintStyle::~TsPaintStyle() = default;

void TsPaintStyle::HandleMessage(TMessage& message) {
  TControl* control = Control();
  if (message.Msg == CM_PARENTCOLORCHANGED || message.Msg == CM_SYSCOLORCHANGE) {
    if (painting_->ParentColor() && control != nullptr && control->Parent() != nullptr) {
      painting_->StoreColor(control->Parent()->Color());
      Invalidate();
    }
  } else if (InLibraryRanges(message.Msg) && CarriesGroup(message, group_)) {
    if (message.Msg == msg::SM_PAINTCOLOR) {
      painting_->SetColor(3, static_cast<TColor>(message.LParam));
    } else if (message.Msg == msg::SM_SHADOWDEFAULTS && message.LParam != 0) {
      const auto* defaults = reinterpret_cast<const TsShadowDefaults*>(message.LParam);
      TsShadow& shadow = Effects().Shadow();
      const bool refused = InShadowlessKinds(StyleKind()) || ControlHidden() || shadow.DontUse();
      shadow.StoreEnabled(!refused && defaults->ShadowEnabled);
    }
  }
  TsGenStyle::HandleMessage(message);
}

void TsPaintStyle::PaintShadow(TCanvas& /*canvas*/, int32_t /*dx*/, int32_t /*dy*/) {}

// ---- TsPassiveBGStyle ----

TsPassiveBGStyle::TsPassiveBGStyle(TControl* control)
    : TsPaintStyle(control), background_(std::make_unique<TsBackground>(*this)) {}

TsPassiveBGStyle::~TsPassiveBGStyle() = default;

void TsPassiveBGStyle::HandleMessage(TMessage& message) { TsPaintStyle::HandleMessage(message); }

TColor TsPassiveBGStyle::CurrentColor() const { return Painting().Color(); }
TsControlBevel TsPassiveBGStyle::CurrentBevel() const { return Painting().Bevel(); }
int32_t TsPassiveBGStyle::CurrentBevelWidth() const { return Painting().BevelWidth(); }
int32_t TsPassiveBGStyle::CurrentGradientPercent() const { return background_->Gradient().Percent(); }
const TsGradArray& TsPassiveBGStyle::CurrentGradientData() const { return background_->Gradient().Bands(); }
int32_t TsPassiveBGStyle::CurrentImagePercent() const { return background_->Image().Percent(); }
const TGraphic* TsPassiveBGStyle::CurrentImage() const { return background_->Image().Image().Graphic(); }

void TsPassiveBGStyle::ComposeNormal(TBitmap& /*b*/, const TRect& /*r*/) const {}

bool TsPassiveBGStyle::CopyParentArea(TBitmap& /*b*/, const TBackSource& /*back*/) const { return false; }

void TsPassiveBGStyle::PaintChildShadows(TBitmap& /*b*/) {}

void TsPassiveBGStyle::PaintBackground(TBitmap& /*bitmap*/) {}

// ---- TsActiveBGStyle ----

TsActiveBGStyle::TsActiveBGStyle(TControl* control)
    : TsPassiveBGStyle(control),
      hotStyle_(std::make_unique<TsHotStyle>(*this)),
      btnEffects_(std::make_unique<TsActiveEffects>(*this)) {}

TsActiveBGStyle::~TsActiveBGStyle() = default;

TColor TsActiveBGStyle::CurrentColor() const {
  return IsHot() ? hotStyle_->HotPainting().Color() : TsPassiveBGStyle::CurrentColor();
}

TsControlBevel TsActiveBGStyle::CurrentBevel() const {
  return IsHot() ? hotStyle_->HotPainting().Bevel() : TsPassiveBGStyle::CurrentBevel();
}

int32_t TsActiveBGStyle::CurrentBevelWidth() const {
  return IsHot() ? hotStyle_->HotPainting().BevelWidth() : TsPassiveBGStyle::CurrentBevelWidth();
}

int32_t TsActiveBGStyle::CurrentGradientPercent() const {
  return IsHot() ? hotStyle_->HotBackground().Gradient().Percent() : TsPassiveBGStyle::CurrentGradientPercent();
}

const TsGradArray& TsActiveBGStyle::CurrentGradientData() const {
  return IsHot() ? hotStyle_->HotBackground().Gradient().Bands() : TsPassiveBGStyle::CurrentGradientData();
}

int32_t TsActiveBGStyle::CurrentImagePercent() const {
  return IsHot() ? hotStyle_->HotBackground().Image().Percent() : TsPassiveBGStyle::CurrentImagePercent();
}

const TGraphic* TsActiveBGStyle::CurrentImage() const {
  return IsHot() ? hotStyle_->HotBackground().Image().Image().Graphic() : TsPassiveBGStyle::CurrentImage();
}

bool TsActiveBGStyle::FadingEnabled() const { return btnEffects_->Fading().Enabled(); }
int32_t TsActiveBGStyle::FadeIterations() const { return btnEffects_->Fading().Iterations(); }
int32_t TsActiveBGStyle::FadeIntervalIn() const { return btnEffects_->Fading().IntervalIn(); }
int32_t TsActiveBGStyle::FadeIntervalOut() const { return btnEffects_->Fading().IntervalOut(); }

void TsActiveBGStyle::PaintBackground(TBitmap& bitmap) { TsPassiveBGStyle::PaintBackground(bitmap); }

void TsActiveBGStyle::PaintHot() {}

void TsActiveBGStyle::ComposeHot(TBitmap& /*b*/, const TRect& /*r*/) const {}

void TsActiveBGStyle::PaintBorder(const TRect& /*r*/) {}

void TsActiveBGStyle::UpdateRegion() {
  if (Control() == nullptr || btnEffects_->MaskedBorders().Enabled() || SkinIndex() >= 0) {
    TsGenStyle::UpdateRegion();
    return;
  }
  SetBorderRegion(NewCornerRegion());
  SetCacheStale(true);
  SetWindowRegion(BorderRegion());
  SetRegionPending(false);
}

}  // namespace skin

#include "skin/sStylePassive.h"

#include <algorithm>

#include "platform/ui/WinControl.h"
#include "platform/win/Messages.h"
#include "skin/sStyleUtil.h"

namespace skin {

using namespace platform::ui;
namespace msg = platform::win;

namespace {

// Doubled pixel counts of the messages, bounded to what a bitmap side can be.
int32_t DoubledPixels(LPARAM value) {
  return static_cast<int32_t>(std::clamp<LPARAM>(value, -kMaxGraphicSide / 2, kMaxGraphicSide / 2) * 2);
}

}  // namespace

// ---- TsPassiveShadow ----

void TsPassiveShadow::SetEnabled(bool value) {
  if (value == enabled_) return;
  enabled_ = value;
  style_.NotifyOwner();
}

void TsPassiveShadow::SetOffset(int32_t value) {
  value = std::clamp(value, -kMaxGraphicSide, kMaxGraphicSide);
  if (value == offset_) return;
  offset_ = value;
  style_.NotifyOwner();
}

void TsPassiveShadow::SetColor(TColor value) {
  if (value == color_) return;
  color_ = value;
  style_.NotifyOwner();
}

void TsPassiveShadow::SetTransparency(int32_t value) {
  const auto percent = static_cast<TPercent>(std::clamp(value, 0, 100));
  if (percent == transparency_) return;
  transparency_ = percent;
  style_.NotifyOwner();
}

void TsPassiveShadow::SetBlur(int32_t value) {
  if (value == blur_) return;
  blur_ = value;
  style_.NotifyOwner();
}

// ---- TsPassivePainting ----

void TsPassivePainting::SetBevel(TsControlBevel value) {
  if (value == bevel_) return;
  bevel_ = value;
  style_.NotifyOwner();
}

void TsPassivePainting::SetColorByIndex(int32_t index, TColor value) {
  TColor* field = index == 0 ? &colorBorderTop_ : index == 1 ? &colorBorderBottom_ : index == 3 ? &color_ : nullptr;
  if (field == nullptr || *field == value) return;
  *field = value;
  style_.NotifyOwner();
}

void TsPassivePainting::SetTransparency(int32_t value) {
  if (value == transparency_) return;
  transparency_ = value;
  style_.NotifyOwner();
}

// ---- TsPassivePaintStyle ----

TsPassivePaintStyle::TsPassivePaintStyle(TComponent* owner)
    : owner_(owner),
      shadow_(std::make_unique<TsPassiveShadow>(*this)),
      painting_(std::make_unique<TsPassivePainting>(*this)),
      background_(std::make_unique<TsBackground>(*this)),
      work_(std::make_unique<TBitmap>()) {}

TsPassivePaintStyle::~TsPassivePaintStyle() = default;

void TsPassivePaintStyle::SetSkinSection(std::string_view section) {
  if (section != skinSection_) skinSection_ = std::string(section);
}

void TsPassivePaintStyle::NotifyOwner() {
  if (auto* listener = dynamic_cast<TsPassiveStyleOwner*>(owner_)) listener->PassiveStyleChanged();
}

void TsPassivePaintStyle::HandleMessage(TMessage& message) {
  if (message.Msg < msg::SM_STYLEQUERY || message.Msg > msg::SM_LAST) return;
  if (!CarriesGroup(message, groupIndex_) && !CarriesGroup(message, 21)) return;
  const bool hintKind = styleKind_ == kKindHintManager;
  switch (message.Msg) {
    case msg::SM_STYLEQUERY:
      message.WParam = 1;
      message.LParam = reinterpret_cast<LPARAM>(this);
      break;
    case msg::SM_SKINLOADED:
      indexes_ = LookUpSkinIndexes(skinSection_);
      break;
    case msg::SM_SKINRESET:
      indexes_ = TsSkinIndexes{};
      break;
    case msg::SM_PAINTCOLOR:
      painting_->SetColorByIndex(3, static_cast<TColor>(message.LParam));
      break;
    case msg::SM_BACKGROUNDIMAGE:
      if (background_->ListenMSG() && message.LParam != 0)
        background_->Image().SetImage(*reinterpret_cast<const TPicture*>(message.LParam));
      message.Result = 1;
      break;
    case msg::SM_SHADOWENABLED:
      if (!hintKind) shadow_->StoreEnabled(message.LParam != 0);
      break;
    case msg::SM_SHADOWCOLOR:
      shadow_->SetColor(static_cast<TColor>(message.LParam));
      break;
    case msg::SM_SHADOWTRANSPARENCY:
      shadow_->StoreTransparency(static_cast<TPercent>(std::min<LPARAM>(message.LParam & 0xFF, 100)));
      break;
    case msg::SM_SHADOWOFFSET:
      shadow_->StoreOffset(DoubledPixels(message.LParam));
      break;
    case msg::SM_SHADOWBLUR:
      shadow_->StoreBlur(DoubledPixels(message.LParam));
      break;
    case msg::SM_SHADOWDEFAULTS:
      ApplyShadowDefaults(message);
      break;
    default:
      break;
  }
}

void TsPassivePaintStyle::ApplyShadowDefaults(const TMessage& message) {
  const auto* defaults = reinterpret_cast<const TsShadowDefaults*>(message.LParam);
  if (defaults == nullptr) return;
  shadow_->SetColor(defaults->ShadowColor);
  if (styleKind_ != kKindHintManager) shadow_->SetEnabled(defaults->ShadowEnabled);
  shadow_->SetOffset(DoubledPixels(defaults->ShadowOffset));
  shadow_->SetBlur(DoubledPixels(defaults->ShadowBlur));
  if (background_->ListenMSG() && defaults->Picture != nullptr) background_->Image().SetImage(*defaults->Picture);
}

void TsPassivePaintStyle::PaintBackground(TBitmap& b, const TRect& r) {
  const TsBGImage& image = background_->Image();
  const TsBGGradient& gradient = background_->Gradient();
  ComposeBackground(b, r,
                    TsComposition{painting_->Color(), image.Percent(), gradient.Percent(), &gradient.Bands(),
                                  image.Image().Graphic()},
                    false);
  if (InShadowContainerKinds(styleKind_)) PaintChildShadows(dynamic_cast<TWinControl*>(owner_), b);
}

}  // namespace skin

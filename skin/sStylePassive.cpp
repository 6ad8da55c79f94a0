#include "skin/sStylePassive.h"

#include <algorithm>

#include "platform/win/Messages.h"

namespace skin {

using namespace platform::ui;
namespace msg = platform::win;

// ---- TsPassiveShadow ----

void TsPassiveShadow::SetEnabled(bool value) {
  if (value == enabled_) return;
  enabled_ = value;
  style_.NotifyOwner();
}

void TsPassiveShadow::SetOffset(int32_t value) {
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

void TsPassivePaintStyle::HandleMessage(TMessage& /*message*/) {}

void TsPassivePaintStyle::ApplyShadowDefaults(const TMessage& /*message*/) {}

void TsPassivePaintStyle::PaintBackground(TBitmap& /*b*/, const TRect& /*r*/) {}

}  // namespace skin

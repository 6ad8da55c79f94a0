#include "skin/sStyleActive.h"

#include <algorithm>
#include <exception>

#include "platform/os/Files.h"
#include "platform/ui/Application.h"
#include "platform/ui/Graphic.h"
#include "platform/ui/WinControl.h"
#include "skin/sPictures.h"
#include "skin/sStylePassive.h"

namespace skin {

using namespace platform::ui;

namespace {

TPercent ClampPercent(int32_t value) { return static_cast<TPercent>(std::clamp(value, 0, 100)); }

}  // namespace

// ---- TsPainting ----

void TsPainting::SetParentColor(bool value) {
  if (value == parentColor_) return;
  parentColor_ = value;
  TControl* control = style_.Control();
  if (control == nullptr) return;
  control->SetParentColor(value);
  if (value && control->Parent() != nullptr && control->Parent()->Color() != color_) {
    color_ = control->Parent()->Color();
    style_.Invalidate();
  }
}

void TsPainting::SetColor(int32_t index, TColor value) {
  if (index != 3 || value == color_) return;
  color_ = value;
  parentColor_ = false;
  if (style_.Control() != nullptr) style_.Control()->SetColor(value);
  style_.Invalidate();
}

void TsPainting::SetBevel(TsControlBevel value) {
  if (value == bevel_) return;
  bevel_ = value;
  style_.Invalidate();
}

void TsPainting::SetTransparency(int32_t value) {
  if (value == transparency_) return;
  transparency_ = value;
  style_.RepaintParent();
  style_.Invalidate();
}

// ---- background ----

void TsBGAddon::Changed() { owner_.Changed(); }

TsBGImage::TsBGImage(TsHotBackground& owner) : TsBGAddon(owner), image_(std::make_unique<TPicture>()) {}

TsBGImage::~TsBGImage() = default;

void TsBGImage::SetImage(const TPicture& picture) {
  if (&picture != image_.get()) image_->Assign(&picture);
  Changed();
}

void TsBGImage::SetImageName(std::string_view name) {
  if (name == imageName_ || !platform::os::FileExists(std::string(name))) return;
  imageName_ = std::string(name);
  LoadPictureByExt(*image_, imageName_, false);
}

void TsBGImage::SetPercent(int32_t value) {
  const TPercent percent = ClampPercent(value);
  if (percent == percent_) return;
  percent_ = percent;
  TsBGGradient& gradient = Owner().Gradient();
  if (percent + gradient.Percent() > 100) gradient.StorePercent(static_cast<TPercent>(100 - percent));
  Changed();
}

void TsBGGradient::SetData(std::string_view data) {
  const std::string_view text = data.substr(0, kMaxGradientText);
  if (text == data_) return;
  data_ = std::string(text);
  bands_.clear();
  try {
    ParseGradientData(data_, bands_);
  } catch (...) {
    Changed();
    throw;
  }
  Changed();
}

void TsBGGradient::SetPercent(int32_t value) {
  const TPercent percent = ClampPercent(value);
  if (percent == percent_) return;
  percent_ = percent;
  TsBGImage& image = Owner().Image();
  if (percent + image.Percent() > 100) image.StorePercent(static_cast<TPercent>(100 - percent));
  Changed();
}

TsHotBackground::TsHotBackground(TPersistent& owner)
    : owner_(owner), image_(std::make_unique<TsBGImage>(*this)), gradient_(std::make_unique<TsBGGradient>(*this)) {}

TsHotBackground::~TsHotBackground() = default;

void TsHotBackground::Changed() {
  if (auto* style = dynamic_cast<TsGenStyle*>(&owner_)) {
    style->Invalidate();
  } else if (auto* passive = dynamic_cast<TsPassivePaintStyle*>(&owner_)) {
    passive->NotifyOwner();
  }
}

// ---- hot look ----

TsHotStyle::TsHotStyle(TsGenStyle& style)
    : style_(style),
      hotPainting_(std::make_unique<TsHotPainting>()),
      hotBackground_(std::make_unique<TsHotBackground>(*this)) {}

TsHotStyle::~TsHotStyle() = default;

// ---- button effects ----

TsMaskedBorders::TsMaskedBorders(TsGenStyle& style) : mask_(std::make_unique<TBitmap>()), style_(style) {}

TsMaskedBorders::~TsMaskedBorders() = default;

void TsMaskedBorders::Rebuild() {
  style_.UpdateRegion();
  style_.Invalidate();
}

void TsMaskedBorders::SetMask(const TBitmap& mask) {
  mask_->Assign(&mask);
  try {
    Rebuild();
    mask_->SetPixelFormat(TPixelFormat::pf24bit);
    predefined_ = TsPredefinedBorders::pdCustom;
    style_.SetRegionPending(true);
  } catch (const EInvalidGraphic&) {
    // The mask keeps its copy; the look follows at the next paint.
  } catch (const EInvalidGraphicOperation&) {
  }
}

void TsMaskedBorders::SetEnabled(bool value) {
  if (value == enabled_) return;
  enabled_ = value;
  style_.SetRegionPending(true);
  Rebuild();
}

void TsMaskedBorders::SetPredefined(TsPredefinedBorders value) {
  if (value == predefined_) return;
  predefined_ = value;
  try {
    Rebuild();
  } catch (const EInvalidGraphic&) {
  } catch (const EInvalidGraphicOperation&) {
  }
  style_.SetRegionPending(true);
}

void TsMaskedBorders::SetTransparentColor(TColor value) {
  if (value == transparentColor_) return;
  transparentColor_ = value;
  Rebuild();
  style_.SetRegionPending(true);
}

TsActiveEffects::TsActiveEffects(TsGenStyle& style)
    : fading_(std::make_unique<TsFading>()), maskedBorders_(std::make_unique<TsMaskedBorders>(style)) {}

TsActiveEffects::~TsActiveEffects() = default;

// ---- shadow ----

TsShadow::~TsShadow() {
  const TControl* control = style_.Control();
  if (!enabled_ || control == nullptr || control->Parent() == nullptr || control->Parent()->Destroying()) return;
  try {
    SetEnabled(false);
  } catch (...) {
    HandleDispatchException(std::current_exception());
  }
}

void TsShadow::SetColor(TColor value) {
  if (value == color_) return;
  color_ = value;
  style_.RepaintParent();
}

void TsShadow::SetOffset(int32_t value) {
  if (value == offset_) return;
  offset_ = value;
  style_.RepaintParent();
}

void TsShadow::SetBlur(int32_t value) {
  if (value == blur_) return;
  blur_ = value;
  style_.RepaintParent();
}

void TsShadow::SetTransparency(int32_t value) {
  const int32_t percent = std::clamp(value, 0, 100);
  if (percent == transparency_) return;
  transparency_ = percent;
  if (enabled_) style_.RepaintParent();
}

void TsShadow::SetDontUse(bool value) {
  dontUse_ = value;
  if (enabled_ && value) SetEnabled(false);
}

void TsShadow::SetEnabled(bool value) {
  TControl* control = style_.Control();
  if (control == nullptr || GetStyleKind(control->Parent()) <= 0) return;
  if (InShadowlessKinds(style_.StyleKind())) return;
  if (value) dontUse_ = false;
  enabled_ = value;
  style_.RepaintParent();
}

TsEffects::TsEffects(TsGenStyle& style) : shadow_(std::make_unique<TsShadow>(style)), style_(style) {}

TsEffects::~TsEffects() = default;

}  // namespace skin

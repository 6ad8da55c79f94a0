#pragma once
// sStyleActive: the settings objects a style publishes: painting,
// background (image and gradient), hot look, button effects (fading,
// masked borders) and the shadow. Each is created and owned by its parent
// object and tells its style about changes through its setters. Setters
// act only when the value differs, unless their comment says otherwise.
// GUI thread.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/ui/Bitmap.h"
#include "platform/ui/Font.h"
#include "platform/ui/Picture.h"
#include "skin/sBorderMasks.h"
#include "skin/sGradient.h"
#include "skin/sStyleSimply.h"

namespace skin {

using platform::ui::TColor;
using platform::ui::TPersistent;

// A one-byte percent.
using TPercent = uint8_t;

enum class TsControlBevel { cbNone, cbRaisedSoft, cbLoweredSoft, cbRaisedHard, cbLoweredHard };

class TsHotBackground;

// ---- painting ----

class TsPainting : public TPersistent {
 public:
  explicit TsPainting(TsGenStyle& style) : style_(style) {}

  bool ParentColor() const { return parentColor_; }
  // Stored; the control's ParentColor follows. Turned on under a parent of
  // another colour, the colour follows the parent's and the style
  // invalidates.
  void SetParentColor(bool value);
  TColor Color() const { return color_; }
  // Index 3 only (others do nothing): stored, ParentColor off, the
  // control's colour set, the style invalidated.
  void SetColor(int32_t index, TColor value);
  void SetColor(TColor value) { SetColor(3, value); }
  // Written by messages without notification.
  void StoreColor(TColor value) { color_ = value; }
  // Unpublished, never set: 0.
  int32_t BevelWidth() const { return bevelWidth_; }
  TsControlBevel Bevel() const { return bevel_; }
  void SetBevel(TsControlBevel value);
  // Share of the parent's background showing through, in percent (not
  // bounded here; above 100 suppresses the shadow).
  int32_t Transparency() const { return transparency_; }
  // Stored; the parent repaints, then the style invalidates.
  void SetTransparency(int32_t value);

 private:
  bool parentColor_ = true;
  TColor color_ = 13288119;
  int32_t bevelWidth_ = 0;
  TsControlBevel bevel_ = TsControlBevel::cbRaisedSoft;
  TsGenStyle& style_;
  int32_t transparency_ = 0;
};

class TsHotPainting : public TPersistent {
 public:
  TsHotPainting() = default;

  TColor Color() const { return color_; }
  void SetColor(TColor value) { color_ = value; }
  TsControlBevel Bevel() const { return bevel_; }
  void SetBevel(TsControlBevel value) { bevel_ = value; }
  TPercent Transparency() const { return transparency_; }
  void SetTransparency(TPercent value) { transparency_ = value; }
  TColor FontColor() const { return fontColor_; }
  void SetFontColor(TColor value) { fontColor_ = value; }
  platform::ui::TFontStyles FontStyle() const { return fontStyle_; }
  void SetFontStyle(platform::ui::TFontStyles value) { fontStyle_ = value; }
  int32_t BevelWidth() const { return bevelWidth_; }
  // Stored always, without notification.
  void SetBevelWidth(int32_t value) { bevelWidth_ = value; }

 private:
  TColor color_ = 13612943;
  TsControlBevel bevel_ = TsControlBevel::cbRaisedSoft;
  TPercent transparency_ = 0;
  TColor fontColor_ = 0;
  platform::ui::TFontStyles fontStyle_ = 0;
  int32_t bevelWidth_ = 5;
};

// ---- background ----

// The common base of image and gradient: the owning background.
class TsBGAddon : public TPersistent {
 public:
  explicit TsBGAddon(TsHotBackground& owner) : owner_(owner) {}
  TsHotBackground& Owner() const { return owner_; }

 protected:
  // The owning background's change notification.
  void Changed();

 private:
  TsHotBackground& owner_;
};

class TsBGImage : public TsBGAddon {
 public:
  explicit TsBGImage(TsHotBackground& owner);
  ~TsBGImage() override;

  platform::ui::TPicture& Image() { return *image_; }
  const platform::ui::TPicture& Image() const { return *image_; }
  // Copies picture (unless it is this one); notifies.
  void SetImage(const platform::ui::TPicture& picture);
  const std::string& ImageName() const { return imageName_; }
  // Only for an existing file: the name is stored and the picture loaded
  // by the file's extension. A missing file changes nothing.
  void SetImageName(std::string_view name);
  TPercent Percent() const { return percent_; }
  // Clamped to 0..100 and stored; the gradient's percent drops to keep the
  // sum at most 100; notifies.
  void SetPercent(int32_t value);
  // Written by the sibling to keep the sum.
  void StorePercent(TPercent value) { percent_ = value; }

 private:
  std::unique_ptr<platform::ui::TPicture> image_;
  std::string imageName_;
  TPercent percent_ = 0;
};

class TsBGGradient : public TsBGAddon {
 public:
  explicit TsBGGradient(TsHotBackground& owner) : TsBGAddon(owner) {}

  const TsGradientData& Data() const { return data_; }
  // Compared and stored as a short string (255 characters), parsed into
  // the bands; notifies. A text that does not parse raises
  // platform::os::EConvertError after storing, the bands as far as parsed.
  void SetData(std::string_view data);
  TPercent Percent() const { return percent_; }
  // Clamped to 0..100 and stored; the image's percent drops to keep the
  // sum at most 100; notifies.
  void SetPercent(int32_t value);
  void StorePercent(TPercent value) { percent_ = value; }
  const TsGradArray& Bands() const { return bands_; }

 private:
  TsGradientData data_;
  TPercent percent_ = 70;
  TsGradArray bands_;
};

// Image and gradient of a look. Its owner is a background style, a hot
// style or a passive paint style; changes of image and gradient invalidate
// a background style, notify a passive style's owner and nobody for a hot
// style.
class TsHotBackground : public TPersistent {
 public:
  explicit TsHotBackground(TPersistent& owner);
  ~TsHotBackground() override;

  TPersistent& Owner() const { return owner_; }
  TsBGImage& Image() { return *image_; }
  const TsBGImage& Image() const { return *image_; }
  TsBGGradient& Gradient() { return *gradient_; }
  const TsBGGradient& Gradient() const { return *gradient_; }
  // The change notification of image and gradient.
  void Changed();

 private:
  TPersistent& owner_;
  std::unique_ptr<TsBGImage> image_;
  std::unique_ptr<TsBGGradient> gradient_;
};

class TsBackground : public TsHotBackground {
 public:
  explicit TsBackground(TPersistent& owner) : TsHotBackground(owner) {}
  // The background takes pictures from library messages.
  bool ListenMSG() const { return listenMSG_; }
  void SetListenMSG(bool value) { listenMSG_ = value; }

 private:
  bool listenMSG_ = false;
};

// ---- hot look ----

class TsHotStyle : public TPersistent {
 public:
  explicit TsHotStyle(TsGenStyle& style);
  ~TsHotStyle() override;

  TsGenStyle& Style() const { return style_; }
  TsHotPainting& HotPainting() { return *hotPainting_; }
  const TsHotPainting& HotPainting() const { return *hotPainting_; }
  TsHotBackground& HotBackground() { return *hotBackground_; }
  const TsHotBackground& HotBackground() const { return *hotBackground_; }

 private:
  TsGenStyle& style_;
  std::unique_ptr<TsHotPainting> hotPainting_;
  std::unique_ptr<TsHotBackground> hotBackground_;
};

// ---- button effects ----

class TsFading : public TPersistent {
 public:
  TsFading() = default;
  bool Enabled() const { return enabled_; }
  // Stored, without notification.
  void SetEnabled(bool value) { enabled_ = value; }
  TPercent Iterations() const { return iterations_; }
  void SetIterations(TPercent value) { iterations_ = value; }
  // Milliseconds between the steps of a fade in and a fade out.
  TPercent IntervalIn() const { return intervalIn_; }
  void SetIntervalIn(TPercent value) { intervalIn_ = value; }
  TPercent IntervalOut() const { return intervalOut_; }
  void SetIntervalOut(TPercent value) { intervalOut_ = value; }

 private:
  bool enabled_ = true;
  TPercent iterations_ = 5;
  TPercent intervalIn_ = 5;
  TPercent intervalOut_ = 5;
};

class TsMaskedBorders : public TPersistent {
 public:
  explicit TsMaskedBorders(TsGenStyle& style);
  ~TsMaskedBorders() override;

  // The style's own mask (pdCustom); empty at first.
  platform::ui::TBitmap& Mask() { return *mask_; }
  const platform::ui::TBitmap& Mask() const { return *mask_; }
  // Copies mask (24 bits), Predefined becomes pdCustom; the region is
  // rebuilt and the style invalidated. Graphic errors after the copy are
  // swallowed.
  void SetMask(const platform::ui::TBitmap& mask);
  bool Enabled() const { return enabled_; }
  // Stored; the region is rebuilt and the style invalidated.
  void SetEnabled(bool value);
  TsPredefinedBorders Predefined() const { return predefined_; }
  void SetPredefined(TsPredefinedBorders value);
  TColor TransparentColor() const { return transparentColor_; }
  void SetTransparentColor(TColor value);

 private:
  void Rebuild();

  std::unique_ptr<platform::ui::TBitmap> mask_;
  bool enabled_ = true;
  TsPredefinedBorders predefined_ = TsPredefinedBorders::pdBorder1;
  TColor transparentColor_ = 16711935;
  TsGenStyle& style_;
};

class TsActiveEffects : public TPersistent {
 public:
  explicit TsActiveEffects(TsGenStyle& style);
  ~TsActiveEffects() override;

  TsFading& Fading() { return *fading_; }
  const TsFading& Fading() const { return *fading_; }
  TsMaskedBorders& MaskedBorders() { return *maskedBorders_; }
  const TsMaskedBorders& MaskedBorders() const { return *maskedBorders_; }

 private:
  std::unique_ptr<TsFading> fading_;
  std::unique_ptr<TsMaskedBorders> maskedBorders_;
};

// ---- shadow ----

class TsShadow : public TPersistent {
 public:
  explicit TsShadow(TsGenStyle& style) : style_(style) {}
  // A shadow that is on goes off through its setter, so the parent
  // repaints (unless the parent is being destroyed).
  ~TsShadow() override;

  TColor Color() const { return color_; }
  // Stored; the parent repaints. So do Offset and Blur.
  void SetColor(TColor value);
  int32_t Offset() const { return offset_; }
  void SetOffset(int32_t value);
  // Percent, clamped to 0..100; the parent repaints when the shadow is on.
  int32_t Transparency() const { return transparency_; }
  void SetTransparency(int32_t value);
  int32_t Blur() const { return blur_; }
  void SetBlur(int32_t value);
  bool DontUse() const { return dontUse_; }
  // Stored always; True switches a shadow that is on off.
  void SetDontUse(bool value);
  bool Enabled() const { return enabled_; }
  // Only under a styled parent and for a kind that may have a shadow:
  // True clears DontUse; stored; the parent repaints.
  void SetEnabled(bool value);

  // Written by the library's messages, without the setters' effects.
  void StoreColor(TColor value) { color_ = value; }
  void StoreOffset(int32_t value) { offset_ = value; }
  void StoreTransparency(int32_t value) { transparency_ = value; }
  void StoreBlur(int32_t value) { blur_ = value; }
  void StoreEnabled(bool value) { enabled_ = value; }

 private:
  TColor color_ = 0;
  int32_t offset_ = 8;
  TsGenStyle& style_;
  int32_t transparency_ = 60;
  int32_t blur_ = 4;
  bool dontUse_ = true;
  bool enabled_ = false;
};

class TsEffects : public TPersistent {
 public:
  explicit TsEffects(TsGenStyle& style);
  ~TsEffects() override;

  TsShadow& Shadow() { return *shadow_; }
  const TsShadow& Shadow() const { return *shadow_; }
  TsGenStyle& Style() const { return style_; }

 private:
  std::unique_ptr<TsShadow> shadow_;
  TsGenStyle& style_;
};

}  // namespace skin

#pragma once
// sStyleUtil: the painting styles of the chain TsGenStyle > TsPaintStyle >
// TsPassiveBGStyle > TsActiveBGStyle. The paint level adds the painting
// settings, its own group and the shadow; the background level composes
// the control's background (picture, gradient, colour, see-through to the
// parent) into a bitmap; the active level adds the hot look, the border
// bevel and the button effects (the buttons own one). GUI thread.

#include <cstdint>
#include <memory>

#include "platform/ui/Bitmap.h"
#include "platform/ui/Graphic.h"
#include "platform/ui/WinControl.h"
#include "skin/sGradient.h"
#include "skin/sStyleActive.h"
#include "skin/sStyleSimply.h"

namespace skin {

// What a background composition paints with.
struct TsComposition {
  TColor Color = 0;
  int32_t ImagePercent = 0;
  int32_t GradientPercent = 0;
  const TsGradArray* Bands = nullptr;  // null or empty: the colour instead
  const platform::ui::TGraphic* Image = nullptr;
};
static_assert(sizeof(TsComposition) == (sizeof(void*) == 8 ? 32 : 20));

// Composes b within r from a tiled picture, a gradient and a colour, each
// by its share: picture first, then the gradient (mixed over a drawn
// picture by the picture's share), then the colour over the whole bitmap
// by what the two shares leave (a solid fill when they leave all or sum
// above 100). The hot variant draws no picture layer without a usable
// graphic and weighs the picture by percent * 255 div 100.
void ComposeBackground(platform::ui::TBitmap& b, const TRect& r, const TsComposition& values, bool hot);

// PaintShadow of every visible child of container whose style has its
// shadow on, on b's canvas; the walk ends at a child being destroyed.
// Nothing for null.
void PaintChildShadows(platform::ui::TWinControl* container, platform::ui::TBitmap& b);

class TsPaintStyle : public TsGenStyle {
 public:
  explicit TsPaintStyle(TControl* control);
  ~TsPaintStyle() override;

  // The paint group: the library messages of the paint and background
  // levels must carry it in WParam. Hides the base group, which stays 0.
  int32_t GroupIndex() const { return group_; }
  void SetGroupIndex(int32_t group) { group_ = group; }
  TsPainting& Painting() { return *painting_; }
  const TsPainting& Painting() const { return *painting_; }

  void HandleMessage(TMessage& message) override;
  // The control's shadow (Effects.Shadow) cast on canvas at the control's
  // bounds in its parent, moved by the offset and by (dx, dy). Nothing
  // when Painting.Transparency is above 100.
  void PaintShadow(platform::ui::TCanvas& canvas, int32_t dx, int32_t dy) override;

 protected:
  bool IsPaintStyle() const override { return true; }

 private:
  int32_t group_ = 0;
  std::unique_ptr<TsPainting> painting_;
};

class TsPassiveBGStyle : public TsPaintStyle {
 public:
  explicit TsPassiveBGStyle(TControl* control);
  ~TsPassiveBGStyle() override;

  TsBackground& Background() { return *background_; }
  const TsBackground& Background() const { return *background_; }
  // Handle of the window region the active level built (null for none).
  platform::ui::HRGN BorderRegion() const { return borderRegion_; }

  void HandleMessage(TMessage& message) override;

  // The values the composition uses; these read the normal settings.
  virtual TColor CurrentColor() const;
  virtual TsControlBevel CurrentBevel() const;
  virtual int32_t CurrentBevelWidth() const;
  virtual int32_t CurrentGradientPercent() const;
  virtual const TsGradArray& CurrentGradientData() const;
  virtual int32_t CurrentImagePercent() const;
  // The picture's graphic; null for none.
  virtual const platform::ui::TGraphic* CurrentImage() const;

  // Composes the control's background into bitmap (its size), over the
  // parent's background by Painting.Transparency, then paints the
  // children's shadows for a shadow-container kind. Errors copying the
  // parent's background are swallowed.
  virtual void PaintBackground(platform::ui::TBitmap& bitmap);

 protected:
  void SetBorderRegion(platform::ui::HRGN region) { borderRegion_ = region; }
  // The current values as a composition.
  TsComposition CurrentComposition() const;
  // The parent's area under the control, from back, into b (unchanged
  // where back has no pixels). Graphic errors are swallowed.
  void CopyParentArea(platform::ui::TBitmap& b, const TBackSource& back) const;
  // The parent background record; not valid when asking the parent raised
  // (the error is reported).
  TBackSource FetchParentBackground();
  // Fills b by transparency t (bounded to 0..100): the composition alone
  // without a valid record or at 0, the parent's area alone at 100, else
  // the composition mixed with the parent's area.
  void PaintSeeThrough(platform::ui::TBitmap& b, const TRect& r, int32_t t, bool hot);

 private:
  bool Listening() const;
  void TakeSectionTransparency();
  void TakeBackgroundDefaults(const TsShadowDefaults* defaults);

  std::unique_ptr<TsBackground> background_;
  platform::ui::HRGN borderRegion_ = nullptr;
};

class TsActiveBGStyle : public TsPassiveBGStyle {
 public:
  explicit TsActiveBGStyle(TControl* control);
  ~TsActiveBGStyle() override;

  TsHotStyle& HotStyle() { return *hotStyle_; }
  const TsHotStyle& HotStyle() const { return *hotStyle_; }
  TsActiveEffects& BtnEffects() { return *btnEffects_; }
  const TsActiveEffects& BtnEffects() const { return *btnEffects_; }

  // Hot: the hot settings; otherwise the normal ones.
  TColor CurrentColor() const override;
  TsControlBevel CurrentBevel() const override;
  int32_t CurrentBevelWidth() const override;
  int32_t CurrentGradientPercent() const override;
  const TsGradArray& CurrentGradientData() const override;
  int32_t CurrentImagePercent() const override;
  const platform::ui::TGraphic* CurrentImage() const override;

  // The fading values of BtnEffects.Fading.
  bool FadingEnabled() const override;
  int32_t FadeIterations() const;
  int32_t FadeIntervalIn() const;
  int32_t FadeIntervalOut() const;

  // Hot: the hot look into the cache (bitmap is not used); otherwise the
  // inherited painting into bitmap.
  void PaintBackground(platform::ui::TBitmap& bitmap) override;
  // The bevel border within r of the cache, and the default button's frame.
  void PaintBorder(const TRect& r);
  // With masked borders on (the face painting builds the region from the
  // mask) or without a control: the inherited one. Otherwise always builds
  // the corner-cut region (or none) as BorderRegion and sets it.
  void UpdateRegion() override;

 private:
  void PaintHot();

  std::unique_ptr<TsHotStyle> hotStyle_;
  std::unique_ptr<TsActiveEffects> btnEffects_;
};

}  // namespace skin

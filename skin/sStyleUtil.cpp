#include "skin/sStyleUtil.h"

#include <algorithm>
#include <exception>

#include "platform/ui/Application.h"
#include "platform/ui/Colors.h"
#include "platform/ui/WinControl.h"
#include "skin/sBorderMasks.h"
#include "skin/sCanvasDraw.h"
#include "skin/sGraphics.h"
#include "skin/sMaskData.h"

namespace skin {

using namespace platform::ui;
namespace msg = platform::win;

namespace {

bool InLibraryRanges(uint32_t number) {
  return (number >= msg::SM_FIRST && number <= msg::SM_BASELAST) ||
         (number >= msg::SM_SOFTCONTROL && number <= msg::SM_LAST);
}

// A solid fill of r grown by one pixel to the right and bottom.
void FillGrown(TBitmap& b, const TRect& r, TColor colour) {
  FillAreaSolid(b.Canvas().Handle(), Rect(r.Left, r.Top, r.Right + 1, r.Bottom + 1), colour);
}

// The gradient bands into r of b, or the colour when there are none.
void PaintBandsOrColour(TBitmap& b, const TRect& r, const TsComposition& values) {
  if (values.Bands != nullptr && !values.Bands->empty())
    PaintGradient(b, r, *values.Bands);
  else
    FillGrown(b, r, values.Color);
}

bool Usable(const TGraphic* graphic) { return graphic != nullptr && graphic->Width() >= 1 && graphic->Height() >= 1; }

int32_t Bounded(int32_t value, int32_t limit) { return std::clamp(value, -limit, limit); }

TRect Moved(const TRect& r, int32_t dx, int32_t dy) { return Rect(r.Left + dx, r.Top + dy, r.Right + dx, r.Bottom + dy); }

}  // namespace

void ComposeBackground(TBitmap& b, const TRect& r, const TsComposition& values, bool hot) {
  const int32_t image = values.ImagePercent;
  const int32_t gradient = values.GradientPercent;
  bool pictureDrawn = false;
  if (image > 0) {
    if (Usable(values.Image)) {
      RepeatGraphic(b.Canvas(), r, values.Image);
      pictureDrawn = true;
    } else if (!hot) {
      FillGrown(b, r, values.Color);
    }
  }
  if (gradient > 0) {
    if (pictureDrawn) {
      auto layer = NewBitmapOfSize(b);
      PaintBandsOrColour(*layer, r, values);
      MixBitmaps(b, *layer, hot ? image * 255 / 100 : std::min(image * 256 / 100, 255));
    } else {
      PaintBandsOrColour(b, r, values);
    }
  }
  const int32_t share = gradient + image;
  if (share >= 1 && share <= 99)
    BlendRectWithColor(b, Rect(0, 0, b.Width() - 1, b.Height() - 1), share, values.Color);
  else if (share != 100)
    FillGrown(b, r, values.Color);
}

void PaintChildShadows(TWinControl* container, TBitmap& b) {
  if (container == nullptr) return;
  for (int i = 0; i < container->ControlCount(); ++i) {
    TControl* child = container->Controls(i);
    if (child->Destroying()) return;
    TsGenStyle* style = GetStyleOf(child);
    if (style != nullptr && GetStyleKind(child) > 0 && style->Effects().Shadow().Enabled() && child->Visible())
      style->PaintShadow(b.Canvas(), 0, 0);
  }
}

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

void TsPaintStyle::PaintShadow(TCanvas& canvas, int32_t dx, int32_t dy) {
  const TControl* control = Control();
  const int32_t see = painting_->Transparency();
  if (control == nullptr || see > 100) return;
  const TsShadow& shadow = Effects().Shadow();
  const int32_t offset = Bounded(shadow.Offset(), kMaxGraphicSide);
  const TRect r = Moved(Bounds(control->Left() + offset, control->Top() + offset, control->Width(), control->Height()),
                        Bounded(dx, kMaxGraphicSide), Bounded(dy, kMaxGraphicSide));
  int32_t t = shadow.Transparency();
  if (InListenKinds(StyleKind()) && see > 0)
    t = CombineTransparency(see, t);
  CastShadow(canvas, r, canvas.Handle(), TPoint{r.Left, r.Top}, t, ColorToRGB(shadow.Color()), shadow.Blur(), 0,
             SoftControl() ? 6 : 0);
}

// ---- TsPassiveBGStyle ----

TsPassiveBGStyle::TsPassiveBGStyle(TControl* control)
    : TsPaintStyle(control), background_(std::make_unique<TsBackground>(*this)) {}

TsPassiveBGStyle::~TsPassiveBGStyle() = default;

void TsPassiveBGStyle::HandleMessage(TMessage& message) {
  if (CarriesGroup(message, GroupIndex()) || CarriesGroup(message, 21)) {
    switch (message.Msg) {
      case msg::SM_SECTIONTRANSPARENCY:
        TakeSectionTransparency();
        break;
      case msg::SM_BACKGROUNDIMAGE:
        if (Listening() && message.LParam != 0) {
          background_->Image().SetImage(*reinterpret_cast<const TPicture*>(message.LParam));
          Invalidate();
        }
        break;
      case msg::SM_SHADOWDEFAULTS:
        TakeBackgroundDefaults(reinterpret_cast<const TsShadowDefaults*>(message.LParam));
        break;
      default:
        break;
    }
  }
  TsPaintStyle::HandleMessage(message);
}

bool TsPassiveBGStyle::Listening() const { return InListenKinds(StyleKind()) && background_->ListenMSG(); }

void TsPassiveBGStyle::TakeSectionTransparency() {
  if (!IsSectionIndexValid(SkinIndex())) return;
  if (SkinSections()[static_cast<std::size_t>(SkinIndex())].Normal.Transparency <= 0) return;
  SetCacheStale(true);
  if (Control() != nullptr) Control()->Repaint();
}

void TsPassiveBGStyle::TakeBackgroundDefaults(const TsShadowDefaults* defaults) {
  if (defaults == nullptr || defaults->Picture == nullptr || !Listening()) return;
  background_->Image().SetImage(*defaults->Picture);
  Painting().SetParentColor(false);
  TsShadow& shadow = Effects().Shadow();
  if (!shadow.DontUse()) shadow.StoreEnabled(defaults->ShadowEnabled);
  shadow.StoreColor(defaults->ShadowColor);
  shadow.StoreBlur(Bounded(defaults->ShadowBlur, kMaxGraphicSide));
  shadow.StoreOffset(Bounded(defaults->ShadowOffset, kMaxGraphicSide));
  shadow.SetTransparency(defaults->ShadowTransparency);
  if (Control() != nullptr) Control()->Invalidate();
}

TColor TsPassiveBGStyle::CurrentColor() const { return Painting().Color(); }
TsControlBevel TsPassiveBGStyle::CurrentBevel() const { return Painting().Bevel(); }
int32_t TsPassiveBGStyle::CurrentBevelWidth() const { return Painting().BevelWidth(); }
int32_t TsPassiveBGStyle::CurrentGradientPercent() const { return background_->Gradient().Percent(); }
const TsGradArray& TsPassiveBGStyle::CurrentGradientData() const { return background_->Gradient().Bands(); }
int32_t TsPassiveBGStyle::CurrentImagePercent() const { return background_->Image().Percent(); }
const TGraphic* TsPassiveBGStyle::CurrentImage() const { return background_->Image().Image().Graphic(); }

TsComposition TsPassiveBGStyle::CurrentComposition() const {
  return TsComposition{CurrentColor(), CurrentImagePercent(), CurrentGradientPercent(), &CurrentGradientData(),
                       CurrentImage()};
}

void TsPassiveBGStyle::CopyParentArea(TBitmap& b, const TBackSource& back) const {
  const TControl* control = Control();
  if (back.Bitmap == nullptr || control == nullptr) return;
  const TRect area = Bounds(control->Left() + back.X, control->Top() + back.Y, control->Width(), control->Height());
  try {
    CastBoxShadow(back.Bitmap->Canvas(), area, b.Canvas().Handle(), TPoint{0, 0}, 100, 0, 0, 0);
  } catch (const EInvalidGraphicOperation&) {
    // The bitmap keeps what was painted so far.
  }
}

TBackSource TsPassiveBGStyle::FetchParentBackground() {
  try {
    return GetParentBackground();
  } catch (const std::exception&) {
    HandleDispatchException(std::current_exception());
    return kNoBackSource;
  }
}

void TsPassiveBGStyle::PaintSeeThrough(TBitmap& b, const TRect& r, int32_t t, bool hot) {
  const TBackSource back = FetchParentBackground();
  t = std::clamp(t, 0, 100);
  const bool valid = back.Valid && back.Bitmap != nullptr;
  if (valid && t == 100) {
    CopyParentArea(b, back);
    return;
  }
  ComposeBackground(b, r, CurrentComposition(), hot);
  if (!valid || t == 0) return;
  auto parentArea = NewBitmapOfSize(b);
  CopyParentArea(*parentArea, back);
  MixBitmaps(b, *parentArea, (100 - t) * 255 / 100);
}

void TsPassiveBGStyle::PaintBackground(TBitmap& bitmap) {
  const TControl* control = Control();
  const TRect r = control != nullptr ? Rect(0, 0, control->Width(), control->Height()) : Rect(0, 0, 0, 0);
  PaintSeeThrough(bitmap, r, Painting().Transparency(), false);
  if (InShadowContainerKinds(StyleKind())) PaintChildShadows(dynamic_cast<TWinControl*>(Control()), bitmap);
}

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

void TsActiveBGStyle::PaintBackground(TBitmap& bitmap) {
  if (IsHot())
    PaintHot();
  else
    TsPassiveBGStyle::PaintBackground(bitmap);
}

void TsActiveBGStyle::PaintHot() {
  const TControl* control = Control();
  TRect r = control != nullptr ? Rect(0, 0, control->Width(), control->Height()) : Rect(0, 0, 0, 0);
  if (ButtonDown()) r = Moved(r, 1, 1);
  PaintSeeThrough(Cache(), r, hotStyle_->HotPainting().Transparency(), true);
}

void TsActiveBGStyle::PaintBorder(const TRect& r) {
  TBitmap& cache = Cache();
  const bool soft = SoftControl();
  const TsStyleButton* button = Button();
  const bool down = ButtonDown();
  if (IsHot()) {
    if (down) {
      const int32_t width = CurrentBevelWidth() / 4 + 1;
      const auto lowered = static_cast<int32_t>(TsControlBevel::cbLoweredSoft);
      ShadeBevelStrips(cache, r, width, lowered, soft);
      const int32_t controlWidth = Control()->Width();
      if (r.Right < controlWidth)
        ShadeBevelStrips(cache, Rect(r.Right, r.Top, controlWidth, r.Bottom), width, lowered, soft);
    } else {
      ShadeBevelStrips(cache, r, CurrentBevelWidth(), static_cast<int32_t>(CurrentBevel()), soft);
    }
  } else {
    TsControlBevel bevel = CurrentBevel();
    if (bevel != TsControlBevel::cbNone) {
      if (down && bevel == TsControlBevel::cbRaisedSoft) bevel = TsControlBevel::cbLoweredSoft;
      if (down && bevel == TsControlBevel::cbRaisedHard) bevel = TsControlBevel::cbLoweredHard;
      ShadeBevelStrips(cache, r, button != nullptr ? button->BevelWidth() : 1, static_cast<int32_t>(bevel), soft);
    }
  }
  if (button != nullptr && button->IsActiveDefault()) DrawPlainBevel(cache.Canvas(), r, clBlack, clBlack, clBlack, true, 1);
}

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

#include "skin/sButtonControl.h"

#include <algorithm>

#include "platform/ui/Application.h"
#include "platform/ui/Colors.h"
#include "platform/ui/Form.h"
#include "skin/sBorderMasks.h"
#include "skin/sCanvasDraw.h"
#include "skin/sCustomButton.h"
#include "skin/sStyleUtil.h"

namespace skin {

namespace ui = platform::ui;
using ui::TAlignment;
using ui::TButtonLayout;

namespace {
// A key colour that no pixel has: MixRectKeyed mixes every pixel.
constexpr ui::TColor kNoKey = static_cast<ui::TColor>(0xFFFFFFFFu);

// A distance of the layout within a bitmap's side either way, so that the
// sums of layout and auto-size stay in range.
int32_t BoundedDistance(int32_t v) { return std::clamp(v, -ui::kMaxGraphicSide, ui::kMaxGraphicSide); }
}  // namespace

// ---------------------------------------------------------------- fade timer

TFadeTimer::TFadeTimer(TsButtonControl* owner) : TTimer(nullptr), owner_(owner) {
  SetEnabled(false);
  SetOnTimer([](ui::TObject*) {});
}

void TFadeTimer::SetMode(uint8_t mode) {
  mode_ = mode;
  SetEnabled(mode != kIdle);
}

void TFadeTimer::Timer() {
  if (owner_ == nullptr || owner_->Destroying() || ui::Application().Terminated())
    SetMode(kIdle);
  else
    owner_->FadeTick();
}

// --------------------------------------------------------------- action link

void TsButtonActionLink::AssignClient(ui::TObject* client) {
  button_ = dynamic_cast<TsButtonControl*>(client);
  if (button_ == nullptr) throw ui::EInvalidOperation("A styled button's action link needs a styled button");
  TControlActionLink::AssignClient(client);
}

bool TsButtonActionLink::IsCaptionLinked() const {
  return TControlActionLink::IsCaptionLinked() && button_->Caption() == CustomAction()->Caption();
}

bool TsButtonActionLink::IsCheckedLinked() const {
  return TControlActionLink::IsCheckedLinked() && CustomAction()->Checked() == button_->Down();
}

bool TsButtonActionLink::IsImageIndexLinked() const { return TControlActionLink::IsImageIndexLinked(); }

void TsButtonActionLink::SetCaption(const std::string& value) {
  if (IsCaptionLinked() && button_->Caption() != value) button_->SetCaption(value);
}

void TsButtonActionLink::SetChecked(bool value) {
  if (IsCheckedLinked()) button_->SetDown(value);
}

void TsButtonActionLink::SetImageIndex(int value) {
  if (IsImageIndexLinked()) button_->SetImageIndex(value);
}

// -------------------------------------------------------------------- layout

ui::TRect LayoutGlyphRect(const TsButtonMetrics& m) {
  const int32_t gw = m.GlyphWidth;
  const int32_t gh = m.GlyphHeight;
  const int32_t sg = m.ShowCaption && gw > 0 && m.HasCaption ? m.Spacing : 0;
  const int32_t dx = (m.Width - (gw + sg + m.TextWidth)) / 2 - m.Margin;
  const int32_t dy = (m.Height - (gh + sg + m.TextHeight)) / 2 - m.Margin;
  int32_t x = 0;
  int32_t y = (m.Height - gh) / 2;
  switch (m.Layout) {
    case TButtonLayout::blGlyphLeft:
      x = m.Alignment == TAlignment::taLeftJustify    ? m.Margin
          : m.Alignment == TAlignment::taRightJustify ? m.Margin + 2 * dx
                                                      : m.Margin + dx;
      break;
    case TButtonLayout::blGlyphRight:
      x = m.Alignment == TAlignment::taLeftJustify    ? m.Width - m.Margin - 2 * dx - sg - gw
          : m.Alignment == TAlignment::taRightJustify ? m.Width - gw - m.Margin
                                                      : (m.TextWidth + m.Width + sg - gw) / 2;
      break;
    case TButtonLayout::blGlyphTop:
      x = (m.Width - gw) / 2;
      y = m.Margin + dy;
      break;
    case TButtonLayout::blGlyphBottom:
      x = (m.Width - gw) / 2;
      y = m.Height - m.Margin - dy - gh;
      break;
  }
  const int32_t d = m.Down ? 1 : 0;
  return ui::Rect(x + d, y + d, x + d + gw, y + d + gh);
}

ui::TRect LayoutCaptionRect(const TsButtonMetrics& m, int32_t& alignFlag) {
  const int32_t gw = m.GlyphWidth;
  const int32_t gh = m.GlyphHeight;
  const int32_t tw = m.TextWidth;
  const int32_t th = m.TextHeight;
  const int32_t sp = gw > 0 && m.HasCaption ? m.Spacing : 0;
  const int32_t spv = gh > 0 && m.HasCaption ? m.Spacing : 0;
  const int32_t spGlyph = gw > 0 ? m.Spacing : 0;  // whatever the caption
  const int32_t dx = (m.Width - (gw + sp + tw)) / 2 - m.Margin;
  const int32_t dyv = (m.Height - (gh + spv + th)) / 2 - m.Margin;
  int32_t left = 0;
  int32_t right = 0;
  int32_t top = (m.Height - th) / 2;
  int32_t bottom = m.Height - top;
  switch (m.Layout) {
    case TButtonLayout::blGlyphLeft:
      alignFlag = 0;
      if (m.Alignment == TAlignment::taLeftJustify) {
        left = gw + m.Margin + spGlyph;
        right = m.Width - m.Margin - 2 * dx;
      } else if (m.Alignment == TAlignment::taRightJustify) {
        left = gw + 2 * dx + m.Margin + spGlyph;
        right = m.Width - m.Margin;
      } else {
        left = gw + m.Margin + dx + spGlyph;
        right = m.Width - m.Margin - dx;
      }
      break;
    case TButtonLayout::blGlyphRight:
      alignFlag = 2;
      left = m.Alignment == TAlignment::taLeftJustify    ? m.Margin
             : m.Alignment == TAlignment::taRightJustify ? 2 * dx + m.Margin
                                                         : m.Margin + dx;
      right = left + tw;
      break;
    case TButtonLayout::blGlyphTop:
    case TButtonLayout::blGlyphBottom:
      alignFlag = 1;
      left = (m.Width - tw) / 2;
      right = m.Width - left;
      if (m.Layout == TButtonLayout::blGlyphTop) {
        top = gh + m.Margin + dyv + spv;
        bottom = m.Height - dyv - m.Margin;
      } else {
        top = m.Margin + dyv;
        bottom = m.Height - dyv - m.Margin - gh - spv;
      }
      break;
  }
  const int32_t d = m.Down ? 1 : 0;
  return ui::Rect(left - 1 + d, top + d, right + 2 + d, bottom + d);
}

// ------------------------------------------------------------ button control

TsButtonControl::TsButtonControl(ui::TComponent* owner)
    : TCustomControl(owner),
      style_(std::make_unique<TsActiveBGStyle>(this)),
      imageChangeLink_(std::make_unique<ui::TChangeLink>()),
      fadeTimer_(ui::Create<TFadeTimer>(this)) {
  style_->SetStyleKind(kKindButtonControl);
  imageChangeLink_->OnChange = [this](ui::TObject*) { InvalidateStyle(); };
  SetBoundsQuiet(Left(), Top(), 84, 22);
  SetTabStop(false);
  SetControlStyle(ui::csCaptureMouse | ui::csSetCaption | ui::csOpaque | ui::csDoubleClicks);
}

// The timer goes first, so no tick reaches a half-destroyed button.
TsButtonControl::~TsButtonControl() {
  fadeTimer_->SetEnabled(false);
  fadeTimer_.reset();
  style_.reset();
  imageChangeLink_.reset();
}

void TsButtonControl::AfterConstruction() {
  TCustomControl::AfterConstruction();
  style_->UpdateSkinIndexes();
}

void TsButtonControl::Loaded() {
  TCustomControl::Loaded();
  style_->UpdateSkinIndexes();
}

ui::TBitmap& TsButtonControl::Cache() { return style_->Cache(); }
// While the destruction frees the style, messages find none.
void TsButtonControl::MarkCacheStale() {
  if (style_ != nullptr) style_->SetCacheStale(true);
}
void TsButtonControl::InvalidateStyle() {
  if (style_ != nullptr) style_->Invalidate();
}
bool TsButtonControl::IsHot() const { return style_ != nullptr && style_->IsHot(); }

void TsButtonControl::SetAutoSize(bool v) {
  if (v == autoSize_) return;
  autoSize_ = v;
  InvalidateStyle();
}

void TsButtonControl::SetBevelWidth(int32_t v) {
  bevelWidth_ = BoundedDistance(v);
  InvalidateStyle();
}

void TsButtonControl::SetDisabledKind(TsDisabledKind v) {
  if (v == disabledKind_) return;
  disabledKind_ = v;
  InvalidateStyle();
}

void TsButtonControl::SetMargin(int32_t v) {
  v = BoundedDistance(v);
  if (v == margin_) return;
  MarkCacheStale();
  margin_ = v;
  Invalidate();
}

void TsButtonControl::SetShowCaption(bool v) {
  if (v == showCaption_) return;
  showCaption_ = v;
  InvalidateStyle();
}

void TsButtonControl::SetShowFocus(bool v) {
  if (v == showFocus_) return;
  showFocus_ = v;
  InvalidateStyle();
}

void TsButtonControl::SetFocusMargin(int32_t v) {
  v = BoundedDistance(v);
  if (v == focusMargin_) return;
  focusMargin_ = v;
  InvalidateStyle();
}

void TsButtonControl::SetAlignment(TAlignment v) {
  if (v == alignment_) return;
  alignment_ = v;
  InvalidateStyle();
}

void TsButtonControl::SetBlend(int32_t v) {
  v = std::clamp(v, 0, 100);
  if (v == blend_) return;
  blend_ = v;
  InvalidateStyle();
}

void TsButtonControl::SetDisabledGlyphKind(TsDisabledGlyphKind v) {
  if (v == disabledGlyphKind_) return;
  disabledGlyphKind_ = v;
  InvalidateStyle();
}

void TsButtonControl::SetImages(ui::TCustomImageList* v) {
  if (images_ != nullptr) images_->UnRegisterChanges(imageChangeLink_.get());
  images_ = v;
  if (images_ != nullptr) {
    images_->RegisterChanges(imageChangeLink_.get());
    images_->FreeNotification(this);
  }
  InvalidateStyle();
}

void TsButtonControl::SetImagesGrayed(ui::TCustomImageList* v) {
  imagesGrayed_ = v;
  if (v != nullptr) v->FreeNotification(this);
}

void TsButtonControl::SetImagesDisabled(ui::TCustomImageList* v) {
  imagesDisabled_ = v;
  if (v != nullptr) v->FreeNotification(this);
}

void TsButtonControl::SetImageIndex(int32_t v) {
  imageIndex_ = v;
  InvalidateStyle();
}

void TsButtonControl::SetGrayed(bool v) {
  if (v == grayed_) return;
  grayed_ = v;
  InvalidateStyle();
}

void TsButtonControl::SetLayout(TButtonLayout v) {
  layout_ = v;
  InvalidateStyle();
}

void TsButtonControl::SetSpacing(int32_t v) {
  v = BoundedDistance(v);
  if (v == spacing_) return;
  spacing_ = v;
  InvalidateStyle();
}

void TsButtonControl::ForgetList(ui::TCustomImageList*& list, ui::TComponent* component) {
  if (list == component) list = nullptr;
}

void TsButtonControl::Notification(ui::TComponent* component, ui::TOperation operation) {
  TCustomControl::Notification(component, operation);
  if (operation != ui::TOperation::opRemove) return;
  ForgetList(images_, component);
  ForgetList(imagesGrayed_, component);
  ForgetList(imagesDisabled_, component);
}

std::unique_ptr<ui::TControlActionLink> TsButtonControl::GetActionLinkClass() const {
  return std::make_unique<TsButtonActionLink>();
}

void TsButtonControl::ActionChange(ui::TObject* sender, bool checkDefaults) {
  TCustomControl::ActionChange(sender, checkDefaults);
  auto* action = dynamic_cast<ui::TCustomAction*>(sender);
  if (action == nullptr) return;
  if (images_ == nullptr && action->ActionList() != nullptr && action->ActionList()->Images() != nullptr)
    SetImages(action->ActionList()->Images());
  if (action->ImageIndex() != imageIndex_) SetImageIndex(action->ImageIndex());
  if (checkDefaults) return;
  if (Caption() != action->Caption()) {
    SetCaption(action->Caption());
    InvalidateStyle();
  }
  if (Hint() != action->Hint()) SetHint(action->Hint());
}

// ------------------------------------------------------------- state, input

void TsButtonControl::SetDown(bool v) {
  if (v == down_) return;
  down_ = v;
  InvalidateStyle();
}

int32_t TsButtonControl::Look() const { return down_ ? 2 : IsHot() ? 1 : 0; }

void TsButtonControl::WndProc(ui::TMessage& m) {
  try {
    if (m.Msg == ui::CM_TEXTCHANGED) {
      MarkCacheStale();
      InvalidateStyle();
    } else if (m.Msg == ui::CM_EXIT) {
      SetDown(false);
    }
    if (style_ != nullptr) style_->HandleMessage(m);
    TCustomControl::WndProc(m);
  } catch (...) {
    ui::HandleDispatchException(std::current_exception());
  }
}

void TsButtonControl::Dispatch(ui::TMessage& m) {
  switch (m.Msg) {
    case ui::WM_ERASEBKGND:
      m.Result = 1;  // the cache covers every pixel
      return;
    case ui::CM_MOUSEENTER:
      if (OnMouseEnter) OnMouseEnter(this);
      break;
    case ui::CM_MOUSELEAVE:
      if (OnMouseLeave) OnMouseLeave(this);
      break;
    default:
      break;
  }
  TCustomControl::Dispatch(m);
}

void TsButtonControl::MouseDown(ui::TMouseButton button, ui::TShiftState shift, int x, int y) {
  TCustomControl::MouseDown(button, shift, x, y);
  StopFade();
  if (button != ui::TMouseButton::mbLeft || !Enabled() || down_) return;
  SetDown(true);
  MarkCacheStale();
  Repaint();
  TCustomControl::MouseDown(button, shift, x, y);
}

// A release clicks only while the button is still Down: a key released
// during the press has clicked it already. A click that frees the button
// ends the release there.
void TsButtonControl::MouseUp(ui::TMouseButton button, ui::TShiftState shift, int x, int y) {
  TCustomControl::MouseUp(button, shift, x, y);
  fadeCounter_ = style_->FadeIterations() - 1;
  fadeTimer_->SetEnabled(false);
  if (button != ui::TMouseButton::mbLeft || !Enabled()) return;
  const bool wasDown = down_;
  MarkCacheStale();
  SetDown(false);
  if (wasDown && ClientRect().Contains(ui::TPoint{x, y}) && !ClickKeepsButton()) return;
  try {
    Repaint();
  } catch (...) {
    ui::HandleDispatchException(std::current_exception());
  }
}

bool TsButtonControl::ClickKeepsButton() {
  return Survives([this] { Click(); });
}

// ---------------------------------------------------------------- cross-fade

void TsButtonControl::StartFade(uint8_t mode, uint32_t interval) {
  if (!style_->FadingEnabled()) return;
  savedImage_.Assign(&Cache());
  RepaintCache();
  if (style_->FadeIterations() <= 0) {  // no steps: the new look at once
    fadeTimer_->SetMode(TFadeTimer::kIdle);
    Invalidate();
    return;
  }
  if (mode == TFadeTimer::kFadingIn) fadeCounter_ = 1;
  fadeTimer_->SetInterval(interval);
  fadeTimer_->SetMode(mode);
}

void TsButtonControl::StartFadeIn() {
  StartFade(TFadeTimer::kFadingIn, static_cast<uint32_t>(style_->FadeIntervalIn()));
}

void TsButtonControl::StartFadeOut() {
  StartFade(TFadeTimer::kFadingOut, static_cast<uint32_t>(style_->FadeIntervalOut()));
}

void TsButtonControl::StopFade() {
  if (!style_->FadingEnabled()) return;
  fadeTimer_->SetMode(TFadeTimer::kIdle);
  fadeCounter_ = style_->FadeIterations() - 1;
}

void TsButtonControl::RepaintCache() {
  style_->PaintBackground(Cache());
  PaintFace();
}

// One step: the counter past either end stops the fade and shows the
// cache; otherwise the mix of the two looks is the next paint's frame.
void TsButtonControl::FadeTick() {
  const int32_t iterations = style_->FadeIterations();
  if (fadeCounter_ > iterations || fadeCounter_ < 0) {
    fadeCounter_ += fadeCounter_ < 0 ? 1 : -1;
    fadeTimer_->SetMode(TFadeTimer::kIdle);
    MarkCacheStale();
    Repaint();
  }
  const uint8_t mode = fadeTimer_->Mode();
  if (mode == TFadeTimer::kIdle || iterations <= 0) {
    fadeTimer_->SetEnabled(false);
    return;
  }
  const int32_t a = std::clamp(fadeCounter_ * 255 / iterations, 0, 255);
  const ui::TColor grey = (255 - a) * 0x010101;
  const bool in = mode == TFadeTimer::kFadingIn;
  fadeFrame_.Assign(in ? &savedImage_ : &Cache());
  MixBitmaps(fadeFrame_, in ? Cache() : savedImage_, grey);
  Repaint();
  fadeCounter_ += in ? 1 : -1;
}

// ------------------------------------------------------------------ painting

void TsButtonControl::Paint() {
  if (Destroying() || Parent() == nullptr) return;
  ui::TBitmap& cache = Cache();
  const bool fading = fadeTimer_->Running();
  if (style_->CacheStale()) {
    style_->UpdateCacheSize();
    const TBackSource back = style_->GetParentBackground();
    if (!fading) RepaintCache();
    if (!Enabled()) ApplyDisabledEffect(back);
  }
  ui::TBitmap& shown = fading && !fadeFrame_.Empty() ? fadeFrame_ : cache;
  Canvas().BitBlt(0, 0, Width(), Height(), &shown.Canvas(), 0, 0, ui::SRCCOPY);
}

void TsButtonControl::PaintFace() {
  ui::TBitmap& cache = Cache();
  const bool regionPending = style_->RegionPending();
  if (regionPending) style_->SetRegion(ui::CreateRectRgn(0, 0, Width(), Height()));
  // A skin section would draw the border first; no skin is ever active.
  const TsMaskedBorders& borders = style_->BtnEffects().MaskedBorders();
  if (borders.Enabled()) {
    PaintMaskedBorders(cache, MaskBitmapFor(borders.Predefined(), &borders.Mask()), Look(), true,
                       borders.TransparentColor(), regionPending ? style_->Region() : nullptr);
  } else {
    style_->PaintBorder(ClientRect());
  }
  if (regionPending) {
    SetWindowRgn(style_->Region(), true);
    style_->SetRegionPending(false);
  }
  PaintGlyph();
  PaintCaption();
}

void TsButtonControl::PaintGlyph() {}

void TsButtonControl::PaintCaption() {
  ui::TCanvas& c = Cache().Canvas();
  c.Brush().SetStyle(ui::TBrushStyle::bsClear);
  ui::TRect r = CaptionRect();
  if (r.Height() > c.TextHeight("T") + 6) captionAlign_ = 1;  // a wrapped caption
  DrawCaption(r, static_cast<uint32_t>(captionAlign_) | ui::DT_WORDBREAK | ui::DT_EXPANDTABS);
  auto* button = dynamic_cast<TsButton*>(this);
  if (button == nullptr || !Focused() || !EffectiveShowFocus()) return;
  const int32_t f = focusMargin_;
  DrawFocusDots(c, ui::Rect(r.Left - f, r.Top - f, r.Right + f, r.Bottom + f));
}

void TsButtonControl::DrawCaption(ui::TRect r, uint32_t flags) {
  ui::TCanvas& c = Cache().Canvas();
  c.Font().Assign(&Font());
  PutTextSkinned(c, Caption().c_str(), true, r, flags, style_->SkinIndex(), IsHot());
}

void TsButtonControl::ApplyDisabledEffect(const TBackSource& back) {
  ui::TBitmap& cache = Cache();
  if (disabledKind_ & dkGrayed) ToGrey(cache);
  if (!(disabledKind_ & dkBlended)) return;
  if (back.Valid && back.Bitmap != nullptr) {
    const int32_t x = Left() + back.X;
    const int32_t y = Top() + back.Y;
    MixRectKeyed(cache, 0, 0, *back.Bitmap, ui::Rect(x, y, x + Width() - 1, y + Height() - 1), 0.5, kNoKey);
  } else {
    CastRoundShadowInPlace(cache, ClientRect(), 50, ui::ColorToRGB(Parent()->Color()), 0, 0);
  }
}

// -------------------------------------------------------------------- layout

ui::TCustomImageList* TsButtonControl::CurrentImages() const {
  if (Enabled()) return imagesGrayed_ != nullptr && !IsHot() ? imagesGrayed_ : images_;
  return imagesDisabled_ != nullptr ? imagesDisabled_ : images_;
}

int32_t TsButtonControl::GlyphWidth() const {
  ui::TCustomImageList* list = CurrentImages();
  return list != nullptr && imageIndex_ >= 0 ? list->Width() : 0;
}

int32_t TsButtonControl::GlyphHeight() const {
  ui::TCustomImageList* list = CurrentImages();
  return list != nullptr && imageIndex_ >= 0 ? list->Height() : 0;
}

TsButtonMetrics TsButtonControl::Metrics() const {
  const ui::TSize text = CaptionSize();
  return TsButtonMetrics{.Width = Width(),
                         .Height = Height(),
                         .Margin = margin_,
                         .Spacing = spacing_,
                         .GlyphWidth = GlyphWidth(),
                         .GlyphHeight = GlyphHeight(),
                         .TextWidth = text.cx,
                         .TextHeight = text.cy,
                         .ShowCaption = showCaption_,
                         .HasCaption = !Caption().empty(),
                         .Down = down_,
                         .Layout = layout_,
                         .Alignment = alignment_};
}

ui::TRect TsButtonControl::GlyphRect() const { return LayoutGlyphRect(Metrics()); }

ui::TRect TsButtonControl::CaptionRect() const { return LayoutCaptionRect(Metrics(), captionAlign_); }

// Text is measured on the cache's canvas; measuring leaves its picture as
// it is.
ui::TCanvas& TsButtonControl::CacheCanvas() const { return const_cast<TsButtonControl*>(this)->Cache().Canvas(); }

int32_t TsButtonControl::CaptionMaxWidth() const {
  if (!showCaption_) return 0;
  const int32_t textWidth = CacheCanvas().TextWidth(Caption());
  if (layout_ == TButtonLayout::blGlyphTop || layout_ == TButtonLayout::blGlyphBottom)
    return std::min(textWidth, Width() - 2 * margin_);
  const int32_t gw = GlyphWidth();
  const int32_t sp = gw > 0 && !Caption().empty() ? spacing_ : 0;
  return std::min(textWidth + sp, Width() - gw - 2 * margin_ - sp);
}

ui::TSize TsButtonControl::CaptionSize() const {
  if (!showCaption_) return {};
  ui::TRect r = ui::Rect(0, 0, CaptionMaxWidth(), 0);
  CacheCanvas().DrawText(Caption(), r, ui::DT_CALCRECT | ui::DT_EXPANDTABS | ui::DT_WORDBREAK);
  return ui::TSize{r.Width(), r.Height()};
}

bool TsButtonControl::EffectiveShowFocus() const { return showFocus_; }

void TsButtonControl::AdjustSize() {
  if (down_ || Loading() || !autoSize_) return;
  const int32_t gh = GlyphHeight();
  if (gh <= 0 && !showCaption_) return;
  const int32_t gw2 = GlyphWidth() + 2 * bevelWidth_;
  const int32_t gh2 = gh + 2 * bevelWidth_;
  const int32_t gap = gw2 > 0 && !Caption().empty() ? spacing_ : 0;
  ui::TCanvas& c = Canvas();
  c.Font().Assign(&Font());
  int32_t width = gw2 + 2 * margin_;
  int32_t height = gh2 + 2 * margin_;
  if (showCaption_) {
    const bool sideways = layout_ == TButtonLayout::blGlyphLeft || layout_ == TButtonLayout::blGlyphRight;
    const int32_t tw = c.TextWidth(Caption());
    const int32_t th = c.TextHeight("W");
    width = sideways ? gw2 + gap + tw + 2 * margin_ : std::max(gw2, tw) + 2 * margin_;
    height = sideways ? std::max(gh2, th) + 2 * margin_ : gap + gh2 + th + 2 * margin_;
  }
  SetBounds(Left(), Top(), width, height);
}

void TsButtonControl::Invalidate() {
  if (style_ != nullptr) Cache().Canvas().Font().Assign(&Font());
  if (Parent() != nullptr && !Loading() && !Destroying()) AdjustSize();
  TCustomControl::Invalidate();
}

}  // namespace skin

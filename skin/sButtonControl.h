#pragma once
// sButtonControl: the base of the styled buttons. A windowed control that
// never lets the platform draw it: its whole look is composed in its
// style's cache (background, border mask or bevel, glyph, caption and focus
// frame, disabled effect) and copied to the canvas in one block. It holds
// the pressed state, the cross-fade between the normal and the hot look
// (TFadeTimer) and the layout of glyph and caption.
//
// Every message goes to the style (HandleMessage) before the inherited
// handling; an exception raised while a message is handled is reported to
// the application (HandleDispatchException) and goes no further.
//
// GUI thread only; the fade timer ticks on the same thread.

#include <cstdint>
#include <memory>

#include "platform/ui/Actions.h"
#include "platform/ui/Bitmap.h"
#include "platform/ui/Buttons.h"
#include "platform/ui/ImageList.h"
#include "platform/ui/Timer.h"
#include "platform/ui/WinControl.h"
#include "skin/sGraphics.h"
#include "skin/sStyleSimply.h"

namespace skin {

class TsActiveBGStyle;
class TsButtonControl;

// What the disabled look does to the whole face (a set).
using TsDisabledKind = uint8_t;
inline constexpr TsDisabledKind dkBlended = 1;
inline constexpr TsDisabledKind dkGrayed = 2;

// Drives the cross-fade of one button. Mode 0 idle, 1 fading in, 2 fading
// out; the timer runs exactly while the mode is not idle.
class TFadeTimer : public platform::ui::TTimer {
 public:
  enum : uint8_t { kIdle = 0, kFadingIn = 1, kFadingOut = 2 };
  explicit TFadeTimer(TsButtonControl* owner);
  uint8_t Mode() const { return mode_; }
  void SetMode(uint8_t mode);

 protected:
  // One step of the owner's fade.
  void Timer() override;

 private:
  TsButtonControl* owner_;
  uint8_t mode_ = kIdle;
};

// Links a button to an action: caption, checked state (Down) and image
// index follow the action while linked.
class TsButtonActionLink : public platform::ui::TControlActionLink {
 public:
  // Keeps the client as a TsButtonControl; EInvalidOperation for another
  // class.
  void AssignClient(platform::ui::TObject* client) override;
  bool IsCaptionLinked() const override;
  bool IsCheckedLinked() const override;
  bool IsImageIndexLinked() const override;
  void SetCaption(const std::string& value) override;
  void SetChecked(bool value) override;
  void SetImageIndex(int value) override;

 private:
  TsButtonControl* button_ = nullptr;
};

// The layout inputs of glyph and caption, in the control's coordinates.
struct TsButtonMetrics {
  int32_t Width = 0;
  int32_t Height = 0;
  int32_t Margin = 0;
  int32_t Spacing = 0;
  int32_t GlyphWidth = 0;
  int32_t GlyphHeight = 0;
  int32_t TextWidth = 0;  // CaptionSize
  int32_t TextHeight = 0;
  bool ShowCaption = true;
  bool HasCaption = false;  // the caption is not empty
  bool Down = false;
  platform::ui::TButtonLayout Layout = platform::ui::TButtonLayout::blGlyphLeft;
  platform::ui::TAlignment Alignment = platform::ui::TAlignment::taCenter;
};

// Where the glyph goes: (x + d, y + d, x + d + gw, y + d + gh), d 1 while
// Down.
platform::ui::TRect LayoutGlyphRect(const TsButtonMetrics& m);
// Where the caption goes and its horizontal flag (0 left, 1 centre, 2
// right) through alignFlag.
platform::ui::TRect LayoutCaptionRect(const TsButtonMetrics& m, int32_t& alignFlag);

class TsButtonControl : public platform::ui::TCustomControl, public TsStyleButton {
 public:
  explicit TsButtonControl(platform::ui::TComponent* owner);
  ~TsButtonControl() override;
  void AfterConstruction() override;

  // ---- properties ----
  // BevelWidth, Margin, FocusMargin and Spacing are kept within
  // -kMaxGraphicSide..kMaxGraphicSide.
  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool v);
  int32_t BevelWidth() const override { return bevelWidth_; }
  void SetBevelWidth(int32_t v);
  TsDisabledKind DisabledKind() const { return disabledKind_; }
  void SetDisabledKind(TsDisabledKind v);
  int32_t Margin() const { return margin_; }
  void SetMargin(int32_t v);
  TsActiveBGStyle& sStyle() { return *style_; }
  const TsActiveBGStyle& sStyle() const { return *style_; }
  platform::ui::TNotifyEvent OnMouseEnter;
  platform::ui::TNotifyEvent OnMouseLeave;

  // ---- state ----
  // Drawn pressed.
  bool Down() const override { return down_; }
  // A default button that is its form's active one; never for this class.
  bool IsActiveDefault() const override { return false; }
  std::string_view ClassName() const override { return "TsButtonControl"; }
  // Stores a new value and invalidates the style; nothing else.
  void SetDown(bool v);
  // Cross-fade to the look of the new state (only while fading is
  // enabled); StopFade ends one at its last step.
  void StartFadeIn() override;
  void StartFadeOut() override;
  void StopFade();
  int32_t FadeCounter() const { return fadeCounter_; }
  const TFadeTimer& FadeTimer() const { return *fadeTimer_; }
  // The style's background into the cache, then the face.
  void RepaintCache();

  // ---- layout ----
  // The list the glyph comes from (null for none).
  platform::ui::TCustomImageList* CurrentImages() const;
  virtual int32_t GlyphWidth() const;
  virtual int32_t GlyphHeight() const;
  platform::ui::TRect GlyphRect() const;
  // Caption measured word-wrapped in CaptionMaxWidth on the cache's font;
  // (0, 0) without ShowCaption.
  platform::ui::TSize CaptionSize() const;
  int32_t CaptionMaxWidth() const;
  platform::ui::TRect CaptionRect() const;
  // The horizontal flag of the caption (0 left, 1 centre, 2 right), set by
  // the caption layout.
  int32_t CaptionAlignment() const { return captionAlign_; }
  // ShowFocus: no skin section ever decides it here.
  bool EffectiveShowFocus() const;
  // Sizes the control to glyph and caption while AutoSize is on.
  virtual void AdjustSize();
  // The cache takes the font; then AdjustSize and the window's invalidation.
  void Invalidate() override;
  // The action's image list and index; without checkDefaults its caption
  // and hint as well.
  void ActionChange(platform::ui::TObject* sender, bool checkDefaults) override;

 protected:
  void WndProc(platform::ui::TMessage& message) override;
  void Dispatch(platform::ui::TMessage& message) override;
  void Loaded() override;
  void Notification(platform::ui::TComponent* component, platform::ui::TOperation operation) override;
  std::unique_ptr<platform::ui::TControlActionLink> GetActionLinkClass() const override;
  void MouseDown(platform::ui::TMouseButton button, platform::ui::TShiftState shift, int x, int y) override;
  void MouseUp(platform::ui::TMouseButton button, platform::ui::TShiftState shift, int x, int y) override;
  void Paint() override;

  // ---- composition ----
  // Border, region, glyph and caption into the cache.
  virtual void PaintFace();
  // The glyph from the image list: image lists carry no pixels here, so
  // nothing is drawn.
  virtual void PaintGlyph();
  // The caption into r of the cache with the text flags.
  virtual void DrawCaption(platform::ui::TRect r, uint32_t flags);

  // ---- settings offered by the derived buttons ----
  bool ShowCaption() const { return showCaption_; }
  void SetShowCaption(bool v);
  bool ShowFocus() const { return showFocus_; }
  void SetShowFocus(bool v);
  int32_t FocusMargin() const { return focusMargin_; }
  void SetFocusMargin(int32_t v);
  platform::ui::TAlignment Alignment() const { return alignment_; }
  void SetAlignment(platform::ui::TAlignment v);
  int32_t Blend() const { return blend_; }
  // Bounded to 0..100.
  void SetBlend(int32_t v);
  TsDisabledGlyphKind DisabledGlyphKind() const { return disabledGlyphKind_; }
  void SetDisabledGlyphKind(TsDisabledGlyphKind v);
  platform::ui::TCustomImageList* Images() const { return images_; }
  void SetImages(platform::ui::TCustomImageList* v);
  platform::ui::TCustomImageList* ImagesGrayed() const { return imagesGrayed_; }
  void SetImagesGrayed(platform::ui::TCustomImageList* v);
  platform::ui::TCustomImageList* ImagesDisabled() const { return imagesDisabled_; }
  void SetImagesDisabled(platform::ui::TCustomImageList* v);
  int32_t ImageIndex() const { return imageIndex_; }
  void SetImageIndex(int32_t v);
  bool Grayed() const { return grayed_; }
  void SetGrayed(bool v);
  platform::ui::TButtonLayout Layout() const { return layout_; }
  void SetLayout(platform::ui::TButtonLayout v);
  int32_t Spacing() const { return spacing_; }
  void SetSpacing(int32_t v);

  // The style's cache, marked stale directly (no invalidation).
  void MarkCacheStale();
  // The style's Invalidate (cache stale, control invalidated).
  void InvalidateStyle();
  bool IsHot() const;
  platform::ui::TBitmap& Cache();
  // Click; false when the click freed this button, which must then not be
  // touched again.
  bool ClickKeepsButton();

  friend class TFadeTimer;
  friend class TsButtonActionLink;

 private:
  // The mask look: 2 pressed, 1 hot, 0 normal.
  int32_t Look() const;
  TsButtonMetrics Metrics() const;
  platform::ui::TCanvas& CacheCanvas() const;
  void PaintCaption();
  void ApplyDisabledEffect(const TBackSource& back);
  void FadeTick();
  void StartFade(uint8_t mode, uint32_t interval);
  void ForgetList(platform::ui::TCustomImageList*& list, platform::ui::TComponent* component);

  std::unique_ptr<TsActiveBGStyle> style_;
  std::unique_ptr<platform::ui::TChangeLink> imageChangeLink_;
  platform::ui::TBitmap savedImage_;  // the look when a fade began
  platform::ui::TBitmap fadeFrame_;   // the step shown by the next paint
  platform::ui::TComponentPtr<TFadeTimer> fadeTimer_;
  bool autoSize_ = false;
  int32_t bevelWidth_ = 2;
  TsDisabledKind disabledKind_ = dkBlended;
  int32_t margin_ = 0;
  bool down_ = false;
  mutable int32_t captionAlign_ = 1;  // set by the caption layout
  int32_t fadeCounter_ = 0;
  bool showCaption_ = true;
  bool showFocus_ = true;
  int32_t focusMargin_ = 1;
  platform::ui::TAlignment alignment_ = platform::ui::TAlignment::taCenter;
  int32_t blend_ = 0;
  TsDisabledGlyphKind disabledGlyphKind_ = dgBlended;
  platform::ui::TCustomImageList* images_ = nullptr;
  platform::ui::TCustomImageList* imagesGrayed_ = nullptr;
  platform::ui::TCustomImageList* imagesDisabled_ = nullptr;
  int32_t imageIndex_ = -1;
  bool grayed_ = false;
  platform::ui::TButtonLayout layout_ = platform::ui::TButtonLayout::blGlyphLeft;
  int32_t spacing_ = 3;
};

}  // namespace skin

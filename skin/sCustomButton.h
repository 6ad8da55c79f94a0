#pragma once
// sCustomButton: the styled push button (TsButton) and the styled button
// with a glyph (TsBitBtn), which every form of the system places.
//
// A TsButton clicks on: a left release inside it while still pressed; the
// release of any key while pressed (Space presses it while it has the
// focus); Enter while it is the form's active default button, Esc while
// Cancel (neither with Shift, Ctrl or Alt); its "&" accelerator. Click sets
// the form's ModalResult to the button's, even when that is 0.
//
// GUI thread only.

#include <cstdint>
#include <string_view>

#include "platform/ui/Bitmap.h"
#include "skin/sButtonControl.h"

namespace skin {

class TsButton : public TsButtonControl {
 public:
  explicit TsButton(platform::ui::TComponent* owner);

  bool Cancel() const { return cancel_; }
  void SetCancel(bool v) { cancel_ = v; }
  bool Default() const { return default_; }
  // Tells the parent form, so that every button of it works out whether it
  // is the active default button.
  void SetDefault(bool v);
  platform::ui::TModalResult ModalResult() const { return modalResult_; }
  void SetModalResult(platform::ui::TModalResult v) { modalResult_ = v; }
  // Acts as the form's default button now (Enter clicks it).
  bool Active() const { return active_; }
  bool IsActiveDefault() const override { return default_ && active_; }
  std::string_view ClassName() const override { return "TsButton"; }
  using TsButtonControl::FocusMargin;
  using TsButtonControl::SetFocusMargin;
  using TsButtonControl::SetShowCaption;
  using TsButtonControl::SetShowFocus;
  using TsButtonControl::ShowCaption;
  using TsButtonControl::ShowFocus;

  void Click() override;
  // Active becomes Default once the button has a parent.
  void SetParent(platform::ui::TWinControl* parent) override;

 protected:
  void Dispatch(platform::ui::TMessage& message) override;
  void Loaded() override;
  void MouseDown(platform::ui::TMouseButton button, platform::ui::TShiftState shift, int x, int y) override;

 private:
  bool ProcessPending();
  bool KeyReleased();
  void DialogKey(platform::ui::TMessage& message);
  void DialogChar(platform::ui::TMessage& message);
  void FocusChanged(const platform::ui::TMessage& message);
  void SetActive(bool v);

  bool cancel_ = false;
  bool default_ = false;
  bool active_ = false;
  platform::ui::TModalResult modalResult_ = platform::ui::mrNone;
};

class TsBitBtn : public TsButton {
 public:
  explicit TsBitBtn(platform::ui::TComponent* owner);

  using TsButtonControl::Alignment;
  using TsButtonControl::Blend;
  using TsButtonControl::DisabledGlyphKind;
  using TsButtonControl::Grayed;
  using TsButtonControl::ImageIndex;
  using TsButtonControl::Images;
  using TsButtonControl::ImagesDisabled;
  using TsButtonControl::ImagesGrayed;
  using TsButtonControl::Layout;
  using TsButtonControl::SetAlignment;
  using TsButtonControl::SetBlend;
  using TsButtonControl::SetDisabledGlyphKind;
  using TsButtonControl::SetGrayed;
  using TsButtonControl::SetImageIndex;
  using TsButtonControl::SetImages;
  using TsButtonControl::SetImagesDisabled;
  using TsButtonControl::SetImagesGrayed;
  using TsButtonControl::SetLayout;
  using TsButtonControl::SetSpacing;
  using TsButtonControl::Spacing;

  // The picture beside the caption, NumGlyphs images side by side (the
  // second for the disabled look); its bottom-left pixel is transparent.
  const platform::ui::TBitmap& Glyph() const { return glyph_; }
  // Copies glyph (null empties it).
  void SetGlyph(const platform::ui::TBitmap* glyph);
  int32_t NumGlyphs() const { return numGlyphs_; }
  // Values below 1 become 1.
  void SetNumGlyphs(int32_t v);

  int32_t GlyphWidth() const override;
  int32_t GlyphHeight() const override;
  std::string_view ClassName() const override { return "TsBitBtn"; }

 protected:
  void PaintGlyph() override;

 private:
  platform::ui::TBitmap glyph_;
  int32_t numGlyphs_ = 1;
};

}  // namespace skin

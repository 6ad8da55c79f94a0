#pragma once
// Push buttons: TButton, TBitBtn (plain: Kind presets), TSpeedButton.
//
// A TButton clicks on: a left press and release inside it; Space pressed and
// released while it has the focus; Enter while it is the form's active
// default button (Default, and no other button focused) or it is focused;
// Esc while Cancel; its "&" accelerator. Click sets the form's ModalResult
// to the button's ModalResult (mrNone too, which keeps a modal form open)
// before OnClick.

#include <memory>

#include "platform/ui/Bitmap.h"
#include "platform/ui/Control.h"
#include "platform/ui/WinControl.h"

namespace platform::ui {

class TButton : public TWinControl {
 public:
  explicit TButton(TComponent* owner);

  bool Default() const { return default_; }
  void SetDefault(bool v);
  bool Cancel() const { return cancel_; }
  void SetCancel(bool v) { cancel_ = v; }
  TModalResult ModalResult() const { return modalResult_; }
  void SetModalResult(TModalResult r) { modalResult_ = r; }
  // Whether Enter clicks this button now.
  bool Active() const { return active_; }
  // Drawn pressed (mouse or Space held).
  bool Down() const { return down_; }

  void Click() override;

 protected:
  void Dispatch(TMessage& message) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  void KeyDown(uint16_t& key, TShiftState shift) override;
  void KeyUp(uint16_t& key, TShiftState shift) override;
  bool FocusOnClick() const override { return true; }
  // Raised face (sunken while down), a black frame while Active, the
  // caption centred (one pixel down-right while down), the focus rectangle
  // while focused.
  void PaintControl() override;
  // Draws the face's content (caption; a bit button adds its glyph) into r.
  virtual void PaintContent(TCanvas& canvas, const TRect& r);

 private:
  bool default_ = false;
  bool cancel_ = false;
  bool active_ = false;
  bool down_ = false;
  TModalResult modalResult_ = mrNone;
};

enum class TBitBtnKind { bkCustom, bkOK, bkCancel, bkHelp, bkYes, bkNo, bkClose, bkAbort, bkRetry, bkIgnore, bkAll };
enum class TButtonLayout { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };

class TBitBtn : public TButton {
 public:
  explicit TBitBtn(TComponent* owner);
  TBitBtnKind Kind() const { return kind_; }
  // A preset kind sets Caption, ModalResult, and Default (OK, Yes) or
  // Cancel (Cancel, No); bkClose closes the form on click.
  void SetKind(TBitBtnKind kind);
  TButtonLayout Layout() const { return layout_; }
  void SetLayout(TButtonLayout l) { layout_ = l; Invalidate(); }
  int Spacing() const { return spacing_; }
  void SetSpacing(int s) { spacing_ = s; Invalidate(); }
  int Margin() const { return margin_; }
  void SetMargin(int m) { margin_ = m; Invalidate(); }
  void Click() override;

  // The picture shown beside the caption; its bottom-left pixel colour is
  // transparent. NumGlyphs images side by side (1 to 4; the second is the
  // disabled look).
  TBitmap& Glyph();
  void SetGlyph(const TBitmap* glyph);
  int NumGlyphs() const { return numGlyphs_; }
  void SetNumGlyphs(int n);

 protected:
  void PaintContent(TCanvas& canvas, const TRect& r) override;

 private:
  std::unique_ptr<TBitmap> glyph_;
  int numGlyphs_ = 1;
  TBitBtnKind kind_ = TBitBtnKind::bkCustom;
  TButtonLayout layout_ = TButtonLayout::blGlyphLeft;
  int spacing_ = 4;
  int margin_ = -1;
};

// A graphic button; with a GroupIndex it stays down and releases the other
// buttons of its group.
class TSpeedButton : public TGraphicControl {
 public:
  explicit TSpeedButton(TComponent* owner);
  int GroupIndex() const { return groupIndex_; }
  void SetGroupIndex(int g) { groupIndex_ = g; }
  bool Down() const { return down_; }
  void SetDown(bool v);
  bool AllowAllUp() const { return allowAllUp_; }
  void SetAllowAllUp(bool v) { allowAllUp_ = v; }
  bool Flat() const { return flat_; }
  void SetFlat(bool v) { flat_ = v; Invalidate(); }
  bool Pressed() const { return pressed_; }
  // As a bit button's glyph.
  TBitmap& Glyph();
  void SetGlyph(const TBitmap* glyph);
  int NumGlyphs() const { return numGlyphs_; }
  void SetNumGlyphs(int n);

 protected:
  // Raised frame (none when Flat and up), sunken while down or pressed;
  // glyph and caption centred.
  void Paint() override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  void Dispatch(TMessage& message) override;

 private:
  void ReleaseGroup();
  std::unique_ptr<TBitmap> glyph_;
  int numGlyphs_ = 1;
  int groupIndex_ = 0;
  bool down_ = false;
  bool allowAllUp_ = false;
  bool flat_ = false;
  bool pressed_ = false;
};

}  // namespace platform::ui

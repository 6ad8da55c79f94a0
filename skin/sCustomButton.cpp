#include "skin/sCustomButton.h"

#include <algorithm>

#include "platform/ui/Application.h"
#include "platform/ui/Form.h"
#include "skin/sStyleUtil.h"

namespace skin {

namespace ui = platform::ui;

// -------------------------------------------------------------------- button

TsButton::TsButton(ui::TComponent* owner) : TsButtonControl(owner) {
  sStyle().SetStyleKind(kKindButton);
  SetBoundsQuiet(Left(), Top(), 75, 25);
  SetTabStop(true);
}

void TsButton::SetDefault(bool v) {
  default_ = v;
  if (ui::TCustomForm* form = ParentForm())
    form->Perform(ui::CM_FOCUSCHANGED, 0, reinterpret_cast<ui::LPARAM>(form->ActiveControl()));
  InvalidateStyle();
}

// There is no window creation step: the parent and the end of loading
// stand for it.
void TsButton::SetParent(ui::TWinControl* parent) {
  TsButtonControl::SetParent(parent);
  if (parent != nullptr) active_ = default_;
}

void TsButton::Loaded() {
  TsButtonControl::Loaded();
  active_ = default_;
}

void TsButton::SetActive(bool v) {
  if (v == active_) return;
  active_ = v;
  InvalidateStyle();
}

void TsButton::Click() {
  if (ui::TCustomForm* form = ParentForm()) form->SetModalResult(modalResult_);
  TsButtonControl::Click();
}

void TsButton::MouseDown(ui::TMouseButton button, ui::TShiftState shift, int x, int y) {
  MarkCacheStale();
  TsButtonControl::MouseDown(button, shift, x, y);
  if (CanFocus() && !Focused()) SetFocus();
}

void TsButton::Dispatch(ui::TMessage& m) {
  switch (m.Msg) {
    case ui::WM_KEYUP:
      if (Down() && !KeyReleased()) return;  // freed by its click or meanwhile
      break;
    case ui::CM_DIALOGKEY:
      DialogKey(m);
      if (m.Result != 0) return;
      break;
    case ui::CM_DIALOGCHAR:
      DialogChar(m);
      if (m.Result != 0) return;
      break;
    case ui::CM_FOCUSCHANGED:
      FocusChanged(m);
      break;
    case ui::CN_COMMAND:
      if ((m.WParam >> 16) == 0) {
        MarkCacheStale();
        Click();
      }
      return;
    default:
      break;
  }
  TsButtonControl::Dispatch(m);
}

// Processes pending messages; false when this button was freed meanwhile
// (a handler run there may free its form), so nothing of it may be touched.
bool TsButton::ProcessPending() {
  return Survives([] { ui::Application().ProcessMessages(); });
}

// Any key released while pressed (Space, or a key during a mouse press)
// clicks; false when the button is gone afterwards.
bool TsButton::KeyReleased() {
  SetDown(false);
  InvalidateStyle();
  return ProcessPending() && ClickKeepsButton();
}

// Enter on the active default button, Esc on a Cancel one. A key release
// handled while messages are processed may have clicked it already (it
// is no longer Down then), so it clicks only while still Down.
void TsButton::DialogKey(ui::TMessage& m) {
  const auto shift = static_cast<ui::TShiftState>(m.LParam);
  const bool hit = (m.WParam == ui::VK_RETURN && active_) || (m.WParam == ui::VK_ESCAPE && cancel_);
  if (!hit || (shift & (ui::ssShift | ui::ssCtrl | ui::ssAlt)) != 0 || !CanFocus()) return;
  m.Result = 1;
  SetDown(true);
  if (!ProcessPending()) return;
  if (Down() && !ClickKeepsButton()) return;
  SetDown(false);
  ProcessPending();
}

// Space presses the focused button (its key release clicks it). An
// accelerator's release goes to the focused control, so an accelerator
// presses and clicks at once.
void TsButton::DialogChar(ui::TMessage& m) {
  const auto ch = static_cast<char>(m.WParam);
  const bool space = ch == ' ' && sStyle().HasFocus();
  const bool accel = !space && ui::IsAccel(ch, Caption()) && CanFocus();
  if (!space && !accel) return;
  MarkCacheStale();
  SetDown(true);
  Repaint();
  m.Result = 1;
  m.WParam = 0;
  if (!accel || !ClickKeepsButton()) return;
  SetDown(false);
}

void TsButton::FocusChanged(const ui::TMessage& m) {
  auto* focused = reinterpret_cast<ui::TWinControl*>(m.LParam);
  if (dynamic_cast<TsButton*>(focused) != nullptr)
    SetActive(focused == this);
  else
    SetActive(default_);
  MarkCacheStale();
}

// ---------------------------------------------------------------- bit button

TsBitBtn::TsBitBtn(ui::TComponent* owner) : TsButton(owner) { sStyle().SetStyleKind(kKindBitBtn); }

void TsBitBtn::SetGlyph(const ui::TBitmap* glyph) {
  glyph_.Assign(glyph);
  InvalidateStyle();
}

void TsBitBtn::SetNumGlyphs(int32_t v) {
  v = std::max(v, 1);
  if (v == numGlyphs_) return;
  numGlyphs_ = v;
  InvalidateStyle();
}

int32_t TsBitBtn::GlyphWidth() const {
  return glyph_.Width() >= 1 ? glyph_.Width() / numGlyphs_ : TsButtonControl::GlyphWidth();
}

int32_t TsBitBtn::GlyphHeight() const { return glyph_.Height() > 0 ? glyph_.Height() : TsButtonControl::GlyphHeight(); }

void TsBitBtn::PaintGlyph() {
  if (glyph_.Width() < 1) {
    TsButtonControl::PaintGlyph();
    return;
  }
  PutButtonGlyph(glyph_, Cache(), GlyphRect(), numGlyphs_, Enabled(), Grayed(), DisabledGlyphKind(), IsHot() ? 1 : 0,
                 Blend());
}

}  // namespace skin

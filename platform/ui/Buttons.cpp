#include "platform/ui/Buttons.h"

#include <algorithm>

#include "platform/ui/Form.h"
#include "platform/ui/Frames.h"
#include "platform/ui/Paint.h"

namespace platform::ui {

TButton::TButton(TComponent* owner) : TWinControl(owner) {
  SetBoundsQuiet(0, 0, 75, 25);
  SetTabStop(true);
  // Clicks come from the button's own press logic, not from csClickEvents.
  SetControlStyle((ControlStyle() & ~csClickEvents) | csOpaque);
}

void TButton::SetDefault(bool v) {
  if (v == default_) return;
  default_ = v;
  if (TCustomForm* form = ParentForm())
    form->Perform(CM_FOCUSCHANGED, 0, reinterpret_cast<LPARAM>(TWinControl::FocusedControl()));
  else
    active_ = v;
  Invalidate();
}

void TButton::PaintControl() {
  TWinControl::PaintControl();
  detail::PaintWithCanvas(this, [this](TCanvas& c) {
    TRect r = ClientRect();
    if (active_) {
      c.Brush().SetStyle(TBrushStyle::bsSolid);
      c.Brush().SetColor(cl3DDkShadow);
      c.FrameRect(r);
      r = {r.Left + 1, r.Top + 1, r.Right - 1, r.Bottom - 1};
    }
    if (down_) {
      // Pressed: a flat shadow frame around the face.
      c.Brush().SetColor(clBtnShadow);
      c.FrameRect(r);
      c.Brush().SetColor(Color());
      c.FillRect({r.Left + 1, r.Top + 1, r.Right - 1, r.Bottom - 1});
    } else {
      DrawFrameControl(c.Handle(), r, DFC_BUTTON, DFCS_BUTTONPUSH);
    }
    TRect content{r.Left + 2, r.Top + 2, r.Right - 2, r.Bottom - 2};
    if (down_) content = {content.Left + 1, content.Top + 1, content.Right + 1, content.Bottom + 1};
    PaintContent(c, content);
    if (Focused()) DrawFocusRect(c.Handle(), {r.Left + 3, r.Top + 3, r.Right - 3, r.Bottom - 3});
  });
}

void TButton::PaintContent(TCanvas& c, const TRect& r) {
  detail::DrawCaption(c, Caption(), r, DT_SINGLELINE | DT_CENTER | DT_VCENTER, EffectivelyEnabled());
}

void TButton::Click() {
  if (TCustomForm* form = ParentForm()) form->SetModalResult(modalResult_);
  TWinControl::Click();
}

void TButton::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case CM_DIALOGKEY: {
      auto shift = static_cast<TShiftState>(m.LParam);
      const bool hit = (m.WParam == VK_RETURN && active_) || (m.WParam == VK_ESCAPE && cancel_);
      if (hit && (shift & (ssShift | ssCtrl | ssAlt)) == 0 && CanFocus()) {
        Click();
        m.Result = 1;
        return;
      }
      break;
    }
    case CM_DIALOGCHAR:
      if (IsAccel(static_cast<char>(m.WParam), Caption()) && CanFocus()) {
        Click();
        m.Result = 1;
        return;
      }
      break;
    case CM_FOCUSCHANGED: {
      auto* focused = reinterpret_cast<TWinControl*>(m.LParam);
      bool active = dynamic_cast<TButton*>(focused) != nullptr ? focused == this : default_;
      if (active != active_) {
        active_ = active;
        Invalidate();
      }
      break;
    }
    case CN_COMMAND:
      if ((m.WParam >> 16) == 0) Click();
      return;
    case CM_EXIT:
      if (down_) {
        down_ = false;
        Invalidate();
      }
      break;
    default:
      break;
  }
  TWinControl::Dispatch(m);
}

void TButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == TMouseButton::mbLeft && !down_) {
    down_ = true;
    Invalidate();
  }
  TWinControl::MouseDown(button, shift, x, y);
}

void TButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == TMouseButton::mbLeft && down_) {
    down_ = false;
    Invalidate();
    if (ClientRect().Contains(TPoint{x, y}) && !Survives([this] { Perform(CN_COMMAND, 0, 0); })) return;
  }
  TWinControl::MouseUp(button, shift, x, y);
}

void TButton::KeyDown(uint16_t& key, TShiftState shift) {
  if (key == VK_SPACE && !down_) {
    down_ = true;
    Invalidate();
  }
  TWinControl::KeyDown(key, shift);
}

void TButton::KeyUp(uint16_t& key, TShiftState shift) {
  if (key == VK_SPACE && down_) {
    down_ = false;
    Invalidate();
    if (!Survives([this] { Perform(CN_COMMAND, 0, 0); })) return;  // the click freed the button
  }
  TWinControl::KeyUp(key, shift);
}

TBitBtn::TBitBtn(TComponent* owner) : TButton(owner) {}

void TBitBtn::SetKind(TBitBtnKind kind) {
  kind_ = kind;
  struct Preset {
    const char* caption;
    TModalResult result;
  };
  static const Preset presets[] = {{"", mrNone},       {"OK", mrOk},         {"Cancel", mrCancel},
                                   {"&Help", mrNone},  {"&Yes", mrYes},      {"&No", mrNo},
                                   {"&Close", mrNone}, {"Abort", mrAbort},   {"&Retry", mrRetry},
                                   {"&Ignore", mrIgnore}, {"&All", 8}};
  if (kind == TBitBtnKind::bkCustom) return;
  const Preset& p = presets[static_cast<int>(kind)];
  SetCaption(p.caption);
  SetModalResult(p.result);
  if (kind == TBitBtnKind::bkOK || kind == TBitBtnKind::bkYes) SetDefault(true);
  if (kind == TBitBtnKind::bkCancel || kind == TBitBtnKind::bkNo) SetCancel(true);
}

void TBitBtn::Click() {
  if (kind_ == TBitBtnKind::bkClose)
    if (TCustomForm* form = ParentForm()) {
      form->Close();
      return;
    }
  TButton::Click();
}

TBitmap& TBitBtn::Glyph() {
  if (glyph_ == nullptr) glyph_ = std::make_unique<TBitmap>();
  return *glyph_;
}

void TBitBtn::SetGlyph(const TBitmap* glyph) {
  Glyph().Assign(glyph);
  Invalidate();
}

void TBitBtn::SetNumGlyphs(int n) {
  numGlyphs_ = std::clamp(n, 1, 4);
  Invalidate();
}

namespace {

// Glyph and caption laid out as one block in r: centred (margin -1) or
// margin pixels from the side the layout names, spacing pixels apart.
void GlyphAndCaption(TCanvas& c, const TRect& r, const TBitmap* glyph, int numGlyphs, const std::string& caption,
                     TButtonLayout layout, int margin, int spacing, bool enabled) {
  const int gw = glyph != nullptr && !glyph->Empty() ? glyph->Width() / std::max(1, numGlyphs) : 0;
  const int gh = gw > 0 ? glyph->Height() : 0;
  TRect text{0, 0, 0, 0};
  c.Handle();
  if (!caption.empty()) c.DrawText(caption, text, DT_SINGLELINE | DT_CALCRECT);
  const int tw = text.Width();
  const int th = caption.empty() ? 0 : text.Height();
  const int gap = gw > 0 && tw > 0 ? spacing : 0;
  const bool horizontal = layout == TButtonLayout::blGlyphLeft || layout == TButtonLayout::blGlyphRight;
  const int blockW = horizontal ? gw + gap + tw : std::max(gw, tw);
  const int blockH = horizontal ? std::max(gh, th) : gh + gap + th;
  int x = r.Left + (r.Width() - blockW) / 2;
  int y = r.Top + (r.Height() - blockH) / 2;
  if (margin >= 0) {
    if (layout == TButtonLayout::blGlyphLeft) x = r.Left + margin;
    if (layout == TButtonLayout::blGlyphRight) x = r.Right - margin - blockW;
    if (layout == TButtonLayout::blGlyphTop) y = r.Top + margin;
    if (layout == TButtonLayout::blGlyphBottom) y = r.Bottom - margin - blockH;
  }
  TPoint g{};
  TPoint t{};
  switch (layout) {
    case TButtonLayout::blGlyphLeft:
      g = {x, y + (blockH - gh) / 2};
      t = {x + gw + gap, y + (blockH - th) / 2};
      break;
    case TButtonLayout::blGlyphRight:
      t = {x, y + (blockH - th) / 2};
      g = {x + tw + gap, y + (blockH - gh) / 2};
      break;
    case TButtonLayout::blGlyphTop:
      g = {x + (blockW - gw) / 2, y};
      t = {x + (blockW - tw) / 2, y + gh + gap};
      break;
    case TButtonLayout::blGlyphBottom:
      t = {x + (blockW - tw) / 2, y};
      g = {x + (blockW - gw) / 2, y + th + gap};
      break;
  }
  if (gw > 0) detail::DrawGlyph(c, *glyph, numGlyphs, g.X, g.Y, enabled);
  if (!caption.empty()) detail::DrawCaption(c, caption, Bounds(t.X, t.Y, tw, th), DT_SINGLELINE, enabled);
}

}  // namespace

void TBitBtn::PaintContent(TCanvas& c, const TRect& r) {
  GlyphAndCaption(c, r, glyph_.get(), numGlyphs_, Caption(), layout_, margin_, spacing_, EffectivelyEnabled());
}

TSpeedButton::TSpeedButton(TComponent* owner) : TGraphicControl(owner) {
  SetBoundsQuiet(0, 0, 23, 22);
  SetControlStyle((ControlStyle() & ~csClickEvents) | csCaptureMouse);
}

void TSpeedButton::SetDown(bool v) {
  if (groupIndex_ == 0) v = false;
  if (v == down_) return;
  if (!v && !allowAllUp_) return;  // the last down button of a group stays down
  down_ = v;
  if (v) ReleaseGroup();
  Invalidate();
}

TBitmap& TSpeedButton::Glyph() {
  if (glyph_ == nullptr) glyph_ = std::make_unique<TBitmap>();
  return *glyph_;
}

void TSpeedButton::SetGlyph(const TBitmap* glyph) {
  Glyph().Assign(glyph);
  Invalidate();
}

void TSpeedButton::SetNumGlyphs(int n) {
  numGlyphs_ = std::clamp(n, 1, 4);
  Invalidate();
}

void TSpeedButton::Paint() {
  TCanvas& c = Canvas();
  TRect r = ClientRect();
  c.Brush().SetStyle(TBrushStyle::bsSolid);
  c.Brush().SetColor(Color());
  c.FillRect(r);
  const bool sunken = down_ || pressed_;
  if (sunken)
    DrawEdge(c.Handle(), r, flat_ ? BDR_SUNKENOUTER : EDGE_SUNKEN, BF_RECT);
  else if (!flat_)
    DrawEdge(c.Handle(), r, EDGE_RAISED, BF_RECT);
  TRect content{r.Left + 2, r.Top + 2, r.Right - 2, r.Bottom - 2};
  if (sunken) content = {content.Left + 1, content.Top + 1, content.Right + 1, content.Bottom + 1};
  GlyphAndCaption(c, content, glyph_.get(), numGlyphs_, Caption(), TButtonLayout::blGlyphLeft, -1, 4,
                  EffectivelyEnabled());
}

void TSpeedButton::ReleaseGroup() {
  if (Parent() == nullptr || groupIndex_ == 0) return;
  for (int i = 0; i < Parent()->ControlCount(); ++i) {
    auto* other = dynamic_cast<TSpeedButton*>(Parent()->Controls(i));
    if (other != nullptr && other != this && other->groupIndex_ == groupIndex_ && other->down_) {
      other->down_ = false;
      other->Invalidate();
    }
  }
}

void TSpeedButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == TMouseButton::mbLeft) {
    pressed_ = true;
    Invalidate();
  }
  TGraphicControl::MouseDown(button, shift, x, y);
}

void TSpeedButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == TMouseButton::mbLeft && pressed_) {
    pressed_ = false;
    Invalidate();
    if (ClientRect().Contains(TPoint{x, y})) {
      if (groupIndex_ != 0) {
        if (!down_)
          SetDown(true);
        else if (allowAllUp_)
          SetDown(false);
      }
      if (!Survives([this] { Click(); })) return;  // the click freed the button
    }
  }
  TGraphicControl::MouseUp(button, shift, x, y);
}

void TSpeedButton::Dispatch(TMessage& m) {
  if (m.Msg == CM_DIALOGCHAR && Enabled() && Showing() && IsAccel(static_cast<char>(m.WParam), Caption())) {
    Click();
    m.Result = 1;
    return;
  }
  TGraphicControl::Dispatch(m);
}

}  // namespace platform::ui

#include "platform/ui/Edit.h"

#include <algorithm>

#include "platform/ui/Frames.h"
#include "platform/ui/Paint.h"

namespace platform::ui {

TEdit::TEdit(TComponent* owner) : TWinControl(owner) {
  SetBoundsQuiet(0, 0, 121, 21);
  SetTabStop(true);
  SetColor(clWindow);
  SetControlStyle(ControlStyle() & ~csClickEvents);
}

int TEdit::SelStart() const { return std::clamp(selStart_, 0, static_cast<int>(Text().size())); }

int TEdit::SelLength() const {
  return std::clamp(selLength_, 0, static_cast<int>(Text().size()) - SelStart());
}

void TEdit::SetSelStart(int v) {
  selStart_ = std::clamp(v, 0, static_cast<int>(Text().size()));
  selLength_ = 0;
  Invalidate();
}

void TEdit::SetSelLength(int v) {
  selLength_ = std::clamp(v, 0, static_cast<int>(Text().size()) - SelStart());
  Invalidate();
}

void TEdit::SelectAll() {
  selStart_ = 0;
  selLength_ = static_cast<int>(Text().size());
  Invalidate();
}

void TEdit::PaintControl() {
  TWinControl::PaintControl();
  detail::PaintWithCanvas(this, [this](TCanvas& c) {
    TRect r = detail::PaintField(c, ClientRect(), Color());
    const TRect area{r.Left + 1, r.Top, r.Right - 1 - ReservedRight(), r.Bottom};
    const int x = area.Left;
    const int y = area.Top + 1;
    const std::string& text = Text();
    const bool enabled = EffectivelyEnabled();
    c.Font().SetColor(enabled ? Font().Color() : clGrayText);
    c.Brush().SetStyle(TBrushStyle::bsClear);
    c.TextRect(area, x, y, text);
    if (!Focused()) return;
    const int start = SelStart();
    const int length = SelLength();
    const int x0 = x + c.TextWidth(std::string_view(text).substr(0, static_cast<size_t>(start)));
    const int lineHeight = c.TextHeight("Wy");
    if (length == 0) {
      c.Brush().SetStyle(TBrushStyle::bsSolid);
      c.Brush().SetColor(clWindowText);
      c.FillRect(TRect{x0, y, x0 + 1, std::min(y + lineHeight, area.Bottom)});
      return;
    }
    const std::string_view selected = std::string_view(text).substr(static_cast<size_t>(start), static_cast<size_t>(length));
    const TRect band{std::max(x0, area.Left), y, std::min(x0 + c.TextWidth(selected), area.Right),
                     std::min(y + lineHeight, area.Bottom)};
    c.Brush().SetStyle(TBrushStyle::bsSolid);
    c.Brush().SetColor(clHighlight);
    c.Font().SetColor(clHighlightText);
    c.TextRect(band, x0, y, selected);
  });
}

std::string TEdit::SelText() const {
  return Text().substr(static_cast<size_t>(SelStart()), static_cast<size_t>(SelLength()));
}

void TEdit::SetText(std::string_view text) {
  TWinControl::SetText(text);
  selStart_ = static_cast<int>(Text().size());
  selLength_ = 0;
}

bool TEdit::WantsKey(uint16_t key, TShiftState shift) const {
  return key != VK_TAB && key != VK_RETURN && key != VK_ESCAPE && TWinControl::WantsKey(key, shift);
}

void TEdit::UserChanged(std::string text) {
  TWinControl::SetText(text);
  if (OnChange) OnChange(this);
}

void TEdit::KeyPress(char& key) {
  if (readOnly_) return;
  std::string t = Text();
  const auto start = static_cast<size_t>(SelStart());
  const auto len = static_cast<size_t>(SelLength());
  if (key == '\b') {
    if (len > 0) {
      t.erase(start, len);
      selStart_ = static_cast<int>(start);
    } else if (start > 0) {
      t.erase(start - 1, 1);
      selStart_ = static_cast<int>(start) - 1;
    } else {
      return;
    }
    selLength_ = 0;
    UserChanged(t);
    return;
  }
  if (static_cast<unsigned char>(key) < 32) return;  // other control characters type nothing
  if (maxLength_ > 0 && static_cast<int>(t.size() - len) >= maxLength_) return;
  t.replace(start, len, 1, key);
  selStart_ = static_cast<int>(start) + 1;
  selLength_ = 0;
  UserChanged(t);
}

void TEdit::KeyDown(uint16_t& key, TShiftState shift) {
  const int size = static_cast<int>(Text().size());
  switch (key) {
    case VK_HOME:
      SetSelStart(0);
      break;
    case VK_END:
      SetSelStart(size);
      break;
    case VK_LEFT:
      SetSelStart(SelStart() - 1);
      break;
    case VK_RIGHT:
      SetSelStart(SelStart() + SelLength() + (SelLength() > 0 ? 0 : 1));
      break;
    case VK_DELETE:
      if (!readOnly_ && (SelLength() > 0 || SelStart() < size)) {
        std::string t = Text();
        const int start = SelStart();
        t.erase(static_cast<size_t>(start), static_cast<size_t>(std::max(SelLength(), 1)));
        UserChanged(t);
        selStart_ = start;
        selLength_ = 0;
      }
      break;
    default:
      break;
  }
  TWinControl::KeyDown(key, shift);
}

void TEdit::WndProc(TMessage& m) {
  if (m.Msg == WM_LBUTTONDOWN || m.Msg == WM_LBUTTONDBLCLK) {
    // A click focuses without selecting all; the caret goes to the end.
    // Its focus change may free the edit.
    const auto alive = Lifetime();
    clickFocus_ = true;
    try {
      TWinControl::WndProc(m);
    } catch (...) {
      if (!alive.expired()) clickFocus_ = false;
      throw;
    }
    if (!alive.expired()) clickFocus_ = false;
    return;
  }
  TWinControl::WndProc(m);
}

void TEdit::Dispatch(TMessage& m) {
  if (m.Msg == WM_SETFOCUS) {
    if (autoSelect_ && !clickFocus_)
      SelectAll();
    else
      SetSelStart(static_cast<int>(Text().size()));
  }
  TWinControl::Dispatch(m);
}

TMemo::TMemo(TComponent* owner) : TWinControl(owner) {
  SetBoundsQuiet(0, 0, 185, 89);
  SetTabStop(true);
  SetColor(clWindow);
  SetControlStyle(ControlStyle() & ~csClickEvents);
}

std::string TMemo::MemoText() const {
  std::string t = lines_.Text();
  if (t.size() >= 2) t.resize(t.size() - 2);
  return t;
}

void TMemo::SetMemoText(std::string_view text) {
  lines_.SetText(text);
  Invalidate();
}

bool TMemo::WantsKey(uint16_t key, TShiftState shift) const {
  if (key == VK_RETURN) return wantReturns_;
  if (key == VK_TAB) return wantTabs_;
  return TWinControl::WantsKey(key, shift);
}

void TMemo::PaintControl() {
  TWinControl::PaintControl();
  detail::PaintWithCanvas(this, [this](TCanvas& c) {
    TRect r = detail::PaintField(c, ClientRect(), Color(), borderStyle_ == TBorderStyle::bsSingle);
    constexpr int kBar = 16;
    const bool vertical = scrollBars_ == TScrollStyle::ssVertical || scrollBars_ == TScrollStyle::ssBoth;
    const bool horizontal = scrollBars_ == TScrollStyle::ssHorizontal || scrollBars_ == TScrollStyle::ssBoth;
    TRect text{r.Left + 2, r.Top + 1, r.Right - (vertical ? kBar : 0) - 1, r.Bottom - (horizontal ? kBar : 0)};
    c.Font().SetColor(EffectivelyEnabled() ? Font().Color() : clGrayText);
    c.Brush().SetStyle(TBrushStyle::bsClear);
    c.Handle();
    TRect all = text;
    c.DrawText(MemoText(), all, DT_NOPREFIX | DT_EXPANDTABS | (wordWrap_ && !horizontal ? DT_WORDBREAK : 0));
    auto bar = [&](TRect track, uint32_t less, uint32_t more, bool isVertical) {
      c.Brush().SetStyle(TBrushStyle::bsSolid);
      c.Brush().SetColor(cl3DLight);
      c.FillRect(track);
      const TRect first = isVertical ? TRect{track.Left, track.Top, track.Right, track.Top + kBar}
                                     : TRect{track.Left, track.Top, track.Left + kBar, track.Bottom};
      const TRect last = isVertical ? TRect{track.Left, track.Bottom - kBar, track.Right, track.Bottom}
                                    : TRect{track.Right - kBar, track.Top, track.Right, track.Bottom};
      DrawFrameControl(c.Handle(), first, DFC_SCROLL, less);
      DrawFrameControl(c.Handle(), last, DFC_SCROLL, more);
    };
    if (vertical) bar({r.Right - kBar, r.Top, r.Right, r.Bottom - (horizontal ? kBar : 0)}, DFCS_SCROLLUP, DFCS_SCROLLDOWN, true);
    if (horizontal) bar({r.Left, r.Bottom - kBar, r.Right - (vertical ? kBar : 0), r.Bottom}, DFCS_SCROLLLEFT, DFCS_SCROLLRIGHT, false);
    if (vertical && horizontal) {
      c.Brush().SetColor(clBtnFace);
      c.FillRect({r.Right - kBar, r.Bottom - kBar, r.Right, r.Bottom});
    }
  });
}

void TMemo::KeyPress(char& key) {
  if (readOnly_) return;
  const int n = lines_.Count();
  if (key == '\r') {
    if (!wantReturns_) return;
    lines_.Add("");
    if (n == 0) lines_.Add("");
  } else if (key == '\b') {
    if (n == 0) return;
    std::string last = lines_[n - 1];
    if (last.empty()) {
      lines_.Delete(n - 1);
    } else {
      last.pop_back();
      lines_.SetStrings(n - 1, last);
    }
  } else if (key == '\t' ? wantTabs_ : static_cast<unsigned char>(key) >= 32) {
    if (n == 0) lines_.Add(std::string(1, key));
    else lines_.SetStrings(n - 1, lines_[n - 1] + key);
  } else {
    return;
  }
  Invalidate();
  if (OnChange) OnChange(this);
}

}  // namespace platform::ui

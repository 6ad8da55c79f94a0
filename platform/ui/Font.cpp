#include "platform/ui/Font.h"

#include <cstdlib>

namespace platform::ui {

namespace {

// a * b / c rounded half away from zero, the classic MulDiv.
int MulDiv(int a, int b, int c) {
  long long p = static_cast<long long>(a) * b;
  long long q = (std::llabs(p) + c / 2) / c;
  return static_cast<int>(p < 0 ? -q : q);
}

}  // namespace

void TFont::SetName(std::string_view name) {
  if (name.empty() || name == name_) return;
  name_ = std::string(name);
  Changed();
}

int TFont::Size() const { return -MulDiv(height_, 72, kScreenPixelsPerInch); }

void TFont::SetSize(int points) { SetHeight(-MulDiv(points, kScreenPixelsPerInch, 72)); }

void TFont::SetHeight(int pixels) {
  if (pixels == height_) return;
  height_ = pixels;
  Changed();
}

void TFont::SetStyle(TFontStyles style) {
  style &= fsBold | fsItalic | fsUnderline | fsStrikeOut;
  if (style == style_) return;
  style_ = style;
  Changed();
}

void TFont::SetColor(TColor color) {
  if (color == color_) return;
  color_ = color;
  Changed();
}

void TFont::SetCharset(uint8_t charset) {
  if (charset == charset_) return;
  charset_ = charset;
  Changed();
}

bool TFont::SameAs(const TFont& o) const {
  return name_ == o.name_ && height_ == o.height_ && style_ == o.style_ && color_ == o.color_ &&
         charset_ == o.charset_;
}

void TFont::Assign(const TPersistent* source) {
  const auto* other = dynamic_cast<const TFont*>(source);
  if (other == nullptr) {
    TPersistent::Assign(source);
    return;
  }
  if (SameAs(*other)) return;
  name_ = other->name_;
  height_ = other->height_;
  style_ = other->style_;
  color_ = other->color_;
  charset_ = other->charset_;
  Changed();
}

void TFont::Changed() {
  if (OnChange) OnChange(this);
}

}  // namespace platform::ui

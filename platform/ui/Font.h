#pragma once
// TFont as a plain value with a change event: name, size in points (or a
// negative pixel height), style, colour and charset. How a font is turned
// into pixels belongs to the canvas.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/ui/Component.h"
#include "platform/ui/Types.h"

namespace platform::ui {

using TFontStyles = uint32_t;
inline constexpr TFontStyles fsBold = 1;
inline constexpr TFontStyles fsItalic = 2;
inline constexpr TFontStyles fsUnderline = 4;
inline constexpr TFontStyles fsStrikeOut = 8;

inline constexpr int kScreenPixelsPerInch = 96;
inline constexpr uint8_t DEFAULT_CHARSET = 1;
inline constexpr uint8_t RUSSIAN_CHARSET = 204;

class TFont : public TPersistent {
 public:
  TFont() = default;

  const std::string& Name() const { return name_; }
  void SetName(std::string_view name);
  // Size in points; Height in pixels, negative for the character height
  // (Height = -Size * 96 / 72, rounded as the classic rule: MulDiv).
  int Size() const;
  void SetSize(int points);
  int Height() const { return height_; }
  void SetHeight(int pixels);
  TFontStyles Style() const { return style_; }
  void SetStyle(TFontStyles style);
  TColor Color() const { return color_; }
  void SetColor(TColor color);
  uint8_t Charset() const { return charset_; }
  void SetCharset(uint8_t charset);

  // Copies another font's values (one change event when anything changed).
  void Assign(const TPersistent* source) override;
  bool SameAs(const TFont& other) const;

  // Raised after every change (owner controls listen to it).
  TNotifyEvent OnChange;

 private:
  void Changed();

  std::string name_ = "MS Sans Serif";
  int height_ = -11;  // 8 points at 96 pixels per inch
  TFontStyles style_ = 0;
  TColor color_ = clWindowText;
  uint8_t charset_ = DEFAULT_CHARSET;
};

}  // namespace platform::ui

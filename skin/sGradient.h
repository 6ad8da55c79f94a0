#pragma once
// sGradient: multi-band linear gradients written as a short text of
// integers, painted into 24-bit bitmaps; and the small utilities of the
// skinned controls (words of a text, conditional choice, rectangle sizes,
// combined transparency, the error box). GUI thread for painting and the
// error box; the rest is pure and may run on any thread.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui/Bitmap.h"
#include "platform/ui/ImageList.h"
#include "platform/ui/Types.h"

namespace skin {

// A gradient text: decimal integers separated by ";", five per band
// (Color1, Color2, Percent, Mode, reserved). A short string: only the
// first kMaxGradientText characters are read.
using TsGradientData = std::string;
inline constexpr std::size_t kMaxGradientText = 255;

// One band: the colours at its start and end (0x00BBGGRR), its extent in
// percent of the painted side (low byte of the text's number), and the
// direction (0 vertical, 1 horizontal; only the first band's counts).
struct TsGradItem {
  uint32_t Color1 = 0;
  uint32_t Color2 = 0;
  uint8_t Percent = 0;
  int32_t Mode = 0;
  friend bool operator==(const TsGradItem&, const TsGradItem&) = default;
};
static_assert(sizeof(TsGradItem) == 16);

using TsGradArray = std::vector<TsGradItem>;

// Fills bands from text: CountWords(text, ";") div 5 bands, words left over
// ignored. A word that is not an integer (platform::os::TryStrToInt rules)
// raises platform::os::EConvertError; bands then holds what was parsed, the
// rest zero.
void ParseGradientData(std::string_view text, TsGradArray& bands);

// Paints bands into rect of a 24-bit bitmap, rect clipped to the bitmap.
// Nothing for no bands or a first band whose Mode is neither 0 nor 1.
void PaintGradient(platform::ui::TBitmap& bitmap, const platform::ui::TRect& rect, const TsGradArray& bands);

// A colour's bytes in the order of a 24-bit scan line: blue, green, red.
void ColorToBGR(uint32_t color, uint8_t bgr[3]);

// Words: maximal runs of characters not in delimiters.
int32_t CountWords(std::string_view text, std::string_view delimiters);
// Every word of text, in order, as views into text.
std::vector<std::string_view> SplitWords(std::string_view text, std::string_view delimiters);
// word as a 32-bit integer (platform::os::TryStrToInt rules); anything else
// raises platform::os::EConvertError naming the word.
int32_t StrToIntOrRaise(std::string_view word);
// 1-based position of the n-th word (n from 1); 0 when there is none.
int32_t FindWordStart(int32_t n, std::string_view text, std::string_view delimiters);
// The n-th word; empty when there is none.
std::string GetWord(int32_t n, std::string_view text, std::string_view delimiters);

inline std::string IfThenString(bool flag, std::string_view a, std::string_view b) {
  return std::string(flag ? a : b);
}
inline int32_t IfThenInt(bool flag, int32_t a, int32_t b) { return flag ? a : b; }
inline platform::ui::TCustomImageList* IfThenImages(bool flag, platform::ui::TCustomImageList* a,
                                                    platform::ui::TCustomImageList* b) {
  return flag ? a : b;
}
inline int32_t MaxInt2(int32_t a, int32_t b) { return a > b ? a : b; }
inline int32_t MinInt2(int32_t a, int32_t b) { return a < b ? a : b; }
inline void SwapInts(int32_t& a, int32_t& b) {
  const int32_t t = a;
  a = b;
  b = t;
}
inline int32_t RectWidth(const platform::ui::TRect& r) { return r.Right - r.Left; }
inline int32_t RectHeight(const platform::ui::TRect& r) { return r.Bottom - r.Top; }

// Transparency (percent) of a layer of transparency a over one of b:
// round(b + (100 - b) * a / 100), halves to even.
int32_t CombineTransparency(int32_t a, int32_t b);

// Names of the error box's parts, for those who drive it as a user would.
inline constexpr std::string_view kErrorFormName = "sErrorForm";
inline constexpr std::string_view kErrorTextName = "ErrorLabel";
inline constexpr std::string_view kErrorOkName = "OkButton";

// Shows text in a modal box titled with the application's title, closed
// by its "OK" button (Enter and Esc too). GUI thread.
void ShowErrorMessage(std::string_view text);

}  // namespace skin

#pragma once
// sHtmlParse: TsHtml draws a hint text with a small set of tags onto a
// bitmap's canvas and reports the size the text took. Measuring is drawing
// whose pixels are thrown away. Tags (matched in upper case): B, /B, I, /I,
// BR, P, FONT with SIZE, COLOR and FACE, /FONT; "<<" shows "<". Lines
// break only at BR and P; carriage returns and line feeds are not drawn.
// GUI thread (the canvas's).

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui/Bitmap.h"
#include "platform/ui/Font.h"
#include "platform/ui/Types.h"

namespace skin {

// The font size a SIZE attribute may reach, in points either way (the
// renderer draws at most 400 pixels high).
inline constexpr int32_t kMaxHtmlFontSize = 300;

// A colour name of the markup (upper case) as a colour value; false when
// the name is not one of the sixteen.
bool HtmlColorByName(std::string_view name, platform::ui::TColor& color);
// Hexadecimal digits (upper case) as a colour value: 0 for none, -1 for a
// character that is not a digit or for more than eight digits.
int32_t HtmlHexColor(std::string_view digits);

class TsHtml {
 public:
  TsHtml() = default;
  TsHtml(const TsHtml&) = delete;
  TsHtml& operator=(const TsHtml&) = delete;
  // Fonts left on the stack go with the object; the canvas font stays as
  // the tags left it.
  ~TsHtml() = default;

  // Starts a text: bitmap (not owned) whose canvas is drawn on, with its
  // font and brush set by the caller; lines start at area's left, the first
  // at its top.
  void Init(platform::ui::TBitmap* bitmap, std::string_view text, const platform::ui::TRect& area);
  // Draws the text and answers (0, 0, widest line end, height). A tag
  // without its ">" ends the text there: what came before is drawn and
  // measured. A SIZE value that is not an integer raises
  // platform::os::EConvertError.
  void Render(platform::ui::TRect& r);

 private:
  void DrawSegment(std::size_t from, std::size_t to);
  void NewLine();
  void EndText();
  void HandleTag(std::string_view tag);
  void OpenFont(std::string_view tag);
  void CloseFont();
  void SetStyle(platform::ui::TFontStyles style, bool on);
  platform::ui::TFont& CanvasFont();

  platform::ui::TBitmap* Bitmap = nullptr;
  int32_t CurX = 0;
  int32_t CurY = 0;
  int32_t Len = 0;
  std::string Text;
  std::string UpperText;
  std::vector<std::unique_ptr<platform::ui::TFont>> FontStack;
  platform::ui::TRect Area{};
  int32_t MaxLineWidth = 0;
  int32_t TotalHeight = 0;
  int32_t LineWidth = 0;
  int32_t LineHeight = 0;
};

}  // namespace skin

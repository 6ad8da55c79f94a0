#include "skin/sHtmlParse.h"

#include <algorithm>
#include <array>
#include <utility>

#include "platform/os/Format.h"
#include "platform/os/Text.h"
#include "skin/sGradient.h"

namespace skin {

namespace ui = platform::ui;
using platform::os::Pos;

namespace {

constexpr std::string_view kFontDelimiters = " \"<=>\r\n";

constexpr std::array<std::pair<std::string_view, ui::TColor>, 16> kColorNames{{
    {"AQUA", 0xFFFF00},
    {"BLACK", 0x000000},
    {"BLUE", 0xFF0000},
    {"FUCHSIA", 0xFF00FF},
    {"GRAY", 0x808080},
    {"GREEN", 0x008000},
    {"LIME", 0x00FF00},
    {"MAROON", 0x000080},
    {"NAVY", 0x800000},
    {"OLIVE", 0x008080},
    {"PURPLE", 0x800080},
    {"RED", 0x0000FF},
    {"SILVER", 0xC0C0C0},
    {"TEAL", 0x808000},
    {"WHITE", 0xFFFFFF},
    {"YELLOW", 0x00FFFF},
}};

// SIZE value: "+n" and "-n" change the size by n, a plain n sets it; a sign
// alone changes nothing. The result stays within +-kMaxHtmlFontSize.
void ApplySize(ui::TFont& font, std::string_view word) {
  int64_t size = font.Size();
  if (word[0] == '+' || word[0] == '-') {
    if (word.size() == 1) return;
    const int64_t step = StrToIntOrRaise(word.substr(1));
    size += word[0] == '+' ? step : -step;
  } else {
    size = StrToIntOrRaise(word);
  }
  font.SetSize(static_cast<int32_t>(std::clamp<int64_t>(size, -kMaxHtmlFontSize, kMaxHtmlFontSize)));
}

void ApplyColor(ui::TFont& font, std::string_view word) {
  ui::TColor color = 0;
  if (word[0] == '#')
    color = static_cast<ui::TColor>(HtmlHexColor(word.substr(1)));
  else if (!HtmlColorByName(word, color))
    color = static_cast<ui::TColor>(HtmlHexColor(word));
  font.SetColor(color);
}

// FACE: the text between the first two double quotes after "FACE".
void ApplyFace(ui::TFont& font, std::string_view tag) {
  const int at = Pos("FACE", tag);
  if (at == 0) return;
  const std::size_t open = tag.find('"', static_cast<std::size_t>(at - 1));
  if (open == std::string_view::npos) return;
  const std::size_t close = tag.find('"', open + 1);
  if (close == std::string_view::npos || close == open + 1) return;
  font.SetName(tag.substr(open + 1, close - open - 1));
}

}  // namespace

bool HtmlColorByName(std::string_view name, ui::TColor& color) {
  for (const auto& [n, value] : kColorNames) {
    if (n == name) {
      color = value;
      return true;
    }
  }
  return false;
}

int32_t HtmlHexColor(std::string_view digits) {
  if (digits.size() > 8) return -1;
  uint32_t value = 0;
  for (char c : digits) {
    uint32_t d = 0;
    if (c >= '0' && c <= '9')
      d = static_cast<uint32_t>(c - '0');
    else if (c >= 'A' && c <= 'F')
      d = static_cast<uint32_t>(c - 'A' + 10);
    else
      return -1;
    value = value * 16 + d;
  }
  return static_cast<int32_t>(value);
}

void TsHtml::Init(ui::TBitmap* bitmap, std::string_view text, const ui::TRect& area) {
  Bitmap = bitmap;
  Text = std::string(text);
  UpperText = platform::os::AnsiUpperCase(text);
  Len = static_cast<int32_t>(std::min<std::size_t>(UpperText.size(), INT32_MAX));
  Area = area;
  CurX = area.Left;
  CurY = area.Top;
  MaxLineWidth = 0;
  TotalHeight = 0;
  LineWidth = 0;
  LineHeight = 0;
}

ui::TFont& TsHtml::CanvasFont() { return Bitmap->Canvas().Font(); }

void TsHtml::Render(ui::TRect& r) {
  const auto len = static_cast<std::size_t>(Len);
  std::size_t start = 0;
  std::size_t p = 0;
  while (p < len) {
    if (UpperText[p] != '<') {
      ++p;
      continue;
    }
    if (p + 1 < len && UpperText[p + 1] == '<') {
      DrawSegment(start, p);
      start = p + 1;  // the second "<" opens the next segment
      p += 2;
      continue;
    }
    DrawSegment(start, p);
    const std::size_t end = UpperText.find('>', p + 1);
    if (end == std::string::npos || end >= len) {
      start = len;  // a tag without its end stops the text here
      break;
    }
    HandleTag(std::string_view(UpperText).substr(p, end - p + 1));
    start = end + 1;
    p = end + 1;
  }
  DrawSegment(start, len);
  EndText();
  r = ui::Rect(0, 0, MaxLineWidth, TotalHeight);
}

void TsHtml::DrawSegment(std::size_t from, std::size_t to) {
  if (to <= from || Bitmap == nullptr) return;
  std::string s;
  s.reserve(to - from);
  for (std::size_t i = from; i < to; ++i)
    if (Text[i] != '\r' && Text[i] != '\n') s.push_back(Text[i]);
  if (s.empty()) return;
  ui::TCanvas& c = Bitmap->Canvas();
  c.TextOut(CurX, CurY, s);
  CurX += c.TextWidth(s);
  LineWidth = CurX;
  LineHeight = std::max(LineHeight, c.TextHeight("X"));
}

void TsHtml::NewLine() {
  CurY += LineHeight + 2;
  MaxLineWidth = std::max(MaxLineWidth, LineWidth);
  LineWidth = 0;
  LineHeight = 0;
}

void TsHtml::EndText() {
  MaxLineWidth = std::max(MaxLineWidth, LineWidth);
  LineWidth = 0;
  TotalHeight = CurY + LineHeight;
}

void TsHtml::SetStyle(ui::TFontStyles style, bool on) {
  ui::TFont& f = CanvasFont();
  f.SetStyle(on ? (f.Style() | style) : (f.Style() & ~style));
}

void TsHtml::HandleTag(std::string_view tag) {
  if (Bitmap == nullptr) return;
  if (Pos("/", tag) == 2) {
    if (Pos("B", tag) == 3)
      SetStyle(ui::fsBold, false);
    else if (Pos("I", tag) == 3)
      SetStyle(ui::fsItalic, false);
    else if (Pos("FONT", tag) == 3)
      CloseFont();
  } else if (Pos("BR", tag) == 2 || Pos("P", tag) == 2) {
    CurX = Area.Left;
    NewLine();
  } else if (Pos("B", tag) == 2) {
    SetStyle(ui::fsBold, true);
  } else if (Pos("I", tag) == 2) {
    SetStyle(ui::fsItalic, true);
  } else if (Pos("FONT", tag) == 2) {
    OpenFont(tag);
  }
}

void TsHtml::OpenFont(std::string_view tag) {
  ui::TFont& font = CanvasFont();
  auto saved = std::make_unique<ui::TFont>();
  saved->Assign(&font);
  FontStack.push_back(std::move(saved));
  const std::vector<std::string_view> words = SplitWords(tag, kFontDelimiters);
  bool faceDone = false;  // every FACE word names the same face
  for (std::size_t i = 0; i < words.size(); ++i) {
    const std::string_view next = i + 1 < words.size() ? words[i + 1] : std::string_view();
    if (words[i] == "SIZE" && !next.empty())
      ApplySize(font, next);
    else if (words[i] == "COLOR" && !next.empty())
      ApplyColor(font, next);
    else if (words[i] == "FACE" && !std::exchange(faceDone, true))
      ApplyFace(font, tag);
  }
}

void TsHtml::CloseFont() {
  if (FontStack.empty()) return;
  CanvasFont().Assign(FontStack.back().get());
  FontStack.pop_back();
}

}  // namespace skin

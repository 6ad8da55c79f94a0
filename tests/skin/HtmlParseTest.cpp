#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/os/Convert.h"
#include "platform/ui/Colors.h"
#include "skin/sHtmlParse.h"
#include "tests/skin/SkinTestSupport.h"

using namespace skin;
using namespace skintest;
namespace ui = platform::ui;

namespace {

// A white 300 x 120 bitmap with the hint font, drawn with a clear brush.
struct TCanvasFixture {
  TBitmap bitmap;
  TCanvasFixture() {
    bitmap.SetSize(300, 120);
    Fill(bitmap, ui::clWhite);
    bitmap.Canvas().Font().SetColor(ui::clBlack);
    bitmap.Canvas().Brush().SetStyle(ui::TBrushStyle::bsClear);
  }
  ui::TRect Render(std::string_view text, ui::TRect area = ui::Rect(0, 0, 200, 0)) {
    TsHtml html;
    html.Init(&bitmap, text, area);
    ui::TRect r;
    html.Render(r);
    return r;
  }
  int Width(std::string_view s) { return bitmap.Canvas().TextWidth(s); }
  int LineHeight() { return bitmap.Canvas().TextHeight("X"); }
};

struct TPiece {
  int x, y;
  const char* text;
};

// The markup's pixels equal those of its pieces drawn with TextOut.
bool DrawsAs(TCanvasFixture& f, const char* markup, ui::TRect area, const std::vector<TPiece>& pieces) {
  Fill(f.bitmap, ui::clWhite);
  f.Render(markup, area);
  const std::vector<uint8_t> rendered = f.bitmap.SaveToBytes();
  Fill(f.bitmap, ui::clWhite);
  for (const TPiece& p : pieces) f.bitmap.Canvas().TextOut(p.x, p.y, p.text);
  return rendered == f.bitmap.SaveToBytes() && skintest::CountOther(f.bitmap, ui::clWhite) > 0;
}

TEST(HtmlParseTest, SegmentsLinesAndSizes) {
  TCanvasFixture f;
  const int h = f.LineHeight();
  struct Case {
    const char* text;
    int width, height;
  };
  const std::vector<Case> cases = {
      {"A<<B", f.Width("A") + f.Width("<B"), h},          // "<<" shows one "<"
      {"ab\r\ncd", f.Width("abcd"), h},                    // line ends are dropped, no break
      {"line1<BR>line2", f.Width("line1"), 2 * h + 2},     // the break adds LineHeight + 2
      {"a<BR><BR>b", f.Width("a"), 2 * h + 4},             // the empty line has height 0
      {"x<P>yy", f.Width("yy"), 2 * h + 2},                // P breaks as BR
      {"<B></B>", 0, 0},                                   // tags alone draw nothing
      {"ab<c", f.Width("ab"), h},                          // no ">": ends, what came before counts
      {"ab<BR>cd<", f.Width("ab"), 2 * h + 2},             // the unended tag's line is measured too
      {"", 0, 0},
      {"A<<", f.Width("A") + f.Width("<"), h},
  };
  for (const Case& c : cases) {
    Fill(f.bitmap, ui::clWhite);
    f.bitmap.Canvas().Font().SetStyle(0);
    EXPECT_EQ(f.Render(c.text), ui::Rect(0, 0, c.width, c.height)) << c.text;
  }
  // Where the pieces land: "<<" as "<", lines from the area's left edge,
  // b of a<BR><BR>b 2 pixels below the line after a.
  const ui::TRect area = ui::Rect(10, 5, 100, 0);
  EXPECT_TRUE(DrawsAs(f, "A<<B", area, {{10, 5, "A<B"}}));
  EXPECT_TRUE(DrawsAs(f, "ab<BR>c", area, {{10, 5, "ab"}, {10, 5 + h + 2, "c"}}));
  EXPECT_TRUE(DrawsAs(f, "a<BR><BR>b", area, {{10, 5, "a"}, {10, 5 + h + 4, "b"}}));
  EXPECT_EQ(f.Render("ab<BR>c", area), ui::Rect(0, 0, 10 + f.Width("ab"), 5 + 2 * h + 2));
}

TEST(HtmlParseTest, BoldItalicAndFontTags) {
  TCanvasFixture f;
  ui::TFont& font = f.bitmap.Canvas().Font();
  struct Case {
    const char* text;
    ui::TFontStyles style;  // of the canvas font afterwards
  };
  const std::vector<Case> cases = {
      {"<B>x</B>", 0},
      {"<B><B>x</B>y", 0},            // switched, not counted
      {"<B>x</BR>", 0},               // a closing BR ends bold
      {"<B>x", ui::fsBold},
      {"<BIG>x", ui::fsBold},         // a name starting with B acts as B
      {"<I>x", ui::fsItalic},
      {"<B><I>x</I>", ui::fsBold},
      {"<b>x", ui::fsBold},           // matched in upper case
      {"<U>x", 0},                    // unknown tags do nothing
  };
  for (const Case& c : cases) {
    font.SetStyle(0);
    f.Render(c.text);
    EXPECT_EQ(font.Style(), c.style) << c.text;
  }
  // Bold text is wider than plain text.
  font.SetStyle(0);
  EXPECT_GT(f.Render("<B>WWWW").Right, f.Width("WWWW"));

  // FONT SIZE: changes and restores; a closing FONT on an empty stack changes nothing.
  font.SetSize(8);
  f.Render("<FONT SIZE=+2>x");
  EXPECT_EQ(font.Size(), 10);
  font.SetSize(8);
  f.Render("<FONT SIZE=+2>x</FONT>y</FONT>");
  EXPECT_EQ(font.Size(), 8);
  const std::vector<std::pair<const char*, int>> sizes = {
      {"<FONT SIZE=-3>", 5}, {"<FONT SIZE=14>", 14}, {"<FONT SIZE=\"12\">", 12}, {"<FONT SIZE=+>", 8},
      {"<FONT SIZE=>", 8},   {"<FONT SIZE=+99999999>", kMaxHtmlFontSize}};
  for (const auto& [tag, size] : sizes) {
    font.SetSize(8);
    f.Render(tag);
    EXPECT_EQ(font.Size(), size) << tag;
  }
  // A larger font makes a wider, taller line.
  font.SetSize(8);
  const ui::TRect big = f.Render("<FONT SIZE=+6>WW</FONT>");
  EXPECT_GT(big.Right, f.Width("WW"));
  EXPECT_GT(big.Bottom, f.LineHeight());
  font.SetSize(8);
  EXPECT_THROW(f.Render("<FONT SIZE=abc>"), platform::os::EConvertError);

  // FACE: between the quotes after FACE, upper case; no pair keeps the name.
  font.SetName("MS Sans Serif");
  f.Render("<FONT FACE=\"Courier New\">x");
  EXPECT_EQ(font.Name(), "COURIER NEW");
  for (const char* tag : {"<FONT FACE=Arial>", "<FONT FACE=\"\">", "<FONT FACE=\"Arial>"}) {
    font.SetName("MS Sans Serif");
    f.Render(tag);
    EXPECT_EQ(font.Name(), "MS Sans Serif") << tag;
  }
}

TEST(HtmlParseTest, ColoursByNameAndNumber) {
  TCanvasFixture f;
  ui::TFont& font = f.bitmap.Canvas().Font();
  const std::vector<std::pair<const char*, ui::TColor>> cases = {
      {"<FONT COLOR=#0000FF>", 0x0000FF},   {"<FONT COLOR=RED>", 0x0000FF},  {"<font color=red>", 0x0000FF},
      {"<FONT COLOR=\"#FF0000\">", 0xFF0000}, {"<FONT COLOR=NAVY>", 0x800000}, {"<FONT COLOR=808080>", 0x808080},
      {"<FONT COLOR=#>", 0},                {"<FONT COLOR=#12G4>", ui::TColor(-1)},
      {"<FONT COLOR=#123456789>", ui::TColor(-1)},  // more than eight digits
      {"<FONT COLOR=#FFFFFFFF>", 0xFFFFFFFF},
  };
  for (const auto& [tag, colour] : cases) {
    font.SetColor(ui::clGreen);
    f.Render(tag);
    EXPECT_EQ(font.Color(), colour) << tag;
  }
  // The text is drawn in the tag's colour, and the colour ends with the tag.
  Fill(f.bitmap, ui::clWhite);
  font.SetColor(ui::clBlack);
  f.Render("<FONT COLOR=RED>WW</FONT>WW");
  const int split = f.Width("WW");
  int red = 0, black = 0, other = 0;
  for (int y = 0; y < f.LineHeight(); ++y)
    for (int x = 0; x < 2 * split; ++x) {
      const TColor c = At(f.bitmap, x, y);
      if (c == ui::clWhite) continue;
      (c == ui::clRed && x < split ? red : c == ui::clBlack && x >= split ? black : other)++;
    }
  EXPECT_GT(red, 0);
  EXPECT_GT(black, 0);
  EXPECT_EQ(other, 0);
}

}  // namespace

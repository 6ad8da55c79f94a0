// Text: metrics, TextOut, and DrawText layout (calculated sizes,
// alignment, word breaks, tabs, prefixes, clipping). Sizes are checked
// against the font's own measures so that the tests hold for any hinting
// of the glyphs; the layout rules are what is tested.

#include <gtest/gtest.h>

#include "platform/os/Text.h"
#include "platform/ui/Bitmap.h"
#include "platform/ui/Colors.h"
#include "platform/ui/FontEngine.h"

namespace platform::ui {
namespace {

using namespace platform::os::literals;

class Text : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(FontEngine::Instance().Available()) << FontEngine::Instance().Error();
    bmp.SetSize(200, 60);
    c().Brush().SetStyle(TBrushStyle::bsClear);
  }
  TPainter& c() { return bmp.Canvas(); }
  int LineHeight() { return c().TextHeight("W"); }
  // Ink: pixels that are not white.
  TRect InkBounds() {
    TRect r{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
    for (int y = 0; y < bmp.Height(); ++y)
      for (int x = 0; x < bmp.Width(); ++x)
        if (c().Pixel(x, y) != clWhite) {
          r.Left = std::min(r.Left, x);
          r.Top = std::min(r.Top, y);
          r.Right = std::max(r.Right, x + 1);
          r.Bottom = std::max(r.Bottom, y + 1);
        }
    return r;
  }
  std::vector<uint8_t> Pixels() {
    std::vector<uint8_t> all;
    for (int y = 0; y < bmp.Height(); ++y) all.insert(all.end(), bmp.ScanLine(y), bmp.ScanLine(y) + bmp.Stride());
    return all;
  }
  void Clear() {
    TBrush saved;
    saved.Assign(&c().Brush());
    c().Brush().SetStyle(TBrushStyle::bsSolid);
    c().Brush().SetColor(clWhite);
    c().FillRect({0, 0, bmp.Width(), bmp.Height()});
    c().Brush().Assign(&saved);
  }
  TBitmap bmp;
};

TEST_F(Text, DefaultFontIsEightPointsAtNinetySixDpi) {
  const TTextMetrics m = FontEngine::Instance().Metrics(c().Font());
  EXPECT_EQ(c().Font().Height(), -11);
  EXPECT_EQ(m.Height, m.Ascent + m.Descent);
  EXPECT_GE(m.Height, 11);
  EXPECT_LE(m.Height, 15);
  TFont big;
  big.SetSize(16);
  EXPECT_GT(FontEngine::Instance().Metrics(big).Height, m.Height);
  TFont cell;  // a positive height is the whole cell
  cell.SetHeight(20);
  EXPECT_NEAR(FontEngine::Instance().Metrics(cell).Height, 20, 1);
}

TEST_F(Text, ExtentsAddUpAdvances) {
  EXPECT_EQ(c().TextExtent(""), (TSize{0, LineHeight()}));
  EXPECT_EQ(c().TextWidth("ab"), c().TextWidth("a") + c().TextWidth("b"));
  EXPECT_GT(c().TextWidth("W"), c().TextWidth("i"));
  const int regular = c().TextWidth("WWWW");
  c().Font().SetStyle(fsBold);
  EXPECT_GT(c().TextWidth("WWWW"), regular);
  c().Font().SetName("Tahoma");  // every face name maps to the same family
  const int tahoma = c().TextWidth("WWWW");
  c().Font().SetName("Arial");
  EXPECT_EQ(c().TextWidth("WWWW"), tahoma);
  TSize size;
  EXPECT_TRUE(GetTextExtentPoint32(c().Handle(), "abc", 3, &size));
  EXPECT_EQ(size.cx, c().TextWidth("abc"));
}

TEST_F(Text, GlyphsAreNotAntialiased) {
  c().Font().SetColor(clBlack);
  c().TextOut(2, 2, "Gaz&%");
  for (int y = 0; y < bmp.Height(); ++y)
    for (int x = 0; x < bmp.Width(); ++x) {
      const TColor p = c().Pixel(x, y);
      ASSERT_TRUE(p == clWhite || p == clBlack) << x << "," << y;
    }
}

TEST_F(Text, CyrillicBytesDrawTheirLetters) {
  const std::string_view word = "Ошибка"_cp;
  EXPECT_GT(c().TextWidth(word), 0);
  // A letter draws differently from the byte the code page leaves empty.
  c().TextOut(0, 0, "\xC6");
  const auto letter = Pixels();
  Clear();
  c().TextOut(0, 0, "\x98");
  EXPECT_NE(Pixels(), letter);
}

TEST_F(Text, TextOutInkStaysInTheCellAndMovesThePen) {
  c().Font().SetColor(clBlue);
  c().TextOut(10, 5, "Hello");
  const TRect ink = InkBounds();
  EXPECT_GE(ink.Left, 10);
  EXPECT_LE(ink.Right, 10 + c().TextWidth("Hello"));
  EXPECT_GE(ink.Top, 5);
  EXPECT_LE(ink.Bottom, 5 + LineHeight());
  EXPECT_EQ(c().PenPos(), (TPoint{10 + c().TextWidth("Hello"), 5}));
  for (int y = ink.Top; y < ink.Bottom; ++y)
    for (int x = ink.Left; x < ink.Right; ++x) {
      const TColor p = c().Pixel(x, y);
      EXPECT_TRUE(p == clBlue || p == clWhite);
    }
}

TEST_F(Text, SolidBrushFillsTheTextCell) {
  c().Brush().SetStyle(TBrushStyle::bsSolid);
  c().Brush().SetColor(clLime);
  c().TextOut(3, 4, "ab");
  const int w = c().TextWidth("ab");
  EXPECT_EQ(c().Pixel(3, 4), clLime);
  EXPECT_EQ(c().Pixel(3 + w - 1, 4 + LineHeight() - 1), clLime);
  EXPECT_EQ(c().Pixel(3 + w, 4), clWhite);
  EXPECT_EQ(c().Pixel(3, 4 + LineHeight()), clWhite);
}

TEST_F(Text, CalcRectMeasuresSingleAndMultipleLines) {
  TRect r{5, 7, 5, 7};
  EXPECT_EQ(c().DrawText("Hello", r, DT_CALCRECT | DT_SINGLELINE), LineHeight());
  EXPECT_EQ(r, (TRect{5, 7, 5 + c().TextWidth("Hello"), 7 + LineHeight()}));
  r = {0, 0, 0, 0};
  EXPECT_EQ(c().DrawText("a\r\nbbb\nc", r, DT_CALCRECT), 3 * LineHeight());
  EXPECT_EQ(r.Right, c().TextWidth("bbb"));
  EXPECT_EQ(r.Bottom, 3 * LineHeight());
  r = {0, 0, 100, 0};
  EXPECT_EQ(c().DrawText("", r, DT_CALCRECT), LineHeight());
  EXPECT_EQ(r.Right, 0);
  r = {0, 0, 0, 0};  // on a single line, line ends are not shown
  c().DrawText("ab\r\ncd", r, DT_CALCRECT | DT_SINGLELINE);
  EXPECT_EQ(r.Right, c().TextWidth("abcd"));
  EXPECT_EQ(Pixels(), std::vector<uint8_t>(Pixels().size(), 0xFF));  // nothing drawn
}

TEST_F(Text, WordBreakFillsLinesGreedilyAtSpaces) {
  const int fit = c().TextWidth("aaa aaa");
  TRect r{0, 0, fit, 0};
  EXPECT_EQ(c().DrawText("aaa aaa aaa", r, DT_CALCRECT | DT_WORDBREAK), 2 * LineHeight());
  EXPECT_EQ(r.Right, fit);
  r = {0, 0, fit - 1, 0};
  EXPECT_EQ(c().DrawText("aaa aaa aaa", r, DT_CALCRECT | DT_WORDBREAK), 3 * LineHeight());
  EXPECT_EQ(r.Right, c().TextWidth("aaa"));  // narrower text narrows the rectangle
  // A word wider than the rectangle stays whole and widens it.
  r = {0, 0, 10, 0};
  EXPECT_EQ(c().DrawText("extraordinary x", r, DT_CALCRECT | DT_WORDBREAK), 2 * LineHeight());
  EXPECT_EQ(r.Right, c().TextWidth("extraordinary"));
  // Spaces at a break are dropped; leading spaces of a paragraph stay.
  r = {0, 0, c().TextWidth("  aaa"), 0};
  c().DrawText("  aaa   bbb", r, DT_CALCRECT | DT_WORDBREAK);
  EXPECT_EQ(r.Right, c().TextWidth("  aaa"));
  EXPECT_EQ(r.Bottom, 2 * LineHeight());
  // Line ends still break inside word-wrapped text.
  r = {0, 0, 1000, 0};
  EXPECT_EQ(c().DrawText("a\nb", r, DT_CALCRECT | DT_WORDBREAK), 2 * LineHeight());
}

TEST_F(Text, WordBreakIgnoredOnASingleLine) {
  TRect r{0, 0, 5, 0};
  EXPECT_EQ(c().DrawText("aaa bbb", r, DT_CALCRECT | DT_WORDBREAK | DT_SINGLELINE), LineHeight());
  EXPECT_EQ(r.Right, c().TextWidth("aaa bbb"));
}

TEST_F(Text, TabsExpandToEightAverageCharacters) {
  const int tab = 8 * FontEngine::Instance().Metrics(c().Font()).AveCharWidth;
  ASSERT_GT(tab, c().TextWidth("a"));
  TRect r{0, 0, 0, 0};
  c().DrawText("a\tb", r, DT_CALCRECT | DT_EXPANDTABS);
  EXPECT_EQ(r.Right, tab + c().TextWidth("b"));
  r = {0, 0, 0, 0};
  c().DrawText("\t\tb", r, DT_CALCRECT | DT_EXPANDTABS);
  EXPECT_EQ(r.Right, 2 * tab + c().TextWidth("b"));
  r = {0, 0, 0, 0};
  c().DrawText("a\tb", r, DT_CALCRECT);
  EXPECT_EQ(r.Right, c().TextWidth("a\tb"));
}

TEST_F(Text, PrefixesUnderlineTheNextCharacter) {
  TRect r{0, 0, 0, 0};
  c().DrawText("&File", r, DT_CALCRECT);
  EXPECT_EQ(r.Right, c().TextWidth("File"));
  r = {0, 0, 0, 0};
  c().DrawText("A&&B", r, DT_CALCRECT);
  EXPECT_EQ(r.Right, c().TextWidth("A&B"));
  r = {0, 0, 0, 0};
  c().DrawText("&File", r, DT_CALCRECT | DT_NOPREFIX);
  EXPECT_EQ(r.Right, c().TextWidth("&File"));
  r = {0, 0, 0, 0};
  c().DrawText("End&", r, DT_CALCRECT);
  EXPECT_EQ(r.Right, c().TextWidth("End"));

  // The drawings of "&File" and "File" differ only by a rule under "F".
  c().SetTextColor(clBlack);
  c().SetBkMode(TRANSPARENT);
  TRect box{4, 4, 150, 40};
  c().DrawText("File", box, DT_LEFT);
  const auto plain = Pixels();
  Clear();
  c().DrawText("&File", box, DT_LEFT);
  const int fw = c().TextWidth("F");
  int differing = 0;
  for (int y = 0; y < bmp.Height(); ++y)
    for (int x = 0; x < bmp.Width(); ++x) {
      const std::size_t at = static_cast<std::size_t>(y) * bmp.Stride() + 3u * static_cast<std::size_t>(x);
      if (plain[at] == Pixels()[at]) continue;
      ++differing;
      EXPECT_GE(x, 4);
      EXPECT_LT(x, 4 + fw);
      EXPECT_GT(y, 4 + FontEngine::Instance().Metrics(c().Font()).Ascent - 1);
    }
  EXPECT_GE(differing, 1);
}

TEST_F(Text, AlignmentPlacesLinesInTheRectangle) {
  c().SetTextColor(clBlack);
  c().SetBkMode(TRANSPARENT);
  const int w = c().TextWidth("Hi");
  const int h = LineHeight();
  // Each alignment draws exactly what TextOut draws at the computed spot.
  auto same = [&](uint32_t format, int x, int y) {
    Clear();
    TRect r{20, 10, 121, 51};
    c().DrawText("Hi", r, format);
    const auto laidOut = Pixels();
    Clear();
    c().TextOut(x, y, "Hi");
    return Pixels() == laidOut;
  };
  c().Brush().SetStyle(TBrushStyle::bsClear);
  EXPECT_TRUE(same(DT_LEFT, 20, 10));
  EXPECT_TRUE(same(DT_RIGHT, 121 - w, 10));
  EXPECT_TRUE(same(DT_CENTER, (20 + 121 - w) / 2, 10));
  EXPECT_TRUE(same(DT_SINGLELINE | DT_VCENTER, 20, 10 + (41 - h) / 2));
  EXPECT_TRUE(same(DT_SINGLELINE | DT_BOTTOM | DT_RIGHT, 121 - w, 51 - h));
  TRect r{20, 10, 121, 51};
  EXPECT_EQ(c().DrawText("Hi", r, DT_SINGLELINE | DT_VCENTER), (41 - h) / 2 + h);
  EXPECT_EQ(c().DrawText("Hi", r, DT_VCENTER), h);  // vertical placement needs a single line
}

TEST_F(Text, TextIsClippedToTheRectangleUnlessAskedNot) {
  c().SetTextColor(clBlack);
  c().SetBkMode(TRANSPARENT);
  TRect r{10, 10, 14, 12};
  c().DrawText("WWWW", r, DT_LEFT);
  const TRect ink = InkBounds();
  EXPECT_GE(ink.Left, 10);
  EXPECT_LE(ink.Right, 14);
  EXPECT_GE(ink.Top, 10);
  EXPECT_LE(ink.Bottom, 12);
  c().DrawText("WWWW", r, DT_LEFT | DT_NOCLIP);
  EXPECT_GT(InkBounds().Right, 14);
}

TEST_F(Text, HandleTakesColoursFromFontAndBrush) {
  c().Font().SetColor(clRed);
  c().Brush().SetStyle(TBrushStyle::bsSolid);
  c().Brush().SetColor(clLime);
  HDC dc = c().Handle();
  EXPECT_EQ(c().TextColor(), clRed);
  EXPECT_EQ(c().BkMode(), OPAQUE);
  EXPECT_EQ(c().BkColor(), clLime);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, clBlue);
  TRect r{0, 0, 100, 20};
  DrawText(dc, "x", -1, &r, DT_LEFT);
  EXPECT_EQ(c().Pixel(0, 0), clWhite);  // transparent: no background
  bool blue = false;
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 20; ++x) blue = blue || c().Pixel(x, y) == clBlue;
  EXPECT_TRUE(blue);
  EXPECT_EQ(DrawText(dc, nullptr, 1, &r, 0), 0);
  c().Brush().SetStyle(TBrushStyle::bsClear);
  c().Handle();
  EXPECT_EQ(c().BkMode(), TRANSPARENT);
}

TEST_F(Text, UnderlineStyleDrawsARuleUnderTheWholeText) {
  c().Font().SetColor(clBlack);
  c().TextOut(0, 0, "ab");
  const TRect plain = InkBounds();
  Clear();
  c().Font().SetStyle(fsUnderline);
  c().TextOut(0, 0, "ab");
  const TRect underlined = InkBounds();
  EXPECT_GT(underlined.Bottom, plain.Bottom - 1);
  EXPECT_EQ(underlined.Left, 0);
  EXPECT_EQ(underlined.Right, c().TextWidth("ab"));
}

}  // namespace
}  // namespace platform::ui

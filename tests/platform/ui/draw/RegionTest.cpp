// Regions: combining, point tests, handles; clipping of painting and
// BitBlt by bitmaps and regions; SaveDC/RestoreDC.

#include <gtest/gtest.h>

#include "DrawTestSupport.h"
#include "platform/ui/Bitmap.h"
#include "platform/ui/Colors.h"
#include "platform/ui/Region.h"

namespace platform::ui {
namespace {

using drawtest::Art;
using Rows = std::vector<std::string>;

std::vector<std::string> Mask(const TRegion& r, int w, int h) {
  Rows rows;
  for (int y = 0; y < h; ++y) {
    std::string row;
    for (int x = 0; x < w; ++x) row += r.Contains(x, y) ? 'X' : '.';
    rows.push_back(row);
  }
  return rows;
}

TEST(Region, RectangleExcludesRightAndBottom) {
  const TRegion r(TRect{1, 1, 3, 2});
  EXPECT_EQ(Mask(r, 4, 3), (Rows{"....", ".XX.", "...."}));
  EXPECT_EQ(r.Kind(), SIMPLEREGION);
  EXPECT_TRUE(TRegion(TRect{3, 1, 1, 2}).Empty());
  EXPECT_TRUE(TRegion(TRect{1, 1, 1, 5}).Empty());
}

TEST(Region, CombineModes) {
  const TRegion a(TRect{0, 0, 3, 3});
  const TRegion b(TRect{1, 1, 4, 4});
  EXPECT_EQ(Mask(TRegion::Combine(a, b, RGN_OR), 4, 4), (Rows{"XXX.", "XXXX", "XXXX", ".XXX"}));
  EXPECT_EQ(Mask(TRegion::Combine(a, b, RGN_AND), 4, 4), (Rows{"....", ".XX.", ".XX.", "...."}));
  EXPECT_EQ(Mask(TRegion::Combine(a, b, RGN_XOR), 4, 4), (Rows{"XXX.", "X..X", "X..X", ".XXX"}));
  EXPECT_EQ(Mask(TRegion::Combine(a, b, RGN_DIFF), 4, 4), (Rows{"XXX.", "X...", "X...", "...."}));
  EXPECT_EQ(TRegion::Combine(a, b, RGN_COPY), a);
  EXPECT_THROW(TRegion::Combine(a, b, 9), std::invalid_argument);
}

TEST(Region, PiecesThatMakeARectangleEqualIt) {
  const TRegion left(TRect{0, 0, 2, 4});
  const TRegion right(TRect{2, 0, 5, 4});
  const TRegion whole = TRegion::Combine(left, right, RGN_OR);
  EXPECT_EQ(whole, TRegion(TRect{0, 0, 5, 4}));
  EXPECT_EQ(whole.Kind(), SIMPLEREGION);
  const TRegion top = TRegion::Combine(whole, TRegion(TRect{0, 2, 5, 4}), RGN_DIFF);
  EXPECT_EQ(top, TRegion(TRect{0, 0, 5, 2}));
  EXPECT_TRUE(TRegion::Combine(whole, whole, RGN_XOR).Empty());
}

TEST(Region, RunsCutOutOneByOne) {
  // The window-region cutting of masked borders: single pixels combined
  // with XOR into a rectangle.
  TRegion r(TRect{0, 0, 4, 3});
  for (const TPoint p : {TPoint{0, 0}, TPoint{3, 0}, TPoint{0, 2}, TPoint{3, 2}})
    r = TRegion::Combine(r, TRegion(TRect{p.X, p.Y, p.X + 1, p.Y + 1}), RGN_XOR);
  EXPECT_EQ(Mask(r, 4, 3), (Rows{".XX.", "XXXX", ".XX."}));
  EXPECT_EQ(r.Kind(), COMPLEXREGION);
  EXPECT_EQ(r.Bounds(), (TRect{0, 0, 4, 3}));
  EXPECT_EQ(r.Rects().size(), 3u);
}

TEST(Region, FromRowsBuildsBandsAndRefusesBadSpans) {
  using S = TRegion::Span;
  const TRegion r = TRegion::FromRows(1, {{{0, 2}, {3, 4}}, {{0, 2}, {3, 4}}, {}, {{1, 3}}});
  EXPECT_EQ(Mask(r, 4, 5), (Rows{"....", "XX.X", "XX.X", "....", ".XX."}));
  // Equal neighbouring rows share a band, so the result equals the combined one.
  TRegion combined = TRegion::Combine(TRegion(TRect{0, 1, 4, 3}), TRegion(TRect{2, 1, 3, 3}), RGN_DIFF);
  EXPECT_EQ(r, TRegion::Combine(combined, TRegion(TRect{1, 4, 3, 5}), RGN_OR));
  const std::vector<std::vector<S>> bad[] = {{{{2, 2}}}, {{{3, 4}, {0, 1}}}, {{{0, 2}, {2, 3}}}};
  for (const auto& rows : bad) EXPECT_THROW(TRegion::FromRows(0, rows), std::invalid_argument);
  EXPECT_THROW(TRegion::FromRows(INT32_MAX - 1, {{}, {}}), std::invalid_argument);
  HRGN h = CreateRgnFromRegion(r);
  EXPECT_EQ(RegionOf(h), r);
  const std::size_t calls = CombineRgnCalls();
  EXPECT_EQ(CombineRgn(h, h, nullptr, 0), RGN_ERROR);
  EXPECT_EQ(CombineRgnCalls(), calls + 1);
  EXPECT_TRUE(DeleteObject(h));
}

TEST(Region, OffsetMovesEveryPixel) {
  TRegion r = TRegion::Combine(TRegion(TRect{0, 0, 1, 1}), TRegion(TRect{2, 1, 3, 2}), RGN_OR);
  r.Offset(1, 1);
  EXPECT_EQ(Mask(r, 4, 3), (Rows{"....", ".X..", "...X"}));
}

TEST(Region, HandlesCombineAndFailOnBadHandles) {
  const std::size_t before = LiveRegionHandles();
  HRGN a = CreateRectRgn(0, 0, 3, 3);
  HRGN b = CreateRectRgn(4, 4, 1, 1);  // corners in any order
  HRGN d = CreateRectRgn(0, 0, 0, 0);
  EXPECT_EQ(CombineRgn(d, a, b, RGN_XOR), COMPLEXREGION);
  EXPECT_TRUE(PtInRegion(d, 0, 0));
  EXPECT_FALSE(PtInRegion(d, 1, 1));
  EXPECT_TRUE(PtInRegion(d, 3, 3));
  TRect box;
  EXPECT_EQ(GetRgnBox(d, &box), COMPLEXREGION);
  EXPECT_EQ(box, (TRect{0, 0, 4, 4}));
  EXPECT_EQ(CombineRgn(d, a, nullptr, RGN_COPY), SIMPLEREGION);
  EXPECT_TRUE(EqualRgn(a, d));
  EXPECT_EQ(OffsetRgn(d, 1, 0), SIMPLEREGION);
  EXPECT_FALSE(EqualRgn(a, d));
  EXPECT_EQ(CombineRgn(d, a, b, 77), RGN_ERROR);
  EXPECT_TRUE(DeleteObject(b));
  EXPECT_FALSE(DeleteObject(b));
  EXPECT_EQ(CombineRgn(d, a, b, RGN_OR), RGN_ERROR);
  EXPECT_FALSE(PtInRegion(b, 2, 2));
  EXPECT_EQ(GetRgnBox(nullptr, &box), RGN_ERROR);
  const std::optional<TRegion> taken = TakeRegion(d);
  ASSERT_TRUE(taken.has_value());
  EXPECT_EQ(*taken, TRegion(TRect{1, 0, 4, 3}));
  EXPECT_FALSE(RegionOf(d).has_value());
  EXPECT_TRUE(DeleteObject(a));
  EXPECT_EQ(LiveRegionHandles(), before);
}

class Clip : public ::testing::Test {
 protected:
  void SetUp() override {
    dst.SetSize(6, 6);
    src.SetSize(4, 4);
    // Source: a distinct colour per pixel.
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 4; ++x) src.Canvas().SetPixel(x, y, RGB(static_cast<uint8_t>(x), static_cast<uint8_t>(y), 7));
  }
  bool FromSrc(int dx, int dy, int sx, int sy) { return dst.Canvas().Pixel(dx, dy) == src.Canvas().Pixel(sx, sy); }
  TBitmap dst;
  TBitmap src;
};

TEST_F(Clip, BitBltIsClippedByTheTarget) {
  ASSERT_TRUE(dst.Canvas().BitBlt(-1, -1, 4, 4, &src.Canvas(), 0, 0, SRCCOPY));
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_TRUE(FromSrc(x, y, x + 1, y + 1)) << x << "," << y;
  EXPECT_EQ(dst.Canvas().Pixel(3, 0), clWhite);
  ASSERT_TRUE(dst.Canvas().BitBlt(4, 4, 4, 4, &src.Canvas(), 0, 0, SRCCOPY));
  EXPECT_TRUE(FromSrc(5, 5, 1, 1));
}

TEST_F(Clip, BitBltIsClippedByTheSource) {
  ASSERT_TRUE(dst.Canvas().BitBlt(2, 2, 4, 4, &src.Canvas(), -1, -1, SRCCOPY));
  EXPECT_EQ(dst.Canvas().Pixel(2, 2), clWhite);  // source pixel (-1, -1) does not exist
  EXPECT_EQ(dst.Canvas().Pixel(5, 2), clWhite);
  for (int y = 3; y < 6; ++y)
    for (int x = 3; x < 6; ++x) EXPECT_TRUE(FromSrc(x, y, x - 3, y - 3)) << x << "," << y;
  ASSERT_TRUE(dst.Canvas().BitBlt(0, 0, 2, 2, &src.Canvas(), 3, 3, SRCCOPY));
  EXPECT_TRUE(FromSrc(0, 0, 3, 3));
  EXPECT_EQ(dst.Canvas().Pixel(1, 1), clWhite);
}

TEST_F(Clip, BitBltRespectsTheClipRegionAndRefusesOtherOperations) {
  TRegion clip = TRegion::Combine(TRegion(TRect{0, 0, 6, 6}), TRegion(TRect{1, 1, 3, 3}), RGN_DIFF);
  dst.Canvas().SelectClipRgn(&clip);
  ASSERT_TRUE(dst.Canvas().BitBlt(0, 0, 4, 4, &src.Canvas(), 0, 0, SRCCOPY));
  EXPECT_TRUE(FromSrc(0, 0, 0, 0));
  EXPECT_TRUE(FromSrc(3, 3, 3, 3));
  EXPECT_EQ(dst.Canvas().Pixel(1, 1), CLR_INVALID);  // clipped: not readable either
  dst.Canvas().SelectClipRgn(nullptr);
  EXPECT_EQ(dst.Canvas().Pixel(1, 1), clWhite);
  EXPECT_FALSE(dst.Canvas().BitBlt(0, 0, 4, 4, &src.Canvas(), 0, 0, 0x00EE0086));
  EXPECT_FALSE(dst.Canvas().BitBlt(0, 0, 4, 4, nullptr, 0, 0, SRCCOPY));
  EXPECT_TRUE(dst.Canvas().BitBlt(0, 0, 2, 1, nullptr, 0, 0, BLACKNESS));
  EXPECT_EQ(Art(dst)[0].substr(0, 2), "##");
  EXPECT_TRUE(FromSrc(2, 0, 2, 0));
}

TEST_F(Clip, BitBltOntoItselfReadsTheOldPixels) {
  ASSERT_TRUE(src.Canvas().BitBlt(1, 0, 3, 4, &src.Canvas(), 0, 0, SRCCOPY));
  EXPECT_EQ(src.Canvas().Pixel(1, 0), RGB(0, 0, 7));
  EXPECT_EQ(src.Canvas().Pixel(2, 0), RGB(1, 0, 7));
  EXPECT_EQ(src.Canvas().Pixel(3, 0), RGB(2, 0, 7));
}

TEST_F(Clip, HugeOffsetsDoNotOverflow) {
  EXPECT_TRUE(dst.Canvas().BitBlt(INT32_MAX - 1, INT32_MAX - 1, INT32_MAX, INT32_MAX, &src.Canvas(), 0, 0, SRCCOPY));
  EXPECT_TRUE(dst.Canvas().BitBlt(0, 0, INT32_MAX, INT32_MAX, &src.Canvas(), INT32_MIN, INT32_MIN, SRCCOPY));
  EXPECT_EQ(Art(dst)[0], "......");
}

TEST_F(Clip, StretchAndCopyRectPickNearestPixels) {
  dst.Canvas().CopyRect({0, 0, 4, 4}, src.Canvas(), {0, 0, 2, 2});
  EXPECT_TRUE(FromSrc(0, 0, 0, 0));
  EXPECT_TRUE(FromSrc(1, 1, 0, 0));
  EXPECT_TRUE(FromSrc(2, 1, 1, 0));
  EXPECT_TRUE(FromSrc(3, 3, 1, 1));
  dst.Canvas().StretchDraw({0, 0, 2, 2}, src);  // halving takes every second pixel
  EXPECT_TRUE(FromSrc(0, 0, 0, 0));
  EXPECT_TRUE(FromSrc(1, 0, 2, 0));
  EXPECT_TRUE(FromSrc(1, 1, 2, 2));
  dst.Canvas().Draw(2, 2, src);
  EXPECT_TRUE(FromSrc(5, 5, 3, 3));
}

TEST_F(Clip, IntersectAndExcludeNarrowTheClip) {
  TPainter& c = dst.Canvas();
  c.Brush().SetColor(clRed);
  c.IntersectClipRect(1, 1, 5, 5);
  c.ExcludeClipRect(2, 2, 4, 4);
  EXPECT_EQ(c.ClipRect(), (TRect{1, 1, 5, 5}));
  c.FillRect({0, 0, 6, 6});
  EXPECT_EQ(Art(dst), (Rows{"......", ".RRRR.", ".R..R.", ".R..R.", ".RRRR.", "......"}));
}

TEST_F(Clip, RestoreDCBringsBackPenBrushFontTextStateAndClip) {
  TPainter& c = dst.Canvas();
  c.Pen().SetColor(clBlue);
  c.Brush().SetStyle(TBrushStyle::bsClear);
  c.Font().SetHeight(-20);
  c.SetTextColor(clLime);
  EXPECT_EQ(c.SaveDC(), 1);
  c.IntersectClipRect(0, 0, 1, 1);
  c.Pen().SetColor(clRed);
  c.Brush().SetStyle(TBrushStyle::bsSolid);
  c.Font().SetHeight(-8);
  c.SetBkMode(OPAQUE);
  c.SetTextColor(clBlack);
  EXPECT_EQ(c.SaveDC(), 2);
  c.Pen().SetWidth(5);
  EXPECT_FALSE(c.RestoreDC(3));
  EXPECT_TRUE(c.RestoreDC(1));
  EXPECT_EQ(c.Pen().Color(), clBlue);
  EXPECT_EQ(c.Pen().Width(), 1);
  EXPECT_EQ(c.Brush().Style(), TBrushStyle::bsClear);
  EXPECT_EQ(c.Font().Height(), -20);
  EXPECT_EQ(c.TextColor(), clLime);
  EXPECT_EQ(c.ClipRect(), (TRect{0, 0, 6, 6}));
  EXPECT_FALSE(c.RestoreDC(-1));  // both saved states are gone
  EXPECT_EQ(c.SaveDC(), 1);
  c.SetBkMode(TRANSPARENT);
  EXPECT_TRUE(c.RestoreDC(-1));
  EXPECT_EQ(c.BkMode(), OPAQUE);
}

TEST_F(Clip, HandleCallsActOnThePainter) {
  HDC dc = dst.Canvas().Handle();
  HRGN rgn = CreateRectRgn(0, 0, 2, 2);
  EXPECT_EQ(SelectClipRgn(dc, rgn), SIMPLEREGION);
  EXPECT_TRUE(DeleteObject(rgn));  // the painter keeps its own copy
  EXPECT_TRUE(BitBlt(dc, 0, 0, 4, 4, src.Canvas().Handle(), 0, 0, SRCCOPY));
  EXPECT_TRUE(FromSrc(1, 1, 1, 1));
  EXPECT_EQ(GetPixel(dc, 2, 2), CLR_INVALID);
  EXPECT_EQ(SelectClipRgn(dc, nullptr), SIMPLEREGION);
  EXPECT_EQ(GetPixel(dc, 2, 2), clWhite);
  EXPECT_EQ(SaveDC(nullptr), 0);
  EXPECT_FALSE(BitBlt(nullptr, 0, 0, 1, 1, dc, 0, 0, SRCCOPY));
  EXPECT_EQ(SelectClipRgn(dc, rgn), RGN_ERROR);  // deleted handle
}

}  // namespace
}  // namespace platform::ui

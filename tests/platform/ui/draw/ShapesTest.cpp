// Pixel rules of lines, rectangles, rounded rectangles, ellipses, polygons
// and single pixels.

#include <gtest/gtest.h>

#include "DrawTestSupport.h"
#include "platform/ui/Bitmap.h"
#include "platform/ui/Colors.h"

namespace platform::ui {
namespace {

using drawtest::Art;
using Rows = std::vector<std::string>;

class Shapes : public ::testing::Test {
 protected:
  TPainter& Setup(int w, int h) {
    bmp.Clear();
    bmp.SetSize(w, h);
    TPainter& c = bmp.Canvas();
    c.Pen().SetColor(clBlack);
    c.Pen().SetStyle(TPenStyle::psSolid);
    c.Pen().SetWidth(1);
    c.Brush().SetColor(clRed);
    c.Brush().SetStyle(TBrushStyle::bsSolid);
    return c;
  }
  TBitmap bmp;
};

TEST_F(Shapes, LineLeavesOutItsLastPixelAndMovesThePen) {
  TPainter& c = Setup(6, 3);
  c.MoveTo(0, 0);
  c.LineTo(4, 0);
  EXPECT_EQ(c.PenPos(), (TPoint{4, 0}));
  EXPECT_EQ(Art(bmp), (Rows{"####..", "......", "......"}));
  c.LineTo(4, 2);  // starts on the pixel the first line left out
  EXPECT_EQ(Art(bmp), (Rows{"#####.", "....#.", "......"}));
}

TEST_F(Shapes, SlopedLinesRoundHalvesAwayFromTheStart) {
  TPainter& c = Setup(5, 4);
  c.MoveTo(0, 0);
  c.LineTo(4, 2);
  EXPECT_EQ(Art(bmp), (Rows{"#....", ".##..", "...#.", "....."}));
  TPainter& d = Setup(4, 4);
  d.MoveTo(0, 0);
  d.LineTo(3, 3);
  EXPECT_EQ(Art(bmp), (Rows{"#...", ".#..", "..#.", "...."}));
}

TEST_F(Shapes, PolylineJoinsItsPointsAndLeavesOutTheLastPixel) {
  TPainter& c = Setup(5, 4);
  c.MoveTo(4, 3);
  const TPoint points[] = {{0, 0}, {3, 0}, {3, 2}};
  c.Polyline(points);
  EXPECT_EQ(Art(bmp), (Rows{"####.", "...#.", ".....", "....."}));
  EXPECT_EQ(c.PenPos(), (TPoint{4, 3}));
}

TEST_F(Shapes, ZeroLengthAndClearPenLinesDrawNothing) {
  TPainter& c = Setup(3, 3);
  c.MoveTo(1, 1);
  c.LineTo(1, 1);
  c.Pen().SetStyle(TPenStyle::psClear);
  c.LineTo(1, 2);
  EXPECT_EQ(Art(bmp), (Rows{"...", "...", "..."}));
  EXPECT_EQ(c.PenPos(), (TPoint{1, 2}));
}

TEST_F(Shapes, WidePenPaintsRoundEndsIncludingTheLast) {
  TPainter& c = Setup(9, 5);
  c.Pen().SetWidth(3);
  c.MoveTo(2, 2);
  c.LineTo(6, 2);
  EXPECT_EQ(Art(bmp), (Rows{".........", ".#######.", ".#######.", ".#######.", "........."}));
}

TEST_F(Shapes, LinesFarOutsideTheBitmapAreClippedQuickly) {
  TPainter& c = Setup(4, 4);
  c.MoveTo(-2000000000, 1);
  c.LineTo(2000000000, 1);
  EXPECT_EQ(Art(bmp), (Rows{"....", "####", "....", "...."}));
}

TEST_F(Shapes, RectangleOutlinesWithThePenAndFillsWithTheBrush) {
  TPainter& c = Setup(7, 5);
  c.Rectangle(1, 1, 6, 5);
  EXPECT_EQ(Art(bmp), (Rows{".......", ".#####.", ".#RRR#.", ".#RRR#.", ".#####."}));
}

TEST_F(Shapes, RectangleWithClearPenIsOnePixelSmaller) {
  TPainter& c = Setup(6, 5);
  c.Pen().SetStyle(TPenStyle::psClear);
  c.Rectangle(1, 1, 5, 4);
  EXPECT_EQ(Art(bmp), (Rows{"......", ".RRR..", ".RRR..", "......", "......"}));
}

TEST_F(Shapes, RectangleWithClearBrushKeepsTheInside) {
  TPainter& c = Setup(5, 4);
  c.Brush().SetStyle(TBrushStyle::bsClear);
  c.Rectangle(0, 0, 5, 4);
  EXPECT_EQ(Art(bmp), (Rows{"#####", "#...#", "#...#", "#####"}));
}

TEST_F(Shapes, WidePenRectangleGrowsInward) {
  TPainter& c = Setup(7, 7);
  c.Pen().SetWidth(2);
  c.Rectangle(1, 1, 6, 6);
  EXPECT_EQ(Art(bmp), (Rows{".......", ".#####.", ".#####.", ".##R##.", ".#####.", ".#####.", "......."}));
}

TEST_F(Shapes, SwappedCornersDrawTheSameRectangle) {
  TPainter& c = Setup(5, 4);
  c.Rectangle(4, 3, 0, 0);
  EXPECT_EQ(Art(bmp), (Rows{"####.", "#RR#.", "####.", "....."}));
}

TEST_F(Shapes, FillRectAndFrameRectExcludeRightAndBottom) {
  TPainter& c = Setup(6, 5);
  c.FillRect({1, 1, 3, 3});
  c.Brush().SetColor(clBlue);
  c.FrameRect({2, 2, 6, 5});
  EXPECT_EQ(Art(bmp), (Rows{"......", ".RR...", ".RBBBB", "..B..B", "..BBBB"}));
  c.Brush().SetStyle(TBrushStyle::bsClear);
  c.FillRect({0, 0, 6, 5});
  c.FrameRect({0, 0, 6, 5});
  EXPECT_EQ(Art(bmp)[0], "......");
}

TEST_F(Shapes, EllipseIsSymmetricWithinItsBox) {
  TPainter& c = Setup(5, 5);
  c.Ellipse(0, 0, 5, 5);
  EXPECT_EQ(Art(bmp), (Rows{".###.", "#RRR#", "#RRR#", "#RRR#", ".###."}));
}

TEST_F(Shapes, EllipseWithClearPenFillsTheSmallerBox) {
  TPainter& c = Setup(6, 6);
  c.Pen().SetStyle(TPenStyle::psClear);
  c.Ellipse(0, 0, 6, 6);
  EXPECT_EQ(Art(bmp), (Rows{".RRR..", "RRRRR.", "RRRRR.", "RRRRR.", ".RRR..", "......"}));
}

TEST_F(Shapes, RoundRectCutsItsCorners) {
  TPainter& c = Setup(8, 6);
  c.RoundRect(0, 0, 8, 6, 4, 4);
  EXPECT_EQ(Art(bmp), (Rows{".######.", "#RRRRRR#", "#RRRRRR#", "#RRRRRR#", "#RRRRRR#", ".######."}));
}

TEST_F(Shapes, RoundRectWithoutCornerSizeIsARectangle) {
  TPainter& c = Setup(4, 3);
  c.RoundRect(0, 0, 4, 3, 0, 0);
  EXPECT_EQ(Art(bmp), (Rows{"####", "#RR#", "####"}));
}

TEST_F(Shapes, ShapesOutsideTheBitmapAreCut) {
  TPainter& c = Setup(3, 3);
  c.Ellipse(-2, -2, 3, 3);
  EXPECT_EQ(Art(bmp), (Rows{"RR#", "RR#", "##."}));
}

TEST_F(Shapes, PolygonFillsPixelCentresInsideAndStrokesThroughVertices) {
  TPainter& c = Setup(5, 5);
  const TPoint triangle[] = {{0, 0}, {4, 0}, {0, 4}};
  c.Pen().SetStyle(TPenStyle::psClear);
  c.Polygon(triangle);
  EXPECT_EQ(Art(bmp), (Rows{"RRR..", "RR...", "R....", ".....", "....."}));
  TPainter& d = Setup(5, 5);
  d.Polygon(triangle);
  EXPECT_EQ(Art(bmp), (Rows{"#####", "#R.#.", "#.#..", "##...", "#...."}));
}

TEST_F(Shapes, PolygonUsesTheEvenOddRule) {
  TPainter& c = Setup(6, 6);
  c.Pen().SetStyle(TPenStyle::psClear);
  // An outer square and an inner square traced in one outline.
  const TPoint ring[] = {{0, 0}, {6, 0}, {6, 6}, {0, 6}, {0, 0}, {2, 2}, {4, 2}, {4, 4}, {2, 4}, {2, 2}};
  c.Polygon(ring);
  EXPECT_EQ(Art(bmp), (Rows{"RRRRRR", "RRRRRR", "RR..RR", "RR..RR", "RRRRRR", "RRRRRR"}));
}

TEST_F(Shapes, PixelsOutsideAreIgnoredOnWriteAndInvalidOnRead) {
  TPainter& c = Setup(2, 2);
  c.SetPixel(-1, 0, clBlack);
  c.SetPixel(2, 1, clBlack);
  c.SetPixel(1, 1, clBtnShadow);
  EXPECT_EQ(c.Pixel(1, 1), RGB(128, 128, 128));
  EXPECT_EQ(c.Pixel(-1, 0), CLR_INVALID);
  EXPECT_EQ(c.Pixel(0, 2), CLR_INVALID);
  EXPECT_EQ(Art(bmp), (Rows{"..", ".?"}));
}

TEST_F(Shapes, PainterWithoutTargetDrawsNothing) {
  TPainter free;
  free.Rectangle(0, 0, 5, 5);
  free.LineTo(4, 4);
  EXPECT_EQ(free.Pixel(0, 0), CLR_INVALID);
  EXPECT_FALSE(free.BitBlt(0, 0, 1, 1, &free, 0, 0, SRCCOPY));
}

TEST_F(Shapes, SystemColoursAreTurnedIntoPlainColours) {
  TPainter& c = Setup(3, 1);
  c.Brush().SetColor(clBtnFace);
  c.FillRect({0, 0, 3, 1});
  EXPECT_EQ(c.Pixel(2, 0), RGB(192, 192, 192));
}

TEST_F(Shapes, ThirtyTwoBitTargetsGetTheSamePixels) {
  TPainter& c = Setup(5, 5);
  bmp.SetPixelFormat(TPixelFormat::pf32bit);
  c.Ellipse(0, 0, 5, 5);
  EXPECT_EQ(Art(bmp), (Rows{".###.", "#RRR#", "#RRR#", "#RRR#", ".###."}));
  EXPECT_EQ(bmp.ScanLine(0)[3], 0);
}

}  // namespace
}  // namespace platform::ui

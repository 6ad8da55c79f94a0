#include <gtest/gtest.h>

#include <functional>

#include "skin/sCanvasDraw.h"
#include "skin/sGraphics.h"
#include "tests/skin/SkinTestSupport.h"

using namespace skin;
using namespace skintest;
namespace ui = platform::ui;

namespace {

// The formula of the weighted tints, per channel: ((d - q) * w + 256 * q) div 256.
uint8_t Weighed(int d, int q, int w) { return static_cast<uint8_t>(((d - q) * w + 256 * q) / 256); }

TColor WeighedColor(TColor d, TColor q, int w) {
  return ui::RGB(Weighed(ui::GetRValue(d), ui::GetRValue(q), w), Weighed(ui::GetGValue(d), ui::GetGValue(q), w),
                 Weighed(ui::GetBValue(d), ui::GetBValue(q), w));
}

// A 6 x 4 image-and-weights mask: image (10x, 40y, 30) over weights 50x.
std::unique_ptr<TBitmap> SmallMask() {
  auto m = Filled(6, 4, 0);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 6; ++x) {
      Put(*m, x, y, ui::RGB(uint8_t(10 * x), uint8_t(40 * y), 30));
      Put(*m, x, y + 2, Grey(50 * x));
    }
  return m;
}

TEST(GraphicsTest, DrawThroughMaskWeighsTheImageAndShiftsNegativeLefts) {
  auto mask = SmallMask();
  auto d = Filled(8, 4, Grey(200));
  DrawThroughMask(ui::Rect(-3, 1, 5, 3), ui::Rect(0, 0, 6, 2), *d, *mask, kNoBackSource);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 8; ++x) {
      const bool inside = x < 3 && y >= 1 && y < 3;  // three columns fewer, from source column 3
      const TColor want = inside ? WeighedColor(Grey(200), At(*mask, x + 3, y - 1), 50 * (x + 3)) : Grey(200);
      EXPECT_EQ(At(*d, x, y), want) << x << "," << y;
    }
  // See-through spots take the background at the record's offset when valid.
  Put(*mask, 1, 1, kMaskSeeThrough);
  auto back = Filled(10, 10, ui::clNavy);
  Put(*back, 2 + 1, 3 + 1, ui::clLime);
  for (const bool valid : {true, false}) {
    Fill(*d, Grey(200));
    DrawThroughMask(ui::Rect(0, 0, 6, 2), ui::Rect(0, 0, 6, 2), *d, *mask, TBackSource{back.get(), 2, 3, valid});
    EXPECT_EQ(At(*d, 1, 1), valid ? ui::clLime : WeighedColor(Grey(200), kMaskSeeThrough, 50)) << valid;
  }
}

TEST(GraphicsTest, DrawThroughMaskReadsWeightsInsideTheMask) {
  // Source rows 1..3 of a mask whose look is rows 0..1: only row 1 has weights.
  auto mask = SmallMask();
  auto d = Filled(6, 6, Grey(200));
  EXPECT_NO_THROW(DrawThroughMask(ui::Rect(0, 0, 6, 3), ui::Rect(0, 1, 6, 4), *d, *mask, kNoBackSource));
  EXPECT_EQ(At(*d, 2, 0), WeighedColor(Grey(200), At(*mask, 2, 1), 100));
  EXPECT_EQ(CountOther(*d, Grey(200)), 6);  // row 0 alone
}

TEST(GraphicsTest, MaskTints) {
  // TintThroughMask at mask 0 gives (255 c) div 256, at 255 (255 d) div 256.
  const TColor d0 = ui::RGB(200, 100, 0), c = ui::RGB(90, 1, 0);
  for (const auto& [m, want] : {std::pair{0, ui::RGB(89, 0, 0)}, std::pair{255, ui::RGB(199, 99, 0)}}) {
    auto d = Filled(3, 2, d0);
    TintThroughMask(*d, *Filled(3, 2, Grey(m)), c);
    EXPECT_EQ(CountOther(*d, want), 0) << m;
  }
  auto d = Filled(3, 2, d0);
  TintThroughMask(*d, *Filled(2, 2, Grey(0)), c);  // sizes differ: nothing
  EXPECT_EQ(CountOther(*d, d0), 0);

  // MixThroughWeights within R only.
  auto mix = Filled(6, 4, Grey(200));
  MixThroughWeights(*mix, *Filled(6, 4, Grey(100)), *Filled(6, 4, Grey(64)), ui::Rect(1, 1, 4, 3));
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x)
      EXPECT_EQ(At(*mix, x, y), (x >= 1 && x < 4 && y >= 1 && y < 3) ? Grey(125) : Grey(200)) << x << "," << y;
}

TEST(GraphicsTest, TintsSkipColumnsOutsideTheBitmaps) {
  // A mask hanging over the left and right edges changes no pixel of the
  // rows above, below or of the neighbouring row's far end.
  auto d = Filled(4, 3, Grey(200));
  TintRegionThroughMask(*d, *Filled(8, 1, Grey(0)), -2, 1, ui::clBlack);
  for (int x = 0; x < 4; ++x) {
    EXPECT_EQ(At(*d, x, 0), Grey(200));
    EXPECT_EQ(At(*d, x, 1), ui::clBlack);
    EXPECT_EQ(At(*d, x, 2), Grey(200));
  }
  // MixThroughWeights: source and weights narrower than R and D.
  auto m = Filled(6, 2, Grey(200));
  MixThroughWeights(*m, *Filled(3, 2, Grey(0)), *Filled(2, 2, Grey(0)), ui::Rect(-2, 0, 4, 1));
  EXPECT_EQ(At(*m, 1, 0), ui::clBlack);
  EXPECT_EQ(At(*m, 2, 0), Grey(200));
  EXPECT_EQ(At(*m, 0, 1), Grey(200));
}

TEST(GraphicsTest, ShadowsInPlaceFollowTheirRings) {
  // Transparency 40: L = 102, A = 51; rings: outside 255, ring 1 204, centre 102.
  auto b = Filled(40, 30, ui::clWhite);
  CastRoundShadowInPlace(*b, ui::Rect(5, 5, 25, 15), 40, ui::clBlack, 2, 0);
  const struct {
    int x, y, grey;
  } cases[] = {{4, 4, 255}, {5, 5, 254}, {24, 14, 254}, {23, 13, 254}, {6, 6, 203},
               {22, 12, 203}, {7, 7, 101}, {15, 10, 101}, {21, 11, 101}, {25, 15, 255}};
  for (const auto& c : cases) EXPECT_EQ(At(*b, c.x, c.y), Grey(c.grey)) << c.x << "," << c.y;
}

TEST(GraphicsTest, ShadowsClampTransparencyBlurAndRadius) {
  auto source = Filled(12, 8, ui::clWhite);
  Put(*source, 3, 3, ui::clRed);
  auto cast = [&](int transparency, int blur, int radius) {
    auto target = Filled(20, 20, ui::clBlue);
    CastShadow(source->Canvas(), ui::Rect(0, 0, 12, 8), &target->Canvas(), TPoint{2, 2}, transparency, ui::clBlack,
               blur, 0, radius);
    return target;
  };
  auto filled = cast(0, 2, 0);
  EXPECT_EQ(At(*filled, 2, 2), ui::clBlack);
  EXPECT_EQ(At(*filled, 13, 9), ui::clBlack);
  EXPECT_EQ(At(*filled, 14, 9), ui::clBlue);
  auto copied = cast(100, 2, 0);
  EXPECT_EQ(At(*copied, 5, 5), ui::clRed);
  EXPECT_EQ(At(*copied, 2, 2), ui::clWhite);
  const auto same = [](const TBitmap& a, const TBitmap& b) { return a.SaveToBytes() == b.SaveToBytes(); };
  EXPECT_TRUE(same(*cast(150, 2, 0), *copied));
  EXPECT_TRUE(same(*cast(-20, 2, 0), *filled));
  EXPECT_TRUE(same(*cast(50, 100, 0), *cast(50, 4, 0)));  // blur cut to half the shorter side
  EXPECT_TRUE(same(*cast(50, -3, 0), *cast(50, 0, 0)));
  EXPECT_TRUE(same(*cast(50, 2, -9), *cast(50, 2, 0)));
  EXPECT_FALSE(same(*cast(50, 2, 0), *copied));
  EXPECT_EQ(source->Canvas().Brush().Color(), ui::clWhite);  // device states restored

  auto inPlace = [](int transparency, int blur, int radius) {
    auto b = Filled(30, 20, Grey(180));
    CastRoundShadowInPlace(*b, ui::Rect(2, 2, 22, 14), transparency, ui::clBlack, blur, radius);
    return b;
  };
  EXPECT_TRUE(same(*inPlace(300, 2, 3), *inPlace(100, 2, 3)));
  EXPECT_TRUE(same(*inPlace(-1, 2, 3), *inPlace(0, 2, 3)));
  EXPECT_TRUE(same(*inPlace(30, -2, -3), *inPlace(30, 0, 0)));
}

TEST(GraphicsTest, ConversionsAndMixing) {
  auto m = Filled(5, 1, ui::clWhite);
  Put(*m, 1, 0, ui::RGB(255, 255, 254));
  Put(*m, 2, 0, ui::RGB(1, 2, 3));
  Put(*m, 3, 0, ui::clBlack);
  ToShapeMask(*m);
  const TColor shape[] = {ui::clWhite, ui::clBlack, ui::clBlack, ui::clBlack, ui::clWhite};
  for (int x = 0; x < 5; ++x) EXPECT_EQ(At(*m, x, 0), shape[x]) << x;

  auto g = Filled(1, 1, ui::RGB(10, 20, 33));
  ToGrey(*g);
  EXPECT_EQ(At(*g, 0, 0), Grey(21));

  // EdgeShape of a black square 1..4: light top and left, dark bottom and right.
  auto sq = Filled(6, 6, ui::clWhite);
  for (int y = 1; y <= 4; ++y)
    for (int x = 1; x <= 4; ++x) Put(*sq, x, y, ui::clBlack);
  auto d = Filled(6, 6, Grey(128));
  EdgeShape(*d, *sq, ui::clRed, ui::clBlue);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 6; ++x) {
      const bool in = x >= 1 && x <= 4 && y >= 1 && y <= 4;
      const TColor want = !in                   ? Grey(128)
                          : (x == 1 || y == 1) ? ui::clRed
                          : (x == 4 || y == 4) ? ui::clBlue
                                               : Grey(128);
      EXPECT_EQ(At(*d, x, y), want) << x << "," << y;
    }
  // A shape that fills its mask: the first row and column are light, the
  // last ones dark, the middle pixel stays.
  auto full = Filled(3, 3, ui::clBlack);
  auto e = Filled(3, 3, Grey(128));
  EdgeShape(*e, *full, ui::clRed, ui::clBlue);
  const TColor edged[3][3] = {{ui::clRed, ui::clRed, ui::clRed},
                              {ui::clRed, Grey(128), ui::clBlue},
                              {ui::clRed, ui::clBlue, ui::clBlue}};
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(At(*e, x, y), edged[y][x]) << x << "," << y;

  EXPECT_EQ(LerpColor(ui::clBlack, Grey(5), 0.5), Grey(2));
  EXPECT_EQ(LerpColor(ui::clRed, ui::clBlue, 1.0), ui::clBlue);
  EXPECT_EQ(LerpColor(Grey(200), Grey(100), 2.5), Grey(0));
  // Per channel round(w / 256 * (d - s) + s), halves to even (150.5 is
  // 150, 1.5 is 2); only the weight's low byte counts.
  const struct {
    int32_t w;
    TColor want;
  } mixes[] = {{0, ui::RGB(100, 100, 0)},
               {256, ui::RGB(100, 100, 0)},
               {128, ui::RGB(150, 150, 2)},
               {0x180, ui::RGB(150, 150, 2)},
               {64, ui::RGB(125, 125, 1)},
               {192, ui::RGB(175, 176, 2)}};
  for (const auto& [w, want] : mixes) {
    auto a = Filled(2, 2, ui::RGB(200, 201, 3));
    MixBitmaps(*a, *Filled(2, 2, ui::RGB(100, 100, 0)), w);
    EXPECT_EQ(At(*a, 1, 1), want) << w;
  }
  // The old pixel below the new one: half of (0 - 3) + 3 is 1.5, so 2;
  // half of (1 - 4) + 4 is 2.5, so 2.
  auto low = Filled(1, 1, ui::RGB(0, 1, 0));
  MixBitmaps(*low, *Filled(1, 1, ui::RGB(3, 4, 0)), 128);
  EXPECT_EQ(At(*low, 0, 0), ui::RGB(2, 2, 0));
}

TEST(GraphicsTest, KeyedCopiesLeaveTheKeyOut) {
  auto s = Filled(3, 2, ui::clRed);
  Put(*s, 1, 0, ui::clLime);  // the key
  auto d = Filled(5, 4, ui::clBlue);
  CopyKeyed(*d, *s, 3, 1, ui::clLime);
  EXPECT_EQ(At(*d, 3, 1), ui::clRed);
  EXPECT_EQ(At(*d, 4, 1), ui::clBlue);
  EXPECT_EQ(At(*d, 4, 2), ui::clRed);
  MixRectKeyed(*d, 0, 0, *s, ui::Rect(0, 0, 2, 1), 0.5, ui::clLime);
  EXPECT_EQ(At(*d, 0, 0), ui::RGB(128, 0, 128));  // round(255 - 0.5 * 255) = 128
  EXPECT_EQ(At(*d, 1, 0), ui::clBlue);
  MixRectKeyed(*d, 0, 0, *s, ui::Rect(0, 0, 2, 1), 0.0, static_cast<TColor>(0xFF000000));  // no key
  EXPECT_EQ(At(*d, 1, 0), ui::clLime);
  // A two-image glyph: the disabled half, keyed by the bottom-left pixel.
  auto glyph = Filled(4, 2, ui::clWhite);
  Put(*glyph, 2, 0, ui::clRed);
  auto cache = Filled(4, 4, ui::clBlue);
  PutButtonGlyph(*glyph, *cache, ui::Rect(1, 1, 3, 3), 2, false, false, dgBlended, 0, 0);
  EXPECT_EQ(At(*cache, 1, 1), ui::clRed);
  EXPECT_EQ(CountOther(*cache, ui::clBlue), 1);
}

TEST(GraphicsTest, NineCellsWithEmptyCellsDrawNothing) {
  for (const auto& [w, h] : {std::pair{8, 12}, std::pair{18, 5}, std::pair{0, 0}}) {
    auto d = Filled(20, 20, Grey(90));
    DrawNineCells(*d, *Filled(w, h, ui::clBlack), 0, ui::Rect(0, 0, 20, 20), true, kNoBackSource);
    EXPECT_EQ(CountOther(*d, Grey(90)), 0) << w << "x" << h;
  }
  // A 9 x 6 mask of weight 0 paints the whole rectangle in its image colour.
  auto mask = Filled(9, 6, ui::clBlack);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 9; ++x) Put(*mask, x, y, ui::clRed);
  auto d = Filled(12, 12, Grey(90));
  DrawNineCells(*d, *mask, 1, ui::Rect(1, 1, 11, 11), true, kNoBackSource);
  EXPECT_EQ(CountOther(*d, ui::clRed), 12 * 12 - 10 * 10);
}

TEST(GraphicsTest, NothingWritesPastABitmap) {
  const TRect huge = ui::Rect(-1000, -1000, 100000, 100000);
  auto d = Filled(7, 5, Grey(100));
  auto s = Filled(5, 9, Grey(30));
  auto mask = Filled(18, 12, Grey(0));
  TBitmap empty, zeroWide;
  zeroWide.SetSize(0, 5);  // rows without pixels
  const std::function<void()> calls[] = {
      [&] { MixBitmaps(zeroWide, zeroWide, 9); },
      [&] { TintThroughMask(zeroWide, zeroWide, 0); },
      [&] { ToGrey(zeroWide); },
      [&] { ToShapeMask(zeroWide); },
      [&] { EdgeShape(zeroWide, zeroWide, 0, 0); },
      [&] { MixRectKeyed(*d, 1, 1, zeroWide, huge, 0.5, 0); },
      [&] { CopyKeyed(*d, zeroWide, 0, 0, 0); },
      [&] { MixRectOnto(*d, *s, 0x808080, huge, {-3, -2}); },
      [&] { MixRectOnto(*d, *s, 0x808080, ui::Rect(2, 2, 40, 40), {4, 3}); },
      [&] { MixRectKeyed(*d, 5, 3, *s, huge, 0.5, 0); },
      [&] { TintRegionThroughMask(*d, *mask, 3, -4, 0); },
      [&] { MixThroughWeights(*d, *s, *mask, ui::Rect(-3, 0, 4, 5)); },
      [&] { DrawThroughMask(huge, huge, *d, *mask, TBackSource{s.get(), -50, 70, true}); },
      [&] { DrawThroughMask(ui::Rect(5, 3, 40, 40), ui::Rect(10, 4, 40, 40), *d, *mask, kNoBackSource); },
      [&] { DrawNineCells(*d, *mask, 2, huge, true, TBackSource{s.get(), 3, 3, true}); },
      [&] { DrawNineCells(*d, *mask, 7, ui::Rect(-3, -3, 9, 9), true, kNoBackSource); },
      [&] { EdgeShape(*d, empty, 0, 0); },
      [&] { CopyKeyed(*d, *s, -3, 4, 1); },
      [&] { CopyRectKeyed(*d, *s, 4, -7, huge, 1); },
      [&] { PutButtonGlyph(*s, *d, huge, 1, true, true, 0, 0, 50); },
      [&] { PutButtonGlyph(empty, *d, huge, 1, false, true, dgGrayed | dgBlended, 0, 0); },
      [&] { CastRoundShadowInPlace(*d, ui::Rect(-5, 3, 20, 50), 30, 0, 4, 9); },
      [&] { CastShadow(d->Canvas(), ui::Rect(-5, -5, 40, 40), &s->Canvas(), {-1, -1}, 30, 0, 4, 1, 2); },
      [&] { ShadeBevelStrips(*d, huge, 3, 1, true); },
      [&] { ShadeBevelStrips(*d, huge, 3, 4, false); },
      [&] { FillAreaSolid(&d->Canvas(), huge, 0); },
      [&] { DrawFocusDots(d->Canvas(), huge); },
      [&] { DrawTick(d->Canvas(), huge, false, 0); },
      [&] { RepeatGraphic(d->Canvas(), huge, s.get()); },
      [&] {
        TRect r = ui::Rect(-3, -3, 17, 17);
        int32_t count = 1 << 30;
        DrawRingFrame(&d->Canvas(), r, 0, 0, count);
      },
      [&] { DrawBevelLines(&d->Canvas(), 0, 0, 0, ui::Rect(-9, -9, 30, 30), 1 << 30, 0, true); },
  };
  for (std::size_t i = 0; i < std::size(calls); ++i) EXPECT_NO_THROW(calls[i]()) << "call " << i;
}

}  // namespace

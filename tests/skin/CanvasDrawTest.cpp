#include <gtest/gtest.h>

#include <cstring>

#include "platform/ui/Picture.h"
#include "skin/sCanvasDraw.h"
#include "skin/sGraphics.h"
#include "tests/skin/SkinTestSupport.h"

using namespace skin;
using namespace skintest;
namespace ui = platform::ui;
using ui::TRect;

namespace {

TEST(CanvasDrawTest, FillAreaSolidAndFocusDots) {
  auto b = Filled(14, 10, Grey(128));
  ui::TCanvas& c = b->Canvas();
  c.Brush().SetColor(ui::clYellow);
  FillAreaSolid(&c, ui::Rect(2, 2, 5, 4), ui::clRed);
  EXPECT_EQ(CountOther(*b, Grey(128)), 6);
  EXPECT_EQ(At(*b, 4, 3), ui::clRed);
  EXPECT_EQ(c.Brush().Color(), ui::clYellow);

  auto f = Filled(14, 10, Grey(128));
  DrawFocusDots(f->Canvas(), ui::Rect(1, 1, 10, 7));
  const struct {
    int x, y;
    TColor c;
  } dots[] = {{1, 1, ui::clBlack}, {4, 1, ui::clBlack}, {10, 1, ui::clBlack}, {7, 7, ui::clBlack},
              {1, 4, ui::clBlack}, {10, 4, ui::clBlack}, {0, 0, ui::clWhite}, {3, 0, ui::clWhite},
              {3, 6, ui::clWhite}, {0, 3, ui::clWhite}, {9, 3, ui::clWhite}, {2, 1, Grey(128)},
              {1, 2, Grey(128)}, {5, 4, Grey(128)}};
  for (const auto& d : dots) EXPECT_EQ(At(*f, d.x, d.y), d.c) << d.x << "," << d.y;
}

TEST(CanvasDrawTest, TextRectanglesFitTheText) {
  auto b = Filled(200, 60, ui::clWhite);
  ui::TCanvas& c = b->Canvas();
  const char* text = "Ab";
  const ui::TSize size = c.TextExtent(text);
  const int dy = (30 - size.cy) / 2;
  const struct {
    uint32_t format;
    TRect want;
  } cases[] = {
      {ui::DT_LEFT, ui::Rect(9, 10 + dy - 1, 10 + size.cx + 1, 40 - dy + 1)},
      {ui::DT_RIGHT, ui::Rect(110 - size.cx - 1, 10 + dy - 1, 111, 40 - dy + 1)},
      {ui::DT_CENTER, ui::Rect(10 + (100 - size.cx) / 2 - 1, 10 + dy - 1, 110 - (100 - size.cx) / 2 + 1, 40 - dy + 1)},
      {ui::DT_WORDBREAK, ui::Rect(10, 10, 110, 40)},
      {ui::DT_WORDBREAK | ui::DT_RIGHT, ui::Rect(10, 10, 110, 40)},
  };
  for (const auto& k : cases) {
    for (const bool enabled : {true, false}) {
      skintest::Fill(*b, ui::clWhite);
      c.Font().SetColor(ui::clNavy);
      TRect r = ui::Rect(10, 10, 110, 40);
      PutTextEmbossed(c, text, enabled, r, k.format);
      EXPECT_EQ(r, k.want) << k.format;
      EXPECT_GT(CountOther(*b, ui::clWhite), 0) << k.format;
      EXPECT_EQ(c.Font().Color(), enabled ? ui::clNavy : ui::clBtnShadow);
    }
  }
  skintest::Fill(*b, ui::clWhite);
  TRect r = ui::Rect(10, 10, 110, 40);
  PutTextEmbossed(c, nullptr, true, r, ui::DT_RIGHT);
  EXPECT_EQ(r, ui::Rect(10, 10, 110, 40));
  EXPECT_EQ(CountOther(*b, ui::clWhite), 0);
}

TEST(CanvasDrawTest, RingFramesShrinkTheRectangle) {
  auto b = Filled(16, 14, Grey(128));
  TRect r = ui::Rect(2, 2, 12, 10);
  int32_t count = 2;
  DrawRingFrame(&b->Canvas(), r, ui::clWhite, ui::clBlack, count);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(r, ui::Rect(4, 4, 10, 8));
  const struct {
    int x, y;
    TColor c;
  } px[] = {{2, 2, ui::clWhite}, {10, 2, ui::clWhite}, {11, 2, ui::clBlack}, {2, 9, ui::clBlack},
            {2, 8, ui::clWhite}, {11, 9, ui::clBlack}, {3, 3, ui::clWhite}, {10, 8, ui::clBlack},
            {4, 4, Grey(128)},   {12, 2, Grey(128)}, {1, 9, Grey(128)}};
  for (const auto& p : px) EXPECT_EQ(At(*b, p.x, p.y), p.c) << p.x << "," << p.y;
}

TEST(CanvasDrawTest, BevelLinesRunFromOuterColourToFace) {
  auto b = Filled(20, 20, Grey(128));
  DrawBevelLines(&b->Canvas(), ui::clRed, ui::clBlue, ui::clLime, ui::Rect(0, 0, 20, 20), 3, 0, true);
  EXPECT_EQ(At(*b, 0, 10), ui::clWhite);                           // kind 0: outermost white
  EXPECT_EQ(At(*b, 1, 10), LerpColor(ui::clRed, ui::clLime, 1.0 / 3));
  EXPECT_EQ(At(*b, 19, 10), ui::clBlack);                          // kind 1: outermost black
  EXPECT_EQ(At(*b, 17, 10), LerpColor(LerpColor(ui::clBlue, ui::clBlack, 0.5), ui::clLime, 2.0 / 3));
  EXPECT_EQ(At(*b, 10, 10), Grey(128));
  auto plain = Filled(10, 10, Grey(128));
  DrawPlainBevel(plain->Canvas(), ui::Rect(0, 0, 10, 10), ui::clBtnFace, ui::clBtnHighlight, ui::clBtnShadow, true, 3);
  EXPECT_EQ(At(*plain, 0, 5), Grey(128));   // lowered: left in the second colour
  EXPECT_EQ(At(*plain, 9, 5), ui::clWhite);
  EXPECT_EQ(At(*plain, 1, 5), Grey(128));   // one line only
}

TEST(CanvasDrawTest, BevelStripsTintThroughTheirMasks) {
  // Left strip of type 1 with gradient on row 15: weights 0, 63, 126, 189 toward grey 240.
  auto b = Filled(40, 30, Grey(128));
  ShadeBevelStrips(*b, ui::Rect(0, 0, 40, 30), 4, 1, true);
  const int weights[] = {0, 63, 126, 189};
  for (int x = 0; x < 4; ++x)
    EXPECT_EQ(At(*b, x, 15), Grey((128 * weights[x] + 240 * (256 - weights[x])) >> 8)) << x;
  EXPECT_EQ(At(*b, 4, 15), Grey(128));
  EXPECT_EQ(At(*b, 20, 0), ui::clWhite);  // top strip, type 1: white at weight 0
  // Without gradient the trapezoids are grey 127.
  auto p = Filled(40, 30, Grey(128));
  ShadeBevelStrips(*p, ui::Rect(0, 0, 40, 30), 4, 2, false);
  EXPECT_EQ(At(*p, 2, 15), Grey((128 * 127 + 25 * 129) >> 8));
  EXPECT_EQ(At(*p, 20, 2), Grey((128 * 127) >> 8));
  // Type 0 nothing; width 1 a plain raised bevel.
  auto none = Filled(10, 10, Grey(128));
  ShadeBevelStrips(*none, ui::Rect(0, 0, 10, 10), 4, 0, true);
  EXPECT_EQ(CountOther(*none, Grey(128)), 0);
  ShadeBevelStrips(*none, ui::Rect(0, 0, 10, 10), 1, 1, true);
  EXPECT_EQ(At(*none, 0, 5), ui::clWhite);
  EXPECT_EQ(At(*none, 9, 5), ui::clBlack);
}

TEST(CanvasDrawTest, RepeatGraphicTilesAndCutsTheEdges) {
  ui::TBitmap tile;
  tile.SetSize(4, 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) Put(tile, x, y, ui::RGB(uint8_t(10 + x), uint8_t(20 + y), 0));
  auto b = Filled(14, 10, ui::clBlue);
  RepeatGraphic(b->Canvas(), ui::Rect(1, 1, 11, 8), &tile);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 14; ++x) {
      const bool in = x >= 1 && x < 11 && y >= 1 && y < 8;
      EXPECT_EQ(At(*b, x, y), in ? At(tile, (x - 1) % 4, (y - 1) % 3) : ui::clBlue) << x << "," << y;
    }
  auto untouched = Filled(6, 6, ui::clBlue);
  ui::TBitmap empty;
  RepeatGraphic(untouched->Canvas(), ui::Rect(0, 0, 6, 6), &empty);
  RepeatGraphic(untouched->Canvas(), ui::Rect(0, 0, 6, 6), nullptr);
  ui::TIcon icon;
  RepeatGraphic(untouched->Canvas(), ui::Rect(0, 0, 6, 6), &icon);
  EXPECT_EQ(CountOther(*untouched, ui::clBlue), 0);
}

TEST(CanvasDrawTest, TickIsFilledEmbossedWhenDisabled) {
  auto b = Filled(16, 16, ui::clWhite);
  DrawTick(b->Canvas(), ui::Rect(0, 0, 16, 16), true, ui::clRed);
  EXPECT_GT(CountOther(*b, ui::clWhite), 10);
  auto d = Filled(16, 16, ui::clWhite);
  DrawTick(d->Canvas(), ui::Rect(0, 0, 16, 16), false, ui::clRed);
  int light = 0, shadow = 0;
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) {
      light += At(*d, x, y) == ui::ColorToRGB(ui::cl3DLight);
      shadow += At(*d, x, y) == ui::ColorToRGB(ui::clBtnShadow);
    }
  EXPECT_GT(light, 0);
  EXPECT_GT(shadow, 10);
  EXPECT_EQ(d->Canvas().Brush().Color(), ui::clWhite);
}

}  // namespace

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <random>
#include <utility>

#include "skin/sBorderMasks.h"
#include "tests/skin/SkinTestSupport.h"

using namespace skin;
using namespace skintest;
namespace ui = platform::ui;
using ui::TRect;

namespace {

constexpr TColor kBack = ui::RGB(10, 200, 30);

// A 90 x 60 mask whose colour pixel (x, y) is RGB(x, y, 7) at alpha 0, so a
// painted pixel tells where in the mask it came from.
std::unique_ptr<TBitmap> CoordinateMask() {
  auto m = Filled(90, 60, ui::clBlack);
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 90; ++x) Put(*m, x, y, ui::RGB(uint8_t(x), uint8_t(y), 7));
  return m;
}

TEST(BorderMasksTest, BuiltInMasksLoadOnFirstUse) {
  const struct {
    TsPredefinedBorders which;
    int w, h;
  } sizes[] = {{TsPredefinedBorders::pdBorder1, 90, 60}, {TsPredefinedBorders::pdBorder2, 90, 60},
               {TsPredefinedBorders::pdBorder3, 90, 60}, {TsPredefinedBorders::pdBorder4, 90, 60},
               {TsPredefinedBorders::pdBorder5, 54, 36}, {TsPredefinedBorders::pdBorder6, 450, 96}};
  for (const auto& s : sizes) {
    EXPECT_EQ(PredefinedMask(s.which).Width(), s.w);
    EXPECT_EQ(PredefinedMask(s.which).Height(), s.h);
  }
  const TBitmap& bord1 = PredefinedMask(TsPredefinedBorders::pdBorder1);
  TBitmap empty;
  EXPECT_EQ(&MaskBitmapFor(TsPredefinedBorders::pdCustom, &empty), &bord1);
  EXPECT_EQ(&MaskBitmapFor(TsPredefinedBorders::pdCustom, nullptr), &bord1);
  auto own = Filled(3, 5, ui::clRed);
  EXPECT_EQ(&MaskBitmapFor(TsPredefinedBorders::pdCustom, own.get()), own.get());
  EXPECT_EQ(&MaskBitmapFor(TsPredefinedBorders::pdBorder6, own.get()),
            &PredefinedMask(TsPredefinedBorders::pdBorder6));
}

TEST(BorderMasksTest, Border2CutsExactlyTheFourCornersOfTheRegion) {
  const TBitmap& mask = PredefinedMask(TsPredefinedBorders::pdBorder2);
  ui::TRegion want(ui::Rect(0, 0, 80, 25));
  for (const auto& [x, y] : {std::pair{0, 0}, std::pair{79, 0}, std::pair{0, 24}, std::pair{79, 24}})
    want = ui::TRegion::Combine(want, ui::TRegion(ui::Rect(x, y, x + 1, y + 1)), ui::RGN_DIFF);
  for (int look = 0; look < 3; ++look) {
    auto d = Filled(80, 25, kBack);
    ui::HRGN region = ui::CreateRectRgn(0, 0, 80, 25);
    const std::size_t live = ui::LiveRegionHandles();
    PaintMaskedBorders(*d, mask, look, true, ui::clFuchsia, region);
    EXPECT_EQ(ui::LiveRegionHandles(), live) << look;
    EXPECT_EQ(ui::RegionOf(region), want) << look;
    ui::DeleteObject(region);
    for (const auto& [x, y] : {std::pair{0, 0}, std::pair{79, 0}, std::pair{0, 24}, std::pair{79, 24}})
      EXPECT_EQ(At(*d, x, y), kBack) << look;
    // The frame at alpha 0 takes the mask colour; the middle at alpha 255
    // keeps (d * 255 + m) div 256 of the picture.
    const int gx = look * 30;
    EXPECT_EQ(At(*d, 40, 0), At(mask, gx + 15, 0)) << look;
    EXPECT_EQ(At(*d, 0, 12), At(mask, gx, 15)) << look;
    const TColor m = At(mask, gx + 10, 12);  // the centre tile laid from x = 40
    auto blend = [](int dv, int mv) { return uint8_t((dv * 255 + mv) / 256); };
    EXPECT_EQ(At(*d, 40, 12), ui::RGB(blend(10, ui::GetRValue(m)), blend(200, ui::GetGValue(m)),
                                      blend(30, ui::GetBValue(m))))
        << look;
  }
}

// The cell's region contract taken literally: every run of transparent
// pixels cut on its own. Answers the number of runs.
int CutRunByRun(const TRect& dr, const TRect& sr, const TBitmap& dest, const TBitmap& mask, ui::HRGN region) {
  const int rows = std::min(sr.Height(), dr.Height()) + 1, cols = std::min(sr.Width(), dr.Width()) + 1;
  int runs = 0;
  auto cut = [&](int left, int y, int right, int mode) {
    ui::HRGN run = ui::CreateRectRgn(left, y, right, y + 1);
    ui::CombineRgn(region, region, run, mode);
    ui::DeleteObject(run);
    ++runs;
  };
  for (int row = 0; row < rows; ++row) {
    const int y = dr.Top + row, sy = sr.Top + row;
    if (y < 0 || y >= dest.Height() || sy < 0 || sy >= mask.Height() / 2) continue;
    int start = -1, end = 0;
    for (int col = 0; col < cols; ++col) {
      const int x = dr.Left + col, sx = sr.Left + col;
      if (x < 0 || x >= dest.Width() || sx < 0 || sx >= mask.Width()) continue;
      end = x + 1;
      if (At(mask, sx, sy) != ui::clFuchsia) {
        if (start >= 0) cut(start, y, x, ui::RGN_XOR);
        start = -1;
      } else if (start < 0) {
        start = x;
      }
    }
    if (start >= 0) cut(start, y, end, ui::RGN_DIFF);
  }
  return runs;
}

TEST(BorderMasksTest, CellCutsMatchOneCutPerRunInTwoCombines) {
  // Overlapping cells, some reaching past dest or the mask, so that a later
  // XOR can put back what an earlier cut took.
  const std::pair<TRect, TRect> cells[] = {{ui::Rect(0, 0, 23, 5), ui::Rect(-3, -1, 20, 8)},
                                           {ui::Rect(4, 1, 10, 5), ui::Rect(5, 2, 11, 6)},
                                           {ui::Rect(20, 0, 30, 6), ui::Rect(15, 4, 25, 12)},
                                           {ui::Rect(-2, 0, 5, 3), ui::Rect(0, 0, 7, 3)},
                                           {ui::Rect(0, 2, 23, 5), ui::Rect(0, 5, 23, 8)}};
  const TRect starts[] = {ui::Rect(0, 0, 20, 10), ui::Rect(0, 0, 0, 0), ui::Rect(3, -2, 25, 6)};
  std::mt19937 random(7);
  int runs = 0;
  for (const int percent : {0, 30, 50, 80, 100}) {
    auto mask = Filled(24, 12, ui::clBlack);
    for (int y = 0; y < 6; ++y)
      for (int x = 0; x < 24; ++x)
        Put(*mask, x, y, int(random() % 100) < percent ? ui::clFuchsia : Grey(int(random() % 256)));
    for (const TRect& start : starts) {
      auto d = Filled(20, 10, kBack);
      ui::HRGN got = ui::CreateRectRgnIndirect(start), want = ui::CreateRectRgnIndirect(start);
      const std::size_t combines = ui::CombineRgnCalls();
      for (const auto& [src, dst] : cells) BlendMaskCell(dst, src, *d, ui::clFuchsia, got, *mask);
      EXPECT_LE(ui::CombineRgnCalls() - combines, 2 * std::size(cells)) << percent;
      for (const auto& [src, dst] : cells) runs += CutRunByRun(dst, src, *d, *mask, want);
      EXPECT_EQ(ui::RegionOf(got), ui::RegionOf(want)) << percent << " " << start.Right;
      ui::DeleteObject(got);
      ui::DeleteObject(want);
    }
  }
  EXPECT_GT(runs, 40 * int(std::size(cells)));  // the cases have many runs per cell
}

TEST(BorderMasksTest, SmallDestinationsAndMasks) {
  auto mask = CoordinateMask();
  // 2 x 2 draws nothing.
  auto tiny = Filled(2, 2, kBack);
  PaintMaskedBorders(*tiny, *mask, 0, true, ui::clFuchsia, nullptr);
  EXPECT_EQ(CountOther(*tiny, kBack), 0);
  // 5 high with 10-pixel cells: a top corner of 2 rows and a bottom corner of 3.
  auto low = Filled(40, 5, kBack);
  PaintMaskedBorders(*low, *mask, 0, true, ui::clFuchsia, nullptr);
  const int sourceRow[] = {0, 1, 27, 28, 29};
  for (int y = 0; y < 5; ++y) EXPECT_EQ(At(*low, 0, y), ui::RGB(0, uint8_t(sourceRow[y]), 7)) << y;
  EXPECT_EQ(At(*low, 39, 4), ui::RGB(29, 29, 7));
  // Masks whose cells are 0 wide or high return at once.
  for (const auto& [w, h] : {std::pair{3, 5}, std::pair{8, 60}, std::pair{90, 5}}) {
    auto d = Filled(30, 30, kBack);
    PaintMaskedBorders(*d, *Filled(w, h, ui::clRed), 0, true, ui::clFuchsia, nullptr);
    EXPECT_EQ(CountOther(*d, kBack), 0) << w << "x" << h;
  }
}

TEST(BorderMasksTest, StateMaskKeepsItsSourceInsideTheLook) {
  // Three looks of 4 x 3: red, green, blue, alpha 0.
  auto mask = Filled(12, 6, ui::clBlack);
  const TColor looks[] = {ui::clRed, ui::clLime, ui::clBlue};
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 12; ++x) Put(*mask, x, y, looks[x / 4]);
  const struct {
    ui::TPoint at;
    int look;
    int painted;
  } cases[] = {{{2, 1}, 1, 4 * 3}, {{-2, -1}, 0, 2 * 2}, {{-3, 0}, 2, 1 * 3}, {{-4, 0}, 0, 0}, {{0, -3}, 1, 0}};
  for (const auto& c : cases) {
    auto d = Filled(10, 8, ui::clWhite);
    PaintStateMask(*d, *mask, c.at, ui::clFuchsia, c.look);
    // Clipped at the left or top, the copy shortens; it never reaches the next look.
    EXPECT_EQ(CountOther(*d, ui::clWhite), c.painted) << c.at.X << "," << c.at.Y;
    int other = 0;
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 10; ++x) other += At(*d, x, y) != ui::clWhite && At(*d, x, y) != looks[c.look];
    EXPECT_EQ(other, 0) << c.at.X << "," << c.at.Y;
  }
}

TEST(BorderMasksTest, BlendRectWithColorKeepsPercentOfThePicture) {
  for (const auto& [percent, want] : {std::pair{50, ui::RGB(150, 50, 200)}, std::pair{100, ui::RGB(201, 0, 255)},
                                      std::pair{0, ui::RGB(100, 100, 145)}}) {
    auto b = Filled(5, 5, ui::RGB(201, 0, 255));
    BlendRectWithColor(*b, ui::Rect(1, 1, 2, 2), percent, ui::RGB(100, 100, 145));
    EXPECT_EQ(At(*b, 1, 1), want) << percent;  // 150.5 rounds to 150, 50 and 200 exact
    EXPECT_EQ(At(*b, 2, 2), want) << percent;
    EXPECT_EQ(At(*b, 3, 3), ui::RGB(201, 0, 255)) << percent;
    EXPECT_EQ(At(*b, 0, 1), ui::RGB(201, 0, 255)) << percent;
  }
  auto b = Filled(4, 3, ui::clWhite);
  BlendRectWithColor(*b, ui::Rect(-100, -100, 100, 100), 0, ui::clBtnShadow);
  EXPECT_EQ(CountOther(*b, ui::RGB(128, 128, 128)), 0);
}

}  // namespace

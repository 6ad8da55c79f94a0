// System colours and anti-aliasing of the font engine.

#include <gtest/gtest.h>

#include <set>

#include "platform/ui/Bitmap.h"
#include "platform/ui/Colors.h"
#include "platform/ui/FontEngine.h"

namespace platform::ui {
namespace {

TEST(Colors, SystemColoursComeFromTheClassicTable) {
  EXPECT_EQ(ColorToRGB(clBtnFace), RGB(192, 192, 192));
  EXPECT_EQ(ColorToRGB(clBtnShadow), RGB(128, 128, 128));
  EXPECT_EQ(ColorToRGB(clBtnHighlight), RGB(255, 255, 255));
  EXPECT_EQ(ColorToRGB(cl3DLight), RGB(223, 223, 223));
  EXPECT_EQ(ColorToRGB(cl3DDkShadow), RGB(0, 0, 0));
  EXPECT_EQ(ColorToRGB(clWindow), RGB(255, 255, 255));
  EXPECT_EQ(ColorToRGB(clWindowText), RGB(0, 0, 0));
  EXPECT_EQ(ColorToRGB(clHighlight), RGB(0, 0, 128));
  EXPECT_EQ(ColorToRGB(clInfoBk), RGB(255, 255, 225));
  EXPECT_EQ(ColorToRGB(clMenu), RGB(192, 192, 192));
}

TEST(Colors, PlainColoursPassAndUnknownIndexesAreBlack) {
  EXPECT_EQ(ColorToRGB(clRed), clRed);
  EXPECT_EQ(ColorToRGB(0x00123456), 0x00123456);
  EXPECT_EQ(ColorToRGB(SystemColor(kSystemColorCount)), clBlack);
  EXPECT_EQ(ColorToRGB(static_cast<TColor>(0xFF0100FFu)), clBlack);
  EXPECT_EQ(GetSysColor(-1), clBlack);
  EXPECT_EQ(GetRValue(RGB(1, 2, 3)), 1);
  EXPECT_EQ(GetGValue(RGB(1, 2, 3)), 2);
  EXPECT_EQ(GetBValue(RGB(1, 2, 3)), 3);
}

TEST(Colors, AntialiasedTextHasGreyLevels) {
  FontEngine& engine = FontEngine::Instance();
  ASSERT_TRUE(engine.Available());
  TBitmap b;
  b.SetSize(80, 30);
  b.Canvas().Brush().SetStyle(TBrushStyle::bsClear);
  engine.SetAntialiased(true);
  b.Canvas().TextOut(2, 2, "Smooth");
  engine.SetAntialiased(false);
  std::set<TColor> colours;
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x) colours.insert(b.Canvas().Pixel(x, y));
  EXPECT_GT(colours.size(), 2u);
  EXPECT_FALSE(engine.Antialiased());
}

}  // namespace
}  // namespace platform::ui

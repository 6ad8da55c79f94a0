#include <gtest/gtest.h>

#include "skin/sCanvasDraw.h"
#include "skin/sMaskData.h"
#include "skin/sSkinData.h"
#include "tests/skin/SkinTestSupport.h"

using namespace skin;
using namespace skintest;
namespace ui = platform::ui;

namespace {

// Leaves the store empty and the skin inactive, as the system keeps it.
class SkinStoreTest : public ::testing::Test {
 protected:
  void TearDown() override {
    SkinData().Active = false;
    FinalizeSkinStore();
    FinalizeSkinData();
  }

  static void AddSection(std::string name, std::string parent, TColor colour) {
    TsSkinSection s;
    s.Name = std::move(name);
    s.ParentName = std::move(parent);
    s.Normal.Color = colour;
    s.Normal.Transparency = 50;
    SkinSections().push_back(std::move(s));
  }
  static void AddMask(std::string section, std::string property) {
    SkinMasks().push_back({Filled(9, 6, ui::clRed), std::move(section), std::move(property), 0});
  }
};

TEST_F(SkinStoreTest, InactiveStoreAnswersNothing) {
  AddSection("TSBITBTN", "", ui::clRed);
  AddMask("TSBITBTN", "BORDERSMASK");
  SkinImages().push_back({Filled(2, 2, ui::clRed), "TSBITBTN", "IMAGEFILE"});
  for (const int32_t i : {-1, 0, 1}) {
    EXPECT_FALSE(IsSectionIndexValid(i)) << i;
    EXPECT_FALSE(IsMaskIndexValid(i)) << i;
  }
  EXPECT_EQ(FindSkinSection("TsBitBtn"), -1);
  EXPECT_EQ(FindSkinImage(0, "TsBitBtn", kBordersMaskProperty), -1);
  EXPECT_EQ(FindSkinPicture(0, "TsBitBtn", kImageFileProperty), -1);
  auto d = Filled(10, 10, ui::clBlue);
  PutSectionOnBitmap(0, "TsBitBtn", kNoBackSource, true, false, ui::Rect(0, 0, 10, 10), {}, *d);
  PutSectionOnDC(0, "TsBitBtn", kNoBackSource, true, false, ui::Rect(0, 0, 10, 10), {}, &d->Canvas());
  EXPECT_EQ(CountOther(*d, ui::clBlue), 0);
  // Skinned text falls back to the plain look.
  auto plain = Filled(60, 20, ui::clWhite), skinned = Filled(60, 20, ui::clWhite);
  ui::TRect a = ui::Rect(0, 0, 60, 20), b = a;
  PutTextEmbossed(plain->Canvas(), "Ok", true, a, 0);
  PutTextSkinned(skinned->Canvas(), "Ok", true, b, 0, 0, false);
  EXPECT_EQ(a, b);
  EXPECT_EQ(plain->SaveToBytes(), skinned->SaveToBytes());
  // The library's end frees the records.
  FinalizeSkinStore();
  EXPECT_TRUE(SkinSections().empty() && SkinMasks().empty() && SkinImages().empty() && SkinText().empty());
}

TEST_F(SkinStoreTest, ActiveLookupsFollowParentsAndEndOnCycles) {
  SkinData().Active = true;
  AddSection("LOOPA", "LOOPB", ui::clRed);
  AddSection("LOOPB", "LOOPA", ui::clRed);
  AddSection("SELF", "SELF", ui::clRed);
  AddSection("CHILD", "base", ui::clRed);
  AddSection("BASE", "", ui::clRed);
  AddMask("BASE", "BORDERSMASK");
  EXPECT_EQ(FindSkinSection("loopb"), 1);
  EXPECT_EQ(FindSkinImage(0, "LoopA", kBordersMaskProperty), -1);
  EXPECT_EQ(FindSkinImage(2, "self", kBordersMaskProperty), -1);
  EXPECT_EQ(FindSkinImage(3, "child", kBordersMaskProperty), 0);
  EXPECT_EQ(FindSkinImage(3, "", kBordersMaskProperty), -1);
  EXPECT_EQ(FindSkinPicture(3, "child", kBordersMaskProperty), -1);
  EXPECT_TRUE(IsSectionIndexValid(4));
  EXPECT_FALSE(IsSectionIndexValid(5));
  EXPECT_TRUE(IsMaskIndexValid(0));
}

TEST_F(SkinStoreTest, BackgroundWithoutBitmapCountsAsOff) {
  SkinData().Active = true;
  AddSection("FACE", "", ui::clRed);  // transparency 50, no image or gradient: filled with its colour
  auto d = Filled(10, 10, ui::clBlue);
  FillSectionBack(0, "FACE", TBackSource{nullptr, 0, 0, true}, false, ui::Rect(2, 2, 6, 6), {}, *d);
  EXPECT_EQ(CountOther(*d, ui::clBlue), 16);
  EXPECT_EQ(At(*d, 5, 5), ui::clRed);
  // With a background the section is mixed half and half over it.
  auto back = Filled(10, 10, ui::clLime);
  FillSectionBack(0, "FACE", TBackSource{back.get(), 0, 0, true}, false, ui::Rect(2, 2, 6, 6), {}, *d);
  EXPECT_EQ(At(*d, 3, 3), ui::RGB(128, 127, 0));  // the background weighs 381 / 768
}

}  // namespace

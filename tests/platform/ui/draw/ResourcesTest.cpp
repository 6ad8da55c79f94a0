// Resources compiled into this test program by fw_embed_resources.

#include <gtest/gtest.h>

#include "platform/ui/Colors.h"
#include "platform/ui/Picture.h"
#include "platform/ui/Resources.h"

namespace platform::ui {
namespace {

TEST(Resources, BitmapsAndIconsLoadByName) {
  TBitmap b;
  b.LoadFromResourceName("tinybmp");  // names ignore case
  ASSERT_EQ(b.Width(), 3);
  ASSERT_EQ(b.Height(), 2);
  EXPECT_EQ(b.Canvas().Pixel(0, 0), clRed);
  EXPECT_EQ(b.Canvas().Pixel(2, 0), clBlue);
  EXPECT_EQ(b.Canvas().Pixel(2, 1), clFuchsia);
  TIcon icon;
  icon.LoadFromResourceName("TINYICON");
  EXPECT_EQ(icon.Width(), 2);
  TBitmap drawn;
  drawn.SetSize(2, 2);
  drawn.Canvas().Draw(0, 0, icon);
  EXPECT_EQ(drawn.Canvas().Pixel(0, 0), clWhite);
  EXPECT_EQ(drawn.Canvas().Pixel(1, 1), clLime);
}

TEST(Resources, MissingOrWrongResourcesKeepThePicture) {
  TBitmap b;
  b.LoadFromResourceName("TINYBMP");
  EXPECT_THROW(b.LoadFromResourceName("BORD9"), EResNotFound);
  EXPECT_THROW(b.LoadFromResourceName("TINYICON"), EResNotFound);  // an icon, not a bitmap
  EXPECT_THROW(b.LoadFromResourceName("NOTABITMAP"), EInvalidGraphic);
  EXPECT_EQ(b.Width(), 3);
  EXPECT_TRUE(FindResource("TINYBMP", "BITMAP", "drawtest").has_value());
  EXPECT_FALSE(FindResource("TINYBMP", "BITMAP", "othermodule").has_value());
  EXPECT_EQ(FindResource("TINYBMP", "bitmap")->size(), 78u);
}

TEST(Resources, RegistrationEndsWithItsObject) {
  static const uint8_t bytes[] = {1, 2, 3};
  const TResourceEntry entries[] = {{"LOCAL", "RCDATA", bytes, sizeof bytes}};
  {
    TResourceRegistration reg("local", entries);
    ASSERT_TRUE(FindResource("LOCAL", "RCDATA").has_value());
    EXPECT_EQ((*FindResource("LOCAL", "RCDATA"))[2], 3);
  }
  EXPECT_FALSE(FindResource("LOCAL", "RCDATA").has_value());
}

}  // namespace
}  // namespace platform::ui

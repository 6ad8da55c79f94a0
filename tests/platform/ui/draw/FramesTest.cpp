// Classic 3D frames: edge lines and corners, focus rectangles, frame
// controls.

#include <gtest/gtest.h>

#include <map>

#include "platform/ui/Bitmap.h"
#include "platform/ui/Colors.h"
#include "platform/ui/Frames.h"

namespace platform::ui {
namespace {

using Rows = std::vector<std::string>;

// H highlight, L 3D light, F face, S shadow, D dark shadow (black), W white
// window is H as well; '?' anything else.
Rows Art(TBitmap& b) {
  const std::map<TColor, char> names = {{RGB(255, 255, 255), 'H'}, {RGB(223, 223, 223), 'L'},
                                        {RGB(192, 192, 192), 'F'}, {RGB(128, 128, 128), 'S'},
                                        {RGB(0, 0, 0), 'D'},       {RGB(0, 0, 255), 'R'}};
  Rows rows;
  for (int y = 0; y < b.Height(); ++y) {
    std::string row;
    for (int x = 0; x < b.Width(); ++x) {
      auto it = names.find(b.Canvas().Pixel(x, y));
      row += it == names.end() ? '?' : it->second;
    }
    rows.push_back(row);
  }
  return rows;
}

TEST(Frames, RaisedEdgeHasLightTopLeftAndDarkBottomRight) {
  TBitmap b;
  b.SetSize(6, 5);
  TRect r{0, 0, 6, 5};
  ASSERT_TRUE(DrawEdge(b.Canvas().Handle(), r, EDGE_RAISED, BF_RECT | BF_MIDDLE | BF_ADJUST));
  EXPECT_EQ(Art(b), (Rows{"LLLLLD", "LHHHSD", "LHFFSD", "LSSSSD", "DDDDDD"}));
  EXPECT_EQ(r, (TRect{2, 2, 4, 3}));
}

TEST(Frames, SunkenEdgeAndChosenSides) {
  TBitmap b;
  b.SetSize(5, 4);
  TRect r{0, 0, 5, 4};
  DrawEdge(b.Canvas().Handle(), r, EDGE_SUNKEN, BF_RECT);
  EXPECT_EQ(Art(b), (Rows{"SSSSH", "SDDLH", "SLLLH", "HHHHH"}));
  EXPECT_EQ(r, (TRect{0, 0, 5, 4}));  // without BF_ADJUST the rectangle stays
  TBitmap c;
  c.SetSize(4, 3);
  TRect bottom{0, 0, 4, 3};
  DrawEdge(c.Canvas().Handle(), bottom, BDR_RAISEDINNER, BF_BOTTOM | BF_ADJUST);
  EXPECT_EQ(Art(c), (Rows{"HHHH", "HHHH", "SSSS"}));
  EXPECT_EQ(bottom, (TRect{0, 0, 4, 2}));
  EXPECT_FALSE(DrawEdge(nullptr, bottom, EDGE_RAISED, BF_RECT));
}

TEST(Frames, FlatAndMonoEdgesUseOneColour) {
  TBitmap b;
  b.SetSize(3, 3);
  TRect r{0, 0, 3, 3};
  DrawEdge(b.Canvas().Handle(), r, BDR_RAISEDOUTER, BF_RECT | BF_FLAT);
  EXPECT_EQ(Art(b), (Rows{"SSS", "SHS", "SSS"}));
  DrawEdge(b.Canvas().Handle(), r, BDR_RAISEDOUTER, BF_RECT | BF_MONO);
  EXPECT_EQ(Art(b), (Rows{"DDD", "DHD", "DDD"}));
}

TEST(Frames, FocusRectangleTwiceRestoresThePicture) {
  TBitmap b;
  b.SetSize(5, 4);
  b.Canvas().Brush().SetColor(clBlack);
  b.Canvas().FillRect({0, 0, 5, 4});
  DrawFocusRect(b.Canvas().Handle(), {0, 0, 5, 4});
  EXPECT_EQ(Art(b), (Rows{"HDHDH", "DDDDD", "HDDDH", "DHDHD"}));
  DrawFocusRect(b.Canvas().Handle(), {0, 0, 5, 4});
  EXPECT_EQ(Art(b), (Rows{"DDDDD", "DDDDD", "DDDDD", "DDDDD"}));
}

TEST(Frames, CheckBoxShowsItsTickOnlyWhenChecked) {
  TBitmap b;
  b.SetSize(13, 13);
  ASSERT_TRUE(DrawFrameControl(b.Canvas().Handle(), {0, 0, 13, 13}, DFC_BUTTON, DFCS_BUTTONCHECK));
  EXPECT_EQ(b.Canvas().Pixel(0, 0), RGB(128, 128, 128));
  EXPECT_EQ(b.Canvas().Pixel(6, 6), clWhite);
  DrawFrameControl(b.Canvas().Handle(), {0, 0, 13, 13}, DFC_BUTTON, DFCS_BUTTONCHECK | DFCS_CHECKED);
  EXPECT_EQ(b.Canvas().Pixel(3, 5), clBlack);   // the tick's first column
  EXPECT_EQ(b.Canvas().Pixel(9, 3), clBlack);   // its last column
  EXPECT_EQ(b.Canvas().Pixel(9, 9), clWhite);
  DrawFrameControl(b.Canvas().Handle(), {0, 0, 13, 13}, DFC_BUTTON, DFCS_BUTTONCHECK | DFCS_CHECKED | DFCS_INACTIVE);
  EXPECT_EQ(b.Canvas().Pixel(3, 5), RGB(128, 128, 128));
  EXPECT_EQ(b.Canvas().Pixel(9, 9), RGB(192, 192, 192));
}

TEST(Frames, PushButtonSinksWhenPushed) {
  TBitmap b;
  b.SetSize(8, 6);
  DrawFrameControl(b.Canvas().Handle(), {0, 0, 8, 6}, DFC_BUTTON, DFCS_BUTTONPUSH);
  EXPECT_EQ(b.Canvas().Pixel(0, 0), RGB(223, 223, 223));
  EXPECT_EQ(b.Canvas().Pixel(7, 5), clBlack);
  DrawFrameControl(b.Canvas().Handle(), {0, 0, 8, 6}, DFC_BUTTON, DFCS_BUTTONPUSH | DFCS_PUSHED);
  EXPECT_EQ(b.Canvas().Pixel(0, 0), RGB(128, 128, 128));
  EXPECT_EQ(b.Canvas().Pixel(7, 5), clWhite);
  EXPECT_EQ(b.Canvas().Pixel(4, 3), RGB(192, 192, 192));
}

TEST(Frames, ArrowsPointTheirWay) {
  TBitmap b;
  b.SetSize(16, 16);
  ASSERT_TRUE(DrawFrameControl(b.Canvas().Handle(), {0, 0, 16, 16}, DFC_SCROLL, DFCS_SCROLLCOMBOBOX));
  // Pointing down: the widest row above the tip.
  int widest = -1;
  int tip = -1;
  for (int y = 0; y < 16; ++y) {
    int n = 0;
    for (int x = 2; x < 14; ++x) n += b.Canvas().Pixel(x, y) == clBlack ? 1 : 0;
    if (n == 7) widest = y;
    if (n == 1) tip = y;
  }
  ASSERT_GE(widest, 0);
  EXPECT_EQ(tip, widest + 3);
  EXPECT_FALSE(DrawFrameControl(b.Canvas().Handle(), {0, 0, 16, 16}, DFC_SCROLL, 0x9));
  EXPECT_FALSE(DrawFrameControl(b.Canvas().Handle(), {0, 0, 16, 16}, 99, 0));
  EXPECT_TRUE(DrawFrameControl(b.Canvas().Handle(), {0, 0, 16, 16}, DFC_BUTTON, DFCS_BUTTONRADIO | DFCS_CHECKED));
  EXPECT_EQ(b.Canvas().Pixel(5, 5), clBlack);
}

}  // namespace
}  // namespace platform::ui

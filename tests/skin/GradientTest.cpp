#include <gtest/gtest.h>

#include <cmath>

#include "platform/os/Format.h"
#include "platform/ui/Application.h"
#include "platform/ui/Headless.h"
#include "skin/sGradient.h"
#include "tests/skin/SkinTestSupport.h"

using namespace skin;
using namespace skintest;
namespace ui = platform::ui;

namespace {

constexpr const char* kNormal = "8421504;16777215;99;0;0;16777215;16777215;0;0;0";
constexpr const char* kHot =
    "8421504;8421504;10;0;0;8421504;16777215;43;0;0;16777215;10658466;28;0;0;10658466;13816530;18;0;0;"
    "13816530;13816530;0;0;0";

TsGradArray Parsed(std::string_view text) {
  TsGradArray bands;
  ParseGradientData(text, bands);
  return bands;
}

TEST(GradientTest, ParsesBandsOfFiveWords) {
  struct Case {
    std::string_view text;
    TsGradArray bands;
  };
  const Case cases[] = {
      {"", {}},
      {"1;2;3;4", {}},
      {kNormal, {{8421504, 16777215, 99, 0}, {16777215, 16777215, 0, 0}}},
      {";;1;;2;3;4;5;6;", {{1, 2, 3, 4}}},                  // runs of ";" are one separator
      {"-1;$FF;356;1;0", {{0xFFFFFFFFu, 255, 100, 1}}},     // Percent keeps its low byte
  };
  for (const Case& c : cases) EXPECT_EQ(Parsed(c.text), c.bands) << c.text;
  const TsGradArray hot = Parsed(kHot);
  ASSERT_EQ(hot.size(), 5u);
  EXPECT_EQ(hot[2], (TsGradItem{16777215, 10658466, 28, 0}));
  EXPECT_EQ(hot[4], (TsGradItem{13816530, 13816530, 0, 0}));
}

TEST(GradientTest, NonNumberRaisesWithTheBandsParsedSoFar) {
  TsGradArray bands{{9, 9, 9, 9}};
  EXPECT_THROW(ParseGradientData("1;2;3;0;0;4;x;6;0;0;7;8;9;0;0", bands), platform::os::EConvertError);
  ASSERT_EQ(bands.size(), 3u);
  EXPECT_EQ(bands[0], (TsGradItem{1, 2, 3, 0}));
  EXPECT_EQ(bands[1], (TsGradItem{4, 0, 0, 0}));
  EXPECT_EQ(bands[2], TsGradItem{});
}

TEST(GradientTest, PaintsTheFormsNormalTextGreyToWhite) {
  for (const int height : {22, 25}) {
    auto b = Filled(80, height, ui::clRed);
    PaintGradient(*b, ui::Rect(0, 0, 80, height), Parsed(kNormal));
    // One band over rows 0..(height * 99 div 100); the second band is skipped.
    // A running accumulator of 127 / n per row, rounded when written.
    const int last = height * 99 / 100;
    double grey = 128;
    for (int y = 0; y < height; ++y, grey += 127.0 / last) {
      const TColor want = y <= last ? Grey(static_cast<int>(std::nearbyint(grey))) : ui::clRed;
      for (int x : {0, 79}) EXPECT_EQ(At(*b, x, y), want) << height << " row " << y;
    }
    EXPECT_EQ(At(*b, 40, last), ui::clWhite);
  }
}

TEST(GradientTest, PaintEdges) {
  // Mode 2 and no bands paint nothing; the rectangle is clipped to the bitmap.
  for (const char* text : {"", "255;255;50;2;0;65280;65280;0;0;0"}) {
    auto b = Filled(20, 10, ui::clBlue);
    PaintGradient(*b, ui::Rect(-5, -5, 50, 50), Parsed(text));
    EXPECT_EQ(CountOther(*b, ui::clBlue), 0) << text;
  }
  // Horizontal: the last band runs to the bitmap's right edge, past the
  // rectangle. Vertical: percentages beyond 100 end at the rectangle's last row.
  auto h = Filled(100, 6, ui::clBlue);
  PaintGradient(*h, ui::Rect(10, 1, 50, 5), Parsed("255;255;50;1;0;65280;65280;0;0;0"));
  auto v = Filled(4, 20, ui::clBlue);
  PaintGradient(*v, ui::Rect(0, 0, 4, 10), Parsed("255;255;60;0;0;65280;65280;60;0;0;0;0;0;0;0"));
  const struct {
    const TBitmap* b;
    int x, y;
    TColor want;
  } cases[] = {{h.get(), 9, 2, ui::clBlue}, {h.get(), 10, 2, ui::clRed},  {h.get(), 29, 4, ui::clRed},
               {h.get(), 30, 4, ui::clLime}, {h.get(), 99, 1, ui::clLime}, {h.get(), 50, 0, ui::clBlue},
               {h.get(), 50, 5, ui::clBlue}, {v.get(), 0, 5, ui::clRed},   {v.get(), 0, 6, ui::clLime},
               {v.get(), 0, 9, ui::clLime},  {v.get(), 0, 10, ui::clBlue}};
  for (const auto& c : cases)
    EXPECT_EQ(At(*c.b, c.x, c.y), c.want) << (c.b == h.get() ? "h " : "v ") << c.x << "," << c.y;
}

TEST(GradientTest, WordsAndSmallUtilities) {
  EXPECT_EQ(CountWords(";;a;;b;", ";"), 2);
  EXPECT_EQ(GetWord(2, ";;a;;b;", ";"), "b");
  EXPECT_EQ(GetWord(3, ";;a;;b;", ";"), "");
  EXPECT_EQ(FindWordStart(2, ";;a;;b;", ";"), 6);
  EXPECT_EQ(FindWordStart(0, "a", ";"), 0);
  EXPECT_EQ(CountWords(" a,b ", ", "), 2);
  EXPECT_EQ(CountWords("", ";"), 0);
  EXPECT_EQ(CombineTransparency(50, 50), 75);
  EXPECT_EQ(CombineTransparency(0, 37), 37);
  EXPECT_EQ(CombineTransparency(100, 0), 100);
  uint8_t bgr[3];
  ColorToBGR(0x00112233, bgr);
  EXPECT_EQ(bgr[0], 0x11);
  EXPECT_EQ(bgr[2], 0x33);
}

TEST(GradientTest, ErrorMessageIsAModalBoxWithOk) {
  ui::THeadlessDriver::Reset();
  ui::Application().SetTitle("Ferrowick");
  std::string caption, shown;
  ui::THeadlessDriver::AnswerNextModal([&](ui::TCustomForm& form) {
    caption = form.Caption();
    shown = ui::THeadlessDriver::Shown(ui::THeadlessDriver::FindControl("sErrorForm.ErrorLabel"));
    ui::THeadlessDriver::Click(ui::THeadlessDriver::FindControl("sErrorForm.OkButton"));
  });
  ShowErrorMessage("GDI error (out of resources)");
  EXPECT_EQ(caption, "Ferrowick");
  EXPECT_EQ(shown, "GDI error (out of resources)");
  EXPECT_EQ(ui::THeadlessDriver::PendingModalAnswers(), 0u);
}

}  // namespace

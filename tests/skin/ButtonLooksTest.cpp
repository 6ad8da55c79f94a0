// Pixel probes of a form button's looks against the composition rules:
// the gradient of the look (normal, or hot shifted one pixel while
// pressed) blended 70 % with the look's colour, under the mask (its clear
// centre: (p * 255 + m) div 256; two pixels in from the left edge, half:
// (p * 128 + m * 128) div 256 with m the face grey, light when hot, dark
// when pressed; the frame 64 grey), and for the disabled look half-shaded
// toward the parent's colour ((p * 127 + c * 128) div 256).

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "platform/ui/Colors.h"
#include "platform/ui/Edit.h"
#include "platform/ui/Form.h"
#include "platform/ui/Headless.h"
#include "platform/ui/Paint.h"
#include "skin/sFormButtons.h"
#include "skin/sGradient.h"
#include "skin/sStyleUtil.h"
#include "tests/skin/SkinTestSupport.h"

namespace skin {
namespace {

namespace ui = platform::ui;
using Driver = ui::THeadlessDriver;

constexpr ui::TPoint kProbe{20, 12};  // clear of the mask's edges and of the focus dots
constexpr ui::TPoint kEdge{2, 12};    // the mask's half-weight column of the left edge
constexpr ui::TPoint kFrame{0, 12};

// One channel of a byte colour.
int Channel(ui::TColor c, int i) { return i == 0 ? ui::GetRValue(c) : i == 1 ? ui::GetGValue(c) : ui::GetBValue(c); }

ui::TColor Map(ui::TColor c, const std::function<int(int, int)>& f) {
  return ui::RGB(uint8_t(f(Channel(c, 0), 0)), uint8_t(f(Channel(c, 1), 1)), uint8_t(f(Channel(c, 2), 2)));
}

// The composed background at the probe: the bands painted over rect,
// blended 70 % with colour (halves to even).
ui::TColor Composed(std::string_view gradient, const ui::TRect& rect, ui::TColor colour, ui::TPoint at = kProbe) {
  TsGradArray bands;
  ParseGradientData(gradient, bands);
  ui::TBitmap b;
  b.SetSize(75, 25);
  PaintGradient(b, rect, bands);
  const ui::TColor c = ui::ColorToRGB(colour);
  return Map(skintest::At(b, at.X, at.Y),
             [&](int x, int i) { return int(std::nearbyint((70 * x + 30 * Channel(c, i)) / 100.0)); });
}

class ButtonLooks : public ::testing::Test {
 protected:
  void SetUp() override {
    Driver::Reset();
    form_ = ui::CreateOwned<ui::TForm>(nullptr);
    form_->SetBounds(0, 0, 300, 200);
    button_ = CreateFormButton(form_.get(), form_.get(), "Probe");
    button_->SetBounds(10, 20, 75, 25);
    edit_ = ui::CreateChild<ui::TEdit>(form_.get(), form_.get(), "Edit");
    edit_->SetBounds(10, 100, 100, 21);
    form_->Show();
    edit_->SetFocus();
    Driver::Pump();
  }
  void TearDown() override {
    form_.reset();
    Driver::Pump();
  }
  // A pixel of the button's cache, which must be what the window shows.
  ui::TColor Probe(ui::TPoint at = kProbe) {
    Driver::Pump();
    const ui::TColor cached = skintest::At(button_->sStyle().Cache(), at.X, at.Y);
    const ui::TRect place = ui::PaintRectInWindow(button_);
    EXPECT_EQ(form_->WindowBitmap().Canvas().Pixel(place.Left + at.X, place.Top + at.Y), cached);
    return cached;
  }
  // The edge and frame probes of an enabled look: the composed pixel half
  // under the mask colour m, and the opaque frame.
  void ExpectEdge(std::string_view gradient, const ui::TRect& face, ui::TColor colour, int m) {
    const ui::TColor p = Composed(gradient, face, colour, kEdge);
    EXPECT_EQ(Probe(kEdge), Map(p, [m](int x, int) { return (x * 128 + m * 128) >> 8; }));
    EXPECT_EQ(Probe(kFrame), skintest::Grey(64));
  }
  // Under the mask's clear centre of the normal look (face grey 192).
  static ui::TColor UnderNormalMask(ui::TColor p) {
    return Map(p, [](int x, int) { return (x * 255 + 192) >> 8; });
  }
  // Under a hot or pressed centre, whose mask colour is light or dark.
  static void ExpectUnderHotMask(ui::TColor shown, ui::TColor p) {
    for (int i = 0; i < 3; ++i) {
      EXPECT_GE(Channel(shown, i), (Channel(p, i) * 255) >> 8) << i;
      EXPECT_LE(Channel(shown, i), (Channel(p, i) * 255 + 255) >> 8) << i;
    }
  }
  ui::TComponentPtr<ui::TForm> form_;
  TsBitBtn* button_ = nullptr;
  ui::TEdit* edit_ = nullptr;
};

const ui::TRect kFace{0, 0, 75, 25};
const ui::TRect kPressedFace{1, 1, 76, 26};
constexpr ui::TColor kHotColour = 13612943;  // the hot painting's own colour

TEST_F(ButtonLooks, Normal) {
  EXPECT_EQ(Probe(), UnderNormalMask(Composed(kFormButtonGradient, kFace, ui::clBtnFace)));
  ExpectEdge(kFormButtonGradient, kFace, ui::clBtnFace, 192);
}

TEST_F(ButtonLooks, HotAsTheActiveDefaultButton) {
  button_->SetDefault(true);
  ASSERT_TRUE(button_->IsActiveDefault());
  ExpectUnderHotMask(Probe(), Composed(kFormButtonHotGradient, kFace, kHotColour));
  ExpectEdge(kFormButtonHotGradient, kFace, kHotColour, 255);
}

TEST_F(ButtonLooks, PressedShiftsTheHotFace) {
  Driver::MouseDown(Driver::Middle(button_));
  ASSERT_TRUE(button_->Down());
  ExpectUnderHotMask(Probe(), Composed(kFormButtonHotGradient, kPressedFace, kHotColour));
  ExpectEdge(kFormButtonHotGradient, kPressedFace, kHotColour, 96);
  Driver::MouseUp(Driver::Middle(button_));
}

TEST_F(ButtonLooks, FocusedIsHot) {
  button_->SetFocus();
  ExpectUnderHotMask(Probe(), Composed(kFormButtonHotGradient, kFace, kHotColour));
  ExpectEdge(kFormButtonHotGradient, kFace, kHotColour, 255);
}

TEST_F(ButtonLooks, DisabledIsHalfShadedTowardTheParent) {
  button_->SetEnabled(false);
  const ui::TColor parent = ui::ColorToRGB(form_->Color());
  const ui::TColor normal = UnderNormalMask(Composed(kFormButtonGradient, kFace, ui::clBtnFace));
  auto shaded = [&](ui::TColor p) {
    return Map(p, [&](int x, int i) { return (x * 127 + Channel(parent, i) * 128) >> 8; });
  };
  EXPECT_EQ(Probe(), shaded(normal));
  EXPECT_EQ(Probe(kFrame), shaded(skintest::Grey(64)));
}

// The settings every form button shares, and the message box's silver.
TEST_F(ButtonLooks, FormSettings) {
  ApplyFormButtonSettings(*button_, ui::clSilver);
  const TsActiveBGStyle& s = button_->sStyle();
  EXPECT_EQ(s.SkinSection(), "TsBitBtn");
  EXPECT_EQ(s.GroupIndex(), 0);
  EXPECT_EQ(s.Painting().Color(), ui::clSilver);
  EXPECT_FALSE(s.Painting().ParentColor());
  EXPECT_EQ(s.Background().Gradient().Data(), "8421504;16777215;99;0;0;16777215;16777215;0;0;0");
  EXPECT_EQ(s.HotStyle().HotBackground().Gradient().Data(),
            "8421504;8421504;10;0;0;8421504;16777215;43;0;0;16777215;10658466;28;0;0;10658466;13816530;18;0;0;"
            "13816530;13816530;0;0;0");
  EXPECT_EQ(s.HotStyle().HotPainting().Transparency(), 0);
  EXPECT_EQ(s.HotStyle().HotPainting().Bevel(), TsControlBevel::cbNone);
  EXPECT_FALSE(s.BtnEffects().Fading().Enabled());
  EXPECT_TRUE(s.BtnEffects().MaskedBorders().Enabled());
  EXPECT_EQ(s.BtnEffects().MaskedBorders().Predefined(), TsPredefinedBorders::pdBorder2);
  EXPECT_EQ(button_->Layout(), ui::TButtonLayout::blGlyphLeft);
  EXPECT_EQ(button_->Spacing(), 3);
  EXPECT_EQ(button_->Alignment(), ui::TAlignment::taCenter);
}

}  // namespace
}  // namespace skin

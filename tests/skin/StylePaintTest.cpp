// The style settings and what the styles paint: defaults, the percent
// invariant, the shadow's rules, the compositions, the see-through to the
// parent, the border, the shadows, and the hint manager's passive style.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "platform/ui/Colors.h"
#include "platform/ui/Form.h"
#include "platform/ui/Headless.h"
#include "platform/ui/Picture.h"
#include "skin/sStyleActive.h"
#include "skin/sStylePassive.h"
#include "skin/sStyleUtil.h"
#include "tests/skin/SkinTestSupport.h"
#include "tests/skin/StandInControls.h"

using namespace skin;
using namespace skintest;
namespace ui = platform::ui;
namespace msg = platform::win;
using ui::LPARAM;

namespace {

// The forms' normal background gradient: grey 128 to white over 99 %.
constexpr const char* kFormsGradient = "8421504;16777215;99;0;0;16777215;16777215;0;0;0";

class StylePaintTest : public StyledFormTest {
 protected:
  // The style's background painted into its cache, as the button does.
  TBitmap& Painted() {
    style().UpdateCacheSize();
    Fill(style().Cache(), ui::clWhite);
    style().PaintBackground(style().Cache());
    return style().Cache();
  }
};

TEST_F(StylePaintTest, SettingsDefaults) {
  TsActiveBGStyle& s = style();
  const TsPainting& p = s.Painting();
  const TsHotPainting& hp = s.HotStyle().HotPainting();
  const TsFading& f = s.BtnEffects().Fading();
  const TsMaskedBorders& m = s.BtnEffects().MaskedBorders();
  const TsShadow& sh = s.Effects().Shadow();
  const struct {
    const char* name;
    int64_t got, want;
  } values[] = {
      {"SoftControl", s.SoftControl(), 1},
      {"GroupIndex", s.GroupIndex(), 0},
      {"base GroupIndex", s.TsGenStyle::GroupIndex(), 0},
      {"SkinIndex", s.SkinIndex(), -1},
      {"MaskIndex", s.MaskIndex(), -1},
      {"Painting.ParentColor", p.ParentColor(), 1},
      {"Painting.Color", p.Color(), 13288119},
      {"Painting.BevelWidth", p.BevelWidth(), 0},
      {"Painting.Bevel", int(p.Bevel()), int(TsControlBevel::cbRaisedSoft)},
      {"Painting.Transparency", p.Transparency(), 0},
      {"Background.ListenMSG", s.Background().ListenMSG(), 0},
      {"Background.Image.Percent", s.Background().Image().Percent(), 0},
      {"Background.Gradient.Percent", s.Background().Gradient().Percent(), 70},
      {"Background.Gradient bands", int64_t(s.Background().Gradient().Bands().size()), 0},
      {"HotBackground.Gradient.Percent", s.HotStyle().HotBackground().Gradient().Percent(), 70},
      {"HotBackground.Image.Percent", s.HotStyle().HotBackground().Image().Percent(), 0},
      {"HotPainting.Color", hp.Color(), 13612943},
      {"HotPainting.Bevel", int(hp.Bevel()), int(TsControlBevel::cbRaisedSoft)},
      {"HotPainting.Transparency", hp.Transparency(), 0},
      {"HotPainting.FontColor", hp.FontColor(), 0},
      {"HotPainting.FontStyle", hp.FontStyle(), 0},
      {"HotPainting.BevelWidth", hp.BevelWidth(), 5},
      {"Fading.Enabled", f.Enabled(), 1},
      {"Fading.Iterations", f.Iterations(), 5},
      {"Fading.IntervalIn", f.IntervalIn(), 5},
      {"Fading.IntervalOut", f.IntervalOut(), 5},
      {"MaskedBorders.Enabled", m.Enabled(), 1},
      {"MaskedBorders.Predefined", int(m.Predefined()), int(TsPredefinedBorders::pdBorder1)},
      {"MaskedBorders.TransparentColor", m.TransparentColor(), 16711935},
      {"MaskedBorders.Mask width", m.Mask().Width(), 0},
      {"Shadow.Color", sh.Color(), 0},
      {"Shadow.Offset", sh.Offset(), 8},
      {"Shadow.Transparency", sh.Transparency(), 60},
      {"Shadow.Blur", sh.Blur(), 4},
      {"Shadow.DontUse", sh.DontUse(), 1},
      {"Shadow.Enabled", sh.Enabled(), 0},
      {"Cache 24 bits", s.Cache().PixelFormat() == ui::TPixelFormat::pf24bit, 1},
  };
  for (const auto& v : values) EXPECT_EQ(v.got, v.want) << v.name;
  EXPECT_EQ(s.FadeIterations(), 5);
  EXPECT_TRUE(s.FadingEnabled());
}

TEST_F(StylePaintTest, PercentsKeepTheirSumAndNotifyTheStyle) {
  struct Step {
    bool image;
    int32_t value;
  };
  struct Case {
    std::vector<Step> steps;
    int wantImage, wantGradient;
  } cases[] = {
      {{{true, 30}, {false, 100}}, 0, 100},
      {{{true, 60}}, 60, 40},
      {{{true, 150}}, 100, 0},  // clamped before the sibling takes 100 minus it
      {{{false, -5}}, 0, 0},
      {{{false, 300}, {true, 20}}, 20, 80},
  };
  for (const Case& c : cases) {
    for (TsHotBackground* bg : {static_cast<TsHotBackground*>(&style().Background()),
                                &style().HotStyle().HotBackground()}) {
      bg->Image().StorePercent(0);
      bg->Gradient().StorePercent(70);
      for (const Step& s : c.steps) {
        if (s.image)
          bg->Image().SetPercent(s.value);
        else
          bg->Gradient().SetPercent(s.value);
      }
      EXPECT_EQ(bg->Image().Percent(), c.wantImage);
      EXPECT_EQ(bg->Gradient().Percent(), c.wantGradient);
    }
  }
  // A change of the normal background invalidates the style; one of the
  // hot background notifies nobody.
  style().SetCacheStale(false);
  style().HotStyle().HotBackground().Gradient().SetData(kFormsGradient);
  EXPECT_FALSE(style().CacheStale());
  style().Background().Gradient().SetData(kFormsGradient);
  EXPECT_TRUE(style().CacheStale());
  EXPECT_EQ(style().Background().Gradient().Bands().size(), 2u);
  // Only the first 255 characters of a gradient text count.
  style().Background().Gradient().SetData(std::string(kFormsGradient) + std::string(300, ';'));
  EXPECT_EQ(style().Background().Gradient().Data().size(), 255u);
  // A missing picture file changes nothing.
  style().Background().Image().SetImageName("/nonexistent/picture.bmp");
  EXPECT_EQ(style().Background().Image().ImageName(), "");
}

TEST_F(StylePaintTest, ShadowRules) {
  TsShadow& shadow = style().Effects().Shadow();
  const struct {
    int32_t set, want;
  } transparencies[] = {{150, 100}, {-1, 0}, {35, 35}};
  for (const auto& t : transparencies) {
    shadow.SetTransparency(t.set);
    EXPECT_EQ(shadow.Transparency(), t.want) << t.set;
  }
  // Under a plain form nothing happens, not even DontUse changes.
  shadow.SetEnabled(true);
  EXPECT_FALSE(shadow.Enabled());
  EXPECT_TRUE(shadow.DontUse());

  // Under a styled panel: on, DontUse cleared, the panel told and repainted;
  // a shadowless kind stays off.
  button->SetParent(panel);
  for (const int32_t kind : {57, kKindBitBtn}) {
    style().SetStyleKind(kind);
    panel->sStyle().SetCacheStale(false);
    shadow.SetEnabled(true);
    EXPECT_EQ(shadow.Enabled(), kind == kKindBitBtn) << kind;
    EXPECT_EQ(shadow.DontUse(), kind != kKindBitBtn) << kind;
    EXPECT_EQ(panel->sStyle().CacheStale(), kind == kKindBitBtn) << kind;
  }
  shadow.SetDontUse(true);
  EXPECT_FALSE(shadow.Enabled());
}

TEST_F(StylePaintTest, NormalCompositionPixels) {
  // Both percents 0: the plain colour.
  style().Painting().SetColor(0x336699);
  style().Background().Gradient().SetPercent(0);
  EXPECT_EQ(CountOther(Painted(), 0x336699), 0);

  // The forms' buttons: the gradient blended 70 % with the face colour.
  style().Painting().SetColor(ui::clBtnFace);
  style().Background().Gradient().SetPercent(70);
  style().Background().Gradient().SetData(kFormsGradient);
  button->SetBounds(10, 20, 80, 25);
  const TBitmap& b = Painted();
  const int face = ui::GetRValue(ui::ColorToRGB(ui::clBtnFace));
  double grey = 128;
  const double step = 127.0 / 24;  // 25 rows: the first band spans rows 0..24
  for (int y = 0; y < 25; ++y, grey += step) {
    const double g = std::nearbyint(grey);
    const int want = static_cast<int>(std::nearbyint(0.7 * g + (1 - 0.7) * face));
    for (const int x : {0, 40, 79}) EXPECT_EQ(At(b, x, y), Grey(want)) << x << "," << y;
  }
  EXPECT_EQ(At(b, 0, 0), Grey(147));

  // A picture at 100 % covers everything; at 30 % under a 70 % gradient it
  // is mixed by 30 * 256 div 100.
  ui::TPicture red;
  red.Bitmap().SetSize(2, 2);
  Fill(red.Bitmap(), ui::clRed);
  style().Background().Image().SetImage(red);
  style().Background().Image().SetPercent(100);
  EXPECT_EQ(CountOther(Painted(), ui::clRed), 0);
  style().Background().Gradient().SetData("8421504;8421504;100;0;0");
  style().Background().Image().SetPercent(30);
  style().Background().Gradient().SetPercent(70);
  const double f = (30 * 256 / 100) / 256.0;
  EXPECT_EQ(At(Painted(), 5, 5), ui::RGB(uint8_t(std::nearbyint(f * 127 + 128)), uint8_t(std::nearbyint(128 - f * 128)),
                                          uint8_t(std::nearbyint(128 - f * 128))));
}

TEST_F(StylePaintTest, HotCompositionPixels) {
  button->activeDefault = true;
  ASSERT_TRUE(style().IsHot());
  TsHotBackground& hot = style().HotStyle().HotBackground();
  hot.Gradient().SetData("8421504;8421504;100;0;0");
  const ui::TColor tint = 0xCFB78F;
  ASSERT_EQ(style().HotStyle().HotPainting().Color(), tint);
  auto mixed = [](double f, int a, int b) { return uint8_t(std::nearbyint(f * a + (1 - f) * b)); };
  ui::TPicture red;
  red.Bitmap().SetSize(3, 3);
  Fill(red.Bitmap(), ui::clRed);
  const double w = (30 * 255 / 100) / 256.0;
  struct Case {
    int gradient, image;
    bool picture;
    ui::TColor want;
  } cases[] = {
      // 70 % grey gradient tinted 30 % toward the hot colour.
      {70, 0, false, ui::RGB(mixed(0.7, 128, 0x8F), mixed(0.7, 128, 0xB7), mixed(0.7, 128, 0xCF))},
      // Percents summing to 100: no colour step.
      {100, 0, false, Grey(128)},
      {70, 30, true,
       ui::RGB(uint8_t(std::nearbyint(w * 127 + 128)), uint8_t(std::nearbyint(128 - w * 128)),
               uint8_t(std::nearbyint(128 - w * 128)))},
      // A hot picture layer without a picture draws nothing.
      {70, 30, false, Grey(128)},
  };
  for (const Case& c : cases) {
    const ui::TPicture none;
    hot.Image().SetImage(c.picture ? red : none);
    hot.Image().StorePercent(uint8_t(c.image));
    hot.Gradient().StorePercent(uint8_t(c.gradient));
    const TBitmap& b = Painted();
    EXPECT_EQ(At(b, 0, 0), c.want) << c.gradient << "/" << c.image;
    EXPECT_EQ(CountOther(b, c.want), 0) << c.gradient << "/" << c.image;
  }
}

TEST_F(StylePaintTest, SeeThroughToTheParent) {
  button->SetParent(panel);
  button->SetBounds(20, 30, 40, 20);
  panel->sStyle().UpdateCacheSize();
  Fill(panel->sStyle().Cache(), ui::clBlue);
  Put(panel->sStyle().Cache(), 20, 30, ui::clLime);
  style().Painting().SetColor(ui::clRed);
  style().Background().Gradient().SetPercent(0);
  style().HotStyle().HotPainting().SetColor(ui::clRed);
  style().HotStyle().HotBackground().Gradient().SetPercent(0);
  const double f = (50 * 255 / 100) / 256.0;
  const ui::TColor half = ui::RGB(uint8_t(std::nearbyint(f * 255)), 0, uint8_t(std::nearbyint(255 - f * 255)));
  struct Case {
    bool hot;
    bool styledParent;
    int32_t transparency;
    ui::TColor wantCorner, wantInside;
  } cases[] = {
      {false, true, 0, ui::clRed, ui::clRed},
      {false, true, 100, ui::clLime, ui::clBlue},
      {false, true, 50, ui::RGB(uint8_t(std::nearbyint(f * 255)), uint8_t(std::nearbyint(255 - f * 255)), 0), half},
      {false, true, 250, ui::clLime, ui::clBlue},  // bounded to 100
      {false, false, 50, ui::clRed, ui::clRed},
      {true, true, 100, ui::clLime, ui::clBlue},
      {true, true, 50, ui::RGB(uint8_t(std::nearbyint(f * 255)), uint8_t(std::nearbyint(255 - f * 255)), 0), half},
      // No valid parent record: the hot look composes only.
      {true, false, 50, ui::clRed, ui::clRed},
  };
  for (const Case& c : cases) {
    button->SetParent(c.styledParent ? static_cast<ui::TWinControl*>(panel) : form.get());
    button->activeDefault = c.hot;
    if (c.hot)
      style().HotStyle().HotPainting().SetTransparency(uint8_t(c.transparency));
    else
      style().Painting().SetTransparency(c.transparency);
    const TBitmap& b = Painted();
    EXPECT_EQ(At(b, 0, 0), c.wantCorner) << c.hot << c.styledParent << " " << c.transparency;
    EXPECT_EQ(At(b, 10, 10), c.wantInside) << c.hot << c.styledParent << " " << c.transparency;
  }
}

TEST_F(StylePaintTest, BorderBevelsAndDefaultFrame) {
  style().UpdateCacheSize();
  const ui::TRect r = ui::Rect(0, 0, 80, 25);
  struct Case {
    bool activeDefault, enabled, down;
    int32_t bevelWidth;
    TsControlBevel bevel;
    ui::TColor wantTopLeft, wantBottomRight;
  } cases[] = {
      {false, true, false, 1, TsControlBevel::cbNone, Grey(128), Grey(128)},
      {false, true, false, 1, TsControlBevel::cbRaisedSoft, ui::clWhite, ui::clBlack},
      // Disabled and pressed: not hot, the raised bevel drawn lowered.
      {false, false, true, 1, TsControlBevel::cbRaisedSoft, ui::clBlack, ui::clWhite},
      // The active default button gets a black frame over its hot bevel.
      {true, true, false, 1, TsControlBevel::cbNone, ui::clBlack, ui::clBlack},
  };
  for (const Case& c : cases) {
    Fill(style().Cache(), Grey(128));
    button->activeDefault = c.activeDefault;
    button->down = c.down;
    button->bevelWidth = c.bevelWidth;
    button->SetEnabled(c.enabled);
    style().Painting().SetBevel(c.bevel);
    style().PaintBorder(r);
    const TBitmap& b = style().Cache();
    EXPECT_EQ(At(b, 0, 0), c.wantTopLeft) << c.activeDefault << c.enabled << c.down;
    EXPECT_EQ(At(b, 79, 24), c.wantBottomRight) << c.activeDefault << c.enabled << c.down;
    EXPECT_EQ(At(b, 40, 12), Grey(128));
  }
  // Pressed, the hot border is a lowered bevel (dark left, light right),
  // whatever the hot bevel says.
  for (const TsControlBevel hotBevel : {TsControlBevel::cbRaisedSoft, TsControlBevel::cbNone}) {
    Fill(style().Cache(), Grey(128));
    button->activeDefault = false;
    button->down = true;
    style().HotStyle().HotPainting().SetBevel(hotBevel);
    ASSERT_TRUE(style().IsHot());
    style().PaintBorder(r);
    const TBitmap& b = style().Cache();
    EXPECT_LT(ui::GetRValue(At(b, 0, 12)), 128);
    EXPECT_GT(ui::GetRValue(At(b, 76, 12)), 128);
  }
}

TEST_F(StylePaintTest, ContainerPaintsItsChildrensShadows) {
  button->SetParent(panel);
  button->SetBounds(20, 30, 60, 30);
  panel->sStyle().Painting().SetColor(ui::clWhite);
  TsShadow& shadow = style().Effects().Shadow();
  shadow.SetEnabled(true);
  shadow.SetBlur(0);
  shadow.SetTransparency(0);
  ASSERT_TRUE(shadow.Enabled());
  struct Case {
    int32_t seeThrough;
    bool visible;
    bool wantShadow;
  } cases[] = {{0, true, true}, {0, false, false}, {101, true, false}, {50, true, true}};
  TsPassiveBGStyle& container = panel->sStyle();
  for (const Case& c : cases) {
    style().Painting().SetTransparency(c.seeThrough);
    button->SetVisible(c.visible);
    container.UpdateCacheSize();
    container.PaintBackground(container.Cache());
    const TBitmap& b = container.Cache();
    // Inside the shadow, away from its rounded corners, and beside it.
    EXPECT_EQ(At(b, 20 + 8 + 30, 30 + 8 + 25) != ui::clWhite, c.wantShadow) << c.seeThrough << c.visible;
    EXPECT_EQ(At(b, 20 + 8 - 2, 30 + 8 + 10), ui::clWhite);
  }
  // A see-through button of a listening kind casts a lighter shadow: its
  // transparency joins the shadow's, round((100 - 20) * 50 / 100 + 20) = 60.
  // One ring of grey t * 255 div 100 tints white toward black: 255 m div 256.
  shadow.SetTransparency(20);
  for (const auto& [seeThrough, want] : {std::pair{0, 255 * 51 / 256}, std::pair{50, 255 * 153 / 256}}) {
    style().Painting().SetTransparency(seeThrough);
    container.PaintBackground(container.Cache());
    EXPECT_EQ(At(container.Cache(), 58, 63), Grey(want)) << seeThrough;
  }
}

// An owner that counts the passive style's change notices.
class NoticeCounter : public ui::TComponent, public TsPassiveStyleOwner {
 public:
  using ui::TComponent::TComponent;
  void PassiveStyleChanged() override { ++notices; }
  int notices = 0;
};

TEST(PassiveStyleTest, DefaultsAndChangeNotices) {
  auto owner = ui::CreateOwned<NoticeCounter>(nullptr);
  TsPassivePaintStyle style(owner.get());
  const struct {
    const char* name;
    int64_t got, want;
  } values[] = {
      {"Shadow.Enabled", style.Shadow().Enabled(), 1},
      {"Shadow.Offset", style.Shadow().Offset(), 10},
      {"Shadow.Color", style.Shadow().Color(), 0},
      {"Shadow.Transparency", style.Shadow().Transparency(), 50},
      {"Shadow.Blur", style.Shadow().Blur(), 6},
      {"Painting.Bevel", int(style.Painting().Bevel()), int(TsControlBevel::cbRaisedSoft)},
      {"Painting.Color", style.Painting().Color(), -16777212},
      {"Painting.ColorBorderTop", style.Painting().ColorBorderTop(), 16777215},
      {"Painting.ColorBorderBottom", style.Painting().ColorBorderBottom(), 0},
      {"Painting.Transparency", style.Painting().Transparency(), 50},
      {"GroupIndex", style.GroupIndex(), 0},
      {"SkinIndex", style.SkinIndex(), -1},
      {"MaskIndex", style.MaskIndex(), -1},
      {"Background.ListenMSG", style.Background().ListenMSG(), 0},
      {"Background.Gradient.Percent", style.Background().Gradient().Percent(), 70},
      {"WorkBitmap 24 bits", style.WorkBitmap().PixelFormat() == ui::TPixelFormat::pf24bit, 1},
  };
  for (const auto& v : values) EXPECT_EQ(v.got, v.want) << v.name;

  struct Case {
    const char* name;
    std::function<void()> change;
    int wantNotices;
  } cases[] = {
      {"same top colour", [&] { style.Painting().SetColorBorderTop(16777215); }, 0},
      {"other top colour", [&] { style.Painting().SetColorBorderTop(0); }, 1},
      {"index 2", [&] { style.Painting().SetColorByIndex(2, 0x123456); }, 0},
      {"body colour", [&] { style.Painting().SetColor(0xC2FCFC); }, 1},
      {"same shadow transparency", [&] { style.Shadow().SetTransparency(50); }, 0},
      {"shadow transparency 150", [&] { style.Shadow().SetTransparency(150); }, 1},
      {"shadow offset", [&] { style.Shadow().SetOffset(16); }, 1},
      {"gradient percent", [&] { style.Background().Gradient().SetPercent(100); }, 1},
      {"gradient text", [&] { style.Background().Gradient().SetData(kFormsGradient); }, 1},
      {"image percent", [&] { style.Background().Image().SetPercent(10); }, 1},
      {"skin section", [&] { style.SetSkinSection("HINT"); }, 0},
      {"bevel", [&] { style.Painting().SetBevel(TsControlBevel::cbNone); }, 1},
  };
  for (const Case& c : cases) {
    owner->notices = 0;
    c.change();
    EXPECT_EQ(owner->notices, c.wantNotices) << c.name;
  }
  EXPECT_EQ(style.Painting().Color(), 0xC2FCFC);
  EXPECT_EQ(style.Shadow().Transparency(), 100);
  EXPECT_EQ(style.Background().Gradient().Percent(), 90);

  // An owner that does not listen is not told.
  TsPassivePaintStyle quiet(nullptr);
  quiet.Painting().SetColor(0);
  EXPECT_EQ(quiet.Painting().Color(), 0);
}

TEST(PassiveStyleTest, MessageHook) {
  auto owner = ui::CreateOwned<NoticeCounter>(nullptr);
  TsPassivePaintStyle style(owner.get());
  style.SetGroupIndex(-101);
  style.SetStyleKind(kKindHintManager);
  auto send = [&](uint32_t number, intptr_t group, LPARAM value) {
    ui::TMessage m{number, static_cast<ui::WPARAM>(group), value, 0};
    style.HandleMessage(m);
    return m;
  };
  EXPECT_EQ(send(msg::SM_STYLEQUERY, 0, 0).LParam, 0);
  const ui::TMessage query = send(msg::SM_STYLEQUERY, -101, 0);
  EXPECT_EQ(query.WParam, 1u);
  EXPECT_EQ(query.LParam, reinterpret_cast<LPARAM>(&style));
  send(msg::SM_SHADOWTRANSPARENCY, 21, 0x1FF);  // low byte 255, bounded
  EXPECT_EQ(style.Shadow().Transparency(), 100);
  send(msg::SM_SHADOWTRANSPARENCY, -101, 0x128);
  EXPECT_EQ(style.Shadow().Transparency(), 40);
  send(msg::SM_SHADOWOFFSET, -101, 7);
  EXPECT_EQ(style.Shadow().Offset(), 14);
  send(msg::SM_SHADOWBLUR, 3, 9);  // another group
  EXPECT_EQ(style.Shadow().Blur(), 6);
  send(msg::SM_SHADOWENABLED, -101, 0);  // never for the hint manager's kind
  EXPECT_TRUE(style.Shadow().Enabled());
  EXPECT_EQ(send(msg::SM_BACKGROUNDIMAGE, -101, 0).Result, 1);
  owner->notices = 0;
  send(msg::SM_PAINTCOLOR, -101, 0x0000FF);
  EXPECT_EQ(style.Painting().Color(), 0x0000FF);
  EXPECT_EQ(owner->notices, 1);
  TsShadowDefaults defaults;
  defaults.ShadowColor = 0x00FF00;
  defaults.ShadowOffset = 5;
  defaults.ShadowBlur = 2;
  defaults.ShadowEnabled = false;
  send(msg::SM_SHADOWDEFAULTS, -101, reinterpret_cast<LPARAM>(&defaults));
  EXPECT_EQ(style.Shadow().Color(), 0x00FF00);
  EXPECT_EQ(style.Shadow().Offset(), 10);
  EXPECT_EQ(style.Shadow().Blur(), 4);
  EXPECT_TRUE(style.Shadow().Enabled());
  send(msg::SM_SHADOWDEFAULTS, -101, 0);  // no object: nothing

  // The painter: the body colour under a 100 % gradient is the gradient.
  style.Background().Gradient().SetData("8421504;8421504;100;0;0");
  style.Background().Gradient().SetPercent(100);
  auto b = Filled(20, 10, ui::clWhite);
  style.PaintBackground(*b, ui::Rect(0, 0, 20, 10));
  EXPECT_EQ(CountOther(*b, Grey(128)), 0);
}

}  // namespace

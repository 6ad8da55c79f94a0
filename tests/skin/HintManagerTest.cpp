#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "platform/ui/Colors.h"
#include "tests/skin/HintTestSupport.h"
#include "tests/skin/SkinTestSupport.h"

using namespace skin;
using namespace hinttest;
using skintest::At;
using skintest::Fill;
using skintest::Filled;
using skintest::TBitmap;
using skintest::TColor;
using PD = skin::TsHintsPredefinitions;

namespace {

template <class T>
bool Is(const ui::THintWindow* w) {
  return dynamic_cast<const T*>(w) != nullptr;
}

TEST(HintManagerTest, CreationAndThePredefinedLooks) {
  auto m = ui::CreateOwned<TsHintManager>(nullptr);
  EXPECT_EQ((std::array{ui::Application().HintPause, ui::Application().HintShortPause}), (std::array{500, 200}));
  EXPECT_EQ(m->PreDefinitions(), PD::shEllipse);  // stored, not applied:
  EXPECT_EQ((std::array{m->Blur, m->ExOffset, m->MarginH}), (std::array{1, 32, 15}));
  EXPECT_EQ((std::array{m->sStyle().StyleKind(), m->sStyle().GroupIndex()}), (std::array{211, -101}));
  EXPECT_EQ(ActiveHintManager(), nullptr);

  m->SetPreDefinitions(PD::shEllipse);
  EXPECT_EQ(m->PreDefinitions(), PD::shEllipse);
  EXPECT_EQ(m->Style(), TsHintStyle::hsEllipse);
  EXPECT_EQ(ActiveHintManager(), m.get());
  EXPECT_EQ((std::array{m->BevelWidth, m->MarginH, m->MarginV, m->MaxWidth, m->Blur, m->ExOffset}),
            (std::array{1, 6, 12, 200, 0, 26}));
  const TsPassivePaintStyle& s = m->sStyle();
  EXPECT_EQ((std::array{s.Painting().Color(), s.Painting().Transparency(), s.Painting().ColorBorderTop()}),
            (std::array{0xC2FCFC, 5, 0}));
  EXPECT_EQ((std::array{int(s.Background().Gradient().Percent()), int(s.Background().Image().Percent())}),
            (std::array{100, 0}));
  EXPECT_EQ((std::array{s.Shadow().Blur(), s.Shadow().Offset(), int32_t(s.Shadow().Transparency())}),
            (std::array{4, 16, 74}));

  // Each look ends with its own value; what it leaves out keeps its value.
  m->Radius = 77;
  m->Font().SetStyle(ui::fsBold);
  m->Font().SetColor(ui::clRed);
  m->SetPreDefinitions(PD::shGradient);
  EXPECT_EQ(m->PreDefinitions(), PD::shGradient);
  EXPECT_EQ(m->Style(), TsHintStyle::hsSimply);
  EXPECT_EQ((std::array{m->Radius, m->ExOffset, int32_t(m->Font().Style()), m->Font().Color()}),
            (std::array{77, 26, 0, 0}));
  EXPECT_EQ(s.Background().Gradient().Bands().size(), 3u);
  m->SetPreDefinitions(PD::shComicsGradient);
  EXPECT_EQ((std::array{m->Radius, m->ExOffset, m->MaxWidth}), (std::array{25, 24, 180}));
  m->SetPreDefinitions(PD::shSimply);
  EXPECT_EQ(m->Font().Size(), 8);
  EXPECT_EQ(s.Painting().Color(), static_cast<TColor>(0xFF000018));

  // shCustom changes nothing but the value; shStandard and shNone only Style.
  m->SetPreDefinitions(PD::shCustom);
  EXPECT_EQ((std::array{int(m->Style()), m->MarginH}), (std::array{int(TsHintStyle::hsSimply), 4}));
  m->SetPreDefinitions(PD::shNone);
  EXPECT_EQ((std::array{int(m->Style()), m->MarginH}), (std::array{int(TsHintStyle::hsNone), 4}));
  EXPECT_EQ(m->PreDefinitions(), PD::shNone);
}

TEST(HintManagerTest, ChangesThatMakeTheLookCustom) {
  auto m = ui::CreateOwned<TsHintManager>(nullptr);
  m->SetPreDefinitions(PD::shEllipse);
  const TColor top = m->sStyle().Painting().ColorBorderTop();
  struct Change {
    const char* what;
    std::function<void()> act;
    bool custom;
  };
  const std::vector<Change> changes = {
      {"MarginH", [&] { m->MarginH = 40; }, false},
      {"HTMLMode", [&] { m->HTMLMode = true; }, false},
      {"same top colour", [&] { m->sStyle().Painting().SetColorBorderTop(top); }, false},
      {"colour index 2", [&] { m->sStyle().Painting().SetColorByIndex(2, 123); }, false},
      {"top colour", [&] { m->sStyle().Painting().SetColorBorderTop(0x123456); }, true},
      {"font", [&] { m->SetFont(m->Font()); }, true},
      {"style", [&] { m->SetStyle(TsHintStyle::hsEllipse); }, true},
      {"shadow offset", [&] { m->sStyle().Shadow().SetOffset(3); }, true},
      {"gradient data", [&] { m->sStyle().Background().Gradient().SetData("1;2;3;0;0"); }, true},
      {"image percent", [&] { m->sStyle().Background().Image().SetPercent(20); }, true},
  };
  for (const Change& c : changes) {
    m->SetPreDefinitions(PD::shEllipse);
    c.act();
    EXPECT_EQ(m->PreDefinitions(), c.custom ? PD::shCustom : PD::shEllipse) << c.what;
  }
}

TEST(HintManagerTest, StylesPickTheWindowClassAndTheActiveManager) {
  auto m = ui::CreateOwned<TsHintManager>(nullptr);
  auto& app = ui::Application();
  // Before any skinned style, hsNone and hsStandard register nobody.
  m->SetStyle(TsHintStyle::hsNone);
  EXPECT_EQ(ActiveHintManager(), nullptr);
  m->SetStyle(TsHintStyle::hsStandard);
  EXPECT_EQ(ActiveHintManager(), nullptr);
  struct Case {
    TsHintStyle style;
    bool (*is)(const ui::THintWindow*);
  };
  const std::vector<Case> cases = {
      {TsHintStyle::hsSimply, Is<TsSimplyHintWindow>},   {TsHintStyle::hsComics, Is<TsComicsHintWindow>},
      {TsHintStyle::hsEllipse, Is<TsEllipseHintWindow>}, {TsHintStyle::hsBalloon, Is<TsBalloonHintWindow>},
      {TsHintStyle::hsNone, Is<TsSimplyHintWindow>},
  };
  for (const Case& c : cases) {
    m->SetStyle(c.style);
    EXPECT_EQ(ActiveHintManager(), m.get());  // hsNone keeps the one registered before
    ui::THintWindow* w = app.HintWindowClass()(&app);
    EXPECT_TRUE(c.is(w)) << int(c.style);
    ui::TComponent::Free(w);
  }
  m->SetStyle(TsHintStyle::hsStandard);
  EXPECT_EQ(ActiveHintManager(), m.get());
  ui::THintWindow* plain = app.HintWindowClass()(&app);
  EXPECT_EQ(dynamic_cast<TsCustomHintWindow*>(plain), nullptr);
  ui::TComponent::Free(plain);
}

TEST(HintManagerTest, AssignToCopiesTheLookButNotTheRest) {
  auto a = ui::CreateOwned<TsHintManager>(nullptr);
  auto b = ui::CreateOwned<TsHintManager>(nullptr);
  a->SetPreDefinitions(PD::shComicsGradient);
  a->Font().SetName("Courier");
  a->Font().SetSize(14);
  a->MaxWidth = 333;
  a->HTMLMode = true;
  a->HintsDesigner = 4;
  a->sStyle().Shadow().SetEnabled(false);
  b->Assign(a.get());
  EXPECT_EQ(b->Style(), TsHintStyle::hsComics);
  EXPECT_EQ(b->PreDefinitions(), PD::shCustom);  // a's own value since its shadow changed
  EXPECT_EQ((std::array{b->Radius, b->ExOffset, b->MarginH, b->BevelWidth}), (std::array{25, 24, 18, 1}));
  EXPECT_EQ(b->Font().Name(), "Courier");
  EXPECT_EQ(b->Font().Size(), 14);
  EXPECT_EQ(b->sStyle().Background().Gradient().Data(), a->sStyle().Background().Gradient().Data());
  EXPECT_EQ(b->sStyle().Painting().ColorBorderTop(), 0xFFFFFF);
  EXPECT_FALSE(b->sStyle().Shadow().Enabled());
  EXPECT_EQ(b->sStyle().Shadow().Transparency(), 28);
  EXPECT_EQ(b->MaxWidth, 200);
  EXPECT_FALSE(b->HTMLMode);
  EXPECT_EQ(b->HintsDesigner, 0);
  a->SetPreDefinitions(PD::shBalloon);
  b->Assign(a.get());
  EXPECT_EQ(b->PreDefinitions(), PD::shBalloon);
  // Only a hint manager takes a manager's values.
  ui::TFont font;
  EXPECT_THROW(font.Assign(a.get()), ui::EConvertError);
}

// The body over a blue screen: the fill, the screen, or a mix of both.
TEST(HintManagerTest, BackgroundPainterByTransparencyAndPercents) {
  auto m = ui::CreateOwned<TsHintManager>(nullptr);
  TsPassivePaintStyle& s = m->sStyle();
  s.WorkBitmap().SetSize(20, 10);
  Fill(s.WorkBitmap(), ui::clBlue);
  s.Painting().SetColor(0xC2FCFC);
  s.Background().Gradient().SetPercent(100);
  const TColor fill = 0xC2FCFC;
  auto paint = [&](int32_t transparency) {
    s.Painting().SetTransparency(transparency);
    auto b = Filled(20, 10, ui::clWhite);
    m->PaintBG(*b, ui::Rect(0, 0, 20, 10));
    return At(*b, 7, 4);
  };
  EXPECT_EQ(paint(0), fill);
  EXPECT_EQ(paint(-20), fill);  // bounded to 0..100
  EXPECT_EQ(paint(100), ui::clBlue);
  EXPECT_EQ(paint(150), ui::clBlue);
  // 40 %: B := round(f * (B - H) + H), f = (60 * 255 div 100) / 256.
  const double f = (60 * 255 / 100) / 256.0;
  auto mix = [&](int fillChannel, int screenChannel) {
    return static_cast<uint8_t>(std::nearbyint(f * (fillChannel - screenChannel) + screenChannel));
  };
  EXPECT_EQ(paint(40), ui::RGB(mix(0xFC, 0), mix(0xFC, 0), mix(0xC2, 0xFF)));

  // Gradient 60 %: the gradient mixed with 40 % of the colour.
  s.Painting().SetTransparency(0);
  s.Background().Gradient().SetData("255;255;100;0;0");  // solid red
  s.Background().Gradient().SetPercent(60);
  auto b = Filled(20, 10, ui::clWhite);
  m->PaintBG(*b, ui::Rect(0, 0, 20, 10));
  auto blend = [](int x, int c) { return static_cast<uint8_t>(std::nearbyint(0.6 * x + 0.4 * c)); };
  EXPECT_EQ(At(*b, 3, 3), ui::RGB(blend(255, 0xFC), blend(0, 0xFC), blend(0, 0xC2)));
  // Percents above 100 together refill with the plain colour.
  s.Background().Gradient().StorePercent(80);
  s.Background().Image().StorePercent(50);
  Fill(*b, ui::clWhite);
  m->PaintBG(*b, ui::Rect(0, 0, 20, 10));
  EXPECT_EQ(skintest::CountOther(*b, fill), 0);
}

TEST(HintManagerTest, ShadowShiftAndCombinedTransparency) {
  auto m = ui::CreateOwned<TsHintManager>(nullptr);
  TsPassivePaintStyle& s = m->sStyle();
  s.Shadow().SetOffset(16);
  s.Shadow().SetTransparency(74);
  s.Painting().SetTransparency(0);
  EXPECT_EQ(m->ShadowShift(), 16);
  EXPECT_EQ(m->ShadowTransparency(), 74);
  s.Painting().SetTransparency(50);  // 74 + 26 * 50 / 100
  EXPECT_EQ(m->ShadowTransparency(), 87);
  s.Painting().SetTransparency(400);  // bounded: a body that lets everything through
  EXPECT_EQ(m->ShadowTransparency(), 100);
  s.Shadow().SetEnabled(false);
  EXPECT_EQ(m->ShadowShift(), 0);
}

using HintManagerLife = HintFixture;

TEST_F(HintManagerLife, FreedManagerHandsBackHandlerAndClass) {
  auto& app = ui::Application();
  int before = 0;
  app.OnShowHint = [&](std::string&, bool&, ui::THintInfo&) { ++before; };
  auto m = SetupLikeManager();
  int seen = 0;
  m->OnShowHint = [&](std::string& text, bool&, ui::THintInfo& info) {
    ++seen;
    EXPECT_EQ(info.HintControl, button);
    text += "!";
  };
  ui::THintWindow* w = ShowHintOf(button);
  ASSERT_TRUE(Is<TsEllipseHintWindow>(w));
  EXPECT_TRUE(w->Visible());
  EXPECT_EQ(w->Caption(), "A hint over the button!");
  EXPECT_EQ((std::array{seen, before}), (std::array{1, 0}));
  EXPECT_EQ(app.HintHidePause, 5000);

  m.reset();
  EXPECT_EQ(ActiveHintManager(), nullptr);
  EXPECT_EQ(app.HintWindow(), nullptr);
  EXPECT_FALSE(app.HintWindowClass());
  w = ShowHintOf(button);
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(dynamic_cast<TsCustomHintWindow*>(w), nullptr);
  EXPECT_TRUE(w->Visible());
  EXPECT_EQ(before, 1);
  app.OnShowHint = nullptr;
}

TEST_F(HintManagerLife, HandsBackOnlyWhatIsStillItsOwn) {
  auto& app = ui::Application();
  auto m = SetupLikeManager();
  int later = 0;
  app.OnShowHint = [&](std::string&, bool&, ui::THintInfo&) { ++later; };
  app.SetHintWindowClass([](ui::TComponent* owner) { return ui::Create<ui::THintWindow>(owner); });
  m->SetStyle(TsHintStyle::hsComics);  // someone else's class stays, also now
  EXPECT_EQ(app.HintWindowClass().target<TsHintWindowMaker>(), nullptr);
  m.reset();
  EXPECT_TRUE(app.HintWindowClass());
  ShowHintOf(button);
  EXPECT_EQ(later, 1);
  app.OnShowHint = nullptr;
  app.SetHintWindowClass(nullptr);
}

// Two managers freed in either order: the one left is active and shows its
// hints, and once both are gone the application has what it had before
// the first (not a handler or class of a freed manager).
TEST_F(HintManagerLife, ManagersFreedInEitherOrder) {
  auto& app = ui::Application();
  int before = 0;
  for (const bool firstGoesFirst : {true, false}) {
    app.OnShowHint = [&](std::string&, bool&, ui::THintInfo&) { ++before; };
    auto first = SetupLikeManager();
    auto second = SetupLikeManager();
    (firstGoesFirst ? first : second).reset();
    const auto& left = firstGoesFirst ? second : first;
    EXPECT_EQ(ActiveHintManager(), left.get()) << firstGoesFirst;
    EXPECT_TRUE(Is<TsEllipseHintWindow>(ShowHintOf(button))) << firstGoesFirst;
    (firstGoesFirst ? second : first).reset();
    EXPECT_EQ(ActiveHintManager(), nullptr);
    EXPECT_FALSE(app.HintWindowClass()) << firstGoesFirst;
    EXPECT_FALSE(Is<TsCustomHintWindow>(ShowHintOf(button))) << firstGoesFirst;
  }
  EXPECT_EQ(before, 2);
  app.OnShowHint = nullptr;
}

// A Style set while another manager covered this one's class is the one
// its class carries once that manager goes.
TEST_F(HintManagerLife, StyleSetUnderAnotherManagerHoldsWhenItGoes) {
  const struct {
    TsHintStyle style;
    bool (*is)(const ui::THintWindow*);
    bool active;
  } cases[] = {{TsHintStyle::hsBalloon, Is<TsBalloonHintWindow>, true},
               {TsHintStyle::hsStandard, [](const ui::THintWindow* w) { return !Is<TsCustomHintWindow>(w); }, false}};
  for (const auto& c : cases) {
    auto covered = SetupLikeManager();
    auto cover = SetupLikeManager();
    covered->SetStyle(c.style);
    cover.reset();
    EXPECT_EQ(ActiveHintManager(), c.active ? covered.get() : nullptr) << int(c.style);
    EXPECT_TRUE(c.is(ShowHintOf(button))) << int(c.style);
  }
}

TEST_F(HintManagerLife, NoManagerShowsNothing) {
  auto& app = ui::Application();
  // A manager that only ever applied hsNone: its window finds no look.
  auto m = ui::CreateOwned<TsHintManager>(nullptr);
  m->SetStyle(TsHintStyle::hsNone);
  ui::THintWindow* w = ShowHintOf(button);
  ASSERT_TRUE(Is<TsSimplyHintWindow>(w));
  EXPECT_FALSE(w->Visible());
  EXPECT_EQ(w->CalcHintRect(500, "text", nullptr), ui::TRect{});
  // A registered manager switched to hsNone shows nothing either.
  m->SetStyle(TsHintStyle::hsEllipse);
  m->SetStyle(TsHintStyle::hsNone);
  w = ShowHintOf(button);
  ASSERT_NE(w, nullptr);
  EXPECT_FALSE(w->Visible());
  m.reset();
  EXPECT_FALSE(app.HintWindowClass());
}

}  // namespace

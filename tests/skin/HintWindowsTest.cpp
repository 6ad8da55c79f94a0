#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "platform/os/Text.h"
#include "platform/ui/Backend.h"
#include "platform/ui/Colors.h"
#include "platform/ui/Screen.h"
#include "skin/sHintShapes.h"
#include "tests/skin/HintTestSupport.h"
#include "tests/skin/SkinTestSupport.h"

using namespace skin;
using namespace hinttest;
using skintest::Filled;
using skintest::Grey;
using namespace platform::os::literals;

namespace {

TEST(HintShapesTest, PlacementGrowthTailAndBody) {
  const ui::TRect desk = ui::Rect(0, 0, 1024, 768);
  struct Place {
    ui::TPoint p;
    int w, h;
    ui::TRect bounds;
    THintCorner corner;
  };
  const std::vector<Place> places = {
      {{100, 100}, 120, 80, ui::Bounds(100, 100, 120, 80), 0},
      {{100, 700}, 120, 80, ui::Bounds(100, 620, 120, 80), 1},
      {{950, 100}, 120, 80, ui::Bounds(830, 100, 120, 80), 2},
      {{1000, 740}, 120, 80, ui::Bounds(880, 660, 120, 80), 3},
      {{10, 700}, 1100, 900, ui::Bounds(10, 700, 1100, 900), 0},  // never above or left of the desktop
  };
  for (const Place& c : places) {
    const THintPlacement at = PlaceHint(c.p, c.w, c.h, desk);
    EXPECT_EQ(at.Bounds, c.bounds) << c.p.X << "," << c.p.Y;
    EXPECT_EQ(at.Corner, c.corner) << c.p.X << "," << c.p.Y;
  }
  struct Growth {
    int w, h, ew, eh;
  };
  // d = sqrt(w² + h²) - w; a square grows by about 0.414 of its side.
  for (const Growth& g : std::vector<Growth>{{100, 100, 41, 41}, {200, 50, 25, 2}, {50, 200, 39, 625}, {0, 40, 0, 0}}) {
    int32_t ew = -1, eh = -1;
    EllipseGrowth(g.w, g.h, ew, eh);
    EXPECT_EQ((std::array{ew, eh}), (std::array{g.ew, g.eh})) << g.w << "x" << g.h;
  }
  EXPECT_EQ(HintTailPoint(0, 100, 60), (ui::TPoint{3, 3}));
  EXPECT_EQ(HintTailPoint(1, 100, 60), (ui::TPoint{3, 57}));
  EXPECT_EQ(HintTailPoint(2, 100, 60), (ui::TPoint{97, 3}));
  EXPECT_EQ(HintTailPoint(3, 100, 60), (ui::TPoint{97, 57}));
  EXPECT_EQ(TailBodyRect(0, 100, 80, 16, 26), ui::Rect(0, 26, 84, 64));
  EXPECT_EQ(TailBodyRect(3, 100, 80, 16, 26), ui::Rect(0, 0, 84, 38));
}

int CountGrey(const TBitmap& b, TColor c) { return b.Width() * b.Height() - skintest::CountOther(b, c); }

TEST(HintShapesTest, SteppedMasksAndBalloons) {
  const ui::TRect body = ui::Rect(0, 26, 84, 64);
  for (const THintShape shape : {THintShape::Ellipse, THintShape::Rounded}) {
    // Blur 0: a hard edge, one shape in grey T.
    auto b = Filled(100, 80, ui::clWhite);
    DrawSteppedShape(*b, shape, body, ui::TPoint{3, 3}, 0, 40, 0, 20);
    const TColor t = Grey(40 * 255 / 100);
    EXPECT_EQ(CountGrey(*b, ui::clWhite) + CountGrey(*b, t), 100 * 80);
    EXPECT_EQ(At(*b, 42, 45), t);
    EXPECT_EQ(At(*b, 19, 20), t);  // the tail, on its way to its point
    // Blur 3, opaque: light outer steps, black inside.
    auto soft = Filled(100, 80, ui::clWhite);
    DrawSteppedShape(*soft, shape, body, ui::TPoint{3, 3}, 0, 0, 3, 20);
    EXPECT_EQ(At(*soft, 42, 45), ui::clBlack);
    EXPECT_EQ(At(*soft, 42, 26), Grey(191));  // round(3 * 255 / 4)
    EXPECT_EQ(At(*soft, 42, 27), Grey(128));
    // Transparency above 100 is 100: a white mask, no overflowing grey.
    auto over = Filled(100, 80, ui::clWhite);
    DrawSteppedShape(*over, shape, body, ui::TPoint{3, 3}, 0, 250, 2, 20);
    EXPECT_EQ(skintest::CountOther(*over, ui::clWhite), 0);
    // A negative blur draws nothing; a huge one ends, all its steps nearly white.
    DrawSteppedShape(*over, shape, body, ui::TPoint{3, 3}, 0, 0, -1, 20);
    EXPECT_EQ(skintest::CountOther(*over, ui::clWhite), 0);
    DrawSteppedShape(*over, shape, body, ui::TPoint{3, 3}, 0, 0, 2000000000, 20);
    EXPECT_EQ(At(*over, 42, 45), ui::clWhite);
  }
  // The balloon: bubbles above the body toward the tail; one bubble works,
  // none draws only the body.
  auto inkAbove = [&](int count) {
    auto b = Filled(100, 80, ui::clWhite);
    DrawBalloonMask(*b, body, ui::TPoint{3, 3}, 0, TBalloonTrail{count, 4, 26, 16}, 0, 0);
    int ink = 0;
    for (int y = 0; y < body.Top; ++y)
      for (int x = 0; x < 100; ++x) ink += At(*b, x, y) != ui::clWhite;
    EXPECT_EQ(At(*b, 42, 45), ui::clBlack) << count;
    return ink;
  };
  EXPECT_EQ(inkAbove(0), 0);
  EXPECT_GT(inkAbove(1), 0);
  EXPECT_GT(inkAbove(3), inkAbove(1));
  EXPECT_EQ(inkAbove(1000), inkAbove(kMaxBubbles));
}

using HintWindows = HintFixture;

// The text box a manager measures for text.
ui::TRect MeasuredText(const TsHintManager& m, const std::string& text) {
  TBitmap probe;
  probe.Canvas().Font().Assign(&m.Font());
  ui::TRect r = ui::Rect(0, 0, m.MaxWidth, 0);
  probe.Canvas().DrawText(text, r, ui::DT_CALCRECT | ui::DT_WORDBREAK | ui::DT_NOPREFIX | ui::DT_CENTER);
  return r;
}

TEST_F(HintWindows, CalcHintRectBySize) {
  auto m = SetupLikeManager();
  const std::string text(
      "Тег контроля связи с OPC сервером. Если поле пустое - связь драйвером не контролируется."_cp);
  const ui::TRect t = MeasuredText(*m, text);
  EXPECT_LE(t.Right, 200);
  EXPECT_GT(t.Bottom, ui::TRect{}.Bottom);
  const int w = t.Right + 16 + 2 * (6 + 1);
  const int h = t.Bottom + 16 + 2 * (12 + 1) + 26;
  int32_t ew = 0, eh = 0;
  EllipseGrowth(w, h, ew, eh);
  auto ellipse = ui::CreateOwned<TsEllipseHintWindow>(nullptr);
  EXPECT_EQ(ellipse->CalcHintRect(0, text, nullptr), ui::Rect(0, 0, w + ew, h + eh));
  EXPECT_EQ((std::array{ellipse->EllipseExtraWidth, ellipse->EllipseExtraHeight}), (std::array{ew, eh}));
  EXPECT_GT(ew, 0);
  auto comics = ui::CreateOwned<TsComicsHintWindow>(nullptr);
  EXPECT_EQ(comics->CalcHintRect(0, text, nullptr), ui::Rect(0, 0, w, h));
  auto simply = ui::CreateOwned<TsSimplyHintWindow>(nullptr);
  EXPECT_EQ(simply->CalcHintRect(0, text, nullptr), ui::Rect(0, 0, w, h - 26));
  // Markup is measured unwrapped.
  m->HTMLMode = true;
  EXPECT_GT(simply->CalcHintRect(0, text, nullptr).Right, w);
  m->HTMLMode = false;
  // Without the shadow nothing is kept for it; huge margins stay a bitmap's size.
  m->sStyle().Shadow().SetEnabled(false);
  EXPECT_EQ(simply->CalcHintRect(0, text, nullptr), ui::Rect(0, 0, w - 16, h - 26 - 16));
  m->MarginH = 2000000000;
  EXPECT_EQ(simply->CalcHintRect(0, text, nullptr).Right, ui::kMaxGraphicSide);
}

TEST_F(HintWindows, OpensAboveLeftNearTheDesktopCorner) {
  auto m = SetupLikeManager();
  auto& app = ui::Application();
  app.HintHidePause = 100;
  ui::Backend().SetCursorPos(ui::TPoint{1000, 740});
  auto w = ui::CreateOwned<TsEllipseHintWindow>(nullptr);
  w->ActivateHint(ui::Rect(0, 0, 120, 80), "corner");
  EXPECT_EQ(w->Corner, 3);
  EXPECT_EQ(w->BoundsRect(), ui::Bounds(880, 660, 120, 80));
  EXPECT_TRUE(w->Visible());
  EXPECT_EQ(w->Caption(), "corner");
  EXPECT_EQ(app.HintHidePause, 5000);
  // The simple window opens 16 pixels below the mouse point.
  ui::Backend().SetCursorPos(ui::TPoint{100, 100});
  auto s = ui::CreateOwned<TsSimplyHintWindow>(nullptr);
  s->ActivateHint(ui::Rect(0, 0, 50, 30), "low");
  EXPECT_EQ(s->BoundsRect(), ui::Bounds(100, 116, 50, 30));
  EXPECT_EQ(s->Corner, 0);
}

TEST_F(HintWindows, EllipsePixelsOverTheScreen) {
  auto m = SetupLikeManager();
  TBitmap before;
  ASSERT_TRUE(ui::Backend().CaptureScreen(before));
  auto* w = dynamic_cast<TsEllipseHintWindow*>(ShowHintOf(button));
  ASSERT_NE(w, nullptr);
  ASSERT_TRUE(w->Visible());
  EXPECT_EQ(w->Corner, 0);
  TBitmap after;
  ASSERT_TRUE(ui::Backend().CaptureScreen(after));
  const TEllipseProbes probes = ProbeEllipse(before, after, *w, 16, 26);
  EXPECT_EQ(probes.Body, ui::RGB(252, 252, 194));
  EXPECT_EQ(probes.Outline, ui::clBlack);
  // The inner shadow: the screen tinted to 188 / 256 (74 % transparent).
  EXPECT_TRUE(Darker(probes.Shadow, probes.ShadowScreen));
  const TColor s = probes.ShadowScreen;
  EXPECT_TRUE(Near(probes.Shadow,
                   ui::RGB(ui::GetRValue(s) * 188 / 256, ui::GetGValue(s) * 188 / 256, ui::GetBValue(s) * 188 / 256),
                   1));
  EXPECT_TRUE(probes.OutsideUnchanged);
  EXPECT_TRUE(probes.CornerNearlyUnchanged);
}

TEST_F(HintWindows, RepaintsAreTheSame) {
  auto m = SetupLikeManager();
  ui::THintWindow* w = ShowHintOf(button);
  ASSERT_NE(w, nullptr);
  TBitmap first;
  first.Assign(&w->WindowBitmap());
  for (int i = 0; i < 2; ++i) {
    w->Invalidate();
    THeadlessDriver::Pump();
  }
  EXPECT_EQ(first.SaveToBytes(), w->WindowBitmap().SaveToBytes());
}

// A screen pixel under the inner shadow: tinted to 188 / 256 (74 % transparent).
TColor Shaded(TColor c) {
  return ui::RGB(ui::GetRValue(c) * 188 / 256, ui::GetGValue(c) * 188 / 256, ui::GetBValue(c) * 188 / 256);
}

TEST_F(HintWindows, BevelAndShadowSettings) {
  auto m = SetupLikeManager();
  struct TLook {
    TColor Edge, NextToEdge;
    int Shaded;
  };
  auto look = [&](int bevel, bool shadow) {
    m->BevelWidth = bevel;
    m->sStyle().Shadow().SetEnabled(shadow);
    TBitmap before;
    ui::Backend().CaptureScreen(before);
    ui::THintWindow* w = ShowHintOf(button);
    const ui::TRect at = w->BoundsRect();
    const ui::TRect body = TailBodyRect(0, at.Width(), at.Height(), shadow ? 16 : 0, 26);
    const int cy = (body.Top + body.Bottom) / 2;
    const TBitmap& pixels = w->WindowBitmap();
    auto screen = [&](int x, int y) { return At(before, at.Left + x, at.Top + y); };
    int x = 0;
    while (x < at.Width() && Near(At(pixels, x, cy), screen(x, cy), 2)) ++x;
    TLook out{At(pixels, x, cy), At(pixels, x + 1, cy), 0};
    for (int y = 0; y < at.Height(); ++y)
      for (int i = 0; i < at.Width(); ++i)
        out.Shaded += screen(i, y) != ui::clBlack && Near(At(pixels, i, y), Shaded(screen(i, y)), 1);
    return out;
  };
  const TColor body = ui::RGB(252, 252, 194);
  // One pixel of outline whatever the width; none at 0.
  const TLook wide = look(5, true);
  EXPECT_EQ(wide.Edge, ui::clBlack);
  EXPECT_EQ(wide.NextToEdge, body);
  EXPECT_GT(wide.Shaded, 100);
  EXPECT_EQ(look(0, true).Edge, body);
  // Without the shadow nothing is darkened.
  EXPECT_EQ(look(1, false).Shaded, 0);
}

// Every predefined look opens at each corner of the mouse point and paints
// its body over the screen.
TEST_F(HintWindows, EveryLookPaintsAtEveryCorner) {
  auto m = ui::CreateOwned<TsHintManager>(nullptr);
  auto& app = ui::Application();
  TBitmap screen;
  for (const auto look : {TsHintsPredefinitions::shSimply, TsHintsPredefinitions::shGradient,
                          TsHintsPredefinitions::shTransparent, TsHintsPredefinitions::shEllipse,
                          TsHintsPredefinitions::shBalloon, TsHintsPredefinitions::shComicsGradient,
                          TsHintsPredefinitions::shComicsTransparent}) {
    m->SetPreDefinitions(look);
    const std::array<ui::TPoint, 4> mice{{{300, 200}, {300, 740}, {1000, 200}, {1000, 740}}};
    for (THintCorner corner = 0; corner < 4; ++corner) {
      const ui::TPoint mouse = mice[corner];
      ui::Backend().SetCursorPos(mouse);
      ASSERT_TRUE(ui::Backend().CaptureScreen(screen));
      ui::THintWindow* w = app.HintWindowClass()(&app);
      w->ActivateHint(w->CalcHintRect(0, "A hint of two words", nullptr), "A hint of two words");
      THeadlessDriver::Pump();
      const ui::TRect at = w->BoundsRect();
      const int middle = (at.Top + at.Bottom) / 2;
      EXPECT_TRUE(w->Visible());
      EXPECT_EQ(dynamic_cast<TsCustomHintWindow*>(w)->Corner, corner);
      EXPECT_NE(At(w->WindowBitmap(), at.Width() / 3, at.Height() / 2), At(screen, at.Left + at.Width() / 3, middle))
          << int(look) << " at " << mouse.X << "," << mouse.Y;
      ui::TComponent::Free(w);
    }
  }
}

// Shows a hint of the manager's class at (300, 200) and frees its window.
void ShowAndCheck(TsHintManager& m, TsHintsPredefinitions look, int32_t v) {
  ASSERT_EQ(ActiveHintManager(), &m);
  auto& app = ui::Application();
  ui::Backend().SetCursorPos(ui::TPoint{300, 200});
  ui::THintWindow* w = app.HintWindowClass()(&app);
  w->ActivateHint(w->CalcHintRect(0, "hint", nullptr), "hint");
  THeadlessDriver::Pump();
  EXPECT_LE(w->Width(), ui::kMaxGraphicSide) << int(look) << " " << v;
  EXPECT_LE(w->Height(), ui::kMaxGraphicSide) << int(look) << " " << v;
  ui::TComponent::Free(w);
}

// The manager's numbers are any integers: a hint at their ends is placed
// and painted without overflow, each side a bitmap's at most.
TEST_F(HintWindows, ExtremeManagerNumbersPaint) {
  auto m = ui::CreateOwned<TsHintManager>(nullptr);
  for (const auto look : {TsHintsPredefinitions::shSimply, TsHintsPredefinitions::shEllipse,
                          TsHintsPredefinitions::shBalloon, TsHintsPredefinitions::shComicsGradient}) {
    for (const int32_t v : {INT32_MAX, INT32_MIN}) {
      // At a hint's usual size, any blur and corner radius; then one shrunk
      // to nothing, and (once, it is slow) the widest window there is.
      m->SetPreDefinitions(look);
      m->Blur = m->Radius = v;
      ShowAndCheck(*m, look, v);
      if (v > 0 && look != TsHintsPredefinitions::shEllipse) continue;
      m->SetPreDefinitions(look);
      m->MarginH = v;
      if (v < 0) m->MarginV = m->BevelWidth = m->ExOffset = v;
      ShowAndCheck(*m, look, v);
    }
  }
}

// The tail's room, the shadow's offset, the bevel and the margins at
// either end: every shape measures its hint within a bitmap's side and
// paints a hint window of the usual size without overflow (checked under
// UBSan).
TEST_F(HintWindows, NumbersAtTheirEndsPaintAUsualWindow) {
  using Set = void (*)(TsHintManager&, int32_t);
  const std::pair<const char*, Set> numbers[] = {
      {"ExOffset", [](TsHintManager& m, int32_t v) { m.ExOffset = v; }},
      {"shadow Offset", [](TsHintManager& m, int32_t v) { m.sStyle().Shadow().SetOffset(v); }},
      {"BevelWidth", [](TsHintManager& m, int32_t v) { m.BevelWidth = v; }},
      {"MarginH", [](TsHintManager& m, int32_t v) { m.MarginH = v; }},
      {"MarginV", [](TsHintManager& m, int32_t v) { m.MarginV = v; }},
  };
  auto m = ui::CreateOwned<TsHintManager>(nullptr);
  auto& app = ui::Application();
  ui::Backend().SetCursorPos(ui::TPoint{300, 200});
  for (const auto look : {TsHintsPredefinitions::shSimply, TsHintsPredefinitions::shEllipse,
                          TsHintsPredefinitions::shBalloon, TsHintsPredefinitions::shComicsGradient}) {
    for (const auto& [name, set] : numbers) {
      for (const int32_t v : {INT32_MAX, INT32_MIN}) {
        m->SetPreDefinitions(look);
        set(*m, v);
        ui::THintWindow* w = app.HintWindowClass()(&app);
        const ui::TRect r = w->CalcHintRect(0, "hint", nullptr);
        EXPECT_LE(std::max(r.Width(), r.Height()), ui::kMaxGraphicSide) << name << " " << v;
        w->ActivateHint(ui::Rect(0, 0, 240, 120), "hint");
        THeadlessDriver::Pump();
        EXPECT_TRUE(w->Visible()) << name << " " << v;
        ui::TComponent::Free(w);
      }
    }
  }
}

}  // namespace

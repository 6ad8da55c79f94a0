// The style objects' protocol: the style query, the library messages, the
// hot look, the window region, the skin indexes, the owner's destruction.
#include <gtest/gtest.h>

#include "platform/ui/Edit.h"
#include "platform/ui/Form.h"
#include "platform/ui/Headless.h"
#include "platform/ui/Panels.h"
#include "platform/ui/Region.h"
#include "skin/sStyleActive.h"
#include "skin/sStyleSimply.h"
#include "skin/sStyleUtil.h"
#include "tests/skin/StandInControls.h"

using namespace skin;
using namespace skintest;
namespace ui = platform::ui;
namespace msg = platform::win;
using ui::LPARAM;
using ui::WPARAM;

namespace {

using StyleTest = StyledFormTest;

TEST_F(StyleTest, StyleQueryAnswersStyledControlsOnly) {
  auto* plain = ui::CreateChild<ui::TPanel>(form.get(), form.get(), "Plain");
  auto component = ui::CreateOwned<ui::TComponent>(nullptr);
  EXPECT_EQ(GetStyleKind(button), 1);
  EXPECT_EQ(GetStyleOf(button), static_cast<TsGenStyle*>(&style()));
  EXPECT_EQ(GetStyleKind(plain), 0);
  EXPECT_EQ(GetStyleOf(plain), nullptr);
  EXPECT_EQ(GetStyleOf(nullptr), nullptr);
  EXPECT_EQ(GetStyleKind(nullptr), 0);
  EXPECT_EQ(GetStyleOf(component.get()), nullptr);
  EXPECT_EQ(GetStyleKind(component.get()), 0);
  EXPECT_EQ(style().StyleKind(), kKindBitBtn);
}

TEST_F(StyleTest, LibraryMessagesActOnlyForTheirGroup) {
  TsShadow& shadow = style().Effects().Shadow();
  struct Case {
    uint32_t number;
    WPARAM group;
    LPARAM value;
    TColor wantColour;
    bool wantStale;
  } cases[] = {
      {msg::SM_SHADOWCOLOR, 5, 0x123456, 0, false},
      {msg::SM_SHADOWCOLOR, 0, 0x123456, 0x123456, true},
      {msg::SM_CACHESTALE, 0, 0, 0, false},
      {msg::SM_CACHESTALE, 0, 1, 0, true},
      {msg::SM_CACHESTALE, 0, -1, 0, true},
      {msg::SM_CACHESTALE, 3, 0, 0, true},  // another group: the flag stays set
  };
  for (const Case& c : cases) {
    style().SetCacheStale(c.number == msg::SM_CACHESTALE && c.group != 0);
    shadow.StoreColor(0);
    button->Perform(c.number, c.group, c.value);
    EXPECT_EQ(shadow.Color(), c.wantColour) << std::hex << c.number << " group " << c.group;
    EXPECT_EQ(style().CacheStale(), c.wantStale) << std::hex << c.number << " group " << c.group;
  }

  // The skin messages; the section repaint acts while the (upper-case)
  // section equals the library's current one, empty here.
  struct SkinCase {
    uint32_t number;
    const char* section;
    bool wantPending, wantStale, wantPaint;
  } skinCases[] = {
      {msg::SM_SKINLOADED, "", true, true, false},     {msg::SM_SKINREMOVED, "", true, true, false},
      {msg::SM_SKINRESET, "", false, false, false},    {msg::SM_INVALIDATE, "", false, true, false},
      {msg::SM_SECTIONREPAINT, "", true, true, true},  {msg::SM_SECTIONREPAINT, "TsBitBtn", false, false, false},
      {msg::SM_SECTIONTRANSPARENCY, "", false, false, false},
  };
  for (const SkinCase& c : skinCases) {
    style().SetSkinSection(c.section);
    style().SetRegionPending(false);
    style().SetCacheStale(false);
    const int paints = button->PaintCount();
    button->Perform(c.number, 0, 0);
    EXPECT_EQ(style().RegionPending(), c.wantPending) << std::hex << c.number << " " << c.section;
    EXPECT_EQ(style().CacheStale(), c.wantStale) << std::hex << c.number << " " << c.section;
    EXPECT_EQ(button->PaintCount() > paints, c.wantPaint) << std::hex << c.number << " " << c.section;
    EXPECT_EQ(style().SkinIndex(), -1);
    EXPECT_EQ(style().MaskIndex(), -1);
  }

  // 0xA408 answers the cache through the shared record; kinds 7 and 8 do
  // not count as a background.
  for (const int32_t kind : {kKindBitBtn, 7, 8}) {
    style().SetStyleKind(kind);
    ParentBackgroundInfo() = TBackSource{};
    button->Perform(msg::SM_PARENTBACKGROUND, 0, 0);
    EXPECT_EQ(ParentBackgroundInfo().Bitmap, &style().Cache());
    EXPECT_EQ(ParentBackgroundInfo().Valid, kind == kKindBitBtn) << kind;
  }

  // The shadow values of the messages are bounded.
  const struct {
    uint32_t number;
    LPARAM value;
    int32_t want;
  } bounded[] = {{msg::SM_SHADOWTRANSPARENCY, 150, 100}, {msg::SM_SHADOWTRANSPARENCY, -3, 0},
                 {msg::SM_SHADOWTRANSPARENCY, 40, 40},   {msg::SM_SHADOWOFFSET, LPARAM(1) << 40, ui::kMaxGraphicSide},
                 {msg::SM_SHADOWBLUR, 7, 7}};
  for (const auto& b : bounded) {
    button->Perform(b.number, 0, b.value);
    const int32_t got = b.number == msg::SM_SHADOWTRANSPARENCY ? shadow.Transparency()
                        : b.number == msg::SM_SHADOWOFFSET       ? shadow.Offset()
                                                                 : shadow.Blur();
    EXPECT_EQ(got, b.want) << std::hex << b.number;
  }

  // 0xA451 cannot switch the shadow on while DontUse holds; 0xA43D goes
  // through the painting's setter; 0xA433 sets SoftControl.
  button->Perform(msg::SM_SHADOWENABLED, 0, 1);
  EXPECT_FALSE(shadow.Enabled());
  shadow.SetDontUse(false);
  button->Perform(msg::SM_SHADOWENABLED, 0, 1);
  EXPECT_TRUE(shadow.Enabled());
  button->Perform(msg::SM_PAINTCOLOR, 0, 0x00FF00);
  EXPECT_EQ(style().Painting().Color(), 0x00FF00);
  EXPECT_FALSE(style().Painting().ParentColor());
  EXPECT_EQ(button->Color(), 0x00FF00);
  button->Perform(msg::SM_SOFTCONTROL, 0, 0);
  EXPECT_FALSE(style().SoftControl());
  // 0xA415..0xA432 are not handled: 0xA420 with group 0 leaves the record.
  ui::TMessage other{0xA420, 0, 77, 0};
  button->Perform(other);
  EXPECT_EQ(other.LParam, 77);
}

TEST_F(StyleTest, HotInItsOrder) {
  struct Case {
    bool activeDefault, enabled, down, focused;
    int32_t kind;
    bool want;
  } cases[] = {
      {true, false, false, false, kKindBitBtn, true},   // active default even when disabled
      {false, false, true, true, kKindBitBtn, false},   // disabled before Down and focus
      {false, true, true, false, 60, true},             // Down before the hotless kinds
      {false, true, false, true, 60, false},            // hotless kind with focus
      {false, true, false, true, kKindBitBtn, true},    // focus
      {false, true, false, false, kKindBitBtn, false},  // nothing
  };
  for (const Case& c : cases) {
    button->activeDefault = c.activeDefault;
    button->down = c.down;
    button->SetEnabled(c.enabled);
    style().SetStyleKind(c.kind);
    FocusButton(c.focused);
    EXPECT_EQ(style().IsHot(), c.want) << c.activeDefault << c.enabled << c.down << c.focused << " " << c.kind;
  }
}

TEST_F(StyleTest, MouseEntryOnlyInvalidatesOrFades) {
  ui::TControl* other = edit;
  struct Case {
    bool fading;
    bool focused;
    int32_t kind;
    int wantFadeIns;
    bool wantStale;
  } cases[] = {
      {false, false, kKindBitBtn, 0, true},
      {true, false, kKindBitBtn, 1, false},
      {true, true, kKindBitBtn, 0, false},  // a focused button does not react
      {true, false, 60, 0, false},          // nor does a hotless kind
  };
  for (const Case& c : cases) {
    ui::THeadlessDriver::MoveTo(other);
    FocusButton(c.focused);
    style().BtnEffects().Fading().SetEnabled(c.fading);
    style().SetStyleKind(c.kind);
    button->fadeIns = 0;
    ui::THeadlessDriver::Pump();
    style().SetCacheStale(false);
    ui::TMessage enter{ui::CM_MOUSEENTER, 0, 0, 0};
    button->Perform(enter);
    EXPECT_EQ(enter.Result, 1);
    EXPECT_EQ(button->fadeIns, c.wantFadeIns);
    EXPECT_EQ(style().CacheStale(), c.wantStale);
    EXPECT_EQ(style().IsHot(), c.focused);
  }
  FocusButton(false);
  // The driver's pointer: entering and leaving the button fades in and out.
  style().SetStyleKind(kKindBitBtn);
  button->fadeIns = button->fadeOuts = 0;
  ui::THeadlessDriver::MoveTo(button);
  ui::THeadlessDriver::MoveTo(other);
  EXPECT_EQ(button->fadeIns, 1);
  EXPECT_EQ(button->fadeOuts, 1);
}

TEST_F(StyleTest, WindowRegionCutsCornersAndHandlesReturn) {
  const size_t handles = ui::LiveRegionHandles();
  struct Case {
    bool soft;
    bool masked;
    bool wantRegion;
  } cases[] = {{true, false, true}, {false, false, false}, {true, true, true}, {false, true, false}};
  for (const Case& c : cases) {
    button->SetWindowRgn(nullptr, false);
    style().SetSoftControl(c.soft);
    style().BtnEffects().MaskedBorders().SetEnabled(c.masked);
    button->SetBounds(10, 20, button->Width() == 60 ? 61 : 60, 30);
    const ui::TRegion* region = button->WindowRegion();
    ASSERT_EQ(region != nullptr, c.wantRegion) << c.soft << c.masked;
    EXPECT_EQ(ui::LiveRegionHandles(), handles);
    EXPECT_TRUE(style().RegionPending());
    if (!c.wantRegion) continue;
    const int w = button->Width(), h = button->Height();
    int inside = 0;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) inside += region->Contains(x, y);
    EXPECT_EQ(inside, w * h - 4);
    for (const ui::TPoint p : {ui::TPoint{0, 0}, {w - 1, 0}, {0, h - 1}, {w - 1, h - 1}})
      EXPECT_FALSE(region->Contains(p.X, p.Y)) << p.X << "," << p.Y;
    EXPECT_TRUE(region->Contains(1, 0));
  }
  // A style without a control builds nothing.
  TsActiveBGStyle loose(nullptr);
  loose.UpdateRegion();
  EXPECT_EQ(loose.Cache().Width(), 0);
  EXPECT_EQ(ui::LiveRegionHandles(), handles);
}

TEST_F(StyleTest, SkinIndexesAndSectionName) {
  EXPECT_EQ(style().SkinSection(), "");
  style().UpdateSkinIndexes();
  EXPECT_EQ(style().SkinSection(), "TsBitBtn");
  EXPECT_EQ(style().SkinIndex(), -1);
  EXPECT_EQ(style().MaskIndex(), -1);
  EXPECT_TRUE(style().CacheStale());
  EXPECT_EQ(style().SkinBordersMask(), nullptr);
  // A name already set stays; a plain control's style keeps it empty.
  style().SetSkinSection("OWN");
  style().UpdateSkinIndexes();
  EXPECT_EQ(style().SkinSection(), "OWN");
  TsActiveBGStyle loose(nullptr);
  loose.UpdateSkinIndexes();
  EXPECT_EQ(loose.SkinSection(), "");
}

TEST_F(StyleTest, FocusAndParentColourFollow) {
  style().SetStyleKind(5);  // kinds 1..15 are not invalidated on focus
  style().SetCacheStale(false);
  FocusButton(true);
  EXPECT_TRUE(style().HasFocus());
  EXPECT_FALSE(style().CacheStale());
  FocusButton(false);
  EXPECT_FALSE(style().HasFocus());
  EXPECT_TRUE(style().CacheStale());

  style().Painting().SetParentColor(true);
  form->SetColor(ui::clTeal);
  button->Perform(ui::CM_PARENTCOLORCHANGED, 0, 0);
  EXPECT_EQ(style().Painting().Color(), ui::clTeal);
  style().Painting().SetColor(ui::clRed);
  EXPECT_FALSE(style().Painting().ParentColor());
  button->Perform(ui::CM_PARENTCOLORCHANGED, 0, 0);
  EXPECT_EQ(style().Painting().Color(), ui::clRed);
}

TEST_F(StyleTest, GroupRefreshAndOwnerForm) {
  PerformGroupRefresh(button, false);
  EXPECT_FALSE(style().CacheStale());
  PerformGroupRefresh(button, true);
  EXPECT_TRUE(style().CacheStale());
  PerformGroupRefresh(nullptr, true);

  EXPECT_EQ(FindOwnerForm(button), form.get());
  auto lonely = ui::CreateOwned<ui::TComponent>(nullptr);
  auto* child = ui::Create<ui::TComponent>(lonely.get());
  EXPECT_EQ(FindOwnerForm(child), nullptr);
  EXPECT_EQ(FindOwnerForm(nullptr), nullptr);
}

// The owner frees its style last, with the pointer cleared: the style's
// own farewell (the parent repaints over its shadow) reaches the parent,
// and nothing reaches the freed style.
TEST_F(StyleTest, OwnerFreesItsStyleLast) {
  auto* inner = ui::CreateChild<StandInButton>(form.get(), panel, "Inner");
  inner->SetBounds(10, 10, 60, 25);
  inner->sStyle().Effects().Shadow().SetEnabled(true);
  ASSERT_TRUE(inner->sStyle().Effects().Shadow().Enabled());
  ui::THeadlessDriver::Pump();
  panel->sStyle().SetCacheStale(false);
  const int paints = panel->PaintCount();
  ui::TComponent::Free(inner);
  EXPECT_TRUE(panel->sStyle().CacheStale());
  EXPECT_GT(panel->PaintCount(), paints);
  // Freeing the whole form frees parents and children without a parent
  // repaint reaching a destroyed control.
  form.reset();
}

}  // namespace

// The styled buttons through the headless driver: construction values,
// layout, mouse and keyboard input with its one-click guarantees, the
// default button, the cross-fade, the action link and the window region.

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "platform/ui/Actions.h"
#include "platform/ui/Application.h"
#include "platform/ui/Edit.h"
#include "platform/ui/Form.h"
#include "platform/ui/Headless.h"
#include "platform/ui/ImageList.h"
#include "platform/win/MessageLoop.h"
#include "skin/sCustomButton.h"
#include "skin/sFormButtons.h"
#include "skin/sStyleUtil.h"

namespace skin {
namespace {

namespace ui = platform::ui;
using Driver = ui::THeadlessDriver;
using ui::Create;
using ui::TAlignment;
using ui::TButtonLayout;

class Buttons : public ::testing::Test {
 protected:
  void SetUp() override {
    Driver::Reset();
    form_ = ui::CreateOwned<ui::TForm>(nullptr);
    form_->SetBounds(0, 0, 400, 300);
  }
  void TearDown() override {
    form_.reset();
    Driver::Pump();
  }
  // A form button at (x, 20) counting its clicks.
  TsBitBtn* Add(const char* name, int x) {
    TsBitBtn* b = CreateFormButton(form_.get(), form_.get(), name);
    b->SetBounds(x, 20, 75, 25);
    b->SetCaption(name);
    b->OnClick = [this, b](ui::TObject*) { clicks_.push_back(b->Name()); };
    return b;
  }
  // An edit below the buttons, to hold the focus away from them.
  ui::TEdit* AddEdit() {
    auto* edit = ui::CreateChild<ui::TEdit>(form_.get(), form_.get(), "Edit");
    edit->SetBounds(10, 100, 100, 21);
    return edit;
  }
  void Show() {
    form_->Show();
    Driver::Pump();
  }
  ui::TComponentPtr<ui::TForm> form_;
  std::vector<std::string> clicks_;
};

using Clicks = std::vector<std::string>;

TEST_F(Buttons, NewButtonsCarryTheirSizesKindsAndBoundedValues) {
  auto* control = Create<TsButtonControl>(form_.get());
  auto* button = Create<TsButton>(form_.get());
  auto* bit = Create<TsBitBtn>(form_.get());
  EXPECT_EQ(control->Width(), 84);
  EXPECT_EQ(control->Height(), 22);
  EXPECT_FALSE(control->TabStop());
  for (TsButtonControl* b : {static_cast<TsButtonControl*>(button), static_cast<TsButtonControl*>(bit)}) {
    EXPECT_EQ(b->Width(), 75);
    EXPECT_EQ(b->Height(), 25);
    EXPECT_TRUE(b->TabStop());
  }
  EXPECT_EQ(control->sStyle().StyleKind(), 91);
  EXPECT_EQ(button->sStyle().StyleKind(), 93);
  EXPECT_EQ(bit->sStyle().StyleKind(), 94);
  EXPECT_EQ(bit->sStyle().SkinSection(), "TsBitBtn");  // the class name fills an empty section
  EXPECT_EQ(GetStyleKind(bit), 1);
  EXPECT_EQ(GetStyleOf(bit), &bit->sStyle());
  EXPECT_EQ(control->ControlStyle() & ui::csClickEvents, 0u);
  EXPECT_EQ(bit->DisabledKind(), dkBlended);
  EXPECT_EQ(bit->DisabledGlyphKind(), dgBlended);
  EXPECT_EQ(bit->Spacing(), 3);
  EXPECT_EQ(bit->BevelWidth(), 2);
  for (auto [in, out] : {std::pair{150, 100}, {-5, 0}, {40, 40}}) {
    bit->SetBlend(in);
    EXPECT_EQ(bit->Blend(), out) << in;
  }
  for (auto [in, out] : {std::pair{0, 1}, {-3, 1}, {2, 2}}) {
    bit->SetNumGlyphs(in);
    EXPECT_EQ(bit->NumGlyphs(), out) << in;
  }
}

TEST_F(Buttons, GlyphAndCaptionLayout) {
  // A 30 x 13 caption in 75 x 25 without a glyph: centred with one extra
  // pixel on the left and two on the right.
  TsButtonMetrics m{.Width = 75, .Height = 25, .Spacing = 3, .TextWidth = 30, .TextHeight = 13, .HasCaption = true};
  int32_t flag = -1;
  EXPECT_EQ(LayoutCaptionRect(m, flag), ui::Rect(21, 6, 55, 19));
  EXPECT_EQ(flag, 0);
  m.Down = true;
  EXPECT_EQ(LayoutCaptionRect(m, flag), ui::Rect(22, 7, 56, 20));

  // A 16 x 16 glyph and a 30 x 13 caption in 100 x 40, Margin 2.
  struct Case {
    TButtonLayout layout;
    TAlignment alignment;
    ui::TRect glyph;
    ui::TRect caption;
    int32_t flag;
  };
  const Case cases[] = {
      {TButtonLayout::blGlyphLeft, TAlignment::taCenter, {25, 12, 41, 28}, {43, 13, 77, 27}, 0},
      {TButtonLayout::blGlyphLeft, TAlignment::taLeftJustify, {2, 12, 18, 28}, {20, 13, 54, 27}, 0},
      {TButtonLayout::blGlyphLeft, TAlignment::taRightJustify, {48, 12, 64, 28}, {66, 13, 100, 27}, 0},
      {TButtonLayout::blGlyphRight, TAlignment::taCenter, {58, 12, 74, 28}, {24, 13, 57, 27}, 2},
      {TButtonLayout::blGlyphRight, TAlignment::taLeftJustify, {33, 12, 49, 28}, {1, 13, 34, 27}, 2},
      {TButtonLayout::blGlyphRight, TAlignment::taRightJustify, {82, 12, 98, 28}, {47, 13, 80, 27}, 2},
      {TButtonLayout::blGlyphTop, TAlignment::taCenter, {42, 4, 58, 20}, {34, 23, 67, 36}, 1},
      {TButtonLayout::blGlyphBottom, TAlignment::taRightJustify, {42, 20, 58, 36}, {34, 4, 67, 17}, 1},
  };
  TsButtonMetrics g{.Width = 100, .Height = 40, .Margin = 2, .Spacing = 3, .GlyphWidth = 16, .GlyphHeight = 16};
  g.TextWidth = 30;
  g.TextHeight = 13;
  g.HasCaption = true;
  for (const Case& c : cases) {
    g.Layout = c.layout;
    g.Alignment = c.alignment;
    EXPECT_EQ(LayoutGlyphRect(g), c.glyph) << int(c.layout) << " " << int(c.alignment);
    EXPECT_EQ(LayoutCaptionRect(g, flag), c.caption) << int(c.layout) << " " << int(c.alignment);
    EXPECT_EQ(flag, c.flag);
  }

  // The control measures its caption on the cache's font and keeps the
  // caption inside its width.
  TsBitBtn* b = Add("Layout", 10);
  const ui::TSize text = b->CaptionSize();
  EXPECT_GT(text.cx, 0);
  EXPECT_LE(text.cx, b->CaptionMaxWidth());
  EXPECT_EQ(b->GlyphWidth(), 0);
  ui::TBitmap glyph;
  glyph.SetSize(32, 12);
  b->SetGlyph(&glyph);
  b->SetNumGlyphs(2);
  EXPECT_EQ(b->GlyphWidth(), 16);
  EXPECT_EQ(b->GlyphHeight(), 12);
  b->SetShowCaption(false);
  EXPECT_EQ(b->CaptionSize(), ui::TSize{});
  EXPECT_EQ(b->CaptionMaxWidth(), 0);

  // A caption that wraps is drawn centred; one line keeps the layout's flag.
  TsBitBtn* wrapped = Add("Wrapped", 100);
  wrapped->SetCaption("one two three four");
  wrapped->SetBounds(100, 20, 40, 60);
  Show();
  EXPECT_GT(wrapped->CaptionSize().cy, 2 * wrapped->Canvas().TextHeight("T"));
  EXPECT_EQ(wrapped->CaptionAlignment(), 1);
  wrapped->SetBounds(100, 20, 200, 25);
  Driver::Pump();
  EXPECT_EQ(wrapped->CaptionAlignment(), 0);
}

TEST_F(Buttons, AutoSizeFitsGlyphAndCaption) {
  TsBitBtn* b = Add("Fit", 10);
  b->SetAutoSize(true);
  const int tw = b->Canvas().TextWidth("Fit");
  const int th = b->Canvas().TextHeight("W");
  EXPECT_EQ(b->Width(), 2 * 2 + 3 + tw);  // the bevels count as a glyph: spacing follows
  EXPECT_EQ(b->Height(), std::max(4, th));
  b->SetMargin(5);
  EXPECT_EQ(b->Width(), 4 + 3 + tw + 10);
  b->SetAutoSize(false);
  b->SetBounds(10, 20, 75, 25);
  b->SetMargin(0);
  EXPECT_EQ(b->Width(), 75);  // off: the bounds stay
  // Distances at the integer ends are kept to a bitmap's side, so layout,
  // auto-size and paint stay in range.
  for (const int32_t v : {INT32_MAX, INT32_MIN}) {
    TsBitBtn* e = Add(v > 0 ? "Far" : "Near", 10);
    e->SetMargin(v);
    e->SetSpacing(v);
    e->SetBevelWidth(v);
    e->SetFocusMargin(v);
    const int32_t want = v > 0 ? ui::kMaxGraphicSide : -ui::kMaxGraphicSide;
    EXPECT_EQ((std::array{e->Margin(), e->Spacing(), e->BevelWidth(), e->FocusMargin()}),
              (std::array{want, want, want, want}));
    e->SetAutoSize(true);
    e->Repaint();
    Driver::Pump();
  }
}

TEST_F(Buttons, MousePressClicksOnceOnARelease) {
  TsBitBtn* b = Add("Press", 10);
  int downs = 0;
  b->OnMouseDown = [&](ui::TObject*, ui::TMouseButton, ui::TShiftState, int, int) { ++downs; };
  Show();
  const ui::TPoint mid = Driver::Middle(b);

  // The press raises OnMouseDown twice (before and after going down); a
  // second press while Down only the first time.
  Driver::MouseDown(mid);
  EXPECT_TRUE(b->Down());
  EXPECT_TRUE(b->Focused());
  EXPECT_EQ(downs, 2);
  Driver::MouseDown(mid);
  EXPECT_EQ(downs, 3);
  EXPECT_TRUE(clicks_.empty());

  // Released outside: up without a click.
  Driver::MouseUp(ui::TPoint{mid.X + 200, mid.Y});
  EXPECT_FALSE(b->Down());
  EXPECT_TRUE(clicks_.empty());

  // Released inside: one click.
  Driver::Click(b);
  EXPECT_EQ(clicks_, Clicks{"Press"});

  // A key released during a press clicks; the mouse release then does not.
  clicks_.clear();
  Driver::MouseDown(mid);
  ui::SafePerform(b, ui::WM_KEYUP, 'A', 0);
  EXPECT_FALSE(b->Down());
  Driver::MouseUp(mid);
  EXPECT_EQ(clicks_, Clicks{"Press"});

  // Only the left button presses.
  clicks_.clear();
  Driver::RightClick(b);
  EXPECT_FALSE(b->Down());
  EXPECT_TRUE(clicks_.empty());
}

TEST_F(Buttons, KeysClickTheRightButtonOnce) {
  TsBitBtn* ok = Add("Ok", 10);
  TsBitBtn* cancel = Add("Cancel", 100);
  ui::TEdit* edit = AddEdit();
  ok->SetDefault(true);
  ok->SetModalResult(ui::mrOk);
  cancel->SetCancel(true);
  Show();
  edit->SetFocus();
  EXPECT_TRUE(ok->Active());
  EXPECT_FALSE(cancel->Active());

  Driver::PressKey(ui::VK_RETURN);
  EXPECT_EQ(clicks_, Clicks{"Ok"});
  EXPECT_EQ(form_->ModalResult(), ui::mrOk);
  EXPECT_FALSE(ok->Down());
  Driver::PressKey(ui::VK_ESCAPE);
  EXPECT_EQ(clicks_, (Clicks{"Ok", "Cancel"}));
  EXPECT_EQ(form_->ModalResult(), ui::mrNone);  // Click sets it even to 0
  for (ui::TShiftState s : {ui::ssShift, ui::ssCtrl, ui::ssAlt}) {
    Driver::PressKey(ui::VK_RETURN, s);
    Driver::PressKey(ui::VK_ESCAPE, s);
  }
  EXPECT_EQ(clicks_.size(), 2u);

  // A focused button is the active one: Enter clicks it, not the default.
  clicks_.clear();
  cancel->SetFocus();
  EXPECT_TRUE(cancel->Active());
  EXPECT_FALSE(ok->Active());
  Driver::PressKey(ui::VK_RETURN);
  EXPECT_EQ(clicks_, Clicks{"Cancel"});

  // Space presses the focused button and its release clicks it.
  clicks_.clear();
  Driver::PressKey(ui::VK_SPACE);
  EXPECT_EQ(clicks_, Clicks{"Cancel"});
  EXPECT_FALSE(cancel->Down());

  // The accelerator presses and clicks at once: nothing stays pressed.
  clicks_.clear();
  ok->SetCaption("&Ok");
  edit->SetFocus();
  Driver::AltChar('o');
  EXPECT_EQ(clicks_, Clicks{"Ok"});
  EXPECT_FALSE(ok->Down());

  // The command notification clicks for code 0 only.
  ui::SafePerform(cancel, ui::CN_COMMAND, 1u << 16, 0);
  ui::SafePerform(cancel, ui::CN_COMMAND, 0, 0);
  EXPECT_EQ(clicks_, (Clicks{"Ok", "Cancel"}));
}

TEST_F(Buttons, EnterWithItsReleaseQueuedClicksOnce) {
  TsBitBtn* ok = Add("Ok", 10);
  ok->SetDefault(true);
  Show();
  ok->SetFocus();
  // The release arrives while Enter's click processes messages, as a
  // display's key release does.
  constexpr uint32_t kRelease = platform::win::WM_USER + 7;
  form_->SetMessageHandler(kRelease, [ok](ui::TMessage& m) {
    ui::SafePerform(ok, ui::WM_KEYUP, ui::VK_RETURN, 0);
    m.Result = 1;
  });
  platform::win::PostMessage(form_->Handle(), kRelease, 0, 0);
  Driver::PressKey(ui::VK_RETURN);
  Driver::Pump();
  EXPECT_EQ(clicks_, Clicks{"Ok"});
}

// A button freed by a handler that runs while its Enter processes
// messages is not touched again.
TEST_F(Buttons, ButtonFreedWhileItsEnterProcessesMessagesIsLeftAlone) {
  TsBitBtn* ok = Add("Ok", 10);
  ok->SetDefault(true);
  ui::TEdit* edit = AddEdit();
  Show();
  edit->SetFocus();
  constexpr uint32_t kFree = platform::win::WM_USER + 8;
  form_->SetMessageHandler(kFree, [ok](ui::TMessage& m) {
    ui::TComponent::Free(ok);
    m.Result = 1;
  });
  platform::win::PostMessage(form_->Handle(), kFree, 0, 0);
  Driver::PressKey(ui::VK_RETURN);
  EXPECT_EQ(form_->FindComponent("Ok"), nullptr);
  EXPECT_TRUE(clicks_.empty());
}

// A click handler that frees its button, or its whole form: no path
// touches either afterwards, with the focus on the button or away from it
// (checked under ASan).
TEST_F(Buttons, ClickThatFreesItsButtonOrFormEndsEveryPath) {
  using Press = std::function<void(TsBitBtn*)>;
  const Press enter = [](TsBitBtn*) { Driver::PressKey(ui::VK_RETURN); };
  const Press esc = [](TsBitBtn*) { Driver::PressKey(ui::VK_ESCAPE); };
  const Press accel = [](TsBitBtn*) { Driver::AltChar('g'); };
  const Press mouse = [](TsBitBtn* b) { Driver::Click(b); };
  const struct {
    const char* path;
    bool focusOnButton, freeForm;
    Press press;
  } paths[] = {
      {"key up", true, false, [](TsBitBtn*) { Driver::PressKey(ui::VK_SPACE); }},
      {"Enter", false, false, enter},
      {"Enter, focused", true, false, enter},
      {"Esc, focused", true, false, esc},
      {"accelerator", false, false, accel},
      {"accelerator, focused", true, false, accel},
      {"mouse up", false, false, mouse},
      {"form: Enter", false, true, enter},
      {"form: Enter, focused", true, true, enter},
      {"form: Esc", false, true, esc},
      {"form: accelerator", false, true, accel},
      {"form: accelerator, focused", true, true, accel},
      {"form: mouse up", false, true, mouse},
  };
  for (const auto& p : paths) {
    if (form_ == nullptr) SetUp();
    clicks_.clear();
    ui::TEdit* edit = AddEdit();
    Show();
    TsBitBtn* b = Add("Gone", 10);
    b->SetCaption("&Gone");
    b->SetDefault(true);
    b->SetCancel(true);
    b->OnClick = [this, freeForm = p.freeForm](ui::TObject* sender) {
      clicks_.push_back("Gone");
      ui::TComponent::Free(freeForm ? form_.release() : dynamic_cast<ui::TComponent*>(sender));
    };
    Driver::Pump();
    (p.focusOnButton ? static_cast<ui::TWinControl*>(b) : edit)->SetFocus();
    p.press(b);
    EXPECT_EQ(clicks_, Clicks{"Gone"}) << p.path;
    if (p.freeForm)
      EXPECT_EQ(form_, nullptr) << p.path;
    else
      EXPECT_EQ(form_->FindComponent("Gone"), nullptr) << p.path;
    form_.reset();
  }
}

TEST_F(Buttons, DefaultButtonFollowsTheFocusAndTellsTheForm) {
  TsBitBtn* a = Add("A", 10);
  TsBitBtn* b = Add("B", 100);
  ui::TEdit* edit = AddEdit();
  Show();
  edit->SetFocus();
  b->SetDefault(true);  // the form tells every button
  EXPECT_TRUE(b->Active());
  EXPECT_TRUE(b->IsActiveDefault());
  EXPECT_FALSE(a->Active());
  a->SetFocus();
  EXPECT_TRUE(a->Active());
  EXPECT_FALSE(b->Active());
  EXPECT_FALSE(b->IsActiveDefault());
  EXPECT_FALSE(a->IsActiveDefault());  // active, but not a default button
  edit->SetFocus();
  EXPECT_TRUE(b->Active());
  EXPECT_FALSE(a->Active());
  // A button that gets its parent is active when it is a default button.
  auto* late = Create<TsBitBtn>(form_.get());
  late->SetDefault(true);
  late->SetParent(form_.get());
  EXPECT_TRUE(late->Active());
}

TEST_F(Buttons, MouseEnterAndLeaveRaiseTheEventsAndFadeWhenEnabled) {
  TsBitBtn* b = Add("Fade", 10);
  ui::TEdit* other = AddEdit();
  std::vector<std::string> events;
  b->OnMouseEnter = [&](ui::TObject*) { events.push_back("enter"); };
  b->OnMouseLeave = [&](ui::TObject*) { events.push_back("leave"); };
  Show();
  other->SetFocus();  // a focused button is hot already and does not fade
  // The forms' fading is off: the timer never starts.
  Driver::MoveTo(b);
  EXPECT_FALSE(b->FadeTimer().Running());
  Driver::MoveTo(other);
  EXPECT_EQ(events, (std::vector<std::string>{"enter", "leave"}));

  TsFading& fading = b->sStyle().BtnEffects().Fading();
  fading.SetEnabled(true);
  fading.SetIterations(4);
  fading.SetIntervalIn(1);
  fading.SetIntervalOut(1);
  auto settle = [&] {
    return platform::win::WaitPumping(
        [&] {
          ui::Application().ProcessMessages();
          return !b->FadeTimer().Running();
        },
        5000);
  };
  Driver::MoveTo(b);
  EXPECT_TRUE(b->FadeTimer().Running());
  EXPECT_EQ(b->FadeTimer().Mode(), TFadeTimer::kFadingIn);
  EXPECT_TRUE(settle());
  EXPECT_EQ(b->FadeCounter(), 4);  // a complete fade-in ends at Iterations
  Driver::MoveTo(other);
  EXPECT_EQ(b->FadeTimer().Mode(), TFadeTimer::kFadingOut);
  EXPECT_TRUE(settle());
  EXPECT_EQ(b->FadeCounter(), 0);  // and the fade-out at 0

  // A press stops a fade; no steps (Iterations 0) means no fade.
  Driver::MoveTo(b);
  Driver::MouseDown(Driver::Middle(b));
  EXPECT_FALSE(b->FadeTimer().Running());
  EXPECT_EQ(b->FadeCounter(), 3);
  Driver::MouseUp(Driver::Middle(b));
  fading.SetIterations(0);
  Driver::MoveTo(other);
  EXPECT_FALSE(b->FadeTimer().Running());
}

TEST_F(Buttons, ActionLinkCarriesCaptionCheckedAndImageIndex) {
  auto* list = Create<ui::TImageList>(form_.get());
  auto* actions = Create<ui::TActionList>(form_.get());
  actions->SetImages(list);
  auto* action = Create<ui::TAction>(form_.get());
  action->SetActionList(actions);
  action->SetCaption("Run");
  action->SetImageIndex(2);
  TsBitBtn* b = Add("Run", 10);
  int executed = 0;
  action->OnExecute = [&](ui::TObject*) { ++executed; };
  b->OnClick = nullptr;
  b->SetAction(action);
  EXPECT_EQ(b->Images(), list);
  EXPECT_EQ(b->ImageIndex(), 2);
  EXPECT_EQ(b->GlyphWidth(), list->Width());  // image lists size the glyph
  action->SetCaption("Go");
  EXPECT_EQ(b->Caption(), "Go");
  action->SetChecked(true);
  EXPECT_TRUE(b->Down());
  action->SetChecked(false);
  EXPECT_FALSE(b->Down());
  action->SetImageIndex(5);
  EXPECT_EQ(b->ImageIndex(), 5);
  Show();
  Driver::Click(b);
  EXPECT_EQ(executed, 1);
  ui::TComponent::Free(list);  // the button forgets a freed list
  EXPECT_EQ(b->Images(), nullptr);
}

TEST_F(Buttons, MaskCutsTheCornersOutOfTheWindow) {
  TsBitBtn* b = Add("Corners", 10);
  Show();
  const ui::TRegion* region = b->WindowRegion();
  ASSERT_NE(region, nullptr);
  for (ui::TPoint corner : {ui::TPoint{0, 0}, {74, 0}, {0, 24}, {74, 24}}) {
    EXPECT_FALSE(region->Contains(corner.X, corner.Y)) << corner.X << "," << corner.Y;
    EXPECT_FALSE(b->HitTest(corner));
  }
  for (ui::TPoint inside : {ui::TPoint{1, 0}, {0, 1}, {37, 12}, {73, 24}})
    EXPECT_TRUE(b->HitTest(inside)) << inside.X << "," << inside.Y;
}

}  // namespace
}  // namespace skin

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/os/Time.h"
#include "platform/ui/Application.h"
#include "platform/ui/Buttons.h"
#include "platform/ui/Edit.h"
#include "platform/ui/Form.h"
#include "platform/ui/Headless.h"
#include "platform/ui/ListBox.h"
#include "platform/ui/PageControl.h"
#include "platform/ui/Panels.h"
#include "platform/win/MessageLoop.h"

using namespace platform::ui;
using Driver = THeadlessDriver;

namespace {

class Containers : public ::testing::Test {
 protected:
  void SetUp() override {
    Driver::Reset();
    form_ = CreateOwned<TForm>(nullptr);
    form_->SetBounds(10, 10, 600, 400);
  }
  void TearDown() override {
    form_.reset();
    Driver::Pump();
  }
  TComponentPtr<TForm> form_;
};

class CountingControl : public TCustomControl {
 public:
  explicit CountingControl(TComponent* owner) : TCustomControl(owner) {}
  std::vector<uint32_t> seen;

 protected:
  void Dispatch(TMessage& m) override {
    if (m.Msg == WM_ERASEBKGND || m.Msg == WM_PAINT || m.Msg == CM_MOUSEENTER || m.Msg == CM_MOUSELEAVE ||
        m.Msg == CM_SYSCOLORCHANGE)
      seen.push_back(m.Msg);
    if (m.Msg == WM_ERASEBKGND) m.Result = 1;
    TCustomControl::Dispatch(m);
  }
  void Paint() override { ++paints; }

 public:
  int paints = 0;
};

}  // namespace

TEST_F(Containers, NestedPageControlsShowOnlyTheActivePages) {
  auto* outer = Create<TPageControl>(form_.get());
  outer->SetParent(form_.get());
  outer->SetBounds(0, 0, 400, 300);
  auto* general = Create<TTabSheet>(form_.get());
  general->SetPageControl(outer);
  auto* log = Create<TTabSheet>(form_.get());
  log->SetPageControl(outer);
  auto* inner = Create<TPageControl>(form_.get());
  inner->SetParent(general);
  auto* first = Create<TTabSheet>(form_.get());
  first->SetPageControl(inner);
  auto* second = Create<TTabSheet>(form_.get());
  second->SetPageControl(inner);
  auto* edit = Create<TEdit>(form_.get());
  edit->SetParent(second);
  EXPECT_EQ(outer->ActivePage(), general);
  EXPECT_EQ(inner->ActivePageIndex(), 0);
  EXPECT_EQ(log->PageIndex(), 1);
  int changes = 0;
  inner->OnChange = [&](TObject*) { ++changes; };
  form_->Show();
  EXPECT_FALSE(edit->Showing());
  EXPECT_THROW(edit->SetFocus(), EInvalidOperation);
  Driver::SelectTab(inner, 1);
  EXPECT_EQ(changes, 1);
  EXPECT_TRUE(edit->Showing());
  edit->SetFocus();
  outer->SetActivePageIndex(1);  // by code: no event, and the focus leaves the hidden page
  EXPECT_FALSE(edit->Showing());
  EXPECT_FALSE(edit->Focused());
  outer->SetActivePageIndex(9);
  EXPECT_EQ(outer->ActivePage(), nullptr);
  auto other = CreateOwned<TPageControl>(nullptr);
  EXPECT_THROW(other->SetActivePage(general), EInvalidOperation);
  EXPECT_THROW(Driver::SelectTab(inner, 0), std::runtime_error);  // not showing
  outer->SetActivePage(general);
  bool allow = false;
  inner->OnChanging = [&](TObject*, bool& a) { a = allow; };
  Driver::SelectTab(inner, 0);
  EXPECT_EQ(inner->ActivePageIndex(), 1);
}

TEST_F(Containers, ClicksLandOnTheControlInsideAGroupBox) {
  auto* box = Create<TGroupBox>(form_.get());
  box->SetParent(form_.get());
  box->SetBounds(20, 20, 300, 200);
  auto* list = Create<TListBox>(form_.get());
  list->SetParent(box);
  list->SetAlign(TAlign::alClient);
  EXPECT_EQ(list->Width(), box->ClientWidth());
  EXPECT_EQ(list->Height(), box->ClientHeight());
  list->Items().Add("one");
  list->Items().Add("two");
  form_->Show();
  TPoint origin = list->ClientToScreen(TPoint{0, 0});
  Driver::MouseDown(TPoint{origin.X + 5, origin.Y + list->ItemHeight() + 2});
  Driver::MouseUp(TPoint{origin.X + 5, origin.Y + list->ItemHeight() + 2});
  EXPECT_EQ(list->ItemIndex(), 1);
  EXPECT_TRUE(list->Focused());
}

TEST_F(Containers, MouseEnterLeavePaintAndSystemColours) {
  auto* a = Create<CountingControl>(form_.get());
  a->SetParent(form_.get());
  a->SetBounds(0, 0, 100, 50);
  auto* b = Create<CountingControl>(form_.get());
  b->SetParent(form_.get());
  b->SetBounds(0, 100, 100, 50);
  form_->Show();
  Driver::Pump();
  EXPECT_EQ(a->paints, 1);
  EXPECT_EQ(a->seen, (std::vector<uint32_t>{WM_ERASEBKGND, WM_PAINT}));
  a->seen.clear();
  Driver::MoveTo(a);
  Driver::MoveTo(b);
  EXPECT_EQ(a->seen, (std::vector<uint32_t>{CM_MOUSEENTER, CM_MOUSELEAVE}));
  EXPECT_EQ(b->seen.back(), CM_MOUSEENTER);
  a->Invalidate();
  a->Invalidate();  // marked once
  Driver::Pump();
  EXPECT_EQ(a->paints, 2);
  a->Repaint();
  EXPECT_EQ(a->paints, 3);
  a->seen.clear();
  Driver::SystemColorsChanged();
  EXPECT_EQ(a->seen, (std::vector<uint32_t>{CM_SYSCOLORCHANGE}));
}

TEST_F(Containers, HintsShowAfterThePauseWithTheHandlersSay) {
  auto* button = Create<TButton>(form_.get());
  button->SetParent(form_.get());
  button->SetHint("Hint text");
  button->SetShowHint(true);
  form_->Show();
  Application().HintPause = 20;
  Application().HintHidePause = 100000;
  std::string shownFor;
  Application().OnShowHint = [&](std::string& hint, bool& canShow, THintInfo& info) {
    shownFor = hint;
    EXPECT_EQ(info.HintControl, button);
    hint += "!";
    canShow = true;
  };
  Driver::MoveTo(button);
  EXPECT_TRUE(platform::win::WaitPumping([&] {
    Driver::Pump();  // the application's idle step shows hints
    return !shownFor.empty();
  }, 20000));
  EXPECT_EQ(shownFor, "Hint text");
  ASSERT_NE(Application().HintWindow(), nullptr);
  EXPECT_TRUE(Application().HintWindow()->Active());
  EXPECT_EQ(Application().HintWindow()->Caption(), "Hint text!");
  Driver::MoveTo(TPoint{590, 390});
  EXPECT_FALSE(Application().HintWindow()->Active());
  Application().OnShowHint = nullptr;
  Application().HintPause = 500;
  Application().HintHidePause = 2500;
}

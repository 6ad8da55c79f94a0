#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "platform/os/Time.h"
#include "platform/ui/Application.h"
#include "platform/ui/Buttons.h"
#include "platform/ui/Form.h"
#include "platform/ui/Headless.h"
#include "platform/ui/Panels.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Timer.h"
#include "platform/win/MessageLoop.h"

using namespace platform::ui;
using Driver = THeadlessDriver;

namespace {

class FormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Driver::Reset();
    Driver::SetModalTimeout(10000);
  }
  void TearDown() override { Driver::Pump(); }
};

TButton* AddButton(TForm* form, const char* name, TModalResult result) {
  auto* b = Create<TButton>(form);
  b->SetName(name);
  b->SetParent(form);
  b->SetModalResult(result);
  return b;
}


TEST_F(FormTest, NestedShowModalEndsOnModalResult) {
  auto outer = CreateOwned<TForm>(nullptr);
  outer->SetName("Outer");
  auto* open = AddButton(outer.get(), "OpenInner", mrNone);
  auto* outerOk = AddButton(outer.get(), "OuterOk", mrOk);
  outerOk->SetTop(40);
  auto inner = CreateOwned<TForm>(nullptr);
  inner->SetName("Inner");
  auto* innerCancel = AddButton(inner.get(), "InnerCancel", mrCancel);
  (void)innerCancel;
  TModalResult innerResult = mrNone;
  bool outerBlockedMeanwhile = false;
  open->OnClick = [&](TObject*) { innerResult = inner->ShowModal(); };
  Driver::AnswerNextModal([&](TCustomForm& f) {
    EXPECT_EQ(&f, outer.get());
    Driver::Click(Driver::FindControl("Outer.OpenInner"));
    // Back in the outer loop: the inner form has ended.
    EXPECT_FALSE(inner->Visible());
    Driver::Click(Driver::FindControl("Outer.OuterOk"));
  });
  Driver::AnswerNextModal([&](TCustomForm& f) {
    EXPECT_EQ(&f, inner.get());
    outerBlockedMeanwhile = outer->ModalBlocked();
    Driver::Click(Driver::FindControl("Inner.InnerCancel"));
  });
  EXPECT_EQ(outer->ShowModal(), mrOk);
  EXPECT_EQ(innerResult, mrCancel);
  EXPECT_TRUE(outerBlockedMeanwhile);
  EXPECT_FALSE(outer->Visible());
  EXPECT_FALSE(outer->ModalBlocked());
  EXPECT_EQ(Driver::PendingModalAnswers(), 0u);
}

// A modal form that one of its handlers frees ends its loop without
// touching itself again (checked under ASan), answers the result it was
// closing with (mrCancel when none) and gives the other forms back.
TEST_F(FormTest, AModalFormFreedByItsHandlerEndsItsLoop) {
  auto other = CreateOwned<TForm>(nullptr);
  other->Show();
  const struct {
    const char* path;
    TModalResult expected;
  } paths[] = {{"OnClick", mrCancel}, {"OnCloseQuery", mrOk}, {"OnClose", mrOk}};
  for (const auto& p : paths) {
    auto* form = Create<TForm>(nullptr);
    auto* ok = AddButton(form, "Ok", mrOk);
    const auto gone = [form](auto&&...) { TComponent::Free(form); };
    if (p.path == std::string("OnClick")) {
      ok->SetModalResult(mrNone);
      ok->OnClick = gone;
    }
    if (p.path == std::string("OnCloseQuery")) form->OnCloseQuery = gone;
    if (p.path == std::string("OnClose")) form->OnClose = gone;
    Driver::AnswerNextModal([ok](TCustomForm&) { Driver::Click(ok); });
    EXPECT_EQ(form->ShowModal(), p.expected) << p.path;
    EXPECT_FALSE(other->ModalBlocked()) << p.path;
  }
}

TEST_F(FormTest, DefaultModalAnswerServesWhenNoQueuedAnswerIsLeft) {
  auto form = CreateOwned<TForm>(nullptr);
  form->SetName("Plain");
  int defaults = 0;
  Driver::SetDefaultModalAnswer([&](TCustomForm& f) {
    ++defaults;
    f.SetModalResult(mrAbort);
  });
  Driver::AnswerNextModal([](TCustomForm& f) { f.SetModalResult(mrOk); });
  EXPECT_EQ(form->ShowModal(), mrOk);
  EXPECT_EQ(form->ShowModal(), mrAbort);
  EXPECT_EQ(form->ShowModal(), mrAbort);
  EXPECT_EQ(defaults, 2);
  Driver::Reset();
  Driver::SetModalTimeout(50);
  EXPECT_EQ(form->ShowModal(), mrCancel) << "after Reset the form waits for the time-out";
  EXPECT_EQ(defaults, 2);
}

TEST_F(FormTest, CloseQueryCanKeepAModalFormOpen) {
  auto form = CreateOwned<TForm>(nullptr);
  int asked = 0;
  form->OnCloseQuery = [&](TObject*, bool& canClose) { canClose = ++asked > 1; };
  Driver::AnswerNextModal([&](TCustomForm& f) {
    f.SetModalResult(mrOk);  // refused once...
    Driver::Pump();
    EXPECT_TRUE(f.Visible());
  });
  // ...so the loop goes on until a timer asks again.
  auto timer = CreateOwned<TTimer>(nullptr);
  timer->SetInterval(20);
  timer->SetOnTimer([&](TObject*) {
    if (form->Visible()) form->SetModalResult(mrYes);
  });
  EXPECT_EQ(form->ShowModal(), mrYes);
  EXPECT_EQ(asked, 2);
}

TEST_F(FormTest, ButtonClickSetsModalResultEvenZero) {
  auto form = CreateOwned<TForm>(nullptr);
  auto* plain = AddButton(form.get(), "Plain", mrNone);
  form->Show();
  form->SetModalResult(mrOk);
  Driver::Click(plain);
  EXPECT_EQ(form->ModalResult(), mrNone);
}

TEST_F(FormTest, EscOnAOneButtonDialogWhoseButtonIsDefaultAndCancel) {
  auto form = CreateOwned<TForm>(nullptr);
  auto* ok = AddButton(form.get(), "OkBitBtn", mrOk);
  ok->SetDefault(true);
  ok->SetCancel(true);
  auto* no = AddButton(form.get(), "CancelBitBtn", mrCancel);
  no->SetCancel(true);
  no->SetVisible(false);  // the hidden button cannot take Esc
  Driver::AnswerNextModal([](TCustomForm&) { Driver::PressKey(VK_ESCAPE); });
  EXPECT_EQ(form->ShowModal(), mrOk);
}

TEST_F(FormTest, SendMessageFromAWorkerReachesAFormInShowModal) {
  auto form = CreateOwned<TForm>(nullptr);
  constexpr uint32_t kDriverState = platform::win::WM_DRIVERSTATE;
  std::thread::id handledOn;
  int handled = 0;
  form->SetMessageHandler(kDriverState, [&](TMessage& m) {
    handledOn = std::this_thread::get_id();
    ++handled;
    m.Result = 77;
  });
  const platform::win::HWND hwnd = form->Handle();
  ASSERT_NE(hwnd, 0u);
  std::atomic<platform::win::LRESULT> answer{0};
  std::thread worker;
  Driver::AnswerNextModal([&](TCustomForm& f) {
    worker = std::thread([&, hwnd] {
      answer = platform::win::SendMessage(hwnd, kDriverState, 0, 0);
      platform::win::PostMessage(hwnd, platform::win::WM_CLOSE, 0, 0);
    });
    (void)f;
  });
  EXPECT_EQ(form->ShowModal(), mrCancel);  // WM_CLOSE ends a modal form with Cancel
  worker.join();
  EXPECT_EQ(answer.load(), 77);
  EXPECT_EQ(handled, 1);
  EXPECT_EQ(handledOn, std::this_thread::get_id());
}

TEST_F(FormTest, AnUnansweredModalFormIsCancelledAfterTheTimeout) {
  Driver::SetModalTimeout(50);
  auto form = CreateOwned<TForm>(nullptr);
  EXPECT_EQ(form->ShowModal(), mrCancel);
}

TEST_F(FormTest, ShowModalOfAVisibleFormIsRefused) {
  auto form = CreateOwned<TForm>(nullptr);
  form->Show();
  EXPECT_THROW(form->ShowModal(), EInvalidOperation);
}

TEST_F(FormTest, TimersTickOnTheOwnerThreadOnly) {
  std::atomic<int> ticks{0};
  std::thread::id tickThread;
  std::thread owner([&] {
    auto timer = CreateOwned<TTimer>(nullptr);
    timer->SetInterval(10);
    EXPECT_FALSE(timer->Running());  // no OnTimer yet
    timer->SetOnTimer([&](TObject*) {
      tickThread = std::this_thread::get_id();
      ++ticks;
    });
    EXPECT_TRUE(timer->Running());
    platform::win::WaitPumping([&] { return ticks.load() >= 3; }, 20000);
    timer->SetEnabled(false);
    const int stopped = ticks.load();
    platform::win::WaitPumping([] { return false; }, 50);
    EXPECT_EQ(ticks.load(), stopped);
    EXPECT_EQ(tickThread, std::this_thread::get_id());
  });
  owner.join();
  EXPECT_GE(ticks.load(), 3);
  // A timer made on this thread never ticks while only another thread pumps.
  auto idle = CreateOwned<TTimer>(nullptr);
  std::atomic<int> idleTicks{0};
  idle->SetInterval(10);
  idle->SetOnTimer([&](TObject*) { ++idleTicks; });
  std::thread other([] { platform::win::WaitPumping([] { return false; }, 60); });
  other.join();
  EXPECT_EQ(idleTicks.load(), 0);
}

TEST_F(FormTest, OnCreateAfterLoadingAndOnDestroyBeforeComponentsGo) {
  std::vector<std::string> log;
  class Dialog : public TForm {
   public:
    Dialog(TComponent* owner, std::vector<std::string>& log) : TForm(owner), log_(log) {
      button_ = Create<TButton>(this);
      button_->SetParent(this);
      log_.push_back(button_->Loading() ? "loading" : "loaded");
      OnCreate = [this](TObject*) { log_.push_back(button_->Loading() ? "create-loading" : "create"); };
      OnDestroy = [this](TObject*) { log_.push_back(button_->Parent() == this ? "destroy" : "destroy-late"); };
    }

   private:
    std::vector<std::string>& log_;
    TButton* button_;
  };
  auto d = CreateOwned<Dialog>(nullptr, log);
  d.reset();
  EXPECT_EQ(log, (std::vector<std::string>{"loading", "create", "destroy"}));
}

TEST_F(FormTest, ScreenCentredDialogWithClientSize) {
  auto form = CreateOwned<TForm>(nullptr);
  form->SetBorderStyle(TFormBorderStyle::bsDialog);
  form->SetPosition(TPosition::poScreenCenter);
  form->SetClientWidth(453);
  form->SetClientHeight(310);
  EXPECT_EQ(form->ClientWidth(), 453);
  EXPECT_EQ(form->ClientHeight(), 310);
  form->Show();
  TRect d = Screen().DesktopRect();
  EXPECT_EQ(form->Left(), (d.Width() - form->Width()) / 2);
  EXPECT_EQ(form->Top(), (d.Height() - form->Height()) / 2);
}

// A form (or group box) smaller than its frame has a client size of 0; the
// client size set afterwards still adds the whole frame.
TEST_F(FormTest, ClientSizeOfAFormSmallerThanItsFrame) {
  auto form = CreateOwned<TForm>(nullptr);
  form->SetBorderStyle(TFormBorderStyle::bsSizeable);  // 4 + 4 wide, 23 + 4 high
  form->SetBounds(0, 0, 5, 10);
  EXPECT_EQ(form->ClientWidth(), 0);
  EXPECT_EQ(form->ClientHeight(), 0);
  form->SetClientWidth(100);
  form->SetClientHeight(50);
  EXPECT_EQ(form->Width(), 108);
  EXPECT_EQ(form->Height(), 77);
  EXPECT_EQ(form->ClientWidth(), 100);
  EXPECT_EQ(form->ClientHeight(), 50);
  form->SetClientWidth(0);
  form->SetClientWidth(7);
  EXPECT_EQ(form->Width(), 15);

  auto* box = Create<TGroupBox>(form.get());
  box->SetParent(form.get());
  box->SetBounds(0, 0, 1, 1);
  const TPoint frame = box->NonClientSize();
  EXPECT_GT(frame.X, 1);
  EXPECT_GT(frame.Y, 1);
  box->SetClientWidth(40);
  box->SetClientHeight(30);
  EXPECT_EQ(box->ClientWidth(), 40);
  EXPECT_EQ(box->ClientHeight(), 30);
  EXPECT_EQ(box->Width(), 40 + frame.X);
}

}  // namespace

#include <gtest/gtest.h>

#include "platform/ui/Application.h"
#include "platform/ui/Buttons.h"
#include "platform/ui/Form.h"
#include "platform/ui/Headless.h"
#include "platform/ui/Timer.h"
#include "platform/win/MessageLoop.h"

using namespace platform::ui;
using Driver = THeadlessDriver;

TEST(ApplicationRun, RunsUntilTheMainFormClosesByAPostedClose) {
  Driver::Reset();
  Application().ResetTerminated();
  TForm* main = nullptr;
  Application().CreateForm(main);
  ASSERT_EQ(Application().MainForm(), main);
  bool destroyed = false;
  main->OnDestroy = [&](TObject*) { destroyed = true; };
  bool asked = false;
  main->OnCloseQuery = [&](TObject*, bool& can) { can = asked = true; };
  const platform::win::HWND hwnd = main->Handle();
  auto timer = CreateOwned<TTimer>(nullptr);
  timer->SetInterval(20);
  timer->SetOnTimer([&](TObject* t) {
    static_cast<TTimer*>(t)->SetEnabled(false);
    EXPECT_TRUE(main->Visible());
    platform::win::PostMessage(hwnd, platform::win::WM_CLOSE, 0, 0);
  });
  Application().Run();
  EXPECT_TRUE(asked);
  EXPECT_TRUE(Application().Terminated());
  EXPECT_FALSE(destroyed);  // forms go with DestroyComponents at program end
  Application().DestroyComponents();
  EXPECT_TRUE(destroyed);
  EXPECT_EQ(Application().MainForm(), nullptr);
  Application().ResetTerminated();
}

TEST(ApplicationRun, HiddenMainFormWhenShowMainFormIsOff) {
  Application().ResetTerminated();
  TForm* main = nullptr;
  Application().CreateForm(main);
  Application().ShowMainForm = false;
  auto timer = CreateOwned<TTimer>(nullptr);
  timer->SetInterval(10);
  timer->SetOnTimer([&](TObject*) {
    EXPECT_FALSE(main->Visible());
    main->Close();  // closing a hidden main form ends the application too
  });
  Application().Run();
  EXPECT_TRUE(Application().Terminated());
  Application().DestroyComponents();
  Application().ShowMainForm = true;
  Application().ResetTerminated();
}

TEST(ButtonKinds, BitBtnKindsAndSpeedButtonGroups) {
  Driver::Reset();
  auto form = CreateOwned<TForm>(nullptr);
  auto* ok = Create<TBitBtn>(form.get());
  ok->SetParent(form.get());
  ok->SetKind(TBitBtnKind::bkOK);
  EXPECT_EQ(ok->Caption(), "OK");
  EXPECT_EQ(ok->ModalResult(), mrOk);
  EXPECT_TRUE(ok->Default());
  auto* close = Create<TBitBtn>(form.get());
  close->SetParent(form.get());
  close->SetKind(TBitBtnKind::bkClose);
  close->SetTop(40);
  form->Show();
  Driver::Click(close);
  EXPECT_FALSE(form->Visible());

  auto* a = Create<TSpeedButton>(form.get());
  a->SetParent(form.get());
  auto* b = Create<TSpeedButton>(form.get());
  b->SetParent(form.get());
  b->SetLeft(30);
  a->SetGroupIndex(1);
  b->SetGroupIndex(1);
  int clicks = 0;
  b->OnClick = [&](TObject*) { ++clicks; };
  form->Show();
  a->SetDown(true);
  Driver::Click(b);
  EXPECT_TRUE(b->Down());
  EXPECT_FALSE(a->Down());
  EXPECT_EQ(clicks, 1);
  b->SetDown(false);  // the last down button of a group stays down
  EXPECT_TRUE(b->Down());
}

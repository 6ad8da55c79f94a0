#include <gtest/gtest.h>

#include "platform/ui/Actions.h"
#include "platform/ui/Buttons.h"
#include "platform/ui/Form.h"
#include "platform/ui/Headless.h"
#include "platform/ui/ImageList.h"

using namespace platform::ui;
using Driver = THeadlessDriver;

TEST(Actions, ALinkedButtonFollowsTheActionWhileItShowsItsValues) {
  Driver::Reset();
  auto form = CreateOwned<TForm>(nullptr);
  auto* action = Create<TAction>(form.get());
  action->SetCaption("Go");
  action->SetHint("does it");
  int executed = 0;
  action->OnExecute = [&](TObject*) { ++executed; };
  auto* button = Create<TButton>(form.get());
  button->SetParent(form.get());
  button->SetAction(action);
  EXPECT_EQ(button->Caption(), "Go");
  EXPECT_EQ(button->Hint(), "does it");
  action->SetCaption("Run");
  EXPECT_EQ(button->Caption(), "Run");
  form->Show();
  Driver::Click(button);
  EXPECT_EQ(executed, 1);
  action->SetEnabled(false);
  EXPECT_FALSE(button->Enabled());
  button->SetEnabled(true);
  button->Click();  // a disabled action does not run
  EXPECT_EQ(executed, 1);
  button->OnClick = [](TObject*) {};
  action->SetEnabled(true);
  button->Click();  // an own OnClick takes precedence
  EXPECT_EQ(executed, 1);
  TComponent::Free(action);
  EXPECT_EQ(button->Action(), nullptr);
  button->Click();
}

TEST(Actions, ImageListChangeLinksAndTheirEnds) {
  auto list = CreateOwned<TImageList>(nullptr);
  int changes = 0;
  {
    TChangeLink link;
    link.OnChange = [&](TObject*) { ++changes; };
    list->RegisterChanges(&link);
    list->SetCount(3);
    list->SetSize(24, 24);  // empties the list
    EXPECT_EQ(list->Count(), 0);
    EXPECT_EQ(changes, 2);
  }  // the link leaves the list when it goes
  list->SetCount(100000);
  EXPECT_EQ(list->Count(), 10000);
  EXPECT_EQ(changes, 2);
  TChangeLink survivor;
  list->RegisterChanges(&survivor);
  list.reset();
  EXPECT_EQ(survivor.Sender(), nullptr);
}

// One dialog built as the system's forms are (components created in the
// constructor, OnCreate filling them, a modal run returning a choice),
// driven end to end through the headless driver.

#include <gtest/gtest.h>

#include <string>

#include "platform/os/Text.h"
#include "platform/ui/Application.h"
#include "platform/ui/Buttons.h"
#include "platform/ui/CheckBox.h"
#include "platform/ui/Form.h"
#include "platform/ui/Headless.h"
#include "platform/ui/ListBox.h"
#include "platform/ui/Screen.h"
#include "platform/ui/TrayIcon.h"

using namespace platform::ui;
using namespace platform::os::literals;
using Driver = THeadlessDriver;

namespace {

class TBrowser : public TForm {
 public:
  explicit TBrowser(TComponent* owner) : TForm(owner) {
    SetName("Browser");
    SetCaption("Просмотр зарегистрированных OPC серверов..."_cp);
    SetBorderStyle(TFormBorderStyle::bsDialog);
    SetPosition(TPosition::poScreenCenter);
    SetClientWidth(453);
    SetClientHeight(310);
    List = Create<TListBox>(this);
    List->SetName("ServersListBox");
    List->SetParent(this);
    List->SetBounds(8, 8, 437, 240);
    UseRegistry = Create<TCheckBox>(this);
    UseRegistry->SetName("UseRegistryCheckBox");
    UseRegistry->SetParent(this);
    UseRegistry->SetBounds(8, 256, 200, 17);
    UseRegistry->SetCaption("Использовать данные реестра"_cp);
    UseRegistry->SetChecked(true);
    Ok = Create<TBitBtn>(this);
    Ok->SetName("OkBitBtn");
    Ok->SetParent(this);
    Ok->SetBounds(280, 280, 75, 25);
    Ok->SetCaption("Да"_cp);
    Ok->SetDefault(true);
    Ok->SetModalResult(mrOk);
    Cancel = Create<TBitBtn>(this);
    Cancel->SetName("CancelBitBtn");
    Cancel->SetParent(this);
    Cancel->SetBounds(370, 280, 75, 25);
    Cancel->SetCaption("Отмена"_cp);
    Cancel->SetCancel(true);
    Cancel->SetModalResult(mrCancel);
    OnCreate = [this](TObject*) { Fill(); };
    UseRegistry->OnClick = [this](TObject*) { Fill(); };
    List->OnDblClick = [this](TObject*) {
      if (List->ItemIndex() >= 0) SetModalResult(mrOk);
    };
  }

  void Fill() {
    List->Clear();
    if (UseRegistry->Checked()) {
      List->Items().Add("Sim.Server.1");
      List->Items().Add("Sim.Server.2");
    } else {
      List->Items().Add("Category.Server");
    }
    Ok->SetEnabled(List->Items().Count() > 0);
    if (List->Items().Count() > 0) List->SetItemIndex(0);
  }

  TListBox* List;
  TCheckBox* UseRegistry;
  TBitBtn* Ok;
  TBitBtn* Cancel;
};

std::string ShowBrowser() {
  TComponentPtr<TBrowser> form(Create<TBrowser>(nullptr));
  if (form->ShowModal() != mrOk || form->List->ItemIndex() < 0) return {};
  return form->List->Items()[form->List->ItemIndex()];
}

class ExampleForm : public ::testing::Test {
 protected:
  void SetUp() override { Driver::Reset(); }
  void TearDown() override { Driver::Pump(); }
};

}  // namespace

TEST_F(ExampleForm, OkRightAwayReturnsTheFirstLine) {
  Driver::AnswerNextModal([](TCustomForm& f) {
    EXPECT_EQ(f.Caption(), "Просмотр зарегистрированных OPC серверов..."_cp);
    EXPECT_EQ(Driver::Shown(Driver::FindControl("Browser.ServersListBox")), "Sim.Server.1\r\nSim.Server.2\r\n");
    EXPECT_EQ(Driver::Shown(Driver::FindControl("UseRegistryCheckBox")), "[x] " + std::string("Использовать данные реестра"_cp));
    Driver::Click(Driver::FindControl("Browser.OkBitBtn"));
  });
  EXPECT_EQ(ShowBrowser(), "Sim.Server.1");
}

TEST_F(ExampleForm, TheUserPicksALineWithTheKeyboardAndEnter) {
  Driver::AnswerNextModal([](TCustomForm&) {
    Driver::Click(Driver::FindControl("ServersListBox"));  // focus the list
    Driver::PressKey(VK_DOWN);
    Driver::PressKey(VK_RETURN);  // the default button
  });
  EXPECT_EQ(ShowBrowser(), "Sim.Server.2");
}

TEST_F(ExampleForm, ClearingTheCheckBoxRefillsAndDoubleClickChooses) {
  Driver::AnswerNextModal([](TCustomForm&) {
    Driver::Click(Driver::FindControl("UseRegistryCheckBox"));
    TControl* list = Driver::FindControl("ServersListBox");
    EXPECT_EQ(Driver::Shown(list), "Category.Server\r\n");
    Driver::DblClick(list);
  });
  EXPECT_EQ(ShowBrowser(), "Category.Server");
}

TEST_F(ExampleForm, EscapeCancelsWithAnEmptyAnswer) {
  Driver::AnswerNextModal([](TCustomForm&) { Driver::PressKey(VK_ESCAPE); });
  EXPECT_EQ(ShowBrowser(), "");
  EXPECT_EQ(Driver::FindForm("Browser"), nullptr);  // freed
}

TEST_F(ExampleForm, ATrayIconDoubleClickShowsAHiddenWindow) {
  auto form = CreateOwned<TForm>(nullptr);
  constexpr uint32_t kStatusBarIcon = platform::win::WM_STATUSBARICON;
  form->SetMessageHandler(kStatusBarIcon, [&](TMessage& m) {
    if (m.WParam == 1 && m.LParam == WM_LBUTTONDBLCLK) form->Show();
  });
  NOTIFYICONDATAA data{};
  data.cbSize = sizeof(data);
  data.hWnd = form->Handle();
  data.uID = 1;
  data.uFlags = NIF_MESSAGE | NIF_TIP;
  data.uCallbackMessage = kStatusBarIcon;
  ASSERT_TRUE(Shell_NotifyIconA(NIM_ADD, &data));
  EXPECT_FALSE(form->Visible());
  ASSERT_TRUE(Driver::ClickTrayIcon(1, WM_LBUTTONDBLCLK));
  Driver::Pump();
  EXPECT_TRUE(form->Visible());
  EXPECT_TRUE(Shell_NotifyIconA(NIM_DELETE, &data));
}

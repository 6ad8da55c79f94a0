// The OPC server browser shown through its entry point and answered as a
// user answers it, on an apartment thread as the kernel's.

#include "driver/Dialogs.h"
#include "platform/com/Apartment.h"
#include "platform/os/Text.h"
#include "platform/ui/CheckBox.h"
#include "platform/ui/Headless.h"
#include "platform/ui/ListBox.h"
#include "platform/ui/Screen.h"
#include "tests/driver_dialogs/DialogRegistry.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace dialogstest {
namespace {

namespace ui = platform::ui;
namespace com = platform::com;
using Driver = ui::THeadlessDriver;
using namespace platform::os::literals;

constexpr driver_dialogs::HostWindowHandle kParent = 0x1234;

class Browser : public RegistryFixture {
 protected:
  void SetUp() override {
    RegistryFixture::SetUp();
    Driver::Reset();
    Driver::SetModalTimeout(5000);  // a form left open fails fast
    ASSERT_EQ(com::CoInitialize(nullptr), com::S_OK);
    ui::Screen().SetCursor(ui::crHandPoint);  // whatever it was, it comes back
  }
  void TearDown() override {
    com::CoUninitialize();
    ui::Screen().SetCursor(ui::crDefault);
    Driver::Pump();
    RegistryFixture::TearDown();
  }

  // Shows the browser with answer queued; what it returns. The cursor is
  // the one from before, inside and after.
  std::string Show(const std::function<void(ui::TCustomForm&)>& answer) {
    bool answered = false;
    Driver::AnswerNextModal([&](ui::TCustomForm& form) {
      EXPECT_EQ(ui::Screen().Cursor(), ui::crHandPoint) << "restored after the filling";
      answer(form);
      answered = true;
    });
    const std::string chosen = driver_dialogs::ShowOPCServerBrowser(kParent);
    EXPECT_TRUE(answered);
    EXPECT_EQ(ui::Screen().Cursor(), ui::crHandPoint);
    EXPECT_EQ(Driver::FindForm("OPCServerBrowser"), nullptr) << "freed";
    return chosen;
  }

  static ui::TControl* Control(const char* name) {
    return Driver::FindControl(std::string("OPCServerBrowser.") + name);
  }
};

TEST_F(Browser, WithoutServersTheListIsEmptyAndOnlyCancelAnswers) {
  const std::string chosen = Show([](ui::TCustomForm& form) {
    EXPECT_EQ(form.Caption(), "Просмотр зарегистрированных OPC серверов..."_cp);
    EXPECT_EQ(form.ClientWidth(), 453);
    EXPECT_EQ(form.ClientHeight(), 310);
    EXPECT_EQ(form.ParentWindow(), kParent);
    auto* box = dynamic_cast<ui::TCheckBox*>(Control("UseRegistryCheckBox"));
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->Checked());
    EXPECT_TRUE(box->Font().Style() & ui::fsBold);
    EXPECT_EQ(Driver::Shown(Control("ServerListGroupBox")), " Список OPC серверов "_cp);
    EXPECT_EQ(Driver::Shown(Control("OPCServersListBox")), "");
    EXPECT_FALSE(Control("OkBitBtn")->Enabled());
    Driver::DblClick(Control("OPCServersListBox"));
    Driver::Click(Control("OkBitBtn"));
    EXPECT_EQ(form.ModalResult(), ui::mrNone) << "a double click on nothing and a disabled OK do nothing";
    Driver::Click(Control("CancelBitBtn"));
  });
  EXPECT_EQ(chosen, "");
}

TEST_F(Browser, TheCheckBoxSwitchesBetweenRegistryAndServerListObject) {
  AddProgId(kLocal, "Sim.B", ClassId(2), "B", "V");
  AddProgId(kLocal, "sim.A", ClassId(1), "A", "V");
  AddCategoryClass(ClassId(1), "sim.A", "A");
  AddCategoryClass(ClassId(3), "Cat.Only", "C");  // no "OPC" key: only through the categories

  // OK right away: the first ProgID.
  EXPECT_EQ(Show([](ui::TCustomForm&) {
              EXPECT_EQ(Driver::Shown(Control("OPCServersListBox")), "sim.A\r\nSim.B\r\n");
              EXPECT_TRUE(Control("OkBitBtn")->Enabled());
              Driver::PressKey(ui::VK_RETURN);
            }),
            "sim.A");

  EXPECT_EQ(Show([](ui::TCustomForm&) {
              Driver::Click(Control("UseRegistryCheckBox"));
              EXPECT_EQ(Driver::Shown(Control("OPCServersListBox")), "Cat.Only\r\nsim.A\r\n");
              EXPECT_EQ(ui::Screen().Cursor(), ui::crHandPoint);
              Driver::Click(Control("UseRegistryCheckBox"));
              EXPECT_EQ(Driver::Shown(Control("OPCServersListBox")), "sim.A\r\nSim.B\r\n");
              Driver::Click(Control("UseRegistryCheckBox"));
              Driver::SelectItem(Control("OPCServersListBox"), 1);
              Driver::DblClick(Control("OPCServersListBox"));  // below the lines: the selected one
            }),
            "sim.A");

  EXPECT_EQ(Show([](ui::TCustomForm&) {
              Driver::SelectItem(Control("OPCServersListBox"), 1);
              Driver::Click(Control("OkBitBtn"));
            }),
            "Sim.B");
  EXPECT_EQ(Show([](ui::TCustomForm&) { Driver::PressKey(ui::VK_ESCAPE); }), "");
  // OK with no line selected (as halvorsten-host's "select ... -1" leaves it) answers nothing.
  EXPECT_EQ(Show([](ui::TCustomForm&) {
              dynamic_cast<ui::TListBox*>(Control("OPCServersListBox"))->SetItemIndex(-1);
              Driver::Click(Control("OkBitBtn"));
            }),
            "");
}

}  // namespace
}  // namespace dialogstest

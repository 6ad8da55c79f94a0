// The main window in this process, made as the program makes it (the
// section opened, then the application's main form), and driven through
// the headless backend: tray icon and visibility, the status page, the
// heartbeat, the terminals and buttons, the saving menu, the start-up
// messages, the server list, the shut-down order and the form's layout.

#include "server/MainWindow.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include "common/Opc_Description.h"
#include "exchange/ComonDef.h"
#include "platform/os/Text.h"
#include "platform/ui/Application.h"
#include "platform/ui/Headless.h"
#include "platform/ui/Messages.h"
#include "platform/win/MessageLoop.h"
#include "server/DeviceWindow.h"
#include "server/ServerData.h"
#include "server/ServerDevices.h"
#include "server/ServerErrors.h"
#include "server/VariableIndex.h"
#include "tests/server/program/ProgramTestSupport.h"

namespace {

using namespace program_test;
using namespace platform::os::literals;
namespace ui = platform::ui;
namespace win = platform::win;
using Driver = ui::THeadlessDriver;

std::string Cp(std::string_view s) { return std::string(s); }

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Driver::Reset();
    Ini("[OPCSRV]\r\nDevice_Count=0\r\n");
    driver_ = CreateDriverSection(3);
    driver_->HalvorstenInfo()->SetDescription("Ferrowick V30");
  }

  void TearDown() override {
    Stop();
    server::Intercom.reset();
    server::DescriptionFile.reset();
    server::IniFileName.clear();
    server::RequestTerminal.Clear();
    server::CommandsLog.clear();
    server::SelectedDevice = -1;
    server::ServerClosing = false;
    exchange::ServerIndex = -1;
    driver_.reset();
    ui::Application().ResetTerminated();
    ui::Application().ShowMainForm = true;
    Driver::Reset();
    ExpectNoSectionLeft();
  }

  void Ini(const std::string& body) { folder_.Write("Ferrowick_V30.ini", body); }

  // What ServerMain does once the start-up checks passed, up to the loop.
  void Start(std::int32_t slot = 0) {
    server::IniFileName = folder_.Path() + "/Ferrowick_V30.ini";
    exchange::ServerIndex = slot;
    server::Intercom = exchange::TIntercomInterface::Open(exchange::kSectionName);
    ASSERT_TRUE(server::SectionOpen());
    ui::Application().ResetTerminated();
    ui::Application().ShowMainForm = true;
    ui::Application().CreateForm(window_);
    ASSERT_EQ(ui::Application().MainForm(), window_);
  }
  // The loop's start: the main form shows unless the tray took it.
  void RunOnce() {
    ui::Application().Terminate();
    ui::Application().Run();
    ui::Application().ResetTerminated();
  }
  // The program's end: the application frees its forms.
  void Stop() {
    ui::Application().DestroyComponents();
    window_ = nullptr;
  }

  std::int32_t Slot(std::size_t offset) const { return ReadI32(*driver_, offset); }
  bool HasError(std::int32_t code) {
    for (const auto& [c, t] : ErrorEntries(*driver_))
      if (c == code) return true;
    return false;
  }
  std::string Text(ui::TControl* control) const { return Driver::Shown(control); }

  TempFolder folder_;
  std::unique_ptr<exchange::TIntercomInterface> driver_;
  server::TServerWindow* window_ = nullptr;
};

// ---------------------------------------------------------------- tray

TEST_F(MainWindowTest, WithATrayItStartsHiddenAndATrayDoubleClickShowsIt) {
  Start();
  RunOnce();
  EXPECT_FALSE(window_->Visible());
  const auto icons = Driver::TrayIcons();
  ASSERT_EQ(icons.size(), 1u);
  EXPECT_EQ(icons[0].Wnd, window_->Handle());
  EXPECT_EQ(icons[0].ID, 1u);
  EXPECT_EQ(icons[0].CallbackMessage, 1359u);
  EXPECT_EQ(icons[0].Tip, Cp("Поддержка технологии OPC..."_cp));
  EXPECT_NE(icons[0].Icon, 0u);
  EXPECT_EQ(window_->IconImage(), nullptr);  // the compiled-in STATUSBARICON
  EXPECT_FALSE(HasError(-15));

  ASSERT_TRUE(Driver::ClickTrayIcon(1, ui::WM_LBUTTONDOWN));
  Driver::Pump();
  EXPECT_FALSE(window_->Visible());
  ASSERT_TRUE(Driver::ClickTrayIcon(1, ui::WM_LBUTTONDBLCLK));
  Driver::Pump();
  EXPECT_TRUE(window_->Visible());
}

TEST_F(MainWindowTest, AnIconFileBesideTheProgramIsTheTrayIcon) {
  std::filesystem::copy_file(std::string(FW_SOURCE_DIR) + "/server/program/Ferrowick_V30.ico",
                             folder_.Path() + "/Ferrowick_V30.ico");
  Start();
  ASSERT_NE(window_->IconImage(), nullptr);
  EXPECT_EQ(window_->IconImage()->Width(), 32);
  EXPECT_TRUE(window_->TrayIconAdded());
}

TEST_F(MainWindowTest, WithoutATrayItReportsMinus15AndShows) {
  Driver::SetTrayAvailable(false);
  Start();
  RunOnce();
  EXPECT_TRUE(window_->Visible());
  EXPECT_FALSE(window_->TrayIconAdded());
  // (DCOM security is process-wide: a later window of this process also
  // reports -21.)
  bool reported = false;
  for (const auto& [code, text] : ErrorEntries(*driver_))
    reported |= code == -15 && text == Cp("Ошибка загрузки иконки серверного приложения"_cp);
  EXPECT_TRUE(reported);
  EXPECT_TRUE(window_->GeneralTimer->Enabled());
}

TEST_F(MainWindowTest, AnUnreadableIconFileIsNoIcon) {
  folder_.Write("Ferrowick_V30.ico", "GIF89a");
  Start();
  RunOnce();
  EXPECT_TRUE(window_->Visible());
  EXPECT_TRUE(Driver::TrayIcons().empty());
  EXPECT_TRUE(HasError(-15));
}

// ---------------------------------------------------------------- start and stop

TEST_F(MainWindowTest, StartRegistersTheSlotAndWmCloseUndoesEverything) {
  Start();
  EXPECT_EQ(Slot(kSlotPid), static_cast<std::int32_t>(::getpid()));
  EXPECT_EQ(Slot(kSlotWindow), static_cast<std::int32_t>(window_->Handle()));
  EXPECT_EQ(driver_->View()[kSlotRunning], 1);
  EXPECT_EQ(exchange::ServerIndex, 0);
  EXPECT_FALSE(server::ServerClosing);
  ASSERT_NE(server::VariableIndex, nullptr);
  ASSERT_NE(server::DeviceList, nullptr);
  ASSERT_NE(server::ServerErrors, nullptr);
  EXPECT_TRUE(window_->GeneralTimer->Enabled());
  EXPECT_EQ(window_->GeneralTimer->Interval(), 1000u);

  ASSERT_TRUE(win::PostMessage(window_->Handle(), win::WM_CLOSE, 0, 0));
  Driver::Pump();
  EXPECT_TRUE(ui::Application().Terminated());
  Stop();
  EXPECT_TRUE(server::ServerClosing);
  EXPECT_EQ(Slot(kSlotPid), 0);
  EXPECT_EQ(Slot(kSlotWindow), 0);
  EXPECT_EQ(driver_->View()[kSlotRunning], 0);
  EXPECT_EQ(server::Intercom, nullptr);
  EXPECT_EQ(server::DeviceList, nullptr);
  EXPECT_EQ(server::VariableIndex, nullptr);
  EXPECT_EQ(server::ServerErrors, nullptr);
  EXPECT_TRUE(Driver::TrayIcons().empty());
}

TEST_F(MainWindowTest, AServerOfAnotherSlotKeepsToItsOwnSlot) {
  constexpr std::int32_t kSlot = 3;
  const std::size_t own = kSlot * kSlotSize;
  Start(kSlot);
  EXPECT_EQ(exchange::ServerIndex, kSlot);
  EXPECT_EQ(Slot(own + kSlotPid), static_cast<std::int32_t>(::getpid()));
  EXPECT_EQ(Slot(own + kSlotWindow), static_cast<std::int32_t>(window_->Handle()));
  window_->OnGeneralTimer(nullptr);
  EXPECT_EQ(Slot(own + kSlotHeartbeat), 1);
  window_->Show();
  WriteI32(*driver_, own + kSlotHeartbeat, 41);
  window_->UpdateStatusPage();
  EXPECT_EQ(window_->ServerTransactionIdEdit->Text(), "41");
  EXPECT_EQ(window_->PIDEdit->Text(), std::to_string(::getpid()));
  // Slot 0, which another server may own, is never touched.
  WriteI32(*driver_, kSlotPid, 4242);
  window_->OnGeneralTimer(nullptr);
  Stop();
  EXPECT_EQ(Slot(kSlotPid), 4242);
  EXPECT_EQ(Slot(kSlotHeartbeat), 0);
  EXPECT_EQ(Slot(kSlotWindow), 0);
  EXPECT_EQ(Slot(own + kSlotPid), 0);
  EXPECT_EQ(Slot(own + kSlotWindow), 0);
  EXPECT_EQ(driver_->View()[own + kSlotRunning], 0);
}

TEST_F(MainWindowTest, TheShutDownRunsOnce) {
  Start();
  window_->OnDestroyWindow(nullptr);
  EXPECT_EQ(window_->Caption(), "Server stopped.");
  EXPECT_EQ(window_->StartupMessages(), nullptr);
  EXPECT_FALSE(window_->GeneralTimer->Enabled());
  EXPECT_EQ(server::Intercom, nullptr);
  // A second run (the form's own OnDestroy) would set it again.
  server::ServerClosing = false;
  Stop();
  EXPECT_FALSE(server::ServerClosing);
}

TEST_F(MainWindowTest, WithoutTheSectionTheWindowHaltsTheProgram) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        // The child ends inside: release its folder and its section first.
        std::filesystem::remove_all(folder_.Path());
        server::Intercom.reset();
        driver_.reset();
        server::TServerWindow* window = nullptr;
        ui::Application().CreateForm(window);
      },
      ::testing::ExitedWithCode(1), "");
}

// ---------------------------------------------------------------- status page and timer

TEST_F(MainWindowTest, TheStatusPageShowsTheDriverAndTheSlot) {
  Start();
  window_->Show();
  const char* const states[] = {"Неизвестно", "Инициализация", "В работе", "Остановлен"};
  for (std::uint8_t s = 0; s < 4; ++s) {
    driver_->HalvorstenInfo()->SetState(s);
    window_->UpdateStatusPage();
    EXPECT_EQ(window_->DmlStateEdit->Text(), platform::os::Utf8ToCp1251(states[s])) << int(s);
  }
  driver_->HalvorstenInfo()->SetState(7);  // unknown: left as it was
  window_->UpdateStatusPage();
  EXPECT_EQ(window_->DmlStateEdit->Text(), Cp("Остановлен"_cp));

  driver_->HalvorstenInfo()->SetTransactionId(42);
  ASSERT_TRUE(driver_->Terminal1()->WriteText("one"));
  ASSERT_TRUE(driver_->Terminal2()->WriteText("two"));
  ASSERT_TRUE(driver_->Terminal2()->WriteText("three"));
  WriteI32(*driver_, kSlotHeartbeat, 17);
  window_->UpdateStatusPage();
  EXPECT_EQ(window_->DmlNameEdit->Text(), "Ferrowick V30");
  EXPECT_EQ(window_->DmlTagCounterEdit->Text(), "3");
  EXPECT_EQ(window_->DmlTransactionIdEdit->Text(), "42");
  EXPECT_EQ(window_->ConfigFileNameEdit->Text(), server::IniFileName);
  EXPECT_EQ(window_->ServerTransactionIdEdit->Text(), "17");
  EXPECT_EQ(window_->PIDEdit->Text(), std::to_string(::getpid()));
  EXPECT_EQ(window_->WindowHandleEdit->Text(), std::to_string(window_->Handle()));
  EXPECT_EQ(window_->TerminalIdEdit->Text(), "1");
  EXPECT_EQ(window_->CommandsTerminalIdEdit->Text(), "2");
  EXPECT_TRUE(window_->DmlNameEdit->ReadOnly());

  // A hidden window is not refreshed.
  window_->Hide();
  driver_->HalvorstenInfo()->SetState(1);
  window_->UpdateStatusPage();
  EXPECT_EQ(window_->DmlStateEdit->Text(), Cp("Остановлен"_cp));
}

TEST_F(MainWindowTest, TheHeartbeatRunsToTheTopValueThenZero) {
  Start();
  WriteI32(*driver_, kSlotHeartbeat, 65535);
  window_->OnGeneralTimer(nullptr);
  EXPECT_EQ(Slot(kSlotHeartbeat), 65536);
  window_->OnGeneralTimer(nullptr);
  EXPECT_EQ(Slot(kSlotHeartbeat), 0);
  window_->OnGeneralTimer(nullptr);
  EXPECT_EQ(Slot(kSlotHeartbeat), 1);
  WriteI32(*driver_, kSlotHeartbeat, -5);  // a negative value just goes up
  window_->OnGeneralTimer(nullptr);
  EXPECT_EQ(Slot(kSlotHeartbeat), -4);
  server::ServerClosing = true;
  window_->OnGeneralTimer(nullptr);
  EXPECT_EQ(Slot(kSlotHeartbeat), -4);
  server::ServerClosing = false;
}

TEST_F(MainWindowTest, TheTimerBeatsOnItsOwn) {
  Start();
  const std::int32_t h = Slot(kSlotHeartbeat);
  EXPECT_TRUE(WaitUntil(
      [&] {
        Driver::Pump();
        return Slot(kSlotHeartbeat) != h;
      },
      5000));
}

TEST_F(MainWindowTest, TheLockedTerminalKeepsTheMemos) {
  Start();
  window_->Show();
  server::RequestTerminal.Add("Sim.Item 2,5");
  server::CommandsLog = "Writting tag id: 7";
  EXPECT_EQ(Text(window_->LockTerminalCheckBox), "[x] " + Cp("Блокировка терминала"_cp));
  window_->OnGeneralTimer(nullptr);
  EXPECT_EQ(Text(window_->RequestsMemo), "");
  EXPECT_EQ(Text(window_->CommandsMemo), "");

  Driver::Click(window_->LockTerminalCheckBox);
  EXPECT_FALSE(window_->LockTerminalCheckBox->Checked());
  window_->OnGeneralTimer(nullptr);
  EXPECT_EQ(Text(window_->RequestsMemo), "Sim.Item 2,5\r\n");
  EXPECT_EQ(Text(window_->CommandsMemo), "Writting tag id: 7\r\n");

  // Hidden: not refreshed.
  window_->Hide();
  server::RequestTerminal.Add("Sim.Item 3");
  window_->OnGeneralTimer(nullptr);
  EXPECT_EQ(window_->RequestsMemo->Lines().Count(), 1);
}

// ---------------------------------------------------------------- buttons and menu

TEST_F(MainWindowTest, HideClearAndUnload) {
  Start();
  window_->Show();
  Driver::Click(window_->LockTerminalCheckBox);
  server::RequestTerminal.Add("a");
  server::CommandsLog = "b";
  window_->OnGeneralTimer(nullptr);
  ASSERT_EQ(window_->RequestsMemo->Lines().Count(), 1);

  Driver::Click(window_->ClearBitBtn);
  EXPECT_EQ(server::RequestTerminal.Count(), 0);
  EXPECT_EQ(server::CommandsLog, "");
  EXPECT_EQ(Text(window_->RequestsMemo), "");
  EXPECT_EQ(Text(window_->CommandsMemo), "");
  EXPECT_TRUE(window_->Visible());

  Driver::Click(window_->OkBitBtn);
  EXPECT_FALSE(window_->Visible());
  EXPECT_FALSE(ui::Application().Terminated());

  window_->Show();
  Driver::Click(window_->ReloadBitBtn);
  EXPECT_FALSE(window_->Visible());
  EXPECT_TRUE(ui::Application().Terminated());
  Stop();
  EXPECT_EQ(Slot(kSlotPid), 0);
  EXPECT_TRUE(Driver::TrayIcons().empty());
}

TEST_F(MainWindowTest, SaveToFileOnlyFromTheRequestsPage) {
  Start();
  window_->Show();
  window_->RequestsMemo->Lines().Add("Sim.Item 1");
  window_->RequestsMemo->Lines().Add("Sim.Item 2");
  const std::string path = folder_.Path() + "/saved.txt";
  bool asked = false;
  Driver::AnswerNextSaveDialog([&](ui::TSaveDialog& dialog, std::string& name) {
    asked = true;
    EXPECT_EQ(dialog.Title, Cp("Сохранить как..."_cp));
    EXPECT_EQ(dialog.Filter, Cp("Текстовый файл (*.txt)|*.txt"_cp));
    name = path;
    return true;
  });
  window_->SaveToFileMenuItem->Click();  // status page: nothing
  EXPECT_FALSE(asked);
  EXPECT_FALSE(std::filesystem::exists(path));

  Driver::SelectTab(window_->PageControl, 1);
  Driver::RightClick(window_->RequestsMemo);
  Driver::Click(window_->SaveToFileMenuItem);
  EXPECT_TRUE(asked);
  EXPECT_EQ(folder_.Read("saved.txt"), "Sim.Item 1\r\nSim.Item 2\r\n");
  EXPECT_EQ(window_->RequestsMemo->PopupMenu(), window_->PopupMenu);

  // Cancelled: nothing written.
  std::filesystem::remove(path);
  Driver::RightClick(window_->RequestsMemo);
  Driver::Click(window_->SaveToFileMenuItem);
  EXPECT_FALSE(std::filesystem::exists(path));
}

// ---------------------------------------------------------------- start-up messages

TEST_F(MainWindowTest, StartupMessagesForAMissingDescriptionFile) {
  Start();
  ASSERT_NE(window_->StartupMessages(), nullptr);
  EXPECT_EQ(window_->StartupMessages()->Text(), Cp("Описание OPC серверов не обнаружено.\r\n"_cp));
}

TEST_F(MainWindowTest, StartupMessagesForABadDescriptionFile) {
  folder_.Write("Ferrowick_V30.edd",
                "<OPC_Description>\r\n<device name=\"Sim\"><tagstlist><opctag name=\"a\" "
                "type=byte/></tagstlist></device>\r\n</OPC_Description>\r\n");
  Start();
  const platform::os::TStringList& lines = *window_->StartupMessages();
  ASSERT_EQ(lines.Count(), 3);
  EXPECT_EQ(lines[0], common::DescriptionErrorText());
  EXPECT_FALSE(lines[0].empty());
  EXPECT_EQ(lines[1], Cp("Ошибка в файле описания OPC серверов."_cp));
  EXPECT_EQ(lines[2], Cp("Описание OPC серверов не обнаружено."_cp));
}

TEST_F(MainWindowTest, NoStartupMessagesForAGoodDescriptionFile) {
  folder_.Write("Ferrowick_V30.edd", "<OPC_Description>\r\n<device name=\"Sim\"/>\r\n</OPC_Description>\r\n");
  Start();
  EXPECT_EQ(window_->StartupMessages()->Count(), 0);
  EXPECT_EQ(server::DescriptionFile->Count(), 1);
}

// ---------------------------------------------------------------- server list

TEST_F(MainWindowTest, TheServerListHasARowPerDeviceAndSelectsThem) {
  Ini("[OPCSRV]\r\nDevice_Count=2\r\nDevice_0=" + DeviceLine("Boiler", "Sim.A.1", false) +
      "\r\nDevice_1=" + DeviceLine("Pump", "Sim.B.1", false) + "\r\n");
  Start();
  window_->Show();
  ui::TValueListEditor& list = *window_->OPCServerList;
  EXPECT_TRUE(list.Enabled());
  EXPECT_EQ(list.Row(), 1);
  EXPECT_EQ(Text(&list), Cp("OPC сервер\tПуть к серверу\r\nBoiler\tSim.A.1\r\nPump\tSim.B.1\r\n"_cp));

  server::RequestTerminal.Add("old");
  Driver::SelectTab(window_->PageControl, 1);
  Driver::SelectRow(&list, 2);
  EXPECT_EQ(server::SelectedDevice, 1);
  EXPECT_EQ(server::RequestTerminal.Count(), 0);
  server::SelectedDevice = -1;
  window_->OPCServerListClick(&list);
  EXPECT_EQ(server::SelectedDevice, 1);

  // One device window took both devices and runs until the shut-down.
  ASSERT_NE(window_->DeviceWindows(), nullptr);
  EXPECT_EQ(window_->DeviceWindows()->Count(), 1);
  EXPECT_TRUE(window_->DeviceWindows()->Started);
  EXPECT_NE(window_->DeviceWindows()->FindDeviceByNumber(1), nullptr);
  window_->OnDestroyWindow(nullptr);
  EXPECT_EQ(window_->DeviceWindows(), nullptr);
}

TEST_F(MainWindowTest, AnEmptyServerListIsDisabled) {
  Start();
  EXPECT_FALSE(window_->OPCServerList->Enabled());
  EXPECT_EQ(window_->OPCServerList->Row(), -1);
  window_->OPCServerListClick(window_->OPCServerList);
  EXPECT_EQ(server::SelectedDevice, -1);
}

// ---------------------------------------------------------------- captions

// The form's components with their parents and texts, and the rows of the
// status page in order, each label beside its edit and focusing it. (Where
// the controls lie is checked for every form by the form layout test.)
TEST_F(MainWindowTest, CaptionsAndParentsOfTheForm) {
  Start();
  EXPECT_EQ(window_->Caption(), Cp("Поддержка технологии OPC..."_cp));
  EXPECT_EQ(window_->BorderStyle(), ui::TFormBorderStyle::bsDialog);
  EXPECT_EQ(window_->Position(), ui::TPosition::poScreenCenter);
  struct Expected {
    const char* name;
    const char* parent;
    const char* caption;  // UTF-8
  } const controls[] = {
      {"PageControl", "ServerWindow", ""},
      {"StatusTabSheet", "PageControl", "Состояние"},
      {"KernelGroupBox", "StatusTabSheet", " Halvorsten "},
      {"ServerGroupBox", "StatusTabSheet", " Сервер связи "},
      {"RequestsTabSheet", "PageControl", "Запросы"},
      {"RequestsGroupBox", "RequestsTabSheet", " Полученные данные "},
      {"RequestsMemo", "RequestsGroupBox", ""},
      {"OPCServerList", "RequestsTabSheet", ""},
      {"CommandsTabSheet", "PageControl", "Команды"},
      {"CommandsTerminalGroupBox", "CommandsTabSheet", " Терминальное окно команд  "},
      {"CommandsMemo", "CommandsTerminalGroupBox", ""},
      {"OkBitBtn", "ServerWindow", "Скрыть"},
      {"ReloadBitBtn", "ServerWindow", "Выгрузить"},
      {"ClearBitBtn", "ServerWindow", "Очистить"},
      {"LockTerminalCheckBox", "ServerWindow", "Блокировка терминала"},
  };
  for (const Expected& e : controls) {
    auto* control = dynamic_cast<ui::TControl*>(window_->FindComponent(e.name));
    ASSERT_NE(control, nullptr) << e.name;
    ASSERT_NE(control->Parent(), nullptr) << e.name;
    EXPECT_EQ(control->Parent()->Name(), e.parent) << e.name;
    EXPECT_EQ(control->Caption(), platform::os::Utf8ToCp1251(e.caption)) << e.name;
  }
  EXPECT_EQ(window_->OPCServerList->TitleCaptions().Text(), Cp("OPC сервер\r\nПуть к серверу\r\n"_cp));
  EXPECT_EQ(window_->SaveToFileMenuItem->Caption(), Cp("Сохранить в файл..."_cp));
  EXPECT_TRUE(window_->OkBitBtn->Default());

  struct Row {
    ui::TEdit* edit;
    const char* label;
  };
  const std::vector<std::vector<Row>> boxes = {
      {{window_->DmlNameEdit, "Имя драйвера:"},
       {window_->DmlStateEdit, "Состояние драйвера:"},
       {window_->DmlTagCounterEdit, "Количество тегов:"},
       {window_->DmlTransactionIdEdit, "ID транзакции:"}},
      {{window_->ConfigFileNameEdit, "Файл конфигурации:"},
       {window_->ServerTransactionIdEdit, "ID транзакции:"},
       {window_->PIDEdit, "ID процесса:"},
       {window_->WindowHandleEdit, "ID окна:"},
       {window_->TerminalIdEdit, "ID терминала:"},
       {window_->CommandsTerminalIdEdit, "ID терминала команд:"}},
  };
  for (std::size_t b = 0; b < boxes.size(); ++b) {
    ui::TWinControl* box = b == 0 ? static_cast<ui::TWinControl*>(window_->KernelGroupBox) : window_->ServerGroupBox;
    int lastTop = -1;
    for (const Row& row : boxes[b]) {
      EXPECT_EQ(row.edit->Parent(), box) << row.label;
      EXPECT_TRUE(row.edit->ReadOnly()) << row.label;
      EXPECT_GT(row.edit->Top(), lastTop) << row.label;  // the rows in order, top down
      lastTop = row.edit->Top();
      ui::TLabel* label = nullptr;
      for (int i = 0; i < box->ControlCount() && label == nullptr; ++i) {
        auto* l = dynamic_cast<ui::TLabel*>(box->Controls(i));
        if (l != nullptr && l->FocusControl() == row.edit) label = l;
      }
      ASSERT_NE(label, nullptr) << row.label;
      EXPECT_EQ(label->Caption(), platform::os::Utf8ToCp1251(row.label));
      const int middle = label->Top() + label->Height() / 2;
      EXPECT_TRUE(middle > row.edit->Top() && middle < row.edit->Top() + row.edit->Height()) << row.label;
      EXPECT_LT(label->Left() + label->Width(), row.edit->Left()) << row.label;
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  program_test::UseProcessNamespace("fwsrvwin");
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

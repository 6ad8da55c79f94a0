// The OPC server status dialog: its texts for a status record, its modal
// run, and the main window's double click on a device row against
// simulated OPC servers (failing status calls, missing vendor texts, rows
// beyond the first) and against a server object that answers oddly.

#include "server/ServerStatusDlg.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "platform/com/Apartment.h"
#include "platform/com/Memory.h"
#include "platform/os/Text.h"
#include "platform/os/Time.h"
#include "platform/ui/Application.h"
#include "platform/ui/Headless.h"
#include "server/DeviceWindow.h"
#include "server/MainWindow.h"
#include "server/ServerData.h"
#include "tests/server/program/ProgramTestSupport.h"

namespace {

using namespace program_test;
using namespace platform::os::literals;
namespace ui = platform::ui;
namespace com = platform::com;
namespace os = platform::os;
using Driver = ui::THeadlessDriver;

const std::string kDashes = "-------------------";

com::FILETIME FileTimeOf(os::TDateTime value) {
  com::FILETIME ft{};
  EXPECT_TRUE(os::DateTimeToFileTime(value, ft));
  return ft;
}

com::FILETIME FileTimeOf(std::uint64_t ticks) {
  return com::FILETIME{static_cast<std::uint32_t>(ticks), static_cast<std::uint32_t>(ticks >> 32)};
}

std::uint64_t Ticks(const com::FILETIME& ft) { return (std::uint64_t{ft.dwHighDateTime} << 32) | ft.dwLowDateTime; }

// What the dialog showed, read by the modal answer.
struct Shown {
  std::string Start, Current, LastUpdate, State, Groups, Version, Vendor;
};

// Queues an answer that reads the dialog and presses "Да".
void AnswerStatusDialog(Shown& shown, int& dialogs) {
  Driver::AnswerNextModal([&shown, &dialogs](ui::TCustomForm& form) {
    auto* dialog = dynamic_cast<server::TServerStatusDialog*>(&form);
    ASSERT_NE(dialog, nullptr) << form.Name();
    ++dialogs;
    shown = {dialog->StartTimeEdit->Text(),  dialog->CurrentTimeEdit->Text(), dialog->LastUpdateTimeEdit->Text(),
             dialog->ServerStateEdit->Text(), dialog->GroupCountEdit->Text(),  dialog->VersionNumberEdit->Text(),
             Driver::Shown(dialog->VendorInfoMemo)};
    Driver::Click(dialog->OkBitBtn);
  });
}

// ---------------------------------------------------------------- the dialog

class StatusDialogTest : public ::testing::Test {
 protected:
  void SetUp() override { Driver::Reset(); }
  void TearDown() override {
    if (dialog_ != nullptr) ui::TComponent::Free(dialog_);
    Driver::Reset();
  }
  server::TServerStatusDialog& Dialog() {
    if (dialog_ == nullptr) dialog_ = ui::Create<server::TServerStatusDialog>(nullptr);
    return *dialog_;
  }
  server::TServerStatusDialog* dialog_ = nullptr;
};

TEST_F(StatusDialogTest, ShowsTimesStateGroupsVersionAndVendor) {
  char16_t vendor[] = u"Завод Б, версия 2";
  com::OPCSERVERSTATUS status{};
  status.ftStartTime = FileTimeOf(os::EncodeDate(2024, 3, 5) + os::EncodeTime(6, 7, 8, 9));
  status.ftCurrentTime = FileTimeOf(std::uint64_t{0});  // the first moment: 1601-01-01
  status.ftLastUpdateTime = FileTimeOf(~std::uint64_t{0});
  status.dwServerState = 1;
  status.dwGroupCount = 4000000000u;
  status.dwBandWidth = 77;
  status.wMajorVersion = 2;
  status.wMinorVersion = 5;
  status.wBuildNumber = 1234;
  status.szVendorInfo = vendor;
  Dialog().ShowStatus(status);
  EXPECT_EQ(Dialog().StartTimeEdit->Text(), "05-03-2024 06:07:08:009");
  EXPECT_EQ(Dialog().CurrentTimeEdit->Text(), "01-01-1601 00:00:00:000");
  EXPECT_EQ(Dialog().LastUpdateTimeEdit->Text(), kDashes);
  EXPECT_EQ(Dialog().ServerStateEdit->Text(), std::string("В работе"_cp));
  EXPECT_EQ(Dialog().GroupCountEdit->Text(), "4000000000");
  EXPECT_EQ(Dialog().VersionNumberEdit->Text(), "2.5.1234");
  EXPECT_EQ(Dialog().VendorInfoMemo->Lines().Text(), std::string("Завод Б, версия 2\r\n"_cp));
  EXPECT_TRUE(Dialog().VendorInfoMemo->ReadOnly());
  EXPECT_EQ(vendor[0], u'З');  // the record is only read

  // A record without a vendor text replaces the previous one with nothing.
  status.szVendorInfo = nullptr;
  status.wMajorVersion = 65535;
  Dialog().ShowStatus(status);
  EXPECT_EQ(Dialog().VendorInfoMemo->Lines().Count(), 0);
  EXPECT_EQ(Dialog().VersionNumberEdit->Text(), "65535.5.1234");
}

TEST_F(StatusDialogTest, TimesUpToTheLastMillisecondOf9999) {
  const com::FILETIME last = FileTimeOf(os::EncodeDate(9999, 12, 31) + os::EncodeTime(23, 59, 59, 999));
  EXPECT_EQ(server::StatusTimeText(last), "31-12-9999 23:59:59:999");
  // Parts of a millisecond are dropped; the next millisecond is beyond.
  EXPECT_EQ(server::StatusTimeText(FileTimeOf(Ticks(last) + 9999)), "31-12-9999 23:59:59:999");
  EXPECT_EQ(server::StatusTimeText(FileTimeOf(Ticks(last) + 10000)), kDashes);
  EXPECT_EQ(server::StatusTimeText(FileTimeOf(std::uint64_t{1} << 63)), kDashes);
}

TEST_F(StatusDialogTest, StateTexts) {
  const char* const texts[] = {"В работе",     "Ошибка сервера", "Нет конфигурации",
                               "Остановлен",   "Тестовый режим", "Ошибка связи"};
  for (std::uint32_t s = 1; s <= 6; ++s) EXPECT_EQ(server::ServerStateText(s), os::Utf8ToCp1251(texts[s - 1])) << s;
  for (std::uint32_t s : {0u, 7u, 0xFFFFFFFFu}) EXPECT_EQ(server::ServerStateText(s), kDashes) << s;
}

TEST_F(StatusDialogTest, ShowOPCServerStatusRunsModallyAndFreesTheDialog) {
  auto* owner = ui::Create<ui::TForm>(nullptr);
  const int before = owner->ComponentCount();
  char16_t vendor[] = u"Sim vendor";
  com::OPCSERVERSTATUS status{};
  status.dwServerState = 4;
  status.dwGroupCount = 2;
  status.szVendorInfo = vendor;
  Shown shown;
  int dialogs = 0;
  AnswerStatusDialog(shown, dialogs);
  server::ShowOPCServerStatus(owner, status);
  EXPECT_EQ(dialogs, 1);
  EXPECT_EQ(shown.State, std::string("Остановлен"_cp));
  EXPECT_EQ(shown.Groups, "2");
  EXPECT_EQ(shown.Version, "0.0.0");
  EXPECT_EQ(shown.Vendor, "Sim vendor\r\n");
  EXPECT_EQ(Driver::FindForm("ServerStatusDialog"), nullptr);
  EXPECT_EQ(owner->ComponentCount(), before);
  ui::TComponent::Free(owner);
}

// ---------------------------------------------------------------- the main window's double click

constexpr const char* kItems = "Sim.Level  R4   const 1.5 writable\n";

// An OPC server that answers GetStatus as told.
class OddServer final : public com::ComObject<com::IOPCServer> {
 public:
  com::HRESULT AddGroup(com::LPCWSTR, com::BOOL, com::DWORD, com::OPCHANDLE, std::int32_t*, float*, com::DWORD,
                        com::OPCHANDLE*, com::DWORD*, const com::IID&, com::IUnknown**) override {
    return com::E_NOTIMPL;
  }
  com::HRESULT GetStatus(com::OPCSERVERSTATUS** status) override {
    ++calls;
    *status = nullptr;
    if (!giveRecord) return result;
    auto* s = static_cast<com::OPCSERVERSTATUS*>(com::CoTaskMemAlloc(sizeof(com::OPCSERVERSTATUS)));
    *s = com::OPCSERVERSTATUS{};
    s->dwServerState = 6;
    s->szVendorInfo = com::CoTaskMemWideString(u"odd");
    *status = s;
    return result;
  }
  com::HRESULT RemoveGroup(com::OPCHANDLE, com::BOOL) override { return com::E_NOTIMPL; }

  com::HRESULT result = com::S_OK;
  bool giveRecord = true;
  int calls = 0;
};

class StatusWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Driver::Reset();
    ASSERT_TRUE(RegisterSimulation(folder_, "Sim.A", kItems, "Vendor A"));
    ASSERT_TRUE(RegisterSimulation(folder_, "Sim.B", kItems, "Завод Б"));
    folder_.Write("Ferrowick_V30.ini", "[OPCSRV]\r\nDevice_Count=3\r\nDevice_0=" +
                                           OpcDeviceLine("A", "Sim.A", 1, "Plant", "", "") + "\r\nDevice_1=" +
                                           OpcDeviceLine("B", "Sim.B", 2, "Plant", "", "") + "\r\nDevice_2=" +
                                           DeviceLine("Off", "Sim.A", false) + "\r\n");
    folder_.Write("Ferrowick_V30.edd",
                  "<OPC_Description>\r\n<device name=\"Plant\"><tagstlist>"
                  "<opctag name=\"Sim.Level\" type=\"float\" proc=\"value\" hvaddress=\"1\"/>"
                  "</tagstlist></device>\r\n</OPC_Description>\r\n");
    driver_ = CreateDriverSection(1);
    ASSERT_EQ(com::CoInitialize(nullptr), com::S_OK);
    comStarted_ = true;

    server::IniFileName = folder_.Path() + "/Ferrowick_V30.ini";
    exchange::ServerIndex = 0;
    server::Intercom = exchange::TIntercomInterface::Open(exchange::kSectionName);
    ASSERT_TRUE(server::SectionOpen());
    ui::Application().ResetTerminated();
    ui::Application().CreateForm(window_);
    ASSERT_NE(window_, nullptr);
    window_->Show();
    Driver::SelectTab(window_->PageControl, 1);
  }

  void TearDown() override {
    if (odd_ != nullptr) odd_->OPCServer = com::ComPtr<com::IOPCServer>();
    ui::Application().DestroyComponents();
    window_ = nullptr;
    if (comStarted_) com::CoUninitialize();
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

  // Double click on row (1 is the first device) as the grid raises it.
  void DoubleClickRow(int row) {
    Driver::SelectRow(window_->OPCServerList, row);
    window_->OnShowOPCStatus(window_->OPCServerList);
  }
  server::TDevice* Device(std::int32_t number) const {
    return window_->DeviceWindows()->FindDeviceByNumber(number);
  }

  TempFolder folder_;
  ScopedRegistry registry_{folder_};
  std::unique_ptr<exchange::TIntercomInterface> driver_;
  bool comStarted_ = false;
  server::TServerWindow* window_ = nullptr;
  server::TDevice* odd_ = nullptr;  // device given an OddServer
  Shown shown_;
  int dialogs_ = 0;
};

TEST_F(StatusWindowTest, EveryRowOfAConnectedDeviceShowsItsOwnServer) {
  ASSERT_TRUE(Device(0)->OPCServer);
  ASSERT_TRUE(Device(1)->OPCServer);
  AnswerStatusDialog(shown_, dialogs_);
  DoubleClickRow(2);
  ASSERT_EQ(dialogs_, 1);
  EXPECT_EQ(shown_.Vendor, std::string("Завод Б\r\n"_cp));
  EXPECT_EQ(shown_.State, std::string("В работе"_cp));
  EXPECT_EQ(shown_.Groups, "1");
  EXPECT_EQ(shown_.Version, "1.0.30");
  EXPECT_NE(shown_.Start, kDashes);
  EXPECT_NE(shown_.Current, kDashes);

  AnswerStatusDialog(shown_, dialogs_);
  DoubleClickRow(1);
  ASSERT_EQ(dialogs_, 2);
  EXPECT_EQ(shown_.Vendor, "Vendor A\r\n");

  // A disabled device has no server: nothing shows.
  AnswerStatusDialog(shown_, dialogs_);
  DoubleClickRow(3);
  EXPECT_EQ(dialogs_, 2);
  EXPECT_EQ(Driver::PendingModalAnswers(), 1u);

  // The grid's double click event is wired to it.
  ASSERT_TRUE(window_->OPCServerList->OnDblClick);
  Driver::SelectRow(window_->OPCServerList, 1);
  window_->OPCServerList->OnDblClick(window_->OPCServerList);
  EXPECT_EQ(dialogs_, 3);
  EXPECT_EQ(Driver::PendingModalAnswers(), 0u);
}

TEST_F(StatusWindowTest, AFailingStatusCallShowsNothing) {
  ASSERT_EQ(Ctl({"fail", "Sim.A", "status", "on"}), 0);
  AnswerStatusDialog(shown_, dialogs_);
  DoubleClickRow(1);
  EXPECT_EQ(dialogs_, 0);
  ASSERT_EQ(Ctl({"fail", "Sim.A", "status", "off"}), 0);
  DoubleClickRow(1);
  EXPECT_EQ(dialogs_, 1);
  EXPECT_EQ(shown_.Vendor, "Vendor A\r\n");
}

TEST_F(StatusWindowTest, AMissingVendorTextShowsAnEmptyVendor) {
  ASSERT_EQ(Ctl({"fail", "Sim.B", "novendor", "on"}), 0);
  AnswerStatusDialog(shown_, dialogs_);
  DoubleClickRow(2);
  ASSERT_EQ(dialogs_, 1);
  EXPECT_EQ(shown_.Vendor, "");
  EXPECT_EQ(shown_.Version, "1.0.30");
}

TEST_F(StatusWindowTest, OddAnswersOfAServerAreFreedAndShowNothing) {
  odd_ = Device(2);
  ASSERT_NE(odd_, nullptr);
  auto* server = new OddServer;
  odd_->OPCServer = com::ComPtr<com::IOPCServer>(server);
  AnswerStatusDialog(shown_, dialogs_);

  server->giveRecord = false;  // success without a record
  DoubleClickRow(3);
  server->giveRecord = true;  // failure with a record (freed, not shown)
  server->result = com::E_FAIL;
  DoubleClickRow(3);
  EXPECT_EQ(server->calls, 2);
  EXPECT_EQ(dialogs_, 0);

  server->result = com::S_OK;  // shown, then record and vendor freed
  DoubleClickRow(3);
  EXPECT_EQ(dialogs_, 1);
  EXPECT_EQ(shown_.State, std::string("Ошибка связи"_cp));
  EXPECT_EQ(shown_.Vendor, "odd\r\n");
}

TEST_F(StatusWindowTest, RowsWithoutADeviceShowNothing) {
  AnswerStatusDialog(shown_, dialogs_);
  window_->OPCServerList->Strings().Add("Ghost=Sim.Ghost");
  DoubleClickRow(4);  // a row the settings do not have
  EXPECT_EQ(dialogs_, 0);
  EXPECT_EQ(Driver::PendingModalAnswers(), 1u);
}

}  // namespace

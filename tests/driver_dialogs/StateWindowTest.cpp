// The driver state window over a driver initialised in this process; the
// test writes the shared terminals as the server would.

#include "DialogsTestSupport.h"
#include "driver/Dialogs.h"
#include "driver/DriverModule.h"
#include "driver/DrvThread.h"
#include "exchange/OPCSharedMemory.h"
#include "peers/kernel/KernelModel.h"
#include "platform/os/Text.h"
#include "platform/os/Time.h"
#include "platform/ui/CheckBox.h"
#include "platform/ui/Edit.h"
#include "platform/ui/ValueListEditor.h"
#include "platform/win/MessageLoop.h"

#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>

namespace {

using namespace dlgtest;
using namespace platform::os::literals;
namespace fs = std::filesystem;
using platform::win::WaitPumping;

// One namespace for the process, before its first window.
const bool kNamespace = [] {
  return ::setenv("FERROWICK_IPC_NAMESPACE", ("dlg-state-" + std::to_string(::getpid())).c_str(), 1) == 0;
}();

const std::string kEsc = "\x1B";

class StateWindow : public HeadlessTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(kNamespace);
    HeadlessTest::SetUp();
    fs::create_directories(folder_ / "proj/Debugger");
    kernel::KernelModel::Instance().Reset();
    kernel::KernelModel::Instance().SetProjectDir((folder_ / "proj").string() + "/");
  }
  void TearDown() override {
    server_.reset();
    if (initialised_) {
      EXPECT_EQ(driver::StopDeviceDrv(), 0);
      EXPECT_EQ(driver::DoneDeviceDrv(), 0);
    }
    kernel::KernelModel::Instance().Reset();
    HeadlessTest::TearDown();
  }
  // Initialises the driver with these devices (name, OPC server); nobody
  // starts a server.
  void Init(const std::vector<std::pair<std::string, std::string>>& devices, bool configOnly = false) {
    std::string ini = "[OPCSRV]\r\nAuto Run Server=0\r\nDevice_Count=" + std::to_string(devices.size()) + "\r\n";
    for (size_t i = 0; i < devices.size(); ++i) {
      ini += "Device_" + std::to_string(i) + "=Name=" + devices[i].first + kEsc + "OPCServerName=" +
             devices[i].second + kEsc + "Prefix=P" + std::to_string(i) + kEsc + "DeviceAddress=" +
             std::to_string(i + 1) + "\r\n";
    }
    std::ofstream(folder_ / "Ferrowick_V30.ini", std::ios::binary) << ini;
    driver::TDrvInitRecord record;
    std::memset(&record, 0, sizeof record);
    const std::string dir = folder_.string();
    std::memcpy(record.DriverDir, dir.data(), dir.size());
    record.ConfigOnly = configOnly ? 1 : 0;
    ASSERT_EQ(driver::InitDeviceDrv(record), 0);
    initialised_ = true;
    if (!configOnly) server_ = exchange::TIntercomInterface::Open(exchange::kSectionName);
  }
  // The section as the server maps it (a view of its own).
  exchange::TIntercomInterface& Section() { return *server_; }

  bool initialised_ = false;
  std::unique_ptr<exchange::TIntercomInterface> server_;
};

// Writes a terminal's text without moving its counter, as no reader
// expects: only a counter change makes the window read again.
void PokeText(exchange::TTerminalClass& terminal, std::string_view text) {
  std::memcpy(terminal.Block() + 280, text.data(), text.size());
  terminal.Block()[280 + text.size()] = 0;
}

TEST_F(StateWindow, DevicesSelectionTerminalsAndLock) {
  Init({{"Boiler", "Sim.Boiler.1"}, {"Mixer", "Sim.Mixer.1"}, {"Pump", "Sim.Pump.1"}});
  exchange::TTerminalClass& values = *Section().Terminal1();
  exchange::TTerminalClass& commands = *Section().Terminal2();
  values.SetOwnerId(-1);
  ASSERT_TRUE(values.WriteText("Boiler 1\r\nBoiler 2"));
  ASSERT_TRUE(commands.WriteText("write 1"));
  ui::THeadlessDriver::AnswerNextModal([&](ui::TCustomForm& form) {
    EXPECT_EQ(form.Caption(), "Информация о работе драйвера Ferrowick..."_cp);
    auto& list = Get<ui::TValueListEditor>(form, "OPCServerList");
    EXPECT_TRUE(list.Enabled());
    EXPECT_EQ(list.Strings().Text(), "Boiler=Sim.Boiler.1\r\nMixer=Sim.Mixer.1\r\nPump=Sim.Pump.1\r\n");
    EXPECT_EQ(list.Row(), 1);
    EXPECT_EQ(values.GetOwnerId(), 0);
    // Read once at the open.
    EXPECT_EQ(Shown(form, "TerminalMemo"), "Boiler 1\r\nBoiler 2\r\n");
    EXPECT_EQ(Shown(form, "CommandsTerminalMemo"), "write 1\r\n");

    // An unchanged counter: the text is not read again.
    PokeText(commands, "not announced");
    PokeText(values, "not announced");
    WaitPumping([] { return false; }, 1100);
    EXPECT_EQ(Shown(form, "CommandsTerminalMemo"), "write 1\r\n");
    EXPECT_EQ(Shown(form, "TerminalMemo"), "Boiler 1\r\nBoiler 2\r\n");

    // The third device: its owner id is 2; the old lines stay until the
    // server writes for it.
    ui::THeadlessDriver::SelectRow(&list, 3);
    EXPECT_EQ(values.GetOwnerId(), 2);
    WaitPumping([] { return false; }, 600);
    EXPECT_EQ(Shown(form, "TerminalMemo"), "Boiler 1\r\nBoiler 2\r\n");
    ASSERT_TRUE(values.WriteText("Pump 1"));
    EXPECT_TRUE(WaitPumping([&] { return Shown(form, "TerminalMemo") == "Pump 1\r\n"; }, 20000));
    // Another owner than the selected row: the memo empties.
    values.SetOwnerId(0);
    EXPECT_TRUE(WaitPumping([&] { return Shown(form, "TerminalMemo").empty(); }, 20000));
    values.SetOwnerId(2);
    ASSERT_TRUE(values.WriteText("Pump 1"));
    EXPECT_TRUE(WaitPumping([&] { return Shown(form, "TerminalMemo") == "Pump 1\r\n"; }, 20000));

    // Locked: both memos freeze; unlocked: they follow.
    Click(form, "TerminalDisabledCheckBox");
    EXPECT_EQ(Shown(form, "TerminalDisabledCheckBox"), "[x] Отключить"_cp);
    ASSERT_TRUE(values.WriteText("Pump 2"));
    ASSERT_TRUE(commands.WriteText("write 2"));
    WaitPumping([] { return false; }, 1100);
    EXPECT_EQ(Shown(form, "TerminalMemo"), "Pump 1\r\n");
    EXPECT_EQ(Shown(form, "CommandsTerminalMemo"), "write 1\r\n");
    Click(form, "TerminalDisabledCheckBox");
    EXPECT_TRUE(WaitPumping([&] { return Shown(form, "CommandsTerminalMemo") == "write 2\r\n"; }, 20000));
    EXPECT_EQ(Shown(form, "TerminalMemo"), "Pump 2\r\n");
    Click(form, "OkBitBtn");
  });
  EXPECT_EQ(driver::ShowState(0), 0);
  EXPECT_EQ(driver::TerminalWindowHandle(), 0u);
}

// A busy byte held past the read's time-out, as by a server stuck while
// writing: the window neither reads nor remembers a counter then.
void HoldBusy(exchange::TTerminalClass& terminal, bool held) { terminal.Block()[8] = held ? 1 : 0; }

TEST_F(StateWindow, ATerminalReadThatTimesOutKeepsTheMemoAndIsTriedAgain) {
  Init({{"Boiler", "Sim.Boiler.1"}});
  exchange::TTerminalClass& values = *Section().Terminal1();
  exchange::TTerminalClass& commands = *Section().Terminal2();
  ASSERT_TRUE(values.WriteText("Boiler 1"));
  ASSERT_TRUE(commands.WriteText("write 1"));
  ui::THeadlessDriver::AnswerNextModal([&](ui::TCustomForm& form) {
    EXPECT_EQ(Shown(form, "TerminalMemo"), "Boiler 1\r\n");
    ASSERT_TRUE(values.WriteText("Boiler 2"));
    ASSERT_TRUE(commands.WriteText("write 2"));
    HoldBusy(values, true);
    HoldBusy(commands, true);
    const uint32_t start = platform::os::GetTickCount();
    WaitPumping([] { return false; }, 600);
    const uint32_t waited = platform::os::TickDiff(platform::os::GetTickCount(), start);
    HoldBusy(values, false);
    HoldBusy(commands, false);
    EXPECT_GE(waited, 3000u) << "no tick timed out";
    EXPECT_EQ(Shown(form, "TerminalMemo"), "Boiler 1\r\n");
    EXPECT_EQ(Shown(form, "CommandsTerminalMemo"), "write 1\r\n");
    EXPECT_TRUE(WaitPumping([&] { return Shown(form, "TerminalMemo") == "Boiler 2\r\n"; }, 20000));
    EXPECT_EQ(Shown(form, "CommandsTerminalMemo"), "write 2\r\n");
    Click(form, "OkBitBtn");
  });
  EXPECT_EQ(driver::ShowState(0), 0);
}

TEST_F(StateWindow, NoDevicesOrNoSectionLeaveEverythingEmpty) {
  for (const bool configOnly : {false, true}) {
    SCOPED_TRACE(configOnly ? "configuration only" : "no devices");
    std::string boxCaption, boxText;
    if (configOnly) {
      ui::THeadlessDriver::AnswerNextModal([&](ui::TCustomForm& box) {
        boxCaption = box.Caption();
        boxText = Shown(box, "MessageLabel");
        ui::THeadlessDriver::PressKey(ui::VK_ESCAPE);
      });
    }
    Init({}, configOnly);
    if (configOnly) {
      EXPECT_EQ(boxCaption, "Драйвер поддержки OPC серверов. Версия 3.0"_cp);
      EXPECT_EQ(boxText, "Файл с описанием OPC серверов не найден или имеет не правильный формат."_cp);
    }
    if (configOnly) {
      ASSERT_EQ(driver::Intercom(), nullptr);
    } else {
      ASSERT_TRUE(Section().Terminal2()->WriteText("write 1"));
    }
    ui::THeadlessDriver::AnswerNextModal([&](ui::TCustomForm& form) {
      auto& list = Get<ui::TValueListEditor>(form, "OPCServerList");
      EXPECT_FALSE(list.Enabled());
      EXPECT_EQ(list.Strings().Count(), 0);
      // Clicking "Отключить" twice must not start the timer either.
      Click(form, "TerminalDisabledCheckBox");
      Click(form, "TerminalDisabledCheckBox");
      WaitPumping([] { return false; }, 700);
      EXPECT_EQ(Shown(form, "TerminalMemo"), "");
      EXPECT_EQ(Shown(form, "CommandsTerminalMemo"), "");
      Click(form, "OkBitBtn");
    });
    EXPECT_EQ(driver::ShowState(0), 0);
    server_.reset();
    ASSERT_EQ(driver::DoneDeviceDrv(), 0);
    initialised_ = false;
  }
}

TEST_F(StateWindow, ConfigurationOnlyInitShowsABadDescriptionFile) {
  std::ofstream(folder_ / "Ferrowick_V30.edd", std::ios::binary) << "<OPC_Description><device";
  std::string text;
  ui::THeadlessDriver::AnswerNextModal([&](ui::TCustomForm& box) {
    EXPECT_EQ(box.Caption(), "Драйвер поддержки OPC серверов. Версия 3.0"_cp);
    EXPECT_FALSE(Get<ui::TControl>(box, "CancelBitBtn").Visible());
    text = Shown(box, "MessageLabel");
    Click(box, "OkBitBtn");
  });
  Init({}, true);
  const std::string suffix(" : Ошибка в XML выражении."_cp);
  ASSERT_GT(text.size(), suffix.size());
  EXPECT_EQ(text.substr(text.size() - suffix.size()), suffix);
  EXPECT_LE(text.size(), 100 + suffix.size());
}

TEST_F(StateWindow, FollowsTheDriverThreadAndClosesWhileItSends) {
  Init({{"Boiler", "Sim.Boiler.1"}});
  const std::vector<std::string_view> steps = {
      "Начало обработки данных."_cp, "Проверка доступа к серверу устройства."_cp, "Обработка команд."_cp,
      "Обработка динамических тегов."_cp, "Обработка статических тегов."_cp, "Обработка очереди ошибок."_cp};
  for (int round = 0; round < 20; ++round) {
    SCOPED_TRACE(round);
    ui::THeadlessDriver::AnswerNextModal([&](ui::TCustomForm& form) {
      EXPECT_EQ(driver::TerminalWindowHandle(), form.Handle());
      const int32_t before = Section().HalvorstenInfo()->GetTransactionId();
      std::set<std::string> seen;
      WaitPumping([&] {
        seen.insert(Shown(form, "DMLThreadStateLabel"));
        return seen.size() >= 3 && Section().HalvorstenInfo()->GetTransactionId() - before >= 2;
      }, 20000);
      EXPECT_GE(seen.size(), 3u);
      for (const std::string& text : seen) {
        EXPECT_TRUE(text == "Состояние драйвера DML"_cp || std::find(steps.begin(), steps.end(), text) != steps.end())
            << platform::os::Cp1251ToUtf8(text);
      }
      EXPECT_NE(Section().HalvorstenInfo()->GetTransactionId(), before);
      Click(form, "OkBitBtn");
    });
    EXPECT_EQ(driver::ShowState(0), 0);
    EXPECT_EQ(driver::TerminalWindowHandle(), 0u);
  }
  // The thread goes on after the window and stops in time.
  const int32_t before = Section().HalvorstenInfo()->GetTransactionId();
  EXPECT_TRUE(WaitPumping([&] { return Section().HalvorstenInfo()->GetTransactionId() != before; }, 20000));
  EXPECT_EQ(driver::StopDeviceDrv(), 0);
  EXPECT_EQ(driver::ThreadRunCount(), 0);
}

}  // namespace

// The device window's tick thread and command execution against the
// simulation OPC server.

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/os/Text.h"
#include "platform/os/Time.h"
#include "platform/win/MessageLoop.h"
#include "platform/win/Window.h"
#include "server/ServerData.h"
#include "server/ServerErrors.h"
#include "tests/server/opc/OpcTestSupport.h"

namespace opc_test {
namespace {

namespace ec = server::ErrorCode;
namespace os = platform::os;
namespace win = platform::win;
using namespace platform::os::literals;

// A window that records the tick count of every WM_LOCALTIMER.
class TickRecorder {
 public:
  TickRecorder() {
    handle_ = win::AllocateHWnd([this](win::HWND, win::UINT message, win::WPARAM, win::LPARAM) -> win::LRESULT {
      if (message == server::WM_LOCALTIMER) ticks.push_back(os::GetTickCount());
      return 0;
    });
  }
  ~TickRecorder() { win::DestroyWindow(handle_); }
  win::HWND Handle() const { return handle_; }
  std::vector<std::uint32_t> ticks;

 private:
  win::HWND handle_ = 0;
};

TEST(LocalTimerThread, TicksAreMoreThanFiftyMillisecondsApartAndStopWhileClosing) {
  TickRecorder recorder;
  ASSERT_NE(recorder.Handle(), 0u);
  auto thread = os::MakeThread<server::TLocalTimerThread>();
  thread->TargetWindow.store(recorder.Handle());
  const std::uint32_t start = os::GetTickCount();
  ASSERT_TRUE(thread->Start());
  ASSERT_TRUE(win::WaitPumping([&] { return recorder.ticks.size() >= 6; }, 20000));
  // The k-th post leaves at least 51 * k ms after the start (arrivals may
  // bunch up behind a busy loop, posts never do).
  for (std::size_t k = 1; k <= recorder.ticks.size(); ++k)
    EXPECT_GE(os::TickDiff(recorder.ticks[k - 1], start), 51u * k) << k;
  server::ServerClosing.store(true);
  win::ProcessMessages();
  // The thread may have read the flag just before it changed: one post
  // more at most, however late it comes.
  const std::size_t closed = recorder.ticks.size();
  win::WaitPumping([] { return false; }, 400);
  EXPECT_LE(recorder.ticks.size(), closed + 1);
  server::ServerClosing.store(false);
  const std::size_t reopened = recorder.ticks.size();
  ASSERT_TRUE(win::WaitPumping([&] { return recorder.ticks.size() > reopened + 1; }, 20000));
  thread->Terminate();
  EXPECT_TRUE(thread->WaitFor(20000));
}

TEST(LocalTimerThread, KeepsTickingAcrossTheWrapOfTheTickCounter) {
  os::TestClock clock(os::TestClock::Mode::Manual, 0xFFFFFF00u);
  TickRecorder recorder;
  auto thread = os::MakeThread<server::TLocalTimerThread>();
  thread->TargetWindow.store(recorder.Handle());
  ASSERT_TRUE(thread->Start());
  win::WaitPumping([] { return false; }, 50);
  EXPECT_TRUE(recorder.ticks.empty());
  // The thread reads its start tick when it first runs, which a loaded
  // machine may delay past any fixed wait, and a clock moved before that is
  // never seen as elapsed. So move 51 ms at a time, still before the wrap,
  // until its first post shows it is in its loop.
  for (int step = 0; step < 4 && recorder.ticks.empty(); ++step) {
    clock.Advance(51);
    win::WaitPumping([&] { return !recorder.ticks.empty(); }, 5000);
  }
  ASSERT_EQ(recorder.ticks.size(), 1u);
  EXPECT_GT(recorder.ticks[0], 0xFFFFFF00u) << "before the wrap";
  // After each post the thread takes the tick as its new start; the clock
  // stands still meanwhile, so the start is the tick of the post.
  const auto settle = [] { win::WaitPumping([] { return false; }, 200); };
  settle();
  clock.Advance(300);  // past the wrap
  ASSERT_TRUE(win::WaitPumping([&] { return recorder.ticks.size() == 2; }, 20000));
  EXPECT_LT(recorder.ticks[1], 0x100u);
  settle();
  clock.Advance(50);  // exactly 50 ms: not yet
  win::WaitPumping([] { return false; }, 100);
  EXPECT_EQ(recorder.ticks.size(), 2u);
  clock.Advance(1);
  ASSERT_TRUE(win::WaitPumping([&] { return recorder.ticks.size() == 3; }, 20000));
  thread->Terminate();
  EXPECT_TRUE(thread->WaitFor(20000));
}

struct Command {
  std::int32_t Id;
  std::int32_t Device;
  std::int32_t Address;
  float Value;
  float Value2;
};

class Commands : public OpcTest {
 protected:
  void SetUp() override {
    OpcTest::SetUp();
    Prepare(kItems, {{201, "OTHER", "OPC:DEVICE=2;ADDRESS=2", -1.0f}});
    server::TDeviceList list;
    list.Add(PlantDevice().release());
    auto locked = PlantDevice();
    locked->Name = "Locked";
    locked->DeviceAddress = 2;
    locked->DeviceNumber = 1;
    locked->Enabled = false;
    locked->LinkCtrlTagName = "";
    locked->ComandCtrlTagName = "CMD2";
    list.Add(locked.release());
    ASSERT_TRUE(driver_->DynemicVariables()->AddOrUpdate("CMD2", false, 5.0f, 0.0));
    ASSERT_TRUE(windows_.Build(&list));
    ASSERT_TRUE(windows_.StartAll());
    window_ = windows_.At(0);
    ASSERT_TRUE(PumpUntil([&] { return SharedValue(kMode) == 3.0f; }));
  }
  void TearDown() override {
    windows_.StopAll();
    windows_.FreeAll();
    OpcTest::TearDown();
  }

  // Commits a batch for (name, id) as the driver does.
  void Commit(const std::string& name, std::int32_t id, const std::vector<Command>& commands) {
    exchange::TCommandsList& batch = *driver_->Commands();
    ASSERT_TRUE(batch.Reset());
    batch.SetId(id);
    batch.SetName(name);
    for (const Command& c : commands) {
      exchange::TSharedCommand record{};
      record.Id = c.Id;
      exchange::SetShortString(record.Prefix, "OPC");
      record.DeviceNumber = c.Device;
      record.Address = c.Address;
      record.Value = c.Value;
      record.Value2 = c.Value2;
      ASSERT_TRUE(batch.Add(record));
    }
    ASSERT_TRUE(batch.Commit());
  }
  std::uint8_t State() const { return driver_->Commands()->GetReady(); }
  // Terminal 2 without its first line (the date and time).
  std::string Log() const {
    const std::string text = os::Cp1251ToUtf8(driver_->Terminal2()->ReadText());
    const std::size_t end = text.find("\r\n");
    return end == std::string::npos ? text : text.substr(end + 2);
  }
  // Waits until terminal 2 shows the command of this id.
  bool WaitForCommand(std::int32_t id) {
    const std::string head = "Writting tag id: " + std::to_string(id) + "\r\n";
    return PumpUntil([&] { return Log().rfind(head, 0) == 0; });
  }

  server::TDeviceWindowList windows_;
  server::TDeviceWindow* window_ = nullptr;
};

TEST_F(Commands, ABatchIsTakenAtOnceAndItsCommandsRunOnePerTick) {
  // The tick thread's clock moves only when the test lets a tick pass: on a
  // loaded machine two real ticks can wait in the queue and be handled in
  // one pump, two commands between two looks.
  os::TestClock clock(os::TestClock::Mode::Manual, os::GetTickCount());
  Pump(100);  // a tick posted before the clock stood still is handled
  const auto tick = [&clock] { clock.Advance(51); };
  Commit("opc", 1, {{102, 1, 2, 7.0f, 3.0f}, {101, 1, 1, 2.5f, 1.5f}, {999, 1, 77, 1.0f, 0.0f}});
  tick();
  ASSERT_TRUE(PumpUntil([&] { return State() == 3; }));
  EXPECT_EQ(window_->Commands->Count(), 2);  // taken whole, one executed
  EXPECT_EQ(Log(),
            "Writting tag id: 102\r\nValue=7\r\nДанные переданы в OPC сервер.\r\n"
            "Command State=cpOk\r\n----------------------------");
  EXPECT_EQ(os::Cp1251ToUtf8(server::CommandsLog).substr(server::CommandsLog.find("\r\n") + 2), Log());
  EXPECT_EQ(Dynamic("CMD"), 1.0f);
  EXPECT_EQ(SharedValue(kMode), 7.0f);
  ASSERT_TRUE(driver_->Commands()->ResetFrom(3));

  tick();
  ASSERT_TRUE(WaitForCommand(101));
  EXPECT_EQ(window_->Commands->Count(), 1);
  EXPECT_EQ(State(), 0);  // a batch already reset is not marked again
  tick();
  ASSERT_TRUE(WaitForCommand(999));
  EXPECT_EQ(Log(),
            "Writting tag id: 999\r\nValue=1\r\nТег не обсдуживается драйвером.\r\n\r\n"
            "Command State=cpCheckCommand\r\n----------------------------");
  EXPECT_EQ(Dynamic("CMD"), 3.0f);
  EXPECT_EQ(CountErrors(ec::CommandFailed), 1);
  EXPECT_EQ(ErrorEntries().back().second, "Ошибка обработки команды.");
  // The simulation took 7 and 2.5 as VT_R8.
  const std::string journal = Journal();
  EXPECT_NE(journal.find("write Sim.Mode R8 7\n"), std::string::npos) << journal;
  EXPECT_NE(journal.find("write Sim.Level R8 2,5\n"), std::string::npos) << journal;
}

TEST_F(Commands, RefusedWriteGivesStateThreeAndTheSecondValue) {
  ASSERT_EQ(Ctl({"fail", kProgId, "write:Sim.Mode", "on"}), 0);
  Commit("OPC", 1, {{102, 1, 2, 9.0f, 4.0f}});
  ASSERT_TRUE(WaitForCommand(102));
  EXPECT_EQ(Log(),
            "Writting tag id: 102\r\nValue=9\r\nSim.Plant->MODE: Ошибка записи в OPC сервер.\r\n\r\n"
            "Command State=cpCheckCommand\r\n----------------------------");
  EXPECT_EQ(Dynamic("CMD"), 3.0f);
  EXPECT_EQ(SharedValue(kMode), 4.0f);
  EXPECT_EQ(State(), 3);
  EXPECT_EQ(CountErrors(ec::CommandFailed), 1);
}

TEST_F(Commands, LockedDeviceAndUnknownDevice) {
  Commit("OPC", 2, {{201, 2, 2, 9.0f, 4.0f}});
  ASSERT_TRUE(WaitForCommand(201));
  EXPECT_EQ(Log(),
            "Writting tag id: 201\r\nValue=9\r\nУстройство заблокировано.\r\n\r\n"
            "Command State=cpSendCommand\r\nДоступ к устройсту запрещен.\r\n----------------------------");
  EXPECT_EQ(Dynamic("CMD2"), 2.0f);
  EXPECT_EQ(SharedValue(3), 4.0f);  // OTHER takes the second value
  EXPECT_EQ(CountErrors(ec::CommandFailed), 1);
  ASSERT_TRUE(driver_->Commands()->ResetFrom(3));

  Commit("OPC", 1, {{555, 5, 2, 9.0f, 4.0f}});
  ASSERT_TRUE(WaitForCommand(555));
  EXPECT_EQ(Log(),
            "Writting tag id: 555\r\nValue=9\r\nУстройство для выполнения команды не найдено.\r\n\r\n"
            "Command State=cpSendCommand\r\n----------------------------");
  EXPECT_EQ(State(), 3);
  EXPECT_EQ(Dynamic("CMD"), 5.0f);  // untouched
  EXPECT_EQ(CountErrors(ec::CommandFailed), 1);
}

TEST_F(Commands, NothingRunsWhileClosingOrForAnotherDevice) {
  server::ServerClosing.store(true);
  Commit("OPC", 1, {{102, 1, 2, 7.0f, 3.0f}});
  Pump(300);
  EXPECT_EQ(State(), 1);
  server::ServerClosing.store(false);
  ASSERT_TRUE(driver_->Commands()->ResetFrom(1));
  Commit("XYZ", 1, {{102, 1, 2, 7.0f, 3.0f}});
  Pump(300);
  EXPECT_EQ(State(), 1);
  EXPECT_EQ(window_->Commands->Count(), 0);
}

TEST_F(Commands, WriteCommandChecksInOrder) {
  server::TDevice& device = *window_->Devices->At(0);
  std::string log;
  EXPECT_EQ(device.WriteCommand("OPC", 3, log, 1.0f, 2), -18);
  EXPECT_EQ(os::Cp1251ToUtf8(log), "Не совпадает имя домена.\r\n");
  log.clear();
  // The prefix is trimmed; a read-only item refuses the write.
  EXPECT_EQ(device.WriteCommand(" OPC ", 1, log, 1.0f, 3), -18);
  EXPECT_EQ(os::Cp1251ToUtf8(log), "Sim.Plant->NAME: Ошибка записи в OPC сервер.\r\n");
  log.clear();
  // A device that is not connected has no group.
  EXPECT_EQ(window_->Devices->At(1)->WriteCommand("OPC", 2, log, 1.0f, 2), -18);
  EXPECT_EQ(os::Cp1251ToUtf8(log), "Отсутствует OPC интерфейс к кнруппе тегов.\r\n");
  log.clear();
  // A variable whose tag the description does not list.
  device.Items->FreeAll();
  EXPECT_EQ(device.WriteCommand("OPC", 1, log, 1.0f, 2), -18);
  EXPECT_EQ(os::Cp1251ToUtf8(log), "Sim.Plant->MODE: Тег не обслуживается OPC сервером.\r\n");
  log.clear();
  device.TagListName = "Nowhere";
  EXPECT_EQ(device.WriteCommand("OPC", 1, log, 1.0f, 2), -18);
  EXPECT_EQ(os::Cp1251ToUtf8(log), "Описание поддерживаемых тегов отсутствует.\r\n");
  log.clear();
  server::DescriptionFile.reset();
  EXPECT_EQ(device.WriteCommand("OPC", 1, log, 1.0f, 2), -18);
  EXPECT_EQ(os::Cp1251ToUtf8(log), "Отсутствует описание OPC устройства.\r\n");
}

// A device window whose ticks the test gives, one by one.
class TManualWindow : public server::TDeviceWindow {
 public:
  void Tick() { WMLocalTimer(); }
};

class QueueBound : public OpcTest {
 protected:
  void SetUp() override {
    OpcTest::SetUp();
    Prepare();
    server::TDeviceList list;
    list.Add(PlantDevice().release());
    ASSERT_TRUE(window_.AssignDevices(&list));
    window_.Started = true;  // ticks without the tick thread
    window_.ConnectDevices();
    ASSERT_TRUE(PumpUntil([&] { return SharedValue(kMode) == 3.0f; }));
  }
  void TearDown() override {
    window_.Started = false;
    window_.DisconnectDevices();
    OpcTest::TearDown();
  }
  // A committed batch of n commands for the plant, ids from first.
  void Commit(std::int32_t first, std::int32_t n) {
    exchange::TCommandsList& batch = *driver_->Commands();
    ASSERT_TRUE(batch.Reset());
    batch.SetId(1);
    batch.SetName("OPC");
    for (std::int32_t i = 0; i < n; ++i) {
      exchange::TSharedCommand record{};
      record.Id = first + i;
      exchange::SetShortString(record.Prefix, "OPC");
      record.DeviceNumber = 1;
      record.Address = 2;
      record.Value = static_cast<float>(first + i);
      record.Value2 = -1.0f;
      ASSERT_TRUE(batch.Add(record));
    }
    ASSERT_TRUE(batch.Commit());
  }
  std::uint8_t State() const { return driver_->Commands()->GetReady(); }

  TManualWindow window_;
};

// A batch committed while commands of the last one are queued waits (under
// the driver's time-out) until the queue is empty.
TEST_F(QueueBound, ANewBatchIsTakenOnlyOnceTheQueueIsEmpty) {
  Commit(100, 3);
  window_.Tick();
  EXPECT_EQ(window_.Commands->Count(), 2);
  EXPECT_EQ(State(), 3);
  ASSERT_TRUE(driver_->Commands()->ResetFrom(3));
  Commit(200, 2);
  for (const std::int32_t left : {1, 0}) {
    window_.Tick();
    EXPECT_EQ(window_.Commands->Count(), left);
    EXPECT_EQ(State(), 1);  // still waiting for the server
  }
  EXPECT_EQ(window_.CurrentCommand.Id, 102);
  window_.Tick();
  EXPECT_EQ(window_.CurrentCommand.Id, 200);
  EXPECT_EQ(window_.Commands->Count(), 1);
  EXPECT_EQ(State(), 3);
  EXPECT_EQ(CountErrors(ec::CommandFailed), 0);
}

// Commands still queued when the window stops are never executed: the
// kernel sees each as stopped before its write.
TEST_F(QueueBound, CommandsQueuedAtStopAreReportedNotExecuted) {
  Commit(300, 3);
  window_.Tick();
  ASSERT_EQ(SharedValue(kMode), 300.0f);
  EXPECT_EQ(Dynamic("CMD"), 1.0f);
  ASSERT_TRUE(driver_->Commands()->ResetFrom(3));
  window_.Stop();
  EXPECT_EQ(window_.Commands->Count(), 0);
  EXPECT_EQ(Dynamic("CMD"), 2.0f);
  EXPECT_EQ(SharedValue(kMode), -1.0f);  // the second value word
  EXPECT_EQ(CountErrors(ec::CommandFailed), 2);
  EXPECT_EQ(State(), 0);  // the driver's reset stands
  EXPECT_EQ(Journal().find("write Sim.Mode R8 301"), std::string::npos);
}

}  // namespace
}  // namespace opc_test

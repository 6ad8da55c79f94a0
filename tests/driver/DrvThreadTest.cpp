#include "driver/DrvThread.h"

#include "DriverTestSupport.h"
#include "driver/CommandsBuffer.h"
#include "driver/Devices.h"
#include "driver/DrvLog.h"
#include "driver/DynamicTags.h"
#include "driver/ReceivedBuffer.h"
#include "driver/TagTables.h"
#include "exchange/ComonDef.h"
#include "exchange/OPCSharedMemory.h"
#include "platform/os/Process.h"
#include "platform/win/MessageLoop.h"
#include "platform/win/Window.h"

#include <climits>

namespace {

using namespace platform::os::literals;
using namespace std::chrono_literals;
using drvtest::Var;
using platform::os::TestClock;

TEST(ServerLauncher, CommandLineHasOneThenTwoBlanks) {
  EXPECT_EQ(driver::ServerCommandLine("/opt/drv", "/opt/drv/Ferrowick_V30.ini"),
            "\"/opt/drv/Ferrowick_V30.srv\" \"0\"  \"/opt/drv/Ferrowick_V30.ini\"");
  EXPECT_EQ(driver::ServerCommandLine("/opt/drv/", "x.ini"), "\"/opt/drv/Ferrowick_V30.srv\" \"0\"  \"x.ini\"");
  const auto argv = platform::os::SplitCommandLine(driver::ServerCommandLine("/a b/", "/a b/F.ini"));
  EXPECT_EQ(argv, (std::vector<std::string>{"/a b/Ferrowick_V30.srv", "0", "/a b/F.ini"}));
}

TEST(RepeatedFailureLog, FirstOfARunThenOncePerInterval) {
  driver::TRepeatedFailureLog log(1000);
  struct Step {
    bool Failure;
    uint32_t Tick;
    bool Logged;
  };
  const Step steps[] = {
      {true, 0xFFFFFC00u, true},    // the first of a run
      {true, 0xFFFFFC01u, false},
      {true, 0xFFFFFFE7u, false},   // 999 ms on
      {true, 0x000003E8u, true},    // 1000 ms on, across the wrap
      {true, 0x000003E9u, false},
      {false, 0x000003EAu, false},  // a success ends the run
      {true, 0x000003EBu, true},    // a new run logs its first at once
      {true, 0x000007D2u, false},
      {true, 0x000007D3u, true},
  };
  for (const Step& step : steps) {
    if (!step.Failure) {
      log.Succeeded();
      continue;
    }
    EXPECT_EQ(log.Failed(step.Tick), step.Logged) << std::hex << step.Tick;
  }
}

// A section, the lists and a context as initialisation wires them.
class DriverThreadParts : public ::testing::Test {
 protected:
  void SetUp() override {
    auto& model = kernel::KernelModel::Instance();
    model.Reset();
    const int32_t opc = model.AddDomain("OPC");
    for (int32_t i = 1; i <= 3; ++i) {
      model.AddVariable(opc, Var(10 + i, "D1_" + std::to_string(i), "OPC:DEVICE=1;ADDRESS=" + std::to_string(i)));
      model.AddVariable(opc, Var(20 + i, "D2_" + std::to_string(i), "OPC:DEVICE=2;ADDRESS=" + std::to_string(i)));
    }
    ASSERT_TRUE(variables_.LoadDomain("OPC"));
    intercom_ = exchange::TIntercomInterface::Create(exchange::kSectionName, 0);
    ASSERT_TRUE(intercom_->IsAttached());
    devices_.With([](driver::TDeviceList& list) {
      for (int32_t n : {1, 2}) {
        auto* d = new driver::TDevice;
        d->Prefix = "opc";
        d->DeviceAddress = n;
        d->ComandCtrlTagName = "CMD_" + std::to_string(n);
        list.Add(d);
      }
    });
    ASSERT_TRUE(driver::AddDynamicTag(intercom_->DynemicVariables(), "CMD_1", false, 9));
    ASSERT_TRUE(driver::AddDynamicTag(intercom_->DynemicVariables(), "CMD_2", false, 9));
    settings_.CommandInterval = 100;
    settings_.AutoRunServer = true;
    settings_.CheckServerInterval = 60;
    context_.Log = &log_;
    context_.Intercom = intercom_.get();
    context_.Commands = &commands_;
    context_.Devices = &devices_;
    context_.Settings = &settings_;
    context_.ServerCommandLine = "\"/bin/true\" \"0\"  \"x.ini\"";
  }
  void TearDown() override {
    intercom_.reset();
    kernel::KernelModel::Instance().Reset();
    exchange::ServerIndex = -1;
  }

  void Write(const std::vector<int32_t>& ids) {
    std::vector<uint8_t> bytes(sizeof(driver::TDrvWriteBlock) + sizeof(driver::TDrvWriteRecord) * ids.size());
    const driver::TDrvWriteBlock header{0, static_cast<int32_t>(ids.size())};
    std::memcpy(bytes.data(), &header, sizeof header);
    for (size_t i = 0; i < ids.size(); ++i) {
      const driver::TDrvWriteRecord r{ids[i], 1.0f, 0, 0, 0};
      std::memcpy(bytes.data() + sizeof header + sizeof r * i, &r, sizeof r);
    }
    ASSERT_EQ(commands_.AddBlock(reinterpret_cast<const driver::TDrvWriteBlock*>(bytes.data()), 1s),
              driver::TCommandsBuffer::AddResult::Queued);
  }
  float Dynamic(const std::string& name) {
    for (int32_t i = 0; i < intercom_->DynemicVariables()->Count(); ++i) {
      exchange::TDynemicItem item;
      if (intercom_->DynemicVariables()->GetItem(i, item) && exchange::ShortStringOf(item.Name) == name) return item.Value;
    }
    ADD_FAILURE() << "no dynamic variable " << name;
    return -1;
  }
  exchange::TCommandsList& Batch() { return *intercom_->Commands(); }

  drvtest::Namespace ns_;
  driver::TBaseErrorClass log_{""};
  driver::TDRVVariableList variables_;
  driver::TCommandsBuffer commands_{variables_};
  driver::TGuardedDeviceList devices_;
  driver::TGeneralSettings settings_;
  std::unique_ptr<exchange::TIntercomInterface> intercom_;
  driver::TDriverContext context_;
};

TEST_F(DriverThreadParts, DoneBatchIsResetAndTheNextCommittedInOneCycle) {
  Write({11, 21, 12});
  driver::HandleCommands(context_);
  ASSERT_EQ(Batch().GetReady(), 1);
  EXPECT_EQ(Batch().GetId(), 1);
  EXPECT_EQ(Batch().Count(), 1);
  EXPECT_EQ(Dynamic("CMD_1"), 0.0f) << "the command-control tag shows the hand-over";
  EXPECT_EQ(Dynamic("CMD_2"), 9.0f);

  // The server's part: take the batch and finish it.
  exchange::TCommandBlock copy;
  ASSERT_TRUE(Batch().TakeBlock(1, "OPC", copy));
  driver::HandleCommands(context_);
  EXPECT_EQ(Batch().GetReady(), 2) << "a taken batch within its time stays";
  ASSERT_TRUE(Batch().MarkDone());
  driver::HandleCommands(context_);
  ASSERT_EQ(Batch().GetReady(), 1) << "reset and the next batch committed in the same cycle";
  EXPECT_EQ(Batch().GetId(), 2);
  EXPECT_EQ(Dynamic("CMD_2"), 0.0f);
  ASSERT_TRUE(Batch().TakeBlock(2, "OPC", copy));
  ASSERT_TRUE(Batch().MarkDone());
  driver::HandleCommands(context_);
  EXPECT_EQ(Batch().GetId(), 1);
  EXPECT_EQ(commands_.Count(), 0);
  EXPECT_EQ(drvtest::CountLogCode(-8), 0);
}

TEST_F(DriverThreadParts, OpenBatchTimesOutAfterCountTimesInterval) {
  TestClock clock(TestClock::Mode::Manual);
  Write({11, 12});
  driver::HandleCommands(context_);
  ASSERT_EQ(Batch().GetReady(), 1);
  clock.Advance(200);
  driver::HandleCommands(context_);
  EXPECT_EQ(Batch().GetReady(), 1) << "2 x 100 ms have not yet been exceeded";
  clock.Advance(1);
  driver::HandleCommands(context_);
  EXPECT_EQ(Batch().GetReady(), 0);
  EXPECT_EQ(Batch().Count(), 0);
  EXPECT_EQ(Dynamic("CMD_1"), 2.0f);
  EXPECT_EQ(drvtest::CountLog(-8, "DLM::Команда не выполнена драйвером."_cp), 1);

  // A taken batch times out the same way.
  Write({21});
  driver::HandleCommands(context_);
  exchange::TCommandBlock copy;
  ASSERT_TRUE(Batch().TakeBlock(2, "OPC", copy));
  clock.Advance(101);
  driver::HandleCommands(context_);
  EXPECT_EQ(Batch().GetReady(), 0);
  EXPECT_EQ(Dynamic("CMD_2"), 2.0f);
  EXPECT_EQ(drvtest::CountLogCode(-8), 2);
}

TEST_F(DriverThreadParts, BatchFinishedAtTheTimeOutIsNoFailure) {
  // The server finishes the batch between the driver's look at the state
  // (2, past its time) and the driver's swap.
  Write({11});
  driver::HandleCommands(context_);
  exchange::TCommandBlock copy;
  ASSERT_TRUE(Batch().TakeBlock(1, "OPC", copy));
  ASSERT_TRUE(Batch().MarkDone());
  EXPECT_FALSE(driver::AbandonBatch(context_, 2));
  EXPECT_EQ(Batch().GetReady(), 3) << "the done batch is left for the next cycle";
  EXPECT_EQ(Dynamic("CMD_1"), 0.0f) << "not reported as not executed";
  EXPECT_EQ(drvtest::CountLogCode(-8), 0);
  driver::HandleCommands(context_);
  EXPECT_EQ(Batch().GetReady(), 0);
  EXPECT_EQ(drvtest::CountLogCode(-8), 0);

  // The swap that succeeds reports the device the batch was for.
  Write({21});
  driver::HandleCommands(context_);
  ASSERT_TRUE(Batch().TakeBlock(2, "OPC", copy));
  EXPECT_TRUE(driver::AbandonBatch(context_, 2));
  EXPECT_EQ(Batch().GetReady(), 0);
  EXPECT_EQ(Batch().GetId(), -1);
  EXPECT_EQ(Dynamic("CMD_2"), 2.0f);
  EXPECT_EQ(drvtest::CountLog(-8, "DLM::Команда не выполнена драйвером."_cp), 1);
}

TEST_F(DriverThreadParts, AllowedTimeDoesNotOverflow) {
  TestClock clock(TestClock::Mode::Manual);
  settings_.CommandInterval = INT32_MAX;
  Write({11, 12, 13});
  driver::HandleCommands(context_);
  ASSERT_EQ(Batch().GetReady(), 1);
  clock.Advance(3600 * 1000);
  driver::HandleCommands(context_);
  EXPECT_EQ(Batch().GetReady(), 1) << "3 x 2^31 ms is far away";
  EXPECT_EQ(drvtest::CountLogCode(-8), 0);
}

TEST_F(DriverThreadParts, BatchThatCannotBeFilledIsLogged) {
  exchange::TSharedCommand stray{};
  ASSERT_TRUE(Batch().Add(stray));  // state 0 but not empty
  Write({11});
  driver::HandleCommands(context_);
  EXPECT_EQ(drvtest::CountLogCode(-8), 1);
  EXPECT_EQ(commands_.Count(), 1);
}

TEST_F(DriverThreadParts, ServerWatchStartsAtTheIntervalAndLogsTheThirdAttempt) {
  TestClock clock(TestClock::Mode::Manual);
  EXPECT_TRUE(driver::CheckServer(context_, true));
  EXPECT_EQ(context_.Watch.ServerStartAttempts, 1);
  clock.Advance(59 * 1000);
  EXPECT_TRUE(driver::CheckServer(context_, true));
  EXPECT_EQ(context_.Watch.ServerStartAttempts, 1) << "not before the interval";
  clock.Advance(1000);
  EXPECT_TRUE(driver::CheckServer(context_, true));
  EXPECT_EQ(context_.Watch.ServerStartAttempts, 2);
  EXPECT_EQ(drvtest::CountLogCode(-1), 0);
  clock.Advance(60 * 1000);
  EXPECT_TRUE(driver::CheckServer(context_, true));
  EXPECT_EQ(drvtest::CountLog(-1, "DLM::Ошибка запуска сервера доступа к устройству."_cp), 1);
  clock.Advance(60 * 1000);
  EXPECT_TRUE(driver::CheckServer(context_, true));
  EXPECT_EQ(context_.Watch.ServerStartAttempts, 4);
  EXPECT_EQ(drvtest::CountLogCode(-1), 1) << "only the third attempt is logged";

  // A server seen alive resets the count.
  exchange::ServerIndex = 0;
  const platform::win::HWND window = platform::win::AllocateHWnd(
      [](platform::win::HWND, platform::win::UINT, platform::win::WPARAM, platform::win::LPARAM) { return 0; });
  intercom_->ServerData()->SetOwnProcessId(static_cast<int32_t>(platform::os::GetCurrentProcessId()));
  intercom_->ServerData()->SetOwnWindowHandle(static_cast<int32_t>(window));
  EXPECT_TRUE(driver::CheckServer(context_, true));
  EXPECT_EQ(context_.Watch.ServerStartAttempts, 0);
  // Once its window is gone it counts from 1 again.
  platform::win::DestroyWindow(window);
  clock.Advance(60 * 1000);
  EXPECT_TRUE(driver::CheckServer(context_, true));
  EXPECT_EQ(context_.Watch.ServerStartAttempts, 1);
}

TEST_F(DriverThreadParts, NoStartWithoutAutoRunOrRestart) {
  settings_.AutoRunServer = false;
  EXPECT_TRUE(driver::CheckServer(context_, true));
  settings_.AutoRunServer = true;
  EXPECT_TRUE(driver::CheckServer(context_, false));
  EXPECT_EQ(context_.Watch.ServerStartAttempts, 0);
  context_.ServerCommandLine = "\"/no/such/Ferrowick_V30.srv\" \"0\"  \"x.ini\"";
  EXPECT_FALSE(driver::CheckServer(context_, true)) << "the start itself failed";
  EXPECT_EQ(context_.Watch.ServerStartAttempts, 1);
  context_.Intercom = nullptr;
  EXPECT_FALSE(driver::CheckServer(context_, true));
}

TEST_F(DriverThreadParts, StartClearsBusyBytesADeadServerLeft) {
  uint8_t* errors = intercom_->ServerErrors()->Block();
  errors[4] = 1;
  for (exchange::TTerminalClass* t : {intercom_->Terminal1(), intercom_->Terminal2(), intercom_->Terminal3()}) {
    t->Block()[8] = 1;
  }
  // A server that died in the middle of writing CMD_2: its time's first
  // byte still claims the item.
  uint8_t* cmd2Time =
      intercom_->DynemicVariables()->Block() + 260 + sizeof(exchange::TDynemicItem) + offsetof(exchange::TDynemicItem, Time);
  cmd2Time[0] = 0xFF;
  settings_.AutoRunServer = false;
  driver::CheckServer(context_, true);
  EXPECT_EQ(errors[4], 1) << "no start, nothing cleared";
  EXPECT_EQ(cmd2Time[0], 0xFF);
  settings_.AutoRunServer = true;
  ASSERT_TRUE(driver::CheckServer(context_, true));
  EXPECT_EQ(errors[4], 0);
  for (exchange::TTerminalClass* t : {intercom_->Terminal1(), intercom_->Terminal2(), intercom_->Terminal3()}) {
    EXPECT_EQ(t->Block()[8], 0);
  }
  EXPECT_TRUE(intercom_->Terminal2()->WriteText("flows again"));
  EXPECT_EQ(Dynamic("CMD_2"), 9.0f) << "the value the dead server left is read again";
  EXPECT_TRUE(driver::AddDynamicTag(intercom_->DynemicVariables(), "CMD_2", true, 2.0f));
  EXPECT_EQ(Dynamic("CMD_2"), 2.0f);
}

TEST_F(DriverThreadParts, BusyBytesStayWhileAStartedServerMayBeStarting) {
  TestClock clock(TestClock::Mode::Manual);
  context_.ServerCommandLine = "\"/bin/sleep\" \"1\"";  // a server that starts but never registers
  uint8_t* errors = intercom_->ServerErrors()->Block();
  const auto holdAll = [&] {
    errors[4] = 1;
    for (exchange::TTerminalClass* t : {intercom_->Terminal1(), intercom_->Terminal2(), intercom_->Terminal3()}) {
      t->Block()[8] = 1;
    }
  };
  const auto heldCount = [&] {
    int held = errors[4];
    for (exchange::TTerminalClass* t : {intercom_->Terminal1(), intercom_->Terminal2(), intercom_->Terminal3()}) {
      held += t->Block()[8];
    }
    return held;
  };
  holdAll();
  ASSERT_TRUE(driver::CheckServer(context_, true));
  EXPECT_EQ(heldCount(), 0) << "nothing the driver started runs: cleared";
  holdAll();
  clock.Advance(60 * 1000);
  ASSERT_TRUE(driver::CheckServer(context_, true));
  EXPECT_EQ(context_.Watch.ServerStartAttempts, 2);
  EXPECT_EQ(heldCount(), 4) << "the first start still runs and may hold them";
  ASSERT_EQ(context_.Watch.Started.size(), 2u);
  const auto started = context_.Watch.Started;
  ASSERT_TRUE(platform::win::WaitPumping([&] {
    for (const auto& p : started) {
      if (platform::os::IsProcessAlive(p)) return false;
    }
    return true;
  }, 10000));
  clock.Advance(60 * 1000);
  ASSERT_TRUE(driver::CheckServer(context_, true));
  EXPECT_EQ(heldCount(), 0) << "every started server has ended";
  EXPECT_EQ(context_.Watch.Started.size(), 1u) << "ended ones are forgotten";
  const auto last = context_.Watch.Started;
  EXPECT_TRUE(platform::win::WaitPumping([&] { return !platform::os::IsProcessAlive(last[0]); }, 10000));
}

TEST_F(DriverThreadParts, ThreadCyclesNotifiesAndForwardsServerErrors) {
  driver::TReceivedBuffer received(0, 0, 1, &log_);
  driver::TDynamicTagList tags(&log_);
  context_.Received = &received;
  context_.DynamicTags = &tags;
  settings_.AutoRunServer = false;
  int notices = 0;
  const platform::win::HWND state = platform::win::AllocateHWnd(
      [&notices](platform::win::HWND, platform::win::UINT m, platform::win::WPARAM w, platform::win::LPARAM l) {
        if (m == platform::win::WM_DRIVERSTATE && w == 0 && l == 0) ++notices;
        return platform::win::LRESULT{0};
      });
  driver::SetTerminalWindowHandle(state);
  EXPECT_EQ(driver::ThreadRunCount(), 0);
  exchange::TServerErrorList& errors = *intercom_->ServerErrors();
  ASSERT_TRUE(errors.Add(501, "first"));
  ASSERT_TRUE(errors.Add(-502, "second"));
  {
    auto thread = platform::os::MakeThread<driver::TDriverThread>(context_);
    ASSERT_TRUE(thread->Start());
    EXPECT_TRUE(platform::win::WaitPumping([&] { return notices >= 30 && drvtest::CountLogCode(-502) == 1; }, 20000));
    EXPECT_EQ(driver::ThreadRunCount(), 1);
    EXPECT_GT(intercom_->HalvorstenInfo()->GetTransactionId(), 0);
    driver::SetTerminalWindowHandle(0);
    thread->Terminate();
    EXPECT_TRUE(platform::win::WaitPumping([&] { return !thread->Running(); }, 20000));
  }
  platform::win::DestroyWindow(state);
  EXPECT_EQ(driver::ThreadRunCount(), 0);
  EXPECT_EQ(driver::ThreadStateText(), "Поток остановлен."_cp);
  std::vector<drvtest::LogEntry> log;
  for (const auto& e : drvtest::KernelLog()) {
    if (e.Code == 501 || e.Code == -502) log.push_back(e);
  }
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0].Code, 501);
  EXPECT_EQ(log[0].Text, "first");
  EXPECT_EQ(log[1].Code, -502);
  EXPECT_EQ(errors.Count(), 0) << "the list is emptied as it is copied";
}

}  // namespace

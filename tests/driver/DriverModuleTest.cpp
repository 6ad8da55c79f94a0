// The real driver module loaded into the test as the kernel loads it, with
// the stand-in kernel's libraries, a kernel window on the test's thread and
// the test playing the server's part in the section.

#include "DriverTestSupport.h"
#include "exchange/ComonDef.h"
#include "exchange/OPCSharedMemory.h"
#include "peers/kernel/DriverModule.h"
#include "platform/os/ByteFields.h"
#include "platform/os/Process.h"
#include "platform/os/SharedSection.h"
#include "platform/os/Thread.h"
#include "platform/os/Time.h"
#include "platform/ui/Form.h"
#include "platform/ui/Headless.h"
#include "platform/win/MessageLoop.h"
#include "platform/win/Window.h"

#include <atomic>
#include <functional>
#include <map>
#include <thread>
#include <utility>

namespace {

using namespace platform::os::literals;
using drvtest::Var;
using platform::os::GetTickCount;
using platform::os::TickDiff;
using platform::win::WaitPumping;

constexpr int32_t kMessage = 40010;
constexpr int32_t kPumped = 40011;  // runs the test's next step inside an export's wait
const std::string kEsc = "\x1B";

std::string DeviceLine(const std::string& name, int32_t address, const std::string& prefix,
                       const std::string& link = "", const std::string& command = "") {
  return "Name=" + name + kEsc + "DeviceAddress=" + std::to_string(address) + kEsc + "Prefix=" + prefix + kEsc +
         "Enabled=1" + kEsc + "LinkCtrlTagName=" + link + kEsc + "ComandCtrlTagName=" + command;
}

const bool kHeadless = setenv("FERROWICK_UI", "headless", 1) == 0;

// The dialogs the exports open here are closed at once, as a user closes
// them: Esc, or the title bar's close button when Esc does nothing.
void CloseEveryDialog(platform::ui::TCustomForm& form) {
  platform::ui::THeadlessDriver::PressKey(platform::ui::VK_ESCAPE);
  if (form.ModalResult() == 0) form.Close();
}

class HangingKernelWindow;

class DriverModule : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(kHeadless);
    platform::ui::THeadlessDriver::SetDefaultModalAnswer(CloseEveryDialog);
    auto& model = kernel::KernelModel::Instance();
    model.Reset();
    drvtest::fs::create_directories(dir_.Path() / "drv");
    drvtest::fs::create_directories(dir_.Path() / "proj" / "Debugger");
    model.SetProjectDir(dir_ / "proj/");
    drvtest::fs::copy_file(FW_OUT_DIR "/Ferrowick_V30.edd", dir_ / "drv/Ferrowick_V30.edd");
    module_ = std::make_unique<kernel::DriverModule>(FW_OUT_DIR "/Ferrowick_V30.dlm");
    window_ = platform::win::AllocateHWnd([this](platform::win::HWND, platform::win::UINT m, platform::win::WPARAM w,
                                                 platform::win::LPARAM l) -> platform::win::LRESULT {
      if (m == kPumped) {
        if (const auto step = std::exchange(pumped_, nullptr)) step();
        return 0;
      }
      if (m != kMessage || w != static_cast<platform::win::WPARAM>(driver::ValueBlockCode)) return 0;
      const auto* block = reinterpret_cast<const driver::TDrvValueBlock*>(l);
      ++blocksSeen_;
      if (const auto step = std::exchange(inBlock_, nullptr)) step();
      if (answer_ != driver::ValueBlockCode) return answer_;
      for (int32_t i = 0; i < block->Count; ++i) values_.emplace_back(block->Records[i].Id, block->Records[i].Value);
      return answer_;
    });
  }

  void TearDown() override {
    platform::ui::THeadlessDriver::SetDefaultModalAnswer(nullptr);
    if (initialised_) {
      module_->StopDeviceDrv();
      module_->DoneDeviceDrv();
    }
    module_.reset();
    platform::win::DestroyWindow(window_);
    kernel::KernelModel::Instance().Reset();
    exchange::ServerIndex = -1;
    // Every server the driver started has ended.
    EXPECT_TRUE(WaitPumping([] { return platform::os::PendingChildCount() == 0; }, 15000));
  }

  void Ini(const std::string& general, const std::vector<std::string>& devices) {
    std::string text = "[OPCSRV]\r\n" + general + "Device_Count=" + std::to_string(devices.size()) + "\r\n";
    for (size_t i = 0; i < devices.size(); ++i) text += "Device_" + std::to_string(i) + "=" + devices[i] + "\r\n";
    drvtest::WriteFile(dir_ / "drv/Ferrowick_V30.ini", text);
  }

  // A device with the link tag LINK_1, kernel variable 71; general is the
  // settings file's general part.
  void OneLinkDevice(const std::string& general = "Auto Run Server=0\r\n") {
    kernel::KernelModel::Instance().AddVariable(0, Var(71, "LINK_1", ""));
    Ini(general, {DeviceLine("D", 1, "OPC", "LINK_1")});
  }

  // Initialises a driver with a link tag whose thread then hangs in its
  // first send to kernelWindow.
  void InitStuckInTheFirstSend(HangingKernelWindow& kernelWindow);

  int32_t Init(bool configOnly = false, platform::win::HWND host = 0) {
    driver::TDrvInitRecord record;
    std::memset(&record, 0, sizeof record);
    record.HostWindow = host != 0 ? host : window_;
    record.MessageId = kMessage;
    record.BlockId = 5;
    const std::string dir = dir_ / "drv";
    std::memcpy(record.DriverDir, dir.data(), dir.size());
    record.ConfigOnly = configOnly ? 1 : 0;
    const int32_t code = module_->InitDeviceDrv(record);
    if (code == 0) initialised_ = true;
    return code;
  }

  int32_t Done() {
    const int32_t code = module_->DoneDeviceDrv();
    if (code == 0) initialised_ = false;
    return code;
  }

  // The section as the server sees it; nullptr when there is none.
  std::unique_ptr<exchange::TIntercomInterface> Section() {
    auto section = exchange::TIntercomInterface::Open(exchange::kSectionName);
    return section && section->IsAttached() ? std::move(section) : nullptr;
  }

  bool ValueArrived(int32_t id, float value, uint32_t ms = 20000) {
    return WaitPumping([&] {
      for (const auto& v : values_) {
        if (v.first == id && v.second == value) return true;
      }
      return false;
    }, ms);
  }

  std::vector<uint8_t> Block(const std::vector<int32_t>& ids) {
    std::vector<uint8_t> bytes(sizeof(driver::TDrvWriteBlock) + sizeof(driver::TDrvWriteRecord) * ids.size());
    const driver::TDrvWriteBlock header{0, static_cast<int32_t>(ids.size())};
    std::memcpy(bytes.data(), &header, sizeof header);
    for (size_t i = 0; i < ids.size(); ++i) {
      const driver::TDrvWriteRecord r{ids[i], 1.5f, 0, 0, 0};
      std::memcpy(bytes.data() + sizeof header + sizeof r * i, &r, sizeof r);
    }
    return bytes;
  }

  std::vector<std::string> ServerStarts() {
    std::vector<std::string> lines;
    std::istringstream text(drvtest::ReadFile(dir_ / "drv/started.txt"));
    for (std::string line; std::getline(text, line);) lines.push_back(line);
    return lines;
  }

  // Runs step when the test thread next handles its messages: inside the
  // wait of the export called next, as a kernel message would.
  void WhenPumped(std::function<void()> step) {
    pumped_ = std::move(step);
    platform::win::PostMessage(window_, kPumped, 0, 0);
  }

  void InstallFakeServer(bool registers) {
    drvtest::fs::copy_file(FAKE_SERVER, dir_ / "drv/Ferrowick_V30.srv");
    if (registers) drvtest::WriteFile(dir_ / "drv/register", "");
  }

  drvtest::Namespace ns_;
  drvtest::TempDir dir_;
  std::unique_ptr<kernel::DriverModule> module_;
  platform::win::HWND window_ = 0;
  platform::win::LRESULT answer_ = driver::ValueBlockCode;
  int blocksSeen_ = 0;
  std::vector<std::pair<int32_t, float>> values_;
  bool initialised_ = false;
  std::function<void()> pumped_;
  std::function<void()> inBlock_;  // runs inside the handler of the next value block
};

TEST_F(DriverModule, ResultCodesAroundInitialisation) {
  driver::TDrvWriteBlock empty{0, 0};
  EXPECT_EQ(module_->DoneDeviceDrv(), -5);
  EXPECT_EQ(module_->RunDeviceDrv(), -5);
  EXPECT_EQ(module_->StopDeviceDrv(), -5);
  EXPECT_EQ(module_->WriteDataDrv(&empty, 1), -5);
  EXPECT_EQ(module_->ShowState(window_), -5);
  EXPECT_EQ(module_->SetupDeviceDrv(window_), 0);
  EXPECT_EQ(module_->ReadDataDrv(1, 2), -7);
  EXPECT_EQ(module_->Sinhronize(3), -7);
  EXPECT_EQ(module_->GetErrorStr(1, 2, 3), 0);
  module_->ShowLogList(0);
  module_->About(window_);
  EXPECT_TRUE(drvtest::KernelLog().empty()) << "nothing is logged before initialisation";

  auto& model = kernel::KernelModel::Instance();
  const int32_t opc = model.AddDomain("OPC");
  model.AddVariable(opc, Var(1, "A", "OPC:DEVICE=1;ADDRESS=1"));
  model.AddVariable(opc, Var(2, "B", "OPC:DEVICE=1;ADDRESS=2"));
  Ini("Auto Run Server=0\r\n", {DeviceLine("D", 1, "OPC")});
  ASSERT_EQ(Init(), 0);
  EXPECT_EQ(Init(), -4);
  EXPECT_EQ(module_->ShowState(window_), 0);
  EXPECT_EQ(module_->ReadDataDrv(0, 0), -7);
  EXPECT_EQ(module_->Sinhronize(0), -7);

  EXPECT_EQ(module_->WriteDataDrv(&empty, 0), -6);
  EXPECT_EQ(module_->WriteDataDrv(nullptr, 1), -6);
  EXPECT_EQ(drvtest::CountLog(-6, "DLM::Ошибка в параметрах функции."_cp), 2);
  const auto block = Block({2, 999, 1});
  EXPECT_EQ(module_->WriteDataDrv(reinterpret_cast<driver::TDrvWriteBlock*>(const_cast<uint8_t*>(block.data())), 1), -6);
  EXPECT_EQ(drvtest::CountLogCode(-6), 2) << "an unknown Id is answered, not logged";
  // The known ones were queued in order and reach the batch.
  auto section = Section();
  ASSERT_NE(section, nullptr);
  ASSERT_TRUE(WaitPumping([&] { return section->Commands()->GetReady() == 1; }, 20000));
  exchange::TCommandBlock copy;
  ASSERT_TRUE(section->Commands()->CopyBlock(copy));
  ASSERT_EQ(copy.CommandCount(), 2);
  EXPECT_EQ(copy.Commands[0].Id, 2);
  EXPECT_EQ(copy.Commands[1].Id, 1);
  EXPECT_EQ(copy.Commands[0].Value, 1.5f);
}

TEST_F(DriverModule, DeviceInfoBytesAndPrefixList) {
  kernel::KernelModel::Instance().AddDomain("ABC");
  kernel::KernelModel::Instance().AddDomain("OPC");
  Ini("Auto Run Server=0\r\n", {DeviceLine("1", 1, "abc"), DeviceLine("2", 1, "OPC"), DeviceLine("3", 2, "opc"),
                                DeviceLine("4", 3, "")});
  ASSERT_EQ(Init(true), 0);
  driver::TDrvDeviceInfo info;
  std::memset(&info, 0xCC, sizeof info);
  EXPECT_EQ(module_->GetDeviceInfo(&info), 0);
  const uint8_t guid[16] = {0x45, 0xE9, 0xEE, 0x15, 0x47, 0xB4, 0x59, 0x46,
                            0xAB, 0xE2, 0x8E, 0x4F, 0xF2, 0xBB, 0xFC, 0x65};
  EXPECT_EQ(std::memcmp(info.DriverGUID, guid, 16), 0);
  const std::string_view description = "Драйвер поддержки OPC серверов. Версия 3.0"_cp;
  EXPECT_EQ(std::string(info.Description), description);
  for (size_t i = description.size(); i < sizeof info.Description; ++i) ASSERT_EQ(info.Description[i], 0);
  EXPECT_EQ(std::vector<int32_t>(info.Values, info.Values + 6), (std::vector<int32_t>{-1, -1, -1, 0, 100, 100}));
  EXPECT_EQ(std::string(info.PrefixList), ":ABC::OPC:");
  for (size_t i = 10; i < sizeof info.PrefixList; ++i) ASSERT_EQ(info.PrefixList[i], 0);
  EXPECT_EQ(drvtest::CountLog(-3, "DLM::Устройству приписан пустой префикс."_cp), 1);
  EXPECT_EQ(drvtest::CountLogCode(-3), 1);
  EXPECT_EQ(Section(), nullptr) << "configuration-only mode makes no section";
  EXPECT_EQ(module_->RunDeviceDrv(), 0);
  EXPECT_EQ(module_->StopDeviceDrv(), 0);
  EXPECT_EQ(Done(), 0);
  EXPECT_EQ(module_->DoneDeviceDrv(), -5);
}

TEST_F(DriverModule, DeviceLineWithoutPrefixServesOPCAfterEveryInitialisation) {
  kernel::KernelModel::Instance().AddDomain("ABC");
  kernel::KernelModel::Instance().AddDomain("OPC");
  Ini("Auto Run Server=0\r\n", {DeviceLine("1", 1, "abc"), "Name=2" + kEsc + "DeviceAddress=1"});
  for (int round = 0; round < 2; ++round) {
    ASSERT_EQ(Init(true), 0);
    driver::TDrvDeviceInfo info;
    EXPECT_EQ(module_->GetDeviceInfo(&info), 0);
    EXPECT_EQ(std::string(info.PrefixList), ":ABC::OPC:") << "round " << round;
    EXPECT_EQ(Done(), 0);
  }
  EXPECT_EQ(drvtest::CountLogCode(0), 0) << "every domain loads";
}

TEST_F(DriverModule, SectionAfterInitRunAndStop) {
  auto& model = kernel::KernelModel::Instance();
  const int32_t opc = model.AddDomain("OPC");
  model.AddVariable(opc, Var(1, "Level", "OPC:DEVICE=1;ADDRESS=1", 2.5f));
  model.AddVariable(opc, Var(2, "Flow", "OPC:DEVICE=1;ADDRESS=2", 7.0f, 0.1f));
  model.AddVariable(0, Var(71, "LINK_1", ""));
  Ini("Auto Run Server=0\r\n", {DeviceLine("D", 1, "OPC", " link_1 ", "CMD_1")});
  ASSERT_EQ(Init(), 0);
  auto section = Section();
  ASSERT_NE(section, nullptr) << "the section is sized for exactly the stored records";
  EXPECT_EQ(section->ViewSize(), exchange::SectionSize(2));
  EXPECT_EQ(section->HalvorstenInfo()->GetDescription(), "Драйвер поддержки OPC серверов. Версия 3.0"_cp);
  EXPECT_EQ(section->HalvorstenInfo()->GetState(), 1);
  EXPECT_EQ(platform::os::LoadShortString(section->HalvorstenInfo()->Block(), 513), ":OPC:");
  ASSERT_EQ(section->DMLVariables()->Count(), 2);
  std::map<int32_t, exchange::TDMLVariable> rows;
  for (int32_t i = 0; i < 2; ++i) {
    exchange::TDMLVariable row;
    ASSERT_TRUE(section->DMLVariables()->GetItem(i, row));
    rows[row.Info.Id] = row;
  }
  EXPECT_EQ(rows[1].Value, 2.5f);
  EXPECT_EQ(rows[1].SentValue, 2.5f);
  EXPECT_EQ(rows[2].Value, 7.0f);
  EXPECT_EQ(std::string(rows[2].Info.Name), "Flow");
  ASSERT_EQ(section->DynemicVariables()->Count(), 2);
  exchange::TDynemicItem link, command;
  ASSERT_TRUE(section->DynemicVariables()->GetItem(0, link));
  ASSERT_TRUE(section->DynemicVariables()->GetItem(1, command));
  EXPECT_EQ(exchange::ShortStringOf(link.Name), "LINK_1");
  EXPECT_EQ(link.Info.Id, 71);
  EXPECT_EQ(exchange::ShortStringOf(command.Name), "CMD_1");
  EXPECT_EQ(command.Info.Id, -100) << "unknown to the kernel";
  for (exchange::TTerminalClass* t : {section->Terminal1(), section->Terminal2(), section->Terminal3()}) {
    EXPECT_EQ(t->GetCounter(), 1);
    EXPECT_EQ(t->GetOwnerId(), -1);
  }
  EXPECT_EQ(drvtest::CountLog(0, "Динамический тег CMD_1 не описан."_cp), 1);

  // The link tag is sent at once, at 0.
  EXPECT_TRUE(ValueArrived(71, 0.0f));
  EXPECT_EQ(module_->RunDeviceDrv(), 0);
  EXPECT_EQ(section->HalvorstenInfo()->GetState(), 2);

  // Heartbeat: advancing, and 0 after 65535.
  const int32_t beat = section->HalvorstenInfo()->GetTransactionId();
  EXPECT_TRUE(WaitPumping([&] { return section->HalvorstenInfo()->GetTransactionId() > beat + 10; }, 20000));
  section->HalvorstenInfo()->SetTransactionId(65535);
  EXPECT_TRUE(WaitPumping([&] { return section->HalvorstenInfo()->GetTransactionId() < 1000; }, 20000));

  // A value the server writes and publishes reaches the kernel.
  section->DMLVariables()->SetValue(1, 7.5f, platform::os::Now());
  section->DMLVariables()->BumpChangeCounter();
  EXPECT_TRUE(ValueArrived(2, 7.5f));
  EXPECT_EQ(module_->StopDeviceDrv(), 0);
  EXPECT_EQ(section->HalvorstenInfo()->GetState(), 3);
  const int32_t stopped = section->HalvorstenInfo()->GetTransactionId();
  WaitPumping([] { return false; }, 50);
  EXPECT_EQ(section->HalvorstenInfo()->GetTransactionId(), stopped) << "the thread has ended";
  EXPECT_EQ(module_->RunDeviceDrv(), 0);
  EXPECT_TRUE(WaitPumping([&] { return section->HalvorstenInfo()->GetTransactionId() != stopped; }, 20000))
      << "run after stop starts the thread again";
}

TEST_F(DriverModule, SectionLeavesOutRecordsTheKernelNoLongerHas) {
  auto& model = kernel::KernelModel::Instance();
  const int32_t opc = model.AddDomain("OPC");
  model.AddVariable(opc, Var(1, "Level", "OPC:DEVICE=1;ADDRESS=1"));
  model.AddVariable(opc, Var(2, "Flow", "OPC:DEVICE=1;ADDRESS=2"));
  model.AddVariable(opc, Var(3, "Gone", "OPC:DEVICE=1;ADDRESS=3"));
  ASSERT_TRUE(model.ForgetVariable(3));
  Ini("Auto Run Server=0\r\n", {DeviceLine("D", 1, "OPC")});
  ASSERT_EQ(Init(), 0);
  auto section = Section();
  ASSERT_NE(section, nullptr) << "the server side places every block where the driver put it";
  EXPECT_EQ(section->ViewSize(), exchange::SectionSize(2));
  EXPECT_EQ(section->DMLVariables()->Count(), 2);
}

TEST_F(DriverModule, RefusedBlockIsSentAgain) {
  OneLinkDevice();
  answer_ = 1;
  const uint32_t start = GetTickCount();
  ASSERT_EQ(Init(), 0);
  // Sent again every cycle, logged the first time and then at most once a
  // second.
  ASSERT_TRUE(WaitPumping([&] { return blocksSeen_ >= 100; }, 10000));
  const uint32_t elapsed = TickDiff(GetTickCount(), start);
  EXPECT_GE(drvtest::CountLog(11, "DLM::Данные не могут быть отосланы ядру Halvorsten."_cp), 1);
  EXPECT_LE(drvtest::CountLogCode(11), static_cast<int>(elapsed / 1000 + 1)) << blocksSeen_ << " refusals";
  EXPECT_TRUE(values_.empty());
  answer_ = driver::ValueBlockCode;
  EXPECT_TRUE(ValueArrived(71, 0.0f));
}

TEST_F(DriverModule, DoneWhileTheThreadIsSendingToTheKernel) {
  OneLinkDevice();
  answer_ = 0;  // refused: the thread sends every cycle
  ASSERT_EQ(Init(), 0);
  ASSERT_TRUE(WaitPumping([&] { return blocksSeen_ > 3; }, 20000));
  EXPECT_EQ(Done(), 0) << "the thread ended; a Done that gives up answers -5";
  EXPECT_EQ(Section(), nullptr) << "done closes the section";
  EXPECT_EQ(module_->RunDeviceDrv(), -5);
  // A new initialisation builds everything again.
  answer_ = driver::ValueBlockCode;
  ASSERT_EQ(Init(), 0);
  EXPECT_NE(Section(), nullptr);
  EXPECT_TRUE(ValueArrived(71, 0.0f));
  EXPECT_EQ(Done(), 0);
}

// A kernel window on a thread of its own whose first value block blocks
// until released: the driver thread hangs in the send.
class HangingKernelWindow {
 public:
  HangingKernelWindow() {
    thread_ = std::thread([this] {
      const platform::win::HWND window = platform::win::AllocateHWnd(
          [this](platform::win::HWND, platform::win::UINT m, platform::win::WPARAM, platform::win::LPARAM) {
            if (m != kMessage) return platform::win::LRESULT{0};
            entered_ = true;
            for (int i = 0; i < 60000 && !released_; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
            return static_cast<platform::win::LRESULT>(driver::ValueBlockCode);
          });
      handle_ = window;
      WaitPumping([this] { return ended_.load(); }, 120000);
      platform::win::DestroyWindow(window);
    });
    // The window exists within 20 s, or Handle() stays 0.
    for (int i = 0; i < 20000 && handle_ == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ~HangingKernelWindow() {
    released_ = true;
    ended_ = true;
    thread_.join();
  }
  platform::win::HWND Handle() const { return handle_; }
  bool Entered() const { return entered_; }
  void Release() { released_ = true; }

 private:
  std::atomic<platform::win::HWND> handle_{0};
  std::atomic<bool> entered_{false};
  std::atomic<bool> released_{false};
  std::atomic<bool> ended_{false};
  std::thread thread_;
};

void DriverModule::InitStuckInTheFirstSend(HangingKernelWindow& kernelWindow) {
  OneLinkDevice();
  ASSERT_NE(kernelWindow.Handle(), 0u);
  ASSERT_EQ(Init(false, kernelWindow.Handle()), 0);
  ASSERT_TRUE(WaitPumping([&] { return kernelWindow.Entered(); }, 20000));
}

TEST_F(DriverModule, DoneGivesUpOnAThreadThatDoesNotEndAndNothingIsReplacedUnderIt) {
  HangingKernelWindow kernelWindow;
  ASSERT_NO_FATAL_FAILURE(InitStuckInTheFirstSend(kernelWindow));
  EXPECT_EQ(Done(), -5) << "the thread did not end within 10 s";
  EXPECT_EQ(drvtest::CountLog(-1, "DLM::Поток драйвера не завершился."_cp), 1);
  EXPECT_EQ(module_->RunDeviceDrv(), -5);
  EXPECT_EQ(Init(), -4) << "refused while the thread lives: it still uses its objects";
  EXPECT_NE(Section(), nullptr) << "the section the thread uses stays";

  kernelWindow.Release();
  ASSERT_TRUE(WaitPumping([&] { return Init() == 0; }, 20000)) << "accepted once the thread has ended";
  auto section = Section();
  ASSERT_NE(section, nullptr);
  EXPECT_TRUE(ValueArrived(71, 0.0f)) << "the new initialisation works with its own objects";
  EXPECT_EQ(module_->StopDeviceDrv(), 0);
  EXPECT_EQ(Done(), 0);
}

TEST_F(DriverModule, DoneWithoutStopClosesTheServerAlsoWhenItGivesUpOnTheThread) {
  InstallFakeServer(true);
  const auto serverRegistered = [this] {
    const auto section = Section();
    return section && section->ServerData()->GetWindowHandle(0) != 0;
  };
  OneLinkDevice("");
  ASSERT_EQ(Init(), 0);
  ASSERT_TRUE(WaitPumping(serverRegistered, 20000));
  EXPECT_EQ(Done(), 0);
  EXPECT_TRUE(WaitPumping([] { return platform::os::PendingChildCount() == 0; }, 20000)) << "the server ended";

  HangingKernelWindow kernelWindow;
  ASSERT_NE(kernelWindow.Handle(), 0u);
  ASSERT_EQ(Init(false, kernelWindow.Handle()), 0);
  EXPECT_EQ(drvtest::CountLogCode(-1), 0) << "no server of the first initialisation held the section";
  ASSERT_TRUE(WaitPumping([&] { return kernelWindow.Entered() && serverRegistered(); }, 20000));
  EXPECT_EQ(Done(), -5) << "the thread hangs in its send";
  EXPECT_TRUE(WaitPumping([] { return platform::os::PendingChildCount() == 0; }, 20000)) << "the server ended";
  {
    const auto section = Section();
    ASSERT_NE(section, nullptr);
    EXPECT_EQ(section->HalvorstenInfo()->GetState(), 3) << "no running state is left without a thread";
  }
  kernelWindow.Release();
  EXPECT_TRUE(WaitPumping([&] { return Init() == 0; }, 20000));
  EXPECT_NE(Section(), nullptr);
  EXPECT_EQ(drvtest::CountLogCode(-1), 1) << "only the thread that did not end";
}

TEST_F(DriverModule, DoneAndStopInsideTheValueHandlerAreRefusedAtOnce) {
  OneLinkDevice();
  std::vector<int32_t> nested;
  inBlock_ = [&] { nested = {module_->DoneDeviceDrv(), module_->StopDeviceDrv()}; };
  ASSERT_EQ(Init(), 0);
  ASSERT_EQ(module_->RunDeviceDrv(), 0);
  ASSERT_TRUE(WaitPumping([&] { return !nested.empty(); }, 20000));
  EXPECT_EQ(nested, std::vector<int32_t>(2, -8));
  const auto section = Section();
  ASSERT_NE(section, nullptr);
  EXPECT_EQ(section->HalvorstenInfo()->GetState(), 2) << "nothing changed";
  const int32_t beat = section->HalvorstenInfo()->GetTransactionId();
  EXPECT_TRUE(WaitPumping([&] { return section->HalvorstenInfo()->GetTransactionId() != beat; }, 20000))
      << "the thread goes on";
  EXPECT_EQ(module_->StopDeviceDrv(), 0);
  EXPECT_EQ(Done(), 0);
}

TEST_F(DriverModule, InitAndRunWithoutAThreadAnswerAnError) {
  OneLinkDevice();
  platform::os::FailThreadStarts(1);
  EXPECT_EQ(Init(), -8);
  EXPECT_EQ(drvtest::CountLog(-1, "DLM::Поток драйвера не запущен."_cp), 1);
  EXPECT_EQ(Section(), nullptr) << "nothing of the failed initialisation is left";
  EXPECT_EQ(module_->RunDeviceDrv(), -5);

  ASSERT_EQ(Init(), 0);
  ASSERT_EQ(module_->StopDeviceDrv(), 0);
  platform::os::FailThreadStarts(1);
  EXPECT_EQ(module_->RunDeviceDrv(), -8);
  const auto section = Section();
  ASSERT_NE(section, nullptr);
  EXPECT_EQ(section->HalvorstenInfo()->GetState(), 3) << "not running without a thread";
  EXPECT_EQ(module_->RunDeviceDrv(), 0);
  EXPECT_TRUE(ValueArrived(71, 0.0f));
  EXPECT_EQ(drvtest::CountLog(-1, "DLM::Поток драйвера не запущен."_cp), 2);
}

// A kernel that exits or unloads the module without Done, its driver thread
// stuck in a send to the kernel's own thread, or after a Done that gave up:
// the process ends at once and cleanly.
TEST_F(DriverModule, KernelThatEndsWithoutDoneEndsAtOnce) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  OneLinkDevice();
  for (const bool unload : {false, true}) {
    EXPECT_EXIT(
        {
          inBlock_ = [&] {
            if (unload) module_.reset();
            // The section's name goes first: the child leaves nothing behind.
            drvtest::fs::remove("/dev/shm" + platform::os::SectionPosixName(exchange::kSectionName));
            std::exit(0);
          };
          if (Init() == 0) WaitPumping([] { return false; }, 20000);
          std::exit(1);
        },
        ::testing::ExitedWithCode(0), "")
        << (unload ? "unloaded, then exited" : "exited");
  }
  EXPECT_EXIT(
      {
        HangingKernelWindow kernelWindow;
        InitStuckInTheFirstSend(kernelWindow);
        if (Done() != -5) std::exit(1);
        module_.reset();
        kernelWindow.Release();
        // The stray thread ends in the module's code, which stays loaded.
        module_ = std::make_unique<kernel::DriverModule>(FW_OUT_DIR "/Ferrowick_V30.dlm");
        const bool accepted = WaitPumping([&] { return Init() == 0; }, 20000);
        std::exit(accepted && module_->StopDeviceDrv() == 0 && Done() == 0 ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST_F(DriverModule, CallsNestedInStopsWaitAreRefusedAndRunRestartsAThreadStopGaveUpOn) {
  HangingKernelWindow kernelWindow;
  ASSERT_NO_FATAL_FAILURE(InitStuckInTheFirstSend(kernelWindow));
  auto section = Section();
  ASSERT_NE(section, nullptr);

  std::vector<int32_t> nested;
  WhenPumped([&] {
    nested = {module_->DoneDeviceDrv(), module_->RunDeviceDrv(), module_->StopDeviceDrv(), Init(),
              module_->ShowState(window_)};
    std::thread([&] { nested.push_back(module_->DoneDeviceDrv()); }).join();  // another of the kernel's threads
  });
  EXPECT_EQ(module_->StopDeviceDrv(), 0) << "gives up on the stuck thread after 10 s";
  EXPECT_EQ(nested, std::vector<int32_t>(6, -8));

  // Run waits for the stuck thread, which the kernel lets go meanwhile,
  // and starts a new one.
  WhenPumped([&] { kernelWindow.Release(); });
  EXPECT_EQ(module_->RunDeviceDrv(), 0);
  const int32_t beat = section->HalvorstenInfo()->GetTransactionId();
  EXPECT_TRUE(WaitPumping([&] { return section->HalvorstenInfo()->GetTransactionId() != beat; }, 20000))
      << "a driver thread runs after Run";
  EXPECT_EQ(drvtest::CountLogCode(-1), 0);
}

TEST_F(DriverModule, CallsNestedInInitAndSetupChangeNothing) {
  auto& model = kernel::KernelModel::Instance();
  model.AddVariable(model.AddDomain("OPC"), Var(1, "A", "OPC:DEVICE=1;ADDRESS=1"));
  // The empty prefix is logged while the tag list is being filled, and the
  // kernel writes from its log sink.
  Ini("Auto Run Server=0\r\n", {DeviceLine("E", 1, ""), DeviceLine("D", 1, "OPC")});
  auto block = Block({1});
  auto* write = reinterpret_cast<driver::TDrvWriteBlock*>(block.data());
  std::vector<int32_t> duringInit;
  model.SetSinks(
      [&](const driver::TLogItem& item) {
        if (item.Code == -3) duringInit.push_back(module_->WriteDataDrv(write, 1));
      },
      nullptr, nullptr);
  ASSERT_EQ(Init(true), 0);
  model.SetSinks(nullptr, nullptr, nullptr);
  EXPECT_EQ(duringInit, std::vector<int32_t>{-5}) << "no write into a half-filled tag list";
  EXPECT_EQ(module_->WriteDataDrv(write, 1), 0);

  std::vector<int32_t> duringSetup;
  platform::ui::THeadlessDriver::AnswerNextModal([&](platform::ui::TCustomForm& form) {
    duringSetup = {module_->DoneDeviceDrv(), module_->SetupDeviceDrv(window_)};
    platform::ui::THeadlessDriver::Click(platform::ui::THeadlessDriver::FindIn(&form, "OkBitBtn"));
  });
  EXPECT_EQ(module_->SetupDeviceDrv(window_), 1);
  EXPECT_EQ(duringSetup, (std::vector<int32_t>{-8, 0}));
  EXPECT_NE(drvtest::ReadFile(dir_ / "drv/Ferrowick_V30.ini").find("Device_Count=2"), std::string::npos)
      << "saved from the device list Done left alone";
  EXPECT_EQ(Done(), 0);
}

TEST_F(DriverModule, ServerCommandLineAndWatchdog) {
  InstallFakeServer(false);
  Ini("Check Server Interval=0\r\n", {});
  const uint32_t start = GetTickCount();
  ASSERT_EQ(Init(), 0);
  ASSERT_TRUE(WaitPumping([&] { return ServerStarts().size() >= 1; }, 20000));
  const std::string drv = dir_ / "drv";
  EXPECT_EQ(ServerStarts()[0], drv + "/Ferrowick_V30.srv\t0\t" + drv + "/Ferrowick_V30.ini\r");
  // A server that never registers is started again once a second (an
  // interval of 0 reads as 1), and the third attempt is logged.
  ASSERT_TRUE(WaitPumping([&] { return ServerStarts().size() >= 3; }, 10000));
  EXPECT_GE(TickDiff(GetTickCount(), start), 1900u);
  EXPECT_TRUE(WaitPumping([] { return drvtest::CountLogCode(-1) > 0; }, 20000));
  EXPECT_EQ(drvtest::CountLog(-1, "DLM::Ошибка запуска сервера доступа к устройству."_cp), 1);
  EXPECT_EQ(module_->StopDeviceDrv(), 0);
  EXPECT_LE(ServerStarts().size(), static_cast<size_t>(TickDiff(GetTickCount(), start) / 1000 + 1));
}

TEST_F(DriverModule, NoServerWithoutAutoRun) {
  InstallFakeServer(false);
  Ini("Auto Run Server=0\r\nCheck Server Interval=1\r\n", {});
  ASSERT_EQ(Init(), 0);
  WaitPumping([] { return false; }, 1500);
  EXPECT_TRUE(ServerStarts().empty());
}

TEST_F(DriverModule, StopClosesTheServerAndSkipsStaleSlots) {
  InstallFakeServer(true);
  Ini("", {});
  ASSERT_EQ(Init(), 0);
  auto section = Section();
  ASSERT_NE(section, nullptr);
  ASSERT_TRUE(WaitPumping([&] { return section->ServerData()->GetWindowHandle(0) != 0; }, 10000));
  // A slot left by a server that died: its handle is no window any more.
  const platform::win::HWND dead = platform::win::AllocateHWnd(
      [](platform::win::HWND, platform::win::UINT, platform::win::WPARAM, platform::win::LPARAM) { return 0; });
  platform::win::DestroyWindow(dead);
  exchange::ServerIndex = 3;
  section->ServerData()->SetOwnWindowHandle(static_cast<int32_t>(dead));
  section->ServerData()->SetOwnProcessId(99999);
  exchange::ServerIndex = -1;

  const uint32_t start = GetTickCount();
  EXPECT_EQ(module_->StopDeviceDrv(), 0);
  EXPECT_LT(TickDiff(GetTickCount(), start), 10000u) << "a wait on the stale slot lasts its full 10 s";
  EXPECT_EQ(section->ServerData()->GetWindowHandle(0), 0) << "the server cleared its slot on WM_CLOSE";
  EXPECT_EQ(ServerStarts().size(), 1u);
  EXPECT_EQ(drvtest::CountLogCode(-1), 0);
  EXPECT_EQ(Done(), 0);
}

TEST_F(DriverModule, SectionHeldByAnotherStaysDetached) {
  auto other = exchange::TIntercomInterface::Create(exchange::kSectionName, 0);
  ASSERT_TRUE(other->IsAttached());
  kernel::KernelModel::Instance().AddVariable(0, Var(71, "LINK_1", ""));
  Ini("Auto Run Server=0\r\n", {DeviceLine("D", 1, "OPC", "LINK_1", "CMD_1")});
  ASSERT_EQ(Init(), 0);
  EXPECT_EQ(module_->RunDeviceDrv(), 0);
  WaitPumping([] { return false; }, 100);
  EXPECT_EQ(other->HalvorstenInfo()->GetState(), 0) << "the driver writes nothing into a section it does not own";
  EXPECT_EQ(other->HalvorstenInfo()->GetTransactionId(), 0);
  EXPECT_EQ(other->DynemicVariables()->Count(), 0);
  EXPECT_EQ(drvtest::CountLog(0, "DLM:: Превышен лимит доступных динамических тегов."_cp), 0);
  EXPECT_EQ(drvtest::CountLog(-1, "DLM::Область обмена занята другим процессом. Драйвер работает без обмена с сервером."_cp),
            1);
  EXPECT_EQ(module_->StopDeviceDrv(), 0);
  EXPECT_EQ(Done(), 0);
}

TEST_F(DriverModule, RemoveDriverKeepsThePathAsGiven) {
  const std::string folder = dir_ / "Mixed/";
  drvtest::fs::create_directories(folder);
  drvtest::WriteFile(folder + "Ferrowick_V30.srv", "x");
  drvtest::WriteFile(folder + "Ferrowick_V30.ini", "x");
  EXPECT_EQ(module_->RemoveDriver(0, folder.c_str()), 1);
  EXPECT_FALSE(drvtest::fs::exists(folder + "Ferrowick_V30.srv"));
  EXPECT_FALSE(drvtest::fs::exists(folder + "Ferrowick_V30.ini"));
  EXPECT_EQ(module_->RemoveDriver(0, folder.c_str()), 1) << "nothing to remove is success";
  EXPECT_EQ(module_->RemoveDriver(0, nullptr), 1);
  EXPECT_EQ(module_->InstallDriver(window_, "/src", "/dst"), 0) << "no server program at the source";
}

}  // namespace

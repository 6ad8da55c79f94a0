// Connecting devices to the simulation OPC server: the connect sequence,
// both subscription kinds, the failures with their texts, the link state
// and shutdown notices.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <regex>
#include <sstream>

#include "platform/os/Text.h"
#include "server/ServerData.h"
#include "server/ServerErrors.h"
#include "tests/server/opc/OpcTestSupport.h"

namespace opc_test {
namespace {

namespace ec = server::ErrorCode;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

int CountLines(const std::string& text, const std::string& line) {
  int n = 0;
  for (const std::string& l : Lines(text)) n += l == line ? 1 : 0;
  return n;
}

class Connect : public OpcTest {
 protected:
  // A window list over these devices, started.
  void StartWindows(std::vector<std::unique_ptr<server::TDevice>> devices) {
    server::TDeviceList list;
    for (auto& d : devices) list.Add(d.release());
    ASSERT_TRUE(windows_.Build(&list));
    ASSERT_EQ(windows_.Count(), 1);
    EXPECT_TRUE(windows_.StartAll());
  }
  server::TDevice* Device(std::int32_t number) { return windows_.FindDeviceByNumber(number); }

  void TearDown() override {
    windows_.StopAll();
    windows_.FreeAll();
    OpcTest::TearDown();
  }

  server::TDeviceWindowList windows_;
};

TEST_F(Connect, StreamSubscriptionFollowsTheConnectSequence) {
  Prepare();
  std::vector<std::unique_ptr<server::TDevice>> devices;
  devices.push_back(PlantDevice(0));
  StartWindows(std::move(devices));
  server::TDevice* device = Device(0);
  ASSERT_NE(device, nullptr);
  EXPECT_EQ(device->LinkState, 1);
  EXPECT_EQ(Dynamic("LINK"), 0.0f);
  ASSERT_TRUE(PumpUntil([&] { return SharedValue(kLevel) == 1.5f && SharedValue(kMode) == 3.0f; }));
  // Text on the stream path: -24 for each value, the variable untouched.
  ASSERT_TRUE(PumpUntil([&] { return CountErrors(ec::UnsupportedType) >= 1; }));
  EXPECT_EQ(SharedValue(kName), -1.0f);
  EXPECT_EQ(ErrorEntries().at(0).second, "NAME OPC: Не поддерживаемый тип.");

  const std::vector<std::string> journal = Lines(Journal());
  ASSERT_GE(journal.size(), 7u);
  EXPECT_EQ(journal[0], "connect");
  EXPECT_TRUE(std::regex_match(journal[1], std::regex("addgroup _[0-9A-F]{32}_ 500"))) << journal[1];
  // One AddItems per item; client handles are positions in descending tag
  // name order.
  EXPECT_EQ(journal[2], "additem Sim.Name 0");
  EXPECT_EQ(journal[3], "additem Sim.Mode 1");
  EXPECT_EQ(journal[4], "additem Sim.Level 2");
  EXPECT_EQ(journal[5], "advise stream");
  EXPECT_EQ(journal[6], "refresh");
  EXPECT_NE(device->RefreshTransactionId, 0u);
  for (std::int32_t i = 0; i < device->Items->Count(); ++i) EXPECT_NE(device->Items->At(i)->ServerHandle, 0u);

  ASSERT_TRUE(windows_.StopAll());
  EXPECT_EQ(device->Items->Count(), 0);
  const std::string after = Journal();
  EXPECT_EQ(CountLines(after, "unadvise"), 1);
  EXPECT_EQ(CountLines(after, "removegroup"), 1);
  for (const auto& [code, text] : ErrorEntries()) EXPECT_EQ(code, ec::UnsupportedType) << text;
  // Nothing reaches the table after the stop.
  driver_->DMLVariables()->SetValue(kLevel, -5.0f, 0.0);
  ASSERT_EQ(Ctl({"set", kProgId, "Sim.Level", "8"}), 0);
  Pump(800);
  EXPECT_EQ(SharedValue(kLevel), -5.0f);
}

TEST_F(Connect, CallbackSubscriptionConvertsTextThatReadsAsANumber) {
  Prepare();
  std::vector<std::unique_ptr<server::TDevice>> devices;
  devices.push_back(PlantDevice(1));
  StartWindows(std::move(devices));
  ASSERT_TRUE(PumpUntil([&] { return SharedValue(kLevel) == 1.5f && SharedValue(kMode) == 3.0f; }));
  const std::vector<std::string> journal = Lines(Journal());
  ASSERT_GE(journal.size(), 7u);
  EXPECT_EQ(journal[5], "advise callback");
  EXPECT_EQ(journal[6], "refresh");
  // "abc" does not convert: no -24 on this path, and no -22 as the item was
  // never good.
  Pump(300);
  EXPECT_TRUE(ErrorEntries().empty());
  ASSERT_EQ(Ctl({"set", kProgId, "Sim.Name", "12.5"}), 0);
  ASSERT_TRUE(PumpUntil([&] { return SharedValue(kName) == 12.5f; }));
  ASSERT_EQ(Ctl({"set", kProgId, "Sim.Name", "xyz"}), 0);
  ASSERT_TRUE(PumpUntil([&] { return CountErrors(ec::TagProcessing) == 1; }));
  EXPECT_EQ(ErrorEntries().at(0).second, "NAME Ошибка при обработке OPC тега.");
  ASSERT_EQ(Ctl({"set", kProgId, "Sim.Name", "uvw"}), 0);
  Pump(800);
  EXPECT_EQ(CountErrors(ec::TagProcessing), 1);
  EXPECT_EQ(SharedValue(kName), 12.5f);
}

TEST_F(Connect, UnknownServerAndEmptyDescriptionFailBeforeAnyCall) {
  Prepare();
  auto missing = PlantDevice();
  missing->OPCServerName = "Sim.Missing";
  auto bare = PlantDevice();
  bare->TagListName = "Bare";
  bare->DeviceNumber = 1;
  std::vector<std::unique_ptr<server::TDevice>> devices;
  devices.push_back(std::move(missing));
  devices.push_back(std::move(bare));
  StartWindows(std::move(devices));
  EXPECT_EQ(Device(0)->LinkState, 0);
  EXPECT_EQ(Device(1)->LinkState, 0);
  EXPECT_EQ(Dynamic("LINK"), 5.0f);  // never written
  const auto errors = ErrorEntries();
  ASSERT_EQ(errors.size(), 2u);
  EXPECT_EQ(errors[0], std::make_pair(ec::NoServerInterface,
                                      std::string("Sim.Missing Интерфейс к OPC серверу не  инициализирован.")));
  EXPECT_EQ(errors[1], std::make_pair(ec::NoServerInterface,
                                      std::string("Sim.Plant Интерфейс к OPC серверу не  инициализирован.")));
  EXPECT_EQ(Journal(), "");
  // Stopping devices that never connected reports nothing.
  ASSERT_TRUE(windows_.StopAll());
  EXPECT_EQ(ErrorEntries().size(), 2u);
}

TEST_F(Connect, RefusedGroupAndRefusedItem) {
  Prepare();
  ASSERT_EQ(Ctl({"fail", kProgId, "addgroup", "on"}), 0);
  auto device = PlantDevice();
  EXPECT_FALSE(device->Connect());
  auto errors = ErrorEntries();
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].first, ec::GroupCreation);
  EXPECT_TRUE(std::regex_match(errors[0].second,
                               std::regex("Sim\\.Plant->_[0-9A-F]{32}_Ошибка создания группы в OPC сервере\\.")))
      << errors[0].second;
  device->Disconnect();
  device.reset();

  ASSERT_EQ(Ctl({"fail", kProgId, "addgroup", "off"}), 0);
  ASSERT_EQ(Ctl({"fail", kProgId, "additem:Sim.Mode", "on"}), 0);
  device = PlantDevice();
  EXPECT_TRUE(device->Connect());
  errors = ErrorEntries();
  ASSERT_EQ(errors.size(), 2u);
  EXPECT_EQ(errors[1], std::make_pair(ec::ItemAddition,
                                      std::string("Sim.Plant: Sim.Mode Тег не может быть добавлен в группу.")));
  EXPECT_EQ(device->Items->FindByTagName("MODE")->ServerHandle, 0u);
  EXPECT_NE(device->Items->FindByTagName("LEVEL")->ServerHandle, 0u);
  // The other items are served (the callback is the decoding's entry).
  std::vector<std::string> seen;
  device->SetValueCallback([&](const server::TOPCVariableIndexItem& item) { seen.push_back(item.TagName); });
  ASSERT_TRUE(PumpUntil([&] { return std::count(seen.begin(), seen.end(), "LEVEL") > 0; }));
  Pump(300);
  EXPECT_EQ(std::count(seen.begin(), seen.end(), "MODE"), 0);
  device->Disconnect();
}

TEST_F(Connect, ShutdownNoticeFailuresAreReportedAndTheConnectionGoesOn) {
  Prepare();
  struct Case {
    const char* fault;
    std::int32_t code;
    const char* text;
  };
  const Case cases[] = {
      {"container", ec::NoConnectionPoints, "Sim.Plant: Сервер не поддерживает интерфейс IConnectionPointContainer."},
      {"shutdownpoint", ec::NoShutdownInterface, "Sim.Plant: Сервер не поддерживает интерфейс IOPCShutdown."},
      {"shutdownadvise", ec::ShutdownAdvise, "Sim.Plant: Ошибка поддержки интерфейса IOPCShutdown."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fault);
    ASSERT_EQ(Ctl({"fail", kProgId, c.fault, "on"}), 0);
    auto device = PlantDevice();
    const std::size_t before = ErrorEntries().size();
    EXPECT_TRUE(device->Connect());
    auto errors = ErrorEntries();
    ASSERT_EQ(errors.size(), before + 1);
    EXPECT_EQ(errors.back(), std::make_pair(c.code, std::string(c.text)));
    device->Disconnect();
    ASSERT_EQ(Ctl({"fail", kProgId, c.fault, "off"}), 0);
  }
}

TEST_F(Connect, RefusedSubscriptionsFailTheConnection) {
  Prepare();
  ASSERT_EQ(Ctl({"fail", kProgId, "advise", "on"}), 0);
  auto stream = PlantDevice(0);
  EXPECT_FALSE(stream->Connect());
  EXPECT_FALSE(stream->AdviseSink);
  ASSERT_EQ(Ctl({"fail", kProgId, "advise", "off"}), 0);
  ASSERT_EQ(Ctl({"fail", kProgId, "callbackpoint", "on"}), 0);
  auto callback = PlantDevice(1);
  EXPECT_FALSE(callback->Connect());
  EXPECT_FALSE(callback->DataCallback);
  const auto errors = ErrorEntries();
  ASSERT_EQ(errors.size(), 2u);
  EXPECT_EQ(errors[0], std::make_pair(ec::AdviseSink, std::string("Sim.Plant: OPC: Ошибка установки обработчика событий")));
  EXPECT_EQ(errors[1],
            std::make_pair(ec::DataCallback, std::string("Sim.Plant: OPC: Ошибка установки функции обратного вызова.")));
  stream->Disconnect();
  callback->Disconnect();
}

TEST_F(Connect, ShutdownRequestDropsTheLinkWithoutReconnecting) {
  Prepare();
  std::vector<std::unique_ptr<server::TDevice>> devices;
  devices.push_back(PlantDevice(0));
  StartWindows(std::move(devices));
  EXPECT_EQ(Dynamic("LINK"), 0.0f);
  ASSERT_EQ(Ctl({"shutdown", kProgId, "maintenance"}), 0);
  ASSERT_TRUE(PumpUntil([&] { return Dynamic("LINK") == 1.0f; }));
  EXPECT_EQ(Device(0)->LinkState, 0);
  ASSERT_TRUE(PumpUntil([&] { return CountErrors(ec::ServerShutdown) == 1; }));
  for (const auto& [code, text] : ErrorEntries())
    if (code == ec::ServerShutdown) {
      EXPECT_EQ(text, "Sim.Plant OPC сервер выгружен.");
    }
  Pump(1200);
  EXPECT_EQ(CountLines(Journal(), "connect"), 1);
  EXPECT_EQ(Dynamic("LINK"), 1.0f);
}

}  // namespace
}  // namespace opc_test

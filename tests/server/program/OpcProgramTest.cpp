// The real server program with a device on a simulated OPC server: the
// test plays the driver (it creates the section with routed variables and
// control variables, commits command batches) and steers the simulation,
// which runs inside the server process, through opcsim-ctl.

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "platform/os/Text.h"
#include "platform/win/MessageLoop.h"
#include "platform/win/Window.h"
#include "tests/server/program/ProgramTestSupport.h"

namespace {

using namespace program_test;
using namespace platform::os::literals;
namespace win = platform::win;

constexpr const char* kProgId = "Sim.Plant";
constexpr const char* kItems =
    "Sim.Level  R4   const 1.5 writable\n"
    "Sim.Mode   UI2  const 3 writable\n";
constexpr const char* kDescription =
    "<OPC_Description>\r\n"
    " <device name=\"Plant\">\r\n"
    "  <tagstlist>\r\n"
    "   <opctag name=\"Sim.Level\" type=\"float\" proc=\"value\" hvaddress=\"1\"/>\r\n"
    "   <opctag name=\"Sim.Mode\" type=\"word\" proc=\"value\" hvaddress=\"2\"/>\r\n"
    "  </tagstlist>\r\n"
    " </device>\r\n"
    "</OPC_Description>\r\n";

// Positions in the variable table.
enum Variable : std::int32_t { kLevel = 0, kMode = 1 };

class OpcProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(RegisterSimulation(folder_, kProgId, kItems, "Ferrowick test plant"));
    folder_.Write("Ferrowick_V30.ini", "[OPCSRV]\r\nDevice_Count=1\r\nDevice_0=" +
                                           OpcDeviceLine("Plant", kProgId, 1, "Plant", "LINK", "CMD") + "\r\n");
    folder_.Write("Ferrowick_V30.edd", kDescription);
    driver_ = CreateDriverSection({{101, "LEVEL", "OPC:DEVICE=1;ADDRESS=1", -1.0f},
                                   {102, "MODE", "OPC:DEVICE=1;ADDRESS=2", -1.0f}},
                                  {"LINK", "CMD"});
    ASSERT_TRUE(program_.Start({"0", folder_.Path() + "/Ferrowick_V30.ini"}));
    ASSERT_TRUE(WaitUntil([&] { return ReadI32(*driver_, kSlotWindow) != 0; }, 20000)) << "no registration";
    ASSERT_TRUE(WaitUntil([&] { return Link() == 0.0f; }, 20000)) << "no connection";
  }

  void TearDown() override {
    // A clean end first (the section's slot is cleared), then the kill that
    // reaps a program that did not end.
    const auto window = driver_ ? static_cast<win::HWND>(ReadI32(*driver_, kSlotWindow)) : 0;
    if (window != 0 && win::PostMessage(window, win::WM_CLOSE, 0, 0)) {
      EXPECT_EQ(program_.Wait(), 0);
    }
    program_.Kill();
    driver_.reset();
    ExpectNoSectionLeft();
  }

  float Value(Variable v) const { return SharedValue(*driver_, v); }
  float Link() const { return DynamicValue(*driver_, "LINK"); }
  float Command() const { return DynamicValue(*driver_, "CMD"); }
  std::uint8_t BatchState() const { return driver_->Commands()->GetReady(); }
  // Terminal 2 without its first line (the date and time), UTF-8.
  std::string CommandLog() const {
    const std::string text = platform::os::Cp1251ToUtf8(driver_->Terminal2()->ReadText());
    const std::size_t end = text.find("\r\n");
    return end == std::string::npos ? text : text.substr(end + 2);
  }
  std::int32_t CountErrors(std::int32_t code) const {
    std::int32_t n = 0;
    for (const auto& [c, text] : ErrorEntries(*driver_)) n += c == code ? 1 : 0;
    return n;
  }
  // Commits a batch of one command for the device with this prefix and
  // address, as the driver does.
  void Commit(std::int32_t id, std::int32_t device, std::int32_t address, float value, float value2) {
    exchange::TCommandsList& batch = *driver_->Commands();
    ASSERT_TRUE(batch.Reset());
    batch.SetId(device);
    batch.SetName("OPC");
    exchange::TSharedCommand record{};
    record.Id = id;
    exchange::SetShortString(record.Prefix, "OPC");
    record.DeviceNumber = device;
    record.Address = address;
    record.Value = value;
    record.Value2 = value2;
    ASSERT_TRUE(batch.Add(record));
    ASSERT_TRUE(batch.Commit());
  }

  TempFolder folder_;
  ScopedRegistry registry_{folder_};
  ServerProgram program_{folder_};
  std::unique_ptr<exchange::TIntercomInterface> driver_;
};

TEST_F(OpcProgramTest, SimulatedValuesReachTheVariableTableAndTheLinkIsUp) {
  EXPECT_EQ(Link(), 0.0f);
  ASSERT_TRUE(WaitUntil([&] { return Value(kLevel) == 1.5f && Value(kMode) == 3.0f; }, 10000))
      << Value(kLevel) << " " << Value(kMode);
  ASSERT_EQ(Ctl({"set", kProgId, "Sim.Level", "4.25"}), 0);
  ASSERT_TRUE(WaitUntil([&] { return Value(kLevel) == 4.25f; }, 10000)) << Value(kLevel);
  EXPECT_EQ(Value(kMode), 3.0f);
  // The connection did not report anything.
  for (const auto& [code, text] : ErrorEntries(*driver_)) ADD_FAILURE() << code << " " << text;
}

TEST_F(OpcProgramTest, ACommittedBatchIsWrittenToTheServerAndMarkedDone) {
  ASSERT_TRUE(WaitUntil([&] { return Value(kMode) == 3.0f; }, 10000));
  Commit(102, 1, 2, 7.0f, 3.0f);
  ASSERT_TRUE(WaitUntil([&] { return BatchState() == 3; }, 10000)) << int(BatchState());
  EXPECT_EQ(Command(), 1.0f);
  EXPECT_EQ(CommandLog(),
            "Writting tag id: 102\r\nValue=7\r\nДанные переданы в OPC сервер.\r\n"
            "Command State=cpOk\r\n----------------------------");
  EXPECT_NE(Journal(kProgId).find("write Sim.Mode R8 7\n"), std::string::npos) << Journal(kProgId);
  ASSERT_TRUE(WaitUntil([&] { return Value(kMode) == 7.0f; }, 10000)) << Value(kMode);

  // The driver frees the block; a batch for another device stays
  // untaken.
  ASSERT_TRUE(driver_->Commands()->ResetFrom(3));
  Commit(102, 5, 2, 9.0f, 3.0f);
  EXPECT_FALSE(WaitUntil([&] { return BatchState() != 1; }, 500));
  EXPECT_EQ(Journal(kProgId).find("write Sim.Mode R8 9"), std::string::npos);
}

TEST_F(OpcProgramTest, AShutdownRequestDropsTheLinkAndIsReported) {
  ASSERT_EQ(Ctl({"shutdown", kProgId, "maintenance"}), 0);
  ASSERT_TRUE(WaitUntil([&] { return Link() == 1.0f; }, 10000)) << Link();
  ASSERT_TRUE(WaitUntil([&] { return CountErrors(-34) == 1; }, 10000));
  for (const auto& [code, text] : ErrorEntries(*driver_))
    if (code == -34) {
      EXPECT_EQ(text, "Sim.Plant OPC сервер выгружен."_cp);
    }
  // No reconnection: the link stays down.
  EXPECT_FALSE(WaitUntil([&] { return Link() != 1.0f; }, 1200));
}

}  // namespace

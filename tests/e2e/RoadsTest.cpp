// Both roads through the real processes: an OPC value reaches the kernel as
// a value block, a kernel write reaches the OPC server and its command
// state comes back; the watchdog restarts a killed server; a shutdown
// request of an OPC server shows on the link variable; a stale section of
// a crashed run is reclaimed; a dead kernel's server ends by itself; stop
// and done leave nothing behind.

#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "platform/win/Window.h"
#include "tests/KillGuard.h"
#include "tests/e2e/E2eSupport.h"

namespace {

using namespace e2e;

constexpr const char* kProgId = "E2e.Plant";
constexpr int32_t kLink = 901, kCommand = 902;
constexpr int32_t kLevel = 101, kSetpoint = 102, kPercent = 103, kBits = 110;  // bits 0..3 at 110..113

const char* const kItems =
    "Plant.Level    R4   const 1.5\n"
    "Plant.Setpoint R4   const 10 writable\n"
    "Plant.Raw      UI2  const 0\n"
    "Plant.Flags    UI1  const 0\n";

const char* const kDescription =
    "<OPC_Description>\r\n"
    " <device name=\"Plant\">\r\n"
    "  <tagstlist>\r\n"
    "   <opctag name=\"Plant.Level\" type=\"float\" proc=\"value\" hvaddress=\"1\"/>\r\n"
    "   <opctag name=\"Plant.Setpoint\" type=\"float\" proc=\"value\" hvaddress=\"2\"/>\r\n"
    "   <opctag name=\"Plant.Raw\" type=\"word\" proc=\"value\" hvaddress=\"4\" expression=\"%VALUE% / 4\">\r\n"
    "    <subitem name=\"Plant.Percent\" type=\"float\" proc=\"value\" hvaddress=\"3\"/>\r\n"
    "   </opctag>\r\n"
    "   <opctag name=\"Plant.Flags\" type=\"byte\" proc=\"value\" hvaddress=\"9\">\r\n"
    "    <subitem name=\"Plant.Bits\" type=\"byte\" proc=\"bitstring\" hvaddress=\"10\"/>\r\n"
    "   </opctag>\r\n"
    "  </tagstlist>\r\n"
    " </device>\r\n"
    "</OPC_Description>\r\n";

class Roads : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(plant_.Folder().Path().empty());
    ASSERT_EQ(plant_.Register(kProgId, kItems), 0);
  }

  void TearDown() override {
    host_.Kill();
    second_.Kill();
    plant_.Remember(server_);
  }

  // The settings with the watchdog's interval; the driver starts the server.
  void WriteSettings(int checkSeconds = 60) {
    plant_.WriteDriverFiles("Command Interval=3000\r\nAuto Run Server=1\r\nCheck Server Interval=" +
                                std::to_string(checkSeconds) + "\r\n",
                            {DeviceLine("Plant", 1, kProgId, "OPC", "Plant", "LINK", "CMD")}, kDescription);
  }

  // Starts a host, defines the project and runs the driver until the first
  // value of the OPC server has arrived (its thread runs from the
  // initialisation on: the value may come before the run's result).
  // Callers wrap it in ASSERT_NO_FATAL_FAILURE.
  void StartRunning(Host& host) {
    ASSERT_TRUE(host.Start());
    host.Send("project " + plant_.ProjectDir());
    host.Send("var 901 LINK -");
    host.Send("var 902 CMD -");
    host.Send("domain OPC");
    host.Send("var 101 LEVEL \"OPC:DEVICE=1;ADDRESS=1\"");
    host.Send("var 102 SETPOINT \"OPC:DEVICE=1;ADDRESS=2\"");
    host.Send("var 103 PERCENT \"OPC:DEVICE=1;ADDRESS=3\"");
    host.Send("var 104 RAW \"OPC:DEVICE=1;ADDRESS=4\"");
    host.Send("var 109 FLAGS \"OPC:DEVICE=1;ADDRESS=9\"");
    for (int bit = 0; bit < 4; ++bit)
      host.Send("var " + std::to_string(kBits + bit) + " BIT" + std::to_string(bit) + " \"OPC:DEVICE=1;ADDRESS=" +
                std::to_string(10 + bit) + "\"");
    host.Send("init " + plant_.DriverDir());
    ASSERT_TRUE(host.ExpectPrefix("result DLMInitDeviceDrv 0")) << host.Errors();
    host.Send("run");
    ASSERT_TRUE(host.ExpectPrefix("result DLMRunDeviceDrv 0"));
    ASSERT_TRUE(host.Seen(ValueLine(kLevel, 1.5f))) << "no value from the OPC server";
    server_ = host.ServerPid();
    ASSERT_TRUE(IsServerProcess(server_)) << server_;
    plant_.Remember(server_);
  }

  // Stop and done: the server ends, the section goes; after the host's
  // exit nothing of the namespace is left.
  void StopAndExpectNothingLeft(Host& host) {
    host.Send("stop");
    EXPECT_TRUE(host.ExpectPrefix("result DLMStopDeviceDrv 0"));
    host.Send("done");
    EXPECT_TRUE(host.ExpectPrefix("result DLMDoneDeviceDrv 0"));
    host.Send("section");
    EXPECT_TRUE(host.ExpectPrefix("section none"));
    EXPECT_TRUE(WaitEnded(server_)) << "the server still runs";
    EXPECT_FALSE(plant_.SectionLeft());
    EXPECT_EQ(host.Finish(), 0) << host.Errors();
    EXPECT_EQ(plant_.SharedMemoryLeft(), std::vector<std::string>{});
  }

  Plant plant_;
  Host host_;
  Host second_;
  pid_t server_ = 0;
};

TEST_F(Roads, ValuesReachTheKernelAndWritesReachTheOpcServer) {
  WriteSettings();
  ASSERT_NO_FATAL_FAILURE(StartRunning(host_));
  ASSERT_TRUE(host_.Seen(ValueLine(kLink, 0.0f))) << "link up";

  // OPC value -> kernel value block: whole value, expression, bit string.
  ASSERT_EQ(plant_.Ctl({"set", kProgId, "Plant.Level", "7.25"}), 0);
  EXPECT_TRUE(host_.Expect(ValueLine(kLevel, 7.25f)));
  ASSERT_EQ(plant_.Ctl({"set", kProgId, "Plant.Raw", "300"}), 0);
  EXPECT_TRUE(host_.Expect(ValueLine(kPercent, 75.0f)));
  ASSERT_EQ(plant_.Ctl({"set", kProgId, "Plant.Flags", "5"}), 0);
  EXPECT_TRUE(host_.Expect(ValueLine(kBits, 1.0f)));
  EXPECT_TRUE(host_.Expect(ValueLine(kBits + 2, 1.0f)));

  // Kernel write -> OPC write -> command state back (1 = done), and the
  // written value comes back as the variable's value.
  host_.Send("write 102=42.5");
  ASSERT_TRUE(host_.ExpectPrefix("result DLMWriteDataDrv 0"));
  EXPECT_TRUE(host_.Expect(ValueLine(kCommand, 1.0f)));
  EXPECT_TRUE(host_.Expect(ValueLine(kSetpoint, 42.5f)));
  EXPECT_NE(plant_.Journal(kProgId).find("write Plant.Setpoint R8 42,5\n"), std::string::npos)
      << plant_.Journal(kProgId);

  // A write the OPC server refuses comes back as refused at the check (3).
  ASSERT_EQ(plant_.Ctl({"fail", kProgId, "write", "on"}), 0);
  host_.Send("write 102=1");
  EXPECT_TRUE(host_.Expect(ValueLine(kCommand, 0.0f))) << "queued";
  EXPECT_TRUE(host_.Expect(ValueLine(kCommand, 3.0f)));

  StopAndExpectNothingLeft(host_);
  EXPECT_TRUE(host_.Errors().empty()) << host_.Errors();
}

TEST_F(Roads, TheWatchdogRestartsAKilledServer) {
  WriteSettings(1);
  ASSERT_NO_FATAL_FAILURE(StartRunning(host_));
  const pid_t first = server_;
  // The journal is the simulation's across processes: the new server's
  // connection is the advise after those seen so far.
  const auto advises = [&] {
    std::istringstream journal(plant_.Journal(kProgId));
    size_t count = 0;
    for (std::string line; std::getline(journal, line);) count += line.rfind("advise ", 0) == 0 ? 1 : 0;
    return count;
  };
  const size_t advisesBefore = advises();
  ASSERT_TRUE(kill_guard::KillIf(first, IsServerProcess));
  pid_t next = 0;
  for (int i = 0; i < 300 && (next == 0 || next == first || !IsServerProcess(next)); ++i) {
    ::usleep(100000);
    next = host_.ServerPid();
  }
  ASSERT_TRUE(IsServerProcess(next)) << "no new server; last slot pid " << next;
  EXPECT_NE(next, first);
  server_ = next;
  plant_.Remember(next);

  // The new server's simulation reads commands appended after it started:
  // wait for its connection, then change a value.
  for (int i = 0; i < 400 && advises() == advisesBefore; ++i) ::usleep(50000);
  ASSERT_GT(advises(), advisesBefore) << "the new server did not connect";
  ASSERT_EQ(plant_.Ctl({"set", kProgId, "Plant.Level", "3.5"}), 0);
  EXPECT_TRUE(host_.Expect(ValueLine(kLevel, 3.5f))) << "values do not flow again";
  StopAndExpectNothingLeft(host_);
}

TEST_F(Roads, AShutdownRequestSetsTheLinkVariable) {
  WriteSettings();
  ASSERT_NO_FATAL_FAILURE(StartRunning(host_));
  ASSERT_TRUE(host_.Seen(ValueLine(kLink, 0.0f))) << "link up";
  ASSERT_EQ(plant_.Ctl({"shutdown", kProgId, "maintenance"}), 0);
  EXPECT_TRUE(host_.Expect(ValueLine(kLink, 1.0f))) << "the link variable did not become 1";
  StopAndExpectNothingLeft(host_);
}

TEST_F(Roads, AStaleSectionOfACrashedRunIsReclaimed) {
  WriteSettings();
  ASSERT_NO_FATAL_FAILURE(StartRunning(host_));
  // The crash: server and kernel die at once, nobody releases anything
  // (the server first: it is checked while its kernel still runs).
  ASSERT_TRUE(kill_guard::KillIf(server_, IsServerProcess));
  host_.Kill();
  ASSERT_TRUE(WaitEnded(server_));
  ASSERT_TRUE(plant_.SectionLeft()) << "the crash left no section to reclaim";
  // The dead processes' table; the kernel may take a moment to drop the
  // locks of a process that has just been reaped.
  bool removed = false;
  for (int i = 0; i < 2000 && !(removed = platform::win::RemoveStaleWindowTable()); ++i) ::usleep(10000);
  EXPECT_TRUE(removed) << ::testing::PrintToString(plant_.SharedMemoryLeft());

  ASSERT_NO_FATAL_FAILURE(StartRunning(second_));
  ASSERT_EQ(plant_.Ctl({"set", kProgId, "Plant.Level", "9.5"}), 0);
  EXPECT_TRUE(second_.Expect(ValueLine(kLevel, 9.5f)));
  StopAndExpectNothingLeft(second_);
}

TEST_F(Roads, AKernelThatDiesTakesItsServerAlongAndTheNextOneRunsAtOnce) {
  WriteSettings();
  ASSERT_NO_FATAL_FAILURE(StartRunning(host_));
  const pid_t orphan = server_;
  host_.Kill();
  ASSERT_NO_FATAL_FAILURE(StartRunning(second_));
  EXPECT_TRUE(WaitEnded(orphan)) << "the dead kernel's server still runs";
  ASSERT_EQ(plant_.Ctl({"set", kProgId, "Plant.Level", "9.5"}), 0);
  EXPECT_TRUE(second_.Expect(ValueLine(kLevel, 9.5f)));
  for (const std::string& line : second_.Lines()) EXPECT_EQ(line.find("code=-1"), std::string::npos) << line;

  second_.Kill();
  EXPECT_TRUE(WaitEnded(server_)) << "a server whose kernel died ends by itself";
  EXPECT_FALSE(plant_.SectionLeft());
  EXPECT_EQ(plant_.SharedMemoryLeft(), std::vector<std::string>{});
}

}  // namespace

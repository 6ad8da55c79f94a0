#include "peers/opcsim/SimControl.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace opcsim {
namespace {

class SimControlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char dir[] = "/tmp/fw-simcontrol-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    dir_ = dir;
    setenv("FERROWICK_REGISTRY_DIR", dir, 1);
  }
  void TearDown() override {
    unsetenv("FERROWICK_REGISTRY_DIR");
    std::filesystem::remove_all(dir_);
  }
  std::string dir_;
};

TEST_F(SimControlTest, ReaderSeesOnlyCommandsAfterItStartedAndWholeLines) {
  ASSERT_TRUE(AppendCommand("Sim.A", "set 192 X 1"));
  CommandReader reader("sim.a");  // ProgIDs without case
  EXPECT_TRUE(reader.Take().empty());
  ASSERT_TRUE(AppendCommand("Sim.A", "set 192 X 2"));
  {
    std::ofstream out(ControlFolder("Sim.A") + "/commands", std::ios::app);
    out << "shutdown half";  // not yet a whole line
  }
  EXPECT_EQ(reader.Take(), std::vector<std::string>{"set 192 X 2"});
  {
    std::ofstream out(ControlFolder("Sim.A") + "/commands", std::ios::app);
    out << " done\n";
  }
  EXPECT_EQ(reader.Take(), std::vector<std::string>{"shutdown half done"});
  EXPECT_FALSE(AppendCommand("Sim.A", "two\nlines"));
}

TEST_F(SimControlTest, FaultsSwitchOnAndOffAcrossObjects) {
  FaultSwitches faults("Sim.B");
  EXPECT_FALSE(faults.On("write"));
  ASSERT_TRUE(SetFault("Sim.B", "write", true));
  ASSERT_TRUE(SetFault("Sim.B", "additem:Plant.Mode", true));
  EXPECT_TRUE(faults.On("write"));
  EXPECT_TRUE(faults.On("additem:Plant.Mode"));
  EXPECT_FALSE(faults.On("additem:Plant.Name"));
  ASSERT_TRUE(SetFault("Sim.B", "write", false));
  EXPECT_FALSE(faults.On("write"));
  EXPECT_TRUE(faults.On("additem:Plant.Mode"));
}

TEST_F(SimControlTest, FaultNamesAndProgIds) {
  for (const char* ok : {"container", "shutdownpoint", "shutdownadvise", "addgroup", "additem:X", "callbackpoint",
                         "advise", "write", "write:X", "badstream", "status", "novendor"})
    EXPECT_TRUE(ValidFault(ok)) << ok;
  for (const char* bad : {"", "additem:", "write:", "crash", "Write"}) EXPECT_FALSE(ValidFault(bad)) << bad;
  EXPECT_TRUE(ValidProgId("Plant.Sim-1_A"));
  for (const char* bad : {"", ".hidden", "a/b", "a b", "..", "a\\b"}) EXPECT_FALSE(ValidProgId(bad)) << bad;
}

TEST_F(SimControlTest, JournalAppendsAndRemoveClears) {
  AppendJournal("Sim.C", "connect");
  AppendJournal("Sim.C", "disconnect");
  EXPECT_EQ(ReadJournal("Sim.C"), "connect\ndisconnect\n");
  RemoveControl("Sim.C");
  EXPECT_EQ(ReadJournal("Sim.C"), "");
  EXPECT_FALSE(std::filesystem::exists(ControlFolder("Sim.C")));
  // The journal kept open was removed with its folder: it is made anew.
  AppendJournal("Sim.C", "connect again");
  EXPECT_EQ(ReadJournal("Sim.C"), "connect again\n");
  RemoveControl("Sim.C");
}

}  // namespace
}  // namespace opcsim

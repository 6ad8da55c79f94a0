#include "peers/opcsim/SimControl.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

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

// The watch on the control folder: every way the file or its folder can
// change is seen by the next check, also when the folder came after the
// switches and while journal lines are written beside the file.
TEST_F(SimControlTest, FaultsFollowEveryChangeOfFileAndFolder) {
  FaultSwitches faults("Sim.W");  // no control folder yet
  EXPECT_FALSE(faults.On("write"));
  AppendJournal("Sim.W", "connect");  // makes the folder
  EXPECT_FALSE(faults.On("write"));
  ASSERT_TRUE(SetFault("Sim.W", "write", true));
  EXPECT_TRUE(faults.On("write"));
  for (int i = 0; i < 50; ++i) {
    AppendJournal("Sim.W", "additem X " + std::to_string(i));
    ASSERT_TRUE(faults.On("write")) << i;
  }
  {
    std::ofstream out(ControlFolder("Sim.W") + "/faults", std::ios::app);
    out << "advise\n";  // written in place, not replaced
  }
  EXPECT_TRUE(faults.On("advise"));
  std::filesystem::remove(ControlFolder("Sim.W") + "/faults");
  EXPECT_FALSE(faults.On("write"));
  EXPECT_FALSE(faults.On("advise"));
  ASSERT_TRUE(SetFault("Sim.W", "status", true));
  EXPECT_TRUE(faults.On("status"));
  RemoveControl("Sim.W");  // the watched folder goes
  EXPECT_FALSE(faults.On("status"));
  ASSERT_TRUE(SetFault("Sim.W", "status", true));  // and comes back
  EXPECT_TRUE(faults.On("status"));
  ASSERT_TRUE(SetFault("Sim.W", "status", false));
  EXPECT_FALSE(faults.On("status"));
  std::filesystem::remove_all(dir_ + "/opcsim");  // the folder above goes too
  EXPECT_FALSE(faults.On("status"));
  ASSERT_TRUE(SetFault("Sim.W", "status", true));
  EXPECT_TRUE(faults.On("status"));
  RemoveControl("Sim.W");
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

// Several processes append to one journal at once: every line lands whole.
TEST_F(SimControlTest, JournalLinesOfSeveralProcessesStayWhole) {
  constexpr int kProcesses = 4;
  constexpr int kLines = 500;
  AppendJournal("Sim.P", "start");
  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      const std::string pad(100, static_cast<char>('a' + p));
      for (int i = 0; i < kLines; ++i) AppendJournal("Sim.P", std::to_string(p) + " " + pad);
      ::_exit(0);
    }
    children.push_back(child);
  }
  for (pid_t child : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  std::istringstream in(ReadJournal("Sim.P"));
  std::vector<int> count(kProcesses, 0);
  std::string line;
  ASSERT_TRUE(std::getline(in, line));
  EXPECT_EQ(line, "start");
  while (std::getline(in, line)) {
    const int p = line.empty() ? -1 : line[0] - '0';
    ASSERT_TRUE(p >= 0 && p < kProcesses) << line;
    ASSERT_EQ(line, std::to_string(p) + " " + std::string(100, static_cast<char>('a' + p)));
    ++count[static_cast<std::size_t>(p)];
  }
  EXPECT_EQ(count, std::vector<int>(kProcesses, kLines));
  RemoveControl("Sim.P");
}

}  // namespace
}  // namespace opcsim

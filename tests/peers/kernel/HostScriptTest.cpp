// halvorsten-host run as a program against a fake driver module: each test
// runs one script and checks the lines the host prints.

#include "exchange/OPCSharedMemory.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct HostRun {
  int status = -1;
  std::vector<std::string> lines;
  std::string err;

  bool Has(const std::string& line) const {
    for (const auto& l : lines) {
      if (l == line) return true;
    }
    return false;
  }
  // Index of the first line starting with prefix, or -1.
  int Find(const std::string& prefix) const {
    for (size_t i = 0; i < lines.size(); ++i) {
      if (lines[i].rfind(prefix, 0) == 0) return static_cast<int>(i);
    }
    return -1;
  }
};

class HostScript : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("host-test-" + std::to_string(::getpid()) + "-" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  static std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  // Runs the host on script; with viaStdin the script is piped in ("-").
  HostRun Run(const std::string& script, bool viaStdin = false) {
    const fs::path scriptFile = dir_ / "script.txt", out = dir_ / "out.txt", err = dir_ / "err.txt";
    std::ofstream(scriptFile, std::ios::binary) << script;
    std::string command = "FERROWICK_IPC_NAMESPACE=" + Namespace() + " '" HOST_PROGRAM "' --module '" FAKE_DRIVER "' ";
    command += viaStdin ? "- < '" + scriptFile.string() + "'" : "'" + scriptFile.string() + "'";
    command += " > '" + out.string() + "' 2> '" + err.string() + "'";
    HostRun run;
    const int raw = std::system(command.c_str());
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    std::istringstream lines(ReadFile(out));
    for (std::string line; std::getline(lines, line);) run.lines.push_back(line);
    run.err = ReadFile(err);
    return run;
  }

  static std::string Namespace() {
    return "host-" + std::to_string(::getpid()) + "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
  }

  fs::path dir_;
};

TEST_F(HostScript, LifeCycleResultsAndInfo) {
  const HostRun run = Run(
      "# the whole life of a driver\n"
      "info\n"
      "project " + dir_.string() + "/proj\n"
      "init /opt/drv message=40000 block=7\n"
      "init /opt/drv\n"
      "read\n"
      "sync\n"
      "done\n"
      "init \"/dir with blank\" config-only\n");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(run.Has("result DLMGetDeviceInfo 0"));
  EXPECT_TRUE(run.Has("info guid={15EEE945-B447-4659-ABE2-8E4FF2BBFC65} description=\"Фейк \\\"1\\\"\" "
                      "prefixes=\":FAKE:\" ints=-1,-1,-1,0,100,100"));
  EXPECT_TRUE(run.Has("log source=FAKE code=1 text=\"init dir=/opt/drv message=40000 block=7 config=0\""));
  EXPECT_TRUE(run.Has("log source=FAKE code=1 text=\"project=" + dir_.string() + "/proj/\""));
  EXPECT_TRUE(fs::is_directory(dir_ / "proj" / "Debugger"));
  EXPECT_TRUE(run.Has("result DLMInitDeviceDrv -4"));
  EXPECT_TRUE(run.Has("result DLMReadDataDrv -7"));
  EXPECT_TRUE(run.Has("result DLMSinhronize -7"));
  EXPECT_TRUE(run.Has("log source=FAKE code=1 text=\"init dir=/dir with blank message=32769 block=1 config=1\""));
  // The driver still initialised at the end is stopped and ended.
  ASSERT_GE(run.lines.size(), 2u);
  EXPECT_EQ(run.lines[run.lines.size() - 2], "result DLMStopDeviceDrv 0");
  EXPECT_EQ(run.lines.back(), "result DLMDoneDeviceDrv 0");
}

TEST_F(HostScript, ValueBlocksAcceptedRefusedAndAwaited) {
  const HostRun run = Run(
      "domain OPC\n"
      "var 7 Level OPC:Level init=12.5\n"
      "var 8 Flow \"OPC:DEVICE=1;ADDRESS=2\" init=0.1\n"
      "init /drv block=9\n"
      "run\n"
      "waitfor value 8 =0.1 5000\n"
      "answer 1\n"
      "stop\n"
      "run\n"
      "waitfor log 2\n"
      "waitfor value 7 200\n");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(run.Has("value block=9 id=7 value=12.5 value2=12.5 time=1000 date=738886"));
  EXPECT_TRUE(run.Has("value block=9 id=8 value=0.100000001 value2=0.100000001 time=1000 date=738886"));
  EXPECT_TRUE(run.Has("log source=FAKE code=2 text=\"answer 2002 for 7\""));
  EXPECT_TRUE(run.Has("refused count=1"));
  EXPECT_TRUE(run.Has("log source=FAKE code=2 text=\"answer 1 for 8\""));
  EXPECT_TRUE(run.Has("timeout 11")) << "no value is accepted after 'answer 1'";
  EXPECT_LT(run.Find("result DLMRunDeviceDrv"), run.Find("value block=9 id=7"));
}

TEST_F(HostScript, WriteBlocksCarryEveryRecord) {
  const HostRun run = Run(
      "init /drv\n"
      "write 7=1.5/2.5 8=-3\n"
      "write-count 0 block=1 9=4\n"
      "write-count 5 block=0\n");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(run.Has("log source=FAKE code=3 text=\"write count=2 block=2\""));
  EXPECT_TRUE(run.Has("value block=1 id=7 value=1.5 value2=2.5 time=0 date=0"));
  EXPECT_TRUE(run.Has("value block=1 id=8 value=-3 value2=-3 time=0 date=0"));
  EXPECT_TRUE(run.Has("result DLMWriteDataDrv -6"));
  EXPECT_TRUE(run.Has("log source=FAKE code=3 text=\"write count=5 block=0\""));
}

TEST_F(HostScript, DialogsOfTheKernel) {
  const HostRun run = Run(
      "init /drv\n"
      "setup\n"
      "navigator ТАНК_1\n"
      "setup\n"
      "state\n"
      "about\n"
      "install /src /dst\n"
      "remove /dst\n");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(run.Has("navigator"));
  EXPECT_TRUE(run.Has("log source=FAKE code=4 text=\"navigator cancelled\""));
  EXPECT_TRUE(run.Has("result DLMSetupDeviceDrv 0"));
  EXPECT_TRUE(run.Has("log source=FAKE code=4 text=\"navigator ТАНК_1\""));
  EXPECT_TRUE(run.Has("result DLMSetupDeviceDrv 1"));
  EXPECT_TRUE(run.Has("errorbox text=\"state ок\""));
  EXPECT_TRUE(run.Has("result DLMShowState 0"));
  EXPECT_TRUE(run.Has("dialog О программе"));
  EXPECT_TRUE(run.Has("log source=FAKE code=5 text=\"about 7\"")) << "closed through its Cancel button (mrNo)";
  EXPECT_TRUE(run.Has("dialog bare"));
  EXPECT_TRUE(run.Has("log source=FAKE code=5 text=\"bare 2\""));
  EXPECT_TRUE(run.Has("result DLMAbout"));
  EXPECT_TRUE(run.Has("result DLMInstallDriver 1"));
  EXPECT_TRUE(run.Has("result DLMRemoveDriver 0"));
}

TEST_F(HostScript, ScriptErrorsNameTheLine) {
  const HostRun unknown = Run("init /drv\n\n# comment\nfly away\ninfo\n");
  EXPECT_EQ(unknown.status, 2);
  EXPECT_NE(unknown.err.find("line 4: unknown command fly"), std::string::npos) << unknown.err;
  EXPECT_EQ(unknown.Find("result DLMGetDeviceInfo"), -1) << "nothing runs after the error";
  EXPECT_TRUE(unknown.Has("result DLMDoneDeviceDrv 0")) << "the driver is still ended";

  EXPECT_EQ(Run("var x Name OPC:X\n").status, 2);
  EXPECT_EQ(Run("init /drv message=abc\n").status, 2);
  EXPECT_EQ(Run("write 7\n").status, 2);
  EXPECT_EQ(Run("info \"unterminated\n").status, 2);
  EXPECT_EQ(Run("var 1 A - \nvar 1 B -\n").status, 2);
  const HostRun early = Run("info\nexit\nfly\n");
  EXPECT_EQ(early.status, 0);
}

TEST_F(HostScript, StandardInputRunsLineByLine) {
  const HostRun run = Run("domain OPC\nvar 3 A OPC:A init=2\ninit /drv\nrun\nwaitfor value 3\nsection\n", true);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(run.Has("value block=1 id=3 value=2 value2=2 time=1000 date=738886"));
  EXPECT_TRUE(run.Has("section none"));
}

TEST_F(HostScript, SectionFieldsOfALiveSection) {
  ::setenv("FERROWICK_IPC_NAMESPACE", Namespace().c_str(), 1);
  auto section = exchange::TIntercomInterface::Create(exchange::kSectionName, 2);
  ::unsetenv("FERROWICK_IPC_NAMESPACE");
  ASSERT_TRUE(section->IsAttached());
  // The server side opens only a section whose blocks end at its size, so
  // both reserved records are stored.
  exchange::TVLVariableInfo info{};
  ASSERT_TRUE(section->DMLVariables()->Add(info));
  ASSERT_TRUE(section->DMLVariables()->Add(info));
  section->HalvorstenInfo()->SetState(2);
  section->HalvorstenInfo()->SetTransactionId(77);
  section->DynemicVariables()->AddOrUpdate("link", false, 0.0f, 0.0);
  section->Terminal2()->SetOwnerId(3);
  section->Terminal2()->WriteText("x");
  const HostRun run = Run("section\n");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(run.Has("section state=2 heartbeat=77 vars=2 dyn=1 errors=0 batch=0/-1/0 slot0=0/0/0/0 t1=0/-1 t2=1/3"))
      << (run.lines.empty() ? run.err : run.lines[0]);
}

}  // namespace

// halvorsten-host run as a program against a fake driver module: each test
// runs one script and checks the lines the host prints.

#include "exchange/OPCSharedMemory.h"
#include "platform/os/Text.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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
    const fs::path scriptFile = dir_ / "script.txt";
    std::ofstream(scriptFile, std::ios::binary) << script;
    return RunArguments("--module '" FAKE_DRIVER "' " +
                        (viaStdin ? "- < '" + scriptFile.string() + "'" : "'" + scriptFile.string() + "'"));
  }

  // Runs the host with arguments (shell words).
  HostRun RunArguments(const std::string& arguments) {
    const fs::path out = dir_ / "out.txt", err = dir_ / "err.txt";
    std::string command = "FERROWICK_IPC_NAMESPACE=" + Namespace() + " '" HOST_PROGRAM "' " + arguments;
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
  EXPECT_TRUE(run.Has("log source=FAKE code=1 text=\"apartment 1\"")) << "the host's thread is an apartment";
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
      "waitfor value 8 =0.1 20000\n"
      "answer 1\n"
      "stop\n"
      "run\n"
      "waitfor log 2 20000\n"
      "waitfor value 7 200\n");
  EXPECT_EQ(run.status, 1) << "a waitfor timed out\n" << run.err;
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
      "errorstr\n"
      "install /src /dst\n"
      "remove /dst\n");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(run.Has("navigator current=\"OLD\" parent=kernel"));
  EXPECT_TRUE(run.Has("log source=FAKE code=4 text=\"navigator cancelled\""));
  EXPECT_TRUE(run.Has("result DLMSetupDeviceDrv 0"));
  EXPECT_TRUE(run.Has("log source=FAKE code=4 text=\"navigator ТАНК_1\""));
  EXPECT_TRUE(run.Has("result DLMSetupDeviceDrv 1"));
  EXPECT_TRUE(run.Has("errorbox caption=\"Ошибка\" text=\"state ок\" flags=0 parent=kernel"));
  EXPECT_TRUE(run.Has("result DLMShowState 0"));
  EXPECT_TRUE(run.Has("errorbox caption=\"c\" text=\"t\" flags=3 parent=none"));
  EXPECT_TRUE(run.Has("dialog AboutForm caption=\"О программе\""));
  EXPECT_TRUE(run.Has("log source=FAKE code=5 text=\"about 7\"")) << "closed through its Cancel button (mrNo)";
  EXPECT_TRUE(run.Has("dialog BareForm caption=\"bare\""));
  EXPECT_TRUE(run.Has("log source=FAKE code=5 text=\"bare 2\""));
  EXPECT_TRUE(run.Has("result DLMAbout"));
  EXPECT_TRUE(run.Has("result DLMInstallDriver 1"));
  EXPECT_TRUE(run.Has("result DLMRemoveDriver 0"));
}

TEST_F(HostScript, DialogActionsActAsAUser) {
  const HostRun run = Run(
      "dialog ControlsForm click AskButton\n"
      "dialog ControlsForm fill NameEdit \"Имя 1\"\n"
      "dialog ControlsForm check EnabledCheckBox on\n"
      "dialog ControlsForm check EnabledCheckBox on\n"  // already on: stays on
      "dialog ControlsForm dblclick ItemsListBox\n"
      "dialog ControlsForm select ItemsListBox -1\n"
      "dialog ControlsForm select KindComboBox 1\n"
      "dialog ControlsForm row PropsGrid 2\n"
      "dialog ControlsForm tab Pages 1\n"
      "dialog ControlsForm click OffButton\n"  // disabled: takes nothing
      "dialog ControlsForm wait 300\n"
      "dialog ControlsForm show TickLabel\n"
      "dialog ControlsForm key enter\n"  // the default button
      "showlog\n"
      "showlog\n");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(run.Has("dialog ControlsForm caption=\"Controls\""));
  EXPECT_TRUE(run.Has("log source=FAKE code=7 text=\"dblclick 1\"")) << "the click lands on the second line";
  EXPECT_TRUE(run.Has("navigator current=\"CUR\" parent=dialog"));
  EXPECT_TRUE(run.Has("errorbox caption=\"Ошибка\" text=\"bad\" flags=16 parent=dialog"));
  const int ticks = run.Find("shown ControlsForm.TickLabel ");
  ASSERT_GE(ticks, 0);
  EXPECT_NE(run.lines[static_cast<size_t>(ticks)], "shown ControlsForm.TickLabel \"0\"") << "timers ran during wait";
  EXPECT_TRUE(run.Has("log source=FAKE code=7 text=\"controls 1 name=Имя 1 check=1 list=-1 combo=1 row=2 tab=1\""))
      << run.lines[static_cast<size_t>(run.Find("log source=FAKE code=7 text=\"controls"))];
  // The second showing has nothing queued: Esc, and the form has no Cancel button.
  EXPECT_TRUE(run.Has("log source=FAKE code=7 text=\"controls 2 name= check=0 list=1 combo=-1 row=1 tab=0\""));
}

TEST_F(HostScript, DialogOutputLinesShowBoundsAndScreenshot) {
  const std::string picture = (dir_ / "controls.bmp").string();
  const HostRun run = Run(
      "dialog ControlsForm fill NameEdit \"x \\ y\"\n"
      "dialog ControlsForm show NameEdit\n"
      "dialog ControlsForm show EnabledCheckBox\n"
      "dialog ControlsForm show ItemsListBox\n"
      "dialog ControlsForm show NotesMemo\n"
      "dialog ControlsForm show PropsGrid\n"
      "dialog ControlsForm show KindComboBox\n"
      "dialog ControlsForm show OffButton\n"
      "dialog ControlsForm bounds NameEdit\n"
      "dialog ControlsForm bounds SecondSheet\n"
      "dialog ControlsForm screenshot " + picture + "\n"
      "showlog\n");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(run.Has("shown ControlsForm.NameEdit \"x \\\\ y\""));
  EXPECT_TRUE(run.Has("shown ControlsForm.EnabledCheckBox \"[ ] Включено\""));
  EXPECT_TRUE(run.Has("shown ControlsForm.ItemsListBox \"a\\r\\nb\""));
  EXPECT_TRUE(run.Has("shown ControlsForm.NotesMemo \"first\\r\\nsecond\""));
  EXPECT_TRUE(run.Has("shown ControlsForm.PropsGrid \"A=1\\r\\nB=2\""));
  EXPECT_TRUE(run.Has("shown ControlsForm.KindComboBox \"\""));
  EXPECT_TRUE(run.Has("shown ControlsForm.OffButton \"\" disabled"));
  EXPECT_TRUE(run.Has("bounds ControlsForm.NameEdit 8 8 120 21"));
  const int sheet = run.Find("bounds ControlsForm.SecondSheet ");
  ASSERT_GE(sheet, 0);
  int left = 0, top = 0, width = 0, height = 0;
  ASSERT_EQ(std::sscanf(run.lines[static_cast<size_t>(sheet)].c_str(), "bounds ControlsForm.SecondSheet %d %d %d %d",
                        &left, &top, &width, &height), 4);
  EXPECT_TRUE(left >= 8 && top >= 128 && left + width <= 208 && top + height <= 208) << "inside its page control";
  // A dialog frame: 3 pixels around, a caption bar of 19 above.
  EXPECT_TRUE(run.Has("screenshot ControlsForm " + picture + " 3 22"));
  const std::string bmp = ReadFile(picture);
  ASSERT_GE(bmp.size(), 26u);
  int32_t bmpWidth = 0, bmpHeight = 0;
  std::memcpy(&bmpWidth, bmp.data() + 18, 4);
  std::memcpy(&bmpHeight, bmp.data() + 22, 4);
  EXPECT_EQ(bmpWidth, 406);
  EXPECT_EQ(std::abs(bmpHeight), 325);
}

TEST_F(HostScript, NestedFormsRunTheirOwnActionsInOrder) {
  const HostRun run = Run(
      "dialog ControlsForm click NestButton\n"
      "dialog ControlsForm click NestButton\n"
      "dialog ControlsForm click OkButton\n"
      "dialog InnerForm fill InnerEdit first\n"
      "dialog InnerForm click InnerOk\n"   // ends the first showing
      "dialog InnerForm show InnerEdit\n"  // waits for the second
      "showlog\n");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(run.Has("log source=FAKE code=7 text=\"inner 1 first\""));
  EXPECT_TRUE(run.Has("shown InnerForm.InnerEdit \"\""));
  EXPECT_TRUE(run.Has("log source=FAKE code=7 text=\"inner 2 \"")) << "the second showing is closed unanswered";
  EXPECT_TRUE(run.Has("log source=FAKE code=7 text=\"controls 1 name= check=0 list=1 combo=-1 row=1 tab=0\""));
  const int first = run.Find("dialog InnerForm"), outer = run.Find("dialog ControlsForm");
  EXPECT_LT(outer, first);
}

TEST_F(HostScript, SaveFileAnswersTheSaveDialogs) {
  const HostRun run = Run(
      "savefile /tmp/kept.txt\n"
      "savefile cancel\n"
      "dialog ControlsForm click SaveButton\n"
      "dialog ControlsForm click SaveButton\n"
      "dialog ControlsForm click SaveButton\n"
      "showlog\n");
  EXPECT_EQ(run.status, 0) << run.err;
  ASSERT_EQ(run.Find("log source=FAKE code=7 text=\"save"), run.Find("log source=FAKE code=7 text=\"save /tmp/kept.txt\""));
  EXPECT_EQ(std::count(run.lines.begin(), run.lines.end(), "log source=FAKE code=7 text=\"save cancelled\""), 2)
      << "a save dialog without an answer is cancelled";

  const HostRun unused = Run("savefile /tmp/never.txt\n");
  EXPECT_EQ(unused.status, 2);
  EXPECT_NE(unused.err.find("savefile"), std::string::npos) << unused.err;
}

TEST_F(HostScript, TerminalActionsWriteTheSharedTerminals) {
  ::setenv("FERROWICK_IPC_NAMESPACE", Namespace().c_str(), 1);
  auto section = exchange::TIntercomInterface::Create(exchange::kSectionName, 1);
  ::unsetenv("FERROWICK_IPC_NAMESPACE");
  ASSERT_TRUE(section->IsAttached());
  ASSERT_TRUE(section->DMLVariables()->Add(exchange::TVLVariableInfo{}));  // the host opens a complete section
  const HostRun run = Run(
      "dialog ControlsForm terminal 1 \"значения\"\n"
      "dialog ControlsForm terminal 2 \"команды\"\n"
      "dialog ControlsForm terminal 2 \"ещё\"\n"
      "showlog\n");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(section->Terminal1()->ReadText(), platform::os::Utf8ToCp1251("значения"));
  EXPECT_EQ(section->Terminal2()->ReadText(), platform::os::Utf8ToCp1251("ещё"));
  EXPECT_EQ(section->Terminal1()->GetCounter(), 1);
  EXPECT_EQ(section->Terminal2()->GetCounter(), 2);
  section.reset();

  const HostRun none = Run("dialog ControlsForm terminal 1 x\nshowlog\n");
  EXPECT_EQ(none.status, 2);
  EXPECT_NE(none.err.find("no driver section"), std::string::npos) << none.err;
}

TEST_F(HostScript, DialogLineFaultsFailTheScript) {
  struct Case {
    std::string script;
    std::string error;
  };
  const Case cases[] = {
      {"dialog ControlsForm click OkButton\n", "line 1: dialog ControlsForm: the form never showed for the action of line 1"},
      {"dialog ControlsForm click OkButton\nabout\n", "the form never showed"},
      {"dialog ControlsForm push OkButton\n", "line 1: unknown dialog action push"},
      {"dialog ControlsForm click\n", "usage: dialog FORM click NAME"},
      {"dialog ControlsForm check EnabledCheckBox yes\n", "usage: dialog FORM check NAME on|off"},
      {"dialog ControlsForm select ItemsListBox -2\n", "index out of range: -2"},
      {"dialog ControlsForm key space\n", "usage: dialog FORM key enter|esc|tab"},
      {"dialog ControlsForm wait 600001\n", "milliseconds out of range"},
      {"dialog ControlsForm terminal 3 x\n", "usage: dialog FORM terminal"},
      {"dialog\n", "usage: dialog FORM ACTION"},
      {"savefile\n", "usage: savefile PATH"},
      {"dialog ControlsForm click Missing\nshowlog\ninfo\n",
       "line 2: dialog ControlsForm click (line 1): no control Missing on ControlsForm"},
      {"dialog ControlsForm check NameEdit on\nshowlog\n", "NameEdit is not a check box"},
      {"dialog ControlsForm screenshot /no/such/folder/x.bmp\nshowlog\n", "dialog ControlsForm screenshot (line 1)"},
  };
  for (const Case& c : cases) {
    const HostRun run = Run(c.script);
    EXPECT_EQ(run.status, 2) << c.script;
    EXPECT_NE(run.err.find(c.error), std::string::npos) << c.script << run.err;
    EXPECT_EQ(run.Find("result DLMGetDeviceInfo"), -1) << "nothing runs after the fault";
  }
  // The form of a failed action is closed at once, not left waiting.
  const HostRun failed = Run("dialog ControlsForm click Missing\ndialog ControlsForm click OkButton\nshowlog\n");
  EXPECT_TRUE(failed.Has("log source=FAKE code=7 text=\"controls 2 name= check=0 list=1 combo=-1 row=1 tab=0\""));
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
  // A script error outranks a waitfor that timed out before it.
  EXPECT_EQ(Run("waitfor log 9 0\nexit\n").status, 1);
  EXPECT_EQ(Run("waitfor log 9 0\nfly\n").status, 2);
}

TEST_F(HostScript, HelpGoesToStandardOutputAndWrongUsageFails) {
  struct Case {
    std::string arguments;
    int status;
    bool usageOnOutput;  // else on standard error
  };
  const Case cases[] = {
      {"--help", 0, true},
      {"--module /nowhere --help", 0, true},
      {"--helps", 2, false},
      {"", 2, false},
      {"--demo 2", 2, false},
  };
  for (const Case& c : cases) {
    const HostRun run = RunArguments(c.arguments);
    EXPECT_EQ(run.status, c.status) << c.arguments;
    const bool onOutput = !run.lines.empty() && run.lines[0].starts_with("usage: halvorsten-host ");
    EXPECT_EQ(onOutput, c.usageOnOutput) << c.arguments;
    EXPECT_EQ(run.err.starts_with("usage: halvorsten-host "), !c.usageOnOutput) << c.arguments << run.err;
  }
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

// halvorsten-host runs the real driver module from scripts, as a kernel
// would; each test checks the lines the host prints and the files left.

#include "DriverTestSupport.h"

#include <sys/wait.h>

#include <regex>

namespace {

using namespace platform::os::literals;
const std::string kEsc = "\x1B";

struct HostRun {
  int status = -1;
  std::vector<std::string> lines;
  std::string err;

  int CountPrefix(const std::string& prefix) const {
    int n = 0;
    for (const auto& l : lines) n += l.rfind(prefix, 0) == 0 ? 1 : 0;
    return n;
  }
  bool Has(const std::string& line) const { return std::find(lines.begin(), lines.end(), line) != lines.end(); }
  int Find(const std::string& prefix) const {
    for (size_t i = 0; i < lines.size(); ++i) {
      if (lines[i].rfind(prefix, 0) == 0) return static_cast<int>(i);
    }
    return -1;
  }
};

class DriverScript : public ::testing::Test {
 protected:
  void SetUp() override {
    drvtest::fs::create_directories(dir_.Path() / "drv");
    drvtest::fs::copy_file(FW_OUT_DIR "/Ferrowick_V30.edd", dir_ / "drv/Ferrowick_V30.edd");
  }

  void Ini(const std::string& general, const std::vector<std::string>& devices) {
    std::string text = "[OPCSRV]\r\nAuto Run Server=0\r\n" + general + "Device_Count=" + std::to_string(devices.size()) + "\r\n";
    for (size_t i = 0; i < devices.size(); ++i) text += "Device_" + std::to_string(i) + "=" + devices[i] + "\r\n";
    drvtest::WriteFile(dir_ / "drv/Ferrowick_V30.ini", text);
  }

  HostRun Run(const std::string& script) {
    drvtest::WriteFile(dir_ / "script.txt", script);
    const std::string command = "FERROWICK_IPC_NAMESPACE=drvhost-" + std::to_string(::getpid()) + " '" FW_OUT_DIR
                                "/halvorsten-host' '" + dir_ / "script.txt" + "' > '" + dir_ / "out.txt" + "' 2> '" +
                                dir_ / "err.txt" + "'";
    HostRun run;
    const int raw = std::system(command.c_str());
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    std::istringstream lines(drvtest::ReadFile(dir_ / "out.txt"));
    for (std::string line; std::getline(lines, line);) run.lines.push_back(line);
    run.err = drvtest::ReadFile(dir_ / "err.txt");
    return run;
  }

  std::string Drv() const { return dir_ / "drv"; }

  drvtest::TempDir dir_;
};

std::string Device(const std::string& prefix, int address, const std::string& link = "",
                   const std::string& command = "") {
  return "Name=D" + kEsc + "DeviceAddress=" + std::to_string(address) + kEsc + "Prefix=" + prefix + kEsc +
         "LinkCtrlTagName=" + link + kEsc + "ComandCtrlTagName=" + command;
}

TEST_F(DriverScript, InfoResultCodesAndPrefixList) {
  Ini("", {Device("abc", 1), Device("OPC", 1), Device("opc", 2), Device("", 3)});
  const HostRun run = Run(
      "info\n"
      "domain ABC\n"
      "domain OPC\n"
      "var 1 A \"OPC:DEVICE=1;ADDRESS=1\"\n"
      "run\n"
      "write 1=1\n"
      "init " + Drv() + "\n"
      "info\n"
      "init " + Drv() + "\n"
      "read\n"
      "sync\n"
      "write-count 0\n"
      "write 999=1\n"
      "write 1=2\n");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.lines[1],
            "info guid={15EEE945-B447-4659-ABE2-8E4FF2BBFC65} description=\"Драйвер поддержки OPC серверов. Версия 3.0\" "
            "prefixes=\"OPC\" ints=-1,-1,-1,0,100,100");
  EXPECT_TRUE(run.Has("result DLMRunDeviceDrv -5"));
  EXPECT_LT(run.Find("result DLMWriteDataDrv -5"), run.Find("result DLMInitDeviceDrv 0"));
  EXPECT_TRUE(run.Has("info guid={15EEE945-B447-4659-ABE2-8E4FF2BBFC65} description=\"Драйвер поддержки OPC "
                      "серверов. Версия 3.0\" prefixes=\":ABC::OPC:\" ints=-1,-1,-1,0,100,100"));
  EXPECT_EQ(run.CountPrefix("log source=OPCSRV code=-3 text=\"DLM::Устройству приписан пустой префикс.\""), 1);
  EXPECT_EQ(run.CountPrefix("log source=OPCSRV code=-3"), 1);
  EXPECT_TRUE(run.Has("result DLMInitDeviceDrv -4"));
  EXPECT_TRUE(run.Has("result DLMReadDataDrv -7"));
  EXPECT_TRUE(run.Has("result DLMSinhronize -7"));
  EXPECT_TRUE(run.Has("log source=OPCSRV code=-6 text=\"DLM::Ошибка в параметрах функции.\""));
  EXPECT_EQ(run.CountPrefix("result DLMWriteDataDrv -6"), 2);
  EXPECT_TRUE(run.Has("result DLMWriteDataDrv 0"));
  EXPECT_EQ(run.lines.back(), "result DLMDoneDeviceDrv 0");
}

TEST_F(DriverScript, LogFileUnderTheProjectFolder) {
  const std::string longName = "LINK_" + std::string(115, 'X');
  Ini("", {Device("OPC", 1, longName)});
  const HostRun run = Run("project " + (dir_ / "proj") + "\ninit " + Drv() + "\n");
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string text = std::string("Динамический тег "_cp) + longName + std::string(" не описан."_cp);
  EXPECT_TRUE(run.Has("log source=OPCSRV code=0 text=\"" + platform::os::Cp1251ToUtf8(text.substr(0, 100)) + "\""))
      << "the kernel gets 100 characters";
  const std::string file = drvtest::ReadFile(dir_ / "proj/Debugger/Ferrowick_V30.log");
  const std::regex line("OPCSRV\t\\d\\d\\.\\d\\d\\.\\d{4} \\d\\d:\\d\\d:\\d\\d\t([^\r\n]*)\r\n");
  std::vector<std::string> texts;
  for (std::sregex_iterator it(file.begin(), file.end(), line), end; it != end; ++it) texts.push_back((*it)[1]);
  ASSERT_FALSE(texts.empty()) << file;
  size_t total = 0;
  for (std::sregex_iterator it(file.begin(), file.end(), line), end; it != end; ++it) total += it->length();
  EXPECT_EQ(total, file.size()) << "every line has the form";
  EXPECT_NE(std::find(texts.begin(), texts.end(), text), texts.end()) << "the file gets the whole text";
  EXPECT_NE(std::find(texts.begin(), texts.end(), std::string("Драйвер не обслуживает ни одного тега!"_cp)),
            texts.end());
}

TEST_F(DriverScript, ErrorManagerAndLogManagerSwitches) {
  Ini("Error Manager=1\r\n", {Device("", 1)});
  HostRun run = Run("project " + (dir_ / "proj") + "\ninit " + Drv() + "\nwrite-count 0\n");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.CountPrefix("log "), 0);
  EXPECT_FALSE(drvtest::fs::exists(dir_ / "proj/Debugger/Ferrowick_V30.log"));
  // Entries logged before the settings were read still reach the kernel.
  Ini("LOG Manager=1\r\n", {Device("", 1)});
  run = Run("project " + (dir_ / "proj") + "\ninit " + Drv() + "\nwrite-count 0\n");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.CountPrefix("log source=OPCSRV code=-3"), 1);
  EXPECT_EQ(run.CountPrefix("log source=OPCSRV code=-6"), 1);
  EXPECT_FALSE(drvtest::fs::exists(dir_ / "proj/Debugger/Ferrowick_V30.log"));
}

TEST_F(DriverScript, DynamicTagsAndARefusedBlock) {
  Ini("", {Device("OPC", 1, "LINK_A", "CMD_X"), Device("OPC", 2, "link_a")});
  const HostRun run = Run(
      "var 71 LINK_A -\n"
      "answer 1\n"
      "init " + Drv() + "\n"
      "waitfor log 11 20000\n"
      "answer 2002\n"
      "waitfor value 71 =0 20000\n"
      "wait 50\n");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.CountPrefix("timeout"), 0) << run.err;
  EXPECT_GE(run.CountPrefix("refused count=1"), 1);
  EXPECT_TRUE(run.Has("log source=OPCSRV code=11 text=\"DLM::Данные не могут быть отосланы ядру Halvorsten.\""));
  EXPECT_EQ(run.CountPrefix("value block=1 id=71 value=0 value2=0 "), 1) << "two devices share one tag, sent once";
  EXPECT_EQ(run.CountPrefix("log source=OPCSRV code=0 text=\"Динамический тег CMD_X не описан.\""), 1);
}

TEST_F(DriverScript, StatesThroughInitRunStopAndInitAfterDone) {
  Ini("", {Device("OPC", 1)});
  const HostRun run = Run(
      "init " + Drv() + "\n"
      "section\n"
      "run\n"
      "section\n"
      "stop\n"
      "section\n"
      "done\n"
      "section\n"
      "run\n"
      "init " + Drv() + "\n"
      "section\n"
      "done\n");
  ASSERT_EQ(run.status, 0) << run.err;
  std::vector<std::string> states;
  for (const auto& l : run.lines) {
    if (l.rfind("section", 0) == 0) states.push_back(l.substr(0, std::min<size_t>(l.size(), 15)));
  }
  EXPECT_EQ(states, (std::vector<std::string>{"section state=1", "section state=2", "section state=3", "section none",
                                              "section state=1"}));
  EXPECT_TRUE(run.Has("result DLMRunDeviceDrv -5"));
  EXPECT_EQ(run.CountPrefix("result DLMDoneDeviceDrv 0"), 2);
}

}  // namespace

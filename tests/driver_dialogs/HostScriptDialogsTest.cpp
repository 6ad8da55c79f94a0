// halvorsten-host running the real module from scripts whose `dialog` and
// `savefile` lines answer the forms: the installation with its log, the
// state window with the real server, the about box and the
// configuration-only message box.

#include "platform/os/Text.h"
#include "tests/e2e/E2eSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;
using namespace platform::os::literals;

struct HostRun {
  int status = -1;
  std::vector<std::string> lines;
  std::string all;
  bool Has(const std::string& line) const { return std::find(lines.begin(), lines.end(), line) != lines.end(); }
  // The first line starting with prefix and then holding part; "" when
  // none.
  std::string Starting(const std::string& prefix, const std::string& part = "") const {
    for (const auto& l : lines) {
      if (l.rfind(prefix, 0) == 0 && l.find(part, prefix.size()) != std::string::npos) return l;
    }
    return "";
  }
};

// line forty times, each after a wait of half a second: a script cannot
// wait for what a line shows, so the test looks for the first showing of
// it (20 s at most).
std::string Repeated(const std::string& wait, const std::string& line) {
  std::string lines;
  for (int i = 0; i < 40; ++i) lines += wait + " 500\n" + line + "\n";
  return lines;
}

// Runs the host on script in the plant's environment.
HostRun RunHost(const e2e::Plant& plant, const std::string& script) {
  const std::string scriptFile = plant.Folder().Write("script.txt", script);
  const std::string out = plant.Folder().Path() + "/out.txt";
  const std::string command =
      "'" FW_OUT_DIR "/halvorsten-host' '" + scriptFile + "' > '" + out + "' 2> '" + out + ".err'";
  HostRun run;
  const int raw = std::system(command.c_str());
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  std::istringstream lines(e2e::ReadFile(out));
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("value ", 0) != 0) run.lines.push_back(line);
  }
  for (const auto& l : run.lines) run.all += l + "\n";
  run.all += e2e::ReadFile(out + ".err");
  return run;
}

TEST(HostScriptDialogs, InstallationLogSavedOrNotAndTheInstalledFolderRuns) {
  e2e::Plant plant;
  const std::string fresh = plant.Folder().Path() + "/fresh/";
  const std::string empty = plant.Folder().Path() + "/empty/";
  const std::string journal = plant.Folder().Path() + "/journal.txt";
  fs::create_directories(fresh);
  fs::create_directories(empty);
  const HostRun run = RunHost(plant,
      "install " FW_OUT_DIR "/ " + fresh + "\n"
      "dialog InstallProcDialog show MessageLabel\n"
      "dialog InstallProcDialog click SaveLogBitBtn\n"
      "savefile " + journal + "\n"
      "install " + empty + " " + fresh + "\n"
      "dialog InstallProcDialog click SaveLogBitBtn\n"
      "savefile cancel\n"
      "install " + empty + " " + fresh + "\n"
      "project " + plant.ProjectDir() + "\n"
      "init " + fresh + "\n" +
      Repeated("wait", "section") +
      "stop\n"
      "done\n");
  ASSERT_EQ(run.status, 0) << run.all;
  EXPECT_TRUE(run.Has("result DLMInstallDriver 1")) << run.all;
  EXPECT_EQ(std::count(run.lines.begin(), run.lines.end(), "result DLMInstallDriver 0"), 2) << run.all;
  EXPECT_TRUE(run.Has("dialog InstallProcDialog caption=\"Установка драйвера...\"")) << run.all;
  EXPECT_TRUE(run.Has("shown InstallProcDialog.MessageLabel \"При установке драйвера произошли серьезные ошибки. "
                      "Пожалуйста, проанализируйте журнал установки драйвера. В случае необходимости, сохраните "
                      "содержимое журнала в файл и свяжитесь со службой технической поддержки компании Corvex.\""))
      << run.all;

  // The saved log: its lines with CR LF, in CP1251.
  const std::string saved = e2e::ReadFile(journal);
  EXPECT_EQ(saved.rfind("GUID={15EEE945-B447-4659-ABE2-8E4FF2BBFC65}\r\nName=", 0), 0u) << saved;
  EXPECT_NE(saved.find("\r\nERROR: Файл не найден!\r\n"_cp), std::string::npos);
  EXPECT_EQ(saved.substr(saved.size() - 2), "\r\n");
  // The cancelled save wrote nothing: the journal is the only log file.
  std::vector<std::string> files;
  for (const auto& entry : fs::directory_iterator(plant.Folder().Path())) {
    if (entry.is_regular_file()) files.push_back(entry.path().filename().string());
  }
  std::sort(files.begin(), files.end());
  EXPECT_EQ(files, (std::vector<std::string>{"journal.txt", "out.txt", "out.txt.err", "script.txt"}));

  for (const char* name : {"Ferrowick_V30.srv", "Ferrowick_V30.ini", "Ferrowick_V30.edd", "Ferrowick_V30.ico"}) {
    EXPECT_EQ(e2e::ReadFile(fresh + name), e2e::ReadFile(std::string(FW_OUT_DIR "/") + name)) << name;
  }
  // The installed folder runs the driver: its server registers in slot 0.
  const std::string section = run.Starting("section state=1 ");
  EXPECT_NE(section, "") << run.all;
  EXPECT_TRUE(std::any_of(run.lines.begin(), run.lines.end(), [](const std::string& l) {
    return l.rfind("section state=1 ", 0) == 0 && l.find(" slot0=0/0") == std::string::npos;
  })) << run.all;
  EXPECT_TRUE(run.Has("result DLMDoneDeviceDrv 0")) << run.all;
  EXPECT_FALSE(plant.SectionLeft());
}

TEST(HostScriptDialogs, StateWindowAboutBoxAndConfigurationOnlyBox) {
  e2e::Plant plant;
  const std::string demo = FW_OUT_DIR "/demo/";
  for (const char* name : {"Ferrowick_V30.ini", "Ferrowick_V30.edd"})
    fs::copy_file(demo + name, plant.DriverDir() + "/" + name);
  ASSERT_EQ(plant.Register("Demo.Boiler", e2e::ReadFile(demo + "Boiler.items")), 0);
  ASSERT_EQ(plant.Register("Demo.Mixer", e2e::ReadFile(demo + "Mixer.items")), 0);
  const std::string bare = plant.Folder().Path() + "/bare/";
  fs::create_directories(bare);
  const HostRun run = RunHost(plant,
      e2e::ReadFile(demo + "project.txt") +
      "project " + plant.ProjectDir() + "\n"
      "init " + plant.DriverDir() + "\n"
      "run\n"
      "waitfor value 1001 20000\n"  // both devices' values flow
      "waitfor value 2001 20000\n"
      "dialog TerminalWindow show OPCServerList\n"
      "dialog TerminalWindow row OPCServerList 2\n" +
      Repeated("dialog TerminalWindow wait", "dialog TerminalWindow show TerminalMemo") +
      "dialog TerminalWindow click OkBitBtn\n"
      "state\n"
      "dialog AboutDialog show MsgLabel\n"
      "dialog AboutDialog key enter\n"
      "about\n"
      "stop\n"
      "done\n"
      "dialog MessageBoxDialog show MessageLabel\n"
      "dialog MessageBoxDialog key esc\n"
      "init " + bare + " config-only\n"
      "dialog TerminalWindow show OPCServerList\n"
      "state\n"
      "done\n");
  ASSERT_EQ(run.status, 0) << run.all;
  EXPECT_TRUE(run.Has("dialog TerminalWindow caption=\"Информация о работе драйвера Ferrowick...\"")) << run.all;
  EXPECT_TRUE(run.Has("shown TerminalWindow.OPCServerList \"Boiler house=Demo.Boiler\\r\\nMixer line=Demo.Mixer\"")) << run.all;
  EXPECT_EQ(run.Starting("timeout "), "") << run.all;
  const std::string memo = run.Starting("shown TerminalWindow.TerminalMemo ", "Mixer.");
  EXPECT_NE(memo, "") << run.all;
  EXPECT_EQ(memo.find("Boiler."), std::string::npos) << memo;
  EXPECT_TRUE(run.Has("result DLMShowState 0")) << run.all;
  EXPECT_TRUE(run.Has("shown AboutDialog.MsgLabel \"\\r\\nДрайвер обслуживания OPC серверов ядром сервера Halvorsten."
                      "\\r\\n\\r\\nВерсия 3.0\\r\\n\\r\\n© Corvex, 2026\"")) << run.all;
  EXPECT_TRUE(run.Has("dialog MessageBoxDialog caption=\"Драйвер поддержки OPC серверов. Версия 3.0\"")) << run.all;
  EXPECT_TRUE(run.Has("shown MessageBoxDialog.MessageLabel \"Файл с описанием OPC серверов не найден или имеет не "
                      "правильный формат.\"")) << run.all;
  EXPECT_TRUE(run.Has("shown TerminalWindow.OPCServerList \"\" disabled")) << run.all;
  EXPECT_FALSE(plant.SectionLeft());
}

}  // namespace

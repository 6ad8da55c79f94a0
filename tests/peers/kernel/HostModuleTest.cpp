// halvorsten-host with the real driver module, in a plant of its own: the
// folders it passes to the installation and removal; Ctrl-C and SIGTERM
// stop and end the driver before the host ends.

#include "tests/KillGuard.h"
#include "tests/e2e/E2eSupport.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace e2e;

// Runs the host on script; its exit status (-1 when it did not end).
int RunScript(const Plant& plant, Host& host, const std::string& script) {
  const std::string file = plant.Folder().Write("script.txt", script);
  if (!host.Start({file})) return -1;
  return host.Finish();
}

bool Printed(const Host& host, const std::string& line) {
  for (const auto& l : host.Lines())
    if (l == line) return true;
  return false;
}

TEST(HostModule, InstallAndRemoveTakeFoldersWithOrWithoutTheirDelimiter) {
  Plant plant;
  const std::string root = plant.Folder().Path() + "/";
  const std::vector<std::string> installed = {"Ferrowick_V30.srv", "Ferrowick_V30.ini", "Ferrowick_V30.cfg",
                                              "Ferrowick_V30.edd", "Ferrowick_V30.ico"};
  fs::create_directories(root + "src");
  for (const std::string& name : installed) plant.Folder().Write("src/" + name, "bytes of " + name);

  struct Case {
    std::string source, target;  // as written in the script
  };
  const Case cases[] = {{"src", "bare"}, {"src/", "slashed/"}, {"src", "mixed/"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.source + " -> " + c.target);
    const std::string target = root + c.target;
    fs::create_directories(target);
    Host install;
    ASSERT_EQ(RunScript(plant, install, "install " + root + c.source + " " + target + "\n"), 0) << install.Errors();
    EXPECT_TRUE(Printed(install, "result DLMInstallDriver 1"));
    for (const std::string& name : installed)
      EXPECT_EQ(ReadFile((fs::path(target) / name).string()), "bytes of " + name) << name;

    Host remove;
    ASSERT_EQ(RunScript(plant, remove, "remove " + target + "\n"), 0) << remove.Errors();
    EXPECT_TRUE(Printed(remove, "result DLMRemoveDriver 1"));
    EXPECT_FALSE(fs::exists(fs::path(target) / "Ferrowick_V30.srv"));
    EXPECT_FALSE(fs::exists(fs::path(target) / "Ferrowick_V30.ini"));
  }
}

constexpr const char* kProgId = "Host.Plant";
constexpr int32_t kLevel = 101;

// A plant with one simulated device and the script lines that initialise
// and run the driver on it.
std::vector<std::string> RunningDriver(const Plant& plant) {
  EXPECT_EQ(plant.Register(kProgId, "Plant.Level R4 const 1.5\n"), 0);
  plant.WriteDriverFiles("Auto Run Server=1\r\n", {DeviceLine("Plant", 1, kProgId, "OPC", "Plant", "LINK", "CMD")},
                         "<OPC_Description>\r\n <device name=\"Plant\">\r\n  <tagstlist>\r\n"
                         "   <opctag name=\"Plant.Level\" type=\"float\" proc=\"value\" hvaddress=\"1\"/>\r\n"
                         "  </tagstlist>\r\n </device>\r\n</OPC_Description>\r\n");
  return {"project " + plant.ProjectDir(), "var 901 LINK -", "var 902 CMD -", "domain OPC",
          "var 101 LEVEL \"OPC:DEVICE=1;ADDRESS=1\"", "init " + plant.DriverDir(), "run"};
}

pid_t Slot0(const std::string& sectionLine) {
  static const std::regex slot(" slot0=(\\d+)/");
  std::smatch m;
  return std::regex_search(sectionLine, m, slot) ? static_cast<pid_t>(std::stol(m[1])) : 0;
}

// What the demo of host pid Host left in /dev/shm (its own namespace);
// removed at the end, so that a failed run leaves nothing either.
// Declared before the plant, it goes after the plant ended the processes.
struct DemoLeftovers {
  pid_t Host = 0;
  std::vector<std::string> Left() const {
    std::vector<std::string> left;
    const std::string prefix = "ferrowick-demo-" + std::to_string(Host) + ".";
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator("/dev/shm", ec))
      if (Host > 0 && entry.path().filename().string().starts_with(prefix)) left.push_back(entry.path().string());
    return left;
  }
  ~DemoLeftovers() {
    for (const std::string& path : Left()) ::unlink(path.c_str());
  }
};

TEST(HostModule, InterruptedHostStopsAndEndsTheDriverFirst) {
  enum class Run { ScriptWaiting, InputIdle, Demo };
  struct Case {
    const char* name;
    Run run;
    int signal;
    int status;
  };
  const Case cases[] = {{"a script in a long waitfor, SIGINT", Run::ScriptWaiting, SIGINT, 130},
                        {"standard input without a line, SIGTERM", Run::InputIdle, SIGTERM, 143},
                        {"the demo, SIGINT", Run::Demo, SIGINT, 130}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DemoLeftovers leftovers;
    Plant plant;
    Host host;
    pid_t server = 0;
    if (c.run == Run::ScriptWaiting) {
      // A script file that runs the driver, then waits for what never comes.
      std::string script;
      for (const std::string& line : RunningDriver(plant)) script += line + "\n";
      script += "waitfor value 101 20000\nsection\nwaitfor log 424242 600000\n";
      ASSERT_TRUE(host.Start({plant.Folder().Write("script.txt", script)}));
      const auto section = host.ExpectPrefix("section ");
      ASSERT_TRUE(section) << host.Errors();
      server = Slot0(*section);
    } else if (c.run == Run::InputIdle) {
      // Standard input that gives no further line.
      ASSERT_TRUE(host.Start());
      for (const std::string& line : RunningDriver(plant)) host.Send(line);
      ASSERT_TRUE(host.Seen(ValueLine(kLevel))) << host.Errors();
      server = host.ServerPid();
    } else {
      // The demo's folders inside the plant's: a server it leaves is the plant's to end.
      const std::string tmp = plant.Folder().Path() + "/tmp";
      fs::create_directories(tmp);
      ::setenv("TMPDIR", tmp.c_str(), 1);
      const bool started = host.Start({"--demo", "60"});
      ::unsetenv("TMPDIR");
      ASSERT_TRUE(started);
      leftovers.Host = host.Pid();
      ASSERT_TRUE(host.Expect([](const std::string& l) { return std::regex_search(l, std::regex("^ +\\d+ +[1-9]")); },
                              40000))
          << "no values in the demo's table\n" << host.Errors();
    }
    plant.Remember(server);
    ASSERT_TRUE(c.run == Run::Demo || IsServerProcess(server)) << server;

    ASSERT_TRUE(kill_guard::SignalIf(host.Pid(), c.signal, kill_guard::IsOwnChild));
    EXPECT_TRUE(host.ExpectPrefix("result DLMStopDeviceDrv 0"));
    EXPECT_TRUE(host.ExpectPrefix("result DLMDoneDeviceDrv 0"));
    if (c.run == Run::Demo) {
      const auto stop = host.ExpectPrefix("stop: server (pid ");
      ASSERT_TRUE(stop);
      EXPECT_TRUE(stop->ends_with(") closed, section removed")) << *stop;
      server = static_cast<pid_t>(std::atoi(stop->c_str() + std::string("stop: server (pid ").size()));
    }
    EXPECT_EQ(host.Finish(), c.status) << host.Errors();
    EXPECT_TRUE(WaitEnded(server)) << "the server still runs";
    EXPECT_FALSE(plant.SectionLeft());
    EXPECT_EQ(plant.SharedMemoryLeft(), std::vector<std::string>{});
    EXPECT_EQ(leftovers.Left(), std::vector<std::string>{});
  }
}

}  // namespace

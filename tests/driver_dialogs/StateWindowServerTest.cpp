// The real module under a kernel in this process: its state window with
// the real server and two simulated OPC servers (the demo project).

#include "DialogsTestSupport.h"
#include "peers/kernel/HostOutput.h"
#include "peers/kernel/HostSession.h"
#include "platform/os/Text.h"
#include "platform/ui/ValueListEditor.h"
#include "platform/win/MessageLoop.h"
#include "tests/e2e/E2eSupport.h"

#include <filesystem>
#include <fstream>

namespace {

using namespace dlgtest;
namespace fs = std::filesystem;
using platform::win::WaitPumping;

bool Contains(const std::string& text, std::string_view part) { return text.find(part) != std::string::npos; }

using RealModule = HeadlessTest;

TEST_F(RealModule, StateWindowFollowsTheSelectedDevice) {
  e2e::Plant plant;
  const std::string demo = FW_OUT_DIR "/demo/";
  for (const char* name : {"Ferrowick_V30.ini", "Ferrowick_V30.edd"})
    fs::copy_file(demo + name, plant.DriverDir() + "/" + name);
  for (const char* device : {"Boiler", "Mixer"}) {
    ASSERT_EQ(plant.Register(std::string("Demo.") + device, e2e::ReadFile(demo + device + ".items")), 0);
  }
  {
    kernel::HostOutput out;
    kernel::HostSession host(FW_OUT_DIR "/Ferrowick_V30.dlm", out);
    host.SetValueObserver([](int32_t, float) {}, false);
    std::ifstream project(demo + "project.txt");
    for (std::string line; std::getline(project, line);) host.RunLine(line);
    host.RunLine("project " + plant.ProjectDir());
    host.RunLine("init " + plant.DriverDir());
    host.RunLine("run");
    ASSERT_TRUE(host.Initialised());

    ui::THeadlessDriver::AnswerNextModal([&](ui::TCustomForm& form) {
      auto& list = Get<ui::TValueListEditor>(form, "OPCServerList");
      EXPECT_EQ(list.Strings().Text(), "Boiler house=Demo.Boiler\r\nMixer line=Demo.Mixer\r\n");
      // The server comes up, connects and writes the first device's lines.
      EXPECT_TRUE(WaitPumping([&] { return Contains(Shown(form, "TerminalMemo"), "Boiler."); }, 20000))
          << Shown(form, "TerminalMemo");
      ui::THeadlessDriver::SelectRow(&list, 2);
      EXPECT_TRUE(WaitPumping([&] { return Contains(Shown(form, "TerminalMemo"), "Mixer."); }, 20000))
          << Shown(form, "TerminalMemo");
      EXPECT_FALSE(Contains(Shown(form, "TerminalMemo"), "Boiler."));
      Click(form, "OkBitBtn");
    });
    host.RunLine("state");
    host.RunLine("stop");
    host.RunLine("done");
  }
  EXPECT_FALSE(plant.SectionLeft());
}

}  // namespace

// Start-up checks of the server program: parameters, settings file, the
// section and a live server in the slot. This program runs in one IPC
// namespace of its own (StartupTestMain.cpp), since the window table it
// joins lives as long as the process.

#include "server/ServerMain.h"

#include "exchange/OPCSharedMemory.h"
#include "platform/os/Process.h"
#include "platform/os/IpcNamespace.h"
#include "platform/win/Window.h"
#include "server/ServerData.h"
#include "tests/server/ServerTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

using server::TStartupVerdict;
using Params = std::vector<std::string>;
namespace win = platform::win;

TEST(SlotFromParameters, ExactlyTwoAndAnIndexOfASlot) {
  EXPECT_EQ(server::SlotFromParameters({"0", "C:\\drv\\Ferrowick_V30.ini"}), 0);
  EXPECT_EQ(server::SlotFromParameters({" 31 ", ""}), 31);
  EXPECT_EQ(server::SlotFromParameters({"$1F", "x"}), 31);
  EXPECT_EQ(server::SlotFromParameters({}), -1);
  EXPECT_EQ(server::SlotFromParameters({"0"}), -1);
  EXPECT_EQ(server::SlotFromParameters({"0", "a", "b"}), -1);
  EXPECT_EQ(server::SlotFromParameters({"zero", "a"}), -1);
  EXPECT_EQ(server::SlotFromParameters({"", "a"}), -1);
  EXPECT_EQ(server::SlotFromParameters({"-1", "a"}), -1);
  EXPECT_EQ(server::SlotFromParameters({"32", "a"}), -1);
  EXPECT_EQ(server::SlotFromParameters({"99999999999", "a"}), -1);
}

TEST(SettingsFileName, BesideTheProgram) {
  EXPECT_EQ(server::SettingsFileName("/opt/drv/Ferrowick_V30.srv"), "/opt/drv/Ferrowick_V30.ini");
  EXPECT_EQ(server::SettingsFileName("/opt/drv.d/server"), "/opt/drv.d/server.ini");
}

class Startup : public ::testing::Test {
 protected:
  void SetUp() override {
    program_ = folder_.Path() + "/Ferrowick_V30.srv";
    folder_.Write("Ferrowick_V30.ini", "[OPCSRV]\r\nDevice_Count=0\r\n");
  }
  void TearDown() override {
    server::Intercom.reset();
    server::IniFileName.clear();
    exchange::ServerIndex = -1;
    driver_.reset();
    for (win::HWND window : windows_) win::DestroyWindow(window);
    const std::string section = "/dev/shm/" + platform::os::IpcName(exchange::kSectionName);
    EXPECT_FALSE(std::filesystem::exists(section)) << section;
  }

  void CreateSection() {
    driver_ = exchange::TIntercomInterface::Create(exchange::kSectionName, 0);
    ASSERT_TRUE(driver_->IsAttached());
  }
  win::HWND Window() {
    const win::HWND window = win::AllocateHWnd([](win::HWND, win::UINT, win::WPARAM, win::LPARAM) { return win::LRESULT{0}; });
    EXPECT_NE(window, 0u);
    windows_.push_back(window);
    return window;
  }
  // Writes a registration into slot i through the driver's view.
  void Register(std::int32_t slot, std::int32_t pid, std::int32_t window) {
    const std::int32_t saved = exchange::ServerIndex;
    exchange::ServerIndex = slot;
    driver_->ServerData()->SetOwnProcessId(pid);
    driver_->ServerData()->SetOwnWindowHandle(window);
    driver_->ServerData()->SetOwnRunning(true);
    exchange::ServerIndex = saved;
  }
  std::vector<std::uint8_t> SlotBytes(std::int32_t slot) const {
    const std::uint8_t* begin = driver_->ServerData()->Block() + 256 + 269 * slot;
    return std::vector<std::uint8_t>(begin, begin + 269);
  }

  server_test::TempFolder folder_;
  std::string program_;
  std::unique_ptr<exchange::TIntercomInterface> driver_;
  std::vector<win::HWND> windows_;
};

TEST_F(Startup, BadParametersStopFirst) {
  EXPECT_EQ(server::CheckStartup({"-1", "x"}, program_), TStartupVerdict::BadParameters);
  EXPECT_EQ(exchange::ServerIndex, -1);
  EXPECT_EQ(server::CheckStartup({"0"}, program_), TStartupVerdict::BadParameters);
  EXPECT_EQ(server::IniFileName, "");
  EXPECT_EQ(server::Intercom, nullptr);
}

TEST_F(Startup, NoSettingsFileBesideTheProgram) {
  CreateSection();
  EXPECT_EQ(server::CheckStartup({"0", "x"}, folder_.Path() + "/other.srv"), TStartupVerdict::NoSettingsFile);
  EXPECT_EQ(server::IniFileName, folder_.Path() + "/other.ini");
  EXPECT_EQ(server::Intercom, nullptr);
}

TEST_F(Startup, NoSectionWithoutADriver) {
  EXPECT_EQ(server::CheckStartup({"0", "x"}, program_), TStartupVerdict::NoSection);
  EXPECT_EQ(server::Intercom, nullptr);
  EXPECT_FALSE(server::SectionOpen());
}

TEST_F(Startup, RunsWithASectionAndAFreeSlot) {
  CreateSection();
  EXPECT_EQ(server::CheckStartup({"3", "x"}, program_), TStartupVerdict::Run);
  EXPECT_EQ(exchange::ServerIndex, 3);
  EXPECT_EQ(server::IniFileName, folder_.Path() + "/Ferrowick_V30.ini");
  EXPECT_TRUE(server::SectionOpen());
}

TEST_F(Startup, ALiveServerInTheSlotIsLeftAlone) {
  CreateSection();
  Register(0, static_cast<std::int32_t>(platform::os::GetCurrentProcessId()), static_cast<std::int32_t>(Window()));
  const std::vector<std::uint8_t> before = SlotBytes(0);
  EXPECT_EQ(server::CheckStartup({"0", "x"}, program_), TStartupVerdict::AlreadyRunning);
  EXPECT_EQ(server::Intercom, nullptr);
  EXPECT_EQ(SlotBytes(0), before);
  // Another slot is free.
  EXPECT_EQ(server::CheckStartup({"1", "x"}, program_), TStartupVerdict::Run);
}

TEST_F(Startup, AStaleRegistrationDoesNotCount) {
  // A process that has ended.
  platform::os::ProcessIdentity ended;
  ASSERT_TRUE(platform::os::CreateProcess("/bin/true", &ended));
  for (int i = 0; i < 20000 && platform::os::IsProcessAlive(ended.Pid); ++i) ::usleep(1000);
  ASSERT_FALSE(platform::os::IsProcessAlive(ended.Pid));
  const auto child = static_cast<std::int32_t>(ended.Pid);

  CreateSection();
  const auto self = static_cast<std::int32_t>(platform::os::GetCurrentProcessId());
  const win::HWND gone = Window();
  ASSERT_TRUE(win::DestroyWindow(gone));
  Register(0, self, static_cast<std::int32_t>(gone));
  EXPECT_EQ(server::CheckStartup({"0", "x"}, program_), TStartupVerdict::Run);
  server::Intercom.reset();
  Register(0, child, static_cast<std::int32_t>(Window()));
  EXPECT_EQ(server::CheckStartup({"0", "x"}, program_), TStartupVerdict::Run);
  server::Intercom.reset();
  Register(0, self, 0);
  EXPECT_EQ(server::CheckStartup({"0", "x"}, program_), TStartupVerdict::Run);
  server::Intercom.reset();
  Register(0, 0, static_cast<std::int32_t>(Window()));
  EXPECT_EQ(server::CheckStartup({"0", "x"}, program_), TStartupVerdict::Run);
}

TEST_F(Startup, IsServerRunningNeedsAnOpenSection) {
  EXPECT_FALSE(server::IsServerRunning());
  server::Intercom = exchange::TIntercomInterface::Open(exchange::kSectionName);
  exchange::ServerIndex = 0;
  EXPECT_FALSE(server::IsServerRunning());
}

TEST_F(Startup, ClearOwnSlotClearsOnlyItsOwnFields) {
  CreateSection();
  const auto self = static_cast<std::int32_t>(platform::os::GetCurrentProcessId());
  Register(2, self, 77);
  Register(5, self, 88);
  const std::vector<std::uint8_t> other = SlotBytes(5);
  ASSERT_EQ(server::CheckStartup({"2", "x"}, program_), TStartupVerdict::Run);
  driver_->ServerData()->Block()[256 + 269 * 2 + 264] = 9;  // heartbeat stays
  server::ClearOwnSlot();
  EXPECT_EQ(driver_->ServerData()->GetProcessId(2), 0);
  EXPECT_EQ(driver_->ServerData()->GetWindowHandle(2), 0);
  EXPECT_EQ(driver_->ServerData()->Block()[256 + 269 * 2 + 268], 0);  // running flag
  EXPECT_EQ(driver_->ServerData()->Block()[256 + 269 * 2 + 264], 9);
  EXPECT_EQ(SlotBytes(5), other);
  server::Intercom.reset();
  server::ClearOwnSlot();  // no section: nothing
}

}  // namespace

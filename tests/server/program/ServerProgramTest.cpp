// The real server program, started as the driver starts it: refusals at
// start, registration in slot 0, the heartbeat, a second start for a live
// slot, WM_CLOSE from another process, and the start-up errors that reach
// the shared error list.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/os/Text.h"
#include "platform/win/MessageLoop.h"
#include "platform/os/Time.h"
#include "platform/win/Window.h"
#include "tests/server/program/ProgramTestSupport.h"

namespace {

using namespace program_test;
using namespace platform::os::literals;
namespace win = platform::win;

constexpr const char* kIni = "[OPCSRV]\r\nDevice_Count=0\r\n";

bool HasError(exchange::TIntercomInterface& section, std::int32_t code, std::string_view text) {
  for (const auto& [c, t] : ErrorEntries(section))
    if (c == code && t == text) return true;
  return false;
}

class ServerProgramTest : public ::testing::Test {
 protected:
  void SetUp() override { folder_.Write("Ferrowick_V30.ini", kIni); }
  void TearDown() override {
    program_.Kill();
    second_.Kill();
    driver_.reset();
    ExpectNoSectionLeft();
  }

  std::vector<std::string> Parameters(const std::string& slot = "0") const {
    return {slot, folder_.Path() + "/Ferrowick_V30.ini"};
  }
  std::int32_t Slot(std::size_t offset) const { return ReadI32(*driver_, offset); }
  bool Registered() const { return Slot(kSlotPid) != 0 && Slot(kSlotWindow) != 0; }
  // Starts the program for slot 0 and waits until it has registered.
  void StartRegistered() {
    ASSERT_TRUE(program_.Start(Parameters()));
    ASSERT_TRUE(WaitUntil([&] { return Registered(); }, 20000)) << "no registration";
  }
  // Waits for the next heartbeat; false when none came within 5 s.
  bool NextBeat() {
    const std::int32_t h = Slot(kSlotHeartbeat);
    return WaitUntil([&] { return Slot(kSlotHeartbeat) != h; }, 20000);
  }

  TempFolder folder_;
  ServerProgram program_{folder_};
  ServerProgram second_{folder_};
  std::unique_ptr<exchange::TIntercomInterface> driver_;
};

// Each refusal says on standard error why the program ended and how the
// driver starts it.
void ExpectRefusalLine(const std::string& errorFile, const std::string& reason) {
  std::ifstream in(errorFile);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_TRUE(text.starts_with("Ferrowick_V30.srv: ended: " + reason)) << text;
  EXPECT_NE(text.find("DIR/Ferrowick_V30.srv SLOT DIR/Ferrowick_V30.ini\n"), std::string::npos) << text;
}

TEST_F(ServerProgramTest, RefusedStartsEndWithZeroAndTouchNothing) {
  driver_ = CreateDriverSection(3);
  const std::vector<std::vector<std::string>> refused = {
      {}, {"0"}, {"0", "a.ini", "x"}, {"zero", "a.ini"}, {"-1", "a.ini"}, {"", "a.ini"}, {"32", "a.ini"}};
  const std::vector<std::uint8_t> before(driver_->View(), driver_->View() + driver_->ViewSize());
  program_.ErrorFile = folder_.Path() + "/stderr.txt";
  for (const auto& parameters : refused) {
    ASSERT_TRUE(program_.Start(parameters));
    EXPECT_EQ(program_.Wait(), 0) << parameters.size() << " parameters";
    ExpectRefusalLine(program_.ErrorFile, "the arguments are not a slot (0..31) and the settings file");
  }
  std::filesystem::remove(folder_.Path() + "/Ferrowick_V30.ini");
  ASSERT_TRUE(program_.Start(Parameters()));
  EXPECT_EQ(program_.Wait(), 0) << "no .ini";
  ExpectRefusalLine(program_.ErrorFile, "no settings file " + folder_.Path() + "/Ferrowick_V30.ini");
  EXPECT_TRUE(std::equal(before.begin(), before.end(), driver_->View())) << "the section changed";
}

TEST_F(ServerProgramTest, WithoutASectionThereIsNoWindow) {
  program_.ErrorFile = folder_.Path() + "/stderr.txt";
  ASSERT_TRUE(program_.Start(Parameters()));
  EXPECT_EQ(program_.Wait(), 0);
  ExpectRefusalLine(program_.ErrorFile, "the driver's shared section does not exist");
}

TEST_F(ServerProgramTest, RegistersInSlotZeroBeatsAndClosesOnWmClose) {
  driver_ = CreateDriverSection(2);
  StartRegistered();
  EXPECT_EQ(Slot(kSlotPid), program_.Pid());
  const auto window = static_cast<win::HWND>(Slot(kSlotWindow));
  EXPECT_TRUE(win::IsWindow(window));
  EXPECT_EQ(driver_->View()[kSlotRunning], 1);

  // About once a second: two beats take a second at least.
  ASSERT_TRUE(NextBeat());
  const std::uint32_t start = platform::os::GetTickCount();
  const std::int32_t first = Slot(kSlotHeartbeat);
  ASSERT_TRUE(NextBeat());
  ASSERT_TRUE(NextBeat());
  const std::uint32_t elapsed = platform::os::TickDiff(platform::os::GetTickCount(), start);
  EXPECT_EQ(Slot(kSlotHeartbeat), first + 2);
  EXPECT_GE(elapsed, 1000u);

  // Right after a beat the next is a second away: preset the top value.
  ASSERT_TRUE(NextBeat());
  WriteI32(*driver_, kSlotHeartbeat, 65536);
  ASSERT_TRUE(NextBeat());
  EXPECT_EQ(Slot(kSlotHeartbeat), 0);
  ASSERT_TRUE(NextBeat());
  EXPECT_EQ(Slot(kSlotHeartbeat), 1);

  // A normal start reports neither the tray nor DCOM security.
  for (const auto& [code, text] : ErrorEntries(*driver_)) ADD_FAILURE() << code << " " << text;

  ASSERT_TRUE(win::PostMessage(window, win::WM_CLOSE, 0, 0));
  EXPECT_EQ(program_.Wait(), 0);
  EXPECT_EQ(Slot(kSlotPid), 0);
  EXPECT_EQ(Slot(kSlotWindow), 0);
  EXPECT_EQ(driver_->View()[kSlotRunning], 0);
  EXPECT_FALSE(win::IsWindow(window));
}

TEST_F(ServerProgramTest, ASecondStartForALiveSlotChangesNothing) {
  driver_ = CreateDriverSection(1);
  StartRegistered();
  ASSERT_TRUE(NextBeat());
  std::vector<std::uint8_t> before(driver_->View(), driver_->View() + driver_->ViewSize());
  second_.ErrorFile = folder_.Path() + "/stderr.txt";
  ASSERT_TRUE(second_.Start(Parameters()));
  EXPECT_EQ(second_.Wait(), 0);
  ExpectRefusalLine(second_.ErrorFile, "a running server already holds slot 0");
  std::vector<std::uint8_t> after(driver_->View(), driver_->View() + driver_->ViewSize());
  // The first server's heartbeat may have moved meanwhile; nothing else.
  std::memset(before.data() + kSlotHeartbeat, 0, 4);
  std::memset(after.data() + kSlotHeartbeat, 0, 4);
  EXPECT_TRUE(before == after);
  EXPECT_EQ(Slot(kSlotPid), program_.Pid());
}

TEST_F(ServerProgramTest, ASlotOfAKilledServerIsTakenAgain) {
  driver_ = CreateDriverSection(1);
  StartRegistered();
  const pid_t first = program_.Pid();
  program_.Kill();
  ASSERT_TRUE(second_.Start(Parameters()));
  ASSERT_TRUE(WaitUntil([&] { return Slot(kSlotPid) == second_.Pid(); }, 20000));
  EXPECT_NE(second_.Pid(), first);
  EXPECT_EQ(driver_->View()[kSlotRunning], 1);
}

TEST_F(ServerProgramTest, FailingDcomSecurityIsReportedAndStartGoesOn) {
  driver_ = CreateDriverSection(1);
  program_.Environment["FERROWICK_COM_SECURITY_FAIL"] = "1";
  StartRegistered();
  ASSERT_TRUE(NextBeat());  // the timer runs: start-up went on
  EXPECT_TRUE(HasError(*driver_, -21, "Failed to initialize DCOM security"));
}

TEST_F(ServerProgramTest, AnUnreadableIconBesideTheProgramIsATrayError) {
  driver_ = CreateDriverSection(1);
  folder_.Write("Ferrowick_V30.ico", "not an icon");
  StartRegistered();
  ASSERT_TRUE(NextBeat());
  EXPECT_TRUE(HasError(*driver_, -15, "Ошибка загрузки иконки серверного приложения"_cp));
}

}  // namespace

int main(int argc, char** argv) {
  program_test::UseProcessNamespace("fwsrvprog");
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

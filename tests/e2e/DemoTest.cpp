// The demo: halvorsten-host --demo runs the bundled project and leaves
// nothing behind; its table shows values, bits put together and states.
// The README's example of the stand-in kernel runs as written.

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "peers/kernel/DemoTable.h"
#include "tests/e2e/E2eSupport.h"

namespace {

using namespace e2e;
namespace ids = kernel::demo_ids;

int Count(const std::vector<std::string>& lines, const std::regex& pattern) {
  int n = 0;
  for (const auto& line : lines) n += std::regex_search(line, pattern) ? 1 : 0;
  return n;
}

TEST(Demo, RunsTheBundledProjectAndLeavesNothingBehind) {
  Plant plant;  // environment restored and stale tables removed afterwards
  TempFolder tmp;
  Host host;  // its own folder for standard error lies outside tmp
  ::setenv("TMPDIR", tmp.Path().c_str(), 1);
  ASSERT_TRUE(host.Start({"--demo", "7"}));
  const pid_t pid = host.Pid();
  const int status = host.Finish(40000);
  ::unsetenv("TMPDIR");
  const auto& lines = host.Lines();
  std::string all;
  for (const auto& l : lines) all += l + "\n";
  ASSERT_EQ(status, 0) << all << host.Errors();

  EXPECT_EQ(Count(lines, std::regex("^ +[1-7] +[0-9]+ ")), 7) << all;
  EXPECT_EQ(Count(lines, std::regex("^ +7 +[1-9][0-9]* ")), 1) << "values still flow at the end\n" << all;
  EXPECT_GE(Count(lines, std::regex("up/up +done/done$")), 1) << all;
  EXPECT_EQ(Count(lines, std::regex("^  Demo.Boiler journal: \"write Boiler.Setpoint R8 77,5\"; command state back: done$")), 1) << all;
  EXPECT_EQ(Count(lines, std::regex("^  Demo.Mixer journal: \"write Mixer.SpeedSetpoint R8 1200\"; command state back: done$")), 1) << all;
  EXPECT_EQ(Count(lines, std::regex("^stop: server \\(pid [0-9]+\\) closed, section removed$")), 1) << all;
  EXPECT_EQ(lines.back(), "demo finished: nothing left running");

  // Its temporary folder (registry, driver folder, project) is gone, and
  // nothing of its namespace is left in /dev/shm.
  std::error_code ec;
  EXPECT_TRUE(std::filesystem::is_empty(tmp.Path(), ec)) << tmp.Path();
  const std::string prefix = "ferrowick-demo-" + std::to_string(pid) + ".";
  for (const auto& entry : std::filesystem::directory_iterator("/dev/shm", ec))
    EXPECT_NE(entry.path().filename().string().rfind(prefix, 0), 0u) << entry.path();
}

// The fenced sh block of the README whose last line is `last`, or "".
std::string ReadmeBlock(const std::string& last) {
  std::istringstream readme(ReadFile(FW_SOURCE_DIR "/README.md"));
  std::string block, line;
  bool inside = false;
  while (std::getline(readme, line)) {
    if (!inside && line == "```sh") {
      inside = true;
      block.clear();
    } else if (inside && line == "```") {
      if (block.ends_with(last + "\n")) return block;
      inside = false;
    } else if (inside) {
      block += line + "\n";
    }
  }
  return "";
}

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
  for (size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size()) text.replace(at, from.size(), to);
}

// The README's example of the stand-in kernel, run as a newcomer pastes it
// (its folder /tmp/fw moved into the test's own): values, the write's
// command state, the section, and status 0 (no waitfor timed out).
TEST(Demo, TheReadmeExampleRunsAsWritten) {
  Plant plant;  // namespace; servers started from its folder are ended
  std::string recipe = ReadmeBlock("/tmp/fw/halvorsten-host /tmp/fw/script.txt");
  ASSERT_FALSE(recipe.empty()) << "no such example in README.md";
  ReplaceAll(recipe, "build/out/", FW_OUT_DIR "/");
  ReplaceAll(recipe, "/tmp/fw", plant.Folder().Path() + "/fw");
  const std::string script = plant.Folder().Path() + "/recipe.sh", out = plant.Folder().Path() + "/out.txt";
  std::ofstream(script) << recipe;
  const std::string command =
      "env -u LD_LIBRARY_PATH timeout -k 5 120 bash '" + script + "' > '" + out + "' 2>&1";
  const int raw = std::system(command.c_str());
  const std::string output = ReadFile(out);
  EXPECT_EQ(WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, 0) << output;
  for (const char* expected : {"\nvalue block=1 id=1001 ", "\nvalue block=1 id=2001 ", "\nvalue block=1 id=9002 value=1 ",
                               "\nvalue block=1 id=1009 value=77.5 ", "\nsection state=2 "}) {
    EXPECT_NE(output.find(expected), std::string::npos) << expected << "\n" << output;
  }
}

TEST(Demo, RefusesSecondsOutOfRange) {
  for (const char* seconds : {"4", "3601", "x"}) {
    Host host;
    ASSERT_TRUE(host.Start({"--demo", seconds}));
    EXPECT_EQ(host.Finish(), 2) << seconds;
    EXPECT_NE(host.Errors().find("usage"), std::string::npos);
  }
}

TEST(DemoTable, RowsShowValuesBitsAndStatesAndCountPerSecond) {
  kernel::DemoTable table;
  EXPECT_EQ(kernel::DemoTable::LinkText(std::nullopt), "-");
  EXPECT_EQ(kernel::DemoTable::LinkText(0.0f), "up");
  EXPECT_EQ(kernel::DemoTable::LinkText(1.0f), "down");
  EXPECT_EQ(kernel::DemoTable::LinkText(0.5f), "?");
  EXPECT_EQ(kernel::DemoTable::CommandText(0.0f), "queued");
  EXPECT_EQ(kernel::DemoTable::CommandText(1.0f), "done");
  EXPECT_EQ(kernel::DemoTable::CommandText(2.0f), "not sent");
  EXPECT_EQ(kernel::DemoTable::CommandText(3.0f), "refused");

  // Bits never received hold the kernel's initial 0; the highest is first.
  table.Receive(ids::kBoilerAlarmBit0, 1.0f);
  table.Receive(ids::kBoilerAlarmBit0 + 7, 1.0f);
  table.Receive(ids::kBoilerAlarmBit0 + 8, 1.0f);  // not a bit of the byte
  EXPECT_EQ(table.Bits(ids::kBoilerAlarmBit0, 8), "10000001");
  table.Receive(ids::kBoilerAlarmBit0 + 7, 0.0f);
  EXPECT_EQ(table.Bits(ids::kBoilerAlarmBit0, 8), "00000001");

  table.Receive(ids::kBoilerTemperature, 81.256f);
  table.Receive(ids::kBoilerLink, 0.0f);
  table.Receive(ids::kMixerLink, 1.0f);
  table.Receive(ids::kBoilerCommand, 0.0f);  // the kernel's initial value: nothing was sent
  table.Receive(ids::kMixerCommand, 3.0f);
  const std::string row = table.Row(4);
  EXPECT_TRUE(std::regex_search(row, std::regex("^   4      9     81.26 +- "))) << row;
  EXPECT_NE(row.find("up/down"), std::string::npos) << row;
  EXPECT_TRUE(row.ends_with(" -/-")) << "no command shown before a write\n" << row;
  table.CommandSent(ids::kMixerCommand);
  const std::string next = table.Row(5);
  EXPECT_TRUE(std::regex_search(next, std::regex("^   5      0 "))) << "the count starts again";
  EXPECT_TRUE(next.ends_with(" -/refused")) << next;
  table.CommandSent(ids::kBoilerCommand);
  EXPECT_TRUE(table.Row(6).ends_with("queued/refused"));
  EXPECT_EQ(table.Last(ids::kMixerSpeed), std::nullopt);
  EXPECT_EQ(table.Last(ids::kBoilerTemperature), 81.256f);
}

}  // namespace

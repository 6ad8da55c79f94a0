#include "driver/SettingsLine.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

using driver::AddSettingsPair;
using driver::NextSettingsPair;
using driver::SettingsSeparator;

std::vector<std::pair<std::string, std::string>> AllPairs(std::string line) {
  std::vector<std::pair<std::string, std::string>> pairs;
  std::string key, value;
  while (NextSettingsPair(SettingsSeparator, line, key, value)) pairs.emplace_back(key, value);
  return pairs;
}

TEST(SettingsLine, AddJoinsWithEscAndTrims) {
  std::string line = AddSettingsPair("", "Name", "Pump ");
  EXPECT_EQ(line, "Name=Pump");
  line = AddSettingsPair(line, "Description", "");
  EXPECT_EQ(line, "Name=Pump\x1B" "Description=");
  line = AddSettingsPair(line, "Prefix", " OPC");
  EXPECT_EQ(line, "Name=Pump\x1B" "Description=\x1B" "Prefix= OPC");
}

TEST(SettingsLine, RoundTripKeepsValuesWithEqualsAndCp1251) {
  std::string line;
  line = AddSettingsPair(line, "Name", "\xCD\xE0\xF1\xEE\xF1 1");  // "Насос 1" in CP1251
  line = AddSettingsPair(line, "Description", "a=b=c");
  line = AddSettingsPair(line, "LinkCtrlTagName", "  LINK ");
  const auto pairs = AllPairs(line);
  ASSERT_EQ(pairs.size(), 3u);
  EXPECT_EQ(pairs[0], (std::pair<std::string, std::string>{"Name", "\xCD\xE0\xF1\xEE\xF1 1"}));
  EXPECT_EQ(pairs[1], (std::pair<std::string, std::string>{"Description", "a=b=c"}));
  EXPECT_EQ(pairs[2], (std::pair<std::string, std::string>{"LinkCtrlTagName", "LINK"}));
}

TEST(SettingsLine, PairWithoutEqualsStopsAndKeepsLine) {
  std::string line = "Name=x\x1B" "junk\x1B" "Prefix=P";
  std::string key, value;
  ASSERT_TRUE(NextSettingsPair(SettingsSeparator, line, key, value));
  EXPECT_EQ(key, "Name");
  EXPECT_FALSE(NextSettingsPair(SettingsSeparator, line, key, value));
  EXPECT_EQ(line, "junk\x1B" "Prefix=P");

  std::string last = "  Enabled = 1 ";
  ASSERT_TRUE(NextSettingsPair(SettingsSeparator, last, key, value));
  EXPECT_EQ(key, "Enabled");
  EXPECT_EQ(value, "1");
  EXPECT_TRUE(last.empty());
  std::string bare = "word";
  EXPECT_FALSE(NextSettingsPair(SettingsSeparator, bare, key, value));
  std::string blank = " \x1B ";
  EXPECT_FALSE(NextSettingsPair(SettingsSeparator, blank, key, value));
}

}  // namespace

#include "platform/os/StringList.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/os/Text.h"

namespace {

using namespace platform::os;
using namespace platform::os::literals;
namespace fs = std::filesystem;

std::vector<std::string> Lines(const TStringList& list) {
  std::vector<std::string> out;
  for (int i = 0; i < list.Count(); ++i) out.push_back(list[i]);
  return out;
}

using V = std::vector<std::string>;

// A private folder removed at the end of the test.
class TempDir {
 public:
  TempDir() {
    path_ = fs::temp_directory_path() /
            ("fw_stringlist_" + std::to_string(::getpid()) + "_" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(path_);
    fs::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  fs::path path_;
};

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(StringListText, SplitsAtCrLfOrLfAndJoinsWithCrLf) {
  TStringList list;
  list.SetText("one\r\ntwo\nthree");
  EXPECT_EQ(Lines(list), (V{"one", "two", "three"}));
  EXPECT_EQ(list.Text(), "one\r\ntwo\r\nthree\r\n");

  list.SetText("a\r\n\r\nb\n\n");
  EXPECT_EQ(Lines(list), (V{"a", "", "b", ""}));

  list.SetText("");
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.Text(), "");

  list.SetText("\r\n");
  EXPECT_EQ(Lines(list), (V{""}));

  // A lone CR is not a line end; a CR before CR LF stays in the line.
  list.SetText("a\rb\r\r\n");
  EXPECT_EQ(Lines(list), (V{"a\rb\r"}));

  // Bytes are kept as they are: ESC, NUL and CP1251.
  const std::string bytes = std::string("x\x1By\0z", 5) + std::string("Ошибка"_cp);
  list.SetText(bytes + "\n");
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list[0], bytes);
}

TEST(StringListFile, RoundTripsBytesAndReportsFailure) {
  TempDir dir;
  const std::string path = dir.File("lines.txt");
  TStringList list;
  list.Add("<root>");
  list.Add("Тег \x1B ключ=значение"_cp);
  list.Add("");
  ASSERT_TRUE(list.SaveToFile(path));
  EXPECT_EQ(ReadBytes(path), list.Text());

  TStringList back;
  back.Add("old");
  ASSERT_TRUE(back.LoadFromFile(path));
  EXPECT_EQ(Lines(back), Lines(list));

  // Failure leaves the list as it was and throws nothing.
  EXPECT_FALSE(back.LoadFromFile(dir.File("missing.txt")));
  EXPECT_FALSE(back.LoadFromFile(dir.File("")));  // the folder itself
  EXPECT_EQ(Lines(back), Lines(list));
  EXPECT_FALSE(list.SaveToFile(dir.File("no/such/folder/x.txt")));
  EXPECT_FALSE(list.SaveToFile(dir.File("")));

  // Saving replaces the whole file.
  TStringList shorter;
  shorter.Add("x");
  ASSERT_TRUE(shorter.SaveToFile(path));
  EXPECT_EQ(ReadBytes(path), "x\r\n");
}

TEST(StringListFile, ReadsLfFilesAndFinalLineWithoutEnd) {
  TempDir dir;
  const std::string path = dir.File("lf.txt");
  {
    std::ofstream out(path, std::ios::binary);
    out << ";comment\n<a>\r\n\n</a>";
  }
  TStringList list;
  ASSERT_TRUE(list.LoadFromFile(path));
  EXPECT_EQ(Lines(list), (V{";comment", "<a>", "", "</a>"}));
}

TEST(StringListAccess, BoundsEveryIndex) {
  TStringList list;
  EXPECT_THROW(list[0], EStringListError);
  list.Add("a");
  list.Add("c");
  list.Insert(1, "b");
  list.Insert(3, "d");
  EXPECT_EQ(Lines(list), (V{"a", "b", "c", "d"}));
  EXPECT_THROW(list.Insert(5, "x"), EStringListError);
  EXPECT_THROW(list.Insert(-1, "x"), EStringListError);
  EXPECT_THROW(list.Strings(4), EStringListError);
  EXPECT_THROW(list[-1], EStringListError);
  EXPECT_THROW(list.Delete(4), EStringListError);
  EXPECT_THROW(list.Objects(4), EStringListError);
  list.SetStrings(3, "D");
  list.Delete(0);
  EXPECT_EQ(Lines(list), (V{"b", "c", "D"}));
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
}

TEST(StringListAccess, KeepsTheLastHundredLines) {
  // The pattern of a terminal: add, then drop the first line beyond 100.
  TStringList list;
  for (int i = 1; i <= 101; ++i) {
    list.Add("line " + std::to_string(i));
    if (list.Count() > 100) list.Delete(0);
  }
  ASSERT_EQ(list.Count(), 100);
  EXPECT_EQ(list[0], "line 2");
  EXPECT_EQ(list[99], "line 101");
}

TEST(StringListSearch, IndexOfIgnoresCaseUnlessCaseSensitive) {
  TStringList list;
  list.Add("Alpha");
  list.Add("ТЕГ"_cp);
  EXPECT_EQ(list.IndexOf("alpha"), 0);
  EXPECT_EQ(list.IndexOf("тег"_cp), 1);
  EXPECT_EQ(list.IndexOf("beta"), -1);
  int index = 7;
  EXPECT_FALSE(list.Find("alpha", index));  // unsorted lists do not bisect
  EXPECT_EQ(index, -1);
  list.SetCaseSensitive(true);
  EXPECT_EQ(list.IndexOf("alpha"), -1);
  EXPECT_EQ(list.IndexOf("Alpha"), 0);
}

TEST(StringListSorted, RefusesDuplicatesIgnoringCaseUnderDupError) {
  // The server list: sorted without case, a duplicate ProgID is an error.
  TStringList list;
  list.SetSorted(true);
  list.SetDuplicates(TDuplicates::dupError);
  int a = 1, b = 2, c = 3, d = 4;
  EXPECT_EQ(list.AddObject("Sim.Server.2", &b), 0);
  EXPECT_EQ(list.AddObject("sim.server.1", &a), 0);
  EXPECT_EQ(list.AddObject("Zeta.Server", &c), 2);
  EXPECT_THROW(list.AddObject("SIM.SERVER.1", &d), EStringListError);
  EXPECT_EQ(Lines(list), (V{"sim.server.1", "Sim.Server.2", "Zeta.Server"}));
  EXPECT_EQ(list.Objects(0), &a);
  EXPECT_EQ(list.Objects(1), &b);
  EXPECT_EQ(list.Objects(2), &c);

  int index = -1;
  EXPECT_TRUE(list.Find("ZETA.server", index));
  EXPECT_EQ(index, 2);
  EXPECT_FALSE(list.Find("Sim.Server.15", index));
  EXPECT_EQ(index, 1);
  EXPECT_EQ(list.IndexOf("SIM.server.2"), 1);

  // A sorted list keeps its order: no Insert, no replacing a line.
  EXPECT_THROW(list.Insert(0, "A"), EStringListError);
  EXPECT_THROW(list.SetStrings(0, "A"), EStringListError);
  EXPECT_EQ(list.Count(), 3);
}

TEST(StringListSorted, IgnoresOrAcceptsDuplicatesAsAsked) {
  TStringList list;
  list.SetSorted(true);
  EXPECT_EQ(list.Duplicates(), TDuplicates::dupIgnore);
  list.Add("ёж"_cp);
  list.Add("АИСТ"_cp);
  // Ё (0xA8) sorts before А (0xC0): byte order after case folding.
  EXPECT_EQ(list[0], std::string("ёж"_cp));
  EXPECT_EQ(list.Add("ЁЖ"_cp), 0);  // ignored: answers the listed index
  EXPECT_EQ(list.Count(), 2);
  list.SetDuplicates(TDuplicates::dupAccept);
  list.Add("ЁЖ"_cp);
  EXPECT_EQ(list.Count(), 3);
  EXPECT_TRUE(SameText(list[0], list[1]));
}

TEST(StringListSorted, SortsExistingLinesStablyWhenTurnedOn) {
  TStringList list;
  list.SetText("b\nB\na\nя\nЯ\n"_cp);
  list.SetSorted(true);
  EXPECT_EQ(Lines(list), (V{"a", "b", "B", std::string("я"_cp), std::string("Я"_cp)}));
  list.SetCaseSensitive(true);
  EXPECT_EQ(Lines(list), (V{"B", "a", "b", std::string("Я"_cp), std::string("я"_cp)}));
}

TEST(StringListSorted, LoadRefusedByDupErrorLeavesListUnchanged) {
  TempDir dir;
  const std::string path = dir.File("dups.txt");
  {
    std::ofstream out(path, std::ios::binary);
    out << "x\r\nX\r\n";
  }
  TStringList list;
  list.SetSorted(true);
  list.SetDuplicates(TDuplicates::dupError);
  list.Add("kept");
  EXPECT_FALSE(list.LoadFromFile(path));
  EXPECT_EQ(Lines(list), (V{"kept"}));
  EXPECT_THROW(list.SetText("x\nX\n"), EStringListError);
  EXPECT_EQ(Lines(list), (V{"kept"}));
}

}  // namespace

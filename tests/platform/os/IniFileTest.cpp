#include "platform/os/IniFile.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/os/Files.h"
#include "platform/os/Text.h"
#include "tests/platform/os/ScratchDir.h"

// This program's fsync and rename stand in front of the C library's: while
// a recording runs they note each call with the path it concerns, in the
// order a write reaches the disk.
namespace {

std::mutex g_diskCallsLock;
std::vector<std::string>* g_diskCalls = nullptr;

void NoteDiskCall(std::string call) {
  std::lock_guard guard(g_diskCallsLock);
  if (g_diskCalls != nullptr) g_diskCalls->push_back(std::move(call));
}

class DiskCallRecording {
 public:
  explicit DiskCallRecording(std::vector<std::string>& calls) {
    std::lock_guard guard(g_diskCallsLock);
    g_diskCalls = &calls;
  }
  ~DiskCallRecording() {
    std::lock_guard guard(g_diskCallsLock);
    g_diskCalls = nullptr;
  }
  DiskCallRecording(const DiskCallRecording&) = delete;
  DiskCallRecording& operator=(const DiskCallRecording&) = delete;
};

}  // namespace

extern "C" int fsync(int fd) {
  std::error_code ec;
  NoteDiskCall("fsync " + std::filesystem::read_symlink("/proc/self/fd/" + std::to_string(fd), ec).string());
  static const auto next = reinterpret_cast<int (*)(int)>(::dlsym(RTLD_NEXT, "fsync"));
  return next(fd);
}

extern "C" int rename(const char* from, const char* to) noexcept {
  NoteDiskCall(std::string("rename ") + to);
  static const auto next = reinterpret_cast<int (*)(const char*, const char*)>(::dlsym(RTLD_NEXT, "rename"));
  return next(from, to);
}

namespace {

using namespace platform::os;
using namespace platform::os::literals;
using fwtest::ReadBytes;
using fwtest::ScratchDir;
using fwtest::WriteBytes;

TEST(IniFile, MissingFileReadsAsEmptyAndStaysMissing) {
  ScratchDir dir;
  TIniFile ini(dir.File("none.ini"));
  EXPECT_EQ(ini.ReadString("OPCSRV", "Name", "def"), "def");
  EXPECT_EQ(ini.ReadInteger("OPCSRV", "Device_Count", -3), -3);
  EXPECT_TRUE(ini.ReadBool("OPCSRV", "Auto Run Server", true));
  EXPECT_FALSE(ini.SectionExists("OPCSRV"));
  EXPECT_FALSE(ini.ValueExists("OPCSRV", "Name"));
  ini.EraseSection("OPCSRV");
  EXPECT_FALSE(FileExists(ini.FileName()));
}

TEST(IniFile, FirstWriteCreatesTheFileWithCrLf) {
  ScratchDir dir;
  TIniFile ini(dir.File("new.ini"));
  ini.WriteInteger("OPCSRV", "Device_Count", 2);
  ini.WriteBool("OPCSRV", "Error Manager", true);
  ini.WriteBool("OPCSRV", "LOG Manager", false);
  ini.WriteString("Other", "Key", "v");
  EXPECT_EQ(ReadBytes(ini.FileName()),
            "[OPCSRV]\r\nDevice_Count=2\r\nError Manager=1\r\nLOG Manager=0\r\n"
            "\r\n[Other]\r\nKey=v\r\n");
  EXPECT_TRUE(ini.SectionExists("OPCSRV"));
  EXPECT_TRUE(ini.ReadBool("OPCSRV", "Error Manager", false));
  EXPECT_FALSE(ini.ReadBool("OPCSRV", "LOG Manager", true));
}

TEST(IniFile, NamesMatchWithoutCaseIncludingCyrillic) {
  ScratchDir dir;
  TIniFile ini(dir.File("case.ini"));
  const std::string section("Настройки Ёлки"_cp);
  const std::string upper("НАСТРОЙКИ ЁЛКИ"_cp);
  const std::string key("Ключ"_cp);
  ini.WriteString(section, key, "1");
  EXPECT_EQ(ini.ReadString(upper, "КЛЮЧ"_cp, ""), "1");
  EXPECT_TRUE(ini.ValueExists(AnsiLowerCase(section), "ключ"_cp));
  ini.WriteString(upper, "КЛЮЧ"_cp, "2");  // updates, keeps the file's spelling
  EXPECT_EQ(ReadBytes(ini.FileName()), "[" + section + "]\r\n" + key + "=2\r\n");
  EXPECT_TRUE(ini.SectionExists("  " + upper + " "));
}

TEST(IniFile, ValuesAreTrimmedOfBlanksOnly) {
  ScratchDir dir;
  const std::string path = dir.File("trim.ini");
  WriteBytes(path, " [ Sect ] \r\n  Key  =  two  words \t\r\nEsc=\x1B" "a\x1B\r\nEmpty=\r\n");
  TIniFile ini(path);
  EXPECT_EQ(ini.ReadString("Sect", "Key", "x"), "two  words");
  EXPECT_EQ(ini.ReadString("Sect", "Esc", "x"), "\x1B" "a\x1B");
  EXPECT_EQ(ini.ReadString("Sect", "Empty", "x"), "");
  EXPECT_EQ(ini.ReadString(" sect ", " key ", "x"), "two  words");
}

TEST(IniFile, EscAndCp1251BytesRoundTrip) {
  ScratchDir dir;
  TIniFile ini(dir.File("bytes.ini"));
  const std::string settings = "Name=" + std::string("Котёл №1"_cp) +
                               "\x1BPrefix=K1\x1BOPCServerName=Sim.1\x1B" "Enabled=1";
  std::string allHigh;
  for (int c = 0x80; c <= 0xFF; ++c) allHigh += static_cast<char>(c);
  ini.WriteString("OPCSRV", "Device_0", settings);
  ini.WriteString("OPCSRV", "High", allHigh);
  ini.WriteString("OPCSRV", "EscEnds", "\x1B" "mid\x1B");
  TIniFile other(ini.FileName());
  EXPECT_EQ(other.ReadString("OPCSRV", "Device_0", ""), settings);
  EXPECT_EQ(other.ReadString("OPCSRV", "High", ""), allHigh);
  EXPECT_EQ(other.ReadString("OPCSRV", "EscEnds", ""), "\x1B" "mid\x1B");
  EXPECT_NE(ReadBytes(ini.FileName()).find(settings + "\r\n"), std::string::npos);
}

TEST(IniFile, IntegersFallBackToTheDefault) {
  ScratchDir dir;
  const std::string path = dir.File("int.ini");
  WriteBytes(path,
             "[S]\r\nDec= -7 \r\nDollar=$1F\r\nHex=0x1F\r\nBad=12abc\r\nEmpty=\r\n"
             "Big=99999999999\r\nZero=0\r\nTwo=2\r\n");
  TIniFile ini(path);
  EXPECT_EQ(ini.ReadInteger("S", "Dec", 5), -7);
  EXPECT_EQ(ini.ReadInteger("S", "Dollar", 5), 31);
  EXPECT_EQ(ini.ReadInteger("S", "Hex", 5), 31);
  EXPECT_EQ(ini.ReadInteger("S", "Bad", 5), 5);
  EXPECT_EQ(ini.ReadInteger("S", "Empty", 5), 5);
  EXPECT_EQ(ini.ReadInteger("S", "Big", 5), 5);
  EXPECT_FALSE(ini.ReadBool("S", "Zero", true));
  EXPECT_TRUE(ini.ReadBool("S", "Two", false));
  EXPECT_TRUE(ini.ReadBool("S", "Bad", true));
  EXPECT_FALSE(ini.ReadBool("S", "Bad", false));
}

TEST(IniFile, WritingKeepsEveryOtherLineInItsPlace) {
  ScratchDir dir;
  const std::string path = dir.File("keep.ini");
  WriteBytes(path,
             "; settings of the driver\r\n"
             "[OPCSRV]\n"
             "Device_Count=1\r\n"
             ";Device_Count=5\r\n"
             "a line without equals\r\n"
             "Device_0=Name=A\r\n"
             "\r\n"
             "[Other]\r\n"
             "Device_Count=9\r\n");
  TIniFile ini(path);
  EXPECT_EQ(ini.ReadInteger("OPCSRV", "Device_Count", 0), 1);  // comments are not keys
  ini.WriteInteger("OPCSRV", "device_count", 2);
  ini.WriteString("OPCSRV", "Device_1", "Name=B");
  ini.WriteString("Other", "New", "x");
  EXPECT_EQ(ReadBytes(path),
            "; settings of the driver\r\n"
            "[OPCSRV]\r\n"
            "Device_Count=2\r\n"
            ";Device_Count=5\r\n"
            "a line without equals\r\n"
            "Device_0=Name=A\r\n"
            "Device_1=Name=B\r\n"
            "\r\n"
            "[Other]\r\n"
            "Device_Count=9\r\n"
            "New=x\r\n");
  EXPECT_EQ(ini.ReadString("Other", "Device_Count", ""), "9");
  EXPECT_FALSE(ini.ValueExists("OPCSRV", "a line without equals"));
}

TEST(IniFile, EraseSectionRemovesEveryOccurrenceOnly) {
  ScratchDir dir;
  const std::string path = dir.File("erase.ini");
  WriteBytes(path,
             "[OPCSRV]\r\nA=1\r\n; note\r\n\r\n[Keep]\r\nB=2\r\n[opcsrv]\r\nC=3\r\n");
  TIniFile ini(path);
  EXPECT_EQ(ini.ReadString("OPCSRV", "C", ""), "3");  // keys of a repeated section
  ini.EraseSection("OpcSrv");
  EXPECT_EQ(ReadBytes(path), "[Keep]\r\nB=2\r\n");
  EXPECT_FALSE(ini.SectionExists("OPCSRV"));

  const std::string untouched = "[Keep]\nB=2";  // no change: not even rewritten
  WriteBytes(path, untouched);
  ini.EraseSection("Missing");
  EXPECT_EQ(ReadBytes(path), untouched);
}

TEST(IniFile, ReplaceSectionWritesAllOrNothing) {
  ScratchDir dir;
  const std::string path = dir.File("replace.ini");
  const std::string before = "[OPCSRV]\r\nA=1\r\n[Keep]\r\nB=2\r\n[opcsrv]\r\nC=3\r\n";
  WriteBytes(path, before);
  TIniFile ini(path);
  // As EraseSection and one WriteString per entry would leave it.
  ini.ReplaceSection("OPCSRV", {{"X", "1"}, {" Y ", "a\x1B" "b"}});
  EXPECT_EQ(ReadBytes(path), "[Keep]\r\nB=2\r\n\r\n[OPCSRV]\r\nX=1\r\nY=a\x1B" "b\r\n");

  // A part that would not read back refuses the whole write.
  const std::string written = ReadBytes(path);
  const std::vector<std::vector<TIniFile::TEntry>> refused = {
      {{"X", "2"}, {"Y", "two\r\nlines"}}, {{"X", "2"}, {"K=1", "v"}}, {{"X", "2"}, {"", "v"}}};
  for (const auto& entries : refused) {
    EXPECT_THROW(ini.ReplaceSection("OPCSRV", entries), EIniFileException);
    EXPECT_EQ(ReadBytes(path), written);
  }
  EXPECT_THROW(ini.ReplaceSection("A]B", {{"X", "1"}}), EIniFileException);
  EXPECT_EQ(ReadBytes(path), written);

  ini.ReplaceSection("OPCSRV", {});
  EXPECT_EQ(ReadBytes(path), "[Keep]\r\nB=2\r\n\r\n");
  TIniFile fresh(dir.File("fresh.ini"));
  fresh.ReplaceSection("S", {{"K", "v"}});
  EXPECT_EQ(ReadBytes(fresh.FileName()), "[S]\r\nK=v\r\n");
}

TEST(IniFile, SectionWithoutKeysDoesNotExist) {
  ScratchDir dir;
  const std::string path = dir.File("empty.ini");
  WriteBytes(path, "[Empty]\r\n; only a note\r\n\r\n[Full]\r\nK=\r\n");
  TIniFile ini(path);
  EXPECT_FALSE(ini.SectionExists("Empty"));
  EXPECT_TRUE(ini.SectionExists("Full"));
  ini.WriteString("Empty", "K", "v");  // goes into the existing header
  EXPECT_EQ(ReadBytes(path), "[Empty]\r\n; only a note\r\nK=v\r\n\r\n[Full]\r\nK=\r\n");
}

TEST(IniFile, WritesThatWouldNotReadBackAreRefused) {
  ScratchDir dir;
  const std::string path = dir.File("bad.ini");
  WriteBytes(path, "[S]\r\nK=1\r\n");
  TIniFile ini(path);
  EXPECT_THROW(ini.WriteString("S", "K", "two\r\nlines"), EIniFileException);
  EXPECT_THROW(ini.WriteString("S", "K=", "v"), EIniFileException);
  EXPECT_THROW(ini.WriteString("S", "", "v"), EIniFileException);
  EXPECT_THROW(ini.WriteString("S", ";K", "v"), EIniFileException);
  EXPECT_THROW(ini.WriteString("S]", "K", "v"), EIniFileException);
  EXPECT_THROW(ini.WriteString("", "K", "v"), EIniFileException);
  EXPECT_THROW(ini.WriteString("S", "K\nX", "v"), EIniFileException);
  EXPECT_EQ(ReadBytes(path), "[S]\r\nK=1\r\n");
}

TEST(IniFile, WriteFailureThrowsAndLosesNothing) {
  ScratchDir dir;
  TIniFile nowhere(dir.File("no/such/folder/x.ini"));
  EXPECT_THROW(nowhere.WriteString("S", "K", "v"), EIniFileException);
  TIniFile folder(dir.Path());  // a folder cannot be read as a file
  EXPECT_THROW(folder.WriteString("S", "K", "v"), EIniFileException);
  EXPECT_TRUE(std::filesystem::is_directory(dir.Path()));
}

TEST(IniFile, AWriteIsOnDiskBeforeItsRenameAndTheRenameAfter) {
  ScratchDir dir;
  const std::string folder = std::filesystem::canonical(dir.Path()).string();
  const std::string path = folder + "/power.ini";
  std::vector<std::string> calls;
  {
    const DiskCallRecording recording(calls);
    TIniFile(path).WriteString("S", "K", "v");
  }
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0].rfind("fsync " + path + ".", 0), 0u) << calls[0];  // the temporary file
  EXPECT_EQ(calls[1], "rename " + path);
  EXPECT_EQ(calls[2], "fsync " + folder);
}

TEST(IniFile, TwoObjectsSeeEachOthersWritesAtOnce) {
  ScratchDir dir;
  TIniFile driver(dir.File("shared.ini"));
  TIniFile server(dir.File("shared.ini"));
  EXPECT_EQ(server.ReadInteger("OPCSRV", "Device_Count", -1), -1);
  driver.WriteInteger("OPCSRV", "Device_Count", 3);
  EXPECT_EQ(server.ReadInteger("OPCSRV", "Device_Count", -1), 3);
  server.EraseSection("OPCSRV");
  EXPECT_FALSE(driver.SectionExists("OPCSRV"));
}

TEST(IniFile, RewriteKeepsPermissionsAndLinks) {
  ScratchDir dir;
  const std::string real = dir.File("real.ini"), link = dir.File("link.ini");
  WriteBytes(real, "[S]\r\n");
  ::chmod(real.c_str(), 0600);
  std::filesystem::create_symlink(real, link);
  TIniFile ini(link);
  ini.WriteString("S", "K", "v");
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(ReadBytes(real), "[S]\r\nK=v\r\n");
  struct stat st{};
  ASSERT_EQ(::stat(real.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()),
                          std::filesystem::directory_iterator()),
            2);  // no temporary file left behind
}

TEST(IniFile, ConcurrentWritersLoseNoUpdate) {
  ScratchDir dir;
  const std::string path = dir.File("busy.ini");
  std::vector<std::thread> writers;
  for (int w = 0; w < 4; ++w)
    writers.emplace_back([&path, w] {
      TIniFile ini(path);
      for (int k = 0; k < 25; ++k)
        ini.WriteInteger("S" + std::to_string(w % 2), "K" + std::to_string(w * 100 + k), k);
    });
  for (auto& t : writers) t.join();
  TIniFile ini(path);
  for (int w = 0; w < 4; ++w)
    for (int k = 0; k < 25; ++k)
      EXPECT_EQ(ini.ReadInteger("S" + std::to_string(w % 2), "K" + std::to_string(w * 100 + k), -1), k);
}

}  // namespace

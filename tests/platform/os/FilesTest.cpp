#include "platform/os/Files.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>

#include <filesystem>
#include <thread>
#include <vector>

#include "tests/platform/os/ScratchDir.h"

namespace {

using namespace platform::os;
using fwtest::ReadBytes;
using fwtest::ScratchDir;
using fwtest::WriteBytes;

TEST(Paths, ExtensionsOfTheLastElementOnly) {
  EXPECT_EQ(ExtractFileExt("/opt/drv/Ferrowick_V30.srv"), ".srv");
  EXPECT_EQ(ExtractFileExt("/opt/drv.d/server"), "");
  EXPECT_EQ(ExtractFileExt("a.tar.gz"), ".gz");
  EXPECT_EQ(ExtractFileExt("name."), ".");
  EXPECT_EQ(ExtractFileExt(""), "");
  EXPECT_EQ(ChangeFileExt("/opt/drv/Ferrowick_V30.srv", ".ini"), "/opt/drv/Ferrowick_V30.ini");
  EXPECT_EQ(ChangeFileExt("/opt/drv.d/server", ".edd"), "/opt/drv.d/server.edd");
  EXPECT_EQ(ChangeFileExt("/opt/x.srv", ""), "/opt/x");
}

TEST(Paths, FolderAndName) {
  EXPECT_EQ(ExtractFilePath("/opt/drv/x.ini"), "/opt/drv/");
  EXPECT_EQ(ExtractFileName("/opt/drv/x.ini"), "x.ini");
  EXPECT_EQ(ExtractFilePath("x.ini"), "");
  EXPECT_EQ(ExtractFileName("x.ini"), "x.ini");
  EXPECT_EQ(ExtractFileName("/opt/drv/"), "");
  EXPECT_EQ(IncludeTrailingPathDelimiter("/opt/drv"), "/opt/drv/");
  EXPECT_EQ(IncludeTrailingPathDelimiter("/opt/drv/"), "/opt/drv/");
  EXPECT_EQ(IncludeTrailingPathDelimiter(""), "");
}

TEST(Files, ExistsAndDelete) {
  ScratchDir dir;
  const std::string file = dir.File("a.txt");
  EXPECT_FALSE(FileExists(file));
  EXPECT_FALSE(DeleteFile(file));
  WriteBytes(file, "x");
  EXPECT_TRUE(FileExists(file));
  EXPECT_FALSE(FileExists(dir.Path()));  // a folder is not a file
  EXPECT_FALSE(DeleteFile(dir.Path()));
  EXPECT_TRUE(DeleteFile(file));
  EXPECT_FALSE(FileExists(file));
  EXPECT_FALSE(FileExists(""));
}

TEST(Files, CopyOverwritesOnlyWhenAsked) {
  ScratchDir dir;
  const std::string src = dir.File("src.bin"), dst = dir.File("dst.bin");
  const std::string bytes("\x1B\0\xC0\xFF\r\n", 6);
  WriteBytes(src, bytes);
  ::chmod(src.c_str(), 0755);
  ASSERT_TRUE(CopyFile(src, dst, false));
  EXPECT_EQ(ReadBytes(dst), bytes);
  struct stat st{};
  ASSERT_EQ(::stat(dst.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0755u);  // a copied program stays runnable

  WriteBytes(dst, "old");
  EXPECT_FALSE(CopyFile(src, dst, false));
  EXPECT_EQ(ReadBytes(dst), "old");
  EXPECT_TRUE(CopyFile(src, dst, true));
  EXPECT_EQ(ReadBytes(dst), bytes);
}

TEST(Files, CopyRefusesWhatItCannotDo) {
  ScratchDir dir;
  const std::string src = dir.File("src.ini"), dst = dir.File("dst.ini");
  EXPECT_FALSE(CopyFile(src, dst, true));  // no source
  EXPECT_FALSE(FileExists(dst));
  WriteBytes(src, "new");
  WriteBytes(dst, "protected");
  ::chmod(dst.c_str(), 0444);
  EXPECT_FALSE(CopyFile(src, dst, true));  // read-only target, also for root
  EXPECT_EQ(ReadBytes(dst), "protected");
  EXPECT_FALSE(CopyFile(src, src, true));
  EXPECT_EQ(ReadBytes(src), "new");
  EXPECT_FALSE(CopyFile(src, dir.File("no/such/folder"), true));
}

TEST(Files, SameFileIsExactSpellingOrOneExistingFile) {
  ScratchDir dir;
  const std::string file = dir.File("Ferrowick_V30.srv");
  WriteBytes(file, "x");
  WriteBytes(dir.File("other.srv"), "x");
  std::filesystem::create_symlink(dir.Path(), dir.File("link"));
  EXPECT_TRUE(SameFile(file, file));
  EXPECT_TRUE(SameFile(file, dir.Path() + "//Ferrowick_V30.srv"));
  EXPECT_TRUE(SameFile(file, dir.Path() + "/./Ferrowick_V30.srv"));
  EXPECT_TRUE(SameFile(file, dir.File("link/Ferrowick_V30.srv")));
  EXPECT_FALSE(SameFile(file, dir.File("FERROWICK_V30.SRV")));  // case counts
  EXPECT_FALSE(SameFile(file, dir.File("other.srv")));           // equal bytes, two files
  EXPECT_TRUE(SameFile(dir.File("none"), dir.File("none")));
  EXPECT_FALSE(SameFile(dir.File("none"), dir.Path() + "//none"));  // nothing to compare
  EXPECT_FALSE(SameFile("", file));
}

TEST(Files, ProgramPathIsThisTestProgram) {
  const std::string path = ProgramPath();
  ASSERT_FALSE(path.empty());
  EXPECT_EQ(path.front(), '/');
  EXPECT_TRUE(FileExists(path));
  EXPECT_TRUE(std::filesystem::equivalent(path, "/proc/self/exe"));
}

TEST(AppendLine, CreatesAndAppendsWithCrLf) {
  ScratchDir dir;
  const std::string log = dir.File("x.log");
  EXPECT_TRUE(AppendLine(log, "OPCSRV\tfirst"));
  EXPECT_TRUE(AppendLine(log, ""));
  EXPECT_TRUE(AppendLine(log, "\xCE\xF8\xE8\xE1\xEA\xE0"));
  EXPECT_EQ(ReadBytes(log), "OPCSRV\tfirst\r\n\r\n\xCE\xF8\xE8\xE1\xEA\xE0\r\n");
}

TEST(AppendLine, ErrorsAreAnsweredNotThrown) {
  ScratchDir dir;
  EXPECT_FALSE(AppendLine(dir.File("missing/folder/x.log"), "line"));
  EXPECT_FALSE(AppendLine(dir.Path(), "line"));  // a folder
  EXPECT_FALSE(AppendLine("", "line"));
  if (std::filesystem::exists("/dev/full")) {
    EXPECT_FALSE(AppendLine("/dev/full", "line"));  // disk full
  }
}

// The files of this process may grow to `bytes` while it lives; a write
// beyond fails with EFBIG instead of a signal, as on a full disk.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    ::getrlimit(RLIMIT_FSIZE, &saved_);
    signal_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = saved_;
    limit.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, signal_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  rlimit saved_{};
  void (*signal_)(int) = nullptr;
};

TEST(AppendLine, AWriteThatFailsPartWayLeavesNothingOfItsLine) {
  ScratchDir dir;
  const std::string log = dir.File("full.log");
  ASSERT_TRUE(AppendLine(log, "first"));
  bool longLine = true, next = false;
  {
    const FileSizeLimit limit(7 + 10);  // the disk fills up inside the next line
    longLine = AppendLine(log, std::string(20, 'x'));
    next = AppendLine(log, "second");
  }
  EXPECT_FALSE(longLine);
  EXPECT_TRUE(next);
  EXPECT_EQ(ReadBytes(log), "first\r\nsecond\r\n");
}

TEST(AppendLine, ConcurrentWritersNeverMixLines) {
  ScratchDir dir;
  const std::string log = dir.File("shared.log");
  std::vector<std::thread> writers;
  for (char c = 'a'; c < 'e'; ++c)
    writers.emplace_back([&log, c] {
      for (int i = 0; i < 200; ++i) AppendLine(log, std::string(100, c));
    });
  for (auto& w : writers) w.join();
  const std::string text = ReadBytes(log);
  ASSERT_EQ(text.size(), 4u * 200 * 102);
  for (size_t at = 0; at < text.size(); at += 102) {
    ASSERT_EQ(text.substr(at + 100, 2), "\r\n");
    ASSERT_EQ(text.find_first_not_of(text[at], at), at + 100);
  }
}

}  // namespace

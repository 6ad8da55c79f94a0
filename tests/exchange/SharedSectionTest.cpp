// The platform's shared section: lifetime across processes, and the byte
// field helpers used on it.

#include "platform/os/ByteFields.h"
#include "platform/os/IpcNamespace.h"
#include "platform/os/SharedSection.h"
#include "tests/exchange/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <vector>

namespace {

namespace os = platform::os;
using os::SectionCreateResult;
using os::SharedSection;

constexpr const char* kName = "Ferrowikc_V30.dat";

bool NameExists() {
  return std::filesystem::exists("/dev/shm" + os::SectionPosixName(kName));
}

TEST(SharedSectionName, CarriesTheNamespace) {
  ::unsetenv("FERROWICK_IPC_NAMESPACE");
  EXPECT_EQ(os::SectionPosixName(kName), "/Ferrowikc_V30.dat");
  exchange_test::ScopedNamespace ns;
  EXPECT_EQ(os::SectionPosixName(kName), "/" + ns.Name() + ".Ferrowikc_V30.dat");
}

class SharedSectionTest : public ::testing::Test {
 protected:
  exchange_test::ScopedNamespace ns_;
};

TEST_F(SharedSectionTest, CreateOpenAndLastCloseRemovesTheName) {
  SharedSection first;
  ASSERT_EQ(first.Create(kName, 10000), SectionCreateResult::Created);
  EXPECT_EQ(first.Size(), 10000u);
  for (std::size_t i = 0; i < first.Size(); ++i) ASSERT_EQ(first.Data()[i], 0) << i;
  first.Data()[9999] = 0x77;

  SharedSection second;
  ASSERT_TRUE(second.Open(kName));
  EXPECT_EQ(second.Size(), 10000u);
  EXPECT_EQ(second.Data()[9999], 0x77);
  second.Data()[0] = 0x11;
  EXPECT_EQ(first.Data()[0], 0x11);

  SharedSection third;
  EXPECT_EQ(third.Create(kName, 10000), SectionCreateResult::AlreadyExists);
  EXPECT_FALSE(third.IsOpen());

  first.Close();
  EXPECT_TRUE(NameExists());  // second still holds it
  EXPECT_EQ(second.Data()[9999], 0x77);
  second.Close();
  EXPECT_FALSE(NameExists());
  EXPECT_FALSE(third.Open(kName));
}

TEST_F(SharedSectionTest, RefusesEmptySizeAndMissingSections) {
  SharedSection section;
  EXPECT_EQ(section.Create(kName, 0), SectionCreateResult::Failed);
  EXPECT_FALSE(section.Open(kName));
  EXPECT_FALSE(section.IsOpen());
  EXPECT_EQ(section.Data(), nullptr);
  EXPECT_EQ(section.Size(), 0u);
}

TEST_F(SharedSectionTest, MoveHandsTheHolderOver) {
  SharedSection first;
  ASSERT_EQ(first.Create(kName, 100), SectionCreateResult::Created);
  SharedSection moved(std::move(first));
  EXPECT_FALSE(first.IsOpen());
  ASSERT_TRUE(moved.IsOpen());
  SharedSection assigned;
  assigned = std::move(moved);
  EXPECT_EQ(assigned.Size(), 100u);
  EXPECT_TRUE(NameExists());
  assigned.Close();
  EXPECT_FALSE(NameExists());
}

TEST_F(SharedSectionTest, LiveHolderInAnotherProcessBlocksACreator) {
  exchange_test::HelperProcess helper({"hold-section", "4096"});
  ASSERT_EQ(helper.ReadLine(), "ready");
  SharedSection section;
  EXPECT_EQ(section.Create(kName, 4096), SectionCreateResult::AlreadyExists);
  ASSERT_TRUE(section.Open(kName));
  EXPECT_EQ(section.Data()[0], 0x5A);
  section.Data()[0] = 0x33;
  ASSERT_TRUE(helper.WriteLine("read"));
  EXPECT_EQ(helper.ReadLine(), "51");
  section.Close();
  helper.CloseInput();
  EXPECT_EQ(helper.Wait(), 0);
  EXPECT_FALSE(NameExists());  // the helper closed last
}

TEST_F(SharedSectionTest, PartnersSeeTheCreatorGoWhetherItClosesOrDies) {
  for (const bool killed : {false, true}) {
    SCOPED_TRACE(killed ? "killed" : "closed");
    exchange_test::HelperProcess helper({"hold-section", "4096"});
    ASSERT_EQ(helper.ReadLine(), "ready");
    SharedSection partner, second;
    ASSERT_TRUE(partner.Open(kName));
    ASSERT_TRUE(second.Open(kName));
    EXPECT_TRUE(partner.CreatorHolds());
    EXPECT_TRUE(second.CreatorHolds()) << "asking takes nothing away";
    if (killed) {
      helper.Kill();
    } else {
      helper.CloseInput();
    }
    helper.Wait();
    EXPECT_FALSE(partner.CreatorHolds());
    EXPECT_TRUE(NameExists()) << "the partners still hold it";
    SharedSection creator;
    EXPECT_EQ(creator.Create(kName, 4096), SectionCreateResult::AlreadyExists);
    EXPECT_FALSE(creator.CreatorHolds());
    second.Close();
    partner.Close();
    ASSERT_EQ(creator.Create(kName, 4096), SectionCreateResult::Created);
    EXPECT_TRUE(creator.CreatorHolds());
    SharedSection moved(std::move(creator));
    EXPECT_TRUE(moved.CreatorHolds()) << "the mark moves with the holder";
    ASSERT_TRUE(partner.Open(kName));
    EXPECT_TRUE(partner.CreatorHolds()) << "a creator in this process counts too";
    moved.Close();
    EXPECT_FALSE(partner.CreatorHolds());
  }
}

TEST_F(SharedSectionTest, SectionOfAKilledHolderIsReplacedByTheNextCreator) {
  exchange_test::HelperProcess helper({"hold-section", "4096"});
  ASSERT_EQ(helper.ReadLine(), "ready");
  helper.Kill();
  helper.Wait();
  EXPECT_TRUE(NameExists());  // stale, nobody removed it
  SharedSection section;
  ASSERT_EQ(section.Create(kName, 8192), SectionCreateResult::Created);
  EXPECT_EQ(section.Size(), 8192u);
  EXPECT_EQ(section.Data()[0], 0);  // fresh, not the dead one's bytes
}

TEST_F(SharedSectionTest, OpeningAStaleSectionFailsAndRemovesIt) {
  exchange_test::HelperProcess helper({"hold-section", "4096"});
  ASSERT_EQ(helper.ReadLine(), "ready");
  helper.Kill();
  helper.Wait();
  SharedSection section;
  EXPECT_FALSE(section.Open(kName));
  EXPECT_FALSE(NameExists());
}

// The create/open/close lock lives in the user's runtime folder, one file
// per namespace, and goes with the namespace's last section.
// A private runtime folder for one test, set as XDG_RUNTIME_DIR; both are
// undone at the end, also on failure.
class ScopedRuntimeDir {
 public:
  ScopedRuntimeDir() {
    char pattern[] = "/tmp/fw-runtime-XXXXXX";
    if (::mkdtemp(pattern) != nullptr) path_ = pattern;
    if (const char* old = std::getenv("XDG_RUNTIME_DIR")) old_ = old;
    ::setenv("XDG_RUNTIME_DIR", path_.c_str(), 1);
  }
  ~ScopedRuntimeDir() {
    if (old_.empty()) ::unsetenv("XDG_RUNTIME_DIR");
    else ::setenv("XDG_RUNTIME_DIR", old_.c_str(), 1);
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  ScopedRuntimeDir(const ScopedRuntimeDir&) = delete;
  ScopedRuntimeDir& operator=(const ScopedRuntimeDir&) = delete;
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
  std::string old_;
};

TEST_F(SharedSectionTest, LockFileIsTheUsersOwnAndGoesWithTheLastSection) {
  const ScopedRuntimeDir runtimeDir;
  const std::string& runtime = runtimeDir.Path();
  ASSERT_FALSE(runtime.empty());
  const std::string lockFile = runtime + "/ferrowick/" + ns_.Name() + ".sections.lock";
  {
    SharedSection first, second;
    ASSERT_EQ(first.Create(kName, 4096), SectionCreateResult::Created);
    struct stat info {};
    ASSERT_EQ(::stat(lockFile.c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, ::geteuid());
    EXPECT_EQ(info.st_mode & 077, 0u);
    ASSERT_EQ(::stat((runtime + "/ferrowick").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    ASSERT_TRUE(second.Open(kName));
    first.Close();
    EXPECT_TRUE(std::filesystem::exists(lockFile)) << "a holder remains";
    // The close takes the lock of the section's namespace, whatever the
    // namespace is by then.
    ::setenv("FERROWICK_IPC_NAMESPACE", (ns_.Name() + "-other").c_str(), 1);
    second.Close();
    ::setenv("FERROWICK_IPC_NAMESPACE", ns_.Name().c_str(), 1);
    EXPECT_FALSE(std::filesystem::exists(lockFile));
    EXPECT_FALSE(std::filesystem::exists(runtime + "/ferrowick/" + ns_.Name() + "-other.sections.lock"));

    // Holders that remove and make the file again keep excluding each
    // other: every operation of four threads succeeds.
    std::vector<std::thread> threads;
    std::atomic<int> failures{0};
    for (int t = 0; t < 4; ++t) {
      threads.emplace_back([t, &failures] {
        const std::string name = "Lock" + std::to_string(t % 2) + ".dat";
        for (int i = 0; i < 200; ++i) {
          SharedSection section, other;
          const SectionCreateResult created = section.Create(name, 64);
          if (created == SectionCreateResult::Failed) ++failures;
          if (created == SectionCreateResult::Created && !other.Open(name)) ++failures;
        }
      });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_FALSE(std::filesystem::exists(lockFile));

    // Nor does an operation that fails on a name no section can have.
    SharedSection invalid;
    EXPECT_EQ(invalid.Create("a/b", 64), SectionCreateResult::Failed);
    EXPECT_FALSE(std::filesystem::exists(lockFile)) << "after a failed create";
    EXPECT_FALSE(invalid.Open("a/b"));
    EXPECT_FALSE(std::filesystem::exists(lockFile)) << "after a failed open";
  }
}

// ------------------------------------------------------------ byte fields

TEST(ByteFields, PackedLittleEndianAtAnyOffset) {
  std::uint8_t bytes[32] = {};
  os::StoreInt32(bytes, 1, -2);
  EXPECT_EQ(bytes[1], 0xFE);
  EXPECT_EQ(bytes[4], 0xFF);
  EXPECT_EQ(os::LoadInt32(bytes, 1), -2);
  os::StoreInt32(bytes, 9, 0x01020304);
  EXPECT_EQ(bytes[9], 0x04);
  EXPECT_EQ(bytes[12], 0x01);
  os::StoreDouble(bytes, 13, 45292.75);
  EXPECT_EQ(os::LoadDouble(bytes, 13), 45292.75);
  os::StoreSingle(bytes, 21, 12.5f);
  EXPECT_EQ(os::LoadSingle(bytes, 21), 12.5f);
  EXPECT_EQ(bytes[24], 0x41);  // 12.5f = 0x41480000
}

TEST(ByteFields, ShortStringsAndCStringsStayInTheirFields) {
  std::uint8_t field[300];
  std::memset(field, '#', sizeof field);
  os::StoreShortString(field, 0, std::string(400, 's'));
  EXPECT_EQ(field[0], 255);
  EXPECT_EQ(field[256], '#');
  EXPECT_EQ(os::LoadShortString(field, 0), std::string(255, 's'));
  os::StoreShortString(field, 0, "ab");
  EXPECT_EQ(os::LoadShortString(field, 0), "ab");
  EXPECT_EQ(os::LoadCString(field, 5, 10), std::string(10, 's'));
  field[8] = 0;
  EXPECT_EQ(os::LoadCString(field, 5, 10), "sss");
}

TEST(ByteFields, CompareExchangeTakesOnlyTheExpectedValue) {
  std::uint8_t busy = 0;
  EXPECT_TRUE(os::CompareExchangeByte(&busy, 0, 1));
  EXPECT_EQ(busy, 1);
  EXPECT_FALSE(os::CompareExchangeByte(&busy, 0, 1));
  EXPECT_EQ(busy, 1);
  busy = 9;
  EXPECT_FALSE(os::CompareExchangeByte(&busy, 0, 1));
  EXPECT_EQ(busy, 9);
  os::AtomicStoreByte(&busy, 0);
  EXPECT_EQ(os::AtomicLoadByte(&busy), 0);
}

}  // namespace

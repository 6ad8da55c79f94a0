#include "platform/win/WindowTable.h"

#include "platform/os/IpcNamespace.h"
#include "platform/os/Process.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>

namespace {

namespace fs = std::filesystem;
using platform::os::ProcessIdentity;
using platform::win::HWND;
using platform::win::WindowOwner;
using platform::win::WindowTable;

// Each case uses its own segment name, apart from the tables of the
// running window runtime.
std::string UniqueName(const char* tag) {
  return platform::os::IpcName(std::string("TableTest.") + tag);
}

bool SegmentExists(const std::string& name) { return fs::exists("/dev/shm/" + name); }

WindowOwner Me(uint32_t thread = 1) {
  const uint32_t pid = platform::os::GetCurrentProcessId();
  return {{pid, platform::os::ProcessStartTime(pid)}, thread};
}

// A process that has ended: a reaped child.
ProcessIdentity DeadProcess() {
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ProcessIdentity identity{static_cast<uint32_t>(child), 0};
  identity.StartTime = platform::os::ProcessStartTime(identity.Pid);
  ::waitpid(child, nullptr, 0);
  return identity;
}

TEST(WindowTable, HandlesAreSeenByEveryAttachmentAndFreedOnce) {
  const std::string name = UniqueName("share");
  {
    WindowTable a(name);
    WindowTable b(name);  // a second attachment stands for another process
    ASSERT_TRUE(a.Attached());
    ASSERT_TRUE(b.Attached());
    const HWND hwnd = a.Register(Me(7));
    ASSERT_NE(hwnd, 0u);
    WindowOwner owner;
    ASSERT_TRUE(b.Lookup(hwnd, owner));
    EXPECT_EQ(owner.Process.Pid, Me().Process.Pid);
    EXPECT_EQ(owner.ThreadId, 7u);
    // Only the owning process frees it, and only once.
    EXPECT_FALSE(b.Unregister(hwnd, {Me().Process.Pid, Me().Process.StartTime + 1}));
    EXPECT_TRUE(b.Unregister(hwnd, Me().Process));
    EXPECT_FALSE(a.Unregister(hwnd, Me().Process));
    EXPECT_FALSE(a.Lookup(hwnd, owner));
    EXPECT_FALSE(a.Lookup(0, owner));
    EXPECT_TRUE(SegmentExists(name));
  }
  // The last one out removed the segment.
  EXPECT_FALSE(SegmentExists(name));
}

TEST(WindowTable, HandlesAreNonZeroUniqueAndNotReusedAtOnce) {
  const std::string name = UniqueName("unique");
  WindowTable table(name);
  ASSERT_TRUE(table.Attached());
  std::set<HWND> seen;
  for (uint32_t i = 0; i < WindowTable::kCapacity; ++i) {
    const HWND hwnd = table.Register(Me());
    ASSERT_NE(hwnd, 0u);
    ASSERT_LT(hwnd, 0x80000000u);
    ASSERT_TRUE(seen.insert(hwnd).second);
  }
  // Full of live windows.
  EXPECT_EQ(table.Register(Me()), 0u);
  // A freed slot comes back under another handle.
  const HWND freed = *seen.begin();
  ASSERT_TRUE(table.Unregister(freed, Me().Process));
  const HWND again = table.Register(Me());
  EXPECT_NE(again, 0u);
  EXPECT_NE(again, freed);
  EXPECT_EQ(again % WindowTable::kCapacity, freed % WindowTable::kCapacity);
}

TEST(WindowTable, EntriesOfDeadProcessesAreReclaimed) {
  const std::string name = UniqueName("dead");
  WindowTable table(name);
  ASSERT_TRUE(table.Attached());
  const ProcessIdentity dead = DeadProcess();
  const HWND stale = table.Register({dead, 1});
  ASSERT_NE(stale, 0u);
  WindowOwner owner;
  EXPECT_FALSE(table.Lookup(stale, owner));
  // A pid reused by a live process does not revive the window.
  const HWND reused = table.Register({{Me().Process.Pid, Me().Process.StartTime + 5}, 1});
  EXPECT_FALSE(table.Lookup(reused, owner));
  // A full table takes the slots of dead owners.
  for (uint32_t i = 0; i < WindowTable::kCapacity - 1; ++i) ASSERT_NE(table.Register({dead, 1}), 0u);
  EXPECT_NE(table.Register(Me()), 0u);
}

TEST(WindowTable, LeavingRemovesTheProcessEntries) {
  const std::string name = UniqueName("leave");
  WindowTable keeper(name);
  HWND hwnd = 0;
  {
    WindowTable leaving(name);
    hwnd = leaving.Register(Me());
    ASSERT_NE(hwnd, 0u);
  }
  WindowOwner owner;
  EXPECT_FALSE(keeper.Lookup(hwnd, owner));
  EXPECT_TRUE(SegmentExists(name));
}

TEST(WindowTable, StaleOrForeignSegmentIsStartedAfresh) {
  const std::string name = UniqueName("stale");
  {
    // Left behind by a crashed run: wrong size, garbage inside.
    std::ofstream junk("/dev/shm/" + name, std::ios::binary);
    junk << "garbage that is not a window table";
  }
  {
    WindowTable table(name);
    ASSERT_TRUE(table.Attached());
    const HWND hwnd = table.Register(Me());
    WindowOwner owner;
    EXPECT_TRUE(table.Lookup(hwnd, owner));
  }
  EXPECT_FALSE(SegmentExists(name));
}

TEST(WindowTable, BadNamesDoNotAttach) {
  WindowTable empty("");
  EXPECT_FALSE(empty.Attached());
  EXPECT_EQ(empty.Register(Me()), 0u);
  WindowOwner owner;
  EXPECT_FALSE(empty.Lookup(1, owner));
  WindowTable slash("a/b");
  EXPECT_FALSE(slash.Attached());
}

}  // namespace

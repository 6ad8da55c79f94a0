#include "platform/os/RuntimeFolder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "tests/platform/os/ScratchDir.h"

namespace {

using fwtest::ScratchDir;
using platform::os::UserRuntimeFolder;

// Sets an environment variable for one test and restores it.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::optional<std::string>& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value) ::setenv(name, value->c_str(), 1);
    else ::unsetenv(name);
  }
  ~ScopedEnv() {
    if (old_) ::setenv(name_, old_->c_str(), 1);
    else ::unsetenv(name_);
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

mode_t ModeOf(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0 ? info.st_mode : 0;
}

TEST(UserRuntimeFolder, OnlyAFolderOfThisUserThatNobodyElseCanReach) {
  ScratchDir runtime, home, open;
  ASSERT_EQ(::chmod(runtime.Path().c_str(), 0700), 0);
  ASSERT_EQ(::chmod(open.Path().c_str(), 0777), 0);
  ScopedEnv homeEnv("HOME", home.Path());
  const std::string inHome = home.Path() + "/.cache/ferrowick";

  {
    ScopedEnv xdg("XDG_RUNTIME_DIR", runtime.Path());
    EXPECT_EQ(UserRuntimeFolder(), runtime.Path() + "/ferrowick");
    EXPECT_EQ(ModeOf(runtime.Path() + "/ferrowick"), S_IFDIR | 0700);
  }
  struct Case {
    const char* What;
    std::optional<std::string> Runtime;
  };
  const Case skipped[] = {
      {"unset", std::nullopt},
      {"relative", std::string("relative/dir")},
      {"missing", runtime.Path() + "/none"},
      {"open to others", open.Path()},
  };
  for (const Case& c : skipped) {
    ScopedEnv xdg("XDG_RUNTIME_DIR", c.Runtime);
    EXPECT_EQ(UserRuntimeFolder(), inHome) << c.What;
  }
  EXPECT_EQ(ModeOf(inHome), S_IFDIR | 0700);

  // A folder of the runtime base that is a link, or open to others, is not
  // taken: the next base is.
  ScopedEnv xdg("XDG_RUNTIME_DIR", runtime.Path());
  const std::string folder = runtime.Path() + "/ferrowick";
  ASSERT_EQ(::rmdir(folder.c_str()), 0);
  ASSERT_EQ(::symlink(open.Path().c_str(), folder.c_str()), 0);
  EXPECT_EQ(UserRuntimeFolder(), inHome);
  ASSERT_EQ(::unlink(folder.c_str()), 0);
  ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
  ASSERT_EQ(::chmod(folder.c_str(), 0755), 0);
  EXPECT_EQ(UserRuntimeFolder(), inHome);
  ASSERT_EQ(::chmod(folder.c_str(), 0700), 0);
  EXPECT_EQ(UserRuntimeFolder(), folder);
}

}  // namespace

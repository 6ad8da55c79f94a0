// halvorsten-host with the real driver module, in a plant of its own: the
// folders it passes to the installation and removal.

#include "tests/e2e/E2eSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace e2e;

// Runs the host on script; its exit status (-1 when it did not end).
int RunScript(const Plant& plant, Host& host, const std::string& script) {
  const std::string file = plant.Folder().Write("script.txt", script);
  if (!host.Start({file})) return -1;
  return host.Finish();
}

bool Printed(const Host& host, const std::string& line) {
  for (const auto& l : host.Lines())
    if (l == line) return true;
  return false;
}

TEST(HostModule, InstallAndRemoveTakeFoldersWithOrWithoutTheirDelimiter) {
  Plant plant;
  const std::string root = plant.Folder().Path() + "/";
  const std::vector<std::string> installed = {"Ferrowick_V30.srv", "Ferrowick_V30.ini", "Ferrowick_V30.cfg",
                                              "Ferrowick_V30.edd", "Ferrowick_V30.ico"};
  fs::create_directories(root + "src");
  for (const std::string& name : installed) plant.Folder().Write("src/" + name, "bytes of " + name);

  struct Case {
    std::string source, target;  // as written in the script
  };
  const Case cases[] = {{"src", "bare"}, {"src/", "slashed/"}, {"src", "mixed/"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.source + " -> " + c.target);
    const std::string target = root + c.target;
    fs::create_directories(target);
    Host install;
    ASSERT_EQ(RunScript(plant, install, "install " + root + c.source + " " + target + "\n"), 0) << install.Errors();
    EXPECT_TRUE(Printed(install, "result DLMInstallDriver 1"));
    for (const std::string& name : installed)
      EXPECT_EQ(ReadFile((fs::path(target) / name).string()), "bytes of " + name) << name;

    Host remove;
    ASSERT_EQ(RunScript(plant, remove, "remove " + target + "\n"), 0) << remove.Errors();
    EXPECT_TRUE(Printed(remove, "result DLMRemoveDriver 1"));
    EXPECT_FALSE(fs::exists(fs::path(target) / "Ferrowick_V30.srv"));
    EXPECT_FALSE(fs::exists(fs::path(target) / "Ferrowick_V30.ini"));
  }
}

}  // namespace

#include "platform/com/Registry.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

namespace platform::com {
namespace {

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char dir[] = "/tmp/fw-registry-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    dir_ = dir;
    const char* saved = std::getenv("FERROWICK_REGISTRY_DIR");
    saved_ = saved ? saved : "";
    setenv("FERROWICK_REGISTRY_DIR", dir_.c_str(), 1);
  }
  void TearDown() override {
    setenv("FERROWICK_REGISTRY_DIR", saved_.c_str(), 1);
    std::filesystem::remove_all(dir_);
  }
  std::string dir_;
  std::string saved_;
};

TEST_F(RegistryTest, KeysAndValuesRoundTripThroughTheFile) {
  {
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("\\Sim.Plant.1\\OPC\\Vendor", true));
    EXPECT_TRUE(reg.WriteString("", "Вендор"));
    ASSERT_TRUE(reg.OpenKey("\\Sim.Plant.1", false));
    EXPECT_TRUE(reg.WriteString("", "Plant simulation"));
    EXPECT_TRUE(reg.WriteString("Line=Two", "a\\b\nc"));
  }
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKeyReadOnly("sim.plant.1"));  // names without case
  EXPECT_EQ(reg.ReadString(""), "Plant simulation");
  EXPECT_EQ(reg.ReadString("LINE=TWO"), "a\\b\nc");
  EXPECT_FALSE(reg.ValueExists("missing"));
  EXPECT_EQ(reg.ReadString("missing"), "");
  EXPECT_FALSE(reg.WriteString("x", "y"));  // read-only
  ASSERT_TRUE(reg.OpenKeyReadOnly("OPC\\Vendor"));  // relative to the open key
  EXPECT_EQ(reg.CurrentPath(), "sim.plant.1\\OPC\\Vendor");
  EXPECT_EQ(reg.ReadString(""), "Вендор");
  EXPECT_TRUE(std::filesystem::exists(dir_ + "/local.reg"));
}

TEST_F(RegistryTest, EnumerationIsOrderedWithoutCaseAndDeleteTakesTheTree) {
  TRegistry reg;
  for (const char* k : {"b.Two", "A.one", "C.three\\Sub"}) ASSERT_TRUE(reg.OpenKey(std::string("\\") + k, true));
  reg.CloseKey();
  EXPECT_EQ(reg.GetKeyNames(), (std::vector<std::string>{"A.one", "b.Two", "C.three"}));
  EXPECT_TRUE(reg.DeleteKey("\\C.three"));
  EXPECT_FALSE(reg.KeyExists("C.three\\Sub"));
  EXPECT_FALSE(reg.DeleteKey("\\C.three"));
  EXPECT_FALSE(reg.DeleteKey(""));
  EXPECT_EQ(reg.GetKeyNames().size(), 2u);
}

TEST_F(RegistryTest, HandlesAndBadNames) {
  HKEY key = 0;
  EXPECT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "Absent", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(key, 0u);
  ASSERT_EQ(RegCreateKeyA(HKEY_CLASSES_ROOT, "K", &key), ERROR_SUCCESS);
  std::string name;
  EXPECT_EQ(RegEnumKeyA(key, 0, name), ERROR_NO_MORE_ITEMS);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
  std::string value;
  EXPECT_EQ(RegQueryValueExA(key, "", value), ERROR_INVALID_HANDLE);
  HKEY other = 0;
  EXPECT_EQ(RegCreateKeyA(HKEY_CLASSES_ROOT, std::string(300, 'x').c_str(), &other), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegCreateKeyA(HKEY_CLASSES_ROOT, "a\nb", &other), ERROR_INVALID_PARAMETER);
  // A key removed while open answers "not found" rather than anything stale.
  ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "K", 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
  ASSERT_EQ(RegDeleteTreeA(HKEY_CLASSES_ROOT, "K"), ERROR_SUCCESS);
  EXPECT_EQ(RegSetValueExA(key, "", "v"), ERROR_FILE_NOT_FOUND);
  RegCloseKey(key);
}

TEST_F(RegistryTest, RemoteMachineIsItsOwnFile) {
  HKEY remote = 0;
  EXPECT_EQ(RegConnectRegistryA("\\\\PLANT2", HKEY_CLASSES_ROOT, &remote), ERROR_BAD_NETPATH);
  EXPECT_EQ(RegConnectRegistryA("\\\\../etc", HKEY_CLASSES_ROOT, &remote), ERROR_BAD_NETPATH);
  EXPECT_EQ(RegConnectRegistryA("\\\\\\PLANT2", HKEY_CLASSES_ROOT, &remote), ERROR_BAD_NETPATH);
  std::ofstream(dir_ + "/plant2.reg") << "FERROWICK REGISTRY 1\n[Remote.Server\\OPC]\n";
  {
    TRegistry reg;
    ASSERT_TRUE(reg.RegistryConnect("\\\\PLANT2"));
    ASSERT_TRUE(reg.OpenKey("\\Remote.Server", false));
    EXPECT_TRUE(reg.WriteString("", "remote description"));
  }
  TRegistry plain;
  ASSERT_TRUE(plain.RegistryConnect("plant2"));  // without backslashes too
  EXPECT_EQ(plain.GetKeyNames(), std::vector<std::string>{"Remote.Server"});
  TRegistry local;
  EXPECT_TRUE(local.GetKeyNames().empty());  // the local file is another one
  EXPECT_FALSE(local.KeyExists("Remote.Server"));
  EXPECT_FALSE(local.RegistryConnect("\\\\nowhere"));
  EXPECT_EQ(local.RootKey(), HKEY_CLASSES_ROOT);
}

TEST_F(RegistryTest, DamagedFileIsNeitherReadNorOverwritten) {
  const std::string damaged = "FERROWICK REGISTRY 1\n[Key]\ngarbage line\n";
  std::ofstream(dir_ + "/local.reg") << damaged;
  TRegistry reg;
  EXPECT_FALSE(reg.KeyExists("Key"));
  EXPECT_FALSE(reg.OpenKey("\\Other", true));
  std::ifstream in(dir_ + "/local.reg");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text, damaged);
}

TEST_F(RegistryTest, DefaultFolderFollowsTheIpcNamespace) {
  const char* home = std::getenv("HOME");
  const std::string savedHome = home ? home : "";
  const char* ns = std::getenv("FERROWICK_IPC_NAMESPACE");
  const std::string savedNs = ns ? ns : "";
  unsetenv("FERROWICK_REGISTRY_DIR");
  setenv("HOME", "/home/someone", 1);
  setenv("FERROWICK_IPC_NAMESPACE", "ns7", 1);
  EXPECT_EQ(RegistryDirectory(), "/home/someone/.local/share/ferrowick/registry/ns7");
  unsetenv("FERROWICK_IPC_NAMESPACE");
  EXPECT_EQ(RegistryDirectory(), "/home/someone/.local/share/ferrowick/registry/default");
  setenv("FERROWICK_REGISTRY_DIR", dir_.c_str(), 1);
  EXPECT_EQ(RegistryMachineFile("PLANT2"), dir_ + "/plant2.reg");
  EXPECT_EQ(RegistryMachineFile("a/b"), "");
  setenv("HOME", savedHome.c_str(), 1);
  if (!savedNs.empty()) setenv("FERROWICK_IPC_NAMESPACE", savedNs.c_str(), 1);
}

TEST_F(RegistryTest, SerialisedTextParsesBack) {
  RegistryNode root;
  RegistryNode& k = root.children["clsid"];
  k.name = "CLSID";
  k.values[""] = {"", "def=ault\\\r\n"};
  k.values["n=x"] = {"N=x", "v"};
  RegistryNode back;
  ASSERT_TRUE(ParseRegistry(SerializeRegistry(root), back));
  ASSERT_EQ(back.children.count("clsid"), 1u);
  EXPECT_EQ(back.children["clsid"].name, "CLSID");
  EXPECT_EQ(back.children["clsid"].values[""].data, "def=ault\\\r\n");
  EXPECT_EQ(back.children["clsid"].values["n=x"].name, "N=x");
  for (const char* bad : {"WRONG HEADER\n", "FERROWICK REGISTRY 1\n[]\n", "FERROWICK REGISTRY 1\n[a\\\\b]\n",
                          "FERROWICK REGISTRY 1\n@=bad\\q\n", "FERROWICK REGISTRY 1\n:=x\n"}) {
    EXPECT_FALSE(ParseRegistry(bad, back)) << bad;
  }
}

TEST_F(RegistryTest, ConcurrentWritersLoseNothing) {
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([t] {
      for (int i = 0; i < 20; ++i) {
        HKEY k = 0;
        std::string name = "T" + std::to_string(t) + "." + std::to_string(i);
        if (RegCreateKeyA(HKEY_CLASSES_ROOT, name.c_str(), &k) == ERROR_SUCCESS) RegCloseKey(k);
      }
    });
  for (auto& th : threads) th.join();
  TRegistry reg;
  EXPECT_EQ(reg.GetKeyNames().size(), 80u);
}

}  // namespace
}  // namespace platform::com

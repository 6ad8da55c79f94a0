#include "tests/driver_dialogs/DialogRegistry.h"

#include "platform/com/OpcDa.h"
#include "platform/com/RegistryStore.h"

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace dialogstest {

namespace com = platform::com;

com::CLSID ClassId(int n) {
  return com::CLSID{0x0F0E0000u + static_cast<uint32_t>(n), 0x1234, 0x5678, {0x90, 0xAB, 0, 0, 0, 0, 0, 0x01}};
}

void Put(std::string_view machine, const std::string& path, const std::string& value) {
  const com::LONG rc = com::WriteRegistry(machine, [&](com::RegistryNode& root) {
    com::RegistryNode* node = &root;
    std::istringstream parts(path);
    for (std::string part; std::getline(parts, part, '\\');) {
      com::RegistryNode& child = node->children[com::RegistryFold(part)];
      if (child.name.empty()) child.name = part;
      node = &child;
    }
    node->values[""] = com::RegistryNode::Value{"", value};
    return com::ERROR_SUCCESS;
  });
  ASSERT_EQ(rc, com::ERROR_SUCCESS) << path;
}

void AddProgId(std::string_view machine, const std::string& progId, const com::CLSID& clsid,
               const std::string& description, std::optional<std::string> vendor) {
  Put(machine, progId, description);
  Put(machine, progId + "\\CLSID", com::GuidToString(clsid));
  if (!vendor) return;
  Put(machine, progId + "\\OPC");
  if (!vendor->empty()) Put(machine, progId + "\\OPC\\Vendor", *vendor);
}

void AddCategoryClass(const com::CLSID& clsid, const std::string& progId, const std::string& userType) {
  const std::string key = "CLSID\\" + com::GuidToString(clsid);
  Put(kLocal, key, userType);
  Put(kLocal, key + "\\ProgID", progId);
  Put(kLocal, key + "\\Implemented Categories\\" + com::GuidToString(com::CATID_OPCDAServer20));
}

int RunCtl(const std::vector<std::string>& args) {
  std::string command = "'" FW_OUT_DIR "/opcsim-ctl'";
  for (const auto& a : args) command += " '" + a + "'";
  const int raw = std::system((command + " > /dev/null").c_str());
  return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

std::vector<std::string> ServerListJournal() {
  std::ifstream in(com::RegistryDirectory() + "/opcsim/serverlist/journal");
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

void RegistryFixture::SetUp() {
  char dir[] = "/tmp/fw-dialogs-registry-XXXXXX";
  ASSERT_NE(::mkdtemp(dir), nullptr);
  folder_ = dir;
  ::setenv("FERROWICK_REGISTRY_DIR", dir, 1);
  const std::string list = "CLSID\\" + com::GuidToString(com::CLSID_OpcServerList);
  Put(kLocal, list, "OPC server list");
  Put(kLocal, list + "\\InprocServer32", FW_OUT_DIR "/libopcsim.so");
}

void RegistryFixture::TearDown() {
  ::unsetenv("FERROWICK_REGISTRY_DIR");
  std::filesystem::remove_all(folder_);
}

}  // namespace dialogstest

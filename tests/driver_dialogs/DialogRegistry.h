#pragma once
// A registry folder of a test's own, and the keys OPC servers leave in it:
// ProgID keys, class keys with their category, the server list object.

#include "platform/com/Guid.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dialogstest {

// The local machine's registry file.
inline constexpr std::string_view kLocal = "local";

// A fixed class id per number, for readable expectations.
platform::com::CLSID ClassId(int n);

// Sets the default value of a key of machine's HKEY_CLASSES_ROOT, making
// the key and its parents.
void Put(std::string_view machine, const std::string& path, const std::string& value = "");
// HKCR\<progId> (default: description) with its CLSID key; with vendor,
// the "OPC" subkey too ("" vendor: "OPC" without "Vendor").
void AddProgId(std::string_view machine, const std::string& progId, const platform::com::CLSID& clsid,
               const std::string& description, std::optional<std::string> vendor);
// HKCR\CLSID\{clsid} (default: user type) with its ProgID, implementing
// the OPC data access category.
void AddCategoryClass(const platform::com::CLSID& clsid, const std::string& progId, const std::string& userType);

// Runs opcsim-ctl with args; its exit code.
int RunCtl(const std::vector<std::string>& args);
// The server list object's journal lines.
std::vector<std::string> ServerListJournal();

class RegistryFixture : public ::testing::Test {
 protected:
  // A fresh registry folder with the server list object registered.
  void SetUp() override;
  void TearDown() override;

  std::string folder_;
};

}  // namespace dialogstest

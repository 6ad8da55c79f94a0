#pragma once
// Support for the server tests: a unique IPC namespace per test, a driver
// side section with chosen variables, and the server's module state opened
// on it and reset afterwards.

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "exchange/OPCSharedMemory.h"
#include "tests/server/TempFolder.h"

namespace server_test {

// Sets a unique FERROWICK_IPC_NAMESPACE while alive; fails the test when a
// section of the namespace is left in /dev/shm.
class ScopedNamespace {
 public:
  ScopedNamespace();
  ~ScopedNamespace();
  ScopedNamespace(const ScopedNamespace&) = delete;
  ScopedNamespace& operator=(const ScopedNamespace&) = delete;

 private:
  std::string name_;
};

// A kernel variable for the driver's table.
struct TestVariable {
  std::int32_t Id = 0;
  std::string Name;
  std::string Routing;  // CP1251
  float Value = 0.0f;   // initial (and current) value
  float Scale = 0.0f;
};


// Base fixture: the driver creates the section with the given variables,
// the server's Intercom opens it; every module-level object of the server
// is reset at the end.
class ServerTest : public ::testing::Test {
 protected:
  void TearDown() override;

  // Creates the driver's section with exactly these variables and opens
  // server::Intercom on it (slot 0).
  void OpenSection(const std::vector<TestVariable>& variables = {});
  // server::VariableIndex built from the section.
  void BuildVariableIndex();
  // server::DescriptionFile loaded from CP1251 description text.
  void LoadDescription(const std::string& text);
  // Current value of shared variable i (through the driver's view).
  float SharedValue(std::int32_t i) const;
  double SharedTime(std::int32_t i) const;
  // The server error list as the driver copies it.
  exchange::TServerErrorBlock Errors() const;

  ScopedNamespace ns_;
  std::unique_ptr<exchange::TIntercomInterface> driver_;
};

// A CP1251 text of an error entry.
std::string EntryText(const exchange::TServerErrorEntry& entry);

}  // namespace server_test

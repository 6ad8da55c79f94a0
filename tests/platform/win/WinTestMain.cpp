// The window and process tests; the same program also plays the child
// processes the tests start (role chosen by FW_WIN_CHILD).

#include "tests/platform/win/WinTestSupport.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
  if (const char* role = std::getenv(wintest::kChildRoleVar)) {
    return wintest::RunChildRole(role, argc, argv);
  }
  // Every run gets its own namespace: window tables of parallel runs never
  // meet, and the children inherit it.
  const std::string ns = "wintest" + std::to_string(::getpid());
  ::setenv("FERROWICK_IPC_NAMESPACE", ns.c_str(), 1);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

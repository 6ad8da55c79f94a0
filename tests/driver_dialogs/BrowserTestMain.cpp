// The enumeration and browser tests run headless in their own IPC
// namespace; each test makes its own registry folder.

#include "platform/ui/Backend.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
  const std::string ns = "dialogstest" + std::to_string(::getpid());
  ::setenv("FERROWICK_IPC_NAMESPACE", ns.c_str(), 1);
  platform::ui::UseHeadlessBackend();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

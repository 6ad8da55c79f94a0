// The start-up tests run in one IPC namespace per process: the window table
// a process joins lives until the process ends.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include <unistd.h>

int main(int argc, char** argv) {
  const std::string ns = "fwstart" + std::to_string(::getpid());
  ::setenv("FERROWICK_IPC_NAMESPACE", ns.c_str(), 1);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

// The client tests of the simulation server run in their own IPC namespace
// with their own registry folder, removed at the end.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

int main(int argc, char** argv) {
  const std::string ns = "opcsimtest" + std::to_string(::getpid());
  ::setenv("FERROWICK_IPC_NAMESPACE", ns.c_str(), 1);
  char dir[] = "/tmp/fw-opcsim-registry-XXXXXX";
  if (::mkdtemp(dir) == nullptr) return 2;
  ::setenv("FERROWICK_REGISTRY_DIR", dir, 1);
  ::testing::InitGoogleTest(&argc, argv);
  int rc = RUN_ALL_TESTS();
  std::filesystem::remove_all(dir);
  return rc;
}

#include "platform/os/IpcNamespace.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

TEST(IpcNamespace, ScopesNamesOnlyWhenSet) {
  ::unsetenv("FERROWICK_IPC_NAMESPACE");
  EXPECT_EQ(platform::os::IpcName("Ferrowikc_V30.dat"), "Ferrowikc_V30.dat");
  ::setenv("FERROWICK_IPC_NAMESPACE", "t42", 1);
  EXPECT_EQ(platform::os::IpcNamespace(), "t42");
  EXPECT_EQ(platform::os::IpcName("Ferrowikc_V30.dat"), "t42.Ferrowikc_V30.dat");
  ::unsetenv("FERROWICK_IPC_NAMESPACE");
}

}  // namespace

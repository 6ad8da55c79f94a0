// The OPC client tests join the window table in one IPC namespace for the
// whole process (the table a process joins lives until it ends); each test
// then takes its own namespace for the section and its own registry folder.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include <unistd.h>

#include "platform/win/Window.h"

int main(int argc, char** argv) {
  const std::string ns = "fwsopc" + std::to_string(::getpid());
  ::setenv("FERROWICK_IPC_NAMESPACE", ns.c_str(), 1);
  const platform::win::HWND probe = platform::win::AllocateHWnd([](auto...) -> platform::win::LRESULT { return 0; });
  if (probe == 0) return 2;
  platform::win::DestroyWindow(probe);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

#pragma once
// The kernel's tag navigator and error box as this test program's own: the
// dialogs call them through the kernel library names, and the definitions
// here (linked into the program itself) take the place of the stand-in
// kernel's, so a test sees every argument and can answer as an odd kernel
// would (a buffer without a terminator). GUI thread of the test.

#include "driver/DrvTypes.h"

#include <optional>
#include <string>
#include <vector>

namespace dialogtest {

struct NavigatorCall {
  driver::HostWindowHandle Parent = 0;
  std::string Current;  // the buffer's zero-terminated text on entry
};

struct ErrorBox {
  driver::HostWindowHandle Parent = 0;
  std::string Caption;
  std::string Message;
  int32_t Flags = 0;
};

struct KernelDialogs {
  // The navigator's next answers, in order: a name (written with its
  // terminator), or nullopt for a cancel. Without one left it cancels.
  std::vector<std::optional<std::string>> NavigatorAnswers;
  // Fill the whole 256-byte buffer with this character and no terminator.
  std::optional<char> UnterminatedAnswer;
  std::vector<NavigatorCall> NavigatorCalls;
  std::vector<ErrorBox> ErrorBoxes;
};

// The recorder of this process; cleared by Reset.
KernelDialogs& Kernel();
void ResetKernelDialogs();

}  // namespace dialogtest

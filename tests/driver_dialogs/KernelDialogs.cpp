#include "tests/driver_dialogs/KernelDialogs.h"

#include "driver/Dlm_Libs.h"

#include <algorithm>
#include <cstring>

namespace dialogtest {

KernelDialogs& Kernel() {
  static KernelDialogs kernel;
  return kernel;
}

void ResetKernelDialogs() { Kernel() = KernelDialogs{}; }

}  // namespace dialogtest

extern "C" uint16_t VLNavigatorDialog(driver::HostWindowHandle parent, char* buffer) {
  using dialogtest::Kernel;
  Kernel().NavigatorCalls.push_back({parent, std::string(buffer, strnlen(buffer, driver::NavigatorNameSize))});
  if (Kernel().UnterminatedAnswer) {
    std::memset(buffer, *Kernel().UnterminatedAnswer, driver::NavigatorNameSize);
    return 1;
  }
  auto& answers = Kernel().NavigatorAnswers;
  if (answers.empty()) return 0;
  const std::optional<std::string> answer = answers.front();
  answers.erase(answers.begin());
  if (!answer) return 0;
  const std::size_t n = std::min(answer->size(), driver::NavigatorNameSize - 1);
  std::memcpy(buffer, answer->data(), n);
  buffer[n] = '\0';
  return 1;
}

extern "C" void ErrorMessageExt(driver::HostWindowHandle parent, const char* caption, const char* message,
                                int32_t flags) {
  dialogtest::Kernel().ErrorBoxes.push_back({parent, caption, message, flags});
}

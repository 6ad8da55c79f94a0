// The kernel's message library.
#include "peers/kernel/KernelModel.h"

#include <cstring>

extern "C" __attribute__((visibility("default"))) void ErrorMessageExt(driver::HostWindowHandle, const char* caption,
                                                                        const char* message, int32_t) {
  kernel::KernelModel::Instance().ShowErrorBox(caption ? caption : "", message ? message : "");
}

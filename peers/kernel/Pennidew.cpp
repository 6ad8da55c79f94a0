// The kernel's message library.
#include "peers/kernel/KernelModel.h"

#include <cstring>

extern "C" __attribute__((visibility("default"))) void ErrorMessageExt(driver::HostWindowHandle parent,
                                                                        const char* caption, const char* message,
                                                                        int32_t flags) {
  kernel::KernelModel::Instance().ShowErrorBox(parent, caption ? caption : "", message ? message : "", flags);
}

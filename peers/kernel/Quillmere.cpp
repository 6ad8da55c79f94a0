// The kernel's log library.
#include "peers/kernel/KernelModel.h"

extern "C" __attribute__((visibility("default"))) void LLAddLogItem(driver::TLogItem item) {
  kernel::KernelModel::Instance().AddLogItem(item);
}

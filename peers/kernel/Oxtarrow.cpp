// The kernel's project library.
#include "peers/kernel/KernelModel.h"

#include <algorithm>
#include <cstring>

extern "C" __attribute__((visibility("default"))) int32_t PRGGetProjectInfo(char* buffer) {
  if (!buffer) return -1;
  const auto path = kernel::KernelModel::Instance().ProjectPath();
  if (!path) return -1;
  std::memset(buffer, 0, driver::ProjectInfoSize);
  const size_t n = std::min(path->size(), driver::ProjectInfoSize - 1);
  std::memcpy(buffer, path->data(), n);
  return 0;
}

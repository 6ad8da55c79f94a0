// The kernel's variable library.
#include "peers/kernel/KernelModel.h"

#include <algorithm>
#include <cstring>
#include <string>

#define KERNEL_EXPORT extern "C" __attribute__((visibility("default")))

using kernel::KernelModel;

KERNEL_EXPORT int32_t VLGetRoutingDomainNum() { return KernelModel::Instance().DomainCount(); }

KERNEL_EXPORT int32_t VLGetRoutingDomainInfo(int32_t index, driver::TVLDomainInfo* info) {
  if (!info || info->Size != driver::DomainInfoSize) return -1;
  return KernelModel::Instance().DomainInfo(index, *info) ? 0 : -1;
}

KERNEL_EXPORT int32_t VLGetVariableInfoByDomainId(int32_t domainId, int32_t index, driver::TVLVariableInfo* info) {
  if (!info) return -1;
  return KernelModel::Instance().VariableOfDomain(domainId, index, *info) ? 0 : -1;
}

KERNEL_EXPORT int32_t VLGetVariableInfoById(int32_t id, int32_t* out, driver::TVLVariableInfo* info) {
  if (!info) return -1;
  if (!KernelModel::Instance().VariableById(id, *info)) return -1;
  if (out) *out = 0;
  return 0;
}

KERNEL_EXPORT int32_t VLGetVariableInfoByName(const char* name, int32_t* out, driver::TVLVariableInfo* info) {
  if (!name || !info) return -1;
  // A kernel name never exceeds the record's field; a longer text names nothing.
  const size_t length = strnlen(name, exchange::kHostNameMax + 1);
  if (length > exchange::kHostNameMax) return -1;
  if (!KernelModel::Instance().VariableByName(std::string_view(name, length), *info)) return -1;
  if (out) *out = 0;
  return 0;
}

KERNEL_EXPORT uint16_t VLNavigatorDialog(driver::HostWindowHandle parent, char* buffer) {
  KernelModel& model = KernelModel::Instance();
  // The buffer holds the current name, zero-terminated within its 256 bytes.
  model.NotifyNavigator(parent, buffer ? std::string_view(buffer, strnlen(buffer, driver::NavigatorNameSize))
                                       : std::string_view());
  const auto answer = model.NavigatorAnswer();
  if (!buffer || !answer || answer->empty()) return 0;
  const size_t n = std::min(answer->size(), driver::NavigatorNameSize - 1);
  std::memcpy(buffer, answer->data(), n);
  buffer[n] = '\0';
  return 1;
}

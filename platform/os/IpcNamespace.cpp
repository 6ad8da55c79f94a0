#include "platform/os/IpcNamespace.h"

#include <cstdlib>

namespace platform::os {

std::string IpcNamespace() {
  const char* value = std::getenv("FERROWICK_IPC_NAMESPACE");
  return value ? std::string(value) : std::string();
}

std::string IpcName(std::string_view name) {
  std::string ns = IpcNamespace();
  if (ns.empty()) return std::string(name);
  return ns + "." + std::string(name);
}

}  // namespace platform::os

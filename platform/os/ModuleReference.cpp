#include "platform/os/ModuleReference.h"

#include <dlfcn.h>

namespace platform::os {

ModuleReference::ModuleReference(const void* address) {
  Dl_info info{};
  if (::dladdr(address, &info) == 0 || info.dli_fname == nullptr) return;
  // Only an object already loaded: the reference adds to its count.
  handle_ = ::dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD);
}

ModuleReference::~ModuleReference() {
  if (handle_ != nullptr) ::dlclose(handle_);
}

}  // namespace platform::os

#include "platform/ui/Resources.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace platform::ui {

namespace {

struct Registered {
  std::string Module;
  std::span<const TResourceEntry> Entries;
  const TResourceRegistration* Owner;
};

struct Registry {
  std::mutex Lock;
  std::vector<Registered> Sets;
};

Registry& TheRegistry() {
  static Registry registry;
  return registry;
}

bool SameAscii(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           auto up = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; };
           return up(x) == up(y);
         });
}

}  // namespace

TResourceRegistration::TResourceRegistration(std::string module, std::span<const TResourceEntry> entries)
    : module_(std::move(module)), entries_(entries) {
  Registry& r = TheRegistry();
  std::lock_guard guard(r.Lock);
  r.Sets.push_back({module_, entries_, this});
}

TResourceRegistration::~TResourceRegistration() {
  Registry& r = TheRegistry();
  std::lock_guard guard(r.Lock);
  std::erase_if(r.Sets, [this](const Registered& s) { return s.Owner == this; });
}

std::optional<std::span<const uint8_t>> FindResource(std::string_view name, std::string_view type,
                                                     std::string_view module) {
  Registry& r = TheRegistry();
  std::lock_guard guard(r.Lock);
  for (const Registered& set : r.Sets) {
    if (!module.empty() && !SameAscii(set.Module, module)) continue;
    for (const TResourceEntry& e : set.Entries)
      if (SameAscii(e.Name, name) && SameAscii(e.Type, type)) return std::span<const uint8_t>(e.Data, e.Size);
  }
  return std::nullopt;
}

}  // namespace platform::ui

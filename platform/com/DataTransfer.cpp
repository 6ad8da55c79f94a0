#include "platform/com/DataTransfer.h"

#include <map>
#include <mutex>
#include <string>

namespace platform::com {

void ReleaseStgMedium(STGMEDIUM* medium) {
  if (medium == nullptr) return;
  if (medium->pUnkForRelease != nullptr) {
    medium->pUnkForRelease->Release();
  } else if (medium->tymed == TYMED_HGLOBAL && medium->hGlobal != nullptr) {
    GlobalFree(medium->hGlobal);
  }
  medium->tymed = TYMED_NULL;
  medium->hGlobal = nullptr;
  medium->pUnkForRelease = nullptr;
}

std::uint32_t RegisterClipboardFormatA(std::string_view name) {
  static std::mutex mutex;
  static std::map<std::string, std::uint32_t> ids;
  if (name.empty() || name.size() > 255) return 0;
  std::string key(name);
  for (char& c : key)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  std::lock_guard lock(mutex);
  if (auto it = ids.find(key); it != ids.end()) return it->second;
  if (ids.size() >= 0x4000) return 0;
  std::uint32_t id = 0xC000 + static_cast<std::uint32_t>(ids.size());
  ids.emplace(std::move(key), id);
  return id;
}

}  // namespace platform::com

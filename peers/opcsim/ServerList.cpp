#include "peers/opcsim/ServerList.h"

#include <algorithm>
#include <string>

#include "platform/com/Activation.h"
#include "platform/com/Memory.h"
#include "platform/com/Registry.h"

namespace opcsim {

namespace pc = platform::com;

namespace {

constexpr std::uint32_t kMaxCategories = 1000;
constexpr std::uint32_t kAnyCategory = 0xFFFFFFFFu;

std::vector<pc::GUID> Categories(pc::TRegistry& reg, const std::string& key) {
  std::vector<pc::GUID> out;
  if (!reg.OpenKeyReadOnly(key)) return out;
  for (const auto& name : reg.GetKeyNames()) {
    pc::GUID g{};
    if (pc::StringToGuid(name, g)) out.push_back(g);
  }
  return out;
}

bool Contains(const pc::CATID* list, std::uint32_t count, const pc::GUID& g) {
  return std::any_of(list, list + count, [&](const pc::CATID& c) { return c == g; });
}

}  // namespace

pc::HRESULT GuidEnumerator::Next(std::uint32_t count, pc::GUID* items, std::uint32_t* fetched) {
  if (items == nullptr || (fetched == nullptr && count != 1)) return pc::E_POINTER;
  std::uint32_t n = 0;
  while (n < count && position_ < items_.size()) items[n++] = items_[position_++];
  if (fetched != nullptr) *fetched = n;
  return n == count ? pc::S_OK : pc::S_FALSE;
}

pc::HRESULT GuidEnumerator::Reset() {
  position_ = 0;
  return pc::S_OK;
}

pc::HRESULT ServerList::EnumClassesOfCategories(std::uint32_t implementedCount, pc::CATID* implemented,
                                                std::uint32_t requiredCount, pc::CATID* required,
                                                pc::IEnumGUID** classes) {
  if (classes == nullptr) return pc::E_POINTER;
  *classes = nullptr;
  bool anyImplemented = implementedCount == kAnyCategory;
  if ((!anyImplemented && (implementedCount > kMaxCategories || (implementedCount && !implemented))) ||
      requiredCount > kMaxCategories || (requiredCount && !required))
    return pc::E_INVALIDARG;
  std::vector<pc::GUID> found;
  pc::TRegistry reg;
  if (reg.OpenKeyReadOnly("\\CLSID")) {
    for (const auto& name : reg.GetKeyNames()) {
      pc::CLSID clsid{};
      if (!pc::StringToGuid(name, clsid)) continue;
      const std::string key = "\\CLSID\\" + name;
      bool implementsOne = anyImplemented;
      for (const auto& c : Categories(reg, key + "\\Implemented Categories"))
        implementsOne = implementsOne || Contains(implemented, implementedCount, c);
      if (!implementsOne) continue;
      bool requirementsMet = true;
      for (const auto& c : Categories(reg, key + "\\Required Categories"))
        requirementsMet = requirementsMet && Contains(required, requiredCount, c);
      if (requirementsMet) found.push_back(clsid);
    }
  }
  pc::ComPtr<pc::IEnumGUID> e(new GuidEnumerator(std::move(found)));
  *classes = e.Detach();
  return pc::S_OK;
}

bool ServerList::Offers(const pc::IID& riid) const {
  return !(riid == pc::IOPCServerList2::iid && faults_.On(kServerList2Fault));
}

pc::HRESULT ServerList::GetClassDetails(const pc::CLSID& clsid, pc::LPWSTR* progId, pc::LPWSTR* userType) {
  AppendJournal(kServerListControl, "details list " + pc::GuidToString(clsid));
  return Details(clsid, progId, userType, nullptr);
}

pc::HRESULT ServerList::GetClassDetails(const pc::CLSID& clsid, pc::LPWSTR* progId, pc::LPWSTR* userType,
                                        pc::LPWSTR* versionIndependentProgId) {
  AppendJournal(kServerListControl, "details list2 " + pc::GuidToString(clsid));
  return Details(clsid, progId, userType, versionIndependentProgId);
}

pc::HRESULT ServerList::Details(const pc::CLSID& clsid, pc::LPWSTR* progId, pc::LPWSTR* userType,
                                pc::LPWSTR* versionIndependentProgId) {
  if (progId == nullptr || userType == nullptr) return pc::E_POINTER;
  *progId = *userType = nullptr;
  if (versionIndependentProgId != nullptr) *versionIndependentProgId = nullptr;
  pc::TRegistry reg;
  const std::string key = "\\CLSID\\" + pc::GuidToString(clsid);
  if (!reg.OpenKeyReadOnly(key)) return pc::REGDB_E_CLASSNOTREG;
  const std::string name = reg.ReadString("");
  if (!reg.OpenKeyReadOnly(key + "\\ProgID")) return pc::REGDB_E_CLASSNOTREG;
  const std::string id = reg.ReadString("");
  std::string independent = id;
  if (reg.OpenKeyReadOnly(key + "\\VersionIndependentProgID")) independent = reg.ReadString("");
  *progId = pc::CoTaskMemWideString(pc::AnsiToWide(id));
  *userType = pc::CoTaskMemWideString(pc::AnsiToWide(name));
  if (versionIndependentProgId != nullptr)
    *versionIndependentProgId = pc::CoTaskMemWideString(pc::AnsiToWide(independent));
  if (*progId == nullptr || *userType == nullptr ||
      (versionIndependentProgId != nullptr && *versionIndependentProgId == nullptr)) {
    pc::CoTaskMemFree(*progId);
    pc::CoTaskMemFree(*userType);
    *progId = *userType = nullptr;
    if (versionIndependentProgId != nullptr) {
      pc::CoTaskMemFree(*versionIndependentProgId);
      *versionIndependentProgId = nullptr;
    }
    return pc::E_OUTOFMEMORY;
  }
  return pc::S_OK;
}

pc::HRESULT ServerList::CLSIDFromProgID(pc::LPCWSTR progId, pc::CLSID* clsid) {
  return pc::CLSIDFromProgID(progId, clsid);
}

}  // namespace opcsim

#include "driver/TagTables.h"

#include "driver/DrvLog.h"
#include "driver/RoutingString.h"
#include "exchange/HostRecords.h"
#include "platform/os/Convert.h"
#include "platform/os/Format.h"
#include "platform/os/Text.h"

#include <cstring>
#include <memory>

namespace driver {

using namespace platform::os::literals;

bool FindRoutingDomain(std::string_view prefix, TVLDomainInfo& domain) {
  const int32_t count = VLGetRoutingDomainNum();
  for (int32_t i = 0; i < count; ++i) {
    std::memset(&domain, 0, sizeof domain);
    domain.Size = DomainInfoSize;
    if (VLGetRoutingDomainInfo(i, &domain) != 0) continue;
    const std::string_view name(domain.Name, strnlen(domain.Name, MaxDomainName));
    if (name == prefix) return true;
  }
  return false;
}

std::string TDRVVariable::Key() const {
  return Prefix + ":" + platform::os::IntToStr(DeviceNumber) + "|" + platform::os::IntToStr(Address);
}

int32_t TIdIndexList::Compare(const void* key1, const void* key2) const {
  const int32_t a = static_cast<const TIdIndexEntry*>(key1)->Id;
  const int32_t b = static_cast<const TIdIndexEntry*>(key2)->Id;
  return a < b ? -1 : (a > b ? 1 : 0);
}

int32_t TIdIndexList::IndexOfId(int32_t id) const {
  TIdIndexEntry key{id, 0};
  int32_t at = 0;
  if (!FindKey(&key, at)) return -1;
  return At(at)->Index;
}

int32_t TDRVVariableList::Compare(const void* key1, const void* key2) const {
  return platform::os::CompareStr(static_cast<const TDRVVariable*>(key1)->Key(),
                                  static_cast<const TDRVVariable*>(key2)->Key());
}

std::string TDRVVariableList::NormalPrefix(std::string_view prefix) {
  std::string p = platform::os::AnsiUpperCase(platform::os::Trim(prefix));
  if (p.size() > MaxPrefixLength) p.resize(MaxPrefixLength);
  return p;
}

bool TDRVVariableList::LoadDomain(std::string_view prefix) {
  const std::string p = NormalPrefix(prefix);
  if (p.empty()) return false;
  TVLDomainInfo domain;
  if (!FindRoutingDomain(p, domain)) return false;
  return LoadDomainVariables(domain, p);
}

bool TDRVVariableList::LoadDomainVariables(const TVLDomainInfo& domain, std::string_view prefix) {
  const bool complete = LoadVariables(domain, NormalPrefix(prefix));
  // Entries inserted before a failure moved others: the index must follow.
  BuildIdIndex();
  return complete;
}

bool TDRVVariableList::LoadVariables(const TVLDomainInfo& domain, const std::string& prefix) {
  for (int32_t i = 0; i < domain.VariableCount; ++i) {
    TVLVariableInfo record;
    std::memset(&record, 0, sizeof record);
    if (VLGetVariableInfoByDomainId(domain.DomainId, i, &record) < 0) return false;
    const std::string name = exchange::HostRecordName(record);
    TRoutingTarget target;
    if (!ParseRoutingString(exchange::HostRecordRouting(record), target)) {
      if (log_ != nullptr) {
        log_->Log(-12, platform::os::Format("DLM:: Тег %s содержит ошибку в строке роутинга."_cp, name));
      }
      continue;
    }
    if (!platform::os::SameText(target.Prefix, prefix)) continue;
    auto tag = std::make_unique<TDRVVariable>();
    tag->Id = record.Id;
    tag->Prefix = prefix;
    tag->DeviceNumber = target.DeviceNumber;
    tag->Address = target.Address;
    tag->Name = name;
    int32_t at = 0;
    if (FindKey(tag.get(), at)) {
      if (log_ != nullptr) {
        log_->Log(-2, log_->GetErrorText(-2) + " ( " + tag->Name + "/" + At(at)->Name + " )");
      }
      continue;
    }
    InsertAt(at, tag.release());
  }
  return true;
}

const TDRVVariable* TDRVVariableList::FindById(int32_t id) const {
  const int32_t at = index_.IndexOfId(id);
  return at >= 0 && at < Count() ? At(at) : nullptr;
}

bool TDRVVariableList::BuildIdIndex() {
  index_.FreeAll();
  for (int32_t i = 0; i < Count(); ++i) {
    auto entry = std::make_unique<TIdIndexEntry>(TIdIndexEntry{At(i)->Id, i});
    int32_t at = 0;
    if (index_.FindKey(entry.get(), at)) continue;
    index_.InsertAt(at, entry.release());
  }
  return true;
}

void TDRVVariableList::Clear() {
  FreeAll();
  index_.FreeAll();
}

}  // namespace driver

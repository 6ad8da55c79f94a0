#include "driver/TagTables.h"

#include "driver/DrvLog.h"
#include "driver/RoutingString.h"
#include "exchange/HostRecords.h"
#include "platform/os/Convert.h"
#include "platform/os/Format.h"
#include "platform/os/Text.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <memory>
#include <unordered_map>
#include <utility>
#include <vector>

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

namespace {

// A tag's Key() written into a buffer of its own: comparisons during a
// search allocate nothing. A prefix longer than the room takes Key().
class TKeyText {
 public:
  explicit TKeyText(const TDRVVariable& tag) {
    if (tag.Prefix.size() > MaxPrefixLength) {
      spill_ = tag.Key();
      view_ = spill_;
      return;
    }
    char* end = std::copy(tag.Prefix.begin(), tag.Prefix.end(), buffer_);
    *end++ = ':';
    end = std::to_chars(end, buffer_ + sizeof buffer_, tag.DeviceNumber).ptr;
    *end++ = '|';
    end = std::to_chars(end, buffer_ + sizeof buffer_, tag.Address).ptr;
    view_ = std::string_view(buffer_, static_cast<std::size_t>(end - buffer_));
  }
  TKeyText(const TKeyText&) = delete;
  TKeyText& operator=(const TKeyText&) = delete;

  std::string_view View() const { return view_; }

 private:
  // The prefix, two separators and two signed 32-bit numbers.
  char buffer_[MaxPrefixLength + 2 + 2 * 11];
  std::string spill_;
  std::string_view view_;
};

}  // namespace

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
  return platform::os::CompareStr(TKeyText(*static_cast<const TDRVVariable*>(key1)).View(),
                                  TKeyText(*static_cast<const TDRVVariable*>(key2)).View());
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
  // The tags found join the list in one sort at the end: inserting each at
  // its place would move the rest of the list every time.
  // Every tag found has the same prefix: its device number and address
  // stand for its key.
  const auto place = [](const TDRVVariable& tag) {
    return static_cast<uint64_t>(static_cast<uint32_t>(tag.DeviceNumber)) << 32 | static_cast<uint32_t>(tag.Address);
  };
  std::vector<std::unique_ptr<TDRVVariable>> found;
  std::unordered_map<uint64_t, const TDRVVariable*> foundKeys;
  const int32_t count = domain.VariableCount;  // a packed field: read by value
  foundKeys.reserve(static_cast<std::size_t>(std::max(count, 0)));
  bool complete = true;
  for (int32_t i = 0; i < count; ++i) {
    TVLVariableInfo record;
    std::memset(&record, 0, sizeof record);
    if (VLGetVariableInfoByDomainId(domain.DomainId, i, &record) < 0) {
      complete = false;
      break;
    }
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
    const TDRVVariable* first = FindKey(tag.get(), at) ? At(at) : nullptr;
    if (first == nullptr) {
      const auto earlier = foundKeys.find(place(*tag));
      if (earlier != foundKeys.end()) first = earlier->second;
    }
    if (first != nullptr) {
      if (log_ != nullptr) {
        log_->Log(-2, log_->GetErrorText(-2) + " ( " + tag->Name + "/" + first->Name + " )");
      }
      continue;
    }
    foundKeys.emplace(place(*tag), tag.get());
    found.push_back(std::move(tag));
  }
  Join(found);
  return complete;
}

void TDRVVariableList::Join(std::vector<std::unique_ptr<TDRVVariable>>& found) {
  if (found.empty()) return;
  // Every key is distinct: the list's own, and the found ones checked
  // against them and each other.
  std::vector<std::pair<std::string, TDRVVariable*>> all;
  all.reserve(static_cast<std::size_t>(Count()) + found.size());
  for (int32_t i = 0; i < Count(); ++i) all.emplace_back(At(i)->Key(), At(i));
  for (const auto& tag : found) all.emplace_back(tag->Key(), tag.get());
  // std::string compares bytes as unsigned values, as CompareStr does.
  std::sort(all.begin(), all.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  RemoveAll();
  for (const auto& entry : all) InsertAt(Count(), entry.second);
  for (auto& tag : found) (void)tag.release();  // the list owns them now
}

const TDRVVariable* TDRVVariableList::FindById(int32_t id) const {
  const int32_t at = index_.IndexOfId(id);
  return at >= 0 && at < Count() ? At(at) : nullptr;
}

bool TDRVVariableList::BuildIdIndex() {
  index_.FreeAll();
  std::vector<TIdIndexEntry> entries;
  entries.reserve(static_cast<std::size_t>(Count()));
  for (int32_t i = 0; i < Count(); ++i) entries.push_back(TIdIndexEntry{At(i)->Id, i});
  // Stable: of the entries of one Id, the first in list order is kept.
  std::stable_sort(entries.begin(), entries.end(),
                   [](const TIdIndexEntry& a, const TIdIndexEntry& b) { return a.Id < b.Id; });
  for (std::size_t k = 0; k < entries.size(); ++k) {
    if (k > 0 && entries[k].Id == entries[k - 1].Id) continue;
    auto entry = std::make_unique<TIdIndexEntry>(entries[k]);
    index_.InsertAt(index_.Count(), entry.get());
    (void)entry.release();
  }
  return true;
}

void TDRVVariableList::Clear() {
  FreeAll();
  index_.FreeAll();
}

}  // namespace driver

#include "server/VariableIndex.h"

#include "driver/RoutingString.h"
#include "exchange/OPCSharedMemory.h"
#include "platform/os/ByteFields.h"
#include "platform/os/Time.h"
#include "server/ServerData.h"
#include "server/ServerErrors.h"

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <string_view>
#include <vector>

namespace server {

namespace os = platform::os;

namespace {

constexpr std::size_t kMaxPrefix = 255;
constexpr std::size_t kMaxName = 40;

// Offset of the scale factor inside a shared variable (its host record's
// field at 684).
constexpr std::size_t kScaleOffset =
    offsetof(exchange::TDMLVariable, Info) + offsetof(exchange::TVLVariableInfo, Scale);
static_assert(kScaleOffset == 700);

// -1, 0 or 1. Keys compare as std::string does: bytes as unsigned values,
// then the shorter first.
std::int32_t Sign(int compared) { return compared < 0 ? -1 : (compared > 0 ? 1 : 0); }

std::string Cut(std::string_view text, std::size_t limit) {
  return std::string(text.substr(0, limit));
}

// Builds the index item of shared variable i, read in place; false when
// its routing string does not parse.
bool MakeItem(const std::uint8_t* shared, std::int32_t i, TVariableIndexItem& item) {
  const std::uint8_t* info = shared + offsetof(exchange::TDMLVariable, Info);
  driver::TRoutingTarget target;
  if (!driver::ParseRoutingString(exchange::HostRecordRouting(info), target)) return false;
  item.VariableId = os::LoadInt32(info, offsetof(exchange::TVLVariableInfo, Id));
  item.VariableName = Cut(exchange::HostRecordName(info), kMaxName);
  item.Prefix = Cut(target.Prefix, kMaxPrefix);
  item.DeviceAddress = target.DeviceNumber;
  item.TagAddress = target.Address;
  item.DmlIndex = i;
  item.InitialValue = os::LoadSingle(shared, offsetof(exchange::TDMLVariable, Value));
  item.Key = TVariableIndex::MakeKey(item.Prefix, item.DeviceAddress, item.TagAddress);
  return true;
}

// Fills the empty list with items in one sort, not one insertion each.
// before orders two items as the list does; the sort is stable, so of the
// items of one key the first keeps its place and the others are freed.
template <class List, class Item, class Before>
void FillSorted(List& list, std::vector<std::unique_ptr<Item>>& items, Before before) {
  std::stable_sort(items.begin(), items.end(), [&](const auto& a, const auto& b) { return before(*a, *b); });
  for (auto& item : items) {
    if (list.Count() > 0 && !before(*list.At(list.Count() - 1), *item)) continue;  // the same key
    list.InsertAt(list.Count(), item.release());
  }
}

// value / scale into value. A quotient that is no finite float is not
// written: false, and -22 when the variable's previous value scaled well.
bool ApplyScale(TVariableIndexItem& item, float& value, float scale) {
  const double quotient = static_cast<double>(value) / scale;
  const bool fits = std::fabs(quotient) <= FLT_MAX;  // false for a NaN
  if (!fits && !item.ScaleFailed && ServerErrors) ServerErrors->ReportAbout(ErrorCode::TagProcessing, item.VariableName);
  item.ScaleFailed = !fits;
  if (fits) value = static_cast<float>(quotient);
  return fits;
}

// The text after the prefix in a key: " DeviceAddress|TagAddress".
class KeySuffix {
 public:
  KeySuffix(std::int32_t deviceAddress, std::int32_t tagAddress) {
    char* at = text_;
    *at++ = ' ';
    at = std::to_chars(at, text_ + sizeof text_, deviceAddress).ptr;
    *at++ = '|';
    size_ = static_cast<std::size_t>(std::to_chars(at, text_ + sizeof text_, tagAddress).ptr - text_);
  }
  std::string_view Text() const { return {text_, size_}; }

 private:
  char text_[24];  // ' ', '|' and two int32 in decimal
  std::size_t size_;
};

}  // namespace

// ---------------------------------------------------------------- TVariableIndex

std::string TVariableIndex::MakeKey(std::string_view prefix, std::int32_t deviceAddress,
                                    std::int32_t tagAddress) {
  // Built without temporaries: Find makes one for every value written.
  const KeySuffix suffix(deviceAddress, tagAddress);
  std::string key;
  key.reserve(prefix.size() + suffix.Text().size());
  key.append(prefix).append(suffix.Text());
  return key;
}

std::int32_t TVariableIndex::Compare(const void* key1, const void* key2) const {
  return Sign(static_cast<const std::string*>(key1)->compare(*static_cast<const std::string*>(key2)));
}

const void* TVariableIndex::ItemKey(void* item) const {
  return &static_cast<TVariableIndexItem*>(item)->Key;
}

bool TVariableIndex::LoadFromShared() {
  FreeAll();
  if (!SectionOpen()) return false;
  exchange::TDMLVariablesList& table = *Intercom->DMLVariables();
  const std::int32_t count = table.Count();
  std::vector<std::unique_ptr<TVariableIndexItem>> items;
  items.reserve(static_cast<std::size_t>(count));
  // A server that died within a write left its mark on the row: the value
  // it left is passed on again rather than held until a new value comes.
  const os::TDateTime now = os::Now();
  for (std::int32_t i = 0; i < count; ++i) {
    std::uint8_t* shared = table.ItemPtr(i);
    if (shared == nullptr) continue;
    exchange::TDMLVariablesList::EndLeftoverWrite(shared, now);
    auto item = std::make_unique<TVariableIndexItem>();
    if (MakeItem(shared, i, *item)) items.push_back(std::move(item));
  }
  // Of the variables with one key the first in the table is kept.
  FillSorted(*this, items, [](const TVariableIndexItem& a, const TVariableIndexItem& b) { return a.Key < b.Key; });
  return true;
}

TVariableIndexItem* TVariableIndex::Find(std::string_view prefix, std::int32_t deviceAddress,
                                         std::int32_t tagAddress) const {
  std::int32_t hint = -1;
  return Find(prefix, deviceAddress, tagAddress, hint);
}

TVariableIndexItem* TVariableIndex::Find(std::string_view prefix, std::int32_t deviceAddress,
                                         std::int32_t tagAddress, std::int32_t& hint) const {
  // The hint saves the hash's probe, two cache misses for a value of a
  // delivery. Any hint is checked against the item's key, through the
  // three fields the key is made of: equal fields make equal keys, and a
  // key names one triple, since its suffix begins at its last blank.
  if (TVariableIndexItem* item = At(hint);
      item != nullptr && item->DeviceAddress == deviceAddress && item->TagAddress == tagAddress &&
      item->Prefix == prefix)
    return item;
  if (Count() == 0) return nullptr;
  const std::string key = MakeKey(prefix, deviceAddress, tagAddress);
  // Find runs for every value written: most answers come from the cache.
  const auto cached = positions_.find(key);
  if (cached != positions_.end()) {
    TVariableIndexItem* item = At(cached->second);
    if (item != nullptr && item->Key == key) {
      hint = cached->second;
      return item;
    }
  }
  std::int32_t at = 0;
  if (!FindKey(&key, at)) return nullptr;
  RebuildPositions();
  hint = at;
  return At(at);
}

void TVariableIndex::RebuildPositions() const {
  positions_.clear();
  positions_.reserve(static_cast<std::size_t>(Count()));
  for (std::int32_t i = 0; i < Count(); ++i) positions_.emplace(At(i)->Key, i);
}

bool TVariableIndex::WriteValue(std::string_view prefix, std::int32_t deviceAddress, float value,
                                std::int32_t tagAddress) {
  std::int32_t hint = -1;
  return WriteValue(prefix, deviceAddress, value, tagAddress, hint);
}

bool TVariableIndex::WriteValue(std::string_view prefix, std::int32_t deviceAddress, float value,
                                std::int32_t tagAddress, std::int32_t& hint) {
  if (!SectionOpen()) return false;
  TVariableIndexItem* item = Find(prefix, deviceAddress, tagAddress, hint);
  if (item == nullptr) return false;
  exchange::TDMLVariablesList& table = *Intercom->DMLVariables();
  const std::uint8_t* shared = table.ItemPtr(item->DmlIndex);
  if (shared == nullptr) {
    if (ServerErrors) ServerErrors->ReportText(ErrorCode::TagInfo, TagInfoErrorText());
    return false;
  }
  const float scale = os::LoadSingle(shared, kScaleOffset);
  if (scale != 0.0f && !ApplyScale(*item, value, scale)) return false;
  // One clock read per batch: it cost a quarter of a data change's
  // decoding, and the values of a batch are of one moment. A wait for a
  // busy byte within the batch can last seconds: the clock is read again.
  const std::uint32_t waits = exchange::BusyWaits();
  if (unpublished_ == 0 || waits != batchWaits_) {
    batchTime_ = os::Now();
    batchWaits_ = waits;
  }
  const bool written = table.SetValue(item->DmlIndex, value, batchTime_);
  if (written && ++unpublished_ >= kPublishEvery) PublishChanges();
  return written;
}

void TVariableIndex::Prefetch(std::int32_t hint, std::int32_t dmlIndex) const {
  // Find's check reads the variable's prefix and addresses, WriteValue its
  // DmlIndex; they lie together.
  if (const TVariableIndexItem* variable = At(hint)) {
    __builtin_prefetch(&variable->Prefix);
    __builtin_prefetch(&variable->DmlIndex);
  }
  if (!SectionOpen()) return;
  if (const std::uint8_t* row = Intercom->DMLVariables()->ItemPtr(dmlIndex)) {
    __builtin_prefetch(row, 1);
    __builtin_prefetch(row + kScaleOffset);
  }
}

void TVariableIndex::PublishChanges() {
  if (unpublished_ == 0) return;
  unpublished_ = 0;
  if (SectionOpen()) Intercom->DMLVariables()->BumpChangeCounter();
}

// ---------------------------------------------------------------- TOPCVariableIndex

std::int32_t TOPCVariableIndex::Compare(const void* key1, const void* key2) const {
  // Descending: a smaller name sorts after a larger one.
  return Sign(static_cast<const std::string*>(key2)->compare(*static_cast<const std::string*>(key1)));
}

const void* TOPCVariableIndex::ItemKey(void* item) const {
  return &static_cast<TOPCVariableIndexItem*>(item)->TagName;
}

std::int32_t TOPCVariableIndex::LoadDevice(std::string_view tagListName, std::string_view prefix,
                                           std::int32_t precision, std::int32_t deviceAddress) {
  FreeAll();
  if (!DescriptionFile || !VariableIndex) return 0;
  std::int32_t at = 0;
  const common::TOPCDeviceDescription* device = DescriptionFile->FindDevice(tagListName, at);
  if (device == nullptr || !device->Tags) return 0;
  std::vector<std::unique_ptr<TOPCVariableIndexItem>> items;
  items.reserve(static_cast<std::size_t>(device->Tags->Count()));
  for (std::int32_t t = 0; t < device->Tags->Count(); ++t) {
    const common::TOPCTagItem* tag = device->Tags->At(t);
    auto item = std::make_unique<TOPCVariableIndexItem>();
    item->ItemName = tag->Name;
    item->Prefix = Cut(prefix, kMaxPrefix);
    item->DeviceAddress = deviceAddress;
    item->Precision = precision;
    if (const TVariableIndexItem* variable = VariableIndex->Find(prefix, deviceAddress, tag->Address)) {
      item->VariableId = variable->VariableId;
      item->TagAddress = variable->TagAddress;
      item->DmlIndex = variable->DmlIndex;
      item->TagName = variable->VariableName;
      item->Value = variable->InitialValue;
    }
    item->Decoder = tag->Clone();
    items.push_back(std::move(item));
  }
  // Descending names; of the items of one name the first in file order is
  // kept.
  FillSorted(*this, items,
             [](const TOPCVariableIndexItem& a, const TOPCVariableIndexItem& b) { return a.TagName > b.TagName; });
  return Count();
}

TOPCVariableIndexItem* TOPCVariableIndex::FindByTagName(std::string_view name) const {
  const std::string key(name);
  std::int32_t at = 0;
  return FindKey(&key, at) ? At(at) : nullptr;
}

float DeadbandForPrecision(std::int16_t precision) {
  static constexpr float kDeadbands[] = {1.0f,  0.1f,   0.01f,   0.001f, 0.0001f,
                                         1e-5f, 1e-6f, 1e-7f, 1e-8f};
  if (precision < 0 || precision > 8) return 0.0f;
  return kDeadbands[precision];
}

}  // namespace server

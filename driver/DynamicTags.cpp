#include "driver/DynamicTags.h"

#include "driver/Dlm_Libs.h"
#include "driver/DrvLog.h"
#include "driver/ReceivedBuffer.h"
#include "exchange/OPCSharedMemory.h"
#include "platform/os/Format.h"
#include "platform/os/Text.h"

#include <cmath>
#include <exception>
#include <memory>

namespace driver {

using namespace platform::os::literals;

bool AddDynamicTag(exchange::TDynemicVariablesList* table, std::string_view name, bool updateOnly, float value) {
  if (table == nullptr) return false;
  return table->AddOrUpdate(name, updateOnly, value, platform::os::Now());
}

int32_t TDynamicTagList::Compare(const void* key1, const void* key2) const {
  return platform::os::CompareStr(static_cast<const TDynamicTag*>(key1)->Name,
                                  static_cast<const TDynamicTag*>(key2)->Name);
}

TDynamicTag* TDynamicTagList::Find(std::string_view name) const {
  TDynamicTag key;
  key.Name = name;
  int32_t at = 0;
  return FindKey(&key, at) ? At(at) : nullptr;
}

bool TDynamicTagList::ResolveItem(exchange::TDynemicVariablesList& table, int32_t index) {
  exchange::TDynemicItem item;
  if (!table.GetItem(index, item)) return true;
  const std::string name = exchange::ShortStringOf(item.Name);
  if (item.Info.Id != DynamicUnresolved || name.empty()) return true;
  try {
    int32_t unused = 0;
    if (VLGetVariableInfoByName(name.c_str(), &unused, &item.Info) == 0) return table.SetItem(index, item);
    item.Info.Id = DynamicUnknown;
    table.SetItem(index, item);
    if (log_ != nullptr) log_->Log(0, platform::os::Format("Динамический тег %s не описан."_cp, name));
  } catch (const std::exception& error) {
    if (log_ != nullptr) log_->Log(-1, "DLM::TagName=" + name + " " + error.what());
  }
  return true;
}

bool TDynamicTagList::Resolve(exchange::TDynemicVariablesList* table) {
  if (table == nullptr) return false;
  for (int32_t i = 0; i < table->Count(); ++i) {
    exchange::TDynemicItem item;
    if (!table->GetItem(i, item)) {
      if (log_ != nullptr) log_->Log(0, "Dynamic tag not found.");
      continue;
    }
    if (!ResolveItem(*table, i) && log_ != nullptr) log_->Log(0, "Dynamic SetVariableInfo: Internal error.");
  }
  return true;
}

bool TDynamicTagList::SendChanges(exchange::TDynemicVariablesList* table, TReceivedBuffer& buffer) {
  if (table == nullptr) return false;
  for (int32_t i = 0; i < table->Count(); ++i) {
    ResolveItem(*table, i);
    exchange::TDynemicItem item;
    if (!table->GetItem(i, item) || item.Info.Id < 0) continue;
    const std::string name = exchange::ShortStringOf(item.Name);
    // LastValue is what the kernel was handed: a value the buffer refused
    // is put again next cycle, and so is one whose record it dropped.
    if (TDynamicTag* tag = Find(name)) {
      const float d = std::fabs(item.Value - tag->LastValue);
      const bool moved = d >= item.Info.Deadband && d > 0.0f;
      if ((moved || buffer.MustPutAgain(item.Info.Id)) && buffer.Put(item.Info.Id, item.Value)) {
        tag->LastValue = item.Value;
        tag->Time = item.Time;
      }
      continue;
    }
    if (!buffer.Put(item.Info.Id, item.Value)) continue;
    auto tag = std::make_unique<TDynamicTag>(TDynamicTag{name, item.Info.Id, item.Value, item.Time});
    Add(tag.release());
  }
  return true;
}

}  // namespace driver

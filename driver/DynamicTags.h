#pragma once
// Dynamic tags: kernel variables written by name (each device's link- and
// command-control tags). Their values live in the section's dynamic table;
// the driver resolves each name to the kernel's Id and sends value changes
// to the kernel through the value buffer.

#include "common/TArray.h"
#include "platform/os/Time.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace exchange {
class TDynemicVariablesList;
}

namespace driver {

class TBaseErrorClass;
class TReceivedBuffer;

// Kernel Id of a shared dynamic item: not yet resolved, and unknown name.
inline constexpr int32_t DynamicUnresolved = -1;
inline constexpr int32_t DynamicUnknown = -100;

// Stores value (time now) under name in the shared table; appends the name
// unless updateOnly. False when table is nullptr or nothing was stored.
bool AddDynamicTag(exchange::TDynemicVariablesList* table, std::string_view name, bool updateOnly, float value);

// The last value sent for one name.
struct TDynamicTag {
  std::string Name;  // as stored in the shared table
  int32_t Id = 0;
  float LastValue = 0;
  platform::os::TDateTime Time = 0;
};

// Records sorted by Name (bytes, case-sensitive); driver thread only
// (initialisation runs before the thread starts).
class TDynamicTagList : public common::TOwningList<TDynamicTag, common::TSortedArray> {
 public:
  // log: where unresolved names are reported; may be nullptr.
  explicit TDynamicTagList(TBaseErrorClass* log = nullptr) : log_(log) {}

  int32_t Compare(const void* key1, const void* key2) const override;

  // Resolves every unresolved named item of the table. False without table.
  bool Resolve(exchange::TDynemicVariablesList* table);

  // Resolves new names and puts each resolved item whose value moved by at
  // least its deadband (and by more than 0) from the last value the buffer
  // took, or that is seen for the first time, into buffer. A value the
  // buffer refused is put again on the next call, and the current value of
  // one whose record the buffer dropped once the kernel accepts blocks
  // again (TReceivedBuffer::MustPutAgain). False without table.
  bool SendChanges(exchange::TDynemicVariablesList* table, TReceivedBuffer& buffer);

  // The record of name, or nullptr.
  TDynamicTag* Find(std::string_view name) const;

 private:
  // Resolves item index when its Id is -1; false when a write-back after
  // a successful lookup was refused.
  bool ResolveItem(exchange::TDynemicVariablesList& table, int32_t index);

  TBaseErrorClass* log_;
};

}  // namespace driver

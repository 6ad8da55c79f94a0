#pragma once
// The two sorted indexes that link the OPC side to the shared variable
// table. TVariableIndex (one for the server, VariableIndex of ServerData.h)
// finds a kernel variable by its routing key and is the one path by which
// the server writes variable values. TOPCVariableIndex (one per device)
// holds the device's OPC items, each linked to its variable and carrying
// the item's last value, quality state and decoder; an item's position is
// its OPC client handle.
//
// Main thread only: both read the module's Intercom, DescriptionFile and
// VariableIndex.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

#include "common/Opc_Description.h"
#include "common/TArray.h"
#include "platform/os/Time.h"

namespace server {

// One variable of the shared table, by its routing key.
struct TVariableIndexItem {
  std::int32_t VariableId = 0;
  std::string VariableName;           // at most 40 characters
  std::string Prefix;                 // upper case, at most 255 characters
  std::int32_t DeviceAddress = -1;    // DEVICE number, -1 when absent
  std::int32_t TagAddress = -1;       // ADDRESS number, -1 when absent
  std::int32_t DmlIndex = 0;          // position in the shared table
  float InitialValue = 0.0f;          // current value when the index was built
  std::string Key;                    // "Prefix DeviceAddress|TagAddress"
  bool ScaleFailed = false;           // the last value written failed its scaling
};

// Kernel variables sorted by key (bytes, case-sensitive); a key appears
// once, the first variable with it wins.
class TVariableIndex : public common::TOwningList<TVariableIndexItem, common::TSortedArray> {
 public:
  // The key text of a routing triple: "%s %d|%d".
  static std::string MakeKey(std::string_view prefix, std::int32_t deviceAddress,
                             std::int32_t tagAddress);

  std::int32_t Compare(const void* key1, const void* key2) const override;
  const void* ItemKey(void* item) const override;

  // Empties the index and indexes every variable of the shared table whose
  // routing string (trimmed) parses; others are skipped. False without a
  // section.
  bool LoadFromShared();

  // The variable with that key, or nullptr. The prefix is used as given, so
  // a lower-case prefix finds nothing.
  TVariableIndexItem* Find(std::string_view prefix, std::int32_t deviceAddress,
                           std::int32_t tagAddress) const;
  // As Find, trying first the position hint (any value, e.g. -1 or one
  // from an earlier call) and leaving there the found variable's position.
  TVariableIndexItem* Find(std::string_view prefix, std::int32_t deviceAddress,
                           std::int32_t tagAddress, std::int32_t& hint) const;

  // Writes value, divided by the variable's scale when that is not 0, and
  // the time of its batch into the variable's shared item: the time now at
  // the batch's first value and after any busy-byte wait of the process, a
  // batch ending at each publication (see PublishChanges). False, writing
  // nothing, without a section or when the key is absent; false and error
  // -19 when the shared item cannot be reached; false, writing nothing,
  // when the scaled value is no finite float (-22 on the first such value
  // after one that scaled well). Every kPublishEvery written values are
  // published at once (see PublishChanges).
  bool WriteValue(std::string_view prefix, std::int32_t deviceAddress, float value,
                  std::int32_t tagAddress);
  // As WriteValue, finding the variable with Find's hint.
  bool WriteValue(std::string_view prefix, std::int32_t deviceAddress, float value,
                  std::int32_t tagAddress, std::int32_t& hint);

  // Asks the caches for what WriteValue with this Find hint reads: the
  // variable at the hint and the shared row dmlIndex (its own, when the
  // hint is right). Changes nothing; any values are allowed.
  void Prefetch(std::int32_t hint, std::int32_t dmlIndex) const;

  // Bumps the shared table's change counter when values were written since
  // the last bump, so that the driver scans for them. Called after each
  // batch of values (a data change, a command's write).
  void PublishChanges();

  // Written values after which WriteValue publishes without waiting for
  // the end of its batch: a value block's worth, so that the driver can
  // pass a long batch on while it is still being decoded.
  static constexpr std::int32_t kPublishEvery = 1204;

 private:
  // Position of a key for Find, a cache over the sorted items: a hit is
  // checked against the item at that position, a miss is decided by the
  // bisection, and any disagreement rebuilds it.
  struct KeyHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view key) const { return std::hash<std::string_view>{}(key); }
  };
  using Positions = std::unordered_map<std::string, std::int32_t, KeyHash, std::equal_to<>>;
  void RebuildPositions() const;

  mutable Positions positions_;
  std::int32_t unpublished_ = 0;  // values written since the last bump
  platform::os::TDateTime batchTime_ = 0.0;  // time of the values since the last bump
  std::uint32_t batchWaits_ = 0;             // exchange::BusyWaits() when it was read
};

// One OPC item of a device.
struct TOPCVariableIndexItem {
  std::int32_t VariableId = -1;       // linked variable, -1 when none
  std::string ItemName;               // the OPC item id, whole
  std::string TagName = "---";        // linked variable's name, "---" when none
  std::string Prefix;                 // the device's prefix, at most 255 characters
  std::int32_t DeviceAddress = -1;
  std::int32_t TagAddress = -1;       // linked variable's address, -1 when none
  std::int32_t Precision = 0;
  std::uint32_t ServerHandle = 0;     // 0 before and after a refused add
  std::int32_t Quality = 0;           // 192 while the last value was good and passed on
  std::int32_t DmlIndex = -1;
  float Value = 0.0f;                 // last value passed on
  mutable std::int32_t VariableHint = -1;  // the variable index's Find hint for TagAddress
  std::unique_ptr<common::TOPCTagItem> Decoder;  // copy of the description element
};

// Quality of an item whose last value was good and passed on.
inline constexpr std::int32_t kGoodQuality = 192;

// Receiver of every accepted item value (the device window's decoding).
using TValueCallback = std::function<void(const TOPCVariableIndexItem&)>;

// The OPC items of one device, sorted by TagName in descending byte order;
// a name appears once, so of the items without a variable only the first
// is kept.
class TOPCVariableIndex
    : public common::TOwningList<TOPCVariableIndexItem, common::TSortedArray> {
 public:
  std::int32_t Compare(const void* key1, const void* key2) const override;
  const void* ItemKey(void* item) const override;

  // Empties the index and builds one item per opctag of the description
  // device tagListName, in file order, each linked to the variable
  // (prefix, deviceAddress, its hvaddress) of VariableIndex. Answers the
  // item count: 0 without DescriptionFile or VariableIndex, or when the
  // description has no such device.
  std::int32_t LoadDevice(std::string_view tagListName, std::string_view prefix,
                          std::int32_t precision, std::int32_t deviceAddress);

  // The item whose TagName equals name exactly, or nullptr.
  TOPCVariableIndexItem* FindByTagName(std::string_view name) const;
};

// Smallest change passed on for a precision (the low 16 bits of an item's
// Precision, signed): 10 to the minus precision for 0..8, 0 for any other.
float DeadbandForPrecision(std::int16_t precision);

}  // namespace server

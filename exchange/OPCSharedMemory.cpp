#include "exchange/OPCSharedMemory.h"

#include "platform/os/ByteFields.h"
#include "platform/os/Text.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>

namespace exchange {

namespace os = platform::os;

namespace {

// ---- field offsets inside the blocks

// Block 1
constexpr std::size_t kInfoDescription = 256;
constexpr std::size_t kInfoState = 512;
constexpr std::size_t kInfoPrefixList = 513;
constexpr std::size_t kInfoTransactionId = 769;

// Block 2
constexpr std::size_t kSlotsStart = 256;
constexpr std::size_t kSlotSize = 269;
constexpr std::size_t kSlotProcessId = 0;
constexpr std::size_t kSlotWindow = 4;
constexpr std::size_t kSlotReserved = 8;
constexpr std::size_t kSlotHeartbeat = 264;
constexpr std::size_t kSlotRunning = 268;
static_assert(kSlotsStart + kServerSlots * kSlotSize == kServerDataSize);

// Block 3
constexpr std::size_t kVarsCount = 256;
constexpr std::size_t kVarsReserved = 260;

// Block 4
constexpr std::size_t kErrSequence = 0;
constexpr std::size_t kErrBusy = 4;
constexpr std::size_t kErrCount = 8;
constexpr std::size_t kErrEntries = 16;
constexpr std::size_t kErrEntrySize = sizeof(TServerErrorEntry);

// Block 5
constexpr std::size_t kDynCount = 256;
constexpr std::size_t kDynItems = 260;
constexpr std::size_t kDynItemSize = sizeof(TDynemicItem);
static_assert(kDynItems + 256 * kDynItemSize == kDynemicVariablesSize);

// Block 6
constexpr std::size_t kCmdId = offsetof(TCommandBlock, Id);
constexpr std::size_t kCmdName = offsetof(TCommandBlock, Name);
constexpr std::size_t kCmdTime = offsetof(TCommandBlock, Time);
constexpr std::size_t kCmdCount = offsetof(TCommandBlock, Count);
constexpr std::size_t kCmdState = offsetof(TCommandBlock, State);
constexpr std::size_t kCmdCommands = offsetof(TCommandBlock, Commands);

// Blocks 7-9
constexpr std::size_t kTermCounter = 0;
constexpr std::size_t kTermOwner = 4;
constexpr std::size_t kTermBusy = 8;
constexpr std::size_t kTermReserved = 12;
constexpr std::size_t kTermReservedByte = 268;
constexpr std::size_t kTermReservedInt1 = 272;
constexpr std::size_t kTermReservedInt2 = 276;
constexpr std::size_t kTermText = 280;
static_assert(kTermText + kMaxTerminalText + 1 == kTerminalSize);

// Largest variable count whose section size still fits a 32-bit size.
constexpr std::int32_t kMaxVariables = static_cast<std::int32_t>(
    (std::numeric_limits<std::int32_t>::max() - SectionSize(0)) / kDMLVariableSize);

void WriteSignature(std::uint8_t* block) { os::StoreShortString(block, 0, BlockSignature); }

std::int32_t Bounded(std::int32_t value, std::int32_t high) {
  return std::clamp(value, std::int32_t{0}, high);
}

bool InRange(std::int32_t index, std::int32_t count) { return index >= 0 && index < count; }

// The change counter of block 3 sits at an unaligned offset, moved by
// one machine access (release, acquire). It is a hint: a read that mixes
// two counts only starts a walk that was not needed or leaves one to the
// reader's periodic walk, and the values are read guarded (ReadGuarded).

void StoreCounter(std::uint8_t* field, std::int32_t value) {
  os::SharedStoreU32(field, static_cast<std::uint32_t>(value));
}

std::int32_t LoadCounter(const std::uint8_t* field) { return static_cast<std::int32_t>(os::SharedLoadU32(field)); }

// A value guarded by its time (a variable of block 3, an item of block 5),
// both at any offset. The writer stores kWriting as the time, then the
// value, then a stamp above the last one. Stamps are finite, not negative
// and never have 0xFF as first byte, so no stamp shows the mark in either
// part of a time split at an aligned 8-byte word (ShowsMark). The reader
// reads the time whole (ReadTime), the value, and the time again; when
// both times are one stamp, no write began before the second read whose
// stamp was not yet there at the first: the value is whole.
constexpr std::uint64_t kWriting = ~std::uint64_t{0};  // a NaN
constexpr int kGuardedReadTries = 4;

bool ShowsMark(std::uint64_t time) { return (time & 0xFF) == 0xFF || (time >> 56) == 0xFF; }

// A time read whole, or kWriting. An unaligned time lies in two aligned
// words: the upper part is read before and after the lower one. Stamps only
// grow (as numbers and as bit patterns), so an upper part that stayed the
// same belongs to every stamp stored meanwhile, the lower part's too.
std::uint64_t ReadTime(const std::uint8_t* field) {
  const unsigned shift = reinterpret_cast<std::uintptr_t>(field) % 8;
  const std::uint8_t* low = field - shift;
  if (shift == 0) return os::SharedLoadAlignedU64(low);
  const std::uint64_t upperMask = (std::uint64_t{1} << (8 * shift)) - 1;
  const std::uint64_t upper = os::SharedLoadAlignedU64(low + 8) & upperMask;
  const std::uint64_t lower = os::SharedLoadAlignedU64(low) >> (8 * shift);
  if ((os::SharedLoadAlignedU64(low + 8) & upperMask) != upper) return kWriting;
  return lower | (upper << (64 - 8 * shift));
}

// The stamp of the next write after `last`: `time` (0 when negative or not
// finite) when above the last stamp, else the next double after it; then
// moved up past a first byte of 0xFF (by at most two steps of about 1 us).
std::uint64_t StampAfter(std::uint64_t last, TDateTime time) {
  double stamp = time > 0 && std::isfinite(time) ? time : 0.0;
  const double previous = std::bit_cast<double>(last);
  if (!ShowsMark(last) && !(stamp > previous)) stamp = std::nextafter(previous, std::numeric_limits<double>::infinity());
  while (ShowsMark(std::bit_cast<std::uint64_t>(stamp))) stamp = std::nextafter(stamp, std::numeric_limits<double>::infinity());
  return std::bit_cast<std::uint64_t>(stamp);
}

void WriteGuarded(std::uint8_t* value, std::uint8_t* time, float newValue, TDateTime newTime) {
  const std::uint64_t stamp = StampAfter(ReadTime(time), newTime);
  os::SharedStoreU64(time, kWriting);
  os::SharedStoreU32(value, std::bit_cast<std::uint32_t>(newValue));
  os::SharedStoreU64(time, stamp);
}

// A dynamic item has two writers, the driver and the server, and a write
// of one must not overlap one of the other: two value stores split alike
// would leave a value neither wrote under a stamp. A writer claims the item
// by moving its time's first byte from a stamp's (never 0xFF) to 0xFF with
// compare-and-swap, which also marks the time for readers; it stores the
// value and the stamp with 0xFF still as first byte, and ends the write by
// storing the stamp's first byte. Until then the first byte shows the mark
// in every part of a split time, so readers keep ReadGuarded as it is.
// A claim lasts a few stores. One held longer than LockTimeout is given up
// on (nothing written); one left by a writer that died stays until
// EndLeftoverWrites.
constexpr int kClaimYields = 64;  // tries that only yield before polls of 1 ms

// Claims `time` for one write; `first` gets the first byte it held. False
// when another writer held it for more than LockTimeout.
bool ClaimTime(std::uint8_t* time, std::uint8_t& first) {
  std::uint32_t start = 0;
  for (int tries = 0;; ++tries) {
    first = os::AtomicLoadByte(time);
    if (first != 0xFF && os::CompareExchangeByte(time, first, 0xFF)) return true;
    if (tries == 0) start = os::GetTickCount();
    if (os::TickDiff(os::GetTickCount(), start) > LockTimeout) return false;
    os::Sleep(tries < kClaimYields ? 0 : 1);
  }
}

// Stores `stamp` with the first byte, which ends a claim, last.
void ReleaseTime(std::uint8_t* time, std::uint64_t stamp) {
  os::SharedStoreU64(time, stamp | 0xFF);
  os::AtomicStoreByte(time, static_cast<std::uint8_t>(stamp));
}

// WriteGuarded for a value of two writers; false (nothing written) when
// the claim was not had.
bool WriteClaimed(std::uint8_t* value, std::uint8_t* time, float newValue, TDateTime newTime) {
  std::uint8_t first = 0;
  if (!ClaimTime(time, first)) return false;
  // Held: nothing else changes the time, and the last writer's stores are
  // all visible after the swap.
  const std::uint64_t last = (ReadTime(time) & ~std::uint64_t{0xFF}) | first;
  os::SharedStoreU32(value, std::bit_cast<std::uint32_t>(newValue));
  ReleaseTime(time, StampAfter(last, newTime));
  return true;
}

// False when a write stayed in progress over kGuardedReadTries reads.
bool ReadGuarded(const std::uint8_t* value, const std::uint8_t* time, float& readValue, TDateTime& readTime) {
  for (int i = 0; i < kGuardedReadTries; ++i) {
    const std::uint64_t before = ReadTime(time);
    const std::uint32_t bits = os::SharedLoadU32(value);
    const std::uint64_t after = ReadTime(time);
    if (before == after && !ShowsMark(before)) {
      readValue = std::bit_cast<float>(bits);
      readTime = std::bit_cast<double>(before);
      return true;
    }
  }
  return false;
}

constexpr std::size_t kValueField = offsetof(TDMLVariable, Value);
constexpr std::size_t kTimeField = offsetof(TDMLVariable, Time);
constexpr std::size_t kItemValue = offsetof(TDynemicItem, Value);
constexpr std::size_t kItemTime = offsetof(TDynemicItem, Time);

// Busy bytes found set, for BusyWaits.
std::atomic<std::uint32_t> gBusyWaits{0};

// Holds a busy byte of the section: takes it 0 -> 1 with compare-and-swap,
// polling every 5 ms, and gives up once more than LockTimeout milliseconds
// have passed. Releases it on every way out.
class BusyByte {
 public:
  explicit BusyByte(std::uint8_t* busy) : busy_(busy) {
    if (os::CompareExchangeByte(busy_, 0, 1)) {
      held_ = true;
      return;
    }
    gBusyWaits.fetch_add(1, std::memory_order_relaxed);
    const std::uint32_t start = os::GetTickCount();
    while (!os::CompareExchangeByte(busy_, 0, 1)) {
      os::Sleep(5);
      if (os::TickDiff(os::GetTickCount(), start) > LockTimeout) return;
    }
    held_ = true;
  }
  ~BusyByte() {
    if (held_) os::AtomicStoreByte(busy_, 0);
  }
  BusyByte(const BusyByte&) = delete;
  BusyByte& operator=(const BusyByte&) = delete;
  explicit operator bool() const { return held_; }

 private:
  std::uint8_t* busy_;
  bool held_ = false;
};

}  // namespace

std::uint32_t BusyWaits() { return gBusyWaits.load(std::memory_order_relaxed); }

// ---------------------------------------------------------------- records

std::int32_t TCommandBlock::CommandCount() const { return Bounded(Count, kMaxCommands); }

std::string ShortStringOf(const std::uint8_t (&field)[256]) { return os::LoadShortString(field, 0); }

void SetShortString(std::uint8_t (&field)[256], std::string_view text) {
  os::StoreShortString(field, 0, text);
}

// ---------------------------------------------------------------- block 1

void THalvorstenInfo::Attach(std::uint8_t* block, bool init) {
  block_ = block;
  if (!block_ || !init) return;
  WriteSignature(block_);
  os::StoreShortString(block_, kInfoDescription, "");
  block_[kInfoState] = 0;
  os::StoreShortString(block_, kInfoPrefixList, "");
}

void THalvorstenInfo::SetDescription(std::string_view text) {
  if (block_) os::StoreShortString(block_, kInfoDescription, text);
}

void THalvorstenInfo::SetPrefixList(std::string_view text) {
  if (block_) os::StoreShortString(block_, kInfoPrefixList, text);
}

void THalvorstenInfo::SetState(std::uint8_t state) {
  if (block_) block_[kInfoState] = state;
}

std::int32_t THalvorstenInfo::GetTransactionId() const {
  return block_ ? os::LoadInt32(block_, kInfoTransactionId) : 0;
}

void THalvorstenInfo::SetTransactionId(std::int32_t value) {
  if (block_) os::StoreInt32(block_, kInfoTransactionId, value);
}

std::string THalvorstenInfo::GetDescription() const {
  return block_ ? os::LoadShortString(block_, kInfoDescription) : std::string();
}

std::uint8_t THalvorstenInfo::GetState() const { return block_ ? block_[kInfoState] : 0; }

// ---------------------------------------------------------------- block 2

void TServerData::Attach(std::uint8_t* block, bool init) {
  block_ = block;
  if (!block_ || !init) return;
  WriteSignature(block_);
  for (std::int32_t i = 0; i < kServerSlots; ++i) {
    std::uint8_t* slot = block_ + kSlotsStart + kSlotSize * i;
    os::StoreInt32(slot, kSlotProcessId, 0);
    os::StoreInt32(slot, kSlotWindow, 0);
    os::StoreShortString(slot, kSlotReserved, "");
    os::StoreInt32(slot, kSlotHeartbeat, 0);
    slot[kSlotRunning] = 0;
  }
}

std::int32_t TServerData::GetProcessId(std::int32_t i) const {
  if (!block_ || !InRange(i, kServerSlots)) return 0;
  return os::LoadInt32(block_, kSlotsStart + kSlotSize * i + kSlotProcessId);
}

std::int32_t TServerData::GetWindowHandle(std::int32_t i) const {
  if (!block_ || !InRange(i, kServerSlots)) return 0;
  return os::LoadInt32(block_, kSlotsStart + kSlotSize * i + kSlotWindow);
}

std::uint8_t* TServerData::OwnSlot() const {
  if (!block_ || !InRange(ServerIndex, kServerSlots)) return nullptr;
  return block_ + kSlotsStart + kSlotSize * ServerIndex;
}

void TServerData::SetOwnProcessId(std::int32_t value) {
  if (std::uint8_t* slot = OwnSlot()) os::StoreInt32(slot, kSlotProcessId, value);
}

void TServerData::SetOwnWindowHandle(std::int32_t value) {
  if (std::uint8_t* slot = OwnSlot()) os::StoreInt32(slot, kSlotWindow, value);
}

void TServerData::SetOwnRunning(bool flag) {
  if (std::uint8_t* slot = OwnSlot()) slot[kSlotRunning] = flag ? 1 : 0;
}

void TServerData::SetOwnHeartbeat(std::int32_t value) {
  if (std::uint8_t* slot = OwnSlot()) os::StoreInt32(slot, kSlotHeartbeat, value);
}

std::int32_t TServerData::GetOwnProcessId() const {
  const std::uint8_t* slot = OwnSlot();
  return slot ? os::LoadInt32(slot, kSlotProcessId) : 0;
}

std::int32_t TServerData::GetOwnWindowHandle() const {
  const std::uint8_t* slot = OwnSlot();
  return slot ? os::LoadInt32(slot, kSlotWindow) : 0;
}

std::int32_t TServerData::GetOwnHeartbeat() const {
  const std::uint8_t* slot = OwnSlot();
  return slot ? os::LoadInt32(slot, kSlotHeartbeat) : 0;
}

// ---------------------------------------------------------------- block 3

std::size_t TDMLVariablesList::BlockSize() const {
  if (capacity_ >= 0) return kDMLVariablesHeader + kDMLVariableSize * capacity_;
  if (block_) return kDMLVariablesHeader + kDMLVariableSize * Count();
  return 0;
}

void TDMLVariablesList::Attach(std::uint8_t* block, bool init, std::size_t room) {
  block_ = nullptr;
  limit_ = 0;
  if (!block || room < kDMLVariablesHeader) return;
  const std::size_t fits = (room - kDMLVariablesHeader) / kDMLVariableSize;
  limit_ = static_cast<std::int32_t>(std::min<std::size_t>(fits, kMaxVariables));
  if (capacity_ >= 0) limit_ = std::min(limit_, capacity_);
  block_ = block;
  WriteSignature(block_);
  StoreCounter(block_ + kVarsReserved, -1);
  if (init) os::StoreInt32(block_, kVarsCount, 0);
}

std::int32_t TDMLVariablesList::Count() const {
  return block_ ? Bounded(os::LoadInt32(block_, kVarsCount), limit_) : 0;
}

bool TDMLVariablesList::Add(const TVLVariableInfo& info) {
  if (!block_ || capacity_ < 0) return false;
  const std::int32_t count = Count();
  if (count >= limit_) return false;
  TDMLVariable variable{};
  variable.Value = info.InitialValue;
  variable.SentValue = info.InitialValue;
  variable.Time = std::bit_cast<TDateTime>(StampAfter(kWriting, os::Now()));
  variable.Info = info;
  std::memcpy(block_ + kDMLVariablesHeader + kDMLVariableSize * count, &variable, sizeof variable);
  os::StoreInt32(block_, kVarsCount, count + 1);
  return true;
}

std::uint8_t* TDMLVariablesList::ItemPtr(std::int32_t index) const {
  if (!block_ || !InRange(index, Count())) return nullptr;
  return block_ + kDMLVariablesHeader + kDMLVariableSize * index;
}

bool TDMLVariablesList::GetItem(std::int32_t index, TDMLVariable& out) const {
  const std::uint8_t* item = ItemPtr(index);
  if (!item) return false;
  std::memcpy(&out, item, sizeof out);
  return true;
}

std::int32_t TDMLVariablesList::NextChangedRow(std::int32_t from) const {
  const std::int32_t count = Count();
  if (from < 0) from = 0;
  if (from >= count) return -1;
  const std::uint8_t* item = block_ + kDMLVariablesHeader + kDMLVariableSize * static_cast<std::size_t>(from);
  for (std::int32_t i = from; i < count; ++i, item += kDMLVariableSize) {
    const auto current = std::bit_cast<float>(os::SharedLoadU32(item + kValueField));
    const float sent = os::LoadSingle(item, offsetof(TDMLVariable, SentValue));
    if (!(current == sent)) return i;
  }
  return -1;
}

bool TDMLVariablesList::ReadValue(const std::uint8_t* item, float& value) {
  TDateTime time = 0;
  return ReadGuarded(item + kValueField, item + kTimeField, value, time);
}

bool TDMLVariablesList::SetSentValue(std::int32_t index, float value) {
  std::uint8_t* item = ItemPtr(index);
  if (!item) return false;
  os::StoreSingle(item, offsetof(TDMLVariable, SentValue), value);
  return true;
}

bool TDMLVariablesList::SetValue(std::int32_t index, float value, TDateTime time) {
  std::uint8_t* item = ItemPtr(index);
  if (!item) return false;
  WriteGuarded(item + kValueField, item + kTimeField, value, time);
  return true;
}

void TDMLVariablesList::EndLeftoverWrite(std::uint8_t* item, TDateTime time) {
  if (ShowsMark(ReadTime(item + kTimeField))) os::SharedStoreU64(item + kTimeField, StampAfter(kWriting, time));
}

void TDMLVariablesList::BumpChangeCounter() {
  if (!block_) return;
  const std::int32_t now = LoadCounter(block_ + kVarsReserved);
  StoreCounter(block_ + kVarsReserved, now == std::numeric_limits<std::int32_t>::max() ? 0 : now + 1);
}

std::int32_t TDMLVariablesList::ChangeCounter() const {
  return block_ ? LoadCounter(block_ + kVarsReserved) : 0;
}

// ---------------------------------------------------------------- block 5

void TDynemicVariablesList::Attach(std::uint8_t* block) {
  block_ = block;
  if (!block_ || !init_) return;
  std::memset(block_, 0, kDynemicVariablesSize);
  WriteSignature(block_);
}

std::int32_t TDynemicVariablesList::Count() const {
  return block_ ? Bounded(os::LoadInt32(block_, kDynCount), kMaxDynemicVariables) : 0;
}

bool TDynemicVariablesList::AddOrUpdate(std::string_view name, bool updateOnly, float value,
                                        TDateTime time) {
  if (!block_) return false;
  // Cut like the stored name, so that a long name finds its own entry.
  std::string key = os::AnsiUpperCase(os::Trim(name));
  if (key.size() > 255) key.resize(255);
  const std::int32_t count = Count();
  for (std::int32_t i = 0; i < count; ++i) {
    std::uint8_t* item = block_ + kDynItems + kDynItemSize * i;
    if (os::LoadShortString(item, 0) != key) continue;
    return WriteClaimed(item + kItemValue, item + kItemTime, value, time);
  }
  if (updateOnly || count >= kMaxDynemicVariables) return false;
  std::uint8_t* item = block_ + kDynItems + kDynItemSize * count;
  os::StoreShortString(item, 0, key);
  if (!WriteClaimed(item + kItemValue, item + kItemTime, value, time)) return false;
  os::StoreInt32(item, offsetof(TDynemicItem, Info), -1);
  os::StoreInt32(block_, kDynCount, count + 1);
  return true;
}

void TDynemicVariablesList::EndLeftoverWrites(TDateTime time) {
  const std::int32_t count = Count();
  for (std::int32_t i = 0; i < count; ++i) {
    std::uint8_t* field = block_ + kDynItems + kDynItemSize * i + kItemTime;
    const std::uint64_t left = ReadTime(field);
    // The claimed first byte stood for at most 0xFE: the next stamp lies
    // above the largest the time can have been.
    if (ShowsMark(left)) ReleaseTime(field, StampAfter(left & ~std::uint64_t{1}, time));
  }
}

bool TDynemicVariablesList::GetItem(std::int32_t index, TDynemicItem& out) const {
  if (!block_ || !InRange(index, Count())) return false;
  const std::uint8_t* item = block_ + kDynItems + kDynItemSize * index;
  float value = 0;
  TDateTime time = 0;
  if (!ReadGuarded(item + kItemValue, item + kItemTime, value, time)) return false;
  out.Value = value;
  out.Time = time;
  // Name and Info: only the driver writes them, and it is the reader.
  std::memcpy(out.Name, item, sizeof out.Name);
  std::memcpy(&out.Info, item + offsetof(TDynemicItem, Info), sizeof out.Info);
  return true;
}

bool TDynemicVariablesList::SetItem(std::int32_t index, const TDynemicItem& item) {
  if (!block_ || !InRange(index, Count())) return false;
  std::memcpy(block_ + kDynItems + kDynItemSize * index + offsetof(TDynemicItem, Info), &item.Info,
              sizeof item.Info);
  return true;
}

// ---------------------------------------------------------------- block 6

void TCommandsList::Attach(std::uint8_t* block) {
  block_ = block;
  if (block_ && init_) Reset();
}

// Everything but the state byte, which only moves atomically.
void TCommandsList::ClearFields() {
  std::memset(block_, 0, kCmdState);
  std::memset(block_ + kCmdState + 1, 0, kCommandsListSize - kCmdState - 1);
  WriteSignature(block_);
  os::StoreInt32(block_, kCmdId, -1);
  os::StoreDouble(block_, kCmdTime, os::Now());
}

bool TCommandsList::Reset() {
  if (!block_) return false;
  ClearFields();
  os::AtomicStoreByte(block_ + kCmdState, 0);
  return true;
}

bool TCommandsList::Add(const TSharedCommand& command) {
  if (!block_) return false;
  const std::int32_t count = os::LoadInt32(block_, kCmdCount);
  if (count < 0 || count > kMaxCommands - 1) return false;
  std::memcpy(block_ + kCmdCommands + sizeof(TSharedCommand) * count, &command, sizeof command);
  os::StoreInt32(block_, kCmdCount, count + 1);
  return true;
}

bool TCommandsList::Commit() {
  if (!block_) return false;
  if (Count() < 1) {
    Reset();
    return false;
  }
  os::StoreDouble(block_, kCmdTime, os::Now());
  os::AtomicStoreByte(block_ + kCmdState, 1);
  return true;
}

std::int32_t TCommandsList::Count() const {
  return block_ ? Bounded(os::LoadInt32(block_, kCmdCount), kMaxCommands) : 0;
}

std::int32_t TCommandsList::GetId() const { return block_ ? os::LoadInt32(block_, kCmdId) : -1; }

void TCommandsList::SetId(std::int32_t id) {
  if (block_) os::StoreInt32(block_, kCmdId, id);
}

std::string TCommandsList::GetName() const {
  return block_ ? os::AnsiUpperCase(os::LoadShortString(block_, kCmdName)) : std::string();
}

void TCommandsList::SetName(std::string_view text) {
  if (block_) os::StoreShortString(block_, kCmdName, text);
}

std::uint8_t TCommandsList::GetReady() const {
  return block_ ? os::AtomicLoadByte(block_ + kCmdState) : 0;
}

void TCommandsList::SetReady(std::uint8_t state) {
  if (block_) os::AtomicStoreByte(block_ + kCmdState, state);
}

TDateTime TCommandsList::GetTime() const {
  return block_ ? os::LoadDouble(block_, kCmdTime) : os::Now();
}

bool TCommandsList::CopyBlock(TCommandBlock& out) const {
  if (!block_) {
    std::memset(&out, 0, sizeof out);
    return false;
  }
  std::memcpy(&out, block_, sizeof out);
  return true;
}

bool TCommandsList::TakeBlock(std::int32_t deviceAddress, std::string_view prefix,
                              TCommandBlock& out) {
  auto discard = [&out] {
    std::memset(&out, 0, sizeof out);
    return false;
  };
  if (!CopyBlock(out)) return false;
  if (out.State != 1 || out.Count < 1 || out.Count > kMaxCommands || out.Id != deviceAddress ||
      !os::SameText(ShortStringOf(out.Name), prefix)) {
    return discard();
  }
  std::uint8_t* state = block_ + kCmdState;
  if (!os::CompareExchangeByte(state, 1, 2)) return discard();
  // While the state is 2 only the driver's time-out touches the block, and
  // it moves the state first. A copy that differs from the block now was
  // torn by a reset and refill during the copy: give the batch back.
  const bool same = std::memcmp(&out, block_, kCmdState) == 0 &&
                    std::memcmp(reinterpret_cast<const std::uint8_t*>(&out) + kCmdState + 1,
                                block_ + kCmdState + 1, kCommandsListSize - kCmdState - 1) == 0;
  if (!same) {
    os::CompareExchangeByte(state, 2, 1);
    return discard();
  }
  out.State = 2;
  return true;
}

bool TCommandsList::MarkDone() {
  return block_ && os::CompareExchangeByte(block_ + kCmdState, 2, 3);
}

bool TCommandsList::ResetFrom(std::uint8_t seenState) {
  if (!block_ || seenState == 0) return false;
  if (!os::CompareExchangeByte(block_ + kCmdState, seenState, 0)) return false;
  ClearFields();
  return true;
}

// ---------------------------------------------------------------- block 4

void TServerErrorList::Attach(std::uint8_t* block, bool init) {
  block_ = block;
  if (!block_ || !init) return;
  os::StoreInt32(block_, kErrSequence, 0);
  os::AtomicStoreByte(block_ + kErrBusy, 0);
  os::StoreInt32(block_, kErrCount, 0);
}

std::int32_t TServerErrorList::Count() const {
  return block_ ? Bounded(os::LoadInt32(block_, kErrCount), kMaxErrors) : 0;
}

bool TServerErrorList::Clear() {
  if (!block_) return false;
  BusyByte busy(block_ + kErrBusy);
  if (!busy) return false;
  os::StoreInt32(block_, kErrCount, 0);
  os::StoreInt32(block_, kErrSequence, 0);
  return true;
}

bool TServerErrorList::CopyOut(TServerErrorBlock& out, bool clear) {
  std::memset(&out, 0, sizeof out);
  if (!block_) return false;
  BusyByte busy(block_ + kErrBusy);
  if (!busy) return false;
  const std::int32_t count = Count();
  out.Sequence = os::LoadInt32(block_, kErrSequence);
  out.Count = count;
  std::memcpy(out.Entries, block_ + kErrEntries, kErrEntrySize * count);
  if (clear) {
    os::StoreInt32(block_, kErrCount, 0);
    os::StoreInt32(block_, kErrSequence, 0);
  }
  return true;
}

bool TServerErrorList::Add(std::int32_t code, std::string_view text) {
  if (!block_) return false;
  BusyByte busy(block_ + kErrBusy);
  if (!busy) return false;
  const std::int32_t count = os::LoadInt32(block_, kErrCount);
  if (count < 0 || count >= kMaxErrors) return false;
  os::StoreInt32(block_, kErrSequence, NextCounter(os::LoadInt32(block_, kErrSequence)));
  TServerErrorEntry entry{};
  entry.Code = code;
  entry.Time = os::Now();
  SetShortString(entry.Text, text);
  std::memcpy(block_ + kErrEntries + kErrEntrySize * count, &entry, sizeof entry);
  os::StoreInt32(block_, kErrCount, count + 1);
  return true;
}

void TServerErrorList::ClearBusy() {
  if (block_) os::AtomicStoreByte(block_ + kErrBusy, 0);
}

// ---------------------------------------------------------------- blocks 7-9

void TTerminalClass::Attach(std::uint8_t* block, bool init) {
  block_ = block;
  if (!block_ || !init) return;
  os::StoreInt32(block_, kTermCounter, 0);
  os::StoreInt32(block_, kTermOwner, -1);
  os::AtomicStoreByte(block_ + kTermBusy, 0);
  os::StoreShortString(block_, kTermReserved, "");
  block_[kTermReservedByte] = 0;
  os::StoreInt32(block_, kTermReservedInt1, 0);
  os::StoreInt32(block_, kTermReservedInt2, 0);
  block_[kTermText] = 0;
}

bool TTerminalClass::WriteText(std::string_view text) {
  if (!block_ || text.size() > kMaxTerminalText) return false;
  BusyByte busy(block_ + kTermBusy);
  if (!busy) return false;
  if (!text.empty()) std::memcpy(block_ + kTermText, text.data(), text.size());
  block_[kTermText + text.size()] = 0;
  os::StoreInt32(block_, kTermCounter, NextTerminalCounter(os::LoadInt32(block_, kTermCounter)));
  return true;
}

std::string TTerminalClass::ReadText() const {
  std::string text;
  std::int32_t counter = 0;
  return TryReadText(text, counter) ? text : std::string();
}

bool TTerminalClass::TryReadText(std::string& text, std::int32_t& counter) const {
  if (!block_) return false;
  BusyByte busy(block_ + kTermBusy);
  if (!busy) return false;
  text = os::LoadCString(block_, kTermText, kMaxTerminalText);
  counter = os::LoadInt32(block_, kTermCounter);
  return true;
}

std::int32_t TTerminalClass::GetOwnerId() const {
  return block_ ? os::LoadInt32(block_, kTermOwner) : -1;
}

void TTerminalClass::SetOwnerId(std::int32_t id) {
  if (block_) os::StoreInt32(block_, kTermOwner, id);
}

std::int32_t TTerminalClass::GetCounter() const {
  return block_ ? os::LoadInt32(block_, kTermCounter) : 0;
}

void TTerminalClass::ClearBusy() {
  if (block_) os::AtomicStoreByte(block_ + kTermBusy, 0);
}

// ---------------------------------------------------------------- owner

std::unique_ptr<TIntercomInterface> TIntercomInterface::Create(std::string_view name,
                                                                std::int32_t variableCount) {
  std::unique_ptr<TIntercomInterface> owner(new TIntercomInterface());
  const bool sane = variableCount >= 0 && variableCount <= kMaxVariables;
  owner->MakeAccessors(sane ? variableCount : 0, true);
  if (!sane) return owner;
  const std::size_t dmlSize = owner->dmlVariables_->BlockSize();
  if (owner->CreateMapping(name, SectionSize(variableCount)) != nullptr) {
    owner->AttachAll(true, dmlSize);
  }
  return owner;
}

std::unique_ptr<TIntercomInterface> TIntercomInterface::Open(std::string_view name) {
  std::unique_ptr<TIntercomInterface> owner(new TIntercomInterface());
  std::uint8_t* view = owner->OpenMapping(name);
  if (view == nullptr) return owner;
  // The blocks placed from block 3's stored Count must end exactly at the
  // section's end; otherwise the two sides would disagree on every later
  // block, and the server stays out.
  const std::size_t size = owner->ViewSize();
  const std::size_t block3 = kHalvorstenInfoSize + kServerDataSize;
  if (size < SectionSize(0)) {
    owner->CloseMapping();
    return owner;
  }
  const std::int32_t stored = os::LoadInt32(view, block3 + kVarsCount);
  if (stored < 0 || stored > kMaxVariables ||
      SectionSize(static_cast<std::size_t>(stored)) != size) {
    owner->CloseMapping();
    return owner;
  }
  owner->MakeAccessors(-1, false);
  owner->AttachAll(false, kDMLVariablesHeader + kDMLVariableSize * stored);
  return owner;
}

TIntercomInterface::~TIntercomInterface() { CloseMapping(); }

void TIntercomInterface::MakeAccessors(std::int32_t variableCapacity, bool init) {
  halvorstenInfo_ = std::make_unique<THalvorstenInfo>();
  serverData_ = std::make_unique<TServerData>();
  dmlVariables_ = std::make_unique<TDMLVariablesList>(variableCapacity);
  dynemicVariables_ = std::make_unique<TDynemicVariablesList>(init);
  commands_ = std::make_unique<TCommandsList>(init);
  serverErrors_ = std::make_unique<TServerErrorList>();
  terminal1_ = std::make_unique<TTerminalClass>();
  terminal2_ = std::make_unique<TTerminalClass>();
  terminal3_ = std::make_unique<TTerminalClass>();
}

// Attaches the blocks in section order at their running offsets; block 3
// gets `variablesRoom` bytes, which its size follows.
void TIntercomInterface::AttachAll(bool init, std::size_t variablesRoom) {
  std::uint8_t* at = section_.Data();
  halvorstenInfo_->Attach(at, init);
  at += THalvorstenInfo::BlockSize();
  serverData_->Attach(at, init);
  at += TServerData::BlockSize();
  dmlVariables_->Attach(at, init, variablesRoom);
  at += dmlVariables_->BlockSize();
  serverErrors_->Attach(at, init);
  at += TServerErrorList::BlockSize();
  dynemicVariables_->Attach(at);
  at += TDynemicVariablesList::BlockSize();
  commands_->Attach(at);
  at += TCommandsList::BlockSize();
  terminal1_->Attach(at, init);
  at += TTerminalClass::BlockSize();
  terminal2_->Attach(at, init);
  at += TTerminalClass::BlockSize();
  terminal3_->Attach(at, init);
}

void TIntercomInterface::DetachAll() {
  if (halvorstenInfo_) halvorstenInfo_->Attach(nullptr, false);
  if (serverData_) serverData_->Attach(nullptr, false);
  if (dmlVariables_) dmlVariables_->Attach(nullptr, false, 0);
  if (serverErrors_) serverErrors_->Attach(nullptr, false);
  if (dynemicVariables_) dynemicVariables_->Attach(nullptr);
  if (commands_) commands_->Attach(nullptr);
  for (TTerminalClass* terminal : {terminal1_.get(), terminal2_.get(), terminal3_.get()}) {
    if (terminal) terminal->Attach(nullptr, false);
  }
}

std::uint8_t* TIntercomInterface::CreateMapping(std::string_view name, std::size_t size) {
  CloseMapping();
  if (section_.Create(name, size) != os::SectionCreateResult::Created) return nullptr;
  return section_.Data();
}

std::uint8_t* TIntercomInterface::OpenMapping(std::string_view name) {
  CloseMapping();
  return section_.Open(name) ? section_.Data() : nullptr;
}

bool TIntercomInterface::CloseMapping() {
  DetachAll();
  section_.Close();
  return true;
}

}  // namespace exchange

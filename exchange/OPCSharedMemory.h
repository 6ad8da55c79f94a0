#pragma once
// The section shared by the driver and the server, its nine blocks and the
// accessor class of each block. The driver creates the section and
// initialises every block; the server opens it and attaches without
// initialising.
//
// Blocks, in this order and without gaps (N = driver variables):
//   1 driver info       773           at 0
//   2 server slots      8864          at 773
//   3 driver variables  264 + 777 N   at 9637
//   4 server error list 27488         at 9901 + 777 N
//   5 dynamic variables 263684        at 37389 + 777 N
//   6 command batch     9584          at 301073 + 777 N
//   7-9 terminals       56816 each    at 310657, 367473, 424289 + 777 N
// Total 481105 + 777 N bytes. Fields are packed little-endian.
//
// Every accessor answers neutral values (0, -1, empty, false) and writes
// nothing while detached. Counts and texts written by the other process are
// bounded before use. The error list and the terminals are guarded by a busy
// byte taken with compare-and-swap, a dynamic item by a claim on its time's
// first byte taken the same way; the command batch is handed over by its
// state byte, moved with compare-and-swap.
//
// Threads: an accessor object is used by one thread at a time within its
// process (the driver thread, or the server's main thread); the exceptions
// are named at the operation.

#include "exchange/ComonDef.h"
#include "exchange/HostRecords.h"
#include "platform/os/SharedSection.h"
#include "platform/os/Time.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace exchange {

using platform::os::TDateTime;

// Name of the section.
inline constexpr std::string_view kSectionName = "Ferrowikc_V30.dat";

// Every signed block begins with this text as a length-prefixed string.
inline constexpr std::string_view BlockSignature = "Halvorsten";

// Block sizes.
inline constexpr std::size_t kHalvorstenInfoSize = 773;
inline constexpr std::size_t kServerDataSize = 8864;
inline constexpr std::size_t kDMLVariablesHeader = 264;
inline constexpr std::size_t kDMLVariableSize = 777;
inline constexpr std::size_t kServerErrorListSize = 27488;
inline constexpr std::size_t kDynemicVariablesSize = 263684;
inline constexpr std::size_t kCommandsListSize = 9584;
inline constexpr std::size_t kTerminalSize = 56816;

// Section size for N stored driver variables.
constexpr std::size_t SectionSize(std::size_t variables) {
  return kHalvorstenInfoSize + kServerDataSize + kDMLVariablesHeader +
         kDMLVariableSize * variables + kServerErrorListSize + kDynemicVariablesSize +
         kCommandsListSize + 3 * kTerminalSize;
}
static_assert(SectionSize(0) == 481105);

// Bounds of the lists.
inline constexpr std::int32_t kServerSlots = 32;
inline constexpr std::int32_t kMaxErrors = 100;
inline constexpr std::int32_t kMaxDynemicVariables = 255;
inline constexpr std::int32_t kMaxCommands = 17;
inline constexpr std::size_t kMaxTerminalText = 56535;

// Next value of a counter that wraps after 65535: 0 follows 65535, any
// smaller value (a negative one too) goes up by 1 (driver transaction id,
// error sequence).
constexpr std::int32_t NextCounter(std::int32_t value) { return value >= 65535 ? 0 : value + 1; }

// Next value of a terminal's change counter: as NextCounter, with a
// negative value counted as 0 first.
constexpr std::int32_t NextTerminalCounter(std::int32_t value) { return NextCounter(value < 0 ? 0 : value); }

// Next value of the server heartbeat: value + 1 while the value is at most
// 65535, then 0 (it runs one step further than NextCounter).
constexpr std::int32_t NextHeartbeat(std::int32_t value) {
  return value <= 65535 ? value + 1 : 0;
}

// ---------------------------------------------------------------- records

#pragma pack(push, 1)

// One write command of a batch.
struct TSharedCommand {
  std::int32_t Id;              // kernel variable Id
  std::uint8_t Prefix[256];     // length-prefixed prefix of the routing string
  std::int32_t DeviceNumber;    // DEVICE=n
  std::int32_t Address;         // ADDRESS=m
  std::uint8_t Text[256];       // length-prefixed, always written empty
  float Value;                  // first value word of the write request
  float Value2;                 // second value word
};
static_assert(sizeof(TSharedCommand) == 532);
static_assert(offsetof(TSharedCommand, DeviceNumber) == 260);
static_assert(offsetof(TSharedCommand, Text) == 268);
static_assert(offsetof(TSharedCommand, Value) == 524);

// A copy of the whole command batch block.
struct TCommandBlock {
  std::uint8_t Signature[256];
  std::int32_t Id;              // device number; -1 after a reset
  std::uint8_t Name[256];       // length-prefixed device prefix
  std::uint8_t Unused516[4];
  double Time;                  // last reset or commit
  std::int32_t Count;           // as stored; read it through CommandCount
  std::uint8_t State;           // 0 free, 1 committed, 2 taken, 3 done
  std::uint8_t Unused533[3];
  TSharedCommand Commands[17];
  std::uint8_t Unused9580[4];

  // Count bounded to 0..17.
  std::int32_t CommandCount() const;
};
static_assert(sizeof(TCommandBlock) == kCommandsListSize);
static_assert(offsetof(TCommandBlock, Time) == 520);
static_assert(offsetof(TCommandBlock, Count) == 528);
static_assert(offsetof(TCommandBlock, State) == 532);
static_assert(offsetof(TCommandBlock, Commands) == 536);

// One driver variable of block 3.
struct TDMLVariable {
  float Value;                  // current value, written by the server
  float SentValue;              // value last passed to the kernel
  double Time;                  // time of the current value
  TVLVariableInfo Info;         // the kernel's record
};
static_assert(sizeof(TDMLVariable) == kDMLVariableSize);
static_assert(offsetof(TDMLVariable, Info) == 16);

// One dynamic variable of block 5.
struct TDynemicItem {
  std::uint8_t Name[256];       // length-prefixed, trimmed and upper case
  float Value;
  double Time;
  TVLVariableInfo Info;         // Info.Id: -1 unresolved, -100 unknown to the kernel
};
static_assert(sizeof(TDynemicItem) == 1029);
static_assert(offsetof(TDynemicItem, Value) == 256);
static_assert(offsetof(TDynemicItem, Time) == 260);
static_assert(offsetof(TDynemicItem, Info) == 268);

// One entry of the server error list.
struct TServerErrorEntry {
  std::int32_t Code;
  std::uint8_t Unused4[4];
  double Time;
  std::uint8_t Text[256];       // length-prefixed message
};
static_assert(sizeof(TServerErrorEntry) == 272);

// A copy of the whole error list block, as CopyOut fills it.
struct TServerErrorBlock {
  std::int32_t Sequence;
  std::uint8_t Busy;
  std::uint8_t Unused5[3];
  std::int32_t Count;           // 0..100 in a copy made by CopyOut
  std::uint8_t Unused12[4];
  TServerErrorEntry Entries[101];
};
static_assert(sizeof(TServerErrorBlock) == kServerErrorListSize);
static_assert(offsetof(TServerErrorBlock, Count) == 8);
static_assert(offsetof(TServerErrorBlock, Entries) == 16);

#pragma pack(pop)

// Text of a length-prefixed field of a record, and storing one (cut to its
// first 255 characters).
std::string ShortStringOf(const std::uint8_t (&field)[256]);
void SetShortString(std::uint8_t (&field)[256], std::string_view text);

// ---------------------------------------------------------------- blocks

// Block 1: the driver's description, state, prefix list and heartbeat.
class THalvorstenInfo {
 public:
  static constexpr std::size_t BlockSize() { return kHalvorstenInfoSize; }
  // Stores the pointer (nullptr detaches); with init, writes the signature,
  // empty description, state 0 and empty prefix list.
  void Attach(std::uint8_t* block, bool init);
  std::uint8_t* Block() const { return block_; }

  // Driver side. Texts are cut to their first 255 characters.
  void SetDescription(std::string_view text);
  void SetPrefixList(std::string_view text);
  void SetState(std::uint8_t state);
  // The driver thread's heartbeat; 0 when detached.
  std::int32_t GetTransactionId() const;
  void SetTransactionId(std::int32_t value);

  // Server side: "" and 0 when detached.
  std::string GetDescription() const;
  std::uint8_t GetState() const;

 private:
  std::uint8_t* block_ = nullptr;
};

// Block 2: 32 server slots. Own-slot operations act on slot ServerIndex and
// do nothing (or answer 0) when it is outside 0..31.
class TServerData {
 public:
  static constexpr std::size_t BlockSize() { return kServerDataSize; }
  // With init, writes the signature and empties every slot.
  void Attach(std::uint8_t* block, bool init);
  std::uint8_t* Block() const { return block_; }

  // Field of slot i; 0 when detached or i is outside 0..31.
  std::int32_t GetProcessId(std::int32_t i) const;
  std::int32_t GetWindowHandle(std::int32_t i) const;

  void SetOwnProcessId(std::int32_t value);
  void SetOwnWindowHandle(std::int32_t value);
  void SetOwnRunning(bool flag);
  void SetOwnHeartbeat(std::int32_t value);
  std::int32_t GetOwnProcessId() const;
  std::int32_t GetOwnWindowHandle() const;
  std::int32_t GetOwnHeartbeat() const;

 private:
  std::uint8_t* OwnSlot() const;
  std::uint8_t* block_ = nullptr;
};

// Block 3: the driver's static variables.
class TDMLVariablesList {
 public:
  // The driver passes its number of records; the server -1 (the block then
  // takes its size from its stored Count).
  explicit TDMLVariablesList(std::int32_t capacity) : capacity_(capacity) {}

  // capacity >= 0: 264 + 777 x capacity; otherwise 264 + 777 x Count while
  // attached, 0 when detached.
  std::size_t BlockSize() const;
  // `room`: bytes of the mapping from `block` on that this block may use;
  // Count never reaches past it. Writes the signature and -1 at offset 260
  // on every attach; with init also Count 0. Nothing attaches when the room
  // is smaller than the header.
  void Attach(std::uint8_t* block, bool init, std::size_t room);
  std::uint8_t* Block() const { return block_; }

  // Records stored, bounded to what the block holds; 0 when detached.
  std::int32_t Count() const;
  // Driver: appends the kernel's record with its initial value as current
  // and last-passed value and time now. False when detached or full.
  bool Add(const TVLVariableInfo& info);
  // Copies variable index; false when detached or index is outside 0..Count-1.
  bool GetItem(std::int32_t index, TDMLVariable& out) const;
  // Driver: the first variable at or after from whose current value
  // differs from the last-passed one (a NaN always differs), or -1 when
  // there is none or the block is detached. Reads the two values of each
  // row in place, when it comes to the row; a read that meets a write may
  // take a changed row for unchanged, and the bump ending that write's
  // batch brings the walk back to it.
  std::int32_t NextChangedRow(std::int32_t from) const;
  // Driver: the current value of a variable (item as ItemPtr gave it, not
  // null) as one write of the server left it, never half of one, at any
  // offset on any x86-64 processor. False when a write of the server
  // stayed in progress over a few reads (its batch's bump follows), or a
  // server died in the middle of one (until a server writes the row or
  // EndLeftoverWrite).
  static bool ReadValue(const std::uint8_t* item, float& value);
  // Driver: value last passed to the kernel. False as GetItem.
  bool SetSentValue(std::int32_t index, float value);
  // Server: current value and its time. The time guards the value (see
  // ReadValue) and never goes back: a time not above the row's last becomes
  // the next one above it (a time is also moved up by a step or two of
  // about 1 us when its first byte would be 0xFF). False as GetItem.
  bool SetValue(std::int32_t index, float value, TDateTime time);
  // Server, on attach: a variable (item as ItemPtr gave it, not null) whose
  // time still holds the mark of a write that never ended (its server died
  // within it) gets `time`, so the value that write left is read again.
  // Only while no other server writes the table.
  static void EndLeftoverWrite(std::uint8_t* item, TDateTime time);
  // The variable in place (777 bytes); nullptr as GetItem.
  std::uint8_t* ItemPtr(std::int32_t index) const;

  // The change counter, the int32 at offset 260 that every attach sets to
  // -1. The server bumps it after a batch of SetValue calls; the driver
  // reads it before a scan. Bump: +1, INT32_MAX is followed by 0; the
  // SetValue stores before it are visible to a reader that sees the new
  // count. A hint: a read may mix two counts, which costs a walk or leaves
  // one to the periodic walk. 0 (Bump: nothing) when detached.
  // Bump: server's main thread; read: driver thread.
  void BumpChangeCounter();
  std::int32_t ChangeCounter() const;

 private:
  std::int32_t capacity_;
  std::int32_t limit_ = 0;  // records the attached block has room for
  std::uint8_t* block_ = nullptr;
};

// Block 5: up to 255 variables known by name.
class TDynemicVariablesList {
 public:
  // init: the driver passes true, the server false.
  explicit TDynemicVariablesList(bool init) : init_(init) {}
  static constexpr std::size_t BlockSize() { return kDynemicVariablesSize; }
  // With the init flag, zero-fills the block and writes the signature.
  void Attach(std::uint8_t* block);
  std::uint8_t* Block() const { return block_; }

  // Items in use, bounded to 0..255; 0 when detached.
  std::int32_t Count() const;
  // Stores value and time into the item named name (trimmed, upper case by
  // CP1251 rules, cut to 255 bytes); appends such an item (kernel Id -1)
  // when none matches, unless updateOnly or 255 items are in use. The time
  // guards the value as a variable's does (TDMLVariablesList::SetValue),
  // and one writer at a time has the item: a write waits for the other
  // side's to end. False when detached or nothing was stored (also when
  // the other side held the item for more than LockTimeout). Driver (may
  // append) and server (updateOnly).
  bool AddOrUpdate(std::string_view name, bool updateOnly, float value, TDateTime time);
  // Driver, while no server can write the table: ends the writes that a
  // server which died left holding an item, giving the item `time` (moved
  // above its last), so that its value is read and the item written again.
  void EndLeftoverWrites(TDateTime time);
  // Driver: copies item index, its value and time as one write left them.
  // False when detached, index is outside 0..Count-1, or a write stayed in
  // progress over a few reads.
  bool GetItem(std::int32_t index, TDynemicItem& out) const;
  // Stores item.Info into item index (name, value, time stay). False as GetItem.
  bool SetItem(std::int32_t index, const TDynemicItem& item);

 private:
  bool init_;
  std::uint8_t* block_ = nullptr;
};

// Block 6: one batch of up to 17 commands for one device, handed over by
// its state: 0 free (driver fills), 1 committed, 2 taken by the server,
// 3 done.
class TCommandsList {
 public:
  // init: the driver passes true, the server false.
  explicit TCommandsList(bool init) : init_(init) {}
  static constexpr std::size_t BlockSize() { return kCommandsListSize; }
  // With the init flag, Reset.
  void Attach(std::uint8_t* block);
  std::uint8_t* Block() const { return block_; }

  // Zero-fills the block; signature, state 0, id -1, time now. False when
  // detached.
  bool Reset();
  // Driver: appends a command; false (nothing stored) when detached or the
  // stored Count is outside 0..16.
  bool Add(const TSharedCommand& command);
  // Driver: time now and state 1. False when detached; with no command,
  // Reset and false.
  bool Commit();

  // Commands stored, bounded to 0..17; 0 when detached.
  std::int32_t Count() const;
  std::int32_t GetId() const;      // -1 when detached
  void SetId(std::int32_t id);
  std::string GetName() const;     // upper case; "" when detached
  void SetName(std::string_view text);
  std::uint8_t GetReady() const;   // the state; 0 when detached
  void SetReady(std::uint8_t state);
  TDateTime GetTime() const;       // now when detached

  // Server: copies the whole block; zeros and false when detached.
  bool CopyBlock(TCommandBlock& out) const;

  // Server: takes the committed batch for the device with this number and
  // prefix (compared without case): copies the block, checks the copy
  // (state 1, 1..17 commands, id and name), moves the state 1 -> 2 and makes
  // sure the block still equals the copy. False, with `out` zeroed and the
  // block left to the driver, when any step fails.
  bool TakeBlock(std::int32_t deviceAddress, std::string_view prefix, TCommandBlock& out);
  // Server: marks the taken batch done (2 -> 3 only); false otherwise.
  bool MarkDone();
  // Driver: frees the block from the state it saw (3 when done, 1 or 2 on a
  // time-out): moves that state to 0 first, then clears the rest as Reset.
  // False, touching nothing, when the state changed meanwhile.
  bool ResetFrom(std::uint8_t seenState);

 private:
  void ClearFields();
  bool init_;
  std::uint8_t* block_ = nullptr;
};

// Waits of this process for a busy byte (blocks 4, 7-9) that found it set,
// counted since the start (wrapping): a time read before the count moved
// may be up to LockTimeout old. Any thread.
std::uint32_t BusyWaits();

// Block 4: the server's errors, up to 100 entries, under the busy byte.
class TServerErrorList {
 public:
  static constexpr std::size_t BlockSize() { return kServerErrorListSize; }
  // With init: counter 0, busy byte 0, Count 0.
  void Attach(std::uint8_t* block, bool init);
  std::uint8_t* Block() const { return block_; }

  // Entries in use, bounded to 0..100, read without the busy byte; 0 when
  // detached.
  std::int32_t Count() const;
  // Count and counter 0. False when detached or the busy byte stayed set
  // for more than LockTimeout.
  bool Clear();
  // Zero-fills out, then copies the counter, Count (at most 100) and the
  // entries under the busy byte; with clear, empties the list before
  // releasing it. False (out all zero) when detached or the busy byte could
  // not be had.
  bool CopyOut(TServerErrorBlock& out, bool clear);
  // Server: appends (code, now, text cut to 255 characters) and advances
  // the counter. Dropped (false) when detached, when the stored Count is
  // outside 0..99, or when the busy byte could not be had.
  bool Add(std::int32_t code, std::string_view text);
  // Releases a busy byte left set by a holder that died. Only when no other
  // process can hold it.
  void ClearBusy();

 private:
  std::uint8_t* block_ = nullptr;
};

// Blocks 7-9: a text terminal under the busy byte.
class TTerminalClass {
 public:
  static constexpr std::size_t BlockSize() { return kTerminalSize; }
  // With init: counter 0, busy byte 0, owner -1, empty text, reserved
  // fields emptied.
  void Attach(std::uint8_t* block, bool init);
  std::uint8_t* Block() const { return block_; }

  // Stores a text of at most 56535 characters and advances the change
  // counter. False, changing nothing, when detached, when the text is
  // longer, or when the busy byte could not be had within LockTimeout.
  bool WriteText(std::string_view text);
  // The text (at most 56535 characters); "" when detached or the busy byte
  // could not be had.
  std::string ReadText() const;
  // The text and the change counter it was written with, both taken under
  // the busy byte. False, leaving both untouched, when detached or the busy
  // byte could not be had within LockTimeout.
  bool TryReadText(std::string& text, std::int32_t& counter) const;
  std::int32_t GetOwnerId() const;   // -1 when detached
  void SetOwnerId(std::int32_t id);
  std::int32_t GetCounter() const;   // 0 when detached
  // Releases a busy byte left set by a holder that died. Only when no other
  // process can hold it.
  void ClearBusy();

 private:
  std::uint8_t* block_ = nullptr;
};

// ---------------------------------------------------------------- owner

// Maps the section and holds one accessor object per block.
class TIntercomInterface {
 public:
  // Driver: creates the section for variableCount records and attaches
  // every block with init. When the section exists already (a live holder)
  // or cannot be made, the owner stays detached with detached accessors.
  static std::unique_ptr<TIntercomInterface> Create(std::string_view name,
                                                    std::int32_t variableCount);
  // Server: opens the existing section and attaches without init. Detached,
  // with no accessor objects, when there is none, when it cannot be mapped,
  // or when its blocks do not end exactly at its size.
  static std::unique_ptr<TIntercomInterface> Open(std::string_view name);

  ~TIntercomInterface();
  TIntercomInterface(const TIntercomInterface&) = delete;
  TIntercomInterface& operator=(const TIntercomInterface&) = delete;

  // Maps a new section of `size` bytes; nullptr when it exists already or
  // fails. Closes an earlier mapping first.
  std::uint8_t* CreateMapping(std::string_view name, std::size_t size);
  // Maps the whole existing section; nullptr when there is none.
  std::uint8_t* OpenMapping(std::string_view name);
  // Detaches every accessor, then unmaps and releases the section. True.
  bool CloseMapping();
  bool IsAttached() const { return section_.IsOpen(); }
  // Server: true while the driver that created the section still holds it
  // (its process lives and has not closed it); false when detached. Any
  // thread.
  bool DriverHolds() const { return section_.CreatorHolds(); }
  std::uint8_t* View() const { return section_.Data(); }
  std::size_t ViewSize() const { return section_.Size(); }

  // The accessor objects; nullptr on the server side when detached.
  THalvorstenInfo* HalvorstenInfo() const { return halvorstenInfo_.get(); }
  TServerData* ServerData() const { return serverData_.get(); }
  TDMLVariablesList* DMLVariables() const { return dmlVariables_.get(); }
  TDynemicVariablesList* DynemicVariables() const { return dynemicVariables_.get(); }
  TCommandsList* Commands() const { return commands_.get(); }
  TServerErrorList* ServerErrors() const { return serverErrors_.get(); }
  TTerminalClass* Terminal1() const { return terminal1_.get(); }
  TTerminalClass* Terminal2() const { return terminal2_.get(); }
  TTerminalClass* Terminal3() const { return terminal3_.get(); }

 private:
  TIntercomInterface() = default;
  void MakeAccessors(std::int32_t variableCapacity, bool init);
  void AttachAll(bool init, std::size_t variablesRoom);
  void DetachAll();

  platform::os::SharedSection section_;
  std::unique_ptr<THalvorstenInfo> halvorstenInfo_;
  std::unique_ptr<TServerData> serverData_;
  std::unique_ptr<TDMLVariablesList> dmlVariables_;
  std::unique_ptr<TDynemicVariablesList> dynemicVariables_;
  std::unique_ptr<TCommandsList> commands_;
  std::unique_ptr<TServerErrorList> serverErrors_;
  std::unique_ptr<TTerminalClass> terminal1_;
  std::unique_ptr<TTerminalClass> terminal2_;
  std::unique_ptr<TTerminalClass> terminal3_;
};

}  // namespace exchange

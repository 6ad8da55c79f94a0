#include "driver/ReceivedBuffer.h"

#include "driver/DrvLog.h"
#include "exchange/OPCSharedMemory.h"
#include "platform/os/ByteFields.h"
#include "platform/win/MessageLoop.h"

#include <cmath>
#include <cstddef>
#include <cstring>
#include <utility>

namespace driver {

namespace {

// The fields of a shared variable that the static scan reads.
struct ScanRow {
  int32_t Id = 0;
  float Value = 0, SentValue = 0, Deadband = 0, LowLimit = 0, HighLimit = 0;
};

// Reads them in place (a whole row is 777 bytes); false when the row cannot
// be reached or its value is being written.
bool ReadScanRow(const exchange::TDMLVariablesList& table, int32_t index, ScanRow& row) {
  using exchange::TDMLVariable;
  using exchange::TVLVariableInfo;
  const uint8_t* item = table.ItemPtr(index);
  if (item == nullptr || !exchange::TDMLVariablesList::ReadValue(item, row.Value)) return false;
  constexpr size_t info = offsetof(TDMLVariable, Info);
  row.Id = platform::os::LoadInt32(item, info + offsetof(TVLVariableInfo, Id));
  row.SentValue = platform::os::LoadSingle(item, offsetof(TDMLVariable, SentValue));
  row.Deadband = platform::os::LoadSingle(item, info + offsetof(TVLVariableInfo, Deadband));
  row.LowLimit = platform::os::LoadSingle(item, info + offsetof(TVLVariableInfo, LowLimit));
  row.HighLimit = platform::os::LoadSingle(item, info + offsetof(TVLVariableInfo, HighLimit));
  return true;
}

// A server writes a delivery's rows in runs, and the limits of a row lie
// on other cache lines than its values: a changed row asks the caches for
// the limits of the row kLimitsAhead further on, which the walk is likely
// to read soon.
constexpr int32_t kLimitsAhead = 8;

void PrefetchLimits(const exchange::TDMLVariablesList& table, int32_t index) {
  using exchange::TDMLVariable;
  using exchange::TVLVariableInfo;
  constexpr size_t first = offsetof(TDMLVariable, Info) + offsetof(TVLVariableInfo, LowLimit);
  constexpr size_t last = offsetof(TDMLVariable, Info) + offsetof(TVLVariableInfo, Deadband) + sizeof(float) - 1;
  if (const uint8_t* item = table.ItemPtr(index)) {
    __builtin_prefetch(item + first);
    __builtin_prefetch(item + last);
  }
}

}  // namespace

// Holds busy_ for one operation, released on every way out.
class TReceivedBuffer::Hold {
 public:
  explicit Hold(TReceivedBuffer& owner) : owner_(owner), held_(owner.Acquire()) {}
  ~Hold() {
    if (held_) owner_.busy_ = false;
  }
  Hold(const Hold&) = delete;
  Hold& operator=(const Hold&) = delete;
  explicit operator bool() const { return held_; }

 private:
  TReceivedBuffer& owner_;
  bool held_;
};

TReceivedBuffer::TReceivedBuffer(HostWindowHandle hostWindow, int32_t messageId, int32_t blockId,
                                 TBaseErrorClass* log)
    : hostWindow_(hostWindow), messageId_(messageId), blockId_(blockId), log_(log),
      block_(std::make_unique<TDrvValueBlock>()), rowOf_(std::make_unique<int32_t[]>(Capacity)) {
  std::memset(block_.get(), 0, sizeof(TDrvValueBlock));
  Reset();
}

void TReceivedBuffer::SetBlockId(int32_t id) {
  blockId_ = id;
  block_->BlockId = id;
}

bool TReceivedBuffer::Acquire() {
  // The clock is read only for a wait: every value passed on comes here.
  if (busy_) {
    const uint32_t start = platform::os::GetTickCount();
    while (busy_) {
      platform::os::Sleep(5);
      platform::win::ProcessMessages();
      if (platform::os::TickDiff(platform::os::GetTickCount(), start) >= LockWaitMs) return false;
    }
  }
  busy_ = true;
  return true;
}

bool TReceivedBuffer::Put(int32_t id, float value) { return PutRecord(id, value, kNoRow); }

bool TReceivedBuffer::PutRecord(int32_t id, float value, int32_t row) {
  const Hold hold(*this);
  if (!hold) return false;
  const platform::os::KernelDateTime stamp = platform::os::KernelNow();
  TDrvValueRecord record{id, value, value, static_cast<int32_t>(stamp.Time), stamp.Date};
  if (!Append(record, row)) return false;
  if (row == kNoRow) {
    idMarks_.Put(id);
  } else {
    rowMarks_.Put(row);
  }
  return true;
}

bool TReceivedBuffer::Append(const TDrvValueRecord& record, int32_t row) {
  if (block_->Count >= Capacity) MakeRoom();
  if (block_->Count >= Capacity) return false;
  block_->Records[block_->Count] = record;
  rowOf_[block_->Count] = row;
  ++block_->Count;
  return true;
}

void TReceivedBuffer::MakeRoom() {
  Log("Critical section proc");
  if (SendToHost()) return;
  if (DropCount < Capacity) {
    DropOldest(DropCount);
  } else {
    Log("Buffer overflow");
    DropOldest(block_->Count);
  }
}

// Marks where the oldest records came from, then moves the rest to the front.
void TReceivedBuffer::DropOldest(int32_t count) {
  for (int32_t i = 0; i < count; ++i) {
    if (rowOf_[i] == kNoRow) {
      idMarks_.Dropped(block_->Records[i].Id);
    } else {
      rowMarks_.Dropped(rowOf_[i]);
    }
  }
  const auto kept = static_cast<size_t>(block_->Count - count);
  std::memmove(&block_->Records[0], &block_->Records[count], sizeof(TDrvValueRecord) * kept);
  std::memmove(&rowOf_[0], &rowOf_[count], sizeof(int32_t) * kept);
  block_->Count -= count;
}

bool TReceivedBuffer::SendToHost() {
  if (hostWindow_ == 0 || messageId_ <= 0) return false;
  const platform::win::LRESULT answer =
      platform::win::SendMessage(hostWindow_, static_cast<platform::win::UINT>(messageId_), ValueBlockCode,
                                 reinterpret_cast<platform::win::LPARAM>(block_.get()));
  if (answer != ValueBlockCode) return false;
  Reset();
  rowMarks_.Accepted();
  idMarks_.Accepted();
  return true;
}

bool TReceivedBuffer::Flush() {
  const Hold hold(*this);
  if (!hold) return false;
  if (block_->Count == 0) return true;
  if (hostWindow_ == 0 || messageId_ <= 0) {
    // Window and message never change after initialisation: say it once.
    if (!invalidTargetLogged_) Log("Invalid message ID or HostWindow");
    invalidTargetLogged_ = true;
    Reset();
    return true;
  }
  return SendToHost();
}

void TReceivedBuffer::Reset() {
  block_->BlockId = blockId_;
  block_->Count = 0;
}

void TReceivedBuffer::Log(const char* text) {
  if (log_ != nullptr) log_->Log(0, text);
}

bool TReceivedBuffer::ScanStaticTags(exchange::TDMLVariablesList& table, int32_t serverProcess) {
  if (rowMarks_.AnyDue()) PutDroppedRows(table);
  // Read before the walk: a bump during the walk makes the next call walk.
  const int32_t counter = table.ChangeCounter();
  const uint32_t now = platform::os::GetTickCount();
  if (!WalkDue(counter, serverProcess, now)) return true;
  // No count until the walk ends: one that an exception cuts short leaves
  // the next call walking.
  scannedCounter_.reset();
  scannedServer_ = serverProcess;
  lastWalkTick_ = now;
  rowsLeftUnsent_ = false;
  Walk(table);
  scannedCounter_ = counter;
  return true;
}

// The counter alone can miss a change: a restarted server counts up again
// from -1 and may meet the last count while this thread waits in a send.
// A new server process and the periodic walk catch what it missed.
bool TReceivedBuffer::WalkDue(int32_t counter, int32_t serverProcess, uint32_t now) const {
  return scannedCounter_ != counter || rowsLeftUnsent_ || serverProcess != scannedServer_ ||
         platform::os::TickDiff(now, lastWalkTick_) >= FullWalkIntervalMs;
}

// The kernel holds an older value of such a row than its SentValue, so the
// current one goes whatever the deadband says. A row being written, or one
// the buffer refuses, stays due; a row the table no longer has is
// forgotten.
void TReceivedBuffer::PutDroppedRows(exchange::TDMLVariablesList& table) {
  for (const int32_t i : rowMarks_.DueSources()) {
    ScanRow row;
    if (table.ItemPtr(i) == nullptr) {
      rowMarks_.Put(i);
    } else if (ReadScanRow(table, i, row) && PutRecord(row.Id, row.Value, i)) {
      table.SetSentValue(i, row.Value);
    }
  }
}

void TReceivedBuffer::Walk(exchange::TDMLVariablesList& table) {
  // Each row is read when the walk comes to it, so a walk that follows the
  // server's writes passes on what they wrote before it got there. A row
  // whose write is still in progress is skipped: the bump that ends the
  // write's batch brings the walk back to it.
  for (int32_t i = table.NextChangedRow(0); i >= 0; i = table.NextChangedRow(i + 1)) {
    PrefetchLimits(table, i + kLimitsAhead);
    ScanRow row;
    if (!ReadScanRow(table, i, row)) continue;
    const float current = row.Value;
    const float d = std::fabs(current - row.SentValue);
    const bool changed = d > 0.0f;
    const bool passes = d >= row.Deadband || current <= row.LowLimit || current >= row.HighLimit;
    if (!changed || !passes) continue;
    if (PutRecord(row.Id, current, i)) {
      table.SetSentValue(i, current);
    } else {
      rowsLeftUnsent_ = true;
      Log("Variable buffer overflow or locked.");
    }
  }
}

}  // namespace driver

#pragma once
// Values on their way to the kernel: records collected in one value block
// and sent to the kernel window with SendMessage (wParam 2002, lParam the
// block); the kernel accepts a block by answering 2002. The static scan
// finds the shared variables the server changed enough and puts them here.

#include "driver/DrvTypes.h"
#include "platform/os/Time.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <unordered_set>
#include <vector>

namespace exchange {
class TDMLVariablesList;
}

namespace driver {

class TBaseErrorClass;

class TReceivedBuffer {
 public:
  static constexpr int32_t Capacity = ValueBlockCapacity;
  // Oldest records dropped when a full block cannot be sent.
  static constexpr int32_t DropCount = 100;
  // Longest wait for the buffer while it is busy.
  static constexpr uint32_t LockWaitMs = 3000;

  // An empty block with header (blockId, 0). log may be nullptr.
  TReceivedBuffer(HostWindowHandle hostWindow, int32_t messageId, int32_t blockId, TBaseErrorClass* log);
  TReceivedBuffer(const TReceivedBuffer&) = delete;
  TReceivedBuffer& operator=(const TReceivedBuffer&) = delete;

  void SetBlockId(int32_t id);
  int32_t Count() const { return block_->Count; }
  const TDrvValueBlock& Block() const { return *block_; }

  // Appends (id, value, value, time and date of now); a full block is sent
  // first, or loses its oldest 100 records when the kernel refuses it.
  // False when the buffer stayed busy for LockWaitMs.
  bool Put(int32_t id, float value);

  // True when a record Put was given for id was dropped to make room and
  // the kernel has accepted a block since: the value of id is to be put
  // again (the dynamic tags do). A later record of id ends it.
  bool MustPutAgain(int32_t id) const { return idMarks_.Due(id); }

  // Sends what the block holds. True with nothing to send, when the kernel
  // accepted, and when the kernel window or message is invalid (the block
  // is then emptied; that is logged once per buffer). False when the
  // kernel refused (the records stay) or the buffer stayed busy.
  bool Flush();

  // Puts every row of the table whose value changed (by at least its
  // deadband, or to or beyond a limit) and marks it sent; a row that cannot
  // be put is logged and tried again next time. The table is walked when
  // its change counter moved since the last whole walk, when that walk left
  // a row unsent or did not end, when serverProcess (slot 0's process) is
  // another, on the first call, and at least every FullWalkIntervalMs
  // whatever the counter says. A row whose record was dropped to make room
  // is put again with its current value, whatever it moved by, on the
  // first call after the kernel accepted a block. True.
  bool ScanStaticTags(exchange::TDMLVariablesList& table, int32_t serverProcess);
  static constexpr uint32_t FullWalkIntervalMs = 1000;

  // All of these: the driver thread only.

 private:
  class Hold;

  // Where records dropped to make room came from: rows of the table, or
  // the ids Put was given. A mark waits for the kernel to accept a block,
  // then is due; a later record of its source ends it. Empty unless the
  // kernel refused full blocks.
  class TDropMarks {
   public:
    void Dropped(int32_t source) {
      due_.erase(source);
      waiting_.insert(source);
    }
    void Put(int32_t source) {
      if (!waiting_.empty()) waiting_.erase(source);
      if (!due_.empty()) due_.erase(source);
    }
    // The kernel accepted a block: every mark is due.
    void Accepted() {
      due_.merge(waiting_);
      waiting_.clear();
    }
    bool Due(int32_t source) const { return !due_.empty() && due_.contains(source); }
    bool AnyDue() const { return !due_.empty(); }
    std::vector<int32_t> DueSources() const { return {due_.begin(), due_.end()}; }

   private:
    std::unordered_set<int32_t> waiting_, due_;
  };

  static constexpr int32_t kNoRow = -1;
  bool Acquire();
  bool PutRecord(int32_t id, float value, int32_t row);
  bool Append(const TDrvValueRecord& record, int32_t row);
  void MakeRoom();
  void DropOldest(int32_t count);
  void PutDroppedRows(exchange::TDMLVariablesList& table);
  bool SendToHost();
  void Reset();
  void Log(const char* text);
  bool WalkDue(int32_t counter, int32_t serverProcess, uint32_t now) const;
  void Walk(exchange::TDMLVariablesList& table);

  const HostWindowHandle hostWindow_;
  const int32_t messageId_;
  int32_t blockId_;
  TBaseErrorClass* log_;
  std::unique_ptr<TDrvValueBlock> block_;
  std::unique_ptr<int32_t[]> rowOf_;  // the row of each record, kNoRow from Put
  TDropMarks rowMarks_, idMarks_;
  bool busy_ = false;  // guards re-entry while a wait handles messages
  bool invalidTargetLogged_ = false;
  // The static scan: the change counter its last whole walk began with
  // (none before the first and during a walk), slot 0's process and the
  // tick at that walk's start, and whether it left a row unsent.
  std::optional<int32_t> scannedCounter_;
  int32_t scannedServer_ = 0;
  uint32_t lastWalkTick_ = 0;
  bool rowsLeftUnsent_ = false;
};

}  // namespace driver

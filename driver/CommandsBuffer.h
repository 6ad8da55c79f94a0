#pragma once
// Write requests of the kernel, queued as commands that carry what the
// server needs to find the device and the item, and handed to the server
// one batch per device through the section's command batch.

#include "common/TArray.h"
#include "driver/DrvTypes.h"

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>

namespace exchange {
class TCommandsList;
}

namespace driver {

class TDRVVariableList;

struct TQueuedCommand {
  int32_t Id = 0;
  std::string Prefix;       // of the tag
  int32_t DeviceNumber = -1;
  int32_t Address = -1;
  float Value = 0;          // the four words of the write record after its Id
  uint32_t Value2 = 0;
  uint32_t Word3 = 0;
  uint32_t Word4 = 0;
};

// Commands waiting for the server, oldest first, under one lock: the
// kernel's thread adds, the driver thread moves them to the section.
class TCommandsBuffer {
 public:
  // At most this many commands may wait when a block arrives; more are
  // dropped before the block's own are queued.
  static constexpr int32_t MaxWaiting = 10;

  enum class AddResult { Queued, UnknownId, LockTimeout };

  // variables: where the tags are looked up (not owned, must outlive).
  explicit TCommandsBuffer(const TDRVVariableList& variables) : variables_(variables) {}

  // Queues one command per record of the block's own Count (a negative
  // Count queues nothing). Waits at most `wait` for the lock: LockTimeout
  // then, nothing queued. UnknownId when some record's Id has no tag; the
  // other records are still queued. The block holds Count records of 20
  // bytes after its header. Kernel's thread.
  AddResult AddBlock(const TDrvWriteBlock* block, std::chrono::milliseconds wait);

  // Moves the oldest commands that share the oldest one's device number
  // (at most 17) into the batch and sets its id and name; the caller
  // commits. False (nothing moved) when the batch is not free and empty,
  // or nothing waits (the batch is then reset). Driver thread.
  bool MoveToShared(exchange::TCommandsList& batch);

  int32_t Count() const;
  void Clear();
  // The command at index (a copy), false outside 0..Count-1. For the state
  // window and tests.
  bool Get(int32_t index, TQueuedCommand& out) const;

 private:
  using Queue = common::TOwningList<TQueuedCommand, common::TBaseArray>;

  const TDRVVariableList& variables_;
  // Taken by polling try_lock: a timed lock would wait on a clock the
  // thread checker cannot follow.
  bool TryLockFor(std::chrono::milliseconds wait);

  mutable std::mutex lock_;
  Queue queue_;
};

}  // namespace driver

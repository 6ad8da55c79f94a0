#include "driver/CommandsBuffer.h"

#include "driver/TagTables.h"
#include "exchange/OPCSharedMemory.h"

#include <cstring>
#include <memory>
#include <thread>

namespace driver {

bool TCommandsBuffer::TryLockFor(std::chrono::milliseconds wait) {
  const auto deadline = std::chrono::steady_clock::now() + wait;
  while (!lock_.try_lock()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

TCommandsBuffer::AddResult TCommandsBuffer::AddBlock(const TDrvWriteBlock* block, std::chrono::milliseconds wait) {
  if (!TryLockFor(wait)) return AddResult::LockTimeout;
  std::unique_lock guard(lock_, std::adopt_lock);
  if (queue_.Count() > MaxWaiting) queue_.FreeAll();
  if (block == nullptr) return AddResult::Queued;
  AddResult result = AddResult::Queued;
  const auto* records = reinterpret_cast<const uint8_t*>(block) + sizeof(TDrvWriteBlock);
  for (int32_t i = 0; i < block->Count; ++i) {
    TDrvWriteRecord record;
    std::memcpy(&record, records + sizeof(TDrvWriteRecord) * static_cast<size_t>(i), sizeof record);
    const TDRVVariable* tag = variables_.FindById(record.Id);
    if (tag == nullptr) {
      result = AddResult::UnknownId;
      continue;
    }
    auto command = std::make_unique<TQueuedCommand>();
    command->Id = record.Id;
    command->Prefix = tag->Prefix;
    command->DeviceNumber = tag->DeviceNumber;
    command->Address = tag->Address;
    command->Value = record.Value;
    command->Value2 = record.Value2;
    command->Word3 = record.Word3;
    command->Word4 = record.Word4;
    queue_.Add(command.release());
  }
  return result;
}

bool TCommandsBuffer::MoveToShared(exchange::TCommandsList& batch) {
  std::lock_guard guard(lock_);
  if (batch.GetReady() != 0 || batch.Count() != 0) return false;
  int32_t device = -1;
  std::string name;
  bool moved = false;
  while (queue_.Count() > 0) {
    const TQueuedCommand& c = *queue_.At(0);
    if (!moved) {
      device = c.DeviceNumber;
      name = c.Prefix;
    } else if (c.DeviceNumber != device) {
      break;
    }
    exchange::TSharedCommand shared;
    std::memset(&shared, 0, sizeof shared);
    shared.Id = c.Id;
    exchange::SetShortString(shared.Prefix, c.Prefix);
    shared.DeviceNumber = c.DeviceNumber;
    shared.Address = c.Address;
    shared.Value = c.Value;
    std::memcpy(&shared.Value2, &c.Value2, sizeof shared.Value2);
    if (!batch.Add(shared)) break;
    moved = true;
    queue_.FreeAt(0);
    if (batch.Count() > exchange::kMaxCommands - 1) break;
  }
  if (!moved) {
    batch.Reset();
    return false;
  }
  batch.SetId(device);
  batch.SetName(name);
  return true;
}

int32_t TCommandsBuffer::Count() const {
  std::lock_guard guard(lock_);
  return queue_.Count();
}

void TCommandsBuffer::Clear() {
  std::lock_guard guard(lock_);
  queue_.FreeAll();
}

bool TCommandsBuffer::Get(int32_t index, TQueuedCommand& out) const {
  std::lock_guard guard(lock_);
  const TQueuedCommand* c = queue_.At(index);
  if (c == nullptr) return false;
  out = *c;
  return true;
}

}  // namespace driver


#include "peers/kernel/SectionView.h"

#include "exchange/OPCSharedMemory.h"
#include "platform/os/ByteFields.h"

namespace kernel {

namespace {

// Slot 0 of the server slots: after the block's signature.
constexpr size_t kSlot0 = 256;
constexpr size_t kSlotHeartbeat = 264;
constexpr size_t kSlotRunning = 268;

std::string Pair(int64_t a, int64_t b) { return std::to_string(a) + "/" + std::to_string(b); }

}  // namespace

std::string DescribeDriverSection() {
  const auto section = exchange::TIntercomInterface::Open(exchange::kSectionName);
  if (!section || !section->IsAttached()) return "section none";
  const exchange::TServerData& slots = *section->ServerData();
  const uint8_t* slot0 = slots.Block() + kSlot0;
  const exchange::TCommandsList& batch = *section->Commands();
  return "section state=" + std::to_string(section->HalvorstenInfo()->GetState()) +
         " heartbeat=" + std::to_string(section->HalvorstenInfo()->GetTransactionId()) +
         " vars=" + std::to_string(section->DMLVariables()->Count()) +
         " dyn=" + std::to_string(section->DynemicVariables()->Count()) +
         " errors=" + std::to_string(section->ServerErrors()->Count()) +
         " batch=" + std::to_string(batch.GetReady()) + "/" + Pair(batch.GetId(), batch.Count()) +
         " slot0=" + Pair(slots.GetProcessId(0), static_cast<uint32_t>(slots.GetWindowHandle(0))) + "/" +
         Pair(slot0[kSlotRunning], platform::os::LoadInt32(slot0, kSlotHeartbeat)) +
         " t1=" + Pair(section->Terminal1()->GetCounter(), section->Terminal1()->GetOwnerId()) +
         " t2=" + Pair(section->Terminal2()->GetCounter(), section->Terminal2()->GetOwnerId());
}

}  // namespace kernel

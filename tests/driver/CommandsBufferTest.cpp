#include "driver/CommandsBuffer.h"

#include "DriverTestSupport.h"
#include "driver/TagTables.h"
#include "exchange/OPCSharedMemory.h"

#include <atomic>
#include <thread>

namespace {

using driver::TCommandsBuffer;
using drvtest::Var;
using AddResult = TCommandsBuffer::AddResult;
using namespace std::chrono_literals;

// A write block of records (id, value, value2) in its kernel layout.
std::vector<uint8_t> Block(const std::vector<driver::TDrvWriteRecord>& records, int32_t count) {
  std::vector<uint8_t> bytes(sizeof(driver::TDrvWriteBlock) + sizeof(driver::TDrvWriteRecord) * records.size());
  const driver::TDrvWriteBlock header{0, count};
  std::memcpy(bytes.data(), &header, sizeof header);
  if (!records.empty()) {
    std::memcpy(bytes.data() + sizeof header, records.data(), sizeof(driver::TDrvWriteRecord) * records.size());
  }
  return bytes;
}

std::vector<uint8_t> Block(const std::vector<int32_t>& ids) {
  std::vector<driver::TDrvWriteRecord> records;
  for (int32_t id : ids) records.push_back({id, static_cast<float>(id) / 2, 0x11223344u, 5u, 6u});
  return Block(records, static_cast<int32_t>(records.size()));
}

const driver::TDrvWriteBlock* AsBlock(const std::vector<uint8_t>& bytes) {
  return reinterpret_cast<const driver::TDrvWriteBlock*>(bytes.data());
}

class CommandsBuffer : public ::testing::Test {
 protected:
  void SetUp() override {
    auto& model = kernel::KernelModel::Instance();
    model.Reset();
    const int32_t opc = model.AddDomain("OPC");
    // Ids 11..14 on device 1, 21..22 on device 2, 31..50 on device 3.
    for (int32_t i = 1; i <= 4; ++i) model.AddVariable(opc, Var(10 + i, "D1_" + std::to_string(i), "OPC:DEVICE=1;ADDRESS=" + std::to_string(i)));
    for (int32_t i = 1; i <= 2; ++i) model.AddVariable(opc, Var(20 + i, "D2_" + std::to_string(i), "OPC:DEVICE=2;ADDRESS=" + std::to_string(i)));
    for (int32_t i = 1; i <= 20; ++i) model.AddVariable(opc, Var(30 + i, "D3_" + std::to_string(i), "OPC:DEVICE=3;ADDRESS=" + std::to_string(i)));
    ASSERT_TRUE(variables_.LoadDomain("OPC"));
    batch_.Attach(batchBytes_.data());
  }
  void TearDown() override { kernel::KernelModel::Instance().Reset(); }

  std::vector<int32_t> BatchIds() const {
    std::vector<int32_t> ids;
    exchange::TCommandBlock copy;
    batch_.CopyBlock(copy);
    for (int32_t i = 0; i < copy.CommandCount(); ++i) ids.push_back(copy.Commands[i].Id);
    return ids;
  }

  driver::TDRVVariableList variables_;
  TCommandsBuffer buffer_{variables_};
  std::vector<uint8_t> batchBytes_ = std::vector<uint8_t>(exchange::kCommandsListSize);
  exchange::TCommandsList batch_{true};
};

TEST_F(CommandsBuffer, UnknownIdsAreSkippedTheRestQueued) {
  const auto block = Block({11, 999, 21});
  EXPECT_EQ(buffer_.AddBlock(AsBlock(block), 1s), AddResult::UnknownId);
  ASSERT_EQ(buffer_.Count(), 2);
  driver::TQueuedCommand c;
  ASSERT_TRUE(buffer_.Get(1, c));
  EXPECT_EQ(c.Id, 21);
  EXPECT_EQ(c.Prefix, "OPC");
  EXPECT_EQ(c.DeviceNumber, 2);
  EXPECT_EQ(c.Address, 1);
  EXPECT_EQ(c.Value, 10.5f);
  EXPECT_EQ(c.Value2, 0x11223344u);
  EXPECT_EQ(c.Word3, 5u);
  EXPECT_EQ(c.Word4, 6u);
}

TEST_F(CommandsBuffer, BlockCountRulesAndOverflowDrop) {
  EXPECT_EQ(buffer_.AddBlock(nullptr, 1s), AddResult::Queued);
  const auto empty = Block({}, 0);
  EXPECT_EQ(buffer_.AddBlock(AsBlock(empty), 1s), AddResult::Queued);
  const auto negative = Block({{11, 1, 0, 0, 0}}, -3);
  EXPECT_EQ(buffer_.AddBlock(AsBlock(negative), 1s), AddResult::Queued);
  EXPECT_EQ(buffer_.Count(), 0);

  std::vector<int32_t> eleven;
  for (int32_t i = 0; i < 11; ++i) eleven.push_back(31 + i);
  ASSERT_EQ(buffer_.AddBlock(AsBlock(Block(eleven)), 1s), AddResult::Queued);
  EXPECT_EQ(buffer_.Count(), 11);
  ASSERT_EQ(buffer_.AddBlock(AsBlock(Block({12, 13})), 1s), AddResult::Queued);
  ASSERT_EQ(buffer_.Count(), 2) << "more than 10 waiting: all dropped first";
  driver::TQueuedCommand c;
  ASSERT_TRUE(buffer_.Get(0, c));
  EXPECT_EQ(c.Id, 12);
  // Exactly 10 waiting are kept.
  buffer_.Clear();
  ASSERT_EQ(buffer_.AddBlock(AsBlock(Block({31, 32, 33, 34, 35, 36, 37, 38, 39, 40})), 1s), AddResult::Queued);
  ASSERT_EQ(buffer_.AddBlock(AsBlock(Block({11})), 1s), AddResult::Queued);
  EXPECT_EQ(buffer_.Count(), 11);
}

TEST_F(CommandsBuffer, BatchesFollowTheOldestDevice) {
  ASSERT_EQ(buffer_.AddBlock(AsBlock(Block({11, 12, 21, 13})), 1s), AddResult::Queued);
  ASSERT_TRUE(buffer_.MoveToShared(batch_));
  EXPECT_EQ(BatchIds(), (std::vector<int32_t>{11, 12}));
  EXPECT_EQ(batch_.GetId(), 1);
  EXPECT_EQ(batch_.GetName(), "OPC");
  EXPECT_FALSE(buffer_.MoveToShared(batch_)) << "the batch is not empty";
  ASSERT_TRUE(batch_.Commit());
  EXPECT_FALSE(buffer_.MoveToShared(batch_)) << "the batch is committed";
  ASSERT_TRUE(batch_.ResetFrom(1));
  ASSERT_TRUE(buffer_.MoveToShared(batch_));
  EXPECT_EQ(BatchIds(), (std::vector<int32_t>{21}));
  EXPECT_EQ(batch_.GetId(), 2);
  ASSERT_TRUE(batch_.Reset());
  ASSERT_TRUE(buffer_.MoveToShared(batch_));
  EXPECT_EQ(BatchIds(), (std::vector<int32_t>{13}));
  ASSERT_TRUE(batch_.Reset());
  EXPECT_FALSE(buffer_.MoveToShared(batch_)) << "nothing waits";
  EXPECT_EQ(batch_.Count(), 0);
  EXPECT_EQ(batch_.GetId(), -1);
}

TEST_F(CommandsBuffer, TwentyCommandsGiveSeventeenThenThree) {
  std::vector<int32_t> first, second;
  for (int32_t i = 0; i < 10; ++i) first.push_back(31 + i);
  for (int32_t i = 10; i < 20; ++i) second.push_back(31 + i);
  ASSERT_EQ(buffer_.AddBlock(AsBlock(Block(first)), 1s), AddResult::Queued);
  ASSERT_EQ(buffer_.AddBlock(AsBlock(Block(second)), 1s), AddResult::Queued);
  ASSERT_EQ(buffer_.Count(), 20);
  ASSERT_TRUE(buffer_.MoveToShared(batch_));
  const std::vector<int32_t> ids = BatchIds();
  ASSERT_EQ(ids.size(), 17u);
  EXPECT_EQ(ids.front(), 31);
  EXPECT_EQ(ids.back(), 47);
  // The shared command carries what the server needs.
  exchange::TCommandBlock copy;
  ASSERT_TRUE(batch_.CopyBlock(copy));
  const exchange::TSharedCommand& c = copy.Commands[2];
  EXPECT_EQ(exchange::ShortStringOf(c.Prefix), "OPC");
  EXPECT_EQ(c.DeviceNumber, 3);
  EXPECT_EQ(c.Address, 3);
  EXPECT_EQ(exchange::ShortStringOf(c.Text), "");
  EXPECT_EQ(c.Value, 16.5f);
  uint32_t bits = 0;
  std::memcpy(&bits, &c.Value2, sizeof bits);
  EXPECT_EQ(bits, 0x11223344u) << "the second word passes unchanged";
  ASSERT_TRUE(batch_.Reset());
  ASSERT_TRUE(buffer_.MoveToShared(batch_));
  EXPECT_EQ(BatchIds(), (std::vector<int32_t>{48, 49, 50}));
  EXPECT_EQ(buffer_.Count(), 0);
}

TEST_F(CommandsBuffer, KernelAndDriverThreadShareTheQueue) {
  // The kernel's thread adds while the driver thread moves: every command
  // that reaches the batch arrives once and in order.
  std::atomic<bool> done{false};
  std::vector<int32_t> moved;
  std::thread mover([&] {
    while (!done.load() || buffer_.Count() > 0) {
      if (buffer_.MoveToShared(batch_)) {
        for (int32_t id : BatchIds()) moved.push_back(id);
      }
      batch_.Reset();
    }
  });
  for (int round = 0; round < 300; ++round) {
    ASSERT_NE(buffer_.AddBlock(AsBlock(Block({31 + round % 20})), 5s), AddResult::LockTimeout);
  }
  done = true;
  mover.join();
  ASSERT_FALSE(moved.empty());
  EXPECT_LE(moved.size(), 300u);
}

}  // namespace

// The command-control item and its two writers: the driver thread writes
// it as it commits or abandons a batch (AddDynamicTag), the server as each
// command of a batch ends (TDevice::WriteDynamicVariable). After a batch
// was marked done the two meet on it.

#include "DriverTestSupport.h"
#include "driver/DynamicTags.h"
#include "exchange/OPCSharedMemory.h"
#include "platform/os/ByteFields.h"
#include "platform/os/Time.h"
#include "server/ServerData.h"
#include "server/ServerDevices.h"

#include <atomic>
#include <cstddef>
#include <cstring>
#include <thread>
#include <vector>

namespace {

// With one variable, item 7's value lies at 61 of a 64-byte line: its
// last byte is on the next line, where every x86-64 processor splits a
// store. 1.0 and 2.0 cut there give 0.5 or 4.0.
constexpr int32_t kVariables = 1;
constexpr int32_t kItem = 7;

bool Written(float value) { return value == 0.0f || value == 1.0f || value == 2.0f || value == 3.0f; }

class CommandTag : public ::testing::Test {
 protected:
  void SetUp() override {
    driver_ = exchange::TIntercomInterface::Create(exchange::kSectionName, kVariables);
    ASSERT_TRUE(driver_->IsAttached());
    ASSERT_TRUE(driver_->DMLVariables()->Add(exchange::TVLVariableInfo{}));
    for (int32_t i = 0; i <= kItem; ++i) {
      ASSERT_TRUE(driver::AddDynamicTag(driver_->DynemicVariables(), i == kItem ? "CMD" : "D" + std::to_string(i), false, 0));
    }
    ASSERT_EQ(reinterpret_cast<std::uintptr_t>(ValueField()) % 64, 61u);
    exchange::ServerIndex = 0;
    server::Intercom = exchange::TIntercomInterface::Open(exchange::kSectionName);
    ASSERT_TRUE(server::SectionOpen());
    device_.ComandCtrlTagName = "cmd";
  }
  void TearDown() override {
    server::Intercom.reset();
    exchange::ServerIndex = -1;
  }
  uint8_t* ValueField() const {
    return driver_->DynemicVariables()->Block() + 260 + sizeof(exchange::TDynemicItem) * kItem +
           offsetof(exchange::TDynemicItem, Value);
  }
  // The item as the driver reads it before passing it on; false while a
  // write is in progress.
  bool Read(float& value) const {
    exchange::TDynemicItem item{};
    if (!driver_->DynemicVariables()->GetItem(kItem, item)) return false;
    value = item.Value;
    return true;
  }

  drvtest::Namespace ns_;
  std::unique_ptr<exchange::TIntercomInterface> driver_;
  server::TDevice device_;
};

// Both writers as fast as they can for a fixed number of writes each, the
// driver reading meanwhile: every value read is one that was written. And
// a server write caught between its value's two parts (as a store split at
// the line may leave it) while the driver writes: the driver does not
// write into it, so the server's value comes out whole.
TEST_F(CommandTag, TwoWritersNeverMixTheirValues) {
  constexpr int kWrites = 300000;
  std::atomic<bool> reading{false};
  std::atomic<int> running{2};
  std::thread driverSide([&] {
    while (!reading) std::this_thread::yield();
    for (int i = 0; i < kWrites; ++i) driver::AddDynamicTag(driver_->DynemicVariables(), "CMD", true, i % 2 ? 0.0f : 2.0f);
    --running;
  });
  std::thread serverSide([&] {
    while (!reading) std::this_thread::yield();
    for (int i = 0; i < kWrites; ++i) device_.WriteDynamicVariable(device_.ComandCtrlTagName, i % 2 ? 1.0f : 3.0f);
    --running;
  });
  size_t reads = 0;
  std::vector<float> neither;
  reading = true;
  while (running.load() > 0) {
    float value = 0;
    if (!Read(value)) continue;
    ++reads;
    if (!Written(value)) neither.push_back(value);
  }
  driverSide.join();
  serverSide.join();
  EXPECT_GT(reads, 0u);
  EXPECT_TRUE(neither.empty()) << neither.size() << " of " << reads << " values neither side wrote, the first "
                               << neither.front();

  // The server's 1.0 over 0.0: time marked, the value's first three bytes
  // stored, the last one not yet.
  ASSERT_TRUE(device_.WriteDynamicVariable("CMD", 0.0f));
  uint8_t* value = ValueField();
  uint8_t* time = value + 4;
  const float one = 1.0f;
  std::memset(time, 0xFF, 8);
  std::memcpy(value, &one, 3);
  {
    platform::os::TestClock clock;  // a wait for the item passes at once
    driver::AddDynamicTag(driver_->DynemicVariables(), "CMD", true, 2.0f);
  }
  value[3] = reinterpret_cast<const uint8_t*>(&one)[3];
  platform::os::StoreDouble(time, 0, 50000.0);
  float read = 0;
  ASSERT_TRUE(Read(read));
  EXPECT_EQ(read, 1.0f);
}

}  // namespace

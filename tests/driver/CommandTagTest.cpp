// The command-control item and its two writers: the driver thread writes
// it as it commits or abandons a batch (AddDynamicTag), the server as each
// command of a batch ends (TDevice::WriteDynamicVariable).

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

// With one variable, item 7's value lies at 61 of a 64-byte line: its last
// byte is on the next line, where every x86-64 processor splits a store.
// 1.0 and 2.0 cut there give 0.5 or 4.0.
constexpr int32_t kItem = 7;

class CommandTag : public ::testing::Test {
 protected:
  void SetUp() override {
    driver_ = exchange::TIntercomInterface::Create(exchange::kSectionName, 1);
    ASSERT_TRUE(driver_->DMLVariables()->Add(exchange::TVLVariableInfo{}));
    for (int32_t i = 0; i <= kItem; ++i) {
      ASSERT_TRUE(driver::AddDynamicTag(driver_->DynemicVariables(), i == kItem ? "CMD" : "D" + std::to_string(i), false, 0));
    }
    value_ = driver_->DynemicVariables()->Block() + 260 + sizeof(exchange::TDynemicItem) * kItem +
             offsetof(exchange::TDynemicItem, Value);
    ASSERT_EQ(reinterpret_cast<std::uintptr_t>(value_) % 64, 61u);
    exchange::ServerIndex = 0;
    server::Intercom = exchange::TIntercomInterface::Open(exchange::kSectionName);
    ASSERT_TRUE(server::SectionOpen());
  }
  void TearDown() override {
    server::Intercom.reset();
    exchange::ServerIndex = -1;
  }
  // The item as the driver reads it to pass it on; false during a write.
  bool Read(float& value) const {
    exchange::TDynemicItem item{};
    if (!driver_->DynemicVariables()->GetItem(kItem, item)) return false;
    value = item.Value;
    return true;
  }
  void DriverWrites(float value) { driver::AddDynamicTag(driver_->DynemicVariables(), "CMD", true, value); }
  void ServerWrites(float value) { device_.WriteDynamicVariable("cmd", value); }

  drvtest::Namespace ns_;
  std::unique_ptr<exchange::TIntercomInterface> driver_;
  uint8_t* value_ = nullptr;
  server::TDevice device_;
};

// Both writers as fast as they can for a fixed number of writes each, the
// driver reading meanwhile: every value read is one that was written. And
// a server write caught between its value's two parts while the driver
// writes: the driver does not write into it, so its value comes out whole.
TEST_F(CommandTag, TwoWritersNeverMixTheirValues) {
  constexpr int kWrites = 300000;
  std::atomic<bool> reading{false};
  std::atomic<int> running{2};
  const auto writer = [&](auto write, float a, float b) {
    return std::thread([=, &reading, &running] {
      while (!reading) std::this_thread::yield();
      for (int i = 0; i < kWrites; ++i) write(i % 2 ? a : b);
      --running;
    });
  };
  std::thread driverSide = writer([this](float v) { DriverWrites(v); }, 0.0f, 2.0f);
  std::thread serverSide = writer([this](float v) { ServerWrites(v); }, 1.0f, 3.0f);
  size_t reads = 0;
  std::vector<float> neither;
  reading = true;
  for (float value = 0; running.load() > 0;) {
    if (!Read(value)) continue;
    ++reads;
    if (value != 0.0f && value != 1.0f && value != 2.0f && value != 3.0f) neither.push_back(value);
  }
  driverSide.join();
  serverSide.join();
  EXPECT_GT(reads, 0u);
  EXPECT_TRUE(neither.empty()) << neither.size() << " of " << reads << " values neither wrote, the first "
                               << neither.front();

  // The server's 1.0 over 0.0: time marked, three bytes of the value stored.
  ServerWrites(0.0f);
  const float one = 1.0f;
  std::memset(value_ + 4, 0xFF, 8);
  std::memcpy(value_, &one, 3);
  {
    platform::os::TestClock clock;  // a wait for the item passes at once
    DriverWrites(2.0f);
  }
  std::memcpy(value_ + 3, reinterpret_cast<const uint8_t*>(&one) + 3, 1);
  platform::os::StoreDouble(value_ + 4, 0, 50000.0);
  float read = 0;
  ASSERT_TRUE(Read(read));
  EXPECT_EQ(read, 1.0f);
}

}  // namespace

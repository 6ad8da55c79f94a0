#include "driver/DynamicTags.h"

#include "DriverTestSupport.h"
#include "driver/DrvLog.h"
#include "driver/ReceivedBuffer.h"
#include "exchange/OPCSharedMemory.h"
#include "platform/os/Time.h"
#include "platform/win/Window.h"

#include <functional>
#include <optional>
#include <utility>

namespace {

using namespace platform::os::literals;
using drvtest::Var;

constexpr int32_t kMessage = 40002;

class DynamicTags : public ::testing::Test {
 protected:
  void SetUp() override {
    auto& model = kernel::KernelModel::Instance();
    model.Reset();
    model.AddVariable(0, Var(71, "LINK_A", "", 0, 0.5f));
    model.AddVariable(0, Var(72, "Cmd_A", "", 0, 0));
    table_.Attach(bytes_.data());
    window_ = platform::win::AllocateHWnd([this](platform::win::HWND, platform::win::UINT m, platform::win::WPARAM,
                                                 platform::win::LPARAM l) -> platform::win::LRESULT {
      if (m != kMessage) return 0;
      const auto* block = reinterpret_cast<const driver::TDrvValueBlock*>(l);
      for (int32_t i = 0; i < block->Count; ++i) sent_.emplace_back(block->Records[i].Id, block->Records[i].Value);
      if (during_) std::exchange(during_, nullptr)();
      return driver::ValueBlockCode;
    });
  }
  void TearDown() override {
    platform::win::DestroyWindow(window_);
    kernel::KernelModel::Instance().Reset();
  }

  std::vector<std::pair<int32_t, float>> Cycle() {
    sent_.clear();
    EXPECT_TRUE(tags_.SendChanges(&table_, *buffer_));
    EXPECT_TRUE(buffer_->Flush());
    return sent_;
  }
  int32_t IdOf(int32_t index) {
    exchange::TDynemicItem item;
    EXPECT_TRUE(table_.GetItem(index, item));
    return item.Info.Id;
  }

  drvtest::Namespace ns_;
  driver::TBaseErrorClass log_{""};
  std::vector<uint8_t> bytes_ = std::vector<uint8_t>(exchange::kDynemicVariablesSize);
  exchange::TDynemicVariablesList table_{true};
  driver::TDynamicTagList tags_{&log_};
  platform::win::HWND window_ = 0;
  std::unique_ptr<driver::TReceivedBuffer> buffer_;
  std::vector<std::pair<int32_t, float>> sent_;
  std::function<void()> during_;  // run once while the next block is sent
};

TEST_F(DynamicTags, ResolveNamesOnceAndLogUnknownOnce) {
  EXPECT_FALSE(driver::AddDynamicTag(nullptr, "LINK_A", false, 0));
  ASSERT_TRUE(driver::AddDynamicTag(&table_, "link_a", false, 0));
  ASSERT_TRUE(driver::AddDynamicTag(&table_, " LINK_A ", false, 0)) << "a second device naming the same tag";
  ASSERT_TRUE(driver::AddDynamicTag(&table_, "NOBODY", false, 0));
  EXPECT_FALSE(driver::AddDynamicTag(&table_, "UNSEEN", true, 0)) << "update only never appends";
  EXPECT_EQ(table_.Count(), 2);
  EXPECT_EQ(IdOf(0), driver::DynamicUnresolved);
  EXPECT_FALSE(tags_.Resolve(nullptr));
  EXPECT_TRUE(tags_.Resolve(&table_));
  EXPECT_EQ(IdOf(0), 71);
  EXPECT_EQ(IdOf(1), driver::DynamicUnknown);
  EXPECT_TRUE(tags_.Resolve(&table_));
  buffer_ = std::make_unique<driver::TReceivedBuffer>(window_, kMessage, 1, &log_);
  Cycle();
  EXPECT_EQ(drvtest::CountLog(0, "Динамический тег NOBODY не описан."_cp), 1);
  EXPECT_EQ(drvtest::KernelLog().size(), 1u);
}

TEST_F(DynamicTags, FirstSendEvenAtZeroThenDeadband) {
  buffer_ = std::make_unique<driver::TReceivedBuffer>(window_, kMessage, 1, &log_);
  ASSERT_TRUE(driver::AddDynamicTag(&table_, "LINK_A", false, 0));
  EXPECT_EQ(Cycle(), (std::vector<std::pair<int32_t, float>>{{71, 0.0f}})) << "resolved and sent in one cycle";
  EXPECT_TRUE(Cycle().empty());
  ASSERT_TRUE(driver::AddDynamicTag(&table_, "LINK_A", true, 0.4f));
  EXPECT_TRUE(Cycle().empty()) << "0.4 is below the deadband 0.5";
  ASSERT_TRUE(driver::AddDynamicTag(&table_, "LINK_A", true, 0.5f));
  EXPECT_EQ(Cycle(), (std::vector<std::pair<int32_t, float>>{{71, 0.5f}}));
  ASSERT_NE(tags_.Find("LINK_A"), nullptr);
  EXPECT_EQ(tags_.Find("LINK_A")->LastValue, 0.5f);

  // A name the server appends later is resolved and sent when it appears;
  // a deadband of 0 still needs a change.
  ASSERT_TRUE(driver::AddDynamicTag(&table_, "CMD_A", false, 2.0f));
  EXPECT_EQ(Cycle(), (std::vector<std::pair<int32_t, float>>{{72, 2.0f}}));
  EXPECT_TRUE(Cycle().empty());
  ASSERT_TRUE(driver::AddDynamicTag(&table_, "CMD_A", true, 0.0f));
  EXPECT_EQ(Cycle(), (std::vector<std::pair<int32_t, float>>{{72, 0.0f}}));
  EXPECT_EQ(tags_.Count(), 2);
}

TEST_F(DynamicTags, RefusedValueIsNotRetried) {
  // A kernel window that is gone refuses every block.
  buffer_ = std::make_unique<driver::TReceivedBuffer>(window_ + 1000, kMessage, 1, &log_);
  ASSERT_TRUE(driver::AddDynamicTag(&table_, "LINK_A", false, 1.0f));
  EXPECT_TRUE(tags_.SendChanges(&table_, *buffer_));
  EXPECT_FALSE(buffer_->Flush());
  ASSERT_NE(tags_.Find("LINK_A"), nullptr);
  EXPECT_EQ(tags_.Find("LINK_A")->LastValue, 1.0f);
  EXPECT_EQ(buffer_->Count(), 1);
  EXPECT_TRUE(tags_.SendChanges(&table_, *buffer_));
  EXPECT_EQ(buffer_->Count(), 1) << "nothing new is put for the same value";
}

// A value the buffer refuses (a send holds it, and the wait for it gives
// up) is not taken as sent: the next cycle puts it, or nothing when the
// value went back to the one the kernel has.
TEST_F(DynamicTags, RefusedValueIsPutAgainNextCycle) {
  using Sent = std::vector<std::pair<int32_t, float>>;
  struct Case {
    const char* what;
    std::optional<float> sent;  // the value the kernel has; none: a new tag
    float refused;
    float next;  // the value at the next cycle
    Sent put;    // what that cycle sends
  };
  const Case cases[] = {
      {"a new tag's first value", std::nullopt, 0.0f, 0.0f, {{71, 0.0f}}},
      {"a change", 0.0f, 1.0f, 1.0f, {{71, 1.0f}}},
      {"a change undone before the next cycle", 0.0f, 1.0f, 0.0f, {}},
  };
  buffer_ = std::make_unique<driver::TReceivedBuffer>(window_, kMessage, 1, &log_);
  for (const Case& c : cases) {
    std::vector<uint8_t> bytes(exchange::kDynemicVariablesSize);
    exchange::TDynemicVariablesList table(true);
    table.Attach(bytes.data());
    driver::TDynamicTagList tags(&log_);
    const auto cycle = [&] {
      sent_.clear();
      EXPECT_TRUE(tags.SendChanges(&table, *buffer_));
      EXPECT_TRUE(buffer_->Flush());
      return sent_;
    };
    ASSERT_TRUE(driver::AddDynamicTag(&table, "LINK_A", false, c.sent.value_or(c.refused)));
    if (c.sent) {
      ASSERT_EQ(cycle(), (Sent{{71, *c.sent}})) << c.what;
    }
    ASSERT_TRUE(driver::AddDynamicTag(&table, "LINK_A", true, c.refused));
    {
      platform::os::TestClock clock;  // the wait for the busy buffer passes at once
      ASSERT_TRUE(buffer_->Put(99, 0));
      during_ = [&] { EXPECT_TRUE(tags.SendChanges(&table, *buffer_)); };
      ASSERT_TRUE(buffer_->Flush());
      ASSERT_EQ(buffer_->Count(), 0) << c.what << ": the put was refused";
    }
    ASSERT_TRUE(driver::AddDynamicTag(&table, "LINK_A", true, c.next));
    EXPECT_EQ(cycle(), c.put) << c.what;
  }
}

}  // namespace

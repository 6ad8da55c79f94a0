#include "driver/ReceivedBuffer.h"

#include "DriverTestSupport.h"
#include "driver/DrvLog.h"
#include "driver/DynamicTags.h"
#include "exchange/OPCSharedMemory.h"
#include "platform/os/ByteFields.h"
#include "platform/win/MessageLoop.h"
#include "platform/win/Window.h"

#include <atomic>
#include <bit>
#include <chrono>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <thread>

namespace {

using driver::TReceivedBuffer;
using platform::win::HWND;
using platform::win::LPARAM;
using platform::win::LRESULT;
using platform::win::UINT;
using platform::win::WPARAM;

constexpr int32_t kMessage = 40001;

// The kernel window: records every block it is sent and answers `answer`.
class KernelWindow {
 public:
  KernelWindow() {
    handle_ = platform::win::AllocateHWnd([this](HWND, UINT m, WPARAM w, LPARAM l) -> LRESULT {
      if (m != kMessage || w != static_cast<WPARAM>(driver::ValueBlockCode)) return 0;
      const auto* block = reinterpret_cast<const driver::TDrvValueBlock*>(l);
      blocks.emplace_back(block->Records, block->Records + block->Count);
      blockIds.push_back(block->BlockId);
      if (during) during();
      return answer;
    });
  }
  ~KernelWindow() { platform::win::DestroyWindow(handle_); }
  HWND Handle() const { return handle_; }

  LRESULT answer = driver::ValueBlockCode;
  std::function<void()> during;  // run while a block is being handled
  std::vector<std::vector<driver::TDrvValueRecord>> blocks;
  std::vector<int32_t> blockIds;

 private:
  HWND handle_ = 0;
};

class ReceivedBuffer : public ::testing::Test {
 protected:
  void SetUp() override { kernel::KernelModel::Instance().Reset(); }
  void TearDown() override { kernel::KernelModel::Instance().Reset(); }
  drvtest::Namespace ns_;
  driver::TBaseErrorClass log_{""};
  KernelWindow kernel_;
  TReceivedBuffer buffer_{kernel_.Handle(), kMessage, 9, &log_};
};

TEST_F(ReceivedBuffer, RecordsCarryValueTwiceAndTheTime) {
  platform::os::TestClock clock(platform::os::TestClock::Mode::Manual, 0,
                                platform::os::EncodeDate(2025, 1, 2) + platform::os::EncodeTime(0, 0, 1, 500));
  EXPECT_TRUE(buffer_.Flush()) << "nothing to send";
  EXPECT_TRUE(kernel_.blocks.empty());
  ASSERT_TRUE(buffer_.Put(7, 2.5f));
  ASSERT_TRUE(buffer_.Flush());
  ASSERT_EQ(kernel_.blocks.size(), 1u);
  ASSERT_EQ(kernel_.blocks[0].size(), 1u);
  const driver::TDrvValueRecord& r = kernel_.blocks[0][0];
  EXPECT_EQ(r.Id, 7);
  EXPECT_EQ(r.Value, 2.5f);
  EXPECT_EQ(r.Value2, 2.5f);
  EXPECT_EQ(r.Time, 1500);
  EXPECT_EQ(r.Date, 739253);  // 2025-01-02
  EXPECT_EQ(kernel_.blockIds[0], 9);
  EXPECT_EQ(buffer_.Count(), 0);
}

TEST_F(ReceivedBuffer, RefusedBlocksStayForTheNextFlush) {
  for (LRESULT refusal : {LRESULT{0}, LRESULT{1}, LRESULT{2001}}) {
    kernel_.answer = refusal;
    ASSERT_TRUE(buffer_.Put(1, 1.0f));
    EXPECT_FALSE(buffer_.Flush()) << refusal;
  }
  EXPECT_EQ(buffer_.Count(), 3);
  kernel_.answer = driver::ValueBlockCode;
  buffer_.SetBlockId(4);
  EXPECT_TRUE(buffer_.Flush());
  EXPECT_EQ(kernel_.blocks.back().size(), 3u);
  EXPECT_EQ(kernel_.blockIds.back(), 4);
}

TEST_F(ReceivedBuffer, FullBlockIsSentAtOnce) {
  for (int32_t i = 0; i < TReceivedBuffer::Capacity; ++i) ASSERT_TRUE(buffer_.Put(i, 0));
  EXPECT_TRUE(kernel_.blocks.empty());
  ASSERT_TRUE(buffer_.Put(5000, 0));
  ASSERT_EQ(kernel_.blocks.size(), 1u);
  EXPECT_EQ(kernel_.blocks[0].size(), 1204u);
  EXPECT_EQ(buffer_.Count(), 1);
  EXPECT_EQ(buffer_.Block().Records[0].Id, 5000);
  EXPECT_EQ(drvtest::CountLog(0, "Critical section proc"), 1);
}

TEST_F(ReceivedBuffer, RefusedFullBlockLosesItsOldestHundred) {
  kernel_.answer = 1;
  for (int32_t i = 0; i < TReceivedBuffer::Capacity; ++i) ASSERT_TRUE(buffer_.Put(i, 0));
  ASSERT_TRUE(buffer_.Put(5000, 0));
  EXPECT_EQ(buffer_.Count(), 1105);
  EXPECT_EQ(buffer_.Block().Records[0].Id, 100);
  EXPECT_EQ(buffer_.Block().Records[1103].Id, 1203);
  EXPECT_EQ(buffer_.Block().Records[1104].Id, 5000);
  EXPECT_EQ(kernel_.blocks.size(), 1u) << "the refused attempt";
}

TEST_F(ReceivedBuffer, InvalidTargetIsLoggedOncePerBuffer) {
  TReceivedBuffer noWindow(0, kMessage, 1, &log_);
  EXPECT_TRUE(noWindow.Flush());
  EXPECT_TRUE(drvtest::KernelLog().empty()) << "nothing to send: nothing logged";
  for (int i = 0; i < 5; ++i) {
    ASSERT_TRUE(noWindow.Put(1, 1));
    EXPECT_TRUE(noWindow.Flush());
    EXPECT_EQ(noWindow.Count(), 0);
  }
  EXPECT_EQ(drvtest::CountLog(0, "Invalid message ID or HostWindow"), 1);
  TReceivedBuffer noMessage(kernel_.Handle(), 0, 1, &log_);
  ASSERT_TRUE(noMessage.Put(1, 1));
  EXPECT_TRUE(noMessage.Flush());
  EXPECT_EQ(drvtest::CountLog(0, "Invalid message ID or HostWindow"), 2);
  EXPECT_TRUE(kernel_.blocks.empty());
}

class StaticScan : public ReceivedBuffer {
 protected:
  void SetUp() override {
    ReceivedBuffer::SetUp();
    table_.Attach(bytes_.data(), true, bytes_.size());
  }
  // A row with deadband 0.5 and limits 0 .. 10, initial value 5.
  int32_t Row(int32_t id) {
    exchange::TVLVariableInfo info{};
    info.Id = id;
    info.InitialValue = 5;
    info.Deadband = 0.5f;
    info.LowLimit = 0;
    info.HighLimit = 10;
    EXPECT_TRUE(table_.Add(info));
    return table_.Count() - 1;
  }
  // The server's side: a value, then the bump that publishes it.
  void Set(int32_t row, float value) {
    table_.SetValue(row, value, 0);
    table_.BumpChangeCounter();
  }
  std::vector<int32_t> SentIds() {
    std::vector<int32_t> ids;
    EXPECT_TRUE(buffer_.ScanStaticTags(table_, server_));
    EXPECT_TRUE(buffer_.Flush());
    if (!kernel_.blocks.empty()) {
      for (const auto& r : kernel_.blocks.back()) ids.push_back(r.Id);
      kernel_.blocks.clear();
    }
    return ids;
  }
  std::vector<uint8_t> bytes_ = std::vector<uint8_t>(exchange::kDMLVariablesHeader + 8 * exchange::kDMLVariableSize);
  exchange::TDMLVariablesList table_{8};
  int32_t server_ = 100;  // slot 0's process
};

TEST_F(StaticScan, DeadbandAndLimitRules) {
  const int32_t exact = Row(1), small = Row(2), low = Row(3), high = Row(4), same = Row(5);
  EXPECT_TRUE(SentIds().empty()) << "initial values count as sent";
  table_.SetValue(exact, 5.5f, 0);
  Set(small, 5.25f);
  EXPECT_EQ(SentIds(), (std::vector<int32_t>{1})) << "exactly the deadband is sent, less is not";
  exchange::TDMLVariable row;
  ASSERT_TRUE(table_.GetItem(exact, row));
  EXPECT_EQ(row.SentValue, 5.5f);
  ASSERT_TRUE(table_.GetItem(small, row));
  EXPECT_EQ(row.SentValue, 5.0f);
  EXPECT_TRUE(SentIds().empty()) << "a sent value is not sent again";

  // At or beyond a limit a smaller change is sent.
  table_.SetSentValue(high, 9.9f);
  table_.SetValue(high, 9.95f, 0);
  table_.SetSentValue(low, 0.2f);
  Set(low, 0.1f);
  EXPECT_TRUE(SentIds().empty());
  table_.SetValue(high, 10.0f, 0);
  Set(low, 0.0f);
  EXPECT_EQ(SentIds(), (std::vector<int32_t>{3, 4}));
  // An unchanged value at a limit is never sent.
  table_.SetSentValue(same, 0.0f);
  Set(same, 0.0f);
  EXPECT_TRUE(SentIds().empty());
}

TEST_F(StaticScan, WalksWhenTheCounterMovedOrTheLastWalkLeftRowsUnsent) {
  const int32_t row = Row(1);
  EXPECT_TRUE(SentIds().empty()) << "the first call walks";
  table_.SetValue(row, 7.0f, 0);
  EXPECT_TRUE(SentIds().empty()) << "a value not yet published is not looked for";
  table_.BumpChangeCounter();
  EXPECT_EQ(SentIds(), (std::vector<int32_t>{1}));
  EXPECT_TRUE(SentIds().empty()) << "nothing moved since";

  // A walk during a send finds the buffer busy: the row stays unsent and
  // the next call walks again although the counter did not move.
  platform::os::TestClock clock;  // the busy wait passes at once
  Set(row, 8.0f);
  ASSERT_TRUE(buffer_.Put(99, 0));
  kernel_.during = [this] {
    kernel_.during = nullptr;
    EXPECT_TRUE(buffer_.ScanStaticTags(table_, server_));
  };
  ASSERT_TRUE(buffer_.Flush());
  EXPECT_EQ(drvtest::CountLog(0, "Variable buffer overflow or locked."), 1);
  kernel_.blocks.clear();
  exchange::TDMLVariable stored;
  ASSERT_TRUE(table_.GetItem(row, stored));
  EXPECT_EQ(stored.SentValue, 7.0f);
  EXPECT_EQ(SentIds(), (std::vector<int32_t>{1}));
  ASSERT_TRUE(table_.GetItem(row, stored));
  EXPECT_EQ(stored.SentValue, 8.0f);
  EXPECT_TRUE(SentIds().empty()) << "sent: no more walks";
}

// A change the counter does not show is still found: on the periodic walk,
// after a walk an exception cut short, and when a restarted server has
// counted up to the last count seen.
TEST_F(StaticScan, WalksWithoutTheCounterWhenItCannotBeTrusted) {
  const int32_t row = Row(1);
  platform::os::TestClock clock(platform::os::TestClock::Mode::Manual);
  EXPECT_TRUE(SentIds().empty());

  table_.SetValue(row, 6.0f, 0);  // never published
  clock.Advance(TReceivedBuffer::FullWalkIntervalMs - 1);
  EXPECT_TRUE(SentIds().empty());
  clock.Advance(1);
  EXPECT_EQ(SentIds(), (std::vector<int32_t>{1})) << "the periodic walk";

  // An exception out of the wait for the buffer ends a walk midway.
  Set(row, 7.0f);
  ASSERT_TRUE(buffer_.Put(99, 0));
  kernel_.during = [this] {
    kernel_.during = nullptr;
    platform::win::SetEventSource(-1, [] { throw std::runtime_error("pump"); });
    EXPECT_THROW(buffer_.ScanStaticTags(table_, server_), std::runtime_error);
    platform::win::SetEventSource(-1, nullptr);
  };
  ASSERT_TRUE(buffer_.Flush());
  kernel_.blocks.clear();
  EXPECT_EQ(SentIds(), (std::vector<int32_t>{1})) << "after a walk cut short";

  // A new server attaches (-1) and counts up to the count last walked.
  const int32_t walked = table_.ChangeCounter();
  table_.Attach(bytes_.data(), false, bytes_.size());
  table_.SetValue(row, 8.0f, 0);
  while (table_.ChangeCounter() != walked) table_.BumpChangeCounter();
  server_ = 200;
  EXPECT_EQ(SentIds(), (std::vector<int32_t>{1})) << "for a new server process";
  EXPECT_TRUE(SentIds().empty());
}

// Every row of 64 (values at every offset of a 64-byte line) and a few
// dynamic items, in the section as the driver maps it, flipped by the
// server while the driver scans and reads: only values the server wrote
// come back. Waits for a count of values, however long the machine takes.
TEST_F(StaticScan, NeverPassesOnHalfAWrite) {
  auto driver = exchange::TIntercomInterface::Create(exchange::kSectionName, 64);
  ASSERT_TRUE(driver->IsAttached());
  exchange::TVLVariableInfo info{};
  info.HighLimit = 1e30f;
  for (info.Id = 0; info.Id < 64; ++info.Id) ASSERT_TRUE(driver->DMLVariables()->Add(info));
  constexpr int32_t kItems = 24;  // 9 and 22 cross a 64-byte line
  for (int i = 0; i < kItems; ++i) ASSERT_TRUE(driver->DynemicVariables()->AddOrUpdate("D" + std::to_string(i), false, 0, 0));
  auto server = exchange::TIntercomInterface::Open(exchange::kSectionName);
  ASSERT_TRUE(server->IsAttached());
  const float a = std::bit_cast<float>(0x3DCCCCCDu), b = std::bit_cast<float>(0x42F6E979u);  // no byte alike
  std::atomic<bool> done{false};
  std::thread rowWriter([&] {
    for (uint32_t i = 0; !done.load(std::memory_order_relaxed); ++i) {
      for (int32_t row = 0; row < 64; ++row) server->DMLVariables()->SetValue(row, i % 2 ? a : b, 0);
      server->DMLVariables()->BumpChangeCounter();
    }
  });
  std::thread itemWriter([&] {
    for (uint32_t i = 0; !done.load(std::memory_order_relaxed); ++i) {
      for (int d = 0; d < kItems; ++d) server->DynemicVariables()->AddOrUpdate("D" + std::to_string(d), true, i % 2 ? a : b, 0);
    }
  });
  constexpr size_t kWanted = 200000;
  size_t rowValues = 0, itemValues = 0;
  std::vector<float> wrong;
  const auto check = [&](float value) {
    if (value != a && value != b) wrong.push_back(value);
  };
  const auto bound = std::chrono::steady_clock::now() + std::chrono::seconds(120);
  while ((rowValues < kWanted || itemValues < kWanted) && std::chrono::steady_clock::now() < bound) {
    buffer_.ScanStaticTags(*driver->DMLVariables(), server_);
    buffer_.Flush();
    for (const auto& block : kernel_.blocks) {
      for (const auto& record : block) check(record.Value);
      rowValues += block.size();
    }
    kernel_.blocks.clear();
    for (int32_t d = 0; d < kItems; ++d) {
      exchange::TDynemicItem item{};
      if (!driver->DynemicVariables()->GetItem(d, item) || item.Value == 0) continue;
      check(item.Value);
      ++itemValues;
    }
  }
  done = true;
  rowWriter.join();
  itemWriter.join();
  EXPECT_GE(rowValues, kWanted);
  EXPECT_GE(itemValues, kWanted);
  ASSERT_TRUE(wrong.empty()) << wrong.size() << " values never written, the first " << std::hex
                             << std::bit_cast<uint32_t>(wrong.front());
}

// The kernel refuses full blocks and the oldest records are dropped: a
// dynamic tag's and four rows' (7.0 each). Nothing is put again while the
// kernel refuses. The first cycle after it accepted a block puts the
// current value of each source again, whatever it moved by since, unless
// a later record of it went with that block.
TEST_F(StaticScan, DroppedRecordsArePutAgainOnceTheKernelAccepts) {
  struct Case {
    const char* what;
    float later;        // the row's value after the drop
    bool laterInBlock;  // put before the kernel accepted, so it went with the block
  };
  const Case cases[] = {
      {"unchanged since", 7.0f, false},
      {"moved less than the deadband since", 7.25f, false},
      {"moved by the deadband since", 8.0f, false},
      {"a later value went with the accepted block", 8.0f, true},
  };
  kernel::KernelModel::Instance().AddVariable(0, drvtest::Var(71, "LINK_A", "", 0, 0.5f));
  std::vector<uint8_t> dynamicBytes(exchange::kDynemicVariablesSize);
  exchange::TDynemicVariablesList dynamic(true);
  dynamic.Attach(dynamicBytes.data());
  driver::TDynamicTagList tags(&log_);
  ASSERT_TRUE(driver::AddDynamicTag(&dynamic, "LINK_A", false, 1.0f));
  for (int32_t id = 1; id <= 4; ++id) Row(id);
  EXPECT_TRUE(SentIds().empty());

  kernel_.answer = 1;
  ASSERT_TRUE(tags.SendChanges(&dynamic, buffer_));
  for (int32_t row = 0; row < 4; ++row) Set(row, 7.0f);
  ASSERT_TRUE(buffer_.ScanStaticTags(table_, server_));
  while (buffer_.Count() < TReceivedBuffer::Capacity) ASSERT_TRUE(buffer_.Put(1000, 0));
  ASSERT_TRUE(buffer_.Put(1000, 0));
  ASSERT_EQ(buffer_.Count(), TReceivedBuffer::Capacity - TReceivedBuffer::DropCount + 1) << "the oldest 100 dropped";
  for (int32_t row = 0; row < 4; ++row) {
    if (cases[row].laterInBlock) Set(row, cases[row].later);
  }
  ASSERT_TRUE(tags.SendChanges(&dynamic, buffer_));
  ASSERT_TRUE(buffer_.ScanStaticTags(table_, server_));
  EXPECT_FALSE(buffer_.Flush());
  for (int32_t i = 0; i < buffer_.Count(); ++i) {
    const int32_t id = buffer_.Block().Records[i].Id;
    EXPECT_TRUE(id == 1000 || (id >= 1 && id <= 4 && cases[id - 1].laterInBlock)) << "put again while refused: " << id;
  }

  kernel_.answer = driver::ValueBlockCode;
  ASSERT_TRUE(buffer_.Flush());
  kernel_.blocks.clear();
  for (int32_t row = 0; row < 4; ++row) {
    if (!cases[row].laterInBlock) Set(row, cases[row].later);
  }
  const auto cycle = [&] {
    EXPECT_TRUE(tags.SendChanges(&dynamic, buffer_));
    EXPECT_TRUE(buffer_.ScanStaticTags(table_, server_));
    EXPECT_TRUE(buffer_.Flush());
    std::map<int32_t, float> sent;
    for (const auto& block : kernel_.blocks) {
      for (const auto& r : block) EXPECT_TRUE(sent.emplace(r.Id, r.Value).second) << "sent twice: " << r.Id;
    }
    kernel_.blocks.clear();
    return sent;
  };
  const std::map<int32_t, float> sent = cycle();
  for (int32_t row = 0; row < 4; ++row) {
    const auto found = sent.find(row + 1);
    if (cases[row].laterInBlock) {
      EXPECT_TRUE(found == sent.end()) << cases[row].what;
    } else {
      EXPECT_TRUE(found != sent.end() && found->second == cases[row].later) << cases[row].what;
    }
  }
  EXPECT_TRUE(sent.contains(71) && sent.at(71) == 1.0f) << "the dynamic tag";
  EXPECT_EQ(sent.size(), 4u) << "three rows and the tag, nothing else";
  EXPECT_TRUE(cycle().empty()) << "each put again once";
}

TEST_F(StaticScan, AScanInsideTheWaitOfAnotherKeepsBothWalksWhole) {
  for (int32_t id = 1; id <= 8; ++id) Row(id);
  EXPECT_TRUE(SentIds().empty());
  // While a send holds the buffer, a scan finds two rows changed; its wait
  // for the buffer at the first handles a message whose handler changes
  // every other row and scans again. The first walk reads each row when it
  // comes to it, so it meets those rows too.
  constexpr UINT kRescan = 40002;
  const HWND rescanWindow = platform::win::AllocateHWnd([this](HWND, UINT m, WPARAM, LPARAM) -> LRESULT {
    if (m != kRescan) return 0;
    for (int32_t row = 2; row < 8; ++row) table_.SetValue(row, 9.0f, 0);
    table_.BumpChangeCounter();
    EXPECT_TRUE(buffer_.ScanStaticTags(table_, server_));
    return 0;
  });
  platform::os::TestClock clock;  // each busy wait passes at once
  table_.SetValue(0, 9.0f, 0);
  Set(1, 9.0f);
  ASSERT_TRUE(buffer_.Put(99, 0));
  kernel_.during = [&] {
    kernel_.during = nullptr;
    ASSERT_TRUE(platform::win::PostMessage(rescanWindow, kRescan, 0, 0));
    EXPECT_TRUE(buffer_.ScanStaticTags(table_, server_));
  };
  ASSERT_TRUE(buffer_.Flush());
  platform::win::DestroyWindow(rescanWindow);
  EXPECT_EQ(drvtest::CountLog(0, "Variable buffer overflow or locked."), 8 + 8) << "each walk's rows once";
  kernel_.blocks.clear();
  EXPECT_EQ(SentIds(), (std::vector<int32_t>{1, 2, 3, 4, 5, 6, 7, 8})) << "every row left unsent is sent next";
}

}  // namespace

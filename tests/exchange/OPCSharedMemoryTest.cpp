// The blocks of the section as one process sees them (driver and server
// side objects on the same section, each its own holder).

#include "exchange/OPCSharedMemory.h"
#include "platform/os/ByteFields.h"
#include "platform/os/Text.h"
#include "platform/os/Time.h"
#include "tests/exchange/TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <bit>
#include <functional>
#include <memory>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace exchange;
using namespace platform::os::literals;
namespace os = platform::os;


std::unique_ptr<TIntercomInterface> Driver(std::int32_t n) {
  return TIntercomInterface::Create(kSectionName, n);
}

TVLVariableInfo Record(std::int32_t id, float initial) {
  TVLVariableInfo info{};
  info.Id = id;
  std::snprintf(info.Name, sizeof info.Name, "VAR%d", id);
  std::snprintf(info.Routing, sizeof info.Routing, "OPC:T%d", id);
  info.InitialValue = initial;
  info.Scale = 2.0f;
  return info;
}

// Fills a driver section with exactly n records.
std::unique_ptr<TIntercomInterface> FilledDriver(std::int32_t n) {
  auto owner = Driver(n);
  for (std::int32_t i = 0; i < n; ++i) owner->DMLVariables()->Add(Record(i + 1, 0.5f * i));
  return owner;
}

std::vector<std::size_t> Offsets(const TIntercomInterface& owner) {
  const std::uint8_t* view = owner.View();
  std::vector<std::size_t> result;
  for (const std::uint8_t* block :
       {owner.HalvorstenInfo()->Block(), owner.ServerData()->Block(),
        owner.DMLVariables()->Block(), owner.ServerErrors()->Block(),
        owner.DynemicVariables()->Block(), owner.Commands()->Block(),
        owner.Terminal1()->Block(), owner.Terminal2()->Block(), owner.Terminal3()->Block()}) {
    result.push_back(static_cast<std::size_t>(block - view));
  }
  return result;
}

bool Signed(const std::uint8_t* block) {
  return block[0] == 10 && std::memcmp(block + 1, "Halvorsten", 10) == 0;
}

class Section : public ::testing::Test {
 protected:
  void TearDown() override { ServerIndex = -1; }
  exchange_test::ScopedNamespace ns_;
};

// ------------------------------------------------------------ layout

TEST_F(Section, SizesAndOffsetsForNoVariables) {
  auto owner = Driver(0);
  ASSERT_TRUE(owner->IsAttached());
  EXPECT_EQ(owner->ViewSize(), 481105u);
  EXPECT_EQ(Offsets(*owner), (std::vector<std::size_t>{0, 773, 9637, 9901, 37389, 301073, 310657,
                                                        367473, 424289}));
  EXPECT_EQ(owner->DMLVariables()->BlockSize(), 264u);
}

TEST_F(Section, SizesAndOffsetsForThousandVariablesOnBothSides) {
  auto driver = FilledDriver(1000);
  ASSERT_TRUE(driver->IsAttached());
  EXPECT_EQ(driver->ViewSize(), 1258105u);
  EXPECT_EQ(Offsets(*driver)[8], 1201289u);
  auto server = TIntercomInterface::Open(kSectionName);
  ASSERT_TRUE(server->IsAttached());
  EXPECT_EQ(server->DMLVariables()->Count(), 1000);
  EXPECT_EQ(Offsets(*server), Offsets(*driver));
}

TEST_F(Section, ServerPlacesBlocksFromStoredCount) {
  auto driver = FilledDriver(10);
  auto server = TIntercomInterface::Open(kSectionName);
  ASSERT_TRUE(server->IsAttached());
  EXPECT_EQ(server->ServerErrors()->Block() - server->View(), 17671);
  EXPECT_EQ(server->DMLVariables()->BlockSize(), 264u + 777u * 10);
}

TEST_F(Section, ServerStaysOutWhenBlocksDoNotEndAtTheSectionEnd) {
  {
    auto driver = Driver(3);  // reserves 3, stores 2
    driver->DMLVariables()->Add(Record(1, 0));
    driver->DMLVariables()->Add(Record(2, 0));
    auto server = TIntercomInterface::Open(kSectionName);
    EXPECT_FALSE(server->IsAttached());
    EXPECT_EQ(server->ServerErrors(), nullptr);
    EXPECT_EQ(server->DMLVariables(), nullptr);
    // A count the mapping cannot hold, and a negative one.
    for (std::int32_t bad : {-1, 1 << 30}) {
      os::StoreInt32(driver->View(), 9637 + 256, bad);
      EXPECT_FALSE(TIntercomInterface::Open(kSectionName)->IsAttached());
    }
  }
  {
    os::SharedSection small;
    ASSERT_EQ(small.Create(kSectionName, 1000), os::SectionCreateResult::Created);
    EXPECT_FALSE(TIntercomInterface::Open(kSectionName)->IsAttached());
  }
}

TEST_F(Section, ServerWithoutDriverIsDetached) {
  auto server = TIntercomInterface::Open(kSectionName);
  EXPECT_FALSE(server->IsAttached());
  EXPECT_EQ(server->HalvorstenInfo(), nullptr);
  EXPECT_EQ(server->Terminal3(), nullptr);
}

TEST_F(Section, NegativeVariableCountLeavesDriverDetached) {
  auto owner = Driver(-1);
  EXPECT_FALSE(owner->IsAttached());
  EXPECT_EQ(owner->DMLVariables()->Count(), 0);
}

// ------------------------------------------------------------ initial state

TEST_F(Section, FreshSectionHoldsInitialStateOfAllNineBlocks) {
  auto owner = Driver(2);
  const std::uint8_t* view = owner->View();
  EXPECT_EQ(owner->HalvorstenInfo()->GetState(), 0);
  EXPECT_EQ(owner->HalvorstenInfo()->GetTransactionId(), 0);
  EXPECT_EQ(owner->HalvorstenInfo()->GetDescription(), "");
  for (int i = 0; i < 32; ++i) {
    EXPECT_EQ(owner->ServerData()->GetProcessId(i), 0);
    EXPECT_EQ(owner->ServerData()->GetWindowHandle(i), 0);
  }
  EXPECT_EQ(owner->DMLVariables()->Count(), 0);
  EXPECT_EQ(os::LoadInt32(view, 9637 + 260), -1);
  EXPECT_EQ(owner->ServerErrors()->Count(), 0);
  EXPECT_EQ(os::LoadInt32(owner->ServerErrors()->Block(), 0), 0);
  EXPECT_EQ(owner->DynemicVariables()->Count(), 0);
  EXPECT_EQ(owner->Commands()->GetId(), -1);
  EXPECT_EQ(owner->Commands()->GetReady(), 0);
  EXPECT_EQ(owner->Commands()->Count(), 0);
  EXPECT_EQ(owner->Commands()->GetName(), "");
  EXPECT_NEAR(owner->Commands()->GetTime(), os::Now(), 1.0 / 86400);
  for (TTerminalClass* t : {owner->Terminal1(), owner->Terminal2(), owner->Terminal3()}) {
    EXPECT_EQ(t->GetCounter(), 0);
    EXPECT_EQ(t->GetOwnerId(), -1);
    EXPECT_EQ(t->ReadText(), "");
    EXPECT_EQ(t->Block()[8], 0);  // busy byte released
  }
}

TEST_F(Section, SignaturesOnlyInBlocksOneTwoThreeFiveAndSix) {
  auto owner = Driver(1);
  EXPECT_TRUE(Signed(owner->HalvorstenInfo()->Block()));
  EXPECT_TRUE(Signed(owner->ServerData()->Block()));
  EXPECT_TRUE(Signed(owner->DMLVariables()->Block()));
  EXPECT_FALSE(Signed(owner->ServerErrors()->Block()));
  EXPECT_TRUE(Signed(owner->DynemicVariables()->Block()));
  EXPECT_TRUE(Signed(owner->Commands()->Block()));
  EXPECT_FALSE(Signed(owner->Terminal1()->Block()));
  EXPECT_FALSE(Signed(owner->Terminal2()->Block()));
  EXPECT_FALSE(Signed(owner->Terminal3()->Block()));
}

TEST_F(Section, ServerAttachInitialisesNothing) {
  auto driver = FilledDriver(1);
  driver->HalvorstenInfo()->SetState(2);
  driver->Terminal1()->WriteText("line");
  driver->Terminal1()->SetOwnerId(3);
  driver->DynemicVariables()->AddOrUpdate("link", false, 1.0f, 0.0);
  driver->Commands()->SetId(7);
  std::vector<std::uint8_t> before(driver->View(), driver->View() + driver->ViewSize());
  auto server = TIntercomInterface::Open(kSectionName);
  ASSERT_TRUE(server->IsAttached());
  EXPECT_EQ(std::memcmp(before.data(), driver->View(), before.size()), 0);
  EXPECT_EQ(server->Terminal1()->ReadText(), "line");
  EXPECT_EQ(server->Terminal1()->GetOwnerId(), 3);
  EXPECT_EQ(server->Commands()->GetId(), 7);
  EXPECT_EQ(server->DynemicVariables()->Count(), 1);
}

// ------------------------------------------------------------ detached

TEST_F(Section, DetachedAccessorsAnswerNeutralValuesAndWriteNothing) {
  auto first = Driver(0);
  auto owner = Driver(0);  // the name is taken: stays detached
  ASSERT_FALSE(owner->IsAttached());
  EXPECT_EQ(owner->HalvorstenInfo()->GetTransactionId(), 0);
  EXPECT_EQ(owner->HalvorstenInfo()->GetDescription(), "");
  EXPECT_EQ(owner->HalvorstenInfo()->GetState(), 0);
  owner->HalvorstenInfo()->SetState(2);
  EXPECT_EQ(owner->ServerData()->GetProcessId(0), 0);
  EXPECT_EQ(owner->DMLVariables()->Count(), 0);
  EXPECT_FALSE(owner->DMLVariables()->Add(Record(1, 0)));
  EXPECT_EQ(owner->DMLVariables()->ItemPtr(0), nullptr);
  EXPECT_FALSE(owner->DynemicVariables()->AddOrUpdate("X", false, 1, 0));
  EXPECT_EQ(owner->Commands()->GetId(), -1);
  EXPECT_EQ(owner->Commands()->GetName(), "");
  EXPECT_EQ(owner->Commands()->GetReady(), 0);
  EXPECT_NEAR(owner->Commands()->GetTime(), os::Now(), 1.0 / 86400);
  EXPECT_FALSE(owner->Commands()->Reset());
  EXPECT_FALSE(owner->Commands()->Commit());
  TCommandBlock copy;
  std::memset(&copy, 0xAB, sizeof copy);
  EXPECT_FALSE(owner->Commands()->CopyBlock(copy));
  EXPECT_EQ(+copy.Count, 0);
  EXPECT_EQ(owner->ServerErrors()->Count(), 0);
  EXPECT_FALSE(owner->ServerErrors()->Add(1, "x"));
  TServerErrorBlock errors;
  std::memset(&errors, 0xAB, sizeof errors);
  EXPECT_FALSE(owner->ServerErrors()->CopyOut(errors, true));
  EXPECT_EQ(+errors.Count, 0);
  EXPECT_EQ(+errors.Sequence, 0);
  EXPECT_FALSE(owner->Terminal1()->WriteText("x"));
  EXPECT_EQ(owner->Terminal1()->ReadText(), "");
  EXPECT_EQ(owner->Terminal1()->GetOwnerId(), -1);
  EXPECT_EQ(owner->Terminal1()->GetCounter(), 0);
  // The first owner is unchanged.
  EXPECT_EQ(first->HalvorstenInfo()->GetState(), 0);
  EXPECT_EQ(first->Terminal1()->GetCounter(), 0);
}

TEST_F(Section, CloseMappingDetachesTheAccessors) {
  auto owner = Driver(1);
  EXPECT_TRUE(owner->CloseMapping());
  EXPECT_FALSE(owner->IsAttached());
  EXPECT_EQ(owner->Terminal2()->Block(), nullptr);
  EXPECT_FALSE(owner->Terminal2()->WriteText("after close"));
  EXPECT_EQ(owner->DMLVariables()->Count(), 0);
}

// ------------------------------------------------------------ blocks 1 and 2

TEST_F(Section, DriverInfoTextsAreCutTo255) {
  auto owner = Driver(0);
  const std::string longText(300, 'd');
  owner->HalvorstenInfo()->SetDescription(longText);
  EXPECT_EQ(owner->HalvorstenInfo()->GetDescription(), longText.substr(0, 255));
  owner->HalvorstenInfo()->SetPrefixList(":A::B:");
  EXPECT_EQ(os::LoadShortString(owner->View(), 513), ":A::B:");
  owner->HalvorstenInfo()->SetState(3);
  EXPECT_EQ(owner->View()[512], 3);
  owner->HalvorstenInfo()->SetTransactionId(65535);
  EXPECT_EQ(os::LoadInt32(owner->View(), 769), 65535);
}

TEST_F(Section, ServerSlotsOutsideRangeAndDriverSideSetters) {
  auto owner = Driver(0);
  EXPECT_EQ(owner->ServerData()->GetProcessId(32), 0);
  EXPECT_EQ(owner->ServerData()->GetProcessId(-1), 0);
  EXPECT_EQ(owner->ServerData()->GetWindowHandle(32), 0);
  std::vector<std::uint8_t> before(owner->ServerData()->Block(),
                                   owner->ServerData()->Block() + TServerData::BlockSize());
  ServerIndex = -1;
  owner->ServerData()->SetOwnRunning(true);
  owner->ServerData()->SetOwnProcessId(5);
  owner->ServerData()->SetOwnHeartbeat(5);
  EXPECT_EQ(std::memcmp(before.data(), owner->ServerData()->Block(), before.size()), 0);
  EXPECT_EQ(owner->ServerData()->GetOwnHeartbeat(), 0);
  ServerIndex = 32;
  owner->ServerData()->SetOwnRunning(true);
  EXPECT_EQ(std::memcmp(before.data(), owner->ServerData()->Block(), before.size()), 0);
}

TEST_F(Section, ServerOwnSlotFields) {
  auto driver = Driver(0);
  auto server = TIntercomInterface::Open(kSectionName);
  ServerIndex = 5;
  server->ServerData()->SetOwnHeartbeat(7);
  EXPECT_EQ(os::LoadInt32(driver->View(), 2638), 7);
  server->ServerData()->SetOwnProcessId(1234);
  server->ServerData()->SetOwnWindowHandle(99);
  server->ServerData()->SetOwnRunning(true);
  EXPECT_EQ(driver->ServerData()->GetProcessId(5), 1234);
  EXPECT_EQ(driver->ServerData()->GetWindowHandle(5), 99);
  EXPECT_EQ(driver->View()[773 + 256 + 269 * 5 + 268], 1);
  EXPECT_EQ(server->ServerData()->GetOwnProcessId(), 1234);
  EXPECT_EQ(server->ServerData()->GetOwnWindowHandle(), 99);
}

TEST_F(Section, CountersWrap) {
  EXPECT_EQ(NextCounter(0), 1);
  EXPECT_EQ(NextCounter(65534), 65535);
  EXPECT_EQ(NextCounter(65535), 0);
  EXPECT_EQ(NextCounter(-7), -6);  // only a terminal's counts as 0 first
  EXPECT_EQ(NextTerminalCounter(-7), 1);
  EXPECT_EQ(NextTerminalCounter(65535), 0);
  EXPECT_EQ(NextHeartbeat(-7), -6);
  EXPECT_EQ(NextHeartbeat(65535), 65536);
  EXPECT_EQ(NextHeartbeat(65536), 0);
  auto owner = Driver(0);
  ServerIndex = 0;
  owner->ServerData()->SetOwnHeartbeat(65535);
  for (int expected : {65536, 0, 1}) {
    owner->ServerData()->SetOwnHeartbeat(NextHeartbeat(owner->ServerData()->GetOwnHeartbeat()));
    EXPECT_EQ(owner->ServerData()->GetOwnHeartbeat(), expected);
  }
}

// ------------------------------------------------------------ block 3

TEST_F(Section, VariableTableAddsUpToCapacity) {
  auto owner = Driver(2);
  TDMLVariablesList* vars = owner->DMLVariables();
  EXPECT_TRUE(vars->Add(Record(11, 12.5f)));
  EXPECT_TRUE(vars->Add(Record(12, 0)));
  EXPECT_FALSE(vars->Add(Record(13, 0)));
  EXPECT_EQ(vars->Count(), 2);
  const std::uint8_t* first = vars->ItemPtr(0);
  EXPECT_EQ(os::LoadSingle(first, 0), 12.5f);
  EXPECT_EQ(os::LoadSingle(first, 4), 12.5f);
  EXPECT_NEAR(os::LoadDouble(first, 8), os::Now(), 1.0 / 86400);
  EXPECT_EQ(os::LoadInt32(first, 16), 11);
  EXPECT_EQ(HostRecordRouting(first + 16), "OPC:T11");
  TDMLVariable item{};
  EXPECT_FALSE(vars->GetItem(2, item));
  EXPECT_FALSE(vars->GetItem(-1, item));
  ASSERT_TRUE(vars->GetItem(1, item));
  EXPECT_EQ(+item.Info.Id, 12);
  EXPECT_EQ(+item.Info.Scale, 2.0f);
}

TEST_F(Section, ServerAndDriverWriteTheirOwnValueFields) {
  auto driver = FilledDriver(3);
  auto server = TIntercomInterface::Open(kSectionName);
  EXPECT_TRUE(server->DMLVariables()->SetValue(2, 4.25f, 65000.5));
  EXPECT_FALSE(server->DMLVariables()->SetValue(3, 1.0f, 0));
  EXPECT_FALSE(server->DMLVariables()->SetValue(-1, 1.0f, 0));
  EXPECT_FALSE(server->DMLVariables()->Add(Record(9, 0)));  // capacity -1
  EXPECT_TRUE(driver->DMLVariables()->SetSentValue(2, 3.0f));
  EXPECT_FALSE(driver->DMLVariables()->SetSentValue(3, 3.0f));
  TDMLVariable item{};
  ASSERT_TRUE(driver->DMLVariables()->GetItem(2, item));
  EXPECT_EQ(+item.Value, 4.25f);
  EXPECT_EQ(+item.SentValue, 3.0f);
  EXPECT_EQ(+item.Time, 65000.5);
  EXPECT_EQ(server->DMLVariables()->ItemPtr(3), nullptr);
}

// The rows NextChangedRow walks to from the first on.
std::vector<std::int32_t> ChangedRows(const TDMLVariablesList& table) {
  std::vector<std::int32_t> rows;
  for (std::int32_t i = table.NextChangedRow(0); i >= 0; i = table.NextChangedRow(i + 1)) rows.push_back(i);
  return rows;
}

TEST_F(Section, ChangedRowsAreThoseWhoseValueDiffersFromTheSentOne) {
  auto driver = FilledDriver(5);  // values 0, 0.5, 1, 1.5, 2: all sent
  auto server = TIntercomInterface::Open(kSectionName);
  EXPECT_TRUE(ChangedRows(*driver->DMLVariables()).empty());
  server->DMLVariables()->SetValue(1, 0.5f, 0);  // the same value again
  server->DMLVariables()->SetValue(3, 9.0f, 0);
  server->DMLVariables()->SetValue(4, std::numeric_limits<float>::quiet_NaN(), 0);
  EXPECT_EQ(ChangedRows(*driver->DMLVariables()), (std::vector<std::int32_t>{3, 4}));
  EXPECT_EQ(driver->DMLVariables()->NextChangedRow(-7), 3);
  EXPECT_EQ(driver->DMLVariables()->NextChangedRow(5), -1);
  EXPECT_EQ(driver->DMLVariables()->NextChangedRow(1000), -1);
  server.reset();
  driver.reset();
  TDMLVariablesList detached(5);
  EXPECT_EQ(detached.NextChangedRow(0), -1);
}

TEST_F(Section, ChangeCounterStartsAtMinusOneOnEveryAttachAndWraps) {
  auto driver = FilledDriver(2);
  TDMLVariablesList& reader = *driver->DMLVariables();
  EXPECT_EQ(reader.ChangeCounter(), -1);
  auto server = TIntercomInterface::Open(kSectionName);
  TDMLVariablesList& writer = *server->DMLVariables();
  writer.BumpChangeCounter();
  writer.BumpChangeCounter();
  EXPECT_EQ(reader.ChangeCounter(), 1);
  EXPECT_EQ(os::LoadInt32(driver->View(), 9637 + 260), 1) << "the reserved int32 of block 3";
  os::StoreInt32(driver->View(), 9637 + 260, std::numeric_limits<std::int32_t>::max());
  writer.BumpChangeCounter();
  EXPECT_EQ(reader.ChangeCounter(), 0);
  // A server that attaches again starts over, which the driver sees as a move.
  server = TIntercomInterface::Open(kSectionName);
  EXPECT_EQ(reader.ChangeCounter(), -1);
  server.reset();
  TDMLVariablesList detached(-1);
  detached.BumpChangeCounter();
  EXPECT_EQ(detached.ChangeCounter(), 0);
}

// A guarded value in place, its server's write and its driver's read.
struct Guarded {
  std::uint8_t* value;
  std::uint8_t* time;
  std::function<void(float)> write;
  std::function<bool(float&)> read;
};

// A write of `next` over the value the field holds, caught halfway as a
// reader may see it wherever the field lies: the time shows the mark
// whole or only in a part on either side of any byte, and the value is
// half old, half new at any byte. None is read; the write, once done, is.
void ExpectNoHalfWriteRead(const Guarded& g, float next, const std::string& where) {
  std::uint8_t value[4], time[8], newValue[4], mark[8];
  std::memcpy(value, g.value, 4);
  std::memcpy(time, g.time, 8);
  std::memcpy(newValue, &next, 4);
  std::memset(mark, 0xFF, 8);
  float read = 0;
  for (int timeCut = 0; timeCut < 8; ++timeCut) {
    for (const bool markFirst : {true, false}) {
      for (int valueCut = 1; valueCut < 4; ++valueCut) {
        for (const bool newFirst : {true, false}) {
          for (int b = 0; b < 8; ++b) g.time[b] = timeCut == 0 || (b < timeCut) == markFirst ? mark[b] : time[b];
          for (int b = 0; b < 4; ++b) g.value[b] = (b < valueCut) == newFirst ? newValue[b] : value[b];
          ASSERT_FALSE(g.read(read)) << where << " time cut " << timeCut << " value cut " << valueCut;
        }
      }
    }
  }
  std::memcpy(g.value, value, 4);
  std::memcpy(g.time, time, 8);
  g.write(next);
  ASSERT_TRUE(g.read(read)) << where;
  EXPECT_EQ(read, next) << where;
}

// Every one of 64 rows (their values lie at every offset of a 64-byte
// line) and items at many offsets, in the section as the driver maps it.
TEST_F(Section, NoRowOrItemIsReadHalfWritten) {
  auto driver = FilledDriver(64);
  auto server = TIntercomInterface::Open(kSectionName);
  ASSERT_EQ(reinterpret_cast<std::uintptr_t>(driver->View()) % 4096, 0u);
  TDMLVariablesList& rows = *driver->DMLVariables();
  TDMLVariablesList& rowWriter = *server->DMLVariables();
  for (std::int32_t row = 0; row < 64; ++row) {
    ASSERT_TRUE(rowWriter.SetValue(row, 0.1f, 45000));
    std::uint8_t* item = rows.ItemPtr(row);
    ExpectNoHalfWriteRead({item + offsetof(TDMLVariable, Value), item + offsetof(TDMLVariable, Time),
                           [&rowWriter, row](float v) { rowWriter.SetValue(row, v, 45000); },
                           [item](float& v) { return TDMLVariablesList::ReadValue(item, v); }},
                          123.456f, "row " + std::to_string(row));
  }
  TDynemicVariablesList& dyn = *driver->DynemicVariables();
  TDynemicVariablesList& itemWriter = *server->DynemicVariables();
  for (std::int32_t i = 0; i < 16; ++i) ASSERT_TRUE(dyn.AddOrUpdate("D" + std::to_string(i), false, 0, 0));
  for (std::int32_t i = 0; i < 16; ++i) {
    const std::string name = "D" + std::to_string(i);
    ASSERT_TRUE(itemWriter.AddOrUpdate(name, true, 0.1f, 45000));
    std::uint8_t* item = dyn.Block() + 260 + sizeof(TDynemicItem) * i;
    ExpectNoHalfWriteRead({item + offsetof(TDynemicItem, Value), item + offsetof(TDynemicItem, Time),
                           [&itemWriter, name](float v) { itemWriter.AddOrUpdate(name, true, v, 45000); },
                           [&dyn, i](float& v) {
                             TDynemicItem got{};
                             if (!dyn.GetItem(i, got)) return false;
                             v = got.Value;
                             return true;
                           }},
                          123.456f, "item " + std::to_string(i));
  }
}

// Times never go back and never show the mark in a part: a time not above
// the last becomes the next double after it, a first byte of 0xFF the next
// double without it. A time left marked by a dead server is not a last one.
TEST_F(Section, GuardTimesOnlyGrowAndNeverShowTheMark) {
  auto driver = FilledDriver(1);
  auto server = TIntercomInterface::Open(kSectionName);
  TDMLVariablesList& writer = *server->DMLVariables();
  std::uint8_t* row = driver->DMLVariables()->ItemPtr(0);
  const auto bits = [](double time) { return std::bit_cast<std::uint64_t>(time); };
  const std::uint64_t lowFF = 0x40E5'F3C0'0000'00FF, mark = ~std::uint64_t{0};
  struct Write {
    std::uint64_t last;
    double given;
    std::uint64_t stored;
  };
  for (const Write& w : {Write{bits(40000), 60000, bits(60000)}, Write{bits(60000), 60000, bits(60000) + 1},
                         Write{bits(60000), 50000, bits(60000) + 1}, Write{bits(40000), std::bit_cast<double>(lowFF), lowFF + 1},
                         Write{lowFF - 1, 40000, lowFF + 1}, Write{bits(40000), -1, bits(40000) + 1},
                         Write{bits(40000), std::numeric_limits<double>::quiet_NaN(), bits(40000) + 1},
                         Write{mark, 50000, bits(50000)}, Write{mark, -1, 0}}) {
    os::StoreU64(row, offsetof(TDMLVariable, Time), w.last);
    ASSERT_TRUE(writer.SetValue(0, 1.0f, w.given));
    EXPECT_EQ(os::LoadU64(row, offsetof(TDMLVariable, Time)), w.stored) << std::hex << w.last << " " << w.given;
  }
}

// Bumps that carry across the counter's bytes: the reader never sees a
// count go back, so none is a mix of two.
TEST_F(Section, ChangeCounterIsReadWholeWhileTheServerBumps) {
  auto driver = FilledDriver(1);
  auto server = TIntercomInterface::Open(kSectionName);
  os::StoreInt32(driver->View(), 9637 + 260, 0x00FFFF00);
  TDMLVariablesList& writer = *server->DMLVariables();
  constexpr std::int32_t kBumps = 0x200000;
  std::atomic<bool> reading{false}, done{false};
  std::thread bumper([&] {
    while (!reading) std::this_thread::yield();
    for (std::int32_t i = 0; i < kBumps; ++i) writer.BumpChangeCounter();
    done = true;
  });
  std::int32_t last = 0x00FFFF00, backwards = 0;
  reading = true;
  while (!done) {
    const std::int32_t now = driver->DMLVariables()->ChangeCounter();
    backwards += now < last;
    last = now;
  }
  bumper.join();
  EXPECT_EQ(backwards, 0);
  EXPECT_EQ(driver->DMLVariables()->ChangeCounter(), 0x00FFFF00 + kBumps);
}

TEST_F(Section, StoredCountIsBoundedByTheBlock) {
  auto owner = FilledDriver(2);
  os::StoreInt32(owner->View(), 9637 + 256, 5000);
  EXPECT_EQ(owner->DMLVariables()->Count(), 2);
  EXPECT_EQ(owner->DMLVariables()->ItemPtr(2), nullptr);
  os::StoreInt32(owner->View(), 9637 + 256, -4);
  EXPECT_EQ(owner->DMLVariables()->Count(), 0);
}

// ------------------------------------------------------------ block 5

TEST_F(Section, DynamicNamesAreTrimmedAndUpperCasedByCp1251Rules) {
  auto owner = Driver(0);
  TDynemicVariablesList* dyn = owner->DynemicVariables();
  const std::string name = std::string("  ") + std::string("связь_a"_cp) + " \t";
  ASSERT_TRUE(dyn->AddOrUpdate(name, false, 1.5f, 100.0));
  TDynemicItem item{};
  ASSERT_TRUE(dyn->GetItem(0, item));
  EXPECT_EQ(ShortStringOf(item.Name), std::string("СВЯЗЬ_A"_cp));
  EXPECT_EQ(+item.Value, 1.5f);
  EXPECT_EQ(+item.Info.Id, -1);
  // Another mix of cases updates the same item.
  EXPECT_TRUE(dyn->AddOrUpdate(std::string("СвЯзь_A"_cp), true, 2.5f, 200.0));
  EXPECT_EQ(dyn->Count(), 1);
  ASSERT_TRUE(dyn->GetItem(0, item));
  EXPECT_EQ(+item.Value, 2.5f);
  EXPECT_EQ(+item.Time, 200.0);
  EXPECT_FALSE(dyn->AddOrUpdate("OTHER", true, 1, 0));
  EXPECT_EQ(dyn->Count(), 1);
  EXPECT_FALSE(dyn->GetItem(-1, item));
  EXPECT_FALSE(dyn->GetItem(1, item));
}

TEST_F(Section, DynamicListHolds255ItemsAndStillUpdates) {
  auto owner = Driver(0);
  TDynemicVariablesList* dyn = owner->DynemicVariables();
  for (int i = 0; i < 255; ++i) ASSERT_TRUE(dyn->AddOrUpdate("T" + std::to_string(i), false, 0, 0));
  EXPECT_FALSE(dyn->AddOrUpdate("T255", false, 0, 0));
  EXPECT_EQ(dyn->Count(), 255);
  EXPECT_TRUE(dyn->AddOrUpdate("t254", false, 9.0f, 0));
  TDynemicItem item{};
  ASSERT_TRUE(dyn->GetItem(254, item));
  EXPECT_EQ(+item.Value, 9.0f);
  // A stored count out of range is bounded.
  os::StoreInt32(dyn->Block(), 256, 100000);
  EXPECT_EQ(dyn->Count(), 255);
  EXPECT_FALSE(dyn->AddOrUpdate("NEW", false, 0, 0));
  os::StoreInt32(dyn->Block(), 256, -5);
  EXPECT_EQ(dyn->Count(), 0);
  EXPECT_FALSE(dyn->GetItem(0, item));
}

TEST_F(Section, LongDynamicNameUpdatesItsEntry) {
  auto owner = Driver(0);
  TDynemicVariablesList* dyn = owner->DynemicVariables();
  const std::string name(300, 'N');
  EXPECT_TRUE(dyn->AddOrUpdate(name, false, 1, 0));
  EXPECT_TRUE(dyn->AddOrUpdate(name, false, 2, 0));
  EXPECT_TRUE(dyn->AddOrUpdate(name, true, 3, 0));
  EXPECT_EQ(dyn->Count(), 1);
  TDynemicItem item{};
  ASSERT_TRUE(dyn->GetItem(0, item));
  EXPECT_EQ(ShortStringOf(item.Name), std::string(255, 'N'));
  EXPECT_EQ(+item.Value, 3.0f);
}

TEST_F(Section, SetItemStoresOnlyTheHostRecord) {
  auto owner = Driver(0);
  TDynemicVariablesList* dyn = owner->DynemicVariables();
  dyn->AddOrUpdate("LINK", false, 4.0f, 50.0);
  TDynemicItem given{};
  SetShortString(given.Name, "OTHER");
  given.Value = 99.0f;
  given.Info = Record(77, 0);
  EXPECT_TRUE(dyn->SetItem(0, given));
  EXPECT_FALSE(dyn->SetItem(1, given));
  TDynemicItem item{};
  ASSERT_TRUE(dyn->GetItem(0, item));
  EXPECT_EQ(ShortStringOf(item.Name), "LINK");
  EXPECT_EQ(+item.Value, 4.0f);
  EXPECT_EQ(+item.Time, 50.0);
  EXPECT_EQ(+item.Info.Id, 77);
  EXPECT_EQ(HostRecordName(item.Info), "VAR77");
}

// ------------------------------------------------------------ block 6

TSharedCommand Command(std::int32_t id) {
  TSharedCommand command{};
  command.Id = id;
  SetShortString(command.Prefix, "opc");
  command.DeviceNumber = 1;
  command.Address = id * 2;
  command.Value = 1.5f;
  command.Value2 = 2.5f;
  return command;
}

TEST_F(Section, BatchHoldsSeventeenCommands) {
  auto owner = Driver(0);
  TCommandsList* batch = owner->Commands();
  for (int i = 0; i < 17; ++i) ASSERT_TRUE(batch->Add(Command(i)));
  EXPECT_FALSE(batch->Add(Command(17)));
  EXPECT_EQ(batch->Count(), 17);
  TCommandBlock copy{};
  ASSERT_TRUE(batch->CopyBlock(copy));
  EXPECT_EQ(+copy.Commands[16].Id, 16);
  EXPECT_EQ(+copy.Commands[16].Address, 32);
  EXPECT_EQ(ShortStringOf(copy.Commands[16].Prefix), "opc");
  // A stored count outside 0..16 refuses appends and reads bounded.
  os::StoreInt32(batch->Block(), 528, -1);
  EXPECT_FALSE(batch->Add(Command(1)));
  EXPECT_EQ(batch->Count(), 0);
  os::StoreInt32(batch->Block(), 528, 40);
  EXPECT_EQ(batch->Count(), 17);
  ASSERT_TRUE(batch->CopyBlock(copy));
  EXPECT_EQ(copy.CommandCount(), 17);
}

TEST_F(Section, EmptyCommitResetsAndResetClearsNameAndId) {
  auto owner = Driver(0);
  TCommandsList* batch = owner->Commands();
  batch->SetId(4);
  batch->SetName("dev");
  EXPECT_EQ(batch->GetName(), "DEV");
  EXPECT_FALSE(batch->Commit());
  EXPECT_EQ(batch->GetReady(), 0);
  EXPECT_EQ(batch->GetId(), -1);
  EXPECT_EQ(batch->GetName(), "");
  EXPECT_TRUE(Signed(batch->Block()));
  batch->SetName(std::string(300, 'q'));
  EXPECT_EQ(batch->GetName(), std::string(255, 'Q'));
}

// Fills and commits a batch for device 3, prefix "opc".
void CommitBatch(TCommandsList* batch, int commands) {
  batch->Reset();
  batch->SetId(3);
  batch->SetName("opc");
  for (int i = 0; i < commands; ++i) batch->Add(Command(i));
  ASSERT_TRUE(batch->Commit());
}

TEST_F(Section, ServerTakesOnlyACommittedBatchForItsDevice) {
  auto driver = Driver(0);
  auto server = TIntercomInterface::Open(kSectionName);
  TCommandsList* take = server->Commands();
  TCommandBlock copy{};
  EXPECT_FALSE(take->TakeBlock(3, "OPC", copy));  // free
  CommitBatch(driver->Commands(), 3);
  EXPECT_FALSE(take->TakeBlock(4, "OPC", copy));
  EXPECT_FALSE(take->TakeBlock(3, "OPX", copy));
  EXPECT_EQ(+copy.Count, 0);  // discarded
  EXPECT_EQ(driver->Commands()->GetReady(), 1);
  ASSERT_TRUE(take->TakeBlock(3, "OPC", copy));
  EXPECT_EQ(copy.CommandCount(), 3);
  EXPECT_EQ(+copy.Commands[2].Id, 2);
  EXPECT_EQ(+copy.State, 2);
  EXPECT_EQ(driver->Commands()->GetReady(), 2);
  EXPECT_FALSE(take->TakeBlock(3, "OPC", copy));  // already taken
  EXPECT_TRUE(take->MarkDone());
  EXPECT_FALSE(take->MarkDone());
  EXPECT_EQ(driver->Commands()->GetReady(), 3);
  EXPECT_TRUE(driver->Commands()->ResetFrom(3));
  EXPECT_EQ(driver->Commands()->GetReady(), 0);
  EXPECT_EQ(driver->Commands()->Count(), 0);
  EXPECT_EQ(driver->Commands()->GetId(), -1);
}

TEST_F(Section, DoneOnlyFollowsTaken) {
  auto driver = Driver(0);
  CommitBatch(driver->Commands(), 1);
  // A "done" for an older batch must not land on a batch not yet taken.
  EXPECT_FALSE(driver->Commands()->MarkDone());
  EXPECT_EQ(driver->Commands()->GetReady(), 1);
}

TEST_F(Section, TimeOutResetOnlyFromTheStateItSaw) {
  auto driver = Driver(0);
  auto server = TIntercomInterface::Open(kSectionName);
  CommitBatch(driver->Commands(), 2);
  TCommandBlock copy{};
  ASSERT_TRUE(server->Commands()->TakeBlock(3, "opc", copy));
  // The driver read state 1 before the server took it: nothing happens.
  EXPECT_FALSE(driver->Commands()->ResetFrom(1));
  EXPECT_EQ(driver->Commands()->Count(), 2);
  EXPECT_EQ(driver->Commands()->GetReady(), 2);
  EXPECT_FALSE(driver->Commands()->ResetFrom(0));
  EXPECT_TRUE(driver->Commands()->ResetFrom(2));
  EXPECT_EQ(driver->Commands()->Count(), 0);
  EXPECT_EQ(driver->Commands()->GetReady(), 0);
  // The server's done after a time-out finds nothing to mark.
  EXPECT_FALSE(server->Commands()->MarkDone());
  EXPECT_EQ(driver->Commands()->GetReady(), 0);
}

// ------------------------------------------------------------ block 4

TEST_F(Section, ErrorListHoldsHundredAndEmptiesOnCopy) {
  auto driver = Driver(0);
  auto server = TIntercomInterface::Open(kSectionName);
  for (int i = 0; i < 100; ++i) ASSERT_TRUE(server->ServerErrors()->Add(i, "e" + std::to_string(i)));
  EXPECT_FALSE(server->ServerErrors()->Add(100, "dropped"));
  EXPECT_EQ(driver->ServerErrors()->Count(), 100);
  TServerErrorBlock copy{};
  ASSERT_TRUE(driver->ServerErrors()->CopyOut(copy, true));
  EXPECT_EQ(+copy.Count, 100);
  EXPECT_EQ(+copy.Sequence, 100);
  EXPECT_EQ(+copy.Entries[99].Code, 99);
  EXPECT_EQ(ShortStringOf(copy.Entries[99].Text), "e99");
  EXPECT_NEAR(+copy.Entries[0].Time, os::Now(), 1.0 / 86400);
  EXPECT_EQ(+copy.Entries[100].Code, 0);
  EXPECT_EQ(driver->ServerErrors()->Count(), 0);
  EXPECT_EQ(os::LoadInt32(driver->ServerErrors()->Block(), 0), 0);
  EXPECT_EQ(driver->ServerErrors()->Block()[4], 0);  // busy byte released
}

TEST_F(Section, ErrorTextsAreCutAndSequenceWraps) {
  auto owner = Driver(0);
  TServerErrorList* errors = owner->ServerErrors();
  os::StoreInt32(errors->Block(), 0, 65535);
  ASSERT_TRUE(errors->Add(-3, std::string(400, 't')));
  TServerErrorBlock copy{};
  ASSERT_TRUE(errors->CopyOut(copy, false));
  EXPECT_EQ(+copy.Sequence, 0);
  EXPECT_EQ(ShortStringOf(copy.Entries[0].Text), std::string(255, 't'));
  EXPECT_EQ(errors->Count(), 1);
  os::StoreInt32(errors->Block(), 0, -7);  // a negative sequence just goes up
  ASSERT_TRUE(errors->Add(-3, "u"));
  EXPECT_EQ(os::LoadInt32(errors->Block(), 0), -6);
  EXPECT_TRUE(errors->Clear());
  EXPECT_EQ(errors->Count(), 0);
}

TEST_F(Section, ErrorCountOutOfRangeIsBounded) {
  auto owner = Driver(0);
  TServerErrorList* errors = owner->ServerErrors();
  os::StoreInt32(errors->Block(), 8, 70000);
  EXPECT_EQ(errors->Count(), 100);
  EXPECT_FALSE(errors->Add(1, "x"));
  TServerErrorBlock copy{};
  ASSERT_TRUE(errors->CopyOut(copy, false));
  EXPECT_EQ(+copy.Count, 100);
  os::StoreInt32(errors->Block(), 8, -2);
  EXPECT_FALSE(errors->Add(1, "x"));
  ASSERT_TRUE(errors->CopyOut(copy, true));
  EXPECT_EQ(+copy.Count, 0);
  EXPECT_TRUE(errors->Add(1, "x"));  // emptied by the copy
}

// ------------------------------------------------------------ terminals

TEST_F(Section, TerminalStoresAtMost56535Characters) {
  auto owner = Driver(0);
  TTerminalClass* t = owner->Terminal2();
  const std::string longest(56535, 'x');
  ASSERT_TRUE(t->WriteText(longest));
  EXPECT_EQ(t->GetCounter(), 1);
  EXPECT_EQ(t->ReadText(), longest);
  EXPECT_FALSE(t->WriteText(std::string(56536, 'y')));
  EXPECT_EQ(t->GetCounter(), 1);
  EXPECT_EQ(t->ReadText(), longest);
  ASSERT_TRUE(t->WriteText(""));
  EXPECT_EQ(t->ReadText(), "");
  EXPECT_EQ(t->GetCounter(), 2);
}

TEST_F(Section, TerminalCounterWrapsAndNegativeCountsAsZero) {
  auto owner = Driver(0);
  TTerminalClass* t = owner->Terminal1();
  os::StoreInt32(t->Block(), 0, 65535);
  ASSERT_TRUE(t->WriteText("a"));
  EXPECT_EQ(t->GetCounter(), 0);
  os::StoreInt32(t->Block(), 0, -20);
  ASSERT_TRUE(t->WriteText("b"));
  EXPECT_EQ(t->GetCounter(), 1);
  t->SetOwnerId(4);
  EXPECT_EQ(t->GetOwnerId(), 4);
}

TEST_F(Section, TerminalTextWithoutTerminatorIsBounded) {
  auto owner = Driver(0);
  TTerminalClass* t = owner->Terminal3();
  std::memset(t->Block() + 280, 'z', 56536);  // the other side forgot the terminator
  EXPECT_EQ(t->ReadText(), std::string(56535, 'z'));
}

// ------------------------------------------------------------ busy byte

// The busy byte of each guarded block, set as a dead or slow holder left it.
struct HeldBlocks {
  explicit HeldBlocks(TIntercomInterface& owner)
      : errors(owner.ServerErrors()->Block() + 4), terminal(owner.Terminal2()->Block() + 8) {
    *errors = 1;
    *terminal = 1;
  }
  std::uint8_t* errors;
  std::uint8_t* terminal;
};

TEST_F(Section, BusyByteGivesUpJustAfterTheLockTimeout) {
  auto owner = Driver(0);
  ASSERT_TRUE(owner->Terminal2()->WriteText("kept"));
  ASSERT_TRUE(owner->ServerErrors()->Add(5, "kept"));
  std::vector<std::uint8_t> before(owner->View(), owner->View() + owner->ViewSize());
  HeldBlocks held(*owner);
  before[owner->ServerErrors()->Block() - owner->View() + 4] = 1;
  before[owner->Terminal2()->Block() - owner->View() + 8] = 1;

  // Start just before the tick counter wraps: the wait must not prolong.
  os::TestClock clock(os::TestClock::Mode::AdvanceOnSleep, 0xFFFFF000u);
  auto timed = [](auto operation) {
    const std::uint32_t start = os::GetTickCount();
    operation();
    return os::TickDiff(os::GetTickCount(), start);
  };
  auto inBounds = [](std::uint32_t waited) { return waited > 3000 && waited <= 3010; };

  EXPECT_PRED1(inBounds, timed([&] { EXPECT_FALSE(owner->Terminal2()->WriteText("new")); }));
  EXPECT_PRED1(inBounds, timed([&] { EXPECT_EQ(owner->Terminal2()->ReadText(), ""); }));
  TServerErrorBlock copy{};
  EXPECT_PRED1(inBounds, timed([&] { EXPECT_FALSE(owner->ServerErrors()->CopyOut(copy, true)); }));
  EXPECT_EQ(+copy.Count, 0);
  EXPECT_EQ(+copy.Entries[0].Code, 0);
  EXPECT_PRED1(inBounds, timed([&] { EXPECT_FALSE(owner->ServerErrors()->Add(6, "new")); }));
  EXPECT_PRED1(inBounds, timed([&] { EXPECT_FALSE(owner->ServerErrors()->Clear()); }));
  // Nothing changed, and the bytes still belong to their holder.
  EXPECT_EQ(std::memcmp(before.data(), owner->View(), before.size()), 0);

  // Any non-zero value counts as set.
  *held.terminal = 7;
  EXPECT_FALSE(owner->Terminal2()->WriteText("new"));
  owner->Terminal2()->ClearBusy();
  owner->ServerErrors()->ClearBusy();
  EXPECT_TRUE(owner->Terminal2()->WriteText("new"));
  EXPECT_EQ(owner->ServerErrors()->Count(), 1);
  EXPECT_TRUE(owner->ServerErrors()->Add(6, "new"));
}

TEST_F(Section, BusyByteGivesUpOnTheRealClock) {
  auto owner = Driver(0);
  owner->Terminal1()->Block()[8] = 1;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(owner->Terminal1()->WriteText("late"));
  const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - start);
  EXPECT_GE(waited.count(), 3000);
  EXPECT_LT(waited.count(), 20000);  // generous: a loaded machine
  EXPECT_EQ(owner->Terminal1()->GetCounter(), 0);
}

// ------------------------------------------------------------ host records

TEST(HostRecords, TextsAreBoundedWhateverTheRecordHolds) {
  TVLVariableInfo info{};
  std::memset(&info, 'A', sizeof info);  // no terminator anywhere
  EXPECT_EQ(HostRecordName(info), std::string(40, 'A'));
  EXPECT_EQ(HostRecordRouting(info), std::string(611, 'A'));
  std::memcpy(info.Name, "TAG\0", 4);
  std::memcpy(info.Routing, "OPC:DEVICE=1;ADDRESS=2\0", 23);
  EXPECT_EQ(HostRecordName(info), "TAG");
  EXPECT_EQ(HostRecordRouting(info), "OPC:DEVICE=1;ADDRESS=2");
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(&info);
  EXPECT_EQ(HostRecordName(bytes), "TAG");
  EXPECT_EQ(os::LoadInt32(bytes, 0), 0x41414141);
}

}  // namespace

// The variable index over the shared table and the OPC item index of a
// device.

#include "server/VariableIndex.h"

#include "exchange/OPCSharedMemory.h"
#include "platform/os/ByteFields.h"
#include "platform/os/Text.h"
#include "platform/os/Time.h"
#include "server/ServerData.h"
#include "server/ServerErrors.h"
#include "tests/server/ServerTestSupport.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace platform::os::literals;
using server::TOPCVariableIndex;
using server::TVariableIndex;
using server::TVariableIndexItem;
using server_test::TestVariable;

class VariableIndexTest : public server_test::ServerTest {};

std::vector<std::string> Keys(const TVariableIndex& index) {
  std::vector<std::string> keys;
  for (std::int32_t i = 0; i < index.Count(); ++i) keys.push_back(index.At(i)->Key);
  return keys;
}

TEST_F(VariableIndexTest, WithoutSectionNothingIsIndexed) {
  TVariableIndex index;
  EXPECT_FALSE(index.LoadFromShared());
  EXPECT_EQ(index.Find("OPC", 1, 1), nullptr);
  EXPECT_FALSE(index.WriteValue("OPC", 1, 1.0f, 1));
}

TEST_F(VariableIndexTest, IndexesEveryRoutingThatParses) {
  OpenSection({{1, "T1", "opc : DEVICE = 1 ; ADDRESS = 10", 1.5f},
               {2, "T2", "no colon here"},
               {3, "T3", "  OPC:PLAINTAG  "},
               {4, "T4", "OPC:DEVICE=1;ADDRESS=10", 9.0f},  // key taken by T1
               {5, "Т5"_cp.data(), "Дом:DEVICE=2;ADDRESS=-3"_cp.data()}});
  BuildVariableIndex();
  TVariableIndex& index = *server::VariableIndex;
  EXPECT_EQ(Keys(index), (std::vector<std::string>{"OPC -1|-1", "OPC 1|10",
                                                    std::string("ДОМ 2|-3"_cp)}));
  const TVariableIndexItem* t1 = index.Find("OPC", 1, 10);
  ASSERT_NE(t1, nullptr);
  EXPECT_EQ(t1->VariableId, 1);
  EXPECT_EQ(t1->VariableName, "T1");
  EXPECT_EQ(t1->DmlIndex, 0);
  EXPECT_EQ(t1->InitialValue, 1.5f);
  EXPECT_EQ(index.Find("OPC", -1, -1)->VariableId, 3);
  EXPECT_EQ(index.Find("ДОМ"_cp, 2, -3)->DmlIndex, 4);
  // The prefix is used as given: index prefixes are upper case.
  EXPECT_EQ(index.Find("opc", 1, 10), nullptr);
  EXPECT_EQ(index.Find("OPC", 1, 11), nullptr);
}

// A name that fills its whole field and runs on without a terminator (the
// kernel's record as the section carries it) is cut to 40 characters.
TEST_F(VariableIndexTest, LongNamesAreCutToForty) {
  OpenSection({{1, "short", "OPC:DEVICE=1;ADDRESS=1"}, {2, std::string(40, 'M'), "OPC:DEVICE=1;ADDRESS=2"}});
  std::uint8_t* record = driver_->DMLVariables()->ItemPtr(0) + offsetof(exchange::TDMLVariable, Info);
  std::memset(record + offsetof(exchange::TVLVariableInfo, Name), 'N', sizeof(exchange::TVLVariableInfo::Name));
  BuildVariableIndex();
  EXPECT_EQ(server::VariableIndex->Find("OPC", 1, 1)->VariableName, std::string(40, 'N'));
  EXPECT_EQ(server::VariableIndex->Find("OPC", 1, 2)->VariableName, std::string(40, 'M'));
}

TEST_F(VariableIndexTest, WriteValueDividesByScaleAndStampsTime) {
  OpenSection({{1, "A", "OPC:DEVICE=1;ADDRESS=1", 0.0f, 10.0f}, {2, "B", "OPC:DEVICE=1;ADDRESS=2", 0.0f, 0.0f}});
  BuildVariableIndex();
  EXPECT_TRUE(server::VariableIndex->WriteValue("OPC", 1, 25.0f, 1));
  EXPECT_EQ(SharedValue(0), 2.5f);
  EXPECT_GT(SharedTime(0), 40000.0);
  EXPECT_TRUE(server::VariableIndex->WriteValue("OPC", 1, 25.0f, 2));
  EXPECT_EQ(SharedValue(1), 25.0f);
}

// A quotient beyond the float range is not written: the row keeps its last
// good value, and -22 comes once until a value scales well again.
TEST_F(VariableIndexTest, AScaledValueBeyondTheFloatRangeIsNotWritten) {
  OpenSection({{1, "A", "OPC:DEVICE=1;ADDRESS=1", 0.0f, 0.01f}});
  BuildVariableIndex();
  TVariableIndex& index = *server::VariableIndex;
  ASSERT_TRUE(index.WriteValue("OPC", 1, 1.0f, 1));
  EXPECT_EQ(SharedValue(0), 100.0f);
  for (const float huge : {3e38f, -3e38f, 1e37f}) EXPECT_FALSE(index.WriteValue("OPC", 1, huge, 1)) << huge;
  EXPECT_EQ(SharedValue(0), 100.0f);
  ASSERT_EQ(Errors().Count, 1);
  EXPECT_EQ(Errors().Entries[0].Code, -22);
  EXPECT_EQ(server_test::EntryText(Errors().Entries[0]), "A " + server::ServerErrors->GetErrorText(-22, 0));
  ASSERT_TRUE(index.WriteValue("OPC", 1, 2.0f, 1));
  EXPECT_EQ(SharedValue(0), 200.0f);
  EXPECT_FALSE(index.WriteValue("OPC", 1, 3e38f, 1));
  EXPECT_EQ(Errors().Count, 2);
}

// A server killed between the mark of a write and its time left the row
// marked; the next server's attach ends that write, so the value it left
// is passed on. A row without the mark keeps its time.
TEST_F(VariableIndexTest, AttachEndsAWriteADeadServerLeftMarked) {
  OpenSection({{1, "A", "OPC:DEVICE=1;ADDRESS=1", 1.0f}, {2, "B", "OPC:DEVICE=1;ADDRESS=2", 2.0f}});
  exchange::TDMLVariablesList& rows = *driver_->DMLVariables();
  std::uint8_t* marked = rows.ItemPtr(0);
  platform::os::StoreSingle(marked, offsetof(exchange::TDMLVariable, Value), 7.0f);
  platform::os::StoreU64(marked, offsetof(exchange::TDMLVariable, Time), ~std::uint64_t{0});
  const double kept = SharedTime(1);
  float value = 0;
  ASSERT_FALSE(rows.ReadValue(marked, value)) << "the write is still in progress";
  BuildVariableIndex();
  ASSERT_TRUE(rows.ReadValue(marked, value));
  EXPECT_EQ(value, 7.0f);
  EXPECT_GT(SharedTime(0), 40000.0);
  EXPECT_EQ(SharedTime(1), kept);
}

// A batch ends at each publication; its values carry the time of its first.
TEST_F(VariableIndexTest, WrittenValuesArePublishedAfterTheBatchOrABlocksWorthWithTheBatchsTime) {
  platform::os::TestClock clock(platform::os::TestClock::Mode::Manual);  // before the rows' first time
  OpenSection({{1, "A", "OPC:DEVICE=1;ADDRESS=1"}});
  BuildVariableIndex();
  TVariableIndex& index = *server::VariableIndex;
  const double start = platform::os::Now(), ms = 1.0 / 86400000.0;
  const auto counter = [this] { return driver_->DMLVariables()->ChangeCounter(); };
  ASSERT_EQ(counter(), -1);
  index.PublishChanges();
  EXPECT_FALSE(index.WriteValue("OPC", 1, 1.0f, 2));
  index.PublishChanges();
  EXPECT_EQ(counter(), -1) << "nothing written, nothing published";
  EXPECT_TRUE(index.WriteValue("OPC", 1, 1.0f, 1));
  clock.Advance(7);
  EXPECT_TRUE(index.WriteValue("OPC", 1, 1.5f, 1));
  EXPECT_EQ(counter(), -1) << "the batch goes on";
  EXPECT_NEAR(SharedTime(0), start, ms / 2);
  index.PublishChanges();
  index.PublishChanges();
  EXPECT_EQ(counter(), 0);
  clock.Advance(3);
  for (std::int32_t i = 1; i < TVariableIndex::kPublishEvery; ++i) index.WriteValue("OPC", 1, 2.0f, 1);
  EXPECT_EQ(counter(), 0);
  // Each write of the one row in one batch moves its time a step (~1 us) on.
  EXPECT_NEAR(SharedTime(0), start + 10 * ms, TVariableIndex::kPublishEvery * 1e-3 * ms);
  index.WriteValue("OPC", 1, 3.0f, 1);
  EXPECT_EQ(counter(), 1) << "a long batch is published while it runs";
  clock.Advance(5);
  index.WriteValue("OPC", 1, 4.0f, 1);
  EXPECT_NEAR(SharedTime(0), start + 15 * ms, ms / 2) << "the next batch reads the clock again";
  index.PublishChanges();
  EXPECT_EQ(counter(), 2);
}

// A wait for a busy byte inside a batch can last seconds: the values
// written after it carry a time read after it.
TEST_F(VariableIndexTest, ABusyByteWaitInsideABatchRenewsItsTime) {
  platform::os::TestClock clock;  // each sleep of the wait moves the clocks; before the rows' first time
  OpenSection({{1, "A", "OPC:DEVICE=1;ADDRESS=1"}, {2, "B", "OPC:DEVICE=1;ADDRESS=2"}});
  BuildVariableIndex();
  TVariableIndex& index = *server::VariableIndex;
  const double start = platform::os::Now(), ms = 1.0 / 86400000.0;
  EXPECT_TRUE(index.WriteValue("OPC", 1, 1.0f, 1));
  driver_->Terminal1()->Block()[8] = 1;  // the busy byte, held by the driver
  EXPECT_FALSE(server::Intercom->Terminal1()->WriteText("line"));
  EXPECT_TRUE(index.WriteValue("OPC", 1, 2.0f, 2));
  EXPECT_NEAR(SharedTime(0), start, ms / 2);
  EXPECT_GT(SharedTime(1), start + exchange::LockTimeout * ms);
}

// Find keeps a cache of positions; an index changed behind it still
// answers from its items.
TEST_F(VariableIndexTest, FindFollowsTheItemsAfterTheyChanged) {
  OpenSection({{1, "A", "OPC:DEVICE=1;ADDRESS=1"}, {2, "B", "OPC:DEVICE=1;ADDRESS=2"}});
  BuildVariableIndex();
  TVariableIndex& index = *server::VariableIndex;
  ASSERT_NE(index.Find("OPC", 1, 1), nullptr);
  ASSERT_EQ(index.Find("OPC", 1, 2)->VariableId, 2);
  const auto item = [](std::int32_t id, std::int32_t address) {
    auto made = std::make_unique<TVariableIndexItem>();
    made->VariableId = id;
    made->Key = TVariableIndex::MakeKey("OPC", 1, address);
    return made.release();
  };
  index.FreeAll();
  index.Add(item(7, 2));  // now at the position the cache knows for 1|1
  index.Add(item(8, 3));
  EXPECT_EQ(index.Find("OPC", 1, 1), nullptr);
  EXPECT_EQ(index.Find("OPC", 1, 2)->VariableId, 7);
  EXPECT_EQ(index.Find("OPC", 1, 3)->VariableId, 8);
  EXPECT_EQ(TVariableIndex::MakeKey("ДОМ"_cp, -2147483647 - 1, 2147483647), std::string("ДОМ -2147483648|2147483647"_cp));
}

// A hint only saves the lookup: whatever it holds, Find answers the item
// of the key and leaves its position there; a miss leaves it alone.
TEST_F(VariableIndexTest, FindWithAHintAnswersAsWithout) {
  OpenSection({{1, "A", "OPC:DEVICE=1;ADDRESS=1"},
               {2, "B", "OPC:DEVICE=1;ADDRESS=2"},
               {3, "C", "OPC:DEVICE=12;ADDRESS=3"},
               {4, "D", "OPC 1:DEVICE=2;ADDRESS=3"}});
  BuildVariableIndex();
  TVariableIndex& index = *server::VariableIndex;
  struct Case {
    std::string_view prefix;
    std::int32_t device, tag, hint;
    std::int32_t id;  // 0: no variable
  };
  // Sorted: "OPC 1 2|3", "OPC 12|3", "OPC 1|1", "OPC 1|2"; hints point anywhere.
  const Case cases[] = {
      {"OPC", 1, 2, -1, 2},   {"OPC", 1, 2, 2, 2},     {"OPC", 1, 2, 0, 2},  {"OPC", 1, 2, 99, 2},
      {"OPC", 1, 2, -7, 2},   {"OPC", 12, 3, 3, 3},    {"OPC", 1, 23, 3, 0},  // "OPC 1|23" is no "OPC 12|3"
      {"OPC 1", 2, 3, 0, 4},  {"OPC", 1, 3, 1, 0},     {"OPC1", 2, 3, 0, 0}, {"OP", 1, 1, 1, 0},
  };
  for (const Case& c : cases) {
    std::int32_t hint = c.hint;
    const TVariableIndexItem* found = index.Find(c.prefix, c.device, c.tag, hint);
    SCOPED_TRACE(std::string(c.prefix) + " " + std::to_string(c.device) + "|" + std::to_string(c.tag) +
                 " hint " + std::to_string(c.hint));
    EXPECT_EQ(found, index.Find(c.prefix, c.device, c.tag));
    if (c.id == 0) {
      EXPECT_EQ(found, nullptr);
      EXPECT_EQ(hint, c.hint);
      continue;
    }
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->VariableId, c.id);
    EXPECT_EQ(index.At(hint), found);
  }
  // A write through a hint lands in the variable of the key.
  std::int32_t hint = 0;
  ASSERT_TRUE(index.WriteValue("OPC", 12, 4.5f, 3, hint));
  EXPECT_EQ(index.At(hint)->VariableId, 3);
  EXPECT_EQ(SharedValue(2), 4.5f);
}

TEST_F(VariableIndexTest, WriteValueToAnUnknownKeyWritesNothing) {
  OpenSection({{1, "A", "OPC:DEVICE=1;ADDRESS=1", 4.0f}});
  BuildVariableIndex();
  const double before = SharedTime(0);
  EXPECT_FALSE(server::VariableIndex->WriteValue("OPC", 1, 25.0f, 3));
  EXPECT_FALSE(server::VariableIndex->WriteValue("opc", 1, 25.0f, 1));
  EXPECT_EQ(SharedValue(0), 4.0f);
  EXPECT_EQ(SharedTime(0), before);
  EXPECT_EQ(Errors().Count, 0);
}

TEST_F(VariableIndexTest, AnUnreachableSharedItemIsReported) {
  OpenSection({{1, "A", "OPC:DEVICE=1;ADDRESS=1"}});
  server::VariableIndex = std::make_unique<TVariableIndex>();
  auto stray = std::make_unique<TVariableIndexItem>();
  stray->Prefix = "OPC";
  stray->DeviceAddress = 1;
  stray->TagAddress = 9;
  stray->DmlIndex = 1;  // one past the table
  stray->Key = TVariableIndex::MakeKey("OPC", 1, 9);
  server::VariableIndex->Add(stray.release());
  EXPECT_FALSE(server::VariableIndex->WriteValue("OPC", 1, 1.0f, 9));
  const exchange::TServerErrorBlock block = Errors();
  ASSERT_EQ(block.Count, 1);
  EXPECT_EQ(block.Entries[0].Code, -19);
  EXPECT_EQ(server_test::EntryText(block.Entries[0]), server::TagInfoErrorText());
}

TEST(Deadband, ByPrecision) {
  EXPECT_EQ(server::DeadbandForPrecision(0), 1.0f);
  EXPECT_EQ(server::DeadbandForPrecision(1), 0.1f);
  EXPECT_EQ(server::DeadbandForPrecision(2), 0.01f);
  EXPECT_EQ(server::DeadbandForPrecision(8), 1e-8f);
  EXPECT_EQ(server::DeadbandForPrecision(9), 0.0f);
  EXPECT_EQ(server::DeadbandForPrecision(-1), 0.0f);
  EXPECT_EQ(server::DeadbandForPrecision(static_cast<std::int16_t>(65536 + 2)), 0.01f);
}

// ------------------------------------------------------------ OPC items

class OPCItems : public server_test::ServerTest {
 protected:
  void SetUp() override {
    OpenSection({{11, "ZETA", "OPC:DEVICE=1;ADDRESS=1", 3.0f},
                 {12, "ALPHA", "OPC:DEVICE=1;ADDRESS=2", 4.0f},
                 {13, "MIDDLE", "OPC:DEVICE=1;ADDRESS=3"},
                 {14, "OTHER", "OPC:DEVICE=2;ADDRESS=1"}});
    BuildVariableIndex();
    LoadDescription(
        "<OPC_Description>\r\n"
        " <device name=\"Boiler\">\r\n"
        "  <tagstlist>\r\n"
        "   <opctag name=\"Sim.Alpha\" type=\"byte\" proc=\"value\" hvaddress=\"2\"/>\r\n"
        "   <opctag name=\"Sim.NoVar1\" type=\"byte\" proc=\"value\" hvaddress=\"99\"/>\r\n"
        "   <opctag name=\"Sim.Zeta\" type=\"word\" proc=\"bitstring\" hvaddress=\"1\" expression=\"%VALUE%*2\">\r\n"
        "     <subitem name=\"s\" type=\"byte\" proc=\"value\" hvaddress=\"3\"/>\r\n"
        "   </opctag>\r\n"
        "   <opctag name=\"Sim.NoVar2\" type=\"byte\" proc=\"value\" hvaddress=\"98\"/>\r\n"
        "   <opctag name=\"Sim.Middle\" type=\"float\" proc=\"value\" hvaddress=\"3\"/>\r\n"
        "  </tagstlist>\r\n"
        " </device>\r\n"
        " <device name=\"Empty\"/>\r\n"
        "</OPC_Description>\r\n");
  }
};

std::vector<std::string> TagNames(const TOPCVariableIndex& items) {
  std::vector<std::string> names;
  for (std::int32_t i = 0; i < items.Count(); ++i) names.push_back(items.At(i)->TagName);
  return names;
}

TEST_F(OPCItems, LinkedItemsInDescendingNameOrder) {
  TOPCVariableIndex items;
  ASSERT_EQ(items.LoadDevice("Boiler", "OPC", 2, 1), 4);
  // Of the two items without a variable only the first is kept.
  EXPECT_EQ(TagNames(items), (std::vector<std::string>{"ZETA", "MIDDLE", "ALPHA", "---"}));
  const server::TOPCVariableIndexItem* zeta = items.FindByTagName("ZETA");
  ASSERT_NE(zeta, nullptr);
  EXPECT_EQ(zeta->ItemName, "Sim.Zeta");
  EXPECT_EQ(zeta->VariableId, 11);
  EXPECT_EQ(zeta->TagAddress, 1);
  EXPECT_EQ(zeta->DmlIndex, 0);
  EXPECT_EQ(zeta->Value, 3.0f);
  EXPECT_EQ(zeta->Prefix, "OPC");
  EXPECT_EQ(zeta->DeviceAddress, 1);
  EXPECT_EQ(zeta->Precision, 2);
  EXPECT_EQ(zeta->ServerHandle, 0u);
  EXPECT_EQ(zeta->Quality, 0);
  const server::TOPCVariableIndexItem* unlinked = items.FindByTagName("---");
  ASSERT_NE(unlinked, nullptr);
  EXPECT_EQ(unlinked->ItemName, "Sim.NoVar1");
  EXPECT_EQ(unlinked->VariableId, -1);
  EXPECT_EQ(unlinked->TagAddress, -1);
  EXPECT_EQ(unlinked->DmlIndex, -1);
  EXPECT_EQ(unlinked->Value, 0.0f);
  EXPECT_EQ(items.FindByTagName("zeta"), nullptr);
}

TEST_F(OPCItems, DecoderIsAPrivateCopyWithItsChain) {
  TOPCVariableIndex items;
  ASSERT_EQ(items.LoadDevice("Boiler", "OPC", 0, 1), 4);
  const common::TOPCTagItem* decoder = items.FindByTagName("ZETA")->Decoder.get();
  ASSERT_NE(decoder, nullptr);
  EXPECT_EQ(decoder->TagType, common::TOPCTagType::otWord);
  EXPECT_EQ(decoder->ProcKind, common::TOPCProcKind::pkBitString);
  EXPECT_EQ(decoder->Address, 1);
  EXPECT_EQ(decoder->Expression, "%VALUE%*2");
  ASSERT_NE(decoder->NextItem, nullptr);
  EXPECT_EQ(decoder->NextItem->Address, 3);
  EXPECT_EQ(decoder->NextItem->TagType, common::TOPCTagType::otByte);
  std::int32_t at = 0;
  EXPECT_NE(decoder, server::DescriptionFile->FindDevice("Boiler", at)->Tags->At(2));
}

TEST_F(OPCItems, ALowerCasePrefixFindsNoVariable) {
  TOPCVariableIndex items;
  ASSERT_EQ(items.LoadDevice("Boiler", "opc", 0, 1), 1);
  EXPECT_EQ(items.At(0)->TagName, "---");
  EXPECT_EQ(items.At(0)->Prefix, "opc");
}

TEST_F(OPCItems, NothingWithoutModelIndexOrDevice) {
  TOPCVariableIndex items;
  ASSERT_EQ(items.LoadDevice("Boiler", "OPC", 0, 1), 4);
  EXPECT_EQ(items.LoadDevice("Missing", "OPC", 0, 1), 0);
  EXPECT_EQ(items.Count(), 0);
  EXPECT_EQ(items.LoadDevice("Empty", "OPC", 0, 1), 0);
  server::VariableIndex.reset();
  EXPECT_EQ(items.LoadDevice("Boiler", "OPC", 0, 1), 0);
  BuildVariableIndex();
  server::DescriptionFile.reset();
  EXPECT_EQ(items.LoadDevice("Boiler", "OPC", 0, 1), 0);
}

}  // namespace

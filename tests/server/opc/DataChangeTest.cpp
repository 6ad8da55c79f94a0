// Data changes of the simulation through both subscription kinds: quality
// rules, deadband by precision, scale, and decoding into the shared table
// and terminal 1.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "platform/com/Memory.h"
#include "platform/com/OpcStream.h"
#include "platform/os/Text.h"
#include "server/OPCDA.h"
#include "server/ServerData.h"
#include "server/ServerErrors.h"
#include "tests/server/opc/OpcTestSupport.h"

namespace opc_test {
namespace {

namespace ec = server::ErrorCode;
namespace pc = platform::com;

class DataChange : public OpcTest {
 protected:
  void TearDown() override {
    if (device_) device_->Disconnect();
    device_.reset();
    OpcTest::TearDown();
  }
  // Connects a plant device whose accepted values go to the decoding.
  void ConnectPlant(std::uint8_t opcInterface, std::int32_t precision) {
    device_ = PlantDevice(opcInterface, precision);
    device_->SetValueCallback([this](const server::TOPCVariableIndexItem& item) {
      server::DecodeTagValue(item, devices_, terminal_);
    });
    ASSERT_TRUE(device_->Connect());
    ASSERT_TRUE(PumpUntil([&] { return SharedValue(kLevel) == 1.5f; }));
  }
  // Sets Sim.Level through opcsim-ctl with a quality word.
  void SetLevel(const std::string& value, const std::string& quality = "0xC0") {
    ASSERT_EQ(Ctl({"set", kProgId, "Sim.Level", value, "quality=" + quality}), 0);
  }
  // Marks the shared LEVEL so that a later write shows.
  void MarkLevel() { driver_->DMLVariables()->SetValue(kLevel, -7.0f, 0.0); }
  // Waits for the change to be delivered (the group's rate is 500 ms).
  void Settle() { Pump(900); }
  // Hands the stream to the sink as a data change of that format.
  static void Deliver(server::TOPCAdviseSink& sink, const std::vector<std::uint8_t>& stream, std::uint32_t format) {
    pc::HGLOBAL block = pc::GlobalAlloc(pc::GMEM_MOVEABLE, stream.size());
    std::memcpy(pc::GlobalLock(block), stream.data(), stream.size());
    pc::GlobalUnlock(block);
    pc::FORMATETC etc{static_cast<pc::CLIPFORMAT>(format), nullptr, pc::DVASPECT_CONTENT, -1, pc::TYMED_HGLOBAL};
    pc::STGMEDIUM medium{pc::TYMED_HGLOBAL, block, nullptr};
    sink.OnDataChange(&etc, &medium);
    pc::ReleaseStgMedium(&medium);
  }
  // Hands LEVEL's value with good quality to the connected device's
  // subscriber of either kind.
  void SendLevel(const pc::VARIANT& value) {
    pc::OPCHANDLE handle = 2;  // LEVEL
    if (device_->AdviseSink) {
      const pc::OpcStreamItem items[] = {{handle, pc::OPC_QUALITY_GOOD, {}, value}};
      Deliver(*device_->AdviseSink.Get(), pc::BuildOpcDataStream(0, 1, pc::S_OK, items, false),
              server::OPCFormats().Data);
      return;
    }
    pc::VARIANT v = value;
    pc::WORD quality = pc::OPC_QUALITY_GOOD;
    device_->DataCallback->OnDataChange(0, 0, pc::S_OK, pc::S_OK, 1, &handle, &v, &quality, nullptr, nullptr);
  }

  std::unique_ptr<server::TDevice> device_;
  server::TDeviceList devices_;
  server::TTerminalClass terminal_;
};

TEST_F(DataChange, StreamQualityRules) {
  Prepare();
  ConnectPlant(0, 0);  // deadband 1.0
  // Good -> bad reports once.
  SetLevel("1.5", "0x00");
  ASSERT_TRUE(PumpUntil([&] { return CountErrors(ec::BadQuality) == 1; }));
  EXPECT_EQ(ErrorEntries().back().second, "LEVEL Плохое качество тега.");
  SetLevel("1.5", "0x04");
  Settle();
  EXPECT_EQ(CountErrors(ec::BadQuality), 1);
  // The first good value after a bad one passes, also when equal.
  MarkLevel();
  SetLevel("1.5");
  ASSERT_TRUE(PumpUntil([&] { return SharedValue(kLevel) == 1.5f; }));
  // Below the deadband of precision 0 nothing passes; at it, it does.
  MarkLevel();
  SetLevel("2.4");
  Settle();
  EXPECT_EQ(SharedValue(kLevel), -7.0f);
  SetLevel("2.5");
  ASSERT_TRUE(PumpUntil([&] { return SharedValue(kLevel) == 2.5f; }));
  // Good with local override passes on the stream path; the change is
  // published to the driver by the end of its callback.
  const std::int32_t counter = driver_->DMLVariables()->ChangeCounter();
  SetLevel("9", "0xD8");
  ASSERT_TRUE(PumpUntil([&] { return SharedValue(kLevel) == 9.0f; }));
  EXPECT_NE(driver_->DMLVariables()->ChangeCounter(), counter);
  EXPECT_EQ(CountErrors(ec::BadQuality), 1);
}

TEST_F(DataChange, CallbackQualityAndDeadbandOfPrecisionTwo) {
  Prepare();
  ConnectPlant(1, 2);  // deadband 0.01
  SetLevel("10");
  ASSERT_TRUE(PumpUntil([&] { return SharedValue(kLevel) == 10.0f; }));
  MarkLevel();
  SetLevel("10.005");
  Settle();
  EXPECT_EQ(SharedValue(kLevel), -7.0f);
  const std::int32_t counter = driver_->DMLVariables()->ChangeCounter();
  SetLevel("10.02");
  ASSERT_TRUE(PumpUntil([&] { return SharedValue(kLevel) == 10.02f; }));
  EXPECT_NE(driver_->DMLVariables()->ChangeCounter(), counter) << "published by the end of the callback";
  // Local override is bad on the callback path.
  SetLevel("11", "0xD8");
  ASSERT_TRUE(PumpUntil([&] { return CountErrors(ec::BadQuality) == 1; }));
  EXPECT_EQ(SharedValue(kLevel), 10.02f);
}

TEST_F(DataChange, PrecisionOutsideZeroToEightPassesEveryChange) {
  Prepare();
  ConnectPlant(1, 9);
  SetLevel("1.5000001");
  ASSERT_TRUE(PumpUntil([&] { return SharedValue(kLevel) == 1.5000001f; }));
}

// A NaN or an infinity is a failed conversion on both paths: -22 on good
// -> bad, never the item's last value, so later values still pass.
TEST_F(DataChange, NonFiniteValuesAreConversionFailures) {
  Prepare();
  ConnectPlant(1, 0);  // callback path, deadband 1.0
  const server::TOPCVariableIndexItem& level = *device_->Items->At(2);
  const auto send = [&](const pc::VariantValue& value) { SendLevel(value.Get()); };
  MarkLevel();
  send(pc::VariantValue(std::nan("")));
  EXPECT_EQ(CountErrors(ec::TagProcessing), 1);
  EXPECT_EQ(level.Value, 1.5f);
  EXPECT_EQ(level.Quality, 0);
  EXPECT_EQ(SharedValue(kLevel), -7.0f);
  send(pc::VariantValue(1.5));  // the first good value again passes
  EXPECT_EQ(SharedValue(kLevel), 1.5f);
  for (const double bad : {HUGE_VAL, -HUGE_VAL, 1e300}) {
    MarkLevel();
    send(pc::VariantValue(bad));
    EXPECT_EQ(SharedValue(kLevel), -7.0f) << bad;
    EXPECT_EQ(level.Value, 1.5f) << bad;
    send(pc::VariantValue(1.5));
    EXPECT_EQ(SharedValue(kLevel), 1.5f) << bad;
  }
  EXPECT_EQ(CountErrors(ec::TagProcessing), 4);
  // Nothing froze: a change beyond the deadband passes.
  send(pc::VariantValue(4.0));
  EXPECT_EQ(SharedValue(kLevel), 4.0f);
}

TEST_F(DataChange, NonFiniteStreamValuesAreConversionFailures) {
  Prepare();
  ConnectPlant(0, 0);
  SendLevel(pc::VariantValue(std::nanf("")).Get());
  EXPECT_EQ(CountErrors(ec::TagProcessing), 1);
  EXPECT_EQ(device_->Items->At(2)->Value, 1.5f);
  EXPECT_EQ(device_->Items->At(2)->Quality, 0);
}

// The 64-bit and currency kinds arrive as numbers on both paths; an empty
// value with good quality is a failed conversion, not a 0.
TEST_F(DataChange, WideKindsArriveAndAnEmptyValueFails) {
  Prepare();
  pc::VARIANT i8, cy, empty;
  pc::VariantInit(&i8);
  i8.vt = pc::VT_I8;
  i8.llVal = 42;
  pc::VariantInit(&cy);
  cy.vt = pc::VT_CY;
  cy.cyVal.int64 = 70000;  // 7.0000
  pc::VariantInit(&empty);
  for (const std::uint8_t opcInterface : {0, 1}) {
    SCOPED_TRACE(int{opcInterface});
    if (device_) device_->Disconnect();
    ConnectPlant(opcInterface, 0);
    SendLevel(i8);
    EXPECT_EQ(SharedValue(kLevel), 42.0f);
    SendLevel(cy);
    EXPECT_EQ(SharedValue(kLevel), 7.0f);
    const std::int32_t failures = CountErrors(ec::TagProcessing);
    SendLevel(empty);
    EXPECT_EQ(CountErrors(ec::TagProcessing), failures + 1);
    EXPECT_EQ(SharedValue(kLevel), 7.0f);
    EXPECT_EQ(device_->Items->At(2)->Quality, 0);
  }
}

// A stream that claims more than it holds is refused whole; values outside
// it, handles beyond the items and other formats change nothing.
TEST_F(DataChange, MalformedStreamsChangeNothing) {
  Prepare();
  ConnectPlant(0, 0);
  server::TOPCAdviseSink& sink = *device_->AdviseSink.Get();
  pc::VariantValue value(42.0f);
  const pc::OpcStreamItem items[] = {{2, pc::OPC_QUALITY_GOOD, {}, value.Get()},
                                     {77, pc::OPC_QUALITY_GOOD, {}, value.Get()}};
  std::vector<std::uint8_t> bytes = pc::BuildOpcDataStream(0, 1, pc::S_OK, items, true);
  ASSERT_FALSE(bytes.empty());
  std::vector<std::uint8_t> bigCount = bytes;
  bigCount[4] = 200;  // dwItemCount
  Deliver(sink, bigCount, server::OPCFormats().DataTime);
  Deliver(sink, bytes, server::OPCFormats().WriteComplete);  // not a data format
  EXPECT_NE(SharedValue(kLevel), 42.0f);
  std::vector<std::uint8_t> badOffset = bytes;
  badOffset[20 + 4] = 0xF0;  // first item's value offset far outside
  Deliver(sink, badOffset, server::OPCFormats().DataTime);
  EXPECT_NE(SharedValue(kLevel), 42.0f);
  EXPECT_EQ(CountErrors(ec::TagProcessing), 1);  // LEVEL was good: -22
  Deliver(sink, bytes, server::OPCFormats().DataTime);
  EXPECT_EQ(SharedValue(kLevel), 42.0f);  // handle 2 is LEVEL; 77 is skipped
  // Once detached the sink does nothing.
  device_->Disconnect();
  pc::VariantValue other(43.0f);
  const pc::OpcStreamItem again[] = {{2, pc::OPC_QUALITY_GOOD, {}, other.Get()}};
  Deliver(sink, pc::BuildOpcDataStream(0, 2, pc::S_OK, again, true), server::OPCFormats().DataTime);
  EXPECT_EQ(SharedValue(kLevel), 42.0f);
}

TEST_F(DataChange, DecodingWritesBitsCastsExpressionsScaleAndTerminal) {
  std::vector<server_test::TestVariable> extra;
  extra.push_back({104, "SCALED", "OPC:DEVICE=1;ADDRESS=4", -1.0f, 10.0f});
  for (std::int32_t a = 5; a <= 9; ++a)
    extra.push_back({200 + a, "V" + std::to_string(a), "OPC:DEVICE=1;ADDRESS=" + std::to_string(a), -1.0f});
  for (std::int32_t a = 10; a <= 25; ++a)
    extra.push_back({200 + a, "B" + std::to_string(a), "OPC:DEVICE=1;ADDRESS=" + std::to_string(a), -1.0f});
  const std::string items =
      "Sim.Scaled R4  const 25\n"
      "Sim.Word   UI2 const 41411\n"
      "Sim.Small  R8  const 100\n"
      "Sim.Raw    R4  const 7\n";
  const std::string description =
      "<OPC_Description>\r\n"
      " <device name=\"Plant\">\r\n"
      "  <tagstlist>\r\n"
      "   <opctag name=\"Sim.Scaled\" type=\"float\" proc=\"value\" hvaddress=\"4\"/>\r\n"
      "   <opctag name=\"Sim.Word\" type=\"word\" proc=\"value\" hvaddress=\"5\">\r\n"
      "     <subitem name=\"bits\" type=\"word\" proc=\"bitstring\" hvaddress=\"10\"/>\r\n"
      "   </opctag>\r\n"
      "   <opctag name=\"Sim.Small\" type=\"float\" proc=\"value\" hvaddress=\"6\" expression=\"%value%*2\">\r\n"
      "     <subitem name=\"s\" type=\"shortint\" proc=\"value\" hvaddress=\"7\"/>\r\n"
      "   </opctag>\r\n"
      "   <opctag name=\"Sim.Raw\" type=\"float\" proc=\"empty\" hvaddress=\"8\">\r\n"
      "     <subitem name=\"r\" type=\"float\" proc=\"value\" hvaddress=\"9\"/>\r\n"
      "   </opctag>\r\n"
      "  </tagstlist>\r\n"
      " </device>\r\n"
      "</OPC_Description>\r\n";
  Prepare(items, extra, description);
  driver_->Terminal1()->SetOwnerId(0);
  auto device = PlantDevice(1);
  devices_.Add(PlantDevice(1).release());  // the window's list: device number 0
  device_ = std::move(device);
  device_->SetValueCallback([this](const server::TOPCVariableIndexItem& item) {
    server::DecodeTagValue(item, devices_, terminal_);
  });
  ASSERT_TRUE(device_->Connect());
  // Positions in the table: the plant's three, then SCALED, 5..9, 10..25.
  const auto at = [](std::int32_t address) { return address == 4 ? 3 : address - 5 + 4; };
  ASSERT_TRUE(PumpUntil([&] { return SharedValue(at(8)) == 7.0f && SharedValue(at(7)) != -1.0f; }));
  EXPECT_EQ(SharedValue(at(4)), 2.5f);        // 25 over scale 10
  EXPECT_EQ(SharedValue(at(5)), 41411.0f);    // the raw value of the item
  for (std::int32_t i = 0; i < 16; ++i)
    EXPECT_EQ(SharedValue(at(10 + i)), ((41411 >> i) & 1) ? 1.0f : 0.0f) << i;
  EXPECT_EQ(SharedValue(at(7)), -56.0f);      // 100 * 2 = 200 as ShortInt
  EXPECT_EQ(SharedValue(at(6)), 200.0f);      // the tag's own decoded value, not the raw 100
  EXPECT_EQ(SharedValue(at(9)), -1.0f);       // Empty: only the raw value
  const std::string shared = driver_->Terminal1()->ReadText();
  for (const char* line : {"Sim.Scaled 25\r\n", "Sim.Word 41411\r\n", "Sim.Small 100\r\n", "Sim.Raw 7\r\n"})
    EXPECT_NE(shared.find(line), std::string::npos) << line;
  EXPECT_EQ(terminal_.Count(), 4);
}

}  // namespace
}  // namespace opc_test

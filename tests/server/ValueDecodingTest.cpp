// Decoding of accepted item values into the shared variable table and the
// value terminals.

#include "server/ValueDecoding.h"

#include "platform/com/OpcStream.h"
#include "platform/com/Variant.h"
#include "platform/os/Text.h"
#include "server/OPCDA.h"
#include "server/ServerData.h"
#include "server/ServerDevices.h"
#include "tests/server/ServerTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using namespace platform::os::literals;
using common::TOPCTagType;
using platform::os::Variant;
using server::TCastValue;
using server::TOPCVariableIndexItem;
using server_test::TestVariable;

// Device 1 has variables at these addresses; device 2 one at address 1.
const std::vector<std::int32_t> kAddresses = {1, 3, 30, 31, 40, 41, 2147483647};

class Decoding : public server_test::ServerTest {
 protected:
  void SetUp() override {
    std::vector<TestVariable> variables;
    for (std::int32_t a = 10; a <= 26; ++a) variables.push_back(Var(1, a));
    for (std::int32_t a : kAddresses) variables.push_back(Var(1, a));
    variables.push_back(Var(2, 1));
    variables.push_back({999, "MINUS", "OPC:DEVICE=1;ADDRESS=x", -7.0f});  // address -1
    OpenSection(variables);
    BuildVariableIndex();
    for (std::int32_t i = 0; i < static_cast<std::int32_t>(variables.size()); ++i)
      position_[variables[i].Routing] = i;
    AddDevice(1, 0);
    AddDevice(2, 1);
  }

  static TestVariable Var(std::int32_t device, std::int32_t address) {
    return {device * 1000 + (address & 0xFFFF), "V" + std::to_string(address),
            "OPC:DEVICE=" + std::to_string(device) + ";ADDRESS=" + std::to_string(address), -1.0f};
  }

  void AddDevice(std::int32_t address, std::int32_t number) {
    auto device = std::make_unique<server::TDevice>();
    device->DeviceAddress = address;
    device->DeviceNumber = number;
    devices_.Add(device.release());
  }

  // The value of variable (device, address).
  float Value(std::int32_t device, std::int32_t address) {
    const std::string routing = "OPC:DEVICE=" + std::to_string(device) + ";ADDRESS=" + std::to_string(address);
    return SharedValue(position_.at(routing));
  }

  static TOPCVariableIndexItem Item(const std::string& decoder, float raw, std::int32_t device = 1,
                                    std::int32_t tagAddress = 1) {
    TOPCVariableIndexItem item;
    item.ItemName = "Sim.Item";
    item.Prefix = "OPC";
    item.DeviceAddress = device;
    item.TagAddress = tagAddress;
    item.Value = raw;
    if (!decoder.empty()) item.Decoder = std::make_unique<common::TOPCTagItem>(decoder);
    return item;
  }

  void Decode(const TOPCVariableIndexItem& item) { server::DecodeTagValue(item, devices_, terminal_); }

  std::string Shared1() const { return driver_->Terminal1()->ReadText(); }

  std::map<std::string, std::int32_t> position_;
  server::TDeviceList devices_;
  server::TTerminalClass terminal_;
};

TEST_F(Decoding, WordBitStringWritesSixteenConsecutiveVariables) {
  Decode(Item("<opctag name=\"w\" type=\"word\" proc=\"bitstring\" hvaddress=\"10\"/>", 0xA5C3));
  for (std::int32_t i = 0; i < 16; ++i)
    EXPECT_EQ(Value(1, 10 + i), ((0xA5C3 >> i) & 1) ? 1.0f : 0.0f) << i;
  EXPECT_EQ(Value(1, 26), -1.0f);  // the seventeenth stays
  EXPECT_EQ(Value(1, 1), 42435.0f);  // the raw value to the item's own variable
  EXPECT_EQ(terminal_.Count(), 0);
}

// The tag's own variable is the one at its hvaddress: its decoded value
// stays there instead of being overwritten by the raw value.
TEST_F(Decoding, TheTagsOwnDecodedValueIsNotUndoneByTheRawValue) {
  Decode(Item("<opctag name=\"f\" type=\"float\" proc=\"value\" hvaddress=\"30\" expression=\"%value%*2\"/>", 1.5f, 1, 30));
  EXPECT_EQ(Value(1, 30), 3.0f);
  Decode(Item("<opctag name=\"w\" type=\"word\" proc=\"bitstring\" hvaddress=\"10\"/>", 0xA5C2, 1, 10));
  EXPECT_EQ(Value(1, 10), 0.0f) << "bit 0, not the whole value";
  EXPECT_EQ(Value(1, 11), 1.0f);
  // Nothing decoded at the tag's own address: the raw value goes there.
  Decode(Item("<opctag name=\"e\" type=\"byte\" proc=\"empty\" hvaddress=\"40\"/>", 7.0f, 1, 40));
  EXPECT_EQ(Value(1, 40), 7.0f);
  Decode(Item("<opctag name=\"x\" type=\"float\" proc=\"value\" hvaddress=\"41\" expression=\"Nope(1)\"/>", 9.0f, 1, 41));
  EXPECT_EQ(Value(1, 41), 9.0f) << "a decoding error leaves the raw value";
}

TEST_F(Decoding, ShortIntWrapsAsTheTypeCuts) {
  Decode(Item("<opctag name=\"s\" type=\"shortint\" proc=\"value\" hvaddress=\"30\"/>", 200.0f));
  EXPECT_EQ(Value(1, 30), -56.0f);
  Decode(Item("<opctag name=\"s\" type=\"8s\" proc=\"value\" hvaddress=\"31\" expression=\"%VALUE%+100\"/>", 100.0f));
  EXPECT_EQ(Value(1, 31), -56.0f);
  EXPECT_EQ(Value(1, 1), 100.0f);
}

TEST_F(Decoding, EmptyProcessingWritesOnlyTheRawValue) {
  Decode(Item("<opctag name=\"e\" type=\"byte\" proc=\"empty\" hvaddress=\"30\" expression=\"1/0\">"
              "<subitem name=\"s\" type=\"byte\" proc=\"value\" hvaddress=\"31\"/></opctag>",
              7.0f));
  EXPECT_EQ(Value(1, 30), -1.0f);
  EXPECT_EQ(Value(1, 31), -1.0f);
  EXPECT_EQ(Value(1, 1), 7.0f);
  EXPECT_EQ(terminal_.Count(), 0);
}

TEST_F(Decoding, PlaceholderInAnyCaseStandsForTheRawValue) {
  Decode(Item("<opctag name=\"f\" type=\"float\" proc=\"value\" hvaddress=\"30\" expression=\"%value%*2\"/>", 1.5f));
  EXPECT_EQ(Value(1, 30), 3.0f);
}

TEST_F(Decoding, FractionalValuesReachFunctionsWhole) {
  // With "," as separator Round would get three arguments and fail.
  Decode(Item("<opctag name=\"f\" type=\"float\" proc=\"value\" hvaddress=\"30\" expression=\"Round(%VALUE%,1)\"/>", 2.46f));
  EXPECT_EQ(Value(1, 30), 2.5f);
  EXPECT_EQ(terminal_.Count(), 0);
  Decode(Item("<opctag name=\"f\" type=\"float\" proc=\"value\" hvaddress=\"31\" expression=\"10-%VALUE%\"/>", -2.5f));
  EXPECT_EQ(Value(1, 31), 12.5f);
}

TEST_F(Decoding, SubitemsTakeTheirOwnTypeAndAddressButTheTagsExpression) {
  Decode(Item("<opctag name=\"t\" type=\"byte\" proc=\"value\" hvaddress=\"30\" expression=\"%VALUE%+0.5\">"
              "<subitem name=\"a\" type=\"float\" proc=\"value\" hvaddress=\"31\"/>"
              "<subitem name=\"b\" type=\"byte\" proc=\"bitstring\" hvaddress=\"10\"/>"
              "<subitem name=\"c\" type=\"byte\" proc=\"value\" hvaddress=\"-1\"/>"
              "</opctag>",
              2.0f));
  EXPECT_EQ(Value(1, 30), 2.0f);   // 2.5 rounds to even
  EXPECT_EQ(Value(1, 31), 2.5f);
  EXPECT_EQ(Value(1, 10), 0.0f);
  EXPECT_EQ(Value(1, 11), 1.0f);
  EXPECT_EQ(Value(1, 17), 0.0f);
  EXPECT_EQ(Value(1, 18), -1.0f);  // a byte has eight bits
}

TEST_F(Decoding, ARejectedExpressionCostsItsElementsOnly) {
  terminal_.DeviceAddress = 1;
  driver_->Terminal1()->SetOwnerId(0);
  Decode(Item("<opctag name=\"d\" type=\"byte\" proc=\"value\" hvaddress=\"30\" expression=\"%VALUE%/0\"/>", 4.0f));
  EXPECT_EQ(Value(1, 30), -1.0f);
  EXPECT_EQ(Value(1, 1), 4.0f);
  const std::string error = "Decoding error(%VALUE%/0): " + std::string("TEvaluation:: Ошибка деления на ноль."_cp);
  ASSERT_EQ(terminal_.Count(), 2);
  EXPECT_EQ(terminal_[0], error);
  EXPECT_EQ(terminal_[1], "Sim.Item 4");
  EXPECT_EQ(Shared1(), error + "\r\nSim.Item 4\r\n");
}

TEST_F(Decoding, NoIntegerCastOfValuesOutsideTheRange) {
  Decode(Item("<opctag name=\"big\" type=\"longint\" proc=\"value\" hvaddress=\"30\" expression=\"%VALUE%*1E30\">"
              "<subitem name=\"f\" type=\"float\" proc=\"value\" hvaddress=\"31\"/>"
              "<subitem name=\"b\" type=\"float\" proc=\"bitstring\" hvaddress=\"10\"/>"
              "</opctag>",
              3.0f));
  EXPECT_EQ(Value(1, 30), -1.0f);
  EXPECT_EQ(Value(1, 31), 3e30f);
  EXPECT_EQ(Value(1, 10), -1.0f);
  ASSERT_EQ(terminal_.Count(), 2);
  EXPECT_EQ(terminal_[0], "Decoding error(%VALUE%*1E30): Invalid floating point operation");
  EXPECT_EQ(terminal_[1], terminal_[0]);
}

TEST_F(Decoding, ARawNaNIsNoInteger) {
  Decode(Item("<opctag name=\"n\" type=\"byte\" proc=\"value\" hvaddress=\"30\"/>",
              std::numeric_limits<float>::quiet_NaN()));
  EXPECT_EQ(Value(1, 30), -1.0f);
  ASSERT_EQ(terminal_.Count(), 1);
  EXPECT_EQ(terminal_[0], "Decoding error(): Invalid floating point operation");
  EXPECT_TRUE(std::isnan(Value(1, 1)));
}

TEST_F(Decoding, AResultThatIsNoNumber) {
  Decode(Item("<opctag name=\"s\" type=\"float\" proc=\"value\" hvaddress=\"30\" expression='\"abc\"'/>", 1.0f));
  EXPECT_EQ(Value(1, 30), -1.0f);
  ASSERT_EQ(terminal_.Count(), 1);
  EXPECT_EQ(terminal_[0],
            "Decoding error(\"abc\"): Could not convert variant of type (String) into type (Double)");
}

TEST_F(Decoding, AnExpressionWithoutValueCostsItsElement) {
  Decode(Item("<opctag name=\"n\" type=\"float\" proc=\"value\" hvaddress=\"30\" expression=\"[x]\"/>", 1.0f));
  EXPECT_EQ(Value(1, 30), -1.0f);
  ASSERT_EQ(terminal_.Count(), 1);
  EXPECT_EQ(terminal_[0], "Decoding error([x]): ");
  EXPECT_EQ(Value(1, 1), 1.0f);
}

TEST_F(Decoding, BitsPastTheLargestAddressAreNotWritten) {
  Decode(Item("<opctag name=\"w\" type=\"word\" proc=\"bitstring\" hvaddress=\"2147483640\"/>", 0x80));
  EXPECT_EQ(Value(1, 2147483647), 1.0f);
}

TEST_F(Decoding, NoOwnVariableForTagAddressMinusOne) {
  Decode(Item("", 5.0f, 1, -1));
  EXPECT_EQ(SharedValue(position_.at("OPC:DEVICE=1;ADDRESS=x")), -7.0f);
}

TEST_F(Decoding, NothingWithoutTheVariableIndex) {
  server::VariableIndex.reset();
  driver_->Terminal1()->SetOwnerId(0);
  server::SelectedDevice = 0;
  Decode(Item("<opctag name=\"d\" type=\"byte\" proc=\"value\" hvaddress=\"30\" expression=\"1/0\"/>", 4.0f));
  EXPECT_EQ(terminal_.Count(), 0);
  EXPECT_EQ(server::RequestTerminal.Count(), 0);
  EXPECT_EQ(Value(1, 1), -1.0f);
}

// ------------------------------------------------------------ terminals

TEST_F(Decoding, FollowedDeviceKeepsItsLastHundredLines) {
  driver_->Terminal1()->SetOwnerId(0);
  for (int i = 1; i <= 101; ++i) Decode(Item("", static_cast<float>(i) / 2));
  ASSERT_EQ(terminal_.Count(), 100);
  EXPECT_EQ(terminal_[0], "Sim.Item 1");
  EXPECT_EQ(terminal_[99], "Sim.Item 50,5");
  const std::string text = Shared1();
  EXPECT_EQ(text.rfind("Sim.Item 1\r\n", 0), 0u);
  EXPECT_EQ(text.size() - text.rfind("Sim.Item 50,5\r\n"), 15u);
  EXPECT_EQ(terminal_.DeviceAddress, 1);
}

TEST_F(Decoding, ErrorLinesCountTowardTheHundred) {
  driver_->Terminal1()->SetOwnerId(0);
  for (int i = 0; i < 80; ++i)
    Decode(Item("<opctag name=\"d\" type=\"byte\" proc=\"value\" hvaddress=\"30\" expression=\"1/0\"/>", 1.0f));
  EXPECT_EQ(terminal_.Count(), 100);
  const std::int32_t counter = driver_->Terminal1()->GetCounter();
  Decode(Item("", 2.0f));
  EXPECT_EQ(driver_->Terminal1()->GetCounter(), counter + 1);
  EXPECT_EQ(terminal_[99], "Sim.Item 2");
}

TEST_F(Decoding, OnlyTheOwnerDeviceFeedsSharedTerminalOne) {
  Decode(Item("", 1.0f));  // no owner
  driver_->Terminal1()->SetOwnerId(1);
  Decode(Item("", 2.0f));  // device 1 has number 0
  Decode(Item("", 3.0f, 3));  // no such device
  EXPECT_EQ(driver_->Terminal1()->GetCounter(), 0);
  EXPECT_EQ(terminal_.Count(), 0);
  Decode(Item("", 4.0f, 2));
  EXPECT_EQ(Shared1(), "Sim.Item 4\r\n");
}

TEST_F(Decoding, AChangeOfFollowedDeviceClearsTheLines) {
  driver_->Terminal1()->SetOwnerId(0);
  Decode(Item("", 1.0f));
  Decode(Item("", 2.0f));
  driver_->Terminal1()->SetOwnerId(1);
  Decode(Item("", 3.0f, 2));
  EXPECT_EQ(Shared1(), "Sim.Item 3\r\n");
  EXPECT_EQ(terminal_.DeviceAddress, 2);
}

TEST_F(Decoding, RequestTerminalFollowsTheSelectedDevice) {
  server::SelectedDevice = 1;
  Decode(Item("", 1.0f));
  EXPECT_EQ(server::RequestTerminal.Count(), 0);
  for (int i = 0; i < 105; ++i) Decode(Item("", static_cast<float>(i), 2));
  ASSERT_EQ(server::RequestTerminal.Count(), 100);
  EXPECT_EQ(server::RequestTerminal[0], "Sim.Item 5");
  EXPECT_EQ(server::RequestTerminal[99], "Sim.Item 104");
  EXPECT_EQ(terminal_.Count(), 0);  // shared terminal 1 has no owner
}

TEST(TerminalText, KeepsTheNewestLinesThatFit) {
  platform::os::TStringList lines;
  for (int i = 0; i < 100; ++i) lines.Add(std::string(998, static_cast<char>('a' + i % 26)));
  const std::string text = server::TerminalText(lines);
  EXPECT_EQ(text.size(), 56u * 1000u);
  EXPECT_EQ(text.substr(text.size() - 1000), lines[99] + "\r\n");
  EXPECT_EQ(text.substr(0, 1000), lines[44] + "\r\n");
  lines.Add(std::string(60000, 'z'));
  const std::string cut = server::TerminalText(lines);
  EXPECT_EQ(cut.size(), exchange::kMaxTerminalText);
  EXPECT_EQ(cut.substr(cut.size() - 3), "z\r\n");
  EXPECT_EQ(server::TerminalText(platform::os::TStringList()), "");
}

TEST(SubstituteValue, EveryPlaceholderWithAPoint) {
  EXPECT_EQ(server::SubstituteValue("%VALUE%+%value%*%Value%", 2.5f), "2.5+2.5*2.5");
  EXPECT_EQ(server::SubstituteValue("Max(%VALUE%,0)", 1.5e-5f), "Max(1.49999996210681E-5,0)");
  EXPECT_EQ(server::SubstituteValue("%VALUE", 1.0f), "%VALUE");
  EXPECT_EQ(server::SubstituteValue("%VALUE%%VALUE%", -1.0f), "-1-1");
}

// ------------------------------------------------------------ casts

TCastValue Cast(const Variant& work, TOPCTagType type, bool bits = false) {
  TCastValue out;
  std::string error;
  EXPECT_TRUE(server::CastWorkValue(work, type, bits, out, error)) << error;
  return out;
}

TEST(CastWorkValue, IntegerTypesRoundToEvenAndCut) {
  EXPECT_EQ(Cast(Variant::Double(2.5), TOPCTagType::otByte).Value, 2.0f);
  EXPECT_EQ(Cast(Variant::Double(3.5), TOPCTagType::otByte).Value, 4.0f);
  EXPECT_EQ(Cast(Variant::Double(256), TOPCTagType::otByte).Value, 0.0f);
  EXPECT_EQ(Cast(Variant::Double(-1), TOPCTagType::otWord).Value, 65535.0f);
  EXPECT_EQ(Cast(Variant::Double(40000), TOPCTagType::otInteger).Value, -25536.0f);
  EXPECT_EQ(Cast(Variant::Double(2147483648.0), TOPCTagType::otLongInt).Value, -2147483648.0f);
  EXPECT_EQ(Cast(Variant::Double(-1), TOPCTagType::otLongWord).Value, 4294967295.0f);
  EXPECT_EQ(Cast(Variant::Double(-9.2e18), TOPCTagType::otByte).Value, 0.0f);
  EXPECT_EQ(Cast(Variant::Boolean(true), TOPCTagType::otByte).Value, 255.0f);
  EXPECT_EQ(Cast(Variant::Double(1), TOPCTagType::otLongWord, true).Width, 32);
  EXPECT_EQ(Cast(Variant::Double(1), TOPCTagType::otInteger, true).Width, 16);
}

TEST(CastWorkValue, SingleAndUnknownKeepTheValue) {
  const TCastValue single = Cast(Variant::Double(2.75), TOPCTagType::otSingle, true);
  EXPECT_EQ(single.Value, 2.75f);
  EXPECT_EQ(single.Bits, 3);
  EXPECT_EQ(single.Width, 32);
  const TCastValue unknown = Cast(Variant::Double(-2.75), TOPCTagType::otUnknown, true);
  EXPECT_EQ(unknown.Value, -2.75f);
  EXPECT_EQ(unknown.Width, 8);
  EXPECT_EQ(Cast(Variant::Double(1e30), TOPCTagType::otSingle).Value, 1e30f);
}

TEST(CastWorkValue, Refusals) {
  TCastValue out;
  std::string error;
  const double inf = std::numeric_limits<double>::infinity();
  for (double bad : {inf, -inf, std::nan(""), 9223372036854775808.0, -9.3e18}) {
    error.clear();
    EXPECT_FALSE(server::CastWorkValue(Variant::Double(bad), TOPCTagType::otLongWord, false, out, error)) << bad;
    EXPECT_EQ(error, "Invalid floating point operation");
    EXPECT_FALSE(server::CastWorkValue(Variant::Double(bad), TOPCTagType::otSingle, true, out, error)) << bad;
  }
  EXPECT_FALSE(server::CastWorkValue(Variant::Double(1e39), TOPCTagType::otSingle, false, out, error));
  EXPECT_EQ(error, "Floating point overflow");
  EXPECT_FALSE(server::CastWorkValue(Variant::String("x"), TOPCTagType::otByte, false, out, error));
  EXPECT_EQ(error, "Could not convert variant of type (String) into type (Double)");
}

// A data change longer than the stream's loop looks ahead, through both
// subscribers: every item's value reaches its variable, in the order of
// the variables' rows, and items of unknown handles among them are skipped;
// what a handling wrote is published also when an exception ends it.
using DataChangeOrder = server_test::ServerTest;

TEST_F(DataChangeOrder, EveryValueReachesItsVariableInTheOrderOfTheRows) {
  namespace pc = platform::com;
  constexpr std::int32_t kCount = 40;
  std::vector<TestVariable> variables;
  std::string tags;
  for (std::int32_t a = 1; a <= kCount; ++a) {
    variables.push_back({a, "V" + std::to_string(a), "OPC:DEVICE=1;ADDRESS=" + std::to_string(a), -1.0f});
    tags += "   <opctag name=\"Tag." + std::to_string(a) + "\" type=\"float\" proc=\"value\" hvaddress=\"" +
            std::to_string(a) + "\"/>\r\n";
  }
  OpenSection(variables);
  BuildVariableIndex();
  LoadDescription("<OPC_Description>\r\n <device name=\"Long\">\r\n  <tagstlist>\r\n" + tags +
                  "  </tagstlist>\r\n </device>\r\n</OPC_Description>\r\n");
  server::TOPCVariableIndex items;  // by name descending: V9, V8, .., V40, V4, V39, ..
  ASSERT_EQ(items.LoadDevice("Long", "OPC", 0, 1), kCount);
  server::TDeviceList devices;
  server::TTerminalClass terminal;
  std::vector<std::int32_t> rows;
  const server::TValueCallback decode = [&](const TOPCVariableIndexItem& item) {
    rows.push_back(item.DmlIndex);
    server::DecodeTagValue(item, devices, terminal);
  };

  // Every item once, the last handle first, an unknown handle after every
  // seventh; item h gets base + h.
  std::vector<pc::VariantValue> values;
  std::vector<pc::OpcStreamItem> stream;
  auto fill = [&](float base) {
    values.clear();
    values.reserve(kCount * 2);
    stream.clear();
    for (std::int32_t h = kCount - 1; h >= 0; --h) {
      values.emplace_back(base + static_cast<float>(h));
      stream.push_back({static_cast<pc::OPCHANDLE>(h), pc::OPC_QUALITY_GOOD, {}, values.back().Get()});
      if (h % 7 == 0) stream.push_back({static_cast<pc::OPCHANDLE>(1000 + h), pc::OPC_QUALITY_GOOD, {}, values.back().Get()});
    }
  };
  auto expect = [&](float base, const char* path) {
    std::vector<std::int32_t> ascending(kCount);
    for (std::int32_t r = 0; r < kCount; ++r) ascending[static_cast<std::size_t>(r)] = r;
    EXPECT_EQ(rows, ascending) << path;
    for (std::int32_t h = 0; h < kCount; ++h)
      EXPECT_EQ(SharedValue(items.At(h)->DmlIndex), base + static_cast<float>(h)) << path << " " << items.At(h)->ItemName;
    rows.clear();
  };

  fill(100.0f);
  pc::ComPtr<server::TOPCAdviseSink> sink(new server::TOPCAdviseSink(&items, decode));
  pc::STGMEDIUM medium{pc::TYMED_HGLOBAL, pc::WriteOpcDataStream(0, 1, pc::S_OK, stream, false), nullptr};
  ASSERT_NE(medium.hGlobal, nullptr);
  pc::FORMATETC format{static_cast<pc::CLIPFORMAT>(server::OPCFormats().Data), nullptr, pc::DVASPECT_CONTENT, -1,
                       pc::TYMED_HGLOBAL};
  sink->OnDataChange(&format, &medium);
  pc::ReleaseStgMedium(&medium);
  sink->Detach();
  expect(100.0f, "stream");

  fill(200.0f);
  pc::ComPtr<server::TOPCDataCallback> callback(new server::TOPCDataCallback(&items, decode));
  std::vector<pc::OPCHANDLE> handles;
  std::vector<pc::VARIANT> arrayValues;
  std::vector<pc::WORD> qualities;
  for (const pc::OpcStreamItem& item : stream) {
    handles.push_back(item.hClient);
    arrayValues.push_back(item.value);
    qualities.push_back(item.wQuality);
  }
  callback->OnDataChange(0, 1, pc::S_OK, pc::S_OK, static_cast<pc::DWORD>(handles.size()), handles.data(),
                         arrayValues.data(), qualities.data(), nullptr, nullptr);
  expect(200.0f, "arrays");

  // A handling that an exception ends publishes what it wrote.
  const std::int32_t published = driver_->DMLVariables()->ChangeCounter();
  callback->ValueCallback = [&](const TOPCVariableIndexItem& item) {
    if (item.DmlIndex == 2) throw std::runtime_error("decoding");
    decode(item);
  };
  for (pc::VARIANT& value : arrayValues) value.fltVal += 100.0f;
  EXPECT_THROW(callback->OnDataChange(0, 1, pc::S_OK, pc::S_OK, static_cast<pc::DWORD>(handles.size()),
                                      handles.data(), arrayValues.data(), qualities.data(), nullptr, nullptr),
               std::runtime_error);
  callback->Detach();
  EXPECT_EQ(rows, (std::vector<std::int32_t>{0, 1}));
  EXPECT_EQ(driver_->DMLVariables()->ChangeCounter(), published + 1);
}

}  // namespace

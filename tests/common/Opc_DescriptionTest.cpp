#include "common/Opc_Description.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace {

using common::DescriptionErrorText;
using common::TOPCDescriptionFile;
using common::TOPCDeviceDescription;
using common::TOPCProcKind;
using common::TOPCTagItem;
using common::TOPCTagsList;
using common::TOPCTagType;
using platform::os::TStringList;

TStringList ListOf(const std::vector<std::string>& lines) {
  TStringList list;
  for (const std::string& l : lines) list.Add(l);
  return list;
}

std::vector<std::string> Lines(const TStringList& list) {
  std::vector<std::string> out;
  for (int i = 0; i < list.Count(); ++i) out.push_back(list[i]);
  return out;
}

bool Load(TOPCDescriptionFile& model, const std::vector<std::string>& lines) {
  TStringList list = ListOf(lines);
  return model.LoadFromStrings(list);
}

// A description whose root content is the given lines.
std::vector<std::string> Wrapped(const std::vector<std::string>& content) {
  std::vector<std::string> out{"<OPC_Description>"};
  out.insert(out.end(), content.begin(), content.end());
  out.push_back("</OPC_Description>");
  return out;
}

std::vector<std::string> DeviceNames(const TOPCDescriptionFile& model) {
  std::vector<std::string> out;
  for (int32_t i = 0; i < model.Count(); ++i) out.push_back(model.At(i)->DeviceName);
  return out;
}

struct Fields {
  std::string name;
  TOPCTagType type;
  TOPCProcKind proc;
  int32_t address;
  std::string expression;
  bool operator==(const Fields&) const = default;
  friend std::ostream& operator<<(std::ostream& os, const Fields& f) {
    return os << "{" << f.name << "," << int(f.type) << "," << int(f.proc) << "," << f.address
              << "," << f.expression << "}";
  }
};

std::vector<Fields> Chain(const TOPCTagItem& head) {
  std::vector<Fields> out;
  for (const TOPCTagItem* i = &head; i; i = i->NextItem.get())
    out.push_back({i->Name, i->TagType, i->ProcKind, i->Address, i->Expression});
  return out;
}

// ------------------------------------------------------------ types and kinds

TEST(TagNames, EveryAcceptedNameInAnyCase) {
  const std::pair<const char*, TOPCTagType> types[] = {
      {"byte", TOPCTagType::otByte},         {"8U", TOPCTagType::otByte},
      {"ShortInt", TOPCTagType::otShortInt}, {"8s", TOPCTagType::otShortInt},
      {"SHORT", TOPCTagType::otShortInt},    {"smallint", TOPCTagType::otInteger},
      {"Integer", TOPCTagType::otInteger},   {"16s", TOPCTagType::otInteger},
      {"INT16", TOPCTagType::otInteger},     {"word", TOPCTagType::otWord},
      {"UInteger", TOPCTagType::otWord},     {"16u", TOPCTagType::otWord},
      {"uint16", TOPCTagType::otWord},       {"LongInt", TOPCTagType::otLongInt},
      {"32S", TOPCTagType::otLongInt},       {"longword", TOPCTagType::otLongWord},
      {"32u", TOPCTagType::otLongWord},      {"Single", TOPCTagType::otSingle},
      {"FLOAT", TOPCTagType::otSingle},      {"int32", TOPCTagType::otUnknown},
      {"Unknown", TOPCTagType::otUnknown},   {" byte", TOPCTagType::otUnknown},
      {"", TOPCTagType::otUnknown},
  };
  for (const auto& [name, type] : types) EXPECT_EQ(common::TagTypeFromName(name), type) << name;

  EXPECT_EQ(common::ProcKindFromName("BitSet"), TOPCProcKind::pkBitString);
  EXPECT_EQ(common::ProcKindFromName("bitstring"), TOPCProcKind::pkBitString);
  EXPECT_EQ(common::ProcKindFromName("VALUE"), TOPCProcKind::pkValue);
  EXPECT_EQ(common::ProcKindFromName("values"), TOPCProcKind::pkEmpty);
}

TEST(TagNames, WrittenNames) {
  const char* written[] = {"Unknown", "Byte", "ShortInt", "Integer",
                           "Word",    "LongInt", "LongWord", "Single"};
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(common::TagTypeName(static_cast<TOPCTagType>(i)), written[i]);
    // A written name reads back to its own code.
    if (i > 0) {
      EXPECT_EQ(common::TagTypeFromName(written[i]), static_cast<TOPCTagType>(i));
    }
  }
  EXPECT_EQ(common::ProcKindName(TOPCProcKind::pkEmpty), "Empty");
  EXPECT_EQ(common::ProcKindName(TOPCProcKind::pkBitString), "BitString");
  EXPECT_EQ(common::ProcKindName(TOPCProcKind::pkValue), "Value");
}

// ---------------------------------------------------------------- TOPCTagItem

TEST(TagItem, AttributesAndDefaults) {
  TOPCTagItem full("<OPCTAG name=\"Ch1.Level\" type=\"Word\" proc=\"BitSet\" "
                   "hvaddress=\"$10\" expression=\"%VALUE%*2\"/>");
  EXPECT_EQ(Chain(full), (std::vector<Fields>{{"Ch1.Level", TOPCTagType::otWord,
                                               TOPCProcKind::pkBitString, 16, "%VALUE%*2"}}));

  TOPCTagItem bare("<opctag/>");
  EXPECT_EQ(Chain(bare), (std::vector<Fields>{{"Unknown", TOPCTagType::otUnknown,
                                               TOPCProcKind::pkEmpty, -1, ""}}));

  TOPCTagItem badAddress("<subitem name=\"s\" type=\"8s\" hvaddress=\"12x\"/>");
  EXPECT_EQ(badAddress.TagType, TOPCTagType::otShortInt);
  EXPECT_EQ(badAddress.Address, -1);
}

TEST(TagItem, FailedParseResetsAndOtherTagsKeepZeroFields) {
  TOPCTagItem failed("<opctag name=\"a\" type=byte/>");
  EXPECT_EQ(Chain(failed), (std::vector<Fields>{{"", TOPCTagType::otUnknown,
                                                 TOPCProcKind::pkEmpty, -1, ""}}));

  TOPCTagItem other("<other name=\"a\" type=\"byte\"/>");
  EXPECT_EQ(Chain(other), (std::vector<Fields>{{"", TOPCTagType::otUnknown,
                                                TOPCProcKind::pkEmpty, 0, ""}}));
}

TEST(TagItem, ChildrenFormTheChainInFileOrder) {
  TOPCTagItem item(
      "<opctag name=\"w\" type=\"word\" proc=\"bitstring\" hvaddress=\"1\">"
      "  <!-- bits -->"
      "  <subitem name=\"b0\" type=\"byte\" proc=\"value\" hvaddress=\"2\"/>"
      "  <subitem name=\"b1\" type=\"nonsense\" hvaddress=\"3\"/>"
      "  <opctag name=\"n\" type=\"byte\"><subitem name=\"nn\" type=\"8u\"/></opctag>"
      "  <other/>"
      "  <subitem name=\"bad\" x=1>text</subitem>"
      "  <subitem name='last' type='single' proc='value' hvaddress='0x7'/>"
      "</opctag>");
  const std::vector<Fields> expected{
      {"w", TOPCTagType::otWord, TOPCProcKind::pkBitString, 1, ""},
      {"b0", TOPCTagType::otByte, TOPCProcKind::pkValue, 2, ""},
      {"b1", TOPCTagType::otUnknown, TOPCProcKind::pkEmpty, 3, ""},
      {"n", TOPCTagType::otByte, TOPCProcKind::pkEmpty, -1, ""},
      {"nn", TOPCTagType::otByte, TOPCProcKind::pkEmpty, -1, ""},  // n's own chain
      {"", TOPCTagType::otUnknown, TOPCProcKind::pkEmpty, 0, ""},  // another tag
      {"", TOPCTagType::otUnknown, TOPCProcKind::pkEmpty, -1, ""},  // does not split
      {"last", TOPCTagType::otSingle, TOPCProcKind::pkValue, 7, ""},
  };
  EXPECT_EQ(Chain(item), expected);
}

TEST(TagItem, TextInTheContentFailsTheItem) {
  TOPCTagItem item("<opctag name=\"a\" type=\"byte\"><subitem name=\"s\"/> stray </opctag>");
  EXPECT_EQ(item.TagType, TOPCTagType::otUnknown);
  EXPECT_EQ(item.NextItem, nullptr);
  EXPECT_EQ(DescriptionErrorText(), "stray");
}

TEST(TagItem, NestingBeyondTheLimitFailsOnlyTheDeepestItem) {
  std::string text;
  const int levels = common::kMaxTagNesting + 2;
  for (int i = 0; i < levels; ++i)
    text += "<opctag name=\"l" + std::to_string(i) + "\" type=\"byte\">";
  for (int i = 0; i < levels; ++i) text += "</opctag>";
  TOPCTagItem item(text);
  const std::vector<Fields> chain = Chain(item);
  ASSERT_EQ(chain.size(), static_cast<std::size_t>(levels));
  EXPECT_EQ(chain[common::kMaxTagNesting].name, "l" + std::to_string(common::kMaxTagNesting));
  EXPECT_EQ(chain.back().name, "");  // reset
  EXPECT_EQ(chain.back().address, -1);
}

TEST(TagItem, ALongChainIsReleasedWithoutRecursion) {
  auto head = std::make_unique<TOPCTagItem>("<opctag name=\"h\" type=\"byte\"/>");
  TOPCTagItem* tail = head.get();
  for (int i = 0; i < 1000000; ++i) {
    tail->NextItem = std::make_unique<TOPCTagItem>("");
    tail = tail->NextItem.get();
  }
  head.reset();  // a recursive release would exhaust the stack
  SUCCEED();
}

// -------------------------------------------------------------------- writer

TEST(TagItemWriter, ExactLinesWithTrailingBlanks) {
  TOPCTagItem single("<opctag name=\"A.B\" type=\"int16\" proc=\"value\" hvaddress=\"-5\"/>");
  EXPECT_EQ(single.AsText(),
            "<opctag name=\"A.B\" type=\"Integer\" proc=\"Value\" hvaddress=\"-5\" "
            "expression=\"\"/> \r\n");

  TOPCTagItem chained(
      "<subitem name=\"W\" type=\"16u\" proc=\"BitSet\" hvaddress=\"10\" "
      "expression=\"%VALUE%/10\"><subitem name=\"b0\" type=\"byte\" hvaddress=\"11\"/>"
      "<subitem name=\"b1\" type=\"32u\" proc=\"value\" hvaddress=\"12\"/></subitem>");
  // A subitem element's content is never read: no chain.
  EXPECT_EQ(chained.NextItem, nullptr);

  TOPCTagItem head(
      "<opctag name=\"W\" type=\"16u\" proc=\"BitSet\" hvaddress=\"10\" "
      "expression=\"%VALUE%/10\"><subitem name=\"b0\" type=\"byte\" hvaddress=\"11\"/>"
      "<opctag name=\"b1\" type=\"32u\" proc=\"value\" hvaddress=\"12\"/></opctag>");
  TStringList lines;
  head.WriteLines(2, lines);
  EXPECT_EQ(Lines(lines),
            (std::vector<std::string>{
                "  <opctag name=\"W\" type=\"Word\" proc=\"BitString\" hvaddress=\"10\" "
                "expression=\"%VALUE%/10\"> ",
                "     <subitem name=\"b0\" type=\"Byte\" proc=\"Empty\" hvaddress=\"11\" "
                "expression=\"\"/> ",
                "     <subitem name=\"b1\" type=\"LongWord\" proc=\"Value\" hvaddress=\"12\" "
                "expression=\"\"/> ",
                "  </opctag>",
            }));
  EXPECT_EQ(head.AsText(),
            "<opctag name=\"W\" type=\"Word\" proc=\"BitString\" hvaddress=\"10\" "
            "expression=\"%VALUE%/10\"> \r\n"
            "   <subitem name=\"b0\" type=\"Byte\" proc=\"Empty\" hvaddress=\"11\" "
            "expression=\"\"/> \r\n"
            "   <subitem name=\"b1\" type=\"LongWord\" proc=\"Value\" hvaddress=\"12\" "
            "expression=\"\"/> \r\n"
            "</opctag>\r\n");
}

TEST(TagItemWriter, RoundTripKeepsEveryFieldAndTheChain) {
  TOPCTagItem original(
      "<opctag name=\"Motor 'A'\" type=\"LongInt\" proc=\"Value\" hvaddress=\"0x7FFFFFFF\" "
      "expression='IF(%VALUE%>0;\"ON\";\"OFF\")'>"
      "<subitem name=\"s1\" type=\"unknown-type\" hvaddress=\"-2147483648\"/>"
      "<other/>"
      "<subitem name='say \"hi\"' type=\"float\" proc=\"bitset\" expression=\"\"/>"
      "</opctag>");
  // ">" inside a value ends the attributes: that element does not split.
  EXPECT_EQ(original.TagType, TOPCTagType::otUnknown);

  TOPCTagItem head(
      "<opctag name=\"Motor 'A'\" type=\"LongInt\" proc=\"Value\" hvaddress=\"0x7FFFFFFF\" "
      "expression='IF(%VALUE%=1;\"ON\";\"OFF\")'>"
      "<subitem name=\"s1\" type=\"unknown-type\" hvaddress=\"-2147483648\"/>"
      "<other/>"
      "<subitem name='say \"hi\"' type=\"float\" proc=\"bitset\" expression=\"\"/>"
      "</opctag>");
  ASSERT_EQ(Chain(head).size(), 4u);
  EXPECT_EQ(head.Expression, "IF(%VALUE%=1;\"ON\";\"OFF\")");

  const std::string text = head.AsText();
  EXPECT_NE(text.find("expression='IF(%VALUE%=1;\"ON\";\"OFF\")'> \r\n"), std::string::npos);
  EXPECT_NE(text.find("name=\"Motor 'A'\""), std::string::npos);
  EXPECT_NE(text.find("<subitem name='say \"hi\"'"), std::string::npos);
  TOPCTagItem copy(text);
  EXPECT_EQ(Chain(copy), Chain(head));
  EXPECT_EQ(copy.AsText(), text);
}

// The server copies decoders with Clone: for every item a parse made, the
// copy equals the one made through the item's text.
TEST(TagItemWriter, CloneEqualsTheCopyThroughText) {
  std::string deep = "<opctag name=\"d0\" type=\"byte\">";
  for (int i = 1; i <= common::kMaxTagNesting + 2; ++i) deep += "<opctag name=\"d" + std::to_string(i) + "\" type=\"word\">";
  for (int i = 0; i <= common::kMaxTagNesting + 2; ++i) deep += "</opctag>";
  const std::vector<std::string> texts{
      "<opctag name=\"Motor 'A'\" type=\"LongInt\" proc=\"Value\" hvaddress=\"0x7FFFFFFF\" "
      "expression='IF(%VALUE%=1;\"ON\";\"OFF\")'>"
      "<subitem name=\"s1\" type=\"unknown-type\" hvaddress=\"-2147483648\"/>"
      "<other/>"
      "<subitem name='say \"hi\"' type=\"float\" proc=\"bitset\" expression=\"\"/>"
      "</opctag>",
      "<OPCTAG name=\"n\" type=\"16s\"><opctag name=\"inner\" type=\"8u\"><subitem name=\"x\"/></opctag>"
      "<subitem name=\"y\" hvaddress=\"12\" expression=\"%VALUE%*2\"/></OPCTAG>",
      "<subitem name=\"top\" type=\"32u\" hvaddress=\"$1F\"/>",
      "<opctag name=\"bad\" type=\"byte\">text</opctag>",
      "<opctag name=\"plain\" type=\"single\" proc=\"value\" hvaddress=\"7\"/>",
      deep,
  };
  for (const std::string& text : texts) {
    const TOPCTagItem item(text);
    const std::unique_ptr<TOPCTagItem> clone = item.Clone();
    ASSERT_NE(clone, nullptr);
    EXPECT_EQ(Chain(*clone), Chain(item)) << text;
    EXPECT_EQ(Chain(*clone), Chain(TOPCTagItem(item.AsText()))) << text;
  }
}

TEST(TagItemWriter, AValueWithBothQuoteKindsStaysInDoubleQuotes) {
  TOPCTagItem item("<opctag name=\"n\" type=\"byte\"/>");
  item.Expression = "a\"b'c";
  EXPECT_EQ(item.AsText(),
            "<opctag name=\"n\" type=\"Byte\" proc=\"Empty\" hvaddress=\"-1\" "
            "expression=\"a\"b'c\"/> \r\n");
}

// ------------------------------------------------------------------- tag list

TEST(TagsList, StopsAtTheFirstItemOfTypeZero) {
  TOPCTagsList tags;
  EXPECT_FALSE(tags.ParseTags(
      " <opctag name=\"a\" type=\"byte\"/> <subitem name=\"s\" type=\"8s\"/>"
      "  <opctag name=\"b\" type=\"int32\"/>  <opctag name=\"c\" type=\"byte\"/>"));
  EXPECT_EQ(tags.Count(), 2);  // a subitem at this level is a tag of its own
  EXPECT_EQ(tags.At(1)->Name, "s");
  EXPECT_EQ(DescriptionErrorText(), "<opctag name=\"b\" type=\"int32\"/>");
}

TEST(TagsList, TextThatIsNotAnElement) {
  TOPCTagsList tags;
  EXPECT_FALSE(tags.ParseTags("<opctag name=\"a\" type=\"byte\"/> ; note "));
  EXPECT_EQ(tags.Count(), 1);
  EXPECT_EQ(DescriptionErrorText(), "; note");

  TOPCTagsList empty;
  EXPECT_TRUE(empty.ParseTags("  <!-- none -->  "));
  EXPECT_EQ(empty.Count(), 0);
  EXPECT_EQ(DescriptionErrorText(), "");
}

// ---------------------------------------------------------------------- model

const std::vector<std::string> kSample = {
    "; description of the test plant",
    "<OPC_Description version=\"1\">",
    "",
    "  <!-- pumps -->",
    "  <device name=\"pump\">",
    "    <tagstlist>",
    "      <opctag name=\"P.Run\" type=\"byte\" proc=\"value\" hvaddress=\"1\"/>",
    "      <opctag name=\"P.State\" type=\"word\" proc=\"bitset\" hvaddress=\"2\">",
    "        <subitem name=\"P.Bit1\" type=\"byte\" hvaddress=\"3\"/>",
    "      </opctag>",
    "    </tagstlist>",
    "    <notes>ignored <anything/></notes>",
    "    <tagstlist><opctag name=\"P.Extra\" type=\"single\"/></tagstlist>",
    "  </device>",
    "  <settings><device name=\"hidden\"/></settings>",
    "  <device name=\"Boiler\"/>",
    "</OPC_Description>",
};

TEST(DescriptionFile, LoadsDevicesAndTagsInOrder) {
  TOPCDescriptionFile model;
  TStringList lines = ListOf(kSample);
  ASSERT_TRUE(model.LoadFromStrings(lines));
  EXPECT_EQ(DescriptionErrorText(), "");
  EXPECT_EQ(lines.Count(), static_cast<int>(kSample.size()) - 2);  // comment and empty line gone
  EXPECT_EQ(DeviceNames(model), (std::vector<std::string>{"Boiler", "pump"}));

  int32_t index = -1;
  const TOPCDeviceDescription* pump = model.FindDevice("pump", index);
  ASSERT_NE(pump, nullptr);
  EXPECT_EQ(index, 1);
  ASSERT_EQ(pump->Tags->Count(), 3);
  EXPECT_EQ(pump->Tags->At(0)->Name, "P.Run");
  EXPECT_EQ(pump->Tags->At(1)->NextItem->Name, "P.Bit1");
  EXPECT_EQ(pump->Tags->At(2)->Name, "P.Extra");
  EXPECT_EQ(pump->Tags->At(2)->Address, -1);
  EXPECT_EQ(model.FindDevice("Boiler", index)->Tags->Count(), 0);

  EXPECT_EQ(model.FindDevice("PUMP", index), nullptr);
  EXPECT_EQ(index, 1);  // "PUMP" sorts between "Boiler" and "pump"
  EXPECT_EQ(model.FindDevice("hidden", index), nullptr);
}

TEST(DescriptionFile, DuplicateDevicesFirstWinsAndCaseMakesTwoDevices) {
  TOPCDescriptionFile model;
  ASSERT_TRUE(Load(model, Wrapped({
                              "<device name=\"b\"><tagstlist><opctag name=\"first\" "
                              "type=\"byte\"/></tagstlist></device>",
                              "<device name=\"b\"><tagstlist><opctag name=\"second\" "
                              "type=\"byte\"/></tagstlist></device>",
                              "<device name=\"B\"/>",
                              "<device name=\"a\"/>",
                              "<device/>",
                          })));
  EXPECT_EQ(DeviceNames(model), (std::vector<std::string>{"B", "Unknown", "a", "b"}));
  int32_t index = 0;
  EXPECT_EQ(model.FindDevice("b", index)->Tags->At(0)->Name, "first");

  // A second load adds; names already present keep their first definition.
  ASSERT_TRUE(Load(model, Wrapped({"<device name=\"b\"/>", "<device name=\"c\"/>"})));
  EXPECT_EQ(DeviceNames(model), (std::vector<std::string>{"B", "Unknown", "a", "b", "c"}));
  EXPECT_EQ(model.FindDevice("b", index)->Tags->Count(), 1);
}

TEST(DescriptionFile, SortingIsByUnsignedBytes) {
  TOPCDescriptionFile model;
  const std::string high = "\xC0";  // a Cyrillic capital: above every Latin letter
  ASSERT_TRUE(Load(model, Wrapped({"<device name=\"" + high + "\"/>", "<device name=\"ab\"/>",
                                   "<device name=\"a\"/>", "<device name=\"Z\"/>"})));
  EXPECT_EQ(DeviceNames(model), (std::vector<std::string>{"Z", "a", "ab", high}));
}

TEST(DescriptionFile, DeviceNamesAreCutTo255Bytes) {
  const std::string longName(300, 'n');
  TOPCDescriptionFile model;
  ASSERT_TRUE(Load(model, Wrapped({"<device name=\"" + longName + "\"/>"})));
  ASSERT_EQ(model.Count(), 1);
  EXPECT_EQ(model.At(0)->DeviceName, std::string(255, 'n'));
  int32_t index = -1;
  EXPECT_NE(model.FindDevice(longName, index), nullptr);
  EXPECT_NE(model.FindDevice(longName + "other", index), nullptr);
  EXPECT_EQ(model.FindDevice(std::string(254, 'n'), index), nullptr);
}

TEST(DescriptionFile, RootRules) {
  TOPCDescriptionFile model;
  EXPECT_TRUE(Load(model, {"<opc_description>", "<device name=\"x\"/>", "</opc_description>"}));
  EXPECT_EQ(model.Count(), 1);

  const std::vector<std::vector<std::string>> bad = {
      {"<OPC_Description>", "</opc_description>"},  // closing case differs
      {"<!-- c -->", "<OPC_Description/>"},         // comment before the root
      {"<OPC_Description/>", "<!-- c -->"},         // comment after it
      {"<?xml version=\"1.0\"?>", "<OPC_Description/>"},
      {"<Description/>"},
      {"; only", "", "; comments"},
      {},
  };
  for (const auto& lines : bad) {
    TOPCDescriptionFile m;
    EXPECT_FALSE(Load(m, lines)) << (lines.empty() ? "" : lines[0]);
  }
  TOPCDescriptionFile m;
  EXPECT_FALSE(Load(m, {"<Description/>"}));
  EXPECT_EQ(DescriptionErrorText(), "<Description/>\r\n");  // the whole joined text

  EXPECT_TRUE(Load(m, {"<OPC_Description attr='ignored'/>"}));
  EXPECT_EQ(m.Count(), 0);
}

TEST(DescriptionFile, BlankThenSemicolonIsNotAComment) {
  TOPCDescriptionFile model;
  EXPECT_FALSE(Load(model, Wrapped({"<device name=\"a\"/>", "  ; not a comment",
                                    "<device name=\"b\"/>"})));
  EXPECT_EQ(DescriptionErrorText(), "; not a comment\r\n<device name=\"b\"/>");
  EXPECT_EQ(DeviceNames(model), std::vector<std::string>{"a"});  // kept before the failure
}

TEST(DescriptionFile, FailuresLeaveTheTextWhereTheLoadStopped) {
  struct Case {
    std::vector<std::string> content;
    std::string error;
    std::vector<std::string> devices;
  } cases[] = {
      // An element at root level that does not split.
      {{"<device name=\"a\"/>", "<device name=b>x</device>", "<device name=\"c\"/>"},
       "<device name=b>x</device>",
       {"a"}},
      // A tag of an unrecognised type; its device is not added.
      {{"<device name=\"a\"/>",
        "<device name=\"b\"><tagstlist><opctag name=\"ok\" type=\"byte\"/>",
        "<opctag name=\"t\" type=\"int32\" /></tagstlist></device>"},
       "<opctag name=\"t\" type=\"int32\" />",
       {"a"}},
      // Text inside a device.
      {{"<device name=\"a\"><tagstlist/> loose words </device>"}, "loose words", {}},
      // An element inside a device that does not split.
      {{"<device name=\"a\"><tagstlist x=1/></device>"}, "<tagstlist x=1/>", {}},
      // An opctag with text in its content: the opctag fails and so the load.
      {{"<device name=\"a\"><tagstlist><opctag name=\"t\" type=\"byte\">junk</opctag>"
        "</tagstlist></device>"},
       "<opctag name=\"t\" type=\"byte\">junk</opctag>",
       {}},
      // Trailing text at root level.
      {{"<device name=\"a\"/>", "trailing"}, "trailing", {"a"}},
  };
  for (const Case& c : cases) {
    TOPCDescriptionFile model;
    EXPECT_FALSE(Load(model, Wrapped(c.content))) << c.error;
    EXPECT_EQ(DescriptionErrorText(), c.error);
    EXPECT_EQ(DeviceNames(model), c.devices) << c.error;
  }
}

TEST(DescriptionFile, NothingFollowsTheRoot) {
  TOPCDescriptionFile model;
  EXPECT_FALSE(Load(model, {"<OPC_Description><device name=\"a\"/></OPC_Description>/>"}));
  EXPECT_FALSE(Load(model, {"<OPC_Description>", "</OPC_Description>", "/>"}));
  EXPECT_TRUE(Load(model, {"<OPC_Description><device name=\"a\"/></OPC_Description>"}));
  EXPECT_TRUE(Load(model, {"<opc_description/>"}));
}

TEST(DescriptionFile, SubitemTypesAreNotChecked) {
  TOPCDescriptionFile model;
  ASSERT_TRUE(Load(model, Wrapped({"<device name=\"d\"><tagstlist>"
                                   "<opctag name=\"t\" type=\"INT16\"><subitem name=\"s\" "
                                   "type=\"what\"/></opctag>"
                                   "</tagstlist></device>"})));
  const TOPCTagItem* tag = model.At(0)->Tags->At(0);
  EXPECT_EQ(tag->TagType, TOPCTagType::otInteger);
  ASSERT_NE(tag->NextItem, nullptr);
  EXPECT_EQ(tag->NextItem->TagType, TOPCTagType::otUnknown);
}

class DescriptionFileOnDisk : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/fw-edd-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    std::remove((dir_ + "/Ferrowick_V30.edd").c_str());
    rmdir(dir_.c_str());
  }
  std::string Write(const std::string& bytes) {
    const std::string path = dir_ + "/Ferrowick_V30.edd";
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
  std::string dir_;
};

TEST_F(DescriptionFileOnDisk, ReadsLinesEndingInCrLfOrLf) {
  const std::string path = Write(
      "; demo\r\n<OPC_Description>\n<device name=\"d\">\r\n<tagstlist>"
      "<opctag name=\"t\" type=\"byte\"/></tagstlist>\n</device>\r\n</OPC_Description>");
  TOPCDescriptionFile model;
  ASSERT_TRUE(model.LoadFromFile(path));
  ASSERT_EQ(model.Count(), 1);
  EXPECT_EQ(model.At(0)->Tags->Count(), 1);
}

// A file loads as its lines would: the same devices, tags and error text
// for every way lines can end, comments, empty lines and failures.
TEST_F(DescriptionFileOnDisk, AFileLoadsAsItsLinesDo) {
  const std::vector<std::string> files{
      "",
      "\n",
      "; only a comment",
      "<OPC_Description>\r\n<device name=\"a\"/>\r\n</OPC_Description>\r\n",
      "<OPC_Description>\n\n; note\n <device name=\"a\">\r\n<tagstlist><opctag name=\"t\" type=\"byte\"/>"
      "</tagstlist></device>\r\r\n ;not a comment\n</OPC_Description>",
      "<OPC_Description><device name=\"a\"/></OPC_Description>\r",
      "<OPC_Description>\r\n<device name=\"a\"><tagstlist><opctag name=\"t\" type=\"none\"/></tagstlist>"
      "</device>\r\n</OPC_Description>\r\n",
      "\r\n\r\n<OPC_Description>\r\n<device name=\"b\"/><device name=\"a\"/>\r\n</OPC_Description>\r\n\r\n",
  };
  for (const std::string& bytes : files) {
    TStringList lines;
    lines.SetText(bytes);
    TOPCDescriptionFile fromLines;
    const bool linesLoaded = fromLines.LoadFromStrings(lines);
    const std::string linesError = DescriptionErrorText();
    TOPCDescriptionFile fromFile;
    EXPECT_EQ(fromFile.LoadFromFile(Write(bytes)), linesLoaded) << bytes;
    EXPECT_EQ(DescriptionErrorText(), linesError) << bytes;
    EXPECT_EQ(DeviceNames(fromFile), DeviceNames(fromLines)) << bytes;
    for (int32_t d = 0; d < fromFile.Count() && d < fromLines.Count(); ++d)
      EXPECT_EQ(fromFile.At(d)->Tags->Count(), fromLines.At(d)->Tags->Count()) << bytes;
  }
}

TEST_F(DescriptionFileOnDisk, AMissingFileLeavesTheErrorTextAlone) {
  TOPCDescriptionFile model;
  EXPECT_FALSE(Load(model, {"<x/>"}));
  EXPECT_FALSE(model.LoadFromFile(dir_ + "/missing.edd"));
  EXPECT_EQ(DescriptionErrorText(), "<x/>\r\n");
}

TEST_F(DescriptionFileOnDisk, TruncatedFilesFailCleanly) {
  std::string whole;
  for (const std::string& l : kSample) whole += l + "\r\n";
  // Every cut before the root's closing tag is complete.
  for (std::size_t n = 0; n + 2 < whole.size(); n += 7) {
    TOPCDescriptionFile model;
    EXPECT_FALSE(model.LoadFromFile(Write(whole.substr(0, n)))) << n;
  }
}

}  // namespace

#include "peers/opcsim/ItemsFile.h"

#include <gtest/gtest.h>

namespace opcsim {
namespace {

namespace pc = platform::com;

TEST(ItemsFile, TheDocumentedExampleParses) {
  const char* text =
      "# ITEM-ID  TYPE  SOURCE [ARGS]  [every=MS]  [writable]\n"
      "Plant.Tank1.Level  R4    ramp 0 100 every=100\n"
      "Plant.Pump1.Run    BOOL  const 1\n"
      "Plant.Count        I4    counter 1 every=500\r\n"
      "Plant.Mode         UI2   const 3 writable\n"
      "Plant.Name         BSTR  const \"abc def\"\n"
      "\n"
      "Plant.Wave         R8    sine 0 10 period=2000 every=50\n"
      "Plant.Noise        I2    random -5 5";
  std::vector<ItemDefinition> items;
  std::string error;
  ASSERT_TRUE(ParseItems(text, items, error)) << error;
  ASSERT_EQ(items.size(), 7u);
  EXPECT_EQ(items[0].source, SourceKind::Ramp);
  EXPECT_EQ(items[0].everyMs, 100u);
  EXPECT_EQ(items[1].type, pc::VT_BOOL);
  EXPECT_EQ(items[1].everyMs, 0u);
  EXPECT_EQ(items[2].everyMs, 500u);
  EXPECT_TRUE(items[3].writable);
  EXPECT_FALSE(items[0].writable);
  EXPECT_EQ(items[4].constText, "abc def");
  // A constant is kept converted to its item's type.
  EXPECT_EQ(items[3].constValue.Get().vt, pc::VT_UI2);
  EXPECT_EQ(items[3].constValue.Get().uiVal, 3);
  ASSERT_EQ(items[4].constValue.Get().vt, pc::VT_BSTR);
  EXPECT_EQ(pc::WideToAnsi(pc::WideView(items[4].constValue.Get().bstrVal)), "abc def");
  EXPECT_EQ(items[0].constValue.Get().vt, pc::VT_EMPTY);
  EXPECT_EQ(items[5].periodMs, 2000u);
  EXPECT_EQ(items[5].b, 10.0);
  EXPECT_EQ(items[6].a, -5.0);
  EXPECT_EQ(items[6].everyMs, kDefaultEveryMs);
}

TEST(ItemsFile, BadLinesNameTheirLine) {
  struct Case {
    const char* text;
    const char* expected;
  } cases[] = {
      {"A R4 ramp 0\n", "line 1: missing arguments of ramp"},
      {"# c\nA R5 const 1\n", "line 2: unknown type R5"},
      {"A R4 wave 1 2\n", "line 1: unknown source wave"},
      {"A R4 sine 0 1\n", "line 1: sine needs period=MS"},
      {"A R4 ramp 5 1\n", "line 1: HI below LO"},
      {"A R4 ramp 0 x\n", "line 1: not a number: x"},
      {"A R4 const 1 every=5\n", "line 1: bad interval every=5"},
      {"A R4 const 1 fast\n", "line 1: unknown option fast"},
      {"A UI1 const 300\n", "line 1: constant 300 is not a UI1"},
      {"A BOOL const maybe\n", "line 1: constant maybe is not a BOOL"},
      {"A R4 const 1\nA I4 const 2\n", "line 2: duplicate item A"},
      {"A BSTR counter 1\n", "line 1: a BSTR item can only be const"},
      {"A BSTR const \"open\n", "line 1: unterminated quote"},
      {"\"A B\" R4 const 1\n", "line 1: blank in item id"},
  };
  for (const auto& c : cases) {
    std::vector<ItemDefinition> items;
    std::string error;
    EXPECT_FALSE(ParseItems(c.text, items, error)) << c.text;
    EXPECT_EQ(error, c.expected) << c.text;
  }
}

TEST(ItemsFile, TypeNamesRoundTrip) {
  for (const char* name : {"I1", "UI1", "I2", "UI2", "I4", "UI4", "R4", "R8", "BOOL", "BSTR"})
    EXPECT_EQ(TypeName(TypeFromName(name)), name);
  EXPECT_EQ(TypeFromName("r4"), pc::VT_EMPTY);
}

TEST(ItemsFile, MissingFileIsReported) {
  std::vector<ItemDefinition> items;
  std::string error;
  EXPECT_FALSE(LoadItemsFile("/nonexistent/items.txt", items, error));
  EXPECT_EQ(error, "cannot read /nonexistent/items.txt");
}

}  // namespace
}  // namespace opcsim

#include "common/DrvXmlTools.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using common::ExtractNextElement;
using common::IsSelfClosingAt;
using common::ParseAttributes;
using common::ParseElement;
using common::TXMLDataItem;
using platform::os::TStringList;

std::vector<std::string> Lines(const TStringList& list) {
  std::vector<std::string> out;
  for (int i = 0; i < list.Count(); ++i) out.push_back(list[i]);
  return out;
}

struct Split {
  bool ok = false;
  std::string tag;
  std::string content;
  std::vector<std::string> attributes;
};

Split SplitElement(std::string_view text) {
  Split s;
  TStringList list;
  s.ok = ParseElement(text, list, s.tag, s.content);
  s.attributes = Lines(list);
  return s;
}

// ------------------------------------------------------------ IsSelfClosingAt

TEST(IsSelfClosingAt, LooksAtTheFirstGreaterThanFromThePosition) {
  const std::string text = "<a/><b>";  // positions 1..7
  EXPECT_TRUE(IsSelfClosingAt(text, 1));
  EXPECT_TRUE(IsSelfClosingAt(text, 4));   // the ">" itself, "/" before it
  EXPECT_FALSE(IsSelfClosingAt(text, 5));  // "<b>"
  EXPECT_FALSE(IsSelfClosingAt("<a /", 1));  // no ">" at all
}

TEST(IsSelfClosingAt, PositionsOutsideTheTextAnswerFalse) {
  const std::string text = "<a/>";
  EXPECT_FALSE(IsSelfClosingAt(text, 0));
  EXPECT_FALSE(IsSelfClosingAt(text, -5));
  EXPECT_FALSE(IsSelfClosingAt(text, 4));  // not below the length
  EXPECT_FALSE(IsSelfClosingAt(text, 1000));
  EXPECT_FALSE(IsSelfClosingAt(">", 1));
  EXPECT_FALSE(IsSelfClosingAt("", 1));
}

// --------------------------------------------------------- ExtractNextElement

TEST(ExtractNextElement, SkipsCommentsInFrontAndBalancesItsOwnName) {
  std::string text =
      "  <!-- one --> <!--two-->\r\n<a x=\"1\"> <a/> <b><a>inner</a></b> </a> trailing ";
  std::string element;
  EXPECT_TRUE(ExtractNextElement(text, element));
  EXPECT_EQ(element, "<a x=\"1\"> <a/> <b><a>inner</a></b> </a>");
  EXPECT_EQ(text, "trailing");
}

TEST(ExtractNextElement, TakesElementsOneAfterAnother) {
  std::string text = "<a/> <!-- between --> <b>x</b>";
  std::string element;
  ASSERT_TRUE(ExtractNextElement(text, element));
  EXPECT_EQ(element, "<a/>");
  EXPECT_EQ(text, "<!-- between --> <b>x</b>");
  ASSERT_TRUE(ExtractNextElement(text, element));
  EXPECT_EQ(element, "<b>x</b>");
  EXPECT_EQ(text, "");
  EXPECT_FALSE(ExtractNextElement(text, element));
  EXPECT_EQ(element, "");
}

TEST(ExtractNextElement, UnterminatedCommentLeavesTheTextAtTheComment) {
  std::string text = " <!-- a --> <!-- open <a/>";
  std::string element = "old";
  EXPECT_FALSE(ExtractNextElement(text, element));
  EXPECT_EQ(element, "");
  EXPECT_EQ(text, "<!-- open <a/>");
}

TEST(ExtractNextElement, FailuresKeepTheTrimmedText) {
  struct Case {
    const char* text;
    const char* rest;
  } cases[] = {
      {" word <a/>", "word <a/>"},      // not starting with "<"
      {"<a", "<a"},                     // too short
      {"<abc", "<abc"},                 // no ">"
      {"< a>x</a>", "< a>x</a>"},       // name ends at position 2
      {"<a>open", "<a>open"},           // no closing tag
      {"<a\tb=\"1\">x</a>", "<a\tb=\"1\">x</a>"},  // tab: name runs to ">"
      {"", ""},
  };
  for (const Case& c : cases) {
    std::string text = c.text;
    std::string element = "old";
    EXPECT_FALSE(ExtractNextElement(text, element)) << c.text;
    EXPECT_EQ(element, "") << c.text;
    EXPECT_EQ(text, c.rest) << c.text;
  }
}

TEST(ExtractNextElement, SelfClosingOpeningsOfTheSameNameAreNotCounted) {
  std::string text = "<a><a/><a /><a>x</a></a><c/>";
  std::string element;
  ASSERT_TRUE(ExtractNextElement(text, element));
  EXPECT_EQ(element, "<a><a/><a /><a>x</a></a>");
  EXPECT_EQ(text, "<c/>");
}

TEST(ExtractNextElement, RunningOutOfClosingTagsGivesAFragmentThatNeverSplits) {
  std::string text = "<ab><ab></ab> tail";
  std::string element;
  ASSERT_TRUE(ExtractNextElement(text, element));
  EXPECT_EQ(element, "<ab>");  // the length of "</ab>" less one
  EXPECT_EQ(text, "<ab></ab> tail");
  TXMLDataItem item;
  EXPECT_FALSE(item.Parse(element));
}

TEST(ExtractNextElement, ViewFormNarrowsTheSameBuffer) {
  const std::string buffer = "<a/> <b/>";
  std::string_view text = buffer;
  std::string_view element;
  ASSERT_TRUE(ExtractNextElement(text, element));
  EXPECT_EQ(element, "<a/>");
  EXPECT_EQ(element.data(), buffer.data());
  EXPECT_EQ(text, "<b/>");
}

// Every prefix and every suffix of a description never leads outside the
// text (run under AddressSanitizer) and leaves element and text consistent.
TEST(ExtractNextElement, TruncatedTextsStayInBounds) {
  const std::string sample =
      "<!-- c --><OPC_Description a='1'><device name=\"d\"><tagstlist>"
      "<opctag name=\"t\" type=\"byte\"><subitem name='s' type=\"8u\"/></opctag>"
      "</tagstlist></device><!-- x</OPC_Description>";
  for (std::size_t n = 0; n <= sample.size(); ++n) {
    for (const std::string& piece : {sample.substr(0, n), sample.substr(n)}) {
      std::string text = piece;
      std::string element;
      const bool ok = ExtractNextElement(text, element);
      EXPECT_EQ(ok, !element.empty());
      EXPECT_LE(element.size() + text.size(), piece.size());
      if (ok) {
        EXPECT_EQ(element.front(), '<');
        EXPECT_EQ(element.back(), '>');
      }
      Split s = SplitElement(piece);
      if (s.ok) {
        EXPECT_LE(s.tag.size() + s.content.size(), piece.size());
      }
    }
  }
}

// ---------------------------------------------------------------- ParseElement

TEST(ParseElement, SelfClosingWithAndWithoutAttributes) {
  Split s = SplitElement("<a/>");
  EXPECT_TRUE(s.ok);
  EXPECT_EQ(s.tag, "a");
  EXPECT_TRUE(s.attributes.empty());
  EXPECT_EQ(s.content, "");

  s = SplitElement(" <a b='x y' />  ");
  EXPECT_TRUE(s.ok);
  EXPECT_EQ(s.tag, "a");
  EXPECT_EQ(s.attributes, std::vector<std::string>{"b=\"x y\""});
}

TEST(ParseElement, ContentBetweenTagsIsTrimmed) {
  Split s = SplitElement("<a b=\"1\">  text \r\n</a>");
  EXPECT_TRUE(s.ok);
  EXPECT_EQ(s.tag, "a");
  EXPECT_EQ(s.attributes, std::vector<std::string>{"b=\"1\""});
  EXPECT_EQ(s.content, "text");

  s = SplitElement("<Root><x/></Root>");
  EXPECT_TRUE(s.ok);
  EXPECT_EQ(s.tag, "Root");
  EXPECT_EQ(s.content, "<x/>");
}

// A text ending in "/>" loses it; what is left with a ">" splits as an
// element with content.
TEST(ParseElement, ASelfClosingMarkAfterAClosingTagIsTakenOff) {
  Split s = SplitElement("<a></a>/>");
  EXPECT_TRUE(s.ok);
  EXPECT_EQ(s.tag, "a");
  EXPECT_EQ(s.content, "");
  s = SplitElement("<a k=\"v\">x</a>/>");
  EXPECT_TRUE(s.ok);
  EXPECT_EQ(s.attributes, std::vector<std::string>{"k=\"v\""});
  EXPECT_EQ(s.content, "x");
  EXPECT_FALSE(SplitElement("<a>x</b>/>").ok);
}

TEST(ParseElement, ShapesThatFail) {
  const char* bad[] = {
      "<a b=\"1\">text</A>",  // closing tag in another case
      "<a b=\">\"/>",         // ">" inside a self-closing element
      "<a>text</a> tail",     // closing tag not at the end
      "<a b=1>x</a>",         // unquoted value
      "<a b=\"1>x</a>",       // value never closed before ">"
      "<a =\"1\"/>",          // empty name
      "<a b= />",             // nothing after "="
      "<a>",                  // no closing tag
      "<abc",                 // neither ">" nor "/>"
      "<a b",                 // blank, no ">", not self-closing
      "a/>",                  // not starting with "<"
      "<>",                   // too short
  };
  for (const char* text : bad) {
    Split s = SplitElement(text);
    EXPECT_FALSE(s.ok) << text;
  }
}

TEST(ParseElement, ClearsItsOutputsFirst) {
  TStringList list;
  list.Add("old=\"1\"");
  std::string tag = "old";
  std::string content = "old";
  EXPECT_FALSE(ParseElement("nonsense", list, tag, content));
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(tag, "");
  EXPECT_EQ(content, "");
}

// ------------------------------------------------------------- ParseAttributes

TEST(ParseAttributes, QuotesOfBothKindsBecomeDoubleQuotedLines) {
  TStringList list;
  EXPECT_TRUE(ParseAttributes(" a=\"1\"  b = 'it \"is\"' c='' a=\"2\" ", list));
  EXPECT_EQ(Lines(list),
            (std::vector<std::string>{"a=\"1\"", "b=\"it \"is\"\"", "c=\"\"", "a=\"2\""}));
}

TEST(ParseAttributes, StrayWordsAndTrailingText) {
  TStringList list;
  EXPECT_TRUE(ParseAttributes("stray name=\"x\" tail without equals", list));
  EXPECT_EQ(Lines(list), std::vector<std::string>{"stray name=\"x\""});

  list.Clear();
  EXPECT_TRUE(ParseAttributes("   ", list));
  EXPECT_EQ(list.Count(), 0);
}

TEST(ParseAttributes, FailsOnAMissingClosingQuote) {
  TStringList list;
  EXPECT_FALSE(ParseAttributes("a=\"1\" b='2", list));
  EXPECT_EQ(Lines(list), std::vector<std::string>{"a=\"1\""});
  EXPECT_FALSE(ParseAttributes("a=\"1'", list));
}

// ---------------------------------------------------------------- TXMLDataItem

TEST(XMLDataItem, EmptyOrBlankTextIsAnEmptyItem) {
  TXMLDataItem item;
  ASSERT_TRUE(item.Parse("<x a=\"1\">c</x>"));
  EXPECT_TRUE(item.Parse(" \r\n\t "));
  EXPECT_EQ(item.Tag, "");
  EXPECT_EQ(item.Content, "");
  EXPECT_EQ(item.Attributes.Count(), 0);
}

TEST(XMLDataItem, GetAttributeIsCaseSensitiveAndTakesTheFirstQuotedLine) {
  TXMLDataItem item;
  ASSERT_TRUE(item.Parse("<opctag Name=\"upper\" name='say \"ON\"' name=\"second\"/>"));
  EXPECT_EQ(item.GetAttribute("name", "def"), "say \"ON\"");
  EXPECT_EQ(item.GetAttribute("Name", "def"), "upper");
  EXPECT_EQ(item.GetAttribute("NAME", "def"), "def");
  EXPECT_EQ(item.GetAttribute("nam", "def"), "def");  // a prefix of a name

  item.Attributes.Clear();
  item.Attributes.Add("k=unquoted");
  item.Attributes.Add("k=\"");
  item.Attributes.Add("k=\"good\"");
  EXPECT_EQ(item.GetAttribute("k", "def"), "good");
}

TEST(XMLDataItem, GetIntAttributeDecimalHexAndDefault) {
  TXMLDataItem item;
  ASSERT_TRUE(item.Parse(
      "<t d=\"42\" n=\"-17\" b=\"  7\" h1=\"$1F\" h2=\"0x1f\" h3=\"X10\" "
      "bad=\"12a\" big=\"2147483648\" empty=\"\" word=\"UNISED\" tb=\"5 \" tt=\"$1F\t\"/>"));
  EXPECT_EQ(item.GetIntAttribute("d", -1), 42);
  EXPECT_EQ(item.GetIntAttribute("n", -1), -17);
  EXPECT_EQ(item.GetIntAttribute("b", -1), 7);
  EXPECT_EQ(item.GetIntAttribute("h1", -1), 31);
  EXPECT_EQ(item.GetIntAttribute("h2", -1), 31);
  EXPECT_EQ(item.GetIntAttribute("h3", -1), 16);
  EXPECT_EQ(item.GetIntAttribute("bad", -1), -1);
  EXPECT_EQ(item.GetIntAttribute("big", -1), -1);
  EXPECT_EQ(item.GetIntAttribute("empty", -1), -1);
  EXPECT_EQ(item.GetIntAttribute("tb", -1), -1);  // a trailing blank is no digit
  EXPECT_EQ(item.GetIntAttribute("tt", -1), -1);
  EXPECT_EQ(item.GetIntAttribute("word", 5), 5);
  EXPECT_EQ(item.GetIntAttribute("missing", 123), 123);
}

}  // namespace

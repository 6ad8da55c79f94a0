#include "platform/os/Text.h"

#include <gtest/gtest.h>

#include <climits>
#include <set>
#include <string>

namespace {

using namespace platform::os;
using namespace platform::os::literals;

// Every defined byte 0x80..0xFF in code page order, typed as characters.
constexpr std::string_view kHighHalfUtf8 =
    "ЂЃ‚ѓ„…†‡€‰Љ‹ЊЌЋЏ"
    "ђ‘’“”•–—™љ›њќћџ"  // 0x98 is undefined
    "\u00A0ЎўЈ¤Ґ¦§Ё©Є«¬\u00AD®Ї"
    "°±Ііґµ¶·ё№є»јЅѕї"
    "АБВГДЕЖЗИЙКЛМНОП"
    "РСТУФХЦЧШЩЪЫЬЭЮЯ"
    "абвгдежзийклмноп"
    "рстуфхцчшщъыьэюя";

std::string HighHalfBytes() {
  std::string s;
  for (int b = 0x80; b <= 0xFF; ++b)
    if (b != 0x98) s += static_cast<char>(b);
  return s;
}

template <detail::Utf8Literal S>
constexpr bool Maps() {
  return detail::kCp1251Literal<S>.ok;
}

TEST(Cp1251Literal, ConvertsTheWholeCodePageAtCompileTime) {
  constexpr std::string_view high =
      "ЂЃ‚ѓ„…†‡€‰Љ‹ЊЌЋЏђ‘’“”•–—™љ›њќћџ\u00A0ЎўЈ¤Ґ¦§Ё©Є«¬\u00AD®Ї°±Ііґµ¶·ё№є»јЅѕї"
      "АБВГДЕЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯабвгдежзийклмнопрстуфхцчшщъыьэюя"_cp;
  static_assert(high.size() == 127);
  EXPECT_EQ(std::string(high), HighHalfBytes());
  EXPECT_EQ(std::string("Ошибка"_cp), "\xCE\xF8\xE8\xE1\xEA\xE0");
  EXPECT_EQ(std::string("DLM:: №1"_cp), "DLM:: \xB9" "1");
  // The view is NUL-terminated for callers that hand it to C interfaces.
  EXPECT_EQ("Тег"_cp.data()[3], '\0');
  // Embedded NUL and plain ASCII pass through.
  EXPECT_EQ("a\0b"_cp.size(), 3u);
  EXPECT_EQ(""_cp.size(), 0u);
}

TEST(Cp1251Literal, RefusesCharactersTheCodePageLacks) {
  static_assert(Maps<"Ёё€№">());
  static_assert(!Maps<"日">());
  static_assert(!Maps<"ß">());
  static_assert(!Maps<"Ω">());
  static_assert(!Maps<"😀">());
  static_assert(!Maps<"\u0098">());  // the code point of the undefined byte
  static_assert(!Maps<"\xC3">());     // truncated UTF-8
  static_assert(!Maps<"\xC0\x80">()); // overlong NUL
  SUCCEED();
}

TEST(Cp1251Conversion, RoundTripsEveryDefinedByte) {
  EXPECT_EQ(Cp1251ToUtf8(HighHalfBytes()), std::string(kHighHalfUtf8));
  EXPECT_EQ(Utf8ToCp1251(kHighHalfUtf8), HighHalfBytes());
  std::string ascii;
  for (int b = 0; b < 0x80; ++b) ascii += static_cast<char>(b);
  EXPECT_EQ(Cp1251ToUtf8(ascii), ascii);
  EXPECT_EQ(Utf8ToCp1251(ascii), ascii);
}

TEST(Cp1251Conversion, MarksWhatCannotBeMapped) {
  EXPECT_EQ(Cp1251ToUtf8("a\x98z"), "a?z");
  EXPECT_EQ(Utf8ToCp1251("x日y"), "x?y");
  EXPECT_EQ(Utf8ToCp1251("😀"), "?");
  // Malformed input: each bad byte is one '?', what follows still converts.
  EXPECT_EQ(Utf8ToCp1251("\xFF" "a"), "?a");
  EXPECT_EQ(Utf8ToCp1251("\xD0"), "?");
  EXPECT_EQ(Utf8ToCp1251("\xD0" "Ж"), "?\xC6");
  EXPECT_EQ(Utf8ToCp1251("\xE2\x82"), "??");
  EXPECT_EQ(Utf8ToCp1251("\xED\xA0\x80"), "???");  // surrogate
  EXPECT_EQ(Utf8ToCp1251("\xC1\xBF"), "??");       // overlong
}

struct Pair {
  std::string_view upper;
  std::string_view lower;
};

TEST(CaseMapping, MapsEveryLetterPairOfTheCodePage) {
  const Pair pairs[] = {
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZ", "abcdefghijklmnopqrstuvwxyz"},
      {"АБВГДЕЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ"_cp, "абвгдежзийклмнопрстуфхцчшщъыьэюя"_cp},
      {"ЁЂЃЉЊЌЋЏЎЈҐЄЇІЅ"_cp, "ёђѓљњќћџўјґєїіѕ"_cp},
  };
  std::set<unsigned char> letters;
  for (const Pair& p : pairs) {
    ASSERT_EQ(p.upper.size(), p.lower.size());
    EXPECT_EQ(AnsiUpperCase(p.lower), p.upper);
    EXPECT_EQ(AnsiLowerCase(p.upper), p.lower);
    EXPECT_EQ(AnsiUpperCase(p.upper), p.upper);
    EXPECT_EQ(AnsiLowerCase(p.lower), p.lower);
    for (std::size_t i = 0; i < p.upper.size(); ++i) {
      EXPECT_EQ(AnsiUpperChar(p.lower[i]), p.upper[i]) << "byte " << i;
      EXPECT_EQ(AnsiLowerChar(p.upper[i]), p.lower[i]) << "byte " << i;
      letters.insert(static_cast<unsigned char>(p.upper[i]));
      letters.insert(static_cast<unsigned char>(p.lower[i]));
    }
  }
  EXPECT_EQ(letters.size(), 2u * (26 + 32 + 15));
  // Every other byte, µ and the punctuation of the page included, is kept.
  for (int b = 0; b < 256; ++b) {
    if (letters.count(static_cast<unsigned char>(b))) continue;
    const char c = static_cast<char>(b);
    EXPECT_EQ(AnsiUpperChar(c), c) << "byte " << b;
    EXPECT_EQ(AnsiLowerChar(c), c) << "byte " << b;
  }
}

TEST(Trim, RemovesBytesUpTo32AtTheEndsOnly) {
  const std::string s = std::string("\0\t\r\n a b \x1F\x01", 11);
  EXPECT_EQ(Trim(s), "a b");
  EXPECT_EQ(TrimLeft(s), std::string("a b \x1F\x01"));
  EXPECT_EQ(TrimRight(s), std::string("\0\t\r\n a b", 8));
  EXPECT_EQ(Trim("   "), "");
  EXPECT_EQ(Trim(""), "");
  // NBSP (0xA0) and the ESC separator inside the text are not trimmed away
  // from the middle; NBSP is not a blank at all.
  EXPECT_EQ(Trim("\xA0x\xA0"), "\xA0x\xA0");
  EXPECT_EQ(Trim(" a\x1B" "b "), "a\x1B" "b");
}

TEST(Compare, ComparesUnsignedBytesAndFoldsCaseOfTheWholePage) {
  EXPECT_LT(CompareStr("z", "я"_cp), 0);  // 0xFF sorts after ASCII
  EXPECT_GT(CompareStr("\x80", "\x7F"), 0);
  EXPECT_LT(CompareStr("ab", "abc"), 0);
  EXPECT_EQ(CompareStr("abc", "abc"), 0);
  EXPECT_NE(CompareStr("abc", "ABC"), 0);
  EXPECT_EQ(CompareStr(std::string_view("a\0b", 3), std::string_view("a\0b", 3)), 0);
  EXPECT_LT(CompareStr(std::string_view("a\0a", 3), std::string_view("a\0b", 3)), 0);

  EXPECT_EQ(CompareText("Ёлка ЇЖ"_cp, "ёЛКА їж"_cp), 0);
  EXPECT_EQ(CompareText("OPC.Server", "opc.server"), 0);
  EXPECT_LT(CompareText("a", "B"), 0);
  EXPECT_GT(CompareText("b", "A"), 0);
  EXPECT_LT(CompareText("abc", "ABCD"), 0);
  EXPECT_TRUE(SameText("Тег"_cp, "ТЕГ"_cp));
  EXPECT_FALSE(SameText("Тег"_cp, "Теги"_cp));
  EXPECT_FALSE(SameText("е"_cp, "ё"_cp));
}

TEST(PosCopy, AreOneBasedAndNeverReadOutside) {
  EXPECT_EQ(Pos("=", "key=value"), 4);
  EXPECT_EQ(Pos("k", "key"), 1);
  EXPECT_EQ(Pos("x", "key"), 0);
  EXPECT_EQ(Pos("", "key"), 0);
  EXPECT_EQ(Pos("keys", "key"), 0);

  EXPECT_EQ(Copy("abcdef", 2, 3), "bcd");
  EXPECT_EQ(Copy("abcdef", 5, 100), "ef");
  EXPECT_EQ(Copy("abcdef", 5, INT_MAX), "ef");
  EXPECT_EQ(Copy("abcdef", 0, 2), "ab");
  EXPECT_EQ(Copy("abcdef", INT_MIN, 2), "ab");
  EXPECT_EQ(Copy("abcdef", 7, 1), "");
  EXPECT_EQ(Copy("abcdef", INT_MAX, INT_MAX), "");
  EXPECT_EQ(Copy("abcdef", 1, 0), "");
  EXPECT_EQ(Copy("abcdef", 1, -5), "");
  EXPECT_EQ(Copy("", 1, 1), "");
}

}  // namespace

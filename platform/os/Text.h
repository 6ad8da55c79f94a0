#pragma once
// Text of the system: byte strings in code page 1251, held in std::string.
// Conversion to UTF-8 happens only at the edges (terminal, window titles,
// font rendering). Every helper here is pure and may be called from any
// thread.

#include <cstddef>
#include <string>
#include <string_view>

namespace platform::os {

using AnsiString = std::string;

namespace detail {

// Unicode code point of each CP1251 byte 0x80..0xFF; 0 marks 0x98, the one
// byte the code page leaves undefined.
inline constexpr char16_t kCp1251High[128] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x0000, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F,
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427,
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F,
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,
};

// The CP1251 byte of a code point, or -1 when the code page lacks it.
constexpr int UnicodeToCp1251(char32_t cp) {
  if (cp < 0x80) return static_cast<int>(cp);
  if (cp >= 0x0410 && cp <= 0x044F) return static_cast<int>(cp - 0x0410 + 0xC0);
  for (int i = 0; i < 0x40; ++i)
    if (kCp1251High[i] != 0 && kCp1251High[i] == cp) return 0x80 + i;
  return -1;
}

// Decodes one UTF-8 sequence at s[pos] (end = length). Answers the code
// point and advances pos, or answers -1 and advances pos by one byte for a
// malformed sequence (stray continuation, truncation, overlong form,
// surrogate, value above U+10FFFF).
constexpr long DecodeUtf8(const char* s, std::size_t end, std::size_t& pos) {
  const auto b0 = static_cast<unsigned char>(s[pos]);
  std::size_t len = 0;
  char32_t cp = 0;
  char32_t min = 0;
  if (b0 < 0x80) {
    ++pos;
    return b0;
  } else if ((b0 & 0xE0) == 0xC0) {
    len = 2, cp = b0 & 0x1F, min = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    len = 3, cp = b0 & 0x0F, min = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    len = 4, cp = b0 & 0x07, min = 0x10000;
  } else {
    ++pos;
    return -1;
  }
  if (end - pos < len) {
    ++pos;
    return -1;
  }
  for (std::size_t i = 1; i < len; ++i) {
    const auto b = static_cast<unsigned char>(s[pos + i]);
    if ((b & 0xC0) != 0x80) {
      ++pos;
      return -1;
    }
    cp = (cp << 6) | (b & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    ++pos;
    return -1;
  }
  pos += len;
  return static_cast<long>(cp);
}

// A string literal as a structural value, so that it can be a template
// argument of the _cp literal operator.
template <std::size_t N>
struct Utf8Literal {
  char bytes[N]{};
  consteval Utf8Literal(const char (&s)[N]) {
    for (std::size_t i = 0; i < N; ++i) bytes[i] = s[i];
  }
};

template <std::size_t N>
struct Cp1251Literal {
  char bytes[N]{};  // converted text, NUL-terminated
  std::size_t size = 0;
  bool ok = true;   // false: a character CP1251 lacks, or malformed UTF-8
};

template <std::size_t N>
consteval Cp1251Literal<N> ConvertLiteral(const Utf8Literal<N>& in) {
  Cp1251Literal<N> out;
  const std::size_t end = N - 1;  // without the literal's terminating NUL
  std::size_t pos = 0;
  while (pos < end) {
    const long cp = DecodeUtf8(in.bytes, end, pos);
    const int b = cp < 0 ? -1 : UnicodeToCp1251(static_cast<char32_t>(cp));
    if (b < 0) {
      out.ok = false;
      return out;
    }
    out.bytes[out.size++] = static_cast<char>(b);
  }
  out.bytes[out.size] = '\0';
  return out;
}

template <Utf8Literal S>
inline constexpr auto kCp1251Literal = ConvertLiteral(S);

}  // namespace detail

namespace literals {

// "Ошибка"_cp: the CP1251 bytes of a UTF-8 literal, converted at compile
// time; a character CP1251 lacks is a compile error. The view points to
// static storage and is followed by a NUL byte.
template <detail::Utf8Literal S>
constexpr std::string_view operator""_cp() {
  constexpr const auto& lit = detail::kCp1251Literal<S>;
  static_assert(lit.ok, "_cp literal holds a character that CP1251 lacks");
  return std::string_view(lit.bytes, lit.size);
}

}  // namespace literals

// UTF-8 -> CP1251. A character CP1251 lacks, and each byte of a malformed
// sequence, becomes '?'.
std::string Utf8ToCp1251(std::string_view utf8);

// CP1251 -> UTF-8. The undefined byte 0x98 becomes '?'.
std::string Cp1251ToUtf8(std::string_view cp1251);

// Case mapping of the whole CP1251 letter set: Latin A-Z, Cyrillic А-Я, Ё
// and the other Cyrillic letters of the page (Ђ Ѓ Љ Њ Ќ Ћ Џ Ў Ј Ґ Є Ї І Ѕ).
// Bytes that are not letters with a pair are returned unchanged.
char AnsiUpperChar(char c);
char AnsiLowerChar(char c);
std::string AnsiUpperCase(std::string_view s);
std::string AnsiLowerCase(std::string_view s);

// Remove blanks (bytes with a code of 32 or less) at both ends, the left
// end or the right end.
std::string Trim(std::string_view s);
std::string TrimLeft(std::string_view s);
std::string TrimRight(std::string_view s);
// Trim as a view into s.
std::string_view TrimView(std::string_view s);

// Comparison: <0, 0 or >0 (answered as -1, 0, 1). CompareStr compares
// unsigned bytes; a shorter string that is a prefix of the other sorts
// first. CompareText does the same after mapping both sides to upper case
// with AnsiUpperChar. SameText: CompareText == 0.
int CompareStr(std::string_view a, std::string_view b);
int CompareText(std::string_view a, std::string_view b);
bool SameText(std::string_view a, std::string_view b);

// 1-based position of the first occurrence of sub in s; 0 when absent or
// when sub is empty.
int Pos(std::string_view sub, std::string_view s);

// count bytes of s from the 1-based index1. An index below 1 counts as 1;
// a count below 0 or an index past the end gives ""; a count running past
// the end stops there. Never reads outside s.
std::string Copy(std::string_view s, int index1, int count);

}  // namespace platform::os

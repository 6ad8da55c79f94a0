#include "platform/os/Text.h"

#include <array>
#include <cstdint>

namespace platform::os {

namespace {

// Upper/lower pairs of the Cyrillic letters outside А-Я/а-я.
struct CasePair {
  std::uint8_t upper;
  std::uint8_t lower;
};
constexpr CasePair kExtraPairs[] = {
    {0x80, 0x90},  // Ђ ђ
    {0x81, 0x83},  // Ѓ ѓ
    {0x8A, 0x9A},  // Љ љ
    {0x8C, 0x9C},  // Њ њ
    {0x8D, 0x9D},  // Ќ ќ
    {0x8E, 0x9E},  // Ћ ћ
    {0x8F, 0x9F},  // Џ џ
    {0xA1, 0xA2},  // Ў ў
    {0xA3, 0xBC},  // Ј ј
    {0xA5, 0xB4},  // Ґ ґ
    {0xA8, 0xB8},  // Ё ё
    {0xAA, 0xBA},  // Є є
    {0xAF, 0xBF},  // Ї ї
    {0xB2, 0xB3},  // І і
    {0xBD, 0xBE},  // Ѕ ѕ
};

struct CaseTables {
  std::array<std::uint8_t, 256> upper{};
  std::array<std::uint8_t, 256> lower{};
};

constexpr CaseTables MakeCaseTables() {
  CaseTables t;
  for (int i = 0; i < 256; ++i) {
    t.upper[i] = static_cast<std::uint8_t>(i);
    t.lower[i] = static_cast<std::uint8_t>(i);
  }
  for (int i = 0; i < 26; ++i) {
    t.upper['a' + i] = static_cast<std::uint8_t>('A' + i);
    t.lower['A' + i] = static_cast<std::uint8_t>('a' + i);
  }
  for (int i = 0; i < 32; ++i) {
    t.upper[0xE0 + i] = static_cast<std::uint8_t>(0xC0 + i);
    t.lower[0xC0 + i] = static_cast<std::uint8_t>(0xE0 + i);
  }
  for (const CasePair& p : kExtraPairs) {
    t.upper[p.lower] = p.upper;
    t.lower[p.upper] = p.lower;
  }
  return t;
}

constexpr CaseTables kCase = MakeCaseTables();

std::uint8_t Byte(char c) { return static_cast<std::uint8_t>(c); }

bool IsBlank(char c) { return Byte(c) <= 32; }

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

int Sign(int v) { return v < 0 ? -1 : (v > 0 ? 1 : 0); }

template <typename Map>
int CompareBytes(std::string_view a, std::string_view b, Map map) {
  const std::size_t n = a.size() < b.size() ? a.size() : b.size();
  for (std::size_t i = 0; i < n; ++i) {
    const int d = static_cast<int>(map(Byte(a[i]))) - static_cast<int>(map(Byte(b[i])));
    if (d != 0) return Sign(d);
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

}  // namespace

std::string Utf8ToCp1251(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  std::size_t pos = 0;
  while (pos < utf8.size()) {
    const long cp = detail::DecodeUtf8(utf8.data(), utf8.size(), pos);
    const int b = cp < 0 ? -1 : detail::UnicodeToCp1251(static_cast<char32_t>(cp));
    out += b < 0 ? '?' : static_cast<char>(b);
  }
  return out;
}

std::string Cp1251ToUtf8(std::string_view cp1251) {
  std::string out;
  out.reserve(cp1251.size() * 2);
  for (char c : cp1251) {
    const std::uint8_t b = Byte(c);
    if (b < 0x80) {
      out += c;
      continue;
    }
    const char16_t cp = detail::kCp1251High[b - 0x80];
    if (cp == 0) {
      out += '?';
    } else {
      AppendUtf8(out, cp);
    }
  }
  return out;
}

char AnsiUpperChar(char c) { return static_cast<char>(kCase.upper[Byte(c)]); }

char AnsiLowerChar(char c) { return static_cast<char>(kCase.lower[Byte(c)]); }

std::string AnsiUpperCase(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = AnsiUpperChar(c);
  return out;
}

std::string AnsiLowerCase(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = AnsiLowerChar(c);
  return out;
}

std::string TrimLeft(std::string_view s) {
  std::size_t b = 0;
  while (b < s.size() && IsBlank(s[b])) ++b;
  return std::string(s.substr(b));
}

std::string TrimRight(std::string_view s) {
  std::size_t e = s.size();
  while (e > 0 && IsBlank(s[e - 1])) --e;
  return std::string(s.substr(0, e));
}

std::string Trim(std::string_view s) { return std::string(TrimView(s)); }

std::string_view TrimView(std::string_view s) {
  std::size_t b = 0;
  std::size_t e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

int CompareStr(std::string_view a, std::string_view b) {
  return CompareBytes(a, b, [](std::uint8_t c) { return c; });
}

int CompareText(std::string_view a, std::string_view b) {
  return CompareBytes(a, b, [](std::uint8_t c) { return kCase.upper[c]; });
}

bool SameText(std::string_view a, std::string_view b) {
  return a.size() == b.size() && CompareText(a, b) == 0;
}

int Pos(std::string_view sub, std::string_view s) {
  if (sub.empty()) return 0;
  const std::size_t at = s.find(sub);
  if (at == std::string_view::npos) return 0;
  return static_cast<int>(at) + 1;
}

std::string Copy(std::string_view s, int index1, int count) {
  if (count <= 0) return std::string();
  const std::size_t start = index1 < 1 ? 0 : static_cast<std::size_t>(index1) - 1;
  if (start >= s.size()) return std::string();
  return std::string(s.substr(start, static_cast<std::size_t>(count)));
}

}  // namespace platform::os

#include "platform/com/WideString.h"

#include <cstdlib>
#include <cstring>

namespace platform::com {

namespace {

// Code points of the CP1251 bytes 0x80..0xFF. 0x98 is unassigned in the
// code page and kept as U+0098 so that every byte survives a round trip.
constexpr char16_t kHighHalf[128] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409,
    0x2039, 0x040A, 0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0,
    0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB,
    0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6,
    0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457, 0x0410, 0x0411,
    0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417, 0x0418, 0x0419, 0x041A, 0x041B, 0x041C,
    0x041D, 0x041E, 0x041F, 0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427,
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F, 0x0430, 0x0431, 0x0432,
    0x0433, 0x0434, 0x0435, 0x0436, 0x0437, 0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D,
    0x043E, 0x043F, 0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447, 0x0448,
    0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F};

char WideCharToAnsi(char16_t c) {
  if (c < 0x80) return static_cast<char>(c);
  if (c >= 0x0410 && c <= 0x044F) return static_cast<char>(0xC0 + (c - 0x0410));
  for (int i = 0; i < 64; ++i)
    if (kHighHalf[i] == c) return static_cast<char>(0x80 + i);
  return '?';
}

}  // namespace

WideString AnsiToWide(std::string_view cp1251) {
  WideString out;
  out.reserve(cp1251.size());
  for (char ch : cp1251) {
    auto b = static_cast<unsigned char>(ch);
    out.push_back(b < 0x80 ? static_cast<char16_t>(b) : kHighHalf[b - 0x80]);
  }
  return out;
}

std::string WideToAnsi(std::u16string_view wide) {
  std::string out;
  out.reserve(wide.size());
  for (char16_t c : wide) out.push_back(WideCharToAnsi(c));
  return out;
}

std::u16string_view WideView(const char16_t* text, std::size_t limit) {
  if (text == nullptr) return {};
  std::size_t n = 0;
  while (n < limit && text[n] != 0) ++n;
  return {text, n};
}

BSTR SysAllocString(std::u16string_view text) {
  if (text.size() > kMaxBstrLength) return nullptr;
  const std::uint32_t bytes = static_cast<std::uint32_t>(text.size() * sizeof(char16_t));
  auto* block = static_cast<unsigned char*>(std::malloc(sizeof(std::uint32_t) + bytes + 2));
  if (block == nullptr) return nullptr;
  std::memcpy(block, &bytes, sizeof bytes);
  auto* chars = reinterpret_cast<char16_t*>(block + sizeof(std::uint32_t));
  if (bytes != 0) std::memcpy(chars, text.data(), bytes);
  chars[text.size()] = 0;
  return chars;
}

BSTR SysAllocString(const char16_t* text) { return SysAllocString(WideView(text, kMaxBstrLength + 1)); }

void SysFreeString(BSTR text) {
  if (text != nullptr) std::free(reinterpret_cast<unsigned char*>(text) - sizeof(std::uint32_t));
}

std::uint32_t SysStringLen(BSTR text) {
  if (text == nullptr) return 0;
  std::uint32_t bytes = 0;
  std::memcpy(&bytes, reinterpret_cast<unsigned char*>(text) - sizeof(std::uint32_t), sizeof bytes);
  return bytes / sizeof(char16_t);
}

}  // namespace platform::com

#include "platform/com/Guid.h"

#include <sys/random.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace platform::com {

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads `digits` hex digits at text[pos]; false on a non-hex character.
bool ReadHex(std::string_view text, std::size_t pos, int digits, std::uint32_t& value) {
  value = 0;
  for (int i = 0; i < digits; ++i) {
    int v = HexValue(text[pos + i]);
    if (v < 0) return false;
    value = (value << 4) | static_cast<std::uint32_t>(v);
  }
  return true;
}

}  // namespace

std::string GuidToString(const GUID& g) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                g.Data1, g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3],
                g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
  return buf;
}

bool StringToGuid(std::string_view t, GUID& guid) {
  if (t.size() != 38 || t[0] != '{' || t[37] != '}' || t[9] != '-' || t[14] != '-' ||
      t[19] != '-' || t[24] != '-')
    return false;
  GUID g{};
  std::uint32_t v = 0;
  if (!ReadHex(t, 1, 8, v)) return false;
  g.Data1 = v;
  if (!ReadHex(t, 10, 4, v)) return false;
  g.Data2 = static_cast<std::uint16_t>(v);
  if (!ReadHex(t, 15, 4, v)) return false;
  g.Data3 = static_cast<std::uint16_t>(v);
  static constexpr std::size_t kByteAt[8] = {20, 22, 25, 27, 29, 31, 33, 35};
  for (int i = 0; i < 8; ++i) {
    if (!ReadHex(t, kByteAt[i], 2, v)) return false;
    g.Data4[i] = static_cast<std::uint8_t>(v);
  }
  guid = g;
  return true;
}

std::array<std::uint8_t, 16> GuidToBytes(const GUID& g) {
  std::array<std::uint8_t, 16> b{};
  for (int i = 0; i < 4; ++i) b[i] = static_cast<std::uint8_t>(g.Data1 >> (8 * i));
  for (int i = 0; i < 2; ++i) b[4 + i] = static_cast<std::uint8_t>(g.Data2 >> (8 * i));
  for (int i = 0; i < 2; ++i) b[6 + i] = static_cast<std::uint8_t>(g.Data3 >> (8 * i));
  std::memcpy(b.data() + 8, g.Data4, 8);
  return b;
}

GUID GuidFromBytes(const std::uint8_t* b) {
  GUID g{};
  for (int i = 3; i >= 0; --i) g.Data1 = (g.Data1 << 8) | b[i];
  g.Data2 = static_cast<std::uint16_t>(b[4] | (b[5] << 8));
  g.Data3 = static_cast<std::uint16_t>(b[6] | (b[7] << 8));
  std::memcpy(g.Data4, b + 8, 8);
  return g;
}

HRESULT CoCreateGuid(GUID* guid) {
  if (guid == nullptr) return E_INVALIDARG;
  std::uint8_t b[16];
  std::size_t got = 0;
  while (got < sizeof b) {
    ssize_t n = getrandom(b + got, sizeof b - got, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return E_FAIL;
    got += static_cast<std::size_t>(n);
  }
  b[7] = static_cast<std::uint8_t>((b[7] & 0x0F) | 0x40);  // version 4 (high nibble of Data3)
  b[8] = static_cast<std::uint8_t>((b[8] & 0x3F) | 0x80);  // variant 1
  *guid = GuidFromBytes(b);
  return S_OK;
}

}  // namespace platform::com

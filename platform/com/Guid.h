#pragma once
// GUIDs: 16 bytes in the Windows binary layout (Data1, Data2 and Data3
// little-endian, Data4 as bytes), their registry text form and creation.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/com/HResult.h"

namespace platform::com {

struct GUID {
  std::uint32_t Data1;
  std::uint16_t Data2;
  std::uint16_t Data3;
  std::uint8_t Data4[8];
};
static_assert(sizeof(GUID) == 16);

using IID = GUID;
using CLSID = GUID;
using CATID = GUID;

constexpr bool IsEqualGUID(const GUID& a, const GUID& b) {
  if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
  for (int i = 0; i < 8; ++i)
    if (a.Data4[i] != b.Data4[i]) return false;
  return true;
}
constexpr bool operator==(const GUID& a, const GUID& b) { return IsEqualGUID(a, b); }

inline constexpr GUID GUID_NULL{0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};

// Text form "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper-case hex. Any thread.
std::string GuidToString(const GUID& guid);

// Parses the braced text form (hex digits of either case, nothing around
// it). False on any other text, leaving `guid` unchanged. Any thread.
bool StringToGuid(std::string_view text, GUID& guid);

// The 16 bytes as they lie in memory on Windows, and back. Any thread.
std::array<std::uint8_t, 16> GuidToBytes(const GUID& guid);
GUID GuidFromBytes(const std::uint8_t* bytes16);

// A new random (version 4) GUID. E_FAIL when the system has no randomness
// to give. Any thread.
HRESULT CoCreateGuid(GUID* guid);

}  // namespace platform::com

#pragma once
// What the data transfer interfaces pass: FORMATETC, STGMEDIUM (global
// memory only) and the registered clipboard formats that name streams.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/com/Memory.h"
#include "platform/com/Unknown.h"

namespace platform::com {

using CLIPFORMAT = std::uint16_t;

inline constexpr std::uint32_t DVASPECT_CONTENT = 1;
inline constexpr std::uint32_t TYMED_HGLOBAL = 1;
inline constexpr std::uint32_t TYMED_NULL = 0;
inline constexpr std::uint32_t ADVF_NODATA = 1;
inline constexpr std::uint32_t ADVF_PRIMEFIRST = 2;
inline constexpr std::uint32_t ADVF_ONLYONCE = 4;

// Target devices are never used; the pointer is always null.
struct DVTARGETDEVICE;

struct FORMATETC {
  CLIPFORMAT cfFormat;
  DVTARGETDEVICE* ptd;
  std::uint32_t dwAspect;
  std::int32_t lindex;
  std::uint32_t tymed;
};
static_assert(sizeof(FORMATETC) == 32);  // 20 on 32-bit Windows

struct STGMEDIUM {
  std::uint32_t tymed;
  HGLOBAL hGlobal;
  IUnknown* pUnkForRelease;
};
static_assert(sizeof(STGMEDIUM) == 24);  // 12 on 32-bit Windows

// Frees the medium's global memory (or releases pUnkForRelease when set,
// which then owns it) and empties the record. Any thread.
void ReleaseStgMedium(STGMEDIUM* medium);

// The process-wide id of a named format: equal names (without regard to
// ASCII case) get the same id; ids are handed out from 0xC000 upwards in
// order of first registration. 0 for an empty name, a name longer than
// 255 bytes, or when the 0x4000 ids are used up. Any thread.
std::uint32_t RegisterClipboardFormatA(std::string_view name);

}  // namespace platform::com

#pragma once
// VARIANT in its 16-byte layout (vt, three reserved words, an 8-byte
// value) with the types the system and its OPC servers exchange, and the
// conversions between them.

#include <cstddef>
#include <cstdint>

#include "platform/com/HResult.h"
#include "platform/com/WideString.h"

namespace platform::com {

using VARTYPE = std::uint16_t;
using VARIANT_BOOL = std::int16_t;
inline constexpr VARIANT_BOOL VARIANT_TRUE = -1;
inline constexpr VARIANT_BOOL VARIANT_FALSE = 0;

inline constexpr VARTYPE VT_EMPTY = 0;
inline constexpr VARTYPE VT_I2 = 2;
inline constexpr VARTYPE VT_I4 = 3;
inline constexpr VARTYPE VT_R4 = 4;
inline constexpr VARTYPE VT_R8 = 5;
inline constexpr VARTYPE VT_CY = 6;
inline constexpr VARTYPE VT_DATE = 7;
inline constexpr VARTYPE VT_BSTR = 8;
inline constexpr VARTYPE VT_BOOL = 11;
inline constexpr VARTYPE VT_DECIMAL = 14;
inline constexpr VARTYPE VT_I1 = 16;
inline constexpr VARTYPE VT_UI1 = 17;
inline constexpr VARTYPE VT_UI2 = 18;
inline constexpr VARTYPE VT_UI4 = 19;
inline constexpr VARTYPE VT_I8 = 20;
inline constexpr VARTYPE VT_UI8 = 21;
inline constexpr VARTYPE VT_INT = 22;
inline constexpr VARTYPE VT_UINT = 23;

// Currency: a count of ten-thousandths.
struct CY {
  std::int64_t int64;
};
static_assert(sizeof(CY) == 8);

// A 96-bit integer (Hi32, Lo64) with a sign and a scale: the value is
// the integer divided by 10^scale (0..28), negative when sign is
// DECIMAL_NEG. A VT_DECIMAL variant holds it over all its 16 bytes, its
// wReserved where the variant's vt lies (see VariantDecimal).
struct DECIMAL {
  std::uint16_t wReserved;
  std::uint8_t scale;
  std::uint8_t sign;
  std::uint32_t Hi32;
  std::uint64_t Lo64;
};
static_assert(sizeof(DECIMAL) == 16);
inline constexpr std::uint8_t DECIMAL_NEG = 0x80;
inline constexpr std::uint8_t DECIMAL_MAX_SCALE = 28;

struct VARIANT {
  VARTYPE vt;
  std::uint16_t wReserved1;
  std::uint16_t wReserved2;
  std::uint16_t wReserved3;
  union {
    std::int8_t cVal;
    std::uint8_t bVal;
    std::int16_t iVal;
    std::uint16_t uiVal;
    std::int32_t lVal;
    std::uint32_t ulVal;
    std::int64_t llVal;
    std::uint64_t ullVal;
    std::int32_t intVal;
    std::uint32_t uintVal;
    CY cyVal;
    float fltVal;
    double dblVal;
    VARIANT_BOOL boolVal;
    double date;
    BSTR bstrVal;
    std::uint64_t rawValue;
  };
};
static_assert(sizeof(VARIANT) == 16);
static_assert(offsetof(VARIANT, dblVal) == 8);

// True for the types this layer handles (those listed above).
bool IsSupportedVarType(VARTYPE vt);

// The DECIMAL that a VT_DECIMAL variant holds in its 16 bytes. Any thread.
DECIMAL VariantDecimal(const VARIANT& v);
// Writes d over v's 16 bytes and makes v VT_DECIMAL; what v owned is not
// freed. Any thread.
void SetVariantDecimal(VARIANT& v, const DECIMAL& d);

// Sets VT_EMPTY and a zero value. Any thread.
void VariantInit(VARIANT* v);
// Frees what the variant owns (its BSTR) and makes it VT_EMPTY. Any thread.
HRESULT VariantClear(VARIANT* v);
// Deep copy into `dst` (cleared first). E_OUTOFMEMORY when a BSTR cannot
// be copied, DISP_E_BADVARTYPE for a type this layer does not handle (dst
// is then VT_EMPTY). Any thread.
HRESULT VariantCopy(VARIANT* dst, const VARIANT* src);
// Converts `src` to type `vt` into `dst` (dst may be src). Numbers outside
// the target's range answer DISP_E_OVERFLOW; text that is not a number
// answers DISP_E_TYPEMISMATCH; dst is left unchanged on failure. Floats go
// to integers rounded half to even. Text is read with "," or "." as the
// decimal separator; "True"/"False" convert to VT_BOOL. A BSTR is read up
// to its length (SysStringLen) or a zero, whichever comes first. VT_I8,
// VT_UI8, VT_INT, VT_UINT, VT_CY and VT_DECIMAL convert from, not to
// (DISP_E_BADVARTYPE as a target); a DECIMAL with a scale above 28 or a
// sign other than 0 or DECIMAL_NEG answers E_INVALIDARG. Any thread.
HRESULT VariantChangeType(VARIANT* dst, const VARIANT* src, std::uint16_t flags, VARTYPE vt);

// The value as a 4-byte float (VariantChangeType to VT_R4). Any thread.
HRESULT VariantToSingle(const VARIANT& v, float& out);

// Owns one VARIANT and clears it at the end.
class VariantValue {
 public:
  VariantValue() { VariantInit(&v_); }
  explicit VariantValue(double value);
  explicit VariantValue(float value);
  explicit VariantValue(std::int32_t value);
  explicit VariantValue(std::u16string_view text);  // VT_BSTR (VT_EMPTY if out of memory)
  VariantValue(const VariantValue& other);
  VariantValue& operator=(const VariantValue& other);
  ~VariantValue() { VariantClear(&v_); }
  VARIANT& Get() { return v_; }
  const VARIANT& Get() const { return v_; }

 private:
  VARIANT v_;
};

}  // namespace platform::com

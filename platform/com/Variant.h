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
inline constexpr VARTYPE VT_DATE = 7;
inline constexpr VARTYPE VT_BSTR = 8;
inline constexpr VARTYPE VT_BOOL = 11;
inline constexpr VARTYPE VT_I1 = 16;
inline constexpr VARTYPE VT_UI1 = 17;
inline constexpr VARTYPE VT_UI2 = 18;
inline constexpr VARTYPE VT_UI4 = 19;

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
// decimal separator; "True"/"False" convert to VT_BOOL. Any thread.
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

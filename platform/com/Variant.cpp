#include "platform/com/Variant.h"

#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>

namespace platform::com {

namespace {

// A source value reduced to one of four kinds before it is narrowed.
struct Scalar {
  enum Kind { kInteger, kUnsigned, kReal, kText } kind = kInteger;
  std::int64_t integer = 0;
  std::uint64_t big = 0;  // kUnsigned: a VT_UI8 above INT64_MAX
  double real = 0;
  std::u16string_view text;
};

// The text of a BSTR: up to its length or a zero, whichever comes first.
std::u16string_view BstrView(BSTR text) { return WideView(text, SysStringLen(text)); }

bool ValidDecimal(const DECIMAL& d) {
  return d.scale <= DECIMAL_MAX_SCALE && (d.sign & ~DECIMAL_NEG) == 0;
}

// The 96-bit integer over 10^scale, with its sign.
double DecimalToReal(const DECIMAL& d) {
  const long double magnitude = std::ldexp(static_cast<long double>(d.Hi32), 64) + d.Lo64;
  const double value = static_cast<double>(magnitude / std::pow(10.0L, d.scale));
  return d.sign == DECIMAL_NEG ? -value : value;
}

HRESULT Read(const VARIANT& v, Scalar& s) {
  switch (v.vt) {
    case VT_I1: s.integer = v.cVal; break;
    case VT_UI1: s.integer = v.bVal; break;
    case VT_I2: s.integer = v.iVal; break;
    case VT_UI2: s.integer = v.uiVal; break;
    case VT_I4: s.integer = v.lVal; break;
    case VT_UI4: s.integer = v.ulVal; break;
    case VT_I8: s.integer = v.llVal; break;
    case VT_UI8:
      if (v.ullVal <= static_cast<std::uint64_t>(INT64_MAX)) {
        s.integer = static_cast<std::int64_t>(v.ullVal);
      } else {
        s.kind = Scalar::kUnsigned;
        s.big = v.ullVal;
      }
      break;
    case VT_INT: s.integer = v.intVal; break;
    case VT_UINT: s.integer = v.uintVal; break;
    case VT_BOOL: s.integer = v.boolVal ? -1 : 0; break;
    case VT_R4: s.kind = Scalar::kReal; s.real = v.fltVal; break;
    case VT_R8: s.kind = Scalar::kReal; s.real = v.dblVal; break;
    case VT_DATE: s.kind = Scalar::kReal; s.real = v.date; break;
    case VT_CY: s.kind = Scalar::kReal; s.real = static_cast<double>(v.cyVal.int64) / 10000.0; break;
    case VT_DECIMAL: {
      const DECIMAL d = VariantDecimal(v);
      if (!ValidDecimal(d)) return E_INVALIDARG;
      s.kind = Scalar::kReal;
      s.real = DecimalToReal(d);
      break;
    }
    case VT_BSTR: s.kind = Scalar::kText; s.text = BstrView(v.bstrVal); break;
    default: break;  // VT_EMPTY reads as 0
  }
  return S_OK;
}

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }

bool SameWord(std::u16string_view text, std::string_view word) {
  if (text.size() != word.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char16_t c = text[i];
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    if (c != static_cast<char16_t>(word[i])) return false;
  }
  return true;
}

// Text to a number: blanks around, a sign, digits with at most one "," or
// "." and an optional exponent. Anything else is a type mismatch.
HRESULT ParseNumber(std::u16string_view text, double& out) {
  std::size_t b = 0, e = text.size();
  while (b < e && IsBlank(text[b])) ++b;
  while (e > b && IsBlank(text[e - 1])) --e;
  if (e - b > 400) return DISP_E_TYPEMISMATCH;
  std::string ascii;
  bool digits = false, point = false, exponent = false, expDigits = false;
  for (std::size_t i = b; i < e; ++i) {
    char16_t c = text[i];
    if (c >= u'0' && c <= u'9') {
      (exponent ? expDigits : digits) = true;
      ascii.push_back(static_cast<char>(c));
    } else if ((c == u'.' || c == u',') && !point && !exponent) {
      point = true;
      ascii.push_back('.');
    } else if ((c == u'e' || c == u'E') && digits && !exponent) {
      exponent = true;
      ascii.push_back('e');
    } else if ((c == u'+' || c == u'-') &&
               (i == b || (exponent && ascii.back() == 'e'))) {
      ascii.push_back(static_cast<char>(c));
    } else {
      return DISP_E_TYPEMISMATCH;
    }
  }
  if (!digits || (exponent && !expDigits)) return DISP_E_TYPEMISMATCH;
  const char* first = ascii.data();
  if (*first == '+') ++first;  // from_chars takes no plus sign
  auto [ptr, ec] = std::from_chars(first, ascii.data() + ascii.size(), out);
  if (ec == std::errc::result_out_of_range) return DISP_E_OVERFLOW;
  if (ec != std::errc() || ptr != ascii.data() + ascii.size()) return DISP_E_TYPEMISMATCH;
  return S_OK;
}

HRESULT ToReal(const Scalar& s, double& out) {
  switch (s.kind) {
    case Scalar::kInteger: out = static_cast<double>(s.integer); return S_OK;
    case Scalar::kUnsigned: out = static_cast<double>(s.big); return S_OK;
    case Scalar::kReal: out = s.real; return S_OK;
    case Scalar::kText: return ParseNumber(s.text, out);
  }
  return E_UNEXPECTED;
}

HRESULT ToInteger(const Scalar& s, std::int64_t lo, std::int64_t hi, std::int64_t& out) {
  if (s.kind == Scalar::kUnsigned) return DISP_E_OVERFLOW;  // beyond every integer target
  if (s.kind == Scalar::kInteger) {
    if (s.integer < lo || s.integer > hi) return DISP_E_OVERFLOW;
    out = s.integer;
    return S_OK;
  }
  double d = 0;
  if (HRESULT hr = ToReal(s, d); FAILED(hr)) return hr;
  if (std::isnan(d)) return DISP_E_OVERFLOW;
  d = std::nearbyint(d);  // half to even
  if (d < static_cast<double>(lo) || d > static_cast<double>(hi)) return DISP_E_OVERFLOW;
  out = static_cast<std::int64_t>(d);
  return S_OK;
}

// An integer goes to a float in one rounding, not through a double.
HRESULT ToSingle(const Scalar& s, float& out) {
  if (s.kind == Scalar::kInteger) {
    out = static_cast<float>(s.integer);
    return S_OK;
  }
  if (s.kind == Scalar::kUnsigned) {
    out = static_cast<float>(s.big);
    return S_OK;
  }
  double d = 0;
  if (HRESULT hr = ToReal(s, d); FAILED(hr)) return hr;
  if (!std::isnan(d) && std::fabs(d) > FLT_MAX) return DISP_E_OVERFLOW;
  out = static_cast<float>(d);
  return S_OK;
}

HRESULT ToBool(const Scalar& s, VARIANT_BOOL& out) {
  if (s.kind == Scalar::kText) {
    std::size_t b = 0, e = s.text.size();
    while (b < e && IsBlank(s.text[b])) ++b;
    while (e > b && IsBlank(s.text[e - 1])) --e;
    auto word = s.text.substr(b, e - b);
    if (SameWord(word, "true")) { out = VARIANT_TRUE; return S_OK; }
    if (SameWord(word, "false")) { out = VARIANT_FALSE; return S_OK; }
  }
  if (s.kind == Scalar::kInteger) {
    out = s.integer != 0 ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
  }
  double d = 0;
  if (HRESULT hr = ToReal(s, d); FAILED(hr)) return hr;
  out = d != 0 ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}

std::u16string RealText(double d, int digits) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*G", digits, d);
  std::u16string out;
  for (const char* p = buf; *p; ++p) out.push_back(*p == '.' ? u',' : static_cast<char16_t>(*p));
  return out;
}

// Decimal digits of the 96-bit integer hi:lo.
std::string Digits(std::uint32_t hi, std::uint64_t lo) {
  std::uint32_t limbs[3] = {hi, static_cast<std::uint32_t>(lo >> 32), static_cast<std::uint32_t>(lo)};
  std::string digits;
  do {
    std::uint64_t rest = 0;
    for (std::uint32_t& limb : limbs) {
      const std::uint64_t part = (rest << 32) | limb;
      limb = static_cast<std::uint32_t>(part / 10);
      rest = part % 10;
    }
    digits.insert(digits.begin(), static_cast<char>('0' + rest));
  } while ((limbs[0] | limbs[1] | limbs[2]) != 0);
  return digits;
}

// The digits of an integer over 10^scale as text: "," before the fraction,
// whose trailing zeros go; no sign on zero.
std::u16string ScaledText(bool negative, std::string digits, std::size_t scale) {
  if (digits.size() <= scale) digits.insert(0, scale + 1 - digits.size(), '0');
  std::string fraction = digits.substr(digits.size() - scale);
  digits.resize(digits.size() - scale);
  while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
  if (!fraction.empty()) digits += "," + fraction;
  if (negative && digits != "0") digits.insert(0, 1, '-');
  return AnsiToWide(digits);
}

HRESULT ToText(const VARIANT& src, const Scalar& s, std::u16string& out) {
  switch (src.vt) {
    case VT_EMPTY: out.clear(); return S_OK;
    case VT_BOOL: out = src.boolVal ? u"True" : u"False"; return S_OK;
    case VT_R4: out = RealText(src.fltVal, 7); return S_OK;
    case VT_R8:
    case VT_DATE: out = RealText(s.real, 15); return S_OK;
    case VT_BSTR: out.assign(s.text); return S_OK;
    case VT_UI8: out = AnsiToWide(std::to_string(src.ullVal)); return S_OK;
    case VT_CY: {
      const std::int64_t count = src.cyVal.int64;
      const std::uint64_t magnitude =
          count < 0 ? 0 - static_cast<std::uint64_t>(count) : static_cast<std::uint64_t>(count);
      out = ScaledText(count < 0, Digits(0, magnitude), 4);
      return S_OK;
    }
    case VT_DECIMAL: {
      const DECIMAL d = VariantDecimal(src);
      out = ScaledText(d.sign == DECIMAL_NEG, Digits(d.Hi32, d.Lo64), d.scale);
      return S_OK;
    }
    default: out = AnsiToWide(std::to_string(s.integer)); return S_OK;
  }
}

// Builds the converted value in `out` (a fresh VARIANT).
HRESULT Convert(const VARIANT& src, VARTYPE vt, VARIANT& out) {
  Scalar s;
  VariantInit(&out);
  if (HRESULT hr = Read(src, s); FAILED(hr)) return hr;
  std::int64_t i = 0;
  HRESULT hr = S_OK;
  switch (vt) {
    case VT_EMPTY: return S_OK;
    case VT_I1: hr = ToInteger(s, INT8_MIN, INT8_MAX, i); out.cVal = static_cast<std::int8_t>(i); break;
    case VT_UI1: hr = ToInteger(s, 0, UINT8_MAX, i); out.bVal = static_cast<std::uint8_t>(i); break;
    case VT_I2: hr = ToInteger(s, INT16_MIN, INT16_MAX, i); out.iVal = static_cast<std::int16_t>(i); break;
    case VT_UI2: hr = ToInteger(s, 0, UINT16_MAX, i); out.uiVal = static_cast<std::uint16_t>(i); break;
    case VT_I4: hr = ToInteger(s, INT32_MIN, INT32_MAX, i); out.lVal = static_cast<std::int32_t>(i); break;
    case VT_UI4: hr = ToInteger(s, 0, UINT32_MAX, i); out.ulVal = static_cast<std::uint32_t>(i); break;
    case VT_BOOL: hr = ToBool(s, out.boolVal); break;
    case VT_R4: hr = ToSingle(s, out.fltVal); break;
    case VT_R8: hr = ToReal(s, out.dblVal); break;
    case VT_DATE: {
      hr = ToReal(s, out.date);
      // Days from 0100-01-01 to 9999-12-31, the range dates can express.
      if (SUCCEEDED(hr) && !(out.date >= -657434.0 && out.date < 2958466.0)) hr = DISP_E_OVERFLOW;
      break;
    }
    case VT_BSTR: {
      std::u16string text;
      hr = ToText(src, s, text);
      if (SUCCEEDED(hr)) {
        out.bstrVal = SysAllocString(std::u16string_view(text));
        if (out.bstrVal == nullptr) hr = E_OUTOFMEMORY;
      }
      break;
    }
    default: return DISP_E_BADVARTYPE;
  }
  if (FAILED(hr)) {
    VariantInit(&out);
    return hr;
  }
  out.vt = vt;
  return S_OK;
}

}  // namespace

bool IsSupportedVarType(VARTYPE vt) {
  switch (vt) {
    case VT_EMPTY: case VT_I1: case VT_UI1: case VT_I2: case VT_UI2: case VT_I4: case VT_UI4:
    case VT_R4: case VT_R8: case VT_BOOL: case VT_BSTR: case VT_DATE:
    case VT_I8: case VT_UI8: case VT_INT: case VT_UINT: case VT_CY: case VT_DECIMAL:
      return true;
    default:
      return false;
  }
}

DECIMAL VariantDecimal(const VARIANT& v) {
  DECIMAL d;
  std::memcpy(&d, &v, sizeof d);
  return d;
}

void SetVariantDecimal(VARIANT& v, const DECIMAL& d) {
  std::memcpy(&v, &d, sizeof d);
  v.vt = VT_DECIMAL;
}

void VariantInit(VARIANT* v) {
  v->vt = VT_EMPTY;
  v->wReserved1 = v->wReserved2 = v->wReserved3 = 0;
  v->rawValue = 0;
}

HRESULT VariantClear(VARIANT* v) {
  if (v == nullptr) return E_INVALIDARG;
  if (v->vt == VT_BSTR) SysFreeString(v->bstrVal);
  VariantInit(v);
  return S_OK;
}

HRESULT VariantCopy(VARIANT* dst, const VARIANT* src) {
  if (dst == nullptr || src == nullptr) return E_INVALIDARG;
  if (dst == src) return S_OK;
  VariantClear(dst);
  if (!IsSupportedVarType(src->vt)) return DISP_E_BADVARTYPE;
  if (src->vt == VT_BSTR) {
    BSTR copy = SysAllocString(BstrView(src->bstrVal));
    if (copy == nullptr) return E_OUTOFMEMORY;
    dst->vt = VT_BSTR;
    dst->bstrVal = copy;
    return S_OK;
  }
  *dst = *src;
  return S_OK;
}

HRESULT VariantChangeType(VARIANT* dst, const VARIANT* src, std::uint16_t, VARTYPE vt) {
  if (dst == nullptr || src == nullptr) return E_INVALIDARG;
  if (!IsSupportedVarType(src->vt)) return DISP_E_BADVARTYPE;
  VARIANT converted;
  if (HRESULT hr = Convert(*src, vt, converted); FAILED(hr)) return hr;
  VariantClear(dst);  // after the conversion, as src may be dst
  *dst = converted;
  return S_OK;
}

HRESULT VariantToSingle(const VARIANT& v, float& out) {
  VARIANT r;
  VariantInit(&r);
  HRESULT hr = VariantChangeType(&r, &v, 0, VT_R4);
  if (SUCCEEDED(hr)) out = r.fltVal;
  return hr;
}

VariantValue::VariantValue(double value) : VariantValue() {
  v_.vt = VT_R8;
  v_.dblVal = value;
}

VariantValue::VariantValue(float value) : VariantValue() {
  v_.vt = VT_R4;
  v_.fltVal = value;
}

VariantValue::VariantValue(std::int32_t value) : VariantValue() {
  v_.vt = VT_I4;
  v_.lVal = value;
}

VariantValue::VariantValue(std::u16string_view text) : VariantValue() {
  if (BSTR b = SysAllocString(text)) {
    v_.vt = VT_BSTR;
    v_.bstrVal = b;
  }
}

VariantValue::VariantValue(const VariantValue& other) : VariantValue() { VariantCopy(&v_, &other.v_); }

VariantValue& VariantValue::operator=(const VariantValue& other) {
  if (this != &other) VariantCopy(&v_, &other.v_);
  return *this;
}

}  // namespace platform::com

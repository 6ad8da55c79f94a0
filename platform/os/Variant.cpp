#include "platform/os/Variant.h"

#include <cmath>
#include <limits>

#include "platform/os/Convert.h"
#include "platform/os/Text.h"
#include "platform/os/Time.h"

namespace platform::os {

namespace {

// Empty, Boolean and the integer kinds: values with an exact integer.
bool IsIntLike(const Variant& v) {
  const VarType t = v.Type();
  return t == VarType::Empty || t == VarType::Boolean || v.IsIntegerKind();
}

int64_t IntLikeValue(const Variant& v) {
  if (v.IsEmpty()) return 0;
  if (v.Type() == VarType::Boolean) return v.BooleanValue() ? -1 : 0;
  return v.IntValue();
}

bool IsStringLike(const Variant& v) {
  return v.Type() == VarType::String || v.IsEmpty();
}

std::string_view StringLikeValue(const Variant& v) {
  return v.IsEmpty() ? std::string_view() : std::string_view(v.StringValue());
}

// A floating result may never be NaN or infinite.
double Checked(double r) {
  if (std::isnan(r)) throw EInvalidOp();
  if (std::isinf(r)) throw EOverflow();
  return r;
}

Variant IntResult(int64_t r) {
  if (r >= std::numeric_limits<int32_t>::min() && r <= std::numeric_limits<int32_t>::max())
    return Variant::Integer(static_cast<int32_t>(r));
  return Variant::Double(static_cast<double>(r));
}

template <typename T>
int Sign3(T a, T b) {
  return a < b ? -1 : (b < a ? 1 : 0);
}

int CompareDoubles(double a, double b) {
  if (std::isnan(a) || std::isnan(b)) throw EInvalidOp();
  return Sign3(a, b);
}

// Reads 1..maxDigits decimal digits at s[pos].
bool ReadNumber(std::string_view s, size_t& pos, size_t maxDigits, int& out) {
  const size_t start = pos;
  out = 0;
  while (pos < s.size() && pos - start < maxDigits && s[pos] >= '0' && s[pos] <= '9')
    out = out * 10 + (s[pos++] - '0');
  return pos > start && (pos == s.size() || s[pos] < '0' || s[pos] > '9');
}

bool Expect(std::string_view s, size_t& pos, char c) {
  if (pos >= s.size() || s[pos] != c) return false;
  ++pos;
  return true;
}

}  // namespace

EInvalidOp::EInvalidOp() : EMathError("Invalid floating point operation") {}
EOverflow::EOverflow() : EMathError("Floating point overflow") {}
EZeroDivide::EZeroDivide() : EMathError("Floating point division by zero") {}

std::string_view VarTypeName(VarType type) {
  switch (type) {
    case VarType::Empty: return "Empty";
    case VarType::Null: return "Null";
    case VarType::Boolean: return "Boolean";
    case VarType::ShortInt: return "ShortInt";
    case VarType::Byte: return "Byte";
    case VarType::SmallInt: return "SmallInt";
    case VarType::Word: return "Word";
    case VarType::Integer: return "Integer";
    case VarType::LongWord: return "LongWord";
    case VarType::Double: return "Double";
    case VarType::Date: return "Date";
    case VarType::String: return "String";
  }
  return "Unknown";
}

Variant Variant::Boolean(bool value) {
  Variant v(VarType::Boolean);
  v.bool_ = value;
  return v;
}

Variant Variant::Int(VarType kind, int64_t value) {
  Variant v(kind);
  switch (kind) {
    case VarType::ShortInt: v.int_ = static_cast<int8_t>(value); break;
    case VarType::Byte: v.int_ = static_cast<uint8_t>(value); break;
    case VarType::SmallInt: v.int_ = static_cast<int16_t>(value); break;
    case VarType::Word: v.int_ = static_cast<uint16_t>(value); break;
    case VarType::Integer: v.int_ = static_cast<int32_t>(value); break;
    case VarType::LongWord: v.int_ = static_cast<uint32_t>(value); break;
    default: throw std::invalid_argument("Variant::Int: not an integer kind");
  }
  return v;
}

Variant Variant::Double(double value) {
  Variant v(VarType::Double);
  v.double_ = value;
  return v;
}

Variant Variant::Date(double dayCount) {
  Variant v(VarType::Date);
  v.double_ = dayCount;
  return v;
}

Variant Variant::String(std::string value) {
  Variant v(VarType::String);
  v.string_ = std::move(value);
  return v;
}

bool Variant::IsIntegerKind() const {
  return type_ >= VarType::ShortInt && type_ <= VarType::LongWord;
}

bool Variant::BooleanValue() const {
  if (type_ != VarType::Boolean) FailConversion(VarType::Boolean);
  return bool_;
}

int64_t Variant::IntValue() const {
  if (!IsIntegerKind()) FailConversion(VarType::Integer);
  return int_;
}

double Variant::DoubleValue() const {
  if (type_ != VarType::Double && type_ != VarType::Date) FailConversion(VarType::Double);
  return double_;
}

const std::string& Variant::StringValue() const {
  if (type_ != VarType::String) FailConversion(VarType::String);
  return string_;
}

void Variant::FailConversion(VarType to) const {
  std::string msg = "Could not convert variant of type (";
  msg += VarTypeName(type_);
  msg += ") into type (";
  msg += VarTypeName(to);
  msg += ")";
  throw EVariantError(msg);
}

double Variant::ToDouble() const {
  switch (type_) {
    case VarType::Empty: return 0.0;
    case VarType::Boolean: return bool_ ? -1.0 : 0.0;
    case VarType::Double:
    case VarType::Date: return double_;
    case VarType::String: {
      double d = 0.0;
      if (!TryStrToFloat(string_, d) || !std::isfinite(d)) FailConversion(VarType::Double);
      return d;
    }
    default:
      if (IsIntegerKind()) return static_cast<double>(int_);
      FailConversion(VarType::Double);
  }
}

int64_t Variant::RoundedInteger(VarType to) const {
  if (IsIntLike(*this)) return IntLikeValue(*this);
  if (type_ == VarType::Null) FailConversion(to);
  double d = 0.0;
  if (type_ == VarType::String) {
    if (!TryStrToFloat(string_, d)) FailConversion(to);
  } else {
    d = double_;
  }
  const double r = std::nearbyint(d);
  // The widest range any caller accepts; callers narrow it further.
  if (!(r >= -2147483648.0 && r <= 4294967295.0)) FailConversion(to);
  return static_cast<int64_t>(r);
}

int32_t Variant::ToInteger() const {
  const int64_t r = RoundedInteger(VarType::Integer);
  if (r < std::numeric_limits<int32_t>::min() || r > 4294967295LL) FailConversion(VarType::Integer);
  return static_cast<int32_t>(static_cast<uint32_t>(r));
}

uint16_t Variant::ToWord() const {
  const int64_t r = RoundedInteger(VarType::Word);
  if (r < -32768 || r > 65535) FailConversion(VarType::Word);
  return static_cast<uint16_t>(r);
}

bool Variant::ToBoolean() const {
  switch (type_) {
    case VarType::Empty: return false;
    case VarType::Boolean: return bool_;
    case VarType::Double:
    case VarType::Date: return double_ != 0.0;
    case VarType::String: {
      if (SameText(string_, "True")) return true;
      if (SameText(string_, "False")) return false;
      double d = 0.0;
      if (!TryStrToFloat(string_, d)) FailConversion(VarType::Boolean);
      return d != 0.0;
    }
    default:
      if (IsIntegerKind()) return int_ != 0;
      FailConversion(VarType::Boolean);
  }
}

double Variant::ToDate() const {
  if (type_ == VarType::String) {
    double d = 0.0;
    if (!TryStrToDate(string_, d)) FailConversion(VarType::Date);
    return d;
  }
  if (type_ == VarType::Null) FailConversion(VarType::Date);
  return ToDouble();
}

bool operator==(const Variant& a, const Variant& b) {
  if (a.type_ != b.type_) return false;
  switch (a.type_) {
    case VarType::Empty:
    case VarType::Null: return true;
    case VarType::Boolean: return a.bool_ == b.bool_;
    case VarType::Double:
    case VarType::Date: return a.double_ == b.double_;
    case VarType::String: return a.string_ == b.string_;
    default: return a.int_ == b.int_;
  }
}

Variant VarAdd(const Variant& a, const Variant& b) {
  if (a.IsNull() || b.IsNull()) return Variant::Null();
  if (IsIntLike(a) && IsIntLike(b)) return IntResult(IntLikeValue(a) + IntLikeValue(b));
  if (IsStringLike(a) && IsStringLike(b)) {
    std::string s(StringLikeValue(a));
    s += StringLikeValue(b);
    return Variant::String(std::move(s));
  }
  const double r = Checked(a.ToDouble() + b.ToDouble());
  const bool aDate = a.Type() == VarType::Date, bDate = b.Type() == VarType::Date;
  return aDate != bDate ? Variant::Date(r) : Variant::Double(r);
}

Variant VarSub(const Variant& a, const Variant& b) {
  if (a.IsNull() || b.IsNull()) return Variant::Null();
  if (IsIntLike(a) && IsIntLike(b)) return IntResult(IntLikeValue(a) - IntLikeValue(b));
  const double r = Checked(a.ToDouble() - b.ToDouble());
  const bool dateResult = a.Type() == VarType::Date && b.Type() != VarType::Date;
  return dateResult ? Variant::Date(r) : Variant::Double(r);
}

Variant VarMul(const Variant& a, const Variant& b) {
  if (a.IsNull() || b.IsNull()) return Variant::Null();
  if (IsIntLike(a) && IsIntLike(b)) {
    // Two unsigned 32-bit values may overflow 64 bits; the product is then
    // far outside 32 bits and a double anyway.
    int64_t r = 0;
    if (!__builtin_mul_overflow(IntLikeValue(a), IntLikeValue(b), &r)) return IntResult(r);
    return Variant::Double(static_cast<double>(IntLikeValue(a)) * static_cast<double>(IntLikeValue(b)));
  }
  return Variant::Double(Checked(a.ToDouble() * b.ToDouble()));
}

Variant VarDiv(const Variant& a, const Variant& b) {
  if (a.IsNull() || b.IsNull()) return Variant::Null();
  const double x = a.ToDouble(), y = b.ToDouble();
  if (y == 0.0) {
    if (x == 0.0 || std::isnan(x)) throw EInvalidOp();
    throw EZeroDivide();
  }
  return Variant::Double(Checked(x / y));
}

Variant VarNeg(const Variant& a) {
  if (a.IsNull()) return Variant::Null();
  if (IsIntLike(a)) return IntResult(-IntLikeValue(a));
  if (a.Type() == VarType::Date) return Variant::Date(Checked(-a.DoubleValue()));
  return Variant::Double(Checked(-a.ToDouble()));
}

Variant VarAnd(const Variant& a, const Variant& b) {
  if (a.IsNull() || b.IsNull()) return Variant::Null();
  if (a.Type() == VarType::Boolean && b.Type() == VarType::Boolean)
    return Variant::Boolean(a.BooleanValue() && b.BooleanValue());
  return Variant::Integer(a.ToInteger() & b.ToInteger());
}

Variant VarOr(const Variant& a, const Variant& b) {
  if (a.IsNull() || b.IsNull()) return Variant::Null();
  if (a.Type() == VarType::Boolean && b.Type() == VarType::Boolean)
    return Variant::Boolean(a.BooleanValue() || b.BooleanValue());
  return Variant::Integer(a.ToInteger() | b.ToInteger());
}

Variant VarNot(const Variant& a) {
  if (a.IsNull()) return Variant::Null();
  if (a.Type() == VarType::Boolean) return Variant::Boolean(!a.BooleanValue());
  return Variant::Integer(~a.ToInteger());
}

int VarCompare(const Variant& a, const Variant& b) {
  if (a.IsNull() || b.IsNull()) return Sign3(!a.IsNull(), !b.IsNull());
  if (IsIntLike(a) && IsIntLike(b)) return Sign3(IntLikeValue(a), IntLikeValue(b));
  if (IsStringLike(a) && IsStringLike(b))
    return CompareStr(StringLikeValue(a), StringLikeValue(b));
  if (a.Type() == VarType::Date || b.Type() == VarType::Date)
    return CompareDoubles(a.ToDate(), b.ToDate());
  const bool boolAndString =
      (a.Type() == VarType::Boolean && b.Type() == VarType::String) ||
      (a.Type() == VarType::String && b.Type() == VarType::Boolean);
  if (boolAndString) return Sign3(a.ToBoolean() ? -1 : 0, b.ToBoolean() ? -1 : 0);
  return CompareDoubles(a.ToDouble(), b.ToDouble());
}

bool TryStrToDate(std::string_view text, double& result) {
  const std::string s = Trim(text);
  const std::string_view v(s);
  size_t pos = 0;
  int day = 0, month = 0, year = 0;
  if (!ReadNumber(v, pos, 2, day) || !Expect(v, pos, '.') ||
      !ReadNumber(v, pos, 2, month) || !Expect(v, pos, '.'))
    return false;
  const size_t yearStart = pos;
  if (!ReadNumber(v, pos, 4, year)) return false;
  if (pos - yearStart <= 2) year += 2000;
  int hour = 0, minute = 0, second = 0;
  if (pos < v.size()) {
    if (!Expect(v, pos, ' ') || !ReadNumber(v, pos, 2, hour) || !Expect(v, pos, ':') ||
        !ReadNumber(v, pos, 2, minute))
      return false;
    if (pos < v.size() && (!Expect(v, pos, ':') || !ReadNumber(v, pos, 2, second)))
      return false;
    if (pos != v.size()) return false;
  }
  double date = 0.0, time = 0.0;
  if (!TryEncodeDate(year, month, day, date) || !TryEncodeTime(hour, minute, second, 0, time))
    return false;
  result = date < 0 ? date - time : date + time;
  return true;
}

}  // namespace platform::os

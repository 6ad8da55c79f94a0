#pragma once
// The platform's variant value: one tagged value of the kinds that
// expressions compute with, and the operations and conversions between
// them. Strings are CP1251 bytes; a date is a day count since 1899-12-30
// with the time of day as the fraction.
//
// Rules shared by every operation (docs/evaluator.md):
// - Null in any arithmetic, logical or bitwise operation gives Null. In a
//   comparison Null equals only Null and sorts before every other value.
// - Empty counts as 0, as "" next to a string, and as False.
// - A Boolean in arithmetic or beside a number is the integer -1 (True) or 0.
// - A string meets a number as the number it reads as (a failure when it
//   does not read as one).
// - No operation answers NaN or an infinity: such a result raises
//   EInvalidOp, EOverflow or EZeroDivide instead.
// Every function here is pure and may be called from any thread.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace platform::os {

enum class VarType : uint8_t {
  Empty,
  Null,
  Boolean,
  ShortInt,  // signed 8-bit
  Byte,      // unsigned 8-bit
  SmallInt,  // signed 16-bit
  Word,      // unsigned 16-bit
  Integer,   // signed 32-bit
  LongWord,  // unsigned 32-bit
  Double,
  Date,
  String,
};

// The kind's name as failure messages write it ("Double").
std::string_view VarTypeName(VarType type);

// A value that cannot be converted to the kind an operation needs:
// "Could not convert variant of type (String) into type (Double)".
class EVariantError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Floating-point failures; the messages are fixed by the three classes.
class EMathError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
class EInvalidOp : public EMathError {  // "Invalid floating point operation"
 public:
  EInvalidOp();
};
class EOverflow : public EMathError {  // "Floating point overflow"
 public:
  EOverflow();
};
class EZeroDivide : public EMathError {  // "Floating point division by zero"
 public:
  EZeroDivide();
};

class Variant {
 public:
  // Empty.
  Variant() = default;

  static Variant Empty() { return Variant(); }
  static Variant Null() { return Variant(VarType::Null); }
  static Variant Boolean(bool value);
  // An integer of the given integer kind (ShortInt .. LongWord); the value
  // is cut to the kind's width. Another kind throws std::invalid_argument.
  static Variant Int(VarType kind, int64_t value);
  static Variant Integer(int32_t value) { return Int(VarType::Integer, value); }
  static Variant Double(double value);
  static Variant Date(double dayCount);
  static Variant String(std::string value);

  VarType Type() const { return type_; }
  bool IsNull() const { return type_ == VarType::Null; }
  bool IsEmpty() const { return type_ == VarType::Empty; }
  // One of ShortInt .. LongWord.
  bool IsIntegerKind() const;
  // An integer kind or Double.
  bool IsNumber() const { return IsIntegerKind() || type_ == VarType::Double; }

  // Raw access; each answers the stored value of its own kind only and
  // throws EVariantError for another kind.
  bool BooleanValue() const;
  int64_t IntValue() const;  // any integer kind
  double DoubleValue() const;  // Double or Date
  const std::string& StringValue() const;

  // Conversions; each throws EVariantError when the value cannot be had
  // (Null, a string that does not read as the kind, a number out of range).
  double ToDouble() const;
  // Rounded to the nearest integer (halves to even). A value from -2^31 to
  // 2^32-1 keeps its low 32 bits, so an unsigned 32-bit value keeps its
  // bits; anything else fails.
  int32_t ToInteger() const;
  // Rounded as ToInteger; -32768 to 65535 keep their low 16 bits.
  uint16_t ToWord() const;
  // Numbers: not 0. Strings: "True"/"False" without case, or a number.
  bool ToBoolean() const;
  // Day count. Strings: the date text of TryStrToDate.
  double ToDate() const;

  // Exact equality of kind and value (for tests and look-ups; comparisons
  // of the evaluator use VarCompare).
  friend bool operator==(const Variant& a, const Variant& b);

 private:
  explicit Variant(VarType type) : type_(type) {}
  [[noreturn]] void FailConversion(VarType to) const;
  int64_t RoundedInteger(VarType to) const;

  VarType type_ = VarType::Empty;
  bool bool_ = false;
  int64_t int_ = 0;
  double double_ = 0.0;
  std::string string_;
};

// Arithmetic; each throws EVariantError for a side that does not convert
// and EOverflow when the result leaves the double range. Null on either
// side gives Null. Two integer kinds (Empty and Boolean count as such)
// give Integer when the exact result fits in 32 bits, else Double. "+" of
// two strings (or a string and Empty) concatenates. One Date plus a
// number, and a Date minus a number, give a Date; everything else
// computes in doubles and gives a Double.
Variant VarAdd(const Variant& a, const Variant& b);
Variant VarSub(const Variant& a, const Variant& b);
Variant VarMul(const Variant& a, const Variant& b);
// Always a Double (Null with Null). b equal to 0 raises EZeroDivide, 0/0
// EInvalidOp.
Variant VarDiv(const Variant& a, const Variant& b);
Variant VarNeg(const Variant& a);

// Logical on two Booleans; otherwise bitwise on both values taken with
// ToInteger, giving Integer.
Variant VarAnd(const Variant& a, const Variant& b);
Variant VarOr(const Variant& a, const Variant& b);
Variant VarNot(const Variant& a);

// -1, 0 or 1. Order: Null first; two strings byte by byte (unsigned, a
// prefix first); a Date beside anything compares as dates; a Boolean
// beside a string compares as Booleans; all else numerically. A Boolean is
// -1 or 0 as a number. Throws EVariantError when a side cannot be converted.
int VarCompare(const Variant& a, const Variant& b);

// Date text "d.m.yyyy", optionally followed by a blank and "h:n" or
// "h:n:s". A year of one or two digits lies in 2000..2099. False (result
// untouched) when the text is not such a date or names no real day.
bool TryStrToDate(std::string_view text, double& result);

}  // namespace platform::os

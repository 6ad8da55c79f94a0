#include "platform/os/Convert.h"
#include "platform/os/Text.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <system_error>

namespace platform::os {

namespace {

int DigitValue(char c, int base) {
  int d = -1;
  if (c >= '0' && c <= '9') d = c - '0';
  else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
  else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
  return d < base ? d : -1;
}

// Removes a hex prefix ("$", "0x", "0X", "x", "X"); answers whether one was there.
bool TakeHexPrefix(std::string_view& s) {
  if (!s.empty() && (s[0] == '$' || s[0] == 'x' || s[0] == 'X')) {
    s.remove_prefix(1);
    return true;
  }
  if (s.size() >= 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    s.remove_prefix(2);
    return true;
  }
  return false;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::string IntToStr(std::int64_t value) { return std::to_string(value); }

std::string IntToHex(std::uint64_t value, int digits) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  if (digits < 0) digits = 0;
  if (digits > 64) digits = 64;
  std::string out;
  do {
    out.insert(out.begin(), kHex[value & 0xF]);
    value >>= 4;
  } while (value != 0);
  if (static_cast<int>(out.size()) < digits)
    out.insert(0, static_cast<std::size_t>(digits) - out.size(), '0');
  return out;
}

bool TryStrToInt(std::string_view text, std::int32_t& value) {
  std::string_view s = TrimView(text);
  bool negative = false;
  if (!s.empty() && (s[0] == '+' || s[0] == '-')) {
    negative = s[0] == '-';
    s.remove_prefix(1);
  }
  const bool hex = TakeHexPrefix(s);
  const int base = hex ? 16 : 10;
  if (s.empty()) return false;
  std::uint64_t magnitude = 0;
  for (char c : s) {
    const int d = DigitValue(c, base);
    if (d < 0) return false;
    magnitude = magnitude * static_cast<unsigned>(base) + static_cast<unsigned>(d);
    if (magnitude > 0xFFFFFFFFull) return false;
  }
  if (negative) {
    if (magnitude > 0x80000000ull) return false;
    value = static_cast<std::int32_t>(-static_cast<std::int64_t>(magnitude));
  } else if (hex) {
    value = static_cast<std::int32_t>(static_cast<std::uint32_t>(magnitude));
  } else {
    if (magnitude > 0x7FFFFFFFull) return false;
    value = static_cast<std::int32_t>(magnitude);
  }
  return true;
}

std::int32_t StrToIntDef(std::string_view text, std::int32_t def) {
  std::int32_t value = def;
  return TryStrToInt(text, value) ? value : def;
}

std::string FloatToStr(double value) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  if (value == 0) return "0";
  // d.dddddddddddddde[+-]x: 15 significant digits, correctly rounded.
  char buf[64];
  const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, 14);
  const std::string_view sci(buf, static_cast<std::size_t>(res.ptr - buf));
  const bool negative = sci[0] == '-';
  const std::size_t ePos = sci.find('e');
  std::string digits;
  for (char c : sci.substr(negative ? 1 : 0, ePos - (negative ? 1 : 0)))
    if (IsDigit(c)) digits += c;
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  const int exponent = std::atoi(std::string(sci.substr(ePos + 1)).c_str());

  std::string out = negative ? "-" : "";
  if (exponent >= 15 || exponent < -4) {
    out += digits[0];
    if (digits.size() > 1) out += "," + digits.substr(1);
    out += "E" + std::to_string(exponent);
  } else if (exponent >= 0) {
    const auto intDigits = static_cast<std::size_t>(exponent) + 1;
    if (digits.size() <= intDigits) {
      out += digits + std::string(intDigits - digits.size(), '0');
    } else {
      out += digits.substr(0, intDigits) + "," + digits.substr(intDigits);
    }
  } else {
    out += "0," + std::string(static_cast<std::size_t>(-exponent - 1), '0') + digits;
  }
  return out;
}

bool TryStrToFloat(std::string_view text, double& value) {
  std::string_view s = TrimView(text);
  bool negative = false;
  if (!s.empty() && (s[0] == '+' || s[0] == '-')) {
    negative = s[0] == '-';
    s.remove_prefix(1);
  }
  // Mantissa: digits, one optional separator, digits; at least one digit.
  std::string normal;
  std::size_t i = 0;
  int intDigits = 0;       // significant digits before the separator
  int leadingFracZeros = 0; // zeros after the separator before the first significant digit
  bool seenNonZero = false;
  bool anyDigit = false;
  for (; i < s.size() && IsDigit(s[i]); ++i) {
    anyDigit = true;
    if (s[i] != '0') seenNonZero = true;
    if (seenNonZero) ++intDigits;
    normal += s[i];
  }
  if (i < s.size() && (s[i] == ',' || s[i] == '.')) {
    normal += '.';
    for (++i; i < s.size() && IsDigit(s[i]); ++i) {
      anyDigit = true;
      if (!seenNonZero && s[i] == '0') ++leadingFracZeros;
      if (s[i] != '0') seenNonZero = true;
      normal += s[i];
    }
  }
  if (!anyDigit) return false;
  long exponent = 0;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    normal += 'e';
    ++i;
    bool expNegative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
      expNegative = s[i] == '-';
      normal += s[i];
      ++i;
    }
    const std::size_t expStart = i;
    for (; i < s.size() && IsDigit(s[i]); ++i) {
      if (exponent < 100000) exponent = exponent * 10 + (s[i] - '0');
      normal += s[i];
    }
    if (i == expStart) return false;
    if (expNegative) exponent = -exponent;
  }
  if (i != s.size()) return false;

  double parsed = 0;
  const auto res = std::from_chars(normal.data(), normal.data() + normal.size(), parsed);
  if (res.ptr != normal.data() + normal.size()) return false;
  if (res.ec == std::errc::result_out_of_range) {
    // Decimal order of magnitude decides: too large fails, too small is 0.
    const long order = intDigits > 0 ? exponent + intDigits : exponent - leadingFracZeros;
    if (order > 0) return false;
    parsed = 0;
  } else if (res.ec != std::errc()) {
    return false;
  }
  if (std::isinf(parsed)) return false;
  value = negative ? -parsed : parsed;
  return true;
}

double StrToFloatDef(std::string_view text, double def) {
  double value = def;
  return TryStrToFloat(text, value) ? value : def;
}

}  // namespace platform::os

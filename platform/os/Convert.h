#pragma once
// Number text with fixed Russian settings, never the environment's locale:
// decimal separator ",", digits 0-9, hex digits upper case. Any thread.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/os/Format.h"

namespace platform::os {

// Signed decimal.
std::string IntToStr(std::int64_t value);

// Upper-case hex, zero-padded to at least digits (0..64; clamped).
std::string IntToHex(std::uint64_t value, int digits);

// Text -> 32-bit integer. Blanks (codes <= 32) around the number are
// ignored; an optional sign; then decimal digits, or hex digits after "$",
// "0x", "0X", "x" or "X". Decimal must lie in -2147483648..2147483647.
// Hex without sign lies in 0..FFFFFFFF and is taken as the 32-bit pattern
// ("$FFFFFFFF" is -1); hex after "-" is the negated magnitude, at most
// 80000000. Anything else (no digits, trailing garbage, blanks inside,
// overflow) answers false and leaves value unchanged.
bool TryStrToInt(std::string_view text, std::int32_t& value);
std::int32_t StrToIntDef(std::string_view text, std::int32_t def);

// General format with 15 significant digits and "," as separator: plain
// digits while the decimal exponent lies in -4..14, otherwise mantissa and
// exponent as "1,5E15" / "1,5E-5" (no plus sign, no leading zeros).
// Trailing zeros are dropped; -0 is written "0"; NaN "NAN", infinities
// "INF" / "-INF".
std::string FloatToStr(double value);

// Text -> double: blanks around ignored, optional sign, digits with "," or
// "." as separator (digits on at least one side), optional exponent E/e
// with optional sign. Anything else, or a finite value too large for a
// double, answers false and leaves value unchanged; a value too small
// becomes 0.
bool TryStrToFloat(std::string_view text, double& value);
double StrToFloatDef(std::string_view text, double def);

}  // namespace platform::os

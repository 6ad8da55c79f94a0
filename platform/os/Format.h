#pragma once
// Format: printf-like text building with the checks the platform's format
// function makes. Conversions: %d %i %u %x %X %c %s %f %e %E %g %G and %%,
// each as %[-][0][width][.precision]conversion. Floats use "," as the
// decimal separator, never the environment's locale. Any thread.

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>

namespace platform::os {

// Raised by Format for a malformed format, a missing argument or an
// argument that does not fit its conversion.
class EConvertError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

namespace detail {

struct FormatArg {
  enum class Kind { Signed, Unsigned, Float, Text, Char };
  Kind kind = Kind::Signed;
  std::int64_t i = 0;
  std::uint64_t u = 0;
  double d = 0;
  std::string_view s;
  int bits = 64;  // width of the integer type, for hex of negative values
};

template <typename T>
FormatArg MakeFormatArg(const T& v) {
  using U = std::remove_cvref_t<T>;
  FormatArg a;
  if constexpr (std::is_same_v<U, bool>) {
    static_assert(!std::is_same_v<U, bool>, "Format takes no bool argument");
  } else if constexpr (std::is_same_v<U, char>) {
    a.kind = FormatArg::Kind::Char;
    a.u = static_cast<unsigned char>(v);
  } else if constexpr (std::is_integral_v<U> && std::is_signed_v<U>) {
    a.kind = FormatArg::Kind::Signed;
    a.i = v;
    a.bits = static_cast<int>(sizeof(U) * 8);
  } else if constexpr (std::is_integral_v<U>) {
    a.kind = FormatArg::Kind::Unsigned;
    a.u = v;
    a.bits = static_cast<int>(sizeof(U) * 8);
  } else if constexpr (std::is_floating_point_v<U>) {
    a.kind = FormatArg::Kind::Float;
    a.d = static_cast<double>(v);
  } else if constexpr (std::is_pointer_v<U> && std::is_same_v<std::remove_cv_t<std::remove_pointer_t<U>>, char>) {
    a.kind = FormatArg::Kind::Text;
    if (v != nullptr) a.s = std::string_view(v);
  } else if constexpr (std::is_convertible_v<const U&, std::string_view>) {
    a.kind = FormatArg::Kind::Text;
    a.s = std::string_view(v);
  } else {
    static_assert(std::is_same_v<U, void>, "Format takes integers, floats, chars and strings");
  }
  return a;
}

std::string FormatArgs(std::string_view fmt, const FormatArg* args, std::size_t count);

}  // namespace detail

// Builds the text of fmt with args. Raises EConvertError when a conversion
// is malformed, has no argument left, or gets an argument of another kind
// (%d with a string, %s with a number, %f with an integer). Arguments beyond
// those the format uses are ignored. Widths and precisions above 1024 are
// refused.
template <typename... Args>
std::string Format(std::string_view fmt, const Args&... args) {
  if constexpr (sizeof...(Args) == 0) {
    return detail::FormatArgs(fmt, nullptr, 0);
  } else {
    const detail::FormatArg list[] = {detail::MakeFormatArg(args)...};
    return detail::FormatArgs(fmt, list, sizeof...(Args));
  }
}

}  // namespace platform::os

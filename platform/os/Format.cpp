#include "platform/os/Format.h"

#include <charconv>
#include <cmath>

namespace platform::os {

namespace detail {

namespace {

constexpr int kMaxWidth = 1024;

struct Conversion {
  bool left = false;
  bool zero = false;
  int width = 0;
  int precision = -1;  // -1: none given
  char conversion = 0;
};

[[noreturn]] void Fail(std::string_view fmt, std::string_view why) {
  throw EConvertError("Format '" + std::string(fmt) + "' invalid or incompatible with argument: " +
                      std::string(why));
}

int ReadNumber(std::string_view fmt, std::size_t& i) {
  int n = 0;
  while (i < fmt.size() && fmt[i] >= '0' && fmt[i] <= '9') {
    n = n * 10 + (fmt[i] - '0');
    if (n > kMaxWidth) Fail(fmt, "width or precision above 1024");
    ++i;
  }
  return n;
}

// Parses the conversion after '%' at fmt[i]; leaves i after it.
Conversion ParseConversion(std::string_view fmt, std::size_t& i) {
  Conversion conversion;
  for (; i < fmt.size() && (fmt[i] == '-' || fmt[i] == '0'); ++i) {
    if (fmt[i] == '-') conversion.left = true;
    else conversion.zero = true;
  }
  conversion.width = ReadNumber(fmt, i);
  if (i < fmt.size() && fmt[i] == '.') {
    ++i;
    conversion.precision = ReadNumber(fmt, i);
  }
  if (i >= fmt.size()) Fail(fmt, "conversion missing at the end");
  conversion.conversion = fmt[i++];
  return conversion;
}

std::string Pad(std::string body, const Conversion& conversion, bool numeric) {
  const auto width = static_cast<std::size_t>(conversion.width);
  if (body.size() >= width) return body;
  const std::size_t fill = width - body.size();
  if (conversion.left) return body + std::string(fill, ' ');
  if (conversion.zero && numeric) {
    const std::size_t at = (!body.empty() && body[0] == '-') ? 1 : 0;
    body.insert(at, fill, '0');
    return body;
  }
  return std::string(fill, ' ') + body;
}

std::string WithMinDigits(std::string digits, int precision) {
  if (precision > 0 && digits.size() < static_cast<std::size_t>(precision))
    digits.insert(0, static_cast<std::size_t>(precision) - digits.size(), '0');
  return digits;
}

// The argument as an unsigned pattern of its own width (for %u, %x).
std::uint64_t AsPattern(const FormatArg& a) {
  if (a.kind == FormatArg::Kind::Unsigned) return a.u;
  const auto raw = static_cast<std::uint64_t>(a.i);
  return a.bits >= 64 ? raw : raw & ((std::uint64_t{1} << a.bits) - 1);
}

std::string FormatInteger(std::string_view fmt, const Conversion& conversion, const FormatArg& a) {
  if (a.kind != FormatArg::Kind::Signed && a.kind != FormatArg::Kind::Unsigned)
    Fail(fmt, std::string("%") + conversion.conversion + " needs an integer");
  char buf[32];
  std::to_chars_result r{};
  bool negative = false;
  switch (conversion.conversion) {
    case 'd':
    case 'i':
      if (a.kind == FormatArg::Kind::Signed) {
        negative = a.i < 0;
        const std::uint64_t mag =
            negative ? ~static_cast<std::uint64_t>(a.i) + 1 : static_cast<std::uint64_t>(a.i);
        r = std::to_chars(buf, buf + sizeof buf, mag);
      } else {
        r = std::to_chars(buf, buf + sizeof buf, a.u);
      }
      break;
    case 'u':
      r = std::to_chars(buf, buf + sizeof buf, AsPattern(a));
      break;
    default:  // x, X
      r = std::to_chars(buf, buf + sizeof buf, AsPattern(a), 16);
      if (conversion.conversion == 'X')
        for (char* p = buf; p < r.ptr; ++p)
          if (*p >= 'a' && *p <= 'f') *p = static_cast<char>(*p - 'a' + 'A');
      break;
  }
  std::string body = WithMinDigits(std::string(buf, r.ptr), conversion.precision);
  if (negative) body.insert(0, 1, '-');
  return Pad(std::move(body), conversion, conversion.precision < 0);
}

std::string FormatFloat(std::string_view fmt, const Conversion& conversion, const FormatArg& a) {
  if (a.kind != FormatArg::Kind::Float)
    Fail(fmt, std::string("%") + conversion.conversion + " needs a floating-point value");
  std::string body;
  if (std::isnan(a.d)) {
    body = "NAN";
  } else if (std::isinf(a.d)) {
    body = a.d < 0 ? "-INF" : "INF";
  } else {
    const int precision = conversion.precision < 0 ? 6 : conversion.precision;
    std::chars_format form = std::chars_format::fixed;
    if (conversion.conversion == 'e' || conversion.conversion == 'E') form = std::chars_format::scientific;
    if (conversion.conversion == 'g' || conversion.conversion == 'G') form = std::chars_format::general;
    // Fixed output of 1e308 with 1024 decimals stays below this bound.
    char buf[1400];
    const auto r = std::to_chars(buf, buf + sizeof buf, a.d, form, precision);
    if (r.ec != std::errc()) Fail(fmt, "floating-point value does not fit");
    body.assign(buf, r.ptr);
    for (char& c : body) {
      if (c == '.') c = ',';
      else if (c == 'e' && (conversion.conversion == 'E' || conversion.conversion == 'G')) c = 'E';
    }
    return Pad(std::move(body), conversion, true);
  }
  return Pad(std::move(body), conversion, false);
}

std::string FormatText(std::string_view fmt, const Conversion& conversion, const FormatArg& a) {
  std::string body;
  if (a.kind == FormatArg::Kind::Text) {
    body.assign(a.s);
  } else if (a.kind == FormatArg::Kind::Char) {
    body.assign(1, static_cast<char>(a.u));
  } else {
    Fail(fmt, std::string("%") + conversion.conversion + " needs a string or a char");
  }
  if (conversion.precision >= 0 && body.size() > static_cast<std::size_t>(conversion.precision))
    body.resize(static_cast<std::size_t>(conversion.precision));
  return Pad(std::move(body), conversion, false);
}

std::string FormatChar(std::string_view fmt, const Conversion& conversion, const FormatArg& a) {
  char c = 0;
  if (a.kind == FormatArg::Kind::Char) {
    c = static_cast<char>(a.u);
  } else if (a.kind == FormatArg::Kind::Signed && a.i >= 0 && a.i <= 255) {
    c = static_cast<char>(a.i);
  } else if (a.kind == FormatArg::Kind::Unsigned && a.u <= 255) {
    c = static_cast<char>(a.u);
  } else {
    Fail(fmt, "%c needs a char or a code 0..255");
  }
  return Pad(std::string(1, c), conversion, false);
}

}  // namespace

std::string FormatArgs(std::string_view fmt, const FormatArg* args, std::size_t count) {
  std::string out;
  std::size_t next = 0;
  std::size_t i = 0;
  while (i < fmt.size()) {
    const std::size_t pct = fmt.find('%', i);
    if (pct == std::string_view::npos) {
      out.append(fmt.substr(i));
      break;
    }
    out.append(fmt.substr(i, pct - i));
    i = pct + 1;
    if (i < fmt.size() && fmt[i] == '%') {
      out += '%';
      ++i;
      continue;
    }
    const Conversion conversion = ParseConversion(fmt, i);
    if (std::string_view("diuxXfeEgGsc").find(conversion.conversion) == std::string_view::npos)
      Fail(fmt, std::string("unknown conversion %") + conversion.conversion);
    if (next >= count) Fail(fmt, "argument missing");
    const FormatArg& a = args[next++];
    switch (conversion.conversion) {
      case 's':
        out += FormatText(fmt, conversion, a);
        break;
      case 'c':
        out += FormatChar(fmt, conversion, a);
        break;
      case 'f':
      case 'e':
      case 'E':
      case 'g':
      case 'G':
        out += FormatFloat(fmt, conversion, a);
        break;
      default:
        out += FormatInteger(fmt, conversion, a);
        break;
    }
  }
  return out;
}

}  // namespace detail

}  // namespace platform::os

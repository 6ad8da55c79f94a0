#include "peers/kernel/HostOutput.h"

#include "platform/os/Text.h"

#include <cstdio>

namespace kernel {

void HostOutput::Line(std::string_view line) {
  std::lock_guard guard(lock_);
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

std::string Quoted(std::string_view cp1251) {
  const std::string utf8 = platform::os::Cp1251ToUtf8(cp1251);
  std::string out = "\"";
  for (const char c : utf8) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char hex[8];
          std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned char>(c));
          out += hex;
        } else {
          out += c;
        }
    }
  }
  return out + "\"";
}

std::string FloatText(double value) {
  // The process never changes the C locale, so "%g" writes ".".
  char text[64];
  std::snprintf(text, sizeof text, "%.9g", value);
  return text;
}

}  // namespace kernel

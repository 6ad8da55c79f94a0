#pragma once
// The routing string of a kernel variable: prefix ":" and then a plain tag
// name, "ROUTING" "=" tag name, or "DEVICE" "=" n ";" "ADDRESS" "=" a.
// Keywords are matched without case, blanks around every part ignored.
// Both deliverables parse it the same way.

#include <cstdint>
#include <string>
#include <string_view>

namespace driver {

struct TRoutingTarget {
  std::string Prefix;   // upper case
  int32_t DeviceNumber = -1;
  std::string TagName;  // case as written; empty for the DEVICE form
  int32_t Address = -1;
};

// Parses text into target. False for an empty text, no ":", an unknown
// keyword or a DEVICE form without ";" or "ADDRESS="; the fields read
// before the failure stay set (the device number in particular). A number
// that does not parse reads as -1.
bool ParseRoutingString(std::string_view text, TRoutingTarget& target);

}  // namespace driver

#include "driver/RoutingString.h"

#include "platform/os/Convert.h"
#include "platform/os/Text.h"

namespace driver {

namespace {

using platform::os::Trim;

// Removes the text up to and including position at from both the text as
// given and its upper-cased copy (they have equal length), trimming both.
void CutThrough(std::string& text, std::string& upper, size_t at) {
  text = Trim(std::string_view(text).substr(at + 1));
  upper = Trim(std::string_view(upper).substr(at + 1));
}

int32_t NumberOrMinusOne(std::string_view text) {
  int32_t value = -1;
  return platform::os::TryStrToInt(Trim(text), value) ? value : -1;
}

}  // namespace

bool ParseRoutingString(std::string_view text, TRoutingTarget& target) {
  target = TRoutingTarget{};
  std::string given = Trim(text);
  if (given.empty()) return false;
  std::string upper = platform::os::AnsiUpperCase(given);

  const size_t colon = upper.find(':');
  if (colon == std::string::npos) return false;
  target.Prefix = Trim(std::string_view(upper).substr(0, colon));
  CutThrough(given, upper, colon);

  size_t eq = upper.find('=');
  if (eq == std::string::npos) {
    target.TagName = given;
    return true;
  }
  std::string key = Trim(std::string_view(upper).substr(0, eq));
  CutThrough(given, upper, eq);
  if (key == "ROUTING") {
    target.TagName = given;
    return true;
  }
  if (key != "DEVICE") return false;

  const size_t semicolon = upper.find(';');
  if (semicolon == std::string::npos) return false;
  target.DeviceNumber = NumberOrMinusOne(std::string_view(upper).substr(0, semicolon));
  CutThrough(given, upper, semicolon);

  eq = upper.find('=');
  if (eq == std::string::npos) return false;
  key = Trim(std::string_view(upper).substr(0, eq));
  CutThrough(given, upper, eq);
  if (key != "ADDRESS") return false;
  target.Address = NumberOrMinusOne(upper);
  return true;
}

}  // namespace driver

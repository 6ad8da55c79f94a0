#include "driver/RoutingString.h"

#include "platform/os/Convert.h"
#include "platform/os/Text.h"

namespace driver {

namespace {

using platform::os::TrimView;

// The text as given and its upper-cased copy, cut in step: upper-casing
// keeps every blank where it was, so both trim alike.
struct TwoViews {
  std::string_view given;
  std::string_view upper;

  // Removes the text up to and including position at, trimming both.
  void CutThrough(size_t at) {
    given = TrimView(given.substr(at + 1));
    upper = TrimView(upper.substr(at + 1));
  }
};

int32_t NumberOrMinusOne(std::string_view text) {
  int32_t value = -1;
  return platform::os::TryStrToInt(TrimView(text), value) ? value : -1;
}

}  // namespace

bool ParseRoutingString(std::string_view text, TRoutingTarget& target) {
  target = TRoutingTarget{};
  const std::string_view trimmed = TrimView(text);
  if (trimmed.empty()) return false;
  const std::string upperText = platform::os::AnsiUpperCase(trimmed);
  TwoViews rest{trimmed, upperText};

  const size_t colon = rest.upper.find(':');
  if (colon == std::string_view::npos) return false;
  target.Prefix = TrimView(rest.upper.substr(0, colon));
  rest.CutThrough(colon);

  size_t eq = rest.upper.find('=');
  if (eq == std::string_view::npos) {
    target.TagName = rest.given;
    return true;
  }
  std::string_view key = TrimView(rest.upper.substr(0, eq));
  rest.CutThrough(eq);
  if (key == "ROUTING") {
    target.TagName = rest.given;
    return true;
  }
  if (key != "DEVICE") return false;

  const size_t semicolon = rest.upper.find(';');
  if (semicolon == std::string_view::npos) return false;
  target.DeviceNumber = NumberOrMinusOne(rest.upper.substr(0, semicolon));
  rest.CutThrough(semicolon);

  eq = rest.upper.find('=');
  if (eq == std::string_view::npos) return false;
  key = TrimView(rest.upper.substr(0, eq));
  rest.CutThrough(eq);
  if (key != "ADDRESS") return false;
  target.Address = NumberOrMinusOne(rest.upper);
  return true;
}

}  // namespace driver

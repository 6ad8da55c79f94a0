// Any text as a routing string: a parse that succeeds gives an upper-case,
// trimmed prefix without ":", -1 for device and address in the name forms,
// and the target written back in its own form parses to the same target.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "driver/RoutingString.h"
#include "platform/os/Convert.h"
#include "platform/os/Text.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

bool Same(const driver::TRoutingTarget& a, const driver::TRoutingTarget& b) {
  return a.Prefix == b.Prefix && a.DeviceNumber == b.DeviceNumber && a.TagName == b.TagName &&
         a.Address == b.Address;
}

// The target in its own form: "P:ROUTING=name" for a name, else
// "P:DEVICE=n;ADDRESS=a" (the name forms without a name give -1 and -1).
std::string Written(const driver::TRoutingTarget& target) {
  if (!target.TagName.empty()) return target.Prefix + ":ROUTING=" + target.TagName;
  return target.Prefix + ":DEVICE=" + platform::os::IntToStr(target.DeviceNumber) +
         ";ADDRESS=" + platform::os::IntToStr(target.Address);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  driver::TRoutingTarget target;
  if (!driver::ParseRoutingString(text, target)) return 0;
  Check(target.Prefix == platform::os::AnsiUpperCase(target.Prefix));
  Check(target.Prefix == platform::os::Trim(target.Prefix));
  Check(target.Prefix.find(':') == std::string::npos);
  Check(target.TagName == platform::os::Trim(target.TagName));
  if (!target.TagName.empty()) Check(target.DeviceNumber == -1 && target.Address == -1);
  driver::TRoutingTarget again;
  Check(driver::ParseRoutingString(Written(target), again));
  Check(Same(again, target));
  return 0;
}

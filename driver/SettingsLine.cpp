#include "driver/SettingsLine.h"

#include "platform/os/Text.h"

namespace driver {

using platform::os::Trim;

std::string AddSettingsPair(std::string_view line, std::string_view key, std::string_view value) {
  std::string joined;
  joined.reserve(line.size() + key.size() + value.size() + 2);
  joined.append(line).push_back(SettingsSeparator);
  joined.append(key).push_back('=');
  joined.append(value);
  return Trim(joined);
}

bool NextSettingsPair(char separator, std::string& line, std::string& key, std::string& value) {
  line = Trim(line);
  if (line.empty()) return false;
  std::string pair;
  const size_t at = line.find(separator);
  if (at == std::string::npos) {
    if (line.find('=') == std::string::npos) return false;
    pair = std::move(line);
    line.clear();
  } else {
    pair = line.substr(0, at);
    if (pair.find('=') == std::string::npos) return false;
    line.erase(0, at + 1);
  }
  pair = Trim(pair);
  const size_t eq = pair.find('=');
  key = Trim(std::string_view(pair).substr(0, eq));
  value = Trim(std::string_view(pair).substr(eq + 1));
  return true;
}

}  // namespace driver

#pragma once
// The device settings line: one device as "key=value" pairs separated by
// ESC (code 27), stored under "Device_<n>" in the settings file. The driver
// writes and reads it, the communication server reads it.

#include <string>
#include <string_view>

namespace driver {

inline constexpr char SettingsSeparator = '\x1B';

// Keys of the device settings line, in the order in which they are written.
namespace SettingsKey {
inline constexpr std::string_view Name = "Name";
inline constexpr std::string_view DeviceAddress = "DeviceAddress";
inline constexpr std::string_view OPCServerName = "OPCServerName";
inline constexpr std::string_view OPCInterface = "OPCInterface";
inline constexpr std::string_view Prefix = "Prefix";
inline constexpr std::string_view Enabled = "Enabled";
inline constexpr std::string_view Precision = "Precision";
inline constexpr std::string_view TagListName = "TagListName";
inline constexpr std::string_view Description = "Description";
inline constexpr std::string_view LinkCtrlTagName = "LinkCtrlTagName";
inline constexpr std::string_view ComandCtrlTagName = "ComandCtrlTagName";
}  // namespace SettingsKey

// Keys of the settings file's section "OPCSRV".
namespace GeneralKey {
inline constexpr std::string_view Section = "OPCSRV";
inline constexpr std::string_view ErrorManager = "Error Manager";
inline constexpr std::string_view LogManager = "LOG Manager";
inline constexpr std::string_view CommandInterval = "Command Interval";
inline constexpr std::string_view AutoRunServer = "Auto Run Server";
inline constexpr std::string_view CheckServerInterval = "Check Server Interval";
inline constexpr std::string_view DeviceCount = "Device_Count";
inline constexpr std::string_view DevicePrefix = "Device_";
}  // namespace GeneralKey

// line + ESC + key + "=" + value, trimmed at both ends (every byte <= 32),
// so the first pair has no leading ESC and a value loses trailing blanks.
std::string AddSettingsPair(std::string_view line, std::string_view key, std::string_view value);

// Takes the first pair off line (which is trimmed first). False when the
// line is empty, or the first pair holds no "=" (line then stays as it is,
// trimmed). On True, key is the trimmed text before the first "=" and value
// the trimmed rest, which may hold further "=".
bool NextSettingsPair(char separator, std::string& line, std::string& key, std::string& value);

}  // namespace driver

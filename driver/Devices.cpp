#include "driver/Devices.h"

#include "driver/SettingsLine.h"
#include "platform/os/Convert.h"
#include "platform/os/IniFile.h"
#include "platform/os/Text.h"

#include <algorithm>
#include <exception>
#include <memory>
#include <vector>

namespace driver {

namespace {

std::mutex g_prefixLock;
std::string g_prefixList(DefaultPrefix);

// An interval below 1 would let the driver thread start a server every
// cycle or time every batch out at once.
int32_t AtLeastOne(int32_t value) { return std::max(value, 1); }

}  // namespace

std::string CurrentPrefixList() {
  std::lock_guard guard(g_prefixLock);
  return g_prefixList;
}

void SetPrefixList(std::string_view list) {
  std::lock_guard guard(g_prefixLock);
  g_prefixList = list;
}

TGeneralSettings& GeneralSettings() {
  static TGeneralSettings settings;
  return settings;
}

TDevice::TDevice() : Prefix(DefaultPrefix) {}

void TDevice::Assign(const TDevice* other) {
  if (other == nullptr) return;
  Name = other->Name;
  DeviceAddress = other->DeviceAddress;
  OPCServerName = other->OPCServerName;
  OPCInterface = other->OPCInterface;
  Prefix = other->Prefix;
  Description = other->Description;
  Precision = other->Precision;
  Enabled = other->Enabled;
  TagListName = other->TagListName;
  LinkCtrlTagName = other->LinkCtrlTagName;
  ComandCtrlTagName = other->ComandCtrlTagName;
}

std::string TDevice::GetSettingsLine() const {
  using platform::os::IntToStr;
  std::string line;
  line = AddSettingsPair(line, SettingsKey::Name, Name);
  line = AddSettingsPair(line, SettingsKey::DeviceAddress, IntToStr(DeviceAddress));
  line = AddSettingsPair(line, SettingsKey::OPCServerName, OPCServerName);
  line = AddSettingsPair(line, SettingsKey::OPCInterface, IntToStr(OPCInterface));
  line = AddSettingsPair(line, SettingsKey::Prefix, Prefix);
  line = AddSettingsPair(line, SettingsKey::Enabled, Enabled ? "1" : "0");
  line = AddSettingsPair(line, SettingsKey::Precision, IntToStr(Precision));
  line = AddSettingsPair(line, SettingsKey::TagListName, TagListName);
  line = AddSettingsPair(line, SettingsKey::Description, Description);
  line = AddSettingsPair(line, SettingsKey::LinkCtrlTagName, LinkCtrlTagName);
  line = AddSettingsPair(line, SettingsKey::ComandCtrlTagName, ComandCtrlTagName);
  return line;
}

bool TDevice::SetSettingsLine(std::string_view text) {
  using platform::os::StrToIntDef;
  std::string line(text), key, value;
  while (NextSettingsPair(SettingsSeparator, line, key, value)) {
    if (key == SettingsKey::Name) {
      Name = value;
    } else if (key == SettingsKey::OPCServerName) {
      OPCServerName = value;
    } else if (key == SettingsKey::Prefix) {
      Prefix = value;
    } else if (key == SettingsKey::TagListName) {
      TagListName = value;
    } else if (key == SettingsKey::Description) {
      Description = value;
    } else if (key == SettingsKey::LinkCtrlTagName) {
      LinkCtrlTagName = platform::os::Trim(value);
    } else if (key == SettingsKey::ComandCtrlTagName) {
      ComandCtrlTagName = platform::os::Trim(value);
    } else if (key == SettingsKey::DeviceAddress) {
      DeviceAddress = StrToIntDef(value, 0);
    } else if (key == SettingsKey::OPCInterface) {
      OPCInterface = static_cast<uint8_t>(StrToIntDef(value, 0));
    } else if (key == SettingsKey::Precision) {
      Precision = static_cast<uint16_t>(StrToIntDef(value, 1));
    } else if (key == SettingsKey::Enabled) {
      int32_t flag = 0;
      if (!platform::os::TryStrToInt(value, flag)) return false;
      Enabled = flag != 0;
    }
    Precision = std::min(Precision, MaxPrecision);
  }
  return true;
}

void TDeviceList::Assign(const TDeviceList* other) {
  if (other == nullptr) return;
  for (int32_t i = 0; i < other->Count(); ++i) {
    auto copy = std::make_unique<TDevice>();
    copy->Assign(other->At(i));
    Add(copy.release());
  }
}

bool TDeviceList::SaveToIni(const std::string& fileName, std::string_view section,
                            const TGeneralSettings& settings) const {
  if (fileName.empty() || section.empty()) return false;
  using platform::os::IntToStr;
  const auto flag = [](bool value) { return std::string(value ? "1" : "0"); };
  std::vector<platform::os::TIniFile::TEntry> entries = {
      {std::string(GeneralKey::ErrorManager), flag(settings.LockErrorClass.load())},
      {std::string(GeneralKey::LogManager), flag(settings.LockLOGFile.load())},
      {std::string(GeneralKey::CommandInterval), IntToStr(settings.CommandInterval.load())},
      {std::string(GeneralKey::AutoRunServer), flag(settings.AutoRunServer.load())},
      {std::string(GeneralKey::CheckServerInterval), IntToStr(settings.CheckServerInterval.load())},
      {std::string(GeneralKey::DeviceCount), IntToStr(Count())},
  };
  for (int32_t i = 0; i < Count(); ++i) {
    entries.push_back({std::string(GeneralKey::DevicePrefix) + IntToStr(i), At(i)->GetSettingsLine()});
  }
  try {
    // The whole section in one write: a failure leaves the file as it was.
    platform::os::TIniFile(fileName).ReplaceSection(section, entries);
    return true;
  } catch (const std::exception&) {
    return false;  // the caller logs the failed write
  }
}

bool TDeviceList::LoadFromIni(const std::string& fileName, std::string_view section, TGeneralSettings& settings) {
  FreeAll();
  if (fileName.empty() || section.empty()) return false;
  try {
    const platform::os::TIniFile ini(fileName);
    if (!ini.SectionExists(section)) return false;
    settings.LockErrorClass = ini.ReadBool(section, GeneralKey::ErrorManager, false);
    settings.LockLOGFile = ini.ReadBool(section, GeneralKey::LogManager, false);
    settings.CommandInterval = AtLeastOne(ini.ReadInteger(section, GeneralKey::CommandInterval, 3000));
    settings.AutoRunServer = ini.ReadBool(section, GeneralKey::AutoRunServer, true);
    settings.CheckServerInterval = AtLeastOne(ini.ReadInteger(section, GeneralKey::CheckServerInterval, 60));
    if (!ini.ValueExists(section, GeneralKey::DeviceCount)) return false;
    const int32_t count = ini.ReadInteger(section, GeneralKey::DeviceCount, 0);
    for (int32_t i = 0; i < count; ++i) {
      const std::string key = std::string(GeneralKey::DevicePrefix) + platform::os::IntToStr(i);
      auto device = std::make_unique<TDevice>();
      if (!ini.ValueExists(section, key) || !device->SetSettingsLine(ini.ReadString(section, key, ""))) {
        FreeAll();
        return false;
      }
      Add(device.release());
    }
    return true;
  } catch (const std::exception&) {
    FreeAll();
    return false;
  }
}

TDevice* TDeviceList::GetDevice(int32_t index) const { return At(index); }

TDevice* TDeviceList::FindDevice(std::string_view prefix, int32_t number) const {
  for (int32_t i = 0; i < Count(); ++i) {
    TDevice* device = At(i);
    if (device->DeviceAddress == number && platform::os::SameText(device->Prefix, prefix)) return device;
  }
  return nullptr;
}

}  // namespace driver

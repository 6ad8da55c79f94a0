#include "server/ServerDevices.h"

#include "driver/SettingsLine.h"
#include "exchange/OPCSharedMemory.h"
#include "platform/os/Convert.h"
#include "platform/os/IniFile.h"
#include "platform/os/Text.h"
#include "platform/os/Time.h"
#include "server/ServerData.h"
#include "server/ServerErrors.h"

#include <exception>

namespace server {

namespace os = platform::os;

// ---------------------------------------------------------------- TDevice

TDevice::TDevice() : Items(std::make_unique<TOPCVariableIndex>()) {}

TDevice::~TDevice() = default;

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
  DeviceNumber = other->DeviceNumber;
}

bool TDevice::SetSettingsLine(std::string_view text) {
  namespace key = driver::SettingsKey;
  std::string line(text), name, value;
  while (driver::NextSettingsPair(driver::SettingsSeparator, line, name, value)) {
    if (name == key::Name) {
      Name = value;
    } else if (name == key::OPCServerName) {
      OPCServerName = value;
    } else if (name == key::Prefix) {
      Prefix = value;
    } else if (name == key::TagListName) {
      TagListName = value;
    } else if (name == key::Description) {
      Description = value;
    } else if (name == key::LinkCtrlTagName) {
      LinkCtrlTagName = os::Trim(value);
    } else if (name == key::ComandCtrlTagName) {
      ComandCtrlTagName = os::Trim(value);
    } else if (name == key::DeviceAddress) {
      DeviceAddress = os::StrToIntDef(value, -1);
    } else if (name == key::OPCInterface) {
      OPCInterface = static_cast<std::uint8_t>(os::StrToIntDef(value, 0));
    } else if (name == key::Precision) {
      Precision = os::StrToIntDef(value, 1);
    } else if (name == key::Enabled) {
      std::int32_t flag = 0;
      if (!os::TryStrToInt(value, flag)) return false;
      Enabled = flag != 0;
    }
  }
  return true;
}

void TDevice::SetLinkState(bool up) {
  if (up && LinkState == 0) {
    WriteLinkOk();
    LinkState = 1;
  } else if (!up && LinkState == 1) {
    WriteLinkLost();
    LinkState = 0;
  }
}

void TDevice::WriteLinkOk() {
  if (!LinkCtrlTagName.empty()) WriteDynamicVariable(LinkCtrlTagName, 0.0f);
}

void TDevice::WriteLinkLost() {
  if (!LinkCtrlTagName.empty()) WriteDynamicVariable(LinkCtrlTagName, 1.0f);
}

bool TDevice::WriteDynamicVariable(std::string_view name, float value) {
  if (!SectionOpen()) return false;
  return Intercom->DynemicVariables()->AddOrUpdate(name, true, value, os::Now());
}

void TDevice::OnServerShutdown() {
  SetLinkState(false);
  if (ServerErrors) {
    ServerErrors->ReportText(ErrorCode::ServerShutdown,
                             OPCServerName + " " + ServerErrors->GetErrorText(ErrorCode::ServerShutdown, 0));
  }
}

// ---------------------------------------------------------------- TDeviceList

void TDeviceList::Assign(const TDeviceList* other) {
  if (other == nullptr) return;
  for (std::int32_t i = 0; i < other->Count(); ++i) {
    auto copy = std::make_unique<TDevice>();
    copy->Assign(other->At(i));
    Add(copy.release());
  }
}

bool TDeviceList::LoadFromIni(const std::string& fileName, std::string_view section) {
  namespace general = driver::GeneralKey;
  FreeAll();
  if (fileName.empty() || section.empty()) return false;
  try {
    const os::TIniFile ini(fileName);
    if (!ini.SectionExists(section)) return false;
    ErrorManager = ini.ReadBool(section, general::ErrorManager, false);
    LogManager = ini.ReadBool(section, general::LogManager, false);
    if (!ini.ValueExists(section, general::DeviceCount)) return false;
    const std::int32_t count = ini.ReadInteger(section, general::DeviceCount, 0);
    for (std::int32_t k = 0; k < count; ++k) {
      const std::string key = std::string(general::DevicePrefix) + os::IntToStr(k);
      auto device = std::make_unique<TDevice>();
      device->DeviceNumber = k;
      if (!ini.ValueExists(section, key) ||
          !device->SetSettingsLine(ini.ReadString(section, key, ""))) {
        FreeAll();
        return false;
      }
      Add(device.release());
    }
    return true;
  } catch (const std::exception&) {
    // A read that failed part-way (out of memory) loses the whole list, as
    // a bad line does.
    FreeAll();
    return false;
  }
}

TDevice* TDeviceList::GetDevice(std::int32_t index) const { return At(index); }

TDevice* TDeviceList::FindDevice(std::string_view prefix, std::int32_t address) const {
  for (std::int32_t i = 0; i < Count(); ++i) {
    TDevice* device = At(i);
    if (device->DeviceAddress == address && os::SameText(device->Prefix, prefix)) return device;
  }
  return nullptr;
}

std::int32_t TDeviceList::FindCommandDevice() const {
  if (!SectionOpen()) return -1;
  const exchange::TCommandsList& batch = *Intercom->Commands();
  if (batch.Count() == 0 || batch.GetReady() != 1) return -1;
  const std::int32_t id = batch.GetId();
  const std::string name = batch.GetName();
  for (std::int32_t i = 0; i < Count(); ++i) {
    const TDevice* device = At(i);
    if (device->DeviceAddress == id && os::SameText(device->Prefix, name)) return i;
  }
  return -1;
}

}  // namespace server

#include "server/ServerDevices.h"

#include "common/Opc_Description.h"
#include "driver/SettingsLine.h"
#include "exchange/OPCSharedMemory.h"
#include "platform/com/Activation.h"
#include "platform/com/Guid.h"
#include "server/OPCutils.h"
#include "platform/os/Convert.h"
#include "platform/os/IniFile.h"
#include "platform/os/Text.h"
#include "platform/os/Time.h"
#include "server/ServerData.h"
#include "server/ServerErrors.h"

#include <exception>

namespace server {

namespace os = platform::os;
namespace pc = platform::com;
using namespace platform::os::literals;

namespace {

constexpr pc::DWORD kGroupUpdateRate = 500;
constexpr std::int32_t kCommandFailed = -18;

// The code's text of the error list, or "" before the reporter exists.
std::string ErrorText(std::int32_t code) {
  return ServerErrors ? ServerErrors->GetErrorText(code, 0) : std::string();
}

void Report(std::int32_t code, const std::string& text) {
  if (ServerErrors) ServerErrors->ReportText(code, text);
}

// "_" + the 32 hex digits of a new GUID + "_".
std::string NewGroupName() {
  pc::GUID guid = pc::GUID_NULL;
  pc::CoCreateGuid(&guid);
  std::string name = "_";
  for (char c : pc::GuidToString(guid))
    if (c != '{' && c != '}' && c != '-') name += c;
  return name + "_";
}

// The OPC server of a ProgID on this machine; empty when it cannot be had.
pc::ComPtr<pc::IOPCServer> CreateServer(const std::string& progId) {
  pc::ComPtr<pc::IOPCServer> server;
  try {
    const pc::WideString wide = pc::AnsiToWide(progId);
    pc::CLSID clsid{};
    if (pc::FAILED(pc::CLSIDFromProgID(wide.c_str(), &clsid))) return server;
    if (pc::FAILED(pc::CoCreateInstance(clsid, nullptr, pc::CLSCTX_INPROC_SERVER | pc::CLSCTX_LOCAL_SERVER,
                                        pc::IOPCServer::iid, server.PutVoid())))
      server.Reset();
  } catch (const std::exception&) {
    // A failure of the COM layer counts as an absent interface.
    server.Reset();
  }
  return server;
}

}  // namespace

// ---------------------------------------------------------------- TDevice

TDevice::TDevice()
    : Items(std::make_unique<TOPCVariableIndex>()),
      Shutdown(new TOPCShutdown([this] { OnServerShutdown(); })) {}

TDevice::~TDevice() {
  // The OPC server may keep its references to these beyond the device.
  Shutdown->Callback = nullptr;
  DetachSubscribers();
}

void TDevice::DetachSubscribers() {
  if (AdviseSink) AdviseSink->Detach();
  if (DataCallback) DataCallback->Detach();
}

bool TDevice::Connect() {
  Items->LoadDevice(TagListName, Prefix, Precision, DeviceAddress);
  const std::string noServer = OPCServerName + " " + ErrorText(ErrorCode::NoServerInterface);
  if (Items->Count() == 0) {
    Report(ErrorCode::NoServerInterface, noServer);
    return false;
  }
  OPCServer = CreateServer(OPCServerName);
  if (!OPCServer) {
    Report(ErrorCode::NoServerInterface, noServer);
    return false;
  }
  AdviseShutdown();
  const std::string groupName = NewGroupName();
  if (pc::FAILED(CreateOPCGroup(OPCServer.Get(), groupName, true, kGroupUpdateRate, 0, GroupItemMgt,
                                ServerGroupHandle))) {
    Report(ErrorCode::GroupCreation, OPCServerName + "->" + groupName + ErrorText(ErrorCode::GroupCreation));
    return false;
  }
  AddItems();
  if (!Subscribe()) return false;
  RefreshItems();
  return true;
}

void TDevice::AdviseShutdown() {
  pc::ComPtr<pc::IConnectionPoint> point;
  const std::int32_t code = ShutdownPoint(point);
  if (code == 0 && pc::FAILED(point->Advise(Shutdown->Unknown(), &ShutdownCookie))) {
    ShutdownCookie = 0;
    Report(ErrorCode::ShutdownAdvise, OPCServerName + ": " + ErrorText(ErrorCode::ShutdownAdvise));
  }
}

std::int32_t TDevice::ShutdownPoint(pc::ComPtr<pc::IConnectionPoint>& point) {
  pc::ComPtr<pc::IConnectionPointContainer> container;
  std::int32_t code = 0;
  if (pc::FAILED(OPCServer.As(container)))
    code = ErrorCode::NoConnectionPoints;
  else if (pc::FAILED(container->FindConnectionPoint(pc::IOPCShutdown::iid, point.Put())) || !point)
    code = ErrorCode::NoShutdownInterface;
  if (code != 0) Report(code, OPCServerName + ": " + ErrorText(code));
  return code;
}

void TDevice::AddItems() {
  for (std::int32_t i = 0; i < Items->Count(); ++i) {
    TOPCVariableIndexItem* item = Items->At(i);
    pc::VARTYPE canonical = pc::VT_EMPTY;
    pc::OPCHANDLE handle = 0;
    if (pc::FAILED(AddOPCItem(GroupItemMgt.Get(), item->ItemName, static_cast<pc::OPCHANDLE>(i), canonical,
                              handle, pc::VT_EMPTY))) {
      Report(ErrorCode::ItemAddition,
             OPCServerName + ": " + item->ItemName + " " + ErrorText(ErrorCode::ItemAddition));
      item->ServerHandle = 0;
      item->Quality = 0;
    } else {
      item->ServerHandle = handle;
    }
  }
}

bool TDevice::Subscribe() {
  if (OPCInterface != 0) {
    DataCallback = pc::ComPtr<TOPCDataCallback>(new TOPCDataCallback(Items.get(), ValueCallback));
    if (pc::FAILED(AdviseDataCallback(GroupItemMgt.Get(), DataCallback->Unknown(), AdviseCookie))) {
      Report(ErrorCode::DataCallback, OPCServerName + ": " + ErrorText(ErrorCode::DataCallback));
      DataCallback->Detach();
      DataCallback.Reset();
      return false;
    }
    return true;
  }
  AdviseSink = pc::ComPtr<TOPCAdviseSink>(new TOPCAdviseSink(Items.get(), ValueCallback));
  if (pc::FAILED(AdviseDataObject(GroupItemMgt.Get(), AdviseSink.Get(), AdviseCookie))) {
    Report(ErrorCode::AdviseSink, OPCServerName + ": " + ErrorText(ErrorCode::AdviseSink));
    AdviseSink->Detach();
    AdviseSink.Reset();
    return false;
  }
  return true;
}

void TDevice::RefreshItems() {
  pc::ComPtr<pc::IOPCAsyncIO> async;
  if (pc::FAILED(GroupItemMgt.As(async))) return;
  async->Refresh(AdviseCookie, pc::OPC_DS_DEVICE, &RefreshTransactionId);
  ++RefreshTransactionId;
}

bool TDevice::Disconnect() {
  Items->FreeAll();
  if (OPCServer) {
    pc::ComPtr<pc::IConnectionPoint> point;
    if (ShutdownPoint(point) == 0 && pc::FAILED(point->Unadvise(ShutdownCookie)))
      Report(ErrorCode::ShutdownAdvise, OPCServerName + ": " + ErrorText(ErrorCode::ShutdownAdvise));
  }
  if (GroupItemMgt && AdviseSink) UnadviseDataObject(GroupItemMgt.Get(), AdviseCookie);
  if (GroupItemMgt && DataCallback) UnadviseDataCallback(GroupItemMgt.Get(), AdviseCookie);
  if (OPCServer) OPCServer->RemoveGroup(ServerGroupHandle, 0);
  DetachSubscribers();
  return true;
}

std::int32_t TDevice::WriteCommand(std::string_view prefix, std::int32_t deviceNumber, std::string& log,
                                   float value, std::int32_t tagAddress) {
  try {
    return CheckAndWrite(os::Trim(prefix), deviceNumber, log, value, tagAddress);
  } catch (const std::exception&) {
    // The checks end here; the caller reports the command as not executed.
    return kCommandFailed;
  }
}

std::int32_t TDevice::CheckAndWrite(const std::string& prefix, std::int32_t deviceNumber, std::string& log,
                                    float value, std::int32_t tagAddress) {
  const auto fail = [&log](std::string_view line) {
    log.append(line).append("\r\n");
    return kCommandFailed;
  };
  if (!DescriptionFile) return fail("Отсутствует описание OPC устройства."_cp);
  if (!os::SameText(prefix, Prefix) || deviceNumber != DeviceAddress) return fail("Не совпадает имя домена."_cp);
  std::int32_t at = 0;
  if (DescriptionFile->FindDevice(TagListName, at) == nullptr)
    return fail("Описание поддерживаемых тегов отсутствует."_cp);
  if (!GroupItemMgt) return fail("Отсутствует OPC интерфейс к кнруппе тегов."_cp);
  const TVariableIndexItem* variable =
      VariableIndex ? VariableIndex->Find(prefix, deviceNumber, tagAddress) : nullptr;
  if (variable == nullptr) return fail("Тег не обсдуживается драйвером."_cp);
  const std::string head = OPCServerName + "->" + variable->VariableName + ": ";
  const TOPCVariableIndexItem* item = Items->FindByTagName(variable->VariableName);
  if (item == nullptr) return fail(head + std::string("Тег не обслуживается OPC сервером."_cp));
  if (item->ServerHandle == 0) return fail(head + std::string("Тег не зарегистрирован в OPC сервере."_cp));
  const pc::VariantValue written(static_cast<double>(value));
  if (pc::FAILED(WriteOPCItem(GroupItemMgt.Get(), item->ServerHandle, written.Get())))
    return fail(head + ErrorText(ErrorCode::OpcWrite));
  log.append("Данные переданы в OPC сервер."_cp);
  return 0;
}

void TDevice::SetValueCallback(TValueCallback callback) {
  ValueCallback = std::move(callback);
  if (AdviseSink) AdviseSink->ValueCallback = ValueCallback;
  if (DataCallback) DataCallback->ValueCallback = ValueCallback;
}

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
  if (ServerErrors) ServerErrors->ReportAbout(ErrorCode::ServerShutdown, OPCServerName);
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

#include "server/ServerData.h"

#include "common/Opc_Description.h"
#include "exchange/OPCSharedMemory.h"
#include "server/ServerDevices.h"
#include "server/ServerErrors.h"
#include "server/VariableIndex.h"

namespace server {

std::string IniFileName;
std::unique_ptr<exchange::TIntercomInterface> Intercom;
std::atomic<bool> ServerClosing{false};
std::unique_ptr<TBaseErrorClass> ServerErrors;
std::unique_ptr<common::TOPCDescriptionFile> DescriptionFile;
std::unique_ptr<TDeviceList> DeviceList;
std::unique_ptr<TVariableIndex> VariableIndex;
std::int32_t SelectedDevice = -1;
platform::os::TStringList RequestTerminal;
std::string CommandsLog;

bool SectionOpen() { return Intercom != nullptr && Intercom->IsAttached(); }

}  // namespace server

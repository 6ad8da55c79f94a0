#pragma once
// Where simulations live in the registry. A simulation is a class of
// libopcsim registered under its ProgID, with the OPC marks that OPC
// clients look for and the simulation's own values:
//   HKCR\<ProgID>                    default: description
//   HKCR\<ProgID>\CLSID              default: {class id}
//   HKCR\<ProgID>\OPC\Vendor         default: vendor text
//   HKCR\CLSID\{id}                  default: description
//   HKCR\CLSID\{id}\ProgID           default: ProgID
//   HKCR\CLSID\{id}\InprocServer32   default: path of libopcsim.so
//   HKCR\CLSID\{id}\Implemented Categories\{CATID_OPCDAServer20}
//   HKCR\CLSID\{id}\OpcSim           "Items": items file, "Vendor": vendor text
// The OPC server list object is registered beside them.

#include <string>
#include <string_view>

#include "platform/com/Guid.h"

namespace opcsim {

struct SimulationInfo {
  platform::com::CLSID clsid{};
  std::string progId;
  std::string itemsPath;
  std::string vendor;
};

// Registers (or re-registers, keeping its class id) a simulation; the items
// file must parse. False with `error` otherwise.
bool RegisterSimulation(const std::string& progId, const std::string& itemsPath, const std::string& vendor,
                        const std::string& description, const std::string& modulePath, std::string& error);
// Removes a simulation's keys. False with `error` when it is not registered.
bool UnregisterSimulation(const std::string& progId, std::string& error);
// The simulation registered for a class id; false when there is none.
bool FindSimulation(const platform::com::CLSID& clsid, SimulationInfo& info);

}  // namespace opcsim

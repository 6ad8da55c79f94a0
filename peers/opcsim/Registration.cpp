#include "peers/opcsim/Registration.h"

#include <filesystem>
#include <vector>

#include "peers/opcsim/ItemsFile.h"
#include "peers/opcsim/SimControl.h"
#include "platform/com/Activation.h"
#include "platform/com/OpcDa.h"
#include "platform/com/Registry.h"

namespace opcsim {

namespace pc = platform::com;

namespace {

bool Write(pc::TRegistry& reg, const std::string& key, const std::string& name, const std::string& value) {
  return reg.OpenKey(key, true) && reg.WriteString(name, value);
}

}  // namespace

bool RegisterSimulation(const std::string& progId, const std::string& itemsPath, const std::string& vendor,
                        const std::string& description, const std::string& modulePath, std::string& error) {
  if (!ValidProgId(progId)) {
    error = "not a valid ProgID: " + progId;
    return false;
  }
  std::error_code ec;
  std::string absolute = std::filesystem::absolute(itemsPath, ec).string();
  std::vector<ItemDefinition> items;
  if (ec || !LoadItemsFile(absolute, items, error)) {
    if (error.empty()) error = "cannot read " + itemsPath;
    return false;
  }
  pc::CLSID clsid{};
  pc::WideString wideProgId = pc::AnsiToWide(progId);
  SimulationInfo existing;
  if (pc::FAILED(pc::CLSIDFromProgID(wideProgId.c_str(), &clsid)) || !FindSimulation(clsid, existing)) {
    if (pc::FAILED(pc::CoCreateGuid(&clsid))) {
      error = "no class id could be made";
      return false;
    }
  }
  const std::string id = pc::GuidToString(clsid);
  const std::string classKey = "\\CLSID\\" + id;
  pc::TRegistry reg;
  bool ok = Write(reg, "\\" + progId, "", description) && Write(reg, "\\" + progId + "\\CLSID", "", id) &&
            Write(reg, "\\" + progId + "\\OPC\\Vendor", "", vendor) && Write(reg, classKey, "", description) &&
            Write(reg, classKey + "\\ProgID", "", progId) &&
            Write(reg, classKey + "\\InprocServer32", "", modulePath) &&
            reg.OpenKey(classKey + "\\Implemented Categories\\" + pc::GuidToString(pc::CATID_OPCDAServer20), true) &&
            Write(reg, classKey + "\\OpcSim", "Items", absolute) && Write(reg, classKey + "\\OpcSim", "Vendor", vendor);
  const std::string listKey = "\\CLSID\\" + pc::GuidToString(pc::CLSID_OpcServerList);
  ok = ok && Write(reg, listKey, "", "OPC server list") && Write(reg, listKey + "\\InprocServer32", "", modulePath);
  if (!ok) error = "the registry could not be written";
  return ok;
}

bool UnregisterSimulation(const std::string& progId, std::string& error) {
  pc::CLSID clsid{};
  pc::WideString wideProgId = pc::AnsiToWide(progId);
  SimulationInfo info;
  if (!ValidProgId(progId) || pc::FAILED(pc::CLSIDFromProgID(wideProgId.c_str(), &clsid)) ||
      !FindSimulation(clsid, info)) {
    error = "no simulation is registered as " + progId;
    return false;
  }
  pc::TRegistry reg;
  bool ok = reg.DeleteKey("\\" + progId) && reg.DeleteKey("\\CLSID\\" + pc::GuidToString(clsid));
  if (!ok) error = "the registry could not be written";
  RemoveControl(progId);
  return ok;
}

bool FindSimulation(const pc::CLSID& clsid, SimulationInfo& info) {
  pc::TRegistry reg;
  const std::string classKey = "\\CLSID\\" + pc::GuidToString(clsid);
  if (!reg.OpenKeyReadOnly(classKey + "\\OpcSim")) return false;
  info.clsid = clsid;
  info.itemsPath = reg.ReadString("Items");
  info.vendor = reg.ReadString("Vendor");
  if (!reg.OpenKeyReadOnly(classKey + "\\ProgID")) return false;
  info.progId = reg.ReadString("");
  return !info.progId.empty() && !info.itemsPath.empty();
}

}  // namespace opcsim

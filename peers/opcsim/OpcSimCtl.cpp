// opcsim-ctl: registers simulations and steers running ones in other
// processes of the same IPC namespace. Texts on the command line and in the
// output are UTF-8; the registry and the simulations keep CP1251.

#include <cstdio>
#include <string>
#include <vector>

#include "peers/opcsim/ItemsFile.h"
#include "peers/opcsim/Registration.h"
#include "peers/opcsim/SimControl.h"
#include "platform/com/Activation.h"
#include "platform/os/Convert.h"
#include "platform/os/Files.h"
#include "platform/os/Text.h"

namespace {

namespace pc = platform::com;
namespace os = platform::os;

constexpr const char* kUsage =
    "usage: opcsim-ctl register PROGID ITEMS-FILE [--vendor TEXT] [--description TEXT]\n"
    "       opcsim-ctl unregister PROGID\n"
    "       opcsim-ctl set PROGID ITEM VALUE [quality=Q]\n"
    "       opcsim-ctl shutdown PROGID REASON\n"
    "       opcsim-ctl fail PROGID WHAT on|off\n"
    "       opcsim-ctl fail serverlist list2 on|off   (the server list object refuses IOPCServerList2)\n"
    "       opcsim-ctl journal PROGID\n";

int Usage() {
  std::fputs(kUsage, stderr);
  return 2;
}

int Fail(const std::string& message) {
  std::fprintf(stderr, "opcsim-ctl: %s\n", message.c_str());
  return 1;
}

// The control name of the OPC server list object, in any case.
bool IsServerList(const std::string& name) { return os::SameText(name, opcsim::kServerListControl); }

bool Registered(const std::string& progId, opcsim::SimulationInfo& info) {
  pc::CLSID clsid{};
  pc::WideString wide = pc::AnsiToWide(progId);
  return opcsim::ValidProgId(progId) && pc::SUCCEEDED(pc::CLSIDFromProgID(wide.c_str(), &clsid)) &&
         opcsim::FindSimulation(clsid, info);
}

bool Registered(const std::string& progId) {
  opcsim::SimulationInfo info;
  return Registered(progId, info);
}

// True when the simulation's items file names `item`.
bool HasItem(const opcsim::SimulationInfo& info, const std::string& item) {
  std::vector<opcsim::ItemDefinition> items;
  std::string error;
  if (!opcsim::LoadItemsFile(info.itemsPath, items, error)) return false;
  for (const auto& d : items)
    if (d.id == item) return true;
  return false;
}

int Register(const std::vector<std::string>& a) {
  if (a.size() < 4) return Usage();
  std::string vendor = "Ferrowick OPC simulation";
  std::string description = a[2] + " simulation";
  for (std::size_t i = 4; i < a.size(); i += 2) {
    if (i + 1 >= a.size()) return Usage();
    if (a[i] == "--vendor") vendor = os::Utf8ToCp1251(a[i + 1]);
    else if (a[i] == "--description") description = os::Utf8ToCp1251(a[i + 1]);
    else return Usage();
  }
  std::string module = os::ExtractFilePath(os::ProgramPath()) + "libopcsim.so";
  std::string error;
  if (!opcsim::RegisterSimulation(a[2], a[3], vendor, description, module, error)) return Fail(error);
  return 0;
}

int Set(const std::vector<std::string>& a) {
  if (a.size() < 5 || a.size() > 6) return Usage();
  unsigned long quality = 0xC0;
  if (a.size() == 6) {
    if (a[5].rfind("quality=", 0) != 0) return Usage();
    std::int32_t q = 0;
    if (!os::TryStrToInt(a[5].substr(8), q) || q < 0 || q > 0xFFFF) return Fail("bad quality " + a[5]);
    quality = static_cast<unsigned long>(q);
  }
  if (a[3].empty() || a[3].find_first_of(" \t\r\n") != std::string::npos) return Fail("bad item id " + a[3]);
  opcsim::SimulationInfo info;
  if (!Registered(a[2], info)) return Fail("no simulation is registered as " + a[2]);
  if (!HasItem(info, a[3])) return Fail(a[2] + " has no item " + a[3]);
  std::string value = os::Utf8ToCp1251(a[4]);
  if (!opcsim::AppendCommand(a[2], "set " + std::to_string(quality) + " " + a[3] + " " + value))
    return Fail("the command could not be written");
  return 0;
}

int Run(const std::vector<std::string>& a) {
  if (a.size() < 3) return Usage();
  const std::string& command = a[1];
  const std::string& progId = a[2];
  if (!opcsim::ValidProgId(progId)) return Fail("not a valid ProgID: " + progId);
  if (command == "register") {
    if (IsServerList(progId)) return Fail(progId + " names the OPC server list object");
    return Register(a);
  }
  if (command == "unregister") {
    if (a.size() != 3) return Usage();
    std::string error;
    return opcsim::UnregisterSimulation(progId, error) ? 0 : Fail(error);
  }
  if (command == "set") return Set(a);
  if (command == "shutdown") {
    if (a.size() != 4) return Usage();
    if (!Registered(progId)) return Fail("no simulation is registered as " + progId);
    std::string reason = os::Utf8ToCp1251(a[3]);
    if (reason.find_first_of("\r\n") != std::string::npos) return Fail("the reason must be one line");
    return opcsim::AppendCommand(progId, "shutdown " + reason) ? 0 : Fail("the command could not be written");
  }
  if (command == "fail") {
    if (a.size() != 5 || (a[4] != "on" && a[4] != "off")) return Usage();
    const bool known = IsServerList(progId) ? a[3] == opcsim::kServerList2Fault : opcsim::ValidFault(a[3]);
    if (!known || a[3].find_first_of(" \t\r\n") != std::string::npos) return Fail("unknown fault " + a[3]);
    return opcsim::SetFault(progId, a[3], a[4] == "on") ? 0 : Fail("the fault could not be written");
  }
  if (command == "journal") {
    if (a.size() != 3) return Usage();
    std::fputs(os::Cp1251ToUtf8(opcsim::ReadJournal(progId)).c_str(), stdout);
    return 0;
  }
  return Usage();
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv, argv + argc);
  try {
    return Run(args);
  } catch (const std::exception& e) {
    return Fail(e.what());
  }
}

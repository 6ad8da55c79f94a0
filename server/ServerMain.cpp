#include "server/ServerMain.h"

#include "exchange/ComonDef.h"
#include "exchange/OPCSharedMemory.h"
#include "platform/os/Convert.h"
#include "platform/os/Files.h"
#include "platform/os/Process.h"
#include "common/Opc_Description.h"
#include "platform/com/Apartment.h"
#include "platform/os/Text.h"
#include "platform/ui/Application.h"
#include "platform/win/Window.h"
#include "server/MainWindow.h"
#include "server/ServerData.h"

#include <cstdio>
#include <exception>

namespace server {

namespace os = platform::os;

std::int32_t SlotFromParameters(const std::vector<std::string>& parameters) {
  if (parameters.size() != 2) return -1;
  const std::int32_t slot = os::StrToIntDef(parameters[0], -1);
  return slot >= 0 && slot < exchange::kServerSlots ? slot : -1;
}

std::string SettingsFileName(std::string_view programPath) {
  return os::ChangeFileExt(programPath, ".ini");
}

bool IsServerRunning() {
  if (!SectionOpen()) return false;
  const exchange::TServerData& slots = *Intercom->ServerData();
  const std::int32_t pid = slots.GetOwnProcessId();
  const std::int32_t window = slots.GetOwnWindowHandle();
  if (pid == 0 || window == 0) return false;
  return platform::win::IsWindow(static_cast<platform::win::HWND>(window)) &&
         os::IsProcessAlive(static_cast<std::uint32_t>(pid));
}

TStartupVerdict CheckStartup(const std::vector<std::string>& parameters,
                             std::string_view programPath) {
  const std::int32_t slot = SlotFromParameters(parameters);
  exchange::ServerIndex = slot;
  if (slot < 0) return TStartupVerdict::BadParameters;
  IniFileName = SettingsFileName(programPath);
  if (!os::FileExists(IniFileName)) return TStartupVerdict::NoSettingsFile;
  Intercom = exchange::TIntercomInterface::Open(exchange::kSectionName);
  if (!SectionOpen()) {
    Intercom.reset();
    return TStartupVerdict::NoSection;
  }
  if (IsServerRunning()) {
    Intercom.reset();
    return TStartupVerdict::AlreadyRunning;
  }
  return TStartupVerdict::Run;
}

void ClearOwnSlot() {
  if (!SectionOpen()) return;
  exchange::TServerData& slots = *Intercom->ServerData();
  slots.SetOwnProcessId(0);
  slots.SetOwnWindowHandle(0);
  slots.SetOwnRunning(false);
}

namespace {

// Runs the application with the main window until the window closes.
void RunMainWindow() {
  using namespace platform::os::literals;
  platform::ui::TApplication& app = platform::ui::Application();
  bool comStarted = false;
  app.InitProc = [&comStarted] {
    comStarted = platform::com::SUCCEEDED(platform::com::CoInitialize(nullptr));
  };
  app.Initialize();
  app.SetTitle("Связь с OPC серверами..."_cp);
  TServerWindow* window = nullptr;
  app.CreateForm(window);
  app.Run();
  app.DestroyComponents();
  if (comStarted) platform::com::CoUninitialize();
}

// Why a refused start ended, for a person who started the program by hand.
std::string RefusalReason(TStartupVerdict verdict) {
  switch (verdict) {
    case TStartupVerdict::BadParameters: return "the arguments are not a slot (0..31) and the settings file";
    case TStartupVerdict::NoSettingsFile: return "no settings file " + IniFileName;
    case TStartupVerdict::NoSection: return "the driver's shared section does not exist";
    case TStartupVerdict::AlreadyRunning:
      return "a running server already holds slot " + std::to_string(exchange::ServerIndex);
    case TStartupVerdict::Run: break;
  }
  return "";
}

}  // namespace

int ServerMain(const std::vector<std::string>& parameters, std::string_view programPath) {
  if (const TStartupVerdict verdict = CheckStartup(parameters, programPath); verdict != TStartupVerdict::Run) {
    std::fprintf(stderr,
                 "Ferrowick_V30.srv: ended: %s; the driver starts the server itself, once it has made the section, "
                 "as: DIR/Ferrowick_V30.srv SLOT DIR/Ferrowick_V30.ini\n",
                 RefusalReason(verdict).c_str());
    return 0;
  }
  int exitCode = 0;
  try {
    RunMainWindow();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "Ferrowick_V30.srv: %s\n", e.what());
    exitCode = 1;
  }
  ClearOwnSlot();
  Intercom.reset();
  DescriptionFile.reset();
  return exitCode;
}

}  // namespace server

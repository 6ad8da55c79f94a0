// Screenshot pages of the server: the main window on each of its three
// pages and the OPC server status dialog, filled with fixed sample values.
// The window is shown without its start-up (no section, no devices, no
// tray), so the pictures do not depend on the machine.

#include "platform/com/OpcDa.h"
#include "platform/os/Text.h"
#include "platform/os/Time.h"
#include "server/MainWindow.h"
#include "server/ServerStatusDlg.h"
#include "tests/platform/ui/screenshots/Pages.h"

namespace {

namespace ui = platform::ui;
using namespace platform::os::literals;

// The main window with its start-up and shut-down handlers taken off.
class TSampleServerWindow : public server::TServerWindow {
 public:
  explicit TSampleServerWindow(ui::TComponent* owner) : server::TServerWindow(owner) {
    OnCreate = nullptr;
    OnDestroy = nullptr;
  }
};

ui::TCustomForm* SampleWindow(int page) {
  auto* w = ui::Create<TSampleServerWindow>(nullptr);
  w->DmlNameEdit->SetText("Ferrowick V30");
  w->DmlStateEdit->SetText("В работе"_cp);
  w->DmlTagCounterEdit->SetText("52");
  w->DmlTransactionIdEdit->SetText("18342");
  w->ConfigFileNameEdit->SetText("/opt/ferrowick/Ferrowick_V30.ini");
  w->ServerTransactionIdEdit->SetText("1790");
  w->PIDEdit->SetText("4242");
  w->WindowHandleEdit->SetText("17");
  w->TerminalIdEdit->SetText("311");
  w->CommandsTerminalIdEdit->SetText("12");

  w->OPCServerList->Strings().Add("Boiler=Sim.Boiler.1");
  w->OPCServerList->Strings().Add("Pump=Sim.Pump.1");
  w->OPCServerList->SetRow(1);
  w->RequestsMemo->SetMemoText(
      "Sim.Boiler.Level 2,46000003814697\r\nSim.Boiler.Mode 3\r\nSim.Boiler.Alarms 5\r\n");
  w->CommandsMemo->SetMemoText(
      "05.03.2024 06:07:08\r\nWritting tag id: 102\r\nValue=7\r\nДанные переданы в OPC сервер.\r\n"
      "Command State=cpOk\r\n----------------------------"_cp);
  w->PageControl->SetActivePageIndex(page);
  return w;
}

ui::TCustomForm* SampleStatusDialog() {
  static char16_t vendor[] = u"Ferrowick OPC simulation";
  platform::com::OPCSERVERSTATUS status{};
  platform::os::DateTimeToFileTime(platform::os::EncodeDate(2024, 3, 5) + platform::os::EncodeTime(6, 0, 0, 0),
                                   status.ftStartTime);
  platform::os::DateTimeToFileTime(platform::os::EncodeDate(2024, 3, 5) + platform::os::EncodeTime(6, 7, 8, 9),
                                   status.ftCurrentTime);
  platform::os::DateTimeToFileTime(platform::os::EncodeDate(2024, 3, 5) + platform::os::EncodeTime(6, 7, 8, 0),
                                   status.ftLastUpdateTime);
  status.dwServerState = 1;
  status.dwGroupCount = 1;
  status.wMajorVersion = 1;
  status.wMinorVersion = 0;
  status.wBuildNumber = 30;
  status.szVendorInfo = vendor;
  auto* dialog = ui::Create<server::TServerStatusDialog>(nullptr);
  dialog->ShowStatus(status);
  dialog->LogoImage->Picture().LoadFromFile(FW_SERVER_ICON);
  return dialog;
}

const bool kRegistered = [] {
  using screenshots::RegisterPage;
  RegisterPage("server_main_status", [] { return SampleWindow(0); });
  RegisterPage("server_main_requests", [] { return SampleWindow(1); });
  RegisterPage("server_main_commands", [] { return SampleWindow(2); });
  RegisterPage("server_status_dialog", [] { return SampleStatusDialog(); });
  return true;
}();

}  // namespace

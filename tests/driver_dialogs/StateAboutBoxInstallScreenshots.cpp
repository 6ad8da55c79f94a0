// Screenshot pages of the state window, the about box, the message box and
// the installation dialog, filled with fixed sample values (no driver is
// initialised, so nothing depends on the machine).

#include "driver_dialogs/DrvInstall.h"
#include "driver_dialogs/DrvTerminal.h"
#include "driver_dialogs/MessageBoxes.h"
#include "driver_dialogs/OPC_About.h"
#include "platform/os/Text.h"
#include "tests/platform/ui/screenshots/Pages.h"

namespace {

namespace ui = platform::ui;
using namespace platform::os::literals;

ui::TCustomForm* SampleStateWindow(int page) {
  auto* w = ui::Create<driver_dialogs::TTerminalWindow>(nullptr);
  w->OPCServerList->InsertRow("Boiler house", "Demo.Boiler", true);
  w->OPCServerList->InsertRow("Mixer line", "Demo.Mixer", true);
  w->OPCServerList->SetEnabled(true);
  w->OPCServerList->SetRow(1);
  w->TerminalMemo->SetMemoText(
      "Boiler.Temperature 81,2559967041016\r\nBoiler.Pressure 6,41499996185303\r\nBoiler.Level 47,25\r\n");
  w->CommandsTerminalMemo->SetMemoText(
      "05.03.2024 06:07:08\r\nWritting tag id: 1009\r\nValue=77,5\r\nДанные переданы в OPC сервер.\r\n"
      "Command State=cpOk\r\n----------------------------"_cp);
  w->PageControl->SetActivePageIndex(page);
  return w;
}

ui::TCustomForm* SampleMessageBox() {
  auto* box = ui::Create<driver_dialogs::TMessageBoxDialog>(nullptr);
  box->Prepare("Драйвер поддержки OPC серверов. Версия 3.0"_cp,
               "Файл с описанием OPC серверов не найден или имеет не правильный формат."_cp, false, false);
  return box;
}

ui::TCustomForm* SampleInstallDialog() {
  auto* dialog = ui::Create<driver_dialogs::TInstallProcDialog>(nullptr);
  dialog->ProcessMemo->SetMemoText(
      "GUID={15EEE945-B447-4659-ABE2-8E4FF2BBFC65}\r\nName=Драйвер поддержки OPC серверов. Версия 3.0\r\n"
      "Копируем сервер доступа к устройству...\r\nИсходный файл: /media/setup/Ferrowick_V30.srv\r\n"
      "Целевой файл: /opt/halvorsten/drivers/Ferrowick_V30.srv\r\nERROR: Файл не найден!\r\n"
      "Копируется конфигурационный файл по умолчанию...\r\nИсходный файл: /media/setup/Ferrowick_V30.ini\r\n"
      "Целевой файл: /opt/halvorsten/drivers/Ferrowick_V30.ini\r\nУспешное копирование файла."_cp);
  return dialog;
}

const bool kRegistered = [] {
  using screenshots::RegisterPage;
  RegisterPage("driver_state_requests", [] { return SampleStateWindow(0); });
  RegisterPage("driver_state_commands", [] { return SampleStateWindow(1); });
  RegisterPage("driver_about_box", [] { return ui::Create<driver_dialogs::TAboutDialog>(nullptr); });
  RegisterPage("driver_message_box", [] { return SampleMessageBox(); });
  RegisterPage("driver_install_dialog", [] { return SampleInstallDialog(); });
  return true;
}();

}  // namespace

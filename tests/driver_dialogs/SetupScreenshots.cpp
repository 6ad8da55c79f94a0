// Screenshot pages of the device setup dialog: the device page with each of
// its two setting pages, the parameters page, and the whole screen with the
// dialog's ellipse hint over the server name. The driver is not
// initialised here, so the sample devices are put into the controls.

#include "driver_dialogs/Ferrowick_Setup.h"
#include "platform/os/Text.h"
#include "platform/ui/Application.h"
#include "platform/ui/Headless.h"
#include "tests/platform/ui/screenshots/Pages.h"

namespace {

namespace ui = platform::ui;
using namespace platform::os::literals;

ui::TCustomForm* SampleSetupDialog(int page, int settingPage) {
  auto* d = ui::Create<driver_dialogs::TFerrowickSetupDlg>(nullptr);
  d->DevicesListBox->Items().Add("Boiler");
  d->DevicesListBox->Items().Add("Mixer");
  d->DevicesListBox->SetItemIndex(0);
  d->DeviceNameEdit->SetText("Boiler");
  d->DescriptionMemo->SetMemoText("Котельная, линия 1"_cp);
  d->OPCServerNameEdit->SetText("Ferrowick.Sim.Boiler");
  d->InterfaceComboBox->SetItemIndex(1);
  d->LogAddressSpinEdit->SetValue(1);
  d->PricisionSpinEdit->SetValue(2);
  d->EDDComboBox->Items().Add("Boiler");
  d->EDDComboBox->Items().Add("Mixer");
  d->EDDComboBox->SetItemIndex(0);
  d->VarLinkControlEdit->SetText("BOILER_LINK");
  d->CommandCtrlTagNameEdit->SetText("BOILER_CMD");
  d->PageControl->SetActivePageIndex(page);
  d->SettingPageControl->SetActivePageIndex(settingPage);
  return d;
}

const bool kRegistered = [] {
  using screenshots::RegisterPage;
  RegisterPage("setup_dialog_devices", [] { return SampleSetupDialog(0, 0); });
  RegisterPage("setup_dialog_device_control", [] { return SampleSetupDialog(0, 1); });
  RegisterPage("setup_dialog_parameters", [] { return SampleSetupDialog(1, 0); });
  RegisterPage(
      "setup_dialog_hint",
      [] {
        auto* d = static_cast<driver_dialogs::TFerrowickSetupDlg*>(SampleSetupDialog(0, 0));
        ui::Application().HintPause = 0;
        d->Show();
        ui::THeadlessDriver::MoveTo(d->OPCServerNameEdit);
        return d;
      },
      true);
  return true;
}();

}  // namespace

// Screenshot page of the OPC server browser with two servers listed, the
// first selected. Its lines are put into the list after it is created, so
// the page does not depend on the servers registered on the machine.

#include "driver_dialogs/OPCServerList.h"
#include "tests/platform/ui/screenshots/Pages.h"

namespace {

namespace ui = platform::ui;

ui::TCustomForm* SampleBrowser() {
  auto* b = ui::Create<driver_dialogs::TOPCServerBrowser>(nullptr);
  b->OPCServersListBox->Items().Clear();
  b->OPCServersListBox->Items().Add("Demo.Boiler");
  b->OPCServersListBox->Items().Add("Demo.Mixer");
  b->OPCServersListBox->SetItemIndex(0);
  b->OkBitBtn->SetEnabled(true);
  return b;
}

const bool kRegistered = screenshots::RegisterPage("opc_server_browser", [] { return SampleBrowser(); });

}  // namespace

#pragma once
// TOPCServerBrowser: the modal form that lists the OPC servers of this
// machine, from the registry or, with its check box cleared, from the OPC
// server list object's data access category, and answers the ProgID the
// user picks. The setup dialog opens it from its browse button. GUI thread
// (an apartment, or the category scan makes it one for its run).

#include "driver/Dialogs.h"
#include "platform/ui/CheckBox.h"
#include "platform/ui/Form.h"
#include "platform/ui/ListBox.h"
#include "platform/ui/Panels.h"
#include "skin/sCustomButton.h"

namespace driver_dialogs {

class TOPCServerBrowser : public platform::ui::TForm {
 public:
  // The form "OPCServerBrowser", filled from the registry as it is created.
  explicit TOPCServerBrowser(platform::ui::TComponent* owner);

  // Refills the list from the source the check box names; the first line
  // is selected and OK enabled when there is one, OK disabled otherwise.
  // The screen cursor shows the hourglass meanwhile and is restored on
  // every way out.
  void FillServerList();

  platform::ui::TGroupBox* ServerListGroupBox;
  platform::ui::TListBox* OPCServersListBox;
  platform::ui::TCheckBox* UseRegistryCheckBox;
  skin::TsBitBtn* OkBitBtn;
  skin::TsBitBtn* CancelBitBtn;

 private:
  void OnCreateDialog();
  void UseRegistryCheckBoxClick();
  void OPCServersListBoxDblClick();
};

}  // namespace driver_dialogs

#pragma once
// TAboutDialog: the driver's about box, with the logo and the driver's
// name and version. Kernel's window thread.

#include "platform/ui/Buttons.h"
#include "platform/ui/Form.h"
#include "platform/ui/Label.h"
#include "platform/ui/Panels.h"

namespace driver_dialogs {

class TAboutDialog : public platform::ui::TForm {
 public:
  // Builds the box with the logo and the about text. Raises EResNotFound
  // when the binary lacks the dialog pictures.
  explicit TAboutDialog(platform::ui::TComponent* owner);

  platform::ui::TPanel* LogoPanel;
  platform::ui::TImage* Image1;
  platform::ui::TPanel* MsgPanel;
  platform::ui::TLabel* MsgLabel;
  platform::ui::TBitBtn* OkBitBtn;

 private:
  void OnCreateDialog();
};

}  // namespace driver_dialogs

#pragma once
// TTerminalWindow: the driver state window. It shows the value lines the
// server writes for one chosen device (shared terminal 1) and the log of
// the last command (shared terminal 2), read every 500 ms, and the driver
// thread's current step. Choosing a device writes its position in the
// device list as terminal 1's owner id, which tells the server whose lines
// to write. Kernel's window thread only; the driver thread reaches the
// window through TerminalWindowHandle and WM_DRIVERSTATE.

#include "platform/ui/CheckBox.h"
#include "platform/ui/Edit.h"
#include "platform/ui/Form.h"
#include "platform/ui/Label.h"
#include "platform/ui/PageControl.h"
#include "platform/ui/Panels.h"
#include "platform/ui/Timer.h"
#include "platform/ui/ValueListEditor.h"
#include "skin/sCustomButton.h"

#include <cstdint>

namespace exchange {
class TIntercomInterface;
}

namespace driver_dialogs {

class TTerminalWindow : public platform::ui::TForm {
 public:
  // Builds the window. As it is created it becomes TerminalWindowHandle and
  // lists the driver's devices, the first one selected (terminal 1's owner
  // id 0) and the timer running; with no devices or no section the list
  // stays empty and disabled and the timer off. Destroying it sets
  // TerminalWindowHandle to 0.
  explicit TTerminalWindow(platform::ui::TComponent* owner);

  platform::ui::TLabel* DMLThreadStateLabel;
  skin::TsBitBtn* OkBitBtn;
  platform::ui::TPageControl* PageControl;
  platform::ui::TTabSheet* RequestsTabSheet;
  platform::ui::TTabSheet* CommandsTabSheet;
  platform::ui::TGroupBox* TerminalGroupBox;
  platform::ui::TMemo* TerminalMemo;
  platform::ui::TValueListEditor* OPCServerList;
  platform::ui::TGroupBox* CommandsGroupBox;
  platform::ui::TMemo* CommandsTerminalMemo;
  platform::ui::TCheckBox* TerminalDisabledCheckBox;
  platform::ui::TTimer* Timer;

 private:
  void OnCreateDialog();
  void FormDestroy();
  void WMDriverState();
  void OnUpdateByTimer();
  void OnLockTerminal();
  void OnSelectOPCServer(int row);
  // The section while the driver has devices and a section; null otherwise.
  static exchange::TIntercomInterface* Terminals();

  int32_t terminalCounter_ = -1;
  int32_t commandsCounter_ = -1;
};

}  // namespace driver_dialogs

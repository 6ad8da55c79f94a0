// Interim entry point until the form lands: no window opens, and the
// dialog counts as cancelled.

#include "driver/Dialogs.h"

namespace driver_dialogs {

void ShowTerminalWindow(HostWindowHandle) {}

}  // namespace driver_dialogs

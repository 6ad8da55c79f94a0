// Interim entry point until the form lands: no window opens, and the
// dialog counts as cancelled.

#include "driver/Dialogs.h"

namespace driver_dialogs {

bool ShowSetupDialog(HostWindowHandle) { return false; }

}  // namespace driver_dialogs

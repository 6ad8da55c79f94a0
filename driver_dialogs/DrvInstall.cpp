// Interim entry point until the form lands: no window opens, and the
// dialog counts as cancelled.

#include "driver/Dialogs.h"

namespace driver_dialogs {

bool InstallDriver(HostWindowHandle, const std::string&, const std::string&) { return false; }

}  // namespace driver_dialogs

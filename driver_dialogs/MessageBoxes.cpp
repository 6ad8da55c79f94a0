// Interim entry point until the form lands: no window opens, and the
// dialog counts as cancelled.

#include "driver/Dialogs.h"

namespace driver_dialogs {

int32_t ShowMessageBoxDialog(HostWindowHandle, std::string_view, std::string_view, bool, bool) { return mrBoxCancel; }

}  // namespace driver_dialogs

// Interim entry points until the dialog unit replaces this file: no window
// opens, and a dialog that asks the user counts as cancelled.

#include "driver/Dialogs.h"

namespace driver::dialogs {

bool RunSetupDialog(HostWindowHandle) { return false; }

void RunStateWindow(HostWindowHandle) {}

void RunAboutBox(HostWindowHandle) {}

bool RunInstallation(HostWindowHandle, const std::string&, const std::string&) { return false; }

void ShowMessageBoxDialog(HostWindowHandle, std::string_view, std::string_view, bool, bool) {}

}  // namespace driver::dialogs

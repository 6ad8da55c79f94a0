#pragma once
// Entry points of the driver's dialogs, defined in driver_dialogs/. Each
// shows its form modally on the calling thread (the kernel's window
// thread, a COM single-threaded apartment) with the given window as
// parent, and frees the form before it returns.

#include "driver/DrvTypes.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace driver_dialogs {

using driver::HostWindowHandle;

// Modal results the message box answers.
inline constexpr int32_t mrBoxOk = 1;
inline constexpr int32_t mrBoxCancel = 2;

// The device setup dialog; true when it closed with OK, after it copied
// the edited devices and global settings back into the driver's.
bool ShowSetupDialog(HostWindowHandle parent);

// The driver state window with its two terminal views.
void ShowTerminalWindow(HostWindowHandle parent);

// The about box.
void ShowAboutDialog(HostWindowHandle parent);

// Copies the installation set from sourceDir to targetDir (both ending in
// a path separator), showing the log dialog when something went wrong;
// false when the server program could not be installed.
bool InstallDriver(HostWindowHandle parent, const std::string& sourceDir, const std::string& targetDir);

// The driver's message box with one ("Да") or two ("Да", "Нет") buttons;
// answers mrBoxOk or mrBoxCancel.
int32_t ShowMessageBoxDialog(HostWindowHandle parent, std::string_view caption, std::string_view text, bool bold,
                             bool twoButtons);

// The OPC server browser; the ProgID picked with OK, "" otherwise.
std::string ShowOPCServerBrowser(HostWindowHandle parent);

}  // namespace driver_dialogs

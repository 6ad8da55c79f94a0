#pragma once
// Entry points of the driver's dialogs. Each runs modally on the calling
// (kernel's) thread with the given parent window.
//
// The dialog unit plugs in here: until it lands, Dialogs.cpp holds the
// interim behaviour of each entry point (no window; the dialog counts as
// cancelled), so that every export does its work up to the dialog call.

#include "driver/DrvTypes.h"

#include <string>
#include <string_view>

namespace driver::dialogs {

// Device setup; true when the user confirmed (the caller then saves the
// settings).
bool RunSetupDialog(HostWindowHandle parent);

// The driver state window with its terminal views.
void RunStateWindow(HostWindowHandle parent);

// The about box.
void RunAboutBox(HostWindowHandle parent);

// Copies the installation set from source to target with its log dialog;
// true on success.
bool RunInstallation(HostWindowHandle parent, const std::string& source, const std::string& target);

// The driver's message box (one or two buttons, bold or plain text).
void ShowMessageBoxDialog(HostWindowHandle parent, std::string_view caption, std::string_view text, bool bold,
                          bool twoButtons);

}  // namespace driver::dialogs

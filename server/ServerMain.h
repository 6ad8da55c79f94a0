#pragma once
// Start-up checks of the server program and the clean-up of its slot at
// exit. The program runs only when every check passes; every refusal ends
// it with exit code 0, without a window, and with one line on stderr that
// says why and how the driver starts the program.
//
// Main thread only (they set ServerIndex, IniFileName and Intercom).

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace server {

// Why the start-up checks let the program run or not.
enum class TStartupVerdict {
  Run,              // the section is open and the slot is free
  BadParameters,    // not exactly two parameters, or the slot is no index 0..31
  NoSettingsFile,   // no ".ini" beside the program
  NoSection,        // the driver's section could not be opened
  AlreadyRunning,   // a live server holds the slot
};

// The slot index of the command-line parameters (the program name not
// included): the first of exactly two parameters as an integer. -1 for
// another count, a text that is no number, or a value outside 0..31 (no
// slot would take it).
std::int32_t SlotFromParameters(const std::vector<std::string>& parameters);

// The settings file of a program: its own path with the extension ".ini".
std::string SettingsFileName(std::string_view programPath);

// True when the own slot already names a live server: its process id and
// window handle are both non-zero, the window lives and the process runs.
// False when the section is not open.
bool IsServerRunning();

// The checks before the window is made, in order: parameters (sets
// ServerIndex), settings file beside programPath (sets IniFileName), the
// section (opens Intercom), a live server in the slot. Answers Run with
// Intercom open; any other verdict leaves Intercom released and the section
// untouched.
TStartupVerdict CheckStartup(const std::vector<std::string>& parameters,
                             std::string_view programPath);

// Clears the own slot's process id, window handle and running flag while
// the section is open (the exit path after the message loop).
void ClearOwnSlot();

// The whole program: CheckStartup, then (only for Run) COM for the main
// thread, the application titled "Связь с OPC серверами...", the main
// window and its message loop until the window closes; afterwards, also
// when an exception left the run, the own slot is cleared while the
// section is still open and the module objects are released. Answers the
// exit code: 0, or 1 when an exception ended the run (its text goes to
// stderr). Main thread; once per process.
int ServerMain(const std::vector<std::string>& parameters, std::string_view programPath);

}  // namespace server

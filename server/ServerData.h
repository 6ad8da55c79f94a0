#pragma once
// Module-level state of the communication server. The main window creates
// these objects at start and frees them at its destruction in the order its
// start-up and shut-down sequences give; each reference is empty before and
// after. Everything here belongs to the main thread except ServerClosing,
// which the tick thread reads.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/os/StringList.h"

namespace common {
class TOPCDescriptionFile;
}
namespace exchange {
class TIntercomInterface;
}

namespace server {

class TBaseErrorClass;
class TDeviceList;
class TVariableIndex;

// Lines kept in a value terminal (RequestTerminal and a device window's
// terminal).
inline constexpr int kMaxTerminalLines = 100;

// The program's own path with the extension ".ini".
extern std::string IniFileName;
// The section opened at start; empty when it could not be opened.
extern std::unique_ptr<exchange::TIntercomInterface> Intercom;
// False from the start of the window's creation, true from the start of
// its destruction. Any thread.
extern std::atomic<bool> ServerClosing;
extern std::unique_ptr<TBaseErrorClass> ServerErrors;
// The tag description model, loaded from the program's path with ".edd".
extern std::unique_ptr<common::TOPCDescriptionFile> DescriptionFile;
// The devices of the settings file.
extern std::unique_ptr<TDeviceList> DeviceList;
// Index of the shared variable table; the one path for writing values.
extern std::unique_ptr<TVariableIndex> VariableIndex;
// Device number whose decoded values go to RequestTerminal; -1 for none.
extern std::int32_t SelectedDevice;
// Value lines of SelectedDevice, at most kMaxTerminalLines.
extern platform::os::TStringList RequestTerminal;
// Text of the last command execution.
extern std::string CommandsLog;

// "The section is open" means, everywhere in the server: Intercom exists
// and is attached (a detached owner has no block objects). Main thread.
bool SectionOpen();

}  // namespace server

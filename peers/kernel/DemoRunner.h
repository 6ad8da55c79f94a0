#pragma once
// halvorsten-host --demo: runs the bundled project (the folder "demo"
// beside the host program) for a number of seconds. It makes a temporary
// folder for the driver (module settings, description, a copy of the
// server program), the project and a registry of its own, registers the
// two simulated OPC servers there, and runs the driver with its own IPC
// namespace: a table row every second, one write request per device, then
// stop and done, checking that the server has ended and the section is
// gone. Everything it made is removed at the end, also after a failure.

#include "peers/kernel/HostOutput.h"

#include <string>

namespace kernel {

struct DemoSettings {
  std::string HostDir;     // the host program's folder, with a trailing "/"
  std::string ModulePath;  // the driver module to load
  int Seconds = 20;        // 5..3600
};

inline constexpr int kDemoMinSeconds = 5;
inline constexpr int kDemoMaxSeconds = 3600;

// Runs the demo. Must be called before the process makes any window or
// section (it sets the IPC namespace and the registry folder for itself
// and the processes it starts). Answers 0 when the values flowed, both
// writes reached their OPC servers with their command states back and the
// stop was clean; 1 when a check failed (said on standard output); 2 when
// the demo could not be set up (said on standard error). Once the host is
// interrupted (Interruption.h) the seconds end early and the demo stops as
// at its end, without the run's checks: 0 when the stop was clean, 1
// otherwise. Main thread.
int RunDemo(const DemoSettings& settings, HostOutput& out);

}  // namespace kernel

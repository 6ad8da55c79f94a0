// halvorsten-host: loads a driver module like the kernel does and runs a
// script against it.
//
//   halvorsten-host [--module PATH] [--interactive] SCRIPT   SCRIPT "-" reads standard input
//   halvorsten-host [--module PATH] --demo [SECONDS]
//   halvorsten-host --help
//
// A script ends with status 0, 1 when a "waitfor" timed out, 2 after a
// script error or a wrong usage; --help prints the usage and ends with 0.
// Ctrl-C and SIGTERM stop and end the driver first, then the host ends
// with 128 + the signal's number (Interruption.h).

#include "peers/kernel/DemoRunner.h"
#include "peers/kernel/HostSession.h"
#include "peers/kernel/Interruption.h"
#include "platform/os/Convert.h"
#include "platform/os/Files.h"
#include "platform/ui/Backend.h"

#include <cstdlib>
#include <iostream>
#include <memory>
#include <ostream>
#include <string>

namespace {

constexpr int kScriptError = 2;

void PrintUsage(std::ostream& to) {
  to << "usage: halvorsten-host [--module PATH] [--interactive] SCRIPT   (SCRIPT \"-\" reads standard input;\n"
        "       --interactive shows the driver's forms on $DISPLAY and waits for the person)\n"
        "       halvorsten-host [--module PATH] --demo [SECONDS]   ("
     << kernel::kDemoMinSeconds << ".." << kernel::kDemoMaxSeconds << ", default 20)\n"
     << "       halvorsten-host --help\n";
}

int Usage() {
  PrintUsage(std::cerr);
  return kScriptError;
}

// The display backend for --interactive; false (with a message) when there
// is none.
bool UseDisplay() {
  const char* display = std::getenv("DISPLAY");
  if (display == nullptr || *display == 0) {
    std::cerr << "halvorsten-host: --interactive needs DISPLAY\n";
    return false;
  }
  if (platform::ui::Backend().Name() != "x11") {
    std::cerr << "halvorsten-host: --interactive: display " << display << " cannot be opened; the script did not run\n";
    return false;
  }
  return true;
}

// Runs the script file, or standard input for "-"; the session's status,
// 2 when it could not start.
int RunScript(const std::string& module, const std::string& script, bool interactive, kernel::HostOutput& out) {
  try {
    std::unique_ptr<kernel::LineSource> source =
        script == "-" ? kernel::OpenStandardInput() : kernel::OpenScriptFile(script);
    kernel::HostSession session(module, out, interactive);
    return session.Run(*source);
  } catch (const std::exception& error) {
    std::cerr << "halvorsten-host: " << error.what() << std::endl;
    return kScriptError;
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::string module = platform::os::ExtractFilePath(platform::os::ProgramPath()) + "Ferrowick_V30.dlm";
  std::string script;
  int demoSeconds = 0;
  bool interactive = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help") {
      PrintUsage(std::cout);
      return 0;
    }
    if (arg == "--module" && i + 1 < argc) {
      module = argv[++i];
    } else if (arg == "--interactive" && !interactive && demoSeconds == 0 && script.empty()) {
      interactive = true;
    } else if (arg == "--demo" && demoSeconds == 0 && script.empty() && !interactive) {
      demoSeconds = 20;
      if (i + 1 < argc && !std::string(argv[i + 1]).starts_with("--")) {
        int seconds = 0;
        if (!platform::os::TryStrToInt(argv[++i], seconds) || seconds < kernel::kDemoMinSeconds ||
            seconds > kernel::kDemoMaxSeconds)
          return Usage();
        demoSeconds = seconds;
      }
    } else if (demoSeconds == 0 && script.empty() && (arg == "-" || !arg.starts_with("--"))) {
      script = arg;
    } else {
      return Usage();
    }
  }
  if (script.empty() && demoSeconds == 0) return Usage();

  // Unless a person answers them, nobody sees the kernel's forms: they are
  // answered, never shown. The processes the driver starts keep their own
  // choice.
  if (interactive) {
    if (!UseDisplay()) return kScriptError;
  } else {
    platform::ui::UseHeadlessBackend();
  }
  const kernel::InterruptGuard interrupts;
  kernel::HostOutput out;
  if (demoSeconds != 0) {
    const std::string hostDir = platform::os::ExtractFilePath(platform::os::ProgramPath());
    return kernel::ExitStatus(kernel::RunDemo({hostDir, module, demoSeconds}, out));
  }
  return kernel::ExitStatus(RunScript(module, script, interactive, out));
}

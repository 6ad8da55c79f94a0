// halvorsten-host: loads a driver module like the kernel does and runs a
// script against it.
//
//   halvorsten-host [--module PATH] SCRIPT      SCRIPT "-" reads standard input
//   halvorsten-host [--module PATH] --demo [SECONDS]

#include "peers/kernel/DemoRunner.h"
#include "peers/kernel/HostSession.h"
#include "platform/os/Convert.h"
#include "platform/os/Files.h"
#include "platform/ui/Backend.h"

#include <iostream>
#include <memory>
#include <string>

namespace {

constexpr int kScriptError = 2;

int Usage() {
  std::cerr << "usage: halvorsten-host [--module PATH] SCRIPT   (SCRIPT \"-\" reads standard input)\n"
               "       halvorsten-host [--module PATH] --demo [SECONDS]   ("
            << kernel::kDemoMinSeconds << ".." << kernel::kDemoMaxSeconds << ", default 20)\n";
  return kScriptError;
}

}  // namespace

int main(int argc, char** argv) {
  std::string module = platform::os::ExtractFilePath(platform::os::ProgramPath()) + "Ferrowick_V30.dlm";
  std::string script;
  int demoSeconds = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--module" && i + 1 < argc) {
      module = argv[++i];
    } else if (arg == "--demo" && demoSeconds == 0 && script.empty()) {
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

  // Nobody sees the kernel's forms: they are answered, never shown. The
  // processes the driver starts keep their own choice.
  platform::ui::UseHeadlessBackend();
  if (demoSeconds != 0) {
    kernel::HostOutput out;
    const std::string hostDir = platform::os::ExtractFilePath(platform::os::ProgramPath());
    return kernel::RunDemo({hostDir, module, demoSeconds}, out);
  }
  try {
    kernel::HostOutput out;
    std::unique_ptr<kernel::LineSource> source =
        script == "-" ? kernel::OpenStandardInput() : kernel::OpenScriptFile(script);
    kernel::HostSession session(module, out);
    return session.Run(*source);
  } catch (const std::exception& error) {
    std::cerr << "halvorsten-host: " << error.what() << std::endl;
    return kScriptError;
  }
}

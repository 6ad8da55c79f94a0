// halvorsten-host: loads a driver module like the kernel does and runs a
// script against it.
//
//   halvorsten-host [--module PATH] SCRIPT      SCRIPT "-" reads standard input

#include "peers/kernel/HostSession.h"
#include "platform/os/Files.h"
#include "platform/ui/Backend.h"

#include <iostream>
#include <memory>
#include <string>

namespace {

constexpr int kScriptError = 2;

int Usage() {
  std::cerr << "usage: halvorsten-host [--module PATH] SCRIPT   (SCRIPT \"-\" reads standard input)\n";
  return kScriptError;
}

}  // namespace

int main(int argc, char** argv) {
  std::string module = platform::os::ExtractFilePath(platform::os::ProgramPath()) + "Ferrowick_V30.dlm";
  std::string script;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--module" && i + 1 < argc) {
      module = argv[++i];
    } else if (script.empty() && (arg == "-" || !arg.starts_with("--"))) {
      script = arg;
    } else {
      return Usage();
    }
  }
  if (script.empty()) return Usage();

  // Nobody sees the kernel's forms: they are answered, never shown. The
  // processes the driver starts keep their own choice.
  platform::ui::UseHeadlessBackend();
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

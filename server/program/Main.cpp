// Entry of the communication server Ferrowick_V30.srv, started by the
// driver as: "<dir>/Ferrowick_V30.srv" "<slot>"  "<dir>/Ferrowick_V30.ini".

#include <string>
#include <vector>

#include "platform/os/Files.h"
#include "server/ServerMain.h"

int main(int argc, char** argv) {
  std::vector<std::string> parameters;
  for (int i = 1; i < argc; ++i) parameters.emplace_back(argv[i]);
  return server::ServerMain(parameters, platform::os::ProgramPath());
}

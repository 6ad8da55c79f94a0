#pragma once
// End-to-end tests run the real processes: halvorsten-host with the driver
// module, the server program it starts, and the simulated OPC servers the
// server loads. Each test has an IPC namespace, a registry folder and a
// driver folder of its own, and leaves no process, section or window table
// behind, also when it fails.

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tests/server/TempFolder.h"

namespace e2e {

using server_test::TempFolder;

std::string ReadFile(const std::string& path);

// The setting a test runs in: sets FERROWICK_IPC_NAMESPACE,
// FERROWICK_REGISTRY_DIR and LD_LIBRARY_PATH for this process and every
// process it starts; makes the driver folder with a copy of the server
// program; cleans up in the destructor (server processes killed: those
// remembered and those running a program from its folder; stale window
// table and sections of the namespace removed, environment restored).
class Plant {
 public:
  Plant();
  ~Plant();
  Plant(const Plant&) = delete;
  Plant& operator=(const Plant&) = delete;

  const std::string& Namespace() const { return namespace_; }
  std::string DriverDir() const { return folder_.Path() + "/driver"; }
  std::string ProjectDir() const { return folder_.Path() + "/project"; }
  const TempFolder& Folder() const { return folder_; }

  // Writes Ferrowick_V30.ini (general settings and one line per device)
  // and Ferrowick_V30.edd into the driver folder.
  void WriteDriverFiles(const std::string& general, const std::vector<std::string>& devices,
                        const std::string& description) const;
  // Registers a simulation with these items; opcsim-ctl's exit code.
  int Register(const std::string& progId, const std::string& items) const;
  // Runs opcsim-ctl; its exit code (-1 after 20 s, then killed).
  int Ctl(const std::vector<std::string>& args, std::string* output = nullptr) const;
  std::string Journal(const std::string& progId) const;

  // A server process this test caused; killed at the end when it still
  // runs and is a server program.
  void Remember(pid_t server);

  // The entries of /dev/shm of this namespace (sections, window table).
  std::vector<std::string> SharedMemoryLeft() const;
  bool SectionLeft() const;

 private:
  std::string namespace_;
  TempFolder folder_;
  std::vector<pid_t> servers_;
  std::vector<std::pair<std::string, std::optional<std::string>>> savedEnvironment_;
};

// A device settings line (ESC between the pairs).
std::string DeviceLine(const std::string& name, int address, const std::string& progId, const std::string& prefix,
                       const std::string& tagList, const std::string& link, const std::string& command);

// True while pid runs the server program (not ended, not a zombie).
bool IsServerProcess(pid_t pid);
// Waits at most timeoutMs until pid has ended (gone or a zombie: its files,
// and the locks on them, are released then); whether it has.
bool WaitEnded(pid_t pid, int timeoutMs = 20000);

// halvorsten-host reading its script from standard input, steered line by
// line. The destructor kills and reaps a host still running.
class Host {
 public:
  Host() = default;
  ~Host();
  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;

  // Starts the host with the environment of this process; false when it
  // could not be started. extraArgs replace the script argument "-".
  bool Start(const std::vector<std::string>& args = {"-"});
  pid_t Pid() const { return pid_; }
  // Sends one script line.
  void Send(const std::string& line);
  // Waits for the next output line (after those already matched) that
  // match accepts; nullopt after timeoutMs or when the output ended.
  std::optional<std::string> Expect(const std::function<bool(const std::string&)>& match, int timeoutMs = 20000);
  std::optional<std::string> ExpectPrefix(const std::string& prefix, int timeoutMs = 20000);
  // As Expect, but a line read before counts too (the cursor does not
  // move back).
  std::optional<std::string> Seen(const std::function<bool(const std::string&)>& match, int timeoutMs = 20000);
  // Sends "section" and answers the slot-0 server process id it shows
  // (0 for none or no section).
  pid_t ServerPid();
  // Closes standard input and waits for the exit; the exit status, or -1
  // when it did not end within timeoutMs (then killed).
  int Finish(int timeoutMs = 20000);
  void Kill();
  // Every line read so far, and standard error's text.
  const std::vector<std::string>& Lines() const { return lines_; }
  std::string Errors() const;

 private:
  bool ReadSome(int timeoutMs);

  pid_t pid_ = -1;
  int input_ = -1;
  int output_ = -1;
  std::string pending_;
  std::vector<std::string> lines_;
  size_t cursor_ = 0;
  TempFolder errors_;
};

// "value block=1 id=ID value=V ..." for id (and value when given).
std::function<bool(const std::string&)> ValueLine(int32_t id, std::optional<float> value = std::nullopt);

}  // namespace e2e

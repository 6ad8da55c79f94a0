#pragma once
// Support for the tests of the server program and its main window: one IPC
// namespace per test process (the window table a process joins lives as
// long as the process), the driver's side of the section, and the real
// Ferrowick_V30.srv started from a folder of its own.

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "exchange/OPCSharedMemory.h"
#include "tests/server/TempFolder.h"

namespace program_test {

// Section offsets of slot 0 (block 2 starts at 773).
inline constexpr std::size_t kSlotPid = 1029;
inline constexpr std::size_t kSlotWindow = 1033;
inline constexpr std::size_t kSlotHeartbeat = 1029 + 264;
inline constexpr std::size_t kSlotRunning = 1297;
inline constexpr std::size_t kSlotSize = 269;

// Sets FERROWICK_IPC_NAMESPACE for the whole test process; call first in
// main.
void UseProcessNamespace(const std::string& prefix);
// Fails the test when a section of the process's namespace other than the
// window table is left in /dev/shm.
void ExpectNoSectionLeft();

using server_test::TempFolder;

// The driver's section with count variables (V1.., ids from 1), created in
// this process.
std::unique_ptr<exchange::TIntercomInterface> CreateDriverSection(std::int32_t count = 0);

// 32-bit little-endian field of a section.
std::int32_t ReadI32(const exchange::TIntercomInterface& section, std::size_t offset);
void WriteI32(exchange::TIntercomInterface& section, std::size_t offset, std::int32_t value);

// Every (code, text) of the server error list, without emptying it.
std::vector<std::pair<std::int32_t, std::string>> ErrorEntries(exchange::TIntercomInterface& section);

// A settings file line for Device_n (ESC between pairs).
std::string DeviceLine(const std::string& name, const std::string& opcServer, bool enabled);
// A device line with its tag list, address and control variables (names
// may be empty).
std::string OpcDeviceLine(const std::string& name, const std::string& opcServer, std::int32_t address,
                          const std::string& tagList, const std::string& link, const std::string& command);

// A kernel variable of the driver's table; Routing is the host record's
// routing string ("OPC:DEVICE=1;ADDRESS=2").
struct SectionVariable {
  std::int32_t Id = 0;
  std::string Name;
  std::string Routing;
  float Value = 0.0f;
};
// The driver's section holding exactly these variables and the dynamic
// (control) variables of these names (value 5.0), created in this process.
std::unique_ptr<exchange::TIntercomInterface> CreateDriverSection(const std::vector<SectionVariable>& variables,
                                                                  const std::vector<std::string>& dynamics);
// Current value of variable i of the table (NaN when there is none).
float SharedValue(const exchange::TIntercomInterface& section, std::int32_t i);
// Value of the dynamic variable of that name (NaN when there is none).
float DynamicValue(const exchange::TIntercomInterface& section, const std::string& name);

// Points this process's FERROWICK_REGISTRY_DIR (and so every opcsim-ctl
// run and COM activation of this process) at folder/registry while alive.
// The server program started from the same folder uses the same registry.
class ScopedRegistry {
 public:
  explicit ScopedRegistry(const TempFolder& folder);
  ~ScopedRegistry();
  ScopedRegistry(const ScopedRegistry&) = delete;
  ScopedRegistry& operator=(const ScopedRegistry&) = delete;
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

// Runs opcsim-ctl with args; its exit code (-1 when it did not run or
// hung). Its output goes to *out.
int Ctl(const std::vector<std::string>& args, std::string* out = nullptr);
// Registers the simulation progId with these items (CP1251 lines) and
// vendor text (UTF-8); false when opcsim-ctl refused.
bool RegisterSimulation(const TempFolder& folder, const std::string& progId, const std::string& items,
                        const std::string& vendor);
// The simulation's journal (UTF-8).
std::string Journal(const std::string& progId);

// The real server program, run from its own copy in a folder: the program
// file is copied there, so its .ini, .edd and .ico are the folder's.
class ServerProgram {
 public:
  explicit ServerProgram(const TempFolder& folder);
  ~ServerProgram();  // kills and reaps a program still running
  ServerProgram(const ServerProgram&) = delete;
  ServerProgram& operator=(const ServerProgram&) = delete;

  const std::string& Path() const { return path_; }
  // Extra environment of the next Start.
  std::map<std::string, std::string> Environment;
  // When not empty, the next Start sends standard error to this file.
  std::string ErrorFile;
  // Starts the program with these parameters; false when it could not be
  // started.
  bool Start(const std::vector<std::string>& parameters);
  pid_t Pid() const { return pid_; }
  // Exit code, or -1 when it did not end within timeoutMs.
  int Wait(int timeoutMs = 20000);
  void Kill();

 private:
  std::string path_;
  std::string registry_;
  pid_t pid_ = -1;
};

// Polls condition every 10 ms until it holds or timeoutMs passed.
bool WaitUntil(const std::function<bool()>& condition, int timeoutMs);

}  // namespace program_test

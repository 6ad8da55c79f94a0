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

// A temporary folder, removed with its content.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::string& Path() const { return path_; }
  std::string Write(const std::string& name, const std::string& bytes) const;
  std::string Read(const std::string& name) const;

 private:
  std::string path_;
};

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

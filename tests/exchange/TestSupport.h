#pragma once
// Support for the section tests: a unique IPC namespace per test, and a
// helper process that is this test program re-executed in a helper mode.

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

namespace exchange_test {

// Sets a unique FERROWICK_IPC_NAMESPACE while alive; on destruction
// restores the environment and fails the test when a section of the
// namespace was left in /dev/shm.
class ScopedNamespace {
 public:
  ScopedNamespace();
  ~ScopedNamespace();
  ScopedNamespace(const ScopedNamespace&) = delete;
  ScopedNamespace& operator=(const ScopedNamespace&) = delete;
  const std::string& Name() const { return name_; }
  // Entries of /dev/shm that belong to the namespace.
  std::vector<std::string> Leftovers() const;

 private:
  std::string name_;
};

// This program started as "--exchange-helper MODE ARGS...", with pipes on
// its standard input and output. Killed and reaped on destruction.
class HelperProcess {
 public:
  explicit HelperProcess(const std::vector<std::string>& args);
  ~HelperProcess();
  HelperProcess(const HelperProcess&) = delete;
  HelperProcess& operator=(const HelperProcess&) = delete;

  bool Started() const { return pid_ > 0; }
  pid_t Pid() const { return pid_; }
  // One line of the helper's output without its newline; nullopt after
  // timeoutMs or at end of output.
  std::optional<std::string> ReadLine(int timeoutMs = 20000);
  bool WriteLine(const std::string& line);
  // Closes the helper's standard input (its signal to finish).
  void CloseInput();
  void Kill();
  // Exit status, or -1 when it did not end within timeoutMs (or was killed).
  int Wait(int timeoutMs = 20000);

 private:
  pid_t pid_ = -1;
  int toChild_ = -1;
  int fromChild_ = -1;
  std::string buffer_;
};

// Runs a helper mode; the exit status of the helper process.
int RunHelper(int argc, char** argv);

}  // namespace exchange_test

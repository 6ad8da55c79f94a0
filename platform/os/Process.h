#pragma once
// Processes: starting a program from a Windows-style command line, and
// asking whether a process still runs.
//
// A started program is detached: its own session, standard streams on
// /dev/null, no other inherited descriptor, default signal handling, the
// caller's environment and working directory. It is never left a zombie of
// the caller: a reaper thread of this library waits for each child through
// its pidfd, so the caller needs no SIGCHLD handler and never waits itself.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform::os {

// A process as it was when seen: pid plus its start time, so that a pid that
// the system has since given to another process is never taken for it.
struct ProcessIdentity {
  uint32_t Pid = 0;
  uint64_t StartTime = 0;  // clock ticks since boot, 0 = unknown
};

// The calling process's id. Any thread.
uint32_t GetCurrentProcessId();

// The start time of a process that exists and is neither a zombie nor dead
// (field 22 of /proc/<pid>/stat); 0 when there is no such process. Any
// thread.
uint64_t ProcessStartTime(uint32_t pid);

// True while pid names a process that runs (not exited, not a zombie).
// Any thread.
bool IsProcessAlive(uint32_t pid);

// As above, and the process must still be the one that started at
// identity.StartTime: a reused pid answers false. The first answer true
// keeps a pidfd of the process (up to kMaxWatchedProcesses of them), and
// later questions about it are one zero-timeout poll; where no pidfd can
// be had, each question reads /proc/<pid>/stat. Any thread.
bool IsProcessAlive(const ProcessIdentity& identity);

// Processes whose pidfd IsProcessAlive keeps at most; further ones are
// asked through /proc each time.
inline constexpr size_t kMaxWatchedProcesses = 64;

// Number of processes IsProcessAlive now keeps a pidfd of (for tests).
// Any thread.
size_t WatchedProcessCount();

// Lets IsProcessAlive keep pidfds (the default) or not, dropping the kept
// ones (for tests of the /proc answer). Any thread.
void WatchProcessesByPidFd(bool use);

// Splits a command line into arguments by the Windows rules: blanks and
// tabs separate; "..." groups (a "" inside quotes is one literal quote);
// 2n backslashes before a quote give n backslashes and the quote acts,
// 2n+1 give n backslashes and a literal quote; other backslashes are
// literal. The program name (first argument) ends at its closing quote or
// first blank and takes no backslash escapes. Any thread.
std::vector<std::string> SplitCommandLine(std::string_view commandLine);

// Starts the program of commandLine (split by SplitCommandLine; a "\" in
// the program path becomes "/"; a name without "/" is looked up in PATH).
// Answers false, with nothing started, for an empty command line or a
// program that cannot be executed; on success fills *started when given.
// Any thread.
bool CreateProcess(std::string_view commandLine, ProcessIdentity* started = nullptr);

// Number of started children not yet reaped (for tests). Any thread.
int PendingChildCount();

}  // namespace platform::os

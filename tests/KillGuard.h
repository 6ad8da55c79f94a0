#pragma once
// Signals only a process a test has checked. kill() with a pid of 0 or
// below reaches the caller's whole process group (ctest and the tests
// beside it) or every process of the user, and a pid not checked may have
// passed to another process.

#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>

#include <functional>

namespace kill_guard {

// Sends sig to pid when pid names one process (> 0) and isIt(pid) confirms
// it is the process meant; whether the signal was sent.
inline bool SignalIf(pid_t pid, int sig, const std::function<bool(pid_t)>& isIt) {
  return pid > 0 && isIt(pid) && ::kill(pid, sig) == 0;
}

inline bool KillIf(pid_t pid, const std::function<bool(pid_t)>& isIt) { return SignalIf(pid, SIGKILL, isIt); }

// Whether pid is a child of this process not reaped yet (running or a
// zombie): until it is reaped, its pid cannot name another process.
inline bool IsOwnChild(pid_t pid) {
  siginfo_t info{};
  return pid > 0 && ::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0;
}

// SIGKILL to a child of this process not reaped yet; whether it was sent.
inline bool KillChild(pid_t pid) { return KillIf(pid, IsOwnChild); }

}  // namespace kill_guard

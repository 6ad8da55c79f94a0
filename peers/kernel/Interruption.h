#pragma once
// Ctrl-C (SIGINT) and SIGTERM end halvorsten-host through the driver's stop
// and done, never at once. The handler only records the first signal (a
// lock-free atomic, async-signal-safe); every wait of the host looks at
// Interrupted() at least every few milliseconds and unwinds, the session
// stops and ends the driver, and the host exits with 128 + the signal's
// number. The handler of a signal is reset when it arrives: the same signal
// again ends the process at once.

#include <csignal>
#include <cstdint>
#include <functional>

namespace kernel {

// Installs the handlers of SIGINT and SIGTERM for its life and restores the
// previous ones after. One at a time; main thread.
class InterruptGuard {
 public:
  InterruptGuard();
  ~InterruptGuard();
  InterruptGuard(const InterruptGuard&) = delete;
  InterruptGuard& operator=(const InterruptGuard&) = delete;

 private:
  struct sigaction oldInt_ {};
  struct sigaction oldTerm_ {};
};

// Whether SIGINT or SIGTERM arrived. Any thread.
bool Interrupted();

// 128 + the number of the signal that interrupted the host; status when
// none did.
int ExitStatus(int status);

// Handles the calling thread's messages until condition() holds, the host
// is interrupted or timeoutMs has passed; answers whether condition() held.
bool PumpUntil(const std::function<bool()>& condition, uint32_t timeoutMs);

}  // namespace kernel

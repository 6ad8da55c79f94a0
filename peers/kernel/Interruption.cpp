#include "peers/kernel/Interruption.h"

#include "platform/win/MessageLoop.h"

#include <atomic>

namespace kernel {

namespace {

// Only lock-free atomics may be touched by a signal handler.
static_assert(std::atomic<int>::is_always_lock_free);
std::atomic<int> g_signal{0};

void OnSignal(int signal) {
  int none = 0;
  g_signal.compare_exchange_strong(none, signal);
}

}  // namespace

InterruptGuard::InterruptGuard() {
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  // Blocking calls that can be restarted go on after the signal; the
  // host's own waits look at the flag.
  action.sa_flags = SA_RESTART | SA_RESETHAND;
  ::sigaction(SIGINT, &action, &oldInt_);
  ::sigaction(SIGTERM, &action, &oldTerm_);
}

InterruptGuard::~InterruptGuard() {
  ::sigaction(SIGINT, &oldInt_, nullptr);
  ::sigaction(SIGTERM, &oldTerm_, nullptr);
}

bool Interrupted() { return g_signal.load() != 0; }

int ExitStatus(int status) {
  const int signal = g_signal.load();
  return signal != 0 ? 128 + signal : status;
}

bool PumpUntil(const std::function<bool()>& condition, uint32_t timeoutMs) {
  bool held = false;
  platform::win::WaitPumping(
      [&] {
        held = condition();
        return held || Interrupted();
      },
      timeoutMs);
  return held;
}

}  // namespace kernel

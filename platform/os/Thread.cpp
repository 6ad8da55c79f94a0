#include "platform/os/Thread.h"

#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <system_error>

namespace platform::os {

namespace {

// Nice values per priority. Linux applies setpriority() with a thread id to
// that thread alone. Raising above the current level needs privileges that
// an ordinary process lacks; then the thread keeps its level.
int NiceOf(TThreadPriority priority) {
  switch (priority) {
    case TThreadPriority::tpIdle: return 19;
    case TThreadPriority::tpLowest: return 10;
    case TThreadPriority::tpLower: return 5;
    case TThreadPriority::tpNormal: return 0;
    case TThreadPriority::tpHigher: return -5;
    case TThreadPriority::tpHighest: return -10;
    case TThreadPriority::tpTimeCritical: return -20;
  }
  return 0;
}

int CurrentTid() { return static_cast<int>(::syscall(SYS_gettid)); }

std::atomic<int> gFailedStarts{0};

// Consumes one failure asked for by FailThreadStarts.
bool StartFailsOnRequest() {
  int left = gFailedStarts.load();
  while (left > 0 && !gFailedStarts.compare_exchange_weak(left, left - 1)) {
  }
  return left > 0;
}

}  // namespace

void FailThreadStarts(int count) { gFailedStarts.store(count); }

TThread::TThread() = default;

TThread::~TThread() {
  // Here the derived part is gone already; a body still running would use
  // it. Such a thread had to be ended by MakeThread's wrapper or Shutdown().
  std::unique_lock lock(mutex_);
  if (started_ && !finished_) {
    std::fprintf(stderr, "TThread: destroyed while running without Shutdown; aborting\n");
    std::abort();
  }
  lock.unlock();
  if (thread_.joinable()) thread_.join();
}

bool TThread::Start() {
  std::lock_guard lock(mutex_);
  if (started_ || StartFailsOnRequest()) return false;
  try {
    thread_ = std::thread([this] { Run(); });
  } catch (const std::system_error&) {  // no thread could be created
    return false;
  }
  started_ = true;
  return true;
}

void TThread::Run() {
  tid_.store(CurrentTid());
  if (priority_.load() != TThreadPriority::tpNormal) ApplyPriority(priority_.load());
  std::exception_ptr fatal;
  std::string message;
  try {
    Execute();
  } catch (const std::exception& e) {
    fatal = std::current_exception();
    message = e.what();
  } catch (...) {
    fatal = std::current_exception();
    message = "unknown exception";
  }
  tid_.store(0);
  std::lock_guard lock(mutex_);
  fatal_ = fatal;
  fatalMessage_ = std::move(message);
  finished_ = true;
  finishedChanged_.notify_all();
}

bool TThread::WaitFor(uint32_t timeoutMs) {
  std::unique_lock lock(mutex_);
  if (!started_) return true;
  if (thread_.get_id() == std::this_thread::get_id()) return false;
  return finishedChanged_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                   [this] { return finished_; });
}

bool TThread::Running() const {
  std::lock_guard lock(mutex_);
  return started_ && !finished_;
}

bool TThread::SetPriority(TThreadPriority priority) {
  priority_.store(priority);
  if (tid_.load() == 0) return true;  // applied when the thread starts
  return ApplyPriority(priority);
}

bool TThread::ApplyPriority(TThreadPriority priority) {
  const int tid = tid_.load();
  if (tid == 0) return false;
  const bool idle = priority == TThreadPriority::tpIdle;
  sched_param param{};
  // SCHED_IDLE may always be entered; leaving it for SCHED_OTHER is allowed
  // within the process's nice limit.
  const bool policySet =
      ::sched_setscheduler(tid, idle ? SCHED_IDLE : SCHED_OTHER, &param) == 0;
  const bool niceSet = ::setpriority(PRIO_PROCESS, static_cast<id_t>(tid), NiceOf(priority)) == 0;
  return policySet && niceSet;
}

std::exception_ptr TThread::FatalException() const {
  std::lock_guard lock(mutex_);
  return fatal_;
}

std::string TThread::FatalExceptionMessage() const {
  std::lock_guard lock(mutex_);
  return fatalMessage_;
}

void TThread::Shutdown() {
  Terminate();
  std::thread::id id;
  {
    std::lock_guard lock(mutex_);
    if (!thread_.joinable()) return;
    id = thread_.get_id();
  }
  if (id == std::this_thread::get_id()) {
    // The body would go on running on a destroyed object.
    std::fprintf(stderr, "TThread: destroyed from its own body; aborting\n");
    std::abort();
  }
  if (!WaitFor(kDestroyWaitMs)) {
    std::fprintf(stderr, "TThread: body ignored Terminate for %u ms; aborting\n",
                 static_cast<unsigned>(kDestroyWaitMs));
    std::abort();
  }
  thread_.join();
}

}  // namespace platform::os

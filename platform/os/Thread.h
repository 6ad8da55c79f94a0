#pragma once
// A worker thread with the system's familiar shape: derive, override
// Execute, Start; the body polls Terminated() and returns when asked.
//
// An exception that leaves Execute is caught and kept (FatalException);
// it never ends the process.
//
// Destruction: no thread outlives its object. The thread must be ended
// before the derived part is destroyed, because Execute belongs to it: make
// thread objects with MakeThread<T>(...), whose wrapper terminates and waits
// in its destructor, or call Shutdown() in the derived destructor. The base
// destructor only joins a finished body; finding one still running, it
// aborts the process with a message (the derived part is already gone).
// Shutdown waits at most kDestroyWaitMs: a body that ignores Terminated()
// that long is a programming fault and aborts the process likewise, rather
// than leaving a thread running on freed memory.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

namespace platform::os {

enum class TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

class TThread {
 public:
  static constexpr uint32_t kDestroyWaitMs = 60000;

  TThread();
  virtual ~TThread();
  TThread(const TThread&) = delete;
  TThread& operator=(const TThread&) = delete;

  // Starts the body on a new thread. Only the first successful call starts
  // it; later calls (running or finished) answer false and change nothing.
  // False also when the system cannot create a thread (Start may then be
  // tried again). Any thread.
  bool Start();

  // Asks the body to end: Terminated() becomes true. Any thread.
  void Terminate() { terminated_.store(true); }
  bool Terminated() const { return terminated_.load(); }

  // Waits until the body has returned, at most timeoutMs. True when it has
  // (or never started); false on time-out, and at once when called from the
  // thread itself. Any thread.
  bool WaitFor(uint32_t timeoutMs);

  // True while the body is running.
  bool Running() const;

  // Applies the priority as far as the machine allows: answers false (and
  // keeps the thread running as it was) when it is not permitted. Before
  // Start the priority is kept and applied when the thread starts. Any
  // thread.
  bool SetPriority(TThreadPriority priority);
  TThreadPriority Priority() const { return priority_.load(); }

  // The exception that left Execute, or null. Valid after WaitFor answered
  // true; FatalExceptionMessage is its what() ("" when none).
  std::exception_ptr FatalException() const;
  std::string FatalExceptionMessage() const;

 protected:
  // The body; runs on the new thread.
  virtual void Execute() = 0;

  // Terminate and wait (bounded, see above), then release the thread. Call
  // from a derived destructor whose members Execute uses. Never from the
  // thread itself: an object destroyed by its own body aborts the process.
  void Shutdown();

 private:
  void Run();
  bool ApplyPriority(TThreadPriority priority);

  std::atomic<bool> terminated_{false};
  std::atomic<TThreadPriority> priority_{TThreadPriority::tpNormal};
  std::atomic<int> tid_{0};  // kernel thread id while running, else 0

  mutable std::mutex mutex_;
  std::condition_variable finishedChanged_;
  bool started_ = false;
  bool finished_ = false;
  std::exception_ptr fatal_;
  std::string fatalMessage_;
  std::thread thread_;
};

// Makes the next `count` calls of TThread::Start in this process fail as
// when the system has no thread to give (tests of that path). Any thread.
void FailThreadStarts(int count);

// T's final form: ends the thread before T's members are destroyed.
template <class T>
class OwnedThread final : public T {
 public:
  using T::T;
  ~OwnedThread() override { this->Shutdown(); }
};

// Creates a thread object of class T (not started) that is safe to destroy
// while running.
template <class T, class... Args>
std::unique_ptr<T> MakeThread(Args&&... args) {
  return std::make_unique<OwnedThread<T>>(std::forward<Args>(args)...);
}

}  // namespace platform::os

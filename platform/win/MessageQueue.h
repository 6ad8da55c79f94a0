#pragma once
// The message queue of one thread: posted messages (FIFO, bounded), sent
// messages waiting for the owner thread, timers and the quit request. Other
// threads add to it; only the owner thread takes from it and waits on it.

#include "platform/win/Messages.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

namespace platform::win {

class MessageQueue;

// A SendMessage between threads: the sender waits (handling its own sent
// messages) until the owner thread sets Done.
struct SentMessage {
  HWND Hwnd = 0;
  UINT Message = 0;
  WPARAM WParam = 0;
  LPARAM LParam = 0;
  std::shared_ptr<MessageQueue> Sender;
  std::atomic<bool> Taken{false};  // the owner thread has started handling it
  std::atomic<bool> Done{false};
  LRESULT Result = 0;  // valid once Done

  // Stores the result and wakes the sender. Owner thread of the target.
  void Complete(LRESULT result);
};

class MessageQueue {
 public:
  // A queue holding this many posted messages refuses further posts.
  static constexpr size_t kMaxPosted = 65536;
  // Timers fire no faster than this.
  static constexpr uint32_t kMinTimerInterval = 10;

  // Creates the wake-up descriptor of thread threadId. Valid() is false
  // when none could be had.
  explicit MessageQueue(uint32_t threadId);
  ~MessageQueue();
  MessageQueue(const MessageQueue&) = delete;
  MessageQueue& operator=(const MessageQueue&) = delete;

  bool Valid() const { return wakeFd_ >= 0; }
  uint32_t ThreadId() const { return threadId_; }

  // Any thread. False when the queue is closed or full.
  bool Post(const MSG& message);
  // Any thread. False when the queue is closed.
  bool PushSent(std::shared_ptr<SentMessage> message);
  // Any thread: ends the owner's current or next Wait.
  void Wake();
  // Any thread. A timer of that (window, id) is replaced. False when closed.
  bool SetTimer(HWND hwnd, uintptr_t id, uint32_t intervalMs);
  // Any thread. Also drops its queued WM_TIMER. False when there is none.
  bool KillTimer(HWND hwnd, uintptr_t id);
  // Any thread: drops every timer and queued message of the window.
  void ForgetWindow(HWND hwnd);

  // Owner thread: the oldest sent message not yet handled, or null.
  std::shared_ptr<SentMessage> TakeSent();
  // Owner thread: the oldest posted message of the window (0 = any) whose
  // number lies in [min, max] (both 0 = any), due timers included. A
  // pending quit request is answered as WM_QUIT when nothing else matches.
  // remove false leaves it queued.
  bool TakePosted(MSG& out, HWND hwnd, UINT min, UINT max, bool remove);
  // Owner thread: number of posted messages now queued, due timers included.
  size_t PostedCount();
  // Owner thread: true while a quit request waits.
  bool QuitPending();
  // Owner thread: asks the loop to end with that exit code.
  void PostQuit(int exitCode);
  // Owner thread: blocks until woken, a timer falls due, the extra
  // descriptor becomes readable, or maxMs passed.
  void Wait(uint32_t maxMs);
  // Owner thread: a further descriptor Wait watches (a display
  // connection); -1 for none.
  void SetExtraFd(int fd) { extraFd_ = fd; }
  // Owner thread: refuses everything from now on and hands back the sent
  // messages still waiting, for the caller to answer 0.
  std::vector<std::shared_ptr<SentMessage>> Close();

 private:
  struct Timer {
    HWND Hwnd;
    uintptr_t Id;
    uint32_t IntervalMs;
    std::chrono::steady_clock::time_point Due;
    bool Queued;  // its WM_TIMER waits in posted_
  };

  // With mutex_ held.
  void QueueDueTimers(std::chrono::steady_clock::time_point now);
  void TimerTaken(const MSG& message);

  const uint32_t threadId_;
  int wakeFd_ = -1;
  int extraFd_ = -1;  // owner thread only
  std::mutex mutex_;
  std::deque<MSG> posted_;
  std::deque<std::shared_ptr<SentMessage>> sent_;
  std::vector<Timer> timers_;
  bool closed_ = false;
  bool quit_ = false;
  int quitCode_ = 0;
};

// Milliseconds of the monotonic clock, truncated to 32 bits.
uint32_t MonotonicMs();

}  // namespace platform::win

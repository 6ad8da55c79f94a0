#include "platform/win/MessageQueue.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>

namespace platform::win {

using Clock = std::chrono::steady_clock;

uint32_t MonotonicMs() {
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch());
  return static_cast<uint32_t>(ms.count());
}

void SentMessage::Complete(LRESULT result) {
  Result = result;
  Done.store(true, std::memory_order_release);
  if (Sender) Sender->Wake();
}

MessageQueue::MessageQueue(uint32_t threadId) : threadId_(threadId) {
  wakeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

MessageQueue::~MessageQueue() {
  if (wakeFd_ >= 0) ::close(wakeFd_);
}

void MessageQueue::Wake() {
  const uint64_t one = 1;
  [[maybe_unused]] const ssize_t n = ::write(wakeFd_, &one, sizeof one);
}

bool MessageQueue::Post(const MSG& message) {
  {
    std::lock_guard lock(mutex_);
    if (closed_ || posted_.size() >= kMaxPosted) return false;
    posted_.push_back(message);
  }
  Wake();
  return true;
}

bool MessageQueue::PushSent(std::shared_ptr<SentMessage> message) {
  {
    std::lock_guard lock(mutex_);
    if (closed_) return false;
    sent_.push_back(std::move(message));
  }
  Wake();
  return true;
}

bool MessageQueue::SetTimer(HWND hwnd, uintptr_t id, uint32_t intervalMs) {
  intervalMs = std::clamp<uint32_t>(intervalMs, kMinTimerInterval, 0x7FFFFFFF);
  const Clock::time_point due = Clock::now() + std::chrono::milliseconds(intervalMs);
  {
    std::lock_guard lock(mutex_);
    if (closed_) return false;
    auto it = std::find_if(timers_.begin(), timers_.end(),
                           [&](const Timer& t) { return t.Hwnd == hwnd && t.Id == id; });
    if (it == timers_.end()) {
      timers_.push_back({hwnd, id, intervalMs, due, false});
    } else {
      it->IntervalMs = intervalMs;
      it->Due = due;
    }
  }
  Wake();  // the owner may be waiting for a later timer
  return true;
}

bool MessageQueue::KillTimer(HWND hwnd, uintptr_t id) {
  std::lock_guard lock(mutex_);
  auto it = std::find_if(timers_.begin(), timers_.end(),
                         [&](const Timer& t) { return t.Hwnd == hwnd && t.Id == id; });
  if (it == timers_.end()) return false;
  if (it->Queued) {
    std::erase_if(posted_, [&](const MSG& m) {
      return m.message == WM_TIMER && m.hwnd == hwnd && m.wParam == id;
    });
  }
  timers_.erase(it);
  return true;
}

void MessageQueue::ForgetWindow(HWND hwnd) {
  std::lock_guard lock(mutex_);
  std::erase_if(timers_, [&](const Timer& t) { return t.Hwnd == hwnd; });
  std::erase_if(posted_, [&](const MSG& m) { return m.hwnd == hwnd; });
}

std::shared_ptr<SentMessage> MessageQueue::TakeSent() {
  std::lock_guard lock(mutex_);
  if (sent_.empty()) return nullptr;
  std::shared_ptr<SentMessage> message = std::move(sent_.front());
  sent_.pop_front();
  return message;
}

void MessageQueue::QueueDueTimers(Clock::time_point now) {
  for (Timer& timer : timers_) {
    if (timer.Queued || timer.Due > now) continue;
    posted_.push_back({timer.Hwnd, WM_TIMER, timer.Id, 0, MonotonicMs()});
    timer.Queued = true;
    timer.Due = now + std::chrono::milliseconds(timer.IntervalMs);
  }
}

void MessageQueue::TimerTaken(const MSG& message) {
  for (Timer& timer : timers_) {
    if (timer.Hwnd == message.hwnd && timer.Id == message.wParam) timer.Queued = false;
  }
}

bool MessageQueue::TakePosted(MSG& out, HWND hwnd, UINT min, UINT max, bool remove) {
  std::lock_guard lock(mutex_);
  QueueDueTimers(Clock::now());
  const bool anyNumber = min == 0 && max == 0;
  const auto matches = [&](const MSG& m) {
    return (hwnd == 0 || m.hwnd == hwnd) && (anyNumber || (m.message >= min && m.message <= max));
  };
  auto it = std::find_if(posted_.begin(), posted_.end(), matches);
  if (it == posted_.end()) {
    if (!quit_) return false;
    out = {0, WM_QUIT, static_cast<WPARAM>(quitCode_), 0, MonotonicMs()};
    if (remove) quit_ = false;
    return true;
  }
  out = *it;
  if (remove) {
    posted_.erase(it);
    if (out.message == WM_TIMER) TimerTaken(out);
  }
  return true;
}

size_t MessageQueue::PostedCount() {
  std::lock_guard lock(mutex_);
  QueueDueTimers(Clock::now());
  return posted_.size();
}

bool MessageQueue::QuitPending() {
  std::lock_guard lock(mutex_);
  return quit_;
}

void MessageQueue::PostQuit(int exitCode) {
  std::lock_guard lock(mutex_);
  quit_ = true;
  quitCode_ = exitCode;
}

void MessageQueue::Wait(uint32_t maxMs) {
  int timeout = static_cast<int>(std::min<uint32_t>(maxMs, 0x7FFFFFFF));
  {
    std::lock_guard lock(mutex_);
    const Clock::time_point now = Clock::now();
    for (const Timer& timer : timers_) {
      if (timer.Queued) continue;
      const auto left =
          std::chrono::ceil<std::chrono::milliseconds>(timer.Due - now).count();
      timeout = std::min<int>(timeout, static_cast<int>(std::max<int64_t>(left, 0)));
    }
  }
  pollfd fds[2] = {{wakeFd_, POLLIN, 0}, {extraFd_, POLLIN, 0}};
  ::poll(fds, extraFd_ >= 0 ? 2 : 1, timeout);
  uint64_t count = 0;
  [[maybe_unused]] const ssize_t n = ::read(wakeFd_, &count, sizeof count);
}

std::vector<std::shared_ptr<SentMessage>> MessageQueue::Close() {
  std::lock_guard lock(mutex_);
  closed_ = true;
  posted_.clear();
  timers_.clear();
  std::vector<std::shared_ptr<SentMessage>> pending(sent_.begin(), sent_.end());
  sent_.clear();
  return pending;
}

}  // namespace platform::win

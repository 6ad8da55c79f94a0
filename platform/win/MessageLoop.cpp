#include "platform/win/MessageLoop.h"

#include "platform/win/WindowRegistry.h"

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

namespace platform::win {
namespace {

// The senders of the sent messages the calling thread is handling,
// innermost last.
thread_local std::vector<uint32_t> tHandledSenders;

// Keeps the sender listed while its message is handled.
class HandlingSent {
 public:
  explicit HandlingSent(const SentMessage& sent) {
    tHandledSenders.push_back(sent.Sender ? sent.Sender->ThreadId() : 0);
  }
  ~HandlingSent() { tHandledSenders.pop_back(); }
  HandlingSent(const HandlingSent&) = delete;
  HandlingSent& operator=(const HandlingSent&) = delete;
};

// Answers every message other threads have sent to the calling thread.
void HandleSentMessages(MessageQueue& queue) {
  WindowRegistry& registry = WindowRegistry::Instance();
  while (std::shared_ptr<SentMessage> sent = queue.TakeSent()) {
    sent->Taken.store(true, std::memory_order_release);
    std::shared_ptr<LocalWindow> window = registry.Find(sent->Hwnd);
    LRESULT result = 0;
    if (window && window->ThreadId == queue.ThreadId()) {
      const HandlingSent handling(*sent);
      result = CallWindowProcedure(*window, sent->Message, sent->WParam, sent->LParam);
    }
    sent->Complete(result);
  }
}

// Bound of one wait inside a blocking loop, so that lost owners are noticed.
constexpr uint32_t kWaitSliceMs = 50;

}  // namespace

uint32_t GetCurrentThreadId() { return WindowRegistry::CurrentThreadId(); }

bool InSendMessageFrom(uint32_t senderThreadId) {
  return std::find(tHandledSenders.begin(), tHandledSenders.end(), senderThreadId) != tHandledSenders.end();
}

bool PostMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  WindowRegistry& registry = WindowRegistry::Instance();
  if (std::shared_ptr<LocalWindow> window = registry.Find(hwnd)) {
    std::shared_ptr<MessageQueue> queue = window->Owner.lock();
    return queue && queue->Post({hwnd, message, wParam, lParam, MonotonicMs()});
  }
  WindowOwner owner;
  if (!registry.FindRemote(hwnd, owner)) return false;
  const WireMessage wire{hwnd, message, static_cast<int64_t>(wParam),
                         static_cast<int64_t>(lParam)};
  return SendToProcess(owner.Process.Pid, wire);
}

LRESULT SendMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  WindowRegistry& registry = WindowRegistry::Instance();
  std::shared_ptr<LocalWindow> window = registry.Find(hwnd);
  if (!window) return 0;
  if (window->ThreadId == WindowRegistry::CurrentThreadId()) {
    return CallWindowProcedure(*window, message, wParam, lParam);
  }
  std::shared_ptr<MessageQueue> target = window->Owner.lock();
  std::shared_ptr<MessageQueue> self = registry.CurrentQueue();
  if (!target || !self) return 0;
  auto sent = std::make_shared<SentMessage>();
  sent->Hwnd = hwnd;
  sent->Message = message;
  sent->WParam = wParam;
  sent->LParam = lParam;
  sent->Sender = self;
  if (!target->PushSent(sent)) return 0;
  window.reset();
  for (;;) {
    HandleSentMessages(*self);
    if (sent->Done.load(std::memory_order_acquire)) return sent->Result;
    // Destroyed before its thread took the message: it never will.
    if (!sent->Taken.load(std::memory_order_acquire) && !registry.Find(hwnd)) return 0;
    self->Wait(kWaitSliceMs);
  }
}

bool GetMessage(MSG& msg, HWND hwnd, UINT min, UINT max) {
  std::shared_ptr<MessageQueue> queue = WindowRegistry::Instance().CurrentQueue();
  if (!queue) {
    msg = {0, WM_QUIT, 0, 0, MonotonicMs()};
    return false;
  }
  for (;;) {
    HandleSentMessages(*queue);
    if (queue->TakePosted(msg, hwnd, min, max, true)) return msg.message != WM_QUIT;
    queue->Wait(kWaitSliceMs);
  }
}

bool PeekMessage(MSG& msg, HWND hwnd, UINT min, UINT max, UINT flags) {
  std::shared_ptr<MessageQueue> queue = WindowRegistry::Instance().CurrentQueue();
  if (!queue) return false;
  HandleSentMessages(*queue);
  return queue->TakePosted(msg, hwnd, min, max, (flags & PM_REMOVE) != 0);
}

LRESULT DispatchMessage(const MSG& msg) {
  std::shared_ptr<LocalWindow> window = WindowRegistry::Instance().Find(msg.hwnd);
  if (!window || window->ThreadId != WindowRegistry::CurrentThreadId()) return 0;
  return CallWindowProcedure(*window, msg.message, msg.wParam, msg.lParam);
}

namespace {
struct EventSource {
  std::function<void()> Pump;
  bool Pumping = false;
};
thread_local EventSource gEventSource;

void PumpEventSource() {
  EventSource& source = gEventSource;
  if (!source.Pump || source.Pumping) return;
  source.Pumping = true;
  try {
    source.Pump();
  } catch (...) {
    source.Pumping = false;
    throw;
  }
  source.Pumping = false;
}
}  // namespace

bool SetEventSource(int fd, std::function<void()> pump) {
  std::shared_ptr<MessageQueue> queue = WindowRegistry::Instance().CurrentQueue();
  if (!queue) return false;
  queue->SetExtraFd(pump ? fd : -1);
  gEventSource.Pump = std::move(pump);
  return true;
}

bool ProcessMessages() {
  std::shared_ptr<MessageQueue> queue = WindowRegistry::Instance().CurrentQueue();
  if (!queue) return true;
  PumpEventSource();
  HandleSentMessages(*queue);
  // Only what is pending now: a procedure that posts to itself cannot keep
  // the caller here.
  for (size_t budget = queue->PostedCount(); budget > 0; --budget) {
    MSG msg;
    if (!queue->TakePosted(msg, 0, 0, 0, true)) break;
    if (msg.message == WM_QUIT) {
      queue->PostQuit(static_cast<int>(msg.wParam));  // stays for the loop
      break;
    }
    DispatchMessage(msg);
    HandleSentMessages(*queue);
  }
  return !queue->QuitPending();
}

bool WaitPumping(const std::function<bool()>& condition, uint32_t timeoutMs) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  std::shared_ptr<MessageQueue> queue = WindowRegistry::Instance().CurrentQueue();
  for (;;) {
    if (condition()) return true;
    ProcessMessages();
    if (condition()) return true;
    if (Clock::now() >= deadline) return false;
    if (queue) {
      queue->Wait(1);
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
}

void PostQuitMessage(int exitCode) {
  if (std::shared_ptr<MessageQueue> queue = WindowRegistry::Instance().CurrentQueue()) {
    queue->PostQuit(exitCode);
  }
}

bool SetTimer(HWND hwnd, uintptr_t id, uint32_t intervalMs) {
  std::shared_ptr<LocalWindow> window = WindowRegistry::Instance().Find(hwnd);
  if (!window) return false;
  std::shared_ptr<MessageQueue> queue = window->Owner.lock();
  return queue && queue->SetTimer(hwnd, id, intervalMs);
}

bool KillTimer(HWND hwnd, uintptr_t id) {
  std::shared_ptr<LocalWindow> window = WindowRegistry::Instance().Find(hwnd);
  if (!window) return false;
  std::shared_ptr<MessageQueue> queue = window->Owner.lock();
  return queue && queue->KillTimer(hwnd, id);
}

}  // namespace platform::win

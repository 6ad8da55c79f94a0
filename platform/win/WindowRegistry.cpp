#include "platform/win/WindowRegistry.h"

#include "platform/os/IpcNamespace.h"

#include <unistd.h>

#include <cstdio>
#include <exception>

namespace platform::win {
namespace {

// The calling thread's queue; its end closes the queue and destroys the
// thread's windows.
struct ThreadState {
  std::shared_ptr<MessageQueue> Queue;
  bool Ending = false;
  ~ThreadState() {
    Ending = true;
    if (Queue) {
      WindowRegistry::Instance().ThreadEnding(std::move(Queue), WindowRegistry::CurrentThreadId());
    }
  }
};

thread_local ThreadState tThread;

// Leaves the machine-wide table when the process exits (after the main
// thread's own state has ended).
struct ExitHook {
  ExitHook() { WindowRegistry::Instance(); }
  ~ExitHook() { WindowRegistry::Instance().ProcessEnding(); }
};

ExitHook gExitHook;

}  // namespace

WindowRegistry& WindowRegistry::Instance() {
  // Never destroyed: threads may still post while the process exits.
  static WindowRegistry* instance = new WindowRegistry;
  return *instance;
}

WindowRegistry::WindowRegistry() {
  self_.Pid = os::GetCurrentProcessId();
  self_.StartTime = os::ProcessStartTime(self_.Pid);
}

uint32_t WindowRegistry::CurrentThreadId() { return static_cast<uint32_t>(::gettid()); }

std::shared_ptr<MessageQueue> WindowRegistry::CurrentQueue() {
  if (tThread.Ending) return nullptr;
  if (!tThread.Queue) {
    auto queue = std::make_shared<MessageQueue>(CurrentThreadId());
    if (!queue->Valid()) return nullptr;
    tThread.Queue = std::move(queue);
  }
  return tThread.Queue;
}

std::shared_ptr<WindowTable> WindowRegistry::Table() {
  std::lock_guard lock(mutex_);
  if (!table_ && !tableFailed_ && !ended_) {
    auto table = std::make_shared<WindowTable>(os::IpcName(kWindowTableName));
    if (table->Attached()) {
      table_ = std::move(table);
    } else {
      tableFailed_ = true;
      std::fprintf(stderr, "platform: window table %s is not available\n", table->Name().c_str());
    }
  }
  return table_;
}

bool WindowRegistry::EnsureEndpoint() {
  std::lock_guard lock(mutex_);
  if (ended_) return false;
  if (!endpoint_) {
    auto endpoint = std::make_unique<ProcessEndpoint>(
        self_.Pid, [this](const WireMessage& message) { DeliverRemote(message); });
    if (!endpoint->Running()) {
      std::fprintf(stderr, "platform: no endpoint for messages of other processes\n");
      return false;
    }
    endpoint_ = std::move(endpoint);
  }
  return true;
}

void WindowRegistry::DeliverRemote(const WireMessage& message) {
  const std::shared_ptr<LocalWindow> window = Find(message.Hwnd);
  if (!window) return;  // destroyed meanwhile
  if (std::shared_ptr<MessageQueue> queue = window->Owner.lock()) {
    queue->Post({message.Hwnd, message.Message, static_cast<WPARAM>(message.WParam),
                 static_cast<LPARAM>(message.LParam), MonotonicMs()});
  }
}

HWND WindowRegistry::Add(WindowProc proc) {
  std::shared_ptr<MessageQueue> queue = CurrentQueue();
  if (!queue) return 0;
  std::shared_ptr<WindowTable> table = Table();
  if (!table || !EnsureEndpoint()) return 0;
  auto window = std::make_shared<LocalWindow>();
  window->Proc = std::move(proc);
  window->Owner = queue;
  window->ThreadId = queue->ThreadId();
  window->Handle = table->Register({self_, window->ThreadId});
  if (window->Handle == 0) return 0;
  std::lock_guard lock(mutex_);
  windows_[window->Handle] = window;
  return window->Handle;
}

bool WindowRegistry::Remove(HWND hwnd) {
  std::shared_ptr<LocalWindow> window;
  std::shared_ptr<WindowTable> table;
  {
    std::lock_guard lock(mutex_);
    auto it = windows_.find(hwnd);
    if (it == windows_.end() || it->second->ThreadId != CurrentThreadId()) return false;
    window = std::move(it->second);
    windows_.erase(it);
    table = table_;
  }
  if (table) table->Unregister(hwnd, self_);
  if (auto queue = window->Owner.lock()) queue->ForgetWindow(hwnd);
  return true;
}

std::shared_ptr<LocalWindow> WindowRegistry::Find(HWND hwnd) {
  std::lock_guard lock(mutex_);
  auto it = windows_.find(hwnd);
  return it == windows_.end() ? nullptr : it->second;
}

bool WindowRegistry::FindRemote(HWND hwnd, WindowOwner& owner) {
  if (hwnd == 0) return false;
  std::shared_ptr<WindowTable> table = Table();
  if (!table || !table->Lookup(hwnd, owner)) return false;
  // A handle of this process that is not in windows_ has been destroyed.
  return owner.Process.Pid != self_.Pid || owner.Process.StartTime != self_.StartTime;
}

void WindowRegistry::ThreadEnding(std::shared_ptr<MessageQueue> queue, uint32_t threadId) {
  std::vector<HWND> handles;
  std::shared_ptr<WindowTable> table;
  {
    std::lock_guard lock(mutex_);
    for (auto it = windows_.begin(); it != windows_.end();) {
      if (it->second->ThreadId == threadId) {
        handles.push_back(it->first);
        it = windows_.erase(it);
      } else {
        ++it;
      }
    }
    table = table_;
  }
  if (table) {
    for (HWND hwnd : handles) table->Unregister(hwnd, self_);
  }
  for (const std::shared_ptr<SentMessage>& sent : queue->Close()) sent->Complete(0);
}

void WindowRegistry::ProcessEnding() {
  std::shared_ptr<WindowTable> table;
  std::unique_ptr<ProcessEndpoint> endpoint;
  {
    std::lock_guard lock(mutex_);
    ended_ = true;
    table = std::move(table_);
    endpoint = std::move(endpoint_);
  }
  // Joined outside the lock: its thread delivers through Find.
  endpoint.reset();
  // The table detaches when the last user lets go of it.
}

LRESULT CallWindowProcedure(const LocalWindow& window, UINT message, WPARAM wParam,
                            LPARAM lParam) {
  if (!window.Proc) return 0;
  try {
    return window.Proc(window.Handle, message, wParam, lParam);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "platform: window %u, message 0x%X: exception %s\n", window.Handle,
                 message, e.what());
  } catch (...) {
    std::fprintf(stderr, "platform: window %u, message 0x%X: unknown exception\n", window.Handle,
                 message);
  }
  return 0;
}

}  // namespace platform::win

#pragma once
// The process-wide side of windows: the windows of this process with their
// procedures and owner queues, the queue of each thread, and the attachment
// to the machine-wide window table. One per process (it lives in the one
// platform library); it detaches from the table when the process exits.

#include "platform/os/Process.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/ProcessChannel.h"
#include "platform/win/Window.h"
#include "platform/win/WindowTable.h"

#include <memory>
#include <mutex>
#include <unordered_map>

namespace platform::win {

struct LocalWindow {
  HWND Handle = 0;
  WindowProc Proc;
  std::weak_ptr<MessageQueue> Owner;
  uint32_t ThreadId = 0;
};

class WindowRegistry {
 public:
  static WindowRegistry& Instance();

  // The calling thread's queue, made on first use; null when it cannot be
  // made or the thread is ending.
  std::shared_ptr<MessageQueue> CurrentQueue();
  // The Linux id of the calling thread.
  static uint32_t CurrentThreadId();
  const os::ProcessIdentity& Self() const { return self_; }

  // A new window of the calling thread; 0 on failure.
  HWND Add(WindowProc proc);
  // Removes a window of the calling thread; false for another thread's.
  bool Remove(HWND hwnd);
  // A live window of this process, or null.
  std::shared_ptr<LocalWindow> Find(HWND hwnd);
  // The owner of a live window of another process; false otherwise.
  bool FindRemote(HWND hwnd, WindowOwner& owner);

  // Thread exit: destroys the thread's windows and closes its queue,
  // answering 0 to senders still waiting.
  void ThreadEnding(std::shared_ptr<MessageQueue> queue, uint32_t threadId);
  // Process exit: stops taking messages of other processes and leaves the
  // machine-wide table.
  void ProcessEnding();

 private:
  WindowRegistry();
  std::shared_ptr<WindowTable> Table();
  // Starts the endpoint for messages of other processes, once.
  bool EnsureEndpoint();
  // A message of another process: queued for its window's thread.
  void DeliverRemote(const WireMessage& message);

  os::ProcessIdentity self_;
  std::mutex mutex_;
  std::unordered_map<HWND, std::shared_ptr<LocalWindow>> windows_;
  std::shared_ptr<WindowTable> table_;
  std::unique_ptr<ProcessEndpoint> endpoint_;
  bool tableFailed_ = false;
  bool ended_ = false;
};

// Calls the window's procedure, keeping exceptions inside.
LRESULT CallWindowProcedure(const LocalWindow& window, UINT message, WPARAM wParam,
                            LPARAM lParam);

}  // namespace platform::win

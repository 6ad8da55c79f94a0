#pragma once
// The path of a message posted to a window of another process: each thread
// that has a message queue owns a datagram endpoint (an abstract Unix
// socket, so it vanishes with the thread or process and leaves no file);
// a poster sends the message there and the owner thread queues it when it
// next looks at its queue. Only integer parameters cross.

#include "platform/win/Messages.h"

#include <cstdint>
#include <string>

namespace platform::win {

struct WireMessage {
  uint32_t Hwnd;
  uint32_t Message;
  int64_t WParam;
  int64_t LParam;
};
static_assert(sizeof(WireMessage) == 24);

// The receiving end of one thread. Owner thread only.
class ThreadEndpoint {
 public:
  // Binds the endpoint of (pid, thread id) in the current IPC namespace;
  // Fd() is -1 when that failed (the thread then gets no cross-process posts).
  ThreadEndpoint(uint32_t pid, uint32_t threadId);
  ~ThreadEndpoint();
  ThreadEndpoint(const ThreadEndpoint&) = delete;
  ThreadEndpoint& operator=(const ThreadEndpoint&) = delete;

  int Fd() const { return fd_; }
  // The next waiting message without blocking; false when none. Datagrams
  // of another size are dropped.
  bool Receive(WireMessage& message);

 private:
  int fd_ = -1;
};

// Sends to the endpoint of (pid, thread id). Blocks at most one second
// while that endpoint's queue is full; false when it stays full or the
// endpoint does not exist. Any thread.
bool SendToThread(uint32_t pid, uint32_t threadId, const WireMessage& message);

}  // namespace platform::win

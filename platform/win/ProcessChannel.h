#pragma once
// The path of a message posted to a window of another process: each
// process with windows owns one datagram endpoint (an abstract Unix socket,
// so it vanishes with the process and leaves no file) and a thread that
// takes every arriving message at once and queues it for the window's
// thread. A poster sends the message there. Only integer parameters cross.

#include "platform/win/Messages.h"

#include <cstdint>
#include <functional>
#include <thread>

namespace platform::win {

struct WireMessage {
  uint32_t Hwnd;
  uint32_t Message;
  int64_t WParam;
  int64_t LParam;
};
static_assert(sizeof(WireMessage) == 24);

// The receiving end of this process.
class ProcessEndpoint {
 public:
  using Deliver = std::function<void(const WireMessage&)>;

  // Binds the endpoint of pid in the current IPC namespace and starts the
  // thread that calls deliver for each message (datagrams of another size
  // are dropped). Running() is false when that failed.
  ProcessEndpoint(uint32_t pid, Deliver deliver);
  // Stops and joins the thread, closes the endpoint.
  ~ProcessEndpoint();
  ProcessEndpoint(const ProcessEndpoint&) = delete;
  ProcessEndpoint& operator=(const ProcessEndpoint&) = delete;

  bool Running() const { return thread_.joinable(); }

 private:
  void Run();

  Deliver deliver_;
  int socketFd_ = -1;
  int stopFd_ = -1;
  std::thread thread_;
};

// Sends to the endpoint of process pid. Blocks at most one second while
// that endpoint's queue is full; false when it stays full or there is no
// such endpoint. Any thread.
bool SendToProcess(uint32_t pid, const WireMessage& message);

}  // namespace platform::win

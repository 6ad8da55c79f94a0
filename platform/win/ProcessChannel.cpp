#include "platform/win/ProcessChannel.h"

#include "platform/os/IpcNamespace.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>

namespace platform::win {
namespace {

// Abstract address (leading NUL) named by namespace, pid and thread.
socklen_t EndpointAddress(uint32_t pid, uint32_t threadId, sockaddr_un& address) {
  std::memset(&address, 0, sizeof address);
  address.sun_family = AF_UNIX;
  const std::string name = os::IpcName("FerrowickWin." + std::to_string(pid) + "." +
                                       std::to_string(threadId));
  const size_t length = std::min(name.size(), sizeof address.sun_path - 1);
  std::memcpy(address.sun_path + 1, name.data(), length);
  return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + length);
}

// One unbound socket of the process for all sends; sendto is thread-safe.
class SenderSocket {
 public:
  SenderSocket() {
    fd_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0) return;
    timeval timeout{1, 0};
    ::setsockopt(fd_, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
  }
  ~SenderSocket() {
    if (fd_ >= 0) ::close(fd_);
  }
  SenderSocket(const SenderSocket&) = delete;
  SenderSocket& operator=(const SenderSocket&) = delete;
  int Fd() const { return fd_; }

 private:
  int fd_ = -1;
};

}  // namespace

ThreadEndpoint::ThreadEndpoint(uint32_t pid, uint32_t threadId) {
  fd_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd_ < 0) return;
  sockaddr_un address;
  const socklen_t length = EndpointAddress(pid, threadId, address);
  if (::bind(fd_, reinterpret_cast<const sockaddr*>(&address), length) != 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

ThreadEndpoint::~ThreadEndpoint() {
  if (fd_ >= 0) ::close(fd_);
}

bool ThreadEndpoint::Receive(WireMessage& message) {
  if (fd_ < 0) return false;
  for (;;) {
    unsigned char buffer[sizeof(WireMessage) + 1];
    const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
    if (n < 0) return false;
    if (n != static_cast<ssize_t>(sizeof(WireMessage))) continue;
    std::memcpy(&message, buffer, sizeof message);
    return true;
  }
}

bool SendToThread(uint32_t pid, uint32_t threadId, const WireMessage& message) {
  // Lives as long as the process: threads may still post while it exits.
  static SenderSocket* const sender = new SenderSocket;
  if (sender->Fd() < 0) return false;
  sockaddr_un address;
  const socklen_t length = EndpointAddress(pid, threadId, address);
  for (;;) {
    const ssize_t n = ::sendto(sender->Fd(), &message, sizeof message, MSG_NOSIGNAL,
                               reinterpret_cast<const sockaddr*>(&address), length);
    if (n == static_cast<ssize_t>(sizeof message)) return true;
    if (n < 0 && errno == EINTR) continue;
    return false;
  }
}

}  // namespace platform::win

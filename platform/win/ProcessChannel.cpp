#include "platform/win/ProcessChannel.h"

#include "platform/os/IpcNamespace.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>

namespace platform::win {
namespace {

// Abstract address (leading NUL) named by namespace and pid.
socklen_t EndpointAddress(uint32_t pid, sockaddr_un& address) {
  std::memset(&address, 0, sizeof address);
  address.sun_family = AF_UNIX;
  const std::string name = os::IpcName("FerrowickWin." + std::to_string(pid));
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

ProcessEndpoint::ProcessEndpoint(uint32_t pid, Deliver deliver) : deliver_(std::move(deliver)) {
  socketFd_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  stopFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (socketFd_ < 0 || stopFd_ < 0) return;
  sockaddr_un address;
  const socklen_t length = EndpointAddress(pid, address);
  if (::bind(socketFd_, reinterpret_cast<const sockaddr*>(&address), length) != 0) return;
  thread_ = std::thread([this] { Run(); });
}

ProcessEndpoint::~ProcessEndpoint() {
  if (thread_.joinable()) {
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(stopFd_, &one, sizeof one);
    thread_.join();
  }
  if (socketFd_ >= 0) ::close(socketFd_);
  if (stopFd_ >= 0) ::close(stopFd_);
}

void ProcessEndpoint::Run() {
  for (;;) {
    pollfd fds[2] = {{socketFd_, POLLIN, 0}, {stopFd_, POLLIN, 0}};
    // The bound only limits how long a lost wake-up could go unnoticed.
    ::poll(fds, 2, 1000);
    if (fds[1].revents & POLLIN) return;
    for (;;) {
      unsigned char buffer[sizeof(WireMessage) + 1];
      const ssize_t n = ::recv(socketFd_, buffer, sizeof buffer, 0);
      if (n < 0) break;
      if (n != static_cast<ssize_t>(sizeof(WireMessage))) continue;
      WireMessage message;
      std::memcpy(&message, buffer, sizeof message);
      deliver_(message);
    }
  }
}

bool SendToProcess(uint32_t pid, const WireMessage& message) {
  // Lives as long as the process: threads may still post while it exits.
  static SenderSocket* const sender = new SenderSocket;
  if (sender->Fd() < 0) return false;
  sockaddr_un address;
  const socklen_t length = EndpointAddress(pid, address);
  for (;;) {
    const ssize_t n = ::sendto(sender->Fd(), &message, sizeof message, MSG_NOSIGNAL,
                               reinterpret_cast<const sockaddr*>(&address), length);
    if (n == static_cast<ssize_t>(sizeof message)) return true;
    if (n < 0 && errno == EINTR) continue;
    return false;
  }
}

}  // namespace platform::win

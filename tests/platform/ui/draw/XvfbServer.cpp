#include "tests/platform/ui/draw/XvfbServer.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include <X11/Xlib.h>

#include "tests/KillGuard.h"

extern char** environ;

namespace xvfbtest {

XvfbServer::XvfbServer(int width, int height) {
  int fds[2];
  if (pipe(fds) != 0) return;
  const std::string fd = std::to_string(fds[1]);
  const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
  const char* argv[] = {"Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(), "-nolisten", "tcp", nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addclose(&actions, fds[0]);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  const int rc = posix_spawnp(&server_, "Xvfb", &actions, nullptr, const_cast<char**>(argv), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  if (rc != 0) {
    close(fds[0]);
    server_ = 0;
    installed_ = false;
    return;
  }
  // Xvfb writes its display number once it accepts connections.
  std::string number;
  pollfd pfd{fds[0], POLLIN, 0};
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (number.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
    if (poll(&pfd, 1, 200) <= 0) continue;
    char buf[16];
    const ssize_t n = read(fds[0], buf, sizeof buf);
    if (n <= 0) break;
    number.append(buf, static_cast<std::size_t>(n));
  }
  close(fds[0]);
  if (number.find('\n') != std::string::npos) name_ = ":" + number.substr(0, number.find('\n'));
}

XvfbServer::~XvfbServer() {
  if (!kill_guard::SignalIf(server_, SIGTERM, kill_guard::IsOwnChild)) return;
  int status = 0;
  for (int i = 0; i < 400 && waitpid(server_, &status, WNOHANG) == 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  if (kill_guard::KillChild(server_)) waitpid(server_, &status, 0);
}

unsigned long FindShownWindow(Display* d, const std::string& utf8Title) {
  Window root = None;
  Window parent = None;
  Window* children = nullptr;
  unsigned count = 0;
  if (!XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &count)) return None;
  Window found = None;
  const Atom name = XInternAtom(d, "_NET_WM_NAME", False);
  for (unsigned i = 0; i < count && found == None; ++i) {
    XWindowAttributes attrs;
    if (!XGetWindowAttributes(d, children[i], &attrs) || attrs.map_state != IsViewable) continue;
    Atom type = None;
    int format = 0;
    unsigned long items = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(d, children[i], name, 0, 64, False, AnyPropertyType, &type, &format, &items, &after,
                           &data) == Success &&
        data != nullptr) {
      if (std::string(reinterpret_cast<char*>(data), items) == utf8Title) found = children[i];
      XFree(data);
    }
  }
  if (children != nullptr) XFree(children);
  return found;
}

void RequestClose(Display* d, unsigned long window) {
  XEvent ev{};
  ev.xclient.type = ClientMessage;
  ev.xclient.window = window;
  ev.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
  ev.xclient.format = 32;
  ev.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", False));
  XSendEvent(d, window, False, NoEventMask, &ev);
  XSync(d, False);
}

}  // namespace xvfbtest

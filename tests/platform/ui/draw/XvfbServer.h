#pragma once
// A private Xvfb server for tests that need a display: started on a
// display number it picks itself, stopped and reaped with the object; and
// the look-up of a shown top-level window by its title.

#include <string>
#include <sys/types.h>

struct _XDisplay;  // Xlib's Display

namespace xvfbtest {

class XvfbServer {
 public:
  // Starts Xvfb with one screen of width x height x 24 and waits (at most
  // 20 s) until it accepts connections.
  XvfbServer(int width, int height);
  ~XvfbServer();
  XvfbServer(const XvfbServer&) = delete;
  XvfbServer& operator=(const XvfbServer&) = delete;

  // False when Xvfb is not installed (the test skips).
  bool Installed() const { return installed_; }
  // ":N" once the server accepts connections; empty when it did not start.
  const std::string& Name() const { return name_; }

 private:
  pid_t server_ = 0;
  bool installed_ = true;
  std::string name_;
};

// The viewable top-level window whose _NET_WM_NAME is utf8Title; 0 (None)
// when there is none.
unsigned long FindShownWindow(_XDisplay* display, const std::string& utf8Title);
// Asks window to close as a window manager does (WM_DELETE_WINDOW) and
// flushes the request.
void RequestClose(_XDisplay* display, unsigned long window);

}  // namespace xvfbtest

#pragma once
// TScreen: the process's view of the screen: the forms in z-order, the
// active form, the cursor shape, the cursor position and the desktop
// rectangle (from the backend).
//
// The form list is guarded and may be read from any thread; ActiveForm is
// per thread (each GUI thread has its own active form).

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/ui/Types.h"

namespace platform::ui {

class TCustomForm;
class TControl;

class TScreen {
 public:
  // The cursor shape shown over every form (crDefault: each control's own).
  TCursor Cursor() const { return cursor_.load(); }
  void SetCursor(TCursor c) { cursor_.store(c); }
  // Mouse position in screen coordinates (the backend's).
  TPoint CursorPos() const;
  void SetCursorPos(TPoint p);
  TRect DesktopRect() const;
  int Width() const { return DesktopRect().Width(); }
  int Height() const { return DesktopRect().Height(); }

  // Forms of the process, front first; Forms answers null out of range.
  int FormCount() const;
  TCustomForm* Forms(int index) const;
  // The calling thread's active form; null when none.
  TCustomForm* ActiveForm() const;

  // ---- used by the forms (internal) ----
  void AddForm(TCustomForm* form);
  void RemoveForm(TCustomForm* form);
  void MoveToFront(TCustomForm* form);
  void SetActiveForm(TCustomForm* form);
  // Forms created by the calling thread, front first.
  std::vector<TCustomForm*> FormsOfThread() const;
  // Whether control is still a control of a live form of the calling thread
  // (the pointer is compared, never followed).
  bool IsLiveControl(const TControl* control) const;

 private:
  struct Entry {
    TCustomForm* form;
    std::thread::id thread;
  };
  mutable std::mutex mutex_;
  std::vector<Entry> forms_;
  std::atomic<TCursor> cursor_{crDefault};
};

// The process's screen object.
TScreen& Screen();

}  // namespace platform::ui

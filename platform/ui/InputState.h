#pragma once
// Per-thread input state of the control model: the focused control, the
// control holding the mouse capture, the control under the mouse, and the
// controls waiting to be painted (an intrusive list through the controls).
// Internal to platform/ui. Only plain pointers, so the state stays valid
// while static objects are torn down at exit.

namespace platform::ui {
class TControl;
class TWinControl;
}  // namespace platform::ui

namespace platform::ui::detail {

struct InputState {
  TWinControl* focus = nullptr;
  TControl* capture = nullptr;
  TControl* hover = nullptr;
  TControl* paintHead = nullptr;
  TControl* paintTail = nullptr;
};

// The calling thread's state.
InputState& Input();

// Forgets a control that is going away: no slot of the calling thread keeps
// pointing at it.
void ForgetControl(TControl* control);

// Paints every control marked for painting on the calling thread.
void PaintPending();

}  // namespace platform::ui::detail

#include "platform/ui/Timer.h"

#include "platform/ui/Application.h"
#include "platform/win/MessageLoop.h"
#include "platform/win/Window.h"

namespace platform::ui {

TTimer::TTimer(TComponent* owner) : TComponent(owner) {
  wnd_ = platform::win::AllocateHWnd(
      [this](platform::win::HWND, platform::win::UINT msg, platform::win::WPARAM, platform::win::LPARAM) {
        if (msg == platform::win::WM_TIMER) {
          try {
            Timer();
          } catch (...) {
            HandleDispatchException(std::current_exception());
          }
        }
        return platform::win::LRESULT{0};
      });
}

TTimer::~TTimer() {
  if (wnd_ != 0) platform::win::DestroyWindow(wnd_);
}

void TTimer::SetEnabled(bool v) {
  if (v == enabled_) return;
  enabled_ = v;
  Update();
}

void TTimer::SetInterval(uint32_t ms) {
  if (ms == interval_) return;
  interval_ = ms;
  Update();
}

void TTimer::SetOnTimer(TNotifyEvent handler) {
  onTimer_ = std::move(handler);
  Update();
}

void TTimer::Loaded() {
  TComponent::Loaded();
  Update();
}

void TTimer::Update() {
  if (wnd_ == 0) return;
  if (running_) {
    platform::win::KillTimer(wnd_, 1);
    running_ = false;
  }
  if (enabled_ && interval_ > 0 && onTimer_ && !Loading()) running_ = platform::win::SetTimer(wnd_, 1, interval_);
}

void TTimer::Timer() {
  if (enabled_ && onTimer_) onTimer_(this);
}

}  // namespace platform::ui

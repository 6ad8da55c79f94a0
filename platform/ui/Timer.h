#pragma once
// TTimer: raises OnTimer every Interval ms on the thread that created it,
// through that thread's message loop. It runs while Enabled, Interval > 0
// and OnTimer is set (an override of Timer() still needs an OnTimer,
// which may be empty).

#include "platform/ui/Component.h"
#include "platform/win/Messages.h"

namespace platform::ui {

class TTimer : public TComponent {
 public:
  explicit TTimer(TComponent* owner);
  ~TTimer() override;

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool v);
  uint32_t Interval() const { return interval_; }
  void SetInterval(uint32_t ms);
  // Sets the handler and restarts the timer as the rules above say.
  void SetOnTimer(TNotifyEvent handler);
  const TNotifyEvent& OnTimer() const { return onTimer_; }
  // True while the timer is started.
  bool Running() const { return running_; }

 protected:
  // One tick; the base raises OnTimer.
  virtual void Timer();
  void Loaded() override;

 private:
  void Update();
  platform::win::HWND wnd_ = 0;
  bool enabled_ = true;
  bool running_ = false;
  uint32_t interval_ = 1000;
  TNotifyEvent onTimer_;
};

}  // namespace platform::ui

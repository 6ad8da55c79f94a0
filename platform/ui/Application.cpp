#include "platform/ui/Application.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

#include "platform/os/Time.h"
#include "platform/ui/Backend.h"
#include "platform/ui/Form.h"
#include "platform/ui/InputState.h"
#include "platform/ui/Screen.h"
#include "platform/win/MessageLoop.h"

namespace platform::ui {

TApplication& Application() {
  static TApplication* app = new TApplication();  // lives to the end of the process
  return *app;
}

void HandleDispatchException(std::exception_ptr e) { Application().HandleException(e); }

THintWindow::THintWindow(TComponent* owner) : TCustomControl(owner) {
  SetVisible(false);
  SetColor(clInfoBk);
}

TRect THintWindow::CalcHintRect(int maxWidth, const std::string& hint, void*) {
  int lines = 1;
  int longest = 0;
  int current = 0;
  for (char c : hint) {
    if (c == '\n') {
      ++lines;
      current = 0;
    } else if (c != '\r') {
      longest = std::max(longest, ++current);
    }
  }
  int width = std::min(longest * 8 + 6, std::max(maxWidth, 0));
  return Rect(0, 0, width, lines * 16 + 2);
}

void THintWindow::ActivateHint(TRect rect, const std::string& hint) {
  SetCaption(hint);
  SetBounds(rect.Left, rect.Top, rect.Width(), rect.Height());
  SetVisible(true);
  Invalidate();
}

void THintWindow::Paint() {
  TCanvas& c = Canvas();
  const TRect r = ClientRect();
  c.Brush().SetStyle(TBrushStyle::bsSolid);
  c.Brush().SetColor(Color());
  c.FillRect(r);
  c.Brush().SetColor(clInfoText);
  c.FrameRect(r);
  c.Font().SetColor(clInfoText);
  c.Brush().SetStyle(TBrushStyle::bsClear);
  c.Handle();
  TRect text{r.Left + 3, r.Top + 1, r.Right - 2, r.Bottom - 1};
  c.DrawText(Caption(), text, DT_NOPREFIX | DT_WORDBREAK);
}

void THintWindow::ReleaseHandle() { SetVisible(false); }

TApplication::TApplication() : TComponent(nullptr) {}

void TApplication::Initialize() {
  if (initialized_) return;
  initialized_ = true;
  if (InitProc) InitProc();
}

void TApplication::Run() {
  if (mainForm_ == nullptr) return;
  if (ShowMainForm) mainForm_->Show();
  while (!Terminated()) HandleMessage();
  CancelHint();
}

void TApplication::ProcessMessages() {
  platform::win::ProcessMessages();
  DoIdle();
}

void TApplication::HandleMessage(uint32_t waitMs) {
  platform::win::WaitPumping([this] { return Terminated(); }, waitMs);
  DoIdle();
}

void TApplication::WaitForModal(TCustomForm& form) {
  const uint32_t limit = Backend().ModalTimeoutMs();
  const uint32_t start = platform::os::GetTickCount();
  const auto alive = form.Lifetime();
  const auto answered = [&] { return alive.expired() || form.ModalResult() != mrNone || Terminated(); };
  for (;;) {
    platform::win::WaitPumping(answered, 10);
    DoIdle();
    if (answered()) return;
    if (limit != 0 && platform::os::TickDiff(platform::os::GetTickCount(), start) >= limit) {
      std::fprintf(stderr, "modal form %s left unanswered for %u ms: cancelled\n", form.Name().c_str(), limit);
      form.SetModalResult(mrCancel);
      return;
    }
  }
}

void TApplication::DoIdle() {
  std::vector<TCustomForm*> releases;
  releases.swap(releases_);
  for (TCustomForm* f : releases) {
    try {
      TComponent::Free(f);
    } catch (...) {
      HandleException(std::current_exception());
    }
  }
  try {
    detail::PaintPending();
  } catch (...) {
    HandleException(std::current_exception());
  }
  CheckHint();
}

void TApplication::ReleaseLater(TCustomForm* form) {
  if (std::find(releases_.begin(), releases_.end(), form) == releases_.end()) {
    releases_.push_back(form);
    form->FreeNotification(this);
  }
}

void TApplication::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation != TOperation::opRemove) return;
  releases_.erase(std::remove(releases_.begin(), releases_.end(), component), releases_.end());
  if (component == mainForm_) mainForm_ = nullptr;
  if (component == hintWindow_) hintWindow_ = nullptr;
  if (component == hintControl_) hintControl_ = nullptr;
}

void TApplication::DestroyComponents() {
  CancelHint();
  while (ComponentCount() > 0) TComponent::Free(Components(ComponentCount() - 1));
  releases_.clear();
  mainForm_ = nullptr;
  hintWindow_ = nullptr;
}

void TApplication::HandleException(std::exception_ptr e) {
  ++exceptionCount_;
  try {
    std::rethrow_exception(e);
  } catch (const std::exception& x) {
    lastException_ = x.what();
  } catch (...) {
    lastException_ = "unknown exception";
  }
  if (OnException) {
    try {
      OnException(this, e);
      return;
    } catch (...) {
      // A failing handler falls back to the report below.
    }
  }
  std::fprintf(stderr, "Exception: %s\n", lastException_.c_str());
}

void TApplication::SetHintWindowClass(THintWindowClass c) {
  CancelHint();
  hintWindowClass_ = std::move(c);
  if (hintWindow_ != nullptr) {
    THintWindow* old = hintWindow_;
    hintWindow_ = nullptr;
    TComponent::Free(old);
  }
}

void TApplication::HintMouseMessage(TControl* control, TPoint p) {
  hintPos_ = p;
  if (control == hintControl_) return;
  if (hintControl_ != nullptr) hintControl_->RemoveFreeNotification(this);
  CancelHint();
  hintControl_ = control;
  hintDone_ = false;
  if (control != nullptr) control->FreeNotification(this);
  hintSince_ = platform::os::GetTickCount();
}

void TApplication::CancelHint() {
  if (hintWindow_ != nullptr && hintWindow_->Active()) hintWindow_->ReleaseHandle();
  hintShown_ = false;
}

// Shows the hint of the control under the mouse once it rested HintPause
// ms, and hides it HintHidePause ms later.
void TApplication::CheckHint() {
  if (hintControl_ == nullptr || !ShowHint) return;
  const uint32_t now = platform::os::GetTickCount();
  if (hintShown_) {
    if (platform::os::TickDiff(now, hintShownAt_) >= static_cast<uint32_t>(std::max(HintHidePause, 0))) CancelHint();
    return;
  }
  if (platform::os::TickDiff(now, hintSince_) < static_cast<uint32_t>(std::max(HintPause, 0))) return;
  if (hintDone_) return;
  TControl* control = hintControl_;
  if (!control->ShowHint() || control->Hint().empty() || !control->Showing()) return;
  THintInfo info;
  info.HintControl = control;
  info.CursorPos = hintPos_;
  info.HintMaxWidth = Screen().Width();
  info.HintColor = HintColor;
  info.HideTimeout = HintHidePause;
  info.HintStr = control->Hint();
  std::string hint = info.HintStr;
  bool canShow = true;
  hintShownAt_ = now;
  hintShown_ = true;
  hintDone_ = true;
  try {
    if (OnShowHint) OnShowHint(hint, canShow, info);
    if (!canShow || hint.empty()) return;
    if (hintWindow_ == nullptr) {
      hintWindow_ = hintWindowClass_ ? hintWindowClass_(this) : Create<THintWindow>(this);
      if (hintWindow_ == nullptr) return;
    }
    TRect r = hintWindow_->CalcHintRect(info.HintMaxWidth, hint, info.HintData);
    TPoint at{info.CursorPos.X, info.CursorPos.Y + 16};
    hintWindow_->ActivateHint(Bounds(at.X, at.Y, r.Width(), r.Height()), hint);
  } catch (...) {
    HandleException(std::current_exception());
  }
}

}  // namespace platform::ui

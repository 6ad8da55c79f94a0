#pragma once
// TApplication: the process's application object. It creates the forms
// (the first one becomes the main form), runs the message loop until the
// main form closes, handles the exceptions that reach a message dispatch,
// frees released forms when the loop is idle, and shows hints for the
// control under the mouse.
//
// Run, ProcessMessages, HandleMessage and the hint machinery run on the GUI
// thread; Terminate and Terminated may be called from any thread.

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <string>
#include <vector>

#include "platform/ui/Component.h"
#include "platform/ui/WinControl.h"

namespace platform::ui {

class TCustomForm;

// What a hint about to be shown looks like; OnShowHint may change it.
struct THintInfo {
  TControl* HintControl = nullptr;
  TPoint CursorPos;
  int HintMaxWidth = 0;
  TColor HintColor = clInfoBk;
  int HideTimeout = 0;
  std::string HintStr;
  void* HintData = nullptr;
};

// The window a hint is shown in. Hint window classes of the skinned
// controls derive from it.
class THintWindow : public TCustomControl {
 public:
  explicit THintWindow(TComponent* owner);
  // Size the hint needs: (0, 0, w, h). The base: one line per text line,
  // 8 pixels per character plus 6, 16 per line plus 2 (without a canvas that
  // measures text).
  virtual TRect CalcHintRect(int maxWidth, const std::string& hint, void* data);
  // Shows the hint text in rect (screen coordinates).
  virtual void ActivateHint(TRect rect, const std::string& hint);
  // Hides the hint.
  virtual void ReleaseHandle();
  bool Active() const { return Visible(); }

 protected:
  // The info colour inside a one-pixel frame, the text from (3, 1).
  void Paint() override;
};

using THintWindowClass = std::function<THintWindow*(TComponent* owner)>;
using TShowHintEvent = std::function<void(std::string& HintStr, bool& CanShow, THintInfo& HintInfo)>;
using TExceptionEvent = std::function<void(TObject* Sender, std::exception_ptr E)>;

class TApplication : public TComponent {
 public:
  TApplication();

  // Runs InitProc once when set (COM for the main thread, for one).
  void Initialize();
  std::function<void()> InitProc;

  const std::string& Title() const { return title_; }
  void SetTitle(std::string_view t) { title_ = std::string(t); }
  bool ShowMainForm = true;

  // Creates a form owned by the application; the first becomes MainForm.
  template <class T>
  void CreateForm(T*& reference) {
    reference = Create<T>(this);
    if (mainForm_ == nullptr) mainForm_ = reference;
  }
  TCustomForm* MainForm() const { return mainForm_; }

  // Shows the main form (when ShowMainForm) and handles messages until
  // Terminate; returns at once without a main form.
  void Run();
  // Handles every pending message, then does the idle work (paints,
  // released forms, hints).
  void ProcessMessages();
  // Waits up to waitMs for messages and handles them, then the idle work.
  void HandleMessage(uint32_t waitMs = 50);
  void Terminate() { terminated_.store(true); }
  bool Terminated() const { return terminated_.load(); }
  // Clears Terminated (a new run in the same process, tests).
  void ResetTerminated() { terminated_.store(false); }
  // Frees every form and component the application owns (at program end).
  void DestroyComponents();

  // Exceptions that reached a message dispatch: OnException when set,
  // otherwise the text goes to stderr.
  void HandleException(std::exception_ptr e);
  TExceptionEvent OnException;
  int ExceptionCount() const { return exceptionCount_; }
  const std::string& LastExceptionText() const { return lastException_; }

  // ---- hints ----
  bool ShowHint = true;
  int HintPause = 500;
  int HintShortPause = 50;
  int HintHidePause = 2500;
  TColor HintColor = clInfoBk;
  TShowHintEvent OnShowHint;
  // Makes the hint window; an empty class gives THintWindow. Setting it
  // drops the current hint window.
  const THintWindowClass& HintWindowClass() const { return hintWindowClass_; }
  void SetHintWindowClass(THintWindowClass c);
  THintWindow* HintWindow() const { return hintWindow_; }
  // The mouse rests on control (null: on none) at screen point p.
  void HintMouseMessage(TControl* control, TPoint p);
  void CancelHint();

  // ---- internal ----
  void ReleaseLater(TCustomForm* form);
  void MainFormGone() { mainForm_ = nullptr; }
  // One round of a modal loop for form (bounded wait, then idle work); it
  // returns at once when a handler freed form.
  void WaitForModal(TCustomForm& form);
  void DoIdle();

 protected:
  void Notification(TComponent* component, TOperation operation) override;

 private:
  void CheckHint();

  std::string title_;
  TCustomForm* mainForm_ = nullptr;
  std::atomic<bool> terminated_{false};
  bool initialized_ = false;
  std::vector<TCustomForm*> releases_;
  int exceptionCount_ = 0;
  std::string lastException_;
  THintWindowClass hintWindowClass_;
  THintWindow* hintWindow_ = nullptr;
  TControl* hintControl_ = nullptr;
  TPoint hintPos_;
  uint32_t hintSince_ = 0;
  uint32_t hintShownAt_ = 0;
  bool hintShown_ = false;
  bool hintDone_ = false;  // shown for the current control already
};

// The process's application object (lives to the end of the process).
TApplication& Application();

// Reports an exception caught at a message dispatch (Application's
// HandleException).
void HandleDispatchException(std::exception_ptr e);

}  // namespace platform::ui

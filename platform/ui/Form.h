#pragma once
// TCustomForm / TForm: a top-level window of controls.
//
// Life cycle: a form's constructor builds its components (they are marked
// loading); Create<T> then ends loading (Loaded on every component, in
// creation order) and raises OnCreate. Free (or the owner) raises OnDestroy
// once, before any component is freed.
//
// ShowModal shows the form, blocks the thread's other forms and runs a
// nested message loop on the calling thread until ModalResult becomes
// non-zero and OnCloseQuery allows closing; then it hides the form and
// answers the result. Messages sent from other threads to the thread's
// windows are handled inside that loop.
//
// All on the thread that created the form; other threads reach it through
// its window Handle with PostMessage / SendMessage.

#include <functional>
#include <map>
#include <string>

#include "platform/ui/WinControl.h"
#include "platform/win/Messages.h"

namespace platform::ui {

enum class TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
enum class TPosition { poDesigned, poDefault, poScreenCenter, poDesktopCenter, poMainFormCenter, poOwnerFormCenter };
enum class TCloseAction { caNone, caHide, caFree, caMinimize };

using TBorderIcons = uint32_t;
inline constexpr TBorderIcons biSystemMenu = 1;
inline constexpr TBorderIcons biMinimize = 2;
inline constexpr TBorderIcons biMaximize = 4;
inline constexpr TBorderIcons biHelp = 8;

using TCloseQueryEvent = std::function<void(TObject* Sender, bool& CanClose)>;
using TCloseEvent = std::function<void(TObject* Sender, TCloseAction& Action)>;
using TMessageHandler = std::function<void(TMessage& message)>;

class TCustomForm : public TWinControl {
 public:
  explicit TCustomForm(TComponent* owner);
  ~TCustomForm() override;
  void AfterConstruction() override;
  void BeforeDestruction() override;

  // ---- window ----
  // The form's window handle, made on first use on the calling thread
  // (which must be the form's thread). Messages to it (posted or sent,
  // from any thread or process) reach WindowProc; exceptions of handlers
  // are caught and reported. 0 when no handle could be had.
  platform::win::HWND Handle();
  bool HandleAllocated() const { return handle_ != 0; }
  // A window of another module that this form belongs to (the host's
  // window for the driver's dialogs); 0 for none.
  platform::win::HWND ParentWindow() const { return parentWindow_; }
  void SetParentWindow(platform::win::HWND hwnd) { parentWindow_ = hwnd; }
  // Runs handler for message number msg before the standard handling
  // (replaces an earlier handler of that number; an empty one removes it).
  void SetMessageHandler(uint32_t msg, TMessageHandler handler);

  // ---- appearance ----
  TFormBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TFormBorderStyle s);
  TBorderIcons BorderIcons() const { return borderIcons_; }
  void SetBorderIcons(TBorderIcons icons) { borderIcons_ = icons; }
  TPosition Position() const { return position_; }
  void SetPosition(TPosition p) { position_ = p; }
  // Client size: the form's size less its frame and caption (fixed metrics
  // per border style: see FrameSize).
  int ClientWidth() const override;
  int ClientHeight() const override;
  TPoint ClientOrigin() const override;
  TPoint NonClientSize() const override;
  // Frame widths of the border style: left/right each, top (caption
  // included), bottom.
  TRect FrameSize() const;
  bool Showing() const override { return Visible(); }

  // ---- showing and closing ----
  // Shows the form (non-modal) and activates it.
  void Show() { SetVisible(true); BringToFront(); }
  void BringToFront();
  // Asks OnCloseQuery; when allowed runs OnClose and acts on its action
  // (hide by default; free later for caFree; a modal form ends with
  // mrCancel; the main form ends the application).
  void Close();
  // OnCloseQuery's answer (true without a handler).
  virtual bool CloseQuery();
  // Runs the form modally and answers its ModalResult. When a handler
  // frees the form meanwhile, the loop ends and answers the result the form
  // was closing with (mrCancel when none). EInvalidOperation when the form
  // is already visible or modal, or is disabled.
  TModalResult ShowModal();
  TModalResult ModalResult() const { return modalResult_; }
  void SetModalResult(TModalResult r) { modalResult_ = r; }
  bool Modal() const { return modal_; }
  // True while a modal form of the same thread holds this one.
  bool ModalBlocked() const { return modalBlock_ > 0; }
  // Frees the form once the thread's message loop is idle again.
  void Release();

  // ---- focus ----
  TWinControl* ActiveControl() const { return activeControl_; }
  // The control focused when the form is active; focuses it now when the
  // form is showing. EInvalidOperation when it cannot take the focus.
  void SetActiveControl(TWinControl* control);
  bool Active() const;

  TNotifyEvent OnCreate;
  TNotifyEvent OnDestroy;
  TNotifyEvent OnShow;
  TNotifyEvent OnHide;
  TNotifyEvent OnActivate;
  TCloseQueryEvent OnCloseQuery;
  TCloseEvent OnClose;

 protected:
  void WndProc(TMessage& message) override;
  void Dispatch(TMessage& message) override;
  virtual void DoCreate();
  virtual void DoDestroy();

 private:
  friend class TWinControl;
  friend class TControl;
  friend class TApplication;

  // The focus machinery (see WinControl.h for the order of notifications).
  void FocusControl(TWinControl* control);
  void SetFocusedControl(TWinControl* control);
  void DefocusControl(TWinControl* control);
  void ForgetControl(TControl* control);
  void Activate();
  void Deactivate();
  void PlaceOnScreen();

  platform::win::HWND handle_ = 0;
  platform::win::HWND parentWindow_ = 0;
  std::map<uint32_t, TMessageHandler> handlers_;
  TFormBorderStyle borderStyle_ = TFormBorderStyle::bsSizeable;
  TBorderIcons borderIcons_ = biSystemMenu | biMinimize | biMaximize;
  TPosition position_ = TPosition::poDesigned;
  TModalResult modalResult_ = mrNone;
  bool modal_ = false;
  int modalBlock_ = 0;
  bool placed_ = false;
  bool destroyed_ = false;  // OnDestroy ran
  TWinControl* activeControl_ = nullptr;
  TWinControl* focusedControl_ = nullptr;  // deepest control entered
};

class TForm : public TCustomForm {
 public:
  using TCustomForm::TCustomForm;
};

// Follows the owner chain from component to the first form; null when the
// chain ends without one.
TCustomForm* FindOwnerForm(TComponent* component);

}  // namespace platform::ui

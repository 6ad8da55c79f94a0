#pragma once
// The headless backend and its driver.
//
// Headless: a virtual desktop of 1024 x 768 pixels with a virtual mouse, a
// notification area that exists unless a test says otherwise, and no
// pixels (the drawing layer adds a screen bitmap). Everything happens on
// the calling thread, in a fixed order, so tests are deterministic.
//
// The driver acts as a user would: the mouse goes to the middle of a
// control, the press lands on whatever control is there (a disabled control
// or a form held by a modal one takes nothing), keys go to the focused
// control. Every operation runs on the GUI thread of the forms it touches;
// exceptions raised by handlers are caught and reported as in a message
// dispatch. Driver operations raise std::runtime_error when the control to
// act on is missing or not showing. Finding, mouse, key, fill and select
// operations work on any backend's forms (a host acts on the forms of a
// display before the person answers them); answers, tray and time-out are
// the headless backend's.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui/Backend.h"
#include "platform/ui/Form.h"

namespace platform::ui {

class TSaveDialog;

class THeadlessBackend : public TBackend {
 public:
  std::string_view Name() const override { return "headless"; }
  TRect DesktopRect() const override { return Rect(0, 0, 1024, 768); }
  TPoint CursorPos() const override { return cursor_; }
  void SetCursorPos(TPoint p) override { cursor_ = p; }
  bool TrayAvailable() const override { return trayAvailable_; }
  bool TrayAdd(const TTrayIcon& icon) override;
  bool TrayModify(const TTrayIcon& icon) override;
  bool TrayDelete(platform::win::HWND wnd, uint32_t id) override;
  void ModalStarted(TCustomForm& form) override;
  uint32_t ModalTimeoutMs() const override { return modalTimeoutMs_; }
  bool ExecuteSaveDialog(TSaveDialog& dialog, std::string& fileName) override;

 private:
  friend class THeadlessDriver;
  TPoint cursor_{};
  bool trayAvailable_ = true;
  std::vector<TTrayIcon> tray_;
  std::vector<std::function<void(TCustomForm&)>> modalAnswers_;
  std::function<void(TCustomForm&)> defaultModalAnswer_;
  std::vector<std::function<bool(TSaveDialog&, std::string&)>> saveAnswers_;
  uint32_t modalTimeoutMs_ = 30000;
};

// The driver API for tests. All static; GUI thread.
class THeadlessDriver {
 public:
  // The headless backend; std::runtime_error when another backend runs.
  static THeadlessBackend& Backend();

  // A form of the calling thread by name (front first), or a component by
  // "Form.Component" or by its name alone (searched in the forms front to
  // back, owned components at any depth). nullptr when none.
  static TCustomForm* FindForm(std::string_view name);
  static TComponent* Find(std::string_view path);
  static TControl* FindControl(std::string_view path);
  // A component owned (at any depth) by root with that name; nullptr when
  // none.
  static TComponent* FindIn(TComponent* root, std::string_view name);

  // Mouse: moves to the middle of the control (enter/leave notifications,
  // hint timing) and presses there. A menu item given to Click is chosen
  // as from its open menu.
  static void MoveTo(TControl* control);
  static void MoveTo(TPoint screenPoint);
  static void Click(TComponent* component);
  static void DblClick(TControl* control);
  static void RightClick(TControl* control);
  static void MouseDown(TPoint screenPoint, TMouseButton button = TMouseButton::mbLeft);
  static void MouseUp(TPoint screenPoint, TMouseButton button = TMouseButton::mbLeft);
  // Where control's middle is on the screen.
  static TPoint Middle(TControl* control);

  // Keyboard, to the focused control of the calling thread: key down, the
  // character the key makes (Enter, Esc, Space, Backspace, Tab), key up.
  static void PressKey(uint16_t key, TShiftState shift = 0);
  // Characters one by one (CP1251), as WM_CHAR; Alt+char as WM_SYSCHAR.
  static void Type(std::string_view text);
  static void AltChar(char c);
  // Focuses the control as the Tab key would (an edit selects its text),
  // then types text.
  static void Fill(TControl* control, std::string_view text);

  // Selections made as a user makes them (the control's user events fire).
  static void SelectRow(TControl* grid, int row);
  static void SelectItem(TControl* listOrCombo, int index);
  static void SelectTab(TControl* pageControl, int index);

  // Answers for the next modal form / save dialog, in order of use. A modal
  // answer runs once the form shows; it acts on the form (clicks, keys, or
  // SetModalResult). A save answer fills fileName and answers true, or
  // answers false for Cancel. Without a queued answer a save dialog is
  // cancelled.
  static void AnswerNextModal(std::function<void(TCustomForm&)> answer);
  static void AnswerNextSaveDialog(std::function<bool(TSaveDialog&, std::string&)> answer);
  static size_t PendingModalAnswers();
  // The answer for a modal form when no queued answer is left (nullptr: the
  // form waits for the modal time-out).
  static void SetDefaultModalAnswer(std::function<void(TCustomForm&)> answer);
  // Longest wait of an unanswered modal loop before it ends with mrCancel.
  static void SetModalTimeout(uint32_t ms);

  // What a control shows: a caption or text; a memo's or list's lines (CR LF
  // after each); a combo box's text; a grid's cells (tab between cells, CR
  // LF after each row); a check box "[x] caption" or "[ ] caption".
  static std::string Shown(TControl* control);

  // Tray of the virtual desktop.
  static void SetTrayAvailable(bool available);
  static std::vector<TTrayIcon> TrayIcons();
  // Posts the icon's callback message (WParam id, LParam mouseMessage) to
  // its window, as a click on the icon does.
  static bool ClickTrayIcon(uint32_t id, uint32_t mouseMessage);

  // Tells every control of the calling thread's forms that the system
  // colours changed (CM_SYSCOLORCHANGE).
  static void SystemColorsChanged();

  // Handles pending messages and idle work of the calling thread.
  static void Pump();
  // Back to a clean desktop: answers (the default one too) dropped, tray
  // emptied and available, mouse at (0, 0), modal timeout 30 s.
  static void Reset();
};

}  // namespace platform::ui

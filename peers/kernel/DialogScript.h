#pragma once
// The host's answers to the driver's forms: the actions of `dialog` lines,
// queued per form object name and run when that form shows modally on the
// host's thread (nested forms included), the `savefile` answers, and the
// `dialog`, `shown`, `bounds` and `screenshot` lines that report what the
// forms show.
//
// A form still open after its actions, or one with none queued, is closed
// as Esc closes it (mrCancel when Esc does nothing), unless the host is
// interactive: then the person at the display answers it. Main thread.

#include "peers/kernel/HostOutput.h"
#include "platform/ui/Form.h"
#include "platform/win/Messages.h"

#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace kernel {

class DialogScript {
 public:
  using Words = std::vector<std::string>;

  // Takes over the answers of modal forms and save dialogs of the process
  // (the headless backend's, or the display's when interactive) until it
  // ends. Main thread.
  DialogScript(HostOutput& out, bool interactive);
  ~DialogScript();
  DialogScript(const DialogScript&) = delete;
  DialogScript& operator=(const DialogScript&) = delete;

  // "dialog FORM ACTION ...": checks the action's words and queues it for
  // FORM. Throws ScriptError on a malformed line.
  void Queue(const Words& words, int lineNumber);
  // "savefile PATH" / "savefile cancel": the answer of the next save dialog.
  void QueueSaveAnswer(const Words& words);

  // Throws ScriptError for the first fault an action met since the last
  // call (a component that is not there, a file that cannot be written).
  void ThrowPendingError();
  // Throws ScriptError when actions or save answers are still queued: the
  // form they wait for never showed.
  void CheckAllUsed() const;

  // "dialog", "kernel" or "none": what a parent window handle passed to
  // the kernel's libraries is. Calling thread's forms.
  std::string ParentKind(platform::win::HWND parent, platform::win::HWND kernelWindow) const;

 private:
  struct Action {
    Words Args;  // "click", "NAME", ...
    int Line = 0;
  };

  void OnModalForm(platform::ui::TCustomForm& form);
  bool RunQueued(platform::ui::TCustomForm& form);
  bool AnswerSaveForm(platform::ui::TCustomForm& form);
  void RunAction(platform::ui::TCustomForm& form, const Words& w);
  void Report(const Action& action, const std::string& form, const std::string& what);
  static void Dismiss(platform::ui::TCustomForm& form);

  HostOutput& out_;
  const bool interactive_;
  const std::thread::id thread_;
  std::map<std::string, std::deque<Action>> queued_;  // by form object name
  std::deque<std::optional<std::string>> saveAnswers_;  // interactive: a path, or nullopt for Cancel
  std::shared_ptr<int> pendingSaves_ = std::make_shared<int>(0);  // headless answers not yet used
  std::optional<std::string> error_;
};

}  // namespace kernel

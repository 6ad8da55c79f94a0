#include "peers/kernel/DialogScript.h"

#include "exchange/OPCSharedMemory.h"
#include "peers/kernel/Interruption.h"
#include "peers/kernel/ScriptReader.h"
#include "platform/os/Text.h"
#include "platform/ui/Application.h"
#include "platform/ui/CheckBox.h"
#include "platform/ui/ComboBox.h"
#include "platform/ui/Edit.h"
#include "platform/ui/Grid.h"
#include "platform/ui/Headless.h"
#include "platform/ui/ListBox.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Screenshot.h"
#include "platform/ui/X11Backend.h"
#include "platform/win/MessageLoop.h"

#include <stdexcept>

namespace kernel {

namespace {

using platform::os::Utf8ToCp1251;
using namespace platform::ui;

constexpr int64_t kMaxWaitMs = 600000;
constexpr const char* kSaveDialogForm = "SaveDialogForm";  // the display backend's save dialog

struct ActionShape {
  const char* Name;
  size_t Arguments;
  const char* Usage;
};

constexpr ActionShape kActions[] = {
    {"click", 1, "click NAME"},           {"dblclick", 1, "dblclick NAME"},
    {"fill", 2, "fill NAME \"TEXT\""},    {"check", 2, "check NAME on|off"},
    {"select", 2, "select NAME INDEX"},   {"row", 2, "row NAME ROW"},
    {"tab", 2, "tab NAME INDEX"},         {"key", 1, "key enter|esc|tab"},
    {"wait", 1, "wait MS"},               {"show", 1, "show NAME"},
    {"bounds", 1, "bounds NAME"},         {"screenshot", 1, "screenshot FILE"},
    {"terminal", 2, "terminal 1|2 \"TEXT\""},
};

int Number(const std::string& word, int low, const char* what) {
  return static_cast<int>(ParseInteger(word, low, INT32_MAX, what));
}

// The words after the action are checked here, so that a bad line fails
// where it stands, not when its form shows.
void CheckAction(const std::vector<std::string>& w) {
  const std::string& action = w[2];
  const ActionShape* shape = nullptr;
  for (const ActionShape& s : kActions)
    if (action == s.Name) shape = &s;
  if (shape == nullptr) throw ScriptError("unknown dialog action " + action);
  if (w.size() != 3 + shape->Arguments) throw ScriptError(std::string("usage: dialog FORM ") + shape->Usage);
  const std::string& a = w[3];
  if (action == "check" && w[4] != "on" && w[4] != "off") throw ScriptError("usage: dialog FORM check NAME on|off");
  if (action == "select") Number(w[4], -1, "index");
  if (action == "row") Number(w[4], 0, "row");
  if (action == "tab") Number(w[4], 0, "page index");
  if (action == "key" && a != "enter" && a != "esc" && a != "tab")
    throw ScriptError("usage: dialog FORM key enter|esc|tab");
  if (action == "wait") ParseInteger(a, 0, kMaxWaitMs, "milliseconds");
  if (action == "terminal" && a != "1" && a != "2") throw ScriptError("usage: dialog FORM terminal 1|2 \"TEXT\"");
}

std::string JoinLines(const platform::os::TStringList& lines) {
  std::string text;
  for (int i = 0; i < lines.Count(); ++i) text += (i > 0 ? "\r\n" : "") + lines[i];
  return text;
}

// What a control shows, as the `shown` line gives it.
std::string ShownText(TControl* control) {
  if (auto* grid = dynamic_cast<TStringGrid*>(control)) {
    std::string text;
    for (int r = grid->FixedRows(); r < grid->RowCount(); ++r) {
      std::string line = grid->Cells(0, r) + "=";
      for (int c = 1; c < grid->ColCount(); ++c) line += (c > 1 ? "\t" : "") + grid->Cells(c, r);
      text += (r > grid->FixedRows() ? "\r\n" : "") + line;
    }
    return text;
  }
  if (auto* memo = dynamic_cast<TMemo*>(control)) return JoinLines(memo->Lines());
  if (auto* list = dynamic_cast<TListBox*>(control)) return JoinLines(list->Items());
  return THeadlessDriver::Shown(control);
}

TControl* ControlOf(TCustomForm& form, const std::string& name) {
  if (name == form.Name()) return &form;
  auto* control = dynamic_cast<TControl*>(THeadlessDriver::FindIn(&form, name));
  if (control == nullptr) throw std::runtime_error("no control " + name + " on " + form.Name());
  return control;
}

// Pumps messages, timers and paints of the thread for ms milliseconds, or
// until the host is interrupted.
void Pump(uint32_t ms) {
  const uint32_t start = platform::os::GetTickCount();
  for (;;) {
    const uint32_t spent = platform::os::TickDiff(platform::os::GetTickCount(), start);
    if (spent >= ms || Interrupted()) break;
    platform::win::WaitPumping([] { return false; }, std::min<uint32_t>(ms - spent, 10));
    Application().ProcessMessages();
  }
  Application().ProcessMessages();
}

void WriteTerminal(int which, const std::string& text) {
  const auto section = exchange::TIntercomInterface::Open(exchange::kSectionName);
  if (!section || !section->IsAttached()) throw std::runtime_error("terminal: there is no driver section");
  exchange::TTerminalClass& terminal = which == 1 ? *section->Terminal1() : *section->Terminal2();
  if (!terminal.WriteText(text)) throw std::runtime_error("terminal: the text was not stored");
}

uint16_t KeyCode(const std::string& name) {
  if (name == "enter") return VK_RETURN;
  if (name == "esc") return VK_ESCAPE;
  return VK_TAB;
}

}  // namespace

DialogScript::DialogScript(HostOutput& out, bool interactive)
    : out_(out), interactive_(interactive), thread_(std::this_thread::get_id()) {
  auto answer = [this](TCustomForm& form) { OnModalForm(form); };
  if (interactive_) {
    auto* display = dynamic_cast<TX11Backend*>(&Backend());
    if (display == nullptr) throw std::runtime_error("interactive: the display backend is not running");
    display->SetModalStarted(answer);
  } else {
    THeadlessDriver::SetDefaultModalAnswer(answer);
  }
}

DialogScript::~DialogScript() {
  if (auto* display = dynamic_cast<TX11Backend*>(&Backend())) {
    display->SetModalStarted(nullptr);
  } else {
    THeadlessDriver::SetDefaultModalAnswer(nullptr);
  }
}

void DialogScript::Queue(const Words& w, int lineNumber) {
  if (w.size() < 3) throw ScriptError("usage: dialog FORM ACTION ...");
  CheckAction(w);
  queued_[w[1]].push_back(Action{Words(w.begin() + 2, w.end()), lineNumber});
}

void DialogScript::QueueSaveAnswer(const Words& w) {
  if (w.size() != 2) throw ScriptError("usage: savefile PATH | savefile cancel");
  std::optional<std::string> path;
  if (w[1] != "cancel") path = Utf8ToCp1251(w[1]);
  if (interactive_) {
    saveAnswers_.push_back(path);
    return;
  }
  ++*pendingSaves_;
  // The backend may keep an unused answer past this object: it holds the count, not the object.
  THeadlessDriver::AnswerNextSaveDialog([pending = pendingSaves_, path](TSaveDialog&, std::string& fileName) {
    --*pending;
    if (!path) return false;
    fileName = *path;
    return true;
  });
}

void DialogScript::ThrowPendingError() {
  if (!error_) return;
  const std::string text = *error_;
  error_.reset();
  throw ScriptError(text);
}

void DialogScript::CheckAllUsed() const {
  for (const auto& [form, actions] : queued_) {
    if (!actions.empty())
      throw ScriptError("dialog " + form + ": the form never showed for the action of line " +
                        std::to_string(actions.front().Line));
  }
  if (*pendingSaves_ > 0 || !saveAnswers_.empty()) throw ScriptError("savefile: no save dialog asked for the answer");
}

std::string DialogScript::ParentKind(platform::win::HWND parent, platform::win::HWND kernelWindow) const {
  if (parent == 0) return "none";
  if (parent == kernelWindow) return "kernel";
  for (TCustomForm* form : Screen().FormsOfThread())
    if (form->Handle() == parent) return "dialog";
  return "none";
}

void DialogScript::OnModalForm(TCustomForm& form) {
  out_.Line("dialog " + form.Name() + " caption=" + Quoted(form.Caption()));
  // Queued actions and the save answers belong to the script's thread.
  const bool ours = std::this_thread::get_id() == thread_;
  const bool open = !ours || (AnswerSaveForm(form) && RunQueued(form));
  if (open && form.ModalResult() == mrNone && (!interactive_ || !ours)) Dismiss(form);
}

// Answers the display's save dialog with the next savefile answer; false
// when it did.
bool DialogScript::AnswerSaveForm(TCustomForm& form) {
  if (form.Name() != kSaveDialogForm || saveAnswers_.empty()) return true;
  const std::optional<std::string> path = saveAnswers_.front();
  saveAnswers_.pop_front();
  try {
    if (path) {
      THeadlessDriver::Fill(ControlOf(form, "NameEdit"), *path);
      THeadlessDriver::Click(ControlOf(form, "SaveButton"));
    } else {
      THeadlessDriver::Click(ControlOf(form, "CancelButton"));
    }
  } catch (const std::exception& e) {
    if (!error_) error_ = std::string("savefile: ") + e.what();
  }
  if (form.ModalResult() == mrNone) Dismiss(form);
  return false;
}

// Runs the form's actions until one ends the form (the rest wait for its
// next showing); false when an action failed and the form was dismissed.
bool DialogScript::RunQueued(TCustomForm& form) {
  const std::string name = form.Name();
  for (;;) {
    auto it = queued_.find(name);
    if (it == queued_.end() || it->second.empty() || form.ModalResult() != mrNone) return true;
    const Action action = std::move(it->second.front());
    it->second.pop_front();
    try {
      RunAction(form, action.Args);
    } catch (const std::exception& e) {
      Report(action, name, e.what());
    }
    if (error_) {
      // A failed action ends the script: the form must not wait for anyone.
      if (form.ModalResult() == mrNone) Dismiss(form);
      return false;
    }
  }
}

void DialogScript::Report(const Action& action, const std::string& form, const std::string& what) {
  if (!error_)
    error_ = "dialog " + form + " " + action.Args[0] + " (line " + std::to_string(action.Line) + "): " + what;
}

void DialogScript::RunAction(TCustomForm& form, const Words& w) {
  const std::string& a = w[0];
  if (a == "click") return THeadlessDriver::Click(ControlOf(form, w[1]));
  if (a == "dblclick") return THeadlessDriver::DblClick(ControlOf(form, w[1]));
  if (a == "fill") return THeadlessDriver::Fill(ControlOf(form, w[1]), Utf8ToCp1251(w[2]));
  if (a == "check") {
    TControl* control = ControlOf(form, w[1]);
    auto* box = dynamic_cast<TCheckBox*>(control);
    if (box == nullptr) throw std::runtime_error(w[1] + " is not a check box");
    if (box->Checked() != (w[2] == "on")) THeadlessDriver::Click(box);
    return;
  }
  if (a == "select") {
    TControl* control = ControlOf(form, w[1]);
    const int index = Number(w[2], -1, "index");
    if (index >= 0) return THeadlessDriver::SelectItem(control, index);
    // No line chosen, as a list shows after it was refilled.
    if (auto* list = dynamic_cast<TListBox*>(control)) return list->SetItemIndex(-1);
    if (auto* combo = dynamic_cast<TComboBox*>(control)) return combo->SetItemIndex(-1);
    throw std::runtime_error(w[1] + " has no items");
  }
  if (a == "row") return THeadlessDriver::SelectRow(ControlOf(form, w[1]), Number(w[2], 0, "row"));
  if (a == "tab") return THeadlessDriver::SelectTab(ControlOf(form, w[1]), Number(w[2], 0, "page index"));
  if (a == "key") return THeadlessDriver::PressKey(KeyCode(w[1]));
  if (a == "wait") return Pump(static_cast<uint32_t>(ParseInteger(w[1], 0, kMaxWaitMs, "milliseconds")));
  if (a == "show") {
    TControl* control = ControlOf(form, w[1]);
    Application().ProcessMessages();
    out_.Line("shown " + form.Name() + "." + w[1] + " " + Quoted(ShownText(control)) +
              (control->EffectivelyEnabled() ? "" : " disabled"));
    return;
  }
  if (a == "bounds") {
    TControl* control = ControlOf(form, w[1]);
    const TPoint origin = form.ClientOrigin();
    const TPoint parent = control->Parent() != nullptr ? control->Parent()->ClientOrigin() : TPoint{};
    out_.Line("bounds " + form.Name() + "." + w[1] + " " + std::to_string(parent.X + control->Left() - origin.X) + " " +
              std::to_string(parent.Y + control->Top() - origin.Y) + " " + std::to_string(control->Width()) + " " +
              std::to_string(control->Height()));
    return;
  }
  if (a == "screenshot") {
    SaveWindowScreenshot(form, w[1]);
    const TPoint origin = form.ClientOrigin();
    out_.Line("screenshot " + form.Name() + " " + w[1] + " " + std::to_string(origin.X - form.Left()) + " " +
              std::to_string(origin.Y - form.Top()));
    return;
  }
  if (a == "terminal") return WriteTerminal(w[1] == "1" ? 1 : 2, Utf8ToCp1251(w[2]));
}

// Closes a form as the Esc key does; with mrCancel when Esc did nothing
// (a form without a Cancel button).
void DialogScript::Dismiss(TCustomForm& form) {
  if (TWinControl::FocusedControl() != nullptr) THeadlessDriver::PressKey(VK_ESCAPE);
  if (form.ModalResult() == mrNone) form.SetModalResult(mrCancel);
}

}  // namespace kernel

#include "platform/ui/Screen.h"

#include <algorithm>

#include "platform/ui/Backend.h"
#include "platform/ui/Form.h"

namespace platform::ui {

namespace {

thread_local TCustomForm* tActiveForm = nullptr;

bool TreeHolds(const TWinControl* root, const TControl* control) {
  for (int i = 0; i < root->ControlCount(); ++i) {
    const TControl* c = root->Controls(i);
    if (c == control) return true;
    if (const auto* w = dynamic_cast<const TWinControl*>(c); w != nullptr && TreeHolds(w, control)) return true;
  }
  return false;
}

}  // namespace

TScreen& Screen() {
  static TScreen* screen = new TScreen();  // lives to the end of the process
  return *screen;
}

TPoint TScreen::CursorPos() const { return Backend().CursorPos(); }
void TScreen::SetCursorPos(TPoint p) { Backend().SetCursorPos(p); }
TRect TScreen::DesktopRect() const { return Backend().DesktopRect(); }

int TScreen::FormCount() const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(forms_.size());
}

TCustomForm* TScreen::Forms(int index) const {
  std::lock_guard lock(mutex_);
  if (index < 0 || index >= static_cast<int>(forms_.size())) return nullptr;
  return forms_[static_cast<size_t>(index)].form;
}

TCustomForm* TScreen::ActiveForm() const { return tActiveForm; }

void TScreen::AddForm(TCustomForm* form) {
  std::lock_guard lock(mutex_);
  forms_.push_back(Entry{form, std::this_thread::get_id()});
}

void TScreen::RemoveForm(TCustomForm* form) {
  {
    std::lock_guard lock(mutex_);
    forms_.erase(std::remove_if(forms_.begin(), forms_.end(), [&](const Entry& e) { return e.form == form; }),
                 forms_.end());
  }
  if (tActiveForm == form) tActiveForm = nullptr;
}

void TScreen::MoveToFront(TCustomForm* form) {
  std::lock_guard lock(mutex_);
  auto it = std::find_if(forms_.begin(), forms_.end(), [&](const Entry& e) { return e.form == form; });
  if (it == forms_.end()) return;
  Entry e = *it;
  forms_.erase(it);
  forms_.insert(forms_.begin(), e);
}

void TScreen::SetActiveForm(TCustomForm* form) { tActiveForm = form; }

std::vector<TCustomForm*> TScreen::FormsOfThread() const {
  std::lock_guard lock(mutex_);
  std::vector<TCustomForm*> out;
  for (const Entry& e : forms_)
    if (e.thread == std::this_thread::get_id()) out.push_back(e.form);
  return out;
}

bool TScreen::IsLiveControl(const TControl* control) const {
  for (TCustomForm* f : FormsOfThread())
    if (f == control || TreeHolds(f, control)) return true;
  return false;
}

}  // namespace platform::ui

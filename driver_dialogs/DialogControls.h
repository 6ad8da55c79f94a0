#pragma once
// Building the driver dialogs' forms: a named component owned by the form
// and placed on a parent. GUI thread.

#include "platform/ui/Component.h"
#include "platform/ui/WinControl.h"

#include <string_view>

namespace driver_dialogs {

template <class T>
T* AddControl(platform::ui::TComponent* owner, platform::ui::TWinControl* parent, std::string_view name) {
  T* control = platform::ui::Create<T>(owner);
  control->SetName(name);
  if (parent != nullptr) control->SetParent(parent);
  return control;
}

}  // namespace driver_dialogs

#include "platform/ui/SaveDialog.h"

#include "platform/ui/Backend.h"

namespace platform::ui {

TSaveDialog::TSaveDialog(TComponent* owner) : TComponent(owner) {}

bool TSaveDialog::Execute() {
  std::string name = FileName;
  if (!Backend().ExecuteSaveDialog(*this, name) || name.empty()) return false;
  std::string_view bare = DefaultExt;
  if (bare.starts_with("*.")) bare.remove_prefix(2);
  if (bare.starts_with(".")) bare.remove_prefix(1);
  const std::string ext = bare.empty() ? std::string() : "." + std::string(bare);
  const size_t slash = name.find_last_of('/');
  const size_t dot = name.find_last_of('.');
  if (!ext.empty() && (dot == std::string::npos || (slash != std::string::npos && dot < slash))) name += ext;
  FileName = name;
  return true;
}

}  // namespace platform::ui

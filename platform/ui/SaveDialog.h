#pragma once
// TSaveDialog: asks the user for a file name to save to (through the
// backend; headless: the driver's queued answer, Cancel without one).

#include "platform/ui/Component.h"

namespace platform::ui {

class TSaveDialog : public TComponent {
 public:
  explicit TSaveDialog(TComponent* owner);
  std::string Title;
  // "Description|*.ext|..." pairs.
  std::string Filter;
  // Added to a name typed without an extension ("*.txt" and "txt" alike).
  std::string DefaultExt;
  std::string InitialDir;
  std::string FileName;
  int FilterIndex = 1;
  // True with FileName set when the user confirmed.
  virtual bool Execute();
};

}  // namespace platform::ui

#pragma once
// TInstallProcDialog: copies the driver's side files from a source to a
// target folder, logging each step into its memo, and is shown only when
// something went wrong; the user may save the log to a text file (a save
// that fails leaves the dialog open with its log). Kernel's window thread.

#include "platform/ui/Edit.h"
#include "platform/ui/Form.h"
#include "platform/ui/Label.h"
#include "platform/ui/Panels.h"
#include "platform/ui/SaveDialog.h"
#include "skin/sCustomButton.h"

#include <string>

namespace driver_dialogs {

class TInstallProcDialog : public platform::ui::TForm {
 public:
  // Builds the form with the serious-errors text and an empty log. Raises
  // EResNotFound when the binary lacks the dialog pictures.
  explicit TInstallProcDialog(platform::ui::TComponent* owner);

  // Copies the installation set from sourceDir to targetDir (each ending
  // in a path separator; the names are appended as they stand) and logs
  // every step into ProcessMemo. False when some copy failed or the server
  // program is missing; CriticalError() then tells whether the server
  // program is what failed.
  bool CopyDriverFiles(const std::string& sourceDir, const std::string& targetDir);
  bool CriticalError() const { return criticalError_; }

  platform::ui::TLabel* MessageLabel;
  platform::ui::TPanel* LogoPanel;
  platform::ui::TImage* LogoImage;
  platform::ui::TPanel* ProcessPanel;
  platform::ui::TMemo* ProcessMemo;
  skin::TsBitBtn* SaveLogBitBtn;
  skin::TsBitBtn* CancelBitBtn;
  platform::ui::TSaveDialog* SaveDialog;

 private:
  enum class TFileRole { Critical, Optional };
  void Log(std::string_view line);
  void LogPaths(const std::string& source, const std::string& target);
  // Copies source over target unless both name one file; logs the outcome.
  bool CopyLogged(const std::string& source, const std::string& target, TFileRole role);
  void LogDriverInfo();
  // The server program: missing or not copied is a critical error.
  bool CopyServerProgram();
  // Another file: header, paths, then the missing text or the copy.
  bool CopyOptional(std::string_view header, std::string_view missing, const std::string& source,
                    const std::string& target);
  void SaveLogBitBtnClick();

  std::string sourceDir_;
  std::string targetDir_;
  bool criticalError_ = false;
};

}  // namespace driver_dialogs

#pragma once
// TSaveDialogForm: the file chooser of backends without one of their own
// (X11), built from the standard controls: the folder looked at, its
// sub-folders ("..", then the others by name; hidden ones left out), a
// file-name edit, Save and Cancel.
//
// Double-clicking a folder opens it. Save with a name that is a folder
// (".." included) opens it instead; with any other name it answers the
// name joined to the folder (an absolute name as it stands) once the
// folder it would lie in exists; an empty name does nothing. Paths are
// byte strings, as everywhere in the file layer. GUI thread.

#include <string>
#include <string_view>

#include "platform/ui/Buttons.h"
#include "platform/ui/Edit.h"
#include "platform/ui/Form.h"
#include "platform/ui/Label.h"
#include "platform/ui/ListBox.h"

namespace platform::ui {

class TSaveDialog;

class TSaveDialogForm : public TForm {
 public:
  explicit TSaveDialogForm(TComponent* owner);

  // Shows folder (the current folder when it is not one) with name in the
  // edit, under title ("Сохранить как" when empty).
  void Start(std::string_view title, const std::string& folder, std::string_view name);
  // Opens a folder; false (nothing changes) when it is not one.
  bool OpenFolder(const std::string& path);
  // The folder shown, absolute and without a trailing "/" (except "/").
  const std::string& Folder() const { return folder_; }
  // The path answered by Save; empty before.
  const std::string& Chosen() const { return chosen_; }

  // At most this many sub-folders are listed.
  static constexpr int kMaxFolders = 10000;

  TLabel* FolderLabel;
  TListBox* FolderList;
  TLabel* NameLabel;
  TEdit* NameEdit;
  TButton* SaveButton;
  TButton* CancelButton;

 private:
  void SaveClick();
  void FolderDblClick();
  std::string Join(std::string_view name) const;

  std::string folder_;
  std::string chosen_;
};

// Runs the dialog modally for dialog (its Title, InitialDir and FileName:
// the folder is InitialDir, else the folder of FileName, else the current
// one). True with fileName set when the user saved.
bool RunSaveDialogForm(TSaveDialog& dialog, std::string& fileName);

}  // namespace platform::ui

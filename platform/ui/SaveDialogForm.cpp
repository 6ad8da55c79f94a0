#include "platform/ui/SaveDialogForm.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

#include "platform/os/Files.h"
#include "platform/os/Text.h"
#include "platform/ui/SaveDialog.h"

namespace platform::ui {

using namespace platform::os::literals;

namespace {

namespace fs = std::filesystem;

bool IsFolder(const std::string& path) {
  std::error_code ec;
  return !path.empty() && fs::is_directory(path, ec);
}

// The absolute, normal form of a folder path ("." and ".." resolved).
std::string Normal(const std::string& path) {
  std::error_code ec;
  fs::path p = fs::weakly_canonical(fs::absolute(path, ec), ec);
  if (ec) return {};
  std::string s = p.string();
  while (s.size() > 1 && s.back() == '/') s.pop_back();
  return s;
}

template <class T>
T* Put(TSaveDialogForm* form, const char* name, int x, int y, int w, int h) {
  T* c = Create<T>(form);
  c->SetName(name);
  c->SetParent(form);
  c->SetBounds(x, y, w, h);
  return c;
}

}  // namespace

TSaveDialogForm::TSaveDialogForm(TComponent* owner) : TForm(owner) {
  SetName("SaveDialogForm");
  SetBorderStyle(TFormBorderStyle::bsDialog);
  SetBorderIcons(biSystemMenu);
  SetPosition(TPosition::poScreenCenter);
  SetClientWidth(360);
  SetClientHeight(264);
  FolderLabel = Put<TLabel>(this, "FolderLabel", 8, 8, 344, 16);
  FolderList = Put<TListBox>(this, "FolderList", 8, 28, 344, 160);
  NameLabel = Put<TLabel>(this, "NameLabel", 8, 202, 70, 16);
  NameLabel->SetCaption("Имя файла:"_cp);
  NameEdit = Put<TEdit>(this, "NameEdit", 80, 198, 272, 21);
  SaveButton = Put<TButton>(this, "SaveButton", 196, 230, 75, 25);
  SaveButton->SetCaption("Сохранить"_cp);
  SaveButton->SetDefault(true);
  CancelButton = Put<TButton>(this, "CancelButton", 277, 230, 75, 25);
  CancelButton->SetCaption("Отмена"_cp);
  CancelButton->SetCancel(true);
  CancelButton->SetModalResult(mrCancel);
  NameLabel->SetFocusControl(NameEdit);
  SaveButton->OnClick = [this](TObject*) { SaveClick(); };
  FolderList->OnDblClick = [this](TObject*) { FolderDblClick(); };
  SetActiveControl(NameEdit);
}

void TSaveDialogForm::Start(std::string_view title, const std::string& folder, std::string_view name) {
  SetCaption(title.empty() ? std::string_view("Сохранить как"_cp) : title);
  if (!OpenFolder(folder)) OpenFolder(".");
  NameEdit->SetText(name);
  chosen_.clear();
}

bool TSaveDialogForm::OpenFolder(const std::string& path) {
  if (!IsFolder(path)) return false;
  const std::string normal = Normal(path);
  if (normal.empty()) return false;
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(normal, fs::directory_options::skip_permission_denied, ec), end;
       !ec && it != end && static_cast<int>(names.size()) < kMaxFolders; it.increment(ec)) {
    std::error_code typeError;
    if (!it->is_directory(typeError)) continue;
    std::string n = it->path().filename().string();
    if (!n.empty() && n[0] != '.') names.push_back(std::move(n));
  }
  std::sort(names.begin(), names.end());
  folder_ = normal;
  FolderLabel->SetCaption(std::string("Папка: "_cp) + folder_);
  FolderList->Items().Clear();
  if (folder_ != "/") FolderList->Items().Add("..");
  for (const std::string& n : names) FolderList->Items().Add(n);
  FolderList->SetItemIndex(-1);
  return true;
}

std::string TSaveDialogForm::Join(std::string_view name) const {
  if (name.starts_with("/")) return std::string(name);
  return folder_ == "/" ? "/" + std::string(name) : folder_ + "/" + std::string(name);
}

void TSaveDialogForm::SaveClick() {
  const std::string name = platform::os::Trim(NameEdit->Text());
  if (name.empty()) return;
  const std::string path = Join(name);
  if (IsFolder(path)) {
    OpenFolder(path);
    NameEdit->SetText("");
    return;
  }
  // A name whose folder is missing stays in the edit to be corrected.
  const std::string parent = platform::os::ExtractFilePath(path);
  if (path.back() == '/' || !IsFolder(parent.empty() ? "/" : parent)) return;
  chosen_ = path;
  SetModalResult(mrOk);
}

void TSaveDialogForm::FolderDblClick() {
  const int i = FolderList->ItemIndex();
  if (i >= 0) OpenFolder(Join(FolderList->Items()[i]));
}

bool RunSaveDialogForm(TSaveDialog& dialog, std::string& fileName) {
  std::string folder = dialog.InitialDir;
  std::string name = dialog.FileName;
  if (!name.empty()) {
    const std::string own = platform::os::ExtractFilePath(name);
    if (folder.empty() || name.starts_with("/")) folder = own;
    name = platform::os::ExtractFileName(name);
  }
  TComponentPtr<TSaveDialogForm> form = CreateOwned<TSaveDialogForm>(nullptr);
  form->Start(dialog.Title, folder, name);
  if (form->ShowModal() != mrOk) return false;
  fileName = form->Chosen();
  return true;
}

}  // namespace platform::ui

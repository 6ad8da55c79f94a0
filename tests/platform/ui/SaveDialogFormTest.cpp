// The save dialog form of backends without a file chooser, driven headless:
// the folder list, opening folders by double click and by typed name, the
// answered path, and names that cannot be saved to.

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/os/Text.h"
#include "platform/ui/Headless.h"
#include "platform/ui/SaveDialog.h"
#include "platform/ui/SaveDialogForm.h"

using namespace platform::ui;
using namespace platform::os::literals;
using Driver = THeadlessDriver;

namespace {

namespace fs = std::filesystem;

class SaveDialogFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Driver::Reset();
    Driver::SetModalTimeout(10000);
    root_ = fs::temp_directory_path() / ("fw_save_" + std::to_string(getpid()));
    fs::remove_all(root_);
    fs::create_directories(root_ / "beta" / "inner");
    fs::create_directories(root_ / "alpha");
    fs::create_directories(root_ / ".hidden");
    std::ofstream(root_ / "file.txt") << "x";
  }
  void TearDown() override {
    Driver::Pump();
    fs::remove_all(root_);
  }
  // Runs the dialog; answer acts on the form while it is modal.
  bool Run(TSaveDialog& dialog, std::string& name, std::function<void(TSaveDialogForm&)> answer) {
    Driver::AnswerNextModal([answer](TCustomForm& f) { answer(dynamic_cast<TSaveDialogForm&>(f)); });
    return RunSaveDialogForm(dialog, name);
  }
  std::string Root() const { return root_.string(); }
  fs::path root_;
};

TEST_F(SaveDialogFormTest, ListsTheSubFoldersAndOpensThemByDoubleClick) {
  TSaveDialog dialog(nullptr);
  dialog.InitialDir = Root();
  std::string name;
  std::string listed;
  std::string inside;
  const bool saved = Run(dialog, name, [&](TSaveDialogForm& f) {
    listed = f.FolderList->Items().Text();
    EXPECT_EQ(f.Caption(), "Сохранить как"_cp);
    EXPECT_EQ(f.Folder(), Root());
    Driver::SelectItem(f.FolderList, 2);  // "beta"
    Driver::DblClick(f.FolderList);       // below the lines: the selection stays
    inside = f.FolderList->Items().Text();
    EXPECT_EQ(f.Folder(), Root() + "/beta");
    Driver::Click(f.CancelButton);
  });
  EXPECT_FALSE(saved);
  EXPECT_EQ(listed, "..\r\nalpha\r\nbeta\r\n");  // no files, no hidden folders
  EXPECT_EQ(inside, "..\r\ninner\r\n");
}

TEST_F(SaveDialogFormTest, SaveAnswersTheNameInTheFolderShown) {
  TSaveDialog dialog(nullptr);
  dialog.FileName = Root() + "/old.log";  // its folder and name start the dialog
  dialog.DefaultExt = "txt";
  std::string typed;
  dialog.Title = "Журнал"_cp;
  const bool saved = Run(dialog, typed, [&](TSaveDialogForm& f) {
    EXPECT_EQ(f.Caption(), "Журнал"_cp);
    EXPECT_EQ(f.NameEdit->Text(), "old.log");
    EXPECT_TRUE(f.NameEdit->Focused());
    Driver::Fill(f.NameEdit, "alpha");  // a folder: opened, not answered
    Driver::PressKey(VK_RETURN);
    EXPECT_EQ(f.Folder(), Root() + "/alpha");
    EXPECT_EQ(f.NameEdit->Text(), "");
    Driver::PressKey(VK_RETURN);  // an empty name does nothing
    Driver::Fill(f.NameEdit, "..");
    Driver::PressKey(VK_RETURN);
    EXPECT_EQ(f.Folder(), Root());
    Driver::Fill(f.NameEdit, "missing/x.txt");  // no such folder: stays
    Driver::PressKey(VK_RETURN);
    EXPECT_EQ(f.ModalResult(), mrNone);
    Driver::Fill(f.NameEdit, "  report  ");
    Driver::Click(f.SaveButton);
  });
  ASSERT_TRUE(saved);
  EXPECT_EQ(typed, Root() + "/report");
  // Through the component: the default extension is added.
  Driver::AnswerNextModal([](TCustomForm& f) {
    auto& form = dynamic_cast<TSaveDialogForm&>(f);
    Driver::Fill(form.NameEdit, "report");
    Driver::PressKey(VK_RETURN);
  });
  // The headless backend answers save dialogs itself; the form is run as
  // the X11 backend runs it.
  Driver::AnswerNextSaveDialog([](TSaveDialog& d, std::string& n) { return RunSaveDialogForm(d, n); });
  ASSERT_TRUE(dialog.Execute());
  EXPECT_EQ(dialog.FileName, Root() + "/report.txt");
}

TEST_F(SaveDialogFormTest, AMissingFolderStartsInTheCurrentOneAndEscCancels) {
  TSaveDialog dialog(nullptr);
  dialog.InitialDir = Root() + "/nowhere";
  std::string name = "kept";
  const bool saved = Run(dialog, name, [&](TSaveDialogForm& f) {
    EXPECT_EQ(f.Folder(), fs::current_path().string());
    Driver::PressKey(VK_ESCAPE);
  });
  EXPECT_FALSE(saved);
  EXPECT_EQ(name, "kept");
  TSaveDialogForm* form = Create<TSaveDialogForm>(nullptr);
  EXPECT_FALSE(form->OpenFolder(Root() + "/file.txt"));  // a file is no folder
  EXPECT_FALSE(form->OpenFolder(""));
  EXPECT_TRUE(form->OpenFolder("/"));
  EXPECT_EQ(form->Folder(), "/");
  EXPECT_NE(form->FolderList->Items().Text().substr(0, 2), "..");  // nothing above the root
  TComponent::Free(form);
}

}  // namespace

// The installation: its log, when the dialog shows, what it answers, and
// saving the log.

#include "DialogsTestSupport.h"
#include "driver/Dialogs.h"
#include "driver_dialogs/DrvInstall.h"
#include "platform/os/Text.h"
#include "platform/ui/Edit.h"
#include "platform/ui/SaveDialog.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

using namespace dlgtest;
using namespace platform::os::literals;
namespace fs = std::filesystem;

const std::string kSerious = std::string(
    "При установке драйвера произошли серьезные ошибки. Пожалуйста, проанализируйте журнал установки драйвера. "
    "В случае необходимости, сохраните содержимое журнала в файл и свяжитесь со службой технической поддержки "
    "компании Corvex."_cp);

std::string Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void Write(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

class Install : public HeadlessTest {
 protected:
  void SetUp() override {
    HeadlessTest::SetUp();
    fs::create_directories(folder_ / "src");
    fs::create_directories(folder_ / "dst");
  }
  std::string Dir(const char* name) const { return (folder_ / name).string() + "/"; }
  void Source(std::initializer_list<const char*> extensions) {
    for (const char* ext : extensions) Write(folder_ / "src" / ("Ferrowick_V30" + std::string(ext)), ext);
  }
  // The log of a run, as the dialog holds it afterwards.
  std::vector<std::string> Log(const std::string& source, const std::string& target, bool& result, bool& critical) {
    const auto dialog = ui::CreateOwned<driver_dialogs::TInstallProcDialog>(nullptr);
    result = dialog->CopyDriverFiles(source, target);
    critical = dialog->CriticalError();
    std::vector<std::string> lines;
    for (int i = 0; i < dialog->ProcessMemo->Lines().Count(); ++i) lines.push_back(dialog->ProcessMemo->Lines()[i]);
    return lines;
  }
  // Runs the installation; the dialog, when it shows, is answered by act
  // after its label and log are taken.
  bool Run(const std::string& source, const std::string& target, std::function<void(ui::TCustomForm&)> act = {}) {
    shown_ = false;
    ui::THeadlessDriver::SetDefaultModalAnswer([&, act](ui::TCustomForm& form) {
      ASSERT_EQ(form.Name(), "InstallProcDialog");
      EXPECT_EQ(form.Caption(), "Установка драйвера..."_cp);
      shown_ = true;
      label_ = Shown(form, "MessageLabel");
      log_ = Shown(form, "ProcessMemo");
      if (act) act(form);
      else Click(form, "CancelBitBtn");
    });
    return driver_dialogs::InstallDriver(0, source, target);
  }

  bool shown_ = false;
  std::string label_;
  std::string log_;
};

std::vector<std::string> Step(std::string_view header, const std::string& source, const std::string& target,
                              std::string_view outcome) {
  return {std::string(header), std::string("Исходный файл: "_cp) + source, std::string("Целевой файл: "_cp) + target,
          std::string(outcome)};
}

TEST_F(Install, SameFolderLogsSuccessForEveryStepAndCopiesNothing) {
  Source({".srv", ".ini", ".cfg", ".edd", ".ico"});
  const std::string d = Dir("src");
  // Read-only files: a copy onto one of them would fail.
  for (const auto& entry : fs::directory_iterator(folder_ / "src")) fs::permissions(entry.path(), fs::perms::owner_read);
  std::vector<std::string> expected = {"GUID={15EEE945-B447-4659-ABE2-8E4FF2BBFC65}",
                                       std::string("Name=Драйвер поддержки OPC серверов. Версия 3.0"_cp)};
  const std::string ok = std::string("Успешное копирование файла."_cp);
  for (auto step : {Step("Копируем сервер доступа к устройству..."_cp, d + "Ferrowick_V30.srv", d + "Ferrowick_V30.srv", ok),
                    Step("Копируется конфигурационный файл по умолчанию..."_cp, d + "Ferrowick_V30.ini",
                         d + "Ferrowick_V30.ini", ok),
                    Step("Копируется файл пиктограммы сервера..."_cp, d + "Ferrowick_V30.ico", d + "Ferrowick_V30.ico", ok)})
    expected.insert(expected.end(), step.begin(), step.end());
  bool result = false, critical = true;
  EXPECT_EQ(Log(d, d, result, critical), expected);
  EXPECT_TRUE(result);
  EXPECT_FALSE(critical);

  // Other spellings of the same folder are the same files.
  fs::create_directory_symlink(folder_ / "src", folder_ / "link");
  for (const std::string& other : {(folder_ / "link").string() + "/", (folder_ / "src").string() + "//",
                                   (folder_ / "src").string() + "/./"}) {
    SCOPED_TRACE(other);
    EXPECT_TRUE(Run(d, other));
    EXPECT_FALSE(shown_);
  }
  EXPECT_EQ(Read(folder_ / "src/Ferrowick_V30.ini"), ".ini");
}

TEST_F(Install, MissingServerShowsTheSeriousErrorsAndFails) {
  Source({".ini", ".edd"});
  EXPECT_FALSE(Run(Dir("src"), Dir("dst")));
  EXPECT_TRUE(shown_);
  EXPECT_EQ(label_, kSerious);
  EXPECT_NE(log_.find("\r\nERROR: Файл не найден!\r\n"_cp), std::string::npos) << log_;
  EXPECT_EQ(Read(folder_ / "dst/Ferrowick_V30.ini"), ".ini");  // the rest is still installed
}

TEST_F(Install, MissingDescriptionAndIconAreNoFailure) {
  Source({".srv", ".ini"});
  bool result = false, critical = true;
  const auto lines = Log(Dir("src"), Dir("dst"), result, critical);
  EXPECT_TRUE(result);
  const auto has = [&](std::string_view line) { return std::find(lines.begin(), lines.end(), line) != lines.end(); };
  EXPECT_TRUE(has("Копируется файл описания устройства..."_cp));
  EXPECT_TRUE(has("WARRNING: Файл описания устроства не определен."_cp));
  EXPECT_TRUE(has("WARRNING: Файл конфигурации поумолчанию не определен."_cp));  // the .cfg
  EXPECT_FALSE(has("Копируется файл пиктограммы сервера..."_cp));
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "Успешное копирование файла."_cp), 2);
  EXPECT_TRUE(Run(Dir("src"), Dir("dst")));
  EXPECT_FALSE(shown_);
  EXPECT_EQ(Read(folder_ / "dst/Ferrowick_V30.srv"), ".srv");
}

TEST_F(Install, WriteProtectedSettingsShowTheNonCriticalMessageAndSucceed) {
  Source({".srv", ".ini", ".cfg", ".edd", ".ico"});
  Write(folder_ / "dst/Ferrowick_V30.ini", "kept");
  fs::permissions(folder_ / "dst/Ferrowick_V30.ini", fs::perms::owner_read);
  EXPECT_TRUE(Run(Dir("src"), Dir("dst")));
  EXPECT_TRUE(shown_);
  EXPECT_NE(label_, kSerious);
  EXPECT_NE(label_.find("не влияющие на работу драйвера"_cp), std::string::npos) << label_;
  EXPECT_NE(log_.find("ERROR: Ошибка копирвания файла!"_cp), std::string::npos);
  EXPECT_EQ(Read(folder_ / "dst/Ferrowick_V30.ini"), "kept");
  EXPECT_EQ(Read(folder_ / "dst/Ferrowick_V30.ico"), ".ico");
}

TEST_F(Install, SaveWritesTheLogLinesAndCancelWritesNothing) {
  Source({".ini"});
  const std::string saved = (folder_ / "journal.txt").string();
  // Saved: every line with CR LF, and the click closes the dialog.
  ui::THeadlessDriver::AnswerNextSaveDialog([&](ui::TSaveDialog& dialog, std::string& name) {
    EXPECT_EQ(dialog.Title, "Сохранить журнал как..."_cp);
    EXPECT_EQ(dialog.Filter, "Текстовые файлы (*.txt)|*.txt"_cp);
    name = saved;
    return true;
  });
  EXPECT_FALSE(Run(Dir("src"), Dir("dst"), [](ui::TCustomForm& form) { Click(form, "SaveLogBitBtn"); }));
  EXPECT_EQ(Read(saved), log_);  // CR LF after each line
  EXPECT_NE(log_.find("\r\n"), std::string::npos);

  fs::remove(saved);
  ui::THeadlessDriver::AnswerNextSaveDialog([](ui::TSaveDialog&, std::string&) { return false; });
  EXPECT_FALSE(Run(Dir("src"), Dir("dst"), [](ui::TCustomForm& form) { Click(form, "SaveLogBitBtn"); }));
  EXPECT_FALSE(fs::exists(saved));
}

TEST_F(Install, LogThatCannotBeSavedIsReportedAndKept) {
  Source({".ini"});
  const fs::path saved = folder_ / "journal.txt";
  for (const fs::path& path : {folder_ / "no-such-folder/journal.txt", saved}) {
    ui::THeadlessDriver::AnswerNextSaveDialog([path](ui::TSaveDialog&, std::string& name) {
      name = path.string();
      return true;
    });
  }
  std::string boxText;
  EXPECT_FALSE(Run(Dir("src"), Dir("dst"), [&](ui::TCustomForm& form) {
    ui::THeadlessDriver::AnswerNextModal([&](ui::TCustomForm& box) {
      EXPECT_EQ(box.Name(), "MessageBoxDialog");
      boxText = Shown(box, "MessageLabel");
      Click(box, "OkBitBtn");
    });
    Click(form, "SaveLogBitBtn");
    // Still open with its log, so the user can try again.
    EXPECT_EQ(form.ModalResult(), ui::mrNone);
    EXPECT_EQ(Shown(form, "ProcessMemo"), log_);
    Click(form, "SaveLogBitBtn");
  }));
  EXPECT_NE(boxText.find("no-such-folder/journal.txt"), std::string::npos) << boxText;
  EXPECT_EQ(Read(saved), log_);
}

}  // namespace

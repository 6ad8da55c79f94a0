#include "driver_dialogs/DrvInstall.h"

#include "driver/Dialogs.h"
#include "driver/DriverModule.h"
#include "driver/DrvThread.h"
#include "driver_dialogs/DialogControls.h"
#include "platform/com/Guid.h"
#include "platform/os/Files.h"
#include "platform/os/Text.h"
#include "skin/sFormButtons.h"

#include <cstring>

namespace driver_dialogs {

namespace ui = platform::ui;
namespace os = platform::os;
using namespace platform::os::literals;

namespace {

constexpr std::string_view CopySucceeded = "Успешное копирование файла."_cp;
constexpr std::string_view CopyFailed = "ERROR: Ошибка копирвания файла!"_cp;
constexpr std::string_view SettingsHeader = "Копируется конфигурационный файл по умолчанию..."_cp;
constexpr std::string_view SettingsMissing = "WARRNING: Файл конфигурации поумолчанию не определен."_cp;

}  // namespace

TInstallProcDialog::TInstallProcDialog(ui::TComponent* owner) : ui::TForm(owner) {
  SetUpDialogForm(*this, "InstallProcDialog", "Установка драйвера..."_cp, 480, 360);

  LogoImage = AddLogo(*this, "LogoPanel", "LogoImage", 8, 8);
  LogoPanel = static_cast<ui::TPanel*>(LogoImage->Parent());

  MessageLabel = ui::CreateChild<ui::TLabel>(this, this, "MessageLabel");
  MessageLabel->SetBounds(128, 8, 344, 112);
  MessageLabel->SetAlignment(ui::TAlignment::taCenter);
  MessageLabel->SetWordWrap(true);
  MessageLabel->SetCaption(
      "При установке драйвера произошли серьезные ошибки. Пожалуйста, проанализируйте журнал установки драйвера. "
      "В случае необходимости, сохраните содержимое журнала в файл и свяжитесь со службой технической поддержки "
      "компании Corvex."_cp);

  ProcessPanel = AddSunkenPanel(*this, "ProcessPanel", 8, 128, 464, 184);
  ProcessPanel->SetBorderWidth(2);
  ProcessMemo = ui::CreateChild<ui::TMemo>(this, ProcessPanel, "ProcessMemo");
  ProcessMemo->SetAlign(ui::TAlign::alClient);
  ProcessMemo->SetReadOnly(true);
  ProcessMemo->SetBorderStyle(ui::TBorderStyle::bsNone);
  ProcessMemo->SetScrollBars(ui::TScrollStyle::ssVertical);

  SaveLogBitBtn = skin::CreateFormButton(this, this, "SaveLogBitBtn");
  SaveLogBitBtn->SetBounds(280, 324, 96, 25);
  SaveLogBitBtn->SetCaption("Сохранить..."_cp);
  SaveLogBitBtn->SetModalResult(ui::mrCancel);
  SaveLogBitBtn->OnClick = [this](ui::TObject*) { SaveLogBitBtnClick(); };
  CancelBitBtn = skin::CreateFormButton(this, this, "CancelBitBtn");
  CancelBitBtn->SetBounds(384, 324, 88, 25);
  CancelBitBtn->SetCaption("Закрыть"_cp);
  CancelBitBtn->SetDefault(true);
  CancelBitBtn->SetModalResult(ui::mrCancel);

  SaveDialog = ui::Create<ui::TSaveDialog>(this);
  SaveDialog->SetName("SaveDialog");
  SaveDialog->Title = "Сохранить журнал как..."_cp;
  SaveDialog->Filter = "Текстовые файлы (*.txt)|*.txt"_cp;
  SaveDialog->DefaultExt = "*.txt";
}

void TInstallProcDialog::Log(std::string_view line) { ProcessMemo->Lines().Add(line); }

void TInstallProcDialog::LogPaths(const std::string& source, const std::string& target) {
  Log(std::string("Исходный файл: "_cp) + source);
  Log(std::string("Целевой файл: "_cp) + target);
}

bool TInstallProcDialog::CopyLogged(const std::string& source, const std::string& target, TFileRole role) {
  if (os::SameFile(source, target) || os::CopyFile(source, target, true)) {
    Log(CopySucceeded);
    return true;
  }
  Log(CopyFailed);
  if (role == TFileRole::Critical) criticalError_ = true;
  return false;
}

void TInstallProcDialog::LogDriverInfo() {
  driver::TDrvDeviceInfo info;
  driver::FillDeviceInfo(&info);
  platform::com::GUID guid;
  static_assert(sizeof guid == sizeof info.DriverGUID);
  std::memcpy(&guid, info.DriverGUID, sizeof guid);
  Log("GUID=" + platform::com::GuidToString(guid));
  Log("Name=" + std::string(info.Description, strnlen(info.Description, sizeof info.Description)));
}

bool TInstallProcDialog::CopyServerProgram() {
  const std::string source = os::Trim(sourceDir_ + std::string(driver::ServerProgramName));
  const std::string target = os::Trim(targetDir_ + std::string(driver::ServerProgramName));
  Log("Копируем сервер доступа к устройству..."_cp);
  LogPaths(source, target);
  if (os::FileExists(source)) return CopyLogged(source, target, TFileRole::Critical);
  Log("ERROR: Файл не найден!"_cp);
  criticalError_ = true;
  return false;
}

bool TInstallProcDialog::CopyOptional(std::string_view header, std::string_view missing, const std::string& source,
                                      const std::string& target) {
  Log(header);
  LogPaths(source, target);
  if (os::FileExists(source)) return CopyLogged(source, target, TFileRole::Optional);
  Log(missing);
  return true;
}

bool TInstallProcDialog::CopyDriverFiles(const std::string& sourceDir, const std::string& targetDir) {
  criticalError_ = false;
  sourceDir_ = sourceDir;
  targetDir_ = targetDir;
  ProcessMemo->Clear();
  LogDriverInfo();
  bool result = CopyServerProgram();

  const std::string settings = os::Trim(sourceDir_ + std::string(driver::SettingsFileName));
  const std::string settingsTarget = os::Trim(targetDir_ + std::string(driver::SettingsFileName));
  result = CopyOptional(SettingsHeader, SettingsMissing, settings, settingsTarget) && result;
  const std::string cfg = os::ChangeFileExt(settings, ".cfg");
  const std::string cfgTarget = os::ChangeFileExt(settingsTarget, ".cfg");
  if (!os::SameFile(cfg, cfgTarget)) result = CopyOptional(SettingsHeader, SettingsMissing, cfg, cfgTarget) && result;
  const std::string edd = os::ChangeFileExt(settings, ".edd");
  const std::string eddTarget = os::ChangeFileExt(settingsTarget, ".edd");
  if (!os::SameFile(edd, eddTarget)) {
    result = CopyOptional("Копируется файл описания устройства..."_cp,
                          "WARRNING: Файл описания устроства не определен."_cp, edd, eddTarget) &&
             result;
  }
  const std::string icon = sourceDir_ + "Ferrowick_V30.ico";
  if (os::FileExists(icon)) {
    result = CopyOptional("Копируется файл пиктограммы сервера..."_cp, "", icon, targetDir_ + "Ferrowick_V30.ico") &&
             result;
  }

  if (!criticalError_) {
    MessageLabel->SetCaption(
        "При установке драйвера произошли ошибки, не влияющие на работу драйвера: некоторые файлы не были "
        "скопированы. Пожалуйста, проанализируйте журнал установки драйвера и, в случае необходимости, "
        "скопируйте эти файлы вручную."_cp);
  }
  return result;
}

// A log that cannot be written is not lost: the user is told, and the
// dialog stays open with its log for another try.
void TInstallProcDialog::SaveLogBitBtnClick() {
  if (!SaveDialog->Execute()) return;
  if (ProcessMemo->Lines().SaveToFile(SaveDialog->FileName)) return;
  const std::string text =
      std::string("Журнал установки драйвера не удалось сохранить в файл \""_cp) + SaveDialog->FileName + "\".";
  ShowMessageBoxDialog(Handle(), Caption(), text, false, false);
  SetModalResult(ui::mrNone);
}

bool InstallDriver(HostWindowHandle parent, const std::string& sourceDir, const std::string& targetDir) {
  const auto dialog = ui::CreateOwned<TInstallProcDialog>(nullptr);
  dialog->SetParentWindow(parent);
  if (dialog->CopyDriverFiles(sourceDir, targetDir)) return true;
  dialog->ShowModal();
  return !dialog->CriticalError();
}

}  // namespace driver_dialogs

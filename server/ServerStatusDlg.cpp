#include "server/ServerStatusDlg.h"

#include <cstring>

#include "platform/com/Memory.h"
#include "platform/com/WideString.h"
#include "platform/os/Time.h"
#include "platform/os/Text.h"
#include "platform/ui/Picture.h"
#include "platform/ui/Resources.h"
#include "server/MainWindow.h"
#include "skin/sFormButtons.h"

namespace server {

namespace ui = platform::ui;
namespace com = platform::com;
using namespace platform::os::literals;

namespace {

constexpr int kFieldTop = 96;
constexpr int kFieldStep = 38;

// Frees a status record of task memory with its vendor text.
struct TaskMemStatus {
  com::OPCSERVERSTATUS* record = nullptr;
  ~TaskMemStatus() {
    if (record == nullptr) return;
    com::CoTaskMemFree(record->szVendorInfo);
    com::CoTaskMemFree(record);
  }
};

}  // namespace

std::string StatusTimeText(const com::FILETIME& time) {
  platform::os::TDateTime value = 0;
  if (!platform::os::FileTimeToDateTime(time, value)) return std::string(kNoStatusText);
  const std::string text = platform::os::FormatDateTime("dd-mm-yyyy hh:nn:ss:zzz", value);
  return text.empty() ? std::string(kNoStatusText) : text;
}

std::string ServerStateText(std::uint32_t state) {
  switch (state) {
    case 1: return std::string("В работе"_cp);
    case 2: return std::string("Ошибка сервера"_cp);
    case 3: return std::string("Нет конфигурации"_cp);
    case 4: return std::string("Остановлен"_cp);
    case 5: return std::string("Тестовый режим"_cp);
    case 6: return std::string("Ошибка связи"_cp);
    default: return std::string(kNoStatusText);
  }
}

std::string StatusVersionText(const com::OPCSERVERSTATUS& status) {
  return std::to_string(status.wMajorVersion) + "." + std::to_string(status.wMinorVersion) + "." +
         std::to_string(status.wBuildNumber);
}

TServerStatusDialog::TServerStatusDialog(ui::TComponent* owner) : ui::TForm(owner) {
  SetName("ServerStatusDialog");
  SetCaption("Информация об OPC сервере..."_cp);
  SetBorderStyle(ui::TFormBorderStyle::bsDialog);
  SetPosition(ui::TPosition::poScreenCenter);
  SetClientWidth(472);
  SetClientHeight(472);

  PropertyGroupBox = ui::CreateChild<ui::TGroupBox>(this, this, "PropertyGroupBox");
  PropertyGroupBox->SetBounds(8, 8, 456, 420);

  LogoImage = ui::CreateChild<ui::TImage>(this, PropertyGroupBox, "LogoImage");
  LogoImage->SetBounds(12, 20, 32, 32);
  LoadLogo();

  InfoLabel = ui::CreateChild<ui::TLabel>(this, PropertyGroupBox, "InfoLabel");
  InfoLabel->SetBounds(56, 18, 388, 72);
  InfoLabel->SetWordWrap(true);
  InfoLabel->SetCaption(
      "Информация об OPC сервере. Поставляется самим сервером и зависит от реализации производителя "
      "OPC сервера. Наиболее важный параметр - статус OPC сервера. Только активный сервер, по "
      "спецификации OPC, может поставлять информацию клиенту."_cp);

  StartTimeEdit = AddField(0, "StartTimeEdit", "Время старта OPC сервера (dd-mm-yyyy hh:nn:ss:msec):"_cp);
  CurrentTimeEdit = AddField(1, "CurrentTimeEdit", "Текущее время сервера (dd-mm-yyyy hh:nn:ss:msec):"_cp);
  LastUpdateTimeEdit = AddField(2, "LastUpdateTimeEdit", "Время обновления (dd-mm-yyyy hh:nn:ss:msec):"_cp);
  ServerStateEdit = AddField(3, "ServerStateEdit", "Текущее состояние OPC сервера:"_cp);
  GroupCountEdit = AddField(4, "GroupCountEdit", "Общее количество групп:"_cp);
  VersionNumberEdit = AddField(5, "VersionNumberEdit", "Номер версии и сборки:"_cp);

  const int vendorTop = kFieldTop + 6 * kFieldStep;
  VendorInfoLabel = ui::CreateChild<ui::TLabel>(this, PropertyGroupBox, "VendorInfoLabel");
  VendorInfoLabel->SetBounds(12, vendorTop, 432, 13);
  VendorInfoLabel->SetCaption("Информация производителя:"_cp);
  VendorInfoMemo = ui::CreateChild<ui::TMemo>(this, PropertyGroupBox, "VendorInfoMemo");
  VendorInfoMemo->SetBounds(12, vendorTop + 16, 432, 56);
  VendorInfoMemo->SetReadOnly(true);
  VendorInfoMemo->SetScrollBars(ui::TScrollStyle::ssVertical);
  VendorInfoLabel->SetFocusControl(VendorInfoMemo);

  OkBitBtn = skin::CreateFormButton(this, this, "OkBitBtn");
  OkBitBtn->SetBounds(384, 438, 80, 25);
  OkBitBtn->SetCaption("Да"_cp);
  OkBitBtn->SetDefault(true);
  OkBitBtn->SetModalResult(ui::mrOk);
}

// A label over its read-only edit.
ui::TEdit* TServerStatusDialog::AddField(int row, const char* name, std::string_view caption) {
  const int top = kFieldTop + row * kFieldStep;
  ui::TLabel* label = ui::Create<ui::TLabel>(this);
  label->SetName(std::string(name).replace(std::strlen(name) - 4, 4, "Label"));
  label->SetParent(PropertyGroupBox);
  label->SetBounds(12, top, 432, 13);
  label->SetCaption(caption);
  ui::TEdit* edit = ui::CreateChild<ui::TEdit>(this, PropertyGroupBox, name);
  edit->SetBounds(12, top + 15, 200, 21);
  edit->SetReadOnly(true);
  edit->SetTabStop(false);
  label->SetFocusControl(edit);
  return edit;
}

// The program's icon stands for the server; a binary without it shows none.
void TServerStatusDialog::LoadLogo() {
  const auto bytes = ui::FindResource(kStatusBarIconResource, "ICON");
  if (!bytes) return;
  ui::TIcon icon;
  icon.LoadFromBytes(*bytes);
  LogoImage->Picture().SetGraphic(&icon);
}

void TServerStatusDialog::ShowStatus(const com::OPCSERVERSTATUS& status) {
  StartTimeEdit->SetText(StatusTimeText(status.ftStartTime));
  CurrentTimeEdit->SetText(StatusTimeText(status.ftCurrentTime));
  LastUpdateTimeEdit->SetText(StatusTimeText(status.ftLastUpdateTime));
  ServerStateEdit->SetText(ServerStateText(status.dwServerState));
  GroupCountEdit->SetText(std::to_string(status.dwGroupCount));
  VersionNumberEdit->SetText(StatusVersionText(status));
  VendorInfoMemo->SetMemoText(com::WideToAnsi(com::WideView(status.szVendorInfo)));
}

void ShowOPCServerStatus(ui::TComponent* owner, const com::OPCSERVERSTATUS& status) {
  auto* dialog = ui::Create<TServerStatusDialog>(owner);
  struct FreeAtEnd {
    TServerStatusDialog* dialog;
    ~FreeAtEnd() { ui::TComponent::Free(dialog); }
  } guard{dialog};
  dialog->ShowStatus(status);
  dialog->ShowModal();
}

bool ShowStatusOfServer(ui::TComponent* owner, com::IOPCServer& server) {
  TaskMemStatus status;
  const com::HRESULT hr = server.GetStatus(&status.record);
  if (com::FAILED(hr) || status.record == nullptr) return false;
  ShowOPCServerStatus(owner, *status.record);
  return true;
}

}  // namespace server

#include "server/MainWindow.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <future>
#include <string>
#include <utility>

#include "common/Opc_Description.h"
#include "exchange/ComonDef.h"
#include "exchange/OPCSharedMemory.h"
#include "platform/com/Apartment.h"
#include "platform/os/Convert.h"
#include "platform/os/Files.h"
#include "platform/os/Process.h"
#include "platform/os/Text.h"
#include "platform/ui/Application.h"
#include "platform/ui/Messages.h"
#include "platform/win/MessageLoop.h"
#include "server/DeviceWindow.h"
#include "server/ServerData.h"
#include "server/ServerDevices.h"
#include "server/ServerErrors.h"
#include "server/ServerStatusDlg.h"
#include "server/VariableIndex.h"
#include "skin/sFormButtons.h"

namespace server {

namespace ui = platform::ui;
namespace win = platform::win;
namespace os = platform::os;
using namespace platform::os::literals;

// A description model read from a file, with the error text of a read
// that failed.
struct TDescriptionRead {
  std::unique_ptr<common::TOPCDescriptionFile> Model;
  bool Failed = false;
  std::string ErrorText;
};

namespace {

constexpr std::uint32_t kTrayIconId = 1;

// Icon handles of this process: the tray record names an icon by a number;
// the icon object stays with the window that made it.
ui::HICON NewIconHandle() {
  static ui::HICON next = 0;
  return ++next;
}

// Reports an exception that a handler swallows, so that it is not lost.
void ReportSwallowed(const char* where) {
  try {
    throw;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s: %s\n", where, e.what());
  }
}

// Reads the description at path; a missing file gives an empty model. Any
// thread: it touches nothing of the window.
TDescriptionRead ReadDescription(const std::string& path) {
  TDescriptionRead read;
  read.Model = std::make_unique<common::TOPCDescriptionFile>();
  if (os::FileExists(path) && !read.Model->LoadFromFile(path)) {
    read.Failed = true;
    read.ErrorText = common::DescriptionErrorText();
  }
  return read;
}

std::string DriverStateText(std::uint8_t state) {
  switch (state) {
    case 0: return std::string("Неизвестно"_cp);
    case 1: return std::string("Инициализация"_cp);
    case 2: return std::string("В работе"_cp);
    case 3: return std::string("Остановлен"_cp);
    default: return {};
  }
}

}  // namespace

TServerWindow::TServerWindow(ui::TComponent* owner) : ui::TForm(owner) {
  SetName("ServerWindow");
  SetCaption("Поддержка технологии OPC..."_cp);
  SetBorderStyle(ui::TFormBorderStyle::bsDialog);
  SetPosition(ui::TPosition::poScreenCenter);
  SetClientWidth(460);
  SetClientHeight(396);

  PageControl = ui::CreateChild<ui::TPageControl>(this, this, "PageControl");
  PageControl->SetBounds(8, 8, 444, 344);
  BuildStatusPage();
  BuildRequestsPage();
  BuildCommandsPage();
  PageControl->SetActivePageIndex(0);
  BuildButtons();

  GeneralTimer = ui::Create<ui::TTimer>(this);
  GeneralTimer->SetName("GeneralTimer");
  GeneralTimer->SetEnabled(false);
  GeneralTimer->SetInterval(1000);
  GeneralTimer->SetOnTimer([this](ui::TObject* s) { OnGeneralTimer(s); });

  PopupMenu = ui::Create<ui::TPopupMenu>(this);
  PopupMenu->SetName("PopupMenu");
  SaveToFileMenuItem = ui::Create<ui::TMenuItem>(this);
  SaveToFileMenuItem->SetName("SaveToFileMenuItem");
  SaveToFileMenuItem->SetCaption("Сохранить в файл..."_cp);
  SaveToFileMenuItem->OnClick = [this](ui::TObject* s) { OnSaveToFile(s); };
  PopupMenu->Items()->Add(SaveToFileMenuItem);
  RequestsMemo->SetPopupMenu(PopupMenu);

  SaveDialog = ui::Create<ui::TSaveDialog>(this);
  SaveDialog->SetName("SaveDialog");
  SaveDialog->Title = "Сохранить как..."_cp;
  SaveDialog->Filter = "Текстовый файл (*.txt)|*.txt"_cp;
  SaveDialog->DefaultExt = "*.txt";

  OnCreate = [this](ui::TObject* s) { OnCreateWindow(s); };
  OnDestroy = [this](ui::TObject* s) { OnDestroyWindow(s); };
  OnCloseQuery = [this](ui::TObject* s, bool& canClose) { FormCloseQuery(s, canClose); };
  SetMessageHandler(win::WM_STATUSBARICON, [this](ui::TMessage& m) { WMStatusBarIcon(m); });
}

TServerWindow::~TServerWindow() = default;

// ---------------------------------------------------------------- layout

ui::TEdit* TServerWindow::AddField(ui::TGroupBox* box, int row, const char* name,
                                   std::string_view caption) {
  // Rows from the top of the box's client area (below its caption line).
  const int top = 4 + row * 26;
  ui::TLabel* label = ui::Create<ui::TLabel>(this);
  label->SetName(std::string(name).replace(std::strlen(name) - 4, 4, "Label"));
  label->SetParent(box);
  label->SetBounds(12, top + 4, 150, 13);
  label->SetCaption(caption);
  ui::TEdit* edit = ui::CreateChild<ui::TEdit>(this, box, name);
  edit->SetBounds(168, top, 248, 21);
  edit->SetReadOnly(true);
  edit->SetTabStop(false);
  label->SetFocusControl(edit);
  return edit;
}

void TServerWindow::BuildStatusPage() {
  StatusTabSheet = ui::CreateChild<ui::TTabSheet>(this, nullptr, "StatusTabSheet");
  StatusTabSheet->SetPageControl(PageControl);
  StatusTabSheet->SetCaption("Состояние"_cp);

  KernelGroupBox = ui::CreateChild<ui::TGroupBox>(this, StatusTabSheet, "KernelGroupBox");
  KernelGroupBox->SetBounds(4, 4, 428, 124);
  KernelGroupBox->SetCaption(" Halvorsten ");
  DmlNameEdit = AddField(KernelGroupBox, 0, "DmlNameEdit", "Имя драйвера:"_cp);
  DmlStateEdit = AddField(KernelGroupBox, 1, "DmlStateEdit", "Состояние драйвера:"_cp);
  DmlTagCounterEdit = AddField(KernelGroupBox, 2, "DmlTagCounterEdit", "Количество тегов:"_cp);
  DmlTransactionIdEdit = AddField(KernelGroupBox, 3, "DmlTransactionIdEdit", "ID транзакции:"_cp);

  ServerGroupBox = ui::CreateChild<ui::TGroupBox>(this, StatusTabSheet, "ServerGroupBox");
  ServerGroupBox->SetBounds(4, 132, 428, 176);
  ServerGroupBox->SetCaption(" Сервер связи "_cp);
  ConfigFileNameEdit = AddField(ServerGroupBox, 0, "ConfigFileNameEdit", "Файл конфигурации:"_cp);
  ServerTransactionIdEdit = AddField(ServerGroupBox, 1, "ServerTransactionIdEdit", "ID транзакции:"_cp);
  PIDEdit = AddField(ServerGroupBox, 2, "PIDEdit", "ID процесса:"_cp);
  WindowHandleEdit = AddField(ServerGroupBox, 3, "WindowHandleEdit", "ID окна:"_cp);
  TerminalIdEdit = AddField(ServerGroupBox, 4, "TerminalIdEdit", "ID терминала:"_cp);
  CommandsTerminalIdEdit = AddField(ServerGroupBox, 5, "CommandsTerminalIdEdit", "ID терминала команд:"_cp);
}

void TServerWindow::BuildRequestsPage() {
  RequestsTabSheet = ui::CreateChild<ui::TTabSheet>(this, nullptr, "RequestsTabSheet");
  RequestsTabSheet->SetPageControl(PageControl);
  RequestsTabSheet->SetCaption("Запросы"_cp);

  OPCServerList = ui::CreateChild<ui::TValueListEditor>(this, RequestsTabSheet, "OPCServerList");
  OPCServerList->SetBounds(4, 4, 428, 96);
  OPCServerList->TitleCaptions().Clear();
  OPCServerList->TitleCaptions().Add("OPC сервер"_cp);
  OPCServerList->TitleCaptions().Add("Путь к серверу"_cp);
  OPCServerList->OnClick = [this](ui::TObject* s) { OPCServerListClick(s); };
  OPCServerList->OnDblClick = [this](ui::TObject* s) { OnShowOPCStatus(s); };
  OPCServerList->OnSelectCell = [this](ui::TObject* s, int c, int r, bool& ok) {
    OnSelectOPCServer(s, c, r, ok);
  };

  RequestsGroupBox = ui::CreateChild<ui::TGroupBox>(this, RequestsTabSheet, "RequestsGroupBox");
  RequestsGroupBox->SetBounds(4, 104, 428, 204);
  RequestsGroupBox->SetCaption(" Полученные данные "_cp);
  RequestsMemo = ui::CreateChild<ui::TMemo>(this, RequestsGroupBox, "RequestsMemo");
  RequestsMemo->SetAlign(ui::TAlign::alClient);
  RequestsMemo->SetReadOnly(true);
  RequestsMemo->SetScrollBars(ui::TScrollStyle::ssVertical);
}

void TServerWindow::BuildCommandsPage() {
  CommandsTabSheet = ui::CreateChild<ui::TTabSheet>(this, nullptr, "CommandsTabSheet");
  CommandsTabSheet->SetPageControl(PageControl);
  CommandsTabSheet->SetCaption("Команды"_cp);

  CommandsTerminalGroupBox = ui::CreateChild<ui::TGroupBox>(this, CommandsTabSheet, "CommandsTerminalGroupBox");
  CommandsTerminalGroupBox->SetBounds(4, 4, 428, 304);
  CommandsTerminalGroupBox->SetCaption(" Терминальное окно команд  "_cp);
  CommandsMemo = ui::CreateChild<ui::TMemo>(this, CommandsTerminalGroupBox, "CommandsMemo");
  CommandsMemo->SetAlign(ui::TAlign::alClient);
  CommandsMemo->SetReadOnly(true);
  CommandsMemo->SetScrollBars(ui::TScrollStyle::ssVertical);
}

void TServerWindow::BuildButtons() {
  LockTerminalCheckBox = ui::CreateChild<ui::TCheckBox>(this, this, "LockTerminalCheckBox");
  LockTerminalCheckBox->SetBounds(8, 366, 160, 17);
  LockTerminalCheckBox->SetCaption("Блокировка терминала"_cp);
  LockTerminalCheckBox->SetChecked(true);

  OkBitBtn = skin::CreateFormButton(this, this, "OkBitBtn");
  OkBitBtn->SetBounds(196, 362, 80, 25);
  OkBitBtn->SetCaption("Скрыть"_cp);
  OkBitBtn->SetDefault(true);
  OkBitBtn->OnClick = [this](ui::TObject* s) { OnHideWindow(s); };

  ReloadBitBtn = skin::CreateFormButton(this, this, "ReloadBitBtn");
  ReloadBitBtn->SetBounds(284, 362, 80, 25);
  ReloadBitBtn->SetCaption("Выгрузить"_cp);
  ReloadBitBtn->OnClick = [this](ui::TObject* s) { CloseBitBtnClick(s); };

  ClearBitBtn = skin::CreateFormButton(this, this, "ClearBitBtn");
  ClearBitBtn->SetBounds(372, 362, 80, 25);
  ClearBitBtn->SetCaption("Очистить"_cp);
  ClearBitBtn->OnClick = [this](ui::TObject* s) { OnClearTerminals(s); };
}

// ---------------------------------------------------------------- start

void TServerWindow::OnCreateWindow(ui::TObject*) {
  if (Intercom == nullptr) std::exit(1);
  ServerClosing = false;
  struct EnableTimerAtEnd {
    ui::TTimer* timer;
    ~EnableTimerAtEnd() { timer->SetEnabled(true); }
  } guard{GeneralTimer};

  startupMessages_ = std::make_unique<os::TStringList>();
  ServerErrors = std::make_unique<TBaseErrorClass>();
  // The description is read on a worker while the start goes on: nothing
  // before the device windows uses it (without a thread to be had, it is
  // read when taken). IniFileName is the program's path with ".ini", so
  // this is the program's path with ".edd".
  std::future<TDescriptionRead> description = std::async(
      std::launch::async | std::launch::deferred, ReadDescription, os::ChangeFileExt(IniFileName, ".edd"));
  RegisterOwnSlot();
  DeviceList = std::make_unique<TDeviceList>();
  DeviceList->LoadFromIni(IniFileName, "OPCSRV");
  FillOPCServerList();
  InitializeSecurity();
  VariableIndex = std::make_unique<TVariableIndex>();
  VariableIndex->LoadFromShared();
  TakeDescription(description.get());
  StartDeviceWindows();
  UpdateStatusPage();
  PutUpTrayIcon();
}

void TServerWindow::TakeDescription(TDescriptionRead read) {
  DescriptionFile = std::move(read.Model);
  if (read.Failed) {
    startupMessages_->Add(read.ErrorText);
    startupMessages_->Add("Ошибка в файле описания OPC серверов."_cp);
  }
  if (DescriptionFile->Count() == 0)
    startupMessages_->Add("Описание OPC серверов не обнаружено."_cp);
}

void TServerWindow::RegisterOwnSlot() {
  if (!SectionOpen()) return;
  exchange::TServerData& slots = *Intercom->ServerData();
  slots.SetOwnProcessId(static_cast<std::int32_t>(os::GetCurrentProcessId()));
  slots.SetOwnWindowHandle(static_cast<std::int32_t>(Handle()));
  slots.SetOwnRunning(true);
}

void TServerWindow::InitializeSecurity() {
  constexpr std::uint32_t kAuthnLevelNone = 1;
  constexpr std::uint32_t kImpLevelImpersonate = 3;
  const platform::com::HRESULT hr = platform::com::CoInitializeSecurity(
      nullptr, -1, nullptr, nullptr, kAuthnLevelNone, kImpLevelImpersonate, nullptr, 0, nullptr);
  if (platform::com::FAILED(hr)) {
    const std::int32_t code = ErrorCode::DcomSecurity;
    ServerErrors->ReportText(code, ServerErrors->GetErrorText(code, 0));
  }
}

// Starting the windows connects every enabled device.
void TServerWindow::StartDeviceWindows() {
  deviceWindows_ = std::make_unique<TDeviceWindowList>();
  deviceWindows_->Build(DeviceList.get());
  deviceWindows_->StartAll();
}

// Ends the tick threads and disconnects every device.
void TServerWindow::StopDeviceWindows() {
  if (deviceWindows_ != nullptr) deviceWindows_->StopAll();
}

void TServerWindow::PutUpTrayIcon() {
  if (AddTrayIcon(Handle(), Caption(), win::WM_STATUSBARICON)) {
    ui::Application().ShowMainForm = false;
    return;
  }
  const std::int32_t code = ErrorCode::TrayIcon;
  ServerErrors->ReportText(code, ServerErrors->GetErrorText(code, 0));
  // Shown as usual: the application shows its main form; a window made
  // otherwise is shown here.
  ui::Application().ShowMainForm = true;
  if (ui::Application().MainForm() != this) Show();
}

// ---------------------------------------------------------------- tray

bool TServerWindow::AddTrayIcon(win::HWND window, std::string_view tip, std::uint32_t callbackMessage) {
  const std::string icoPath = os::ChangeFileExt(IniFileName, ".ico");
  if (os::FileExists(icoPath)) {
    // An icon file that cannot be read is no icon: the user placed it there
    // to be shown, so the resource does not stand in for it.
    auto icon = std::make_unique<ui::TIcon>();
    try {
      icon->LoadFromFile(icoPath);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "%s: %s\n", icoPath.c_str(), e.what());
      return false;
    }
    iconImage_ = std::move(icon);
    trayIcon_ = NewIconHandle();
  } else {
    auto icon = std::make_unique<ui::TIcon>();
    try {
      icon->LoadFromResourceName(kStatusBarIconResource);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "%s: %s\n", kStatusBarIconResource.data(), e.what());
      return false;
    }
    resourceIcon_ = std::move(icon);
    trayIcon_ = NewIconHandle();
  }
  ui::NOTIFYICONDATAA data{};
  data.cbSize = sizeof(data);
  data.hWnd = window;
  data.uID = kTrayIconId;
  data.uFlags = ui::NIF_MESSAGE | ui::NIF_ICON | ui::NIF_TIP;
  data.uCallbackMessage = callbackMessage;
  data.hIcon = trayIcon_;
  const std::size_t n = std::min(tip.size(), sizeof(data.szTip) - 1);
  std::memcpy(data.szTip, tip.data(), n);
  if (!ui::Shell_NotifyIconA(ui::NIM_ADD, &data)) return false;
  trayIconAdded_ = true;
  return true;
}

void TServerWindow::RemoveTrayIcon(win::HWND window) {
  if (trayIconAdded_) {
    ui::NOTIFYICONDATAA data{};
    data.cbSize = sizeof(data);
    data.hWnd = window;
    data.uID = kTrayIconId;
    ui::Shell_NotifyIconA(ui::NIM_DELETE, &data);
    trayIconAdded_ = false;
  }
  resourceIcon_.reset();
  iconImage_.reset();
  trayIcon_ = 0;
}

void TServerWindow::WMStatusBarIcon(ui::TMessage& message) {
  if (message.WParam != kTrayIconId || message.LParam != ui::WM_LBUTTONDBLCLK) return;
  try {
    Show();
  } catch (...) {
    ReportSwallowed("WMStatusBarIcon");
  }
}

// ---------------------------------------------------------------- timer

void TServerWindow::OnGeneralTimer(ui::TObject*) {
  if (!SectionOpen() || ServerClosing) return;
  if (!Intercom->DriverHolds()) {
    // The driver's process has gone without closing us: end as on its
    // WM_CLOSE, so that the section and the OPC servers are let go.
    win::PostMessage(Handle(), win::WM_CLOSE, 0, 0);
    return;
  }
  UpdateStatusPage();
  BumpHeartbeat();
  if (Visible() && !LockTerminalCheckBox->Checked()) {
    RequestsMemo->Lines() = RequestTerminal;
    RequestsMemo->Invalidate();
    CommandsMemo->SetMemoText(CommandsLog);
  }
}

void TServerWindow::BumpHeartbeat() {
  exchange::TServerData& slots = *Intercom->ServerData();
  slots.SetOwnHeartbeat(exchange::NextHeartbeat(slots.GetOwnHeartbeat()));
}

void TServerWindow::UpdateStatusPage() {
  if (!Visible() || !SectionOpen()) return;
  const exchange::THalvorstenInfo& info = *Intercom->HalvorstenInfo();
  const exchange::TServerData& slots = *Intercom->ServerData();
  DmlNameEdit->SetText(info.GetDescription());
  if (const std::string state = DriverStateText(info.GetState()); !state.empty())
    DmlStateEdit->SetText(state);
  DmlTagCounterEdit->SetText(os::IntToStr(Intercom->DMLVariables()->Count()));
  DmlTransactionIdEdit->SetText(os::IntToStr(info.GetTransactionId()));
  ConfigFileNameEdit->SetText(IniFileName);
  ServerTransactionIdEdit->SetText(os::IntToStr(slots.GetOwnHeartbeat()));
  PIDEdit->SetText(os::IntToStr(slots.GetOwnProcessId()));
  WindowHandleEdit->SetText(os::IntToStr(slots.GetOwnWindowHandle()));
  TerminalIdEdit->SetText(os::IntToStr(Intercom->Terminal1()->GetCounter()));
  CommandsTerminalIdEdit->SetText(os::IntToStr(Intercom->Terminal2()->GetCounter()));
}

// ---------------------------------------------------------------- list

void TServerWindow::FillOPCServerList() {
  OPCServerList->Strings().Clear();
  if (DeviceList != nullptr) {
    for (std::int32_t i = 0; i < DeviceList->Count(); ++i) {
      const TDevice* device = DeviceList->GetDevice(i);
      OPCServerList->Strings().Add(device->Name + "=" + device->OPCServerName);
    }
  }
  OPCServerList->Invalidate();
  const bool rows = OPCServerList->Strings().Count() > 0;
  OPCServerList->SetEnabled(rows);
  if (rows) OPCServerList->SetRow(1);
}

void TServerWindow::OnSelectOPCServer(ui::TObject*, int, int row, bool&) {
  // Row -1 (an empty list) selects no device.
  SelectedDevice = row >= 1 ? row - 1 : -1;
  RequestTerminal.Clear();
}

void TServerWindow::OPCServerListClick(ui::TObject* sender) {
  const bool windows = deviceWindows_ != nullptr && deviceWindows_->Count() > 0;
  if (OPCServerList->Row() < 0 && windows && OPCServerList->Strings().Count() > 0) OPCServerList->SetRow(1);
  bool canSelect = true;
  OnSelectOPCServer(sender, OPCServerList->Col(), OPCServerList->Row(), canSelect);
}

// The row's device number is looked up in every device window: one window
// holds all devices, so a bound by the number of windows would serve only
// the first row.
void TServerWindow::OnShowOPCStatus(ui::TObject*) {
  try {
    const std::int32_t number = OPCServerList->Row() - 1;
    if (number < 0 || deviceWindows_ == nullptr) return;
    TDevice* device = deviceWindows_->FindDeviceByNumber(number);
    if (device == nullptr || !device->OPCServer) return;
    ShowStatusOfServer(this, *device->OPCServer.Get());
  } catch (...) {
    ReportSwallowed("OnShowOPCStatus");
  }
}

// ---------------------------------------------------------------- buttons

void TServerWindow::FormCloseQuery(ui::TObject*, bool& canClose) { canClose = true; }

void TServerWindow::OnHideWindow(ui::TObject*) {
  try {
    Hide();
  } catch (...) {
    ReportSwallowed("OnHideWindow");
  }
}

void TServerWindow::CloseBitBtnClick(ui::TObject*) { Close(); }

void TServerWindow::OnClearTerminals(ui::TObject*) {
  CommandsLog.clear();
  RequestTerminal.Clear();
  RequestsMemo->Clear();
  CommandsMemo->Clear();
}

void TServerWindow::OnSaveToFile(ui::TObject*) {
  if (PageControl->ActivePageIndex() != 1) return;
  try {
    if (SaveDialog->Execute() && !RequestsMemo->Lines().SaveToFile(SaveDialog->FileName))
      std::fprintf(stderr, "OnSaveToFile: cannot write %s\n", SaveDialog->FileName.c_str());
  } catch (...) {
    ReportSwallowed("OnSaveToFile");
  }
}

// ---------------------------------------------------------------- stop

void TServerWindow::ShowClosingStep(std::string_view caption) {
  SetCaption(caption);
  Repaint();
}

void TServerWindow::OnDestroyWindow(ui::TObject*) {
  if (destroyed_) return;
  destroyed_ = true;
  ServerClosing = true;
  startupMessages_.reset();
  GeneralTimer->SetEnabled(false);
  ShowClosingStep("Timer stopping");
  ShowClosingStep("Device request stopping.");
  StopDeviceWindows();
  ShowClosingStep("Server stopped.");
  // The whole slot is cleared before the section goes, so that the driver's
  // stop never waits on a slot naming a window that no longer exists.
  if (SectionOpen()) {
    exchange::TServerData& slots = *Intercom->ServerData();
    slots.SetOwnRunning(false);
    slots.SetOwnProcessId(0);
    slots.SetOwnWindowHandle(0);
  }
  Intercom.reset();
  DeviceList.reset();
  deviceWindows_.reset();
  VariableIndex.reset();
  ServerErrors.reset();
  if (trayIconAdded_ || trayIcon_ != 0) RemoveTrayIcon(Handle());
}

}  // namespace server

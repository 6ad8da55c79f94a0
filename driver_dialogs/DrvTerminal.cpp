#include "driver_dialogs/DrvTerminal.h"

#include "driver/Devices.h"
#include "driver/Dialogs.h"
#include "driver/DriverModule.h"
#include "driver/DrvThread.h"
#include "driver_dialogs/DialogControls.h"
#include "exchange/OPCSharedMemory.h"
#include "platform/os/Text.h"
#include "platform/win/Messages.h"
#include "skin/sFormButtons.h"

#include <string>

namespace driver_dialogs {

namespace ui = platform::ui;
using namespace platform::os::literals;

namespace {

// Puts the terminal's text into memo once its counter moved from seen, and
// remembers the counter that text was written with. A read that times out
// leaves memo and seen as they were, so the next tick tries again.
void Follow(const exchange::TTerminalClass& terminal, int32_t& seen, ui::TMemo& memo) {
  if (terminal.GetCounter() == seen) return;
  std::string text;
  int32_t counter = 0;
  if (!terminal.TryReadText(text, counter)) return;
  seen = counter;
  memo.SetMemoText(text);
}

}  // namespace

TTerminalWindow::TTerminalWindow(ui::TComponent* owner) : ui::TForm(owner) {
  SetUpDialogForm(*this, "TerminalWindow", "Информация о работе драйвера Ferrowick..."_cp, 520, 400);

  PageControl = ui::CreateChild<ui::TPageControl>(this, this, "PageControl");
  PageControl->SetBounds(8, 8, 504, 348);

  RequestsTabSheet = ui::CreateChild<ui::TTabSheet>(this, nullptr, "RequestsTabSheet");
  RequestsTabSheet->SetPageControl(PageControl);
  RequestsTabSheet->SetCaption("Опрос"_cp);
  OPCServerList = ui::CreateChild<ui::TValueListEditor>(this, RequestsTabSheet, "OPCServerList");
  OPCServerList->SetBounds(4, 4, 488, 104);
  OPCServerList->TitleCaptions().Clear();
  OPCServerList->TitleCaptions().Add("OPC сервер"_cp);
  OPCServerList->TitleCaptions().Add("Путь к серверу"_cp);
  OPCServerList->SetColWidths(0, 160);
  OPCServerList->SetOptions(OPCServerList->Options() | ui::goRowSelect);
  OPCServerList->OnSelectCell = [this](ui::TObject*, int, int row, bool&) { OnSelectOPCServer(row); };
  TerminalGroupBox = ui::CreateChild<ui::TGroupBox>(this, RequestsTabSheet, "TerminalGroupBox");
  TerminalGroupBox->SetBounds(4, 112, 488, 204);
  TerminalGroupBox->SetCaption(" Терминал "_cp);
  TerminalMemo = ui::CreateChild<ui::TMemo>(this, TerminalGroupBox, "TerminalMemo");
  TerminalMemo->SetAlign(ui::TAlign::alClient);
  TerminalMemo->SetReadOnly(true);
  TerminalMemo->SetScrollBars(ui::TScrollStyle::ssVertical);

  CommandsTabSheet = ui::CreateChild<ui::TTabSheet>(this, nullptr, "CommandsTabSheet");
  CommandsTabSheet->SetPageControl(PageControl);
  CommandsTabSheet->SetCaption("Команды"_cp);
  CommandsGroupBox = ui::CreateChild<ui::TGroupBox>(this, CommandsTabSheet, "CommandsGroupBox");
  CommandsGroupBox->SetBounds(4, 4, 488, 312);
  CommandsGroupBox->SetCaption(" Терминал "_cp);
  CommandsTerminalMemo = ui::CreateChild<ui::TMemo>(this, CommandsGroupBox, "CommandsTerminalMemo");
  CommandsTerminalMemo->SetAlign(ui::TAlign::alClient);
  CommandsTerminalMemo->SetReadOnly(true);
  CommandsTerminalMemo->SetScrollBars(ui::TScrollStyle::ssVertical);
  CommandsTerminalMemo->SetWordWrap(false);
  PageControl->SetActivePageIndex(0);

  TerminalDisabledCheckBox = ui::CreateChild<ui::TCheckBox>(this, this, "TerminalDisabledCheckBox");
  TerminalDisabledCheckBox->SetBounds(8, 368, 120, 17);
  TerminalDisabledCheckBox->SetCaption("Отключить"_cp);
  TerminalDisabledCheckBox->OnClick = [this](ui::TObject*) { OnLockTerminal(); };

  DMLThreadStateLabel = ui::CreateChild<ui::TLabel>(this, this, "DMLThreadStateLabel");
  DMLThreadStateLabel->SetBounds(136, 370, 280, 13);
  DMLThreadStateLabel->SetCaption("Состояние драйвера DML"_cp);
  DMLThreadStateLabel->SetVisible(false);

  OkBitBtn = skin::CreateFormButton(this, this, "OkBitBtn");
  OkBitBtn->SetBounds(432, 364, 80, 25);
  OkBitBtn->SetCaption("Да"_cp);
  OkBitBtn->SetDefault(true);
  OkBitBtn->SetModalResult(ui::mrOk);

  Timer = ui::Create<ui::TTimer>(this);
  Timer->SetName("Timer");
  Timer->SetEnabled(false);
  Timer->SetInterval(500);
  Timer->SetOnTimer([this](ui::TObject*) { OnUpdateByTimer(); });

  SetMessageHandler(platform::win::WM_DRIVERSTATE, [this](ui::TMessage&) { WMDriverState(); });
  OnCreate = [this](ui::TObject*) { OnCreateDialog(); };
  OnDestroy = [this](ui::TObject*) { FormDestroy(); };
}

exchange::TIntercomInterface* TTerminalWindow::Terminals() {
  return driver::DeviceListGuard() != nullptr ? driver::Intercom() : nullptr;
}

void TTerminalWindow::OnCreateDialog() {
  driver::SetTerminalWindowHandle(Handle());
  terminalCounter_ = -1;
  commandsCounter_ = -1;
  OPCServerList->SetEnabled(false);
  exchange::TIntercomInterface* section = Terminals();
  if (section == nullptr) return;
  driver::DeviceListGuard()->With([this](const driver::TDeviceList& devices) {
    for (int32_t i = 0; i < devices.Count(); ++i) {
      OPCServerList->InsertRow(devices.At(i)->Name, devices.At(i)->OPCServerName, true);
    }
  });
  if (OPCServerList->Strings().Count() == 0) return;
  OPCServerList->SetEnabled(true);
  OPCServerList->SetRow(1);
  section->Terminal1()->SetOwnerId(0);
  OnUpdateByTimer();
  Timer->SetEnabled(true);
}

void TTerminalWindow::FormDestroy() { driver::SetTerminalWindowHandle(0); }

void TTerminalWindow::WMDriverState() {
  DMLThreadStateLabel->SetCaption(driver::ThreadStateText());
  DMLThreadStateLabel->Repaint();
}

void TTerminalWindow::OnSelectOPCServer(int row) {
  if (exchange::TIntercomInterface* section = Terminals()) section->Terminal1()->SetOwnerId(row - 1);
}

void TTerminalWindow::OnUpdateByTimer() {
  exchange::TIntercomInterface* section = Terminals();
  if (section == nullptr) return;
  Follow(*section->Terminal2(), commandsCounter_, *CommandsTerminalMemo);
  const int row = OPCServerList->Row();
  if (row < 1) return;
  const exchange::TTerminalClass& values = *section->Terminal1();
  if (row != values.GetOwnerId() + 1) {
    TerminalMemo->Clear();
    return;
  }
  Follow(values, terminalCounter_, *TerminalMemo);
}

// Without devices there is nothing to follow, so the timer stays off.
void TTerminalWindow::OnLockTerminal() {
  Timer->SetEnabled(!TerminalDisabledCheckBox->Checked() && OPCServerList->Enabled());
}

void ShowTerminalWindow(HostWindowHandle parent) {
  const auto window = ui::CreateOwned<TTerminalWindow>(nullptr);
  window->SetParentWindow(parent);
  window->ShowModal();
}

}  // namespace driver_dialogs

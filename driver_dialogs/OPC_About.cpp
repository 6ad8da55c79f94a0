#include "driver_dialogs/OPC_About.h"

#include "driver/Dialogs.h"
#include "driver_dialogs/DialogControls.h"
#include "platform/os/Text.h"

namespace driver_dialogs {

namespace ui = platform::ui;
using namespace platform::os::literals;

namespace {

// Lines separated by CR LF, the first one empty.
constexpr std::string_view AboutText =
    "\r\nДрайвер обслуживания OPC серверов ядром сервера Halvorsten.\r\n\r\nВерсия 3.0\r\n\r\n© Corvex, 2026"_cp;

}  // namespace

TAboutDialog::TAboutDialog(ui::TComponent* owner) : ui::TForm(owner) {
  SetUpDialogForm(*this, "AboutDialog", "О драйвере поддержки OPC серверов..."_cp, 366, 258);

  Image1 = AddLogo(*this, "LogoPanel", "Image1", 8, 8);
  Image1->SetStretch(true);
  LogoPanel = static_cast<ui::TPanel*>(Image1->Parent());

  MsgPanel = AddSunkenPanel(*this, "MsgPanel", 128, 8, 230, 209);
  MsgLabel = ui::CreateChild<ui::TLabel>(this, MsgPanel, "MsgLabel");
  MsgLabel->SetBounds(8, 8, 214, 193);
  MsgLabel->SetAlignment(ui::TAlignment::taCenter);
  MsgLabel->SetWordWrap(true);

  OkBitBtn = ui::CreateChild<ui::TBitBtn>(this, this, "OkBitBtn");
  OkBitBtn->SetBounds(278, 225, 80, 25);
  OkBitBtn->SetCaption("OK");
  OkBitBtn->SetDefault(true);
  OkBitBtn->SetModalResult(ui::mrOk);

  OnCreate = [this](ui::TObject*) { OnCreateDialog(); };
}

void TAboutDialog::OnCreateDialog() { MsgLabel->SetCaption(AboutText); }

void ShowAboutDialog(HostWindowHandle parent) {
  const auto dialog = ui::CreateOwned<TAboutDialog>(nullptr);
  dialog->SetParentWindow(parent);
  dialog->ShowModal();
}

}  // namespace driver_dialogs

#include "driver_dialogs/OPC_About.h"

#include "driver/Dialogs.h"
#include "driver_dialogs/DialogControls.h"
#include "driver_dialogs/DrvPictures.h"
#include "platform/os/Text.h"

namespace driver_dialogs {

namespace ui = platform::ui;
using namespace platform::os::literals;

std::string AboutText() {
  return std::string("\r\nДрайвер обслуживания OPC серверов ядром сервера Halvorsten.\r\n\r\nВерсия 3.0\r\n\r\n"
         "© Corvex, 2026"_cp);
}

TAboutDialog::TAboutDialog(ui::TComponent* owner) : ui::TForm(owner) {
  SetName("AboutDialog");
  SetCaption("О драйвере поддержки OPC серверов..."_cp);
  SetBorderStyle(ui::TFormBorderStyle::bsDialog);
  SetPosition(ui::TPosition::poScreenCenter);
  SetClientWidth(366);
  SetClientHeight(258);

  LogoPanel = AddControl<ui::TPanel>(this, this, "LogoPanel");
  LogoPanel->SetBounds(8, 8, 112, 112);
  LogoPanel->SetCaption("");
  LogoPanel->SetBevelOuter(ui::TPanelBevel::bvNone);
  LogoPanel->SetBevelInner(ui::TPanelBevel::bvLowered);
  Image1 = AddControl<ui::TImage>(this, LogoPanel, "Image1");
  Image1->SetBounds(8, 8, 96, 96);
  Image1->SetStretch(true);
  Image1->SetTransparent(true);
  LoadDialogPicture(Image1->Picture(), LogoPictureName);

  MsgPanel = AddControl<ui::TPanel>(this, this, "MsgPanel");
  MsgPanel->SetBounds(128, 8, 230, 209);
  MsgPanel->SetCaption("");
  MsgPanel->SetBevelOuter(ui::TPanelBevel::bvNone);
  MsgPanel->SetBevelInner(ui::TPanelBevel::bvLowered);
  MsgLabel = AddControl<ui::TLabel>(this, MsgPanel, "MsgLabel");
  MsgLabel->SetBounds(8, 8, 214, 193);
  MsgLabel->SetAlignment(ui::TAlignment::taCenter);
  MsgLabel->SetWordWrap(true);

  OkBitBtn = AddControl<ui::TBitBtn>(this, this, "OkBitBtn");
  OkBitBtn->SetBounds(278, 225, 80, 25);
  OkBitBtn->SetCaption("OK");
  OkBitBtn->SetDefault(true);
  OkBitBtn->SetModalResult(ui::mrOk);

  OnCreate = [this](ui::TObject*) { OnCreateDialog(); };
}

void TAboutDialog::OnCreateDialog() { MsgLabel->SetCaption(AboutText()); }

void ShowAboutDialog(HostWindowHandle parent) {
  const auto dialog = ui::CreateOwned<TAboutDialog>(nullptr);
  dialog->SetParentWindow(parent);
  dialog->ShowModal();
}

}  // namespace driver_dialogs

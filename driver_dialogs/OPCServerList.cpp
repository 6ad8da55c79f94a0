#include "driver_dialogs/OPCServerList.h"

#include "driver_dialogs/DialogControls.h"
#include "driver_dialogs/OPCenum.h"
#include "platform/com/OpcDa.h"
#include "platform/os/Text.h"
#include "platform/ui/Screen.h"
#include "skin/sFormButtons.h"

namespace driver_dialogs {

namespace ui = platform::ui;
namespace com = platform::com;
using namespace platform::os::literals;

namespace {

// Shows the hourglass while it lives and then the cursor from before.
class HourGlass {
 public:
  HourGlass() : saved_(ui::Screen().Cursor()) { ui::Screen().SetCursor(ui::crHourGlass); }
  ~HourGlass() { ui::Screen().SetCursor(saved_); }
  HourGlass(const HourGlass&) = delete;
  HourGlass& operator=(const HourGlass&) = delete;

 private:
  ui::TCursor saved_;
};

}  // namespace

TOPCServerBrowser::TOPCServerBrowser(ui::TComponent* owner) : ui::TForm(owner) {
  SetUpDialogForm(*this, "OPCServerBrowser", "Просмотр зарегистрированных OPC серверов..."_cp, 453, 310);

  ServerListGroupBox = ui::CreateChild<ui::TGroupBox>(this, this, "ServerListGroupBox");
  ServerListGroupBox->SetBounds(8, 4, 437, 262);
  ServerListGroupBox->SetCaption(" Список OPC серверов "_cp);
  OPCServersListBox = ui::CreateChild<ui::TListBox>(this, ServerListGroupBox, "OPCServersListBox");
  OPCServersListBox->SetAlign(ui::TAlign::alClient);
  OPCServersListBox->OnDblClick = [this](ui::TObject*) { OPCServersListBoxDblClick(); };

  UseRegistryCheckBox = ui::CreateChild<ui::TCheckBox>(this, this, "UseRegistryCheckBox");
  UseRegistryCheckBox->SetBounds(8, 280, 240, 17);
  UseRegistryCheckBox->SetCaption("Использовать данные реестра"_cp);
  UseRegistryCheckBox->Font().SetStyle(ui::fsBold);
  UseRegistryCheckBox->SetChecked(true);
  UseRegistryCheckBox->OnClick = [this](ui::TObject*) { UseRegistryCheckBoxClick(); };

  OkBitBtn = skin::CreateFormButton(this, this, "OkBitBtn");
  OkBitBtn->SetBounds(282, 276, 77, 25);
  OkBitBtn->SetCaption("Да"_cp);
  OkBitBtn->SetDefault(true);
  OkBitBtn->SetModalResult(ui::mrOk);
  CancelBitBtn = skin::CreateFormButton(this, this, "CancelBitBtn");
  CancelBitBtn->SetBounds(368, 276, 77, 25);
  CancelBitBtn->SetCaption("Отмена"_cp);
  CancelBitBtn->SetCancel(true);
  CancelBitBtn->SetModalResult(ui::mrCancel);

  OnCreate = [this](ui::TObject*) { OnCreateDialog(); };
}

void TOPCServerBrowser::OnCreateDialog() { FillServerList(); }

void TOPCServerBrowser::UseRegistryCheckBoxClick() { FillServerList(); }

void TOPCServerBrowser::OPCServersListBoxDblClick() {
  if (OPCServersListBox->ItemIndex() >= 0) SetModalResult(ui::mrOk);
}

void TOPCServerBrowser::FillServerList() {
  HourGlass hourGlass;
  OPCServersListBox->Clear();
  TOPCServerList servers = UseRegistryCheckBox->Checked()
                               ? TOPCServerList("", {}, true)
                               : TOPCServerList("", {com::CATID_OPCDAServer20}, false);
  servers.Refresh();
  for (int i = 0; i < servers.Count(); ++i) OPCServersListBox->Items().Add((*servers.Items())[i]);
  const bool any = OPCServersListBox->Items().Count() > 0;
  OkBitBtn->SetEnabled(any);
  if (any) OPCServersListBox->SetItemIndex(0);
}

std::string ShowOPCServerBrowser(HostWindowHandle parent) {
  ui::TComponentPtr<TOPCServerBrowser> form(ui::Create<TOPCServerBrowser>(nullptr));
  form->SetParentWindow(parent);
  if (form->ShowModal() != ui::mrOk) return "";
  const int index = form->OPCServersListBox->ItemIndex();
  return index >= 0 ? form->OPCServersListBox->Items()[index] : "";
}

}  // namespace driver_dialogs

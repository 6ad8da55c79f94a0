#include "driver_dialogs/Ferrowick_Setup.h"

#include "common/Opc_Description.h"
#include "driver/Dialogs.h"
#include "driver/Dlm_Libs.h"
#include "driver/DriverModule.h"
#include "driver_dialogs/DialogControls.h"
#include "driver_dialogs/DrvPictures.h"
#include "platform/os/Text.h"
#include "platform/win/MessageLoop.h"
#include "skin/sFormButtons.h"

#include <algorithm>
#include <cstring>

namespace driver_dialogs {

namespace ui = platform::ui;
using driver::TDevice;
using driver::TDeviceList;
using platform::os::Trim;
using namespace platform::os::literals;

namespace {

constexpr char kEsc = '\x1B';

// Device editors: labels in a left column, editors in a right one.
constexpr int kLabelLeft = 8;
constexpr int kLabelWidth = 100;
constexpr int kEditorLeft = 110;
constexpr int kEditorWidth = 197;
constexpr int kInnerWidth = kEditorLeft + kEditorWidth - kLabelLeft;  // of a device group box
constexpr int kBrowseWidth = 22;
constexpr int kRowHeight = 21;

ui::TLabel* MakeLabel(ui::TComponent* owner, ui::TWinControl* parent, const char* name, std::string_view caption,
                      int left, int top, int width) {
  auto* label = ui::CreateChild<ui::TLabel>(owner, parent, name);
  label->SetBounds(left, top, width, 13);
  label->SetCaption(caption);
  return label;
}

ui::TTabSheet* MakePage(ui::TComponent* owner, ui::TPageControl* pages, const char* name, std::string_view caption) {
  auto* page = ui::Create<ui::TTabSheet>(owner);
  page->SetName(name);
  page->SetPageControl(pages);
  page->SetCaption(caption);
  return page;
}

skin::TsBitBtn* MakeButton(ui::TComponent* owner, ui::TWinControl* parent, const char* name, std::string_view caption,
                        int left, int top, int width = 95) {
  auto* button = skin::CreateFormButton(owner, parent, name);
  button->SetBounds(left, top, width, 26);
  button->SetCaption(caption);
  return button;
}

void GiveHint(ui::TControl* control, std::string_view hint) {
  control->SetHint(hint);
  control->SetShowHint(true);
}

struct TSpinLimits {
  int Low, High, Default;
};

// A spin edit of one row with its limits, default value and hint.
ui::TSpinEdit* MakeSpin(ui::TComponent* owner, ui::TWinControl* parent, const char* name, int left, int top, int width,
                        TSpinLimits limits, std::string_view hint) {
  auto* spin = ui::CreateChild<ui::TSpinEdit>(owner, parent, name);
  spin->SetBounds(left, top, width, kRowHeight);
  spin->SetMinValue(limits.Low);
  spin->SetMaxValue(limits.High);
  spin->SetValue(limits.Default);
  GiveHint(spin, hint);
  return spin;
}

}  // namespace

std::string SettingsText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == kEsc) continue;
    if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;  // CR LF is one break
    out.push_back(c == '\r' || c == '\n' ? ' ' : c);
  }
  return out;
}

TFerrowickSetupDlg::TFerrowickSetupDlg(ui::TComponent* owner) : ui::TForm(owner) {
  SetUpDialogForm(*this, "FerrowickSetupDlg", "Драйвер поддержки технологии OPC. Версия 3.0"_cp, 513, 400);
  BuildHintManager();

  PageControl = ui::CreateChild<ui::TPageControl>(this, this, "PageControl");
  PageControl->SetBounds(4, 4, 505, 358);
  GeneralTabSheet = MakePage(this, PageControl, "GeneralTabSheet", "OPC");
  LogTabSheet = MakePage(this, PageControl, "LogTabSheet", "Параметры"_cp);
  BuildDevicePages();
  BuildParameterPage();
  PageControl->SetActivePage(GeneralTabSheet);

  OkBitBtn = MakeButton(this, this, "OkBitBtn", "Да"_cp, 314, 368);
  OkBitBtn->SetDefault(true);
  OkBitBtn->SetModalResult(ui::mrOk);
  OkBitBtn->OnClick = [this](ui::TObject* s) { OnOkButton(s); };
  sBitBtn1 = MakeButton(this, this, "sBitBtn1", "Отмена"_cp, 414, 368);
  sBitBtn1->SetCancel(true);
  sBitBtn1->SetModalResult(ui::mrCancel);

  OnCreate = [this](ui::TObject* s) { OnCreateDialog(s); };
  OnDestroy = [this](ui::TObject* s) { OnDestroyDialog(s); };
}

// The dialog's hint look, set as the form's stored values are: every value
// first, then Loaded applies Style (an ellipse with a tail toward the mouse,
// pale yellow, a hard edge, a black bevel and a soft black shadow).
void TFerrowickSetupDlg::BuildHintManager() {
  sHintManager1 = ui::Create<skin::TsHintManager>(this);
  sHintManager1->SetName("sHintManager1");
  sHintManager1->BeginLoading();
  skin::TsPassivePaintStyle& look = sHintManager1->sStyle();
  look.Background().Gradient().SetPercent(100);
  look.Shadow().SetTransparency(74);
  look.Shadow().SetOffset(16);
  look.Shadow().SetBlur(4);
  look.Painting().SetTransparency(0);
  look.Painting().SetColorBorderTop(0);
  look.Painting().SetColor(12778748);
  look.SetGroupIndex(-101);
  sHintManager1->Blur = 0;
  sHintManager1->ExOffset = 26;
  sHintManager1->MarginH = 6;
  sHintManager1->MarginV = 12;
  ui::TFont font;
  font.SetName("MS Sans Serif");
  font.SetHeight(-11);
  font.SetColor(0);
  sHintManager1->SetFont(font);
  sHintManager1->SetPreDefinitions(skin::TsHintsPredefinitions::shCustom);
  sHintManager1->EndLoading();
}

// Page "OPC": the device list, the device pages and the list buttons.
void TFerrowickSetupDlg::BuildDevicePages() {
  GroupBox1 = ui::CreateChild<ui::TGroupBox>(this, GeneralTabSheet, "GroupBox1");
  GroupBox1->SetBounds(4, 4, 148, 316);
  GroupBox1->SetCaption(" Активные сервера  "_cp);
  DevicesListBox = ui::CreateChild<ui::TListBox>(this, GroupBox1, "DevicesListBox");
  DevicesListBox->SetBounds(6, 4, 132, 288);
  DevicesListBox->OnClick = [this](ui::TObject* s) { OnChangeDeviceIndex(s); };
  GiveHint(DevicesListBox, "Список OPC серверов, обслуживаемых драйвером"_cp);

  SettingPageControl = ui::CreateChild<ui::TPageControl>(this, GeneralTabSheet, "SettingPageControl");
  SettingPageControl->SetBounds(158, 4, 335, 280);
  SettingGeneralTabSheet = MakePage(this, SettingPageControl, "SettingGeneralTabSheet", "Идентификация"_cp);
  TimeOutsTabSheet = MakePage(this, SettingPageControl, "TimeOutsTabSheet", "Контроль"_cp);
  BuildDeviceEditors();
  BuildControlEditors();
  SettingPageControl->SetActivePage(SettingGeneralTabSheet);

  AddBitBtn = MakeButton(this, GeneralTabSheet, "AddBitBtn", "Добавить"_cp, 158, 290, 105);
  AddBitBtn->OnClick = [this](ui::TObject* s) { OnAddDevice(s); };
  ReplaceBitBtn = MakeButton(this, GeneralTabSheet, "ReplaceBitBtn", "Применить"_cp, 273, 290, 105);
  ReplaceBitBtn->OnClick = [this](ui::TObject* s) { OnApplayChanging(s); };
  DelBitBtn = MakeButton(this, GeneralTabSheet, "DelBitBtn", "Удалить"_cp, 388, 290, 105);
  DelBitBtn->OnClick = [this](ui::TObject* s) { OnDeleteDevice(s); };
}

// Page "Идентификация": one row per device setting.
void TFerrowickSetupDlg::BuildDeviceEditors() {
  DeviceParamsGroupBox = ui::CreateChild<ui::TGroupBox>(this, SettingGeneralTabSheet, "DeviceParamsGroupBox");
  DeviceParamsGroupBox->SetBounds(4, 2, 319, 242);
  DeviceParamsGroupBox->SetCaption(" Свойства "_cp);
  ui::TGroupBox* box = DeviceParamsGroupBox;

  DeviceNameLabel = MakeLabel(this, box, "DeviceNameLabel", "Имя устройства:"_cp, kLabelLeft, 6, kLabelWidth);
  DeviceNameEdit = ui::CreateChild<ui::TEdit>(this, box, "DeviceNameEdit");
  DeviceNameEdit->SetBounds(kEditorLeft, 2, kEditorWidth, kRowHeight);
  GiveHint(DeviceNameEdit, "Логическое имя OPC сервера. Используется в информационных целях."_cp);

  DescriptionLabel = MakeLabel(this, box, "DescriptionLabel", "Описание:"_cp, kLabelLeft, 30, kLabelWidth);
  DescriptionMemo = ui::CreateChild<ui::TMemo>(this, box, "DescriptionMemo");
  DescriptionMemo->SetBounds(kEditorLeft, 27, kEditorWidth, 42);
  DescriptionMemo->SetWantReturns(false);
  DescriptionMemo->SetScrollBars(ui::TScrollStyle::ssVertical);
  GiveHint(DescriptionMemo, "Краткое описание OPC сервера. Используется в информационных целях."_cp);

  OPCServerNameLabel = MakeLabel(this, box, "OPCServerNameLabel", "OPC сервер:"_cp, kLabelLeft, 77, kLabelWidth);
  OPCServerNameEdit = ui::CreateChild<ui::TEdit>(this, box, "OPCServerNameEdit");
  OPCServerNameEdit->SetBounds(kEditorLeft, 73, kEditorWidth - kBrowseWidth - 2, kRowHeight);
  GiveHint(OPCServerNameEdit, "Физический OPC сервер, обслуживаемый драйвером."_cp);
  OPCServerBrouserButton = ui::CreateChild<ui::TSpeedButton>(this, box, "OPCServerBrouserButton");
  OPCServerBrouserButton->SetBounds(kEditorLeft + kEditorWidth - kBrowseWidth, 73, kBrowseWidth, kRowHeight);
  OPCServerBrouserButton->SetCaption("...");
  OPCServerBrouserButton->OnClick = [this](ui::TObject* s) { OnGetOPCServerName(s); };

  InterfaceLabel = MakeLabel(this, box, "InterfaceLabel", "Интерфейс:"_cp, kLabelLeft, 101, kLabelWidth);
  InterfaceComboBox = ui::CreateChild<ui::TComboBox>(this, box, "InterfaceComboBox");
  InterfaceComboBox->SetBounds(kEditorLeft, 97, kEditorWidth, kRowHeight);
  InterfaceComboBox->SetStyle(ui::TComboBoxStyle::csDropDownList);
  InterfaceComboBox->Items().Add("События от OPC сервера (IAdviseSink)"_cp);
  InterfaceComboBox->Items().Add("Функция обратного вызова (IOPCDataCallback)"_cp);
  InterfaceComboBox->SetItemIndex(0);
  GiveHint(InterfaceComboBox,
           "Интерфейс доступа к OPC серверу. OPC сервер  должен поддерживать хотябы один интерфейс доступа к "
           "данным."_cp);

  PrefixLabel = MakeLabel(this, box, "PrefixLabel", "Имя домена:"_cp, kLabelLeft, 125, kLabelWidth);
  PrefixEdit = ui::CreateChild<ui::TEdit>(this, box, "PrefixEdit");
  PrefixEdit->SetBounds(kEditorLeft, 121, kEditorWidth, kRowHeight);
  PrefixEdit->SetMaxLength(kMaxPrefixLength);
  PrefixEdit->SetText("OPC");
  GiveHint(PrefixEdit, "Имя домена, к которому принадлежит OPC сервер. Поле не может быть пустым."_cp);

  LogAddressLabel = MakeLabel(this, box, "LogAddressLabel", "Лог. адрес:"_cp, kLabelLeft, 149, kLabelWidth);
  LogAddressSpinEdit = MakeSpin(this, box, "LogAddressSpinEdit", kEditorLeft, 145, 70,
                                {kMinDeviceAddress, kMaxDeviceAddress, kMinDeviceAddress},
                                "Логический адрес устройства в проекте Halvorsten"_cp);
  PricisionLabel = MakeLabel(this, box, "PricisionLabel", "Точность:"_cp, kEditorLeft + kEditorWidth - 110, 149, 64);
  PricisionSpinEdit = MakeSpin(this, box, "PricisionSpinEdit", kEditorLeft + kEditorWidth - 44, 145, 44,
                               {0, driver::MaxPrecision, 1}, "Максимальное количество знаков после запятой"_cp);

  EDDLabel = MakeLabel(this, box, "EDDLabel", "Список тегов:"_cp, kLabelLeft, 173, kLabelWidth);
  EDDComboBox = ui::CreateChild<ui::TComboBox>(this, box, "EDDComboBox");
  EDDComboBox->SetBounds(kEditorLeft, 169, kEditorWidth, kRowHeight);
  EDDComboBox->SetStyle(ui::TComboBoxStyle::csDropDownList);
  GiveHint(EDDComboBox, "Список тегов, поддерживаемых OPC сервером."_cp);

  DeviceEnabledCheckBox = ui::CreateChild<ui::TCheckBox>(this, box, "DeviceEnabledCheckBox");
  DeviceEnabledCheckBox->SetBounds(kLabelLeft, 198, kInnerWidth, 17);
  DeviceEnabledCheckBox->SetCaption("Блокировка устройства"_cp);
  GiveHint(DeviceEnabledCheckBox, "Флаг блокировки доступа к OPC серверу."_cp);
}

// Page "Контроль": the two control tags, each with its navigator button.
void TFerrowickSetupDlg::BuildControlEditors() {
  GroupBox2 = ui::CreateChild<ui::TGroupBox>(this, TimeOutsTabSheet, "GroupBox2");
  GroupBox2->SetBounds(4, 2, 319, 242);
  GroupBox2->SetCaption(" Связь с OPC сервером "_cp);
  constexpr int editWidth = kInnerWidth - kBrowseWidth - 4;
  const auto linkHint = "Тег контроля связи с OPC сервером. Если поле пустое - связь драйвером не контролируется."_cp;
  const auto commandHint = "Тег контроля прохождения команды. Если поле пустое - связь драйвером не контролируется."_cp;

  VarLinkControlLabel =
      MakeLabel(this, GroupBox2, "VarLinkControlLabel", "Контроль связи:"_cp, kLabelLeft, 6, kInnerWidth);
  VarLinkControlEdit = ui::CreateChild<ui::TEdit>(this, GroupBox2, "VarLinkControlEdit");
  VarLinkControlEdit->SetBounds(kLabelLeft, 22, editWidth, kRowHeight);
  GiveHint(VarLinkControlEdit, linkHint);
  VarSelectButton = ui::CreateChild<ui::TButton>(this, GroupBox2, "VarSelectButton");
  VarSelectButton->SetBounds(kLabelLeft + kInnerWidth - kBrowseWidth, 22, kBrowseWidth, kRowHeight);
  VarSelectButton->SetCaption("...");
  VarSelectButton->OnClick = [this](ui::TObject* s) { OnSelectLinkVariable(s); };
  GiveHint(VarSelectButton, linkHint);

  CommandCtrlTagNameLabel = MakeLabel(this, GroupBox2, "CommandCtrlTagNameLabel",
                                      "Тег контроля прохождения команды :"_cp, kLabelLeft, 54, kInnerWidth);
  CommandCtrlTagNameEdit = ui::CreateChild<ui::TEdit>(this, GroupBox2, "CommandCtrlTagNameEdit");
  CommandCtrlTagNameEdit->SetBounds(kLabelLeft, 70, editWidth, kRowHeight);
  GiveHint(CommandCtrlTagNameEdit, commandHint);
  Run_Action_Tag_Name_Button = ui::CreateChild<ui::TButton>(this, GroupBox2, "Run_Action_Tag_Name_Button");
  Run_Action_Tag_Name_Button->SetBounds(kLabelLeft + kInnerWidth - kBrowseWidth, 70, kBrowseWidth, kRowHeight);
  Run_Action_Tag_Name_Button->SetCaption("...");
  Run_Action_Tag_Name_Button->OnClick = [this](ui::TObject* s) { OnSelectLinkVariable(s); };
  GiveHint(Run_Action_Tag_Name_Button, commandHint);
}

// Page "Параметры": the general settings and the log switches.
void TFerrowickSetupDlg::BuildParameterPage() {
  GeneralParamsGroupBox = ui::CreateChild<ui::TGroupBox>(this, LogTabSheet, "GeneralParamsGroupBox");
  GeneralParamsGroupBox->SetBounds(4, 4, 489, 120);
  GeneralParamsGroupBox->SetCaption(" Общие "_cp);
  ui::TGroupBox* box = GeneralParamsGroupBox;

  CommandIntervalLabel =
      MakeLabel(this, box, "CommandIntervalLabel", "Время выполнения единичной команды:"_cp, kLabelLeft, 12, 300);
  CommandIntervalSpinEdit =
      MakeSpin(this, box, "CommandIntervalSpinEdit", 390, 8, 85, {kMinCommandInterval, kMaxCommandInterval, 3000},
               "Время, в течении которого драйвер ожидает отклик от устройства или OPC сервера (в милисекундах)."_cp);

  AutoRunServerCheckBox = ui::CreateChild<ui::TCheckBox>(this, box, "AutoRunServerCheckBox");
  AutoRunServerCheckBox->SetBounds(kLabelLeft, 40, 300, 17);
  AutoRunServerCheckBox->SetCaption("Автоматический запуск сервера"_cp);
  GiveHint(AutoRunServerCheckBox, "Флаг автоматического запуска сервера доступа. "_cp);

  CheckServerTimeLabel =
      MakeLabel(this, box, "CheckServerTimeLabel", "Проверять работу сервера каждые (сек):"_cp, kLabelLeft, 72, 300);
  CheckServerTimeSpinEdit = MakeSpin(
      this, box, "CheckServerTimeSpinEdit", 390, 68, 85, {kMinCheckServerInterval, kMaxCheckServerInterval, 60},
      "Период времени, через который проверяется корректность работы приложения доступа к OPC серверу."_cp);

  LOGControlGroupBox = ui::CreateChild<ui::TGroupBox>(this, LogTabSheet, "LOGControlGroupBox");
  LOGControlGroupBox->SetBounds(4, 130, 489, 120);
  LOGControlGroupBox->SetCaption(" Журнал "_cp);
  ErrorLogImage = ui::CreateChild<ui::TImage>(this, LOGControlGroupBox, "ErrorLogImage");
  ErrorLogImage->SetBounds(kLabelLeft, 8, 32, 32);
  LoadDialogPicture(ErrorLogImage->Picture(), InformationPictureName);
  LOGControlLabel = ui::CreateChild<ui::TLabel>(this, LOGControlGroupBox, "LOGControlLabel");
  LOGControlLabel->SetBounds(50, 8, 425, 30);
  LOGControlLabel->SetWordWrap(true);
  LOGControlLabel->SetCaption(
      "Вы можете запретить выдачу отладочных сообщений или сообщений в журнал после пусконалодочных работ "
      "комплекса."_cp);

  LockErrorClassCheckBox = ui::CreateChild<ui::TCheckBox>(this, LOGControlGroupBox, "LockErrorClassCheckBox");
  LockErrorClassCheckBox->SetBounds(50, 50, 300, 17);
  LockErrorClassCheckBox->SetCaption("Запретить запись в журнал"_cp);
  GiveHint(LockErrorClassCheckBox, "Флаг запрета записи в журнал драйвера."_cp);
  LockLOGFileCheckBox = ui::CreateChild<ui::TCheckBox>(this, LOGControlGroupBox, "LockLOGFileCheckBox");
  LockLOGFileCheckBox->SetBounds(50, 74, 300, 17);
  LockLOGFileCheckBox->SetCaption("Запретить запись в LOG файл"_cp);
  GiveHint(LockLOGFileCheckBox,
           "Флаг запрета записи в LOG-файл драйвера. Файл будет иметь имя \"C:\\Ferrowick_V20.log\""_cp);
}

void TFerrowickSetupDlg::OnCreateDialog(ui::TObject*) {
  DeviceList = std::make_unique<TDeviceList>();
  if (driver::TGuardedDeviceList* guard = driver::DeviceListGuard())
    guard->With([this](const TDeviceList& devices) { DeviceList->Assign(&devices); });
  for (int32_t i = 0; i < DeviceList->Count(); ++i) DevicesListBox->Items().Add(DeviceList->GetDevice(i)->Name);

  ShowSettings(driver::GeneralSettings());

  EDDComboBox->Clear();
  const common::TOPCDescriptionFile* description = driver::DescriptionFile();
  if (description == nullptr) return;
  for (int32_t i = 0; i < description->Count(); ++i) EDDComboBox->Items().Add(description->At(i)->DeviceName);
  EDDComboBox->SetEnabled(EDDComboBox->Items().Count() > 0);
  if (DevicesListBox->Items().Count() == 0) return;
  DevicesListBox->SetItemIndex(0);
  OnChangeDeviceIndex(this);
}

void TFerrowickSetupDlg::OnDestroyDialog(ui::TObject*) { DeviceList.reset(); }

void TFerrowickSetupDlg::ShowSettings(const driver::TGeneralSettings& settings) {
  LockErrorClassCheckBox->SetChecked(settings.LockErrorClass);
  LockLOGFileCheckBox->SetChecked(settings.LockLOGFile);
  CommandIntervalSpinEdit->SetValue(settings.CommandInterval);
  AutoRunServerCheckBox->SetChecked(settings.AutoRunServer);
  CheckServerTimeSpinEdit->SetValue(settings.CheckServerInterval);
}

TDevice* TFerrowickSetupDlg::SelectedDevice() const {
  return DeviceList ? DeviceList->GetDevice(DevicesListBox->ItemIndex()) : nullptr;
}

void TFerrowickSetupDlg::OnChangeDeviceIndex(ui::TObject*) {
  const TDevice* device = SelectedDevice();
  if (device == nullptr) return;
  DeviceNameEdit->SetText(device->Name);
  DescriptionMemo->SetMemoText(device->Description);
  OPCServerNameEdit->SetText(device->OPCServerName);
  // Any non-zero interface is the callback, as the server reads it.
  InterfaceComboBox->SetItemIndex(device->OPCInterface == 0 ? 0 : 1);
  PrefixEdit->SetText(device->Prefix);
  DeviceEnabledCheckBox->SetChecked(!device->Enabled);
  LogAddressSpinEdit->SetValue(device->DeviceAddress);
  PricisionSpinEdit->SetValue(device->Precision);
  VarLinkControlEdit->SetText(device->LinkCtrlTagName);
  CommandCtrlTagNameEdit->SetText(device->ComandCtrlTagName);
  // Tag list names match case-sensitively, as the description file's.
  const auto& names = EDDComboBox->Items();
  int tagList = -1;
  for (int i = 0; i < names.Count() && tagList < 0; ++i)
    if (names[i] == device->TagListName) tagList = i;
  EDDComboBox->SetItemIndex(tagList);
}

bool TFerrowickSetupDlg::RefuseEmptyServerName() {
  if (!Trim(SettingsText(OPCServerNameEdit->Text())).empty()) return false;
  const std::string caption("Ошибка"_cp);
  const std::string message("Вы должны определить имя OPC сервера."_cp);
  ErrorMessageExt(Handle(), caption.c_str(), message.c_str(), 0);
  return true;
}

void TFerrowickSetupDlg::OnApplayChanging(ui::TObject*) {
  TDevice* device = SelectedDevice();
  if (device == nullptr || RefuseEmptyServerName()) return;
  device->Name = SettingsText(DeviceNameEdit->Text());
  device->DeviceAddress = LogAddressSpinEdit->Value();
  device->Precision = static_cast<uint16_t>(PricisionSpinEdit->Value());
  device->Description = SettingsText(DescriptionMemo->MemoText());
  device->OPCServerName = Trim(SettingsText(OPCServerNameEdit->Text()));
  device->OPCInterface = static_cast<uint8_t>(std::max(0, InterfaceComboBox->ItemIndex()));
  device->Prefix = Trim(SettingsText(PrefixEdit->Text()));
  device->Enabled = !DeviceEnabledCheckBox->Checked();
  device->TagListName = SettingsText(EDDComboBox->ComboText());
  DevicesListBox->Items().SetStrings(DevicesListBox->ItemIndex(), device->Name);
  device->LinkCtrlTagName = SettingsText(VarLinkControlEdit->Text());
  device->ComandCtrlTagName = Trim(SettingsText(CommandCtrlTagNameEdit->Text()));
}

void TFerrowickSetupDlg::OnAddDevice(ui::TObject* sender) {
  if (!DeviceList || RefuseEmptyServerName()) return;
  auto owned = std::make_unique<TDevice>();
  DeviceList->Add(owned.get());
  const TDevice* device = owned.release();  // the list owns it now
  DevicesListBox->Items().Add(device->Name);
  DevicesListBox->SetEnabled(true);
  DevicesListBox->SetItemIndex(DevicesListBox->Items().Count() - 1);
  OnApplayChanging(sender);
}

void TFerrowickSetupDlg::OnDeleteDevice(ui::TObject* sender) {
  const int index = DevicesListBox->ItemIndex();
  if (SelectedDevice() == nullptr) return;
  DeviceList->FreeAt(index);
  DevicesListBox->Items().Delete(index);
  const int count = DevicesListBox->Items().Count();
  DevicesListBox->SetItemIndex(std::min(index, count - 1));
  DevicesListBox->SetEnabled(count > 0);
  OnChangeDeviceIndex(sender);
}

void TFerrowickSetupDlg::OnOkButton(ui::TObject*) {
  if (driver::TGuardedDeviceList* guard = driver::DeviceListGuard()) {
    guard->With([this](TDeviceList& devices) {
      devices.FreeAll();
      devices.Assign(DeviceList.get());
    });
  }
  driver::TGeneralSettings& settings = driver::GeneralSettings();
  settings.LockErrorClass = LockErrorClassCheckBox->Checked();
  settings.LockLOGFile = LockLOGFileCheckBox->Checked();
  settings.CommandInterval = CommandIntervalSpinEdit->Value();
  settings.AutoRunServer = AutoRunServerCheckBox->Checked();
  settings.CheckServerInterval = CheckServerTimeSpinEdit->Value();
}

void TFerrowickSetupDlg::OnSelectLinkVariable(ui::TObject* sender) {
  ui::TEdit* edit = sender == Run_Action_Tag_Name_Button ? CommandCtrlTagNameEdit : VarLinkControlEdit;
  const std::string current = Trim(edit->Text()).substr(0, kMaxNavigatorName);
  static_assert(kMaxNavigatorName < driver::NavigatorNameSize, "the name and its terminator fit the buffer");
  char buffer[driver::NavigatorNameSize] = {};
  std::memcpy(buffer, current.data(), current.size());
  if (VLNavigatorDialog(Handle(), buffer) == 0) return;
  // The navigator's answer may come without a terminator.
  edit->SetText(std::string_view(buffer, strnlen(buffer, kMaxNavigatorName)));
}

void TFerrowickSetupDlg::OnGetOPCServerName(ui::TObject*) {
  platform::win::ProcessMessages();
  const std::string progId = ShowOPCServerBrowser(Handle());
  if (!progId.empty()) OPCServerNameEdit->SetText(progId);
}

bool ShowSetupDialog(HostWindowHandle parent) {
  auto dialog = ui::CreateOwned<TFerrowickSetupDlg>(nullptr);
  dialog->SetParentWindow(parent);
  return dialog->ShowModal() == ui::mrOk;
}

}  // namespace driver_dialogs

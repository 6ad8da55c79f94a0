#pragma once
// TFerrowickSetupDlg: the modal device setup dialog behind DLMSetupDeviceDrv.
// It edits a private copy of the driver's device list and the five general
// settings; OK copies both back (the list under its guard, since the driver
// thread reads it every cycle), Cancel discards everything. Texts stored
// from the editors never hold a line break (it becomes one blank) or an ESC
// (dropped): the device settings line cannot carry them. GUI thread (the
// kernel's calling thread) only.

#include "driver/Devices.h"
#include "platform/ui/Buttons.h"
#include "platform/ui/CheckBox.h"
#include "platform/ui/ComboBox.h"
#include "platform/ui/Edit.h"
#include "platform/ui/Form.h"
#include "platform/ui/Label.h"
#include "platform/ui/ListBox.h"
#include "platform/ui/PageControl.h"
#include "platform/ui/Panels.h"
#include "platform/ui/SpinEdit.h"
#include "skin/sCustomButton.h"
#include "skin/sHintManager.h"

#include <memory>
#include <string>
#include <string_view>

namespace driver_dialogs {

// Limits and defaults of the editors.
inline constexpr int kMinDeviceAddress = 1;
inline constexpr int kMaxDeviceAddress = 65535;
inline constexpr int kMaxPrefixLength = 255;
inline constexpr int kMinCommandInterval = 1;
inline constexpr int kMaxCommandInterval = 65535;
inline constexpr int kMinCheckServerInterval = 1;
inline constexpr int kMaxCheckServerInterval = 3600;
inline constexpr int kMaxNavigatorName = 255;  // a tag name in the navigator's 256-byte buffer

// text as it may enter the settings file: each line break (CR LF, CR or LF)
// becomes one blank, ESC characters are dropped.
std::string SettingsText(std::string_view text);

class TFerrowickSetupDlg : public platform::ui::TForm {
 public:
  // Builds the form; OnCreateDialog then fills it from the driver's list,
  // settings and description file (nothing of them while the driver has
  // none). Raises EResNotFound when the binary lacks the dialog pictures.
  explicit TFerrowickSetupDlg(platform::ui::TComponent* owner);

  platform::ui::TPageControl* PageControl;
  platform::ui::TTabSheet* GeneralTabSheet;
  platform::ui::TGroupBox* GroupBox1;
  platform::ui::TListBox* DevicesListBox;
  platform::ui::TPageControl* SettingPageControl;
  platform::ui::TTabSheet* SettingGeneralTabSheet;
  platform::ui::TGroupBox* DeviceParamsGroupBox;
  platform::ui::TLabel* DeviceNameLabel;
  platform::ui::TEdit* DeviceNameEdit;
  platform::ui::TLabel* DescriptionLabel;
  platform::ui::TMemo* DescriptionMemo;
  platform::ui::TLabel* OPCServerNameLabel;
  platform::ui::TEdit* OPCServerNameEdit;
  platform::ui::TSpeedButton* OPCServerBrouserButton;
  platform::ui::TLabel* InterfaceLabel;
  platform::ui::TComboBox* InterfaceComboBox;
  platform::ui::TLabel* PrefixLabel;
  platform::ui::TEdit* PrefixEdit;
  platform::ui::TLabel* LogAddressLabel;
  platform::ui::TSpinEdit* LogAddressSpinEdit;
  platform::ui::TLabel* PricisionLabel;
  platform::ui::TSpinEdit* PricisionSpinEdit;
  platform::ui::TLabel* EDDLabel;
  platform::ui::TComboBox* EDDComboBox;
  platform::ui::TCheckBox* DeviceEnabledCheckBox;
  platform::ui::TTabSheet* TimeOutsTabSheet;
  platform::ui::TGroupBox* GroupBox2;
  platform::ui::TLabel* VarLinkControlLabel;
  platform::ui::TEdit* VarLinkControlEdit;
  platform::ui::TButton* VarSelectButton;
  platform::ui::TLabel* CommandCtrlTagNameLabel;
  platform::ui::TEdit* CommandCtrlTagNameEdit;
  platform::ui::TButton* Run_Action_Tag_Name_Button;
  skin::TsBitBtn* AddBitBtn;
  skin::TsBitBtn* ReplaceBitBtn;
  skin::TsBitBtn* DelBitBtn;
  platform::ui::TTabSheet* LogTabSheet;
  platform::ui::TGroupBox* GeneralParamsGroupBox;
  platform::ui::TLabel* CommandIntervalLabel;
  platform::ui::TSpinEdit* CommandIntervalSpinEdit;
  platform::ui::TCheckBox* AutoRunServerCheckBox;
  platform::ui::TLabel* CheckServerTimeLabel;
  platform::ui::TSpinEdit* CheckServerTimeSpinEdit;
  platform::ui::TGroupBox* LOGControlGroupBox;
  platform::ui::TImage* ErrorLogImage;
  platform::ui::TLabel* LOGControlLabel;
  platform::ui::TCheckBox* LockErrorClassCheckBox;
  platform::ui::TCheckBox* LockLOGFileCheckBox;
  skin::TsBitBtn* OkBitBtn;
  skin::TsBitBtn* sBitBtn1;
  // Gives every hint of the module the skinned ellipse look while the
  // dialog lives.
  skin::TsHintManager* sHintManager1;

 private:
  void BuildHintManager();
  void BuildDevicePages();
  void BuildDeviceEditors();
  void BuildControlEditors();
  void BuildParameterPage();

  void OnCreateDialog(platform::ui::TObject* sender);
  void OnDestroyDialog(platform::ui::TObject* sender);
  void OnChangeDeviceIndex(platform::ui::TObject* sender);
  void OnApplayChanging(platform::ui::TObject* sender);
  void OnAddDevice(platform::ui::TObject* sender);
  void OnDeleteDevice(platform::ui::TObject* sender);
  void OnOkButton(platform::ui::TObject* sender);
  void OnSelectLinkVariable(platform::ui::TObject* sender);
  void OnGetOPCServerName(platform::ui::TObject* sender);

  // The device of the selected line, nullptr without one.
  driver::TDevice* SelectedDevice() const;
  // The error box of an empty OPC server name; true when one was shown.
  bool RefuseEmptyServerName();
  void ShowSettings(const driver::TGeneralSettings& settings);
  void FillTagLists();

  // The dialog's copy, from OnCreateDialog to OnDestroyDialog.
  std::unique_ptr<driver::TDeviceList> DeviceList;
};

}  // namespace driver_dialogs

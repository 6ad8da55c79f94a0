#pragma once
// TServerWindow: the server's main window. It owns the start-up and
// shut-down sequence of the whole server (description file, settings,
// own slot, DCOM security, variable index, device windows, tray icon), the
// 1-second GeneralTimer with the server heartbeat, and the status,
// requests and commands pages.
//
// Made by ServerMain once the section is open; everything here runs on the
// main thread (the timer and the tray notices arrive through its loop).

#include <cstdint>
#include <memory>
#include <string>

#include "platform/os/StringList.h"
#include "platform/ui/CheckBox.h"
#include "platform/ui/Edit.h"
#include "platform/ui/Form.h"
#include "platform/ui/Label.h"
#include "platform/ui/Menu.h"
#include "platform/ui/PageControl.h"
#include "platform/ui/Panels.h"
#include "platform/ui/Picture.h"
#include "platform/ui/SaveDialog.h"
#include "platform/ui/Timer.h"
#include "platform/ui/TrayIcon.h"
#include "platform/ui/ValueListEditor.h"
#include "skin/sCustomButton.h"

namespace server {

class TDeviceWindowList;
struct TDescriptionRead;

// Name of the icon resource used when no ".ico" lies beside the program.
inline constexpr std::string_view kStatusBarIconResource = "STATUSBARICON";

class TServerWindow : public platform::ui::TForm {
 public:
  explicit TServerWindow(platform::ui::TComponent* owner);
  ~TServerWindow() override;

  // Start-up (OnCreate): halts the program with exit code 1 without
  // Intercom; otherwise loads the description file and the settings,
  // registers the own slot, indexes the variable table, starts the device
  // windows and puts up the tray icon. GeneralTimer is enabled at the end
  // whatever happened before.
  void OnCreateWindow(platform::ui::TObject* sender);
  // Shut-down (OnDestroy): stops the device windows, clears the own slot
  // and releases the section, frees the module objects, removes the tray
  // icon. A second call does nothing.
  void OnDestroyWindow(platform::ui::TObject* sender);

  // Fills the status page from the section; only while the window is
  // visible.
  void UpdateStatusPage();
  // One row per configured device: name = OPC server. The grid is enabled
  // only with rows; then its first data row is current.
  void FillOPCServerList();
  // Every second: status page, heartbeat, and the memos when the terminal
  // is not locked. Nothing without a section or while closing.
  void OnGeneralTimer(platform::ui::TObject* sender);

  // The tray icon: from the program's ".ico" when present, else the
  // STATUSBARICON resource. False when there is no icon or no tray.
  bool AddTrayIcon(platform::win::HWND window, std::string_view tip, std::uint32_t callbackMessage);
  void RemoveTrayIcon(platform::win::HWND window);

  // Handlers of the form's controls.
  void FormCloseQuery(platform::ui::TObject* sender, bool& canClose);
  void OnHideWindow(platform::ui::TObject* sender);
  void CloseBitBtnClick(platform::ui::TObject* sender);
  void OnClearTerminals(platform::ui::TObject* sender);
  void OnSelectOPCServer(platform::ui::TObject* sender, int col, int row, bool& canSelect);
  void OPCServerListClick(platform::ui::TObject* sender);
  // Double click in OPCServerList: the status of the OPC server of the
  // current row's device, in the status dialog. Every row whose device
  // exists and is connected to its server shows; anything else shows
  // nothing. Exceptions are written to stderr, not raised.
  void OnShowOPCStatus(platform::ui::TObject* sender);
  void OnSaveToFile(platform::ui::TObject* sender);
  void WMStatusBarIcon(platform::ui::TMessage& message);

  // Lines of start-up trouble (description file); collected, not shown.
  // Empty before the creation handler and after the destruction handler.
  const platform::os::TStringList* StartupMessages() const { return startupMessages_.get(); }
  bool TrayIconAdded() const { return trayIconAdded_; }
  platform::ui::HICON TrayIcon() const { return trayIcon_; }
  const platform::ui::TIcon* IconImage() const { return iconImage_.get(); }
  // The device windows, built from DeviceList at start (one takes every
  // device); empty before the start and after the shut-down.
  TDeviceWindowList* DeviceWindows() const { return deviceWindows_.get(); }

  platform::ui::TPageControl* PageControl;
  platform::ui::TTabSheet* StatusTabSheet;
  platform::ui::TGroupBox* KernelGroupBox;
  platform::ui::TEdit* DmlNameEdit;
  platform::ui::TEdit* DmlStateEdit;
  platform::ui::TEdit* DmlTagCounterEdit;
  platform::ui::TEdit* DmlTransactionIdEdit;
  platform::ui::TGroupBox* ServerGroupBox;
  platform::ui::TEdit* ConfigFileNameEdit;
  platform::ui::TEdit* ServerTransactionIdEdit;
  platform::ui::TEdit* PIDEdit;
  platform::ui::TEdit* WindowHandleEdit;
  platform::ui::TEdit* TerminalIdEdit;
  platform::ui::TEdit* CommandsTerminalIdEdit;
  platform::ui::TTabSheet* RequestsTabSheet;
  platform::ui::TGroupBox* RequestsGroupBox;
  platform::ui::TMemo* RequestsMemo;
  platform::ui::TValueListEditor* OPCServerList;
  platform::ui::TTabSheet* CommandsTabSheet;
  platform::ui::TGroupBox* CommandsTerminalGroupBox;
  platform::ui::TMemo* CommandsMemo;
  skin::TsBitBtn* OkBitBtn;
  skin::TsBitBtn* ReloadBitBtn;
  skin::TsBitBtn* ClearBitBtn;
  platform::ui::TCheckBox* LockTerminalCheckBox;
  platform::ui::TTimer* GeneralTimer;
  platform::ui::TPopupMenu* PopupMenu;
  platform::ui::TMenuItem* SaveToFileMenuItem;
  platform::ui::TSaveDialog* SaveDialog;

 private:
  void BuildStatusPage();
  void BuildRequestsPage();
  void BuildCommandsPage();
  void BuildButtons();
  platform::ui::TEdit* AddField(platform::ui::TGroupBox* box, int row, const char* name,
                                std::string_view caption);
  // The description read at the start becomes DescriptionFile; a read that
  // failed, or one without devices, leaves its lines in the start messages.
  void TakeDescription(TDescriptionRead read);
  void RegisterOwnSlot();
  void InitializeSecurity();
  void StartDeviceWindows();
  void StopDeviceWindows();
  void PutUpTrayIcon();
  void ShowClosingStep(std::string_view caption);
  void BumpHeartbeat();

  std::unique_ptr<platform::os::TStringList> startupMessages_;
  std::unique_ptr<TDeviceWindowList> deviceWindows_;
  std::unique_ptr<platform::ui::TIcon> iconImage_;     // the program's ".ico"
  std::unique_ptr<platform::ui::TIcon> resourceIcon_;  // STATUSBARICON
  platform::ui::HICON trayIcon_ = 0;
  bool trayIconAdded_ = false;
  bool destroyed_ = false;
};

}  // namespace server

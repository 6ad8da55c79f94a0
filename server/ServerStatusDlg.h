#pragma once
// TServerStatusDialog: the modal dialog that shows the status record an OPC
// server answers from IOPCServer::GetStatus (start, current and last update
// time, state, group count, version and vendor text). The main window opens
// it on a double click in its device grid. Main thread only.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/com/OpcDa.h"
#include "platform/ui/Edit.h"
#include "platform/ui/Form.h"
#include "platform/ui/Label.h"
#include "platform/ui/Panels.h"
#include "skin/sCustomButton.h"

namespace server {

// What an edit shows for a time or state that has no text.
inline constexpr std::string_view kNoStatusText = "-------------------";

// A FILETIME taken as it stands (no zone conversion) as
// "dd-mm-yyyy hh:nn:ss:zzz"; kNoStatusText when it names no date up to
// 9999-12-31.
std::string StatusTimeText(const platform::com::FILETIME& time);
// The text of an OPC server state (1..6); kNoStatusText for any other.
std::string ServerStateText(std::uint32_t state);
// "major.minor.build" in decimal.
std::string StatusVersionText(const platform::com::OPCSERVERSTATUS& status);

class TServerStatusDialog : public platform::ui::TForm {
 public:
  explicit TServerStatusDialog(platform::ui::TComponent* owner);

  // Fills the edits and the vendor memo from status. A null szVendorInfo
  // shows an empty vendor text. The record is only read.
  void ShowStatus(const platform::com::OPCSERVERSTATUS& status);

  skin::TsBitBtn* OkBitBtn;
  platform::ui::TGroupBox* PropertyGroupBox;
  platform::ui::TImage* LogoImage;
  platform::ui::TLabel* InfoLabel;
  platform::ui::TEdit* StartTimeEdit;
  platform::ui::TEdit* CurrentTimeEdit;
  platform::ui::TEdit* LastUpdateTimeEdit;
  platform::ui::TEdit* ServerStateEdit;
  platform::ui::TEdit* GroupCountEdit;
  platform::ui::TEdit* VersionNumberEdit;
  platform::ui::TLabel* VendorInfoLabel;
  platform::ui::TMemo* VendorInfoMemo;

 private:
  platform::ui::TEdit* AddField(int row, const char* name, std::string_view caption);
  void LoadLogo();
};

// Creates the dialog with owner, fills it from status, shows it modally and
// frees it (also when showing raises, which then reaches the caller).
void ShowOPCServerStatus(platform::ui::TComponent* owner, const platform::com::OPCSERVERSTATUS& status);

// Asks server for its status and shows it. A failing call or a null record
// shows nothing and answers false. The record and its vendor text are
// freed in every case.
bool ShowStatusOfServer(platform::ui::TComponent* owner, platform::com::IOPCServer& server);

}  // namespace server

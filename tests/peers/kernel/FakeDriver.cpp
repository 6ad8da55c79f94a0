// A small driver module for the host's tests: each export leaves a trace
// the host prints (log items, value blocks, navigator calls, error boxes),
// so that a script shows which export ran with which arguments.
// DLMShowLogList shows a form with every kind of control the host's dialog
// lines act on.

#include "driver/DlmExports.h"
#include "driver/Dlm_Libs.h"
#include "platform/com/Apartment.h"
#include "platform/ui/Buttons.h"
#include "platform/ui/CheckBox.h"
#include "platform/ui/ComboBox.h"
#include "platform/ui/Edit.h"
#include "platform/ui/Form.h"
#include "platform/ui/Label.h"
#include "platform/ui/ListBox.h"
#include "platform/ui/PageControl.h"
#include "platform/ui/SaveDialog.h"
#include "platform/ui/Timer.h"
#include "platform/ui/ValueListEditor.h"
#include "platform/win/MessageLoop.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

driver::TDrvInitRecord g_record;
bool g_initialised = false;
std::unique_ptr<std::thread> g_worker;
std::atomic<bool> g_workerDone{false};

void Log(int32_t code, const std::string& text) {
  driver::TLogItem item{};
  std::snprintf(item.Source, sizeof item.Source, "FAKE");
  std::snprintf(item.Text, sizeof item.Text, "%s", text.c_str());
  item.Code = code;
  LLAddLogItem(item);
}

// Sends one value block with the given records to the kernel window;
// answers the kernel's reply.
platform::win::LRESULT SendBlock(const driver::TDrvValueRecord* records, int32_t count) {
  auto block = std::make_unique<driver::TDrvValueBlock>();
  block->BlockId = g_record.BlockId;
  block->Count = count;
  std::memcpy(block->Records, records, sizeof(driver::TDrvValueRecord) * static_cast<size_t>(count));
  return platform::win::SendMessage(g_record.HostWindow, static_cast<platform::win::UINT>(g_record.MessageId),
                                    driver::ValueBlockCode, reinterpret_cast<platform::win::LPARAM>(block.get()));
}

using namespace platform::ui;

template <class T>
T* Add(TWinControl* parent, const char* name, int left, int top, int width, int height) {
  T* control = Create<T>(parent);
  control->SetName(name);
  control->SetParent(parent);
  control->SetBounds(left, top, width, height);
  return control;
}

// A form with one control of each kind the host's dialog lines act on.
// Its buttons open a nested form, a save dialog, the navigator and the
// error box; a timer counts ticks into a label.
class TControlsForm : public TForm {
 public:
  explicit TControlsForm(TComponent* owner) : TForm(owner) {
    SetName("ControlsForm");
    SetCaption("Controls");
    SetBorderStyle(TFormBorderStyle::bsDialog);
    SetClientWidth(400);
    SetClientHeight(300);
    NameEdit = Add<TEdit>(this, "NameEdit", 8, 8, 120, 21);
    TickLabel = Add<TLabel>(this, "TickLabel", 140, 8, 100, 17);
    TickLabel->SetCaption("0");
    Check = Add<TCheckBox>(this, "EnabledCheckBox", 8, 36, 120, 17);
    Check->SetCaption("\xC2\xEA\xEB\xFE\xF7\xE5\xED\xEE");  // "Включено"
    List = Add<TListBox>(this, "ItemsListBox", 8, 60, 120, 60);
    List->Items().Add("a");
    List->Items().Add("b");
    List->SetItemIndex(1);
    List->OnDblClick = [this](TObject*) { Log(7, "dblclick " + std::to_string(List->ItemIndex())); };
    Combo = Add<TComboBox>(this, "KindComboBox", 140, 36, 120, 21);
    Combo->Items().Add("one");
    Combo->Items().Add("two");
    Grid = Add<TValueListEditor>(this, "PropsGrid", 140, 60, 160, 60);
    Grid->Strings().Add("A=1");
    Grid->Strings().Add("B=2");
    Pages = Add<TPageControl>(this, "Pages", 8, 128, 200, 80);
    for (const char* name : {"FirstSheet", "SecondSheet"}) {
      auto* sheet = Create<TTabSheet>(this);
      sheet->SetName(name);
      sheet->SetPageControl(Pages);
    }
    Memo = Add<TMemo>(this, "NotesMemo", 220, 128, 170, 80);
    Memo->Lines().Add("first");
    Memo->Lines().Add("second");
    Add<TButton>(this, "NestButton", 8, 220, 75, 25)->OnClick = [this](TObject*) { Nest(); };
    Add<TButton>(this, "SaveButton", 90, 220, 75, 25)->OnClick = [](TObject*) {
      TSaveDialog dialog(nullptr);
      Log(7, dialog.Execute() ? "save " + dialog.FileName : std::string("save cancelled"));
    };
    Add<TButton>(this, "AskButton", 170, 220, 75, 25)->OnClick = [this](TObject*) {
      char name[driver::NavigatorNameSize] = "CUR";
      VLNavigatorDialog(Handle(), name);
      ErrorMessageExt(Handle(), "\xCE\xF8\xE8\xE1\xEA\xE0", "bad", 16);  // "Ошибка"
    };
    Add<TButton>(this, "OffButton", 250, 220, 75, 25)->SetEnabled(false);
    auto* ok = Add<TButton>(this, "OkButton", 320, 260, 75, 25);
    ok->SetDefault(true);
    ok->SetModalResult(mrOk);
    auto* timer = Create<TTimer>(this);
    timer->SetInterval(20);
    timer->SetOnTimer([this](TObject*) { TickLabel->SetCaption(std::to_string(++ticks_)); });
  }

  // What the user left in the controls.
  std::string State() const {
    return "name=" + NameEdit->Caption() + " check=" + std::to_string(Check->Checked()) +
           " list=" + std::to_string(List->ItemIndex()) + " combo=" + std::to_string(Combo->ItemIndex()) +
           " row=" + std::to_string(Grid->Row()) + " tab=" + std::to_string(Pages->ActivePageIndex());
  }

  TEdit* NameEdit;
  TLabel* TickLabel;
  TCheckBox* Check;
  TListBox* List;
  TComboBox* Combo;
  TValueListEditor* Grid;
  TPageControl* Pages;
  TMemo* Memo;

 private:
  void Nest() {
    auto inner = CreateOwned<TForm>(nullptr);
    inner->SetName("InnerForm");
    inner->SetCaption("Inner");
    auto* edit = Add<TEdit>(inner.get(), "InnerEdit", 8, 8, 100, 21);
    auto* ok = Add<TButton>(inner.get(), "InnerOk", 8, 40, 75, 25);
    ok->SetModalResult(mrOk);
    const TModalResult result = inner->ShowModal();
    Log(7, "inner " + std::to_string(result) + " " + edit->Text());
  }
  int ticks_ = 0;
};

}  // namespace

FAKE_EXPORT int32_t DLMGetDeviceInfo(driver::TDrvDeviceInfo* info) {
  std::memset(info, 0, sizeof *info);
  const uint8_t guid[16] = {0x45, 0xE9, 0xEE, 0x15, 0x47, 0xB4, 0x59, 0x46, 0xAB, 0xE2, 0x8E, 0x4F, 0xF2, 0xBB, 0xFC, 0x65};
  std::memcpy(info->DriverGUID, guid, sizeof guid);
  std::snprintf(info->Description, sizeof info->Description, "%s", "\xD4\xE5\xE9\xEA \"1\"");  // Фейк "1"
  const int32_t values[6] = {-1, -1, -1, 0, 100, 100};
  std::memcpy(info->Values, values, sizeof values);
  std::snprintf(info->PrefixList, sizeof info->PrefixList, "%s", ":FAKE:");
  return 0;
}

FAKE_EXPORT int32_t DLMInitDeviceDrv(driver::TDrvInitRecord record) {
  if (g_initialised) return -4;
  g_record = record;
  g_initialised = true;
  char project[driver::ProjectInfoSize] = {};
  const int32_t projectCode = PRGGetProjectInfo(project);
  Log(1, std::string("init dir=") + record.DriverDir + " message=" + std::to_string(record.MessageId) +
             " block=" + std::to_string(record.BlockId) + " config=" + std::to_string(record.ConfigOnly));
  Log(1, std::string("project=") + (projectCode == 0 ? project : "none"));
  // The kernel's thread is an apartment already: S_FALSE (1).
  const platform::com::HRESULT apartment = platform::com::CoInitialize(nullptr);
  if (platform::com::SUCCEEDED(apartment)) platform::com::CoUninitialize();
  Log(1, "apartment " + std::to_string(apartment));
  return 0;
}

// Sends the initial value of every variable of every domain, from a thread
// of its own as the real driver does.
FAKE_EXPORT int32_t DLMRunDeviceDrv() {
  if (!g_initialised) return -5;
  if (g_worker) return 0;
  g_workerDone = false;
  g_worker = std::make_unique<std::thread>([] {
    for (int32_t d = 0; d < VLGetRoutingDomainNum(); ++d) {
      driver::TVLDomainInfo domain{};
      domain.Size = driver::DomainInfoSize;
      if (VLGetRoutingDomainInfo(d, &domain) != 0) continue;
      for (int32_t i = 0; i < domain.VariableCount; ++i) {
        driver::TVLVariableInfo info{};
        if (VLGetVariableInfoByDomainId(domain.DomainId, i, &info) < 0) continue;
        const driver::TDrvValueRecord record{info.Id, info.InitialValue, info.InitialValue, 1000, 738886};
        const auto answer = SendBlock(&record, 1);
        Log(2, "answer " + std::to_string(answer) + " for " + std::to_string(info.Id));
      }
    }
    g_workerDone = true;
  });
  return 0;
}

FAKE_EXPORT int32_t DLMStopDeviceDrv() {
  if (!g_initialised) return -5;
  if (g_worker) {
    // The worker sends to the kernel window of this thread: wait pumping.
    platform::win::WaitPumping([] { return g_workerDone.load(); }, 10000);
    g_worker->join();
    g_worker.reset();
  }
  return 0;
}

FAKE_EXPORT int32_t DLMDoneDeviceDrv() {
  if (!g_initialised) return -5;
  DLMStopDeviceDrv();
  g_initialised = false;
  return 0;
}

// Echoes each record of the block back as a value record (Value2 as the
// write's second word), so the test sees what the host put in the block.
FAKE_EXPORT int32_t DLMWriteDataDrv(driver::TDrvWriteBlock* block, int32_t count) {
  if (!g_initialised) return -5;
  if (!block || count <= 0) return -6;
  Log(3, "write count=" + std::to_string(count) + " block=" + std::to_string(block->Count));
  const auto* records = reinterpret_cast<const driver::TDrvWriteRecord*>(block + 1);
  for (int32_t i = 0; i < block->Count && i < 4; ++i) {
    driver::TDrvWriteRecord w;
    std::memcpy(&w, &records[i], sizeof w);
    driver::TDrvValueRecord v{w.Id, w.Value, 0, 0, 0};
    std::memcpy(&v.Value2, &w.Value2, sizeof v.Value2);
    SendBlock(&v, 1);
  }
  return 0;
}

FAKE_EXPORT int32_t DLMReadDataDrv(int32_t, int32_t) { return -7; }
FAKE_EXPORT int32_t DLMSinhronize(int32_t) { return -7; }

FAKE_EXPORT int32_t DLMSetupDeviceDrv(driver::HostWindowHandle parent) {
  char name[driver::NavigatorNameSize] = "OLD";
  const bool chosen = VLNavigatorDialog(parent, name) != 0;
  Log(4, std::string("navigator ") + (chosen ? name : "cancelled"));
  return chosen ? 1 : 0;
}

FAKE_EXPORT int32_t DLMShowState(driver::HostWindowHandle parent) {
  ErrorMessageExt(parent, "\xCE\xF8\xE8\xE1\xEA\xE0", "state \xEE\xEA", 0);  // "Ошибка", "state ок"
  return 0;
}

// Shows two modal forms, one with a Cancel and an OK button and one
// without buttons.
FAKE_EXPORT void DLMAbout(driver::HostWindowHandle) {
  using namespace platform::ui;
  auto withCancel = CreateOwned<TForm>(nullptr);
  withCancel->SetName("AboutForm");
  withCancel->SetCaption("\xCE \xEF\xF0\xEE\xE3\xF0\xE0\xEC\xEC\xE5");  // "О программе"
  withCancel->SetBounds(10, 10, 240, 120);
  auto* cancel = Add<TButton>(withCancel.get(), "CancelButton", 80, 40, 75, 25);
  cancel->SetCaption("Cancel");
  cancel->SetCancel(true);
  Add<TButton>(withCancel.get(), "OkButton", 160, 40, 75, 25)->SetModalResult(mrOk);
  cancel->SetModalResult(mrNo);
  Log(5, "about " + std::to_string(withCancel->ShowModal()));
  auto bare = CreateOwned<TForm>(nullptr);
  bare->SetName("BareForm");
  bare->SetCaption("bare");
  Log(5, "bare " + std::to_string(bare->ShowModal()));
}
FAKE_EXPORT void DLMShowLogList(int32_t) {
  TComponentPtr<TControlsForm> form(Create<TControlsForm>(nullptr));
  const TModalResult result = form->ShowModal();
  Log(7, "controls " + std::to_string(result) + " " + form->State());
}
// An error box without a parent window.
FAKE_EXPORT int32_t DLMGetErrorStr(int32_t, int32_t, int32_t) {
  ErrorMessageExt(0, "c", "t", 3);
  return 0;
}

FAKE_EXPORT uint8_t DLMInstallDriver(driver::HostWindowHandle, const char* source, const char* target) {
  Log(6, std::string("install ") + source + " -> " + target);
  return 1;
}

FAKE_EXPORT uint8_t DLMRemoveDriver(int32_t, const char* dir) {
  Log(6, std::string("remove ") + dir);
  return 0;
}

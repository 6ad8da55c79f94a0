// A small driver module for the host's tests: each export leaves a trace
// the host prints (log items, value blocks, navigator calls, error boxes),
// so that a script shows which export ran with which arguments.

#include "driver/DlmExports.h"
#include "driver/Dlm_Libs.h"
#include "platform/ui/Buttons.h"
#include "platform/ui/Form.h"
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

// Shows two modal forms, one with a Cancel button and one without.
FAKE_EXPORT void DLMAbout(driver::HostWindowHandle) {
  using namespace platform::ui;
  auto withCancel = CreateOwned<TForm>(nullptr);
  withCancel->SetCaption("\xCE \xEF\xF0\xEE\xE3\xF0\xE0\xEC\xEC\xE5");  // "О программе"
  auto* cancel = Create<TButton>(withCancel.get());
  cancel->SetParent(withCancel.get());
  cancel->SetCancel(true);
  cancel->SetModalResult(mrNo);
  Log(5, "about " + std::to_string(withCancel->ShowModal()));
  auto bare = CreateOwned<TForm>(nullptr);
  bare->SetCaption("bare");
  Log(5, "bare " + std::to_string(bare->ShowModal()));
}
FAKE_EXPORT void DLMShowLogList(int32_t) {}
FAKE_EXPORT int32_t DLMGetErrorStr(int32_t, int32_t, int32_t) { return 0; }

FAKE_EXPORT uint8_t DLMInstallDriver(driver::HostWindowHandle, const char* source, const char* target) {
  Log(6, std::string("install ") + source + " -> " + target);
  return 1;
}

FAKE_EXPORT uint8_t DLMRemoveDriver(int32_t, const char* dir) {
  Log(6, std::string("remove ") + dir);
  return 0;
}

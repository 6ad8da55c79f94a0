#include "driver/DriverModule.h"

#include "common/Opc_Description.h"
#include "driver/CommandsBuffer.h"
#include "driver/Devices.h"
#include "driver/Dialogs.h"
#include "driver/Dlm_Libs.h"
#include "driver/DrvLog.h"
#include "driver/DrvThread.h"
#include "driver/DynamicTags.h"
#include "driver/ReceivedBuffer.h"
#include "driver/TagTables.h"
#include "exchange/OPCSharedMemory.h"
#include "platform/os/Files.h"
#include "platform/os/ModuleReference.h"
#include "platform/os/SharedSection.h"
#include "platform/os/Text.h"
#include "platform/win/MessageLoop.h"
#include "platform/win/Window.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <memory>
#include <mutex>
#include <vector>

namespace driver {

using namespace platform::os::literals;

namespace {

// The module-level objects; every slot is empty before initialisation and
// after DLMDoneDeviceDrv. Kernel's thread only, but for WriteData inside the
// objects gate; the driver thread reaches them through its context. Every
// object keeps its address when the set is moved, and the thread, declared
// last, ends before the rest is destroyed. The module's reference, declared
// first, keeps its code loaded while a driver thread may run: a kernel that
// unloads the module without Done, or after a Done that gave up on the
// thread, leaves it loaded instead of unmapping the code under the thread.
struct TModuleObjects {
  std::unique_ptr<platform::os::ModuleReference> ModuleHold;
  std::unique_ptr<TBaseErrorClass> DriverLog;
  std::unique_ptr<common::TOPCDescriptionFile> DescriptionFile;
  std::unique_ptr<TGuardedDeviceList> DeviceList;
  std::unique_ptr<TDRVVariableList> VariableList;
  std::unique_ptr<TCommandsBuffer> CommandsBuffer;
  std::unique_ptr<TReceivedBuffer> ReceivedBuffer;
  std::unique_ptr<TDynamicTagList> DynamicTagList;
  std::unique_ptr<exchange::TIntercomInterface> Intercom;
  std::unique_ptr<TDriverContext> Context;
  std::unique_ptr<TDriverThread> DriverThread;
};

bool ThreadRunning(const TModuleObjects& m) { return m.DriverThread && m.DriverThread->Running(); }

// The objects of an initialisation whose driver thread did not end at
// Done. They stay whole while it runs: a new initialisation is refused
// until it has ended and then frees them.
struct TStrayObjects {
  std::unique_ptr<TModuleObjects> Objects;
  bool ThreadRunning() const { return Objects && driver::ThreadRunning(*Objects); }
};

// Lets WriteData, from any thread, use the objects only while they are
// whole: Init opens it once they are, Done shuts it and waits for the
// writes inside before it releases anything.
class TObjectsGate {
 public:
  bool Enter() {
    std::lock_guard guard(lock_);
    if (!open_) return false;
    ++inside_;
    return true;
  }
  void Leave() {
    std::lock_guard guard(lock_);
    if (--inside_ == 0) left_.notify_all();
  }
  void Open() {
    std::lock_guard guard(lock_);
    open_ = true;
  }
  // True once no write is inside; false, and open again, when one still is
  // after timeoutMs.
  bool Shut(uint32_t timeoutMs) {
    std::unique_lock guard(lock_);
    open_ = false;
    if (left_.wait_for(guard, std::chrono::milliseconds(timeoutMs), [this] { return inside_ == 0; })) return true;
    open_ = true;
    return false;
  }

 private:
  std::mutex lock_;
  std::condition_variable left_;
  bool open_ = false;
  int inside_ = 0;
};

// One write's use of the objects.
class TObjectsUse {
 public:
  explicit TObjectsUse(TObjectsGate& gate) : gate_(gate), entered_(gate.Enter()) {}
  ~TObjectsUse() {
    if (entered_) gate_.Leave();
  }
  TObjectsUse(const TObjectsUse&) = delete;
  TObjectsUse& operator=(const TObjectsUse&) = delete;
  explicit operator bool() const { return entered_; }

 private:
  TObjectsGate& gate_;
  bool entered_;
};

std::atomic<bool> g_exportInProgress{false};
TModuleObjects g_module;
TObjectsGate g_objectsGate;
TStrayObjects g_stray;
TDrvInitRecord g_initRecord{};
std::string g_iniFileName;
std::string g_logFileName(LogFileBaseName);

bool ConfigOnly() { return g_initRecord.ConfigOnly == 1; }

std::string DriverDir() { return std::string(g_initRecord.DriverDir, strnlen(g_initRecord.DriverDir, MaxDriverDir)); }

void Log(int32_t code, std::string_view text) {
  if (g_module.DriverLog) g_module.DriverLog->Log(code, text);
}

void LoadDescriptionFile() {
  g_module.DescriptionFile = std::make_unique<common::TOPCDescriptionFile>();
  const std::string path = platform::os::IncludeTrailingPathDelimiter(DriverDir()) + std::string(DescriptionFileName);
  const std::string_view badFile = "Файл с описанием OPC серверов не найден или имеет не правильный формат."_cp;
  std::string boxText;
  if (platform::os::FileExists(path)) {
    if (g_module.DescriptionFile->LoadFromFile(path)) return;
    std::string where = common::DescriptionErrorText();
    Log(0, where + " " + std::string(badFile));
    if (where.size() > LogTextMax) where.resize(LogTextMax);
    boxText = where + std::string(" : Ошибка в XML выражении."_cp);
  } else {
    Log(0, badFile);
    boxText = badFile;
  }
  if (ConfigOnly()) {
    driver_dialogs::ShowMessageBoxDialog(g_initRecord.HostWindow, DriverDescription, boxText, false, false);
  }
}

// The prefix list ":P1::P2:" of the devices, loading each new prefix's
// domain. False when some domain did not load.
bool BuildPrefixList(std::string& list) {
  list.clear();
  return g_module.DeviceList->With([&](const TDeviceList& devices) {
    bool result = true;
    for (int32_t i = 0; i < devices.Count(); ++i) {
      const TDevice& device = *devices.At(i);
      if (device.Prefix.empty()) {
        Log(DLM_EMPTY_PREFIX, "DLM::Устройству приписан пустой префикс."_cp);
        continue;
      }
      const std::string entry = ":" + platform::os::AnsiUpperCase(device.Prefix) + ":";
      if (list.find(entry) != std::string::npos) continue;
      if (!g_module.VariableList->LoadDomain(device.Prefix)) result = false;
      list += entry;
    }
    return result;
  });
}

// The host records of the static tags that the kernel still returns by Id,
// in list order.
std::vector<TVLVariableInfo> FetchHostRecords() {
  std::vector<TVLVariableInfo> records;
  const TDRVVariableList& list = *g_module.VariableList;
  records.reserve(static_cast<size_t>(list.Count()));
  for (int32_t i = 0; i < list.Count(); ++i) {
    // Read in place (a record is 761 bytes), zeroed by its construction.
    TVLVariableInfo& record = records.emplace_back();
    int32_t unused = 0;
    if (VLGetVariableInfoById(list.At(i)->Id, &unused, &record) != 0) records.pop_back();
  }
  return records;
}

// Whether a live process other than this driver holds the section.
bool SectionHeldElsewhere() {
  platform::os::SharedSection probe;
  return probe.Open(exchange::kSectionName);
}

// Asks the server of every slot to close (WM_CLOSE) and waits, handling
// messages, until it has cleared its slot, at most StopWaitMs each.
void CloseServersOf(const exchange::TServerData& slots) {
  for (int32_t i = 0; i < exchange::kServerSlots; ++i) {
    const auto window = static_cast<platform::win::HWND>(slots.GetWindowHandle(i));
    // A handle left by a server that died is no window: nothing to close.
    if (window == 0 || !platform::win::IsWindow(window)) continue;
    platform::win::PostMessage(window, platform::win::WM_CLOSE, 0, 0);
    platform::win::WaitPumping([&] { return slots.GetWindowHandle(i) == 0; }, StopWaitMs);
  }
}

void LogSectionHeld() {
  Log(-1, "DLM::Область обмена занята другим процессом. Драйвер работает без обмена с сервером."_cp);
}

// The section for count records, or a detached owner: Init still answers
// 0, and the driver runs without section, server and data. A section held
// with no driver holding it is a server's whose driver has gone (a kernel
// that died): that server is asked to close as Stop asks it, and the
// section is created anew once it has let it go (within StopWaitMs).
std::unique_ptr<exchange::TIntercomInterface> CreateIntercom(int32_t count) {
  auto intercom = exchange::TIntercomInterface::Create(exchange::kSectionName, count);
  if (intercom->IsAttached()) return intercom;
  {
    const auto held = exchange::TIntercomInterface::Open(exchange::kSectionName);
    if (!held->IsAttached()) return intercom;
    if (held->DriverHolds()) {
      LogSectionHeld();
      return intercom;
    }
    CloseServersOf(*held->ServerData());
  }
  platform::win::WaitPumping([&] {
    intercom = exchange::TIntercomInterface::Create(exchange::kSectionName, count);
    return intercom->IsAttached();
  }, StopWaitMs);
  if (intercom->IsAttached()) {
    Log(0, "DLM::Область обмена была занята сервером без драйвера. Сервер закрыт, область обмена создана заново."_cp);
  } else if (SectionHeldElsewhere()) {
    LogSectionHeld();
  }
  return intercom;
}

void CreateSection() {
  const std::vector<TVLVariableInfo> records = FetchHostRecords();
  g_module.Intercom = CreateIntercom(static_cast<int32_t>(records.size()));
  exchange::TIntercomInterface& intercom = *g_module.Intercom;
  if (!intercom.IsAttached()) return;
  intercom.HalvorstenInfo()->SetDescription(DriverDescription);
  intercom.HalvorstenInfo()->SetPrefixList(CurrentPrefixList());
  intercom.HalvorstenInfo()->SetState(1);
  for (exchange::TTerminalClass* terminal : {intercom.Terminal1(), intercom.Terminal2(), intercom.Terminal3()}) {
    terminal->SetOwnerId(-1);
    terminal->WriteText("");
  }
  for (const TVLVariableInfo& record : records) intercom.DMLVariables()->Add(record);
}

// Each device's link- and command-control tags, value 0. Nothing on a
// section the driver could not have (it would read as a full table).
void RegisterControlTags() {
  if (!g_module.Intercom->IsAttached()) return;
  std::vector<std::string> names;
  g_module.DeviceList->With([&](const TDeviceList& devices) {
    for (int32_t i = 0; i < devices.Count(); ++i) {
      names.push_back(platform::os::Trim(devices.At(i)->LinkCtrlTagName));
      names.push_back(platform::os::Trim(devices.At(i)->ComandCtrlTagName));
    }
  });
  for (const std::string& name : names) {
    if (name.empty()) continue;
    if (!AddDynamicTag(g_module.Intercom->DynemicVariables(), name, false, 0.0f)) {
      Log(0, "DLM:: Превышен лимит доступных динамических тегов."_cp);
    }
  }
}

// Starts a driver thread on the module's context; false, logged, when the
// system gives no thread.
bool StartThread() {
  g_module.DriverThread = platform::os::MakeThread<TDriverThread>(*g_module.Context);
  if (g_module.DriverThread->Start()) return true;
  Log(-1, "DLM::Поток драйвера не запущен."_cp);
  return false;
}

// The context of the driver thread, the first start of the server, and
// the thread; false when the thread could not be started.
bool StartDriver() {
  g_module.Context = std::make_unique<TDriverContext>();
  TDriverContext& context = *g_module.Context;
  context.Log = g_module.DriverLog.get();
  context.Intercom = g_module.Intercom.get();
  context.Commands = g_module.CommandsBuffer.get();
  context.Received = g_module.ReceivedBuffer.get();
  context.DynamicTags = g_module.DynamicTagList.get();
  context.Devices = g_module.DeviceList.get();
  context.Settings = &GeneralSettings();
  context.ServerCommandLine = ServerCommandLine(DriverDir(), g_iniFileName);
  CheckServer(context, true);
  g_module.ModuleHold = std::make_unique<platform::os::ModuleReference>(reinterpret_cast<const void*>(&StartDriver));
  return StartThread();
}

// True when the calling thread is inside its handler of a message the
// driver thread sent (a value block): that thread cannot end before the
// handler returns, so no wait for it can succeed.
bool ThreadWaitsForCaller() {
  if (!g_module.DriverThread) return false;
  const uint32_t thread = g_module.DriverThread->MessageThreadId();
  return thread != 0 && platform::win::InSendMessageFrom(thread);
}

// Asks the driver thread to end and waits, handling the calling thread's
// messages, until it has left its loop or the bound has passed.
bool WaitForThreadEnd() {
  if (!g_module.DriverThread) return true;
  TDriverThread& thread = *g_module.DriverThread;
  thread.Terminate();
  return platform::win::WaitPumping([&thread] { return ThreadRunCount() == 0 && !thread.Running(); }, StopWaitMs);
}

// Frees the objects in their release order; the thread has ended.
void Release(TModuleObjects& m) {
  m.DriverThread.reset();
  m.Intercom.reset();
  m.DescriptionFile.reset();
  if (m.VariableList) m.VariableList->Clear();
  if (m.CommandsBuffer) m.CommandsBuffer->Clear();
  m.Context.reset();
  m.DeviceList.reset();
  m.CommandsBuffer.reset();
  m.VariableList.reset();
  m.ReceivedBuffer.reset();
  m.DynamicTagList.reset();
  m.DriverLog.reset();
  m.ModuleHold.reset();  // the kernel still holds the module: this never unloads it
}

// False while the thread of an earlier initialisation still runs; once it
// has ended, its objects are freed.
bool ReleaseStray() {
  if (!g_stray.Objects) return true;
  if (g_stray.ThreadRunning()) return false;
  Release(*g_stray.Objects);
  g_stray.Objects.reset();
  return true;
}

void CloseServers() {
  if (g_module.Intercom && g_module.Intercom->IsAttached()) CloseServersOf(*g_module.Intercom->ServerData());
}

// Stop's work, also Done's: driver state 3, the thread asked to end and
// awaited, the servers closed. Whether the thread ended.
bool StopThreadAndServers() {
  if (g_module.Intercom->IsAttached()) g_module.Intercom->HalvorstenInfo()->SetState(3);
  const bool ended = WaitForThreadEnd();
  CloseServers();
  return ended;
}

// The module's end (process exit, or an unload after Done or in
// configuration-only mode), before the objects' own destructors. A driver
// thread still running, stuck in a send perhaps to the very thread that
// exits, is asked to end and not waited for: everything it uses is left
// to the process's end. Otherwise the objects are released as Done
// releases them. The module's reference is never given back from here:
// the module would be unloaded from its own end.
struct TModuleEnd {
  ~TModuleEnd() {
    for (TModuleObjects* m : {&g_module, g_stray.Objects.get()}) {
      if (m == nullptr) continue;
      if (ThreadRunning(*m)) {
        m->DriverThread->Terminate();
        LeaveToTheEnd(std::move(*m));
        continue;
      }
      if (m->ModuleHold) LeaveToTheEnd(TModuleObjects{std::move(m->ModuleHold)});
      Release(*m);
    }
  }
  // Kept reachable, never destroyed.
  static void LeaveToTheEnd(TModuleObjects&& objects) {
    static std::vector<TModuleObjects>* const left = new std::vector<TModuleObjects>;
    left->push_back(std::move(objects));
  }
};
TModuleEnd g_moduleEnd;

}  // namespace

TExportCall::TExportCall() : held_(!g_exportInProgress.exchange(true)) {}

TExportCall::~TExportCall() {
  if (held_) g_exportInProgress.store(false);
}

bool IsDriverInitialized() {
  const TModuleObjects& m = g_module;
  const bool core = m.DriverLog && m.DeviceList && m.VariableList && m.CommandsBuffer && m.ReceivedBuffer &&
                    m.DynamicTagList;
  return core && (ConfigOnly() || (m.Intercom && m.DriverThread));
}

std::string GetProjectPath() {
  char buffer[ProjectInfoSize] = {};
  if (PRGGetProjectInfo(buffer) != 0) return "";
  return std::string(buffer, strnlen(buffer, MaxProjectPath));
}

TGuardedDeviceList* DeviceListGuard() { return g_module.DeviceList.get(); }

const common::TOPCDescriptionFile* DescriptionFile() { return g_module.DescriptionFile.get(); }

exchange::TIntercomInterface* Intercom() { return g_module.Intercom.get(); }

void LogExportException(const std::exception& error) { Log(-1, std::string("DLM::") + error.what()); }

int32_t FillDeviceInfo(TDrvDeviceInfo* info) {
  if (info == nullptr) return DLM_OK;
  std::memset(info, 0, sizeof *info);
  std::memcpy(info->DriverGUID, DriverGUID, sizeof DriverGUID);
  std::memcpy(info->Description, DriverDescription.data(),
              std::min(DriverDescription.size(), sizeof info->Description - 1));
  const int32_t values[6] = {-1, -1, -1, 0, 100, 100};
  std::memcpy(info->Values, values, sizeof values);
  const std::string prefixes = CurrentPrefixList();
  std::memcpy(info->PrefixList, prefixes.data(), std::min(prefixes.size(), sizeof info->PrefixList - 1));
  return DLM_OK;
}

int32_t InitDeviceDrv(const TDrvInitRecord& record) {
  if (IsDriverInitialized()) return DLM_REINITIALISED;
  // The objects of the thread that did not end are still in use.
  if (!ReleaseStray()) return DLM_REINITIALISED;
  g_initRecord = record;
  g_logFileName = GetProjectPath() + std::string(LogFolder) +
                  platform::os::ChangeFileExt(ServerProgramName, ".log");
  g_module.DriverLog = std::make_unique<TBaseErrorClass>(g_logFileName);
  LoadDescriptionFile();

  g_module.DeviceList = std::make_unique<TGuardedDeviceList>();
  g_module.VariableList = std::make_unique<TDRVVariableList>(g_module.DriverLog.get());
  g_module.CommandsBuffer = std::make_unique<TCommandsBuffer>(*g_module.VariableList);
  g_module.ReceivedBuffer = std::make_unique<TReceivedBuffer>(record.HostWindow, record.MessageId, record.BlockId,
                                                              g_module.DriverLog.get());
  g_module.DynamicTagList = std::make_unique<TDynamicTagList>(g_module.DriverLog.get());

  g_iniFileName = platform::os::IncludeTrailingPathDelimiter(DriverDir()) + std::string(SettingsFileName);
  const bool loaded = g_module.DeviceList->With([](TDeviceList& devices) {
    return devices.LoadFromIni(g_iniFileName, LogSourceName, GeneralSettings());
  });
  if (!loaded) Log(0, "Конфигурационный файл не найден."_cp);
  g_module.DriverLog->SetLogEnabled(!GeneralSettings().LockErrorClass.load());
  g_module.DriverLog->SetLogToFile(!GeneralSettings().LockLOGFile.load());

  g_module.VariableList->Clear();
  g_module.CommandsBuffer->Clear();
  std::string prefixes;
  if (!BuildPrefixList(prefixes)) Log(0, "Драйвер не обслуживает ни одного тега!"_cp);
  SetPrefixList(prefixes);
  if (!ConfigOnly()) {
    CreateSection();
    RegisterControlTags();
    g_module.DynamicTagList->Resolve(g_module.Intercom->DynemicVariables());
    if (!StartDriver()) {
      CloseServers();
      Release(g_module);
      return DLM_COMMAND_NOT_EXECUTED;
    }
  }
  g_objectsGate.Open();
  return DLM_OK;
}

int32_t DoneDeviceDrv() {
  if (!IsDriverInitialized()) return DLM_NOT_INITIALISED;
  if (ThreadWaitsForCaller()) return DLM_EXPORT_BUSY;
  // A write's bound (the command buffer's lock) is far below this one.
  if (!g_objectsGate.Shut(StopWaitMs)) return DLM_EXPORT_BUSY;
  // No server of this driver outlives Done, whether Stop came first or not.
  if (!ConfigOnly() && !StopThreadAndServers()) {
    // The thread keeps every object it uses until it ends; the slots are
    // emptied, and the next initialisation waits for it.
    Log(-1, "DLM::Поток драйвера не завершился."_cp);
    g_stray.Objects = std::make_unique<TModuleObjects>(std::move(g_module));
    g_module = TModuleObjects{};
    return DLM_NOT_INITIALISED;
  }
  Release(g_module);
  return DLM_OK;
}

int32_t RunDeviceDrv() {
  if (!IsDriverInitialized()) return DLM_NOT_INITIALISED;
  if (ConfigOnly()) return DLM_OK;
  // After a stop the thread is replaced, so that data flows again; one that
  // Stop gave up on (stuck in a send) is waited for first.
  if (!g_module.DriverThread->Running() || g_module.DriverThread->Terminated()) {
    if (ThreadWaitsForCaller()) return DLM_EXPORT_BUSY;
    if (!WaitForThreadEnd()) {
      Log(-1, "DLM::Поток драйвера не завершился."_cp);
      return DLM_EXPORT_BUSY;
    }
    g_module.DriverThread.reset();
    if (!StartThread()) return DLM_COMMAND_NOT_EXECUTED;
  }
  if (g_module.Intercom->IsAttached()) g_module.Intercom->HalvorstenInfo()->SetState(2);
  return DLM_OK;
}

int32_t StopDeviceDrv() {
  if (!IsDriverInitialized()) return DLM_NOT_INITIALISED;
  if (ConfigOnly()) return DLM_OK;
  if (ThreadWaitsForCaller()) return DLM_EXPORT_BUSY;
  StopThreadAndServers();
  return DLM_OK;
}

int32_t WriteDataDrv(const TDrvWriteBlock* block, int32_t count) {
  const TObjectsUse use(g_objectsGate);
  if (!use) return DLM_NOT_INITIALISED;
  if (block == nullptr || count <= 0) {
    g_module.DriverLog->LogCode(DLM_BAD_PARAMETERS);
    return DLM_BAD_PARAMETERS;
  }
  try {
    switch (g_module.CommandsBuffer->AddBlock(block, std::chrono::milliseconds(exchange::LockTimeout))) {
      case TCommandsBuffer::AddResult::Queued:
        return DLM_OK;
      case TCommandsBuffer::AddResult::UnknownId:
        return DLM_BAD_PARAMETERS;
      case TCommandsBuffer::AddResult::LockTimeout:
        g_module.DriverLog->LogCode(DLM_BAD_PARAMETERS);
        return DLM_BAD_PARAMETERS;
    }
  } catch (const std::exception& error) {
    // Logged here, while Done cannot release the log.
    LogExportException(error);
  }
  return DLM_BAD_PARAMETERS;
}

int32_t SetupDeviceDrv(HostWindowHandle parent) {
  if (!IsDriverInitialized()) return 0;
  if (!driver_dialogs::ShowSetupDialog(parent)) return 0;
  const bool saved = g_module.DeviceList->With([](const TDeviceList& devices) {
    return devices.SaveToIni(g_iniFileName, LogSourceName, GeneralSettings());
  });
  if (!saved) Log(1, "Ошибка записи файла конфигурации."_cp);
  return 1;
}

int32_t ShowState(HostWindowHandle parent) {
  if (!IsDriverInitialized()) return DLM_NOT_INITIALISED;
  driver_dialogs::ShowTerminalWindow(parent);
  return DLM_OK;
}

void ShowAbout(HostWindowHandle parent) { driver_dialogs::ShowAboutDialog(parent); }

bool InstallDriver(HostWindowHandle parent, const char* sourceDir, const char* targetDir) {
  const auto text = [](const char* dir) {
    return dir != nullptr ? std::string(dir, strnlen(dir, MaxDriverDir)) : std::string();
  };
  return driver_dialogs::InstallDriver(parent, text(sourceDir), text(targetDir));
}

bool RemoveDriver(const char* dir) {
  const std::string folder = dir != nullptr ? std::string(dir, strnlen(dir, MaxRemoveDir)) : std::string();
  const std::string server = folder + std::string(ServerProgramName);
  bool result = platform::os::FileExists(server) ? platform::os::DeleteFile(server) : true;
  const std::string settings = folder + std::string(SettingsFileName);
  if (result && platform::os::FileExists(settings)) result = platform::os::DeleteFile(settings);
  return result;
}

}  // namespace driver

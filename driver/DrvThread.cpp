#include "driver/DrvThread.h"

#include "driver/CommandsBuffer.h"
#include "driver/Devices.h"
#include "driver/DrvLog.h"
#include "driver/DynamicTags.h"
#include "driver/ReceivedBuffer.h"
#include "exchange/OPCSharedMemory.h"
#include "platform/os/Files.h"
#include "platform/os/Process.h"
#include "platform/os/Text.h"
#include "platform/win/MessageLoop.h"
#include "platform/win/Window.h"

#include <exception>
#include <mutex>
#include <memory>
#include <optional>

namespace driver {

using namespace platform::os::literals;

namespace {

constexpr int32_t kAttemptsLogged = 3;      // the attempt in a row that is logged
constexpr int32_t kAttemptsWrap = 65535;

// The step of the thread for the state window.
struct TStepText {
  std::mutex Lock;
  std::string Text = std::string("Поток не запущен."_cp);
};

std::atomic<int32_t> g_threadObjects{0};

// Frees the step with the module only when no thread object is left: a
// thread that a process leaves running at its exit still writes it.
struct TStepTextOwner {
  TStepText* const Step = new TStepText;
  ~TStepTextOwner() {
    if (g_threadObjects.load() == 0) delete Step;
  }
};
TStepTextOwner g_step;

TStepText& StepText() { return *g_step.Step; }

std::atomic<int32_t> g_runCount{0};
std::atomic<HostWindowHandle> g_terminalWindow{0};

// The command-control tag of the device a batch is addressed to, or
// nothing.
std::optional<std::string> CommandTagOf(TDriverContext& context, const std::string& prefix, int32_t device) {
  if (context.Devices == nullptr) return std::nullopt;
  return context.Devices->With([&](const TDeviceList& list) -> std::optional<std::string> {
    const TDevice* found = list.FindDevice(prefix, device);
    if (found == nullptr || found->ComandCtrlTagName.empty()) return std::nullopt;
    return found->ComandCtrlTagName;
  });
}

void SetCommandTag(TDriverContext& context, exchange::TDynemicVariablesList* table, const std::string& prefix,
                   int32_t device, float value) {
  if (const auto tag = CommandTagOf(context, prefix, device)) AddDynamicTag(table, *tag, true, value);
}

// Forgets the started servers that have ended; true when one still runs.
bool AnyStartedServerAlive(TServerWatch& watch) {
  std::erase_if(watch.Started, [](const platform::os::ProcessIdentity& p) { return !platform::os::IsProcessAlive(p); });
  return !watch.Started.empty();
}

void LogCode(TDriverContext& context, int32_t code) {
  if (context.Log != nullptr) context.Log->LogCode(code);
}

void Log(TDriverContext& context, int32_t code, std::string_view text) {
  if (context.Log != nullptr) context.Log->Log(code, text);
}

}  // namespace

std::string ServerCommandLine(std::string_view driverDir, std::string_view iniFileName) {
  const std::string server = platform::os::IncludeTrailingPathDelimiter(driverDir) + std::string(ServerProgramName);
  return "\"" + server + "\" \"0\"  \"" + std::string(iniFileName) + "\"";
}

bool CheckServer(TDriverContext& context, bool restart) {
  exchange::TIntercomInterface* intercom = context.Intercom;
  if (intercom == nullptr || !intercom->IsAttached()) return false;
  const exchange::TServerData& slots = *intercom->ServerData();
  const int32_t pid = slots.GetProcessId(0);
  const auto window = static_cast<HostWindowHandle>(slots.GetWindowHandle(0));
  if (window != 0 && pid != 0 && platform::win::IsWindow(window)) {
    context.Watch.ServerStartAttempts = 0;
    return true;
  }
  if (!restart || !context.Settings->AutoRunServer.load()) return true;
  const platform::os::TDateTime now = platform::os::Now();
  // Whole milliseconds, so that an interval of exactly N seconds counts.
  const int64_t elapsed = platform::os::MilliSecondsBetween(now, context.Watch.LastServerStart);
  if (elapsed < int64_t{1000} * context.Settings->CheckServerInterval.load()) return true;
  context.Watch.LastServerStart = now;
  if (++context.Watch.ServerStartAttempts >= kAttemptsWrap) context.Watch.ServerStartAttempts = 1;
  if (context.Watch.ServerStartAttempts == kAttemptsLogged) {
    Log(context, -1, "DLM::Ошибка запуска сервера доступа к устройству."_cp);
  }
  if (!AnyStartedServerAlive(context.Watch)) {
    // No server holds a busy byte now; one that died holding it would
    // stall every later cycle.
    intercom->ServerErrors()->ClearBusy();
    intercom->Terminal1()->ClearBusy();
    intercom->Terminal2()->ClearBusy();
    intercom->Terminal3()->ClearBusy();
    intercom->DynemicVariables()->EndLeftoverWrites(platform::os::Now());
  }
  platform::os::ProcessIdentity started;
  if (!platform::os::CreateProcess(context.ServerCommandLine, &started)) return false;
  context.Watch.Started.push_back(started);
  return true;
}

bool AbandonBatch(TDriverContext& context, uint8_t seen) {
  exchange::TCommandsList& batch = *context.Intercom->Commands();
  // Name and id before the swap: it clears them.
  const std::string prefix = batch.GetName();
  const int32_t device = batch.GetId();
  if (!batch.ResetFrom(seen)) return false;
  LogCode(context, DLM_COMMAND_NOT_EXECUTED);
  SetCommandTag(context, context.Intercom->DynemicVariables(), prefix, device, 2.0f);
  return true;
}

void HandleCommands(TDriverContext& context) {
  exchange::TCommandsList& batch = *context.Intercom->Commands();
  exchange::TDynemicVariablesList* table = context.Intercom->DynemicVariables();
  const uint8_t state = batch.GetReady();
  if (state == 1 || state == 2) {
    const int64_t allowed = static_cast<int64_t>(batch.Count()) * context.Settings->CommandInterval.load();
    const int64_t elapsed = platform::os::MilliSecondsBetween(platform::os::Now(), batch.GetTime());
    if (elapsed > allowed) AbandonBatch(context, state);
  } else if (state == 3) {
    batch.ResetFrom(state);
  }
  if (context.Commands->Count() > 0 && batch.GetReady() == 0) {
    if (context.Commands->MoveToShared(batch)) {
      SetCommandTag(context, table, batch.GetName(), batch.GetId(), 0.0f);
      batch.Commit();
    } else {
      LogCode(context, DLM_COMMAND_NOT_EXECUTED);
    }
  }
}

bool TRepeatedFailureLog::Failed(uint32_t now) {
  if (failing_ && platform::os::TickDiff(now, lastLogged_) < intervalMs_) return false;
  failing_ = true;
  lastLogged_ = now;
  return true;
}

std::string ThreadStateText() {
  TStepText& step = StepText();
  std::lock_guard guard(step.Lock);
  return step.Text;
}

int32_t ThreadRunCount() { return g_runCount.load(); }

void SetTerminalWindowHandle(HostWindowHandle handle) { g_terminalWindow.store(handle); }

HostWindowHandle TerminalWindowHandle() { return g_terminalWindow.load(); }

TDriverThread::TDriverThread(TDriverContext& context) : context_(context) { ++g_threadObjects; }

TDriverThread::~TDriverThread() { --g_threadObjects; }

void TDriverThread::SetState(std::string_view text, bool notify) {
  {
    TStepText& step = StepText();
    std::lock_guard guard(step.Lock);
    step.Text = text;
  }
  const HostWindowHandle window = TerminalWindowHandle();
  if (notify && window != 0) platform::win::SendMessage(window, platform::win::WM_DRIVERSTATE, 0, 0);
}

void TDriverThread::Execute() {
  messageThreadId_.store(platform::win::GetCurrentThreadId());
  ++g_runCount;
  struct Leave {
    TDriverThread& self;
    ~Leave() {
      self.SetState("Поток остановлен."_cp, false);
      --g_runCount;
    }
  } leave{*this};
  while (!Terminated()) {
    try {
      Cycle();
    } catch (const std::exception& error) {
      Log(context_, -1, std::string("DLM::") + error.what());
    }
  }
}

void TDriverThread::Cycle() {
  platform::os::Sleep(1);
  SetState("Начало обработки данных."_cp);
  exchange::TIntercomInterface* intercom = context_.Intercom;
  if (intercom == nullptr || !intercom->IsAttached()) return;
  exchange::THalvorstenInfo& info = *intercom->HalvorstenInfo();
  info.SetTransactionId(exchange::NextCounter(info.GetTransactionId()));

  SetState("Проверка доступа к серверу устройства."_cp);
  // A thread asked to end starts no server: Done may have closed them.
  if (Terminated()) return;
  CheckServer(context_, true);

  try {
    SetState("Обработка команд."_cp);
    HandleCommands(context_);
  } catch (const std::exception& error) {
    Log(context_, -1, std::string("DLM::CommandProc ") + error.what());
  }

  try {
    SetState("Обработка динамических тегов."_cp);
    if (!context_.DynamicTags->SendChanges(intercom->DynemicVariables(), *context_.Received)) {
      Log(context_, 9, "DLM::Ошибка при обработке динамических тегов."_cp);
    }
  } catch (const std::exception& error) {
    Log(context_, -1, std::string("DLM::DynProc ") + error.what());
  }

  try {
    SetState("Обработка статических тегов."_cp);
    const int32_t server = intercom->ServerData()->GetProcessId(0);
    if (!context_.Received->ScanStaticTags(*intercom->DMLVariables(), server)) {
      Log(context_, 10, "DLM::Ошибка при обработке статических тегов."_cp);
    } else if (context_.Received->Flush()) {
      refusals_.Succeeded();
    } else if (refusals_.Failed(platform::os::GetTickCount())) {
      // The block is sent again every cycle; the log is not.
      Log(context_, 11, "DLM::Данные не могут быть отосланы ядру Halvorsten."_cp);
    }
  } catch (const std::exception& error) {
    Log(context_, -1, std::string("DLM::VarProc ") + error.what());
  }

  SetState("Обработка очереди ошибок."_cp);
  exchange::TServerErrorList& errors = *intercom->ServerErrors();
  if (errors.Count() > 0 && context_.Log != nullptr) {
    auto copy = std::make_unique<exchange::TServerErrorBlock>();
    if (errors.CopyOut(*copy, true)) {
      for (int32_t i = 0; i < copy->Count && i < exchange::kMaxErrors; ++i) {
        context_.Log->Log(copy->Entries[i].Code, exchange::ShortStringOf(copy->Entries[i].Text));
      }
    }
  }
}

}  // namespace driver

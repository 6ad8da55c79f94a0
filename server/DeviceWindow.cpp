#include "server/DeviceWindow.h"

#include <cstring>
#include <stdexcept>

#include "platform/os/Convert.h"
#include "platform/os/Text.h"
#include "platform/os/Time.h"
#include "platform/win/MessageLoop.h"
#include "platform/win/Window.h"
#include "server/ServerData.h"
#include "server/ServerErrors.h"

namespace server {

namespace os = platform::os;
namespace win = platform::win;
using namespace platform::os::literals;

namespace {

// Command-control values by state.
float CommandControlValue(TCommandState state) {
  switch (state) {
    case TCommandState::cpIdle:
    case TCommandState::cpSendCommand:
      return 2.0f;
    case TCommandState::cpCheckCommand:
      return 3.0f;
    case TCommandState::cpOk:
      return 1.0f;
  }
  return 0.0f;
}

std::string CommandPrefix(const exchange::TSharedCommand& command) {
  return exchange::ShortStringOf(command.Prefix);
}

}  // namespace

std::string_view CommandStateName(TCommandState state) {
  switch (state) {
    case TCommandState::cpIdle:
      return "Command State=cpIdle";
    case TCommandState::cpSendCommand:
      return "Command State=cpSendCommand";
    case TCommandState::cpCheckCommand:
      return "Command State=cpCheckCommand";
    case TCommandState::cpOk:
      return "Command State=cpOk";
  }
  return {};
}

// ---------------------------------------------------------------- TLocalTimerThread

void TLocalTimerThread::Execute() {
  std::uint32_t start = os::GetTickCount();
  while (!Terminated()) {
    os::Sleep(1);
    if (os::TickDiff(os::GetTickCount(), start) <= kLocalTimerPeriod) continue;
    // The next period starts before the post: time that passes while the
    // tick is being handled counts toward the next one.
    start = os::GetTickCount();
    const win::HWND target = TargetWindow.load();
    if (!ServerClosing.load() && target != 0) win::PostMessage(target, WM_LOCALTIMER, 0, 0);
  }
}

// ---------------------------------------------------------------- TDeviceCommandsList

bool TDeviceCommandsList::TakeCommands(std::string_view prefix, std::int32_t deviceAddress) {
  if (!SectionOpen()) return false;
  exchange::TCommandBlock taken{};
  if (!Intercom->Commands()->TakeBlock(deviceAddress, prefix, taken)) return false;
  Buffer = taken;
  const std::int32_t count = Buffer.CommandCount();
  for (std::int32_t i = 0; i < count; ++i) Add(new exchange::TSharedCommand(Buffer.Commands[i]));
  return count > 0;
}

// ---------------------------------------------------------------- TDeviceWindow

TDeviceWindow::TDeviceWindow()
    : Commands(std::make_unique<TDeviceCommandsList>()),
      Devices(std::make_unique<TDeviceList>()),
      Terminal(std::make_unique<TTerminalClass>()),
      TimerThread(os::MakeThread<TLocalTimerThread>()) {
  handle_ = win::AllocateHWnd([this](win::HWND, win::UINT message, win::WPARAM, win::LPARAM) -> win::LRESULT {
    if (message == WM_LOCALTIMER) WMLocalTimer();
    return 0;
  });
  if (handle_ == 0) throw std::runtime_error("device window: no window handle");
  TimerThread->TargetWindow.store(handle_);
  TimerThread->SetPriority(os::TThreadPriority::tpTimeCritical);
}

TDeviceWindow::~TDeviceWindow() {
  StopTimer();
  win::DestroyWindow(handle_);
}

bool TDeviceWindow::AssignDevices(TDeviceList* list) {
  if (list == nullptr || list->Count() == 0) return false;
  Devices->Assign(list);
  list->FreeAll();
  return true;
}

bool TDeviceWindow::Start() {
  if (TimerThread->Terminated()) {
    // Started again after Stop: a fresh thread, as a thread runs once.
    TimerThread = os::MakeThread<TLocalTimerThread>();
    TimerThread->TargetWindow.store(handle_);
    TimerThread->SetPriority(os::TThreadPriority::tpTimeCritical);
  }
  TimerThread->Start();
  Started = true;
  ConnectDevices();
  return true;
}

bool TDeviceWindow::Stop() {
  StopTimer();
  AbandonCommands();
  DisconnectDevices();
  Started = false;
  return true;
}

void TDeviceWindow::AbandonCommands() {
  while (Commands->Count() > 0) {
    CurrentCommand = *Commands->At(0);
    Commands->FreeAt(0);
    CommandState = TCommandState::cpSendCommand;
    WriteCommandState();
  }
}

void TDeviceWindow::StopTimer() {
  TimerThread->Terminate();
  TimerThread->WaitFor(kTimerStopWait);
}

void TDeviceWindow::ConnectDevices() {
  for (std::int32_t i = 0; i < Devices->Count(); ++i) {
    TDevice* device = Devices->At(i);
    device->SetValueCallback([this](const TOPCVariableIndexItem& item) { OnTagValue(item); });
    if (device->Enabled) device->SetLinkState(device->Connect());
  }
}

void TDeviceWindow::DisconnectDevices() {
  for (std::int32_t i = 0; i < Devices->Count(); ++i) Devices->At(i)->Disconnect();
}

void TDeviceWindow::OnTagValue(const TOPCVariableIndexItem& item) { DecodeTagValue(item, *Devices, *Terminal); }

void TDeviceWindow::WMLocalTimer() {
  if (ServerClosing.load() || !Started) return;
  // A new batch only once the last one has run: the queue holds at most one
  // batch, and a batch the driver keeps waiting stays under its time-out.
  if (Commands->Count() == 0) {
    const std::int32_t index = Devices->FindCommandDevice();
    if (const TDevice* device = Devices->GetDevice(index))
      Commands->TakeCommands(device->Prefix, device->DeviceAddress);
  }
  if (Commands->Count() > 0) ExecuteCommand();
}

void TDeviceWindow::ExecuteCommand() {
  if (Commands->Count() == 0) return;
  std::string log;
  const TDevice* found = nullptr;
  try {
    CurrentCommand = *Commands->At(0);
    CommandState = TCommandState::cpSendCommand;
    log = os::DateTimeToStr(os::Now()) + "\r\n" + "Writting tag id: " + os::IntToStr(CurrentCommand.Id) +
          "\r\n" + "Value=" + os::FloatToStr(CurrentCommand.Value) + "\r\n";
    Commands->FreeAt(0);
    const std::string prefix = CommandPrefix(CurrentCommand);
    TDevice* device = Devices->FindDevice(prefix, CurrentCommand.DeviceNumber);
    found = device;
    if (device == nullptr) {
      log.append("Устройство для выполнения команды не найдено."_cp).append("\r\n");
    } else if (!device->Enabled) {
      log.append("Устройство заблокировано."_cp).append("\r\n");
    } else {
      CommandState = TCommandState::cpCheckCommand;
      if (device->WriteCommand(prefix, CurrentCommand.DeviceNumber, log, CurrentCommand.Value,
                               CurrentCommand.Address) == 0)
        CommandState = TCommandState::cpOk;
    }
  } catch (const std::exception&) {
    // The command ends in the state it reached; it is logged and reported
    // below like any failed command.
  }
  WriteCommandState();
  std::string extra;
  if (found != nullptr && !found->Enabled) extra = std::string("Доступ к устройсту запрещен."_cp) + "\r\n";
  log += "\r\n" + std::string(CommandStateName(CommandState)) + "\r\n" + extra + "----------------------------";
  if (SectionOpen()) {
    Intercom->Commands()->MarkDone();
    Intercom->Terminal2()->WriteText(log);
  }
  CommandsLog = log;
}

void TDeviceWindow::WriteCommandState() {
  const std::string prefix = CommandPrefix(CurrentCommand);
  TDevice* device = Devices->FindDevice(prefix, CurrentCommand.DeviceNumber);
  if (device == nullptr) return;
  if (!device->ComandCtrlTagName.empty())
    device->WriteDynamicVariable(device->ComandCtrlTagName, CommandControlValue(CommandState));
  const bool ok = CommandState == TCommandState::cpOk;
  if (VariableIndex) {
    VariableIndex->WriteValue(prefix, CurrentCommand.DeviceNumber, ok ? CurrentCommand.Value : CurrentCommand.Value2,
                              CurrentCommand.Address);
    VariableIndex->PublishChanges();
  }
  if (!ok && ServerErrors) ServerErrors->ReportError(ErrorCode::CommandFailed, CurrentCommand.Id);
}

// ---------------------------------------------------------------- TDeviceWindowList

bool TDeviceWindowList::Build(const TDeviceList* devices) {
  if (devices == nullptr) return Count() > 0;
  TDeviceList pending;
  pending.Assign(devices);
  while (pending.Count() > 0) {
    auto window = std::make_unique<TDeviceWindow>();
    if (!window->AssignDevices(&pending)) break;
    Add(window.release());
  }
  return Count() > 0;
}

bool TDeviceWindowList::StartAll() {
  bool result = true;
  for (std::int32_t i = 0; i < Count(); ++i) result = At(i)->Start() && result;
  Started = true;
  return result;
}

bool TDeviceWindowList::StopAll() {
  bool result = true;
  try {
    for (std::int32_t i = 0; i < Count(); ++i) result = At(i)->Stop() && result;
  } catch (const std::exception&) {
    return result;
  }
  Started = false;
  return result;
}

TDevice* TDeviceWindowList::FindDeviceByNumber(std::int32_t number) const {
  for (std::int32_t i = 0; i < Count(); ++i) {
    const TDeviceList& devices = *At(i)->Devices;
    for (std::int32_t d = 0; d < devices.Count(); ++d)
      if (devices.At(d)->DeviceNumber == number) return devices.At(d);
  }
  return nullptr;
}

}  // namespace server

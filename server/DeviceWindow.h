#pragma once
// The device window: the server's worker for its devices. It connects them
// at start and disconnects them at stop, decodes their accepted values, and
// executes the write commands the driver queues in the shared command
// batch, one command per tick. Its own time-critical thread posts the tick
// message to it at least 51 ms apart.
//
// The window's handle is a message window of the thread that creates it
// (the main thread); every operation below belongs to that thread, except
// TLocalTimerThread's body.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "common/TArray.h"
#include "exchange/OPCSharedMemory.h"
#include "platform/os/Thread.h"
#include "platform/win/Messages.h"
#include "server/ServerDevices.h"
#include "server/ValueDecoding.h"

namespace server {

// The tick message of a device window.
inline constexpr platform::win::UINT WM_LOCALTIMER = 1147;
// Period the tick thread waits beyond (ms); a tick follows at least 51 ms
// after the previous one.
inline constexpr std::uint32_t kLocalTimerPeriod = 50;
// Longest wait for the tick thread to end in Stop (ms).
inline constexpr std::uint32_t kTimerStopWait = 5000;

// State of the command being executed (one byte).
enum class TCommandState : std::uint8_t { cpIdle = 0, cpSendCommand = 1, cpCheckCommand = 2, cpOk = 3 };
static_assert(sizeof(TCommandState) == 1);

// Posts WM_LOCALTIMER to TargetWindow whenever more than kLocalTimerPeriod
// ms have passed since the last post (or skipped post), unless
// ServerClosing is set or TargetWindow is 0. The elapsed time is taken
// modulo 2^32, so the tick counter's wrap does not stop it.
class TLocalTimerThread : public platform::os::TThread {
 public:
  std::atomic<platform::win::HWND> TargetWindow{0};

 protected:
  void Execute() override;
};

// The commands of a taken batch, each a copy of its 532-byte record, in
// record order.
class TDeviceCommandsList : public common::TOwningList<exchange::TSharedCommand, common::TBaseArray> {
 public:
  TDeviceCommandsList() : Buffer{} {}

  // Takes the committed batch when it is for this prefix (without case) and
  // device address: the block is copied into Buffer and moved 1 -> 2, then
  // its 1..17 records are appended. Nothing changes without a section or
  // for a batch that is not committed, not for this device or changes
  // while being taken. True when commands were appended.
  bool TakeCommands(std::string_view prefix, std::int32_t deviceAddress);

  exchange::TCommandBlock Buffer;  // copy of the last batch taken
};

class TDeviceWindow {
 public:
  // Makes the window (a message window of the calling thread), its tick
  // thread (not started, time-critical), an empty device list, terminal and
  // command list. Throws std::runtime_error when no window handle can be
  // had.
  TDeviceWindow();
  // Stops the tick thread (bounded wait), then destroys the window.
  virtual ~TDeviceWindow();
  TDeviceWindow(const TDeviceWindow&) = delete;
  TDeviceWindow& operator=(const TDeviceWindow&) = delete;

  // Moves every device of list into Devices (copies; list is emptied).
  // False for nullptr or an empty list.
  virtual bool AssignDevices(TDeviceList* list);
  // Starts the tick thread, Started := true, then connects the devices.
  // True.
  virtual bool Start();
  // Ends the tick thread (waiting at most kTimerStopWait), abandons the
  // commands still queued (AbandonCommands), disconnects the devices,
  // Started := false. True.
  virtual bool Stop();

  // For each device: value callback := OnTagValue; an enabled device is
  // connected and its link state set by the result.
  void ConnectDevices();
  void DisconnectDevices();
  // Decodes an accepted value (DecodeTagValue with Devices and Terminal).
  void OnTagValue(const TOPCVariableIndexItem& item);
  // Executes the first queued command, logs it to shared terminal 2 and
  // CommandsLog, writes the command state and marks the batch done.
  // Nothing when no command is queued.
  void ExecuteCommand();
  // Every queued command is dropped as not executed: each gets the state of
  // a command that stopped before its write (WriteCommandState with
  // cpSendCommand: command control 2.0, Value2, -8), so none goes without
  // the kernel seeing its command state.
  void AbandonCommands();
  // Command-control variable and variable value of CurrentCommand by
  // CommandState; -8 for every state but cpOk. Nothing when its device is
  // unknown.
  void WriteCommandState();

  // The window that receives WM_LOCALTIMER.
  platform::win::HWND Handle() const { return handle_; }

  std::unique_ptr<TDeviceCommandsList> Commands;
  exchange::TSharedCommand CurrentCommand{};
  TCommandState CommandState = TCommandState::cpIdle;
  bool Started = false;
  std::unique_ptr<TDeviceList> Devices;
  std::unique_ptr<TTerminalClass> Terminal;
  std::unique_ptr<TLocalTimerThread> TimerThread;

 protected:
  // One tick: nothing while closing or not started; with an empty queue,
  // takes the committed batch for its device; executes one command. The
  // queue so never holds more than one batch (17 commands).
  void WMLocalTimer();

 private:
  void StopTimer();
  platform::win::HWND handle_ = 0;
};

// The device windows of the server; one window takes every device.
class TDeviceWindowList : public common::TOwningList<TDeviceWindow, common::TBaseArray> {
 public:
  // Builds windows from copies of devices until every device has one (the
  // first takes all). True when a window exists; false for nullptr or no
  // device.
  bool Build(const TDeviceList* devices);
  // Start on each window; false when any answered false. Started := true.
  bool StartAll();
  // Stop on each window; an exception ends the loop and answers the result
  // so far (Started unchanged); otherwise Started := false.
  bool StopAll();
  // The first device with this DeviceNumber in any window; nullptr when none.
  TDevice* FindDeviceByNumber(std::int32_t number) const;

  bool Started = false;
};

// The log line of a command state ("Command State=cpOk").
std::string_view CommandStateName(TCommandState state);

}  // namespace server

#pragma once
// The driver thread: keeps the heartbeat, watches and restarts the
// communication server, hands command batches to it, and sends changed
// dynamic and static values and the server's errors on. Also the server
// launcher, CheckServer.

#include "driver/DrvTypes.h"
#include "platform/os/Process.h"
#include "platform/os/Thread.h"
#include "platform/os/Time.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace exchange {
class TIntercomInterface;
}

namespace driver {

class TBaseErrorClass;
class TCommandsBuffer;
class TReceivedBuffer;
class TDynamicTagList;
class TGuardedDeviceList;
struct TGeneralSettings;

inline constexpr std::string_view ServerProgramName = "Ferrowick_V30.srv";
inline constexpr std::string_view SettingsFileName = "Ferrowick_V30.ini";

// `"<dir>/Ferrowick_V30.srv" "0"  "<iniFileName>"` (one blank, then two).
std::string ServerCommandLine(std::string_view driverDir, std::string_view iniFileName);

// When the server was last started and how often in a row, and the server
// processes started that may still run. Initialisation and then the driver
// thread use it, one after the other.
struct TServerWatch {
  platform::os::TDateTime LastServerStart = 0;
  int32_t ServerStartAttempts = 0;
  std::vector<platform::os::ProcessIdentity> Started;
};

// What the thread works on; every pointer outlives the thread. Intercom
// may be detached.
struct TDriverContext {
  TBaseErrorClass* Log = nullptr;
  exchange::TIntercomInterface* Intercom = nullptr;
  TCommandsBuffer* Commands = nullptr;
  TReceivedBuffer* Received = nullptr;
  TDynamicTagList* DynamicTags = nullptr;
  TGuardedDeviceList* Devices = nullptr;
  const TGeneralSettings* Settings = nullptr;
  std::string ServerCommandLine;
  TServerWatch Watch;
};

// True when the server of slot 0 is alive or needs no start now; otherwise
// starts it (at most once per CheckServerInterval seconds, only with
// restart and AutoRunServer) and answers whether the process was created.
// Busy bytes a dead server may have left in the error list and the
// terminals, and dynamic items it left in the middle of a write, are
// cleared before the start, but only when no server process started before
// still runs (one that is starting may hold a byte). False without a
// section.
// Initialisation, then the driver thread.
bool CheckServer(TDriverContext& context, bool restart);

// Abandons a batch seen open (state `seen`, 1 or 2) past its time: frees
// it from that state and only then logs -8 and sets the command-control tag
// to 2.0. False, with nothing logged or written, when the server moved the
// state meanwhile (a batch it has just finished is no failure). Needs an
// attached section. Driver thread.
bool AbandonBatch(TDriverContext& context, uint8_t seen);

// The batch handshake of one cycle: a done batch is freed, a batch open
// longer than Count x CommandInterval ms is abandoned (-8, command-control
// tag 2.0), and the next device's commands are moved and committed
// (command-control tag 0.0). Needs an attached section. Driver thread.
void HandleCommands(TDriverContext& context);

// Current step of the thread for the state window; any thread.
std::string ThreadStateText();
int32_t ThreadRunCount();
// The state window's handle (0 while closed); it is sent WM_DRIVERSTATE
// after each change of the step. Any thread.
void SetTerminalWindowHandle(HostWindowHandle handle);
HostWindowHandle TerminalWindowHandle();

// Which failures of a run that repeats every cycle are logged: the first
// of the run, then at most one per interval; a success ends the run. Ticks
// are compared modulo 2^32. One thread.
class TRepeatedFailureLog {
 public:
  explicit TRepeatedFailureLog(uint32_t intervalMs) : intervalMs_(intervalMs) {}
  // A failure at tick now; true when it is to be logged.
  bool Failed(uint32_t now);
  void Succeeded() { failing_ = false; }

 private:
  uint32_t intervalMs_;
  bool failing_ = false;
  uint32_t lastLogged_ = 0;
};

// A kernel that refuses value blocks is logged (code 11) at most this often.
inline constexpr uint32_t RefusalLogIntervalMs = 1000;

class TDriverThread : public platform::os::TThread {
 public:
  // context must outlive the thread. Make it with platform::os::MakeThread.
  explicit TDriverThread(TDriverContext& context);
  ~TDriverThread() override;

  // The thread's id as windows know it (for InSendMessageFrom), once it
  // runs; 0 before. Any thread.
  uint32_t MessageThreadId() const { return messageThreadId_.load(); }

 protected:
  void Execute() override;

 private:
  void Cycle();
  void SetState(std::string_view text, bool notify = true);
  TDriverContext& context_;
  TRepeatedFailureLog refusals_{RefusalLogIntervalMs};
  std::atomic<uint32_t> messageThreadId_{0};
};

}  // namespace driver

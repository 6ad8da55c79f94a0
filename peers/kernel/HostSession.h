#pragma once
// halvorsten-host's interpreter: loads the driver module, owns the kernel
// window on the main thread, answers value blocks, records log items and
// runs script commands in order. The main thread is a COM single-threaded
// apartment while the session lives, as the kernel thread that shows the
// driver's dialogs is. Main thread only, except the sinks that
// the kernel libraries call from the driver's threads.

#include "peers/kernel/DialogScript.h"
#include "peers/kernel/DriverModule.h"
#include "peers/kernel/HostOutput.h"
#include "peers/kernel/ScriptReader.h"
#include "platform/com/Apartment.h"
#include "platform/win/Messages.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace kernel {

class HostSession {
 public:
  // Makes the thread an apartment, loads the module and makes the kernel
  // window; throws std::runtime_error when one of them fails. Interactive:
  // the forms the driver shows wait for the person at the display once
  // their queued actions ran (the display backend must be running), until
  // the host is interrupted: then the application ends, which closes them.
  HostSession(const std::string& modulePath, HostOutput& out, bool interactive = false);
  // Stops and ends a driver that is still initialised, then destroys the
  // kernel window.
  ~HostSession();
  HostSession(const HostSession&) = delete;
  HostSession& operator=(const HostSession&) = delete;

  // Runs every line of source. Answers 0 when the script ran to its end or
  // to "exit", 1 when it did so but a "waitfor" timed out on the way, 2
  // after a script error (reported on standard error), also when dialog
  // actions or save answers are left that nothing used. Once the host is
  // interrupted (Interruption.h) the running wait ends, no further line
  // runs and the driver is stopped and ended as at the script's end.
  int Run(LineSource& source);

  // Runs one script line (blank and comment lines do nothing; "exit" is
  // refused here). Throws ScriptError on a fault of the line. Main thread.
  void RunLine(std::string_view text);

  // Called for every record of an accepted value block, on the main thread
  // (the kernel window's). With echo false the "value ..." lines are left
  // out. Main thread.
  using ValueObserver = std::function<void(int32_t id, float value)>;
  void SetValueObserver(ValueObserver observer, bool echo);

  // True while the driver is initialised (Init answered 0, no Done since).
  bool Initialised() const { return initialised_; }

 private:
  using Words = std::vector<std::string>;
  struct ValueEvent {
    int32_t Id;
    float Value;
  };

  void Execute(const Words& words);
  void Command(const Words& words);
  void Result(const char* exportName, int64_t code);

  // Commands.
  void Project(const Words& w);
  void Domain(const Words& w);
  void Var(const Words& w);
  void Info();
  void Init(const Words& w);
  void Simple(const std::string& command);
  void Install(const Words& w);
  void Remove(const Words& w);
  void Write(const Words& w, size_t first, int32_t countArgument, int64_t blockCount);
  void WriteCount(const Words& w);
  void Wait(const Words& w);
  void WaitFor(const Words& w);
  void Section();
  void StopAndDone();

  platform::win::LRESULT OnKernelMessage(platform::win::UINT message, platform::win::WPARAM wParam,
                                         platform::win::LPARAM lParam);
  void OnLogItem(int32_t code, const std::string& line);
  void SetKernelSinks();

  // The calling thread as an apartment for the session's life; throws
  // std::runtime_error, before the module loads, when it cannot be one.
  struct SessionApartment : platform::com::ApartmentScope {
    SessionApartment();
  };

  HostOutput& out_;
  SessionApartment apartment_;
  std::unique_ptr<DriverModule> module_;
  platform::win::HWND kernelWindow_ = 0;
  std::unique_ptr<DialogScript> dialogs_;
  int32_t currentDomain_ = 0;
  int32_t messageId_ = 0;
  int64_t answer_ = 2002;
  bool initialised_ = false;
  int lineNumber_ = 0;
  bool waitTimedOut_ = false;

  ValueObserver valueObserver_;  // main thread
  bool echoValues_ = true;
  std::vector<ValueEvent> values_;  // main thread (kernel window)
  size_t valueCursor_ = 0;
  std::mutex logLock_;               // log items come from any thread
  std::vector<int32_t> logCodes_;
  size_t logCursor_ = 0;
};

}  // namespace kernel

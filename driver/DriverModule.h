#pragma once
// The driver module's long-lived objects, from DLMInitDeviceDrv to
// DLMDoneDeviceDrv, and the bodies of the exports. The kernel calls the
// exports from its own thread; every function here runs on that thread,
// except WriteDataDrv, which any thread may call. Init, Done, Run, Stop,
// Setup and ShowState run one at a time (TExportCall).

#include "driver/DrvTypes.h"
#include "platform/os/Text.h"

#include <cstdint>
#include <exception>
#include <string>
#include <string_view>

namespace common {
class TOPCDescriptionFile;
}
namespace exchange {
class TIntercomInterface;
}

namespace driver {

inline constexpr std::string_view DriverDescription = [] {
  using namespace platform::os::literals;
  return "Драйвер поддержки OPC серверов. Версия 3.0"_cp;
}();
inline constexpr std::string_view DescriptionFileName = "Ferrowick_V30.edd";
inline constexpr std::string_view LogFileBaseName = "Ferrowick_V30.log";
inline constexpr std::string_view LogFolder = "Debugger/";
inline constexpr uint32_t StopWaitMs = 10000;    // for the thread, and for each server window
inline constexpr std::size_t MaxDriverDir = 4095;
inline constexpr std::size_t MaxProjectPath = 343;
inline constexpr std::size_t MaxRemoveDir = 255;

// {15EEE945-B447-4659-ABE2-8E4FF2BBFC65} in the binary GUID layout.
inline constexpr uint8_t DriverGUID[16] = {0x45, 0xE9, 0xEE, 0x15, 0x47, 0xB4, 0x59, 0x46,
                                           0xAB, 0xE2, 0x8E, 0x4F, 0xF2, 0xBB, 0xFC, 0x65};

// What an export answers when it came while another was in progress
// (nested in that one's wait for messages, or from another thread): it was
// not executed and nothing changed.
inline constexpr int32_t DLM_EXPORT_BUSY = DLM_COMMAND_NOT_EXECUTED;

// The right to run one of the exports that create, release or wait on the
// module's objects (Init, Done, Run, Stop, Setup, ShowState). Their waits
// handle the kernel's messages, so the kernel may call in again meanwhile;
// only the first of them holds the right, a nested or concurrent one is
// refused at once (false). Any thread.
class TExportCall {
 public:
  TExportCall();
  ~TExportCall();
  TExportCall(const TExportCall&) = delete;
  TExportCall& operator=(const TExportCall&) = delete;
  explicit operator bool() const { return held_; }

 private:
  bool held_;
};

// True when every object of the mode that initialised the driver exists.
// Kernel's thread, inside a TExportCall.
bool IsDriverInitialized();

// The kernel's project folder, or "" when the kernel has none.
std::string GetProjectPath();

// Export bodies; results as the exports answer them. Init, Done, Run,
// Stop, Setup and ShowState are called inside a TExportCall, on the
// kernel's thread. DoneDeviceDrv does Stop's work first (servers closed);
// when it gives up on a driver thread that does not end it answers -5 and
// leaves it its objects; InitDeviceDrv answers -4 until that thread has
// ended. RunDeviceDrv finding the thread asked to end waits for it as Stop
// does, then starts a new one; when it does not end, Run logs it and
// answers DLM_EXPORT_BUSY. Done, Stop and a Run that would wait answer
// DLM_EXPORT_BUSY at once, changing nothing, inside the handler of a value
// block the thread sent. Init and Run answer DLM_COMMAND_NOT_EXECUTED,
// logged, when no thread can be started (Init then keeps nothing).
// WriteDataDrv (any thread) answers -5 while the objects are missing or
// Init or Done create or release them; Done waits for the writes in
// progress first (at most 10 s, then DLM_EXPORT_BUSY).
int32_t FillDeviceInfo(TDrvDeviceInfo* info);
int32_t InitDeviceDrv(const TDrvInitRecord& record);
int32_t DoneDeviceDrv();
int32_t RunDeviceDrv();
int32_t StopDeviceDrv();
int32_t WriteDataDrv(const TDrvWriteBlock* block, int32_t count);
int32_t SetupDeviceDrv(HostWindowHandle parent);
int32_t ShowState(HostWindowHandle parent);
void ShowAbout(HostWindowHandle parent);
bool InstallDriver(HostWindowHandle parent, const char* sourceDir, const char* targetDir);
bool RemoveDriver(const char* dir);

// Logs an exception that reached an export (code -1), when the log exists.
void LogExportException(const std::exception& error);

// What the dialogs read of the module's objects; each nullptr while the
// module has none. Kernel's thread.
class TGuardedDeviceList;
// The device list and its guard (the driver thread reads it every cycle).
TGuardedDeviceList* DeviceListGuard();
// The description file, loaded at initialisation (also in
// configuration-only mode).
const common::TOPCDescriptionFile* DescriptionFile();
// The shared section's owner (not in configuration-only mode).
exchange::TIntercomInterface* Intercom();

}  // namespace driver

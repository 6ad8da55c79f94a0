// The export table of the driver module: the 15 functions the kernel
// calls, and nothing else leaves the module. No exception crosses an
// export: one that reaches here answers the export's failure result.

#include "driver/DlmExports.h"

#include "driver/DriverModule.h"

#include <exception>

#define DLM_EXPORT __attribute__((visibility("default")))

namespace {

// Runs body; an exception is logged and answers failure.
template <class Body, class Result>
Result Guarded(Body body, Result failure) {
  try {
    return body();
  } catch (const std::exception& error) {
    driver::LogExportException(error);
    return failure;
  }
}

}  // namespace

extern "C" {

DLM_EXPORT int32_t DLMGetDeviceInfo(driver::TDrvDeviceInfo* info) {
  return Guarded([&] { return driver::FillDeviceInfo(info); }, driver::DLM_OK);
}

DLM_EXPORT int32_t DLMInitDeviceDrv(driver::TDrvInitRecord record) {
  return Guarded([&] { return driver::InitDeviceDrv(record); }, driver::DLM_NOT_INITIALISED);
}

DLM_EXPORT int32_t DLMDoneDeviceDrv() {
  return Guarded([] { return driver::DoneDeviceDrv(); }, driver::DLM_NOT_INITIALISED);
}

DLM_EXPORT int32_t DLMRunDeviceDrv() {
  return Guarded([] { return driver::RunDeviceDrv(); }, driver::DLM_NOT_INITIALISED);
}

DLM_EXPORT int32_t DLMStopDeviceDrv() {
  return Guarded([] { return driver::StopDeviceDrv(); }, driver::DLM_NOT_INITIALISED);
}

DLM_EXPORT int32_t DLMWriteDataDrv(driver::TDrvWriteBlock* block, int32_t count) {
  return Guarded([&] { return driver::WriteDataDrv(block, count); }, driver::DLM_BAD_PARAMETERS);
}

DLM_EXPORT int32_t DLMReadDataDrv(int32_t, int32_t) { return driver::DLM_NOT_SUPPORTED; }

DLM_EXPORT int32_t DLMSinhronize(int32_t) { return driver::DLM_NOT_SUPPORTED; }

DLM_EXPORT int32_t DLMSetupDeviceDrv(driver::HostWindowHandle parent) {
  return Guarded([&] { return driver::SetupDeviceDrv(parent); }, 0);
}

DLM_EXPORT int32_t DLMShowState(driver::HostWindowHandle parent) {
  return Guarded([&] { return driver::ShowState(parent); }, driver::DLM_NOT_INITIALISED);
}

DLM_EXPORT void DLMAbout(driver::HostWindowHandle parent) {
  Guarded([&] {
    driver::ShowAbout(parent);
    return 0;
  }, 0);
}

DLM_EXPORT void DLMShowLogList(int32_t) {}

DLM_EXPORT int32_t DLMGetErrorStr(int32_t, int32_t, int32_t) { return 0; }

DLM_EXPORT uint8_t DLMInstallDriver(driver::HostWindowHandle parent, const char* sourceDir, const char* targetDir) {
  return Guarded([&] { return static_cast<uint8_t>(driver::InstallDriver(parent, sourceDir, targetDir) ? 1 : 0); },
                 uint8_t{0});
}

DLM_EXPORT uint8_t DLMRemoveDriver(int32_t, const char* dir) {
  return Guarded([&] { return static_cast<uint8_t>(driver::RemoveDriver(dir) ? 1 : 0); }, uint8_t{0});
}

}  // extern "C"

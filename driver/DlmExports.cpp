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

// Runs body as the one export in progress (driver::TExportCall): a call
// that comes while another is in progress answers refused, and nothing
// changes. The right is held until the body's exception is logged.
template <class Body, class Result>
Result OneAtATime(Body body, Result failure, Result refused) {
  const driver::TExportCall call;
  if (!call) return refused;
  return Guarded(body, failure);
}

}  // namespace

extern "C" {

DLM_EXPORT int32_t DLMGetDeviceInfo(driver::TDrvDeviceInfo* info) {
  return Guarded([&] { return driver::FillDeviceInfo(info); }, driver::DLM_OK);
}

DLM_EXPORT int32_t DLMInitDeviceDrv(driver::TDrvInitRecord record) {
  return OneAtATime([&] { return driver::InitDeviceDrv(record); }, driver::DLM_NOT_INITIALISED,
                    driver::DLM_EXPORT_BUSY);
}

DLM_EXPORT int32_t DLMDoneDeviceDrv() {
  return OneAtATime([] { return driver::DoneDeviceDrv(); }, driver::DLM_NOT_INITIALISED, driver::DLM_EXPORT_BUSY);
}

DLM_EXPORT int32_t DLMRunDeviceDrv() {
  return OneAtATime([] { return driver::RunDeviceDrv(); }, driver::DLM_NOT_INITIALISED, driver::DLM_EXPORT_BUSY);
}

DLM_EXPORT int32_t DLMStopDeviceDrv() {
  return OneAtATime([] { return driver::StopDeviceDrv(); }, driver::DLM_NOT_INITIALISED, driver::DLM_EXPORT_BUSY);
}

DLM_EXPORT int32_t DLMWriteDataDrv(driver::TDrvWriteBlock* block, int32_t count) {
  return Guarded([&] { return driver::WriteDataDrv(block, count); }, driver::DLM_BAD_PARAMETERS);
}

DLM_EXPORT int32_t DLMReadDataDrv(int32_t, int32_t) { return driver::DLM_NOT_SUPPORTED; }

DLM_EXPORT int32_t DLMSinhronize(int32_t) { return driver::DLM_NOT_SUPPORTED; }

DLM_EXPORT int32_t DLMSetupDeviceDrv(driver::HostWindowHandle parent) {
  return OneAtATime([&] { return driver::SetupDeviceDrv(parent); }, 0, 0);
}

DLM_EXPORT int32_t DLMShowState(driver::HostWindowHandle parent) {
  return OneAtATime([&] { return driver::ShowState(parent); }, driver::DLM_NOT_INITIALISED, driver::DLM_EXPORT_BUSY);
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

#pragma once
// A driver module loaded as the kernel loads it: the shared object and its
// 15 exports, resolved by name. Unloaded when the object ends.

#include "driver/DlmExports.h"

#include <stdexcept>
#include <string>

namespace kernel {

class DriverModule {
 public:
  // Loads path and resolves every export; throws std::runtime_error naming
  // the path or the missing export.
  explicit DriverModule(const std::string& path);
  ~DriverModule();
  DriverModule(const DriverModule&) = delete;
  DriverModule& operator=(const DriverModule&) = delete;

  decltype(&DLMGetDeviceInfo) GetDeviceInfo;
  decltype(&DLMInitDeviceDrv) InitDeviceDrv;
  decltype(&DLMDoneDeviceDrv) DoneDeviceDrv;
  decltype(&DLMRunDeviceDrv) RunDeviceDrv;
  decltype(&DLMStopDeviceDrv) StopDeviceDrv;
  decltype(&DLMWriteDataDrv) WriteDataDrv;
  decltype(&DLMReadDataDrv) ReadDataDrv;
  decltype(&DLMSinhronize) Sinhronize;
  decltype(&DLMSetupDeviceDrv) SetupDeviceDrv;
  decltype(&DLMShowState) ShowState;
  decltype(&DLMAbout) About;
  decltype(&DLMShowLogList) ShowLogList;
  decltype(&DLMGetErrorStr) GetErrorStr;
  decltype(&DLMInstallDriver) InstallDriver;
  decltype(&DLMRemoveDriver) RemoveDriver;

 private:
  template <class F>
  void Resolve(F& function, const char* name);

  void* handle_ = nullptr;
};

}  // namespace kernel

#include "peers/kernel/DriverModule.h"

#include <dlfcn.h>

namespace kernel {

DriverModule::DriverModule(const std::string& path) {
  handle_ = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle_) {
    const char* why = ::dlerror();
    throw std::runtime_error("cannot load " + path + ": " + (why ? why : "unknown error"));
  }
  try {
    Resolve(GetDeviceInfo, "DLMGetDeviceInfo");
    Resolve(InitDeviceDrv, "DLMInitDeviceDrv");
    Resolve(DoneDeviceDrv, "DLMDoneDeviceDrv");
    Resolve(RunDeviceDrv, "DLMRunDeviceDrv");
    Resolve(StopDeviceDrv, "DLMStopDeviceDrv");
    Resolve(WriteDataDrv, "DLMWriteDataDrv");
    Resolve(ReadDataDrv, "DLMReadDataDrv");
    Resolve(Sinhronize, "DLMSinhronize");
    Resolve(SetupDeviceDrv, "DLMSetupDeviceDrv");
    Resolve(ShowState, "DLMShowState");
    Resolve(About, "DLMAbout");
    Resolve(ShowLogList, "DLMShowLogList");
    Resolve(GetErrorStr, "DLMGetErrorStr");
    Resolve(InstallDriver, "DLMInstallDriver");
    Resolve(RemoveDriver, "DLMRemoveDriver");
  } catch (...) {
    ::dlclose(handle_);
    throw;
  }
}

DriverModule::~DriverModule() { ::dlclose(handle_); }

template <class F>
void DriverModule::Resolve(F& function, const char* name) {
  void* symbol = ::dlsym(handle_, name);
  if (!symbol) throw std::runtime_error(std::string("the module does not export ") + name);
  function = reinterpret_cast<F>(symbol);
}

}  // namespace kernel

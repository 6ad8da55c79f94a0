#pragma once
// The 15 functions the driver module exports to the kernel, by their exact
// names. The kernel calls them from its own thread, one call at a time;
// Init, Done, Run, Stop, Setup and ShowState called while one of them is in
// progress (nested in its wait for messages, or from another thread) answer
// -8 (Setup 0) and change nothing. WriteData may come from any thread.
// Window handles are the platform's 32-bit handles.

#include "driver/DrvTypes.h"

#include <cstdint>

extern "C" {

// Fills the device information; always 0.
int32_t DLMGetDeviceInfo(driver::TDrvDeviceInfo* info);
// 0, or -4 when already initialised.
int32_t DLMInitDeviceDrv(driver::TDrvInitRecord record);
// 0, or -5 when not initialised.
int32_t DLMDoneDeviceDrv();
// Also -8 when the thread a Stop gave up on does not end within 10 s.
int32_t DLMRunDeviceDrv();
int32_t DLMStopDeviceDrv();
// 0, -5, or -6 for bad parameters or an unknown Id.
int32_t DLMWriteDataDrv(driver::TDrvWriteBlock* block, int32_t count);
// Not supported: always -7.
int32_t DLMReadDataDrv(int32_t, int32_t);
int32_t DLMSinhronize(int32_t);
// 1 when the user confirmed the setup dialog, else 0.
int32_t DLMSetupDeviceDrv(driver::HostWindowHandle parent);
// 0, or -5 when not initialised.
int32_t DLMShowState(driver::HostWindowHandle parent);
void DLMAbout(driver::HostWindowHandle parent);
// Does nothing.
void DLMShowLogList(int32_t);
// Always 0; writes nothing.
int32_t DLMGetErrorStr(int32_t, int32_t, int32_t);
// Boolean in the low byte: non-zero on success.
uint8_t DLMInstallDriver(driver::HostWindowHandle parent, const char* sourceDir, const char* targetDir);
uint8_t DLMRemoveDriver(int32_t, const char* dir);

}  // extern "C"

#pragma once
// A whole system for one benchmark run, in one process: this process plays
// the kernel (the stand-in kernel's model, the real driver module loaded as
// the kernel loads it, a kernel window that timestamps every value record),
// the driver starts the real Ferrowick_V30.srv from a folder of the rig,
// and the server reaches the simulation OPC servers registered for the rig.
// The simulations stamp their deliveries and writes into a file (see
// peers/opcsim/Stamps.h); both sides use the monotonic clock.
// Main thread only.

#include "peers/kernel/DriverModule.h"
#include "peers/opcsim/Stamps.h"
#include "platform/win/Messages.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace bench {

// Nanoseconds of the monotonic clock (steady_clock).
int64_t MonotonicNs();

// One value record as the kernel window received it.
struct Receipt {
  int32_t Id;
  float Value;
  int64_t Ns;
};

// A simulated device: its OPC server's items and the kernel variables fed
// by them (Ids FirstId.., ADDRESS 1.. in item order).
struct RigDevice {
  std::string ProgId;
  int32_t Address = 1;
  int32_t FirstId = 1;
  std::vector<std::string> ItemLines;  // items-file lines; item ids are "<ProgId>.<n>", n from 1
};

// The items-file line of item n of a device.
std::string ItemLine(const std::string& progId, int32_t n, const std::string& definition);

class RoadRig {
 public:
  // Makes the folders and writes settings, description and items files;
  // registers the simulations. Throws std::runtime_error on failure.
  RoadRig(const std::string& name, std::vector<RigDevice> devices);
  // Stops the driver and removes the folders; kills a server left running.
  ~RoadRig();
  RoadRig(const RoadRig&) = delete;
  RoadRig& operator=(const RoadRig&) = delete;

  // DLMInitDeviceDrv and DLMRunDeviceDrv; answers the time before Init.
  // Throws when either fails.
  int64_t Start();
  // Stop and Done; false when the server did not end or left its section.
  bool Stop();

  // Pumps the kernel window until condition holds or timeoutMs passed.
  bool PumpUntil(const std::function<bool()>& condition, uint32_t timeoutMs);
  void Pump(uint32_t ms);

  const std::vector<Receipt>& Receipts() const { return receipts_; }
  // Number of distinct variables that received at least one record.
  size_t VariablesSeen() const { return seenCount_; }
  size_t VariableCount() const { return variableCount_; }
  // Stamp records appended so far, from record `from` on.
  std::vector<opcsim::StampRecord> Stamps(size_t from = 0) const;
  // DLMWriteDataDrv of one record; the export's answer.
  int32_t Write(int32_t id, float value);
  // Ids of this process's threads.
  static std::vector<int32_t> ThreadIds();
  // Nanoseconds a thread of this process has run, or -1 when it is gone.
  static int64_t ThreadCpuNs(int32_t tid);
  // The running server's process id, or 0.
  int32_t ServerPid() const;
  // Nanoseconds of CPU a process has used (user and system), or -1.
  static int64_t ProcessCpuNs(int32_t pid);
  // Resident memory of a process in bytes (VmRSS), or -1.
  static int64_t ResidentBytes(int32_t pid);

 private:
  platform::win::LRESULT OnKernelMessage(platform::win::UINT message, platform::win::WPARAM wParam,
                                         platform::win::LPARAM lParam);
  void WriteFiles(const std::vector<RigDevice>& devices);

  std::string folder_;
  std::string driverDir_;
  std::string stampsPath_;
  std::unique_ptr<kernel::DriverModule> module_;
  platform::win::HWND kernelWindow_ = 0;
  bool initialised_ = false;
  std::vector<Receipt> receipts_;
  std::vector<uint8_t> seen_;  // by Id
  size_t seenCount_ = 0;
  size_t variableCount_ = 0;
};

}  // namespace bench

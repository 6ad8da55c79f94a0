#pragma once
// The devices the driver serves (one OPC server connection each), their
// list, and the general settings kept with them in the settings file
// (section "OPCSRV" of Ferrowick_V30.ini).

#include "common/TArray.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

namespace driver {

// A new device's prefix, and the prefix list before any initialisation.
inline constexpr std::string_view DefaultPrefix = "OPC";

// The prefix list the driver reports: DefaultPrefix until initialisation
// builds the list. Any thread.
std::string CurrentPrefixList();
void SetPrefixList(std::string_view list);

class TDevice {
 public:
  // Defaults: Prefix is DefaultPrefix (never a built prefix list, which
  // no device line could mean), Precision 1, the rest empty, 0 or false.
  TDevice();
  virtual ~TDevice() = default;

  // Copies all eleven fields; nothing for nullptr.
  virtual void Assign(const TDevice* other);
  // The device settings line: the eleven pairs, ESC between them.
  virtual std::string GetSettingsLine() const;
  // Reads pairs until the line ends or a pair has no "="; unknown keys are
  // ignored. False only for an "Enabled" value that is not an integer.
  virtual bool SetSettingsLine(std::string_view line);

  std::string Name;
  int32_t DeviceAddress = 0;
  std::string OPCServerName;
  uint8_t OPCInterface = 0;      // 0 IAdviseSink, else IOPCDataCallback
  std::string Prefix;
  std::string Description;
  uint16_t Precision = 1;        // 0..8
  bool Enabled = false;
  std::string TagListName;
  std::string LinkCtrlTagName;
  std::string ComandCtrlTagName;
};

inline constexpr uint16_t MaxPrecision = 8;

// General settings. Values before any read: false, false, 6000, true, 60.
// Written by initialisation and the setup dialog, read by the driver
// thread: every field may be used from any thread.
struct TGeneralSettings {
  std::atomic<bool> LockErrorClass{false};     // "Error Manager": log off
  std::atomic<bool> LockLOGFile{false};        // "LOG Manager": text file off
  std::atomic<int32_t> CommandInterval{6000};  // ms per command of a batch, >= 1
  std::atomic<bool> AutoRunServer{true};
  std::atomic<int32_t> CheckServerInterval{60};  // seconds between start attempts, >= 1
};

// The driver's settings object.
TGeneralSettings& GeneralSettings();

// Owned devices in list order. Not thread-safe by itself: the module's
// list is used under DeviceListLock().
class TDeviceList : public common::TOwningList<TDevice, common::TBaseArray> {
 public:
  // Appends a copy of each device of other, in order; nothing for nullptr.
  virtual void Assign(const TDeviceList* other);
  // Replaces the section by the general settings, Device_Count and one
  // Device_<i> line per device, in one write. False for an empty name or
  // section, or a write that failed (a line break in a device's text, an
  // I/O error): the file is then left as it was.
  virtual bool SaveToIni(const std::string& fileName, std::string_view section,
                         const TGeneralSettings& settings) const;
  // Clears the list, then reads the general settings (defaults for missing
  // keys; intervals below 1 read as 1) and the device lines. False, with an
  // empty list, for an empty name, a missing section (settings untouched),
  // a missing Device_Count, a missing or refused device line.
  virtual bool LoadFromIni(const std::string& fileName, std::string_view section, TGeneralSettings& settings);
  // The device at index, nullptr outside 0..Count-1.
  virtual TDevice* GetDevice(int32_t index) const;
  // The first device with this DeviceAddress whose Prefix equals prefix
  // without case; nullptr when none.
  virtual TDevice* FindDevice(std::string_view prefix, int32_t number) const;
};

// The module's device list with its guard. The driver thread reads it
// every cycle while the setup dialog may replace its devices: both go
// through With(), so no device is freed under a reader. Any thread.
class TGuardedDeviceList {
 public:
  template <class F>
  decltype(auto) With(F&& f) {
    std::lock_guard guard(lock_);
    return f(list_);
  }
  template <class F>
  decltype(auto) With(F&& f) const {
    std::lock_guard guard(lock_);
    return f(static_cast<const TDeviceList&>(list_));
  }

 private:
  mutable std::mutex lock_;
  TDeviceList list_;
};

}  // namespace driver

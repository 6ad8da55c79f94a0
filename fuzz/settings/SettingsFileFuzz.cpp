// Any bytes as the settings file, read by the driver and by the server:
// a failed read leaves an empty list, the general settings stay in their
// bounds, each device line the driver writes reads back to the same line,
// and the server reads that line to the same settings.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include <sys/mman.h>
#include <unistd.h>

#include "driver/Devices.h"
#include "driver/SettingsLine.h"
#include "server/ServerDevices.h"

namespace {

constexpr std::size_t kMaxInput = 1 << 16;

void Check(bool condition) {
  if (!condition) std::abort();
}

// The settings file: a memory file of this process, named through
// /proc, so that nothing is left behind however the run ends.
int SettingsFile() {
  static const int fd = ::memfd_create("Ferrowick_V30.ini", 0);
  return fd;
}

void CheckServerReadsTheLine(const driver::TDevice& written, const std::string& line) {
  server::TDevice read;
  Check(read.SetSettingsLine(line));
  Check(read.Name == written.Name && read.OPCServerName == written.OPCServerName && read.Prefix == written.Prefix);
  Check(read.TagListName == written.TagListName && read.Description == written.Description);
  Check(read.LinkCtrlTagName == written.LinkCtrlTagName && read.ComandCtrlTagName == written.ComandCtrlTagName);
  Check(read.DeviceAddress == written.DeviceAddress && read.OPCInterface == written.OPCInterface);
  Check(read.Precision == written.Precision && read.Enabled == written.Enabled);
}

void CheckDriver(const std::string& path) {
  driver::TDeviceList devices;
  driver::TGeneralSettings settings;
  const bool ok = devices.LoadFromIni(path, driver::GeneralKey::Section, settings);
  if (!ok) Check(devices.Count() == 0);
  Check(settings.CommandInterval.load() >= 1 && settings.CheckServerInterval.load() >= 1);
  for (std::int32_t i = 0; i < devices.Count(); ++i) {
    const driver::TDevice& device = *devices.At(i);
    Check(device.Precision <= driver::MaxPrecision);
    const std::string line = device.GetSettingsLine();
    driver::TDevice copy;
    Check(copy.SetSettingsLine(line));
    Check(copy.GetSettingsLine() == line);
    CheckServerReadsTheLine(copy, line);
  }
}

void CheckServer(const std::string& path) {
  server::TDeviceList devices;
  const bool ok = devices.LoadFromIni(path, driver::GeneralKey::Section);
  if (!ok) Check(devices.Count() == 0);
  for (std::int32_t i = 0; i < devices.Count(); ++i) Check(devices.At(i)->DeviceNumber == i);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > kMaxInput) return 0;
  const int fd = SettingsFile();
  if (fd < 0 || ::ftruncate(fd, 0) != 0) return 0;
  if (size > 0 && ::pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)) return 0;
  const std::string path = "/proc/self/fd/" + std::to_string(fd);
  CheckDriver(path);
  CheckServer(path);
  return 0;
}

#pragma once
// The demo's view of the kernel: the last value of every variable, the
// records received since the last row, and the rows of the table printed
// once a second. Main thread (the kernel window's) only.

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>

namespace kernel {

// Variable ids of the bundled demo project (demo/project.txt).
namespace demo_ids {
inline constexpr int32_t kBoilerLink = 9001;
inline constexpr int32_t kBoilerCommand = 9002;
inline constexpr int32_t kMixerLink = 9003;
inline constexpr int32_t kMixerCommand = 9004;
inline constexpr int32_t kBoilerTemperature = 1001;
inline constexpr int32_t kBoilerLevelPercent = 1006;
inline constexpr int32_t kBoilerSetpoint = 1009;
inline constexpr int32_t kBoilerAlarmBit0 = 1020;  // bits 0..7 at 1020..1027
inline constexpr int32_t kMixerSpeed = 2001;
inline constexpr int32_t kMixerBatch = 2005;
inline constexpr int32_t kMixerSpeedSetpoint = 2008;
inline constexpr int32_t kMixerStatusBit0 = 2020;  // bits 0..15 at 2020..2035
}  // namespace demo_ids

class DemoTable {
 public:
  // Records one received value.
  void Receive(int32_t id, float value);
  // Records that a write went out whose state the command-control variable
  // id carries; until then its column shows "-", as its value (the
  // kernel's initial 0) tells nothing.
  void CommandSent(int32_t id);

  // The last value of id, or nothing when none arrived.
  std::optional<float> Last(int32_t id) const;

  // The column heads, two lines.
  static std::string Header();
  // One row for the second `second`: the records received since the
  // previous row, the last values of a few tags, the bits put together,
  // the link states and the states of the commands sent. Starts a new
  // count.
  std::string Row(int second);

  // Names of a link state (0 up, 1 down) and a command state (0 queued,
  // 1 done, 2 not sent: no device, device locked or timed out, 3 refused
  // by a check or by the OPC server); "-" for none.
  static std::string LinkText(std::optional<float> state);
  static std::string CommandText(std::optional<float> state);
  // The bits at ids first..first+width-1, highest first; a bit that never
  // arrived shows the kernel's initial value 0.
  std::string Bits(int32_t first, int width) const;

 private:
  std::string Number(int32_t id, int precision) const;
  std::string Command(int32_t id) const;

  std::map<int32_t, float> last_;
  std::set<int32_t> commandsSent_;
  int64_t received_ = 0;
};

}  // namespace kernel

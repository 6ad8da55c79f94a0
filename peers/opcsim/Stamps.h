#pragma once
// Measurement hook of the simulation. When FERROWICK_OPCSIM_STAMPS names a
// file, every data change handed to a subscriber and every accepted write
// is appended to it as one StampRecord, stamped with the monotonic clock
// (std::chrono::steady_clock, the same clock in every process), so that a
// benchmark can time the roads from the moment the simulation acts. A data
// change is stamped when it is complete (its stream or arrays built) and
// posted to the subscriber's apartment: building it is the simulation's
// own work.
// Unset, nothing is recorded and nothing is opened.

#include <cstdint>
#include <mutex>

namespace opcsim {

enum class StampKind : std::uint32_t { Delivery = 1, Write = 2 };

#pragma pack(push, 1)
struct StampRecord {
  std::uint32_t kind;         // StampKind
  std::uint32_t count;        // items in the delivery; 1 for a write
  std::int64_t monotonicNs;   // steady_clock at the hand-over
  double value;               // the first item's value, or the value written
};
#pragma pack(pop)
static_assert(sizeof(StampRecord) == 24);

class StampFile {
 public:
  // The file of this process (opened at the first call). Any thread.
  static StampFile& Instance();
  ~StampFile();
  StampFile(const StampFile&) = delete;
  StampFile& operator=(const StampFile&) = delete;

  bool Enabled() const { return fd_ >= 0; }
  // Appends one record stamped now; does nothing when disabled. A failed
  // write loses that record only. Any thread.
  void Record(StampKind kind, std::uint32_t count, double value);

 private:
  StampFile();
  int fd_ = -1;
  std::mutex lock_;  // one record at a time, whole
};

}  // namespace opcsim

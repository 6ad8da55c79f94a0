#pragma once
// Small statistics of the road benchmarks.

#include <cstdint>
#include <map>
#include <vector>

#include "bench/roads/RoadRig.h"

namespace bench {

// The p-th percentile (0..100, nearest rank) of samples; 0 for none.
double Percentile(std::vector<double> samples, double p);

// What one delivery of the simulation became at the kernel.
struct DeliveryOutcome {
  int64_t StampNs = 0;
  uint32_t Sent = 0;      // items the simulation handed over
  uint32_t Received = 0;  // records with the delivery's value that reached the kernel
  int64_t FirstNs = 0;    // receipt of the delivery's first record
  int64_t LastNs = 0;     // receipt of the delivery's last record
};

// The value road measured from lock-step counters: every item of a delivery
// carries the same value, so a record's value names the delivery it came
// from. Deliveries stamped in [fromNs, toNs] are measured.
struct ValueRoad {
  std::vector<double> LatencyMs;  // one per record received
  std::vector<DeliveryOutcome> Deliveries;
};
ValueRoad MeasureValueRoad(const std::vector<opcsim::StampRecord>& stamps, const std::vector<Receipt>& receipts,
                           int64_t fromNs, int64_t toNs);

}  // namespace bench

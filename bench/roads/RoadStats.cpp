#include "bench/roads/RoadStats.h"

#include <algorithm>
#include <cmath>

namespace bench {

double Percentile(std::vector<double> samples, double p) {
  if (samples.empty()) return 0;
  std::sort(samples.begin(), samples.end());
  const double rank = std::ceil(p / 100.0 * static_cast<double>(samples.size()));
  const size_t index = static_cast<size_t>(std::clamp(rank, 1.0, static_cast<double>(samples.size()))) - 1;
  return samples[index];
}

ValueRoad MeasureValueRoad(const std::vector<opcsim::StampRecord>& stamps, const std::vector<Receipt>& receipts,
                           int64_t fromNs, int64_t toNs) {
  ValueRoad road;
  std::map<float, size_t> byValue;  // first delivery of a value
  for (const opcsim::StampRecord& s : stamps) {
    if (s.kind != static_cast<uint32_t>(opcsim::StampKind::Delivery)) continue;
    if (s.monotonicNs < fromNs || s.monotonicNs > toNs) continue;
    const float value = static_cast<float>(s.value);
    if (byValue.count(value) != 0) continue;
    byValue.emplace(value, road.Deliveries.size());
    road.Deliveries.push_back(DeliveryOutcome{s.monotonicNs, s.count, 0, 0, 0});
  }
  for (const Receipt& r : receipts) {
    const auto found = byValue.find(r.Value);
    if (found == byValue.end()) continue;
    DeliveryOutcome& d = road.Deliveries[found->second];
    if (r.Ns < d.StampNs) continue;  // an earlier record of the same value cannot be this delivery's
    ++d.Received;
    if (d.FirstNs == 0 || r.Ns < d.FirstNs) d.FirstNs = r.Ns;
    d.LastNs = std::max(d.LastNs, r.Ns);
    road.LatencyMs.push_back(static_cast<double>(r.Ns - d.StampNs) / 1e6);
  }
  return road;
}

}  // namespace bench

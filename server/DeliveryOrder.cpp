#include "server/DeliveryOrder.h"

#include <algorithm>
#include <numeric>

namespace server {

namespace {

// A counting sort walks one bucket per key up to the largest: it is taken
// while the keys are dense enough for that to cost less than comparing.
constexpr std::uint64_t kBucketsPerItem = 8;

}  // namespace

std::span<std::int32_t> TDeliveryOrder::Rows(std::size_t count) {
  rows_.resize(count);
  return rows_;
}

std::span<const std::uint32_t> TDeliveryOrder::Order() {
  order_.resize(rows_.size());
  std::uint32_t topKey = 0;
  for (const std::int32_t row : rows_) topKey = std::max(topKey, Key(row));
  if (topKey == 0) {
    std::iota(order_.begin(), order_.end(), 0u);
  } else if (topKey < kBucketsPerItem * rows_.size()) {
    CountingSort(topKey);
  } else {
    ComparisonSort();
  }
  return order_;
}

void TDeliveryOrder::CountingSort(std::uint32_t topKey) {
  starts_.assign(std::size_t{topKey} + 2, 0u);
  for (const std::int32_t row : rows_) ++starts_[Key(row) + 1];
  std::partial_sum(starts_.begin(), starts_.end(), starts_.begin());
  for (std::uint32_t i = 0; i < rows_.size(); ++i) order_[starts_[Key(rows_[i])]++] = i;
}

void TDeliveryOrder::ComparisonSort() {
  // The position in the low half keeps equal keys in their order.
  packed_.resize(rows_.size());
  for (std::uint32_t i = 0; i < rows_.size(); ++i) packed_[i] = std::uint64_t{Key(rows_[i])} << 32 | i;
  std::sort(packed_.begin(), packed_.end());
  for (std::size_t k = 0; k < packed_.size(); ++k) order_[k] = static_cast<std::uint32_t>(packed_[k]);
}

}  // namespace server

#pragma once
// The order in which the items of one data change are handled: by the row
// of their variable in the shared table, ascending; items without a row
// come first, and items of one row keep their order in the data change.
//
// The driver walks the table from its first row to its last once a cycle
// and passes on each row written by the time the walk reaches it. Rows
// written in the walk's direction are passed by the walk that meets the
// writing; written in another order, most of those written while a walk
// runs lie behind it and wait a cycle for the next walk. The values of one
// data change are of one moment; the OPC server's order among them carries
// nothing.
//
// One object per subscriber, reused from data change to data change so
// that its buffers are allocated once. Main thread.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace server {

class TDeliveryOrder {
 public:
  // Room for the rows of count items, which the caller fills: item i's row,
  // or any negative number for none. Valid until the next call.
  std::span<std::int32_t> Rows(std::size_t count);

  // The positions 0 .. count-1 of the items given to Rows, in the order
  // above. Valid until the next call of either.
  std::span<const std::uint32_t> Order();

 private:
  // Items without a row have key 0, row r has key r + 1.
  static std::uint32_t Key(std::int32_t row) { return row < 0 ? 0u : static_cast<std::uint32_t>(row) + 1u; }
  void CountingSort(std::uint32_t topKey);
  void ComparisonSort();

  std::vector<std::int32_t> rows_;
  std::vector<std::uint32_t> order_;
  std::vector<std::uint32_t> starts_;  // counting sort: first position of each key
  std::vector<std::uint64_t> packed_;  // comparison sort: key and position
};

}  // namespace server

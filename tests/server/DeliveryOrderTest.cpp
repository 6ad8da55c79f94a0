// The order in which the items of a data change are handled.

#include "server/DeliveryOrder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <vector>

namespace {

std::vector<std::uint32_t> OrderOf(server::TDeliveryOrder& order, const std::vector<std::int32_t>& rows) {
  const auto room = order.Rows(rows.size());
  std::copy(rows.begin(), rows.end(), room.begin());
  const auto positions = order.Order();
  return {positions.begin(), positions.end()};
}

TEST(DeliveryOrder, RowsAscendingItemsWithoutRowFirstEqualRowsInTheirOrder) {
  constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
  const struct {
    std::vector<std::int32_t> rows;
    std::vector<std::uint32_t> order;
  } cases[] = {
      {{}, {}},
      {{-1, -5, -1}, {0, 1, 2}},
      {{3, 2, 1, 0}, {3, 2, 1, 0}},
      {{2, -1, 0, 2, -7}, {1, 4, 2, 0, 3}},  // dense: counted
      {{1000000, 5, -1, 5}, {2, 1, 3, 0}},   // sparse: compared
      {{kMax, 0, kMax, -1}, {3, 1, 0, 2}},   // the largest row needs no room of its size
  };
  // One object for all cases: what one data change leaves does not reach the next.
  server::TDeliveryOrder order;
  for (const auto& c : cases) EXPECT_EQ(OrderOf(order, c.rows), c.order) << ::testing::PrintToString(c.rows);
}

}  // namespace

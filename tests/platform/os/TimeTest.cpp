#include "platform/os/Time.h"

#include <gtest/gtest.h>

namespace {

using namespace platform::os;

TEST(Time, KernelDayOrdinal) {
  EXPECT_EQ(DateTimeToKernel(EncodeDate(2024, 1, 1)).Date, 738886);
}

}  // namespace

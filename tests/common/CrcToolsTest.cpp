#include "common/CrcTools.h"

#include <gtest/gtest.h>

namespace {

// Bitwise CRC-16 (0x1021, MSB first, initial 0) of one byte, the reference
// for every entry.
uint16_t CrcOfByte(uint8_t byte) {
  uint16_t crc = 0;
  crc ^= static_cast<uint16_t>(byte << 8);
  for (int i = 0; i < 8; ++i) crc = static_cast<uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1);
  return crc;
}

TEST(Crc16Table, MatchesBitwiseCrcOfEveryByte) {
  EXPECT_EQ(common::Crc16Table[0], 0x0000);
  EXPECT_EQ(common::Crc16Table[1], 0x1021);
  EXPECT_EQ(common::Crc16Table[255], 0x1EF0);
  for (int i = 0; i < 256; ++i) EXPECT_EQ(common::Crc16Table[i], CrcOfByte(static_cast<uint8_t>(i))) << i;
}

}  // namespace

#include "common/CrcTools.h"

#include <gtest/gtest.h>

#include <string_view>

namespace {

// The table-driven CRC-16 of a text: a byte at a time through the table.
uint16_t TableCrc(std::string_view text) {
  uint16_t crc = 0;
  for (const char c : text)
    crc = static_cast<uint16_t>((crc << 8) ^ common::Crc16Table[((crc >> 8) ^ static_cast<uint8_t>(c)) & 0xFF]);
  return crc;
}

TEST(Crc16Table, GivesThePublishedCheckValueAndIsLinear) {
  // The single-bit entries (published values); with the linearity below
  // they fix every entry.
  const uint16_t bits[8] = {0x1021, 0x2042, 0x4084, 0x8108, 0x1231, 0x2462, 0x48C4, 0x9188};
  for (int k = 0; k < 8; ++k) EXPECT_EQ(common::Crc16Table[1 << k], bits[k]) << k;
  EXPECT_EQ(common::Crc16Table[0], 0x0000);
  EXPECT_EQ(common::Crc16Table[255], 0x1EF0);
  // The check value of this polynomial with initial 0 over "123456789";
  // every entry takes part in some CRC, so a wrong one shows in the texts.
  EXPECT_EQ(TableCrc("123456789"), 0x31C3);
  EXPECT_EQ(TableCrc(""), 0x0000);
  // With initial 0 the CRC is linear: entry a ^ b = entry a ^ entry b.
  for (int a = 0; a < 256; ++a)
    for (const int b : {1, 2, 4, 8, 16, 32, 64, 128})
      ASSERT_EQ(common::Crc16Table[a ^ b], common::Crc16Table[a] ^ common::Crc16Table[b]) << a << " " << b;
}

}  // namespace

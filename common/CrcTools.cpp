#include "common/CrcTools.h"

namespace common {

namespace {

constexpr std::array<uint16_t, 256> MakeCrc16Table() {
  std::array<uint16_t, 256> table{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t crc = i << 8;
    for (int bit = 0; bit < 8; ++bit) {
      crc = (crc & 0x8000u) ? (crc << 1) ^ 0x1021u : crc << 1;
      crc &= 0xFFFFu;
    }
    table[i] = static_cast<uint16_t>(crc);
  }
  return table;
}

}  // namespace

const std::array<uint16_t, 256> Crc16Table = MakeCrc16Table();

}  // namespace common

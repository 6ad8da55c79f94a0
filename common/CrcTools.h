#pragma once
// CRC-16 table (polynomial 0x1021, most significant bit first, initial 0),
// filled before main. Entry i is the CRC of the single byte i.

#include <array>
#include <cstdint>

namespace common {

extern const std::array<uint16_t, 256> Crc16Table;

}  // namespace common

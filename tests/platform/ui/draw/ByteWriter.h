#pragma once
// Little-endian fields written into test files built in memory.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace platform::ui::testing {

template <class T>
void PutLE(std::vector<uint8_t>& v, std::size_t at, T x) {
  if (at > v.size() || v.size() - at < sizeof x) throw std::out_of_range("field beyond the test file");
  std::memcpy(v.data() + at, &x, sizeof x);
}
inline void Put16(std::vector<uint8_t>& v, std::size_t at, uint16_t x) { PutLE(v, at, x); }
inline void Put32(std::vector<uint8_t>& v, std::size_t at, uint32_t x) { PutLE(v, at, x); }

}  // namespace platform::ui::testing

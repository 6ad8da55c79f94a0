#pragma once
// Constants shared by both sides of the section; one copy in each process.

#include <cstdint>

namespace exchange {

// Milliseconds to wait for a busy byte before giving up.
inline constexpr std::uint32_t LockTimeout = 3000;

// Index (0..31) of the server slot that belongs to this process; -1 until
// the server takes it from its first parameter. The driver never sets it,
// so its own-slot setters write nothing. Set once at start, before any
// other thread uses the section.
extern std::int32_t ServerIndex;

}  // namespace exchange

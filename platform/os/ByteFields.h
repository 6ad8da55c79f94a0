#pragma once
// Fields of packed little-endian records read and written at byte offsets
// (sections, records at the kernel boundary): no alignment is assumed, so
// an int32 may start at any offset. Callers bound the offsets; these
// helpers only move bytes. Any thread, for memory that thread may touch.

#include <atomic>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace platform::os {

static_assert(std::endian::native == std::endian::little,
              "records are carried in the machine's own byte order");

inline std::uint32_t LoadU32(const std::uint8_t* base, std::size_t offset) {
  std::uint32_t value;
  std::memcpy(&value, base + offset, sizeof value);
  return value;
}
inline void StoreU32(std::uint8_t* base, std::size_t offset, std::uint32_t value) {
  std::memcpy(base + offset, &value, sizeof value);
}
inline std::uint64_t LoadU64(const std::uint8_t* base, std::size_t offset) {
  std::uint64_t value;
  std::memcpy(&value, base + offset, sizeof value);
  return value;
}
inline void StoreU64(std::uint8_t* base, std::size_t offset, std::uint64_t value) {
  std::memcpy(base + offset, &value, sizeof value);
}

inline std::int32_t LoadInt32(const std::uint8_t* base, std::size_t offset) {
  return static_cast<std::int32_t>(LoadU32(base, offset));
}
inline void StoreInt32(std::uint8_t* base, std::size_t offset, std::int32_t value) {
  StoreU32(base, offset, static_cast<std::uint32_t>(value));
}

// IEEE 754 single and double.
inline float LoadSingle(const std::uint8_t* base, std::size_t offset) {
  return std::bit_cast<float>(LoadU32(base, offset));
}
inline void StoreSingle(std::uint8_t* base, std::size_t offset, float value) {
  StoreU32(base, offset, std::bit_cast<std::uint32_t>(value));
}
inline double LoadDouble(const std::uint8_t* base, std::size_t offset) {
  return std::bit_cast<double>(LoadU64(base, offset));
}
inline void StoreDouble(std::uint8_t* base, std::size_t offset, double value) {
  StoreU64(base, offset, std::bit_cast<std::uint64_t>(value));
}

// Length-prefixed text in a 256-byte field: a length byte, then up to 255
// characters.
inline constexpr std::size_t kShortStringField = 256;

inline std::string LoadShortString(const std::uint8_t* base, std::size_t offset) {
  const std::uint8_t* p = base + offset;
  return std::string(reinterpret_cast<const char*>(p + 1), p[0]);
}

// Stores the first 255 characters of `text`; bytes past the length stay.
inline void StoreShortString(std::uint8_t* base, std::size_t offset, std::string_view text) {
  const std::size_t length = text.size() < 255 ? text.size() : 255;
  base[offset] = static_cast<std::uint8_t>(length);
  if (length > 0) std::memcpy(base + offset + 1, text.data(), length);
}

// Zero-terminated text: the characters up to the terminator, at most
// `maxChars` of them; the caller passes the room its field has.
inline std::string LoadCString(const std::uint8_t* base, std::size_t offset, std::size_t maxChars) {
  const char* p = reinterpret_cast<const char*>(base + offset);
  std::size_t length = 0;
  while (length < maxChars && p[length] != '\0') ++length;
  return std::string(p, length);
}

// A byte that two processes hand over: atomic on the byte itself, so that
// it works on a mapping shared between processes.
inline std::uint8_t AtomicLoadByte(const std::uint8_t* p) {
  return __atomic_load_n(p, __ATOMIC_ACQUIRE);
}
inline void AtomicStoreByte(std::uint8_t* p, std::uint8_t value) {
  __atomic_store_n(p, value, __ATOMIC_RELEASE);
}
// Replaces `expected` by `desired`; false (nothing written) when the byte
// held another value.
inline bool CompareExchangeByte(std::uint8_t* p, std::uint8_t expected, std::uint8_t desired) {
  return __atomic_compare_exchange_n(p, &expected, desired, false, __ATOMIC_ACQ_REL,
                                     __ATOMIC_ACQUIRE);
}

// A field of 4 or 8 bytes that another process writes while this one
// reads, at any offset (8-byte fields are read through
// SharedLoadAlignedU64). An unaligned field cannot be an atomic object, so
// it is moved by one volatile access through a type of alignment 1 (one
// machine load or store that the compiler neither splits, merges nor
// drops) between compiler barriers; x86-64 keeps loads in order with
// loads and stores with stores, so a load is an acquire and a store a
// release. Where the field crosses a naturally aligned 8-byte word the
// processor may split the access there (some split only at 32 or 64
// bytes): each part is whole, the two together are not, and the users
// guard what they read.
#if !defined(__x86_64__)
#error "shared fields rely on the ordering and access parts of x86-64"
#endif
using UnalignedU32 = std::uint32_t __attribute__((aligned(1), may_alias));
using UnalignedU64 = std::uint64_t __attribute__((aligned(1), may_alias));

// The thread sanitizer would count these accesses as races: they are the
// protocol's own, guarded by it.
[[gnu::no_sanitize("thread")]] inline std::uint32_t SharedLoadU32(const std::uint8_t* p) {
  const std::uint32_t value = *reinterpret_cast<const volatile UnalignedU32*>(p);
  std::atomic_signal_fence(std::memory_order_acquire);
  return value;
}
[[gnu::no_sanitize("thread")]] inline void SharedStoreU32(std::uint8_t* p, std::uint32_t value) {
  std::atomic_signal_fence(std::memory_order_release);
  *reinterpret_cast<volatile UnalignedU32*>(p) = value;
}
[[gnu::no_sanitize("thread")]] inline void SharedStoreU64(std::uint8_t* p, std::uint64_t value) {
  std::atomic_signal_fence(std::memory_order_release);
  *reinterpret_cast<volatile UnalignedU64*>(p) = value;
}

// The naturally aligned 8-byte word at p (p % 8 == 0), one atomic load
// (acquire): always whole. Users read a field's parts through it.
using AliasedU64 = std::uint64_t __attribute__((may_alias));
inline std::uint64_t SharedLoadAlignedU64(const std::uint8_t* p) {
  return __atomic_load_n(reinterpret_cast<const AliasedU64*>(p), __ATOMIC_ACQUIRE);
}

}  // namespace platform::os

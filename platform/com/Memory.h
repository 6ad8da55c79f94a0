#pragma once
// Task memory (what COM calls hand to their callers, freed by the caller
// with CoTaskMemFree) and global memory handles (the blocks of data
// streams: allocate, lock, unlock, size, free).

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace platform::com {

// Largest single block either allocator gives out.
inline constexpr std::size_t kMaxComBlock = std::size_t{1} << 30;

// A block of `bytes` (0 gives a valid small block); null when memory runs
// out or bytes exceeds kMaxComBlock. Any thread.
void* CoTaskMemAlloc(std::size_t bytes);
// Frees a block of CoTaskMemAlloc; null is allowed. Any thread.
void CoTaskMemFree(void* block);
// A zero-terminated copy of `text` in task memory; null on failure. Any thread.
char16_t* CoTaskMemWideString(std::u16string_view text);

// Handle of a global memory block. Handles are never reused in a process,
// so a stale handle is refused rather than reaching another block.
using HGLOBAL = void*;
inline constexpr std::uint32_t GMEM_FIXED = 0x0000;
inline constexpr std::uint32_t GMEM_MOVEABLE = 0x0002;
inline constexpr std::uint32_t GMEM_ZEROINIT = 0x0040;

// A new block of `bytes`, always zero-filled (flags are accepted for the
// caller's sake and change nothing); null when bytes exceeds kMaxComBlock
// or memory runs out. Any thread.
HGLOBAL GlobalAlloc(std::uint32_t flags, std::size_t bytes);
// The block's memory, adding one lock; null for an unknown handle. The
// memory stays where it is until GlobalFree. Any thread.
void* GlobalLock(HGLOBAL handle);
// Removes one lock. True while locks remain, false when the block is now
// unlocked, was not locked, or the handle is unknown. Any thread.
bool GlobalUnlock(HGLOBAL handle);
// Size of the block in bytes; 0 for an unknown handle. Any thread.
std::size_t GlobalSize(HGLOBAL handle);
// Frees the block. Null on success, the handle itself when it is unknown.
// Any thread.
HGLOBAL GlobalFree(HGLOBAL handle);
// Locks held on a block (test aid); -1 for an unknown handle.
int GlobalLockCount(HGLOBAL handle);

}  // namespace platform::com

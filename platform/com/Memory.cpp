#include "platform/com/Memory.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace platform::com {

namespace {

struct GlobalBlock {
  std::unique_ptr<std::uint8_t[]> data;
  std::size_t size = 0;
  int locks = 0;
};

// Process-wide table of global blocks, keyed by the handle's value.
class GlobalTable {
 public:
  static GlobalTable& Instance() {
    static GlobalTable table;
    return table;
  }
  HGLOBAL Add(std::size_t bytes) {
    GlobalBlock block;
    block.data.reset(new (std::nothrow) std::uint8_t[bytes == 0 ? 1 : bytes]());
    if (!block.data) return nullptr;
    block.size = bytes;
    std::lock_guard lock(mutex_);
    std::uintptr_t key = ++next_;
    blocks_.emplace(key, std::move(block));
    return reinterpret_cast<HGLOBAL>(key);
  }
  template <class Fn>
  auto With(HGLOBAL handle, Fn fn) -> decltype(fn(static_cast<GlobalBlock*>(nullptr))) {
    std::lock_guard lock(mutex_);
    auto it = blocks_.find(reinterpret_cast<std::uintptr_t>(handle));
    return fn(it == blocks_.end() ? nullptr : &it->second);
  }
  bool Remove(HGLOBAL handle) {
    std::unique_ptr<std::uint8_t[]> freed;  // released outside the lock
    std::lock_guard lock(mutex_);
    auto it = blocks_.find(reinterpret_cast<std::uintptr_t>(handle));
    if (it == blocks_.end()) return false;
    freed = std::move(it->second.data);
    blocks_.erase(it);
    return true;
  }

 private:
  std::mutex mutex_;
  std::uintptr_t next_ = 0x1000;
  std::unordered_map<std::uintptr_t, GlobalBlock> blocks_;
};

}  // namespace

void* CoTaskMemAlloc(std::size_t bytes) {
  if (bytes > kMaxComBlock) return nullptr;
  return std::malloc(bytes == 0 ? 1 : bytes);
}

void CoTaskMemFree(void* block) { std::free(block); }

char16_t* CoTaskMemWideString(std::u16string_view text) {
  if (text.size() >= kMaxComBlock / sizeof(char16_t)) return nullptr;
  auto* out = static_cast<char16_t*>(CoTaskMemAlloc((text.size() + 1) * sizeof(char16_t)));
  if (out == nullptr) return nullptr;
  if (!text.empty()) std::memcpy(out, text.data(), text.size() * sizeof(char16_t));
  out[text.size()] = 0;
  return out;
}

HGLOBAL GlobalAlloc(std::uint32_t, std::size_t bytes) {
  if (bytes > kMaxComBlock) return nullptr;
  return GlobalTable::Instance().Add(bytes);
}

void* GlobalLock(HGLOBAL handle) {
  return GlobalTable::Instance().With(handle, [](GlobalBlock* b) -> void* {
    if (b == nullptr) return nullptr;
    ++b->locks;
    return b->data.get();
  });
}

bool GlobalUnlock(HGLOBAL handle) {
  return GlobalTable::Instance().With(handle, [](GlobalBlock* b) {
    if (b == nullptr || b->locks == 0) return false;
    --b->locks;
    return b->locks > 0;
  });
}

std::size_t GlobalSize(HGLOBAL handle) {
  return GlobalTable::Instance().With(handle, [](GlobalBlock* b) { return b ? b->size : 0; });
}

HGLOBAL GlobalFree(HGLOBAL handle) { return GlobalTable::Instance().Remove(handle) ? nullptr : handle; }

int GlobalLockCount(HGLOBAL handle) {
  return GlobalTable::Instance().With(handle, [](GlobalBlock* b) { return b ? b->locks : -1; });
}

}  // namespace platform::com

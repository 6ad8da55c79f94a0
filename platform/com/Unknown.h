#pragma once
// IUnknown, the reference-counted object that implements interfaces, and
// the smart pointer that holds interface references.

#include <atomic>
#include <cstdint>
#include <utility>

#include "platform/com/Guid.h"
#include "platform/com/HResult.h"

namespace platform::com {

// Every interface declares its identifier as `static constexpr IID iid`.
struct IUnknown {
  static constexpr IID iid{0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
  // Answers S_OK and an added reference in *object when the interface is
  // offered; E_NOINTERFACE (and *object null) otherwise; E_POINTER without
  // `object`. Any thread.
  virtual HRESULT QueryInterface(const IID& riid, void** object) = 0;
  // Reference counting; the answer is the new count (for diagnostics only).
  virtual std::uint32_t AddRef() = 0;
  virtual std::uint32_t Release() = 0;

 protected:
  ~IUnknown() = default;
};

inline constexpr const IID& IID_IUnknown = IUnknown::iid;

// The platform's reference-counted interface object: implements
// QueryInterface for IUnknown and each of `Interfaces`, and deletes itself
// at the last Release. Created with a count of 0; the first ComPtr (or
// QueryInterface) takes it to 1. Counting is thread-safe.
template <class First, class... Rest>
class ComObject : public First, public Rest... {
 public:
  HRESULT QueryInterface(const IID& riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (!Offers(riid)) return E_NOINTERFACE;
    if (riid == IUnknown::iid) {
      *object = static_cast<IUnknown*>(static_cast<First*>(this));
    } else if (!(Cast<First>(riid, object) || ... || Cast<Rest>(riid, object))) {
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  std::uint32_t AddRef() override { return refs_.fetch_add(1, std::memory_order_relaxed) + 1; }
  std::uint32_t Release() override {
    std::uint32_t left = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0) delete this;
    return left;
  }
  // This object seen as its IUnknown.
  IUnknown* Unknown() { return static_cast<IUnknown*>(static_cast<First*>(this)); }

 protected:
  ComObject() = default;
  virtual ~ComObject() = default;
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;
  // Lets an object withhold an interface it implements (for example when a
  // fault is switched on); called by QueryInterface.
  virtual bool Offers(const IID&) const { return true; }

 private:
  template <class I>
  bool Cast(const IID& riid, void** object) {
    if (!(riid == I::iid)) return false;
    *object = static_cast<I*>(this);
    return true;
  }

  std::atomic<std::uint32_t> refs_{0};
};

// Holds one reference to an interface; releases it when reset or destroyed.
template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(std::nullptr_t) {}
  // Takes a new reference to `p` (AddRef).
  explicit ComPtr(T* p) : p_(p) {
    if (p_) p_->AddRef();
  }
  ComPtr(const ComPtr& other) : ComPtr(other.p_) {}
  ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  ComPtr& operator=(ComPtr other) noexcept {
    std::swap(p_, other.p_);
    return *this;
  }
  ~ComPtr() { Reset(); }

  // Adopts a reference the caller already owns (no AddRef).
  static ComPtr Attach(T* p) {
    ComPtr c;
    c.p_ = p;
    return c;
  }
  // Gives up the reference without releasing it.
  T* Detach() { return std::exchange(p_, nullptr); }
  void Reset() {
    if (T* p = std::exchange(p_, nullptr)) p->Release();
  }
  T* Get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  // Releases what is held and offers the slot to an out parameter.
  T** Put() {
    Reset();
    return &p_;
  }
  void** PutVoid() { return reinterpret_cast<void**>(Put()); }

  // QueryInterface for U; the HRESULT of the call, `out` empty on failure.
  template <class U>
  HRESULT As(ComPtr<U>& out) const {
    out.Reset();
    if (!p_) return E_POINTER;
    return p_->QueryInterface(U::iid, out.PutVoid());
  }
  template <class U>
  ComPtr<U> As() const {
    ComPtr<U> out;
    As(out);
    return out;
  }

 private:
  T* p_ = nullptr;
};

}  // namespace platform::com

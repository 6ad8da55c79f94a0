#include "platform/com/Apartment.h"

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "platform/win/MessageLoop.h"
#include "platform/win/Window.h"

namespace platform::com {

struct ThreadApartment {
  int initCount = 0;
  std::shared_ptr<Apartment> apartment;
  // A thread that ends inside its apartment ends the apartment too, so that
  // nothing is queued to it any more. Its windows go with the thread.
  ~ThreadApartment() {
    if (apartment) apartment->CloseAtThreadEnd();
  }
};

namespace {

// The message that wakes an apartment's hidden window; it only ever goes
// to that window, so it needs no place among the shared numbers.
constexpr platform::win::UINT kApartmentCall = platform::win::WM_USER + 0x3C0;

ThreadApartment& This() {
  thread_local ThreadApartment state;
  return state;
}

std::uint32_t CurrentThreadId() { return static_cast<std::uint32_t>(::gettid()); }

std::atomic<bool> gSecurityInitialized{false};

}  // namespace

Apartment::Apartment() = default;

Apartment::~Apartment() = default;

bool Apartment::Open() {
  thread_ = CurrentThreadId();
  std::weak_ptr<Apartment> self = weak_from_this();
  window_ = platform::win::AllocateHWnd(
      [self](platform::win::HWND, platform::win::UINT message, platform::win::WPARAM,
             platform::win::LPARAM) -> platform::win::LRESULT {
        if (message == kApartmentCall)
          if (auto apartment = self.lock()) apartment->RunQueued();
        return 0;
      });
  return window_ != 0;
}

void Apartment::RunQueued() {
  std::deque<std::function<void()>> batch;
  {
    std::lock_guard lock(mutex_);
    signalled_ = false;
    batch.swap(queue_);
  }
  for (auto& call : batch) {
    try {
      call();
    } catch (...) {
      // A call into an object must not end the message loop; the object
      // itself reports its failures.
    }
    call = nullptr;  // release what the call holds before the next one runs
  }
}

void Apartment::Close() {
  CloseAtThreadEnd();
  if (window_ != 0) platform::win::DestroyWindow(window_);
  window_ = 0;
}

void Apartment::CloseAtThreadEnd() {
  std::deque<std::function<void()>> dropped;
  {
    std::lock_guard lock(mutex_);
    closed_ = true;
    dropped.swap(queue_);
  }
  dropped.clear();  // on the apartment's thread
}

std::shared_ptr<Apartment> Apartment::Current() { return This().apartment; }

bool Apartment::Post(std::function<void()> call) {
  std::uint32_t window = 0;
  {
    std::lock_guard lock(mutex_);
    if (closed_) return false;
    queue_.push_back(std::move(call));
    if (signalled_) return true;
    signalled_ = true;
    window = window_;
  }
  if (!platform::win::PostMessage(window, kApartmentCall, 0, 0)) {
    // The queue is full; the next Post tries again, the call stays queued.
    std::lock_guard lock(mutex_);
    signalled_ = false;
  }
  return true;
}

bool Apartment::IsCurrentThread() const { return thread_ == CurrentThreadId(); }

std::size_t Apartment::Pending() const {
  std::lock_guard lock(mutex_);
  return queue_.size();
}

HRESULT CoInitialize(void* reserved) { return CoInitializeEx(reserved, COINIT_APARTMENTTHREADED); }

HRESULT CoInitializeEx(void*, std::uint32_t model) {
  if (model != COINIT_APARTMENTTHREADED) return E_INVALIDARG;
  ThreadApartment& state = This();
  if (state.initCount > 0) {
    ++state.initCount;
    return S_FALSE;
  }
  std::shared_ptr<Apartment> apartment(new Apartment);
  if (!apartment->Open()) return E_FAIL;
  state.apartment = std::move(apartment);
  state.initCount = 1;
  return S_OK;
}

void CoUninitialize() {
  ThreadApartment& state = This();
  if (state.initCount == 0) return;
  if (--state.initCount > 0) return;
  state.apartment->Close();
  state.apartment.reset();
}

HRESULT CoInitializeSecurity(void*, std::int32_t, void*, void*, std::uint32_t, std::uint32_t, void*,
                             std::uint32_t, void*) {
  if (const char* fail = std::getenv("FERROWICK_COM_SECURITY_FAIL"); fail && std::strcmp(fail, "1") == 0)
    return E_ACCESSDENIED;
  if (gSecurityInitialized.exchange(true)) return RPC_E_TOO_LATE;
  return S_OK;
}

}  // namespace platform::com

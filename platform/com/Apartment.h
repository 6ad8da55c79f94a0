#pragma once
// Single-threaded apartments. A thread that calls CoInitialize becomes one:
// calls into its objects from other threads (the data changes and shutdown
// requests of OPC servers) are queued to it and run on that thread when its
// message loop handles messages. A synchronous COM call does not pump.

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

#include "platform/com/HResult.h"

namespace platform::com {

inline constexpr std::uint32_t COINIT_APARTMENTTHREADED = 0x2;
inline constexpr std::uint32_t COINIT_MULTITHREADED = 0x0;

// Makes the calling thread a single-threaded apartment: S_OK the first
// time, S_FALSE when it already is one (each success needs a
// CoUninitialize). E_FAIL when the thread cannot get its message window.
// Calling thread.
HRESULT CoInitialize(void* reserved);
// As CoInitialize for COINIT_APARTMENTTHREADED; any other model answers
// E_INVALIDARG (there are only single-threaded apartments here).
HRESULT CoInitializeEx(void* reserved, std::uint32_t model);
// Undoes one successful CoInitialize. The last one ends the apartment:
// calls still queued to it are dropped on this thread. Calling thread.
void CoUninitialize();
// Process-wide security settings. S_OK the first time, RPC_E_TOO_LATE
// after; arguments are accepted and not used. With the environment
// variable FERROWICK_COM_SECURITY_FAIL set to 1 it answers E_ACCESSDENIED
// (to test the caller's failure path). Any thread.
HRESULT CoInitializeSecurity(void* securityDescriptor, std::int32_t authServiceCount,
                             void* authServices, void* reserved1, std::uint32_t authnLevel,
                             std::uint32_t impLevel, void* authList, std::uint32_t capabilities,
                             void* reserved3);

// One single-threaded apartment: the thread that owns it and the calls
// queued to it.
class Apartment : public std::enable_shared_from_this<Apartment> {
 public:
  // The apartment of the calling thread; null when it has not called
  // CoInitialize. Calling thread.
  static std::shared_ptr<Apartment> Current();

  // Queues `call` to run on the apartment's thread from its message loop,
  // after the calls queued before it. False when the apartment has ended
  // (the call is then destroyed at once, on the calling thread). Any thread.
  bool Post(std::function<void()> call);
  // True on the apartment's own thread. Any thread.
  bool IsCurrentThread() const;
  // Calls queued and not yet run. Any thread.
  std::size_t Pending() const;

  ~Apartment();
  Apartment(const Apartment&) = delete;
  Apartment& operator=(const Apartment&) = delete;

 private:
  friend HRESULT CoInitializeEx(void*, std::uint32_t);
  friend void CoUninitialize();
  friend struct ThreadApartment;
  Apartment();
  bool Open();
  void RunQueued();
  void Close();
  void CloseAtThreadEnd();  // as Close, leaving the window to the ending thread

  mutable std::mutex mutex_;
  std::deque<std::function<void()>> queue_;
  std::uint32_t window_ = 0;  // the hidden window whose procedure runs the calls
  std::uint32_t thread_ = 0;
  bool signalled_ = false;    // a wake-up message is on its way
  bool closed_ = false;
};

// The calling thread as a single-threaded apartment while the object
// lives: CoInitialize when it is made, CoUninitialize when it goes if that
// succeeded (S_FALSE too: the thread was one already and stays one).
// Calling thread.
class ApartmentScope {
 public:
  ApartmentScope() : result_(CoInitialize(nullptr)) {}
  ~ApartmentScope() {
    if (SUCCEEDED(result_)) CoUninitialize();
  }
  ApartmentScope(const ApartmentScope&) = delete;
  ApartmentScope& operator=(const ApartmentScope&) = delete;

  // What CoInitialize answered.
  HRESULT Result() const { return result_; }

 private:
  HRESULT result_;
};

}  // namespace platform::com

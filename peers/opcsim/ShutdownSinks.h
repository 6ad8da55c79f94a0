#pragma once
// The IOPCShutdown sinks advised to one server object, each with the
// apartment it was advised from: a shutdown request reaches every sink on
// its own apartment's thread.

#include <atomic>
#include <map>
#include <memory>
#include <mutex>

#include "platform/com/Apartment.h"
#include "platform/com/OpcDa.h"

namespace opcsim {

class ShutdownSinks {
 public:
  // Takes `sink` (asked for IOPCShutdown) from the caller's apartment.
  // CONNECT_E_CANNOTCONNECT when it is not one, CO_E_NOTINITIALIZED outside
  // an apartment. Apartment thread.
  platform::com::HRESULT Advise(platform::com::IUnknown* sink, std::uint32_t* cookie);
  // CONNECT_E_NOCONNECTION for an unknown cookie. No request reaches the
  // sink after this returns. Apartment thread.
  platform::com::HRESULT Unadvise(std::uint32_t cookie);
  // Queues ShutdownRequest(reason) to every sink; sinks whose apartment has
  // ended are dropped. Any thread.
  void Send(const platform::com::WideString& reason);

 private:
  struct Sink {
    platform::com::ComPtr<platform::com::IOPCShutdown> sink;
    std::shared_ptr<platform::com::Apartment> apartment;
    std::shared_ptr<std::atomic<bool>> advised;
  };
  std::mutex mutex_;
  std::uint32_t nextCookie_ = 1;
  std::map<std::uint32_t, Sink> sinks_;
};

}  // namespace opcsim

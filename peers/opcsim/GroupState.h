#pragma once
// What one OPC group holds — its items and its subscribers — and the data
// changes it hands out. The group object serves the client's calls on the
// client's apartment thread; the simulation thread calls Tick. Deliveries
// are queued to the subscriber's apartment, never made from this thread.

#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/com/Apartment.h"
#include "platform/com/OpcDa.h"

namespace opcsim {

class Simulation;

class GroupState {
 public:
  GroupState(std::string name, platform::com::OPCHANDLE clientGroup, std::uint32_t rateMs, bool active);

  const std::string& Name() const { return name_; }

  // Adds one item; its error code, with the server handle and canonical
  // type in `result`. Apartment thread.
  platform::com::HRESULT AddItem(Simulation& sim, const platform::com::OPCITEMDEF& def,
                                 platform::com::OPCITEMRESULT& result);
  // The simulation's item index of a server handle, -1 when unknown.
  int ItemIndex(platform::com::OPCHANDLE serverHandle);

  // Stream subscription (DAdvise) and callback subscription
  // (IConnectionPoint.Advise); cookies are unique within the group.
  platform::com::HRESULT AdviseStream(Simulation& sim, const platform::com::FORMATETC& format, std::uint32_t advf,
                                      platform::com::IAdviseSink* sink, std::uint32_t* cookie);
  platform::com::HRESULT AdviseCallback(Simulation& sim, platform::com::IUnknown* sink, std::uint32_t* cookie);
  // Ends a subscription of that kind; no delivery reaches it afterwards.
  platform::com::HRESULT Unadvise(std::uint32_t cookie, bool stream);
  // Sends every active item to the subscription `cookie` with a new
  // transaction id. E_INVALIDARG for an unknown cookie, E_FAIL without
  // active items.
  platform::com::HRESULT Refresh(Simulation& sim, std::uint32_t cookie, std::uint32_t* transactionId);
  // Stops all deliveries (group removed or released).
  void Remove();

  // Sends what changed to each subscriber when the update rate has passed;
  // a subscriber whose apartment has ended is dropped. Simulation thread.
  void Tick(Simulation& sim, std::chrono::steady_clock::time_point now);

 private:
  struct Item {
    int index;
    platform::com::OPCHANDLE client;
    platform::com::VARTYPE requested;
    bool active;
  };
  struct Subscription {
    bool stream = false;
    bool withTime = false;
    platform::com::CLIPFORMAT format = 0;
    platform::com::ComPtr<platform::com::IAdviseSink> adviseSink;
    platform::com::ComPtr<platform::com::IOPCDataCallback> callback;
    std::shared_ptr<platform::com::Apartment> apartment;
    std::shared_ptr<std::atomic<bool>> advised;
    std::map<platform::com::OPCHANDLE, std::uint64_t> sent;  // version sent, by server handle
  };

  // Queues the active items (all, or those changed since the last
  // delivery) to one subscriber. False when its apartment has ended. With
  // the lock held.
  bool Deliver(Simulation& sim, Subscription& sub, bool all, std::uint32_t transactionId);

  const std::string name_;
  const platform::com::OPCHANDLE clientGroup_;
  const std::uint32_t rateMs_;
  const bool active_;

  std::mutex mutex_;
  bool removed_ = false;
  std::map<platform::com::OPCHANDLE, Item> items_;  // by server handle
  platform::com::OPCHANDLE nextHandle_ = 1;
  std::map<std::uint32_t, Subscription> subscriptions_;  // by cookie
  std::uint32_t nextCookie_ = 1;
  std::uint32_t nextTransaction_ = 1;
  std::chrono::steady_clock::time_point nextSend_{};
};

}  // namespace opcsim

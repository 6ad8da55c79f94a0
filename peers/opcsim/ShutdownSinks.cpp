#include "peers/opcsim/ShutdownSinks.h"

#include <utility>
#include <vector>

namespace opcsim {

namespace pc = platform::com;

pc::HRESULT ShutdownSinks::Advise(pc::IUnknown* sink, std::uint32_t* cookie) {
  if (sink == nullptr || cookie == nullptr) return pc::E_POINTER;
  *cookie = 0;
  auto apartment = pc::Apartment::Current();
  if (!apartment) return pc::CO_E_NOTINITIALIZED;
  pc::ComPtr<pc::IOPCShutdown> shutdown;
  if (pc::FAILED(sink->QueryInterface(pc::IOPCShutdown::iid, shutdown.PutVoid()))) return pc::CONNECT_E_CANNOTCONNECT;
  std::lock_guard lock(mutex_);
  *cookie = nextCookie_++;
  sinks_.emplace(*cookie, Sink{std::move(shutdown), std::move(apartment), std::make_shared<std::atomic<bool>>(true)});
  return pc::S_OK;
}

pc::HRESULT ShutdownSinks::Unadvise(std::uint32_t cookie) {
  Sink removed;  // released outside the lock
  std::lock_guard lock(mutex_);
  auto it = sinks_.find(cookie);
  if (it == sinks_.end()) return pc::CONNECT_E_NOCONNECTION;
  it->second.advised->store(false);
  removed = std::move(it->second);
  sinks_.erase(it);
  return pc::S_OK;
}

void ShutdownSinks::Send(const pc::WideString& reason) {
  std::vector<std::pair<std::uint32_t, Sink>> targets;
  {
    std::lock_guard lock(mutex_);
    for (auto& [cookie, sink] : sinks_) targets.emplace_back(cookie, sink);
  }
  std::vector<Sink> ended;  // sinks of ended apartments, released outside the lock
  for (auto& [cookie, t] : targets) {
    bool posted = t.apartment->Post([sink = t.sink, advised = t.advised, reason] {
      if (advised->load()) sink->ShutdownRequest(reason.c_str());
    });
    if (posted) continue;
    std::lock_guard lock(mutex_);
    if (auto it = sinks_.find(cookie); it != sinks_.end()) {
      ended.push_back(std::move(it->second));
      sinks_.erase(it);
    }
  }
}

}  // namespace opcsim

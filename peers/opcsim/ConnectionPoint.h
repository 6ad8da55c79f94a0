#pragma once
// A connection point whose Advise and Unadvise are handed to its owner's
// state (shutdown sinks of a server, data callbacks of a group). It holds
// no reference to the container, so no cycle keeps either alive.

#include <functional>

#include "platform/com/ComInterfaces.h"

namespace opcsim {

class ConnectionPoint final : public platform::com::ComObject<platform::com::IConnectionPoint> {
 public:
  using AdviseFunction = std::function<platform::com::HRESULT(platform::com::IUnknown*, std::uint32_t*)>;
  using UnadviseFunction = std::function<platform::com::HRESULT(std::uint32_t)>;
  ConnectionPoint(AdviseFunction advise, UnadviseFunction unadvise)
      : advise_(std::move(advise)), unadvise_(std::move(unadvise)) {}

  platform::com::HRESULT Advise(platform::com::IUnknown* sink, std::uint32_t* cookie) override {
    return advise_(sink, cookie);
  }
  platform::com::HRESULT Unadvise(std::uint32_t cookie) override { return unadvise_(cookie); }

 private:
  AdviseFunction advise_;
  UnadviseFunction unadvise_;
};

}  // namespace opcsim

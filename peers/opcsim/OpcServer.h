#pragma once
// The COM object a client creates for a simulation: groups, status, and the
// connection point for IOPCShutdown. Its creation and its end are
// journalled as "connect" and "disconnect".

#include <map>
#include <memory>
#include <mutex>

#include "peers/opcsim/OpcGroup.h"
#include "peers/opcsim/ShutdownSinks.h"
#include "peers/opcsim/Simulation.h"

namespace opcsim {

class OpcServer final
    : public platform::com::ComObject<platform::com::IOPCServer, platform::com::IConnectionPointContainer> {
 public:
  explicit OpcServer(std::shared_ptr<Simulation> sim);
  ~OpcServer() override;

  platform::com::HRESULT AddGroup(platform::com::LPCWSTR name, platform::com::BOOL active,
                                  platform::com::DWORD requestedUpdateRate, platform::com::OPCHANDLE clientGroup,
                                  std::int32_t* timeBias, float* percentDeadband, platform::com::DWORD lcid,
                                  platform::com::OPCHANDLE* serverGroup, platform::com::DWORD* revisedUpdateRate,
                                  const platform::com::IID& riid, platform::com::IUnknown** group) override;
  platform::com::HRESULT GetStatus(platform::com::OPCSERVERSTATUS** status) override;
  platform::com::HRESULT RemoveGroup(platform::com::OPCHANDLE serverGroup, platform::com::BOOL force) override;
  platform::com::HRESULT FindConnectionPoint(const platform::com::IID& riid,
                                             platform::com::IConnectionPoint** point) override;

 protected:
  bool Offers(const platform::com::IID& riid) const override;

 private:
  std::shared_ptr<Simulation> sim_;
  std::shared_ptr<ShutdownSinks> shutdownSinks_;
  platform::com::ComPtr<platform::com::IConnectionPoint> shutdownPoint_;
  std::mutex mutex_;
  std::map<platform::com::OPCHANDLE, std::shared_ptr<GroupState>> groups_;  // by server handle
  platform::com::OPCHANDLE nextGroup_ = 1;
};

}  // namespace opcsim

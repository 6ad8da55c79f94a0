#pragma once
// The COM object of one OPC group: item management, synchronous writes,
// refresh, the data object for stream subscriptions and the connection
// point for IOPCDataCallback.

#include <memory>

#include "peers/opcsim/ConnectionPoint.h"
#include "peers/opcsim/GroupState.h"
#include "peers/opcsim/Simulation.h"

namespace opcsim {

class OpcGroup final
    : public platform::com::ComObject<platform::com::IOPCItemMgt, platform::com::IOPCSyncIO,
                                      platform::com::IOPCAsyncIO, platform::com::IDataObject,
                                      platform::com::IConnectionPointContainer> {
 public:
  OpcGroup(std::shared_ptr<Simulation> sim, std::shared_ptr<GroupState> state);
  ~OpcGroup() override;

  platform::com::HRESULT AddItems(platform::com::DWORD count, platform::com::OPCITEMDEF* items,
                                  platform::com::OPCITEMRESULT** results, platform::com::HRESULT** errors) override;
  platform::com::HRESULT Write(platform::com::DWORD count, platform::com::OPCHANDLE* serverHandles,
                               platform::com::VARIANT* values, platform::com::HRESULT** errors) override;
  platform::com::HRESULT Refresh(platform::com::DWORD connection, platform::com::OPCDATASOURCE source,
                                 platform::com::DWORD* transactionId) override;
  platform::com::HRESULT DAdvise(platform::com::FORMATETC* format, std::uint32_t advf,
                                 platform::com::IAdviseSink* sink, std::uint32_t* connection) override;
  platform::com::HRESULT DUnadvise(std::uint32_t connection) override;
  platform::com::HRESULT FindConnectionPoint(const platform::com::IID& riid,
                                             platform::com::IConnectionPoint** point) override;

 private:
  std::shared_ptr<Simulation> sim_;
  std::shared_ptr<GroupState> state_;
  platform::com::ComPtr<platform::com::IConnectionPoint> callbackPoint_;
};

}  // namespace opcsim

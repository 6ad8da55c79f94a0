// The exported entry of libopcsim: class factories for the registered
// simulations and for the OPC server list object.

#include "peers/opcsim/OpcServer.h"
#include "peers/opcsim/ServerList.h"
#include "peers/opcsim/Simulation.h"
#include "platform/com/Activation.h"

namespace opcsim {

namespace pc = platform::com;

namespace {

class Factory final : public pc::ComObject<pc::IClassFactory> {
 public:
  explicit Factory(const pc::CLSID& clsid) : clsid_(clsid) {}

  pc::HRESULT CreateInstance(pc::IUnknown* outer, const pc::IID& riid, void** object) override {
    if (object == nullptr) return pc::E_POINTER;
    *object = nullptr;
    if (outer != nullptr) return pc::CLASS_E_NOAGGREGATION;
    try {
      if (clsid_ == pc::CLSID_OpcServerList) {
        pc::ComPtr<pc::IOPCServerList> list(new ServerList);
        return list->QueryInterface(riid, object);
      }
      pc::HRESULT hr = pc::S_OK;
      auto sim = Simulation::ForClass(clsid_, hr);
      if (!sim) return hr;
      pc::ComPtr<pc::IOPCServer> server(new OpcServer(std::move(sim)));
      return server->QueryInterface(riid, object);
    } catch (const std::bad_alloc&) {
      return pc::E_OUTOFMEMORY;
    } catch (const std::system_error&) {
      return pc::E_FAIL;  // no simulation thread could be started
    }
  }
  pc::HRESULT LockServer(pc::BOOL) override { return pc::S_OK; }

 private:
  const pc::CLSID clsid_;
};

}  // namespace

}  // namespace opcsim

extern "C" __attribute__((visibility("default"))) platform::com::HRESULT DllGetClassObject(
    const platform::com::CLSID* clsid, const platform::com::IID* riid, void** object) {
  namespace pc = platform::com;
  if (clsid == nullptr || riid == nullptr || object == nullptr) return pc::E_INVALIDARG;
  *object = nullptr;
  opcsim::SimulationInfo info;
  if (!(*clsid == pc::CLSID_OpcServerList) && !opcsim::FindSimulation(*clsid, info))
    return pc::CLASS_E_CLASSNOTAVAILABLE;
  try {
    pc::ComPtr<pc::IClassFactory> factory(new opcsim::Factory(*clsid));
    return factory->QueryInterface(*riid, object);
  } catch (const std::bad_alloc&) {
    return pc::E_OUTOFMEMORY;
  }
}

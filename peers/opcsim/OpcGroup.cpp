#include "peers/opcsim/OpcGroup.h"

#include "platform/com/Memory.h"

namespace opcsim {

namespace pc = platform::com;

namespace {

// Largest item count of one call.
constexpr pc::DWORD kMaxBatch = 100000;

std::string ValueText(const pc::VARIANT& value) {
  pc::VariantValue text;
  if (pc::FAILED(pc::VariantChangeType(&text.Get(), &value, 0, pc::VT_BSTR))) return "?";
  return pc::WideToAnsi(pc::WideView(text.Get().bstrVal));
}

}  // namespace

OpcGroup::OpcGroup(std::shared_ptr<Simulation> sim, std::shared_ptr<GroupState> state)
    : sim_(std::move(sim)), state_(std::move(state)) {
  std::weak_ptr<GroupState> weak = state_;
  std::weak_ptr<Simulation> weakSim = sim_;
  callbackPoint_ = pc::ComPtr<pc::IConnectionPoint>(new ConnectionPoint(
      [weak, weakSim](pc::IUnknown* sink, std::uint32_t* cookie) -> pc::HRESULT {
        auto state = weak.lock();
        auto sim = weakSim.lock();
        if (!state || !sim) return pc::E_UNEXPECTED;
        pc::HRESULT hr = state->AdviseCallback(*sim, sink, cookie);
        if (pc::SUCCEEDED(hr)) sim->Journal("advise callback");
        return hr;
      },
      [weak, weakSim](std::uint32_t cookie) -> pc::HRESULT {
        auto state = weak.lock();
        auto sim = weakSim.lock();
        if (!state || !sim) return pc::E_UNEXPECTED;
        pc::HRESULT hr = state->Unadvise(cookie, false);
        if (pc::SUCCEEDED(hr)) sim->Journal("unadvise");
        return hr;
      }));
}

OpcGroup::~OpcGroup() { state_->Remove(); }

pc::HRESULT OpcGroup::AddItems(pc::DWORD count, pc::OPCITEMDEF* items, pc::OPCITEMRESULT** results,
                               pc::HRESULT** errors) {
  if (items == nullptr || results == nullptr || errors == nullptr) return pc::E_INVALIDARG;
  *results = nullptr;
  *errors = nullptr;
  if (count == 0 || count > kMaxBatch) return pc::E_INVALIDARG;
  auto* r = static_cast<pc::OPCITEMRESULT*>(pc::CoTaskMemAlloc(sizeof(pc::OPCITEMRESULT) * count));
  auto* e = static_cast<pc::HRESULT*>(pc::CoTaskMemAlloc(sizeof(pc::HRESULT) * count));
  if (r == nullptr || e == nullptr) {
    pc::CoTaskMemFree(r);
    pc::CoTaskMemFree(e);
    return pc::E_OUTOFMEMORY;
  }
  bool allAdded = true;
  for (pc::DWORD i = 0; i < count; ++i) {
    e[i] = state_->AddItem(*sim_, items[i], r[i]);
    allAdded = allAdded && pc::SUCCEEDED(e[i]);
    sim_->Journal("additem " + pc::WideToAnsi(pc::WideView(items[i].szItemID, 1024)) + " " +
                  std::to_string(items[i].hClient));
  }
  *results = r;
  *errors = e;
  return allAdded ? pc::S_OK : pc::S_FALSE;
}

pc::HRESULT OpcGroup::Write(pc::DWORD count, pc::OPCHANDLE* serverHandles, pc::VARIANT* values,
                            pc::HRESULT** errors) {
  if (serverHandles == nullptr || values == nullptr || errors == nullptr) return pc::E_INVALIDARG;
  *errors = nullptr;
  if (count == 0 || count > kMaxBatch) return pc::E_INVALIDARG;
  if (sim_->Fault("write")) return pc::E_FAIL;
  auto* e = static_cast<pc::HRESULT*>(pc::CoTaskMemAlloc(sizeof(pc::HRESULT) * count));
  if (e == nullptr) return pc::E_OUTOFMEMORY;
  bool allWritten = true;
  for (pc::DWORD i = 0; i < count; ++i) {
    int index = state_->ItemIndex(serverHandles[i]);
    if (index < 0) {
      e[i] = pc::OPC_E_INVALIDHANDLE;
    } else {
      const ItemDefinition& d = sim_->Definition(index);
      sim_->Journal("write " + d.id + " " + std::string(TypeName(values[i].vt)) + " " + ValueText(values[i]));
      if (!d.writable) e[i] = pc::OPC_E_BADRIGHTS;
      else if (sim_->Fault("write:" + d.id)) e[i] = pc::E_FAIL;
      else {
        e[i] = sim_->Write(index, values[i]);
        if (e[i] == pc::DISP_E_OVERFLOW) e[i] = pc::OPC_E_RANGE;
        else if (pc::FAILED(e[i])) e[i] = pc::OPC_E_BADTYPE;
      }
    }
    allWritten = allWritten && pc::SUCCEEDED(e[i]);
  }
  *errors = e;
  return allWritten ? pc::S_OK : pc::S_FALSE;
}

pc::HRESULT OpcGroup::Refresh(pc::DWORD connection, pc::OPCDATASOURCE, pc::DWORD* transactionId) {
  sim_->Journal("refresh");
  return state_->Refresh(*sim_, connection, transactionId);
}

pc::HRESULT OpcGroup::DAdvise(pc::FORMATETC* format, std::uint32_t advf, pc::IAdviseSink* sink,
                              std::uint32_t* connection) {
  if (format == nullptr) return pc::E_INVALIDARG;
  pc::HRESULT hr = state_->AdviseStream(*sim_, *format, advf, sink, connection);
  if (pc::SUCCEEDED(hr)) sim_->Journal("advise stream");
  return hr;
}

pc::HRESULT OpcGroup::DUnadvise(std::uint32_t connection) {
  pc::HRESULT hr = state_->Unadvise(connection, true);
  if (pc::SUCCEEDED(hr)) sim_->Journal("unadvise");
  return hr;
}

pc::HRESULT OpcGroup::FindConnectionPoint(const pc::IID& riid, pc::IConnectionPoint** point) {
  if (point == nullptr) return pc::E_POINTER;
  *point = nullptr;
  if (!(riid == pc::IOPCDataCallback::iid) || sim_->Fault("callbackpoint")) return pc::CONNECT_E_NOCONNECTION;
  *point = callbackPoint_.Get();
  (*point)->AddRef();
  return pc::S_OK;
}

}  // namespace opcsim

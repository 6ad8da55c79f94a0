#include "server/OPCutils.h"

#include "platform/com/Memory.h"
#include "platform/com/WideString.h"
#include "server/OPCDA.h"

namespace server {

namespace pc = platform::com;

pc::HRESULT CreateOPCGroup(pc::IOPCServer* server, std::string_view name, bool active, pc::DWORD updateRate,
                           pc::OPCHANDLE clientGroup, pc::ComPtr<pc::IOPCItemMgt>& itemMgt,
                           pc::OPCHANDLE& serverGroup) {
  itemMgt.Reset();
  serverGroup = 0;
  if (server == nullptr) return pc::E_FAIL;
  const pc::WideString wideName = pc::AnsiToWide(name);
  float deadband = 0.0f;
  pc::DWORD revised = 0;
  // The group comes back as the interface asked for (IOPCItemMgt), typed as
  // its IUnknown base.
  pc::IOPCItemMgt* group = nullptr;
  const pc::HRESULT hr =
      server->AddGroup(wideName.c_str(), active ? 1 : 0, updateRate, clientGroup, nullptr, &deadband, 0,
                       &serverGroup, &revised, pc::IOPCItemMgt::iid, reinterpret_cast<pc::IUnknown**>(&group));
  if (pc::FAILED(hr) || group == nullptr) {
    if (group != nullptr) group->Release();
    serverGroup = 0;
    return pc::FAILED(hr) ? hr : pc::E_FAIL;
  }
  itemMgt = pc::ComPtr<pc::IOPCItemMgt>::Attach(group);
  return hr;
}

pc::HRESULT AddOPCItem(pc::IOPCItemMgt* itemMgt, std::string_view itemId, pc::OPCHANDLE clientHandle,
                       pc::VARTYPE& canonicalType, pc::OPCHANDLE& serverHandle, pc::VARTYPE requestedType) {
  if (itemMgt == nullptr) return pc::E_FAIL;
  pc::WideString accessPath;
  pc::WideString wideId = pc::AnsiToWide(itemId);
  pc::OPCITEMDEF definition{accessPath.data(), wideId.data(), 1, clientHandle, 0, nullptr, requestedType, 0};
  pc::OPCITEMRESULT* results = nullptr;
  pc::HRESULT* errors = nullptr;
  pc::HRESULT hr = itemMgt->AddItems(1, &definition, &results, &errors);
  if (pc::SUCCEEDED(hr)) {
    hr = errors != nullptr ? errors[0] : pc::E_FAIL;
    if (pc::SUCCEEDED(hr) && results != nullptr) {
      serverHandle = results[0].hServer;
      canonicalType = results[0].vtCanonicalDataType;
    }
  }
  if (results != nullptr) pc::CoTaskMemFree(results[0].pBlob);
  pc::CoTaskMemFree(results);
  pc::CoTaskMemFree(errors);
  return hr;
}

pc::HRESULT AdviseDataObject(pc::IUnknown* group, pc::IAdviseSink* sink, std::uint32_t& cookie) {
  cookie = 0;
  pc::ComPtr<pc::IDataObject> data;
  if (group == nullptr || pc::FAILED(pc::ComPtr<pc::IUnknown>(group).As(data))) return pc::E_FAIL;
  pc::FORMATETC format{static_cast<pc::CLIPFORMAT>(OPCFormats().DataTime), nullptr, pc::DVASPECT_CONTENT, -1,
                       pc::TYMED_HGLOBAL};
  const pc::HRESULT hr = data->DAdvise(&format, pc::ADVF_PRIMEFIRST, sink, &cookie);
  if (pc::FAILED(hr)) cookie = 0;
  return hr;
}

pc::HRESULT UnadviseDataObject(pc::IUnknown* group, std::uint32_t cookie) {
  pc::ComPtr<pc::IDataObject> data;
  if (group == nullptr || pc::FAILED(pc::ComPtr<pc::IUnknown>(group).As(data))) return pc::E_FAIL;
  return data->DUnadvise(cookie);
}

namespace {

// The group's IOPCDataCallback connection point; E_FAIL without a container.
pc::HRESULT CallbackPoint(pc::IUnknown* group, pc::ComPtr<pc::IConnectionPoint>& point) {
  pc::ComPtr<pc::IConnectionPointContainer> container;
  if (group == nullptr || pc::FAILED(pc::ComPtr<pc::IUnknown>(group).As(container))) return pc::E_FAIL;
  return container->FindConnectionPoint(pc::IOPCDataCallback::iid, point.Put());
}

}  // namespace

pc::HRESULT AdviseDataCallback(pc::IUnknown* group, pc::IUnknown* sink, std::uint32_t& cookie) {
  cookie = 0;
  pc::ComPtr<pc::IConnectionPoint> point;
  pc::HRESULT hr = CallbackPoint(group, point);
  if (pc::FAILED(hr)) return hr;
  if (!point) return pc::E_FAIL;
  hr = point->Advise(sink, &cookie);
  if (pc::FAILED(hr)) cookie = 0;
  return hr;
}

pc::HRESULT UnadviseDataCallback(pc::IUnknown* group, std::uint32_t cookie) {
  pc::ComPtr<pc::IConnectionPoint> point;
  const pc::HRESULT hr = CallbackPoint(group, point);
  if (pc::FAILED(hr)) return hr;
  if (!point) return pc::E_FAIL;
  return point->Unadvise(cookie);
}

pc::HRESULT WriteOPCItem(pc::IUnknown* group, pc::OPCHANDLE serverHandle, const pc::VARIANT& value) {
  pc::ComPtr<pc::IOPCSyncIO> sync;
  if (group == nullptr || pc::FAILED(pc::ComPtr<pc::IUnknown>(group).As(sync))) return pc::E_FAIL;
  pc::VariantValue copy;
  const pc::HRESULT copied = pc::VariantCopy(&copy.Get(), &value);
  if (pc::FAILED(copied)) return copied;
  pc::HRESULT* errors = nullptr;
  pc::HRESULT hr = sync->Write(1, &serverHandle, &copy.Get(), &errors);
  if (pc::SUCCEEDED(hr)) hr = errors != nullptr ? errors[0] : pc::E_FAIL;
  pc::CoTaskMemFree(errors);
  return hr;
}

}  // namespace server

// A broken OPC server list object for the enumeration tests, built as an
// in-process server of its own: its class enumerator answers S_OK with a
// new class on every call, and every class has details. It stops after
// kSafetyStop classes only so that a scan without a bound of its own ends.

#include "platform/com/Activation.h"
#include "platform/com/Memory.h"
#include "platform/com/OpcDa.h"

#include <cstdint>
#include <string>

using namespace platform::com;

namespace {

constexpr std::uint32_t kSafetyStop = 20000;

class EndlessEnumerator final : public ComObject<IEnumGUID> {
 public:
  HRESULT Next(std::uint32_t count, GUID* items, std::uint32_t* fetched) override {
    if (count != 1 || items == nullptr || fetched == nullptr) return E_INVALIDARG;
    *fetched = 0;
    if (next_ == kSafetyStop) return S_FALSE;
    *items = GUID{next_++, 0xE7D1, 0x4E55, {0x9A, 0x11, 0, 0, 0, 0, 0, 0x02}};
    *fetched = 1;
    return S_OK;
  }
  HRESULT Reset() override {
    next_ = 0;
    return S_OK;
  }

 private:
  std::uint32_t next_ = 0;
};

class EndlessServerList final : public ComObject<IOPCServerList> {
 public:
  HRESULT EnumClassesOfCategories(std::uint32_t, CATID*, std::uint32_t, CATID*, IEnumGUID** classes) override {
    if (classes == nullptr) return E_POINTER;
    *classes = ComPtr<IEnumGUID>(new EndlessEnumerator).Detach();
    return S_OK;
  }
  // "Endless.<first field of the class id>", named "Endless".
  HRESULT GetClassDetails(const CLSID& clsid, LPWSTR* progId, LPWSTR* userType) override {
    if (progId == nullptr || userType == nullptr) return E_POINTER;
    *progId = CoTaskMemWideString(AnsiToWide("Endless." + std::to_string(clsid.Data1)));
    *userType = CoTaskMemWideString(u"Endless");
    return S_OK;
  }
  HRESULT CLSIDFromProgID(LPCWSTR, CLSID*) override { return E_NOTIMPL; }
};

class Factory final : public ComObject<IClassFactory> {
 public:
  HRESULT CreateInstance(IUnknown* outer, const IID& riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    return ComPtr<IOPCServerList>(new EndlessServerList)->QueryInterface(riid, object);
  }
  HRESULT LockServer(BOOL) override { return S_OK; }
};

}  // namespace

extern "C" __attribute__((visibility("default"))) HRESULT DllGetClassObject(const CLSID* clsid, const IID* riid,
                                                                          void** object) {
  if (clsid == nullptr || riid == nullptr || object == nullptr) return E_INVALIDARG;
  *object = nullptr;
  if (!(*clsid == CLSID_OpcServerList)) return CLASS_E_CLASSNOTAVAILABLE;
  return ComPtr<IClassFactory>(new Factory)->QueryInterface(*riid, object);
}

// A minimal in-process server for the activation tests: one class whose
// objects implement IOPCShutdown and count the requests they get.

#include "platform/com/Activation.h"
#include "platform/com/OpcDa.h"

using namespace platform::com;

namespace {

constexpr CLSID kTestClass{0x5E1F0001, 0x0C0A, 0x4E55, {0x9A, 0x11, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01}};

class Counter final : public ComObject<IOPCShutdown> {
 public:
  HRESULT ShutdownRequest(LPCWSTR reason) override {
    ++requests_;
    return WideView(reason) == u"fail" ? E_FAIL : static_cast<HRESULT>(requests_);
  }

 private:
  int requests_ = 0;
};

class Factory final : public ComObject<IClassFactory> {
 public:
  HRESULT CreateInstance(IUnknown* outer, const IID& riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    ComPtr<IOPCShutdown> counter(new Counter);
    return counter->QueryInterface(riid, object);
  }
  HRESULT LockServer(BOOL) override { return S_OK; }
};

}  // namespace

extern "C" __attribute__((visibility("default"))) HRESULT DllGetClassObject(const CLSID* clsid, const IID* riid,
                                                                          void** object) {
  if (clsid == nullptr || riid == nullptr || object == nullptr) return E_INVALIDARG;
  *object = nullptr;
  if (!(*clsid == kTestClass)) return CLASS_E_CLASSNOTAVAILABLE;
  ComPtr<IClassFactory> factory(new Factory);
  return factory->QueryInterface(*riid, object);
}

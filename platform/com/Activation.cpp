#include "platform/com/Activation.h"

#include <dlfcn.h>

#include <map>
#include <mutex>

#include "platform/com/Apartment.h"
#include "platform/com/Registry.h"

namespace platform::com {

namespace {

// Modules loaded for their classes, by path; kept for the process's life.
class ModuleTable {
 public:
  static ModuleTable& Instance() {
    static ModuleTable table;
    return table;
  }
  // The module's class factory entry; null (and `hr`) when it cannot be had.
  DllGetClassObjectFunction Entry(const std::string& path, HRESULT& hr) {
    std::lock_guard lock(mutex_);
    void* handle = nullptr;
    if (auto it = modules_.find(path); it != modules_.end()) {
      handle = it->second;
    } else {
      handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
      if (handle == nullptr) {
        hr = CO_E_DLLNOTFOUND;
        return nullptr;
      }
      modules_.emplace(path, handle);
    }
    void* entry = ::dlsym(handle, kDllGetClassObjectName);
    if (entry == nullptr) {
      hr = CO_E_ERRORINDLL;
      return nullptr;
    }
    hr = S_OK;
    return reinterpret_cast<DllGetClassObjectFunction>(entry);
  }

 private:
  std::mutex mutex_;
  std::map<std::string, void*> modules_;
};

std::string ReadDefault(const std::string& keyPath, LONG& rc) {
  HKEY key = 0;
  std::string value;
  rc = RegOpenKeyExA(HKEY_CLASSES_ROOT, keyPath.c_str(), 0, KEY_READ, &key);
  if (rc != ERROR_SUCCESS) return value;
  rc = RegQueryValueExA(key, nullptr, value);
  RegCloseKey(key);
  return value;
}

}  // namespace

bool IsLocalMachineName(std::u16string_view machine) {
  while (!machine.empty() && machine.front() == u'\\') machine.remove_prefix(1);
  if (machine.empty()) return true;
  return RegistryFold(WideToAnsi(machine)) == kLocalMachine;
}

HRESULT CLSIDFromProgID(LPCWSTR progId, CLSID* clsid) {
  if (progId == nullptr || clsid == nullptr) return E_INVALIDARG;
  std::string name = WideToAnsi(WideView(progId, kMaxRegistryPath + 1));
  if (name.empty() || name.size() > kMaxRegistryName || name.find('\\') != std::string::npos)
    return CO_E_CLASSSTRING;
  LONG rc = ERROR_SUCCESS;
  std::string text = ReadDefault(name + "\\CLSID", rc);
  if (rc != ERROR_SUCCESS) return CO_E_CLASSSTRING;
  return StringToGuid(text, *clsid) ? S_OK : CO_E_CLASSSTRING;
}

HRESULT InprocServerPath(const CLSID& clsid, std::string& path) {
  LONG rc = ERROR_SUCCESS;
  path = ReadDefault("CLSID\\" + GuidToString(clsid) + "\\InprocServer32", rc);
  return rc == ERROR_SUCCESS && !path.empty() ? S_OK : REGDB_E_CLASSNOTREG;
}

HRESULT CoCreateInstance(const CLSID& clsid, IUnknown* outer, std::uint32_t context, const IID& riid,
                         void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (!Apartment::Current()) return CO_E_NOTINITIALIZED;
  if (outer != nullptr) return CLASS_E_NOAGGREGATION;
  if ((context & CLSCTX_INPROC_SERVER) == 0) return REGDB_E_CLASSNOTREG;
  std::string path;
  if (HRESULT hr = InprocServerPath(clsid, path); FAILED(hr)) return hr;
  HRESULT hr = S_OK;
  DllGetClassObjectFunction entry = ModuleTable::Instance().Entry(path, hr);
  if (entry == nullptr) return hr;
  ComPtr<IClassFactory> factory;
  hr = entry(&clsid, &IClassFactory::iid, factory.PutVoid());
  if (FAILED(hr)) return hr;
  if (!factory) return E_UNEXPECTED;
  return factory->CreateInstance(nullptr, riid, object);
}

HRESULT CoCreateInstanceEx(const CLSID& clsid, IUnknown* outer, std::uint32_t context,
                           COSERVERINFO* server, std::uint32_t count, MULTI_QI* results) {
  if (count == 0 || results == nullptr) return E_INVALIDARG;
  for (std::uint32_t i = 0; i < count; ++i) {
    results[i].pItf = nullptr;
    results[i].hr = E_NOINTERFACE;
  }
  if (server != nullptr && !IsLocalMachineName(WideView(server->pwszName, 256)))
    return HRESULT_RPC_S_SERVER_UNAVAILABLE;
  ComPtr<IUnknown> object;
  if (HRESULT hr = CoCreateInstance(clsid, outer, context, IUnknown::iid, object.PutVoid()); FAILED(hr))
    return hr;
  std::uint32_t had = 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    if (results[i].pIID == nullptr) continue;
    results[i].hr = object->QueryInterface(*results[i].pIID, reinterpret_cast<void**>(&results[i].pItf));
    if (SUCCEEDED(results[i].hr)) ++had;
  }
  if (had == 0) return E_NOINTERFACE;
  return had == count ? S_OK : CO_S_NOTALLINTERFACES;
}

ComPtr<IUnknown> CreateComObject(const CLSID& clsid) {
  ComPtr<IUnknown> object;
  HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IUnknown::iid,
                                object.PutVoid());
  if (FAILED(hr)) throw EOleSysError("cannot create " + GuidToString(clsid), hr);
  return object;
}

ComPtr<IUnknown> CreateRemoteComObject(std::string_view machine, const CLSID& clsid) {
  WideString name = AnsiToWide(machine);
  COSERVERINFO info{0, name.data(), nullptr, 0};
  MULTI_QI qi{&IUnknown::iid, nullptr, S_OK};
  HRESULT hr = CoCreateInstanceEx(clsid, nullptr, CLSCTX_SERVER, &info, 1, &qi);
  if (FAILED(hr)) throw EOleSysError("cannot create " + GuidToString(clsid) + " on " + std::string(machine), hr);
  return ComPtr<IUnknown>::Attach(qi.pItf);
}

}  // namespace platform::com

#pragma once
// Finding and creating COM classes: ProgIDs and class ids from the
// registry, in-process servers loaded from their InprocServer32 path and
// asked through their exported class factory entry. There is no remote
// activation: creation on another machine fails with
// HRESULT_RPC_S_SERVER_UNAVAILABLE.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "platform/com/ComInterfaces.h"
#include "platform/com/Unknown.h"
#include "platform/com/WideString.h"

namespace platform::com {

inline constexpr std::uint32_t CLSCTX_INPROC_SERVER = 0x1;
inline constexpr std::uint32_t CLSCTX_INPROC_HANDLER = 0x2;
inline constexpr std::uint32_t CLSCTX_LOCAL_SERVER = 0x4;
inline constexpr std::uint32_t CLSCTX_REMOTE_SERVER = 0x10;
inline constexpr std::uint32_t CLSCTX_SERVER =
    CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER;

// The exported entry of an in-process server, by the name
// kDllGetClassObjectName: the class factory of `clsid` asked for `riid`;
// CLASS_E_CLASSNOTAVAILABLE for a class the module does not serve.
using DllGetClassObjectFunction = HRESULT (*)(const CLSID* clsid, const IID* riid, void** object);
inline constexpr const char* kDllGetClassObjectName = "DllGetClassObject";

struct COSERVERINFO {
  std::uint32_t dwReserved1;
  LPWSTR pwszName;  // machine name; null or "" for this machine
  void* pAuthInfo;
  std::uint32_t dwReserved2;
};

struct MULTI_QI {
  const IID* pIID;
  IUnknown* pItf;
  HRESULT hr;
};

// The class id registered for a ProgID (HKCR\<ProgID>\CLSID). CO_E_CLASSSTRING
// when the ProgID is unknown or its class id is not GUID text; E_INVALIDARG
// for null arguments. Any thread.
HRESULT CLSIDFromProgID(LPCWSTR progId, CLSID* clsid);

// The registry text of a class's InprocServer32 path; REGDB_E_CLASSNOTREG
// when the class is not registered with one. Any thread.
HRESULT InprocServerPath(const CLSID& clsid, std::string& path);

// Creates an object of the class and asks it for `riid`. Needs the calling
// thread to be an apartment (CO_E_NOTINITIALIZED otherwise) and
// CLSCTX_INPROC_SERVER in `context` (REGDB_E_CLASSNOTREG otherwise, as no
// other kind of server exists); CLASS_E_NOAGGREGATION with `outer`;
// REGDB_E_CLASSNOTREG when the class is not registered; CO_E_DLLNOTFOUND
// when its module cannot be loaded; CO_E_ERRORINDLL when the module has no
// class factory entry; else what the factory answers. Loaded modules stay
// loaded until the process ends. Apartment thread.
HRESULT CoCreateInstance(const CLSID& clsid, IUnknown* outer, std::uint32_t context, const IID& riid,
                         void** object);
// As CoCreateInstance on the machine of `server` (null: this machine),
// filling each MULTI_QI. A machine name other than "" or "local" (with or
// without leading "\\") answers HRESULT_RPC_S_SERVER_UNAVAILABLE.
// E_NOINTERFACE when no interface was had, CO_S_NOTALLINTERFACES when only
// some were. Apartment thread.
HRESULT CoCreateInstanceEx(const CLSID& clsid, IUnknown* outer, std::uint32_t context,
                           COSERVERINFO* server, std::uint32_t count, MULTI_QI* results);

// A COM failure raised as an exception by the helpers below.
class EOleSysError : public std::runtime_error {
 public:
  EOleSysError(const std::string& message, HRESULT code) : std::runtime_error(message), ErrorCode(code) {}
  HRESULT ErrorCode;
};

// An object of the class on this machine; throws EOleSysError on failure.
// Apartment thread.
ComPtr<IUnknown> CreateComObject(const CLSID& clsid);
// An object of the class on the named machine; throws EOleSysError on
// failure (always, for a machine other than this one). Apartment thread.
ComPtr<IUnknown> CreateRemoteComObject(std::string_view machine, const CLSID& clsid);

// True when `machine` ("", "local", "\\local", any case) names this machine.
bool IsLocalMachineName(std::u16string_view machine);

}  // namespace platform::com

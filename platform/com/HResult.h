#pragma once
// Result codes of COM calls. Values are those of the platform the system was
// written for, so that codes logged or compared by the system keep meaning.

#include <cstdint>

namespace platform::com {

using HRESULT = std::int32_t;

constexpr HRESULT MakeHResult(std::uint32_t bits) { return static_cast<HRESULT>(bits); }
constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
constexpr bool FAILED(HRESULT hr) { return hr < 0; }

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT CO_S_NOTALLINTERFACES = 0x00080012;

inline constexpr HRESULT E_NOTIMPL = MakeHResult(0x80004001u);
inline constexpr HRESULT E_NOINTERFACE = MakeHResult(0x80004002u);
inline constexpr HRESULT E_POINTER = MakeHResult(0x80004003u);
inline constexpr HRESULT E_FAIL = MakeHResult(0x80004005u);
inline constexpr HRESULT E_UNEXPECTED = MakeHResult(0x8000FFFFu);
inline constexpr HRESULT E_ACCESSDENIED = MakeHResult(0x80070005u);
inline constexpr HRESULT E_HANDLE = MakeHResult(0x80070006u);
inline constexpr HRESULT E_OUTOFMEMORY = MakeHResult(0x8007000Eu);
inline constexpr HRESULT E_INVALIDARG = MakeHResult(0x80070057u);

inline constexpr HRESULT OLE_E_ADVISENOTSUPPORTED = MakeHResult(0x80040003u);
inline constexpr HRESULT DV_E_FORMATETC = MakeHResult(0x80040064u);
inline constexpr HRESULT DV_E_TYMED = MakeHResult(0x80040069u);
inline constexpr HRESULT CLASS_E_NOAGGREGATION = MakeHResult(0x80040110u);
inline constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = MakeHResult(0x80040111u);
inline constexpr HRESULT REGDB_E_CLASSNOTREG = MakeHResult(0x80040154u);
inline constexpr HRESULT CONNECT_E_NOCONNECTION = MakeHResult(0x80040200u);
inline constexpr HRESULT CONNECT_E_ADVISELIMIT = MakeHResult(0x80040201u);
inline constexpr HRESULT CONNECT_E_CANNOTCONNECT = MakeHResult(0x80040202u);
inline constexpr HRESULT CO_E_NOTINITIALIZED = MakeHResult(0x800401F0u);
inline constexpr HRESULT CO_E_CLASSSTRING = MakeHResult(0x800401F3u);
inline constexpr HRESULT CO_E_DLLNOTFOUND = MakeHResult(0x800401F8u);
inline constexpr HRESULT CO_E_ERRORINDLL = MakeHResult(0x800401F9u);
inline constexpr HRESULT RPC_E_CHANGED_MODE = MakeHResult(0x80010106u);
inline constexpr HRESULT RPC_E_TOO_LATE = MakeHResult(0x80010119u);
inline constexpr HRESULT RPC_E_WRONG_THREAD = MakeHResult(0x8001010Eu);
inline constexpr HRESULT DISP_E_TYPEMISMATCH = MakeHResult(0x80020005u);
inline constexpr HRESULT DISP_E_BADVARTYPE = MakeHResult(0x80020008u);
inline constexpr HRESULT DISP_E_OVERFLOW = MakeHResult(0x8002000Au);
// Activation on another machine: there is no remote activation on Linux,
// so every such request answers "RPC server unavailable".
inline constexpr HRESULT HRESULT_RPC_S_SERVER_UNAVAILABLE = MakeHResult(0x800706BAu);

// OPC Data Access result codes.
inline constexpr HRESULT OPC_E_INVALIDHANDLE = MakeHResult(0xC0040001u);
inline constexpr HRESULT OPC_E_BADTYPE = MakeHResult(0xC0040004u);
inline constexpr HRESULT OPC_E_BADRIGHTS = MakeHResult(0xC0040006u);
inline constexpr HRESULT OPC_E_UNKNOWNITEMID = MakeHResult(0xC0040007u);
inline constexpr HRESULT OPC_E_INVALIDITEMID = MakeHResult(0xC0040008u);
inline constexpr HRESULT OPC_E_RANGE = MakeHResult(0xC004000Bu);
inline constexpr HRESULT OPC_E_DUPLICATENAME = MakeHResult(0xC004000Cu);
inline constexpr HRESULT OPC_S_UNSUPPORTEDRATE = MakeHResult(0x0004000Du);

}  // namespace platform::com

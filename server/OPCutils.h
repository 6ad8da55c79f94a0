#pragma once
// Thin wrappers around the OPC DA calls the server makes. Each answers the
// HRESULT of its call, E_FAIL when an interface it needs is absent (a null
// argument or a refused QueryInterface).
//
// Main thread (the apartment that owns the interfaces). The calls do not
// pump messages.

#include <cstdint>
#include <string_view>

#include "platform/com/OpcDa.h"

namespace server {

// IOPCServer.AddGroup with no time bias, a deadband of 0 %, locale 0, asked
// for IOPCItemMgt. On failure itemMgt is empty and serverGroup 0; the
// revised update rate is dropped.
platform::com::HRESULT CreateOPCGroup(platform::com::IOPCServer* server, std::string_view name, bool active,
                                      platform::com::DWORD updateRate, platform::com::OPCHANDLE clientGroup,
                                      platform::com::ComPtr<platform::com::IOPCItemMgt>& itemMgt,
                                      platform::com::OPCHANDLE& serverGroup);

// IOPCItemMgt.AddItems with one active item (no access path, no blob).
// When the call succeeds the answer is the item's own code; when that
// succeeds too, serverHandle and canonicalType are set. The result arrays
// (and a blob) are freed.
platform::com::HRESULT AddOPCItem(platform::com::IOPCItemMgt* itemMgt, std::string_view itemId,
                                  platform::com::OPCHANDLE clientHandle, platform::com::VARTYPE& canonicalType,
                                  platform::com::OPCHANDLE& serverHandle, platform::com::VARTYPE requestedType);

// IDataObject.DAdvise of the group for "OPCSTMFORMATDATATIME" in global
// memory, priming first. cookie is 0 on failure.
platform::com::HRESULT AdviseDataObject(platform::com::IUnknown* group, platform::com::IAdviseSink* sink,
                                        std::uint32_t& cookie);
platform::com::HRESULT UnadviseDataObject(platform::com::IUnknown* group, std::uint32_t cookie);

// Connection point IOPCDataCallback of the group: Advise with the sink's
// IUnknown, and Unadvise. cookie is 0 on failure.
platform::com::HRESULT AdviseDataCallback(platform::com::IUnknown* group, platform::com::IUnknown* sink,
                                          std::uint32_t& cookie);
platform::com::HRESULT UnadviseDataCallback(platform::com::IUnknown* group, std::uint32_t cookie);

// IOPCSyncIO.Write of one item; when the call succeeds the answer is the
// item's own code. The errors array is freed.
platform::com::HRESULT WriteOPCItem(platform::com::IUnknown* group, platform::com::OPCHANDLE serverHandle,
                                    const platform::com::VARIANT& value);

}  // namespace server

#pragma once
// The OPC server list object: the classes of this machine's registry that
// implement component categories, with their ProgIDs and names. Its fault
// switch (kServerListControl) withholds IOPCServerList2; its journal gets a
// line per GetClassDetails naming the interface asked.

#include <vector>

#include "peers/opcsim/SimControl.h"
#include "platform/com/OpcDa.h"

namespace opcsim {

// Hands out a fixed list of GUIDs.
class GuidEnumerator final : public platform::com::ComObject<platform::com::IEnumGUID> {
 public:
  explicit GuidEnumerator(std::vector<platform::com::GUID> items) : items_(std::move(items)) {}
  platform::com::HRESULT Next(std::uint32_t count, platform::com::GUID* items, std::uint32_t* fetched) override;
  platform::com::HRESULT Reset() override;

 private:
  std::vector<platform::com::GUID> items_;
  std::size_t position_ = 0;
};

class ServerList final
    : public platform::com::ComObject<platform::com::IOPCServerList, platform::com::IOPCServerList2> {
 public:
  // Classes with at least one of `implemented` under "Implemented
  // Categories" (any class when implementedCount is 0xFFFFFFFF) whose
  // "Required Categories" are all among `required`.
  platform::com::HRESULT EnumClassesOfCategories(std::uint32_t implementedCount, platform::com::CATID* implemented,
                                                 std::uint32_t requiredCount, platform::com::CATID* required,
                                                 platform::com::IEnumGUID** classes) override;
  // ProgID and name of a registered class; REGDB_E_CLASSNOTREG when it has
  // no ProgID.
  platform::com::HRESULT GetClassDetails(const platform::com::CLSID& clsid, platform::com::LPWSTR* progId,
                                         platform::com::LPWSTR* userType) override;
  platform::com::HRESULT GetClassDetails(const platform::com::CLSID& clsid, platform::com::LPWSTR* progId,
                                         platform::com::LPWSTR* userType,
                                         platform::com::LPWSTR* versionIndependentProgId) override;
  platform::com::HRESULT CLSIDFromProgID(platform::com::LPCWSTR progId, platform::com::CLSID* clsid) override;

 protected:
  bool Offers(const platform::com::IID& riid) const override;

 private:
  platform::com::HRESULT Details(const platform::com::CLSID& clsid, platform::com::LPWSTR* progId,
                                 platform::com::LPWSTR* userType, platform::com::LPWSTR* versionIndependentProgId);

  mutable FaultSwitches faults_{std::string(kServerListControl)};
};

}  // namespace opcsim

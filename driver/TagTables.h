#pragma once
// The driver's static tags: for each device prefix, the variables of the
// kernel's routing domain of that name, sorted by prefix, device number and
// address, with an index by the kernel's variable Id.

#include "common/TArray.h"
#include "driver/Dlm_Libs.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace driver {

class TBaseErrorClass;

inline constexpr std::size_t MaxPrefixLength = 255;
inline constexpr std::size_t MaxDomainName = 254;

// Looks the routing domain of that exact name (case-sensitive) up in the
// kernel. False when none. Any thread.
bool FindRoutingDomain(std::string_view prefix, TVLDomainInfo& domain);

// One static tag.
struct TDRVVariable {
  int32_t Id = 0;            // the kernel's variable Id
  std::string Prefix;        // upper case
  int32_t DeviceNumber = -1;
  int32_t Address = -1;
  std::string Name;          // at most 40 characters

  // Sort key: Prefix ":" DeviceNumber "|" Address.
  std::string Key() const;
};

struct TIdIndexEntry {
  int32_t Id = 0;
  int32_t Index = 0;  // position in the variable list
};

// Entries sorted by Id (signed); a second entry of an Id is refused.
class TIdIndexList : public common::TOwningList<TIdIndexEntry, common::TSortedArray> {
 public:
  int32_t Compare(const void* key1, const void* key2) const override;
  // The position stored for id, or -1.
  int32_t IndexOfId(int32_t id) const;
};

// Owned tags in key order; the second tag of a key is refused. Not
// thread-safe: filled at initialisation, then only read.
class TDRVVariableList : public common::TOwningList<TDRVVariable, common::TSortedArray> {
 public:
  // log: where refused tags are reported; may be nullptr.
  explicit TDRVVariableList(TBaseErrorClass* log = nullptr) : log_(log) {}

  int32_t Compare(const void* key1, const void* key2) const override;

  // Adds the tags of the kernel domain named prefix (trimmed, upper case)
  // whose routing string names that prefix. A bad routing string (-12) or
  // a duplicate key (-2) is logged and costs only that tag. False for an
  // empty prefix, a missing domain, or a failed read of the domain's
  // variables (the tags read before stay). The Id index is rebuilt in
  // every case, so it never points at a moved entry.
  bool LoadDomain(std::string_view prefix);

  // LoadDomain for a domain already looked up: reads its VariableCount
  // variables. False when a read fails (the tags read before stay); the Id
  // index is rebuilt either way.
  bool LoadDomainVariables(const TVLDomainInfo& domain, std::string_view prefix);

  // The tag of the kernel Id, or nullptr.
  const TDRVVariable* FindById(int32_t id) const;

  // Indexes every entry's Id at its current position. True.
  bool BuildIdIndex();

  // Empties list and index.
  void Clear();

 private:
  bool LoadVariables(const TVLDomainInfo& domain, const std::string& prefix);
  // Puts tags whose keys are in neither the list nor each other into the
  // list at their places; the list owns them then.
  void Join(std::vector<std::unique_ptr<TDRVVariable>>& found);
  static std::string NormalPrefix(std::string_view prefix);

  TBaseErrorClass* log_;
  TIdIndexList index_;
};

}  // namespace driver

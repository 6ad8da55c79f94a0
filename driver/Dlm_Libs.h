#pragma once
// What the driver imports from the kernel's four libraries. The kernel
// provides them; the driver links against them by name. Every function may
// be called from the kernel's calling thread and from the driver thread.

#include "driver/DrvTypes.h"
#include "exchange/HostRecords.h"

#include <cstddef>
#include <cstdint>

namespace driver {

using exchange::TVLVariableInfo;

#pragma pack(push, 1)
// One routing domain of the kernel.
struct TVLDomainInfo {
  int32_t Size;          // set to 267 by the caller
  int32_t DomainId;
  char Name[255];        // zero-terminated
  int32_t VariableCount;
};
#pragma pack(pop)
static_assert(sizeof(TVLDomainInfo) == 267);
static_assert(offsetof(TVLDomainInfo, Name) == 8);
static_assert(offsetof(TVLDomainInfo, VariableCount) == 263);

inline constexpr int32_t DomainInfoSize = 267;
inline constexpr size_t ProjectInfoSize = 344;   // buffer of PRGGetProjectInfo
inline constexpr size_t NavigatorNameSize = 256;  // buffer of VLNavigatorDialog

}  // namespace driver

extern "C" {

// Quillmere: adds one entry to the kernel log.
void LLAddLogItem(driver::TLogItem item);

// Oxtarrow: 0 on success; buffer (344 bytes) then starts with the
// zero-terminated project path.
int32_t PRGGetProjectInfo(char* buffer);

// Varnloom: the routing domains and variables of the kernel.
int32_t VLGetRoutingDomainNum();
// 0 on success; index 0 .. VLGetRoutingDomainNum() - 1.
int32_t VLGetRoutingDomainInfo(int32_t index, driver::TVLDomainInfo* info);
// Negative on failure; index 0 .. the domain's variable count - 1.
int32_t VLGetVariableInfoByDomainId(int32_t domainId, int32_t index, driver::TVLVariableInfo* info);
// 0 on success; the Int32 out value is not used by the driver.
int32_t VLGetVariableInfoById(int32_t id, int32_t* out, driver::TVLVariableInfo* info);
// 0 on success; name is zero-terminated and compared without case.
int32_t VLGetVariableInfoByName(const char* name, int32_t* out, driver::TVLVariableInfo* info);
// Non-zero when the user chose a tag; its name is then in buffer (256
// bytes, holding the current zero-terminated name on entry).
uint16_t VLNavigatorDialog(driver::HostWindowHandle parent, char* buffer);

// Pennidew: shows an error message.
void ErrorMessageExt(driver::HostWindowHandle parent, const char* caption, const char* message, int32_t flags);

}  // extern "C"

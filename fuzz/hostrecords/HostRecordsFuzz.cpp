// Any bytes as up to eight kernel variable records (761 bytes each, the
// last one padded with zeros), read by the driver into its tag table of
// domain "OPC" and by the server into its variable index from the section.
// Both keep their bounds (names of at most 40 characters, keys unique and
// ordered, every index pointing at its entry), and both take the same
// (device, address) keys for the prefix OPC.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <utility>

#include <unistd.h>

#include "driver/DrvLog.h"
#include "driver/TagTables.h"
#include "exchange/OPCSharedMemory.h"
#include "server/ServerData.h"
#include "server/VariableIndex.h"

namespace {

constexpr int kRecords = 8;
constexpr std::int32_t kDomainId = 7;
constexpr std::size_t kRecordSize = sizeof(exchange::TVLVariableInfo);

exchange::TVLVariableInfo g_records[kRecords];

void Check(bool condition) {
  if (!condition) std::abort();
}

// The driver's section with kRecords variables, and the server's view of it.
std::unique_ptr<exchange::TIntercomInterface>& DriverSection() {
  static std::unique_ptr<exchange::TIntercomInterface> section;
  return section;
}

using Keys = std::set<std::pair<std::int32_t, std::int32_t>>;

Keys DriverKeys() {
  driver::TBaseErrorClass log("");
  driver::TDRVVariableList tags(&log);
  tags.LoadDomain("OPC");
  Keys keys;
  for (std::int32_t i = 0; i < tags.Count(); ++i) {
    const driver::TDRVVariable& tag = *tags.At(i);
    Check(tag.Prefix == "OPC");
    Check(tag.Name.size() <= exchange::kHostNameMax);
    if (i > 0) Check(tags.Compare(tags.At(i - 1), &tag) < 0);
    const driver::TDRVVariable* byId = tags.FindById(tag.Id);
    Check(byId != nullptr && byId->Id == tag.Id);
    keys.emplace(tag.DeviceNumber, tag.Address);
  }
  return keys;
}

Keys ServerKeys() {
  server::TVariableIndex index;
  Check(index.LoadFromShared());
  Keys keys;
  for (std::int32_t i = 0; i < index.Count(); ++i) {
    const server::TVariableIndexItem& item = *index.At(i);
    Check(item.VariableName.size() <= exchange::kHostNameMax && item.Prefix.size() <= 255);
    Check(item.DmlIndex >= 0 && item.DmlIndex < kRecords);
    Check(item.VariableId == g_records[item.DmlIndex].Id);
    Check(index.Find(item.Prefix, item.DeviceAddress, item.TagAddress) == &item);
    if (item.Prefix == "OPC") keys.emplace(item.DeviceAddress, item.TagAddress);
  }
  return keys;
}

}  // namespace

// The kernel's libraries as the driver's tag table calls them: one routing
// domain "OPC" holding the records of the input.
extern "C" {
void LLAddLogItem(driver::TLogItem) {}
int32_t PRGGetProjectInfo(char*) { return -1; }
int32_t VLGetRoutingDomainNum() { return 1; }
int32_t VLGetRoutingDomainInfo(int32_t index, driver::TVLDomainInfo* info) {
  if (index != 0 || info == nullptr) return -1;
  info->DomainId = kDomainId;
  std::memset(info->Name, 0, sizeof info->Name);
  std::memcpy(info->Name, "OPC", 3);
  info->VariableCount = kRecords;
  return 0;
}
int32_t VLGetVariableInfoByDomainId(int32_t domainId, int32_t index, driver::TVLVariableInfo* info) {
  if (domainId != kDomainId || index < 0 || index >= kRecords || info == nullptr) return -1;
  *info = g_records[index];
  return 0;
}
int32_t VLGetVariableInfoById(int32_t, int32_t*, driver::TVLVariableInfo*) { return -1; }
int32_t VLGetVariableInfoByName(const char*, int32_t*, driver::TVLVariableInfo*) { return -1; }
uint16_t VLNavigatorDialog(driver::HostWindowHandle, char*) { return 0; }
void ErrorMessageExt(driver::HostWindowHandle, const char*, const char*, int32_t) {}
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // A namespace of this process, so that the section is its own; the last
  // holder removes it at exit.
  setenv("FERROWICK_IPC_NAMESPACE", ("fwfuzzhost" + std::to_string(::getpid())).c_str(), 1);
  DriverSection() = exchange::TIntercomInterface::Create(exchange::kSectionName, kRecords);
  Check(DriverSection()->IsAttached());
  for (int i = 0; i < kRecords; ++i) Check(DriverSection()->DMLVariables()->Add(exchange::TVLVariableInfo{}));
  server::Intercom = exchange::TIntercomInterface::Open(exchange::kSectionName);
  Check(server::SectionOpen());
  std::atexit([] {
    server::Intercom.reset();
    DriverSection().reset();
  });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > kRecords * kRecordSize) return 0;
  std::memset(g_records, 0, sizeof g_records);
  std::memcpy(g_records, data, size);
  for (int i = 0; i < kRecords; ++i) {
    std::uint8_t* item = DriverSection()->DMLVariables()->ItemPtr(i);
    std::memcpy(item + offsetof(exchange::TDMLVariable, Info), &g_records[i], kRecordSize);
  }
  Check(DriverKeys() == ServerKeys());
  return 0;
}

#include "exchange/HostRecords.h"

#include "platform/os/ByteFields.h"

namespace exchange {

std::string HostRecordName(const std::uint8_t* record) {
  return platform::os::LoadCString(record, offsetof(TVLVariableInfo, Name), kHostNameMax);
}

std::string HostRecordRouting(const std::uint8_t* record) {
  return platform::os::LoadCString(record, offsetof(TVLVariableInfo, Routing), kHostRoutingMax);
}

std::string HostRecordName(const TVLVariableInfo& record) {
  return HostRecordName(reinterpret_cast<const std::uint8_t*>(&record));
}

std::string HostRecordRouting(const TVLVariableInfo& record) {
  return HostRecordRouting(reinterpret_cast<const std::uint8_t*>(&record));
}

}  // namespace exchange

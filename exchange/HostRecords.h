#pragma once
// The kernel's record of one variable, as its variable library fills it and
// as the section carries it. Declared once for the driver, the server and
// the stand-in kernel. Bytes not named here belong to the kernel and are
// carried unchanged.

#include <cstddef>
#include <cstdint>
#include <string>

namespace exchange {

#pragma pack(push, 1)
struct TVLVariableInfo {
  std::int32_t Id;                // variable Id
  char Name[41];                  // zero-terminated name
  char Routing[611];              // zero-terminated routing string, ends before InitialValue
  float InitialValue;             // copied into the current and last-passed values
  std::uint8_t Reserved660[4];
  float LowLimit;                 // a changed value at or below it is passed on
  float HighLimit;                // a changed value at or above it is passed on
  std::uint8_t Reserved672[8];
  float Deadband;                 // smallest change that is passed on
  float Scale;                    // when not 0, decoded values are divided by it
  std::uint8_t Reserved688[73];
};
#pragma pack(pop)

static_assert(sizeof(TVLVariableInfo) == 761);
static_assert(offsetof(TVLVariableInfo, Id) == 0);
static_assert(offsetof(TVLVariableInfo, Name) == 4);
static_assert(offsetof(TVLVariableInfo, Routing) == 45);
static_assert(offsetof(TVLVariableInfo, InitialValue) == 656);
static_assert(offsetof(TVLVariableInfo, LowLimit) == 664);
static_assert(offsetof(TVLVariableInfo, HighLimit) == 668);
static_assert(offsetof(TVLVariableInfo, Deadband) == 680);
static_assert(offsetof(TVLVariableInfo, Scale) == 684);

// Longest name kept from a record; the routing string's room.
inline constexpr std::size_t kHostNameMax = 40;
inline constexpr std::size_t kHostRoutingMax = sizeof(TVLVariableInfo::Routing);

// The texts of a host record, bounded whatever the record holds: the name
// up to its terminator and at most 40 bytes; the routing string up to its
// terminator and never into the value fields at 656. `record` points at
// 761 readable bytes (a record in the section, read in place). Any thread.
std::string HostRecordName(const std::uint8_t* record);
std::string HostRecordRouting(const std::uint8_t* record);
std::string HostRecordName(const TVLVariableInfo& record);
std::string HostRecordRouting(const TVLVariableInfo& record);

}  // namespace exchange

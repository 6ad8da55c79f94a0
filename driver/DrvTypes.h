#pragma once
// Records at the boundary between the kernel and the driver module. They
// cross as bytes: little-endian, no padding, sizes asserted. Window handles
// are the platform's 32-bit handles.

#include <cstddef>
#include <cstdint>

namespace driver {

using HostWindowHandle = uint32_t;

// Result codes at the boundary.
inline constexpr int32_t DLM_OK = 0;
inline constexpr int32_t DLM_DUPLICATE_ADDRESS = -2;
inline constexpr int32_t DLM_EMPTY_PREFIX = -3;
inline constexpr int32_t DLM_REINITIALISED = -4;
inline constexpr int32_t DLM_NOT_INITIALISED = -5;
inline constexpr int32_t DLM_BAD_PARAMETERS = -6;
inline constexpr int32_t DLM_NOT_SUPPORTED = -7;
inline constexpr int32_t DLM_COMMAND_NOT_EXECUTED = -8;

// The kernel's acceptance of a value block, and the wParam that carries it.
inline constexpr int32_t ValueBlockCode = 2002;

#pragma pack(push, 1)

// Passed by value to DLMInitDeviceDrv.
struct TDrvInitRecord {
  HostWindowHandle HostWindow;  // receives value blocks; parent of boxes shown at init
  int32_t MessageId;            // message number of value blocks
  int32_t BlockId;              // copied into every value block
  char DriverDir[4096];         // zero-terminated
  uint8_t Reserved;             // copied, not interpreted
  uint8_t ConfigOnly;           // 1 = configuration-only mode
};
static_assert(sizeof(TDrvInitRecord) == 4110);
static_assert(offsetof(TDrvInitRecord, MessageId) == 4);
static_assert(offsetof(TDrvInitRecord, BlockId) == 8);
static_assert(offsetof(TDrvInitRecord, DriverDir) == 12);
static_assert(offsetof(TDrvInitRecord, Reserved) == 4108);
static_assert(offsetof(TDrvInitRecord, ConfigOnly) == 4109);

// Filled by DLMGetDeviceInfo.
struct TDrvDeviceInfo {
  uint8_t DriverGUID[16];  // Windows binary GUID layout
  char Description[101];   // zero-terminated
  int32_t Values[6];       // -1, -1, -1, 0, 100, 100: the kernel's meaning
  char PrefixList[1025];   // zero-terminated
};
static_assert(sizeof(TDrvDeviceInfo) == 1166);
static_assert(offsetof(TDrvDeviceInfo, Description) == 16);
static_assert(offsetof(TDrvDeviceInfo, Values) == 117);
static_assert(offsetof(TDrvDeviceInfo, PrefixList) == 141);

// One write request of a TDrvWriteBlock.
struct TDrvWriteRecord {
  int32_t Id;        // kernel variable Id of a static tag
  float Value;       // the value to write
  uint32_t Value2;   // passed on to the shared command unchanged
  uint32_t Word3;    // kept in the queue, not passed on
  uint32_t Word4;    // kept in the queue, not passed on
};
static_assert(sizeof(TDrvWriteRecord) == 20);
static_assert(offsetof(TDrvWriteRecord, Value2) == 8);

// Header of the block passed to DLMWriteDataDrv; Count records of 20 bytes
// follow it directly.
struct TDrvWriteBlock {
  int32_t Header;  // not used
  int32_t Count;
};
static_assert(sizeof(TDrvWriteBlock) == 8);

// One value passed to the kernel.
struct TDrvValueRecord {
  int32_t Id;
  float Value;
  float Value2;  // the same value again
  int32_t Time;  // ms since local midnight
  int32_t Date;  // day number, 0001-01-01 = 1
};
static_assert(sizeof(TDrvValueRecord) == 20);
static_assert(offsetof(TDrvValueRecord, Time) == 12);

inline constexpr int32_t ValueBlockCapacity = 1204;

// The memory whose address reaches the kernel window as lParam.
struct TDrvValueBlock {
  int32_t BlockId;
  int32_t Count;  // 0..ValueBlockCapacity
  TDrvValueRecord Records[ValueBlockCapacity];
};
static_assert(sizeof(TDrvValueBlock) == 24088);
static_assert(offsetof(TDrvValueBlock, Records) == 8);

// One entry of the kernel log, passed by value to LLAddLogItem.
struct TLogItem {
  char Source[11];  // zero-terminated, at most 10 characters
  char Text[101];   // zero-terminated, at most 100 characters
  int32_t Code;
  int32_t Time;     // ms since local midnight
  int32_t Date;     // day number, 0001-01-01 = 1
};
static_assert(sizeof(TLogItem) == 124);
static_assert(offsetof(TLogItem, Text) == 11);
static_assert(offsetof(TLogItem, Code) == 112);
static_assert(offsetof(TLogItem, Date) == 120);

#pragma pack(pop)

}  // namespace driver

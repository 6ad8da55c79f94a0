#pragma once
// OPC Data Access 2.0 and OPC Common declarations: the interfaces with
// their published identifiers, the records passed through them, and the
// records of the data streams.
//
// Records that hold pointers are passed by address inside one process; on
// this 64-bit build their pointers are native, so such records are larger
// than on 32-bit Windows (fields keep their order). The stream records hold
// no pointers and keep the 32-bit Windows byte layout exactly.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/com/ComInterfaces.h"
#include "platform/com/Variant.h"
#include "platform/os/Time.h"

namespace platform::com {

using DWORD = std::uint32_t;
using WORD = std::uint16_t;
using OPCHANDLE = std::uint32_t;
using FILETIME = platform::os::FILETIME;

inline constexpr CATID CATID_OPCDAServer20{0x63D5F432, 0xCFE4, 0x11D1, {0xB2, 0xC8, 0x00, 0x60, 0x08, 0x3B, 0xA1, 0xFB}};
// The OPC server list object of OPC Common.
inline constexpr CLSID CLSID_OpcServerList{0x13486D51, 0x4821, 0x11D2, {0xA4, 0x94, 0x3C, 0xB3, 0x06, 0xC1, 0x00, 0x00}};

// Names of the registered clipboard formats of the data streams.
inline constexpr std::string_view kOpcStreamFormatData = "OPCSTMFORMATDATA";
inline constexpr std::string_view kOpcStreamFormatDataTime = "OPCSTMFORMATDATATIME";
inline constexpr std::string_view kOpcStreamFormatWriteComplete = "OPCSTMFORMATWRITECOMPLETE";

// Quality words: the top two bits of the low byte say good, uncertain, bad.
inline constexpr WORD OPC_QUALITY_MASK = 0xC0;
inline constexpr WORD OPC_QUALITY_BAD = 0x00;
inline constexpr WORD OPC_QUALITY_UNCERTAIN = 0x40;
inline constexpr WORD OPC_QUALITY_GOOD = 0xC0;
inline constexpr WORD OPC_QUALITY_COMM_FAILURE = 0x18;
inline constexpr WORD OPC_QUALITY_LOCAL_OVERRIDE = 0xD8;

enum OPCSERVERSTATE : std::uint32_t {
  OPC_STATUS_RUNNING = 1,
  OPC_STATUS_FAILED = 2,
  OPC_STATUS_NOCONFIG = 3,
  OPC_STATUS_SUSPENDED = 4,
  OPC_STATUS_TEST = 5,
  OPC_STATUS_COMM_FAULT = 6,
};

enum OPCDATASOURCE : std::uint32_t { OPC_DS_CACHE = 1, OPC_DS_DEVICE = 2 };

inline constexpr DWORD OPC_READABLE = 1;
inline constexpr DWORD OPC_WRITEABLE = 2;

struct OPCITEMDEF {
  LPWSTR szAccessPath;
  LPWSTR szItemID;
  BOOL bActive;
  OPCHANDLE hClient;
  DWORD dwBlobSize;
  std::uint8_t* pBlob;
  VARTYPE vtRequestedDataType;
  WORD wReserved;
};
static_assert(sizeof(OPCITEMDEF) == 48);  // 28 on 32-bit Windows

// Arrays of these come back in task memory; pBlob too when not null.
struct OPCITEMRESULT {
  OPCHANDLE hServer;
  VARTYPE vtCanonicalDataType;
  WORD wReserved;
  DWORD dwAccessRights;
  DWORD dwBlobSize;
  std::uint8_t* pBlob;
};
static_assert(sizeof(OPCITEMRESULT) == 24);  // 20 on 32-bit Windows

// Comes back in task memory; szVendorInfo too (a separate block, may be null).
struct OPCSERVERSTATUS {
  FILETIME ftStartTime;
  FILETIME ftCurrentTime;
  FILETIME ftLastUpdateTime;
  std::uint32_t dwServerState;  // OPCSERVERSTATE
  DWORD dwGroupCount;
  DWORD dwBandWidth;
  WORD wMajorVersion;
  WORD wMinorVersion;
  WORD wBuildNumber;
  WORD wReserved;
  LPWSTR szVendorInfo;
};
static_assert(offsetof(OPCSERVERSTATUS, dwServerState) == 24);
static_assert(offsetof(OPCSERVERSTATUS, wBuildNumber) == 40);
static_assert(sizeof(OPCSERVERSTATUS) == 56);  // 48 on 32-bit Windows (pointer at 44)

// Data stream: this header, then one item header per item, then the
// values. Sizes and offsets count from the start of the stream.
struct OPCGROUPHEADER {
  DWORD dwSize;
  DWORD dwItemCount;
  OPCHANDLE hClientGroup;
  DWORD dwTransactionID;
  HRESULT hrStatus;
};
static_assert(sizeof(OPCGROUPHEADER) == 20);

// Item header of "OPCSTMFORMATDATATIME".
struct OPCITEMHEADER1 {
  OPCHANDLE hClient;
  DWORD dwValueOffset;
  WORD wQuality;
  WORD wReserved;
  FILETIME ftTimeStampItem;
};
static_assert(sizeof(OPCITEMHEADER1) == 20);
static_assert(offsetof(OPCITEMHEADER1, ftTimeStampItem) == 12);

// Item header of "OPCSTMFORMATDATA".
struct OPCITEMHEADER2 {
  OPCHANDLE hClient;
  DWORD dwValueOffset;
  WORD wQuality;
  WORD wReserved;
};
static_assert(sizeof(OPCITEMHEADER2) == 12);

struct IOPCServer : IUnknown {
  static constexpr IID iid{0x39C13A4D, 0x011E, 0x11D0, {0x96, 0x75, 0x00, 0x20, 0xAF, 0xD8, 0xAD, 0xB3}};
  virtual HRESULT AddGroup(LPCWSTR name, BOOL active, DWORD requestedUpdateRate, OPCHANDLE clientGroup,
                           std::int32_t* timeBias, float* percentDeadband, DWORD lcid,
                           OPCHANDLE* serverGroup, DWORD* revisedUpdateRate, const IID& riid,
                           IUnknown** group) = 0;
  // The status in task memory; the caller frees szVendorInfo and the record.
  virtual HRESULT GetStatus(OPCSERVERSTATUS** status) = 0;
  virtual HRESULT RemoveGroup(OPCHANDLE serverGroup, BOOL force) = 0;

 protected:
  ~IOPCServer() = default;
};

struct IOPCItemMgt : IUnknown {
  static constexpr IID iid{0x39C13A54, 0x011E, 0x11D0, {0x96, 0x75, 0x00, 0x20, 0xAF, 0xD8, 0xAD, 0xB3}};
  // S_OK when every item was added, S_FALSE when some were refused (see
  // `errors`); both arrays are task memory of `count` entries.
  virtual HRESULT AddItems(DWORD count, OPCITEMDEF* items, OPCITEMRESULT** results, HRESULT** errors) = 0;

 protected:
  ~IOPCItemMgt() = default;
};

struct IOPCSyncIO : IUnknown {
  static constexpr IID iid{0x39C13A52, 0x011E, 0x11D0, {0x96, 0x75, 0x00, 0x20, 0xAF, 0xD8, 0xAD, 0xB3}};
  // S_OK when every item was written, S_FALSE when some failed (see `errors`,
  // task memory of `count` entries).
  virtual HRESULT Write(DWORD count, OPCHANDLE* serverHandles, VARIANT* values, HRESULT** errors) = 0;

 protected:
  ~IOPCSyncIO() = default;
};

struct IOPCAsyncIO : IUnknown {
  static constexpr IID iid{0x39C13A53, 0x011E, 0x11D0, {0x96, 0x75, 0x00, 0x20, 0xAF, 0xD8, 0xAD, 0xB3}};
  // Sends every active item of the group to the advise connection
  // `connection` with a new transaction id.
  virtual HRESULT Refresh(DWORD connection, OPCDATASOURCE source, DWORD* transactionId) = 0;

 protected:
  ~IOPCAsyncIO() = default;
};

struct IOPCDataCallback : IUnknown {
  static constexpr IID iid{0x39C13A70, 0x011E, 0x11D0, {0x96, 0x75, 0x00, 0x20, 0xAF, 0xD8, 0xAD, 0xB3}};
  virtual HRESULT OnDataChange(DWORD transactionId, OPCHANDLE group, HRESULT masterQuality,
                               HRESULT masterError, DWORD count, OPCHANDLE* clientItems,
                               VARIANT* values, WORD* qualities, FILETIME* timeStamps,
                               HRESULT* errors) = 0;
  virtual HRESULT OnReadComplete(DWORD transactionId, OPCHANDLE group, HRESULT masterQuality,
                                 HRESULT masterError, DWORD count, OPCHANDLE* clientItems,
                                 VARIANT* values, WORD* qualities, FILETIME* timeStamps,
                                 HRESULT* errors) = 0;
  virtual HRESULT OnWriteComplete(DWORD transactionId, OPCHANDLE group, HRESULT masterError,
                                  DWORD count, OPCHANDLE* clientItems, HRESULT* errors) = 0;
  virtual HRESULT OnCancelComplete(DWORD transactionId, OPCHANDLE group) = 0;

 protected:
  ~IOPCDataCallback() = default;
};

struct IOPCShutdown : IUnknown {
  static constexpr IID iid{0xF31DFDE1, 0x07B6, 0x11D2, {0xB2, 0xD8, 0x00, 0x60, 0x08, 0x3B, 0xA1, 0xFB}};
  virtual HRESULT ShutdownRequest(LPCWSTR reason) = 0;

 protected:
  ~IOPCShutdown() = default;
};

struct IOPCServerList : IUnknown {
  static constexpr IID iid{0x13486D50, 0x4821, 0x11D2, {0xA4, 0x94, 0x3C, 0xB3, 0x06, 0xC1, 0x00, 0x00}};
  // Classes that implement every category of `implemented` and every one of
  // `required`.
  virtual HRESULT EnumClassesOfCategories(std::uint32_t implementedCount, CATID* implemented,
                                          std::uint32_t requiredCount, CATID* required,
                                          IEnumGUID** classes) = 0;
  // Texts in task memory, freed by the caller.
  virtual HRESULT GetClassDetails(const CLSID& clsid, LPWSTR* progId, LPWSTR* userType) = 0;
  virtual HRESULT CLSIDFromProgID(LPCWSTR progId, CLSID* clsid) = 0;

 protected:
  ~IOPCServerList() = default;
};

struct IOPCServerList2 : IUnknown {
  static constexpr IID iid{0x9DD0B56C, 0xAD9E, 0x43EE, {0x83, 0x05, 0x48, 0x7F, 0x31, 0x88, 0xBF, 0x7A}};
  virtual HRESULT EnumClassesOfCategories(std::uint32_t implementedCount, CATID* implemented,
                                          std::uint32_t requiredCount, CATID* required,
                                          IEnumGUID** classes) = 0;
  virtual HRESULT GetClassDetails(const CLSID& clsid, LPWSTR* progId, LPWSTR* userType,
                                  LPWSTR* versionIndependentProgId) = 0;
  virtual HRESULT CLSIDFromProgID(LPCWSTR progId, CLSID* clsid) = 0;

 protected:
  ~IOPCServerList2() = default;
};

}  // namespace platform::com

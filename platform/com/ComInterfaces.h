#pragma once
// The standard COM interfaces the system and its OPC servers use: class
// factories, data objects with advise sinks, connection points and GUID
// enumerators. Methods are declared as far as they are called.

#include <cstdint>

#include "platform/com/DataTransfer.h"
#include "platform/com/Unknown.h"

namespace platform::com {

// A 4-byte truth value: 0 false, anything else true.
using BOOL = std::int32_t;

struct IClassFactory : IUnknown {
  static constexpr IID iid{0x00000001, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
  // A new object of the factory's class, asked for `riid`.
  // CLASS_E_NOAGGREGATION when `outer` is given.
  virtual HRESULT CreateInstance(IUnknown* outer, const IID& riid, void** object) = 0;
  virtual HRESULT LockServer(BOOL lock) = 0;

 protected:
  ~IClassFactory() = default;
};

struct IAdviseSink : IUnknown {
  static constexpr IID iid{0x0000010F, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
  // The medium belongs to the caller and is valid during the call only.
  virtual void OnDataChange(FORMATETC* format, STGMEDIUM* medium) = 0;
  virtual void OnViewChange(std::uint32_t aspect, std::int32_t index) = 0;
  // Monikers are not modelled; the argument is always null.
  virtual void OnRename(IUnknown* moniker) = 0;
  virtual void OnSave() = 0;
  virtual void OnClose() = 0;

 protected:
  ~IAdviseSink() = default;
};

struct IDataObject : IUnknown {
  static constexpr IID iid{0x0000010E, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
  virtual HRESULT DAdvise(FORMATETC* format, std::uint32_t advf, IAdviseSink* sink,
                          std::uint32_t* connection) = 0;
  virtual HRESULT DUnadvise(std::uint32_t connection) = 0;

 protected:
  ~IDataObject() = default;
};

struct IConnectionPoint : IUnknown {
  static constexpr IID iid{0xB196B286, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};
  virtual HRESULT Advise(IUnknown* sink, std::uint32_t* cookie) = 0;
  virtual HRESULT Unadvise(std::uint32_t cookie) = 0;

 protected:
  ~IConnectionPoint() = default;
};

struct IConnectionPointContainer : IUnknown {
  static constexpr IID iid{0xB196B284, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};
  virtual HRESULT FindConnectionPoint(const IID& riid, IConnectionPoint** point) = 0;

 protected:
  ~IConnectionPointContainer() = default;
};

struct IEnumGUID : IUnknown {
  static constexpr IID iid{0x0002E000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
  // Up to `count` GUIDs into `items`; S_OK when all came, S_FALSE when
  // fewer (also none) remained. `fetched` may be null only for count 1.
  virtual HRESULT Next(std::uint32_t count, GUID* items, std::uint32_t* fetched) = 0;
  virtual HRESULT Reset() = 0;

 protected:
  ~IEnumGUID() = default;
};

}  // namespace platform::com

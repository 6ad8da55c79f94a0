#pragma once
// Writing and reading the data streams of the OPC data object: a group
// header, one item header per item (20 bytes with a time stamp, 12
// without), then each item's VARIANT (16 bytes, which hold every value but
// a text: the 8-byte kinds in the value field, a DECIMAL over all 16). A
// VT_BSTR value carries no pointer in the stream; its VARIANT is followed
// by a 4-byte byte count, the UTF-16 characters and a 2-byte zero.
// Everything is little-endian.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "platform/com/OpcDa.h"

namespace platform::com {

struct OpcStreamItem {
  OPCHANDLE hClient;
  WORD wQuality;
  FILETIME timeStamp;
  VARIANT value;  // not owned; a BSTR stays the caller's
};

// The stream bytes of `items`; empty when a value has a type this layer
// does not handle or the stream would exceed kMaxComBlock. Any thread.
std::vector<std::uint8_t> BuildOpcDataStream(OPCHANDLE clientGroup, DWORD transactionId,
                                             HRESULT status, std::span<const OpcStreamItem> items,
                                             bool withTime);
// The same bytes in a new global memory block; null on failure. Any thread.
HGLOBAL WriteOpcDataStream(OPCHANDLE clientGroup, DWORD transactionId, HRESULT status,
                           std::span<const OpcStreamItem> items, bool withTime);

// Reads a stream in place, checking every size, count and offset against
// the bytes actually there. The bytes stay the caller's.
class OpcStreamReader {
 public:
  OpcStreamReader(const std::uint8_t* data, std::size_t size, bool withTime)
      : data_(data), size_(size), limit_(Limit(data, size)), withTime_(withTime) {}

  // The group header; false when the stream is shorter than its header, its
  // dwSize exceeds the bytes there, or its item headers do not fit in it.
  bool ReadHeader(OPCGROUPHEADER& header) const;
  // Item header `index` (below dwItemCount of a header that was read
  // successfully); the time stamp is zero for streams without time. False
  // when it lies outside the stream.
  bool ReadItem(std::uint32_t index, OPCITEMHEADER1& item) const;
  // The VARIANT at `offset` into `value` (a BSTR is copied and owned by
  // `value`). E_INVALIDARG when it, or its text, lies outside dwSize;
  // DISP_E_BADVARTYPE for a type this layer does not handle.
  HRESULT ReadValue(DWORD offset, VARIANT& value) const;

 private:
  // The stream's declared dwSize bounded by size; 0 when it holds no header.
  static std::size_t Limit(const std::uint8_t* data, std::size_t size);
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t limit_;
  bool withTime_;
};

}  // namespace platform::com

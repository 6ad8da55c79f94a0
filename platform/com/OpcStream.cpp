#include "platform/com/OpcStream.h"

#include <bit>
#include <cstring>

namespace platform::com {

static_assert(std::endian::native == std::endian::little, "stream records are little-endian");

namespace {

constexpr std::size_t kVariantSize = sizeof(VARIANT);

std::size_t ItemHeaderSize(bool withTime) {
  return withTime ? sizeof(OPCITEMHEADER1) : sizeof(OPCITEMHEADER2);
}

// Bytes the value takes in the stream; 0 for an unsupported type.
std::size_t ValueSize(const VARIANT& v) {
  if (!IsSupportedVarType(v.vt)) return 0;
  if (v.vt != VT_BSTR) return kVariantSize;
  return kVariantSize + 4 + std::size_t{SysStringLen(v.bstrVal)} * 2 + 2;
}

template <class T>
void Put(std::vector<std::uint8_t>& out, std::size_t offset, const T& value) {
  std::memcpy(out.data() + offset, &value, sizeof value);
}

}  // namespace

std::vector<std::uint8_t> BuildOpcDataStream(OPCHANDLE clientGroup, DWORD transactionId,
                                             HRESULT status, std::span<const OpcStreamItem> items,
                                             bool withTime) {
  std::size_t total = sizeof(OPCGROUPHEADER) + items.size() * ItemHeaderSize(withTime);
  for (const auto& item : items) {
    std::size_t size = ValueSize(item.value);
    if (size == 0) return {};
    total += size;
    if (total > kMaxComBlock) return {};
  }
  if (total > kMaxComBlock) return {};
  std::vector<std::uint8_t> out(total, 0);
  OPCGROUPHEADER header{static_cast<DWORD>(total), static_cast<DWORD>(items.size()), clientGroup,
                        transactionId, status};
  Put(out, 0, header);
  std::size_t headerAt = sizeof(OPCGROUPHEADER);
  std::size_t valueAt = headerAt + items.size() * ItemHeaderSize(withTime);
  for (const auto& item : items) {
    if (withTime) {
      Put(out, headerAt, OPCITEMHEADER1{item.hClient, static_cast<DWORD>(valueAt), item.wQuality, 0,
                                        item.timeStamp});
    } else {
      Put(out, headerAt, OPCITEMHEADER2{item.hClient, static_cast<DWORD>(valueAt), item.wQuality, 0});
    }
    headerAt += ItemHeaderSize(withTime);
    VARIANT copy = item.value;
    if (copy.vt == VT_BSTR) {
      copy.rawValue = 0;  // no pointer crosses in a stream
      Put(out, valueAt, copy);
      std::uint32_t chars = SysStringLen(item.value.bstrVal);
      Put(out, valueAt + kVariantSize, static_cast<std::uint32_t>(chars * 2));
      if (chars != 0) std::memcpy(out.data() + valueAt + kVariantSize + 4, item.value.bstrVal, chars * 2);
    } else {
      Put(out, valueAt, copy);
    }
    valueAt += ValueSize(item.value);
  }
  return out;
}

HGLOBAL WriteOpcDataStream(OPCHANDLE clientGroup, DWORD transactionId, HRESULT status,
                           std::span<const OpcStreamItem> items, bool withTime) {
  std::vector<std::uint8_t> bytes = BuildOpcDataStream(clientGroup, transactionId, status, items, withTime);
  if (bytes.empty()) return nullptr;
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
  if (block == nullptr) return nullptr;
  void* memory = GlobalLock(block);
  if (memory == nullptr) {
    GlobalFree(block);
    return nullptr;
  }
  std::memcpy(memory, bytes.data(), bytes.size());
  GlobalUnlock(block);
  return block;
}

std::size_t OpcStreamReader::Limit(const std::uint8_t* data, std::size_t size) {
  if (data == nullptr || size < sizeof(OPCGROUPHEADER)) return 0;
  DWORD declared = 0;
  std::memcpy(&declared, data, sizeof declared);
  return declared < size ? declared : size;
}

bool OpcStreamReader::ReadHeader(OPCGROUPHEADER& header) const {
  if (data_ == nullptr || size_ < sizeof(OPCGROUPHEADER)) return false;
  OPCGROUPHEADER h;
  std::memcpy(&h, data_, sizeof h);
  if (h.dwSize < sizeof(OPCGROUPHEADER) || h.dwSize > size_) return false;
  std::uint64_t headers = sizeof(OPCGROUPHEADER) + std::uint64_t{h.dwItemCount} * ItemHeaderSize(withTime_);
  if (headers > h.dwSize) return false;
  header = h;
  return true;
}

bool OpcStreamReader::ReadItem(std::uint32_t index, OPCITEMHEADER1& item) const {
  const std::size_t size = ItemHeaderSize(withTime_);
  const std::uint64_t at = sizeof(OPCGROUPHEADER) + std::uint64_t{index} * size;
  if (data_ == nullptr || at + size > limit_) return false;
  // Copies of fixed size straight into item: the short header is the long
  // one's start.
  if (withTime_) {
    std::memcpy(&item, data_ + at, sizeof(OPCITEMHEADER1));
  } else {
    std::memcpy(&item, data_ + at, sizeof(OPCITEMHEADER2));
    item.ftTimeStampItem = {};
  }
  return true;
}

HRESULT OpcStreamReader::ReadValue(DWORD offset, VARIANT& value) const {
  if (data_ == nullptr || std::uint64_t{offset} + kVariantSize > limit_) return E_INVALIDARG;
  VARIANT v;
  std::memcpy(&v, data_ + offset, kVariantSize);
  if (!IsSupportedVarType(v.vt)) return DISP_E_BADVARTYPE;
  if (v.vt != VT_BSTR) {
    VariantClear(&value);
    value = v;
    // A DECIMAL fills the whole VARIANT; every other value its last 8 bytes.
    if (v.vt != VT_DECIMAL) value.wReserved1 = value.wReserved2 = value.wReserved3 = 0;
    return S_OK;
  }
  std::uint64_t countAt = std::uint64_t{offset} + kVariantSize;
  if (countAt + 4 > limit_) return E_INVALIDARG;
  std::uint32_t bytes = 0;
  std::memcpy(&bytes, data_ + countAt, 4);
  if (bytes % 2 != 0 || countAt + 4 + bytes > limit_ || bytes / 2 > kMaxBstrLength) return E_INVALIDARG;
  std::u16string text(bytes / 2, u'\0');
  if (bytes != 0) std::memcpy(text.data(), data_ + countAt + 4, bytes);
  BSTR b = SysAllocString(std::u16string_view(text));
  if (b == nullptr) return E_OUTOFMEMORY;
  VariantClear(&value);
  value.vt = VT_BSTR;
  value.bstrVal = b;
  return S_OK;
}

}  // namespace platform::com

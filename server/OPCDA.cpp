#include "server/OPCDA.h"

#include <cmath>
#include <string>

#include "platform/com/OpcStream.h"
#include "server/ServerData.h"
#include "server/ServerErrors.h"

namespace server {

namespace pc = platform::com;

namespace {

// TagName, a blank and the code's text.
void ReportItemError(const TOPCVariableIndexItem& item, std::int32_t code) {
  if (!ServerErrors) return;
  ServerErrors->ReportText(code, item.TagName + " " + ServerErrors->GetErrorText(code, 0));
}

// The item at a client handle (its position), or nullptr.
TOPCVariableIndexItem* ItemAt(TOPCVariableIndex* items, pc::OPCHANDLE handle) {
  if (items == nullptr || handle >= static_cast<std::uint32_t>(items->Count())) return nullptr;
  return items->At(static_cast<std::int32_t>(handle));
}

// The value as a 4-byte float; a 4-byte float is taken as it is, the most
// common kind and the one conversion that cannot fail.
bool ToSingle(const pc::VARIANT& value, float& out) {
  if (value.vt == pc::VT_R4) {
    out = value.fltVal;
    return true;
  }
  return pc::SUCCEEDED(pc::VariantToSingle(value, out));
}

// One item of a stream: quality, the text test and the value.
void HandleStreamItem(const pc::OpcStreamReader& reader, const pc::OPCITEMHEADER1& header,
                      TOPCVariableIndexItem& item, const TValueCallback& callback) {
  if ((header.wQuality & pc::OPC_QUALITY_MASK) != pc::OPC_QUALITY_GOOD) {
    HandleItemValue(item, false, nullptr, callback);
    return;
  }
  pc::VariantValue value;
  // A value outside the stream or of a kind the layer does not read counts
  // as a failed conversion.
  const bool read = pc::SUCCEEDED(reader.ReadValue(header.dwValueOffset, value.Get()));
  if (read && value.Get().vt == pc::VT_BSTR) {
    ReportItemError(item, ErrorCode::UnsupportedType);
    return;
  }
  float converted = 0.0f;
  const bool ok = read && ToSingle(value.Get(), converted);
  HandleItemValue(item, true, ok ? &converted : nullptr, callback);
}

// A value's handling reads records that lie apart: its OPC item, then the
// item's decoder, its variable in the index and the variable's shared row.
// Between two deliveries they leave the caches, and read in turn each
// would wait for memory. The loop over a stream therefore asks for them
// ahead of its work: the OPC item kFarAhead items ahead, and what the item
// points to kNearAhead items ahead, when the item itself has arrived.
class TStreamLookahead {
 public:
  // count: the items of the stream (its header's dwItemCount).
  TStreamLookahead(const pc::OpcStreamReader& reader, std::uint32_t count, TOPCVariableIndex* items)
      : reader_(reader), count_(count), items_(items) {}

  // Called before the stream's item i is handled, for every i in order.
  void Before(std::uint32_t i) {
    if (const TOPCVariableIndexItem* far = ItemAhead(i, kFarAhead))
      for (std::size_t line = 0; line < sizeof(*far); line += 64)
        __builtin_prefetch(reinterpret_cast<const char*>(far) + line, 1);
    const TOPCVariableIndexItem* near = ItemAhead(i, kNearAhead);
    if (near == nullptr) return;
    if (near->Decoder) __builtin_prefetch(near->Decoder.get());
    if (VariableIndex) VariableIndex->Prefetch(near->VariableHint, near->DmlIndex);
  }

 private:
  static constexpr std::uint32_t kFarAhead = 16;
  static constexpr std::uint32_t kNearAhead = 8;

  // The OPC item of the stream's item i + ahead, or nullptr.
  const TOPCVariableIndexItem* ItemAhead(std::uint32_t i, std::uint32_t ahead) const {
    pc::OPCITEMHEADER1 header{};
    if (i >= count_ || count_ - i <= ahead || !reader_.ReadItem(i + ahead, header)) return nullptr;
    return ItemAt(items_, header.hClient);
  }

  const pc::OpcStreamReader& reader_;
  std::uint32_t count_;
  TOPCVariableIndex* items_;
};

}  // namespace

const TOPCFormats& OPCFormats() {
  static const TOPCFormats formats{pc::RegisterClipboardFormatA(pc::kOpcStreamFormatData),
                                   pc::RegisterClipboardFormatA(pc::kOpcStreamFormatDataTime),
                                   pc::RegisterClipboardFormatA(pc::kOpcStreamFormatWriteComplete)};
  return formats;
}

void HandleItemValue(TOPCVariableIndexItem& item, bool good, const float* value,
                     const TValueCallback& callback) {
  // A NaN or an infinity is no value: as the last value it would fail every
  // later deadband test and freeze the item.
  if (!good || value == nullptr || !std::isfinite(*value)) {
    if (item.Quality == kGoodQuality)
      ReportItemError(item, good ? ErrorCode::TagProcessing : ErrorCode::BadQuality);
    item.Quality = 0;
    return;
  }
  const float deadband = DeadbandForPrecision(static_cast<std::int16_t>(item.Precision));
  if (std::fabs(item.Value - *value) >= deadband || item.Quality != kGoodQuality) {
    item.Value = *value;
    item.Quality = kGoodQuality;
    if (callback) callback(item);
  }
}

// ---------------------------------------------------------------- TOPCAdviseSink

void TOPCAdviseSink::OnDataChange(pc::FORMATETC* format, pc::STGMEDIUM* medium) {
  if (Items == nullptr || format == nullptr || medium == nullptr) return;
  const TOPCFormats& formats = OPCFormats();
  if (format->cfFormat != formats.Data && format->cfFormat != formats.DataTime) return;
  const auto* bytes = static_cast<const std::uint8_t*>(pc::GlobalLock(medium->hGlobal));
  if (bytes == nullptr) return;
  const pc::OpcStreamReader reader(bytes, pc::GlobalSize(medium->hGlobal),
                                   format->cfFormat == formats.DataTime);
  pc::OPCGROUPHEADER header{};
  if (reader.ReadHeader(header) && pc::SUCCEEDED(header.hrStatus)) {
    TStreamLookahead ahead(reader, header.dwItemCount, Items);
    for (std::uint32_t i = 0; i < header.dwItemCount && Items != nullptr; ++i) {
      ahead.Before(i);
      pc::OPCITEMHEADER1 itemHeader{};
      if (!reader.ReadItem(i, itemHeader)) break;
      if (TOPCVariableIndexItem* item = ItemAt(Items, itemHeader.hClient))
        HandleStreamItem(reader, itemHeader, *item, ValueCallback);
    }
  }
  pc::GlobalUnlock(medium->hGlobal);
  if (VariableIndex) VariableIndex->PublishChanges();
}

void TOPCAdviseSink::Detach() {
  Items = nullptr;
  ValueCallback = nullptr;
}

// ---------------------------------------------------------------- TOPCDataCallback

pc::HRESULT TOPCDataCallback::OnDataChange(pc::DWORD, pc::OPCHANDLE, pc::HRESULT, pc::HRESULT, pc::DWORD count,
                                           pc::OPCHANDLE* clientItems, pc::VARIANT* values, pc::WORD* qualities,
                                           pc::FILETIME*, pc::HRESULT*) {
  HandleArrays(count, clientItems, values, qualities);
  return pc::S_OK;
}

pc::HRESULT TOPCDataCallback::OnReadComplete(pc::DWORD, pc::OPCHANDLE, pc::HRESULT, pc::HRESULT,
                                             pc::DWORD count, pc::OPCHANDLE* clientItems, pc::VARIANT* values,
                                             pc::WORD* qualities, pc::FILETIME*, pc::HRESULT*) {
  HandleArrays(count, clientItems, values, qualities);
  return pc::S_OK;
}

void TOPCDataCallback::HandleArrays(pc::DWORD count, const pc::OPCHANDLE* clientItems,
                                    const pc::VARIANT* values, const pc::WORD* qualities) {
  if (clientItems == nullptr || values == nullptr || qualities == nullptr) return;
  for (pc::DWORD i = 0; i < count && Items != nullptr; ++i) {
    TOPCVariableIndexItem* item = ItemAt(Items, clientItems[i]);
    if (item == nullptr) continue;
    float converted = 0.0f;
    const bool good = qualities[i] == pc::OPC_QUALITY_GOOD;
    const bool ok = good && ToSingle(values[i], converted);
    HandleItemValue(*item, good, ok ? &converted : nullptr, ValueCallback);
  }
  if (VariableIndex) VariableIndex->PublishChanges();
}

void TOPCDataCallback::Detach() {
  Items = nullptr;
  ValueCallback = nullptr;
}

// ---------------------------------------------------------------- TOPCShutdown

pc::HRESULT TOPCShutdown::ShutdownRequest(pc::LPCWSTR) {
  if (Callback) Callback();
  return pc::S_OK;
}

}  // namespace server

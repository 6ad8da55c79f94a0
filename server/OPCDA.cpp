#include "server/OPCDA.h"

#include <cmath>
#include <span>
#include <string>
#include <utility>

#include "platform/com/OpcStream.h"
#include "server/ServerData.h"
#include "server/ServerErrors.h"

namespace server {

namespace pc = platform::com;

namespace {

// TagName, a blank and the code's text.
void ReportItemError(const TOPCVariableIndexItem& item, std::int32_t code) {
  if (ServerErrors) ServerErrors->ReportAbout(code, item.TagName);
}

// The item at a client handle (its position), or nullptr.
TOPCVariableIndexItem* ItemAt(TOPCVariableIndex* items, pc::OPCHANDLE handle) {
  if (items == nullptr || handle >= static_cast<std::uint32_t>(items->Count())) return nullptr;
  return items->At(static_cast<std::int32_t>(handle));
}

// The value as a 4-byte float; a 4-byte float is taken as it is, the most
// common kind and the one conversion that cannot fail. An empty value
// carries nothing and fails, although the platform reads it as 0.
bool ToSingle(const pc::VARIANT& value, float& out) {
  if (value.vt == pc::VT_R4) {
    out = value.fltVal;
    return true;
  }
  return value.vt != pc::VT_EMPTY && pc::SUCCEEDED(pc::VariantToSingle(value, out));
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

// Publishes what a data change wrote when its handling ends, also by an
// exception: the values reach the driver, and the next batch reads the
// clock anew (TVariableIndex::WriteValue).
class TPublishAtEnd {
 public:
  TPublishAtEnd() = default;
  ~TPublishAtEnd() {
    if (VariableIndex) VariableIndex->PublishChanges();
  }
  TPublishAtEnd(const TPublishAtEnd&) = delete;
  TPublishAtEnd& operator=(const TPublishAtEnd&) = delete;
};

// Finds the OPC item of each of a data change's count items (itemOf(i),
// nullptr for none) into pass.Items and answers the order of handling.
template <class ItemOf>
std::span<const std::uint32_t> OrderItems(std::uint32_t count, TDataChangePass& pass, ItemOf itemOf) {
  pass.Items.resize(count);
  const std::span<std::int32_t> rows = pass.Order.Rows(count);
  for (std::uint32_t i = 0; i < count; ++i) {
    TOPCVariableIndexItem* item = itemOf(i);
    pass.Items[i] = item;
    rows[i] = item == nullptr ? -1 : item->DmlIndex;
  }
  return pass.Order.Order();
}

// A value's handling reads records that lie apart: its OPC item, then the
// item's decoder, its variable in the index and the variable's shared row.
// Between two deliveries they leave the caches, and read in turn each
// would wait for memory. The loop over a stream therefore asks for them
// ahead of its work: the OPC item kFarAhead items ahead, and what the item
// points to kNearAhead items ahead, when the item itself has arrived.
class TStreamLookahead {
 public:
  // order: the stream positions in the order of handling; items: the OPC
  // item of each position.
  TStreamLookahead(std::span<const std::uint32_t> order, std::span<TOPCVariableIndexItem* const> items)
      : order_(order), items_(items) {}

  // Called before the k-th item of the order is handled, for every k in turn.
  void Before(std::size_t k) {
    if (const TOPCVariableIndexItem* far = ItemAhead(k, kFarAhead))
      for (std::size_t line = 0; line < sizeof(*far); line += 64)
        __builtin_prefetch(reinterpret_cast<const char*>(far) + line, 1);
    const TOPCVariableIndexItem* near = ItemAhead(k, kNearAhead);
    if (near == nullptr) return;
    if (near->Decoder) __builtin_prefetch(near->Decoder.get());
    if (VariableIndex) VariableIndex->Prefetch(near->VariableHint, near->DmlIndex);
  }

 private:
  static constexpr std::size_t kFarAhead = 16;
  static constexpr std::size_t kNearAhead = 8;

  // The OPC item of the order's item k + ahead, or nullptr.
  const TOPCVariableIndexItem* ItemAhead(std::size_t k, std::size_t ahead) const {
    return order_.size() - k <= ahead ? nullptr : items_[order_[k + ahead]];
  }

  std::span<const std::uint32_t> order_;
  std::span<TOPCVariableIndexItem* const> items_;
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
  const TPublishAtEnd publish;
  const pc::OpcStreamReader reader(bytes, pc::GlobalSize(medium->hGlobal),
                                   format->cfFormat == formats.DataTime);
  pc::OPCGROUPHEADER header{};
  if (reader.ReadHeader(header) && pc::SUCCEEDED(header.hrStatus)) {
    // Taken for the call: a data change handled inside a callback gets
    // buffers of its own.
    TDataChangePass pass = std::move(pass_);
    // ReadHeader has checked that every item header lies in the stream.
    const std::span<const std::uint32_t> order =
        OrderItems(header.dwItemCount, pass, [&](std::uint32_t i) -> TOPCVariableIndexItem* {
          pc::OPCITEMHEADER1 itemHeader{};
          return reader.ReadItem(i, itemHeader) ? ItemAt(Items, itemHeader.hClient) : nullptr;
        });
    TStreamLookahead ahead(order, pass.Items);
    // Items goes when the device detaches the sink; the items read above
    // are valid while it is there.
    for (std::size_t k = 0; k < order.size() && Items != nullptr; ++k) {
      ahead.Before(k);
      TOPCVariableIndexItem* item = pass.Items[order[k]];
      pc::OPCITEMHEADER1 itemHeader{};
      if (item != nullptr && reader.ReadItem(order[k], itemHeader))
        HandleStreamItem(reader, itemHeader, *item, ValueCallback);
    }
    pass_ = std::move(pass);
  }
  pc::GlobalUnlock(medium->hGlobal);
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
  const TPublishAtEnd publish;
  TDataChangePass pass = std::move(pass_);  // taken for the call, as in the stream sink
  const std::span<const std::uint32_t> order =
      OrderItems(count, pass, [&](std::uint32_t i) { return ItemAt(Items, clientItems[i]); });
  for (const std::uint32_t i : order) {
    if (Items == nullptr) break;
    TOPCVariableIndexItem* item = pass.Items[i];
    if (item == nullptr) continue;
    float converted = 0.0f;
    const bool good = qualities[i] == pc::OPC_QUALITY_GOOD;
    const bool ok = good && ToSingle(values[i], converted);
    HandleItemValue(*item, good, ok ? &converted : nullptr, ValueCallback);
  }
  pass_ = std::move(pass);
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

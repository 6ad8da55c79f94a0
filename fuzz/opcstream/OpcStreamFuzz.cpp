// Any bytes given to the stream subscription as a data change, in either
// data format: nothing is read outside the stream, and every item keeps its
// contract: quality 0 or 192, a finite last value, and only accepted values
// (good, finite) reach the value callback.
//
// The first byte chooses the format (bit 0: with time stamps), the items'
// precision (bits 1..4) and their rows (bits 5..7: rows that are shared,
// missing, next to each other or far apart, so that both ways of ordering
// the handling run); the rest is the stream.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "platform/com/Memory.h"
#include "server/OPCDA.h"
#include "server/ServerData.h"
#include "server/ServerErrors.h"
#include "server/VariableIndex.h"

namespace {

namespace pc = platform::com;

constexpr int kItems = 4;

void Check(bool condition) {
  if (!condition) std::abort();
}

// Items at client handles 0..kItems-1 (their positions in the index).
std::unique_ptr<server::TOPCVariableIndex> MakeItems(std::int32_t precision, std::uint8_t rowBits) {
  const std::int32_t spread = (rowBits & 1) != 0 ? 1000000 : 1;
  auto items = std::make_unique<server::TOPCVariableIndex>();
  for (int i = 0; i < kItems; ++i) {
    auto item = std::make_unique<server::TOPCVariableIndexItem>();
    item->TagName = "TAG" + std::to_string(kItems - i);  // descending order
    item->Precision = precision;
    item->DmlIndex = ((i + (rowBits >> 1)) % 3 - 1) * spread;
    std::int32_t at = 0;
    if (!items->FindKey(items->ItemKey(item.get()), at)) items->InsertAt(at, item.release());
  }
  return items;
}

void CheckItem(const server::TOPCVariableIndexItem& item) {
  Check(item.Quality == 0 || item.Quality == server::kGoodQuality);
  Check(std::isfinite(item.Value));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  // Errors are formatted as in the server; without a section they go nowhere.
  if (!server::ServerErrors) server::ServerErrors = std::make_unique<server::TBaseErrorClass>();
  const bool withTime = (data[0] & 1) != 0;
  auto items = MakeItems((data[0] >> 1) & 0x0F, static_cast<std::uint8_t>(data[0] >> 5));
  const auto callback = [](const server::TOPCVariableIndexItem& item) {
    Check(item.Quality == server::kGoodQuality);
    CheckItem(item);
  };
  pc::ComPtr<server::TOPCAdviseSink> sink(new server::TOPCAdviseSink(items.get(), callback));

  pc::HGLOBAL block = pc::GlobalAlloc(pc::GMEM_MOVEABLE, size - 1);
  if (block == nullptr) return 0;
  if (size > 1) {
    std::memcpy(pc::GlobalLock(block), data + 1, size - 1);
    pc::GlobalUnlock(block);
  }
  const server::TOPCFormats& formats = server::OPCFormats();
  pc::FORMATETC format{static_cast<pc::CLIPFORMAT>(withTime ? formats.DataTime : formats.Data), nullptr,
                       pc::DVASPECT_CONTENT, -1, pc::TYMED_HGLOBAL};
  pc::STGMEDIUM medium{pc::TYMED_HGLOBAL, block, nullptr};
  // Twice: the second pass meets the items as the first left them.
  sink->OnDataChange(&format, &medium);
  sink->OnDataChange(&format, &medium);
  pc::ReleaseStgMedium(&medium);
  for (int i = 0; i < items->Count(); ++i) CheckItem(*items->At(i));
  sink->Detach();
  return 0;
}

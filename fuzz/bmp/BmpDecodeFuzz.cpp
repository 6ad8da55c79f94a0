// Any bytes given to the BMP reader and the icon image reader either decode
// into a picture of consistent size or raise EInvalidGraphic.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "platform/ui/BmpFormat.h"
#include "platform/ui/Graphic.h"

using namespace platform::ui;

namespace {

void Check(const TDibImage& img) {
  const std::size_t need = DibStride(img.Width, img.Bits) * static_cast<std::size_t>(img.Height);
  if (img.Width <= 0 || img.Height <= 0 || img.Pixels.size() != need) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  try {
    const TDibImage img = DecodeBmp(bytes);
    Check(img);
    const TDibImage again = DecodeBmp(EncodeBmp24(img));
    Check(again);
  } catch (const EInvalidGraphic&) {
  }
  try {
    Check(DecodeIconDib(bytes));
  } catch (const EInvalidGraphic&) {
  }
  return 0;
}

// Any bytes given to the JPEG reader either decode into a picture of
// consistent size or raise EInvalidGraphic; the process never exits.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "platform/ui/Graphic.h"
#include "platform/ui/JpegFormat.h"

using namespace platform::ui;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  try {
    const TDibImage img = DecodeJpeg(std::span<const uint8_t>(data, size), size % 2 == 1);
    const std::size_t need = DibStride(img.Width, 24) * static_cast<std::size_t>(img.Height);
    if (img.Width <= 0 || img.Height <= 0 || img.Bits != 24 || img.Pixels.size() != need) std::abort();
  } catch (const EInvalidGraphic&) {
  }
  return 0;
}

// Any text given to the gradient parser either parses or raises
// EConvertError; whatever it parsed paints into a bitmap of any size and any
// rectangle without touching memory outside the bitmap. The first four
// bytes choose the bitmap's size and the rectangle.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/os/Format.h"
#include "skin/sGradient.h"

namespace ui = platform::ui;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  const int32_t w = data[0] % 64, h = data[1] % 64;
  const ui::TRect rect = ui::Rect(int8_t(data[2]) / 2, int8_t(data[3]) / 2, int8_t(data[2]), int8_t(data[3]) * 2);
  const std::string_view text(reinterpret_cast<const char*>(data + 4), size - 4);
  skin::TsGradArray bands;
  try {
    skin::ParseGradientData(text, bands);
  } catch (const platform::os::EConvertError&) {
  }
  if (bands.size() > skin::kMaxGradientText / 2) __builtin_trap();
  ui::TBitmap bitmap;
  bitmap.SetSize(w, h);
  skin::PaintGradient(bitmap, rect, bands);
  return 0;
}

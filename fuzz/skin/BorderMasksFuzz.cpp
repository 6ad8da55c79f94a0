// Any mask, destination size, look and point given to the border mask
// painters paints within the destination and cuts only inside the region.
// Bytes: destination width and height, mask width and height, look, point
// x and y, then the mask's pixels (repeated as needed).

#include <cstddef>
#include <cstdint>

#include "platform/ui/Region.h"
#include "skin/sBorderMasks.h"

namespace ui = platform::ui;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size < 8) return 0;
  const int32_t dw = data[0] % 128, dh = data[1] % 64, mw = data[2], mh = data[3] % 128;
  const int32_t look = int8_t(data[4]) % 4;
  const ui::TPoint at{int8_t(data[5]), int8_t(data[6])};
  const uint8_t* pixels = data + 7;
  const std::size_t count = size - 7;
  ui::TBitmap mask;
  mask.SetSize(mw, mh);
  std::size_t k = 0;
  for (int32_t y = 0; y < mh && mw > 0; ++y) {
    uint8_t* row = mask.ScanLine(y);
    for (int32_t x = 0; x < 3 * mw; ++x) row[x] = pixels[k++ % count];
  }
  ui::TBitmap dest;
  dest.SetSize(dw, dh);
  const ui::HRGN region = ui::CreateRectRgn(0, 0, dw, dh);
  skin::PaintMaskedBorders(dest, mask, look, true, ui::clFuchsia, region);
  ui::TRect box;
  if (ui::GetRgnBox(region, &box) == ui::COMPLEXREGION || box.Width() > 0)
    if (box.Left < 0 || box.Top < 0 || box.Right > dw || box.Bottom > dh) __builtin_trap();
  ui::DeleteObject(region);
  skin::PaintStateMask(dest, mask, at, ui::clFuchsia, look);
  skin::BlendRectWithColor(dest, ui::Rect(at.X, at.Y, at.X + mw, at.Y + mh), data[2] % 101, ui::clBtnFace);
  return 0;
}

#pragma once
// Bitmaps for the skin tests: filled ones, pixels read as colours, and the
// count of pixels that differ from a colour.

#include <cstdint>
#include <memory>

#include "platform/ui/Bitmap.h"
#include "platform/ui/Colors.h"

namespace skintest {

using platform::ui::TBitmap;
using platform::ui::TColor;

inline void Fill(TBitmap& b, TColor c) {
  for (int32_t y = 0; y < b.Height(); ++y) {
    uint8_t* p = b.ScanLine(y);
    for (int32_t x = 0; x < b.Width(); ++x, p += 3) {
      p[0] = platform::ui::GetBValue(c);
      p[1] = platform::ui::GetGValue(c);
      p[2] = platform::ui::GetRValue(c);
    }
  }
}

inline std::unique_ptr<TBitmap> Filled(int32_t w, int32_t h, TColor c) {
  auto b = std::make_unique<TBitmap>();
  b->SetSize(w, h);
  Fill(*b, c);
  return b;
}

inline TColor At(const TBitmap& b, int32_t x, int32_t y) {
  const uint8_t* p = b.ScanLine(y) + 3 * x;
  return platform::ui::RGB(p[2], p[1], p[0]);
}

inline void Put(TBitmap& b, int32_t x, int32_t y, TColor c) {
  uint8_t* p = b.ScanLine(y) + 3 * x;
  p[0] = platform::ui::GetBValue(c);
  p[1] = platform::ui::GetGValue(c);
  p[2] = platform::ui::GetRValue(c);
}

inline TColor Grey(int v) { return platform::ui::RGB(uint8_t(v), uint8_t(v), uint8_t(v)); }

// Pixels of b that are not c.
inline int CountOther(const TBitmap& b, TColor c) {
  int n = 0;
  for (int32_t y = 0; y < b.Height(); ++y)
    for (int32_t x = 0; x < b.Width(); ++x) n += At(b, x, y) != c;
  return n;
}

}  // namespace skintest

#pragma once
// Helpers of the drawing tests: bitmaps as rows of characters, one
// character per pixel by colour.

#include <map>
#include <string>
#include <vector>

#include "platform/ui/Bitmap.h"
#include "platform/ui/Colors.h"

namespace drawtest {

using platform::ui::TBitmap;
using platform::ui::TColor;

// A white bitmap of the given size.
inline TBitmap& Blank(TBitmap& b, int w, int h) {
  b.SetSize(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) b.Canvas().SetPixel(x, y, platform::ui::clWhite);
  return b;
}

// Reads the pixels directly (not through the canvas and its clip).
// '.' white, '#' black, 'R' red, 'G' green, 'B' blue, '?' anything else.
inline std::vector<std::string> Art(TBitmap& b) {
  static const std::map<TColor, char> kNames = {{platform::ui::clWhite, '.'}, {platform::ui::clBlack, '#'},
                                                {platform::ui::clRed, 'R'},   {platform::ui::clLime, 'G'},
                                                {platform::ui::clBlue, 'B'}};
  std::vector<std::string> rows;
  for (int y = 0; y < b.Height(); ++y) {
    std::string row;
    for (int x = 0; x < b.Width(); ++x) {
      const uint8_t* p = b.ScanLine(y) + x * b.BytesPerPixel();
      auto it = kNames.find(platform::ui::RGB(p[2], p[1], p[0]));
      row += it == kNames.end() ? '?' : it->second;
    }
    rows.push_back(row);
  }
  return rows;
}

}  // namespace drawtest

// Any hint text through the markup renderer, measured and drawn on a
// small bitmap: it either renders or raises EConvertError (a SIZE that is
// not a number), never touches memory outside the bitmap, and reports a
// size that is never negative. The first byte chooses the area's corner.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/os/Format.h"
#include "skin/sHtmlParse.h"

namespace ui = platform::ui;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const ui::TRect area = ui::Rect(data[0] % 16, data[0] / 16, 200, 0);
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  ui::TBitmap bitmap;
  bitmap.SetSize(64, 32);
  bitmap.Canvas().Brush().SetStyle(ui::TBrushStyle::bsClear);
  skin::TsHtml html;
  html.Init(&bitmap, text, area);
  ui::TRect r{};
  try {
    html.Render(r);
  } catch (const platform::os::EConvertError&) {
    return 0;
  }
  if (r.Left != 0 || r.Top != 0 || r.Right < 0 || r.Bottom < area.Top) __builtin_trap();
  if (bitmap.Canvas().Font().Size() > skin::kMaxHtmlFontSize || bitmap.Canvas().Font().Size() < -skin::kMaxHtmlFontSize)
    __builtin_trap();
  return 0;
}

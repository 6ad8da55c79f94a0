#include "skin/sGradient.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/os/Convert.h"
#include "platform/ui/Application.h"
#include "platform/ui/Buttons.h"
#include "platform/ui/Form.h"
#include "platform/ui/Label.h"

namespace skin {

namespace ui = platform::ui;

namespace {

constexpr std::string_view kGradientDelimiters = ";";

bool IsDelimiter(char c, std::string_view delimiters) { return delimiters.find(c) != std::string_view::npos; }

// Start (0-based) and length of the n-th word, or npos.
std::pair<std::size_t, std::size_t> WordAt(int32_t n, std::string_view text, std::string_view delimiters) {
  std::size_t i = 0;
  for (int32_t k = 1; k <= n; ++k) {
    while (i < text.size() && IsDelimiter(text[i], delimiters)) ++i;
    if (i == text.size()) break;
    const std::size_t start = i;
    while (i < text.size() && !IsDelimiter(text[i], delimiters)) ++i;
    if (k == n) return {start, i - start};
  }
  return {std::string_view::npos, 0};
}

// Channel accumulators of one band, stepped per row or column.
struct TChannels {
  double B, G, R;
  double StepB, StepG, StepR;

  TChannels(uint32_t c1, uint32_t c2, int32_t steps) {
    uint8_t a[3], z[3];
    ColorToBGR(c1, a);
    ColorToBGR(c2, z);
    B = a[0];
    G = a[1];
    R = a[2];
    StepB = (double(z[0]) - a[0]) / steps;
    StepG = (double(z[1]) - a[1]) / steps;
    StepR = (double(z[2]) - a[2]) / steps;
  }
  // The current colour as scan-line bytes (rounded, halves to even).
  void Put(uint8_t* p) const {
    p[0] = static_cast<uint8_t>(std::nearbyint(B));
    p[1] = static_cast<uint8_t>(std::nearbyint(G));
    p[2] = static_cast<uint8_t>(std::nearbyint(R));
  }
  void Step() {
    B += StepB;
    G += StepG;
    R += StepR;
  }
};

void FillRow(uint8_t* row, int32_t left, int32_t right, const uint8_t bgr[3]) {
  uint8_t* p = row + 3 * left;
  for (int32_t x = left; x < right; ++x, p += 3) {
    p[0] = bgr[0];
    p[1] = bgr[1];
    p[2] = bgr[2];
  }
}

// Rows from the top down; each band ends at its Color2 and the next band's
// first row overwrites that row. The rectangle's last row ends every band.
void PaintVertical(ui::TBitmap& bitmap, const ui::TRect& r, const TsGradArray& bands) {
  const int32_t lastRow = std::min(r.Bottom - 1, bitmap.Height() - 1);
  int32_t y = r.Top;
  for (std::size_t i = 0; i < bands.size(); ++i) {
    const bool last = i + 1 == bands.size();
    const int32_t start = y;
    y = last ? bitmap.Height() - 1 : start + r.Height() * bands[i].Percent / 100;
    if (y - start <= 0) continue;
    if (last || y > lastRow) y = lastRow;
    if (y <= start) return;
    TChannels ch(bands[i].Color1, bands[i].Color2, y - start);
    for (int32_t row = start; row <= y; ++row, ch.Step()) {
      uint8_t bgr[3];
      ch.Put(bgr);
      FillRow(bitmap.ScanLine(row), r.Left, r.Right, bgr);
    }
  }
}

// One row is computed and copied to every row of the rectangle. The last
// band runs to the bitmap's last column; bands are clipped to it.
void PaintHorizontal(ui::TBitmap& bitmap, const ui::TRect& r, const TsGradArray& bands) {
  const int32_t lastColumn = bitmap.Width() - 1;
  uint8_t* first = bitmap.ScanLine(r.Top);
  int32_t x = r.Left;
  int32_t painted = x;  // columns [r.Left, painted) of the first row hold the gradient
  for (std::size_t i = 0; i < bands.size(); ++i) {
    const int32_t start = x;
    x = i + 1 == bands.size() ? lastColumn : start + r.Width() * bands[i].Percent / 100;
    x = std::min(x, lastColumn);
    if (x - start <= 0) continue;
    TChannels ch(bands[i].Color1, bands[i].Color2, x - start);
    for (int32_t col = start; col <= x; ++col, ch.Step()) ch.Put(first + 3 * col);
    painted = std::max(painted, x + 1);
  }
  if (painted <= r.Left) return;
  const std::size_t bytes = 3 * static_cast<std::size_t>(painted - r.Left);
  for (int32_t row = r.Top + 1; row < r.Bottom; ++row)
    std::memcpy(bitmap.ScanLine(row) + 3 * r.Left, first + 3 * r.Left, bytes);
}

}  // namespace

void ColorToBGR(uint32_t color, uint8_t bgr[3]) {
  bgr[0] = static_cast<uint8_t>(color >> 16);
  bgr[1] = static_cast<uint8_t>(color >> 8);
  bgr[2] = static_cast<uint8_t>(color);
}

void ParseGradientData(std::string_view text, TsGradArray& bands) {
  bands.clear();
  text = text.substr(0, kMaxGradientText);
  if (text.empty()) return;
  const std::vector<std::string_view> words = SplitWords(text, kGradientDelimiters);
  bands.resize(words.size() / 5);
  for (std::size_t i = 0; i < bands.size(); ++i) {
    TsGradItem& band = bands[i];
    const std::string_view* w = &words[5 * i];
    band.Color1 = static_cast<uint32_t>(StrToIntOrRaise(w[0]));
    band.Color2 = static_cast<uint32_t>(StrToIntOrRaise(w[1]));
    band.Percent = static_cast<uint8_t>(StrToIntOrRaise(w[2]));
    band.Mode = StrToIntOrRaise(w[3]);
  }
}

void PaintGradient(ui::TBitmap& bitmap, const ui::TRect& rect, const TsGradArray& bands) {
  ui::TRect r = rect;
  r.Right = std::min(r.Right, bitmap.Width());
  r.Bottom = std::min(r.Bottom, bitmap.Height());
  r.Left = std::max(r.Left, 0);
  r.Top = std::max(r.Top, 0);
  if (bands.empty() || r.Right <= r.Left || r.Bottom <= r.Top) return;
  if (bands[0].Mode == 0)
    PaintVertical(bitmap, r, bands);
  else if (bands[0].Mode == 1)
    PaintHorizontal(bitmap, r, bands);
}

int32_t CountWords(std::string_view text, std::string_view delimiters) {
  int32_t count = 0;
  bool inWord = false;
  for (char c : text) {
    const bool word = !IsDelimiter(c, delimiters);
    if (word && !inWord) ++count;
    inWord = word;
  }
  return count;
}

std::vector<std::string_view> SplitWords(std::string_view text, std::string_view delimiters) {
  std::vector<std::string_view> words;
  std::size_t i = 0;
  while (true) {
    while (i < text.size() && IsDelimiter(text[i], delimiters)) ++i;
    if (i == text.size()) return words;
    const std::size_t start = i;
    while (i < text.size() && !IsDelimiter(text[i], delimiters)) ++i;
    words.push_back(text.substr(start, i - start));
  }
}

int32_t StrToIntOrRaise(std::string_view word) {
  int32_t value = 0;
  if (!platform::os::TryStrToInt(word, value))
    throw platform::os::EConvertError("'" + std::string(word) + "' is not a valid integer value");
  return value;
}

int32_t FindWordStart(int32_t n, std::string_view text, std::string_view delimiters) {
  const auto start = WordAt(n, text, delimiters).first;
  return start == std::string_view::npos ? 0 : static_cast<int32_t>(start) + 1;
}

std::string GetWord(int32_t n, std::string_view text, std::string_view delimiters) {
  const auto [start, length] = WordAt(n, text, delimiters);
  return start == std::string_view::npos ? std::string() : std::string(text.substr(start, length));
}

int32_t CombineTransparency(int32_t a, int32_t b) {
  return static_cast<int32_t>(std::nearbyint(b + (100.0 - b) * a / 100.0));
}

void ShowErrorMessage(std::string_view text) {
  constexpr int32_t kTextWidth = 320;
  constexpr int32_t kMargin = 16;
  auto form = ui::CreateOwned<ui::TForm>(nullptr);
  form->SetName(std::string(kErrorFormName));
  form->SetCaption(ui::Application().Title());
  form->SetBorderStyle(ui::TFormBorderStyle::bsDialog);
  form->SetPosition(ui::TPosition::poScreenCenter);

  ui::TBitmap measure;
  measure.Canvas().Font().Assign(&form->Font());
  ui::TRect box = ui::Rect(0, 0, kTextWidth, 0);
  measure.Canvas().DrawText(text, box, ui::DT_CALCRECT | ui::DT_WORDBREAK | ui::DT_NOPREFIX);

  auto* label = ui::Create<ui::TLabel>(form.get());
  label->SetName(std::string(kErrorTextName));
  label->SetParent(form.get());
  label->SetWordWrap(true);
  label->SetBounds(kMargin, kMargin, kTextWidth, box.Height());
  label->SetCaption(text);

  auto* ok = ui::Create<ui::TButton>(form.get());
  ok->SetName(std::string(kErrorOkName));
  ok->SetParent(form.get());
  ok->SetCaption("OK");
  ok->SetBounds(kMargin + (kTextWidth - 75) / 2, 2 * kMargin + box.Height(), 75, 25);
  ok->SetDefault(true);
  ok->SetCancel(true);
  ok->SetModalResult(ui::mrOk);

  form->SetClientWidth(kTextWidth + 2 * kMargin);
  form->SetClientHeight(3 * kMargin + box.Height() + 25);
  form->ShowModal();
}

}  // namespace skin

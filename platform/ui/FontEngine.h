#pragma once
// Glyphs and metrics of TFont through FreeType and the DejaVu fonts.
// Every face name maps to DejaVu Sans (regular, bold, oblique, bold
// oblique). A negative TFont height is the character height in pixels, a
// positive one the cell height, 0 the default of 8 points. Glyphs are
// rendered without anti-aliasing unless it is switched on, so that pixels
// do not depend on the renderer's grey levels. Text is CP1251.
// Thread-safe: one engine per process, guarded by a lock.

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui/Font.h"

namespace platform::ui {

struct TTextMetrics {
  int32_t Ascent = 0;   // pixels above the baseline
  int32_t Descent = 0;  // pixels below it
  int32_t Height = 0;   // Ascent + Descent: one line
  int32_t AveCharWidth = 0;
  int32_t UnderlineOffset = 0;  // rows below the baseline
  int32_t LineThickness = 1;    // of underline and strike-out
  int32_t StrikeOffset = 0;     // rows above the baseline
};

// One rendered character: Coverage holds Width x Rows bytes (0 = no ink,
// 255 = full ink; grey levels only with anti-aliasing).
struct TGlyph {
  int32_t Left = 0;  // from the pen position to the first column
  int32_t Top = 0;   // from the baseline up to the first row
  int32_t Width = 0;
  int32_t Rows = 0;
  int32_t Advance = 0;
  std::vector<uint8_t> Coverage;
};

class FontEngine {
 public:
  // The process's engine (created on first use).
  static FontEngine& Instance();
  ~FontEngine();
  FontEngine(const FontEngine&) = delete;
  FontEngine& operator=(const FontEngine&) = delete;

  // False when FreeType or the font files could not be loaded; then text
  // measures 0 and draws nothing, and Error() says why.
  bool Available() const { return available_; }
  const std::string& Error() const { return error_; }

  TTextMetrics Metrics(const TFont& font);
  // The glyph of a CP1251 byte (a byte without a character gives the
  // font's missing-glyph box). Never null.
  std::shared_ptr<const TGlyph> Glyph(const TFont& font, uint8_t ch);
  // Sum of the advances of the bytes.
  int32_t TextWidth(const TFont& font, std::string_view text);

  void SetAntialiased(bool on);
  bool Antialiased() const;

  // Where the font files are looked for.
  static constexpr const char* kFontDir = "/usr/share/fonts/truetype/dejavu/";

 private:
  FontEngine();
  struct Face;
  struct SizeKey {
    int FaceIndex;
    int PixelEm;
    bool Aa;
    auto operator<=>(const SizeKey&) const = default;
  };
  struct SizeCache {
    TTextMetrics Metrics;
    std::shared_ptr<const TGlyph> Glyphs[256];
  };
  SizeKey KeyOf(const TFont& font) const;
  SizeCache& CacheFor(const SizeKey& key);
  std::shared_ptr<const TGlyph> Render(const SizeKey& key, uint8_t ch);

  mutable std::mutex lock_;
  bool available_ = false;
  bool antialiased_ = false;
  std::string error_;
  void* library_ = nullptr;  // FT_Library
  std::vector<std::unique_ptr<Face>> faces_;
  std::map<SizeKey, std::unique_ptr<SizeCache>> sizes_;
};

}  // namespace platform::ui

#include "platform/ui/FontEngine.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>

#include "platform/os/Text.h"

namespace platform::ui {

namespace {

// Regular, bold, oblique, bold oblique; indexed by (bold | italic << 1).
constexpr const char* kFaceFiles[4] = {"DejaVuSans.ttf", "DejaVuSans-Bold.ttf", "DejaVuSans-Oblique.ttf",
                                       "DejaVuSans-BoldOblique.ttf"};
// Glyph sizes are bounded so that a silly font height cannot ask for huge
// glyph bitmaps.
constexpr int kMaxPixelEm = 400;
constexpr int kDefaultPixelEm = 11;  // 8 points at 96 dpi
// Cached sizes before the cache is emptied.
constexpr std::size_t kMaxCachedSizes = 64;

char32_t CodePoint(uint8_t ch) {
  if (ch < 0x80) return ch;
  return platform::os::detail::kCp1251High[ch - 0x80];
}

int32_t RoundPixels(FT_Pos v26_6) { return static_cast<int32_t>((v26_6 + 32) >> 6); }

}  // namespace

struct FontEngine::Face {
  FT_Face Handle = nullptr;
  ~Face() {
    if (Handle != nullptr) FT_Done_Face(Handle);
  }
};

FontEngine& FontEngine::Instance() {
  static FontEngine engine;
  return engine;
}

FontEngine::FontEngine() {
  FT_Library lib = nullptr;
  if (FT_Init_FreeType(&lib) != 0) {
    error_ = "FreeType cannot start";
    return;
  }
  library_ = lib;
  for (const char* file : kFaceFiles) {
    auto face = std::make_unique<Face>();
    const std::string path = std::string(kFontDir) + file;
    if (FT_New_Face(lib, path.c_str(), 0, &face->Handle) != 0) {
      face->Handle = nullptr;
      error_ = "Cannot load font " + path;
      return;
    }
    faces_.push_back(std::move(face));
  }
  available_ = true;
}

FontEngine::~FontEngine() {
  sizes_.clear();
  faces_.clear();
  if (library_ != nullptr) FT_Done_FreeType(static_cast<FT_Library>(library_));
}

void FontEngine::SetAntialiased(bool on) {
  std::lock_guard guard(lock_);
  antialiased_ = on;
}

bool FontEngine::Antialiased() const {
  std::lock_guard guard(lock_);
  return antialiased_;
}

FontEngine::SizeKey FontEngine::KeyOf(const TFont& font) const {
  const int faceIndex = ((font.Style() & fsBold) != 0 ? 1 : 0) | ((font.Style() & fsItalic) != 0 ? 2 : 0);
  int em = kDefaultPixelEm;
  const int height = font.Height();
  if (height < 0) {
    em = -height;
  } else if (height > 0 && available_) {
    // A cell height: scale by em / (ascender + descender) of the face.
    const FT_Face f = faces_[static_cast<std::size_t>(faceIndex)]->Handle;
    const double cell = static_cast<double>(f->ascender - f->descender);
    em = static_cast<int>(std::nearbyint(height * static_cast<double>(f->units_per_EM) / cell));
  }
  em = std::clamp(em, 1, kMaxPixelEm);
  return SizeKey{faceIndex, em, antialiased_};
}

FontEngine::SizeCache& FontEngine::CacheFor(const SizeKey& key) {
  auto it = sizes_.find(key);
  if (it != sizes_.end()) return *it->second;
  if (sizes_.size() >= kMaxCachedSizes) sizes_.clear();
  auto cache = std::make_unique<SizeCache>();
  const FT_Face f = faces_[static_cast<std::size_t>(key.FaceIndex)]->Handle;
  FT_Set_Pixel_Sizes(f, 0, static_cast<FT_UInt>(key.PixelEm));
  const FT_Size_Metrics& sm = f->size->metrics;
  TTextMetrics& m = cache->Metrics;
  m.Ascent = RoundPixels(sm.ascender);
  m.Descent = RoundPixels(-sm.descender);
  m.Height = m.Ascent + m.Descent;
  const double scale = static_cast<double>(key.PixelEm) / f->units_per_EM;
  const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(f, FT_SFNT_OS2));
  m.AveCharWidth = os2 != nullptr ? static_cast<int32_t>(std::nearbyint(os2->xAvgCharWidth * scale)) : key.PixelEm / 2;
  m.LineThickness = std::max(1, static_cast<int32_t>(std::nearbyint(f->underline_thickness * scale)));
  m.UnderlineOffset = std::max(1, static_cast<int32_t>(std::nearbyint(-f->underline_position * scale)));
  m.StrikeOffset = std::max(1, m.Ascent * 3 / 10);
  return *sizes_.emplace(key, std::move(cache)).first->second;
}

std::shared_ptr<const TGlyph> FontEngine::Render(const SizeKey& key, uint8_t ch) {
  auto glyph = std::make_shared<TGlyph>();
  const FT_Face f = faces_[static_cast<std::size_t>(key.FaceIndex)]->Handle;
  FT_Set_Pixel_Sizes(f, 0, static_cast<FT_UInt>(key.PixelEm));
  const char32_t cp = CodePoint(ch);
  const FT_UInt index = cp == 0 && ch != 0 ? 0 : FT_Get_Char_Index(f, cp);
  const FT_Int32 flags = FT_LOAD_RENDER | (key.Aa ? FT_LOAD_TARGET_NORMAL : FT_LOAD_TARGET_MONO);
  if (FT_Load_Glyph(f, index, flags) != 0) return glyph;  // nothing to draw, no advance
  const FT_GlyphSlot slot = f->glyph;
  const FT_Bitmap& bm = slot->bitmap;
  glyph->Left = slot->bitmap_left;
  glyph->Top = slot->bitmap_top;
  glyph->Width = static_cast<int32_t>(bm.width);
  glyph->Rows = static_cast<int32_t>(bm.rows);
  glyph->Advance = RoundPixels(slot->advance.x);
  glyph->Coverage.assign(static_cast<std::size_t>(glyph->Width) * static_cast<std::size_t>(glyph->Rows), 0);
  for (int32_t y = 0; y < glyph->Rows; ++y) {
    const unsigned char* row = bm.buffer + static_cast<std::ptrdiff_t>(y) * bm.pitch;
    for (int32_t x = 0; x < glyph->Width; ++x) {
      uint8_t v = 0;
      if (bm.pixel_mode == FT_PIXEL_MODE_MONO)
        v = ((row[x / 8] >> (7 - x % 8)) & 1) != 0 ? 255 : 0;
      else if (bm.pixel_mode == FT_PIXEL_MODE_GRAY)
        v = row[x];
      glyph->Coverage[static_cast<std::size_t>(y) * static_cast<std::size_t>(glyph->Width) + static_cast<std::size_t>(x)] = v;
    }
  }
  return glyph;
}

TTextMetrics FontEngine::Metrics(const TFont& font) {
  std::lock_guard guard(lock_);
  if (!available_) return {};
  return CacheFor(KeyOf(font)).Metrics;
}

std::shared_ptr<const TGlyph> FontEngine::Glyph(const TFont& font, uint8_t ch) {
  std::lock_guard guard(lock_);
  if (!available_) return std::make_shared<TGlyph>();
  const SizeKey key = KeyOf(font);
  SizeCache& cache = CacheFor(key);
  auto& slot = cache.Glyphs[ch];
  if (!slot) slot = Render(key, ch);
  return slot;
}

int32_t FontEngine::TextWidth(const TFont& font, std::string_view text) {
  std::lock_guard guard(lock_);
  if (!available_) return 0;
  const SizeKey key = KeyOf(font);
  SizeCache& cache = CacheFor(key);
  int32_t width = 0;
  for (char c : text) {
    auto& slot = cache.Glyphs[static_cast<uint8_t>(c)];
    if (!slot) slot = Render(key, static_cast<uint8_t>(c));
    width += slot->Advance;
  }
  return width;
}

}  // namespace platform::ui

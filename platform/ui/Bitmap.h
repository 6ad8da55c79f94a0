#pragma once
// TBitmap: an in-memory picture of 24 (default) or 32 bits per pixel.
// Rows are top-down, each B,G,R (plus an unused fourth byte at 32 bits) per
// pixel and padded to a multiple of 4 bytes; ScanLine gives direct access.
// A bitmap and its canvas are used on one thread at a time.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui/BmpFormat.h"
#include "platform/ui/Graphic.h"
#include "platform/ui/Canvas.h"

namespace platform::ui {

enum class TPixelFormat { pf24bit, pf32bit };

// The canvas type a bitmap hands out.
using TBitmapCanvas = TCanvas;

class TBitmap : public TGraphic {
 public:
  TBitmap();
  ~TBitmap() override;

  int32_t Width() const override { return width_; }
  int32_t Height() const override { return height_; }
  bool Empty() const override { return width_ == 0 || height_ == 0; }

  // New size; pixels that existed keep their value, new ones are white.
  // Negative sides count as 0; sides above kMaxGraphicSide or more than
  // kMaxGraphicPixels raise EInvalidGraphicOperation (size unchanged).
  void SetSize(int32_t width, int32_t height);
  void SetWidth(int32_t width) { SetSize(width, height_); }
  void SetHeight(int32_t height) { SetSize(width_, height); }

  TPixelFormat PixelFormat() const { return format_; }
  // Converts the pixels to the new format (the fourth byte becomes 0).
  void SetPixelFormat(TPixelFormat format);
  int BytesPerPixel() const { return format_ == TPixelFormat::pf32bit ? 4 : 3; }
  std::size_t Stride() const { return DibStride(width_, BytesPerPixel() * 8); }

  // First byte of row y. Raises EInvalidGraphicOperation when y is not a
  // row of the bitmap.
  uint8_t* ScanLine(int32_t y);
  const uint8_t* ScanLine(int32_t y) const;

  // The painter drawing into this bitmap; it stays bound for the bitmap's
  // life and keeps its pen, brush and font across size changes.
  TBitmapCanvas& Canvas() { return *canvas_; }

  // Copies a bitmap (pixels, format), or takes the picture of another
  // graphic that can render itself to a bitmap (JPEG image, icon); null
  // empties the bitmap. Other sources raise EConvertError.
  void Assign(const TPersistent* source) override;
  // Drops the pixels (0 x 0).
  void Clear();

  // BMP bytes; raises EInvalidGraphic and keeps the old picture when they
  // are not a valid uncompressed BMP.
  void LoadFromBytes(std::span<const uint8_t> data) override;
  // The BITMAP resource of that name (platform/ui/Resources.h); raises
  // EResNotFound when no binary holds it, EInvalidGraphic when it is not a
  // valid BMP. The old picture stays on failure.
  void LoadFromResourceName(std::string_view name);
  // 24-bit BMP. SaveToFile raises EInvalidGraphicOperation when the file
  // cannot be written.
  std::vector<uint8_t> SaveToBytes() const;
  void SaveToFile(const std::string& path) const;

  void Draw(TPainter& painter, const TRect& r) const override;
  std::unique_ptr<TGraphic> Clone() const override;

  // Takes decoded pixels (24 or 32 bits).
  void SetImage(TDibImage image);
  TDibImage Image() const;

 private:
  int32_t width_ = 0;
  int32_t height_ = 0;
  TPixelFormat format_ = TPixelFormat::pf24bit;
  std::vector<uint8_t> pixels_;
  std::unique_ptr<TBitmapCanvas> canvas_;
};

}  // namespace platform::ui

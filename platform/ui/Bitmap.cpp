#include "platform/ui/Bitmap.h"

#include <algorithm>
#include <cstring>
#include <fstream>

#include "platform/ui/Resources.h"

namespace platform::ui {

TBitmap::TBitmap() : canvas_(std::make_unique<TBitmapCanvas>()) { canvas_->SetTarget(this); }

TBitmap::~TBitmap() = default;

void TBitmap::SetSize(int32_t width, int32_t height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (width == width_ && height == height_) return;
  if (width > kMaxGraphicSide || height > kMaxGraphicSide ||
      static_cast<int64_t>(width) * height > kMaxGraphicPixels)
    throw EInvalidGraphicOperation("Bitmap too large");
  const int bpp = BytesPerPixel();
  const std::size_t stride = DibStride(width, bpp * 8);
  std::vector<uint8_t> pixels(stride * static_cast<std::size_t>(height), 0xFF);
  if (bpp == 4)  // the unused fourth byte is 0 in new pixels too
    for (std::size_t i = 3; i < pixels.size(); i += 4) pixels[i] = 0;
  const std::size_t keep = static_cast<std::size_t>(std::min(width, width_)) * static_cast<std::size_t>(bpp);
  const std::size_t oldStride = Stride();
  if (keep > 0)
    for (int32_t y = 0; y < std::min(height, height_); ++y)
      std::memcpy(pixels.data() + stride * static_cast<std::size_t>(y),
                  pixels_.data() + oldStride * static_cast<std::size_t>(y), keep);
  pixels_ = std::move(pixels);
  width_ = width;
  height_ = height;
}

void TBitmap::SetPixelFormat(TPixelFormat format) {
  if (format == format_) return;
  const int from = BytesPerPixel();
  const int to = format == TPixelFormat::pf32bit ? 4 : 3;
  const std::size_t oldStride = Stride();
  const std::size_t stride = DibStride(width_, to * 8);
  std::vector<uint8_t> pixels(stride * static_cast<std::size_t>(height_), 0);
  for (int32_t y = 0; y < height_; ++y) {
    const uint8_t* s = pixels_.data() + oldStride * static_cast<std::size_t>(y);
    uint8_t* d = pixels.data() + stride * static_cast<std::size_t>(y);
    for (int32_t x = 0; x < width_; ++x) std::memcpy(d + to * x, s + from * x, 3);
  }
  pixels_ = std::move(pixels);
  format_ = format;
}

uint8_t* TBitmap::ScanLine(int32_t y) {
  return const_cast<uint8_t*>(static_cast<const TBitmap*>(this)->ScanLine(y));
}

const uint8_t* TBitmap::ScanLine(int32_t y) const {
  if (y < 0 || y >= height_ || width_ == 0) throw EInvalidGraphicOperation("Scan line index out of range");
  return pixels_.data() + Stride() * static_cast<std::size_t>(y);
}

void TBitmap::Assign(const TPersistent* source) {
  if (source == nullptr) {
    Clear();
    return;
  }
  if (const auto* other = dynamic_cast<const TBitmap*>(source)) {
    if (other == this) return;
    pixels_ = other->pixels_;
    width_ = other->width_;
    height_ = other->height_;
    format_ = other->format_;
    return;
  }
  TGraphic::Assign(source);
}

void TBitmap::Clear() {
  pixels_.clear();
  width_ = 0;
  height_ = 0;
}

void TBitmap::SetImage(TDibImage image) {
  width_ = image.Width;
  height_ = image.Height;
  format_ = image.Bits == 32 ? TPixelFormat::pf32bit : TPixelFormat::pf24bit;
  pixels_ = std::move(image.Pixels);
}

TDibImage TBitmap::Image() const {
  TDibImage image;
  image.Width = width_;
  image.Height = height_;
  image.Bits = BytesPerPixel() * 8;
  image.Pixels = pixels_;
  return image;
}

void TBitmap::LoadFromBytes(std::span<const uint8_t> data) { SetImage(DecodeBmp(data)); }

void TBitmap::LoadFromResourceName(std::string_view name) {
  const auto data = FindResource(name, "BITMAP");
  if (!data) throw EResNotFound("Resource " + std::string(name) + " not found");
  LoadFromBytes(*data);
}

std::vector<uint8_t> TBitmap::SaveToBytes() const { return EncodeBmp24(Image()); }

void TBitmap::SaveToFile(const std::string& path) const {
  const std::vector<uint8_t> bytes = SaveToBytes();
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) throw EInvalidGraphicOperation("Cannot create file " + path);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) throw EInvalidGraphicOperation("Cannot write file " + path);
}

void TBitmap::Draw(TPainter& painter, const TRect& r) const {
  if (Empty()) return;
  painter.DrawBitmap(*this, r, TRect{0, 0, width_, height_});
}

std::unique_ptr<TGraphic> TBitmap::Clone() const {
  auto copy = std::make_unique<TBitmap>();
  copy->Assign(this);
  return copy;
}

}  // namespace platform::ui

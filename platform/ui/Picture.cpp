#include "platform/ui/Picture.h"

#include <algorithm>

#include "platform/os/Text.h"
#include "platform/ui/JpegFormat.h"
#include "platform/ui/Painter.h"
#include "platform/ui/Resources.h"

namespace platform::ui {

namespace {

uint16_t U16(std::span<const uint8_t> d, std::size_t at) {
  return static_cast<uint16_t>(d[at] | (d[at + 1] << 8));
}
uint32_t U32(std::span<const uint8_t> d, std::size_t at) {
  return static_cast<uint32_t>(d[at]) | (static_cast<uint32_t>(d[at + 1]) << 8) |
         (static_cast<uint32_t>(d[at + 2]) << 16) | (static_cast<uint32_t>(d[at + 3]) << 24);
}

}  // namespace

// ---- TIcon ----

void TIcon::LoadFromBytes(std::span<const uint8_t> data) {
  if (data.size() < 6 || U16(data, 0) != 0 || U16(data, 2) != 1) throw EInvalidGraphic("Icon image is not valid");
  const uint16_t count = U16(data, 4);
  if (count == 0 || data.size() < 6 + 16u * count) throw EInvalidGraphic("Icon image is not valid: directory");
  // The entry to use: largest area, then most bits per pixel.
  std::size_t best = 0;
  int64_t bestArea = -1;
  int bestBits = -1;
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t e = 6 + 16 * i;
    const int64_t w = data[e] == 0 ? 256 : data[e];
    const int64_t h = data[e + 1] == 0 ? 256 : data[e + 1];
    const int bits = U16(data, e + 6);
    if (w * h > bestArea || (w * h == bestArea && bits > bestBits)) {
      best = e;
      bestArea = w * h;
      bestBits = bits;
    }
  }
  const uint32_t size = U32(data, best + 8);
  const uint32_t offset = U32(data, best + 12);
  if (offset > data.size() || size > data.size() - offset) throw EInvalidGraphic("Icon image is not valid: entry");
  const std::span<const uint8_t> dib = data.subspan(offset, size);
  if (dib.size() >= 4 && dib[0] == 0x89 && dib[1] == 'P' && dib[2] == 'N' && dib[3] == 'G')
    throw EInvalidGraphic("Icon image is not valid: compressed images are not supported");
  TBitmap image;
  image.SetImage(DecodeIconDib(dib));
  image_.Assign(&image);
}

void TIcon::LoadFromResourceName(std::string_view name) {
  const auto data = FindResource(name, "ICON");
  if (!data) throw EResNotFound("Resource " + std::string(name) + " not found");
  LoadFromBytes(*data);
}

void TIcon::Draw(TPainter& painter, const TRect& r) const { painter.DrawBitmapBlended(image_, r); }

std::unique_ptr<TGraphic> TIcon::Clone() const {
  auto copy = std::make_unique<TIcon>();
  copy->Assign(this);
  return copy;
}

void TIcon::Assign(const TPersistent* source) {
  if (source == nullptr) {
    image_.Clear();
    return;
  }
  if (const auto* other = dynamic_cast<const TIcon*>(source)) {
    image_.Assign(&other->image_);
    return;
  }
  TGraphic::Assign(source);
}

void TIcon::AssignTo(TPersistent* dest) const {
  auto* bitmap = dynamic_cast<TBitmap*>(dest);
  if (bitmap == nullptr) {
    TGraphic::AssignTo(dest);
    return;
  }
  TBitmap out;
  out.SetSize(Width(), Height());  // white
  Draw(out.Canvas(), {0, 0, Width(), Height()});
  bitmap->Assign(&out);
}

// ---- TJPEGImage ----

void TJPEGImage::LoadFromBytes(std::span<const uint8_t> data) {
  TBitmap decoded;
  decoded.SetImage(DecodeJpeg(data, grayscale_));
  data_.assign(data.begin(), data.end());
  bitmap_.Assign(&decoded);
}

void TJPEGImage::SetGrayscale(bool on) {
  if (on == grayscale_) return;
  grayscale_ = on;
  if (data_.empty()) return;
  // The data decoded once already; should it fail now the old pixels stay.
  TBitmap decoded;
  decoded.SetImage(DecodeJpeg(data_, grayscale_));
  bitmap_.Assign(&decoded);
}

void TJPEGImage::Draw(TPainter& painter, const TRect& r) const { bitmap_.Draw(painter, r); }

std::unique_ptr<TGraphic> TJPEGImage::Clone() const {
  auto copy = std::make_unique<TJPEGImage>();
  copy->Assign(this);
  return copy;
}

void TJPEGImage::Assign(const TPersistent* source) {
  if (source == nullptr) {
    data_.clear();
    bitmap_.Clear();
    return;
  }
  if (const auto* other = dynamic_cast<const TJPEGImage*>(source)) {
    if (other == this) return;
    data_ = other->data_;
    grayscale_ = other->grayscale_;
    bitmap_.Assign(&other->bitmap_);
    return;
  }
  TGraphic::Assign(source);
}

void TJPEGImage::AssignTo(TPersistent* dest) const {
  if (auto* bitmap = dynamic_cast<TBitmap*>(dest)) {
    bitmap->Assign(&bitmap_);
    return;
  }
  TGraphic::AssignTo(dest);
}

// ---- TPicture ----

void TPicture::Changed() {
  if (OnChange) OnChange(this);
}

void TPicture::SetGraphic(const TGraphic* graphic) {
  graphic_ = graphic != nullptr ? graphic->Clone() : nullptr;
  Changed();
}

TBitmap& TPicture::Bitmap() {
  auto* bitmap = dynamic_cast<TBitmap*>(graphic_.get());
  if (bitmap == nullptr) {
    auto fresh = std::make_unique<TBitmap>();
    bitmap = fresh.get();
    graphic_ = std::move(fresh);
    Changed();
  }
  return *bitmap;
}

void TPicture::LoadFromFile(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  const std::size_t dot = path.find_last_of('.');
  const std::string ext =
      dot == std::string::npos || (slash != std::string::npos && dot < slash) ? "" : platform::os::AnsiUpperCase(path.substr(dot));
  std::unique_ptr<TGraphic> graphic;
  if (ext == ".BMP")
    graphic = std::make_unique<TBitmap>();
  else if (ext == ".ICO")
    graphic = std::make_unique<TIcon>();
  else if (ext == ".JPG" || ext == ".JPEG")
    graphic = std::make_unique<TJPEGImage>();
  else
    throw EInvalidGraphic("Unknown picture file extension (" + ext + ")");
  graphic->LoadFromFile(path);
  graphic_ = std::move(graphic);
  Changed();
}

void TPicture::Assign(const TPersistent* source) {
  if (source == nullptr) {
    SetGraphic(nullptr);
    return;
  }
  if (const auto* other = dynamic_cast<const TPicture*>(source)) {
    if (other != this) SetGraphic(other->graphic_.get());
    return;
  }
  if (const auto* graphic = dynamic_cast<const TGraphic*>(source)) {
    SetGraphic(graphic);
    return;
  }
  TPersistent::Assign(source);
}

}  // namespace platform::ui

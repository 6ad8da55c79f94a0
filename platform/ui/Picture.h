#pragma once
// Pictures: TIcon (ICO files), TJPEGImage (JPEG through libjpeg) and
// TPicture, the holder that loads any of them (and bitmaps) by file
// extension. Used on one thread at a time.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui/Bitmap.h"
#include "platform/ui/Graphic.h"

namespace platform::ui {

// An icon: the largest image of an ICO file (more colour bits win a tie),
// kept as 32 bits per pixel whose fourth byte is the opacity.
class TIcon : public TGraphic {
 public:
  int32_t Width() const override { return image_.Width(); }
  int32_t Height() const override { return image_.Height(); }
  bool Empty() const override { return image_.Empty(); }
  // ICO bytes. Raises EInvalidGraphic for a bad directory, an entry outside
  // the file, a compressed (PNG) image or a bad bitmap in it; the old icon
  // stays.
  void LoadFromBytes(std::span<const uint8_t> data) override;
  // The ICON resource of that name (platform/ui/Resources.h); raises
  // EResNotFound or EInvalidGraphic, keeping the old icon.
  void LoadFromResourceName(std::string_view name);
  // Blends the icon into r through its opacity.
  void Draw(TPainter& painter, const TRect& r) const override;
  std::unique_ptr<TGraphic> Clone() const override;
  // Copies another icon; null empties it.
  void Assign(const TPersistent* source) override;
  // The pixels, 32 bits with opacity.
  const TBitmap& Image() const { return image_; }

 protected:
  // An icon renders into a bitmap on a white background.
  void AssignTo(TPersistent* dest) const override;

 private:
  TBitmap image_;
};

// A JPEG picture. The compressed bytes are kept; the pixels are decoded
// from them again when Grayscale changes, so the switch works before or
// after loading.
class TJPEGImage : public TGraphic {
 public:
  int32_t Width() const override { return bitmap_.Width(); }
  int32_t Height() const override { return bitmap_.Height(); }
  bool Empty() const override { return bitmap_.Empty(); }
  // Decodes the bytes; raises EInvalidGraphic (keeping the old picture)
  // when the library refuses them.
  void LoadFromBytes(std::span<const uint8_t> data) override;
  void Draw(TPainter& painter, const TRect& r) const override;
  std::unique_ptr<TGraphic> Clone() const override;
  void Assign(const TPersistent* source) override;

  bool Grayscale() const { return grayscale_; }
  // Re-decodes loaded data in the new mode.
  void SetGrayscale(bool on);
  // The decoded pixels (24 bits).
  const TBitmap& Bitmap() const { return bitmap_; }

 protected:
  void AssignTo(TPersistent* dest) const override;

 private:
  std::vector<uint8_t> data_;
  bool grayscale_ = false;
  TBitmap bitmap_;
};

// Holds one graphic (or none).
class TPicture : public TPersistent {
 public:
  // The graphic, null when the picture is empty.
  TGraphic* Graphic() const { return graphic_.get(); }
  // Takes a copy of graphic (null empties the picture).
  void SetGraphic(const TGraphic* graphic);
  // The picture as a bitmap: when it holds another kind of graphic (or
  // none) that graphic is replaced by an empty bitmap first.
  TBitmap& Bitmap();
  int32_t Width() const { return graphic_ ? graphic_->Width() : 0; }
  int32_t Height() const { return graphic_ ? graphic_->Height() : 0; }

  // Loads by the file's extension, compared without case: .bmp, .ico,
  // .jpg/.jpeg. Raises EInvalidGraphic for another extension or a file that
  // cannot be read or decoded; the old picture stays.
  void LoadFromFile(const std::string& path);
  // Copies a picture or a graphic; null empties the picture.
  void Assign(const TPersistent* source) override;

  TNotifyEvent OnChange;

 private:
  void Changed();
  std::unique_ptr<TGraphic> graphic_;
};

}  // namespace platform::ui

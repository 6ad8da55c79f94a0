#pragma once
// TGraphic: the common face of pictures (bitmap, icon, JPEG image) and the
// errors the image classes raise. Graphics are used on one thread at a time.

#include <cstdint>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/ui/Component.h"
#include "platform/ui/Types.h"

namespace platform::ui {

class TPainter;

// Image data that cannot be decoded (bad header, unsupported format,
// truncated pixels, picture too large).
class EInvalidGraphic : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
// An operation the graphic cannot perform (row outside the bitmap, a file
// that cannot be written, an unsupported pixel format).
class EInvalidGraphicOperation : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Largest width or height any decoded or sized picture may have, and the
// largest number of pixels, so that no file asks for unbounded memory.
inline constexpr int32_t kMaxGraphicSide = 32767;
inline constexpr int64_t kMaxGraphicPixels = 16LL * 1024 * 1024;

class TGraphic : public TPersistent {
 public:
  virtual int32_t Width() const = 0;
  virtual int32_t Height() const = 0;
  // True when there is nothing to draw.
  virtual bool Empty() const = 0;
  // Paints the graphic scaled into r of the painter (clipped by it).
  virtual void Draw(TPainter& painter, const TRect& r) const = 0;
  // Replaces the content from file bytes; on failure raises EInvalidGraphic
  // and keeps the old content.
  virtual void LoadFromBytes(std::span<const uint8_t> data) = 0;
  // Reads the file and loads it; a missing or unreadable file raises
  // EInvalidGraphic, keeping the old content.
  void LoadFromFile(const std::string& path);
  // A deep copy of the same class.
  virtual std::unique_ptr<TGraphic> Clone() const = 0;
};

// Reads a whole file (at most limit bytes); raises EInvalidGraphic when it
// cannot be read or is larger.
std::vector<uint8_t> ReadGraphicFile(const std::string& path, std::size_t limit = 256u << 20);

}  // namespace platform::ui

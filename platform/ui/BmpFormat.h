#pragma once
// The BMP file format and the device-independent bitmap inside it (also
// used by icons): decoding of uncompressed 1, 4, 8, 24 and 32 bits per
// pixel, encoding at 24 bits. Pure functions on bytes; any thread.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace platform::ui {

// Pixels in memory: rows top-down, each row B,G,R (and a fourth byte at 32
// bits) per pixel, padded to a multiple of 4 bytes.
struct TDibImage {
  int32_t Width = 0;
  int32_t Height = 0;
  int Bits = 24;  // 24 or 32
  std::vector<uint8_t> Pixels;
};

// Bytes of one row of a picture of the given width and bits per pixel.
std::size_t DibStride(int32_t width, int bits);

// A whole BMP file. Raises EInvalidGraphic for a bad or truncated header, an
// unsupported format or compression, a palette larger than the bit depth
// allows, sides above kMaxGraphicSide or pixel data beyond the end. Never
// reads outside data.
TDibImage DecodeBmp(std::span<const uint8_t> data);

// One icon image: a DIB header of doubled height, colour bits, then the AND
// mask. Answers 32-bit pixels whose fourth byte is the opacity (from the
// mask, or from the image itself when it has 32 bits with any opacity set).
// Fails like DecodeBmp.
TDibImage DecodeIconDib(std::span<const uint8_t> dib);

// A BMP file of 24 bits per pixel (bottom-up, BITMAPINFOHEADER) from
// pixels of 24 or 32 bits.
std::vector<uint8_t> EncodeBmp24(const TDibImage& image);

}  // namespace platform::ui

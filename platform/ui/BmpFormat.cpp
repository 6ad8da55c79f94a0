#include "platform/ui/BmpFormat.h"

#include <cstring>
#include <string>

#include "platform/ui/Graphic.h"

namespace platform::ui {

namespace {

constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiBitfields = 3;

uint16_t U16(std::span<const uint8_t> d, std::size_t at) {
  return static_cast<uint16_t>(d[at] | (d[at + 1] << 8));
}
uint32_t U32(std::span<const uint8_t> d, std::size_t at) {
  return static_cast<uint32_t>(d[at]) | (static_cast<uint32_t>(d[at + 1]) << 8) |
         (static_cast<uint32_t>(d[at + 2]) << 16) | (static_cast<uint32_t>(d[at + 3]) << 24);
}
void Put16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

[[noreturn]] void Bad(const std::string& what) { throw EInvalidGraphic("Bitmap image is not valid: " + what); }

// What the DIB header says, validated against the bytes that follow it.
struct DibHeader {
  int32_t Width = 0;
  int32_t Height = 0;  // rows of the colour image
  bool TopDown = false;
  int Bits = 0;
  std::vector<uint8_t> Palette;  // B,G,R per entry
  std::size_t End = 0;           // offset just past header, masks and palette
};

DibHeader ParseHeader(std::span<const uint8_t> dib, bool icon) {
  if (dib.size() < 12) Bad("header truncated");
  const uint32_t size = U32(dib, 0);
  DibHeader h;
  uint32_t compression = kBiRgb;
  uint32_t colorsUsed = 0;
  int64_t height = 0;
  std::size_t paletteEntry = 4;
  if (size == 12) {
    h.Width = U16(dib, 4);
    height = U16(dib, 6);
    if (U16(dib, 8) != 1) Bad("planes");
    h.Bits = U16(dib, 10);
    paletteEntry = 3;
  } else if (size == 40 || size == 52 || size == 56 || size == 108 || size == 124) {
    if (dib.size() < size) Bad("header truncated");
    h.Width = static_cast<int32_t>(U32(dib, 4));
    height = static_cast<int32_t>(U32(dib, 8));
    if (U16(dib, 12) != 1) Bad("planes");
    h.Bits = U16(dib, 14);
    compression = U32(dib, 16);
    colorsUsed = U32(dib, 32);
  } else {
    Bad("unknown header size");
  }
  h.End = size;
  if (h.Bits != 1 && h.Bits != 4 && h.Bits != 8 && h.Bits != 24 && h.Bits != 32) Bad("bit count");
  if (compression == kBiBitfields && h.Bits == 32) {
    std::size_t at = 40;
    if (size == 40) {
      if (dib.size() < 52) Bad("colour masks truncated");
      h.End = 52;
    }
    if (U32(dib, at) != 0x00FF0000u || U32(dib, at + 4) != 0x0000FF00u || U32(dib, at + 8) != 0x000000FFu)
      Bad("colour masks");
  } else if (compression != kBiRgb) {
    Bad("compression");
  }
  if (height < 0) {
    if (icon) Bad("top-down icon");
    h.TopDown = true;
    height = -height;
  }
  if (icon) height /= 2;
  if (h.Width <= 0 || height <= 0 || h.Width > kMaxGraphicSide || height > kMaxGraphicSide ||
      static_cast<int64_t>(h.Width) * height > kMaxGraphicPixels)
    Bad("size");
  h.Height = static_cast<int32_t>(height);
  const uint32_t maxColors = h.Bits <= 8 ? (1u << h.Bits) : 0;
  if (h.Bits <= 8 && colorsUsed > maxColors) Bad("palette size");
  const uint32_t entries = colorsUsed != 0 ? colorsUsed : maxColors;
  if (entries > 1u << 16) Bad("palette size");
  const std::size_t paletteBytes = entries * paletteEntry;
  if (dib.size() < h.End + paletteBytes) Bad("palette truncated");
  if (h.Bits <= 8) {
    h.Palette.assign(maxColors * 3, 0);  // indexes beyond the file's palette stay black
    for (uint32_t i = 0; i < entries; ++i)
      std::memcpy(&h.Palette[i * 3], &dib[h.End + i * paletteEntry], 3);
  }
  h.End += paletteBytes;
  return h;
}

// Colour rows of the file into 24- or 32-bit top-down rows.
TDibImage ConvertPixels(const DibHeader& h, std::span<const uint8_t> bits) {
  const std::size_t srcStride = DibStride(h.Width, h.Bits);
  if (bits.size() / srcStride < static_cast<std::size_t>(h.Height)) Bad("pixel data truncated");
  TDibImage img;
  img.Width = h.Width;
  img.Height = h.Height;
  img.Bits = h.Bits == 32 ? 32 : 24;
  const std::size_t dstStride = DibStride(h.Width, img.Bits);
  img.Pixels.assign(dstStride * static_cast<std::size_t>(h.Height), 0);
  for (int32_t y = 0; y < h.Height; ++y) {
    const int32_t srcRow = h.TopDown ? y : h.Height - 1 - y;
    const uint8_t* s = bits.data() + srcStride * static_cast<std::size_t>(srcRow);
    uint8_t* d = img.Pixels.data() + dstStride * static_cast<std::size_t>(y);
    if (h.Bits >= 24) {
      std::memcpy(d, s, static_cast<std::size_t>(h.Width) * static_cast<std::size_t>(h.Bits / 8));
      continue;
    }
    const int perByte = 8 / h.Bits;
    const unsigned mask = (1u << h.Bits) - 1;
    for (int32_t x = 0; x < h.Width; ++x) {
      const unsigned byte = s[x / perByte];
      const int shift = 8 - h.Bits * (x % perByte + 1);
      const unsigned index = (byte >> shift) & mask;
      std::memcpy(d + 3 * static_cast<std::size_t>(x), &h.Palette[index * 3], 3);
    }
  }
  return img;
}

}  // namespace

std::size_t DibStride(int32_t width, int bits) {
  return ((static_cast<std::size_t>(width) * static_cast<std::size_t>(bits) + 31) / 32) * 4;
}

TDibImage DecodeBmp(std::span<const uint8_t> data) {
  if (data.size() < 14 + 12) Bad("file truncated");
  if (data[0] != 'B' || data[1] != 'M') Bad("signature");
  const uint32_t offBits = U32(data, 10);
  const DibHeader h = ParseHeader(data.subspan(14), false);
  if (offBits < 14 + h.End || offBits > data.size()) Bad("pixel offset");
  return ConvertPixels(h, data.subspan(offBits));
}

TDibImage DecodeIconDib(std::span<const uint8_t> dib) {
  const DibHeader h = ParseHeader(dib, true);
  const std::span<const uint8_t> bits = dib.subspan(h.End);
  TDibImage colour = ConvertPixels(h, bits);
  const std::size_t colourBytes = DibStride(h.Width, h.Bits) * static_cast<std::size_t>(h.Height);
  const std::span<const uint8_t> maskBits = bits.subspan(colourBytes);
  const std::size_t maskStride = DibStride(h.Width, 1);
  const bool hasMask = maskBits.size() / maskStride >= static_cast<std::size_t>(h.Height);
  if (!hasMask && h.Bits != 32) Bad("icon mask truncated");

  bool ownAlpha = false;
  if (h.Bits == 32)
    for (std::size_t i = 3; i < colour.Pixels.size(); i += 4) ownAlpha = ownAlpha || colour.Pixels[i] != 0;

  TDibImage out;
  out.Width = h.Width;
  out.Height = h.Height;
  out.Bits = 32;
  const std::size_t stride = DibStride(h.Width, 32);
  out.Pixels.assign(stride * static_cast<std::size_t>(h.Height), 0);
  const std::size_t srcStride = DibStride(h.Width, colour.Bits);
  const int srcBytes = colour.Bits / 8;
  for (int32_t y = 0; y < h.Height; ++y) {
    const uint8_t* s = colour.Pixels.data() + srcStride * static_cast<std::size_t>(y);
    uint8_t* d = out.Pixels.data() + stride * static_cast<std::size_t>(y);
    const uint8_t* m = hasMask ? maskBits.data() + maskStride * static_cast<std::size_t>(h.Height - 1 - y) : nullptr;
    for (int32_t x = 0; x < h.Width; ++x) {
      std::memcpy(d + 4 * x, s + srcBytes * x, 3);
      uint8_t alpha = 255;
      if (ownAlpha)
        alpha = s[srcBytes * x + 3];
      else if (m != nullptr && ((m[x / 8] >> (7 - x % 8)) & 1) != 0)
        alpha = 0;
      d[4 * x + 3] = alpha;
    }
  }
  return out;
}

std::vector<uint8_t> EncodeBmp24(const TDibImage& image) {
  const std::size_t stride = DibStride(image.Width, 24);
  const std::size_t pixelBytes = stride * static_cast<std::size_t>(image.Height);
  std::vector<uint8_t> out;
  out.reserve(54 + pixelBytes);
  out.push_back('B');
  out.push_back('M');
  Put32(out, static_cast<uint32_t>(54 + pixelBytes));
  Put32(out, 0);
  Put32(out, 54);
  Put32(out, 40);
  Put32(out, static_cast<uint32_t>(image.Width));
  Put32(out, static_cast<uint32_t>(image.Height));
  Put16(out, 1);
  Put16(out, 24);
  Put32(out, kBiRgb);
  Put32(out, static_cast<uint32_t>(pixelBytes));
  Put32(out, 3780);  // 96 pixels per inch
  Put32(out, 3780);
  Put32(out, 0);
  Put32(out, 0);
  const std::size_t srcStride = DibStride(image.Width, image.Bits);
  const int srcBytes = image.Bits / 8;
  for (int32_t y = image.Height - 1; y >= 0; --y) {
    const uint8_t* s = image.Pixels.data() + srcStride * static_cast<std::size_t>(y);
    const std::size_t rowStart = out.size();
    for (int32_t x = 0; x < image.Width; ++x) out.insert(out.end(), s + srcBytes * x, s + srcBytes * x + 3);
    out.resize(rowStart + stride, 0);
  }
  return out;
}

}  // namespace platform::ui

#include "platform/ui/JpegFormat.h"

// libjpeg's header needs size_t and FILE declared first.
#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string>

#include <jpeglib.h>

#include "platform/ui/Graphic.h"

namespace platform::ui {

namespace {

// The library reports a fatal error by calling error_exit, which must not
// return; it jumps back to the setjmp of the running step instead. The
// steps below hold nothing that needs destruction between setjmp and the
// library calls.
struct ErrorManager {
  jpeg_error_mgr Base;
  std::jmp_buf Jump;
  char Message[JMSG_LENGTH_MAX];
};

void OnError(j_common_ptr info) {
  auto* err = reinterpret_cast<ErrorManager*>(info->err);
  (*info->err->format_message)(info, err->Message);
  std::longjmp(err->Jump, 1);
}

void OnMessage(j_common_ptr) {}  // warnings stay quiet

struct Decoder {
  jpeg_decompress_struct Info;
  ErrorManager Error;
  bool Created = false;
  Decoder() {
    std::memset(&Info, 0, sizeof Info);
    std::memset(&Error, 0, sizeof Error);
  }
  ~Decoder() {
    if (Created) jpeg_destroy_decompress(&Info);
  }
  Decoder(const Decoder&) = delete;
  Decoder& operator=(const Decoder&) = delete;
};

// Header and start of decompression; false with Error.Message on failure.
bool Start(Decoder& d, const uint8_t* data, unsigned long size, bool grayscale) {
  d.Info.err = jpeg_std_error(&d.Error.Base);
  d.Error.Base.error_exit = OnError;
  d.Error.Base.output_message = OnMessage;
  if (setjmp(d.Error.Jump) != 0) return false;
  jpeg_create_decompress(&d.Info);
  d.Created = true;
  d.Info.mem->max_memory_to_use = 512L * 1024 * 1024;
  jpeg_mem_src(&d.Info, data, size);
  jpeg_read_header(&d.Info, TRUE);
  d.Info.out_color_space = grayscale ? JCS_GRAYSCALE : JCS_RGB;
  if (d.Info.image_width == 0 || d.Info.image_height == 0 || d.Info.image_width > kMaxGraphicSide ||
      d.Info.image_height > kMaxGraphicSide ||
      static_cast<int64_t>(d.Info.image_width) * d.Info.image_height > kMaxGraphicPixels) {
    std::strcpy(d.Error.Message, "picture too large");
    return false;
  }
  jpeg_start_decompress(&d.Info);
  return true;
}

// Decoded rows into rows (output_width x components bytes each, top-down).
bool ReadRows(Decoder& d, uint8_t* rows, std::size_t rowBytes) {
  if (setjmp(d.Error.Jump) != 0) return false;
  while (d.Info.output_scanline < d.Info.output_height) {
    JSAMPROW row = rows + rowBytes * d.Info.output_scanline;
    if (jpeg_read_scanlines(&d.Info, &row, 1) != 1) break;
  }
  jpeg_finish_decompress(&d.Info);
  return true;
}

}  // namespace

TDibImage DecodeJpeg(std::span<const uint8_t> data, bool grayscale) {
  if (data.empty()) throw EInvalidGraphic("JPEG image is empty");
  Decoder d;
  if (!Start(d, data.data(), static_cast<unsigned long>(data.size()), grayscale))
    throw EInvalidGraphic(std::string("JPEG error: ") + d.Error.Message);
  const int components = d.Info.output_components;
  if (components != 1 && components != 3) throw EInvalidGraphic("JPEG error: unsupported colour layout");
  const std::size_t width = d.Info.output_width;
  const std::size_t height = d.Info.output_height;
  const std::size_t rowBytes = width * static_cast<std::size_t>(components);
  std::vector<uint8_t> rows(rowBytes * height, 0);
  if (!ReadRows(d, rows.data(), rowBytes)) throw EInvalidGraphic(std::string("JPEG error: ") + d.Error.Message);

  TDibImage img;
  img.Width = static_cast<int32_t>(width);
  img.Height = static_cast<int32_t>(height);
  img.Bits = 24;
  const std::size_t stride = DibStride(img.Width, 24);
  img.Pixels.assign(stride * height, 0);
  for (std::size_t y = 0; y < height; ++y) {
    const uint8_t* s = rows.data() + rowBytes * y;
    uint8_t* p = img.Pixels.data() + stride * y;
    for (std::size_t x = 0; x < width; ++x, p += 3) {
      if (components == 1) {
        p[0] = p[1] = p[2] = s[x];
      } else {  // R,G,B from the library, B,G,R in the bitmap
        p[0] = s[3 * x + 2];
        p[1] = s[3 * x + 1];
        p[2] = s[3 * x];
      }
    }
  }
  return img;
}

}  // namespace platform::ui

#include "platform/ui/JpegFormat.h"

// libjpeg's header needs size_t and FILE declared first.
#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

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

// Decoded rows, top-down, each at the start of a row of rowBytes bytes.
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
  TDibImage img;
  img.Width = static_cast<int32_t>(d.Info.output_width);
  img.Height = static_cast<int32_t>(d.Info.output_height);
  img.Bits = 24;
  const std::size_t stride = DibStride(img.Width, 24);
  const std::size_t width = d.Info.output_width;
  img.Pixels.assign(stride * d.Info.output_height, 0);
  // Each row is decoded into the start of its own bitmap row and turned
  // into B,G,R in place (a grey row is widened from its end backwards).
  if (!ReadRows(d, img.Pixels.data(), stride)) throw EInvalidGraphic(std::string("JPEG error: ") + d.Error.Message);
  for (int32_t y = 0; y < img.Height; ++y) {
    uint8_t* p = img.Pixels.data() + stride * static_cast<std::size_t>(y);
    if (components == 1) {
      for (std::size_t x = width; x-- > 0;) p[3 * x] = p[3 * x + 1] = p[3 * x + 2] = p[x];
    } else {
      for (std::size_t x = 0; x < width; ++x) std::swap(p[3 * x], p[3 * x + 2]);
    }
  }
  return img;
}

}  // namespace platform::ui

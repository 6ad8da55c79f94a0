// Writes the seed pictures of the JPEG fuzz target: small valid files of
// the kinds the reader meets (grey, colour with and without chroma
// subsampling, progressive, restart markers, optimised and arithmetic
// coding, CMYK, odd sizes), made with the same library the reader uses.
// usage: make_jpeg_seeds FOLDER

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <jpeglib.h>

namespace {

struct Kind {
  const char* name;
  int width;
  int height;
  J_COLOR_SPACE space;
  int components;
  int quality;
  bool subsample;    // 2x2 chroma (4:2:0); else 4:4:4
  bool progressive;
  bool optimize;
  bool arithmetic;
  int restartRows;
};

const Kind kKinds[] = {
    {"grey_8x8", 8, 8, JCS_GRAYSCALE, 1, 75, false, false, false, false, 0},
    {"rgb420_16x16", 16, 16, JCS_RGB, 3, 75, true, false, false, false, 0},
    {"rgb444_17x9", 17, 9, JCS_RGB, 3, 90, false, false, true, false, 0},
    {"rgb_progressive_24x24", 24, 24, JCS_RGB, 3, 60, true, true, false, false, 0},
    {"rgb_restart_32x16", 32, 16, JCS_RGB, 3, 50, true, false, false, false, 1},
    {"rgb_arithmetic_16x8", 16, 8, JCS_RGB, 3, 80, true, false, false, true, 0},
    {"grey_progressive_13x7", 13, 7, JCS_GRAYSCALE, 1, 30, false, true, false, false, 0},
    {"cmyk_8x8", 8, 8, JCS_CMYK, 4, 75, false, false, false, false, 0},
    {"rgb_1x1_q100", 1, 1, JCS_RGB, 3, 100, false, false, false, false, 0},
    {"rgb_5x3_q5", 5, 3, JCS_RGB, 3, 5, true, false, true, false, 0},
};

struct ErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf jump;
};

void OnError(j_common_ptr info) { std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1); }

// A picture with gradients and a diagonal edge, so that every block has
// something to code.
std::vector<JSAMPLE> Pixels(const Kind& k) {
  std::vector<JSAMPLE> pixels(static_cast<std::size_t>(k.width * k.height * k.components));
  for (int y = 0; y < k.height; ++y)
    for (int x = 0; x < k.width; ++x)
      for (int c = 0; c < k.components; ++c) {
        const int edge = x > y ? 96 : 0;
        pixels[static_cast<std::size_t>((y * k.width + x) * k.components + c)] =
            static_cast<JSAMPLE>((x * 37 + y * 19 + c * 61 + edge) & 0xFF);
      }
  return pixels;
}

// Writes one picture; false (with the library's message) when the library
// refuses the kind.
bool Write(const Kind& k, const std::string& path) {
  std::FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) return false;
  jpeg_compress_struct info{};
  ErrorManager error{};
  info.err = jpeg_std_error(&error.base);
  error.base.error_exit = OnError;
  std::vector<JSAMPLE> pixels = Pixels(k);
  if (setjmp(error.jump) != 0) {
    char message[JMSG_LENGTH_MAX];
    error.base.format_message(reinterpret_cast<j_common_ptr>(&info), message);
    std::fprintf(stderr, "%s: %s\n", k.name, message);
    jpeg_destroy_compress(&info);
    std::fclose(out);
    std::remove(path.c_str());
    return false;
  }
  jpeg_create_compress(&info);
  jpeg_stdio_dest(&info, out);
  info.image_width = static_cast<JDIMENSION>(k.width);
  info.image_height = static_cast<JDIMENSION>(k.height);
  info.input_components = k.components;
  info.in_color_space = k.space;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, k.quality, TRUE);
  if (k.components == 3) {
    info.comp_info[0].h_samp_factor = info.comp_info[0].v_samp_factor = k.subsample ? 2 : 1;
  }
  if (k.progressive) jpeg_simple_progression(&info);
  info.optimize_coding = k.optimize ? TRUE : FALSE;
  info.arith_code = k.arithmetic ? TRUE : FALSE;
  info.restart_in_rows = k.restartRows;
  jpeg_start_compress(&info, TRUE);
  const int stride = k.width * k.components;
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = &pixels[static_cast<std::size_t>(info.next_scanline) * static_cast<std::size_t>(stride)];
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  return std::fclose(out) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
    return 2;
  }
  int failures = 0;
  for (const Kind& k : kKinds) {
    const std::string path = std::string(argv[1]) + "/" + k.name + ".jpg";
    if (Write(k, path)) {
      std::printf("%s\n", path.c_str());
    } else {
      ++failures;
    }
  }
  return failures == 0 ? 0 : 1;
}

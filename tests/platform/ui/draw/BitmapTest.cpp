// TBitmap: layout, sizing, rows, copies, BMP reading and writing, corrupt
// BMP files.

#include <gtest/gtest.h>

#include "tests/platform/ui/draw/ByteWriter.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "platform/ui/Bitmap.h"
#include "platform/ui/Colors.h"

namespace platform::ui {
namespace {

using testing::Put16;
using testing::Put32;

// A BMP file: file header, 40-byte info header, palette, pixel rows as given.
std::vector<uint8_t> MakeBmp(int32_t w, int32_t h, int bits, const std::vector<uint8_t>& palette,
                             const std::vector<uint8_t>& rows, uint32_t colorsUsed = 0) {
  std::vector<uint8_t> f(54 + palette.size());
  f[0] = 'B';
  f[1] = 'M';
  Put32(f, 10, static_cast<uint32_t>(54 + palette.size()));
  Put32(f, 14, 40);
  Put32(f, 18, static_cast<uint32_t>(w));
  Put32(f, 22, static_cast<uint32_t>(h));
  Put16(f, 26, 1);
  Put16(f, 28, static_cast<uint16_t>(bits));
  Put32(f, 46, colorsUsed);
  std::copy(palette.begin(), palette.end(), f.begin() + 54);
  f.insert(f.end(), rows.begin(), rows.end());
  Put32(f, 2, static_cast<uint32_t>(f.size()));
  return f;
}

TColor At(TBitmap& b, int x, int y) { return b.Canvas().Pixel(x, y); }

TEST(Bitmap, RowsArePaddedToFourBytesAndTopDown) {
  TBitmap b;
  EXPECT_TRUE(b.Empty());
  b.SetSize(1, 2);
  EXPECT_EQ(b.Stride(), 4u);
  EXPECT_EQ(b.ScanLine(1) - b.ScanLine(0), 4);
  b.SetSize(5, 2);
  EXPECT_EQ(b.Stride(), 16u);
  b.Canvas().SetPixel(1, 0, RGB(10, 20, 30));
  const uint8_t* row = b.ScanLine(0);
  EXPECT_EQ(row[3], 30);  // blue first
  EXPECT_EQ(row[4], 20);
  EXPECT_EQ(row[5], 10);
  b.SetPixelFormat(TPixelFormat::pf32bit);
  EXPECT_EQ(b.Stride(), 20u);
  EXPECT_EQ(At(b, 1, 0), RGB(10, 20, 30));
  EXPECT_EQ(b.ScanLine(0)[7], 0);
}

TEST(Bitmap, ScanLineThrowsOutsideTheRows) {
  TBitmap b;
  EXPECT_THROW(b.ScanLine(0), EInvalidGraphicOperation);
  b.SetSize(3, 3);
  EXPECT_NO_THROW(b.ScanLine(2));
  EXPECT_THROW(b.ScanLine(3), EInvalidGraphicOperation);
  EXPECT_THROW(b.ScanLine(-1), EInvalidGraphicOperation);
}

TEST(Bitmap, SetSizeKeepsOldPixelsAndPaintsNewOnesWhite) {
  TBitmap b;
  b.SetSize(2, 2);
  EXPECT_EQ(At(b, 1, 1), clWhite);
  b.Canvas().Brush().SetColor(clRed);
  b.Canvas().FillRect({0, 0, 2, 2});
  b.SetSize(3, 1);
  EXPECT_EQ(At(b, 1, 0), clRed);
  EXPECT_EQ(At(b, 2, 0), clWhite);
  b.SetSize(3, 3);
  EXPECT_EQ(At(b, 0, 1), clWhite);
  b.SetSize(-4, 2);
  EXPECT_TRUE(b.Empty());
  EXPECT_THROW(b.SetSize(40000, 1), EInvalidGraphicOperation);
  EXPECT_THROW(b.SetSize(20000, 20000), EInvalidGraphicOperation);
  EXPECT_EQ(b.Height(), 2);  // unchanged after a refused size
}

TEST(Bitmap, AssignCopiesAndNullEmpties) {
  TBitmap a;
  a.SetSize(2, 1);
  a.Canvas().SetPixel(0, 0, clBlue);
  TBitmap b;
  b.Assign(&a);
  a.Canvas().SetPixel(0, 0, clRed);
  EXPECT_EQ(At(b, 0, 0), clBlue);
  EXPECT_EQ(b.Width(), 2);
  b.Canvas().SetPixel(1, 0, clLime);  // the copy's canvas draws into the copy
  EXPECT_EQ(At(a, 1, 0), clWhite);
  b.Assign(nullptr);
  EXPECT_TRUE(b.Empty());
  TPen pen;
  EXPECT_THROW(b.Assign(&pen), EConvertError);
}

TEST(Bitmap, SavedFileReadsBackAt24Bits) {
  TBitmap a;
  a.SetSize(3, 2);
  a.SetPixelFormat(TPixelFormat::pf32bit);
  a.Canvas().SetPixel(0, 0, RGB(1, 2, 3));
  a.Canvas().SetPixel(2, 1, RGB(200, 100, 50));
  const auto path = std::filesystem::temp_directory_path() / ("draw_bmp_" + std::to_string(::getpid()) + ".bmp");
  a.SaveToFile(path.string());
  TBitmap b;
  b.LoadFromFile(path.string());
  std::filesystem::remove(path);
  EXPECT_EQ(b.PixelFormat(), TPixelFormat::pf24bit);
  EXPECT_EQ(b.Width(), 3);
  EXPECT_EQ(b.Height(), 2);
  EXPECT_EQ(At(b, 0, 0), RGB(1, 2, 3));
  EXPECT_EQ(At(b, 2, 1), RGB(200, 100, 50));
  EXPECT_EQ(At(b, 1, 1), clWhite);
  EXPECT_THROW(a.SaveToFile("/nonexistent-dir/x.bmp"), EInvalidGraphicOperation);
}

TEST(Bitmap, ReadsPaletteDepthsAndTopDownFiles) {
  // 1 bit, 3 x 2, bottom-up: bottom row 101, top row 010.
  const std::vector<uint8_t> pal1 = {0, 0, 0, 0, 255, 255, 255, 0};
  TBitmap b;
  b.LoadFromBytes(MakeBmp(3, 2, 1, pal1, {0b10100000, 0, 0, 0, 0b01000000, 0, 0, 0}));
  EXPECT_EQ(At(b, 0, 1), clWhite);
  EXPECT_EQ(At(b, 1, 1), clBlack);
  EXPECT_EQ(At(b, 1, 0), clWhite);
  EXPECT_EQ(At(b, 0, 0), clBlack);
  // 4 bits, negative height (top-down), two palette entries used.
  const std::vector<uint8_t> pal4 = {255, 0, 0, 0, 0, 0, 255, 0};
  b.LoadFromBytes(MakeBmp(2, -1, 4, pal4, {0x10, 0, 0, 0}, 2));
  EXPECT_EQ(At(b, 0, 0), clRed);
  EXPECT_EQ(At(b, 1, 0), clBlue);
  // 8 bits with an index beyond the file's palette: black.
  b.LoadFromBytes(MakeBmp(2, 1, 8, {0, 255, 0, 0}, {0, 200, 0, 0}, 1));
  EXPECT_EQ(At(b, 0, 0), clLime);
  EXPECT_EQ(At(b, 1, 0), clBlack);
  // 32 bits keeps the format.
  b.LoadFromBytes(MakeBmp(1, 1, 32, {}, {9, 8, 7, 0}));
  EXPECT_EQ(b.PixelFormat(), TPixelFormat::pf32bit);
  EXPECT_EQ(At(b, 0, 0), RGB(7, 8, 9));
}

TEST(Bitmap, CorruptFilesAreRefusedAndKeepThePicture) {
  TBitmap b;
  b.SetSize(1, 1);
  b.Canvas().SetPixel(0, 0, clRed);
  const std::vector<uint8_t> good = MakeBmp(2, 2, 24, {}, std::vector<uint8_t>(16, 0));
  auto mutate = [&](auto change) {
    std::vector<uint8_t> f = good;
    change(f);
    return f;
  };
  const std::vector<std::vector<uint8_t>> bad = {
      {},
      {'B', 'M'},
      mutate([](auto& f) { f[0] = 'X'; }),
      mutate([](auto& f) { f.resize(40); }),                          // header cut
      mutate([](auto& f) { f.resize(60); }),                          // pixels cut
      mutate([](auto& f) { Put32(f, 14, 39); }),                      // unknown header size
      mutate([](auto& f) { Put16(f, 28, 16); }),                      // unsupported depth
      mutate([](auto& f) { Put16(f, 28, 0); }),
      mutate([](auto& f) { Put16(f, 26, 2); }),                       // planes
      mutate([](auto& f) { Put32(f, 30, 1); }),                       // run-length compression
      mutate([](auto& f) { Put32(f, 18, 0); }),                       // no width
      mutate([](auto& f) { Put32(f, 18, 0x7FFFFFFF); }),              // huge width
      mutate([](auto& f) { Put32(f, 22, 0x80000000u); }),             // most negative height
      mutate([](auto& f) { Put32(f, 10, 0xFFFFFFF0u); }),             // pixels beyond the end
      mutate([](auto& f) { Put32(f, 10, 20); }),                      // pixels inside the header
      mutate([](auto& f) { Put16(f, 28, 8); Put32(f, 46, 257); }),    // palette too large
      mutate([](auto& f) { Put16(f, 28, 8); Put32(f, 46, 0); }),      // palette missing
      mutate([](auto& f) { Put16(f, 28, 32); Put32(f, 30, 3); }),     // colour masks missing
  };
  for (std::size_t i = 0; i < bad.size(); ++i) {
    EXPECT_THROW(b.LoadFromBytes(bad[i]), EInvalidGraphic) << "case " << i;
    EXPECT_EQ(b.Width(), 1);
    EXPECT_EQ(At(b, 0, 0), clRed);
  }
  EXPECT_THROW(b.LoadFromFile("/nonexistent/picture.bmp"), EInvalidGraphic);
}

}  // namespace
}  // namespace platform::ui

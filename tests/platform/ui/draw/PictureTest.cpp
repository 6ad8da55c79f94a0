// Pictures: icons, JPEG images through libjpeg (corrupt data included) and
// the picture holder loading by extension.

#include <gtest/gtest.h>

#include "tests/platform/ui/draw/ByteWriter.h"

#include <filesystem>
#include <fstream>

#include "JpegEncode.h"
#include "platform/ui/Colors.h"
#include "platform/ui/Picture.h"

namespace platform::ui {
namespace {

using testing::Put16;
using testing::Put32;

// One 24-bit icon image of side n: colour c everywhere, the AND mask set
// (transparent) on the top-left pixel.
std::vector<uint8_t> IconImage(int n, TColor c) {
  std::vector<uint8_t> dib(40);
  Put32(dib, 0, 40);
  Put32(dib, 4, static_cast<uint32_t>(n));
  Put32(dib, 8, static_cast<uint32_t>(2 * n));
  Put16(dib, 12, 1);
  Put16(dib, 14, 24);
  const std::size_t stride = (static_cast<std::size_t>(n) * 3 + 3) / 4 * 4;
  for (int y = 0; y < n; ++y) {
    std::vector<uint8_t> row(stride, 0);
    for (int x = 0; x < n; ++x) {
      row[3 * x] = GetBValue(c);
      row[3 * x + 1] = GetGValue(c);
      row[3 * x + 2] = GetRValue(c);
    }
    dib.insert(dib.end(), row.begin(), row.end());
  }
  const std::size_t maskStride = (static_cast<std::size_t>(n) + 31) / 32 * 4;
  for (int y = 0; y < n; ++y) {  // bottom-up: the last row is the top one
    std::vector<uint8_t> row(maskStride, 0);
    if (y == n - 1) row[0] = 0x80;
    dib.insert(dib.end(), row.begin(), row.end());
  }
  return dib;
}

std::vector<uint8_t> IconFile(const std::vector<std::vector<uint8_t>>& images, const std::vector<int>& sides) {
  std::vector<uint8_t> f(6 + 16 * images.size());
  Put16(f, 2, 1);
  Put16(f, 4, static_cast<uint16_t>(images.size()));
  for (std::size_t i = 0; i < images.size(); ++i) {
    const std::size_t e = 6 + 16 * i;
    f[e] = static_cast<uint8_t>(sides[i]);
    f[e + 1] = static_cast<uint8_t>(sides[i]);
    Put16(f, e + 4, 1);
    Put16(f, e + 6, 24);
    Put32(f, e + 8, static_cast<uint32_t>(images[i].size()));
    Put32(f, e + 12, static_cast<uint32_t>(f.size()));
    f.insert(f.end(), images[i].begin(), images[i].end());
  }
  return f;
}

TEST(Icon, LoadsTheLargestImageWithItsMask) {
  TIcon icon;
  icon.LoadFromBytes(IconFile({IconImage(4, clRed), IconImage(8, clBlue)}, {4, 8}));
  ASSERT_EQ(icon.Width(), 8);
  EXPECT_EQ(icon.Height(), 8);
  TBitmap target;
  target.SetSize(8, 8);
  target.Canvas().Draw(0, 0, icon);
  EXPECT_EQ(target.Canvas().Pixel(0, 0), clWhite);  // masked out
  EXPECT_EQ(target.Canvas().Pixel(1, 0), clBlue);
  EXPECT_EQ(target.Canvas().Pixel(7, 7), clBlue);
  TBitmap asBitmap;
  asBitmap.Assign(&icon);
  EXPECT_EQ(asBitmap.Canvas().Pixel(0, 0), clWhite);
  EXPECT_EQ(asBitmap.Canvas().Pixel(3, 3), clBlue);
}

TEST(Icon, CorruptFilesAreRefusedAndKeepTheIcon) {
  TIcon icon;
  const std::vector<uint8_t> good = IconFile({IconImage(4, clRed)}, {4});
  icon.LoadFromBytes(good);
  auto mutate = [&](auto change) {
    std::vector<uint8_t> f = good;
    change(f);
    return f;
  };
  std::vector<uint8_t> png = good;
  png[22] = 0x89;
  png[23] = 'P';
  png[24] = 'N';
  png[25] = 'G';
  const std::vector<std::vector<uint8_t>> bad = {
      {},
      mutate([](auto& f) { Put16(f, 2, 2); }),                   // a cursor file
      mutate([](auto& f) { Put16(f, 4, 0); }),                   // no images
      mutate([](auto& f) { Put16(f, 4, 500); }),                 // directory beyond the end
      mutate([](auto& f) { Put32(f, 18, 0xFFFFFFF0u); }),        // image beyond the end
      mutate([](auto& f) { Put32(f, 14, 0x7FFFFFFF); }),         // size beyond the end
      mutate([](auto& f) { f.resize(f.size() - 10); }),          // mask cut
      mutate([](auto& f) { Put32(f, 22 + 8, static_cast<uint32_t>(-8)); }),  // top-down icon
      png,
  };
  for (std::size_t i = 0; i < bad.size(); ++i) {
    EXPECT_THROW(icon.LoadFromBytes(bad[i]), EInvalidGraphic) << "case " << i;
    EXPECT_EQ(icon.Width(), 4);
  }
}

// A 16 x 8 picture: left half red, right half blue.
std::vector<uint8_t> TwoColours() {
  std::vector<uint8_t> rgb;
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 16; ++x) {
      const bool left = x < 8;
      rgb.insert(rgb.end(), {static_cast<uint8_t>(left ? 255 : 0), 0, static_cast<uint8_t>(left ? 0 : 255)});
    }
  return rgb;
}

void ExpectNear(TColor actual, TColor expected) {
  EXPECT_NEAR(GetRValue(actual), GetRValue(expected), 12);
  EXPECT_NEAR(GetGValue(actual), GetGValue(expected), 12);
  EXPECT_NEAR(GetBValue(actual), GetBValue(expected), 12);
}

TColor JpegPixel(const TJPEGImage& jpeg, int x, int y) {
  const uint8_t* p = jpeg.Bitmap().ScanLine(y) + 3 * x;
  return RGB(p[2], p[1], p[0]);
}

TEST(Jpeg, DecodesIntoBlueGreenRedRows) {
  TJPEGImage jpeg;
  jpeg.LoadFromBytes(drawtest::EncodeJpeg(TwoColours(), 16, 8));
  ASSERT_EQ(jpeg.Width(), 16);
  ASSERT_EQ(jpeg.Height(), 8);
  EXPECT_EQ(jpeg.Bitmap().PixelFormat(), TPixelFormat::pf24bit);
  ExpectNear(JpegPixel(jpeg, 1, 1), clRed);
  ExpectNear(JpegPixel(jpeg, 14, 6), clBlue);
  TJPEGImage progressive;
  progressive.LoadFromBytes(drawtest::EncodeJpeg(TwoColours(), 16, 8, false, true));
  ExpectNear(JpegPixel(progressive, 14, 6), clBlue);
}

TEST(Jpeg, GreyPicturesAreWidenedToThreeChannels) {
  std::vector<uint8_t> grey(8 * 8, 100);
  TJPEGImage jpeg;
  jpeg.LoadFromBytes(drawtest::EncodeJpeg(grey, 8, 8, true));
  const TColor p = JpegPixel(jpeg, 3, 3);
  EXPECT_EQ(GetRValue(p), GetGValue(p));
  EXPECT_EQ(GetGValue(p), GetBValue(p));
  EXPECT_NEAR(GetRValue(p), 100, 3);
}

TEST(Jpeg, GrayscaleWorksBeforeAndAfterLoading) {
  const std::vector<uint8_t> data = drawtest::EncodeJpeg(TwoColours(), 16, 8);
  TJPEGImage after;
  after.LoadFromBytes(data);
  after.SetGrayscale(true);
  TJPEGImage before;
  before.SetGrayscale(true);
  before.LoadFromBytes(data);
  for (const TJPEGImage* j : {&after, &before}) {
    const TColor p = JpegPixel(*j, 1, 1);
    EXPECT_EQ(GetRValue(p), GetGValue(p));
    EXPECT_EQ(GetGValue(p), GetBValue(p));
    EXPECT_NE(GetRValue(p), 255);
  }
  EXPECT_EQ(JpegPixel(after, 1, 1), JpegPixel(before, 1, 1));
  after.SetGrayscale(false);
  ExpectNear(JpegPixel(after, 1, 1), clRed);
}

TEST(Jpeg, CorruptDataIsRefusedWithoutEndingTheProcess) {
  const std::vector<uint8_t> good = drawtest::EncodeJpeg(TwoColours(), 16, 8);
  TJPEGImage jpeg;
  jpeg.LoadFromBytes(good);
  std::vector<uint8_t> noise(300);
  for (std::size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<uint8_t>(i * 37 + 11);
  std::vector<uint8_t> headerOnly(good.begin(), good.begin() + 20);
  const std::vector<uint8_t> noFrame = {0xFF, 0xD8, 0xFF, 0xD9};
  for (const auto& bad : {std::vector<uint8_t>{}, std::vector<uint8_t>{0xFF, 0xD8}, noise, headerOnly, noFrame}) {
    EXPECT_THROW(jpeg.LoadFromBytes(bad), EInvalidGraphic);
    EXPECT_EQ(jpeg.Width(), 16);  // the old picture stays
  }
  // Scan data that ends early still gives a picture of the full size.
  std::vector<uint8_t> cut(good.begin(), good.end() - 20);
  TJPEGImage partial;
  EXPECT_NO_THROW(partial.LoadFromBytes(cut));
  EXPECT_EQ(partial.Width(), 16);
}

TEST(Jpeg, OversizedPicturesAreRefused) {
  std::vector<uint8_t> data = drawtest::EncodeJpeg(TwoColours(), 16, 8);
  // The frame header (SOF0 or SOF2) holds height and width after its length
  // and precision.
  for (std::size_t i = 0; i + 9 < data.size(); ++i)
    if (data[i] == 0xFF && (data[i + 1] == 0xC0 || data[i + 1] == 0xC2)) {
      data[i + 5] = 0xFF;  // height 65280
      data[i + 6] = 0x00;
      data[i + 7] = 0xFF;  // width 65280
      data[i + 8] = 0x00;
      break;
    }
  TJPEGImage jpeg;
  EXPECT_THROW(jpeg.LoadFromBytes(data), EInvalidGraphic);
  EXPECT_TRUE(jpeg.Empty());
}

class PictureFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = std::filesystem::temp_directory_path() / ("draw_pictures_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
  }
  void TearDown() override { std::filesystem::remove_all(dir); }
  std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) {
    const auto path = dir / name;
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
    return path.string();
  }
  std::filesystem::path dir;
};

TEST_F(PictureFiles, LoadsByExtensionWithoutCase) {
  TBitmap b;
  b.SetSize(2, 3);
  TPicture pic;
  int changes = 0;
  pic.OnChange = [&](TObject*) { ++changes; };
  pic.LoadFromFile(Write("a.Bmp", b.SaveToBytes()));
  EXPECT_NE(dynamic_cast<TBitmap*>(pic.Graphic()), nullptr);
  EXPECT_EQ(pic.Width(), 2);
  pic.LoadFromFile(Write("b.JPEG", drawtest::EncodeJpeg(TwoColours(), 16, 8)));
  EXPECT_NE(dynamic_cast<TJPEGImage*>(pic.Graphic()), nullptr);
  pic.LoadFromFile(Write("c.jpg", drawtest::EncodeJpeg(TwoColours(), 16, 8)));
  EXPECT_EQ(pic.Height(), 8);
  pic.LoadFromFile(Write("d.ico", IconFile({IconImage(4, clRed)}, {4})));
  EXPECT_NE(dynamic_cast<TIcon*>(pic.Graphic()), nullptr);
  EXPECT_EQ(changes, 4);
}

TEST_F(PictureFiles, UnknownOrBadFilesKeepThePicture) {
  TBitmap b;
  b.SetSize(5, 5);
  TPicture pic;
  pic.LoadFromFile(Write("keep.bmp", b.SaveToBytes()));
  std::filesystem::create_directories(dir / "dot.dir");
  EXPECT_THROW(pic.LoadFromFile(Write("x.png", {1, 2, 3})), EInvalidGraphic);
  EXPECT_THROW(pic.LoadFromFile(Write("noext", {1, 2, 3})), EInvalidGraphic);
  EXPECT_THROW(pic.LoadFromFile(Write("dot.dir/none", {1})), EInvalidGraphic);
  EXPECT_THROW(pic.LoadFromFile(Write("bad.jpg", {1, 2, 3})), EInvalidGraphic);
  EXPECT_THROW(pic.LoadFromFile((dir / "missing.bmp").string()), EInvalidGraphic);
  EXPECT_EQ(pic.Width(), 5);
}

TEST(Picture, BitmapReplacesAnotherGraphicAndAssignCopies) {
  TPicture pic;
  EXPECT_EQ(pic.Graphic(), nullptr);
  EXPECT_EQ(pic.Width(), 0);
  TJPEGImage jpeg;
  jpeg.LoadFromBytes(drawtest::EncodeJpeg(TwoColours(), 16, 8));
  pic.Assign(&jpeg);
  ASSERT_NE(dynamic_cast<TJPEGImage*>(pic.Graphic()), nullptr);
  EXPECT_NE(pic.Graphic(), &jpeg);
  TPicture copy;
  copy.Assign(&pic);
  EXPECT_EQ(copy.Width(), 16);
  TBitmap& b = pic.Bitmap();
  EXPECT_TRUE(b.Empty());
  EXPECT_EQ(pic.Graphic(), &b);
  EXPECT_EQ(copy.Width(), 16);  // the copy has its own graphic
  TBitmap fromJpeg;
  fromJpeg.Assign(copy.Graphic());
  EXPECT_EQ(fromJpeg.Width(), 16);
  copy.Assign(nullptr);
  EXPECT_EQ(copy.Graphic(), nullptr);
}

}  // namespace
}  // namespace platform::ui

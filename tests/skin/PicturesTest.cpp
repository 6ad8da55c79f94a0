#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <utility>
#include <vector>

#include "platform/ui/Application.h"
#include "skin/sPictures.h"
#include "tests/platform/ui/draw/JpegEncode.h"
#include "tests/skin/SkinTestSupport.h"

using namespace skin;
using namespace skintest;
namespace ui = platform::ui;
namespace fs = std::filesystem;

namespace {

class PicturesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "skin-pictures-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) {
    const std::string path = (dir_ / name).string();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return path;
  }
  // A picture that holds something to lose.
  static void Prefill(ui::TPicture& p) { p.Assign(Filled(3, 3, ui::clNavy).get()); }

  fs::path dir_;
};

TEST_F(PicturesTest, JpegByAnyCaseOfItsExtension) {
  std::vector<uint8_t> rgb;
  for (int i = 0; i < 16 * 8; ++i) rgb.insert(rgb.end(), {200, 40, 40});
  const auto jpeg = drawtest::EncodeJpeg(rgb, 16, 8);
  for (const char* name : {"a.jpeg", "b.JPG", "c.Jpg"}) {
    for (const bool grey : {false, true}) {
      ui::TPicture p;
      Prefill(p);
      LoadPictureByExt(p, Write(name, jpeg), grey);
      const auto* image = dynamic_cast<const ui::TJPEGImage*>(p.Graphic());
      ASSERT_NE(image, nullptr) << name;
      EXPECT_EQ(image->Width(), 16);
      const TColor c = At(image->Bitmap(), 3, 3);
      EXPECT_EQ(ui::GetRValue(c) == ui::GetGValue(c), grey) << name;
    }
  }
}

TEST_F(PicturesTest, BitmapEndsAt24BitsAndGreyWhenAsked) {
  auto source = Filled(4, 2, ui::RGB(10, 20, 33));
  source->SaveToFile((dir_ / "face.bmp").string());
  // A 1 x 1 file of 32 bits per pixel.
  const std::vector<uint8_t> bmp32 = {'B', 'M', 58, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 1, 0, 0, 0,
                                      1,   0,   0,  0, 1, 0, 32, 0, 0, 0, 0, 0, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                      0,   0,   0,  0, 0, 0, 0,  0, 0, 0, 33, 20, 10, 0};
  const std::string wide = Write("wide.BMP", bmp32);
  const struct {
    std::string path;
    bool grey;
    TColor want;
  } cases[] = {{(dir_ / "face.bmp").string(), false, ui::RGB(10, 20, 33)},
               {(dir_ / "face.bmp").string(), true, Grey(21)},
               {wide, true, Grey(21)}};
  for (const auto& c : cases) {
    ui::TPicture p;
    LoadPictureByExt(p, c.path, c.grey);
    ui::TBitmap& b = p.Bitmap();
    EXPECT_EQ(b.PixelFormat(), ui::TPixelFormat::pf24bit) << c.path;
    EXPECT_EQ(At(b, 0, 0), c.want) << c.path << " " << c.grey;
  }
}

// Other extensions leave the picture as it was; a missing file and every
// failure while loading (bad data, a change handler that refuses the
// change, once or every time) leave it empty and raise nothing: the
// handler's refusals go to the application.
TEST_F(PicturesTest, OtherExtensionsMissingAndCorruptFiles) {
  const auto bmp = Filled(2, 2, ui::clRed)->SaveToBytes();
  const std::string kept[] = {Write("p.png", bmp), Write("noext", bmp), Write("g.gif", bmp)};
  for (const std::string& path : kept) {
    ui::TPicture p;
    Prefill(p);
    EXPECT_NO_THROW(LoadPictureByExt(p, path, true)) << path;
    ASSERT_NE(p.Graphic(), nullptr) << path;
    EXPECT_EQ(p.Width(), 3) << path;
  }
  enum Refuses { kNever, kFirst, kEvery };
  const std::vector<uint8_t> rgb(2 * 2 * 3, 90);
  const std::string missing = (dir_ / "missing.bmp").string();
  const std::string badJpg = Write("bad.jpg", {1, 2, 3});
  const std::string goodBmp = Write("good.bmp", bmp);
  const std::string goodJpg = Write("good.jpg", drawtest::EncodeJpeg(rgb, 2, 2));
  const struct {
    std::string path;
    Refuses refuses;
    int refusals;  // the changes refused, each reported to the application
  } emptied[] = {{missing, kNever, 0},  {badJpg, kNever, 0},  {Write("bad.bmp", {'B', 'M', 0}), kNever, 0},
                 {goodBmp, kFirst, 1},  {goodJpg, kFirst, 1}, {goodBmp, kEvery, 2},
                 {goodJpg, kEvery, 2},  {badJpg, kEvery, 1},  {missing, kEvery, 1}};
  int reported = 0;
  ui::Application().OnException = [&reported](ui::TObject*, std::exception_ptr) { ++reported; };
  for (const auto& c : emptied) {
    ui::TPicture p;
    Prefill(p);
    int refusals = 0;
    p.OnChange = [&refusals, &c](ui::TObject*) {
      if (c.refuses == kEvery) throw ++refusals;  // not even a std::exception
      if (c.refuses == kFirst && refusals++ == 0) throw std::runtime_error("the change is refused");
    };
    reported = 0;
    EXPECT_NO_THROW(LoadPictureByExt(p, c.path, true)) << c.path;
    EXPECT_EQ(p.Graphic(), nullptr) << c.path;
    EXPECT_EQ(reported, c.refusals) << c.path << " " << c.refuses;
  }
  ui::Application().OnException = nullptr;
}

}  // namespace

#include "skin/sPictures.h"

#include <exception>

#include "platform/os/Files.h"
#include "platform/os/Text.h"
#include "skin/sGraphics.h"

namespace skin {

namespace ui = platform::ui;

namespace {

void LoadJpeg(ui::TPicture& picture, const std::string& path, bool grey) {
  ui::TJPEGImage jpeg;
  jpeg.SetGrayscale(grey);  // before loading, so the file is decoded once
  jpeg.LoadFromFile(path);
  picture.Assign(&jpeg);
}

void LoadBmp(ui::TPicture& picture, const std::string& path, bool grey) {
  picture.LoadFromFile(path);
  ui::TBitmap& bitmap = picture.Bitmap();
  bitmap.SetPixelFormat(ui::TPixelFormat::pf24bit);
  if (grey) ToGrey(bitmap);
}

}  // namespace

void LoadPictureByExt(ui::TPicture& picture, const std::string& path, bool grey) {
  if (!platform::os::FileExists(path)) {
    picture.Assign(nullptr);
    return;
  }
  const std::string ext = platform::os::AnsiUpperCase(platform::os::ExtractFileExt(path));
  const bool jpeg = ext == ".JPG" || ext == ".JPEG";
  if (!jpeg && ext != ".BMP") return;
  try {
    if (jpeg)
      LoadJpeg(picture, path, grey);
    else
      LoadBmp(picture, path, grey);
  } catch (const std::exception&) {
    // Every failure while loading (bad image data, memory, the picture's
    // change handler) leaves the picture empty rather than half loaded.
    picture.Assign(nullptr);
  }
}

}  // namespace skin

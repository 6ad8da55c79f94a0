#include "skin/sPictures.h"

#include "platform/os/Files.h"
#include "platform/os/Text.h"
#include "skin/sGraphics.h"

namespace skin {

namespace ui = platform::ui;

void LoadPictureByExt(ui::TPicture& picture, const std::string& path, bool grey) {
  if (!platform::os::FileExists(path)) {
    picture.Assign(nullptr);
    return;
  }
  const std::string ext = platform::os::AnsiUpperCase(platform::os::ExtractFileExt(path));
  try {
    if (ext == ".JPG" || ext == ".JPEG") {
      ui::TJPEGImage jpeg;
      jpeg.SetGrayscale(grey);  // before loading, so the file is decoded once
      jpeg.LoadFromFile(path);
      picture.Assign(&jpeg);
    } else if (ext == ".BMP") {
      picture.LoadFromFile(path);
      ui::TBitmap& bitmap = picture.Bitmap();
      bitmap.SetPixelFormat(ui::TPixelFormat::pf24bit);
      if (grey) ToGrey(bitmap);
    }
  } catch (const ui::EInvalidGraphic&) {
    // Unreadable or bad image data: the picture stays as the failing step left it.
  } catch (const ui::EInvalidGraphicOperation&) {
  }
}

}  // namespace skin

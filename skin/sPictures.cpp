#include "skin/sPictures.h"

#include <exception>
#include <memory>

#include "platform/os/Files.h"
#include "platform/os/Text.h"
#include "platform/ui/Application.h"
#include "skin/sGraphics.h"

namespace skin {

namespace ui = platform::ui;

namespace {

std::unique_ptr<ui::TGraphic> LoadJpeg(const std::string& path, bool grey) {
  auto jpeg = std::make_unique<ui::TJPEGImage>();
  jpeg->SetGrayscale(grey);  // before loading, so the file is decoded once
  jpeg->LoadFromFile(path);
  return jpeg;
}

std::unique_ptr<ui::TGraphic> LoadBmp(const std::string& path, bool grey) {
  auto bitmap = std::make_unique<ui::TBitmap>();
  bitmap->LoadFromFile(path);
  bitmap->SetPixelFormat(ui::TPixelFormat::pf24bit);
  if (grey) ToGrey(*bitmap);
  return bitmap;
}

// Puts graphic (null: nothing) into the picture, which then holds it even
// when its change handler refuses: what the handler raises goes to the
// application, as from any handler. False when it raised.
bool Put(ui::TPicture& picture, const ui::TGraphic* graphic) {
  try {
    picture.Assign(graphic);
    return true;
  } catch (...) {
    ui::HandleDispatchException(std::current_exception());
    return false;
  }
}

}  // namespace

// The file is decoded into a graphic of its own, so a failure leaves
// nothing half loaded and the change handler is told once, of the whole.
void LoadPictureByExt(ui::TPicture& picture, const std::string& path, bool grey) {
  if (!platform::os::FileExists(path)) {
    Put(picture, nullptr);
    return;
  }
  const std::string ext = platform::os::AnsiUpperCase(platform::os::ExtractFileExt(path));
  const bool jpeg = ext == ".JPG" || ext == ".JPEG";
  if (!jpeg && ext != ".BMP") return;
  std::unique_ptr<ui::TGraphic> loaded;
  try {
    loaded = jpeg ? LoadJpeg(path, grey) : LoadBmp(path, grey);
  } catch (const std::exception&) {
    // Bad image data or memory: the picture ends empty.
  }
  if (loaded == nullptr || !Put(picture, loaded.get())) Put(picture, nullptr);
}

}  // namespace skin

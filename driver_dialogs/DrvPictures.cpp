#include "driver_dialogs/DrvPictures.h"

#include "platform/ui/Bitmap.h"

namespace driver_dialogs {

void LoadDialogPicture(platform::ui::TPicture& picture, std::string_view name) {
  platform::ui::TBitmap bitmap;
  bitmap.LoadFromResourceName(name);
  picture.SetGraphic(&bitmap);
}

}  // namespace driver_dialogs

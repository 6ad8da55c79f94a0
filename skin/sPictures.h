#pragma once
// sPictures: a picture filled from an image file chosen by its extension.
// GUI thread.

#include <string>

#include "platform/ui/Picture.h"

namespace skin {

// Loads path into picture: ".JPG"/".JPEG" (any case) through the JPEG
// decoder, grey when asked; ".BMP" as a bitmap turned 24-bit (grey when
// asked: (b + g + r) div 3). A missing file clears the picture; any other
// extension leaves it unchanged. Bad image data raises nothing: the
// picture keeps what the failing step left.
void LoadPictureByExt(platform::ui::TPicture& picture, const std::string& path, bool grey);

}  // namespace skin

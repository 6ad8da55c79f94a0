#pragma once
// sPictures: a picture filled from an image file chosen by its extension.
// GUI thread.

#include <string>

#include "platform/ui/Picture.h"

namespace skin {

// Loads path into picture: ".JPG"/".JPEG" (any case) through the JPEG
// decoder, grey when asked; ".BMP" as a bitmap turned 24-bit (grey when
// asked: (b + g + r) div 3). A missing file clears the picture; any other
// extension leaves it unchanged. A failure while loading (bad image data,
// memory, the picture's change handler refusing the loaded picture) leaves
// the picture empty. Raises nothing: what the change handler raises, at
// any change, goes to the application (HandleDispatchException), as from
// any handler, and the picture holds the change all the same.
void LoadPictureByExt(platform::ui::TPicture& picture, const std::string& path, bool grey);

}  // namespace skin

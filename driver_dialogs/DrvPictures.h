#pragma once
// The pictures of the driver's dialogs. They are BITMAP resources of the
// binary that shows the dialogs (the driver module, a test program),
// embedded by fw_embed_dialog_pictures in driver_dialogs/CMakeLists.txt.

#include "platform/ui/Picture.h"

#include <string_view>

namespace driver_dialogs {

inline constexpr std::string_view LogoPictureName = "FWLOGO";               // 96 x 96
inline constexpr std::string_view ErrorPictureName = "FWERROR";             // 32 x 32
inline constexpr std::string_view InformationPictureName = "FWINFORMATION"; // 32 x 32

// Loads the named picture into picture. Raises EResNotFound when the
// binary has no such resource. GUI thread.
void LoadDialogPicture(platform::ui::TPicture& picture, std::string_view name);

}  // namespace driver_dialogs

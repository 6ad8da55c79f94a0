#pragma once
// Building the driver dialogs' forms: the dialog frame, the sunken panels
// and the logo (components themselves: platform::ui::CreateChild). GUI
// thread.

#include "platform/ui/Form.h"
#include "platform/ui/Panels.h"

#include <string_view>

namespace driver_dialogs {

// A fixed dialog frame centred on the screen with that client size.
void SetUpDialogForm(platform::ui::TForm& form, std::string_view name, std::string_view caption, int clientWidth,
                     int clientHeight);

// A captionless panel with a lowered inner bevel only.
platform::ui::TPanel* AddSunkenPanel(platform::ui::TForm& form, std::string_view name, int left, int top, int width,
                                     int height);

// The logo picture (96 x 96) in a sunken panel of 112 x 112 at (left, top);
// the image's parent is the panel. Raises EResNotFound when the binary
// lacks the picture.
platform::ui::TImage* AddLogo(platform::ui::TForm& form, std::string_view panelName, std::string_view imageName,
                              int left, int top);

}  // namespace driver_dialogs

#pragma once
// sFormButtons: the settings every button of the system's forms shares: a
// grey-to-white gradient face, a banded hot gradient without bevel or
// see-through, the second built-in border mask, no cross-fade, the caption
// centred right of an absent glyph. GUI thread.

#include <string_view>

#include "platform/ui/Types.h"
#include "platform/ui/WinControl.h"
#include "skin/sCustomButton.h"

namespace skin {

// The normal face: grey (128,128,128) at the top to white at 99 %.
inline constexpr std::string_view kFormButtonGradient = "8421504;16777215;99;0;0;16777215;16777215;0;0;0";
// The hot face: grey 10 %, grey to white 43 %, white to (162,162,162) 28 %,
// on to (210,210,210) 18 %, then (210,210,210).
inline constexpr std::string_view kFormButtonHotGradient =
    "8421504;8421504;10;0;0;8421504;16777215;43;0;0;16777215;10658466;28;0;0;10658466;13816530;18;0;0;"
    "13816530;13816530;0;0;0";

// Gives button the forms' settings with color as its painting colour
// (clBtnFace on every form but the message box, whose buttons are clSilver
// and do not follow their parent's colour).
void ApplyFormButtonSettings(TsBitBtn& button, platform::ui::TColor color = platform::ui::clBtnFace);

// A TsBitBtn with the forms' settings, owned by owner, named name, on
// parent (CreateChild's rules and failures).
TsBitBtn* CreateFormButton(platform::ui::TComponent* owner, platform::ui::TWinControl* parent, std::string_view name,
                           platform::ui::TColor color = platform::ui::clBtnFace);

}  // namespace skin

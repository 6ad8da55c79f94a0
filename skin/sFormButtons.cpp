#include "skin/sFormButtons.h"

#include "skin/sStyleUtil.h"

namespace skin {

namespace ui = platform::ui;

void ApplyFormButtonSettings(TsBitBtn& button, ui::TColor color) {
  TsActiveBGStyle& style = button.sStyle();
  style.SetSkinSection("TsBitBtn");
  style.SetGroupIndex(0);
  style.Painting().SetColor(color);
  style.Painting().SetParentColor(false);
  style.Background().Gradient().SetData(kFormButtonGradient);
  style.HotStyle().HotBackground().Gradient().SetData(kFormButtonHotGradient);
  style.HotStyle().HotPainting().SetTransparency(0);
  style.HotStyle().HotPainting().SetBevel(TsControlBevel::cbNone);
  style.BtnEffects().Fading().SetEnabled(false);
  style.BtnEffects().MaskedBorders().SetPredefined(TsPredefinedBorders::pdBorder2);
  button.SetLayout(ui::TButtonLayout::blGlyphLeft);
  button.SetSpacing(3);
}

TsBitBtn* CreateFormButton(ui::TComponent* owner, ui::TWinControl* parent, std::string_view name, ui::TColor color) {
  auto* button = ui::CreateChild<TsBitBtn>(owner, parent, name);
  ApplyFormButtonSettings(*button, color);
  return button;
}

}  // namespace skin

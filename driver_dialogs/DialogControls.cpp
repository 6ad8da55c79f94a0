#include "driver_dialogs/DialogControls.h"

#include "driver_dialogs/DrvPictures.h"

namespace driver_dialogs {

namespace ui = platform::ui;

void SetUpDialogForm(ui::TForm& form, std::string_view name, std::string_view caption, int clientWidth,
                     int clientHeight) {
  form.SetName(name);
  form.SetCaption(caption);
  form.SetBorderStyle(ui::TFormBorderStyle::bsDialog);
  form.SetPosition(ui::TPosition::poScreenCenter);
  form.SetClientWidth(clientWidth);
  form.SetClientHeight(clientHeight);
}

ui::TPanel* AddSunkenPanel(ui::TForm& form, std::string_view name, int left, int top, int width, int height) {
  auto* panel = ui::CreateChild<ui::TPanel>(&form, &form, name);
  panel->SetBounds(left, top, width, height);
  panel->SetCaption("");
  panel->SetBevelOuter(ui::TPanelBevel::bvNone);
  panel->SetBevelInner(ui::TPanelBevel::bvLowered);
  return panel;
}

ui::TImage* AddLogo(ui::TForm& form, std::string_view panelName, std::string_view imageName, int left, int top) {
  ui::TPanel* panel = AddSunkenPanel(form, panelName, left, top, 112, 112);
  auto* image = ui::CreateChild<ui::TImage>(&form, panel, imageName);
  image->SetBounds(8, 8, 96, 96);
  image->SetTransparent(true);
  LoadDialogPicture(image->Picture(), LogoPictureName);
  return image;
}

}  // namespace driver_dialogs

// Screenshot pages of a form button in each of its looks: normal, hot (the
// active default button), pressed, focused and disabled. Each page is a
// small dialog with the button and an edit that holds the focus unless the
// button should.

#include "platform/os/Text.h"
#include "platform/ui/Edit.h"
#include "platform/ui/Form.h"
#include "skin/sFormButtons.h"
#include "tests/platform/ui/screenshots/Pages.h"

namespace {

namespace ui = platform::ui;
using namespace platform::os::literals;

enum class Look { Normal, Hot, Pressed, Focused, Disabled };

ui::TCustomForm* ButtonPage(Look look) {
  auto* form = ui::Create<ui::TForm>(nullptr);
  form->SetBorderStyle(ui::TFormBorderStyle::bsDialog);
  form->SetCaption("Кнопка"_cp);
  form->SetBounds(100, 100, 200, 110);
  auto* edit = ui::CreateChild<ui::TEdit>(form, form, "Edit");
  edit->SetBounds(16, 12, 160, 21);
  skin::TsBitBtn* button = skin::CreateFormButton(form, form, "OkBitBtn");
  button->SetBounds(56, 44, 80, 25);
  button->SetCaption("Да"_cp);
  form->SetActiveControl(look == Look::Focused ? static_cast<ui::TWinControl*>(button) : edit);
  if (look == Look::Hot) button->SetDefault(true);
  if (look == Look::Pressed) button->SetDown(true);
  if (look == Look::Disabled) button->SetEnabled(false);
  return form;
}

const bool kRegistered = [] {
  using screenshots::RegisterPage;
  RegisterPage("skin_button_normal", [] { return ButtonPage(Look::Normal); });
  RegisterPage("skin_button_hot", [] { return ButtonPage(Look::Hot); });
  RegisterPage("skin_button_pressed", [] { return ButtonPage(Look::Pressed); });
  RegisterPage("skin_button_focused", [] { return ButtonPage(Look::Focused); });
  RegisterPage("skin_button_disabled", [] { return ButtonPage(Look::Disabled); });
  return true;
}();

}  // namespace

#include "driver_dialogs/MessageBoxes.h"

#include "driver/Dialogs.h"
#include "driver_dialogs/DialogControls.h"
#include "driver_dialogs/DrvPictures.h"
#include "platform/os/Text.h"
#include "skin/sFormButtons.h"

namespace driver_dialogs {

namespace ui = platform::ui;
using namespace platform::os::literals;

TMessageBoxDialog::TMessageBoxDialog(ui::TComponent* owner) : ui::TForm(owner) {
  SetUpDialogForm(*this, "MessageBoxDialog", "Внимание"_cp, 351, 129);
  SetBorderIcons(0);

  ErrorImage = ui::CreateChild<ui::TImage>(this, this, "ErrorImage");
  ErrorImage->SetBounds(8, 96, 32, 32);
  ErrorImage->SetVisible(false);
  LoadDialogPicture(ErrorImage->Picture(), ErrorPictureName);
  InformationImage = ui::CreateChild<ui::TImage>(this, this, "InformationImage");
  InformationImage->SetBounds(48, 96, 32, 32);
  InformationImage->SetVisible(false);
  LoadDialogPicture(InformationImage->Picture(), InformationPictureName);

  PictPanel = ui::CreateChild<ui::TPanel>(this, this, "PictPanel");
  PictPanel->SetBounds(8, 8, 48, 48);
  PictPanel->SetCaption("");
  PictPanel->SetBevelInner(ui::TPanelBevel::bvRaised);
  PictPanel->SetBevelOuter(ui::TPanelBevel::bvLowered);
  QuestionImage = ui::CreateChild<ui::TImage>(this, PictPanel, "QuestionImage");
  QuestionImage->SetBounds(8, 8, 32, 32);
  QuestionImage->SetTransparent(true);

  TextPanel = AddSunkenPanel(*this, "TextPanel", 64, 8, 279, 80);
  MessageLabel = ui::CreateChild<ui::TLabel>(this, TextPanel, "MessageLabel");
  MessageLabel->SetBounds(6, 6, 267, 68);
  MessageLabel->SetAlignment(ui::TAlignment::taCenter);
  MessageLabel->SetWordWrap(true);

  OkBitBtn = skin::CreateFormButton(this, this, "OkBitBtn", ui::clSilver);
  OkBitBtn->SetBounds(88, 96, 80, 25);
  OkBitBtn->SetCaption("Да"_cp);
  OkBitBtn->SetDefault(true);
  OkBitBtn->SetCancel(true);
  OkBitBtn->SetModalResult(ui::mrOk);
  CancelBitBtn = skin::CreateFormButton(this, this, "CancelBitBtn", ui::clSilver);
  CancelBitBtn->SetBounds(184, 96, 80, 25);
  CancelBitBtn->SetCaption("Нет"_cp);
  CancelBitBtn->SetCancel(true);
  CancelBitBtn->SetModalResult(ui::mrCancel);
}

void TMessageBoxDialog::Prepare(std::string_view caption, std::string_view text, bool bold, bool twoButtons) {
  SetCaption(caption);
  MessageLabel->SetCaption(text);
  if (twoButtons) {
    // A question: Esc answers "Нет", not "Да".
    OkBitBtn->SetCancel(false);
  } else {
    CancelBitBtn->SetVisible(false);
    OkBitBtn->SetLeft((Width() - OkBitBtn->Width()) / 2);
  }
  QuestionImage->Picture().Assign(&ErrorImage->Picture());
  if (bold) MessageLabel->Font().SetStyle(ui::fsBold);
}

int32_t ShowMessageBoxDialog(HostWindowHandle parent, std::string_view caption, std::string_view text, bool bold,
                             bool twoButtons) {
  const auto box = ui::CreateOwned<TMessageBoxDialog>(nullptr);
  box->SetParentWindow(parent);
  box->Prepare(caption, text, bold, twoButtons);
  static_assert(ui::mrOk == mrBoxOk && ui::mrCancel == mrBoxCancel);
  return box->ShowModal();
}

}  // namespace driver_dialogs

// The message box and the about box, driven as a user drives them.

#include "DialogsTestSupport.h"
#include "driver/Dialogs.h"
#include "driver_dialogs/MessageBoxes.h"
#include "platform/os/Text.h"
#include "platform/ui/Bitmap.h"
#include "platform/ui/Buttons.h"
#include "platform/ui/Label.h"
#include "platform/ui/Panels.h"

#include <cstdlib>
#include <optional>

namespace {

using namespace dlgtest;
using namespace platform::os::literals;
using driver_dialogs::ShowMessageBoxDialog;

std::vector<uint8_t> PictureBytes(ui::TImage& image) {
  auto* bitmap = dynamic_cast<ui::TBitmap*>(image.Picture().Graphic());
  return bitmap != nullptr ? bitmap->SaveToBytes() : std::vector<uint8_t>{};
}

using MessageBox = HeadlessTest;

// What the box showed, and how the user answered.
struct BoxSeen {
  std::string Caption;
  bool NoVisible = true;
  int YesLeft = -1;
  int Expected = -1;
  bool Bold = false;
  bool ErrorPicture = false;
};

TEST_F(MessageBox, OneOrTwoButtonsAnsweredByClickOrEsc) {
  struct Case {
    bool twoButtons;
    bool bold;
    std::optional<std::string_view> click;  // nothing: Esc
    int32_t result;
  };
  const Case cases[] = {
      {false, false, std::nullopt, driver_dialogs::mrBoxOk},  // the only button is also the cancel button
      {false, true, "OkBitBtn", driver_dialogs::mrBoxOk},
      {true, false, std::nullopt, driver_dialogs::mrBoxCancel},  // Esc to a question answers "Нет"
      {true, true, "OkBitBtn", driver_dialogs::mrBoxOk},
      {true, false, "CancelBitBtn", driver_dialogs::mrBoxCancel},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.click.value_or("Esc")) + (c.twoButtons ? " two" : " one"));
    BoxSeen seen;
    ui::THeadlessDriver::AnswerNextModal([&](ui::TCustomForm& form) {
      seen.Caption = form.Caption();
      seen.NoVisible = Get<ui::TControl>(form, "CancelBitBtn").Visible();
      seen.YesLeft = Get<ui::TControl>(form, "OkBitBtn").Left();
      seen.Expected = (form.Width() - Get<ui::TControl>(form, "OkBitBtn").Width()) / 2;
      seen.Bold = (Get<ui::TLabel>(form, "MessageLabel").Font().Style() & ui::fsBold) != 0;
      seen.ErrorPicture = PictureBytes(Get<ui::TImage>(form, "QuestionImage")) ==
                          PictureBytes(Get<ui::TImage>(form, "ErrorImage"));
      EXPECT_NE(PictureBytes(Get<ui::TImage>(form, "ErrorImage")),
                PictureBytes(Get<ui::TImage>(form, "InformationImage")));
      EXPECT_EQ(Shown(form, "MessageLabel"), "Файл не найден."_cp);
      if (c.click) Click(form, *c.click);
      else ui::THeadlessDriver::PressKey(ui::VK_ESCAPE);
    });
    EXPECT_EQ(ShowMessageBoxDialog(0, "Драйвер"_cp, "Файл не найден."_cp, c.bold, c.twoButtons), c.result);
    EXPECT_EQ(seen.Caption, "Драйвер"_cp);
    EXPECT_EQ(seen.NoVisible, c.twoButtons);
    if (!c.twoButtons) {
      EXPECT_EQ(seen.YesLeft, seen.Expected);
    }
    EXPECT_EQ(seen.Bold, c.bold);
    EXPECT_TRUE(seen.ErrorPicture);
  }
}

TEST_F(MessageBox, FormAsBuilt) {
  const auto box = ui::CreateOwned<driver_dialogs::TMessageBoxDialog>(nullptr);
  EXPECT_EQ(box->Caption(), "Внимание"_cp);
  EXPECT_EQ(box->ClientWidth(), 351);
  EXPECT_EQ(box->ClientHeight(), 129);
  EXPECT_EQ(box->BorderIcons(), 0u);
  EXPECT_EQ(box->OkBitBtn->Caption(), "Да"_cp);
  EXPECT_EQ(box->CancelBitBtn->Caption(), "Нет"_cp);
  EXPECT_FALSE(box->ErrorImage->Visible());
  EXPECT_FALSE(box->InformationImage->Visible());
}

using AboutBox = HeadlessTest;

TEST_F(AboutBox, CaptionSizeAndTextLineByLine) {
  ui::THeadlessDriver::AnswerNextModal([](ui::TCustomForm& form) {
    EXPECT_EQ(form.Caption(), "О драйвере поддержки OPC серверов..."_cp);
    EXPECT_EQ(form.ClientWidth(), 366);
    EXPECT_EQ(form.ClientHeight(), 258);
    EXPECT_EQ(Shown(form, "MsgLabel"),
              "\r\nДрайвер обслуживания OPC серверов ядром сервера Halvorsten.\r\n\r\nВерсия 3.0\r\n\r\n© Corvex, 2026"_cp);
    EXPECT_EQ(Get<ui::TImage>(form, "Image1").Picture().Width(), 96);
    EXPECT_EQ(Shown(form, "OkBitBtn"), "OK");
    ui::THeadlessDriver::PressKey(ui::VK_RETURN);  // OK is the default button
    EXPECT_EQ(form.ModalResult(), ui::mrOk);
  });
  driver_dialogs::ShowAboutDialog(0);
}

}  // namespace

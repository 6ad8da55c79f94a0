#pragma once
// TMessageBoxDialog: the driver's message box, always with the error
// picture, with one button ("Да") or two ("Да", "Нет"). Kernel's window
// thread.

#include "platform/ui/Form.h"
#include "platform/ui/Label.h"
#include "platform/ui/Panels.h"
#include "skin/sCustomButton.h"

#include <string_view>

namespace driver_dialogs {

class TMessageBoxDialog : public platform::ui::TForm {
 public:
  // Builds the box: caption "Внимание", both buttons, no picture shown yet.
  // Raises EResNotFound when the binary lacks the dialog pictures.
  explicit TMessageBoxDialog(platform::ui::TComponent* owner);

  // Caption, text and look of one message: one button centred or two, the
  // error picture, the text bold or not.
  void Prepare(std::string_view caption, std::string_view text, bool bold, bool twoButtons);

  platform::ui::TImage* ErrorImage;
  platform::ui::TImage* InformationImage;
  platform::ui::TPanel* PictPanel;
  platform::ui::TImage* QuestionImage;
  platform::ui::TPanel* TextPanel;
  platform::ui::TLabel* MessageLabel;
  skin::TsBitBtn* OkBitBtn;
  skin::TsBitBtn* CancelBitBtn;
};

}  // namespace driver_dialogs

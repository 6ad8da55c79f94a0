// Screenshot pages of the standard controls, each on a small dialog.

#include <filesystem>

#include "platform/ui/Application.h"
#include "platform/ui/Bitmap.h"
#include "platform/ui/Buttons.h"
#include "platform/ui/CheckBox.h"
#include "platform/ui/Colors.h"
#include "platform/ui/ComboBox.h"
#include "platform/ui/Edit.h"
#include "platform/ui/Grid.h"
#include "platform/ui/Headless.h"
#include "platform/ui/Label.h"
#include "platform/ui/ListBox.h"
#include "platform/ui/Menu.h"
#include "platform/ui/PageControl.h"
#include "platform/ui/Panels.h"
#include "platform/ui/SaveDialogForm.h"
#include "platform/ui/SpinEdit.h"
#include "platform/ui/ValueListEditor.h"
#include "tests/platform/ui/screenshots/Pages.h"

namespace {

using namespace platform::ui;

TForm* Dialog(const char* caption, int clientWidth, int clientHeight) {
  auto* form = Create<TForm>(nullptr);
  form->SetBorderStyle(TFormBorderStyle::bsDialog);
  form->SetBorderIcons(biSystemMenu);
  form->SetCaption(caption);
  form->SetBounds(40, 40, 400, 300);
  form->SetClientWidth(clientWidth);
  form->SetClientHeight(clientHeight);
  return form;
}

template <class T>
T* Put(TForm* form, TWinControl* parent, int x, int y, int w, int h, const char* caption = "") {
  T* c = Create<T>(form);
  c->SetParent(parent);
  c->SetBounds(x, y, w, h);
  if (*caption != 0) c->SetCaption(caption);
  return c;
}

// A 16 x 16 glyph: a green disc on a fuchsia (transparent) ground.
void MakeGlyph(TBitmap& b) {
  b.SetSize(16, 16);
  b.Canvas().Brush().SetColor(clFuchsia);
  b.Canvas().FillRect(Rect(0, 0, 16, 16));
  b.Canvas().Brush().SetColor(clGreen);
  b.Canvas().Pen().SetColor(clBlack);
  b.Canvas().Ellipse(2, 2, 14, 14);
}

const bool kRegistered = [] {
  using screenshots::RegisterPage;
  RegisterPage("label", [] {
    TForm* f = Dialog("Label", 220, 70);
    Put<TLabel>(f, f, 8, 8, 200, 17, "&Plain label");
    Put<TLabel>(f, f, 8, 28, 200, 17, "Disabled label")->SetEnabled(false);
    auto* centred = Put<TLabel>(f, f, 8, 48, 200, 17, "Centred on white");
    centred->SetAlignment(TAlignment::taCenter);
    centred->SetColor(clWindow);
    return f;
  });
  RegisterPage("edit", [] {
    TForm* f = Dialog("Edit", 220, 90);
    Put<TEdit>(f, f, 8, 8, 200, 21, "Plain text");
    auto* focused = Put<TEdit>(f, f, 8, 34, 200, 21, "Focused, all selected");
    Put<TEdit>(f, f, 8, 60, 200, 21, "Disabled")->SetEnabled(false);
    f->SetActiveControl(focused);
    return f;
  });
  RegisterPage("memo", [] {
    TForm* f = Dialog("Memo", 260, 120);
    auto* memo = Put<TMemo>(f, f, 8, 8, 244, 104);
    memo->SetScrollBars(TScrollStyle::ssVertical);
    memo->SetMemoText("First line\r\nSecond line, long enough to show where the words wrap in the memo\r\nThird");
    return f;
  });
  RegisterPage("checkbox", [] {
    TForm* f = Dialog("Check box", 200, 84);
    Put<TCheckBox>(f, f, 8, 8, 180, 17, "&Unchecked");
    Put<TCheckBox>(f, f, 8, 30, 180, 17, "Checked")->SetChecked(true);
    auto* grey = Put<TCheckBox>(f, f, 8, 52, 180, 17, "Disabled, checked");
    grey->SetChecked(true);
    grey->SetEnabled(false);
    f->SetActiveControl(nullptr);
    return f;
  });
  RegisterPage("button", [] {
    TForm* f = Dialog("Button", 260, 41);
    Put<TButton>(f, f, 8, 8, 75, 25, "&OK")->SetDefault(true);
    Put<TButton>(f, f, 91, 8, 75, 25, "Cancel");
    Put<TButton>(f, f, 174, 8, 75, 25, "Disabled")->SetEnabled(false);
    return f;
  });
  RegisterPage("bitbtn", [] {
    TForm* f = Dialog("Bit button", 260, 41);
    auto* ok = Put<TBitBtn>(f, f, 8, 8, 115, 25);
    ok->SetKind(TBitBtnKind::bkOK);
    TBitmap glyph;
    MakeGlyph(glyph);
    ok->SetGlyph(&glyph);
    auto* off = Put<TBitBtn>(f, f, 131, 8, 120, 25, "Disabled");
    off->SetGlyph(&glyph);
    off->SetEnabled(false);
    return f;
  });
  RegisterPage("speedbutton", [] {
    TForm* f = Dialog("Speed button", 200, 40);
    TBitmap glyph;
    MakeGlyph(glyph);
    auto* up = Put<TSpeedButton>(f, f, 8, 8, 25, 25);
    up->SetGlyph(&glyph);
    auto* down = Put<TSpeedButton>(f, f, 41, 8, 25, 25);
    down->SetGlyph(&glyph);
    down->SetGroupIndex(1);
    down->SetDown(true);
    Put<TSpeedButton>(f, f, 74, 8, 60, 25, "Text");
    auto* flat = Put<TSpeedButton>(f, f, 142, 8, 50, 25, "Flat");
    flat->SetFlat(true);
    return f;
  });
  RegisterPage("groupbox", [] {
    TForm* f = Dialog("Group box", 220, 110);
    auto* g = Put<TGroupBox>(f, f, 8, 8, 204, 94, " Settings ");
    Put<TLabel>(f, g, 8, 8, 60, 17, "Name:");
    Put<TEdit>(f, g, 70, 6, 120, 21, "value");
    Put<TCheckBox>(f, g, 8, 40, 180, 17, "Option")->SetChecked(true);
    return f;
  });
  RegisterPage("panel", [] {
    TForm* f = Dialog("Panel", 260, 100);
    Put<TPanel>(f, f, 8, 8, 244, 40, "Raised");
    auto* lowered = Put<TPanel>(f, f, 8, 54, 244, 40, "Lowered, raised inside");
    lowered->SetBevelOuter(TPanelBevel::bvLowered);
    lowered->SetBevelInner(TPanelBevel::bvRaised);
    lowered->SetBorderWidth(2);
    return f;
  });
  RegisterPage("image", [] {
    TForm* f = Dialog("Image", 140, 80);
    TBitmap picture;
    picture.SetSize(32, 24);
    for (int y = 0; y < 24; ++y)
      for (int x = 0; x < 32; ++x)
        picture.Canvas().SetPixel(x, y, RGB(static_cast<uint8_t>(x * 8), static_cast<uint8_t>(y * 10), 160));
    auto* plain = Put<TImage>(f, f, 8, 8, 40, 40);
    plain->Picture().SetGraphic(&picture);
    auto* stretched = Put<TImage>(f, f, 56, 8, 76, 64);
    stretched->SetStretch(true);
    stretched->Picture().SetGraphic(&picture);
    return f;
  });
  RegisterPage("listbox", [] {
    TForm* f = Dialog("List box", 180, 110);
    auto* list = Put<TListBox>(f, f, 8, 8, 164, 94);
    for (const char* item : {"Alpha", "Beta", "Gamma", "Delta", "Epsilon", "Zeta", "Eta", "Theta"})
      list->Items().Add(item);
    list->SetItemIndex(2);
    f->SetActiveControl(list);
    return f;
  });
  RegisterPage("combobox", [] {
    TForm* f = Dialog("Combo box", 180, 64);
    auto* list = Put<TComboBox>(f, f, 8, 8, 164, 21);
    list->SetStyle(TComboBoxStyle::csDropDownList);
    list->Items().Add("First");
    list->Items().Add("Second");
    list->SetItemIndex(1);
    auto* text = Put<TComboBox>(f, f, 8, 36, 164, 21);
    text->SetText("Typed text");
    f->SetActiveControl(list);
    return f;
  });
  RegisterPage("spinedit", [] {
    TForm* f = Dialog("Spin edit", 140, 37);
    auto* spin = Put<TSpinEdit>(f, f, 8, 8, 120, 21);
    spin->SetMaxValue(100);
    spin->SetValue(42);
    return f;
  });
  RegisterPage("pagecontrol", [] {
    TForm* f = Dialog("Page control", 280, 150);
    auto* pc = Put<TPageControl>(f, f, 8, 8, 264, 134);
    for (const char* caption : {"Status", "Requests", "Commands"}) {
      auto* page = Create<TTabSheet>(f);
      page->SetCaption(caption);
      page->SetPageControl(pc);
    }
    pc->SetActivePageIndex(1);
    Put<TLabel>(f, pc->ActivePage(), 8, 8, 200, 17, "Second page");
    return f;
  });
  RegisterPage("stringgrid", [] {
    TForm* f = Dialog("String grid", 280, 120);
    auto* grid = Put<TStringGrid>(f, f, 8, 8, 264, 104);
    grid->SetColCount(4);
    grid->SetRowCount(4);
    grid->SetOptions(grid->Options() | goRowSelect);
    for (int c = 0; c < 4; ++c)
      for (int r = 0; r < 4; ++r) grid->SetCells(c, r, std::string(1, static_cast<char>('A' + c)) + std::to_string(r));
    return f;
  });
  RegisterPage("valuelisteditor", [] {
    TForm* f = Dialog("Value list editor", 240, 100);
    auto* editor = Put<TValueListEditor>(f, f, 8, 8, 224, 84);
    editor->TitleCaptions().Add("Key");
    editor->TitleCaptions().Add("Value");
    editor->InsertRow("Device1", "Server.A", true);
    editor->InsertRow("Device2", "Server.B", true);
    editor->SetDefaultColWidth(100);
    return f;
  });
  RegisterPage("popupmenu", [] {
    TForm* f = Dialog("Popup menu", 200, 80);
    auto* menu = Create<TPopupMenu>(f);
    for (const char* caption : {"&Save to file...", "-", "Disabled", "Checked"}) {
      auto* item = Create<TMenuItem>(menu);
      item->SetCaption(caption);
      menu->Items()->Add(item);
    }
    menu->Items()->Items(2)->SetEnabled(false);
    menu->Items()->Items(3)->SetChecked(true);
    menu->Popup(90, 100);
    return f;
  }, true);
  RegisterPage("hintwindow", [] {
    TForm* f = Dialog("Hint window", 200, 60);
    auto* button = Put<TButton>(f, f, 8, 8, 75, 25, "Hover");
    button->SetHint("A hint for the button");
    button->SetShowHint(true);
    Application().HintPause = 0;
    f->Show();
    THeadlessDriver::MoveTo(button);
    return f;
  }, true);
  RegisterPage("savedialog", [] {
    // A folder of its own, so the list is the same on every machine; it
    // goes with the form.
    namespace fs = std::filesystem;
    const fs::path folder = fs::temp_directory_path() / "fw_savedialog_page";
    for (const char* sub : {"Logs", "Projects"}) fs::create_directories(folder / sub);
    auto* form = Create<TSaveDialogForm>(nullptr);
    form->SetLeft(40);
    form->SetTop(40);
    form->SetPosition(TPosition::poDesigned);
    form->Start("", folder.string(), "report.txt");
    form->OnDestroy = [folder](TObject*) {
      std::error_code ec;
      fs::remove_all(folder, ec);
    };
    return form;
  });
  return true;
}();

}  // namespace

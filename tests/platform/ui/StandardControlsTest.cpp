#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "platform/ui/CheckBox.h"
#include "platform/ui/ComboBox.h"
#include "platform/ui/Edit.h"
#include "platform/ui/Form.h"
#include "platform/ui/Headless.h"
#include "platform/ui/ListBox.h"
#include "platform/ui/Menu.h"
#include "platform/ui/Painter.h"
#include "platform/ui/Bitmap.h"
#include "platform/ui/Colors.h"
#include "platform/ui/SaveDialog.h"
#include "platform/ui/SpinEdit.h"
#include "platform/ui/TrayIcon.h"
#include "platform/ui/ValueListEditor.h"

using namespace platform::ui;
using Driver = THeadlessDriver;

namespace {

class StandardControls : public ::testing::Test {
 protected:
  void SetUp() override {
    Driver::Reset();
    form_ = CreateOwned<TForm>(nullptr);
    form_->SetBounds(0, 0, 500, 400);
  }
  void TearDown() override {
    form_.reset();
    Driver::Pump();
  }
  template <class T>
  T* Add(int top) {
    auto* c = Create<T>(form_.get());
    c->SetParent(form_.get());
    c->SetTop(top);
    return c;
  }
  TComponentPtr<TForm> form_;
};

}  // namespace

TEST_F(StandardControls, SpinEditParsesAndClampsOnSetAndOnExit) {
  auto* spin = Add<TSpinEdit>(0);
  auto* other = Add<TEdit>(40);
  spin->SetMinValue(1);
  spin->SetMaxValue(65535);
  spin->SetValue(0);
  EXPECT_EQ(spin->Text(), "1");
  spin->SetValue(70000);
  EXPECT_EQ(spin->Text(), "65535");
  spin->SetText("abc");
  EXPECT_EQ(spin->Value(), 1);  // not a number: the lower limit
  spin->SetText("99999999999");
  EXPECT_EQ(spin->Value(), 1);  // beyond 32 bits is not a number either
  spin->SetText(" 42 ");
  EXPECT_EQ(spin->Value(), 42);
  spin->SetText("0x10");
  EXPECT_EQ(spin->Value(), 1);  // decimal only
  form_->Show();
  Driver::Fill(spin, "0");
  EXPECT_EQ(spin->Text(), "0");  // typed, not yet limited
  other->SetFocus();             // leaving brings it into the limits
  EXPECT_EQ(spin->Text(), "1");
  Driver::Fill(spin, "12a");  // letters are not typed
  EXPECT_EQ(spin->Text(), "12");
  Driver::PressKey(VK_UP);
  EXPECT_EQ(spin->Value(), 13);
  auto* precision = Add<TSpinEdit>(80);
  precision->SetMinValue(0);
  precision->SetMaxValue(8);
  Driver::Fill(precision, "12");
  Driver::PressKey(VK_TAB);
  EXPECT_EQ(precision->Text(), "8");
  auto* free = Add<TSpinEdit>(120);  // equal limits: no limits
  free->SetValue(-5);
  EXPECT_EQ(free->Value(), -5);
}

TEST_F(StandardControls, ValueListRowsFollowTheLinesAndTheUserSelects) {
  auto* grid = Add<TValueListEditor>(0);
  grid->TitleCaptions().SetStrings(0, "Key");
  EXPECT_EQ(grid->RowCount(), 1);
  EXPECT_EQ(grid->Row(), -1);  // no data row
  EXPECT_THROW(grid->SetRow(0), EInvalidGridOperation);
  grid->Strings().Add("Dev1=Sim.Server.1");
  grid->Strings().Add("Dev2=Sim.Server.2");
  grid->InsertRow("Dev3", "Other=x", true);
  EXPECT_EQ(grid->RowCount(), 4);
  EXPECT_EQ(grid->Cells(0, 0), "Key");
  EXPECT_EQ(grid->Cells(0, 3), "Dev3");
  EXPECT_EQ(grid->Cells(1, 3), "Other=x");  // split at the first "="
  EXPECT_EQ(grid->Cells(5, 1), "");
  EXPECT_EQ(grid->Row(), 1);
  std::vector<int> selected;
  int clicks = 0, dbl = 0;
  grid->OnSelectCell = [&](TObject*, int, int row, bool& can) {
    selected.push_back(row);
    can = row != 2;  // row 2 refuses
  };
  grid->OnClick = [&](TObject*) { ++clicks; };
  grid->OnDblClick = [&](TObject*) { ++dbl; };
  grid->SetRow(3);  // by code: no event
  EXPECT_TRUE(selected.empty());
  form_->Show();
  Driver::SelectRow(grid, 1);
  Driver::SelectRow(grid, 2);
  EXPECT_EQ(grid->Row(), 1);
  EXPECT_EQ(selected, (std::vector<int>{1, 2}));
  EXPECT_EQ(clicks, 1);
  Driver::SelectRow(grid, 0);  // the title row cannot be chosen
  EXPECT_EQ(selected.size(), 2u);
  Driver::PressKey(VK_END);
  EXPECT_EQ(grid->Row(), 3);
  Driver::DblClick(grid);
  EXPECT_EQ(dbl, 1);
  grid->Strings().Clear();  // lines gone: no current row any more
  EXPECT_EQ(grid->Row(), -1);
  EXPECT_EQ(Driver::Shown(grid), "Key\tValue\r\n");
}

TEST_F(StandardControls, StringGridBoundsItsCells) {
  auto* grid = Add<TStringGrid>(0);
  grid->SetColCount(3);
  grid->SetRowCount(4);
  grid->SetCells(2, 3, "x");
  EXPECT_EQ(grid->Cells(2, 3), "x");
  EXPECT_THROW(grid->SetCells(3, 0, "y"), EInvalidGridOperation);
  EXPECT_THROW(grid->SetCells(0, -1, "y"), EInvalidGridOperation);
  grid->SetRowCount(2);
  EXPECT_EQ(grid->Cells(2, 3), "");
  grid->SetRowCount(1000000);
  EXPECT_EQ(grid->RowCount(), 100000);
}

TEST_F(StandardControls, ComboAndListIndexesOutOfRangeSelectNone) {
  auto* combo = Add<TComboBox>(0);
  combo->SetStyle(TComboBoxStyle::csDropDownList);
  combo->Items().Add("IAdviseSink");
  combo->Items().Add("IOPCDataCallback");
  int changes = 0;
  combo->OnChange = [&](TObject*) { ++changes; };
  combo->SetItemIndex(1);
  EXPECT_EQ(combo->ComboText(), "IOPCDataCallback");
  combo->SetItemIndex(5);
  EXPECT_EQ(combo->ItemIndex(), -1);
  EXPECT_EQ(combo->ComboText(), "");
  EXPECT_EQ(changes, 0);  // code changes raise nothing
  form_->Show();
  Driver::SelectItem(combo, 0);
  EXPECT_EQ(changes, 1);
  combo->Items().Clear();
  EXPECT_EQ(combo->ItemIndex(), -1);

  auto* list = Add<TListBox>(40);
  list->Items().Add("a");
  list->Items().Add("b");
  int clicks = 0;
  list->OnClick = [&](TObject*) { ++clicks; };
  list->SetItemIndex(-7);
  EXPECT_EQ(list->ItemIndex(), -1);
  Driver::SelectItem(list, 1);
  EXPECT_EQ(list->ItemIndex(), 1);
  EXPECT_EQ(clicks, 1);
  list->Items().Delete(1);
  EXPECT_EQ(list->ItemIndex(), -1);
  Driver::Click(list);  // a click below the lines selects nothing
  EXPECT_EQ(clicks, 1);
}

TEST_F(StandardControls, MemoReturnsAndCheckBoxToggles) {
  auto* memo = Add<TMemo>(0);
  auto* box = Add<TCheckBox>(100);
  int boxClicks = 0;
  box->OnClick = [&](TObject*) { ++boxClicks; };
  box->SetChecked(true);
  EXPECT_EQ(boxClicks, 0);
  form_->Show();
  memo->SetWantReturns(false);
  Driver::Fill(memo, "ab");
  Driver::PressKey(VK_RETURN);  // goes to the form, not into the memo
  EXPECT_EQ(memo->MemoText(), "ab");
  memo->SetWantReturns(true);
  Driver::PressKey(VK_RETURN);
  Driver::Type("c");
  EXPECT_EQ(memo->MemoText(), "ab\r\nc");
  Driver::Click(box);
  EXPECT_FALSE(box->Checked());
  EXPECT_EQ(boxClicks, 1);
  Driver::PressKey(VK_SPACE);
  EXPECT_TRUE(box->Checked());
  EXPECT_EQ(Driver::Shown(box), "[x] ");
}

TEST_F(StandardControls, SaveDialogTakesTheQueuedAnswerOrCancels) {
  auto* dialog = Create<TSaveDialog>(form_.get());
  dialog->DefaultExt = "*.txt";
  EXPECT_FALSE(dialog->Execute());
  Driver::AnswerNextSaveDialog([](TSaveDialog&, std::string& name) {
    name = "/tmp/log";
    return true;
  });
  ASSERT_TRUE(dialog->Execute());
  EXPECT_EQ(dialog->FileName, "/tmp/log.txt");
  Driver::AnswerNextSaveDialog([](TSaveDialog&, std::string&) { return false; });
  EXPECT_FALSE(dialog->Execute());
}

TEST_F(StandardControls, TrayIconsAddModifyDelete) {
  NOTIFYICONDATAA data{};
  data.cbSize = sizeof(data);
  data.hWnd = 5;
  data.uID = 1;
  data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  data.uCallbackMessage = 1359;
  data.hIcon = 9;
  std::snprintf(data.szTip, sizeof(data.szTip), "%s", "tip");
  EXPECT_TRUE(Shell_NotifyIconA(NIM_ADD, &data));
  EXPECT_FALSE(Shell_NotifyIconA(NIM_ADD, &data));  // already there
  ASSERT_EQ(Driver::TrayIcons().size(), 1u);
  EXPECT_EQ(Driver::TrayIcons()[0].Tip, "tip");
  data.uFlags = NIF_TIP;  // modify changes the tip only
  data.uCallbackMessage = 0;
  std::snprintf(data.szTip, sizeof(data.szTip), "%s", "new tip");
  EXPECT_TRUE(Shell_NotifyIconA(NIM_MODIFY, &data));
  EXPECT_EQ(Driver::TrayIcons()[0].Tip, "new tip");
  EXPECT_EQ(Driver::TrayIcons()[0].CallbackMessage, 1359u);
  EXPECT_EQ(Driver::TrayIcons()[0].Icon, 9u);
  EXPECT_TRUE(Shell_NotifyIconA(NIM_DELETE, &data));
  EXPECT_FALSE(Shell_NotifyIconA(NIM_DELETE, &data));
  data.cbSize = 40;
  EXPECT_FALSE(Shell_NotifyIconA(NIM_ADD, &data));
  data.cbSize = sizeof(data);
  Driver::SetTrayAvailable(false);
  EXPECT_FALSE(Shell_NotifyIconA(NIM_ADD, &data));
}

// One menu is open at a time; items are found by their rows (18 pixels,
// separators 8, inside a 2-pixel edge); hidden items take no row.
TEST_F(StandardControls, PopupMenusOpenOneAtATimeAndFindTheirItems) {
  auto* first = Create<TPopupMenu>(form_.get());
  auto* second = Create<TPopupMenu>(form_.get());
  std::vector<TMenuItem*> items;
  for (const char* caption : {"Open", "-", "Hidden", "Close"}) {
    auto* item = Create<TMenuItem>(first);
    item->SetCaption(caption);
    first->Items()->Add(item);
    items.push_back(item);
  }
  items[2]->SetVisible(false);
  EXPECT_EQ(first->ItemAt(TPoint{10, 2}), items[0]);
  EXPECT_EQ(first->ItemAt(TPoint{10, 19}), items[0]);
  EXPECT_EQ(first->ItemAt(TPoint{10, 20}), nullptr);  // the separator
  EXPECT_EQ(first->ItemAt(TPoint{10, 28}), items[3]);
  EXPECT_EQ(first->ItemAt(TPoint{10, 46}), nullptr);  // below the last row
  EXPECT_EQ(first->ItemAt(TPoint{1, 10}), nullptr);   // on the edge
  EXPECT_EQ(first->ItemAt(TPoint{10, 1}), nullptr);
  EXPECT_EQ(first->MenuRect().Height(), 18 + 8 + 18 + 6);
  // The hot item's row in the highlight colour, a disabled one never.
  TBitmap pixels;
  pixels.SetSize(first->MenuRect().Width(), first->MenuRect().Height());
  TPainter painter;
  painter.SetTarget(&pixels);
  first->PaintMenu(painter, 0, 0, items[3]);
  EXPECT_EQ(pixels.Canvas().Pixel(4, 28 + 9), ColorToRGB(clHighlight));
  EXPECT_EQ(pixels.Canvas().Pixel(4, 2 + 9), ColorToRGB(clMenu));
  items[3]->SetEnabled(false);
  first->PaintMenu(painter, 0, 0, items[3]);
  EXPECT_EQ(pixels.Canvas().Pixel(4, 28 + 9), ColorToRGB(clMenu));
  items[3]->SetEnabled(true);

  first->Popup(10, 10);
  EXPECT_TRUE(first->IsOpen());
  second->Popup(20, 20);
  EXPECT_FALSE(first->IsOpen());
  EXPECT_TRUE(second->IsOpen());
  second->CloseMenu();
  EXPECT_FALSE(second->IsOpen());
  first->Popup(10, 10);
  Driver::Click(items[3]);
  EXPECT_FALSE(first->IsOpen());
}

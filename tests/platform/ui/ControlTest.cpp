#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/os/Text.h"
#include "platform/ui/Application.h"
#include "platform/ui/Buttons.h"
#include "platform/ui/CheckBox.h"
#include "platform/ui/ComboBox.h"
#include "platform/ui/Edit.h"
#include "platform/ui/Grid.h"
#include "platform/ui/Form.h"
#include "platform/ui/Headless.h"
#include "platform/ui/Label.h"
#include "platform/ui/ListBox.h"

using namespace platform::ui;
using namespace platform::os::literals;
using Driver = THeadlessDriver;

namespace {

std::vector<std::string> gLog;

// An edit that writes down the focus notifications it gets.
class LoggingEdit : public TEdit {
 public:
  explicit LoggingEdit(TComponent* owner) : TEdit(owner) {}

 protected:
  void Dispatch(TMessage& m) override {
    const char* what = nullptr;
    switch (m.Msg) {
      case WM_SETFOCUS: what = "setfocus"; break;
      case WM_KILLFOCUS: what = "killfocus"; break;
      case CM_ENTER: what = "enter"; break;
      case CM_EXIT: what = "exit"; break;
      case CM_FOCUSCHANGED: what = "focuschanged"; break;
      default: break;
    }
    if (what != nullptr) gLog.push_back(Name() + ":" + what);
    TEdit::Dispatch(m);
  }
};

class LoggingPanel : public TWinControl {
 public:
  explicit LoggingPanel(TComponent* owner) : TWinControl(owner) {}

 protected:
  void Dispatch(TMessage& m) override {
    if (m.Msg == CM_ENTER) gLog.push_back(Name() + ":enter");
    if (m.Msg == CM_EXIT) gLog.push_back(Name() + ":exit");
    TWinControl::Dispatch(m);
  }
};

class UiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gLog.clear();
    Driver::Reset();
  }
  void TearDown() override { Driver::Pump(); }
};

}  // namespace

TEST_F(UiTest, WindowProcReplacementSeesMessagesFirstAndChains) {
  auto form = CreateOwned<TForm>(nullptr);
  auto* edit = Create<TEdit>(form.get());
  edit->SetParent(form.get());
  TWndMethod old = edit->WindowProc;
  std::vector<uint32_t> seen;
  edit->WindowProc = [&](TMessage& m) {
    seen.push_back(m.Msg);
    if (m.Msg == 0x0401u) {
      m.Result = 42;
      return;
    }
    old(m);
  };
  EXPECT_EQ(edit->Perform(0x0401u, 1, 2), 42);
  edit->SetText("abc");  // CM_TEXTCHANGED passes the replacement, then the control
  EXPECT_EQ(edit->Text(), "abc");
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[1], CM_TEXTCHANGED);
  edit->WindowProc = old;
  EXPECT_EQ(edit->Perform(0x0401u, 1, 2), 0);
}

TEST_F(UiTest, CreateChildNamesAndPlacesAControlOfItsOwner) {
  auto form = CreateOwned<TForm>(nullptr);
  auto* edit = CreateChild<TEdit>(form.get(), form.get(), "NameEdit");
  EXPECT_EQ(form->FindComponent("NameEdit"), edit);
  EXPECT_EQ(edit->Parent(), form.get());
  // A name taken already raises; the second control stays with the owner.
  EXPECT_THROW(CreateChild<TEdit>(form.get(), form.get(), "nameedit"), EComponentError);
  EXPECT_EQ(form->ComponentCount(), 2);
}

TEST_F(UiTest, AnUnhandledMessageKeepsItsParameters) {
  auto form = CreateOwned<TForm>(nullptr);
  TMessage m{0xA000, 0, 0, 0};  // nobody answers the style query here
  form->Perform(m);
  EXPECT_EQ(m.WParam, 0u);
  EXPECT_EQ(m.LParam, 0);
  EXPECT_EQ(m.Result, 0);
  TMessage n{0x7FFF, 7, -9, 0};
  form->Perform(n);
  EXPECT_EQ(n.WParam, 7u);
  EXPECT_EQ(n.LParam, -9);
}

TEST_F(UiTest, FocusChangeNotifiesInOrder) {
  auto form = CreateOwned<TForm>(nullptr);
  auto* panel = Create<LoggingPanel>(form.get());
  panel->SetName("P");
  panel->SetParent(form.get());
  panel->SetBounds(0, 0, 200, 100);
  auto* a = Create<LoggingEdit>(form.get());
  a->SetName("A");
  a->SetParent(form.get());
  a->SetBounds(0, 120, 100, 20);
  auto* b = Create<LoggingEdit>(form.get());
  b->SetName("B");
  b->SetParent(panel);
  form->Show();
  a->SetFocus();
  gLog.clear();
  b->SetFocus();
  // CM_FOCUSCHANGED goes depth first in child order: P (holding B), then A.
  std::vector<std::string> expected{"A:killfocus", "B:setfocus", "A:exit", "P:enter", "B:enter",
                                    "B:focuschanged", "A:focuschanged"};
  EXPECT_EQ(gLog, expected);
  EXPECT_TRUE(b->Focused());
  EXPECT_EQ(form->ActiveControl(), b);
  gLog.clear();
  a->SetFocus();
  expected = {"B:killfocus", "A:setfocus", "B:exit", "P:exit", "A:enter", "B:focuschanged", "A:focuschanged"};
  EXPECT_EQ(gLog, expected);
}

TEST_F(UiTest, HiddenOrDisabledControlsCannotTakeTheFocus) {
  auto form = CreateOwned<TForm>(nullptr);
  auto* a = Create<TEdit>(form.get());
  a->SetParent(form.get());
  EXPECT_THROW(a->SetFocus(), EInvalidOperation);  // the form is hidden
  form->Show();
  EXPECT_TRUE(a->Focused());  // the first tab stop takes the focus on show
  a->SetEnabled(false);
  EXPECT_FALSE(a->Focused());
  EXPECT_THROW(a->SetFocus(), EInvalidOperation);
}

TEST_F(UiTest, EnterAndEscReachDefaultAndCancelButtons) {
  auto form = CreateOwned<TForm>(nullptr);
  auto* edit = Create<TEdit>(form.get());
  edit->SetParent(form.get());
  auto* ok = Create<TButton>(form.get());
  ok->SetParent(form.get());
  ok->SetDefault(true);
  ok->SetTop(40);
  auto* cancel = Create<TButton>(form.get());
  cancel->SetParent(form.get());
  cancel->SetCancel(true);
  cancel->SetTop(80);
  int okClicks = 0, cancelClicks = 0;
  ok->OnClick = [&](TObject*) { ++okClicks; };
  cancel->OnClick = [&](TObject*) { ++cancelClicks; };
  form->Show();
  ASSERT_TRUE(edit->Focused());
  Driver::PressKey(VK_RETURN);
  EXPECT_EQ(okClicks, 1);
  Driver::PressKey(VK_ESCAPE);
  EXPECT_EQ(cancelClicks, 1);
  Driver::PressKey(VK_RETURN, ssShift);  // with Shift held nothing clicks
  Driver::PressKey(VK_ESCAPE, ssCtrl);
  EXPECT_EQ(okClicks, 1);
  EXPECT_EQ(cancelClicks, 1);
  // With another button focused, Enter clicks that one, not the default.
  cancel->SetFocus();
  EXPECT_FALSE(ok->Active());
  Driver::PressKey(VK_RETURN);
  EXPECT_EQ(okClicks, 1);
  EXPECT_EQ(cancelClicks, 2);
  // A disabled default button takes no Enter.
  edit->SetFocus();
  ok->SetEnabled(false);
  Driver::PressKey(VK_RETURN);
  EXPECT_EQ(okClicks, 1);
  EXPECT_EQ(edit->Text(), "");  // the Enter typed nothing into the edit either
}

TEST_F(UiTest, AcceleratorsAndTabMoveThroughTheForm) {
  auto form = CreateOwned<TForm>(nullptr);
  auto* first = Create<TEdit>(form.get());
  first->SetParent(form.get());
  auto* second = Create<TEdit>(form.get());
  second->SetParent(form.get());
  auto* button = Create<TButton>(form.get());
  button->SetParent(form.get());
  button->SetCaption("&Сохранить"_cp);
  int clicks = 0;
  button->OnClick = [&](TObject*) { ++clicks; };
  form->Show();
  EXPECT_TRUE(first->Focused());
  Driver::PressKey(VK_TAB);
  EXPECT_TRUE(second->Focused());
  Driver::PressKey(VK_TAB, ssShift);
  EXPECT_TRUE(first->Focused());
  Driver::AltChar('\xF1');  // "с" lower case in CP1251 matches "С"
  EXPECT_EQ(clicks, 1);
  Driver::Type("x");  // the edit wants characters: no accelerator
  EXPECT_EQ(first->Text(), "x");
  EXPECT_TRUE(IsAccel('a', "&&b&A"));
  EXPECT_FALSE(IsAccel('b', "&&b"));
}

TEST_F(UiTest, MouseClickNeedsPressAndReleaseInside) {
  auto form = CreateOwned<TForm>(nullptr);
  form->SetBounds(100, 100, 300, 200);
  auto* button = Create<TButton>(form.get());
  button->SetParent(form.get());
  button->SetBounds(10, 10, 75, 25);
  int clicks = 0;
  button->OnClick = [&](TObject*) { ++clicks; };
  form->Show();
  Driver::Click(button);
  EXPECT_EQ(clicks, 1);
  EXPECT_TRUE(button->Focused());
  // Pressed inside, released outside: the capture keeps the button, no click.
  TPoint inside = Driver::Middle(button);
  Driver::MouseDown(inside);
  EXPECT_TRUE(button->Down());
  Driver::MouseUp(TPoint{inside.X + 200, inside.Y + 100});
  EXPECT_FALSE(button->Down());
  EXPECT_EQ(clicks, 1);
  button->SetEnabled(false);
  Driver::Click(button);
  EXPECT_EQ(clicks, 1);
}

TEST_F(UiTest, ExceptionsOfHandlersNeverLeaveADispatch) {
  auto form = CreateOwned<TForm>(nullptr);
  auto* button = Create<TButton>(form.get());
  button->SetParent(form.get());
  button->OnClick = [](TObject*) { throw std::runtime_error("boom"); };
  form->Show();
  const int before = Application().ExceptionCount();
  EXPECT_NO_THROW(Driver::Click(button));
  EXPECT_EQ(Application().ExceptionCount(), before + 1);
  EXPECT_EQ(Application().LastExceptionText(), "boom");
}

// A handler that frees the whole form on the way of a key, a character, a
// click or a focus change: the routing touches none of its controls
// afterwards (checked under ASan).
TEST_F(UiTest, HandlersThatFreeTheirFormEndTheRouting) {
  struct Form {
    TComponentPtr<TForm> form = CreateOwned<TForm>(nullptr);
    TEdit* edit = CreateChild<TEdit>(form.get(), form.get(), "Edit");
    TButton* ok = CreateChild<TButton>(form.get(), form.get(), "Ok");
    TEdit* second = CreateChild<TEdit>(form.get(), form.get(), "Second");
    TLabel* label = CreateChild<TLabel>(form.get(), form.get(), "Label");
    TCheckBox* check = CreateChild<TCheckBox>(form.get(), form.get(), "Check");
    TListBox* list = CreateChild<TListBox>(form.get(), form.get(), "List");
    TStringGrid* grid = CreateChild<TStringGrid>(form.get(), form.get(), "Grid");
    TComboBox* combo = CreateChild<TComboBox>(form.get(), form.get(), "Combo");
    TSpeedButton* speed = CreateChild<TSpeedButton>(form.get(), form.get(), "Speed");
    void Gone() { TComponent::Free(form.release()); }
  };
  using Step = std::function<void(Form&)>;
  const auto gone = [](Form& f) { return [&f](auto&&...) { f.Gone(); }; };
  // The handler `event` of control frees the form; the control takes the
  // focus first, or is clicked.
  const auto on = [gone](auto control, auto event) { return Step([=](Form& f) { (f.*control)->*event = gone(f); }); };
  const auto focused = [](Step arm, auto control) { return Step([=](Form& f) { arm(f); (f.*control)->SetFocus(); }); };
  const auto click = [](auto control) { return Step([=](Form& f) { Driver::Click(f.*control); }); };
  const Step okClick = on(&Form::ok, &TButton::OnClick);
  const Step listClick = on(&Form::list, &TListBox::OnClick);
  const Step gridChoice = on(&Form::grid, &TStringGrid::OnSelectCell);
  const auto key = [](uint16_t k) { return [k](Form&) { Driver::PressKey(k); }; };
  const auto close = [](Form& f) { SafePerform(f.form.get(), platform::win::WM_CLOSE, 0, 0); };
  // The edit frees the form on msg, before any handling of its own.
  const auto hook = [](uint32_t msg) {
    return [msg](Form& f) {
      f.edit->WindowProc = [&f, msg, old = f.edit->WindowProc](TMessage& m) {
        if (m.Msg == msg) return f.Gone();
        old(m);
      };
    };
  };
  const struct {
    const char* path;
    Step arm, act;
  } paths[] = {
      {"Enter, edit focused", okClick, key(VK_RETURN)},
      {"Enter, button focused", focused(okClick, &Form::ok), key(VK_RETURN)},
      {"Space, button focused", focused(okClick, &Form::ok), key(VK_SPACE)},
      {"accelerator", okClick, [](Form&) { Driver::AltChar('o'); }},
      {"button click", okClick, click(&Form::ok)},
      {"speed button click", on(&Form::speed, &TSpeedButton::OnClick), click(&Form::speed)},
      {"label click", on(&Form::label, &TLabel::OnClick), click(&Form::label)},
      {"label double click", on(&Form::label, &TLabel::OnDblClick), [](Form& f) { Driver::DblClick(f.label); }},
      {"label right release", on(&Form::label, &TLabel::OnMouseUp), [](Form& f) { Driver::RightClick(f.label); }},
      {"OnKeyDown", on(&Form::edit, &TEdit::OnKeyDown), key('A')},
      {"OnKeyUp", on(&Form::edit, &TEdit::OnKeyUp), key('A')},
      {"OnKeyPress", on(&Form::edit, &TEdit::OnKeyPress), [](Form&) { Driver::Type("x"); }},
      {"unanswered dialog key", hook(CM_DIALOGKEY), key(VK_ESCAPE)},
      {"Tab, OnExit", on(&Form::edit, &TEdit::OnExit), key(VK_TAB)},
      {"Tab, OnEnter", on(&Form::ok, &TButton::OnEnter), key(VK_TAB)},
      {"mouse focus, OnEnter", on(&Form::second, &TEdit::OnEnter), click(&Form::second)},
      {"OnCloseQuery", [gone](Form& f) { f.form->OnCloseQuery = gone(f); }, close},
      {"OnClose", [gone](Form& f) { f.form->OnClose = gone(f); }, close},
      {"check box click", on(&Form::check, &TCheckBox::OnClick), click(&Form::check)},
      {"check box accelerator, OnEnter", on(&Form::check, &TCheckBox::OnEnter), [](Form&) { Driver::AltChar('c'); }},
      {"list box click", listClick, click(&Form::list)},
      {"list box key", focused(listClick, &Form::list), key(VK_DOWN)},
      {"grid click", gridChoice, click(&Form::grid)},
      {"grid key", focused(gridChoice, &Form::grid), key(VK_DOWN)},
      {"combo box key", focused(on(&Form::combo, &TComboBox::OnChange), &Form::combo), key(VK_DOWN)},
      {"activation", hook(WM_SETFOCUS),
       [](Form& f) {
         auto other = CreateOwned<TForm>(nullptr);
         other->Show();
         f.form->BringToFront();
       }},
  };
  for (const auto& p : paths) {
    Form f;
    f.ok->SetDefault(true);
    f.ok->SetCaption("&Ok");
    f.ok->SetTop(40);
    f.second->SetTop(80);
    f.label->SetBounds(10, 120, 80, 20);
    f.check->SetBounds(10, 150, 80, 20);
    f.check->SetCaption("&Check");
    f.list->SetBounds(100, 10, 80, 20);
    f.grid->SetBounds(100, 40, 200, 100);
    f.combo->SetBounds(100, 150, 80, 20);
    f.speed->SetBounds(200, 150, 40, 20);
    for (const char* item : {"one", "two"}) {
      f.list->Items().Add(item);
      f.combo->Items().Add(item);
    }
    f.form->Show();
    ASSERT_TRUE(f.edit->Focused()) << p.path;
    p.arm(f);
    p.act(f);
    EXPECT_EQ(f.form, nullptr) << p.path;
  }
}

TEST_F(UiTest, NotificationsForPropertyChanges) {
  auto form = CreateOwned<TForm>(nullptr);
  auto* label = Create<TLabel>(form.get());
  label->SetParent(form.get());
  label->SetParentColor(true);
  std::vector<uint32_t> seen;
  TWndMethod old = label->WindowProc;
  label->WindowProc = [&](TMessage& m) {
    seen.push_back(m.Msg);
    old(m);
  };
  label->SetCaption("x");
  label->SetCaption("x");  // unchanged: no notification
  label->SetEnabled(false);
  label->SetVisible(false);
  form->SetColor(clWhite);
  label->Font().SetStyle(fsBold);
  std::vector<uint32_t> expected{CM_TEXTCHANGED, CM_ENABLEDCHANGED, CM_VISIBLECHANGED, CM_PARENTCOLORCHANGED,
                                 CM_COLORCHANGED, CM_FONTCHANGED};
  EXPECT_EQ(seen, expected);
  EXPECT_EQ(label->Color(), clWhite);
  EXPECT_FALSE(label->ParentFont());
  seen.clear();
  label->SetBounds(5, 6, 70, 20);
  EXPECT_EQ(seen, (std::vector<uint32_t>{WM_MOVE, WM_SIZE}));
}

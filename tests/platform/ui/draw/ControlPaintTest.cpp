// Painting of the standard controls into their form's pixels, window
// regions (painting and hit testing) and the composed virtual screen.

#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/ui/Application.h"
#include "platform/ui/Bitmap.h"
#include "platform/ui/Buttons.h"
#include "platform/ui/CheckBox.h"
#include "platform/ui/Colors.h"
#include "platform/ui/Edit.h"
#include "platform/ui/Form.h"
#include "platform/ui/Headless.h"
#include "platform/ui/Label.h"
#include "platform/ui/Panels.h"
#include "platform/ui/Screenshot.h"
#include "platform/ui/ValueListEditor.h"

namespace platform::ui {
namespace {

// The headless backend whatever display the environment names.
const bool kHeadless = setenv("FERROWICK_UI", "headless", 1) == 0;

constexpr TColor kFace = RGB(192, 192, 192);
constexpr TColor kShadow = RGB(128, 128, 128);
constexpr TColor kLight = RGB(223, 223, 223);
constexpr TColor kNavy = RGB(0, 0, 128);

TColor At(TBitmap& b, int x, int y) {
  const uint8_t* p = b.ScanLine(y) + x * b.BytesPerPixel();
  return RGB(p[2], p[1], p[0]);
}

int Count(TBitmap& b, const TRect& r, TColor c) {
  int n = 0;
  for (int y = r.Top; y < r.Bottom; ++y)
    for (int x = r.Left; x < r.Right; ++x) n += At(b, x, y) == c;
  return n;
}

// A borderless form at (0, 0): its window pixels are its client area.
class ControlPaint : public ::testing::Test {
 protected:
  void SetUp() override {
    form = Create<TForm>(nullptr);
    form->SetBorderStyle(TFormBorderStyle::bsNone);
    form->SetBounds(0, 0, 160, 100);
    holder = Create<TEdit>(form);  // first tab stop: takes the focus on Show
    holder->SetParent(form);
    holder->SetBounds(100, 70, 50, 21);
  }
  void TearDown() override { TComponent::Free(form); }
  TBitmap& Pixels() {
    Application().ProcessMessages();
    return form->WindowBitmap();
  }
  template <class T>
  T* Add(int x, int y, int w, int h) {
    T* c = Create<T>(form);
    c->SetParent(form);
    c->SetBounds(x, y, w, h);
    return c;
  }
  TForm* form = nullptr;
  TEdit* holder = nullptr;
};

TEST_F(ControlPaint, ButtonShowsRaisedFrameAndBlackFrameWhenFocused) {
  auto* button = Add<TButton>(10, 40, 75, 25);
  form->Show();
  TBitmap& b = Pixels();
  EXPECT_EQ(At(b, 10, 40), kLight);        // outer top-left line
  EXPECT_EQ(At(b, 11, 41), clWhite);       // inner top-left line
  EXPECT_EQ(At(b, 84, 64), clBlack);       // outer bottom-right corner
  EXPECT_EQ(At(b, 83, 63), kShadow);       // inner bottom-right
  EXPECT_EQ(At(b, 30, 45), kFace);         // the face
  EXPECT_EQ(At(b, 9, 40), kFace);          // the form around it
  button->SetFocus();
  TBitmap& f = Pixels();
  EXPECT_EQ(At(f, 10, 40), clBlack);       // active: black frame outside
  EXPECT_EQ(At(f, 11, 41), kLight);        // the raised edge moved in
  EXPECT_EQ(At(f, 14, 44), RGB(63, 63, 63));  // focus rectangle: face inverted where x + y is even
  EXPECT_EQ(At(f, 15, 44), kFace);
}

TEST_F(ControlPaint, CheckBoxShowsItsBoxAndTickFollowingTheState) {
  auto* box = Add<TCheckBox>(10, 10, 100, 17);
  form->Show();
  TBitmap& b = Pixels();
  EXPECT_EQ(At(b, 10, 12), kShadow);   // sunken box: shadow outside
  EXPECT_EQ(At(b, 11, 13), clBlack);   // dark shadow inside it
  EXPECT_EQ(At(b, 13, 17), clWhite);   // no tick
  EXPECT_EQ(Count(b, Bounds(12, 14, 9, 9), clBlack), 0);
  box->SetChecked(true);
  TBitmap& c = Pixels();
  EXPECT_EQ(At(c, 13, 17), clBlack);   // the tick's first column
  EXPECT_EQ(Count(c, Bounds(12, 14, 9, 9), clBlack), 21);  // 7 columns of 3
  box->SetEnabled(false);
  EXPECT_EQ(At(Pixels(), 13, 17), kShadow);  // greyed tick on the face
}

TEST_F(ControlPaint, FocusedEditShowsItsSelectedTextInTheHighlightColours) {
  auto* edit = Add<TEdit>(10, 10, 100, 21);
  edit->SetText("Selected");
  form->Show();
  const TRect inside = Bounds(12, 12, 96, 17);
  EXPECT_EQ(Count(Pixels(), inside, kNavy), 0);
  EXPECT_GT(Count(Pixels(), inside, clBlack), 20);  // the text
  edit->SetFocus();  // selects all
  TBitmap& b = Pixels();
  EXPECT_GT(Count(b, inside, kNavy), 200);
  EXPECT_GT(Count(b, inside, clWhite), 20);  // text in the highlight text colour
  EXPECT_EQ(At(b, 10, 10), kShadow);         // sunken frame
  EXPECT_EQ(At(b, 11, 11), clBlack);
  edit->SetSelStart(0);  // a caret instead of the selection
  EXPECT_EQ(Count(Pixels(), inside, kNavy), 0);
}

TEST_F(ControlPaint, AGraphicControlRepaintsItsParentUnderIt) {
  auto* label = Add<TLabel>(10, 10, 120, 17);
  label->SetTransparent(true);
  label->SetCaption("WWWWWWWWWW");
  form->Show();
  EXPECT_GT(Count(Pixels(), Bounds(60, 10, 60, 17), clBlack), 20);
  label->SetCaption("i");
  EXPECT_EQ(Count(Pixels(), Bounds(30, 10, 100, 17), clBlack), 0);  // nothing stale
}

TEST_F(ControlPaint, WindowRegionClipsPaintingAndHitTesting) {
  auto* panel = Add<TPanel>(10, 10, 40, 40);
  panel->SetBevelOuter(TPanelBevel::bvNone);
  panel->SetColor(clRed);
  const size_t handles = LiveRegionHandles();
  EXPECT_EQ(panel->SetWindowRgn(CreateRectRgn(0, 0, 20, 20), true), 1);
  EXPECT_EQ(LiveRegionHandles(), handles);  // the control took the region
  form->Show();
  TBitmap& b = Pixels();
  EXPECT_EQ(At(b, 15, 15), clRed);
  EXPECT_EQ(At(b, 29, 29), clRed);
  EXPECT_EQ(At(b, 30, 30), kFace);  // inside the bounds, outside the region
  EXPECT_EQ(At(b, 45, 15), kFace);
  EXPECT_EQ(form->ControlAtPos(TPoint{15, 15}), panel);
  EXPECT_EQ(form->ControlAtPos(TPoint{40, 40}), nullptr);

  bool clicked = false;
  panel->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int, int) { clicked = true; };
  THeadlessDriver::MouseDown(form->ClientToScreen(TPoint{40, 40}));
  THeadlessDriver::MouseUp(form->ClientToScreen(TPoint{40, 40}));
  EXPECT_FALSE(clicked);
  THeadlessDriver::MouseDown(form->ClientToScreen(TPoint{15, 15}));
  THeadlessDriver::MouseUp(form->ClientToScreen(TPoint{15, 15}));
  EXPECT_TRUE(clicked);

  HRGN deleted = CreateRectRgn(0, 0, 5, 5);
  DeleteObject(deleted);
  EXPECT_EQ(panel->SetWindowRgn(deleted, true), 0);  // not a live region: kept
  ASSERT_NE(panel->WindowRegion(), nullptr);
  EXPECT_EQ(panel->SetWindowRgn(nullptr, true), 1);
  EXPECT_EQ(At(Pixels(), 45, 45), clRed);
}

TEST_F(ControlPaint, ChildrenKeepTheirPixelsWhenTheParentRepaints) {
  auto* panel = Add<TPanel>(10, 10, 60, 40);
  panel->SetColor(clRed);
  auto* inner = Create<TPanel>(form);
  inner->SetParent(panel);
  inner->SetBounds(10, 10, 20, 20);
  inner->SetColor(clLime);
  inner->SetBevelOuter(TPanelBevel::bvNone);
  form->Show();
  EXPECT_EQ(At(Pixels(), 25, 25), clLime);
  panel->Invalidate();  // the panel alone repaints
  EXPECT_EQ(At(Pixels(), 25, 25), clLime);
  EXPECT_EQ(At(Pixels(), 15, 15), clRed);
  inner->Hide();
  EXPECT_EQ(At(Pixels(), 25, 25), clRed);  // the parent shows again there
}

// The value column ends at the client's right edge whatever the width; the
// key column keeps its own. Hit testing counts the same columns.
TEST_F(ControlPaint, ValueListValueColumnStretchesToTheRightEdge) {
  auto* list = Add<TValueListEditor>(0, 0, 150, 60);
  list->SetColWidths(0, 40);
  list->Strings().Add("Key=Value");
  form->Show();
  // Title row: key cell 0..39 with its line at 40, value cell 41..147 with
  // its raised edge's shadow at 147 and its line at 148... ending at 149.
  EXPECT_EQ(list->ColWidths(1), 150 - 41 - 1);
  EXPECT_EQ(At(Pixels(), 40, 5), clBlack);
  EXPECT_EQ(At(Pixels(), 149, 5), clBlack);
  EXPECT_EQ(At(Pixels(), 148, 5), kShadow);
  EXPECT_EQ(At(Pixels(), 100, 5), kFace);
  int col = -1, row = -1;
  ASSERT_TRUE(list->MouseToCell(TPoint{148, 30}, col, row));
  EXPECT_EQ(col, 1);
  ASSERT_TRUE(list->MouseToCell(TPoint{40, 30}, col, row));
  EXPECT_EQ(col, 0);
  list->SetBounds(0, 0, 90, 60);  // narrower: the value column follows
  EXPECT_EQ(list->ColWidths(1), 90 - 41 - 1);
  EXPECT_EQ(At(Pixels(), 89, 5), clBlack);
  EXPECT_EQ(At(Pixels(), 100, 5), kFace);  // the form again
  list->SetBounds(0, 0, 30, 60);  // narrower than the key column
  EXPECT_EQ(list->ColWidths(1), 1);
  EXPECT_THROW(list->SetColWidths(2, 10), EInvalidGridOperation);
}

TEST_F(ControlPaint, GridColumnsOfTheirOwnWidth) {
  auto* grid = Add<TStringGrid>(0, 0, 150, 60);
  grid->SetColCount(3);
  grid->SetDefaultColWidth(30);
  grid->SetColWidths(1, 50);
  form->Show();
  EXPECT_EQ(grid->ColWidths(0), 30);
  EXPECT_EQ(grid->ColWidths(1), 50);
  EXPECT_EQ(grid->ColWidths(3), 0);
  EXPECT_EQ(At(Pixels(), 30, 5), clBlack);   // line after column 0
  EXPECT_EQ(At(Pixels(), 81, 5), clBlack);   // after column 1 (31 + 50)
  EXPECT_EQ(At(Pixels(), 112, 5), clBlack);  // after column 2
  int col = -1, row = -1;
  ASSERT_TRUE(grid->MouseToCell(TPoint{81, 30}, col, row));
  EXPECT_EQ(col, 1);
  ASSERT_TRUE(grid->MouseToCell(TPoint{82, 30}, col, row));
  EXPECT_EQ(col, 2);
  EXPECT_FALSE(grid->MouseToCell(TPoint{113, 30}, col, row));  // right of the last column
}

TEST(Screen, ComposesTheFormsAtTheirPlacesWithFrameAndCaption) {
  auto* form = Create<TForm>(nullptr);
  form->SetBorderStyle(TFormBorderStyle::bsDialog);
  form->SetBounds(100, 50, 200, 120);
  form->SetCaption("Composed");
  form->Show();
  TBitmap screen;
  ComposeScreen(screen);
  EXPECT_EQ(screen.Width(), 1024);
  EXPECT_EQ(At(screen, 0, 0), RGB(0, 128, 128));  // desktop
  EXPECT_EQ(At(screen, 100, 50), kLight);          // frame's outer edge
  EXPECT_EQ(At(screen, 299, 169), clBlack);
  EXPECT_EQ(At(screen, 110, 55), kNavy);           // caption bar of the active form
  EXPECT_EQ(At(screen, 150, 120), kFace);          // client area
  TBitmap window;
  CaptureWindow(*form, window);
  EXPECT_EQ(window.Width(), 200);
  EXPECT_EQ(At(window, 10, 5), kNavy);
  TComponent::Free(form);
}

}  // namespace
}  // namespace platform::ui

#pragma once
// TStringGrid: cells of text in rows and columns; the first FixedRows rows
// and FixedCols columns are titles.
//
// Row and Col are the current cell; -1 when the grid has no row (or column)
// below (right of) the fixed ones, also after rows went away. Setting Row or
// Col by code raises no event; a value outside the selectable cells raises
// EInvalidGridOperation and changes nothing. A user's choice of a cell
// (click, Up/Down/Home/End keys, SelectCellByUser) asks OnSelectCell
// (CanSelect) and, when allowed, moves there and raises OnClick. A double
// click raises OnDblClick.

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/ui/WinControl.h"

namespace platform::ui {

class EInvalidGridOperation : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

using TGridOptions = uint32_t;
inline constexpr TGridOptions goFixedVertLine = 1;
inline constexpr TGridOptions goFixedHorzLine = 2;
inline constexpr TGridOptions goVertLine = 4;
inline constexpr TGridOptions goHorzLine = 8;
inline constexpr TGridOptions goRangeSelect = 16;
inline constexpr TGridOptions goEditing = 32;
inline constexpr TGridOptions goRowSelect = 64;
inline constexpr TGridOptions goThumbTracking = 128;

using TSelectCellEvent = std::function<void(TObject* Sender, int ACol, int ARow, bool& CanSelect)>;

class TStringGrid : public TWinControl {
 public:
  explicit TStringGrid(TComponent* owner);

  virtual int ColCount() const { return colCount_; }
  virtual int RowCount() const { return rowCount_; }
  // Counts are at least 0 and at most 100000; fixed counts at most the count.
  virtual void SetColCount(int n);
  virtual void SetRowCount(int n);
  int FixedCols() const { return std::min(fixedCols_, ColCount()); }
  int FixedRows() const { return std::min(fixedRows_, RowCount()); }
  void SetFixedCols(int n);
  void SetFixedRows(int n);

  // Text of a cell; "" outside the grid. Setting outside the grid raises
  // EInvalidGridOperation.
  virtual std::string Cells(int col, int row) const;
  virtual void SetCells(int col, int row, std::string_view text);

  int Row() const;
  int Col() const;
  void SetRow(int row);
  void SetCol(int col);
  int TopRow() const;
  void SetTopRow(int row);
  TGridOptions Options() const { return options_; }
  void SetOptions(TGridOptions o) { options_ = o; Invalidate(); }
  int DefaultRowHeight() const { return rowHeight_; }
  void SetDefaultRowHeight(int h) { rowHeight_ = std::max(1, h); }
  int DefaultColWidth() const { return colWidth_; }
  void SetDefaultColWidth(int w) { colWidth_ = std::max(1, w); Invalidate(); }
  // Width of one column without its line: DefaultColWidth unless set for
  // that column; 0 outside the columns. Setting outside the columns raises
  // EInvalidGridOperation; widths are at least 1.
  virtual int ColWidths(int col) const;
  void SetColWidths(int col, int w);

  // The cell at a client point; false when the point is on no cell.
  bool MouseToCell(TPoint p, int& col, int& row) const;
  // A user's choice of a cell (see above); false when it was refused or out
  // of range, or when OnSelectCell freed the grid.
  bool SelectCellByUser(int col, int row);

  TSelectCellEvent OnSelectCell;

 protected:
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void KeyDown(uint16_t& key, TShiftState shift) override;
  bool FocusOnClick() const override { return true; }
  // Cells of DefaultColWidth x DefaultRowHeight with one-pixel lines: the
  // fixed ones raised on the button face, the others on the colour; the
  // current cell (row with goRowSelect) in the highlight colours; the rows
  // from TopRow below the fixed ones.
  void PaintControl() override;

  static constexpr int kMaxCount = 100000;
  // Client x of a column's left edge (every column before it with its line).
  int ColLeft(int col) const;

 private:
  std::vector<std::vector<std::string>> cells_;  // [row][col]
  std::vector<int> colWidths_;                    // 0: DefaultColWidth
  int colCount_ = 5;
  int rowCount_ = 5;
  int fixedCols_ = 1;
  int fixedRows_ = 1;
  int row_ = 1;
  int col_ = 1;
  int topRow_ = 1;
  TGridOptions options_ = goFixedVertLine | goFixedHorzLine | goVertLine | goHorzLine | goRangeSelect;
  int rowHeight_ = 24;
  int colWidth_ = 64;
};

}  // namespace platform::ui

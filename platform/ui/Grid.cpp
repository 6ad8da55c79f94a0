#include "platform/ui/Grid.h"

#include <algorithm>

#include <vector>

#include "platform/ui/Frames.h"
#include "platform/ui/Paint.h"

namespace platform::ui {

TStringGrid::TStringGrid(TComponent* owner) : TWinControl(owner) {
  SetBoundsQuiet(0, 0, 320, 120);
  SetTabStop(true);
  SetColor(clWindow);
  SetControlStyle(ControlStyle() & ~csClickEvents);
}

void TStringGrid::SetColCount(int n) {
  colCount_ = std::clamp(n, 0, kMaxCount);
  Invalidate();
}

void TStringGrid::SetRowCount(int n) {
  rowCount_ = std::clamp(n, 0, kMaxCount);
  if (static_cast<int>(cells_.size()) > rowCount_) cells_.resize(static_cast<size_t>(rowCount_));
  Invalidate();
}

void TStringGrid::SetFixedCols(int n) {
  fixedCols_ = std::clamp(n, 0, kMaxCount);
  Invalidate();
}

void TStringGrid::SetFixedRows(int n) {
  fixedRows_ = std::clamp(n, 0, kMaxCount);
  Invalidate();
}

std::string TStringGrid::Cells(int col, int row) const {
  if (row < 0 || row >= RowCount() || col < 0 || col >= ColCount()) return {};
  if (row >= static_cast<int>(cells_.size())) return {};
  const auto& r = cells_[static_cast<size_t>(row)];
  return col < static_cast<int>(r.size()) ? r[static_cast<size_t>(col)] : std::string();
}

void TStringGrid::SetCells(int col, int row, std::string_view text) {
  if (row < 0 || row >= RowCount() || col < 0 || col >= ColCount())
    throw EInvalidGridOperation("Grid index out of range");
  if (row >= static_cast<int>(cells_.size())) cells_.resize(static_cast<size_t>(row) + 1);
  auto& r = cells_[static_cast<size_t>(row)];
  if (col >= static_cast<int>(r.size())) r.resize(static_cast<size_t>(col) + 1);
  r[static_cast<size_t>(col)] = std::string(text);
  Invalidate();
}

int TStringGrid::ColWidths(int col) const {
  if (col < 0 || col >= ColCount()) return 0;
  const auto i = static_cast<size_t>(col);
  return i < colWidths_.size() && colWidths_[i] > 0 ? colWidths_[i] : colWidth_;
}

void TStringGrid::SetColWidths(int col, int w) {
  if (col < 0 || col >= ColCount()) throw EInvalidGridOperation("Grid index out of range");
  const auto i = static_cast<size_t>(col);
  if (i >= colWidths_.size()) colWidths_.resize(i + 1, 0);
  colWidths_[i] = std::clamp(w, 1, 32767);
  Invalidate();
}

int TStringGrid::ColLeft(int col) const {
  int x = 0;
  for (int c = 0; c < col && x < ClientWidth(); ++c) x += ColWidths(c) + 1;
  return x;
}

int TStringGrid::Row() const {
  if (RowCount() <= FixedRows()) return -1;
  return std::clamp(row_, FixedRows(), RowCount() - 1);
}

int TStringGrid::Col() const {
  if (ColCount() <= FixedCols()) return -1;
  return std::clamp(col_, FixedCols(), ColCount() - 1);
}

void TStringGrid::SetRow(int row) {
  if (row < FixedRows() || row >= RowCount()) throw EInvalidGridOperation("Grid index out of range");
  row_ = row;
  SetTopRow(TopRow());
  Invalidate();
}

void TStringGrid::SetCol(int col) {
  if (col < FixedCols() || col >= ColCount()) throw EInvalidGridOperation("Grid index out of range");
  col_ = col;
  Invalidate();
}

int TStringGrid::TopRow() const {
  if (RowCount() <= FixedRows()) return FixedRows();
  int top = std::clamp(topRow_, FixedRows(), RowCount() - 1);
  // Keep the current row in view.
  const int visible = std::max(1, (ClientHeight() - FixedRows() * (rowHeight_ + 1)) / (rowHeight_ + 1));
  const int row = Row();
  if (row >= 0 && row < top) top = row;
  if (row >= 0 && row >= top + visible) top = row - visible + 1;
  return top;
}

void TStringGrid::SetTopRow(int row) { topRow_ = row; }

void TStringGrid::PaintControl() {
  TWinControl::PaintControl();
  detail::PaintWithCanvas(this, [this](TCanvas& c) {
    const int h = rowHeight_ + 1;
    c.Brush().SetStyle(TBrushStyle::bsSolid);
    c.Brush().SetColor(Color());
    c.FillRect(ClientRect());
    const bool enabled = EffectivelyEnabled();
    const int current = Row();
    // Rows shown: the fixed rows, then the others from TopRow.
    std::vector<int> rows;
    for (int r = 0; r < FixedRows(); ++r) rows.push_back(r);
    for (int r = TopRow(), y = FixedRows() * h; r < RowCount() && y < ClientHeight(); ++r, y += h) rows.push_back(r);
    for (size_t i = 0; i < rows.size(); ++i) {
      const int row = rows[i];
      const int y = static_cast<int>(i) * h;
      if (y >= ClientHeight()) break;
      for (int col = 0, x = 0; col < ColCount() && x < ClientWidth(); x += ColWidths(col) + 1, ++col) {
        const TRect cell{x, y, x + ColWidths(col), y + rowHeight_};
        const bool fixed = row < FixedRows() || col < FixedCols();
        const bool selected = !fixed && row == current && (col == Col() || (options_ & goRowSelect) != 0);
        c.Brush().SetStyle(TBrushStyle::bsSolid);
        c.Brush().SetColor(fixed ? clBtnFace : selected ? clHighlight : Color());
        c.FillRect(cell);
        if (fixed) {
          TRect edge = cell;
          DrawEdge(c.Handle(), edge, BDR_RAISEDINNER, BF_RECT);
        }
        c.Font().SetColor(!enabled ? clGrayText : selected ? clHighlightText : Font().Color());
        c.Brush().SetStyle(TBrushStyle::bsClear);
        c.Handle();
        TRect text{cell.Left + 2, cell.Top + 2, cell.Right - 2, cell.Bottom};
        c.DrawText(Cells(col, row), text, DT_SINGLELINE | DT_NOPREFIX);
        // Lines right of and below the cell.
        const TGridOptions lineOptions = fixed ? (goFixedVertLine | goFixedHorzLine) : (goVertLine | goHorzLine);
        if ((options_ & lineOptions) == 0) continue;
        c.Brush().SetStyle(TBrushStyle::bsSolid);
        c.Brush().SetColor(fixed ? cl3DDkShadow : clBtnFace);
        c.FillRect({cell.Right, cell.Top, cell.Right + 1, cell.Bottom + 1});
        c.FillRect({cell.Left, cell.Bottom, cell.Right + 1, cell.Bottom + 1});
      }
    }
  });
}

bool TStringGrid::MouseToCell(TPoint p, int& col, int& row) const {
  if (!ClientRect().Contains(p)) return false;
  const int h = rowHeight_ + 1;
  int r = p.Y / h;
  if (r >= FixedRows()) r = TopRow() + (r - FixedRows());
  int c = 0;
  for (int right = ColWidths(0) + 1; c < ColCount() && p.X >= right; right += ColWidths(c) + 1) ++c;
  if (r >= RowCount() || c >= ColCount()) return false;
  col = c;
  row = r;
  return true;
}

bool TStringGrid::SelectCellByUser(int col, int row) {
  if (row < FixedRows() || row >= RowCount() || col < FixedCols() || col >= ColCount()) return false;
  bool canSelect = true;
  if (OnSelectCell && !Survives([&] { OnSelectCell(this, col, row, canSelect); })) return false;
  if (!canSelect) return false;
  row_ = row;
  col_ = col;
  topRow_ = TopRow();
  Invalidate();
  Click();
  return true;
}

void TStringGrid::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == TMouseButton::mbLeft && !(shift & ssDouble)) {
    int c = 0, r = 0;
    if (MouseToCell(TPoint{x, y}, c, r) && !Survives([&] { SelectCellByUser(c, r); })) return;  // freed by the choice
  }
  TWinControl::MouseDown(button, shift, x, y);
  if (button == TMouseButton::mbLeft && (shift & ssDouble)) DblClick();
}

void TStringGrid::KeyDown(uint16_t& key, TShiftState shift) {
  const auto alive = Lifetime();  // the choice's handlers may free the grid
  const int row = Row();
  const int col = Col();
  if (row >= 0 && col >= 0) {
    switch (key) {
      case VK_DOWN:
        if (row + 1 < RowCount()) SelectCellByUser(col, row + 1);
        break;
      case VK_UP:
        if (row - 1 >= FixedRows()) SelectCellByUser(col, row - 1);
        break;
      case VK_HOME:
        SelectCellByUser(col, FixedRows());
        break;
      case VK_END:
        SelectCellByUser(col, RowCount() - 1);
        break;
      default:
        break;
    }
  }
  if (!alive.expired()) TWinControl::KeyDown(key, shift);
}

}  // namespace platform::ui

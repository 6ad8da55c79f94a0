#include "platform/ui/ValueListEditor.h"

#include <algorithm>

namespace platform::ui {

TValueListEditor::TValueListEditor(TComponent* owner) : TStringGrid(owner) {
  SetFixedRows(1);
  SetFixedCols(0);
  titles_.Add("Key");
  titles_.Add("Value");
  SetOptions(Options() | goRowSelect);
}

void TValueListEditor::SetColCount(int n) {
  if (n != 2) throw EInvalidGridOperation("A value list has two columns");
}

void TValueListEditor::SetRowCount(int n) {
  if (n != RowCount()) throw EInvalidGridOperation("The rows of a value list follow its lines");
}

int TValueListEditor::ColWidths(int col) const {
  if (col != 1) return TStringGrid::ColWidths(col);
  // The value column and its line end at the client's right edge.
  return std::max(1, ClientWidth() - (TStringGrid::ColWidths(0) + 1) - 1);
}

void TValueListEditor::Split(const std::string& line, std::string& key, std::string& value) {
  const size_t eq = line.find('=');
  key = line.substr(0, eq);
  value = eq == std::string::npos ? std::string() : line.substr(eq + 1);
}

std::string TValueListEditor::Cells(int col, int row) const {
  if (col < 0 || col > 1 || row < 0 || row >= RowCount()) return {};
  if (row == 0) return col < titles_.Count() ? titles_[col] : std::string();
  std::string key, value;
  Split(strings_[row - 1], key, value);
  return col == 0 ? key : value;
}

void TValueListEditor::SetCells(int col, int row, std::string_view text) {
  if (col < 0 || col > 1 || row < 0 || row >= RowCount()) throw EInvalidGridOperation("Grid index out of range");
  if (row == 0) {
    while (titles_.Count() <= col) titles_.Add("");
    titles_.SetStrings(col, text);
  } else {
    std::string key, value;
    Split(strings_[row - 1], key, value);
    (col == 0 ? key : value) = std::string(text);
    strings_.SetStrings(row - 1, key + "=" + value);
  }
  Invalidate();
}

std::string TValueListEditor::Keys(int row) const { return row >= 1 ? Cells(0, row) : std::string(); }

std::string TValueListEditor::Values(std::string_view key) const {
  for (int i = 0; i < strings_.Count(); ++i) {
    std::string k, v;
    Split(strings_[i], k, v);
    if (k == key) return v;
  }
  return {};
}

void TValueListEditor::SetValues(std::string_view key, std::string_view value) {
  for (int i = 0; i < strings_.Count(); ++i) {
    std::string k, v;
    Split(strings_[i], k, v);
    if (k == key) {
      strings_.SetStrings(i, k + "=" + std::string(value));
      Invalidate();
      return;
    }
  }
  InsertRow(key, value, true);
}

int TValueListEditor::InsertRow(std::string_view key, std::string_view value, bool append) {
  std::string line = std::string(key) + "=" + std::string(value);
  int index = 0;
  if (append) {
    index = strings_.Add(line);
  } else {
    strings_.Insert(0, line);
  }
  Invalidate();
  return index + 1;
}

void TValueListEditor::DeleteRow(int row) {
  if (row < 1 || row >= RowCount()) throw EInvalidGridOperation("Grid index out of range");
  strings_.Delete(row - 1);
  Invalidate();
}

}  // namespace platform::ui

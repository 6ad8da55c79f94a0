#pragma once
// TValueListEditor: a two-column grid over a list of "key=value" lines. Row
// 0 holds the column titles; row r (from 1) is line r - 1 of Strings. The
// lines may be changed freely by code; the grid follows them. The key
// column keeps its width; the value column stretches to the right edge of
// the client area (at least one pixel wide).

#include "platform/os/StringList.h"
#include "platform/ui/Grid.h"

namespace platform::ui {

class TValueListEditor : public TStringGrid {
 public:
  explicit TValueListEditor(TComponent* owner);

  platform::os::TStringList& Strings() { return strings_; }
  const platform::os::TStringList& Strings() const { return strings_; }
  // Two titles: key column, value column.
  platform::os::TStringList& TitleCaptions() { return titles_; }

  int ColCount() const override { return 2; }
  int RowCount() const override { return 1 + strings_.Count(); }
  // Counts follow the lines: setting them is refused with
  // EInvalidGridOperation unless the value is the current one.
  void SetColCount(int n) override;
  void SetRowCount(int n) override;
  int ColWidths(int col) const override;
  std::string Cells(int col, int row) const override;
  void SetCells(int col, int row, std::string_view text) override;

  // Key or value of a data row (from 1); "" outside.
  std::string Keys(int row) const;
  std::string Values(std::string_view key) const;
  void SetValues(std::string_view key, std::string_view value);
  // Adds a line (at the end when append, else first); answers its row.
  int InsertRow(std::string_view key, std::string_view value, bool append);
  void DeleteRow(int row);

 private:
  static void Split(const std::string& line, std::string& key, std::string& value);
  platform::os::TStringList strings_;
  platform::os::TStringList titles_;
};

}  // namespace platform::ui

// Grid text: a whole grid as one text, cells separated by TAB, rows by CR.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kelvora {

// A rectangular table of cell texts, row 0 and column 0 included.
class GridTable {
 public:
  GridTable() = default;
  GridTable(int rows, int cols) { Resize(rows, cols); }

  int Rows() const { return static_cast<int>(cells_.size()); }
  int Cols() const { return cols_; }
  void Resize(int rows, int cols);

  const std::string& Cell(int row, int col) const { return cells_[row][col]; }
  std::string& Cell(int row, int col) { return cells_[row][col]; }

  // Writes grid text into the rectangle starting at (row, col), as the grid's
  // block write does: cells falling outside the rectangle are dropped, cells
  // the text does not reach keep their content.
  void WriteBlock(std::string_view text, int row, int col, int lastRow, int lastCol);
  // Reads the rectangle as grid text.
  std::string ReadBlock(int row, int col, int lastRow, int lastCol) const;

  // The whole grid.
  std::string ToGridText() const { return ReadBlock(0, 0, Rows() - 1, Cols() - 1); }

 private:
  std::vector<std::vector<std::string>> cells_;
  int cols_ = 0;
};

// How a table text breaks into rows.
struct TableTextFormat {
  // Grid text breaks rows at CR only (an LF right after a CR belongs to the
  // break); text copied from spreadsheets and editors at CR LF, LF or CR.
  bool anyLineBreak = false;
  // A break at the very end of the text ends its last row instead of
  // starting an empty one.
  bool finalBreakEndsRow = false;
};
// Grid text: rows = number of CR + 1.
inline constexpr TableTextFormat kGridTextFormat{};
// A block from a spreadsheet or a text file: any line break, a final break
// ends the last row.
inline constexpr TableTextFormat kSpreadsheetFormat{true, true};

// The one splitter of table texts: rows (per `format`) and each row into
// cells (at TAB). Empty text is one row with one empty cell.
std::vector<std::vector<std::string>> SplitGridText(std::string_view text,
                                                    TableTextFormat format = kGridTextFormat);

// Number of rows of a grid text: CR count + 1.
int GridTextRows(std::string_view text);

// Joins rows of cells into grid text (no separator after the last cell/row).
std::string JoinGridText(const std::vector<std::vector<std::string>>& rows);

// A grid loaded from grid text: as many rows as the text has (at least
// `minRows`) and `cols` columns.
GridTable GridFromText(std::string_view text, int minRows, int cols);

// A grid of split rows: as many rows as there are (at least `minRows`) and
// `cols` columns; cells beyond `cols` are dropped.
GridTable GridFromRows(const std::vector<std::vector<std::string>>& rows, int minRows, int cols);

}  // namespace kelvora

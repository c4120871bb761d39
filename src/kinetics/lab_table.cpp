#include "kinetics/lab_table.h"

#include <algorithm>

#include "store/number_text.h"

namespace kelvora {
namespace {

// A cell that is not a number becomes empty; a number is rewritten as the
// canonical text of its single-precision value.
void CleanCell(std::string& cell) {
  if (cell.empty()) return;
  std::optional<float> v = ParseSingle(cell);
  cell = v ? SingleText(*v) : std::string();
}

int16_t LastFilledRow(const GridTable& grid, int col, int lastRow) {
  for (int r = lastRow; r >= 1; --r) {
    if (!grid.Cell(r, col).empty()) return static_cast<int16_t>(r);
  }
  return 0;
}

void CleanColumns(GridTable& grid, std::initializer_list<int> cols) {
  for (int c : cols) {
    if (c >= grid.Cols()) continue;
    for (int r = 1; r < grid.Rows(); ++r) {
      if (!grid.Cell(r, c).empty() && !IsNumber(grid.Cell(r, c))) grid.Cell(r, c).clear();
    }
  }
  for (int c : cols) {
    if (c >= grid.Cols()) continue;
    for (int r = 1; r < grid.Rows(); ++r) CleanCell(grid.Cell(r, c));
  }
}

}  // namespace

IncubationTableShape CleanIncubationTable(GridTable& grid) {
  IncubationTableShape shape;
  int lastRow = std::min(grid.Rows() - 1, 99);
  shape.lastDayRow = LastFilledRow(grid, 0, lastRow);
  for (int c = 1; c <= 3 && c < grid.Cols(); ++c)
    shape.colRows[c] = LastFilledRow(grid, c, lastRow);
  for (int r = 1; r <= shape.lastDayRow; ++r) CleanCell(grid.Cell(r, 0));
  for (int c = 1; c <= 3 && c < grid.Cols(); ++c) {
    for (int r = 0; r <= shape.colRows[c]; ++r) CleanCell(grid.Cell(r, c));
  }
  return shape;
}

void CleanFieldTable(GridTable& grid) { CleanColumns(grid, {1, 2}); }

bool IsPossibleTemperature(float celsius) { return celsius > -273.0f; }

}  // namespace kelvora

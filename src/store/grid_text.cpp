#include "store/grid_text.h"

#include <algorithm>

namespace kelvora {

void GridTable::Resize(int rows, int cols) {
  cells_.resize(std::max(rows, 0));
  cols_ = std::max(cols, 0);
  for (auto& r : cells_) r.resize(cols_);
}

std::vector<std::vector<std::string>> SplitGridText(std::string_view text, TableTextFormat format) {
  std::vector<std::vector<std::string>> rows;
  std::vector<std::string> row;
  std::string cell;
  bool endsWithBreak = false;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    endsWithBreak = false;
    if (c == '\r' || (c == '\n' && format.anyLineBreak)) {
      row.push_back(std::move(cell));
      cell.clear();
      rows.push_back(std::move(row));
      row.clear();
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      endsWithBreak = true;
    } else if (c == '\t') {
      row.push_back(std::move(cell));
      cell.clear();
    } else {
      cell.push_back(c);
    }
  }
  if (endsWithBreak && format.finalBreakEndsRow) return rows;
  row.push_back(std::move(cell));
  rows.push_back(std::move(row));
  return rows;
}

int GridTextRows(std::string_view text) {
  return static_cast<int>(std::count(text.begin(), text.end(), '\r')) + 1;
}

std::string JoinGridText(const std::vector<std::vector<std::string>>& rows) {
  std::string out;
  for (size_t r = 0; r < rows.size(); ++r) {
    if (r > 0) out.push_back('\r');
    for (size_t c = 0; c < rows[r].size(); ++c) {
      if (c > 0) out.push_back('\t');
      out += rows[r][c];
    }
  }
  return out;
}

void GridTable::WriteBlock(std::string_view text, int row, int col, int lastRow, int lastCol) {
  auto rows = SplitGridText(text);
  for (size_t i = 0; i < rows.size(); ++i) {
    int r = row + static_cast<int>(i);
    if (r > lastRow || r >= Rows()) break;
    for (size_t j = 0; j < rows[i].size(); ++j) {
      int c = col + static_cast<int>(j);
      if (c > lastCol || c >= Cols()) break;
      cells_[r][c] = rows[i][j];
    }
  }
}

std::string GridTable::ReadBlock(int row, int col, int lastRow, int lastCol) const {
  std::string out;
  for (int r = row; r <= lastRow; ++r) {
    if (r > row) out.push_back('\r');
    for (int c = col; c <= lastCol; ++c) {
      if (c > col) out.push_back('\t');
      out += cells_[r][c];
    }
  }
  return out;
}

GridTable GridFromRows(const std::vector<std::vector<std::string>>& rows, int minRows, int cols) {
  GridTable g(std::max(minRows, static_cast<int>(rows.size())), cols);
  for (size_t r = 0; r < rows.size(); ++r) {
    for (size_t c = 0; c < rows[r].size() && static_cast<int>(c) < cols; ++c) {
      g.Cell(static_cast<int>(r), static_cast<int>(c)) = rows[r][c];
    }
  }
  return g;
}

GridTable GridFromText(std::string_view text, int minRows, int cols) {
  int rows = std::max(GridTextRows(text), minRows);
  GridTable g(rows, cols);
  g.WriteBlock(text, 0, 0, rows - 1, cols - 1);
  return g;
}

}  // namespace kelvora

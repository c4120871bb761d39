#include "screens/grid_history.h"

#include <algorithm>
#include <utility>

namespace kelvora {

GridChange DiffGrid(const GridTable& before, const GridTable& after) {
  GridChange change;
  change.rowsBefore = before.Rows();
  change.rowsAfter = after.Rows();
  const int cols = std::max(before.Cols(), after.Cols());
  const int rows = std::max(before.Rows(), after.Rows());
  static const std::string kEmpty;
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < cols; ++c) {
      const bool inBefore = r < before.Rows() && c < before.Cols();
      const bool inAfter = r < after.Rows() && c < after.Cols();
      const std::string& b = inBefore ? before.Cell(r, c) : kEmpty;
      const std::string& a = inAfter ? after.Cell(r, c) : kEmpty;
      if (a != b) change.cells.push_back({r, c, b, a});
    }
  }
  return change;
}

GridStep::GridStep(const QString& name, GridChange change, Apply apply)
    : QUndoCommand(name), change_(std::move(change)), apply_(std::move(apply)) {}

void GridStep::undo() { apply_(change_, false); }

void GridStep::redo() {
  // QUndoStack::push runs redo() once: the grid holds the change already.
  if (!pushed_) {
    pushed_ = true;
    return;
  }
  apply_(change_, true);
}

}  // namespace kelvora

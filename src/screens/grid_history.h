// The undo history of a data grid: every change to the grid's cells (a typed
// cell, a paste, a cut, a deleted block, a file read, a new date range) is one
// step that undo takes back and redo makes again, restoring the cells' texts
// and the number of rows exactly as they were.
#pragma once

#include <QString>
#include <QUndoCommand>
#include <functional>
#include <string>
#include <vector>

#include "store/grid_text.h"

namespace kelvora {

// What one step changed: the rows before and after, and every cell whose text
// differs (cells of rows that only one side has count when not empty).
struct GridChange {
  struct Cell {
    int row = 0;
    int col = 0;
    std::string before;
    std::string after;
  };
  int rowsBefore = 0;
  int rowsAfter = 0;
  std::vector<Cell> cells;

  bool Empty() const { return rowsBefore == rowsAfter && cells.empty(); }
};

// The change from `before` to `after` (tables of the same column count).
GridChange DiffGrid(const GridTable& before, const GridTable& after);

// One step on the undo stack. Pushing it does not apply it again (the change
// is already in the grid); undo and redo hand the change to `apply` with the
// direction (true: the state after the step).
class GridStep : public QUndoCommand {
 public:
  using Apply = std::function<void(const GridChange& change, bool forward)>;
  GridStep(const QString& name, GridChange change, Apply apply);

  void undo() override;
  void redo() override;

 private:
  GridChange change_;
  Apply apply_;
  bool pushed_ = false;
};

}  // namespace kelvora

// The grid control of the data screens: a table of text cells with fixed
// (header) rows and columns, a current cell, a rectangular selection from the
// current cell to an opposite corner, block text read and write, cell colours
// and column widths and alignments. It only displays; typing goes through the
// cell editor of DataGrid.
#pragma once

#include <QAbstractScrollArea>
#include <QColor>
#include <QString>
#include <vector>

#include "store/grid_text.h"

namespace kelvora {

class FlexGrid : public QAbstractScrollArea {
  Q_OBJECT

 public:
  // Whether a text or colour assignment applies to the current cell only or
  // to every cell of the selection.
  enum class Fill { Single, Repeat };

  explicit FlexGrid(QWidget* parent = nullptr);

  // Size. Cells that remain keep their text and colour; new cells are empty.
  int Rows() const { return table_.Rows(); }
  void SetRows(int rows);
  int Cols() const { return table_.Cols(); }
  void SetCols(int cols);
  // Header rows and columns: always shown, never scrolled, not enterable by
  // the user's clicks and arrow keys (code may still make them current).
  int FixedRows() const { return fixedRows_; }
  void SetFixedRows(int rows);
  int FixedCols() const { return fixedCols_; }
  void SetFixedCols(int cols);

  // Current cell. Changing it raises LeaveCell on the old cell, then
  // EnterCell on the new one; either way the selection becomes that cell.
  int Row() const { return row_; }
  void SetRow(int row);
  int Col() const { return col_; }
  void SetCol(int col);
  // Opposite corner of the selection; changes the selection only.
  int RowSel() const { return rowSel_; }
  void SetRowSel(int row);
  int ColSel() const { return colSel_; }
  void SetColSel(int col);
  bool SingleCellSelected() const { return row_ == rowSel_ && col_ == colSel_; }
  // Tab (forward) and Shift+Tab: the next or previous cell of the row; past
  // the last column the first editable column of the next row, before the
  // first editable column the last column of the previous row.
  void TabMove(bool forward);

  // Block text of the selection: TAB between cells, CR between rows. Writing
  // fills the selection from its top-left cell; text outside the selection is
  // dropped, cells the text does not reach keep their content.
  QString Clip() const;
  void SetClip(const QString& text);

  Fill FillStyle() const { return fill_; }
  void SetFillStyle(Fill fill) { fill_ = fill; }
  // Text of the current cell; writing honours FillStyle.
  QString Text() const { return TextMatrix(row_, col_); }
  void SetText(const QString& text);
  QString TextMatrix(int row, int col) const;
  void SetTextMatrix(int row, int col, const QString& text);

  // Background colour of the current cell; writing honours FillStyle. An
  // invalid colour means the default (white, or grey for header cells).
  QColor CellBackColor() const;
  void SetCellBackColor(const QColor& color);

  // Position and size of a cell in the viewport, in pixels.
  QRect CellRect(int row, int col) const;

  // The cell under the mouse pointer at the last mouse event; -1 outside.
  int MouseRow() const { return mouseRow_; }
  int MouseCol() const { return mouseCol_; }
  // The cell at a viewport position, {-1, -1} outside the cells.
  QPoint CellAt(const QPoint& pos) const;  // x = column, y = row

  // Column width in twips and column alignment.
  int ColWidth(int col) const;
  void SetColWidth(int col, int twips);
  Qt::Alignment ColAlignment(int col) const;
  void SetColAlignment(int col, Qt::Alignment alignment);

  // The texts of every cell at once (same size as the grid).
  const GridTable& Cells() const { return table_; }
  void SetCells(const GridTable& cells);
  // Empties the text of every cell.
  void ClearText();

  // Scrolls so that the cell is visible (header cells are always visible).
  void EnsureVisible(int row, int col);
  // True when the cell lies wholly inside the visible part of the grid and
  // is not covered by header rows or columns.
  bool IsCellVisible(int row, int col) const;

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 signals:
  void EnterCell();
  void LeaveCell();
  // A key went down on the grid, before the grid moves its current cell.
  void KeyDown(QKeyEvent* event);
  // A character key (or Enter) on the grid.
  void KeyPress(QKeyEvent* event);
  void GotFocus();
  // A mouse button went down on the grid (after a left click has moved the
  // current cell; a right click leaves the cells to the listener).
  void MouseDown(Qt::MouseButton button);
  void DoubleClicked();
  // The visible part of the grid moved or changed size.
  void Scrolled();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool event(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void changeEvent(QEvent* event) override;
  bool viewportEvent(QEvent* event) override;

 private:
  void MoveTo(int row, int col);
  void ExtendTo(int row, int col);
  void UpdateMouseCell(const QPoint& pos);
  void UpdateScrollBars();
  void UpdateRowHeight();
  int TopRow() const;   // first scrollable row shown
  int LeftCol() const;  // first scrollable column shown
  int FixedWidth() const;
  int FixedHeight() const { return fixedRows_ * rowHeight_; }
  int VisibleScrollRows() const;
  int ColumnWidthPixels(int col) const;
  bool InSelection(int row, int col) const;
  int ClampRow(int row) const;
  int ClampCol(int col) const;

  GridTable table_;
  std::vector<std::vector<QColor>> colors_;
  std::vector<int> colWidthTwips_;
  std::vector<Qt::Alignment> colAlign_;
  int fixedRows_ = 0;
  int fixedCols_ = 0;
  int row_ = 0;
  int col_ = 0;
  int rowSel_ = 0;
  int colSel_ = 0;
  int mouseRow_ = -1;
  int mouseCol_ = -1;
  int rowHeight_ = 20;
  Fill fill_ = Fill::Single;
  bool dragging_ = false;
  QPoint pendingVisible_{-1, -1};  // x = column, y = row
};

// Default width of a grid column, in twips.
inline constexpr int kDefaultColWidthTwips = 1000;

}  // namespace kelvora

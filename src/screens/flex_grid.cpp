#include "screens/flex_grid.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>

#include "screens/twips.h"

namespace kelvora {

namespace {

const QColor kCellColor(255, 255, 255);
const QColor kFixedColor(230, 230, 230);
const QColor kBackgroundColor(171, 171, 171);
const QColor kLineColor(200, 200, 200);
const QColor kFixedLineColor(150, 150, 150);
const QColor kSelectionColor(204, 224, 255);
const QColor kCurrentFrameColor(31, 95, 191);

std::string ToUtf8(const QString& s) { return s.toStdString(); }
QString FromUtf8(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

FlexGrid::FlexGrid(QWidget* parent) : QAbstractScrollArea(parent) {
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_InputMethodEnabled, false);
  viewport()->setMouseTracking(true);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  UpdateRowHeight();
  SetCols(2);
  SetRows(2);
}

// --- size -----------------------------------------------------------------

void FlexGrid::SetRows(int rows) {
  rows = std::max(rows, 0);
  table_.Resize(rows, Cols());
  colors_.resize(rows, std::vector<QColor>(Cols()));
  if (rows > 0) {
    row_ = ClampRow(row_);
    rowSel_ = ClampRow(rowSel_);
  }
  fixedRows_ = std::min(fixedRows_, rows);
  UpdateScrollBars();
  viewport()->update();
}

void FlexGrid::SetCols(int cols) {
  cols = std::max(cols, 0);
  table_.Resize(Rows(), cols);
  for (auto& r : colors_) r.resize(cols);
  colWidthTwips_.resize(cols, kDefaultColWidthTwips);
  colAlign_.resize(cols, Qt::AlignLeft | Qt::AlignVCenter);
  if (cols > 0) {
    col_ = ClampCol(col_);
    colSel_ = ClampCol(colSel_);
  }
  fixedCols_ = std::min(fixedCols_, cols);
  UpdateScrollBars();
  viewport()->update();
}

void FlexGrid::SetFixedRows(int rows) {
  fixedRows_ = std::clamp(rows, 0, Rows());
  UpdateScrollBars();
  viewport()->update();
}

void FlexGrid::SetFixedCols(int cols) {
  fixedCols_ = std::clamp(cols, 0, Cols());
  UpdateScrollBars();
  viewport()->update();
}

int FlexGrid::ClampRow(int row) const { return std::clamp(row, 0, std::max(Rows() - 1, 0)); }
int FlexGrid::ClampCol(int col) const { return std::clamp(col, 0, std::max(Cols() - 1, 0)); }

// --- current cell and selection ---------------------------------------------

void FlexGrid::MoveTo(int row, int col) {
  row = ClampRow(row);
  col = ClampCol(col);
  if (row != row_ || col != col_) {
    emit LeaveCell();
    row_ = row;
    col_ = col;
    rowSel_ = row;
    colSel_ = col;
    EnsureVisible(row, col);
    viewport()->update();
    emit EnterCell();
  } else {
    rowSel_ = row;
    colSel_ = col;
    EnsureVisible(row, col);
    viewport()->update();
  }
}

void FlexGrid::SetRow(int row) { MoveTo(row, col_); }
void FlexGrid::SetCol(int col) { MoveTo(row_, col); }

void FlexGrid::SetRowSel(int row) {
  rowSel_ = ClampRow(row);
  viewport()->update();
}

void FlexGrid::SetColSel(int col) {
  colSel_ = ClampCol(col);
  viewport()->update();
}

void FlexGrid::ExtendTo(int row, int col) {
  rowSel_ = ClampRow(row);
  colSel_ = ClampCol(col);
  EnsureVisible(rowSel_, colSel_);
  viewport()->update();
}

bool FlexGrid::InSelection(int row, int col) const {
  return row >= std::min(row_, rowSel_) && row <= std::max(row_, rowSel_) &&
         col >= std::min(col_, colSel_) && col <= std::max(col_, colSel_);
}

// --- text -------------------------------------------------------------------

QString FlexGrid::Clip() const {
  if (Rows() == 0 || Cols() == 0) return QString();
  return FromUtf8(table_.ReadBlock(std::min(row_, rowSel_), std::min(col_, colSel_),
                                   std::max(row_, rowSel_), std::max(col_, colSel_)));
}

void FlexGrid::SetClip(const QString& text) {
  if (Rows() == 0 || Cols() == 0) return;
  table_.WriteBlock(ToUtf8(text), std::min(row_, rowSel_), std::min(col_, colSel_),
                    std::max(row_, rowSel_), std::max(col_, colSel_));
  viewport()->update();
}

void FlexGrid::SetText(const QString& text) {
  if (Rows() == 0 || Cols() == 0) return;
  if (fill_ == Fill::Repeat) {
    std::string s = ToUtf8(text);
    for (int r = std::min(row_, rowSel_); r <= std::max(row_, rowSel_); ++r) {
      for (int c = std::min(col_, colSel_); c <= std::max(col_, colSel_); ++c) {
        table_.Cell(r, c) = s;
      }
    }
    viewport()->update();
  } else {
    SetTextMatrix(row_, col_, text);
  }
}

QString FlexGrid::TextMatrix(int row, int col) const {
  if (row < 0 || row >= Rows() || col < 0 || col >= Cols()) return QString();
  return FromUtf8(table_.Cell(row, col));
}

void FlexGrid::SetTextMatrix(int row, int col, const QString& text) {
  if (row < 0 || row >= Rows() || col < 0 || col >= Cols()) return;
  table_.Cell(row, col) = ToUtf8(text);
  viewport()->update(CellRect(row, col));
}

void FlexGrid::SetCells(const GridTable& cells) {
  for (int r = 0; r < std::min(Rows(), cells.Rows()); ++r) {
    for (int c = 0; c < std::min(Cols(), cells.Cols()); ++c) table_.Cell(r, c) = cells.Cell(r, c);
  }
  viewport()->update();
}

void FlexGrid::ClearText() {
  for (int r = 0; r < Rows(); ++r) {
    for (int c = 0; c < Cols(); ++c) table_.Cell(r, c).clear();
  }
  viewport()->update();
}

// --- colours, widths, alignment ----------------------------------------------

QColor FlexGrid::CellBackColor() const {
  if (Rows() == 0 || Cols() == 0) return QColor();
  return colors_[row_][col_];
}

void FlexGrid::SetCellBackColor(const QColor& color) {
  if (Rows() == 0 || Cols() == 0) return;
  if (fill_ == Fill::Repeat) {
    for (int r = std::min(row_, rowSel_); r <= std::max(row_, rowSel_); ++r) {
      for (int c = std::min(col_, colSel_); c <= std::max(col_, colSel_); ++c)
        colors_[r][c] = color;
    }
  } else {
    colors_[row_][col_] = color;
  }
  viewport()->update();
}

int FlexGrid::ColWidth(int col) const { return col >= 0 && col < Cols() ? colWidthTwips_[col] : 0; }

void FlexGrid::SetColWidth(int col, int twips) {
  if (col < 0 || col >= Cols()) return;
  colWidthTwips_[col] = std::max(twips, 0);
  UpdateScrollBars();
  updateGeometry();
  viewport()->update();
  emit Scrolled();
}

Qt::Alignment FlexGrid::ColAlignment(int col) const {
  return col >= 0 && col < Cols() ? colAlign_[col] : Qt::Alignment();
}

void FlexGrid::SetColAlignment(int col, Qt::Alignment alignment) {
  if (col < 0 || col >= Cols()) return;
  colAlign_[col] = alignment;
  viewport()->update();
}

int FlexGrid::ColumnWidthPixels(int col) const { return TwipsToPixels(colWidthTwips_[col]); }

// --- geometry ----------------------------------------------------------------

int FlexGrid::TopRow() const { return fixedRows_ + verticalScrollBar()->value(); }
int FlexGrid::LeftCol() const { return fixedCols_ + horizontalScrollBar()->value(); }

int FlexGrid::FixedWidth() const {
  int w = 0;
  for (int c = 0; c < fixedCols_; ++c) w += ColumnWidthPixels(c);
  return w;
}

int FlexGrid::VisibleScrollRows() const {
  int h = viewport()->height() - FixedHeight();
  return std::max(1, h / std::max(rowHeight_, 1));
}

QRect FlexGrid::CellRect(int row, int col) const {
  if (row < 0 || row >= Rows() || col < 0 || col >= Cols()) return QRect();
  int x = 0;
  if (col < fixedCols_) {
    for (int c = 0; c < col; ++c) x += ColumnWidthPixels(c);
  } else {
    x = FixedWidth();
    int left = LeftCol();
    if (col >= left) {
      for (int c = left; c < col; ++c) x += ColumnWidthPixels(c);
    } else {
      for (int c = col; c < left; ++c) x -= ColumnWidthPixels(c);
    }
  }
  int y = row < fixedRows_ ? row * rowHeight_ : FixedHeight() + (row - TopRow()) * rowHeight_;
  return QRect(x, y, ColumnWidthPixels(col), rowHeight_);
}

QPoint FlexGrid::CellAt(const QPoint& pos) const {
  int row = -1;
  if (pos.y() >= 0) {
    if (pos.y() < FixedHeight()) {
      row = pos.y() / rowHeight_;
    } else {
      int r = TopRow() + (pos.y() - FixedHeight()) / rowHeight_;
      if (r < Rows()) row = r;
    }
  }
  int col = -1;
  if (pos.x() >= 0) {
    int x = 0;
    for (int c = 0; c < fixedCols_; ++c) {
      int w = ColumnWidthPixels(c);
      if (pos.x() < x + w) {
        col = c;
        break;
      }
      x += w;
    }
    if (col < 0) {
      for (int c = LeftCol(); c < Cols(); ++c) {
        int w = ColumnWidthPixels(c);
        if (pos.x() < x + w) {
          col = c;
          break;
        }
        x += w;
      }
    }
  }
  if (row < 0 || col < 0) return QPoint(-1, -1);
  return QPoint(col, row);
}

bool FlexGrid::IsCellVisible(int row, int col) const {
  QRect r = CellRect(row, col);
  if (r.isNull()) return false;
  int top = row < fixedRows_ ? 0 : FixedHeight();
  int left = col < fixedCols_ ? 0 : FixedWidth();
  return r.top() >= top && r.left() >= left && r.bottom() < viewport()->height() &&
         r.right() < viewport()->width();
}

void FlexGrid::EnsureVisible(int row, int col) {
  // Before the grid has its size, the scrolling waits for it.
  if (!isVisible() || viewport()->height() < FixedHeight() + rowHeight_) {
    pendingVisible_ = QPoint(col, row);
    return;
  }
  pendingVisible_ = QPoint(-1, -1);
  if (row >= fixedRows_ && row < Rows()) {
    int top = TopRow();
    int visible = VisibleScrollRows();
    if (row < top) {
      verticalScrollBar()->setValue(row - fixedRows_);
    } else if (row >= top + visible) {
      verticalScrollBar()->setValue(row - visible + 1 - fixedRows_);
    }
  }
  if (col >= fixedCols_ && col < Cols()) {
    int left = LeftCol();
    if (col < left) {
      horizontalScrollBar()->setValue(col - fixedCols_);
    } else {
      int avail = viewport()->width() - FixedWidth();
      int first = left;
      int width = 0;
      for (int c = left; c <= col; ++c) width += ColumnWidthPixels(c);
      while (width > avail && first < col) {
        width -= ColumnWidthPixels(first);
        ++first;
      }
      if (first != left) horizontalScrollBar()->setValue(first - fixedCols_);
    }
  }
}

void FlexGrid::UpdateScrollBars() {
  int scrollRows = Rows() - fixedRows_;
  int visibleRows = VisibleScrollRows();
  verticalScrollBar()->setRange(0, std::max(0, scrollRows - visibleRows));
  verticalScrollBar()->setPageStep(visibleRows);
  verticalScrollBar()->setSingleStep(1);

  int avail = viewport()->width() - FixedWidth();
  int first = Cols();
  int width = 0;
  while (first > fixedCols_ && width + ColumnWidthPixels(first - 1) <= avail) {
    width += ColumnWidthPixels(first - 1);
    --first;
  }
  if (first == Cols() && Cols() > fixedCols_) first = Cols() - 1;
  horizontalScrollBar()->setRange(0, std::max(0, first - fixedCols_));
  horizontalScrollBar()->setPageStep(1);
  horizontalScrollBar()->setSingleStep(1);
}

void FlexGrid::UpdateRowHeight() {
  rowHeight_ = std::max(TwipsToPixels(240), fontMetrics().height() + 6);
}

QSize FlexGrid::sizeHint() const {
  int w = 0;
  for (int c = 0; c < Cols(); ++c) w += ColumnWidthPixels(c);
  int frame = 2 * frameWidth();
  int h = std::min(Rows(), 15) * rowHeight_;
  return QSize(w + frame + verticalScrollBar()->sizeHint().width(), h + frame);
}

QSize FlexGrid::minimumSizeHint() const {
  int frame = 2 * frameWidth();
  return QSize(frame + 60, frame + 3 * rowHeight_);
}

// --- painting ------------------------------------------------------------------

void FlexGrid::paintEvent(QPaintEvent*) {
  QPainter p(viewport());
  p.fillRect(viewport()->rect(), kBackgroundColor);
  const int height = viewport()->height();
  const int width = viewport()->width();

  std::vector<int> rows;
  for (int r = 0; r < fixedRows_; ++r) rows.push_back(r);
  for (int r = TopRow(); r < Rows() && FixedHeight() + (r - TopRow()) * rowHeight_ < height; ++r) {
    rows.push_back(r);
  }
  std::vector<int> cols;
  for (int c = 0; c < fixedCols_; ++c) cols.push_back(c);
  int x = FixedWidth();
  for (int c = LeftCol(); c < Cols() && x < width; ++c) {
    cols.push_back(c);
    x += ColumnWidthPixels(c);
  }

  const bool multi = !SingleCellSelected();
  for (int r : rows) {
    for (int c : cols) {
      QRect rect = CellRect(r, c);
      bool fixed = r < fixedRows_ || c < fixedCols_;
      // Scrolled cells never paint over the header rows and columns.
      QRect clipArea(fixed && c < fixedCols_ ? 0 : FixedWidth(),
                     fixed && r < fixedRows_ ? 0 : FixedHeight(), width, height);
      p.save();
      p.setClipRect(clipArea);
      QColor bg = colors_[r][c].isValid() ? colors_[r][c] : (fixed ? kFixedColor : kCellColor);
      if (multi && InSelection(r, c) && !(r == row_ && c == col_)) {
        bg = QColor((bg.red() + kSelectionColor.red() * 2) / 3,
                    (bg.green() + kSelectionColor.green() * 2) / 3,
                    (bg.blue() + kSelectionColor.blue() * 2) / 3);
      }
      p.fillRect(rect, bg);
      p.setPen(fixed ? kFixedLineColor : kLineColor);
      p.drawLine(rect.topRight(), rect.bottomRight());
      p.drawLine(rect.bottomLeft(), rect.bottomRight());
      const std::string& text = table_.Cell(r, c);
      if (!text.empty()) {
        p.setPen(palette().color(QPalette::Text));
        QRect textRect = rect.adjusted(3, 0, -4, -1);
        p.setClipRect(textRect.intersected(clipArea));
        p.drawText(textRect, static_cast<int>(colAlign_[c]), FromUtf8(text));
      }
      p.restore();
    }
  }
  // The current cell's frame.
  if (Rows() > 0 && Cols() > 0) {
    QRect rect = CellRect(row_, col_);
    bool fixedRow = row_ < fixedRows_;
    bool fixedCol = col_ < fixedCols_;
    p.setClipRect(QRect(fixedCol ? 0 : FixedWidth(), fixedRow ? 0 : FixedHeight(), width, height));
    QPen pen(hasFocus() ? kCurrentFrameColor : kFixedLineColor, 2);
    p.setPen(pen);
    p.drawRect(rect.adjusted(1, 1, -1, -1));
  }
}

// --- events ------------------------------------------------------------------

void FlexGrid::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  UpdateScrollBars();
  if (pendingVisible_.x() >= 0 && isVisible())
    EnsureVisible(pendingVisible_.y(), pendingVisible_.x());
  emit Scrolled();
}

void FlexGrid::showEvent(QShowEvent* event) {
  QAbstractScrollArea::showEvent(event);
  UpdateScrollBars();
  if (pendingVisible_.x() >= 0) EnsureVisible(pendingVisible_.y(), pendingVisible_.x());
  emit Scrolled();
}

void FlexGrid::scrollContentsBy(int, int) {
  viewport()->update();
  emit Scrolled();
}

void FlexGrid::changeEvent(QEvent* event) {
  if (event->type() == QEvent::FontChange) {
    UpdateRowHeight();
    UpdateScrollBars();
    updateGeometry();
    emit Scrolled();
  }
  QAbstractScrollArea::changeEvent(event);
}

bool FlexGrid::viewportEvent(QEvent* event) {
  if (event->type() == QEvent::Resize) {
    bool r = QAbstractScrollArea::viewportEvent(event);
    UpdateScrollBars();
    emit Scrolled();
    return r;
  }
  return QAbstractScrollArea::viewportEvent(event);
}

void FlexGrid::keyPressEvent(QKeyEvent* event) {
  emit KeyDown(event);
  if (Rows() == 0 || Cols() == 0) return;
  const bool shift = event->modifiers() & Qt::ShiftModifier;
  const bool ctrl = event->modifiers() & Qt::ControlModifier;
  int row = shift ? rowSel_ : row_;
  int col = shift ? colSel_ : col_;
  const int firstRow = std::min(fixedRows_, Rows() - 1);
  const int firstCol = std::min(fixedCols_, Cols() - 1);
  bool move = true;
  switch (event->key()) {
    case Qt::Key_Up:
      row = std::max(row - 1, firstRow);
      break;
    case Qt::Key_Down:
      row = std::min(row + 1, Rows() - 1);
      break;
    case Qt::Key_Left:
      col = std::max(col - 1, firstCol);
      break;
    case Qt::Key_Right:
      col = std::min(col + 1, Cols() - 1);
      break;
    case Qt::Key_PageUp:
      row = std::max(row - VisibleScrollRows(), firstRow);
      break;
    case Qt::Key_PageDown:
      row = std::min(row + VisibleScrollRows(), Rows() - 1);
      break;
    case Qt::Key_Home:
      col = firstCol;
      if (ctrl) row = firstRow;
      break;
    case Qt::Key_End:
      col = Cols() - 1;
      if (ctrl) row = Rows() - 1;
      break;
    default:
      move = false;
      break;
  }
  if (move) {
    // The user's keys keep out of the header cells, except when the current
    // cell already is one (code put it there).
    if (row_ >= fixedRows_) row = std::max(row, firstRow);
    if (col_ >= fixedCols_) col = std::max(col, firstCol);
    if (shift) {
      ExtendTo(row, col);
    } else {
      MoveTo(row, col);
    }
    return;
  }
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter || !event->text().isEmpty()) {
    emit KeyPress(event);
    return;
  }
  QAbstractScrollArea::keyPressEvent(event);
}

void FlexGrid::TabMove(bool forward) {
  if (Rows() == 0 || Cols() == 0) return;
  const int firstRow = std::min(fixedRows_, Rows() - 1);
  const int firstCol = std::min(fixedCols_, Cols() - 1);
  int row = row_;
  int col = col_;
  if (forward) {
    if (col + 1 < Cols()) {
      ++col;
    } else if (row + 1 < Rows()) {
      ++row;
      col = firstCol;
    }
  } else {
    if (col - 1 >= firstCol) {
      --col;
    } else if (row - 1 >= firstRow) {
      --row;
      col = Cols() - 1;
    }
  }
  if (row != row_ || col != col_) MoveTo(row, col);
}

bool FlexGrid::event(QEvent* event) {
  // Tab and Shift+Tab move inside the grid instead of to the next control.
  if (event->type() == QEvent::KeyPress && Rows() > 0 && Cols() > 0) {
    auto* key = static_cast<QKeyEvent*>(event);
    const bool tab = key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab;
    if (tab && !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
      TabMove(key->key() == Qt::Key_Tab && !(key->modifiers() & Qt::ShiftModifier));
      return true;
    }
  }
  return QAbstractScrollArea::event(event);
}

void FlexGrid::UpdateMouseCell(const QPoint& pos) {
  QPoint cell = CellAt(pos);
  mouseRow_ = cell.y();
  mouseCol_ = cell.x();
}

void FlexGrid::mousePressEvent(QMouseEvent* event) {
  setFocus(Qt::MouseFocusReason);
  UpdateMouseCell(event->position().toPoint());
  if (event->button() == Qt::LeftButton && mouseRow_ >= 0 && mouseCol_ >= 0 && Rows() > 0) {
    const int r = mouseRow_;
    const int c = mouseCol_;
    const bool headerRow = r < fixedRows_;
    const bool headerCol = c < fixedCols_;
    if (headerRow && headerCol) {
      // the corner: nothing
    } else if (headerRow) {
      // A click on a column header selects the column.
      if (fixedRows_ < Rows()) {
        MoveTo(fixedRows_, c);
        rowSel_ = Rows() - 1;
        viewport()->update();
      }
    } else if (headerCol) {
      // A click on a row header selects the row.
      if (fixedCols_ < Cols()) {
        MoveTo(r, fixedCols_);
        colSel_ = Cols() - 1;
        viewport()->update();
      }
    } else if (event->modifiers() & Qt::ShiftModifier) {
      ExtendTo(r, c);
    } else {
      MoveTo(r, c);
      dragging_ = true;
    }
  }
  emit MouseDown(event->button());
}

void FlexGrid::mouseMoveEvent(QMouseEvent* event) {
  QPoint pos = event->position().toPoint();
  UpdateMouseCell(pos);
  if (!dragging_ || !(event->buttons() & Qt::LeftButton)) return;
  // Past the edges the selection follows the nearest cell, scrolling on.
  QPoint clamped(std::clamp(pos.x(), FixedWidth(), std::max(FixedWidth(), viewport()->width())),
                 std::clamp(pos.y(), FixedHeight(), std::max(FixedHeight(), viewport()->height())));
  QPoint cell = CellAt(clamped);
  int row = cell.y() >= 0 ? cell.y() : (pos.y() > FixedHeight() ? Rows() - 1 : TopRow());
  int col = cell.x() >= 0 ? cell.x() : (pos.x() > FixedWidth() ? Cols() - 1 : LeftCol());
  if (pos.y() >= viewport()->height()) row = std::min(row + 1, Rows() - 1);
  if (pos.y() < FixedHeight()) row = std::max(TopRow() - 1, fixedRows_);
  if (pos.x() >= viewport()->width()) col = std::min(col + 1, Cols() - 1);
  if (pos.x() < FixedWidth()) col = std::max(LeftCol() - 1, fixedCols_);
  row = std::max(row, fixedRows_);
  col = std::max(col, fixedCols_);
  if (row != rowSel_ || col != colSel_) ExtendTo(row, col);
}

void FlexGrid::mouseReleaseEvent(QMouseEvent* event) {
  UpdateMouseCell(event->position().toPoint());
  dragging_ = false;
}

void FlexGrid::mouseDoubleClickEvent(QMouseEvent* event) {
  UpdateMouseCell(event->position().toPoint());
  if (event->button() == Qt::LeftButton && mouseRow_ == row_ && mouseCol_ == col_) {
    emit DoubleClicked();
  }
}

void FlexGrid::focusInEvent(QFocusEvent* event) {
  QAbstractScrollArea::focusInEvent(event);
  viewport()->update();
  emit GotFocus();
}

void FlexGrid::focusOutEvent(QFocusEvent* event) {
  QAbstractScrollArea::focusOutEvent(event);
  dragging_ = false;
  viewport()->update();
}

}  // namespace kelvora

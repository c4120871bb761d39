#include "screens/controls.h"

#include <QKeyEvent>
#include <QMouseEvent>

#include "screens/list_name_delegate.h"
#include "screens/look.h"

namespace kelvora {

void KeepSpaceWhenHidden(QWidget* w) {
  QSizePolicy p = w->sizePolicy();
  p.setRetainSizeWhenHidden(true);
  w->setSizePolicy(p);
}

CaptionBox::CaptionBox(const QString& caption, QWidget* parent) : QLineEdit(caption, parent) {
  setReadOnly(true);
  setFocusPolicy(Qt::NoFocus);
  setContextMenuPolicy(Qt::NoContextMenu);
  setMouseTracking(true);
  setCursor(Qt::ArrowCursor);
  // A screen reader reads the caption as the box's name, as it reads the
  // button the box belongs to.
  setAccessibleName(caption);
}

QSize CaptionBox::sizeHint() const {
  QSize s = QLineEdit::sizeHint();
  int w = fontMetrics().horizontalAdvance(text()) + 18;
  return QSize(w, s.height());
}

void CaptionBox::enterEvent(QEnterEvent* event) {
  SetProgramPointerArrow();
  QLineEdit::enterEvent(event);
}

void CaptionBox::mouseMoveEvent(QMouseEvent* event) {
  SetProgramPointerArrow();
  QLineEdit::mouseMoveEvent(event);
}

void CaptionBox::mouseReleaseEvent(QMouseEvent* event) {
  QLineEdit::mouseReleaseEvent(event);
  deselect();
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
    emit clicked();
  }
}

ListBox::ListBox(QWidget* parent) : QListWidget(parent) {
  setSelectionMode(QAbstractItemView::SingleSelection);
  setItemDelegate(new ListNameDelegate(this));  // a full table's names laid out at once
}

void ListBox::mousePressEvent(QMouseEvent* event) {
  if (ignorePresses) {
    event->accept();
    return;
  }
  QListWidget::mousePressEvent(event);
  if (onMouseDown) onMouseDown();
}

void ListBox::mouseMoveEvent(QMouseEvent* event) {
  if (event->buttons() != Qt::NoButton) {
    event->accept();
    return;
  }
  QListWidget::mouseMoveEvent(event);
}

void ListBox::mouseDoubleClickEvent(QMouseEvent* event) {
  // The second press of a double click counts as a press like the first.
  mousePressEvent(event);
}

void ListBox::keyPressEvent(QKeyEvent* event) {
  if (onKeyDown && onKeyDown(event->key())) {
    event->accept();
    return;
  }
  QListWidget::keyPressEvent(event);
}

}  // namespace kelvora

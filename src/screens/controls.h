// Small controls shared by the data screens.
#pragma once

#include <QLineEdit>
#include <QListWidget>
#include <functional>

namespace kelvora {

// A widget that keeps its place in the layout while it is hidden, so that
// showing and hiding buttons does not move the others.
void KeepSpaceWhenHidden(QWidget* w);

// A read-only box beside a caption-less button that carries the button's
// caption ("① 新規作成" ...). Clicking it presses the button; moving the
// mouse over it sets the program-wide pointer to the arrow.
class CaptionBox : public QLineEdit {
  Q_OBJECT

 public:
  explicit CaptionBox(const QString& caption, QWidget* parent = nullptr);
  QSize sizeHint() const override;

 signals:
  void clicked();

 protected:
  void mouseMoveEvent(QMouseEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
};

// The record list of a data screen. A press of a mouse button runs
// `onMouseDown` after the list has selected the pressed entry; keys go to
// `onKeyDown` first, and a key it returns true for is not handled further.
// Dragging with the button held does not move the selection.
class ListBox : public QListWidget {
  Q_OBJECT

 public:
  explicit ListBox(QWidget* parent = nullptr);
  std::function<void()> onMouseDown;
  std::function<bool(int key)> onKeyDown;
  // While true, presses are ignored altogether.
  bool ignorePresses = false;

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace kelvora

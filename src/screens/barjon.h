// The version window.
#pragma once

#include <QLabel>
#include <QPushButton>
#include <QWidget>

namespace kelvora {

class Barjon : public QWidget {
  Q_OBJECT

 public:
  explicit Barjon(QWidget* owner);
  QLabel* const Label1;
  QLabel* const Label2;
  QPushButton* const Command1;
};

// Shows the version window (not modal) over `owner`, or brings the open one
// to the front.
Barjon* ShowBarjon(QWidget* owner);

}  // namespace kelvora

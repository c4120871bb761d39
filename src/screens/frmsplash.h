// The start-up window, shown while the data files are loaded.
#pragma once

#include <QFrame>
#include <QLabel>
#include <QWidget>

namespace kelvora {

class frmSplash : public QWidget {
  Q_OBJECT

 public:
  explicit frmSplash(QWidget* parent = nullptr);
  QFrame* const fraMainFrame;
  QLabel* const Image1;
};

}  // namespace kelvora

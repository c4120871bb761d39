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

 protected:
  // A question or message of start-up (the folder in use, the recovery
  // copy) is not to be hidden under the splash: the splash goes first.
  bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace kelvora

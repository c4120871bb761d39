// The dialogs of the screen benchmarks: every question answered yes, any
// other message or dialog counted as unexpected.
#pragma once

#include <QDialog>

#include "screens/dialogs.h"

namespace kelvora::bench {

class QuietDialogs : public Dialogs {
 public:
  int unexpected = 0;
  void Message(QWidget*, const QString&, const QString&, Icon) override { ++unexpected; }
  bool YesNo(QWidget*, const QString&, const QString&) override { return true; }
  int Exec(QDialog&) override {
    ++unexpected;
    return QDialog::Rejected;
  }
  QAction* Popup(QMenu&, const QPoint&) override { return nullptr; }
  QString SaveFileName(QWidget*, const QString&, const QString&, const QString&) override {
    return {};
  }
  QString OpenFileName(QWidget*, const QString&, const QString&, const QString&) override {
    return {};
  }
};

}  // namespace kelvora::bench

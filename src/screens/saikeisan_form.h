// "計算中": the progress window of a fit. Three lines say which model is
// being worked on and at which stage; below them the sweep counter against
// its limit with a bar, the current residual sum and "中止", which stops the
// fit cleanly. While it is open nothing else of the program can be used.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <array>

namespace kelvora {

class hensuu;

class SaiKeisan_Form : public QDialog {
  Q_OBJECT

 public:
  // Loading the window takes the cascade offset back by 500 twips.
  SaiKeisan_Form(hensuu& store, QWidget* owner);

  std::array<QLabel*, 4> Label1{};  // [1..3]
  QLabel* const LabelSweep;         // sweep counter against its limit
  QProgressBar* const BarSweep;     // the same as a bar
  QLabel* const LabelRss;           // current best residual sum
  QPushButton* const CommandStop;   // "中止"

  void SetTexts(const QString& line1, const QString& line2, const QString& line3);
  // Sweeps done of their limit and the best sum; a sweep of 0 clears them
  // (no search under way).
  void SetSearchState(int sweep, int sweepLimit, float bestRss);
  // Whether "中止" was pressed (or the window's close box).
  bool StopRequested() const { return stopRequested_; }
  // Lets the window close for good once the fit has ended.
  void Finish();

 signals:
  void stopRequested();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void RequestStop();
  bool stopRequested_ = false;
  bool finished_ = false;
};

}  // namespace kelvora

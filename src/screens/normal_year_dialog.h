// "平年値の作成": makes a normal-year series from stored series, for the days
// of a season that are still ahead. The user picks the series, the year and
// the name and sees which years are used and which days stay empty; the new
// series then goes onto the soil-temperature screen as a new series, stored
// only when the user presses "⑥ 適用" there.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <vector>

#include "kinetics/normal_year.h"

namespace kelvora {

class Ondo_Form;
class hensuu;

class NormalYearDialog : public QDialog {
  Q_OBJECT

 public:
  NormalYearDialog(const hensuu& store, QWidget* parent = nullptr);

  QListWidget* const SeriesList;  // the stored series, several may be chosen
  QSpinBox* const Year;
  QLineEdit* const SeriesName;
  QLabel* const Summary;      // the years used and the days left empty, or why none is made
  QPushButton* const Make;    // "作成"
  QPushButton* const Cancel;  // "キャンセル"

  // The normal year of the chosen series and year, computed again.
  void Update();
  const NormalYear& Result() const { return result_; }

 private:
  const hensuu& store_;
  std::vector<uint64_t> keys_;  // the series of the list's entries
  NormalYear result_;
  bool nameTyped_ = false;
};

// Runs the dialog over the soil-temperature screen and puts the normal year
// on it as a new series (the series on the screen is applied first, as
// "新規入力" does). False when nothing changed.
bool MakeNormalYearSeries(Ondo_Form& screen);

}  // namespace kelvora

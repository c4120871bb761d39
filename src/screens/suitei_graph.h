// "窒素無機化推定量": the chart of the estimation the estimation screen showed
// when "グラフ表示" was pressed: the cumulative amount against the date, with
// the names of the sample, the model and the temperature series above it.
#pragma once

#include <QLabel>
#include <QPushButton>
#include <array>
#include <string>
#include <vector>

#include "screens/chart_setup.h"
#include "screens/child_screen.h"
#include "screens/suitei_form.h"

class QCategoryAxis;
class QChartView;
class QMenu;
class QMenuBar;

namespace kelvora {

// Category positions along the date axis that get a label: at most
// `maxLabels`, evenly spaced, the first day always among them.
std::vector<int> DateLabelRows(int rows, int maxLabels);

// The rows of the date texts ("2006/04/01") that begin a month, every 1st,
// 2nd, 3rd, 4th, 6th or 12th month (counted from January, so that the labels
// fall on the same months every year), the fewest that give at most
// `maxLabels`. Fewer than two month starts: DateLabelRows instead.
std::vector<int> MonthStartRows(const std::vector<std::string>& dates, int maxLabels);

class Suitei_Graph : public ChildScreen {
  Q_OBJECT

 public:
  // Draws `graph` for the estimation record `rec` (the record the estimation
  // screen shows).
  Suitei_Graph(const ScreenContext& context, const std::vector<GraphRow>& graph,
               const SuiteiRecord& rec, QWidget* parent = nullptr);
  // The data the estimation screen prepared, or nothing when it is closed.
  static Suitei_Graph* FromEstimationScreen(const ScreenContext& context);

  QMenuBar* const MenuBar;
  std::array<QLabel*, 6> Label1{};  // captions (0..2) and their texts (3..5)
  VerticalTitle* const Label2;
  QChartView* const MSChart1;
  QPushButton* const Command1;  // "印刷"
  QPushButton* const Command2;  // "終了"
  QPushButton* const Command3;  // "画像を保存"
  QMenu* const Edit;
  QAction* const Edit_Copy;

  void Command1_Click();
  void Command2_Click();
  // Saves the chart with its axis title as a picture.
  void Command3_Click();
  void Edit_Copy_Click();

  // The line pieces drawn (an empty amount ends a piece) and the labelled dates.
  int PieceCount() const { return pieces_; }
  QStringList DateLabels() const { return dateLabels_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildLayout();
  void DrawChart(const std::vector<GraphRow>& graph);
  // Labels as many dates along the axis as the chart's width has room for.
  void LabelDates();

  int pieces_ = 0;
  QCategoryAxis* dateAxis_ = nullptr;
  QStringList dates_;
  QStringList dateLabels_;
};

}  // namespace kelvora

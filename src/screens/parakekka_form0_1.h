// "パラメータ計算結果": the fit results screen. The three models of the
// material side by side with their parameters, AIC and residual sum, the best
// model marked, and the chart of calculated against analysed values for one
// model at a time. From here another model can be stored instead, the initial
// values changed and the fit run again.
#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <array>
#include <vector>

#include "screens/chart_setup.h"
#include "screens/child_screen.h"
#include "screens/fit_stats_window.h"
#include "screens/model_frame.h"

class QChart;
class QChartView;

namespace kelvora {

class ParaKekka_Form0_1 : public ChildScreen {
  Q_OBJECT

 public:
  explicit ParaKekka_Form0_1(const ScreenContext& context, QWidget* parent = nullptr);

  // Controls (arrays are indexed from 1 as the rows are numbered).
  QLabel* const Label1;                // "土壌名（肥料名）："
  QLabel* const Lab_Dojyo;             // the sample name
  std::array<ModelFrame*, 4> Frame{};  // [1..3] = Frame1 .. Frame3
  std::array<QLineEdit*, 7> Text_TanPara{};
  std::array<QLineEdit*, 10> Text_HeiPara{};
  std::array<QLineEdit*, 10> Text_YuuPara{};
  std::array<QLabel*, 7> Lal_TanPara{};
  std::array<QLabel*, 10> Lal_HeiPara{};
  std::array<QLabel*, 10> Lal_YuuPara{};
  std::array<QLabel*, 19> Label3{};  // [1..18] units
  QLabel* const Label2;              // formula of Frame1
  QLabel* const Label4;              // formula of Frame2, two lines
  QLabel* const Label5;
  QLabel* const Label6;  // formula of Frame3, two lines
  QLabel* const Label7;
  std::array<QCheckBox*, 4> Check{};  // [1..3] = Check1 .. Check3, "最適なモデル"
  QChartView* const MSChart1;
  VerticalTitle* const Picture2;
  QLabel* const Label8;
  QPushButton* const Command5;       // "初期値の変更"
  QPushButton* const Command1;       // "再計算"
  QPushButton* const Command7;       // "キャンセル"
  QPushButton* const Command6;       // "終了"
  QPushButton* const Command4;       // "他のパラメータを算出"
  QPushButton* const Command3;       // "印刷"
  QPushButton* const Command2;       // "パラメータ計算結果一覧"
  QPushButton* Command8 = nullptr;   // "統計情報", beside "パラメータ計算結果一覧"
  QPushButton* Command9 = nullptr;   // "画像を保存" (the chart)
  QPushButton* Command10 = nullptr;  // "エクスポート" (the fit as a workbook)

  // Operations.
  void DrawFitChart();
  void ShowModelChart();
  void SaveChangedBestModel();

  // Buttons and events.
  void Check_MouseDown(int index);
  void Command5_Click();
  void Command1_Click();
  void Command7_Click();
  void Command6_Click();
  void Command4_Click();
  void Command3_Click();
  void Command2_Click();
  // Opens "フィット統計" for the model shown on the chart.
  void Command8_Click();
  // Saves the chart with its axis title as a picture.
  void Command9_Click();
  // Writes the fit to a workbook: the observations, the values of every model
  // and the residuals per temperature, and the parameters of every model.
  void Command10_Click();
  FitStatsWindow* StatsWindow() const { return statsWindow_; }

  bool QueryClose() override;

  // The model of each frame (1/2/3 or 4/5/6).
  int16_t FrameModel(int frame) const;
  bool ModelChanged() const { return modelChanged_; }

 private:
  QChart* Chart() const;
  void BuildLayout();
  void FillFrames();
  void ShowResultButtons();
  // Value boxes of a frame and their names (1-based, rows 1..n).
  QLineEdit* Box(int frame, int row) const { return Frame[frame]->Box(row); }
  QLabel* Name(int frame, int row) const { return Frame[frame]->Name(row); }
  int Rows(int frame) const { return Frame[frame]->RowCount(); }

  FitSession& session_;
  int16_t modelAtLoad_ = 0;
  bool modelChanged_ = false;
  // On while the screen itself sets the "最適なモデル" boxes.
  bool settingChecks_ = false;
  QPointer<FitStatsWindow> statsWindow_;  // follows the model shown on the chart
};

}  // namespace kelvora

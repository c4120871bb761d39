// "フィット統計": how well the data determine the model shown on the results
// screen — the parameters with their standard errors, 95 % intervals and t
// values, the fit quality (n, 自由度, RSS, R², AIC, AICc, BIC, ΔAIC, Akaike
// weights), the correlation matrix, half-lives and Q10, warnings, and two
// charts: the residuals and the fitted curve with its 95 % confidence band.
// Everything is computed once from the finished fit when the window opens;
// nothing of the fit is changed.
#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <vector>

#include "kinetics/fit_refine.h"
#include "kinetics/fit_stats.h"
#include "store/records.h"

class QChartView;

namespace kelvora {

class Dialogs;
class PrintState;

class FitStatsWindow : public QWidget {
  Q_OBJECT

 public:
  // A window of its own over `owner` (it closes with it) for the fit in
  // `session`, showing `model`.
  FitStatsWindow(const FitSession& session, int16_t model, Dialogs& dialogs, PrintState* printing,
                 QWidget* owner);

  QLabel* const Heading;           // model and sample
  QLabel* const Note;              // "条件付き" for model 6, or why there are no statistics
  QTableWidget* const ParamTable;  // パラメータ | 値 | 標準誤差 | 95%信頼区間 | t値
  QTableWidget* const QualityTable;  // n, 自由度, 残差平方和, R², …, Akaikeの重み
  QTableWidget* const CorrTable;     // the correlation matrix
  QTableWidget* const DerivedTable;  // half-lives and Q10
  QListWidget* const WarningList;
  QChartView* const ResidualChart;
  QChartView* const CurveChart;
  QPushButton* const Command1;  // "コピー"
  QPushButton* const Command2;  // "印刷"
  QPushButton* const Command3;  // "閉じる"

  // "画像を保存": the residual and curve charts side by side as one picture.
  QPushButton* SavePictureButton = nullptr;
  // "最小二乗法による確認": the verdict, the fit's and the refined values side
  // by side, and "精密化した値を保存". Filled when the refinement, run on a
  // thread of its own after the window is shown, has finished.
  QLabel* const RefineLine;
  QTableWidget* const RefineTable;  // パラメータ | 算出値 | 精密化した値
  QPushButton* const Command4;      // "精密化した値を保存"
  // "精密化した曲線を重ねる" draws the refined curve over the fitted one;
  // enabled when the refinement improved the model shown.
  QCheckBox* const Check1;

  // Stores a parameter set (appends it to the parameter list); false when it
  // could not be stored. Without it the button stays disabled.
  using StoreRecord = std::function<bool(const ParaRecord&)>;
  void SetStoreRecord(StoreRecord store);
  bool RefinementReady() const { return refined_ != nullptr; }
  const FitRefinement* Refinement() const { return refined_.get(); }
  // The set "精密化した値を保存" stores for the model shown.
  std::optional<ParaRecord> RefinedRecord() const;
  void Command4_Click();

  // Shows another model of the same fit (the results screen switched).
  void ShowModel(int16_t model);
  int16_t Model() const { return model_; }
  const FitStats& Stats() const { return stats_; }

  // The tables as text: cells separated by TAB, lines by CR LF.
  QString TablesText() const;

  void Command1_Click();
  void Command2_Click();
  void SavePicture_Click();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void BuildLayout();
  void FillTables(const ModelStats* st);
  void DrawCharts(const ModelStats* st);
  void FitToContents();
  void ShowRefinement();
  void RedrawCharts();

  Dialogs& dialogs_;
  PrintState* printing_;
  FitStats stats_;
  std::array<std::vector<BandSeries>, 7> bands_;  // [model]
  std::string sampleName_;
  int16_t model_ = 0;
  FitSession session_;  // a copy: the results screen may refit meanwhile
  std::shared_ptr<const FitRefinement> refined_;
  // The refined curves at the points of bands_ (same order, same count).
  std::shared_ptr<const std::array<std::vector<BandSeries>, 7>> refinedBands_;
  StoreRecord store_;
};

// The name of a refined set: the fit's name with "（精密化）" appended, cut to
// `maxChars` characters (what the name box holds).
QString RefinedSetName(const QString& fitName, int maxChars);

// Opens the window over `owner` for the model, or shows the one it has.
FitStatsWindow* ShowFitStats(const FitSession& session, int16_t model, Dialogs& dialogs,
                             PrintState* printing, QWidget* owner);

// The help chapter of the window.
inline constexpr const char* kFitStatsHelpChapter = "fitstats";

}  // namespace kelvora

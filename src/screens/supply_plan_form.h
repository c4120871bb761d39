// "窒素供給量の予測": the nitrogen supply plan screen. A plan takes an observed
// soil-temperature series, optionally a normal-year series for the days
// ahead, a first and a last day and up to ten sources (a soil converted with
// its plough-layer depth and bulk density, fertilizers with the nitrogen
// applied and the day), and shows day by day the kg N per 10 a each source
// gives and their total, as a table and a chart. Plans are kept in Sekkei.txt
// with a copy of each source's parameter set.
//
// The screen recomputes as the user types. It names the series and sets it
// uses by their keys: one deleted in another screen is said to be gone,
// never replaced by the record that moved into its place.
#pragma once

#include <QComboBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

#include "kinetics/supply.h"
#include "kinetics/supply_export.h"
#include "screens/child_screen.h"
#include "screens/list_mirror.h"

class QChartView;
class QMenu;
class QMenuBar;
class QSplitter;

namespace kelvora {

class FlexGrid;
class ListBox;

class SupplyPlanForm : public ChildScreen {
  Q_OBJECT

 public:
  explicit SupplyPlanForm(const ScreenContext& context, QWidget* parent = nullptr);

  // Columns of the source table.
  enum SourceColumn { kNameCol, kKindCol, kDepthCol, kDensityCol, kKgCol, kDateCol, kSourceCols };

  QMenuBar* const MenuBar;
  QWidget* const PlanPanel;
  QGroupBox* const PlanFrame;  // "① 計画"
  QLineEdit* const PlanName;
  QComboBox* const ObservedSeries;
  QComboBox* const NormalSeries;  // "（なし）" first
  QDateEdit* const FirstDay;
  QDateEdit* const LastDay;
  QGroupBox* const SourceFrame;  // "② 窒素の供給源"
  QTableWidget* const SourceTable;
  QComboBox* const SetChoice;  // the parameter sets
  QPushButton* const AddSource;
  QPushButton* const RemoveSource;
  QGroupBox* const ListFrame;  // "保存した計画"
  ListBox* const PlanList;
  QPushButton* const NewPlan;      // "新規作成"
  QPushButton* const ApplyPlan;    // "適用"
  QPushButton* const DeletePlans;  // "データ削除"
  QPushButton* const SaveFile;     // "ファイル保存"
  QLabel* const Message;           // what the plan says (problems, days without temperature)
  QSplitter* const ResultSplit;
  FlexGrid* const DayGrid;
  QWidget* const ChartPanel;  // the chart and its legend, on white
  QChartView* const Chart;
  QLabel* const Legend;            // the lines' names, wrapped to the width
  QPushButton* const CopyTable;    // "コピー"
  QPushButton* const Export;       // "エクスポート"
  QPushButton* const Print;        // "印刷"
  QPushButton* const SavePicture;  // "画像を保存"
  QPushButton* const CloseButton;  // "終了"
  QMenu* const Edit;
  QAction* const Edit_Copy;
  QAction* const Edit_Select_All;

  // The plan on the screen computed again (also after every edit).
  void Recompute();
  const SupplyResult& Result() const { return result_; }
  const SupplyInput& Input() const { return input_; }
  // The reason the plan on the screen is not computed; empty when it is.
  QString Problem() const { return problem_; }

  // Copies the screen into its plan (appending a new one). False after a
  // message when it cannot be stored; an untouched new plan is not stored.
  bool Apply();
  // Shows stored plan i (1-based), or a new plan for 0.
  void ShowPlan(int16_t index);

  // Buttons.
  void AddSourceClicked();
  void RemoveSourceClicked();
  void NewPlanClicked();
  void ApplyPlanClicked();
  void DeletePlansClicked();
  void SaveFileClicked();
  void PlanListPressed();
  void CopyTableClicked();
  void ExportClicked();
  void PrintClicked();
  void SavePictureClicked();
  void SelectAllDays();

  // The chart's pieces: the lines drawn (a day without an amount ends a
  // piece), the shaded forecast spans and whether the last observed day is
  // marked.
  int LinePieces() const { return linePieces_; }
  int ForecastSpans() const { return forecastSpans_; }
  bool LastObservedMarked() const { return lastObservedMarked_; }

  bool QueryClose() override;
  void Activated() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 public:
  // Brings the lists and choices in step with the tables.
  void Follow();

 private:
  void BuildLayout();
  void FillSeriesChoices();
  void FillSetChoice();
  // A source row for a copy of a set (with its conversion texts).
  void AddSourceRow(const PlanSource& source);
  // The sources of the table; nothing with `problem` set when a cell cannot
  // be read.
  std::optional<std::vector<PlanSource>> TableSources(QString& problem) const;
  // The plan on the screen as a record; nothing with `problem` set.
  std::optional<SekkeiRecord> ScreenRecord(QString& problem) const;
  // The input of the computation; an empty text when it can be computed.
  QString BuildInput(SupplyInput& input, SupplyNames& names) const;
  void ShowResult();
  void DrawChart();
  void ShowNewPlan();
  bool Untouched() const;
  // The text of the table (the selection, or everything) for the clipboard.
  QString TableText() const;
  QString PlanTitle() const;
  // The plan computed again for an output; false after saying why it cannot be.
  bool ReadyForOutput();
  // Lets the chart lay itself out before a picture of it is taken.
  void SettleChart();

  ListMirror planList_;
  // The plan shown (0: a new one), and the series chosen, by key; the names
  // remembered for the message when one is gone.
  uint64_t shownKey_ = 0;
  std::vector<ParaRecord> sourceSets_;  // the copies, one per table row
  SupplyInput input_;
  SupplyNames names_;
  SupplyResult result_;
  QString problem_;
  // The series numbers of the shown plan, kept for a series not found.
  int16_t missingTionNo_ = 0;
  int16_t missingNormalNo_ = 0;
  uint64_t tionGeneration_ = 0;
  uint64_t paraGeneration_ = 0;
  bool loading_ = false;  // the screen is being filled: no recomputing meanwhile
  int chartWidth_ = -1;   // the width the chart was drawn for
  int linePieces_ = 0;
  int forecastSpans_ = 0;
  bool lastObservedMarked_ = false;
};

}  // namespace kelvora

// "一括計算": many stored records fitted at once, from the incubation screen
// or the field screen. The window first lists the table's records with check
// boxes; "開始" fits the checked ones side by side on the processors the
// program may use (the batch of the command-line tool, on a copy of the
// table taken at the start, so that records changed or deleted on other
// screens meanwhile do not matter); meanwhile it shows how many are done, the
// records being fitted with their model and sweep counter, and "中止". Then
// the summary: a row per record (name, model, AIC, R², a mark where the
// statistics warn or the fit failed) with a model to choose per row,
// "選択した結果を保存" (the checked rows into the parameter list, as the
// results screen stores a fit), "エクスポート", and a double click that opens
// the record's results screen. The window does not block the other screens.
#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QTableWidget>
#include <QTimer>
#include <chrono>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

#include "kinetics/batch_fit.h"
#include "screens/screen_context.h"
#include "store/hensuu.h"

namespace kelvora {

class ChildScreen;

class BatchFitWindow : public QWidget {
  Q_OBJECT

 public:
  // A window of its own over `owner` (it closes with it) for the records of
  // the table of `source`; `standardTemp` is the first value of its
  // standard temperature box.
  BatchFitWindow(const ScreenContext& context, FitSource source, const QString& standardTemp,
                 QWidget* owner);
  ~BatchFitWindow() override;

  QStackedWidget* const Pages;  // the choice, the progress, the summary

  // Choosing the records.
  QLabel* const ChoiceLabel;
  QListWidget* const RecordList;       // one checkable entry per stored record, in table order
  QPushButton* const SelectAllButton;  // "全て選択"
  QPushButton* const ClearButton;      // "選択解除"
  QLabel* const StdTempLabel;          // "標準温度"
  QLineEdit* const StdTempBox;
  QPushButton* const StartButton;   // "開始"
  QPushButton* const CancelButton;  // "閉じる"

  // While the batch runs.
  QLabel* const CountLabel;  // "3 / 40"
  QProgressBar* const Bar;
  QLabel* const RunningLabel;  // each record being fitted: name, model, sweep counter
  QLabel* const ElapsedLabel;
  QPushButton* const StopButton;  // "中止"

  // The summary.
  QLabel* const SummaryLabel;
  QTableWidget* const ResultTable;  // 保存 | 記録 | 名前 | モデル | AIC | R² | 注意
  QLabel* const StatusLabel;        // what the last save did
  QPushButton* const SaveButton;    // "選択した結果を保存"
  QPushButton* const ExportButton;  // "エクスポート"
  QPushButton* const CloseButton;   // "閉じる"

  enum Column {
    kSaveColumn,
    kRecordColumn,
    kNameColumn,
    kModelColumn,
    kAicColumn,
    kR2Column,
    kNoteColumn
  };

  FitSource Source() const { return source_; }
  // The window's frame in the main window's work area (the window itself
  // when it stands on its own).
  QWidget* Frame();
  bool Running() const { return thread_.joinable(); }
  // The rows of the summary (in record order) and the model chosen on each.
  const std::vector<BatchRow>& Rows() const { return rows_; }
  int16_t ChosenModel(int row) const;
  void ChooseModel(int row, int16_t model);
  // The parameter list position a row was stored at, 0 while it is not.
  int16_t StoredAt(int row) const { return storedAt_.at(static_cast<size_t>(row)); }

  void StartButton_Click();
  void StopButton_Click();
  void SaveButton_Click();
  void ExportButton_Click();
  // A double click on a row: that record's results screen.
  void OpenRecordResults(int row);

 signals:
  // The batch has ended and the summary is shown.
  void batchFinished();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void BuildLayout();
  // The records of the table into the list, keeping the checks of records
  // still there (new ones come checked).
  void FillRecordList();
  uint64_t TableGeneration() const;
  FitRequest RequestOf(size_t index) const;
  void ShowProgress();
  void Finished();
  void FillSummary();
  void ShowRowModel(int row);

  ScreenContext context_;
  const FitSource source_;
  uint64_t listGeneration_ = 0;
  std::vector<uint64_t> listKeys_;  // the record key of each list entry

  // The batch: the table as it was at "開始" (records are shared, the copy
  // is cheap and no other screen's change reaches it), the chosen records in
  // that copy and the standard temperature.
  Table<BaiyoRecord> labCopy_;
  Table<HojyoRecord> fieldCopy_;
  std::vector<int16_t> chosen_;
  std::string standardTemp_;
  std::unique_ptr<BatchControl> control_;
  std::thread thread_;
  QTimer ticker_;
  std::chrono::steady_clock::time_point started_;
  bool closeWhenDone_ = false;

  std::vector<BatchRow> rows_;
  std::vector<int16_t> chosenModel_;  // per row
  std::vector<int16_t> storedAt_;     // per row
};

// The batch window of the screen's table, opened (or brought to the front)
// over the main window.
BatchFitWindow* ShowBatchFitWindow(ChildScreen& screen, FitSource source,
                                   const QString& standardTemp);

}  // namespace kelvora

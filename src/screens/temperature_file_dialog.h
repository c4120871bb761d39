// "地温ファイルの読込": the preview of a temperature file opened from "地温入力"
// (a weather service's daily list or a logger's readings every few minutes).
// The user picks how many heading rows to skip, the date column, the time
// column, one or more temperature columns and their series' names
// (pre-chosen by a guess), and how days with too few readings are treated;
// sees the first rows of the file with the choice marked, the first days of
// the series that will be made, and what the choice reads: the date range,
// the readings a day and their interval, full, incomplete and missing days,
// failed readings and the lowest and highest daily temperature, or why the
// file cannot be read that way.
#pragma once

#include <QDialog>
#include <map>
#include <vector>

#include "store/temperature_import.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QTableWidget;

namespace kelvora {

class TemperatureFileDialog : public QDialog {
  Q_OBJECT

 public:
  // `load` holds the file's rows, the guess and what the guess reads.
  explicit TemperatureFileDialog(TemperatureFileLoad load, QWidget* parent = nullptr);

  QLabel* const FileLabel;
  QLabel* const SkipLabel;
  QSpinBox* const SkipBox;  // "読み飛ばす行数"
  QLabel* const DateLabel;
  QComboBox* const DateColumn;  // "日付の列"
  QLabel* const TimeLabel;
  QComboBox* const TimeColumn;  // "時刻の列": "なし", then the columns
  QLabel* const CoverageLabel;
  QSpinBox* const CoverageBox;      // "不完全な日の基準" in %
  QCheckBox* const KeepIncomplete;  // "不完全な日も平均を使う"
  QLabel* const ChannelsLabel;
  // "地温の列": one row per column of the file, checked for a series, with
  // the series' name (editable) and its figures.
  QTableWidget* const Channels;
  QLabel* const PreviewLabel;
  QTableWidget* const Preview;  // the first rows of the file
  QLabel* const SeriesLabel;
  QTableWidget* const SeriesPreview;  // the first days of the series to be made
  QLabel* const Status;
  QPushButton* const OkButton;      // "読込"
  QPushButton* const CancelButton;  // "キャンセル"

  // Columns of the channel table.
  enum ChannelColumn {
    kChannelUse,
    kChannelName,
    kChannelPerDay,
    kChannelIncomplete,
    kChannelFailed,
    kChannelLowest,
    kChannelHighest,
    kChannelColumns
  };

  TemperatureColumns Columns() const;
  DailyMeanRule Rule() const;
  // The names of the chosen series, in the order of Columns().
  std::vector<std::string> Names() const;
  // What the current choice reads.
  const TemperatureRead& Result() const { return result_; }
  // Checks or unchecks a temperature column (counted from 0).
  void SetTemperatureColumn(int column, bool used);
  // The file the rows came from.
  const TemperatureFileLoad& Load() const { return load_; }

  // Rows of the file and days of the series shown.
  static constexpr int kPreviewRows = 40;

 private:
  void Update();
  void UpdateChannels();
  void UpdateSeriesPreview();
  void FitColumns(QTableWidget* table);

  TemperatureFileLoad load_;
  TemperatureRead result_;
  std::map<int, std::string> typedNames_;  // names the user edited, by column
  bool updating_ = false;
};

}  // namespace kelvora

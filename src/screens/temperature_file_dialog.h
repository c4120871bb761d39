// "地温ファイルの読込": the preview of a daily temperature file opened from
// "地温入力". The user picks how many heading rows to skip, the date column and
// the temperature column (pre-chosen by a guess), sees the first rows of the
// file with the choice marked, and what the choice reads: the date range, the
// days without a temperature, or why the file cannot be read that way.
#pragma once

#include <QDialog>
#include <vector>

#include "store/temperature_file.h"

class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QTableWidget;

namespace kelvora {

class TemperatureFileDialog : public QDialog {
  Q_OBJECT

 public:
  TemperatureFileDialog(const QString& fileName, FileEncoding encoding, char separator,
                        std::vector<DelimitedRow> rows, const TemperatureColumns& guess,
                        QWidget* parent = nullptr);

  QLabel* const FileLabel;
  QLabel* const SkipLabel;
  QSpinBox* const SkipBox;  // "読み飛ばす行数"
  QLabel* const DateLabel;
  QComboBox* const DateColumn;  // "日付の列"
  QLabel* const TemperatureLabel;
  QComboBox* const TemperatureColumn;  // "地温の列"
  QTableWidget* const Preview;
  QLabel* const Status;
  QPushButton* const OkButton;      // "読込"
  QPushButton* const CancelButton;  // "キャンセル"

  TemperatureColumns Columns() const;
  // What the current choice reads.
  const TemperatureRead& Result() const { return result_; }

  // Rows of the file shown in the preview.
  static constexpr int kPreviewRows = 40;

 private:
  void Update();

  std::vector<DelimitedRow> rows_;
  TemperatureRead result_;
};

}  // namespace kelvora

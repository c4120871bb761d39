// "データの選択": the print selection window. It lists the parameter sets
// (the store's PrintKind 1) or the estimation results (PrintKind 2) and the
// printers; "印刷" prints the selected records on the chosen printer as the
// parameter report or one estimation report each. Modeless; it closes itself
// once the pages went out.
#pragma once

#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <cstdint>
#include <vector>

#include "print/printers.h"

namespace kelvora {

class Dialogs;
class hensuu;

class PriFrm_Select : public QDialog {
  Q_OBJECT

 public:
  PriFrm_Select(hensuu& store, Dialogs& dialogs, PrintState& printing, QWidget* parent = nullptr);

  QGroupBox* const Frame1;   // "印刷する項目の選択"
  QLabel* const Label5;      // what the entries name
  QListWidget* const List1;  // one entry per record
  QLabel* const Label3;      // the two lines of the selection hint
  QLabel* const Label4;
  QGroupBox* const Frame2;      // "プリンタの選択"
  QListWidget* const List2;     // the printers, then "PDFファイルに保存"
  QPushButton* const Command1;  // "全て選択"
  QPushButton* const Command2;  // "印刷"
  QPushButton* const Command3;  // "キャンセル"
  QPushButton* const Command4;  // "印刷プレビュー"
  QPushButton* const Command5;  // "エクスポート"

  void Command1_Click();
  void Command2_Click();
  void Command3_Click();
  void Command4_Click();
  // Writes the selected records (all of them when none is selected) to a
  // workbook or a CSV file; the window stays open.
  void Command5_Click();

  int16_t Kind() const { return kind_; }
  // Draws the selected records on `sink`: the parameter report as one
  // document, or each estimation as its own document (moving SuiteiCurrent
  // to it when `moveCurrent`).
  bool DrawSelection(DocumentSink& sink, bool moveCurrent);

 protected:
  void changeEvent(QEvent* event) override;

 private:
  // The table of the print kind, as the deletion module names it (0 for
  // another kind), and its generation.
  int16_t TableKind() const;
  uint64_t TableGeneration() const;
  // Fills the list from the table, keeping the selected entries by record
  // (a first fill selects the current record). False when a selected record
  // is no longer in the table.
  bool FillRecords();
  // When the table changed since the list was filled, the list is filled
  // again keeping the selection by record; false (after telling the user,
  // nothing printed) when a selected record was removed meanwhile.
  bool ListStillValid();
  uint64_t KeyOf(int16_t record) const;
  std::vector<int16_t> SelectedRecords() const;
  QString SuggestedFileName() const;

  hensuu& store_;
  Dialogs& dialogs_;
  PrintState& printing_;
  int16_t kind_;
  uint64_t generation_ = 0;
  std::vector<uint64_t> keys_;  // keys_[p] names the record of entry p
  std::vector<PrinterEntry> printers_;
};

}  // namespace kelvora

// "ほ場埋め込みによる培養": the field-burial data screen. One data set of
// HojyoTable at a time: a table of one row per day from the burial day to the
// last sampling day (date, soil temperature, amount measured on sampling
// days), the name of the soil or fertilizer and the material.
#pragma once

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <array>

#include "kinetics/fit_driver.h"
#include "screens/child_screen.h"
#include "screens/controls.h"
#include "screens/data_grid.h"
#include "screens/record_flow.h"
#include "screens/stored_records_panel.h"

class QMenuBar;
class QMenu;

namespace kelvora {

class HojyoBaiyo_Form : public ChildScreen {
  Q_OBJECT

 public:
  explicit HojyoBaiyo_Form(const ScreenContext& context, QWidget* parent = nullptr);

  // Controls.
  QMenuBar* const MenuBar;
  DataGrid* const Grid;  // MSFlexGrid1 + Text_Edit
  FlexGrid* const MSFlexGrid1;
  QLineEdit* const Text_Edit;
  CaptionBox* const Text3;
  QPushButton* const Command7;  // "① 新規作成"
  QGroupBox* const Frame4;      // "日付入力"
  QGroupBox* const Frame6;      // "② 最初の日"
  QGroupBox* const Frame5;      // "③ 最後の日"
  QComboBox* const Combo1;      // first day: year, month, day
  QComboBox* const Combo2;
  QComboBox* const Combo3;
  QComboBox* const Combo4;  // last day: year, month, day
  QComboBox* const Combo5;
  QComboBox* const Combo6;
  CaptionBox* const Text4;
  QPushButton* const Command9;  // "④ 確定"
  QLabel* const Label3;
  QLabel* const Label1;
  QLineEdit* const Text_Dojyo;
  QLabel* const Label8;
  QLineEdit* const Text1;
  QLabel* const Label9;
  QGroupBox* const Frame3;
  QRadioButton* const Option1;
  QRadioButton* const Option2;
  QLabel* const Label7;
  QLabel* const Label2;
  CaptionBox* const Text5;
  QPushButton* const Command3;  // "⑨ 適用"
  CaptionBox* const Text2;
  QPushButton* const Command5;       // "⑩ パラメータ算出"
  StoredRecordsPanel* const Frame1;  // "データ": List1, Command1, Command8
  ListBox* const List1;
  QPushButton* const Command1;  // "ファイル保存"
  QPushButton* const Command8;  // "データ削除"
  QPushButton* const Command4;  // "キャンセル"
  QPushButton* const Command6;  // "終了"
  QMenu* HelpMenu = nullptr;
  QPushButton* BatchButton = nullptr;  // "一括計算": every chosen record fitted at once

  // On while the deletion dialog is open.
  bool Deleting = false;

  // Operations of the screen.
  void CleanTable();
  void ShowRecord();
  void NewRecord();
  bool ApplyRecord();

  // Buttons and events.
  void Command7_Click();  // "① 新規作成"
  void Command9_Click();  // "④ 確定"
  void Command3_Click();  // "⑨ 適用"
  void Command4_Click();  // "キャンセル"
  void Command5_Click();  // "⑩ パラメータ算出"
  void Command1_Click();  // "ファイル保存"
  void Command8_Click();  // "データ削除"
  void Command6_Click();  // "終了"

  // "一括計算": stores the screen, then opens the batch window of the table.
  void BatchButton_Click();

  bool QueryClose() override;
  void Activated() override;

  bool NewMode() const { return flow_.NewMode(); }

  // The question asked before a fit when days up to the last sampling day
  // have no soil temperature; empty when every such day has one.
  static QString MissingTemperatureQuestion(const GridTable& cells);

 private:
  void BuildLayout();
  void FillDateBoxes();
  void ShowApply(bool shown);
  RecordFlow::Binding Binding();

  RecordFlow flow_;
};

}  // namespace kelvora

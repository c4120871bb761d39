// "地温入力": the soil-temperature series screen. One series of TionTable at a
// time: the first and the last day, the daily temperatures (typed or pasted)
// and the name of the site.
#pragma once

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "screens/child_screen.h"
#include "screens/controls.h"
#include "screens/data_grid.h"
#include "screens/record_flow.h"
#include "screens/stored_records_panel.h"
#include "store/temperature_file.h"

class QMenuBar;
class QMenu;

namespace kelvora {

class Ondo_Form : public ChildScreen {
  Q_OBJECT

 public:
  explicit Ondo_Form(const ScreenContext& context, QWidget* parent = nullptr);

  // Controls.
  QMenuBar* const MenuBar;
  QGroupBox* const Frame2;  // "日付入力"
  QGroupBox* const Frame3;  // "① 最初の日"
  QComboBox* const Combo1;  // year
  QComboBox* const Combo2;  // month
  QComboBox* const Combo3;  // day
  QGroupBox* const Frame4;  // "② 最後の日"
  QComboBox* const Combo4;
  QComboBox* const Combo5;
  QComboBox* const Combo6;
  CaptionBox* const Text2;
  QPushButton* const Command9;   // "③　確定"
  QPushButton* const Command10;  // "ファイルから読込"
  QPushButton* const Command11;  // "平年値の作成"
  QLabel* const Label6;
  DataGrid* const Grid;  // MSFlexGrid1 + Text_Edit
  FlexGrid* const MSFlexGrid1;
  QLineEdit* const Text_Edit;
  QLabel* const Label1;
  QLineEdit* const Text_Titen;
  CaptionBox* const Text1;
  QPushButton* const Command3;  // "⑥ 適用"
  CaptionBox* const Text3;
  QPushButton* const Command7;       // "新規入力"
  StoredRecordsPanel* const Frame1;  // "リスト": List1, Command1, Command8
  ListBox* const List1;
  QPushButton* const Command1;  // "ファイル保存"
  QPushButton* const Command8;  // "データ削除"
  QPushButton* const Command5;  // "窒素無機化推定"
  QPushButton* const Command4;  // "キャンセル"
  QPushButton* const Command6;  // "終了"
  QMenu* HelpMenu = nullptr;

  // On while the deletion dialog is open.
  bool Deleting = false;

  // Operations of the screen.
  void Nyuuryoku_Mode();
  void ShowRecord();
  bool ApplyRecord();
  void CleanTable();

  // Buttons and events.
  void Command9_Click();   // "③　確定"
  void Command3_Click();   // "⑥ 適用"
  void Command7_Click();   // "新規入力"
  void Command4_Click();   // "キャンセル"
  void Command1_Click();   // "ファイル保存"
  void Command5_Click();   // "窒素無機化推定"
  void Command8_Click();   // "データ削除"
  void Command6_Click();   // "終了"
  void Command10_Click();  // "ファイルから読込"
  void Command11_Click();  // "平年値の作成": a normal-year series, not applied yet
  // Reads a temperature file through the preview dialog: one chosen column
  // into a new series on the screen, not applied yet; several columns added
  // at once as series of their own (the preview's "適用"). False when nothing
  // changed.
  bool LoadTemperatureFile(const QString& path);
  void List1_MouseDown();
  bool List1_KeyDown(int key);

  bool QueryClose() override;
  void Activated() override;

  // True in new-input mode (a series that is not stored yet is on the screen).
  bool NewMode() const { return flow_.NewMode(); }

  // Puts a series made elsewhere (a file read, a normal year) on the screen
  // as a new series, not applied yet, as "新規入力" starts one (the series on
  // the screen is applied first): its range in the boxes, its rows in the
  // grid as one step of the grid's history named `step`, its name as the
  // data files keep names. A new series being typed is replaced only after a
  // yes to `replaceQuestion`. False when no new series was begun.
  bool ShowNewSeries(const CivilDate& first, const CivilDate& last, int days,
                     const std::string& gridText, const std::string& name, const QString& step,
                     const QString& replaceQuestion);

 private:
  bool AddFileSeries(const TemperatureSeries& series, const std::vector<std::string>& names,
                     const DailyMeanRule& rule);
  static QString FileDaysMessage(const TemperatureSeries& series, const DailyMeanRule& rule);
  void BuildLayout();
  RecordFlow::Binding Binding();
  void ShowApply(bool shown);

  RecordFlow flow_;
};

}  // namespace kelvora

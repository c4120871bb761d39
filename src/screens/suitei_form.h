// "窒素無機化の推定": the estimation screen. The user picks stored parameter
// sets and soil temperature series (one series with an optional date range,
// or several series over their whole length), runs the estimation for every
// pair, and pages through the stored estimations, opens their chart or
// deletes them.
#pragma once

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <array>
#include <vector>

#include "kinetics/estimation.h"
#include "screens/child_screen.h"
#include "screens/list_mirror.h"

class QMenu;
class QMenuBar;

namespace kelvora {

class CaptionBox;
class FlexGrid;
class ListBox;

// One row of the chart data: the date text and the formatted amount (empty
// where the day had no temperature).
struct GraphRow {
  QString date;
  QString amount;
};

class Suitei_Form : public ChildScreen {
  Q_OBJECT

 public:
  explicit Suitei_Form(const ScreenContext& context, QWidget* parent = nullptr);

  QMenuBar* const MenuBar;
  QGroupBox* const Frame3;  // "① オプション選択"
  QRadioButton* const Option1;
  QRadioButton* const Option2;
  QGroupBox* const Frame2;  // "② 温度データの選択"
  ListBox* const List2;
  std::array<QLabel*, 2> Label1{};     // "開始日", "終了日"
  std::array<QComboBox*, 2> Combo1{};  // start and end date
  QLabel* const Label8;
  QLabel* const Label7;
  QLabel* const Label9;
  QLabel* const Label15;
  QGroupBox* const Frame1;  // "③ 土壌・肥料の選択"
  ListBox* const List1;
  QLabel* const Label13;
  QLabel* const Label11;
  QLabel* const Label10;
  QLabel* const Label12;
  QLabel* const Label14;
  QPushButton* const Command1;  // "④ 計算" (caption in Text1)
  CaptionBox* const Text1;
  QPushButton* const Command2;  // "終了"
  QGroupBox* const Frame4;      // "無機化推定の結果"
  std::array<QLabel*, 2> Label2{};
  std::array<QLineEdit*, 2> Text2{};
  QLabel* const Label5;
  QLabel* const Label6;             // model name
  std::array<QLabel*, 2> Label3{};  // current number, count
  QLabel* const Label4;
  QPushButton* const Command8;  // "＜＜"
  QPushButton* const Command3;  // "＜"
  QPushButton* const Command7;  // "＞"
  QPushButton* const Command9;  // "＞＞"
  FlexGrid* const MSFlexGrid1;
  QPushButton* const Command11;  // "データ削除"
  QPushButton* const Command6;   // "印刷"
  QPushButton* const Command10;  // "グラフ表示"
  QPushButton* const Command12;  // "エクスポート"
  QMenu* const Edit;
  QAction* const Edit_Copy;
  QAction* const Edit_Select_All;

  // The prepared days of the series last separated.
  SeriesDays Series;
  // The rows of the shown estimation handed to the chart, and that
  // estimation itself (captions and unit come from the same record).
  std::vector<GraphRow> GraphTable;
  SuiteiRecord GraphRecord;

  // Operations.
  void SuiData_Paste();
  void Data_Separate();
  void Suitei_Cal();

  // Events.
  void Option1_Click();
  void Option2_Click();
  void List2_Click();
  void Command1_Click();
  void Command2_Click();
  void Command8_Click();
  void Command3_Click();
  void Command7_Click();
  void Command9_Click();
  void Command10_Click();
  void Command6_Click();
  void Command11_Click();
  // Writes every stored estimation to a workbook (a sheet each) or one CSV
  // table (the print selection window writes the chosen ones).
  void Command12_Click();
  void MSFlexGrid1_MouseDown(Qt::MouseButton button);
  void Edit_Copy_Click();
  void Edit_Select_All_Click();

  // Brings the screen in step with the tables: the two lists are rebuilt when
  // their table changed (keeping the selection by record), the date lists
  // follow their series, and SuiteiCurrent names the shown estimation again.
  void Follow();
  void Activated() override;

 private:
  void BuildLayout();
  // Selected entries of a list, in list order (0-based).
  static std::vector<int> SelectedRows(const ListBox* list);
  // Shows one estimation: the header fields, the grid and the position.
  void ShowEstimation(int16_t index);
  void ShowPosition();
  // The date lists from the series with List2's cursor.
  void FillDates();

  ListMirror paraList_;  // List1
  ListMirror tionList_;  // List2
  // The key of the estimation shown; 0 while none is.
  uint64_t shownKey_ = 0;
  // The series the date lists were filled from, and its text then.
  uint64_t datesKey_ = 0;
  std::string datesText_;
};

}  // namespace kelvora

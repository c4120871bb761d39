// "培養結果記入": the laboratory incubation data screen. One data set of
// BaiyoTable at a time: the incubation table (days and amounts at up to three
// temperatures), the name of the soil or fertilizer and the material.
#pragma once

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <functional>
#include <string>

#include "kinetics/fit_driver.h"
#include "kinetics/lab_table.h"
#include "screens/child_screen.h"
#include "screens/controls.h"
#include "screens/data_grid.h"
#include "screens/record_flow.h"
#include "screens/stored_records_panel.h"
#include "store/grid_text.h"

class QMenuBar;
class QMenu;

namespace kelvora {

class Baiyo_Form0_3 : public ChildScreen {
  Q_OBJECT

 public:
  // What "⑦ パラメータ算出" hands to the parameter calculation: the table
  // after CleanTable, what CleanTable found, the texts of the name
  // (Text_Dojyo) and the standard temperature (Text1), and the material
  // (Option2).
  using FitRequest = ::kelvora::FitRequest;
  using FitHook = std::function<void(Baiyo_Form0_3& screen, const FitRequest& request)>;

  explicit Baiyo_Form0_3(const ScreenContext& context, QWidget* parent = nullptr);

  // Controls.
  QMenuBar* const MenuBar;
  DataGrid* const Grid;  // MSFlexGrid1 + Text_Edit
  FlexGrid* const MSFlexGrid1;
  QLineEdit* const Text_Edit;
  CaptionBox* const Text3;
  QPushButton* const Command7;
  QLabel* const Label6;
  QLabel* const Label5;
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
  CaptionBox* const Text4;
  QPushButton* const Command3;
  CaptionBox* const Text2;
  QPushButton* const Command5;
  StoredRecordsPanel* const Frame1;  // "データ": List1, Command1, Command8
  ListBox* const List1;
  QPushButton* const Command1;
  QPushButton* const Command8;
  QPushButton* const Command4;
  QPushButton* const Command6;
  QMenu* HelpMenu = nullptr;
  QPushButton* BatchButton = nullptr;  // "一括計算": every chosen record fitted at once

  // On while the deletion dialog is open.
  bool Deleting = false;

  // Run by "⑦ パラメータ算出" after the table has been cleaned. Until it is
  // set the button only cleans the table.
  FitHook OnParameterCalculation;

  // Operations of the screen.
  void Midashi_Color();
  IncubationTableShape CleanTable();
  void ShowRecord();
  void NewRecord();
  // Copies the screen into record BaiyoCurrent (appending a new data set).
  // False, after a message, when the screen cannot be stored (a text the data
  // files cannot hold, or a full table); the screen then stays as it is.
  bool ApplyRecord();

  // Buttons and events.
  void Command7_Click();  // "① 新規作成"
  void Command3_Click();  // "⑥ 適用"
  void Command4_Click();  // "キャンセル"
  void Command5_Click();  // "⑦ パラメータ算出"
  void Command1_Click();  // "ファイル保存"
  void Command8_Click();  // "データ削除"
  void Command6_Click();  // "終了"
  void List1_MouseDown();
  bool List1_KeyDown(int key);

  // "一括計算": stores the screen, then opens the batch window of the table.
  void BatchButton_Click();

  bool QueryClose() override;
  void Activated() override;

  // True in new mode (a data set that is not stored yet is on the screen).
  bool NewMode() const { return flow_.NewMode(); }

 private:
  void BuildLayout();
  RecordFlow::Binding Binding();

  RecordFlow flow_;
};

}  // namespace kelvora

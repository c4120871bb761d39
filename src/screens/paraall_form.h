// "パラメータ一覧": every stored parameter set by name, one shown at a time
// with its model, values, formula and standard temperature; typing in a set
// by hand ("手入力"); the start of deletion and printing of parameter sets.
#pragma once

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <array>
#include <cstdint>

#include "screens/child_screen.h"
#include "screens/delfrm_select.h"

namespace kelvora {

class ListBox;
class ModelFrame;

class ParaAll_Form : public ChildScreen, public DeletionListOwner {
  Q_OBJECT

 public:
  explicit ParaAll_Form(const ScreenContext& context, QWidget* parent = nullptr);

  ListBox* const List1;         // one entry per ParaRecord (SoilName)
  QGroupBox* const Frame1;      // the six model options, enabled only for hand entry
  QRadioButton* const Option1;  // "単純型"
  QRadioButton* const Option2;  // "単純並行型"
  QRadioButton* const Option3;  // "有機化無機化並行型"
  QRadioButton* const Option4;  // "肥料単純型"
  QRadioButton* const Option5;  // "シグモイド肥料型"
  QRadioButton* const Option6;  // "シグモイド肥料ガウス補正型"
  QLabel* const Label2;         // "土壌名（肥料名）"
  QLineEdit* const Text2;       // the name
  ModelFrame* const Values;  // rows 1-7 parameters, 8 AIC, 9 残差平方和, 10 標準温度（℃）
  QLabel* const Label3;      // the formula line
  QPushButton* const Command3;  // "手入力"
  QPushButton* const Command4;  // "手入力適用"
  QPushButton* const Command6;  // "キャンセル"
  QPushButton* const Command8;  // "データ削除"
  QPushButton* const Command2;  // "データ印刷"
  QPushButton* const Command5;  // "終了"
  QPushButton* const Command9;  // "エクスポート"

  // Rows 1 ... 10 of the value area.
  QLabel* Label1(int i) const;
  QLineEdit* Text1(int i) const;
  QRadioButton* Option(int16_t model) const { return options_[model - 1]; }

  bool Deleting = false;
  bool ManualMode() const { return manual_; }
  // The model whose option is checked; 0 when none is.
  int16_t CheckedModel() const;

  void Para_Hyouji();
  void SetViewMode();
  void SetManualMode();
  // Checks the typed set and appends it; false (after a message) when a
  // check fails.
  bool StoreManualEntry();

  void Option_Click(int16_t model);
  void List1_MouseDown();
  bool List1_KeyDown(int key);
  void Command3_Click();
  void Command4_Click();
  void Command6_Click();
  void Command8_Click();
  void Command2_Click();
  void Command5_Click();
  // Writes every parameter set to a workbook or a CSV file (the print
  // selection window writes the chosen ones).
  void Command9_Click();

  // Brings the list in step with ParaTable after records were added or
  // changed elsewhere (a fit, the results screen): entry i names record i + 1.
  // ParaCurrent names the shown set again (other screens move it).
  void SyncList();
  void Activated() override;
  void RemoveRecordEntry(int position) override;

 private:
  void ShowModelRows(int16_t model);
  void SetValueBoxesEditable(bool editable);
  void SelectEntry(int position);
  void ListClicked(int position);
  void FillList();

  std::array<QRadioButton*, 6> options_;
  bool manual_ = false;
  bool entryAccepted_ = false;
  uint64_t listGeneration_ = 0;
  // The key of the set shown (in view mode; the one shown last in hand entry).
  uint64_t shownKey_ = 0;
};

}  // namespace kelvora

// "パラメータ再計算": shown when the search of one model met an arithmetic
// error. It shows the initial values that were used and lets the user type
// new ones and recalculate that model, or give up the whole fit.
#pragma once

#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <array>
#include <cstdint>
#include <vector>

namespace kelvora {

class Dialogs;
class hensuu;

class Sol_Dame0_1 : public QDialog {
  Q_OBJECT

 public:
  // Fills the rows of `model` (1-5) with the initial values its failed
  // search started from.
  Sol_Dame0_1(int16_t model, const std::vector<float>& initialValues, hensuu& store,
              Dialogs& dialogs, QWidget* owner);

  QLabel* const Label3;               // "パラメータの解が求まりませんでした"
  QLabel* const Label4;               // "パラメータの初期値を再度設定して下さい"
  QGroupBox* const Frame1;            // "<model>　初期値"
  std::array<QLabel*, 8> Label1{};    // [1..7] names
  std::array<QLineEdit*, 8> Text1{};  // [1..7] initial values
  std::array<QLabel*, 8> Label2{};    // [1..7] units
  QPushButton* const Command1;        // "再計算"
  QPushButton* const Command2;        // "キャンセル"

  enum class Answer { Recalculate, Cancel, Closed };
  Answer Result() const { return answer_; }
  // The values typed, after "再計算".
  const std::vector<float>& Values() const { return values_; }

  void Command1_Click();
  void Command2_Click();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void reject() override;

 private:
  std::vector<float> values_;
  hensuu& store_;
  Dialogs& dialogs_;
  int count_ = 0;
  Answer answer_ = Answer::Closed;
  bool cascadeTaken_ = false;
  void TakeCascadeBack();
};

}  // namespace kelvora

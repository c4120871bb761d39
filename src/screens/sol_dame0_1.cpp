#include "screens/sol_dame0_1.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "kinetics/model_kind.h"
#include "screens/dialogs.h"
#include "screens/qtext.h"
#include "screens/screen_context.h"
#include "store/hensuu.h"
#include "store/number_text.h"

namespace kelvora {

Sol_Dame0_1::Sol_Dame0_1(int16_t model, const std::vector<float>& initial, hensuu& store,
                         Dialogs& dialogs, QWidget* owner)
    : QDialog(owner),
      Label3(new QLabel(QStringLiteral("パラメータの解が求まりませんでした"), this)),
      Label4(new QLabel(QStringLiteral("パラメータの初期値を再度設定して下さい"), this)),
      Frame1(new QGroupBox(this)),
      Command1(new QPushButton(QStringLiteral("再計算"), this)),
      Command2(new QPushButton(QStringLiteral("キャンセル"), this)),
      store_(store),
      dialogs_(dialogs) {
  setObjectName(QStringLiteral("Sol_Dame0_1"));
  setWindowTitle(QStringLiteral("パラメータ再計算"));
  setModal(true);

  auto* rows = new QGridLayout(Frame1);
  rows->setHorizontalSpacing(10);
  for (int i = 1; i <= 7; ++i) {
    Label1[i] = new QLabel(Frame1);
    Text1[i] = new QLineEdit(Frame1);
    Text1[i]->setObjectName(QStringLiteral("Text1_%1").arg(i));
    Text1[i]->setAlignment(Qt::AlignRight);
    Text1[i]->setMinimumWidth(130);
    Label2[i] = new QLabel(Frame1);
    rows->addWidget(Label1[i], i, 0);
    rows->addWidget(Text1[i], i, 1);
    rows->addWidget(Label2[i], i, 2);
  }

  const int16_t m = model;
  if (m >= 1 && m <= 5) {
    count_ = FittedParamCount(m);
    Frame1->setTitle(Q(InitialValuesTitle(m)));
    for (int i = 1; i <= count_; ++i) {
      Label1[i]->setText(Q(DialogParamNames(m)[i - 1]));
      Label2[i]->setText(Q(ParamUnits(m)[i - 1]));
      if (i - 1 < static_cast<int>(initial.size()))
        Text1[i]->setText(Q(SingleText(initial[i - 1])));
    }
  }
  for (int i = count_ + 1; i <= 7; ++i) {
    Label1[i]->hide();
    Text1[i]->hide();
    Label2[i]->hide();
  }

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  for (QPushButton* b : {Command1, Command2}) {
    b->setMinimumWidth(110);
    b->setAutoDefault(false);
    buttons->addWidget(b);
  }
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(20, 16, 20, 14);
  layout->addWidget(Label3);
  layout->addWidget(Label4);
  layout->addSpacing(8);
  layout->addWidget(Frame1);
  layout->addSpacing(8);
  layout->addLayout(buttons);
  connect(Command1, &QPushButton::clicked, this, &Sol_Dame0_1::Command1_Click);
  connect(Command2, &QPushButton::clicked, this, &Sol_Dame0_1::Command2_Click);
}

void Sol_Dame0_1::Command1_Click() {
  std::vector<float> values;
  for (int i = 1; i <= count_; ++i) {
    std::optional<float> v = ParseSingle(Text1[i]->text().toStdString());
    if (!v) {
      // Nothing is run from a box that does not hold a number.
      dialogs_.Message(this, kTitleCaution,
                       QStringLiteral("%1 の初期値に数字を記入して下さい").arg(Label1[i]->text()));
      Text1[i]->setFocus();
      Text1[i]->selectAll();
      return;
    }
    values.push_back(*v);
  }
  values_ = values;
  answer_ = Answer::Recalculate;
  TakeCascadeBack();
  done(QDialog::Accepted);
}

void Sol_Dame0_1::Command2_Click() {
  answer_ = Answer::Cancel;
  TakeCascadeBack();
  done(QDialog::Rejected);
}

void Sol_Dame0_1::reject() {
  // The close box or Escape: the model runs again from the same values.
  if (answer_ == Answer::Closed) TakeCascadeBack();
  QDialog::reject();
}

void Sol_Dame0_1::closeEvent(QCloseEvent* event) {
  if (answer_ == Answer::Closed) TakeCascadeBack();
  QDialog::closeEvent(event);
}

void Sol_Dame0_1::TakeCascadeBack() {
  if (cascadeTaken_) return;
  cascadeTaken_ = true;
  kelvora::TakeCascadeBack(store_);
}

}  // namespace kelvora

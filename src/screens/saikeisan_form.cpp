#include "screens/saikeisan_form.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QVBoxLayout>
#include <algorithm>

#include "screens/screen_context.h"
#include "store/hensuu.h"
#include "store/number_text.h"

namespace kelvora {

SaiKeisan_Form::SaiKeisan_Form(hensuu& store, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowCloseButtonHint),
      LabelSweep(new QLabel(this)),
      BarSweep(new QProgressBar(this)),
      LabelRss(new QLabel(this)),
      CommandStop(new QPushButton(QStringLiteral("中止"), this)) {
  setObjectName(QStringLiteral("SaiKeisan_Form"));
  setWindowTitle(QStringLiteral("計算中"));
  setWindowModality(Qt::ApplicationModal);
  TakeCascadeBack(store);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(24, 18, 24, 14);
  for (int i = 1; i <= 3; ++i) {
    Label1[i] = new QLabel(this);
    Label1[i]->setObjectName(QStringLiteral("Label1_%1").arg(i));
    Label1[i]->setAlignment(Qt::AlignCenter);
    layout->addWidget(Label1[i]);
  }
  layout->addSpacing(10);
  LabelSweep->setObjectName(QStringLiteral("LabelSweep"));
  LabelRss->setObjectName(QStringLiteral("LabelRss"));
  BarSweep->setObjectName(QStringLiteral("BarSweep"));
  BarSweep->setAccessibleName(QStringLiteral("探索回数"));
  BarSweep->setTextVisible(false);
  BarSweep->setRange(0, 1);
  BarSweep->setValue(0);
  for (QLabel* l : {LabelSweep, LabelRss}) {
    l->setAlignment(Qt::AlignCenter);
    QPalette p = l->palette();
    p.setColor(QPalette::WindowText, QColor(80, 80, 80));
    l->setPalette(p);
  }
  layout->addWidget(LabelSweep);
  layout->addWidget(BarSweep);
  layout->addWidget(LabelRss);
  layout->addSpacing(8);
  CommandStop->setMinimumWidth(100);
  CommandStop->setAutoDefault(false);
  layout->addWidget(CommandStop, 0, Qt::AlignCenter);
  connect(CommandStop, &QPushButton::clicked, this, &SaiKeisan_Form::RequestStop);
  SetSearchState(0, 0, 0);
  setMinimumWidth(360);
}

void SaiKeisan_Form::SetTexts(const QString& line1, const QString& line2, const QString& line3) {
  Label1[1]->setText(line1);
  Label1[2]->setText(line2);
  Label1[3]->setText(line3);
}

void SaiKeisan_Form::SetSearchState(int sweep, int sweepLimit, float bestRss) {
  if (sweep <= 0) {
    LabelSweep->setText(QString());
    LabelRss->setText(QString());
    BarSweep->setValue(0);
    return;
  }
  const int limit = std::max(sweepLimit, sweep);
  LabelSweep->setText(QStringLiteral("探索回数：%1 / %2").arg(sweep).arg(limit));
  BarSweep->setRange(0, limit);
  BarSweep->setValue(sweep);
  LabelRss->setText(
      QStringLiteral("残差平方和：%1").arg(QString::fromStdString(FormatFixed(bestRss, 5))));
}

void SaiKeisan_Form::RequestStop() {
  if (stopRequested_) return;
  stopRequested_ = true;
  CommandStop->setEnabled(false);
  Label1[3]->setText(QStringLiteral("計算を中止しています"));
  emit stopRequested();
}

void SaiKeisan_Form::Finish() { finished_ = true; }

void SaiKeisan_Form::closeEvent(QCloseEvent* event) {
  // The close box stops the fit as "中止" does; the window goes away when the
  // fit has ended.
  if (!finished_) {
    RequestStop();
    event->ignore();
    return;
  }
  QDialog::closeEvent(event);
}

void SaiKeisan_Form::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    RequestStop();
    return;
  }
  QDialog::keyPressEvent(event);
}

}  // namespace kelvora

#include "screens/fit_stats_window.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QClipboard>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QScreen>
#include <QScrollArea>
#include <QShortcut>
#include <QStyle>
#include <QThread>
#include <QVBoxLayout>
#include <QtCharts/QAreaSeries>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLegend>
#include <QtCharts/QLegendMarker>
#include <QtCharts/QLineSeries>
#include <QtCharts/QScatterSeries>
#include <QtCharts/QValueAxis>
#include <algorithm>
#include <cmath>

#include "kinetics/fit_sequence.h"
#include "kinetics/model_kind.h"
#include "print/prionly_select.h"
#include "screens/background_work.h"
#include "screens/chart_picture.h"
#include "screens/chart_setup.h"
#include "screens/help_window.h"
#include "screens/qtext.h"

namespace kelvora {

namespace {

const QString kNotEstimable = QStringLiteral("推定不能");
const QString kUndefined = QStringLiteral("—");

const QColor kGroupColors[] = {QColor(30, 90, 200), QColor(30, 150, 60), QColor(200, 60, 30)};

QColor GroupColor(int group) { return kGroupColors[(std::max(group, 1) - 1) % 3]; }

// A number in at most `digits` significant digits, plain unless very large or
// very small.
QString Num(double v, int digits = 5) {
  if (!std::isfinite(v)) return kUndefined;
  const double a = std::fabs(v);
  if (a != 0 && (a < 1e-4 || a >= 1e9)) return QString::number(v, 'e', digits - 2);
  if (a >= std::pow(10.0, digits)) return QString::number(v, 'f', 0);
  return QString::number(v, 'g', digits);
}

// A number with exactly `digits` significant digits, trailing zeros kept, in
// the same plain or exponent form as Num().
QString Significant(double v, int digits = 5) {
  if (!std::isfinite(v)) return kUndefined;
  const double a = std::fabs(v);
  if (a != 0 && (a < 1e-4 || a >= 1e9)) return QString::number(v, 'e', digits - 1);
  if (a == 0) return QString::number(0.0, 'f', digits - 1);
  int decimals = std::max(0, digits - 1 - static_cast<int>(std::floor(std::log10(a))));
  // Rounding up to the next power of ten (9.99996 → 10.0000) adds a digit.
  if (decimals > 0 && std::fabs(QString::number(v, 'f', decimals).toDouble()) >=
                          std::pow(10.0, digits - decimals)) {
    --decimals;
  }
  return QString::number(v, 'f', decimals);
}

// An interval: both bounds with the same significant digits ("9.4649 ～
// 10.000", not "9.4649 ～ 10").
QString IntervalText(double lo, double hi) {
  return QStringLiteral("%1 ～ %2").arg(Significant(lo), Significant(hi));
}

QString Fixed(double v, int decimals) {
  return std::isfinite(v) ? QString::number(v, 'f', decimals) : kUndefined;
}

QTableWidgetItem* Cell(const QString& text,
                       Qt::Alignment align = Qt::AlignRight | Qt::AlignVCenter) {
  auto* item = new QTableWidgetItem(text);
  item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
  item->setTextAlignment(align);
  return item;
}

QTableWidget* MakeTable(const QString& name, QWidget* parent) {
  auto* t = new QTableWidget(parent);
  t->setObjectName(name);
  t->setEditTriggers(QAbstractItemView::NoEditTriggers);
  t->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  t->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  t->setSelectionMode(QAbstractItemView::ContiguousSelection);
  t->setWordWrap(false);
  t->verticalHeader()->setDefaultSectionSize(t->fontMetrics().height() + 5);
  t->verticalHeader()->setMinimumSectionSize(t->fontMetrics().height() + 5);
  return t;
}

// Sizes a table to show every cell without scrolling.
void FitTable(QTableWidget* t) {
  t->resizeColumnsToContents();
  for (int c = 0; c < t->columnCount(); ++c) t->setColumnWidth(c, t->columnWidth(c) + 10);
  int w = 2 * t->frameWidth() +
          (t->verticalHeader()->isVisible() ? t->verticalHeader()->sizeHint().width() : 0);
  for (int c = 0; c < t->columnCount(); ++c) w += t->columnWidth(c);
  int h = 2 * t->frameWidth() +
          (t->horizontalHeader()->isVisible() ? t->horizontalHeader()->sizeHint().height() : 0);
  for (int r = 0; r < t->rowCount(); ++r) h += t->rowHeight(r);
  t->setMinimumSize(w, h);
  t->setMaximumHeight(h);
  t->horizontalHeader()->setStretchLastSection(true);
}

QLabel* Caption(const QString& text, QWidget* parent) {
  auto* l = new QLabel(text, parent);
  QFont f = l->font();
  f.setBold(true);
  l->setFont(f);
  return l;
}

QChartView* MakeChartView(const QString& name, const QString& title, QWidget* parent) {
  auto* v = new QChartView(new QChart, parent);
  v->setObjectName(name);
  v->setAccessibleName(title);
  v->setRenderHint(QPainter::Antialiasing);
  v->setMinimumSize(420, 220);
  v->chart()->setTitle(title);
  // The legend at the side leaves the low chart its height.
  v->chart()->legend()->setAlignment(Qt::AlignRight);
  v->chart()->setMargins(QMargins(4, 4, 4, 4));
  return v;
}

void HideLegend(QChart* chart, QAbstractSeries* s) {
  for (QLegendMarker* m : chart->legend()->markers(s)) m->setVisible(false);
}

QString TableText(const QTableWidget* t, const QString& title) {
  QString out = title + QStringLiteral("\r\n");
  QStringList head;
  if (t->verticalHeader()->isVisible()) head << QString();
  for (int c = 0; c < t->columnCount(); ++c) {
    const QTableWidgetItem* h = t->horizontalHeaderItem(c);
    head << (h ? h->text() : QString());
  }
  if (t->horizontalHeader()->isVisible())
    out += head.join(QLatin1Char('\t')) + QStringLiteral("\r\n");
  for (int r = 0; r < t->rowCount(); ++r) {
    QStringList row;
    if (t->verticalHeader()->isVisible()) {
      const QTableWidgetItem* h = t->verticalHeaderItem(r);
      row << (h ? h->text() : QString());
    }
    for (int c = 0; c < t->columnCount(); ++c) {
      const QTableWidgetItem* item = t->item(r, c);
      row << (item ? item->text() : QString());
    }
    out += row.join(QLatin1Char('\t')) + QStringLiteral("\r\n");
  }
  return out;
}

// A window of its own on the accessibility bus (a plain widget would be a
// "filler" there).
QAccessibleInterface* AccessibleWindow(const QString& key, QObject* object) {
  if (key == QLatin1String("kelvora::FitStatsWindow") && object && object->isWidgetType()) {
    return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Window);
  }
  return nullptr;
}

}  // namespace

FitStatsWindow::FitStatsWindow(const FitSession& session, int16_t model, Dialogs& dialogs,
                               PrintState* printing, QWidget* owner)
    : QWidget(owner, Qt::Window),
      Heading(new QLabel(this)),
      Note(new QLabel(this)),
      ParamTable(MakeTable(QStringLiteral("ParamTable"), this)),
      QualityTable(MakeTable(QStringLiteral("QualityTable"), this)),
      CorrTable(MakeTable(QStringLiteral("CorrTable"), this)),
      DerivedTable(MakeTable(QStringLiteral("DerivedTable"), this)),
      WarningList(new QListWidget(this)),
      ResidualChart(MakeChartView(QStringLiteral("ResidualChart"), QStringLiteral("残差"), this)),
      CurveChart(
          MakeChartView(QStringLiteral("CurveChart"), QStringLiteral("計算値と95%信頼帯"), this)),
      Command1(new QPushButton(QStringLiteral("コピー"), this)),
      Command2(new QPushButton(QStringLiteral("印刷"), this)),
      Command3(new QPushButton(QStringLiteral("閉じる"), this)),
      RefineLine(new QLabel(QStringLiteral("計算中です…"), this)),
      RefineTable(MakeTable(QStringLiteral("RefineTable"), this)),
      Command4(new QPushButton(QStringLiteral("精密化した値を保存"), this)),
      Check1(new QCheckBox(QStringLiteral("精密化した曲線を重ねる"), this)),
      dialogs_(dialogs),
      printing_(printing),
      stats_(ComputeFitStats(session)),
      sampleName_(session.sampleName),
      session_(session) {
  static const bool accessibleAsWindow = (QAccessible::installFactory(AccessibleWindow), true);
  (void)accessibleAsWindow;
  setObjectName(QStringLiteral("FitStatsWindow"));
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QStringLiteral("フィット統計"));
  setAccessibleName(windowTitle());
  for (int16_t m = 1; m <= 6; ++m) {
    if (stats_.models[m]) bands_[m] = ConfidenceBand(session, *stats_.models[m]);
  }
  BuildLayout();
  connect(Command1, &QPushButton::clicked, this, &FitStatsWindow::Command1_Click);
  connect(Command2, &QPushButton::clicked, this, &FitStatsWindow::Command2_Click);
  connect(Command3, &QPushButton::clicked, this, &QWidget::close);
  auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), this);
  f1->setContext(Qt::WindowShortcut);
  connect(f1, &QShortcut::activated, this, [this] { ShowHelp(this, kFitStatsHelpChapter); });
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  escape->setContext(Qt::WindowShortcut);
  connect(escape, &QShortcut::activated, this, &QWidget::close);
  connect(Command4, &QPushButton::clicked, this, &FitStatsWindow::Command4_Click);
  ShowModel(model);

  // The refinement runs on a thread of its own with a copy of the fit; its
  // result comes back through the event loop. The thread outlives a closed
  // window safely: it holds nothing of it.
  auto result = std::make_shared<FitRefinement>();
  auto curves = std::make_shared<std::array<std::vector<BandSeries>, 7>>();
  auto copy = std::make_shared<const FitSession>(session);
  QThread* worker = QThread::create([result, curves, copy] {
    *result = RefineFit(*copy);
    // The refined curves at the points of the fitted ones: the observations
    // keep their places on the chart's axis of adjusted days.
    for (int16_t m = 1; m <= 6; ++m) {
      if (result->models[m] && result->models[m]->improved && result->models[m]->stats)
        (*curves)[m] = ConfidenceBand(*copy, *result->models[m]->stats);
    }
  });
  StartBackgroundWork(worker);
  connect(worker, &QThread::finished, this, [this, result, curves] {
    refined_ = result;
    refinedBands_ = curves;
    ShowRefinement();
  });
  connect(Check1, &QCheckBox::toggled, this, &FitStatsWindow::RedrawCharts);
  connect(worker, &QThread::finished, worker, &QObject::deleteLater);
}

void FitStatsWindow::SetStoreRecord(StoreRecord store) {
  store_ = std::move(store);
  ShowRefinement();
}

QString RefinedSetName(const QString& fitName, int maxChars) {
  return (fitName + QStringLiteral("（精密化）")).left(std::max(0, maxChars));
}

std::optional<ParaRecord> FitStatsWindow::RefinedRecord() const {
  if (!refined_ || !IsValidModel(model_) || !refined_->models[model_]) return std::nullopt;
  const RefinedModel& r = *refined_->models[model_];
  ParaRecord rec = MakeParaRecord(session_, model_);
  const std::vector<float> values = RefinedRecordParams(session_, r);
  std::copy_n(values.begin(), std::min(values.size(), rec.Param.size()), rec.Param.begin());
  rec.Aic = r.aic;
  rec.Rss = r.rss;
  // What the name box of the incubation screen holds.
  const int maxChars = QLineEdit().maxLength();
  rec.SoilName = RefinedSetName(Q(session_.sampleName), maxChars).toStdString();
  return rec;
}

void FitStatsWindow::Command4_Click() {
  const std::optional<ParaRecord> rec = RefinedRecord();
  if (!rec || !store_) return;
  if (store_(*rec)) {
    Command4->setEnabled(false);
    RefineLine->setText(RefineLine->text() +
                        QStringLiteral("\n「%1」として保存しました。").arg(Q(rec->SoilName)));
  }
}

void FitStatsWindow::RedrawCharts() {
  DrawCharts(IsValidModel(model_) && stats_.models[model_] ? &*stats_.models[model_] : nullptr);
}

void FitStatsWindow::ShowRefinement() {
  RefineTable->clear();
  Command4->setEnabled(false);
  {
    const bool overlay = refinedBands_ && IsValidModel(model_) &&
                         !(*refinedBands_)[model_].empty() && stats_.models[model_];
    Check1->setEnabled(overlay);
    if (!overlay && Check1->isChecked()) Check1->setChecked(false);  // redraws
  }
  if (!refined_) {
    RefineLine->setText(QStringLiteral("計算中です…"));
    RefineTable->setRowCount(0);
    return;
  }
  const RefinedModel* r =
      IsValidModel(model_) && refined_->models[model_] ? &*refined_->models[model_] : nullptr;
  if (!r) {
    RefineLine->setText(QStringLiteral("このモデルは確認できません"));
    RefineTable->setRowCount(0);
    return;
  }
  QString line;
  if (r->improved) {
    const double change = (static_cast<double>(r->rss) / r->fitRss - 1) * 100;
    line = QStringLiteral("探索は最小値の手前で止まっています：残差平方和 %1 → %2（%3%）")
               .arg(QString::number(r->fitRss, 'f', 4), QString::number(r->rss, 'f', 4),
                    QString::number(change, 'f', 1));
  } else {
    line = QStringLiteral("探索結果は最小二乗解と一致しています");
  }
  if (refined_->bestModelChanges()) {
    line +=
        QStringLiteral("\n精密化した値では、AIC が最小のモデルは%1から%2に変わります。")
            .arg(Q(ModelName(refined_->fitBestModel)), Q(ModelName(refined_->refinedBestModel)));
  }
  RefineLine->setText(line);
  const std::vector<std::string> names =
      model_ == 6 ? std::vector<std::string>{"σ"} : ParamNames(model_);
  RefineTable->setColumnCount(3);
  RefineTable->setHorizontalHeaderLabels(
      {QStringLiteral("パラメータ"), QStringLiteral("算出値"), QStringLiteral("精密化した値")});
  const std::vector<float>& fitted = session_.params[model_];
  const int rows = static_cast<int>(r->params.size());
  RefineTable->setRowCount(rows + 2);
  for (int j = 0; j < rows; ++j) {
    RefineTable->setItem(j, 0, Cell(j < static_cast<int>(names.size()) ? Q(names[j]) : QString()));
    RefineTable->setItem(j, 1,
                         Cell(j < static_cast<int>(fitted.size()) ? Num(fitted[j]) : QString()));
    RefineTable->setItem(j, 2, Cell(Num(r->params[j])));
  }
  RefineTable->setItem(rows, 0, Cell(QStringLiteral("残差平方和")));
  RefineTable->setItem(rows, 1, Cell(Num(r->fitRss)));
  RefineTable->setItem(rows, 2, Cell(Num(r->rss)));
  RefineTable->setItem(rows + 1, 0, Cell(QStringLiteral("AIC")));
  RefineTable->setItem(rows + 1, 1, Cell(Num(r->fitAic)));
  RefineTable->setItem(rows + 1, 2, Cell(Num(r->aic)));
  // Every row shown, the residual sum and AIC of a seven-parameter model too.
  FitTable(RefineTable);
  Command4->setEnabled(r->improved && static_cast<bool>(store_));
  FitToContents();
}

void FitStatsWindow::BuildLayout() {
  QFont bold = Heading->font();
  bold.setBold(true);
  bold.setPointSizeF(bold.pointSizeF() * 1.15);
  Heading->setFont(bold);
  Heading->setObjectName(QStringLiteral("Heading"));
  Note->setObjectName(QStringLiteral("Note"));
  Note->setWordWrap(true);
  ParamTable->setAccessibleName(QStringLiteral("パラメータの推定値"));
  QualityTable->setAccessibleName(QStringLiteral("当てはまりの指標"));
  CorrTable->setAccessibleName(QStringLiteral("相関行列"));
  DerivedTable->setAccessibleName(QStringLiteral("半減期とQ10"));
  WarningList->setObjectName(QStringLiteral("WarningList"));
  WarningList->setAccessibleName(QStringLiteral("警告"));
  // Long warnings wrap within the list instead of running off its side.
  WarningList->setWordWrap(true);
  WarningList->setResizeMode(QListView::Adjust);
  WarningList->setUniformItemSizes(false);
  WarningList->setTextElideMode(Qt::ElideNone);
  WarningList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  WarningList->setMinimumSize(220, 3 * (fontMetrics().height() + 6));
  QualityTable->horizontalHeader()->hide();
  QualityTable->verticalHeader()->hide();
  DerivedTable->verticalHeader()->hide();
  ParamTable->verticalHeader()->hide();
  Command1->setObjectName(QStringLiteral("Command1"));
  Command2->setObjectName(QStringLiteral("Command2"));
  Command3->setObjectName(QStringLiteral("Command3"));
  Command4->setObjectName(QStringLiteral("Command4"));
  RefineLine->setObjectName(QStringLiteral("RefineLine"));
  RefineLine->setWordWrap(true);
  RefineTable->setAccessibleName(QStringLiteral("最小二乗法による確認"));
  RefineTable->verticalHeader()->hide();
  Command4->setEnabled(false);
  Check1->setObjectName(QStringLiteral("Check1"));
  Check1->setAccessibleName(Check1->text());
  Check1->setEnabled(false);
  for (QPushButton* b : {Command1, Command2, Command3, Command4}) {
    b->setAccessibleName(b->text());
    b->setAutoDefault(false);
    b->setMinimumWidth(b->sizeHint().width() + 30);
  }
  Command1->setToolTip(QStringLiteral("表をタブ区切りの文字としてクリップボードにコピーします"));

  // Everything but the buttons scrolls when the window is made smaller than
  // its contents, so nothing is ever cut off or drawn over.
  auto* content = new QWidget;
  content->setObjectName(QStringLiteral("Content"));
  auto* grid = new QGridLayout(content);
  grid->setContentsMargins(10, 8, 10, 8);
  grid->setHorizontalSpacing(12);
  grid->setVerticalSpacing(4);
  grid->addWidget(Heading, 0, 0, 1, 2);
  grid->addWidget(Note, 1, 0, 1, 2);

  auto* paramBox = new QVBoxLayout;
  paramBox->addWidget(Caption(QStringLiteral("パラメータ"), content));
  paramBox->addWidget(ParamTable);
  paramBox->addStretch();
  auto* corrBox = new QVBoxLayout;
  corrBox->addWidget(Caption(QStringLiteral("相関行列"), content));
  corrBox->addWidget(CorrTable);
  corrBox->addStretch();
  grid->addLayout(paramBox, 2, 0);
  grid->addLayout(corrBox, 2, 1);

  auto* qualityBox = new QVBoxLayout;
  qualityBox->addWidget(Caption(QStringLiteral("当てはまり"), content));
  qualityBox->addWidget(QualityTable);
  qualityBox->addStretch();
  auto* right = new QHBoxLayout;
  auto* derivedBox = new QVBoxLayout;
  derivedBox->addWidget(Caption(QStringLiteral("半減期とQ10（標準温度）"), content));
  derivedBox->addWidget(DerivedTable);
  derivedBox->addStretch();
  auto* warnBox = new QVBoxLayout;
  warnBox->addWidget(Caption(QStringLiteral("警告"), content));
  warnBox->addWidget(WarningList, 1);
  right->addLayout(derivedBox);
  right->addLayout(warnBox, 1);
  grid->addLayout(qualityBox, 3, 0);
  grid->addLayout(right, 3, 1);

  grid->addWidget(ResidualChart, 4, 0);
  grid->addWidget(CurveChart, 4, 1);

  auto* refineBox = new QVBoxLayout;
  refineBox->addWidget(Caption(QStringLiteral("最小二乗法による確認"), content));
  refineBox->addWidget(RefineLine);
  auto* refineRow = new QHBoxLayout;
  refineRow->addWidget(RefineTable);
  auto* refineButtons = new QVBoxLayout;
  refineButtons->addStretch();
  refineButtons->addWidget(Check1);
  refineButtons->addWidget(Command4, 0, Qt::AlignLeft);
  refineRow->addLayout(refineButtons);
  refineRow->addStretch();
  refineBox->addLayout(refineRow);
  grid->addLayout(refineBox, 5, 0, 1, 2);
  grid->setRowStretch(4, 1);
  grid->setColumnStretch(0, 1);
  grid->setColumnStretch(1, 1);

  auto* scroll = new QScrollArea(this);
  scroll->setObjectName(QStringLiteral("Scroll"));
  scroll->setWidgetResizable(true);
  scroll->setFrameShape(QFrame::NoFrame);
  scroll->setWidget(content);

  auto* buttons = new QHBoxLayout;
  buttons->setContentsMargins(10, 0, 10, 0);
  buttons->addStretch();
  // "画像を保存": the residual and curve charts side by side as one picture.
  SavePictureButton = new QPushButton(QStringLiteral("画像を保存"), this);
  SavePictureButton->setObjectName(QStringLiteral("SavePictureButton"));
  SavePictureButton->setAccessibleName(SavePictureButton->text());
  SavePictureButton->setAutoDefault(false);
  SavePictureButton->setMinimumWidth(SavePictureButton->sizeHint().width() + 30);
  connect(SavePictureButton, &QPushButton::clicked, this, &FitStatsWindow::SavePicture_Click);
  buttons->addWidget(SavePictureButton);
  buttons->addWidget(Command1);
  buttons->addWidget(Command2);
  buttons->addWidget(Command3);
  auto* root = new QVBoxLayout(this);
  root->setContentsMargins(0, 0, 0, 10);
  root->addWidget(scroll, 1);
  root->addLayout(buttons);
}

// The tables were sized before the window had its style and fonts: size
// them again now, so that no row is hidden below a table's edge.
void FitStatsWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  for (QTableWidget* t : {ParamTable, QualityTable, CorrTable, DerivedTable}) FitTable(t);
  if (RefineTable->rowCount() > 0) FitTable(RefineTable);
  FitToContents();
}

void FitStatsWindow::ShowModel(int16_t model) {
  model_ = model;
  const ModelStats* st =
      IsValidModel(model) && stats_.models[model] ? &*stats_.models[model] : nullptr;
  QString heading = IsValidModel(model) ? Q(ModelName(model)) : QString();
  if (!sampleName_.empty()) heading += QStringLiteral("　（%1）").arg(Q(sampleName_));
  Heading->setText(heading);
  QString note;
  if (!st) {
    note = QStringLiteral("このモデルの統計は計算できません");
    if (IsValidModel(model) && !stats_.unavailable[model].empty())
      note += QStringLiteral("：") + Q(stats_.unavailable[model]);
  } else if (st->conditional) {
    note = QStringLiteral(
        "条件付き：σ だけを動かし、Ea1、k、No、TAU、Ea2 "
        "はシグモイド肥料型の値に固定したときの値です。");
  }
  note += (note.isEmpty() ? QString() : QStringLiteral("　")) +
          QStringLiteral("保存されたパラメータでの値です（標準温度 %1℃）。")
              .arg(Num(static_cast<double>(stats_.standardTemp)));
  Note->setText(note);
  FillTables(st);
  DrawCharts(st);
  ShowRefinement();
  FitToContents();
}

void FitStatsWindow::FitToContents() {
  // The window grows (never shrinks) to show the contents of the model
  // without scrolling, as far as the screen allows; beyond that they scroll.
  auto* content = findChild<QWidget*>(QStringLiteral("Content"));
  if (!content) return;
  content->adjustSize();
  QSize want = content->minimumSizeHint();
  // Beside the contents: the button row below them and the margins.
  // (and room for a vertical scroll bar, so that a screen too low for the
  // contents does not also cut them off at the side).
  want.rwidth() += 4 + style()->pixelMetric(QStyle::PM_ScrollBarExtent);
  want.rheight() += Command1->sizeHint().height() + layout()->spacing() + 14;
  QSize next = size().expandedTo(want.expandedTo(QSize(1000, 640)));
  if (const QScreen* sc = screen())
    next = next.boundedTo(sc->availableGeometry().size() - QSize(20, 50));
  if (next != size()) resize(next);
}

void FitStatsWindow::FillTables(const ModelStats* st) {
  const size_t P = st ? st->values.size() : 0;

  // Parameters.
  ParamTable->clear();
  ParamTable->setColumnCount(5);
  ParamTable->setHorizontalHeaderLabels({QStringLiteral("パラメータ"), QStringLiteral("値"),
                                         QStringLiteral("標準誤差"), QStringLiteral("95%信頼区間"),
                                         QStringLiteral("t値")});
  ParamTable->setRowCount(static_cast<int>(P));
  for (size_t j = 0; j < P; ++j) {
    const LsqStats& l = st->lsq;
    const int r = static_cast<int>(j);
    QString name = Q(st->names[j]);
    if (j < st->units.size() && !st->units[j].empty())
      name += QStringLiteral(" (%1)").arg(Q(st->units[j]));
    ParamTable->setItem(r, 0, Cell(name, Qt::AlignLeft | Qt::AlignVCenter));
    ParamTable->setItem(r, 1, Cell(Num(st->values[j])));
    const bool estimated = l.state[j] == Estimability::Estimated && l.se[j];
    ParamTable->setItem(r, 2, Cell(estimated ? Num(*l.se[j], 4) : kNotEstimable));
    ParamTable->setItem(
        r, 3,
        Cell(estimated && l.lo[j] && l.hi[j] ? IntervalText(*l.lo[j], *l.hi[j]) : kNotEstimable));
    ParamTable->setItem(r, 4, Cell(estimated && l.t[j] ? Num(*l.t[j], 4) : kNotEstimable));
    if (!estimated) {
      for (int c = 2; c <= 4; ++c) ParamTable->item(r, c)->setForeground(QColor(170, 0, 0));
    }
  }
  FitTable(ParamTable);

  // Fit quality, two pairs of columns.
  QualityTable->clear();
  QualityTable->setColumnCount(4);
  QualityTable->setRowCount(5);
  std::vector<std::pair<QString, QString>> items;
  if (st) {
    const LsqStats& l = st->lsq;
    // Without degrees of freedom nothing is estimated from the data.
    const QString noDof = l.dof <= 0 ? kNotEstimable : kUndefined;
    items = {
        {QStringLiteral("n"), QString::number(l.n)},
        {QStringLiteral("自由度"), QString::number(l.dof)},
        {QStringLiteral("残差平方和"),
         QStringLiteral("%1（フィット %2）").arg(Num(l.rss, 7), Num(st->fitRss, 7))},
        {QStringLiteral("R²"), l.r2 ? Fixed(*l.r2, 5) : noDof},
        {QStringLiteral("自由度調整済みR²"), l.adjR2 ? Fixed(*l.adjR2, 5) : noDof},
        {QStringLiteral("AIC"), Fixed(st->aic, 2)},
        {QStringLiteral("AICc"), st->aicc ? Fixed(*st->aicc, 2) : kUndefined},
        {QStringLiteral("BIC"), Fixed(st->bic, 2)},
        {QStringLiteral("ΔAIC"), Fixed(st->deltaAic, 2)},
        {QStringLiteral("Akaikeの重み"), Num(st->akaikeWeight, 3)},
    };
  } else {
    for (const char* name : {"n", "自由度", "残差平方和", "R²", "自由度調整済みR²", "AIC", "AICc",
                             "BIC", "ΔAIC", "Akaikeの重み"}) {
      items.push_back({QString::fromUtf8(name), kUndefined});
    }
  }
  for (size_t i = 0; i < items.size(); ++i) {
    const int r = static_cast<int>(i % 5), c = static_cast<int>(i / 5) * 2;
    QualityTable->setItem(r, c, Cell(items[i].first, Qt::AlignLeft | Qt::AlignVCenter));
    QualityTable->setItem(r, c + 1, Cell(items[i].second));
  }
  FitTable(QualityTable);

  // Correlations: strong ones coloured.
  CorrTable->clear();
  CorrTable->setColumnCount(static_cast<int>(P));
  CorrTable->setRowCount(static_cast<int>(P));
  QStringList names;
  for (size_t j = 0; j < P; ++j) names << Q(st->names[j]);
  CorrTable->setHorizontalHeaderLabels(names);
  CorrTable->setVerticalHeaderLabels(names);
  for (size_t a = 0; a < P; ++a) {
    for (size_t b = 0; b < P; ++b) {
      const std::optional<double>& r = st->lsq.corr[a][b];
      auto* item = Cell(r ? Fixed(*r, 3) : kUndefined, Qt::AlignCenter);
      if (r && a != b) {
        if (std::fabs(*r) > 0.95) {
          item->setBackground(QColor(255, 170, 170));
        } else if (std::fabs(*r) > 0.8) {
          item->setBackground(QColor(255, 225, 160));
        }
      } else if (a == b) {
        item->setBackground(QColor(235, 235, 235));
      }
      CorrTable->setItem(static_cast<int>(a), static_cast<int>(b), item);
    }
  }
  FitTable(CorrTable);
  CorrTable->horizontalHeader()->setStretchLastSection(false);

  // Half-lives and Q10.
  DerivedTable->clear();
  DerivedTable->setColumnCount(3);
  DerivedTable->setHorizontalHeaderLabels(
      {QStringLiteral("項目"), QStringLiteral("値"), QStringLiteral("標準誤差")});
  int rows = 0;
  DerivedTable->setRowCount(0);
  auto addRow = [&](const QString& name, const std::optional<DerivedValue>& v) {
    DerivedTable->insertRow(rows);
    DerivedTable->setItem(rows, 0, Cell(name, Qt::AlignLeft | Qt::AlignVCenter));
    DerivedTable->setItem(rows, 1, Cell(v ? Num(v->value) : kNotEstimable));
    DerivedTable->setItem(rows, 2, Cell(v && v->se ? Num(*v->se, 4) : kNotEstimable));
    ++rows;
  };
  // Without degrees of freedom the rows stay, marked as not estimable.
  const bool noDof = st && st->lsq.dof <= 0;
  for (size_t j = 0; j < P; ++j) {
    const QString name = QStringLiteral("半減期 ln2/%1 (日)").arg(Q(st->names[j]));
    if (st->halfLife[j]) {
      addRow(name, *st->halfLife[j]);
    } else if (noDof && IsRateConstantSlot(st->model, j)) {
      addRow(name, std::nullopt);
    }
  }
  for (size_t j = 0; j < P; ++j) {
    const QString name = QStringLiteral("Q10 (%1)").arg(Q(st->names[j]));
    if (st->q10[j]) {
      addRow(name, *st->q10[j]);
    } else if (noDof && IsActivationEnergySlot(st->model, j)) {
      addRow(name, std::nullopt);
    }
  }
  if (rows == 0) {
    DerivedTable->setRowCount(1);
    DerivedTable->setItem(0, 0, Cell(QStringLiteral("なし"), Qt::AlignLeft | Qt::AlignVCenter));
    DerivedTable->setItem(0, 1, Cell(QString()));
    DerivedTable->setItem(0, 2, Cell(QString()));
  }
  FitTable(DerivedTable);
  // The warnings take the height of their row, not more.
  WarningList->setMaximumHeight(
      std::max(QualityTable->maximumHeight(), DerivedTable->maximumHeight()));

  // Warnings.
  WarningList->clear();
  if (st) {
    for (const std::string& w : st->warnings) WarningList->addItem(Q(w));
  }
  if (WarningList->count() == 0) {
    WarningList->addItem(st ? QStringLiteral("警告はありません") : Note->text());
  } else {
    for (int i = 0; i < WarningList->count(); ++i)
      WarningList->item(i)->setForeground(QColor(170, 0, 0));
  }
}

void FitStatsWindow::DrawCharts(const ModelStats* st) {
  QChart* rc = ResidualChart->chart();
  QChart* cc = CurveChart->chart();
  ClearChart(rc);
  ClearChart(cc);
  if (!st) return;

  // Residuals against the adjusted days, per temperature, with a zero line.
  AxisSpan xs;
  double maxAbs = 0;
  std::vector<QAbstractSeries*> residualSeries;
  for (int g = 1; g <= stats_.groups; ++g) {
    QScatterSeries* s = MakeMarkerSeries(Q(stats_.groupNames[g]),
                                         {QScatterSeries::MarkerShapeCircle, 8, GroupColor(g)});
    for (const StatsPoint& p : st->points) {
      if (p.group != g) continue;
      s->append(p.adjDays, p.residual);
      xs.Include(p.adjDays);
      maxAbs = std::max(maxAbs, std::fabs(p.residual));
    }
    if (s->count() == 0) {
      delete s;
      continue;
    }
    residualSeries.push_back(s);
  }
  auto* zero = new QLineSeries;
  zero->setName(QStringLiteral("0"));
  zero->setPen(QPen(QColor(90, 90, 90), 1.2, Qt::DashLine));
  zero->append(xs.min, 0);
  zero->append(xs.max > xs.min ? xs.max : xs.min + 1, 0);
  rc->addSeries(zero);
  for (QAbstractSeries* s : residualSeries) rc->addSeries(s);
  QValueAxis* rx = MakeValueAxis(QStringLiteral("変換日数"), xs);
  auto* ry = new QValueAxis;
  ry->setTitleText(QStringLiteral("残差"));
  ry->setLabelFormat(QStringLiteral("%g"));
  const double span = maxAbs > 0 ? maxAbs * 1.15 : 1;
  ry->setRange(-span, span);
  ry->applyNiceNumbers();
  rc->addAxis(rx, Qt::AlignBottom);
  rc->addAxis(ry, Qt::AlignLeft);
  zero->attachAxis(rx);
  zero->attachAxis(ry);
  for (QAbstractSeries* s : residualSeries) {
    s->attachAxis(rx);
    s->attachAxis(ry);
  }
  HideLegend(rc, zero);
  rc->legend()->setMarkerShape(QLegend::MarkerShapeFromSeries);
  rc->legend()->setVisible(stats_.groups > 1);

  // The fitted curve with its band, over the observations.
  AxisSpan cx, cy, dataY;
  std::vector<QAbstractSeries*> curveSeries;
  bool bandNamed = false, fitNamed = false;
  for (const BandSeries& b : bands_[st->model]) {
    const QColor color = GroupColor(b.group);
    if (!b.lo.empty()) {
      auto* upper = new QLineSeries;
      auto* lower = new QLineSeries;
      for (size_t i = 0; i < b.x.size(); ++i) {
        upper->append(b.x[i], b.hi[i]);
        lower->append(b.x[i], b.lo[i]);
        cy.Include(b.hi[i]);
        cy.Include(b.lo[i]);
      }
      auto* area = new QAreaSeries(upper, lower);
      QColor fill = color;
      fill.setAlpha(55);
      area->setBrush(fill);
      area->setPen(QPen(color.lighter(130), 0.8));
      area->setName(QStringLiteral("95%信頼帯"));
      cc->addSeries(area);
      curveSeries.push_back(area);
      if (bandNamed) HideLegend(cc, area);
      bandNamed = true;
    }
    auto* line = new QLineSeries;
    line->setName(QStringLiteral("計算値"));
    line->setPen(QPen(color, 1.8));
    for (size_t i = 0; i < b.x.size(); ++i) {
      line->append(b.x[i], b.fit[i]);
      cx.Include(b.x[i]);
      cy.Include(b.fit[i]);
      dataY.Include(b.fit[i]);
    }
    cc->addSeries(line);
    curveSeries.push_back(line);
    if (fitNamed) HideLegend(cc, line);
    fitNamed = true;
  }
  // The refined curve, dashed, over the fitted one at the same adjusted days.
  if (Check1->isChecked() && refinedBands_) {
    const std::vector<BandSeries>& fitted = bands_[st->model];
    const std::vector<BandSeries>& refined = (*refinedBands_)[st->model];
    bool named = false;
    for (size_t k = 0; k < refined.size() && k < fitted.size(); ++k) {
      const BandSeries& f = fitted[k];
      const BandSeries& r = refined[k];
      if (f.group != r.group || f.x.size() != r.fit.size()) continue;
      auto* line = new QLineSeries;
      line->setName(QStringLiteral("精密化した値"));
      line->setPen(QPen(GroupColor(r.group).darker(140), 1.6, Qt::DashLine));
      for (size_t i = 0; i < f.x.size(); ++i) {
        line->append(f.x[i], r.fit[i]);
        cy.Include(r.fit[i]);
        dataY.Include(r.fit[i]);
      }
      cc->addSeries(line);
      curveSeries.push_back(line);
      if (named) HideLegend(cc, line);
      named = true;
    }
  }
  // A legend entry shows what is drawn: the entry of a line is drawn with
  // its pen, the band's as a square of its fill. For one temperature the
  // curve's, the band's and the refined curve's entries are their own; for
  // several, drawn each in the colour of its temperature (the observations'
  // entries name the colours), entries of their own show the kind of line
  // alone, in grey.
  cc->legend()->setMarkerShape(QLegend::MarkerShapeFromSeries);
  const bool severalGroups = bands_[st->model].size() > 1;
  const QColor grey(90, 90, 90);
  bool refinedDrawn = false;
  for (QAbstractSeries* s : curveSeries) {
    if (qobject_cast<QLineSeries*>(s)) {
      refinedDrawn = refinedDrawn || s->name() == QStringLiteral("精密化した値");
      if (severalGroups) HideLegend(cc, s);
    } else if (auto* area = qobject_cast<QAreaSeries*>(s)) {
      QColor fill = grey;
      fill.setAlpha(70);
      for (QLegendMarker* m : cc->legend()->markers(area)) {
        m->setShape(QLegend::MarkerShapeRectangle);
        m->setBrush(severalGroups ? QBrush(fill) : area->brush());
        m->setPen(severalGroups ? QPen(grey.lighter(150), 0.8) : area->pen());
      }
    }
  }
  if (severalGroups) {
    auto entry = [&](const QString& name, const QPen& pen) {
      auto* line = new QLineSeries;  // no points: its legend entry alone
      line->setName(name);
      line->setPen(pen);
      cc->addSeries(line);
      curveSeries.push_back(line);
    };
    entry(QStringLiteral("計算値"), QPen(grey, 1.8));
    if (refinedDrawn) entry(QStringLiteral("精密化した値"), QPen(grey, 1.6, Qt::DashLine));
  }
  for (int g = 1; g <= stats_.groups; ++g) {
    QScatterSeries* s =
        MakeMarkerSeries(Q(stats_.groupNames[g]),
                         {QScatterSeries::MarkerShapeRectangle, 9, GroupColor(g), true, 1.6});
    for (const StatsPoint& p : st->points) {
      if (p.group != g) continue;
      s->append(p.adjDays, p.observed);
      cx.Include(p.adjDays);
      cy.Include(p.observed);
      dataY.Include(p.observed);
    }
    if (s->count() == 0) {
      delete s;
      continue;
    }
    cc->addSeries(s);
    curveSeries.push_back(s);
    // The hollow markers' legend entry in the colour of their temperature.
    for (QLegendMarker* m : cc->legend()->markers(s)) m->setBrush(GroupColor(g));
  }
  QValueAxis* x = MakeValueAxis(QStringLiteral("変換日数"), cx);
  // The axis shows the data and the curve; a band much wider than they are
  // (a parameter the data hardly determine) runs off the plot instead of
  // flattening them, and one that dips just below zero does not stretch the
  // axis a whole step down.
  {
    const double range = std::max(dataY.max - dataY.min, 1e-9);
    cy.min = std::max(cy.min, dataY.min - 0.5 * range);
    cy.max = std::min(cy.max, dataY.max + 0.5 * range);
    if (cy.min < 0 && -cy.min < 0.03 * cy.max) cy.min = 0;
  }
  // The unit goes into the title: a low chart has no room for it beside the axis.
  QValueAxis* y = MakeValueAxis(QString(), cy);
  cc->addAxis(x, Qt::AlignBottom);
  cc->addAxis(y, Qt::AlignLeft);
  for (QAbstractSeries* s : curveSeries) {
    s->attachAxis(x);
    s->attachAxis(y);
  }
  const QString unit = Q(AmountUnitHeader(st->model));
  // The axis title without the unit, which the chart's title carries: a low
  // chart has room for no more.
  y->setTitleText(st->model >= 4 ? QStringLiteral("窒素無機化率") : QStringLiteral("窒素無機化量"));
  cc->setTitle(st->lsq.determined
                   ? QStringLiteral("計算値と95%信頼帯 ") + unit
                   : QStringLiteral("計算値 %1（推定不能のため信頼帯なし）").arg(unit));
  cc->legend()->setVisible(true);
}

QString FitStatsWindow::TablesText() const {
  QString out = windowTitle() + QStringLiteral("\r\n") + Heading->text() + QStringLiteral("\r\n") +
                Note->text() + QStringLiteral("\r\n\r\n");
  out += TableText(ParamTable, QStringLiteral("パラメータ")) + QStringLiteral("\r\n");
  out += TableText(QualityTable, QStringLiteral("当てはまり")) + QStringLiteral("\r\n");
  out += TableText(CorrTable, QStringLiteral("相関行列")) + QStringLiteral("\r\n");
  out +=
      TableText(DerivedTable, QStringLiteral("半減期とQ10（標準温度）")) + QStringLiteral("\r\n");
  out += QStringLiteral("警告\r\n");
  for (int i = 0; i < WarningList->count(); ++i)
    out += WarningList->item(i)->text() + QStringLiteral("\r\n");
  // The least-squares check, as far as it has come.
  out += QStringLiteral("\r\n最小二乗法による確認\r\n");
  out += RefineLine->text().replace(QLatin1Char('\n'), QStringLiteral("\r\n")) +
         QStringLiteral("\r\n");
  if (RefineTable->rowCount() > 0) out += TableText(RefineTable, QString()).mid(2);
  return out;
}

void FitStatsWindow::Command1_Click() { QGuiApplication::clipboard()->setText(TablesText()); }

void FitStatsWindow::Command2_Click() {
  if (!printing_) return;
  // The whole contents, also what is scrolled out of sight, without the buttons.
  QWidget* content = findChild<QWidget*>(QStringLiteral("Content"));
  PrintScreenImage(
      *printing_, dialogs_, content ? content : this, windowTitle(), [] {}, [] {});
}

void FitStatsWindow::SavePicture_Click() {
  // Above the charts: the model and the soil or fertilizer.
  SaveChartPicture(this, dialogs_, {ResidualChart, CurveChart},
                   windowTitle() + QStringLiteral(" ") + Heading->text(), {Heading->text()});
}

FitStatsWindow* ShowFitStats(const FitSession& session, int16_t model, Dialogs& dialogs,
                             PrintState* printing, QWidget* owner) {
  FitStatsWindow* w =
      owner ? owner->findChild<FitStatsWindow*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
  if (w) {
    w->ShowModel(model);
  } else {
    w = new FitStatsWindow(session, model, dialogs, printing, owner);
    if (const QScreen* screen = (owner ? owner->screen() : QGuiApplication::primaryScreen())) {
      const QRect avail = screen->availableGeometry();
      w->move(avail.x() + std::max(0, (avail.width() - w->width()) / 2),
              avail.y() + std::max(0, (avail.height() - w->height()) / 2 - 10));
    }
  }
  w->show();
  w->raise();
  w->activateWindow();
  return w;
}

}  // namespace kelvora

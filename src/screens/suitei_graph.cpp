#include "screens/suitei_graph.h"

#include <QApplication>
#include <QClipboard>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QMenu>
#include <QMenuBar>
#include <QVBoxLayout>
#include <QtCharts/QCategoryAxis>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>
#include <algorithm>

#include "kinetics/model_kind.h"
#include "print/prionly_select.h"
#include "screens/chart_picture.h"
#include "screens/dialogs.h"
#include "screens/qtext.h"
#include "store/date_text.h"
#include "store/hensuu.h"
#include "store/number_text.h"

namespace kelvora {

namespace {

const QString kAmountTitle = QStringLiteral("窒素無機化量推定値　(mg/100g)");
const QString kRateTitle = QStringLiteral("窒素無機化率推定値　(%)");

QString AxisTitle(int16_t model) {
  return IsValidModel(model) && model >= 4 ? kRateTitle : kAmountTitle;
}

}  // namespace

std::vector<int> DateLabelRows(int rows, int maxLabels) {
  std::vector<int> out;
  if (rows <= 0 || maxLabels <= 0) return out;
  const int step = std::max(1, (rows + maxLabels - 1) / maxLabels);
  for (int r = 0; r < rows; r += step) out.push_back(r);
  return out;
}

std::vector<int> MonthStartRows(const std::vector<std::string>& dates, int maxLabels) {
  std::vector<std::pair<int, int>> starts;  // row, months since year 0
  for (size_t r = 0; r < dates.size(); ++r) {
    const std::optional<CivilDate> d = ParseDateText(dates[r]);
    if (d && d->day == 1) starts.push_back({static_cast<int>(r), d->year * 12 + d->month - 1});
  }
  if (starts.size() < 2 || maxLabels < 2) {
    return DateLabelRows(static_cast<int>(dates.size()), maxLabels);
  }
  for (int every : {1, 2, 3, 4, 6, 12, 24, 60, 120, 240, 600, 1200}) {
    std::vector<int> rows;
    for (const auto& [row, month] : starts) {
      if (month % every == 0) rows.push_back(row);
    }
    if (static_cast<int>(rows.size()) <= maxLabels && !rows.empty()) return rows;
  }
  return DateLabelRows(static_cast<int>(dates.size()), maxLabels);
}

Suitei_Graph::Suitei_Graph(const ScreenContext& context, const std::vector<GraphRow>& graph,
                           const SuiteiRecord& rec, QWidget* parent)
    : ChildScreen(context, Screen::Suitei_Graph, parent),
      MenuBar(new QMenuBar(this)),
      Label1{new QLabel(QStringLiteral("土壌(肥料)名："), this),
             new QLabel(QStringLiteral("モデル式："), this),
             new QLabel(QStringLiteral("地温データ名："), this),
             new QLabel(this),
             new QLabel(this),
             new QLabel(this)},
      Label2(new VerticalTitle(AxisTitle(rec.ModelNo), this)),
      MSChart1(new QChartView(new QChart, this)),
      Command1(new QPushButton(QStringLiteral("印刷"), this)),
      Command2(new QPushButton(QStringLiteral("終了"), this)),
      Command3(new QPushButton(QStringLiteral("画像を保存"), this)),
      Edit(new QMenu(QStringLiteral("編集"), this)),
      Edit_Copy(Edit->addAction(QStringLiteral("コピー"))) {
  setObjectName(QStringLiteral("Suitei_Graph"));
  setWindowTitle(ScreenCaption(Screen::Suitei_Graph));
  Edit->setObjectName(QStringLiteral("Edit"));
  Edit_Copy->setObjectName(QStringLiteral("Edit_Copy"));
  Edit_Copy->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
  Edit_Copy->setShortcutContext(Qt::WidgetWithChildrenShortcut);
  addAction(Edit_Copy);
  MenuBar->addMenu(Edit);
  BuildLayout();

  connect(Command1, &QPushButton::clicked, this, &Suitei_Graph::Command1_Click);
  connect(Command2, &QPushButton::clicked, this, &Suitei_Graph::Command2_Click);
  connect(Command3, &QPushButton::clicked, this, &Suitei_Graph::Command3_Click);
  connect(Edit_Copy, &QAction::triggered, this, &Suitei_Graph::Edit_Copy_Click);
  MSChart1->installEventFilter(this);
  MSChart1->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(MSChart1, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& pos) { GetDialogs().Popup(*Edit, MSChart1->mapToGlobal(pos)); });

  // Loading: the captions, then the chart; neither follows later paging.
  Label1[4]->setText(IsValidModel(rec.ModelNo) ? Q(ModelName(rec.ModelNo)) : QString());
  Label1[3]->setText(Q(rec.SoilName));
  Label1[5]->setText(Q(rec.SiteName));
  DrawChart(graph);
}

Suitei_Graph* Suitei_Graph::FromEstimationScreen(const ScreenContext& context) {
  auto* form = context.navigation.Find<Suitei_Form>(Screen::Suitei_Form);
  if (!form || context.store.SuiteiCount() == 0) return nullptr;
  // Curve, captions and unit all of the estimation the screen prepared.
  return new Suitei_Graph(context, form->GraphTable, form->GraphRecord);
}

void Suitei_Graph::BuildLayout() {
  QFont bold = Label1[3]->font();
  bold.setBold(true);
  auto* captions = new QGridLayout;
  captions->setHorizontalSpacing(6);
  captions->setVerticalSpacing(2);
  for (int i = 0; i < 3; ++i) {
    Label1[i]->setObjectName(QStringLiteral("Label1_%1").arg(i));
    Label1[i + 3]->setObjectName(QStringLiteral("Label1_%1").arg(i + 3));
    Label1[i + 3]->setFont(bold);
    Label1[i + 3]->setAccessibleName(Label1[i]->text());
    captions->addWidget(Label1[i], i, 0, Qt::AlignRight);
    captions->addWidget(Label1[i + 3], i, 1);
  }
  captions->setColumnStretch(1, 1);
  Label2->setObjectName(QStringLiteral("Label2"));
  Label2->setAccessibleName(Label2->Text());
  MSChart1->setObjectName(QStringLiteral("MSChart1"));
  MSChart1->setAccessibleName(windowTitle());
  MSChart1->setRenderHint(QPainter::Antialiasing);
  MSChart1->setMinimumSize(560, 360);
  for (QPushButton* b : {Command3, Command1, Command2}) {
    b->setAccessibleName(b->text());
    b->setAutoDefault(false);
    b->setMinimumWidth(b->sizeHint().width() + 30);
  }
  Command1->setObjectName(QStringLiteral("Command1"));
  Command2->setObjectName(QStringLiteral("Command2"));
  Command3->setObjectName(QStringLiteral("Command3"));

  auto* chartRow = new QHBoxLayout;
  chartRow->setSpacing(0);
  chartRow->addWidget(Label2);
  chartRow->addWidget(MSChart1, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(Command3);
  buttons->addWidget(Command1);
  buttons->addWidget(Command2);
  auto* root = new QVBoxLayout(this);
  root->setMenuBar(MenuBar);
  root->setContentsMargins(10, 6, 10, 10);
  root->addLayout(captions);
  root->addLayout(chartRow, 1);
  root->addLayout(buttons);
}

void Suitei_Graph::DrawChart(const std::vector<GraphRow>& graph) {
  QChart* chart = MSChart1->chart();
  ClearChart(chart);
  chart->legend()->setVisible(false);
  const int n = static_cast<int>(graph.size());
  const QColor color(30, 90, 200);
  // An empty amount ends a piece of the line; a piece of one day is drawn as
  // a point so it stays visible.
  std::vector<QLineSeries*> pieces;
  AxisSpan ys;
  QLineSeries* piece = nullptr;
  for (int r = 0; r < n; ++r) {
    std::optional<double> v;
    if (!graph[r].amount.isEmpty()) v = ParseDouble(graph[r].amount.toStdString());
    if (!v) {
      piece = nullptr;
      continue;
    }
    if (!piece) {
      piece = new QLineSeries;
      piece->setPen(QPen(color, 2));
      pieces.push_back(piece);
    }
    piece->append(r, *v);
    ys.Include(*v);
  }
  for (QLineSeries* s : pieces) {
    if (s->count() == 1 || n <= 31) {
      s->setPointsVisible(true);
      s->setMarkerSize(6);
    }
    chart->addSeries(s);
  }
  pieces_ = static_cast<int>(pieces.size());

  auto* x = new QCategoryAxis;
  x->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
  x->setRange(n <= 1 ? -1 : 0, n <= 1 ? 1 : n - 1);
  x->setStartValue(n <= 1 ? -1 : 0);
  x->setGridLineVisible(true);
  x->setTitleText(QStringLiteral("年/月/日"));
  dateAxis_ = x;
  dates_.clear();
  for (const GraphRow& row : graph) dates_ << row.date;
  LabelDates();
  QValueAxis* y = MakeValueAxis(QString(), ys);
  y->setLabelFormat(QStringLiteral("%.2f"));
  chart->addAxis(x, Qt::AlignBottom);
  chart->addAxis(y, Qt::AlignLeft);
  for (QLineSeries* s : pieces) {
    s->attachAxis(x);
    s->attachAxis(y);
  }
}

void Suitei_Graph::LabelDates() {
  if (!dateAxis_) return;
  for (const QString& label : dateAxis_->categoriesLabels()) dateAxis_->remove(label);
  // As many dates as fit side by side across the plot, never fewer than two
  // (the first and one further on), at any length of series.
  const QFontMetrics fm(dateAxis_->labelsFont());
  const int labelWidth = fm.horizontalAdvance(QStringLiteral("0000/00/00")) + 24;
  const int plotWidth = std::max(0, MSChart1->width() - 110);
  const int fit = std::clamp(plotWidth / labelWidth, 2, 12);
  dateLabels_.clear();
  std::vector<std::string> dates;
  dates.reserve(static_cast<size_t>(dates_.size()));
  for (const QString& d : dates_) dates.push_back(d.toStdString());
  for (int r : MonthStartRows(dates, fit)) {
    dateAxis_->append(dates_[r], r);
    dateLabels_ << dates_[r];
  }
}

bool Suitei_Graph::eventFilter(QObject* watched, QEvent* event) {
  if (watched == MSChart1 && event->type() == QEvent::Resize) LabelDates();
  return ChildScreen::eventFilter(watched, event);
}

void Suitei_Graph::Command1_Click() {
  if (!Context().printing) return;
  // The picture shows the captions and the chart without buttons.
  auto prepare = [this] {
    for (QPushButton* b : {Command1, Command2, Command3}) b->hide();
  };
  auto restore = [this] {
    for (QPushButton* b : {Command1, Command2, Command3}) b->show();
  };
  PrintScreenImage(*Context().printing, GetDialogs(), this, QStringLiteral("窒素無機化推定量"),
                   prepare, restore);
}

void Suitei_Graph::Command2_Click() { CloseScreen(); }

void Suitei_Graph::Command3_Click() {
  QString title = Label1[3]->text();
  if (!Label1[5]->text().isEmpty()) title += QStringLiteral(" ") + Label1[5]->text();
  // Above the chart: the captions the screen shows over it.
  QStringList captions;
  for (int i = 0; i < 3; ++i) captions << Label1[i]->text() + Label1[i + 3]->text();
  SaveChartPicture(this, GetDialogs(), {Label2, MSChart1},
                   title.trimmed().isEmpty() ? windowTitle() : title.trimmed(), captions);
}

void Suitei_Graph::Edit_Copy_Click() {
  // Only the picture goes on the clipboard, no text.
  QClipboard* clipboard = QGuiApplication::clipboard();
  clipboard->clear();
  const QImage image = MSChart1->grab().toImage().convertToFormat(QImage::Format_RGB32);
  clipboard->clear();
  clipboard->setImage(image);
}

}  // namespace kelvora

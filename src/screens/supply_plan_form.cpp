#include "screens/supply_plan_form.h"

#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMenu>
#include <QMenuBar>
#include <QSplitter>
#include <QVBoxLayout>
#include <QtCharts/QAreaSeries>
#include <QtCharts/QCategoryAxis>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>
#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>

#include "kinetics/model_kind.h"
#include "print/file_export.h"
#include "print/printers.h"
#include "print/prionly_select.h"
#include "print/supply_report.h"
#include "screens/chart_picture.h"
#include "screens/chart_setup.h"
#include "screens/controls.h"
#include "screens/data_grid.h"
#include "screens/dialogs.h"
#include "screens/flex_grid.h"
#include "screens/qtext.h"
#include "screens/suitei_graph.h"
#include "screens/twips.h"
#include "store/cp932.h"
#include "store/data_files.h"
#include "store/hensuu.h"
#include "store/number_text.h"
#include "store/parameter_export.h"
#include "store/sakujyo.h"

namespace kelvora {

namespace {

const QString kNewPlanName = QStringLiteral("新規計画");
constexpr int kKeyRole = Qt::UserRole;
// The colours of the sources' lines; the total is drawn black and thicker.
const QColor kLineColors[] = {QColor(30, 90, 200),  QColor(220, 110, 20),  QColor(40, 150, 60),
                              QColor(200, 40, 40),  QColor(130, 70, 180),  QColor(140, 90, 60),
                              QColor(220, 90, 170), QColor(100, 100, 100), QColor(160, 160, 20),
                              QColor(20, 170, 190)};
const QColor kForecastShade(255, 236, 179);
const QString kGone = QStringLiteral("（削除されました）");
// The choice of a series a stored plan names but the table does not hold.
constexpr uint64_t kMissingKey = std::numeric_limits<uint64_t>::max();

CivilDate DateOf(const QDateEdit* edit) {
  const QDate d = edit->date();
  return {d.year(), d.month(), d.day()};
}

QDate QDateOf(const CivilDate& d) { return QDate(d.year, d.month, d.day); }

uint64_t KeyOf(const QComboBox* combo) {
  return combo->currentIndex() < 0 ? 0 : combo->currentData(kKeyRole).toULongLong();
}

// A choice of records by key, keeping the chosen one: when it has gone from
// the table it stays chosen under a note, so that what uses it can say so.
template <typename R, typename F>
void FillKeyed(QComboBox* combo, const Table<R>& table, F name, bool withNone,
               const QString& goneName) {
  const uint64_t keep = KeyOf(combo);
  const QSignalBlocker block(combo);
  combo->clear();
  if (withNone) combo->addItem(QStringLiteral("（なし）"), QVariant::fromValue<qulonglong>(0));
  for (int i = 1; i <= table.Count(); ++i) {
    combo->addItem(name(table(i)), QVariant::fromValue<qulonglong>(table.KeyOf(i)));
  }
  if (keep != 0 && table.IndexOf(keep) == 0) {
    combo->insertItem(0, goneName.endsWith(kGone) ? goneName : goneName + kGone,
                      QVariant::fromValue<qulonglong>(keep));
  }
  const int at = combo->findData(QVariant::fromValue<qulonglong>(keep), kKeyRole);
  combo->setCurrentIndex(at >= 0 ? at : (combo->count() > 0 ? 0 : -1));
}

QString SetLabel(const ParaRecord& r) {
  const QString kind = r.ModelNo >= 4 ? QStringLiteral("肥料") : QStringLiteral("土壌");
  return Q(r.SoilName) + QStringLiteral("（") + kind +
         (IsValidModel(r.ModelNo) ? QStringLiteral("・") + Q(ModelName(r.ModelNo)) : QString()) +
         QStringLiteral("）");
}

QTableWidgetItem* Item(const QString& text, bool editable) {
  auto* item = new QTableWidgetItem(text);
  item->setTextAlignment(editable ? Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter)
                                  : Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
  if (!editable) item->setFlags(item->flags() & ~Qt::ItemIsEditable);
  return item;
}

QPushButton* Button(const QString& caption, QWidget* parent) {
  auto* b = new QPushButton(caption, parent);
  b->setAccessibleName(caption);
  b->setAutoDefault(false);
  return b;
}

}  // namespace

SupplyPlanForm::SupplyPlanForm(const ScreenContext& context, QWidget* parent)
    : ChildScreen(context, Screen::SupplyPlan, parent),
      MenuBar(new QMenuBar(this)),
      PlanPanel(new QWidget(this)),
      PlanFrame(new QGroupBox(QStringLiteral("① 計画"), PlanPanel)),
      PlanName(new QLineEdit(PlanFrame)),
      ObservedSeries(new QComboBox(PlanFrame)),
      NormalSeries(new QComboBox(PlanFrame)),
      FirstDay(new QDateEdit(PlanFrame)),
      LastDay(new QDateEdit(PlanFrame)),
      SourceFrame(new QGroupBox(QStringLiteral("② 窒素の供給源（10まで）"), PlanPanel)),
      SourceTable(new QTableWidget(0, kSourceCols, SourceFrame)),
      SetChoice(new QComboBox(SourceFrame)),
      AddSource(Button(QStringLiteral("追加"), SourceFrame)),
      RemoveSource(Button(QStringLiteral("削除"), SourceFrame)),
      ListFrame(new QGroupBox(QStringLiteral("保存した計画"), PlanPanel)),
      PlanList(new ListBox(ListFrame)),
      NewPlan(Button(QStringLiteral("新規作成"), ListFrame)),
      ApplyPlan(Button(QStringLiteral("適用"), ListFrame)),
      DeletePlans(Button(QStringLiteral("データ削除"), ListFrame)),
      SaveFile(Button(QStringLiteral("ファイル保存"), ListFrame)),
      Message(new QLabel(this)),
      ResultSplit(new QSplitter(Qt::Vertical, this)),
      DayGrid(new FlexGrid),
      ChartPanel(new QWidget),
      Chart(new QChartView(new QChart, ChartPanel)),
      Legend(new QLabel(ChartPanel)),
      CopyTable(Button(QStringLiteral("コピー"), this)),
      Export(Button(QStringLiteral("エクスポート"), this)),
      Print(Button(QStringLiteral("印刷"), this)),
      SavePicture(Button(QStringLiteral("画像を保存"), this)),
      CloseButton(Button(QStringLiteral("終了"), this)),
      Edit(new QMenu(QStringLiteral("編集"), this)),
      Edit_Copy(Edit->addAction(QStringLiteral("コピー"))),
      Edit_Select_All(Edit->addAction(QStringLiteral("全てを選択"))),
      planList_(*PlanList, ListMirror::Of(context.store.SekkeiTable,
                                          [](const SekkeiRecord& r) { return Q(r.PlanName); })) {
  setObjectName(QStringLiteral("SupplyPlanForm"));
  setWindowTitle(ScreenCaption(Screen::SupplyPlan));
  Edit->setObjectName(QStringLiteral("Edit"));
  Edit_Copy->setObjectName(QStringLiteral("Edit_Copy"));
  Edit_Copy->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
  Edit_Select_All->setObjectName(QStringLiteral("Edit_Select_All"));
  Edit_Select_All->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_A));
  for (QAction* a : {Edit_Copy, Edit_Select_All}) a->setShortcutContext(Qt::WidgetShortcut);
  DayGrid->addAction(Edit_Copy);
  DayGrid->addAction(Edit_Select_All);
  MenuBar->addMenu(Edit);
  MenuBar->addMenu(MakeHelpMenu());
  BuildLayout();

  auto recompute = [this] {
    if (!loading_) Recompute();
  };
  connect(PlanName, &QLineEdit::textEdited, this, recompute);
  connect(ObservedSeries, &QComboBox::currentIndexChanged, this, recompute);
  connect(NormalSeries, &QComboBox::currentIndexChanged, this, recompute);
  connect(FirstDay, &QDateEdit::dateChanged, this, recompute);
  connect(LastDay, &QDateEdit::dateChanged, this, recompute);
  connect(SourceTable, &QTableWidget::itemChanged, this, recompute);
  connect(AddSource, &QPushButton::clicked, this, &SupplyPlanForm::AddSourceClicked);
  connect(RemoveSource, &QPushButton::clicked, this, &SupplyPlanForm::RemoveSourceClicked);
  connect(NewPlan, &QPushButton::clicked, this, &SupplyPlanForm::NewPlanClicked);
  connect(ApplyPlan, &QPushButton::clicked, this, &SupplyPlanForm::ApplyPlanClicked);
  connect(DeletePlans, &QPushButton::clicked, this, &SupplyPlanForm::DeletePlansClicked);
  connect(SaveFile, &QPushButton::clicked, this, &SupplyPlanForm::SaveFileClicked);
  PlanList->onMouseDown = [this] { PlanListPressed(); };
  connect(CopyTable, &QPushButton::clicked, this, &SupplyPlanForm::CopyTableClicked);
  connect(Export, &QPushButton::clicked, this, &SupplyPlanForm::ExportClicked);
  connect(Print, &QPushButton::clicked, this, &SupplyPlanForm::PrintClicked);
  connect(SavePicture, &QPushButton::clicked, this, &SupplyPlanForm::SavePictureClicked);
  connect(CloseButton, &QPushButton::clicked, this, [this] { CloseScreen(); });
  connect(Edit_Copy, &QAction::triggered, this, &SupplyPlanForm::CopyTableClicked);
  connect(Edit_Select_All, &QAction::triggered, this, &SupplyPlanForm::SelectAllDays);
  connect(DayGrid, &FlexGrid::MouseDown, this, [this](Qt::MouseButton button) {
    if (button == Qt::RightButton) GetDialogs().Popup(*Edit, QCursor::pos());
  });

  // Opening: the last stored plan, or a new one.
  hensuu& store = Store();
  planList_.Fill();
  FillSeriesChoices();
  FillSetChoice();
  ShowPlan(store.SekkeiCount());
}

void SupplyPlanForm::BuildLayout() {
  PlanName->setObjectName(QStringLiteral("PlanName"));
  PlanName->setAccessibleName(QStringLiteral("計画名"));
  PlanName->setPlaceholderText(kNewPlanName);
  ObservedSeries->setObjectName(QStringLiteral("ObservedSeries"));
  ObservedSeries->setAccessibleName(QStringLiteral("地温データ"));
  NormalSeries->setObjectName(QStringLiteral("NormalSeries"));
  NormalSeries->setAccessibleName(QStringLiteral("平年値"));
  for (QComboBox* c : {ObservedSeries, NormalSeries, SetChoice}) {
    c->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    c->setMinimumContentsLength(12);
    c->setMaxVisibleItems(20);
  }
  for (auto [edit, name] : {std::pair{FirstDay, "最初の日"}, std::pair{LastDay, "最後の日"}}) {
    edit->setDisplayFormat(QStringLiteral("yyyy/MM/dd"));
    edit->setCalendarPopup(true);
    edit->setDateRange(QDate(kFirstDateYear, 1, 1), QDate(kLastDateYear, 12, 31));
    edit->setAccessibleName(QString::fromUtf8(name));
  }
  FirstDay->setObjectName(QStringLiteral("FirstDay"));
  LastDay->setObjectName(QStringLiteral("LastDay"));
  auto* form = new QFormLayout(PlanFrame);
  form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
  form->addRow(QStringLiteral("計画名"), PlanName);
  form->addRow(QStringLiteral("地温データ"), ObservedSeries);
  form->addRow(QStringLiteral("平年値"), NormalSeries);
  auto* days = new QHBoxLayout;
  days->addWidget(FirstDay);
  days->addWidget(new QLabel(QStringLiteral("～"), PlanFrame));
  days->addWidget(LastDay);
  days->addStretch();
  form->addRow(QStringLiteral("期間"), days);

  SourceTable->setObjectName(QStringLiteral("SourceTable"));
  SourceTable->setAccessibleName(SourceFrame->title());
  // Tab leaves the table for the next control (the arrow keys move in it).
  SourceTable->setTabKeyNavigation(false);
  SourceTable->setHorizontalHeaderLabels(
      {QStringLiteral("土壌・肥料"), QStringLiteral("種類"), QStringLiteral("作土深\n(cm)"),
       QStringLiteral("仮比重\n(g/cm3)"), QStringLiteral("施用量\n(kgN/10a)"),
       QStringLiteral("施用日")});
  SourceTable->horizontalHeader()->setSectionResizeMode(kNameCol, QHeaderView::Stretch);
  for (int c = kKindCol; c < kSourceCols; ++c) {
    SourceTable->horizontalHeader()->setSectionResizeMode(c, QHeaderView::ResizeToContents);
  }
  SourceTable->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 8);
  SourceTable->setSelectionBehavior(QAbstractItemView::SelectRows);
  SourceTable->setSelectionMode(QAbstractItemView::SingleSelection);
  SourceTable->setEditTriggers(
      QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked |
      QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
  SourceTable->setMinimumHeight(fontMetrics().height() * 5);
  SetChoice->setObjectName(QStringLiteral("SetChoice"));
  SetChoice->setAccessibleName(QStringLiteral("追加するパラメータ"));
  AddSource->setObjectName(QStringLiteral("AddSource"));
  RemoveSource->setObjectName(QStringLiteral("RemoveSource"));
  auto* add = new QHBoxLayout;
  add->addWidget(SetChoice, 1);
  add->addWidget(AddSource);
  add->addWidget(RemoveSource);
  auto* sources = new QVBoxLayout(SourceFrame);
  sources->addWidget(SourceTable, 1);
  sources->addLayout(add);

  PlanList->setObjectName(QStringLiteral("PlanList"));
  PlanList->setAccessibleName(ListFrame->title());
  PlanList->setMinimumHeight(fontMetrics().height() * 3);
  PlanList->setMaximumHeight(fontMetrics().height() * 6);
  ListFrame->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
  NewPlan->setObjectName(QStringLiteral("NewPlan"));
  ApplyPlan->setObjectName(QStringLiteral("ApplyPlan"));
  DeletePlans->setObjectName(QStringLiteral("DeletePlans"));
  SaveFile->setObjectName(QStringLiteral("SaveFile"));
  // The stored plans: the list with its buttons beside it.
  auto* listButtons = new QGridLayout;
  listButtons->setSpacing(4);
  listButtons->addWidget(NewPlan, 0, 0);
  listButtons->addWidget(ApplyPlan, 0, 1);
  listButtons->addWidget(DeletePlans, 1, 0);
  listButtons->addWidget(SaveFile, 1, 1);
  auto* list = new QHBoxLayout(ListFrame);
  list->addWidget(PlanList, 1);
  list->addLayout(listButtons);

  // Small enough for a work area of 1024 x 600 with every button in reach.
  PlanPanel->setObjectName(QStringLiteral("PlanPanel"));
  auto* left = new QVBoxLayout(PlanPanel);
  left->setContentsMargins(0, 0, 4, 0);
  left->setSpacing(4);
  left->addWidget(ListFrame);
  left->addWidget(PlanFrame);
  left->addWidget(SourceFrame, 1);

  Message->setObjectName(QStringLiteral("Message"));
  Message->setWordWrap(true);
  Message->setTextInteractionFlags(Qt::TextSelectableByMouse);
  Message->setMinimumHeight(fontMetrics().height() * 2 + 4);
  Message->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  DayGrid->setObjectName(QStringLiteral("DayGrid"));
  DayGrid->setAccessibleName(QStringLiteral("窒素供給量の表"));
  DayGrid->SetFixedRows(1);
  DayGrid->SetFixedCols(1);
  DayGrid->setMinimumHeight(fontMetrics().height() * 5);
  Chart->setObjectName(QStringLiteral("Chart"));
  Chart->setAccessibleName(QStringLiteral("窒素供給量のグラフ"));
  Chart->setRenderHint(QPainter::Antialiasing);
  Chart->setMinimumSize(320, 150);
  Chart->installEventFilter(this);
  Legend->setObjectName(QStringLiteral("Legend"));
  Legend->setWordWrap(true);
  Legend->setTextFormat(Qt::RichText);
  Legend->setTextInteractionFlags(Qt::TextSelectableByMouse);
  ChartPanel->setObjectName(QStringLiteral("ChartPanel"));
  QPalette white = ChartPanel->palette();
  white.setColor(QPalette::Window, Qt::white);
  ChartPanel->setPalette(white);
  ChartPanel->setAutoFillBackground(true);
  Chart->setBackgroundBrush(Qt::white);
  auto* chartColumn = new QVBoxLayout(ChartPanel);
  chartColumn->setContentsMargins(0, 0, 6, 4);
  chartColumn->setSpacing(0);
  chartColumn->addWidget(Chart, 1);
  chartColumn->addWidget(Legend);
  ResultSplit->setObjectName(QStringLiteral("ResultSplit"));
  ResultSplit->addWidget(DayGrid);
  ResultSplit->addWidget(ChartPanel);
  ResultSplit->setChildrenCollapsible(false);
  ResultSplit->setStretchFactor(0, 2);
  ResultSplit->setStretchFactor(1, 3);
  CopyTable->setObjectName(QStringLiteral("CopyTable"));
  Export->setObjectName(QStringLiteral("Export"));
  Print->setObjectName(QStringLiteral("Print"));
  SavePicture->setObjectName(QStringLiteral("SavePicture"));
  CloseButton->setObjectName(QStringLiteral("CloseButton"));
  auto* buttons = new QHBoxLayout;
  for (QPushButton* b : {CopyTable, Export, Print, SavePicture}) buttons->addWidget(b);
  buttons->addStretch();
  buttons->addWidget(CloseButton);
  auto* right = new QVBoxLayout;
  right->addWidget(Message);
  right->addWidget(ResultSplit, 1);
  right->addLayout(buttons);

  auto* body = new QHBoxLayout;
  body->addWidget(PlanPanel, 2);
  body->addLayout(right, 3);
  auto* root = new QVBoxLayout(this);
  root->setMenuBar(MenuBar);
  root->setContentsMargins(8, 2, 8, 6);
  root->addLayout(body, 1);
}

// --- the lists and choices ---------------------------------------------------------------------

void SupplyPlanForm::FillSeriesChoices() {
  const hensuu& store = Store();
  auto name = [](const TionRecord& r) { return Q(r.SiteName); };
  FillKeyed(ObservedSeries, store.TionTable, name, false, Q(names_.observed));
  FillKeyed(NormalSeries, store.TionTable, name, true, Q(names_.normal));
  tionGeneration_ = store.TionTable.Generation();
}

void SupplyPlanForm::FillSetChoice() {
  const hensuu& store = Store();
  const QString gone = SetChoice->currentIndex() >= 0 ? SetChoice->currentText() : QString();
  FillKeyed(SetChoice, store.ParaTable, SetLabel, false, gone);
  paraGeneration_ = store.ParaTable.Generation();
}

void SupplyPlanForm::Follow() {
  const hensuu& store = Store();
  planList_.Follow();
  const bool tion = store.TionTable.Generation() != tionGeneration_;
  if (tion) {
    const bool was = loading_;
    loading_ = true;
    FillSeriesChoices();
    loading_ = was;
  }
  if (store.ParaTable.Generation() != paraGeneration_) FillSetChoice();
  // The series may have been deleted, renamed or changed: the plan is
  // computed again with what the table holds now.
  if (tion) Recompute();
}

void SupplyPlanForm::Activated() { Follow(); }

bool SupplyPlanForm::eventFilter(QObject* watched, QEvent* event) {
  // The dates along the axis as many as the chart's width has room for (a
  // change of its height alone, as the legend wraps, changes none).
  if (watched == Chart && event->type() == QEvent::Resize && Chart->width() != chartWidth_) {
    DrawChart();
  }
  return ChildScreen::eventFilter(watched, event);
}

// --- the sources ---------------------------------------------------------------------------------

void SupplyPlanForm::AddSourceRow(const PlanSource& s) {
  const QSignalBlocker block(SourceTable);
  const int row = SourceTable->rowCount();
  SourceTable->insertRow(row);
  SourceTable->setItem(row, kNameCol, Item(Q(s.para.SoilName), false));
  SourceTable->item(row, kNameCol)->setToolTip(SetLabel(s.para));
  SourceTable->setItem(row, kKindCol, Item(Q(SourceKindText(s)), false));
  auto text = [](float v) { return Q(SingleText(v)); };
  const bool f = s.IsFertilizer();
  SourceTable->setItem(row, kDepthCol, Item(f ? QString() : text(s.depthCm), !f));
  SourceTable->setItem(row, kDensityCol, Item(f ? QString() : text(s.density), !f));
  SourceTable->setItem(row, kKgCol, Item(f && s.kgPer10a > 0 ? text(s.kgPer10a) : QString(), f));
  SourceTable->setItem(row, kDateCol, Item(f ? Q(DateText(s.applied)) : QString(), f));
  for (int c = kDepthCol; c < kSourceCols; ++c) {
    QTableWidgetItem* item = SourceTable->item(row, c);
    const bool used = (c >= kKgCol) == f;
    item->setBackground(used ? palette().base() : palette().window());
    item->setToolTip(used ? QString() : QStringLiteral("この供給源には使いません"));
  }
  sourceSets_.push_back(s.para);
}

std::optional<std::vector<PlanSource>> SupplyPlanForm::TableSources(QString& problem) const {
  std::vector<PlanSource> out;
  for (int row = 0; row < SourceTable->rowCount(); ++row) {
    PlanSource s;
    s.para = sourceSets_[static_cast<size_t>(row)];
    auto cell = [&](int c) {
      const QTableWidgetItem* item = SourceTable->item(row, c);
      return item ? item->text().trimmed().toStdString() : std::string();
    };
    auto number = [&](int c, float& v, const char* what) {
      const std::optional<float> f = ParseSingle(cell(c));
      if (f) {
        v = *f;
        return true;
      }
      problem = QStringLiteral("供給源%1「%2」の%3に数字を記入して下さい。")
                    .arg(row + 1)
                    .arg(Q(s.para.SoilName), QString::fromUtf8(what));
      return false;
    };
    if (s.IsFertilizer()) {
      if (!number(kKgCol, s.kgPer10a, "施用量（kgN/10a）")) return std::nullopt;
      const std::optional<CivilDate> d = ParseDateText(cell(kDateCol));
      if (!d) {
        problem =
            QStringLiteral("供給源%1「%2」の施用日を年/月/日（例: 2025/05/10）で記入して下さい。")
                .arg(row + 1)
                .arg(Q(s.para.SoilName));
        return std::nullopt;
      }
      s.applied = *d;
    } else if (!number(kDepthCol, s.depthCm, "作土深（cm）") ||
               !number(kDensityCol, s.density, "仮比重（g/cm3）")) {
      return std::nullopt;
    }
    out.push_back(std::move(s));
  }
  return out;
}

void SupplyPlanForm::AddSourceClicked() {
  Follow();
  hensuu& store = Store();
  if (SourceTable->rowCount() >= kMaxPlanSources) {
    GetDialogs().Message(this, kTitleCaution,
                         QStringLiteral("供給源は%1までです。").arg(kMaxPlanSources));
    return;
  }
  const uint64_t key = KeyOf(SetChoice);
  const int16_t set = store.ParaTable.IndexOf(key);
  if (set == 0) {
    GetDialogs().Message(this, kTitleCaution,
                         key == 0 ? QStringLiteral("追加するパラメータを選んで下さい")
                                  : QStringLiteral("選んだパラメータ「%1」は削除されています。\n"
                                                   "パラメータを選び直して下さい。")
                                        .arg(SetChoice->currentText().remove(kGone)));
    SetChoice->setCurrentIndex(-1);
    FillSetChoice();
    return;
  }
  PlanSource s;
  s.para = PlanCopyOf(store.ParaTable(set));
  if (!IsValidModel(s.para.ModelNo)) {
    GetDialogs().Message(
        this, kTitleCaution,
        QStringLiteral("パラメータ「%1」のモデルが正しくありません。").arg(Q(s.para.SoilName)));
    return;
  }
  s.applied = DateOf(FirstDay);
  AddSourceRow(s);
  SourceTable->selectRow(SourceTable->rowCount() - 1);
  Recompute();
}

void SupplyPlanForm::RemoveSourceClicked() {
  const int row = SourceTable->currentRow();
  if (row < 0 || row >= SourceTable->rowCount()) {
    GetDialogs().Message(this, kTitleCaution, QStringLiteral("削除する供給源を選んで下さい"));
    return;
  }
  {
    const QSignalBlocker block(SourceTable);
    SourceTable->removeRow(row);
  }
  sourceSets_.erase(sourceSets_.begin() + row);
  Recompute();
}

// --- computing
// -------------------------------------------------------------------------------------

QString SupplyPlanForm::BuildInput(SupplyInput& in, SupplyNames& names) const {
  const hensuu& store = Store();
  names.plan = PlanName->text().trimmed().isEmpty() ? kNewPlanName.toStdString()
                                                    : PlanName->text().trimmed().toStdString();
  // A series chosen here and deleted since, or one a stored plan names that
  // the table does not hold.
  auto gone = [](const char* role, uint64_t key, const std::string& name) {
    if (key != 0 && key != kMissingKey) {
      return QStringLiteral("%1「%2」は削除されました。\n地温データを選び直して下さい。")
          .arg(QString::fromUtf8(role), Q(name));
    }
    return Q(MissingSeriesMessage(role, name));
  };
  const uint64_t observedKey = KeyOf(ObservedSeries);
  const int16_t observed = store.TionTable.IndexOf(observedKey);
  if (observed == 0) {
    return observedKey == 0 && names.observed.empty()
               ? QStringLiteral("地温データを選んで下さい。")
               : gone("地温データ", observedKey, names.observed);
  }
  names.observed = store.TionTable(observed).SiteName;
  in.observedGrid = store.TionTable(observed).GridText;
  const uint64_t normalKey = KeyOf(NormalSeries);
  if (normalKey != 0 || !names.normal.empty()) {
    const int16_t normal = store.TionTable.IndexOf(normalKey);
    if (normal == 0) return gone("平年値の地温データ", normalKey, names.normal);
    names.normal = store.TionTable(normal).SiteName;
    in.normalGrid = store.TionTable(normal).GridText;
  }
  in.first = DateOf(FirstDay);
  in.last = DateOf(LastDay);
  QString problem;
  const auto sources = TableSources(problem);
  if (!sources) return problem;
  in.sources = *sources;
  return QString();
}

void SupplyPlanForm::Recompute() {
  input_ = SupplyInput{};
  SupplyNames names = names_;
  // The names of series that are still chosen come from the table; a series
  // chosen anew is named by its choice.
  const hensuu& store = Store();
  if (const int16_t i = store.TionTable.IndexOf(KeyOf(ObservedSeries)); i > 0) {
    names.observed = store.TionTable(i).SiteName;
  }
  if (const int16_t i = store.TionTable.IndexOf(KeyOf(NormalSeries)); i > 0) {
    names.normal = store.TionTable(i).SiteName;
  } else if (KeyOf(NormalSeries) == 0) {
    names.normal.clear();
  }
  problem_ = BuildInput(input_, names);
  names_ = names;
  result_ = SupplyResult{};
  if (problem_.isEmpty()) {
    result_ = ComputeSupply(input_);
    if (!result_.ok) problem_ = Q(result_.message);
  }
  ShowResult();
}

void SupplyPlanForm::ShowResult() {
  const bool ok = problem_.isEmpty();
  QStringList lines;
  if (!ok) {
    lines << problem_;
  } else if (!result_.days.empty()) {
    int forecast = 0;
    for (const SupplyDay& d : result_.days) forecast += d.forecast ? 1 : 0;
    const SupplyDay& last = result_.days.back();
    QString line = QStringLiteral("%1日（予測 %2日）").arg(result_.days.size()).arg(forecast);
    if (result_.lastObservedDay > 0) {
      line += QStringLiteral("　観測の最後の日 ") +
              Q(DateText(result_.days[static_cast<size_t>(result_.lastObservedDay - 1)].date));
    }
    if (last.total) {
      line += QStringLiteral("　%1 の合計 %2 kgN/10a")
                  .arg(Q(DateText(last.date)), Q(FormatFixed(*last.total, 2)));
    }
    lines << line;
    if (const std::string gaps = NoTemperatureMessage(result_); !gaps.empty()) lines << Q(gaps);
  }
  Message->setText(lines.join(QLatin1Char('\n')));
  Message->setStyleSheet(
      ok && result_.daysWithoutTemperature.empty() ? QString() : QStringLiteral("color: #b00000;"));
  Message->setAccessibleName(Message->text());

  // The table: date, temperature, forecast mark, a column per source, total.
  const size_t sources = input_.sources.size();
  const int cols = static_cast<int>(sources) + 4;
  const int rows = ok ? static_cast<int>(result_.days.size()) + 1 : 1;
  GridTable cells(std::max(rows, 2), cols);
  cells.Cell(0, 0) = "年/月/日";
  cells.Cell(0, 1) = "地温(℃)";
  cells.Cell(0, 2) = "予測";
  // Each source's heading is its number and its whole name, as the legend
  // names it; the columns are as wide as their headings.
  for (size_t i = 0; i < sources; ++i) {
    cells.Cell(0, static_cast<int>(i) + 3) =
        std::to_string(i + 1) + " " + input_.sources[i].para.SoilName;
  }
  cells.Cell(0, cols - 1) = "合計";
  for (int r = 1; ok && r < rows; ++r) {
    const SupplyDay& day = result_.days[static_cast<size_t>(r - 1)];
    cells.Cell(r, 0) = DateText(day.date);
    cells.Cell(r, 1) = day.temperatureText;
    cells.Cell(r, 2) = day.forecast ? "予測" : "";
    for (size_t i = 0; i < sources; ++i) {
      const std::optional<double>& a = day.amounts[i];
      cells.Cell(r, static_cast<int>(i) + 3) = a ? FormatFixed(*a, 2) : std::string();
    }
    cells.Cell(r, cols - 1) = day.total ? FormatFixed(*day.total, 2) : std::string();
  }
  DayGrid->SetRows(cells.Rows());
  DayGrid->SetCols(cols);
  DayGrid->SetCells(cells);
  const QFontMetrics fm(DayGrid->font());
  auto twips = [](int px) { return static_cast<int>(std::ceil(px * 1440.0 / LogicalDpi())); };
  DayGrid->SetColWidth(0, twips(fm.horizontalAdvance(QStringLiteral("0000/00/00")) + 14));
  DayGrid->SetColWidth(1, twips(fm.horizontalAdvance(QStringLiteral("地温(℃)")) + 14));
  DayGrid->SetColWidth(2, twips(fm.horizontalAdvance(QStringLiteral("予測")) + 14));
  for (int c = 0; c < cols; ++c) {
    if (c >= 3) {
      const int header = fm.horizontalAdvance(Q(cells.Cell(0, c))) + 14;
      DayGrid->SetColWidth(
          c, twips(std::max(header, fm.horizontalAdvance(QStringLiteral("00000.00")) + 14)));
    }
    DayGrid->SetColAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
  }
  // Forecast days shaded, run by run (the shading of before cleared first).
  DayGrid->SetFillStyle(FlexGrid::Fill::Repeat);
  DayGrid->SetRow(1);
  DayGrid->SetCol(1);
  DayGrid->SetRowSel(DayGrid->Rows() - 1);
  DayGrid->SetColSel(cols - 1);
  DayGrid->SetCellBackColor(QColor());
  for (int r = 1; ok && r < rows;) {
    if (!result_.days[static_cast<size_t>(r - 1)].forecast) {
      ++r;
      continue;
    }
    int end = r;
    while (end + 1 < rows && result_.days[static_cast<size_t>(end)].forecast) ++end;
    DayGrid->SetRow(r);
    DayGrid->SetCol(1);
    DayGrid->SetRowSel(end);
    DayGrid->SetColSel(cols - 1);
    DayGrid->SetCellBackColor(kForecastShade);
    r = end + 1;
  }
  DayGrid->SetFillStyle(FlexGrid::Fill::Single);
  DayGrid->SetRow(1);
  DayGrid->SetCol(1);
  DrawChart();
  const bool computed = ok && !result_.days.empty();
  for (QPushButton* b : {CopyTable, Export, Print, SavePicture}) b->setEnabled(computed);
}

void SupplyPlanForm::DrawChart() {
  QChart* chart = Chart->chart();
  ClearChart(chart);
  linePieces_ = 0;
  forecastSpans_ = 0;
  lastObservedMarked_ = false;
  chart->legend()->setVisible(false);
  chartWidth_ = Chart->width();
  if (!problem_.isEmpty() || result_.days.empty()) {
    Legend->clear();
    return;
  }
  const int n = static_cast<int>(result_.days.size());
  const size_t sources = input_.sources.size();
  AxisSpan ys;
  for (const SupplyDay& d : result_.days) {
    for (const std::optional<double>& a : d.amounts) {
      if (a) ys.Include(*a);
    }
    if (d.total) ys.Include(*d.total);
  }
  QValueAxis* y = MakeValueAxis(QStringLiteral("kgN/10a"), ys);
  const double yMin = y->min();
  const double yMax = y->max();
  // The days along the axis, as many dates labelled as its width has room for.
  auto* x = new QCategoryAxis;
  x->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
  x->setRange(n <= 1 ? -1 : 0, n <= 1 ? 1 : n - 1);
  x->setStartValue(x->min());
  x->setGridLineVisible(true);
  const int plotWidth = Chart->width() - 110;
  const int fit = std::clamp(
      plotWidth /
          (QFontMetrics(x->labelsFont()).horizontalAdvance(QStringLiteral("0000/00/00")) + 24),
      2, 8);
  std::vector<std::string> dates;
  dates.reserve(result_.days.size());
  for (const SupplyDay& d : result_.days) dates.push_back(DateText(d.date));
  // Month starts, as the estimation graph labels its dates.
  for (int r : MonthStartRows(dates, fit)) x->append(Q(dates[static_cast<size_t>(r)]), r);
  chart->addAxis(x, Qt::AlignBottom);
  chart->addAxis(y, Qt::AlignLeft);
  // Each series joins the chart on its axes at once.
  auto add = [chart, x, y](QAbstractSeries* series) {
    chart->addSeries(series);
    series->attachAxis(x);
    series->attachAxis(y);
  };

  // Forecast days shaded behind the lines, the last observed day marked.
  for (int r = 0; r < n;) {
    if (!result_.days[static_cast<size_t>(r)].forecast) {
      ++r;
      continue;
    }
    int end = r;
    while (end + 1 < n && result_.days[static_cast<size_t>(end + 1)].forecast) ++end;
    auto* upper = new QLineSeries;
    auto* lower = new QLineSeries;
    const double from = std::max(x->min(), r - 0.5);
    const double to = std::min(x->max(), end + 0.5);
    upper->append(from, yMax);
    upper->append(to, yMax);
    lower->append(from, yMin);
    lower->append(to, yMin);
    auto* area = new QAreaSeries(upper, lower);
    area->setColor(kForecastShade);
    area->setBorderColor(kForecastShade);
    add(area);
    ++forecastSpans_;
    r = end + 1;
  }
  if (result_.lastObservedDay > 0 && result_.lastObservedDay < n) {
    auto* line = new QLineSeries;
    const double at = result_.lastObservedDay - 1;
    line->append(at, yMin);
    line->append(at, yMax);
    line->setPen(QPen(QColor(90, 90, 90), 1.5, Qt::DashLine));
    add(line);
    lastObservedMarked_ = true;
  }
  // One line per source and the total; a day without an amount ends a piece.
  // Each piece gets its points at once, before it joins the chart: a point
  // appended to a shown series redraws the whole line.
  for (size_t i = 0; i <= sources; ++i) {
    const bool total = i == sources;
    const QPen pen(total ? QColor(0, 0, 0) : kLineColors[i % std::size(kLineColors)],
                   total ? 2.6 : 1.6);
    QList<QPointF> points;
    auto flush = [&] {
      if (points.isEmpty()) return;
      auto* piece = new QLineSeries;
      piece->setPen(pen);
      piece->append(points);
      add(piece);
      ++linePieces_;
      points.clear();
    };
    for (int r = 0; r < n; ++r) {
      const SupplyDay& d = result_.days[static_cast<size_t>(r)];
      const std::optional<double>& v = total ? d.total : d.amounts[i];
      if (v) {
        points.append(QPointF(r, *v));
      } else {
        flush();
      }
    }
    flush();
  }
  // The legend beside the chart wraps instead of cutting names short.
  QStringList entries;
  auto entry = [&entries](const QColor& color, const QString& name,
                          const QString& mark = QStringLiteral("■")) {
    entries << QStringLiteral(
                   "<span style=\"white-space:nowrap\"><span style=\"color:%1\">%2</span>"
                   " %3</span>")
                   .arg(color.name(), mark, name.toHtmlEscaped());
  };
  if (forecastSpans_ > 0) entry(kForecastShade.darker(115), QStringLiteral("予測"));
  if (lastObservedMarked_)
    entry(QColor(90, 90, 90), QStringLiteral("観測の最後の日"), QStringLiteral("┆"));
  for (size_t i = 0; i < sources; ++i) {
    entry(kLineColors[i % std::size(kLineColors)],
          Q(std::to_string(i + 1) + " " + input_.sources[i].para.SoilName));
  }
  entry(Qt::black, QStringLiteral("合計"));
  // Laid out anew only when it changed (not as the amounts change).
  const QString legend = entries.join(QStringLiteral("　 "));
  if (Legend->text() != legend) Legend->setText(legend);
  Legend->setAccessibleName(QStringLiteral("凡例"));
}

// --- plans ---------------------------------------------------------------------------------------

void SupplyPlanForm::ShowNewPlan() {
  loading_ = true;
  shownKey_ = 0;
  PlanName->clear();
  names_ = SupplyNames{};
  {
    const QSignalBlocker block(SourceTable);
    SourceTable->setRowCount(0);
  }
  sourceSets_.clear();
  ObservedSeries->setCurrentIndex(-1);
  NormalSeries->setCurrentIndex(-1);
  FillSeriesChoices();
  const hensuu& store = Store();
  ObservedSeries->setCurrentIndex(store.TionCount() > 0 ? 0 : -1);
  NormalSeries->setCurrentIndex(0);
  // The observed series' days, or today.
  CivilDate first{QDate::currentDate().year(), QDate::currentDate().month(),
                  QDate::currentDate().day()};
  CivilDate last = first;
  if (store.TionCount() > 0) {
    const std::vector<std::vector<std::string>> rows = SplitGridText(store.TionTable(1).GridText);
    std::optional<CivilDate> a, b;
    for (size_t r = 1; r < rows.size(); ++r) {
      if (const auto d = ParseDateText(rows[r][0])) {
        if (!a) a = d;
        b = d;
      }
    }
    if (a) {
      first = *a;
      last = *b;
    }
  }
  FirstDay->setDate(QDateOf(first));
  LastDay->setDate(QDateOf(last));
  {
    const QSignalBlocker block(PlanList);
    PlanList->clearSelection();
    PlanList->setCurrentRow(-1);
  }
  loading_ = false;
  Recompute();
}

void SupplyPlanForm::ShowPlan(int16_t index) {
  hensuu& store = Store();
  if (index < 1 || index > store.SekkeiCount()) {
    ShowNewPlan();
    return;
  }
  const SekkeiRecord& plan = store.SekkeiTable(index);
  store.SekkeiCurrent = index;
  loading_ = true;
  shownKey_ = store.SekkeiTable.KeyOf(index);
  PlanName->setText(Q(plan.PlanName));
  PlanName->setCursorPosition(0);
  names_ = {plan.PlanName, plan.SiteName, plan.NormalName};
  // The series the plan names, chosen by key; one that is gone stays chosen
  // under its name, so the plan says so.
  auto choose = [&store](QComboBox* combo, int16_t number, const std::string& name) {
    const int16_t i = FindPlanSeries(store, number, name);
    const uint64_t key = i > 0 ? store.TionTable.KeyOf(i) : 0;
    int at = combo->findData(QVariant::fromValue<qulonglong>(key), kKeyRole);
    if (i == 0 && !name.empty()) {
      combo->insertItem(0, Q(name) + QStringLiteral("（見つかりません）"),
                        QVariant::fromValue<qulonglong>(kMissingKey));
      at = 0;
    }
    combo->setCurrentIndex(at);
  };
  ObservedSeries->setCurrentIndex(-1);
  NormalSeries->setCurrentIndex(-1);
  FillSeriesChoices();
  choose(ObservedSeries, plan.TionNo, plan.SiteName);
  choose(NormalSeries, plan.NormalNo, plan.NormalName);
  missingTionNo_ = plan.TionNo;
  missingNormalNo_ = plan.NormalNo;
  if (const auto d = ParseDateText(plan.FirstDate)) FirstDay->setDate(QDateOf(*d));
  if (const auto d = ParseDateText(plan.LastDate)) LastDay->setDate(QDateOf(*d));
  {
    const QSignalBlocker block(SourceTable);
    SourceTable->setRowCount(0);
  }
  sourceSets_.clear();
  std::string problem;
  const auto sources = ReadPlanSources(plan.GridText, problem);
  if (sources) {
    for (const PlanSource& s : *sources) AddSourceRow(s);
  }
  {
    const QSignalBlocker block(PlanList);
    PlanList->clearSelection();
    const int row = planList_.RowOf(shownKey_);
    PlanList->setCurrentRow(row);
    if (row >= 0) PlanList->item(row)->setSelected(true);
  }
  loading_ = false;
  Recompute();
  if (!sources) {
    problem_ = QStringLiteral("計画「%1」の").arg(Q(plan.PlanName)) + Q(problem);
    ShowResult();
  }
}

std::optional<SekkeiRecord> SupplyPlanForm::ScreenRecord(QString& problem) const {
  const hensuu& store = Store();
  SekkeiRecord rec;
  const QString name = PlanName->text().trimmed();
  rec.PlanName = ToStoredForms(
      ReplaceQuotes(name.isEmpty() ? kNewPlanName.toStdString() : name.toStdString()));
  std::string bad;
  if (!CanStoreText(rec.PlanName, &bad)) {
    problem = Q(UnstorableTextMessage(rec.PlanName, bad));
    return std::nullopt;
  }
  // A series the stored plan names but the table does not hold keeps its
  // number and name as the stored plan has them now (deletions elsewhere
  // renumber it; it may be found again); a deleted one has none.
  const int16_t shown = store.SekkeiTable.IndexOf(shownKey_);
  const SekkeiRecord* stored = shown > 0 ? &store.SekkeiTable(shown) : nullptr;
  auto series = [&store](const QComboBox* combo, const std::string& remembered, int16_t missingNo,
                         std::string& n, int16_t& number) {
    const int16_t i = store.TionTable.IndexOf(KeyOf(combo));
    number = i > 0 ? i : KeyOf(combo) == kMissingKey ? missingNo : int16_t{0};
    n = i > 0 ? store.TionTable(i).SiteName : remembered;
  };
  series(ObservedSeries, names_.observed, stored ? stored->TionNo : missingTionNo_, rec.SiteName,
         rec.TionNo);
  if (KeyOf(NormalSeries) != 0 || !names_.normal.empty()) {
    series(NormalSeries, names_.normal, stored ? stored->NormalNo : missingNormalNo_,
           rec.NormalName, rec.NormalNo);
  }
  rec.FirstDate = DateText(DateOf(FirstDay));
  rec.LastDate = DateText(DateOf(LastDay));
  const auto sources = TableSources(problem);
  if (!sources) return std::nullopt;
  rec.GridText = PlanSourcesText(*sources);
  return rec;
}

bool SupplyPlanForm::Untouched() const {
  return shownKey_ == 0 && PlanName->text().trimmed().isEmpty() && SourceTable->rowCount() == 0;
}

bool SupplyPlanForm::Apply() {
  hensuu& store = Store();
  if (Untouched()) return true;
  QString problem;
  const std::optional<SekkeiRecord> rec = ScreenRecord(problem);
  if (!rec) {
    GetDialogs().Message(this, kTitleCaution,
                         problem + QStringLiteral("\n計画は保存していません。"));
    return false;
  }
  int16_t index = store.SekkeiTable.IndexOf(shownKey_);
  if (shownKey_ != 0 && index == 0 &&
      !GetDialogs().YesNo(this, kTitleCaution,
                          QStringLiteral("表示している計画は削除されています。\n"
                                         "新しい計画として保存しますか"))) {
    return true;
  }
  if (index > 0) {
    if (!(store.SekkeiTable(index) == *rec)) store.SekkeiTable.Replace(index, *rec);
  } else {
    if (!store.SekkeiTable.Append(*rec)) {
      GetDialogs().Message(this, kTitleCaution, Q(TableFullMessage()));
      return false;
    }
    index = store.SekkeiCount();
    shownKey_ = store.SekkeiTable.KeyOf(index);
    PlanList->addItem(Q(rec->PlanName));
    planList_.Appended(index);
  }
  store.SekkeiCurrent = index;
  if (PlanList->item(index - 1)->text() != Q(rec->PlanName)) {
    PlanList->item(index - 1)->setText(Q(rec->PlanName));
  }
  planList_.Replaced();
  {
    const QSignalBlocker block(PlanList);
    PlanList->clearSelection();
    PlanList->setCurrentRow(index - 1);
    PlanList->item(index - 1)->setSelected(true);
  }
  return true;
}

void SupplyPlanForm::NewPlanClicked() {
  Follow();
  if (Apply()) ShowNewPlan();
}

void SupplyPlanForm::ApplyPlanClicked() {
  Follow();
  if (Untouched()) {
    GetDialogs().Message(this, kTitleCaution,
                         QStringLiteral("計画名を記入するか、供給源を追加して下さい。"));
    return;
  }
  if (Apply()) ShowPlan(Store().SekkeiTable.IndexOf(shownKey_));
}

void SupplyPlanForm::PlanListPressed() {
  const uint64_t pressed = planList_.KeyAt(PlanList->currentRow());
  Follow();
  if (!Apply()) return;
  const int16_t index = Store().SekkeiTable.IndexOf(pressed);
  ShowPlan(index > 0 ? index : Store().SekkeiCount());
}

void SupplyPlanForm::DeletePlansClicked() {
  hensuu& store = Store();
  Follow();
  if (!Apply()) return;
  if (store.SekkeiCount() == 0) {
    GetDialogs().Message(this, kTitleCaution, QStringLiteral("削除するデータがありません"));
    return;
  }
  store.SekkeiCurrent = store.SekkeiTable.IndexOf(shownKey_);
  store.DeleteKind = kDeleteSekkei;
  Context().navigation.RunDeletionDialog(this);
  planList_.Follow();
  const int16_t shown = store.SekkeiTable.IndexOf(shownKey_);
  ShowPlan(shown > 0 ? shown : store.SekkeiCount());
}

void SupplyPlanForm::SaveFileClicked() {
  Follow();
  if (!Apply()) return;
  const FileMessages messages = SaveSekkeiFile(Store(), Context().dataDir);
  if (!messages.empty()) {
    QStringList lines;
    for (const std::string& m : messages) lines << Q(m);
    GetDialogs().Message(this, kTitleCaution, lines.join(QStringLiteral("\n\n")),
                         Dialogs::Icon::Warning);
  }
}

bool SupplyPlanForm::QueryClose() {
  Follow();
  if (!Apply()) return false;
  TakeCascadeBack();
  return true;
}

// --- output --------------------------------------------------------------------------------------

QString SupplyPlanForm::PlanTitle() const {
  return FileNameFrom(Q(names_.plan), QStringLiteral("窒素供給量"));
}

QString SupplyPlanForm::TableText() const {
  FlexGrid* g = DayGrid;
  if (!g->SingleCellSelected()) return ClipboardRows(g->Clip());
  return ClipboardRows(Q(g->Cells().ToGridText()));
}

void SupplyPlanForm::SelectAllDays() {
  DayGrid->SetRow(0);
  DayGrid->SetCol(0);
  DayGrid->SetRowSel(DayGrid->Rows() - 1);
  DayGrid->SetColSel(DayGrid->Cols() - 1);
}

void SupplyPlanForm::CopyTableClicked() {
  QClipboard* clipboard = QGuiApplication::clipboard();
  clipboard->clear();
  clipboard->setText(TableText());
}

bool SupplyPlanForm::ReadyForOutput() {
  // The plan as the tables hold it now (every edit on the screen has
  // recomputed it already).
  Follow();
  if (problem_.isEmpty()) return true;
  GetDialogs().Message(this, kTitleCaution, problem_);
  return false;
}

void SupplyPlanForm::ExportClicked() {
  if (!ReadyForOutput()) return;
  const SupplyNames names = names_;
  const SupplyInput input = input_;
  const SupplyResult result = result_;
  ExportToFile(
      this, GetDialogs(), QStringLiteral("エクスポート"), PlanTitle() + QStringLiteral(".xlsx"),
      kXlsxFilter + QStringLiteral(";;") + kCsvFilter,
      [&](const std::filesystem::path& out) { return ExportSupply(names, input, result, out); });
}

void SupplyPlanForm::PrintClicked() {
  if (!Context().printing || !ReadyForOutput()) return;
  RunPriOnlySelect(*Context().printing, GetDialogs(), this);
  // The chart as the picture "画像を保存" writes, at twice the screen's pixels,
  // once the chart drawn anew has been laid out.
  SettleChart();
  const QImage chart =
      QImage::fromData(RenderPicture({ChartPanel}, PictureFormat::Png, Q(names_.plan)));
  PrintWith(
      *Context().printing, this, GetDialogs(), PlanTitle() + QStringLiteral(".pdf"),
      [&](DocumentSink& sink) { return PrintSupplyReport(sink, names_, input_, result_, chart); });
}

void SupplyPlanForm::SettleChart() {
  // Qt Charts places its axes and labels when the events it posted are
  // handled; the user's input waits meanwhile.
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  // The axes of the chart drawn before go only now.
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void SupplyPlanForm::SavePictureClicked() {
  SettleChart();
  SaveChartPicture(this, GetDialogs(), {ChartPanel}, PlanTitle());
}

}  // namespace kelvora

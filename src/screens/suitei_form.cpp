#include "screens/suitei_form.h"

#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QMenu>
#include <QMenuBar>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "kinetics/estimation_export.h"
#include "kinetics/lab_table.h"
#include "kinetics/model_kind.h"
#include "print/file_export.h"
#include "screens/controls.h"
#include "screens/data_grid.h"
#include "screens/dialogs.h"
#include "screens/flex_grid.h"
#include "screens/qtext.h"
#include "screens/twips.h"
#include "store/hensuu.h"
#include "store/number_text.h"

namespace kelvora {

namespace {

QPushButton* CaptionButton(QWidget* parent) {
  auto* b = new QPushButton(parent);
  b->setFixedWidth(TwipsToPixels(360));
  return b;
}

// One estimation of a batch, computed before anything is stored.
struct Run {
  int16_t para = 0;
  int16_t tion = 0;
  int series = 0;  // index into the batch's prepared series
  EstimateResult result;
};

QString PairText(const ParaRecord& para, const TionRecord& tion) {
  return QStringLiteral("土壌(肥料)名「%1」と地温データ名「%2」の推定計算ができません。\n")
      .arg(Q(para.SoilName), Q(tion.SiteName));
}

// The refusal of one pair, or an empty text when it can be estimated.
QString CheckPair(const ParaRecord& para, const TionRecord& tion, const SeriesDays& days,
                  const EstimateResult& result) {
  if (IsValidModel(para.ModelNo) && !IsPossibleTemperature(para.StdTemp)) {
    return PairText(para, tion) + QString::fromUtf8(kStandardTempTooLow);
  }
  if (IsValidModel(para.ModelNo)) {
    for (int d = 1; d <= days.seriesDays; ++d) {
      const std::string& t = days.seriesTemps[d];
      if (t.empty()) continue;
      std::optional<double> v = ParseDouble(t);
      if (v && !IsPossibleTemperature(static_cast<float>(*v))) {
        return PairText(para, tion) +
               QStringLiteral("%1 の地温「%2」が-273℃以下です。").arg(Q(days.seriesDates[d]), Q(t));
      }
    }
  }
  if (!result.ok) return PairText(para, tion) + Q(result.message);
  return QString();
}

}  // namespace

Suitei_Form::Suitei_Form(const ScreenContext& context, QWidget* parent)
    : ChildScreen(context, Screen::Suitei_Form, parent),
      MenuBar(new QMenuBar(this)),
      Frame3(new QGroupBox(QStringLiteral("① オプション選択"), this)),
      Option1(new QRadioButton(QStringLiteral("温度データ：１つ選択"), Frame3)),
      Option2(new QRadioButton(QStringLiteral("温度データ：複数選択"), Frame3)),
      Frame2(new QGroupBox(QStringLiteral("② 温度データの選択"), this)),
      List2(new ListBox(Frame2)),
      Label1{new QLabel(QStringLiteral("開始日"), Frame2),
             new QLabel(QStringLiteral("終了日"), Frame2)},
      Combo1{new QComboBox(Frame2), new QComboBox(Frame2)},
      Label8(new QLabel(QStringLiteral("複数選択の場合、一つめを"), Frame2)),
      Label7(new QLabel(QStringLiteral("選択後、Shift + やCtrl +"), Frame2)),
      Label9(new QLabel(QStringLiteral("マウスの左クリックで選択"), Frame2)),
      Label15(new QLabel(QStringLiteral("して下さい。"), Frame2)),
      Frame1(new QGroupBox(QStringLiteral("③ 土壌・肥料の選択"), this)),
      List1(new ListBox(Frame1)),
      Label13(new QLabel(QStringLiteral("複数選択が可能です。"), Frame1)),
      Label11(new QLabel(QStringLiteral("複数選択の場合、一つめを"), Frame1)),
      Label10(new QLabel(QStringLiteral("選択後、Shift + やCtrl +"), Frame1)),
      Label12(new QLabel(QStringLiteral("マウスの左クリックで選択"), Frame1)),
      Label14(new QLabel(QStringLiteral("して下さい。"), Frame1)),
      Command1(CaptionButton(this)),
      Text1(new CaptionBox(QStringLiteral("④ 計算"), this)),
      Command2(new QPushButton(QStringLiteral("終了"), this)),
      Frame4(new QGroupBox(QStringLiteral("無機化推定の結果"), this)),
      Label2{new QLabel(QStringLiteral("土壌(肥料)名"), Frame4),
             new QLabel(QStringLiteral("地温データ名"), Frame4)},
      Text2{new QLineEdit(Frame4), new QLineEdit(Frame4)},
      Label5(new QLabel(QStringLiteral("式："), Frame4)),
      Label6(new QLabel(Frame4)),
      Label3{new QLabel(Frame4), new QLabel(Frame4)},
      Label4(new QLabel(QStringLiteral("／"), Frame4)),
      Command8(new QPushButton(QStringLiteral("＜＜"), Frame4)),
      Command3(new QPushButton(QStringLiteral("＜"), Frame4)),
      Command7(new QPushButton(QStringLiteral("＞"), Frame4)),
      Command9(new QPushButton(QStringLiteral("＞＞"), Frame4)),
      MSFlexGrid1(new FlexGrid(Frame4)),
      Command11(new QPushButton(QStringLiteral("データ削除"), Frame4)),
      Command6(new QPushButton(QStringLiteral("印刷"), Frame4)),
      Command10(new QPushButton(QStringLiteral("グラフ表示"), Frame4)),
      Command12(new QPushButton(QStringLiteral("エクスポート"), Frame4)),
      Edit(new QMenu(QStringLiteral("編集"), this)),
      Edit_Copy(Edit->addAction(QStringLiteral("コピー"))),
      Edit_Select_All(Edit->addAction(QStringLiteral("全てを選択"))),
      paraList_(*List1, ListMirror::Of(context.store.ParaTable,
                                       [](const ParaRecord& r) { return Q(r.SoilName); })),
      tionList_(*List2, ListMirror::Of(context.store.TionTable,
                                       [](const TionRecord& r) { return Q(r.SiteName); })) {
  setObjectName(QStringLiteral("Suitei_Form"));
  setWindowTitle(ScreenCaption(Screen::Suitei_Form));
  Edit->setObjectName(QStringLiteral("Edit"));
  Edit_Copy->setObjectName(QStringLiteral("Edit_Copy"));
  Edit_Copy->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
  Edit_Select_All->setObjectName(QStringLiteral("Edit_Select_All"));
  Edit_Select_All->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_A));
  for (QAction* a : {Edit_Copy, Edit_Select_All}) {
    a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    addAction(a);
  }
  MenuBar->addMenu(Edit);
  MenuBar->addMenu(MakeHelpMenu());
  BuildLayout();

  connect(Option1, &QRadioButton::clicked, this, &Suitei_Form::Option1_Click);
  connect(Option2, &QRadioButton::clicked, this, &Suitei_Form::Option2_Click);
  List2->onMouseDown = [this] { List2_Click(); };
  connect(List2, &QListWidget::currentRowChanged, this, [this] { List2_Click(); });
  connect(Command1, &QPushButton::clicked, this, &Suitei_Form::Command1_Click);
  connect(Text1, &CaptionBox::clicked, Command1, &QPushButton::click);
  connect(Command2, &QPushButton::clicked, this, &Suitei_Form::Command2_Click);
  connect(Command8, &QPushButton::clicked, this, &Suitei_Form::Command8_Click);
  connect(Command3, &QPushButton::clicked, this, &Suitei_Form::Command3_Click);
  connect(Command7, &QPushButton::clicked, this, &Suitei_Form::Command7_Click);
  connect(Command9, &QPushButton::clicked, this, &Suitei_Form::Command9_Click);
  connect(Command10, &QPushButton::clicked, this, &Suitei_Form::Command10_Click);
  connect(Command6, &QPushButton::clicked, this, &Suitei_Form::Command6_Click);
  connect(Command11, &QPushButton::clicked, this, &Suitei_Form::Command11_Click);
  connect(Command12, &QPushButton::clicked, this, &Suitei_Form::Command12_Click);
  connect(MSFlexGrid1, &FlexGrid::MouseDown, this, &Suitei_Form::MSFlexGrid1_MouseDown);
  connect(Edit_Copy, &QAction::triggered, this, &Suitei_Form::Edit_Copy_Click);
  connect(Edit_Select_All, &QAction::triggered, this, &Suitei_Form::Edit_Select_All_Click);

  // Loading.
  Option1->setChecked(true);
  Option1_Click();
  MSFlexGrid1->SetCols(2);
  MSFlexGrid1->SetRows(2);
  MSFlexGrid1->SetFixedCols(1);
  MSFlexGrid1->SetFixedRows(1);
  // 1000 twips a column, wider when the font would cut a date or the unit.
  const QFontMetrics fm(MSFlexGrid1->font());
  const int needed = std::max(fm.horizontalAdvance(QStringLiteral("0000/00/00")),
                              fm.horizontalAdvance(QStringLiteral("(mg/100g)"))) +
                     12;
  const int width = std::max(1000, static_cast<int>(std::ceil(needed * 1440.0 / LogicalDpi())));
  for (int c = 0; c < 2; ++c) {
    MSFlexGrid1->SetColWidth(c, width);
    MSFlexGrid1->SetColAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
  }
  hensuu& store = Store();
  if (store.ParaCount() < 1) {
    List1->hide();
    GetDialogs().Message(this, kTitleCaution,
                         QStringLiteral("計算した土壌のパラメーターがありません\n"
                                        "最初にパラメータを計算して下さい"));
  } else {
    paraList_.Fill();
    List1->setCurrentRow(0, QItemSelectionModel::NoUpdate);
  }
  if (store.TionCount() < 1) {
    List2->hide();
    GetDialogs().Message(this, kTitleCaution,
                         QStringLiteral("記入された温度データがありません\n"
                                        "最初に温度データを記入して下さい"));
  } else {
    tionList_.Fill();
    {
      QSignalBlocker block(List2);
      List2->setCurrentRow(0, QItemSelectionModel::NoUpdate);
    }
    List2_Click();
  }
  for (int i = 0; i < 2; ++i) {
    Label1[i]->hide();
    Combo1[i]->hide();
  }
  store.SuiteiCurrent = store.SuiteiCount();
  ShowPosition();
  SuiData_Paste();
}

void Suitei_Form::BuildLayout() {
  List1->setObjectName(QStringLiteral("List1"));
  List2->setObjectName(QStringLiteral("List2"));
  List1->setAccessibleName(Frame1->title());
  List2->setAccessibleName(Frame2->title());
  for (ListBox* l : {List1, List2}) l->setSelectionMode(QAbstractItemView::ExtendedSelection);
  for (int i = 0; i < 2; ++i) {
    Combo1[i]->setObjectName(QStringLiteral("Combo1_%1").arg(i));
    Combo1[i]->setAccessibleName(Label1[i]->text());
    Combo1[i]->setMaxVisibleItems(20);
    KeepSpaceWhenHidden(Label1[i]);
    KeepSpaceWhenHidden(Combo1[i]);
    Text2[i]->setObjectName(QStringLiteral("Text2_%1").arg(i));
    Text2[i]->setAccessibleName(Label2[i]->text());
    Text2[i]->setReadOnly(true);
    Label3[i]->setObjectName(QStringLiteral("Label3_%1").arg(i));
    Label3[i]->setAlignment(Qt::AlignCenter);
    Label3[i]->setMinimumWidth(QFontMetrics(font()).horizontalAdvance(QStringLiteral("00000")));
  }
  Label6->setObjectName(QStringLiteral("Label6"));
  Label6->setAccessibleName(QStringLiteral("モデル式"));
  MSFlexGrid1->setObjectName(QStringLiteral("MSFlexGrid1"));
  MSFlexGrid1->setAccessibleName(Frame4->title());
  Command1->setObjectName(QStringLiteral("Command1"));
  Command1->setAccessibleName(Text1->text());
  Text1->setObjectName(QStringLiteral("Text1"));
  Text1->setAccessibleName(Text1->text());
  for (QPushButton* b : {Command2, Command8, Command3, Command7, Command9, Command11, Command6,
                         Command10, Command12}) {
    b->setAccessibleName(b->text());
    b->setAutoDefault(false);
  }
  Command1->setAutoDefault(false);
  for (QLabel* l : {Label8, Label7, Label9, Label15}) KeepSpaceWhenHidden(l);

  auto* options = new QVBoxLayout(Frame3);
  options->addWidget(Option1);
  options->addWidget(Option2);

  auto* series = new QVBoxLayout(Frame2);
  series->addWidget(List2, 1);
  auto* dates = new QGridLayout;
  dates->addWidget(Label1[0], 0, 0);
  dates->addWidget(Combo1[0], 0, 1);
  dates->addWidget(Label1[1], 1, 0);
  dates->addWidget(Combo1[1], 1, 1);
  dates->setColumnStretch(1, 1);
  series->addLayout(dates);
  for (QLabel* l : {Label8, Label7, Label9, Label15}) series->addWidget(l);
  series->setSpacing(3);

  auto* params = new QVBoxLayout(Frame1);
  params->addWidget(List1, 1);
  for (QLabel* l : {Label13, Label11, Label10, Label12, Label14}) params->addWidget(l);
  params->setSpacing(3);

  auto* left = new QVBoxLayout;
  left->addWidget(Frame3);
  left->addWidget(Frame2, 1);

  auto* calc = new QHBoxLayout;
  calc->setSpacing(2);
  calc->addWidget(Command1);
  calc->addWidget(Text1, 1);
  auto* middle = new QVBoxLayout;
  middle->addWidget(Frame1, 1);
  middle->addSpacing(6);
  middle->addLayout(calc);
  middle->addSpacing(6);
  middle->addWidget(Command2);

  auto* header = new QGridLayout;
  header->addWidget(Label2[0], 0, 0);
  header->addWidget(Text2[0], 0, 1, 1, 3);
  header->addWidget(Label2[1], 1, 0);
  header->addWidget(Text2[1], 1, 1, 1, 3);
  header->addWidget(Label5, 2, 0, Qt::AlignRight);
  header->addWidget(Label6, 2, 1, 1, 3);
  header->setColumnStretch(1, 1);
  auto* paging = new QHBoxLayout;
  paging->addWidget(Command8);
  paging->addWidget(Command3);
  paging->addWidget(Label3[0]);
  paging->addWidget(Label4);
  paging->addWidget(Label3[1]);
  paging->addWidget(Command7);
  paging->addWidget(Command9);
  for (QPushButton* b : {Command8, Command3, Command7, Command9}) {
    b->setFixedWidth(QFontMetrics(b->font()).horizontalAdvance(QStringLiteral("＞＞")) + 20);
  }
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(Command11);
  bottom->addWidget(Command6);
  bottom->addWidget(Command10);
  bottom->addWidget(Command12);
  auto* result = new QVBoxLayout(Frame4);
  result->addLayout(header);
  result->addLayout(paging);
  result->addWidget(MSFlexGrid1, 1);
  result->addLayout(bottom);

  auto* body = new QHBoxLayout;
  body->addLayout(left, 3);
  body->addLayout(middle, 3);
  body->addWidget(Frame4, 4);
  auto* root = new QVBoxLayout(this);
  root->setMenuBar(MenuBar);
  root->setContentsMargins(8, 2, 8, 4);
  // Small enough for a work area of 1024 x 600 with every button in reach.
  for (ListBox* l : {List1, List2}) l->setMinimumHeight(fontMetrics().height() * 3);
  root->addLayout(body, 1);
}

std::vector<int> Suitei_Form::SelectedRows(const ListBox* list) {
  std::vector<int> rows;
  if (list->isHidden()) return rows;
  for (int i = 0; i < list->count(); ++i) {
    if (list->item(i)->isSelected()) rows.push_back(i);
  }
  return rows;
}

// --- options and the series list -------------------------------------------------------------

void Suitei_Form::Option1_Click() {
  for (int i = 0; i < 2; ++i) {
    Label1[i]->show();
    Combo1[i]->show();
  }
  for (QLabel* l : {Label8, Label7, Label9, Label15}) l->hide();
  List2_Click();
}

void Suitei_Form::Option2_Click() {
  for (int i = 0; i < 2; ++i) {
    Label1[i]->hide();
    Combo1[i]->hide();
  }
  for (QLabel* l : {Label8, Label7, Label9, Label15}) l->show();
}

void Suitei_Form::List2_Click() {
  if (!Option1->isChecked()) return;
  for (int i = 0; i < 2; ++i) {
    Label1[i]->show();
    Combo1[i]->show();
  }
  FillDates();
}

void Suitei_Form::FillDates() {
  // A list left behind by changes elsewhere names its records anew first.
  if (tionList_.Follow()) List2->setVisible(Store().TionCount() > 0);
  if (List2->count() == 0) return;
  if (List2->currentRow() < 0) {
    QSignalBlocker block(List2);
    List2->setCurrentRow(List2->count() - 1, QItemSelectionModel::NoUpdate);
  }
  const int16_t series = tionList_.IndexAt(List2->currentRow());
  if (series == 0) return;
  Store().TionCurrent = series;
  Data_Separate();
  datesKey_ = Store().TionTable.KeyOf(series);
  datesText_ = Store().TionTable(series).GridText;
  QStringList dates;
  dates.reserve(Series.seriesDays);
  for (int d = 1; d <= Series.seriesDays; ++d) dates << Q(Series.seriesDates[d]);
  for (QComboBox* c : Combo1) {
    c->clear();
    c->addItems(dates);
  }
  Combo1[0]->setCurrentIndex(dates.isEmpty() ? -1 : 0);
  Combo1[1]->setCurrentIndex(static_cast<int>(dates.size()) - 1);
}

void Suitei_Form::Follow() {
  hensuu& store = Store();
  if (paraList_.Follow()) List1->setVisible(store.ParaCount() > 0);
  if (tionList_.Follow()) {
    List2->setVisible(store.TionCount() > 0);
    // The date lists belong to the series with the cursor: filled again when
    // that series is gone or was changed.
    const int16_t series = tionList_.IndexAt(List2->currentRow());
    if (series == 0 || store.TionTable.KeyOf(series) != datesKey_ ||
        store.TionTable(series).GridText != datesText_) {
      if (series == 0) {
        for (QComboBox* c : Combo1) c->clear();
        datesKey_ = 0;
        datesText_.clear();
        Series = SeriesDays{};
      }
      if (Option1->isChecked()) FillDates();
    }
  }
  const int16_t shown = store.SuiteiTable.IndexOf(shownKey_);
  if (shown > 0) {
    store.SuiteiCurrent = shown;
    ShowPosition();
  } else if (shownKey_ != 0 || store.SuiteiCount() > 0) {
    // The shown estimation is gone: the last one is shown.
    store.SuiteiCurrent = store.SuiteiCount();
    SuiData_Paste();
  } else {
    ShowPosition();
  }
}

void Suitei_Form::Activated() { Follow(); }

void Suitei_Form::Data_Separate() {
  const hensuu& store = Store();
  Series = kelvora::Data_Separate(store.TionTable(store.TionCurrent).GridText);
}

// --- the estimation ---------------------------------------------------------------------------

void Suitei_Form::Suitei_Cal() {
  hensuu& store = Store();
  const ParaRecord& para = store.ParaTable(store.ParaCurrent);
  const TionRecord& tion = store.TionTable(store.TionCurrent);
  EstimateResult result = EstimateSeries(para, Series.seriesTemps, Series.seriesDays);
  const QString refusal = CheckPair(para, tion, Series, result);
  if (!refusal.isEmpty()) {
    GetDialogs().Message(this, kTitleCaution, refusal);
    return;
  }
  if (store.SuiteiCount() >= kMaxRecords) {
    GetDialogs().Message(
        this, kTitleCaution,
        Q("推定結果は" + std::to_string(kMaxRecords) + "件までしか保存できません。"));
    return;
  }
  SuiteiRecord rec;
  rec.ModelNo = para.ModelNo;
  rec.SoilName = para.SoilName;
  rec.SiteName = tion.SiteName;
  rec.StdTemp = para.StdTemp;
  rec.GridText = EstimateGridText(para, Series, result);
  if (!IsValidModel(para.ModelNo)) {
    // An unknown model leaves the unit cell as the grid had it.
    const std::string head = "年/月/日\t";
    rec.GridText.insert(head.size(), MSFlexGrid1->TextMatrix(0, 1).toStdString());
  }
  store.SuiteiTable.Append(rec);
  store.SuiteiCurrent = store.SuiteiCount();
  ShowEstimation(store.SuiteiCurrent);
}

void Suitei_Form::Command1_Click() {
  hensuu& store = Store();
  // The lists name the records they show, whatever changed since.
  Follow();
  std::vector<int> paras;
  std::vector<int> tions;
  for (int row : SelectedRows(List1)) {
    if (const int16_t i = paraList_.IndexAt(row); i > 0) paras.push_back(i - 1);
  }
  for (int row : SelectedRows(List2)) {
    if (const int16_t i = tionList_.IndexAt(row); i > 0) tions.push_back(i - 1);
  }
  if (paras.empty()) {
    GetDialogs().Message(this, kTitleCaution, QStringLiteral("土壌を選択して下さい"));
    return;
  }
  if (tions.empty()) {
    GetDialogs().Message(this, kTitleCaution, QStringLiteral("温度データを選択して下さい"));
    return;
  }
  const bool one = Option1->isChecked();
  const int start = Combo1[0]->currentIndex();
  const int end = Combo1[1]->currentIndex();
  if (one) {
    if (start > end) {
      GetDialogs().Message(this, kTitleCaution,
                           QStringLiteral("開始日と終了日の設定が間違っています"));
      return;
    }
    if (tions.size() >= 2) {
      GetDialogs().Message(this, kTitleCaution,
                           QStringLiteral("温度データが複数選択されています\n"
                                          "複数選択をチェックしてください"));
      return;
    }
  }
  const size_t runs = paras.size() * tions.size();
  if (static_cast<size_t>(store.SuiteiCount()) + runs > static_cast<size_t>(kMaxRecords)) {
    GetDialogs().Message(
        this, kTitleCaution,
        Q("推定結果は" + std::to_string(kMaxRecords) + "件までしか保存できません。\n今ある" +
          std::to_string(store.SuiteiCount()) + "件に" + std::to_string(runs) +
          "件を加えることはできません。\nデータ削除で不要な推定結果を削除して下さい。"));
    return;
  }

  // Every pair is estimated and checked before anything is stored, so a
  // refused pair leaves the table as it was.
  QApplication::setOverrideCursor(Qt::WaitCursor);
  std::vector<SeriesDays> days;
  std::vector<Run> batch;
  days.reserve(tions.size());
  batch.reserve(runs);
  for (int t : tions) {
    SeriesDays d = kelvora::Data_Separate(store.TionTable(static_cast<int16_t>(t + 1)).GridText);
    if (one && start >= 0 && d.seriesDays > end - start + 1) d = CutSeries(d, start + 1, end + 1);
    const PreparedSeries prepared = PrepareSeries(d.seriesTemps, d.seriesDays);
    days.push_back(std::move(d));
    for (int p : paras) {
      Run run;
      run.para = static_cast<int16_t>(p + 1);
      run.tion = static_cast<int16_t>(t + 1);
      run.series = static_cast<int>(days.size()) - 1;
      const ParaRecord& para = store.ParaTable(run.para);
      run.result = EstimateSeries(para, prepared);
      const QString refusal = CheckPair(para, store.TionTable(run.tion), days.back(), run.result);
      if (!refusal.isEmpty()) {
        QApplication::restoreOverrideCursor();
        GetDialogs().Message(this, kTitleCaution, refusal);
        return;
      }
      batch.push_back(std::move(run));
    }
  }

  // The unit cell of an unknown model stays as the previous estimation left it.
  std::string unit = MSFlexGrid1->TextMatrix(0, 1).toStdString();
  for (const Run& run : batch) {
    const ParaRecord& para = store.ParaTable(run.para);
    SuiteiRecord rec;
    rec.ModelNo = para.ModelNo;
    rec.SoilName = para.SoilName;
    rec.SiteName = store.TionTable(run.tion).SiteName;
    rec.StdTemp = para.StdTemp;
    rec.GridText = EstimateGridText(para, days[run.series], run.result);
    if (IsValidModel(para.ModelNo)) {
      unit = AmountUnitHeader(para.ModelNo);
    } else {
      rec.GridText.insert(std::string("年/月/日\t").size(), unit);
    }
    store.SuiteiTable.Append(std::move(rec));
  }
  const Run& last = batch.back();
  store.TionCurrent = last.tion;
  store.ParaCurrent = last.para;
  Series = std::move(days.back());
  store.SuiteiCurrent = store.SuiteiCount();
  ShowEstimation(store.SuiteiCurrent);
  QApplication::restoreOverrideCursor();
}

// --- showing and paging -----------------------------------------------------------------------

void Suitei_Form::ShowPosition() {
  const hensuu& store = Store();
  Label3[0]->setText(Q(std::to_string(store.SuiteiCurrent)));
  Label3[1]->setText(Q(std::to_string(store.SuiteiCount())));
  // A screen reader reads the numbers with what they mean.
  Label3[0]->setAccessibleName(QStringLiteral("表示中の番号 %1").arg(Label3[0]->text()));
  Label3[1]->setAccessibleName(QStringLiteral("推定結果の数 %1").arg(Label3[1]->text()));
}

void Suitei_Form::ShowEstimation(int16_t index) {
  const SuiteiRecord& rec = Store().SuiteiTable(index);
  shownKey_ = Store().SuiteiTable.KeyOf(index);
  Text2[0]->setText(Q(rec.SoilName));
  Text2[1]->setText(Q(rec.SiteName));
  // The record's text is pasted over the grid from cell (0, 0): cells the
  // text does not reach keep what they showed.
  const int rows = GridTextRows(rec.GridText);
  MSFlexGrid1->SetRows(rows);
  GridTable cells = MSFlexGrid1->Cells();
  cells.WriteBlock(rec.GridText, 0, 0, rows - 1, 1);
  if (IsValidModel(rec.ModelNo)) {
    Label6->setText(Q(ModelName(rec.ModelNo)));
    cells.Cell(0, 1) = AmountUnitHeader(rec.ModelNo);
  }
  MSFlexGrid1->SetCells(cells);
  MSFlexGrid1->SetRow(1);
  MSFlexGrid1->SetCol(1);
  MSFlexGrid1->EnsureVisible(1, 1);
  ShowPosition();
}

void Suitei_Form::SuiData_Paste() {
  hensuu& store = Store();
  if (store.SuiteiCount() == 0) {
    shownKey_ = 0;
    Text2[0]->clear();
    Text2[1]->clear();
    ShowPosition();
    Label6->clear();
    MSFlexGrid1->ClearText();
    return;
  }
  if (store.SuiteiCurrent < 1 || store.SuiteiCurrent > store.SuiteiCount()) {
    store.SuiteiCurrent = store.SuiteiCount();
  }
  ShowEstimation(store.SuiteiCurrent);
}

void Suitei_Form::Command8_Click() {
  hensuu& store = Store();
  Follow();
  if (store.SuiteiCount() < 1 || store.SuiteiCurrent == 1) return;
  store.SuiteiCurrent = 1;
  SuiData_Paste();
}

void Suitei_Form::Command3_Click() {
  hensuu& store = Store();
  Follow();
  if (store.SuiteiCurrent < 2) return;
  --store.SuiteiCurrent;
  SuiData_Paste();
}

void Suitei_Form::Command7_Click() {
  hensuu& store = Store();
  Follow();
  if (store.SuiteiCurrent >= store.SuiteiCount()) return;
  ++store.SuiteiCurrent;
  SuiData_Paste();
}

void Suitei_Form::Command9_Click() {
  hensuu& store = Store();
  Follow();
  if (store.SuiteiCount() < 1 || store.SuiteiCurrent == store.SuiteiCount()) return;
  store.SuiteiCurrent = store.SuiteiCount();
  SuiData_Paste();
}

// --- the other buttons ------------------------------------------------------------------------

void Suitei_Form::Command10_Click() {
  Follow();
  if (Store().SuiteiCount() == 0) {
    GetDialogs().Message(this, kTitleCaution, QStringLiteral("表示するデータがありません"));
    return;
  }
  const int rows = MSFlexGrid1->Rows();
  GraphTable.clear();
  GraphTable.reserve(rows > 0 ? rows - 1 : 0);
  for (int r = 1; r < rows; ++r) {
    GraphTable.push_back({MSFlexGrid1->TextMatrix(r, 0), MSFlexGrid1->TextMatrix(r, 1)});
  }
  // The grid shows this record: the chart's captions and unit come from it,
  // not from wherever SuiteiCurrent was moved meanwhile (printing moves it).
  GraphRecord = Store().SuiteiTable(Store().SuiteiCurrent);
  Context().navigation.OpenChildScreen(Screen::Suitei_Graph, Navigation::CascadeOrder::LoadFirst,
                                       QSize(11400, 8400));
}

void Suitei_Form::Command6_Click() {
  // The print window offers the shown estimation.
  Follow();
  Store().PrintKind = 2;
  Context().navigation.ShowPrintSelection();
}

void Suitei_Form::Command11_Click() {
  hensuu& store = Store();
  Follow();
  if (store.SuiteiCount() == 0) return;
  store.DeleteKind = 7;
  Context().navigation.RunDeletionDialog(this);
  SuiData_Paste();
}

void Suitei_Form::Command12_Click() {
  Follow();
  const hensuu& st = Store();
  if (st.SuiteiCount() == 0) {
    GetDialogs().Message(this, kTitleCaution, QStringLiteral("書き出すデータがありません"));
    return;
  }
  std::vector<int> all(static_cast<size_t>(st.SuiteiCount()));
  for (int i = 0; i < st.SuiteiCount(); ++i) all[static_cast<size_t>(i)] = i;
  ExportToFile(
      this, GetDialogs(), QStringLiteral("エクスポート"), QStringLiteral("無機化推定.xlsx"),
      kXlsxFilter + QStringLiteral(";;") + kCsvFilter,
      [&st, &all](const std::filesystem::path& out) { return ExportEstimations(st, all, out); });
}

void Suitei_Form::Command2_Click() { CloseScreen(); }

// --- the result grid's menu -------------------------------------------------------------------

void Suitei_Form::MSFlexGrid1_MouseDown(Qt::MouseButton button) {
  if (button != Qt::RightButton) return;
  FlexGrid* g = MSFlexGrid1;
  const int r = g->MouseRow();
  const int c = g->MouseCol();
  const int top = std::min(g->Row(), g->RowSel());
  const int bottom = std::max(g->Row(), g->RowSel());
  const int leftCol = std::min(g->Col(), g->ColSel());
  const int rightCol = std::max(g->Col(), g->ColSel());
  const bool inside = r >= top && r <= bottom && c >= leftCol && c <= rightCol;
  if (g->SingleCellSelected() || !inside) {
    if (r < 0 || c < 0) return;
    g->SetRow(r);
    g->SetCol(c);
  }
  GetDialogs().Popup(*Edit, QCursor::pos());
}

void Suitei_Form::Edit_Copy_Click() {
  QClipboard* clipboard = QGuiApplication::clipboard();
  clipboard->clear();
  clipboard->setText(ClipboardRows(MSFlexGrid1->Clip()));
}

void Suitei_Form::Edit_Select_All_Click() {
  FlexGrid* g = MSFlexGrid1;
  g->SetRow(0);
  g->SetCol(0);
  g->SetRowSel(g->Rows() - 1);
  g->SetColSel(g->Cols() - 1);
}

}  // namespace kelvora

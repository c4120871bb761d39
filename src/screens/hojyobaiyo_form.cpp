#include "screens/hojyobaiyo_form.h"

#include <QDate>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QMenuBar>
#include <QStringList>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "kinetics/lab_table.h"
#include "screens/batch_fit_window.h"
#include "screens/dialogs.h"
#include "screens/fit_runner.h"
#include "screens/qtext.h"
#include "screens/twips.h"
#include "store/data_files.h"
#include "store/date_text.h"
#include "store/grid_text.h"
#include "store/hensuu.h"

namespace kelvora {

namespace {

constexpr int kGridRows = 100;
constexpr int kGridCols = 3;
constexpr int kGridColWidthTwips = 1000;
const QColor kHeaderColor(224, 224, 224);
// How many of the days without a temperature the question names.
constexpr int kNamedMissingDays = 3;

QComboBox* DateBox(QWidget* parent, int widthTwips) {
  auto* c = new QComboBox(parent);
  c->setEditable(true);
  c->setInsertPolicy(QComboBox::NoInsert);
  // What is typed is what counts: "200" must not silently become "2000".
  c->setCompleter(nullptr);
  c->setMinimumWidth(TwipsToPixels(widthTwips));
  return c;
}

void Fill(QComboBox* box, int from, int to) {
  for (int v = from; v <= to; ++v) box->addItem(QString::number(v));
}

}  // namespace

HojyoBaiyo_Form::HojyoBaiyo_Form(const ScreenContext& context, QWidget* parent)
    : ChildScreen(context, Screen::HojyoBaiyo_Form, parent),
      MenuBar(new QMenuBar(this)),
      Grid(new DataGrid(context.dialogs, this)),
      MSFlexGrid1(Grid->MSFlexGrid1),
      Text_Edit(Grid->Text_Edit),
      Text3(new CaptionBox(QStringLiteral("① 新規作成"), this)),
      Command7(CaptionButton(this)),
      Frame4(new QGroupBox(QStringLiteral("日付入力"), this)),
      Frame6(new QGroupBox(QStringLiteral("② 最初の日"), Frame4)),
      Frame5(new QGroupBox(QStringLiteral("③ 最後の日"), Frame4)),
      Combo1(DateBox(Frame6, 900)),
      Combo2(DateBox(Frame6, 650)),
      Combo3(DateBox(Frame6, 650)),
      Combo4(DateBox(Frame5, 900)),
      Combo5(DateBox(Frame5, 650)),
      Combo6(DateBox(Frame5, 650)),
      Text4(new CaptionBox(QStringLiteral("④ 確定"), Frame4)),
      Command9(CaptionButton(Frame4)),
      Label3(new QLabel(QStringLiteral("⑤ 培養結果(窒素無機化量)の記入"), this)),
      Label1(new QLabel(QStringLiteral("⑥ 土壌名（肥料名）"), this)),
      Text_Dojyo(new QLineEdit(this)),
      Label8(new QLabel(QStringLiteral("⑦ 標準温度"), this)),
      Text1(new QLineEdit(this)),
      Label9(new QLabel(QStringLiteral("℃"), this)),
      Frame3(new QGroupBox(QStringLiteral("⑧ オプション"), this)),
      Option1(new QRadioButton(QStringLiteral("土壌     　（mg/100g）"), Frame3)),
      Option2(new QRadioButton(QStringLiteral("被覆肥料　（％）"), Frame3)),
      Label7(new QLabel(QStringLiteral("土壌      ： （mg/100g)"), this)),
      Label2(new QLabel(QStringLiteral("被覆肥料： （％）"), this)),
      Text5(new CaptionBox(QStringLiteral("⑨ 適用"), this)),
      Command3(CaptionButton(this)),
      Text2(new CaptionBox(QStringLiteral("⑩ パラメータ算出"), this)),
      Command5(CaptionButton(this)),
      Frame1(new StoredRecordsPanel(QStringLiteral("データ"), 2600, this)),
      List1(Frame1->List1),
      Command1(Frame1->Command1),
      Command8(Frame1->Command8),
      Command4(new QPushButton(QStringLiteral("キャンセル"), this)),
      Command6(new QPushButton(QStringLiteral("終了"), this)),
      flow_(*this, *Grid, *List1, *Text_Dojyo, Deleting,
            RecordFlow::Options{
                .newRecordName = QStringLiteral("新規土壌"),
                // Pending edits are dropped by "データ削除" on this screen.
                .applyBeforeDeletion = false,
                .saveSelection = RecordFlow::SaveSelection::AsApplied,
                .storeEmptyFirstRow = true,
                .deleteKind = 4,
                .headerTexts = {QStringLiteral("年/月/日"), QStringLiteral("地温(℃)"),
                                QStringLiteral("無機化量")},
                .recordModeWidgets = {Command1, Command7, Text3, Command5, Text2, Command8},
                .newModeWidgets = {Command4},
            },
            Binding()) {
  setObjectName(QStringLiteral("HojyoBaiyo_Form"));
  setWindowTitle(ScreenCaption(Screen::HojyoBaiyo_Form));
  BuildLayout();
  Grid->SetFirstPointedCell(1);

  connect(Command7, &QPushButton::clicked, this, &HojyoBaiyo_Form::Command7_Click);
  connect(Text3, &CaptionBox::clicked, Command7, &QPushButton::click);
  connect(Command9, &QPushButton::clicked, this, &HojyoBaiyo_Form::Command9_Click);
  connect(Text4, &CaptionBox::clicked, Command9, &QPushButton::click);
  connect(Command3, &QPushButton::clicked, this, &HojyoBaiyo_Form::Command3_Click);
  connect(Text5, &CaptionBox::clicked, Command3, &QPushButton::click);
  connect(Command5, &QPushButton::clicked, this, &HojyoBaiyo_Form::Command5_Click);
  connect(Text2, &CaptionBox::clicked, Command5, &QPushButton::click);
  connect(Command1, &QPushButton::clicked, this, &HojyoBaiyo_Form::Command1_Click);
  connect(Command8, &QPushButton::clicked, this, &HojyoBaiyo_Form::Command8_Click);
  connect(Command4, &QPushButton::clicked, this, &HojyoBaiyo_Form::Command4_Click);
  connect(Command6, &QPushButton::clicked, this, &HojyoBaiyo_Form::Command6_Click);
  connect(BatchButton, &QPushButton::clicked, this, &HojyoBaiyo_Form::BatchButton_Click);

  // The load handler.
  hensuu& st = Store();
  Grid->EditLink = false;
  MSFlexGrid1->SetCols(kGridCols);
  MSFlexGrid1->SetRows(kGridRows);
  MSFlexGrid1->SetFixedRows(1);
  MSFlexGrid1->SetFixedCols(1);
  for (int c = 0; c < kGridCols; ++c) {
    MSFlexGrid1->SetColAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
    MSFlexGrid1->SetColWidth(c, kGridColWidthTwips);
  }
  // The date column widens when a full date would not fit the font in use.
  const int dateWidth =
      MSFlexGrid1->fontMetrics().horizontalAdvance(QStringLiteral("0000/00/00")) + 10;
  if (dateWidth > TwipsToPixels(kGridColWidthTwips)) {
    MSFlexGrid1->SetColWidth(0, static_cast<int>(std::ceil(dateWidth * 1440.0 / LogicalDpi())));
  }
  flow_.FillList();
  if (st.HojyoCount() > 0) {
    if (st.HojyoCurrent < 1 || st.HojyoCurrent > st.HojyoCount()) st.HojyoCurrent = st.HojyoCount();
    flow_.SelectListEntry(st.HojyoCurrent - 1);
    ShowRecord();
  } else {
    st.HojyoCurrent = 1;
    NewRecord();
  }
  Grid->EditLink = true;
  Grid->MSFlexGrid1_EnterCell();
  Deleting = false;
  Text1->setText(QStringLiteral("25"));
  FillDateBoxes();
}

void HojyoBaiyo_Form::FillDateBoxes() {
  Fill(Combo1, 1970, 2100);
  Fill(Combo4, 1970, 2100);
  Fill(Combo2, 1, 12);
  Fill(Combo5, 1, 12);
  Fill(Combo3, 1, 31);
  Fill(Combo6, 1, 31);
  const QDate today = QDate::currentDate();
  for (QComboBox* y : {Combo1, Combo4}) y->setEditText(QString::number(today.year()));
  for (QComboBox* m : {Combo2, Combo5}) m->setEditText(QString::number(today.month()));
  for (QComboBox* d : {Combo3, Combo6}) d->setEditText(QString::number(today.day()));
}

void HojyoBaiyo_Form::BuildLayout() {
  // A CSV or TSV file dropped on the grid or chosen from the menu is pasted in.
  Grid->EnableFileLoading();
  MenuBar->addMenu(Grid->Edit);
  HelpMenu = MakeHelpMenu();
  MenuBar->addMenu(HelpMenu);

  Text_Dojyo->setObjectName(QStringLiteral("Text_Dojyo"));
  Text1->setObjectName(QStringLiteral("Text1"));
  Command7->setAccessibleName(Text3->text());
  Command9->setAccessibleName(Text4->text());
  Command3->setAccessibleName(Text5->text());
  Command5->setAccessibleName(Text2->text());
  Text1->setAccessibleName(QStringLiteral("⑦ 標準温度"));
  Text_Dojyo->setAccessibleName(QStringLiteral("⑥ 土壌名（肥料名）"));
  const char* dateNames[] = {"最初の日 年", "最初の日 月", "最初の日 日",
                             "最後の日 年", "最後の日 月", "最後の日 日"};
  const std::array<QComboBox*, 6> combos{Combo1, Combo2, Combo3, Combo4, Combo5, Combo6};
  for (size_t i = 0; i < combos.size(); ++i) {
    combos[i]->setAccessibleName(QString::fromUtf8(dateNames[i]));
  }
  Option1->setChecked(true);
  Text1->setAlignment(Qt::AlignRight);
  Text1->setFixedWidth(TwipsToPixels(900));
  MSFlexGrid1->setMinimumHeight(TwipsToPixels(5200));
  MSFlexGrid1->setMinimumWidth(TwipsToPixels(3 * kGridColWidthTwips + 700));
  for (QWidget* w : {static_cast<QWidget*>(Text3), static_cast<QWidget*>(Command7),
                     static_cast<QWidget*>(Command4), static_cast<QWidget*>(Command3),
                     static_cast<QWidget*>(Text5)}) {
    KeepSpaceWhenHidden(w);
  }

  // The date input: year, month and day boxes with their labels.
  auto dateRow = [](QGroupBox* frame, QComboBox* y, QComboBox* m, QComboBox* d) {
    auto* row = new QHBoxLayout(frame);
    row->setSpacing(2);
    row->addWidget(y);
    row->addWidget(new QLabel(QStringLiteral("年"), frame));
    row->addSpacing(4);
    row->addWidget(m);
    row->addWidget(new QLabel(QStringLiteral("月"), frame));
    row->addSpacing(4);
    row->addWidget(d);
    row->addWidget(new QLabel(QStringLiteral("日"), frame));
  };
  dateRow(Frame6, Combo1, Combo2, Combo3);
  dateRow(Frame5, Combo4, Combo5, Combo6);
  auto* confirmRow = new QHBoxLayout;
  confirmRow->setSpacing(2);
  confirmRow->addStretch();
  confirmRow->addWidget(Command9);
  confirmRow->addWidget(Text4);
  auto* dates = new QVBoxLayout(Frame4);
  dates->addWidget(Frame6);
  dates->addWidget(Frame5);
  dates->addLayout(confirmRow);

  // Left: ① and the date input.
  auto* newRow = new QHBoxLayout;
  newRow->setSpacing(2);
  newRow->addWidget(Command7);
  newRow->addWidget(Text3);
  newRow->addStretch();
  auto* left = new QVBoxLayout;
  left->setSpacing(4);
  left->addLayout(newRow);
  left->addSpacing(6);
  left->addWidget(Frame4);
  left->addStretch(1);

  // Middle: ⑤ and the grid.
  auto* middleGrid = new QVBoxLayout;
  middleGrid->setSpacing(4);
  middleGrid->addSpacing(Text3->sizeHint().height() + 10);
  middleGrid->addWidget(Label3);
  middleGrid->addWidget(Grid, 1);

  // Name, standard temperature, material and the apply/fit buttons.
  auto* tempRow = new QHBoxLayout;
  tempRow->addWidget(Label8);
  tempRow->addWidget(Text1);
  tempRow->addWidget(Label9);
  tempRow->addStretch();
  auto* options = new QVBoxLayout(Frame3);
  options->addWidget(Option1);
  options->addWidget(Option2);
  auto* legend = new QVBoxLayout;
  legend->setSpacing(2);
  legend->addWidget(Label7);
  legend->addWidget(Label2);
  // "⑨ 適用" (new record) and "⑩ パラメータ算出" (stored record) share a place.
  auto* actions = new QGridLayout;
  actions->setHorizontalSpacing(2);
  actions->addWidget(Command3, 0, 0);
  actions->addWidget(Text5, 0, 1);
  actions->addWidget(Command5, 0, 0);
  actions->addWidget(Text2, 0, 1);
  actions->setColumnStretch(2, 1);
  auto* form = new QVBoxLayout;
  form->addSpacing(Text3->sizeHint().height() + 10);
  form->addWidget(Label1);
  form->addWidget(Text_Dojyo);
  form->addSpacing(10);
  form->addLayout(tempRow);
  form->addSpacing(10);
  form->addWidget(Frame3);
  form->addSpacing(4);
  form->addLayout(legend);
  form->addSpacing(18);
  form->addLayout(actions);
  form->addStretch(1);
  auto* cancelRow = new QHBoxLayout;
  cancelRow->addWidget(Command4);
  cancelRow->addStretch();
  // "一括計算" shares the row of "キャンセル" (which keeps its place when hidden).
  BatchButton = new QPushButton(QStringLiteral("一括計算"), this);
  cancelRow->addWidget(BatchButton);
  form->addLayout(cancelRow);

  // Right: the stored data sets.
  QVBoxLayout* right = RecordsColumn(Frame1, Text3->sizeHint().height() + 10, Command6);

  auto* body = new QHBoxLayout;
  body->setSpacing(TwipsToPixels(200));
  body->addLayout(left, 0);
  body->addLayout(middleGrid, 0);
  body->addLayout(form, 0);
  body->addLayout(right, 1);
  auto* root = new QVBoxLayout(this);
  root->setMenuBar(MenuBar);
  root->setContentsMargins(10, 6, 10, 10);
  root->addLayout(body);
  // A name longer than the box shows whole in the box's tooltip.
  Text_Dojyo->setMinimumWidth(TwipsToPixels(2800));
  connect(Text_Dojyo, &QLineEdit::textChanged, Text_Dojyo,
          [box = Text_Dojyo](const QString& text) { box->setToolTip(text); });
}

// --- operations ----------------------------------------------------------------------

void HojyoBaiyo_Form::CleanTable() {
  GridTable cells = MSFlexGrid1->Cells();
  CleanFieldTable(cells);
  MSFlexGrid1->SetCells(cells);
}

void HojyoBaiyo_Form::ShowApply(bool shown) {
  Command3->setVisible(shown);
  Text5->setVisible(shown);
}

RecordFlow::Binding HojyoBaiyo_Form::Binding() {
  hensuu& st = Store();
  RecordFlow::Binding b;
  BindTable(b, st.HojyoTable, st.HojyoCurrent);
  b.name = [&st](int16_t i) { return st.HojyoTable(i).SoilName; };
  b.show = [this, &st](int16_t i) {
    const HojyoRecord& rec = st.HojyoTable(i);
    Text_Dojyo->setText(Q(rec.SoilName));
    Text_Dojyo->setCursorPosition(0);
    (rec.IsFertilizer ? Option2 : Option1)->setChecked(true);
    MSFlexGrid1->SetRows(std::max(GridTextRows(rec.GridText), 2));
    ShowGridText(*Grid, rec.GridText);
    ShowApply(false);
  };
  b.blank = [this] {
    Option1->setChecked(true);
    MSFlexGrid1->ClearText();
    ShowApply(false);
  };
  b.cleanTable = [this] { CleanTable(); };
  b.store = [this, &st](int16_t i, const std::string& name, const std::string& gridText) {
    HojyoRecord rec{name, gridText, Option2->isChecked()};
    if (i > st.HojyoCount()) return st.HojyoTable.Append(std::move(rec));
    st.HojyoTable.Replace(i, std::move(rec));
    return true;
  };
  b.saveFile = [this, &st] { return SaveHojyoFile(st, Context().dataDir); };
  return b;
}

void HojyoBaiyo_Form::ShowRecord() { flow_.ShowRecord(); }
void HojyoBaiyo_Form::NewRecord() { flow_.NewRecord(); }
bool HojyoBaiyo_Form::ApplyRecord() { return flow_.ApplyRecord(); }

// --- buttons and events ----------------------------------------------------------------

void HojyoBaiyo_Form::Command7_Click() { flow_.NewButton(); }
void HojyoBaiyo_Form::Command3_Click() { flow_.ApplyButton(); }
void HojyoBaiyo_Form::Command4_Click() { flow_.CancelButton(); }
void HojyoBaiyo_Form::Command1_Click() { flow_.SaveButton(); }

void HojyoBaiyo_Form::Command9_Click() {
  auto text = [](QComboBox* box) { return box->currentText().toStdString(); };
  const DateRange range = CheckDateRange(text(Combo1), text(Combo2), text(Combo3), text(Combo4),
                                         text(Combo5), text(Combo6));
  switch (range.check) {
    case DateRangeCheck::Ok:
      break;
    case DateRangeCheck::BadDate:
      GetDialogs().Message(this, kTitleCaution, QStringLiteral("日付を正しく入力して下さい"));
      return;
    case DateRangeCheck::Reversed:
      GetDialogs().Message(this, kTitleCaution,
                           QStringLiteral("最初の日と最後の日の前後関係が正しくありません。\r\n"
                                          "正しく設定して下さい。"));
      return;
    case DateRangeCheck::TooLong:
      GetDialogs().Message(
          this, kTitleCaution,
          QStringLiteral("期間は%1日以内にして下さい。").arg(Q(std::to_string(kMaxRangeDays))));
      return;
  }
  if (flow_.NewMode()) ShowApply(true);
  // Only the dates are written: the temperatures and amounts stay row by
  // row, rows beyond the new last one go, added rows are empty.
  RecordFlow::Reload reload(*Grid);
  Grid->CommitEditor();
  DataGrid::Step step(*Grid, QStringLiteral("確定"));
  const std::vector<std::string> dates = DateTexts(range.first, range.days);
  const int days = range.days;
  const int row = std::min(MSFlexGrid1->Row(), days);
  const int col = std::max(MSFlexGrid1->Col(), 1);
  MSFlexGrid1->SetRows(days + 1);
  for (int r = 1; r <= days; ++r) {
    MSFlexGrid1->SetTextMatrix(r, 0, Q(dates[r - 1]));
  }
  Grid->SelectCell(std::max(row, 1), col);
}

QString HojyoBaiyo_Form::MissingTemperatureQuestion(const GridTable& cells) {
  int lastSample = 0;
  for (int r = 1; r < cells.Rows(); ++r) {
    if (!cells.Cell(r, 2).empty()) lastSample = r;
  }
  QStringList named;
  int missing = 0;
  for (int r = 1; r <= lastSample; ++r) {
    if (!cells.Cell(r, 1).empty()) continue;
    if (++missing <= kNamedMissingDays) {
      const std::string& date = cells.Cell(r, 0);
      named << (date.empty() ? QStringLiteral("%1行目").arg(r) : Q(date));
    }
  }
  if (missing == 0) return QString();
  QString days = named.join(QStringLiteral("、"));
  if (missing > kNamedMissingDays) {
    days += QStringLiteral(" など全%1日").arg(missing);
  } else {
    days += QStringLiteral(" の%1日").arg(missing);
  }
  return QStringLiteral("地温が記入されていない日があります（%1）。このまま計算しますか").arg(days);
}

void HojyoBaiyo_Form::Command5_Click() {
  FitRequest request;
  request.source = FitSource::Field;
  {
    RecordFlow::Reload reload(*Grid);
    // What the user typed last takes part in the calculation; the cleaned
    // table stays on the screen even when the fit does not run.
    Grid->CommitEditor();
    CleanTable();
    request.table = MSFlexGrid1->Cells();
    request.name = Text_Dojyo->text().toStdString();
    request.standardTemp = Text1->text().toStdString();
    request.isFertilizer = Option2->isChecked();
  }
  FitRunner* runner = Context().runner;
  if (!runner) return;
  // The question about days without a temperature comes only once the
  // table and the standard temperature have passed the checks (whose
  // messages the runner shows).
  FitSession scratch;
  FitRequest probe = request;
  if (!PrepareFit(scratch, probe)) {
    const QString question = MissingTemperatureQuestion(probe.table);
    if (!question.isEmpty() && !GetDialogs().YesNo(this, kTitleCaution, question)) return;
  }
  runner->StartFit(this, request);
}

void HojyoBaiyo_Form::Command8_Click() {
  flow_.DeleteButton([this] { Context().navigation.RunDeletionDialog(this); });
}

void HojyoBaiyo_Form::Command6_Click() { CloseScreen(); }

void HojyoBaiyo_Form::BatchButton_Click() {
  // The record on the screen is stored first, as "適用" stores it, so that
  // the batch fits what the screen shows.
  {
    RecordFlow::Reload reload(*Grid);
    if (!ApplyRecord()) return;
    ShowRecord();
  }
  ShowBatchFitWindow(*this, FitSource::Field, Text1->text());
}

void HojyoBaiyo_Form::Activated() {
  if (!Deleting) flow_.Follow();
}

bool HojyoBaiyo_Form::QueryClose() {
  if (!flow_.Close()) return false;
  TakeCascadeBack();
  return true;
}

}  // namespace kelvora

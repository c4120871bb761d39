#include "screens/ondo_form.h"

#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QMenuBar>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <string>

#include "print/remembered_folder.h"
#include "screens/dialogs.h"
#include "screens/normal_year_dialog.h"
#include "screens/qtext.h"
#include "screens/temperature_file_dialog.h"
#include "screens/temperature_file_loader.h"
#include "screens/twips.h"
#include "store/cp932.h"
#include "store/data_files.h"
#include "store/date_text.h"
#include "store/grid_text.h"
#include "store/hensuu.h"
#include "store/number_text.h"
#include "store/temperature_file.h"
#include "store/temperature_import.h"

namespace kelvora {

namespace {

constexpr int kNewInputRows = 100;
constexpr int kGridCols = 2;
constexpr int kGridColWidthTwips = 1000;
constexpr int kSuiteiWidthTwips = 13605;
constexpr int kSuiteiHeightTwips = 9660;

QComboBox* DateCombo(QWidget* parent, int from, int to, const QString& name) {
  auto* c = new QComboBox(parent);
  c->setEditable(true);
  c->setInsertPolicy(QComboBox::NoInsert);
  // What is typed is what counts: "200" must not silently become "2000".
  c->setCompleter(nullptr);
  c->setMaxVisibleItems(12);
  for (int v = from; v <= to; ++v) c->addItem(Q(std::to_string(v)));
  c->setAccessibleName(name);
  return c;
}

QString NumberText(int v) { return Q(std::to_string(v)); }

// Days of a list as runs, at most `limit` of them and a count of the rest.
QString DayList(const std::vector<CivilDate>& days, size_t limit = 20) {
  const std::vector<std::string> runs = DayRuns(days);
  QStringList lines;
  for (size_t i = 0; i < runs.size() && i < limit; ++i) lines << QStringLiteral("　") + Q(runs[i]);
  if (runs.size() > limit) lines << QStringLiteral("　ほか%1件").arg(runs.size() - limit);
  return lines.join(QLatin1Char('\n'));
}

}  // namespace

Ondo_Form::Ondo_Form(const ScreenContext& context, QWidget* parent)
    : ChildScreen(context, Screen::Ondo_Form, parent),
      MenuBar(new QMenuBar(this)),
      Frame2(new QGroupBox(QStringLiteral("日付入力"), this)),
      Frame3(new QGroupBox(QStringLiteral("① 最初の日"), Frame2)),
      Combo1(DateCombo(Frame3, 1970, 2100, QStringLiteral("最初の日 年"))),
      Combo2(DateCombo(Frame3, 1, 12, QStringLiteral("最初の日 月"))),
      Combo3(DateCombo(Frame3, 1, 31, QStringLiteral("最初の日 日"))),
      Frame4(new QGroupBox(QStringLiteral("② 最後の日"), Frame2)),
      Combo4(DateCombo(Frame4, 1970, 2100, QStringLiteral("最後の日 年"))),
      Combo5(DateCombo(Frame4, 1, 12, QStringLiteral("最後の日 月"))),
      Combo6(DateCombo(Frame4, 1, 31, QStringLiteral("最後の日 日"))),
      Text2(new CaptionBox(QStringLiteral("③　確定"), Frame2)),
      Command9(CaptionButton(Frame2, QStringLiteral("③　確定"))),
      Command10(new QPushButton(QStringLiteral("ファイルから読込"), this)),
      Command11(new QPushButton(QStringLiteral("平年値の作成"), this)),
      Label6(new QLabel(QStringLiteral("④ 地温データ記入"), this)),
      Grid(new DataGrid(context.dialogs, this)),
      MSFlexGrid1(Grid->MSFlexGrid1),
      Text_Edit(Grid->Text_Edit),
      Label1(new QLabel(QStringLiteral("⑤ 地点名"), this)),
      Text_Titen(new QLineEdit(this)),
      Text1(new CaptionBox(QStringLiteral("⑥ 適用"), this)),
      Command3(CaptionButton(this, QStringLiteral("⑥ 適用"))),
      Text3(new CaptionBox(QStringLiteral("新規入力"), this)),
      Command7(CaptionButton(this, QStringLiteral("新規入力"))),
      Frame1(new StoredRecordsPanel(QStringLiteral("リスト"), 3000, this)),
      List1(Frame1->List1),
      Command1(Frame1->Command1),
      Command8(Frame1->Command8),
      Command5(new QPushButton(QStringLiteral("窒素無機化推定"), this)),
      Command4(new QPushButton(QStringLiteral("キャンセル"), this)),
      Command6(new QPushButton(QStringLiteral("終了"), this)),
      flow_(*this, *Grid, *List1, *Text_Titen, Deleting,
            RecordFlow::Options{
                .newRecordName = QStringLiteral("新規温度"),
                // Deleting drops unapplied edits: the screen shows the table
                // again afterwards.
                .applyBeforeDeletion = false,
                .saveSelection = RecordFlow::SaveSelection::AsApplied,
                .storeEmptyFirstRow = false,
                .deleteKind = 6,
                .headerTexts = {QStringLiteral("年/月/日"), QStringLiteral("地温(℃)")},
                .recordModeWidgets = {Command1, Command7, Text3, Command5, Command8},
                .newModeWidgets = {Command4},
            },
            Binding()) {
  setObjectName(QStringLiteral("Ondo_Form"));
  setWindowTitle(ScreenCaption(Screen::Ondo_Form));
  BuildLayout();

  connect(Command9, &QPushButton::clicked, this, &Ondo_Form::Command9_Click);
  connect(Text2, &CaptionBox::clicked, Command9, &QPushButton::click);
  connect(Command3, &QPushButton::clicked, this, &Ondo_Form::Command3_Click);
  connect(Text1, &CaptionBox::clicked, Command3, &QPushButton::click);
  connect(Command7, &QPushButton::clicked, this, &Ondo_Form::Command7_Click);
  connect(Text3, &CaptionBox::clicked, Command7, &QPushButton::click);
  connect(Command4, &QPushButton::clicked, this, &Ondo_Form::Command4_Click);
  connect(Command1, &QPushButton::clicked, this, &Ondo_Form::Command1_Click);
  connect(Command5, &QPushButton::clicked, this, &Ondo_Form::Command5_Click);
  connect(Command8, &QPushButton::clicked, this, &Ondo_Form::Command8_Click);
  connect(Command6, &QPushButton::clicked, this, &Ondo_Form::Command6_Click);
  connect(Command10, &QPushButton::clicked, this, &Ondo_Form::Command10_Click);
  connect(Command11, &QPushButton::clicked, this, &Ondo_Form::Command11_Click);

  // The load handler: always a new, empty series first.
  hensuu& st = Store();
  Grid->EditLink = false;
  MSFlexGrid1->SetCols(kGridCols);
  MSFlexGrid1->SetRows(kNewInputRows);
  MSFlexGrid1->SetFixedRows(1);
  MSFlexGrid1->SetFixedCols(1);
  // 1000 twips each, wider when the font in use would cut a date short.
  const QFontMetrics fm(MSFlexGrid1->font());
  const int needed = fm.horizontalAdvance(QStringLiteral("0000/00/00")) + 2 * fm.averageCharWidth();
  const int widthTwips =
      std::max(kGridColWidthTwips, static_cast<int>(std::lround(needed * 1440.0 / LogicalDpi())));
  for (int c = 0; c < kGridCols; ++c) {
    MSFlexGrid1->SetColAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
    MSFlexGrid1->SetColWidth(c, widthTwips);
  }
  Nyuuryoku_Mode();
  Grid->EditLink = true;
  Grid->MSFlexGrid1_EnterCell();
  st.TionCurrent = NewRecordIndex(st.TionCount());
  flow_.FillList();
  flow_.SelectListEntry(-1);
  Deleting = false;
  const QDate today = QDate::currentDate();
  for (QComboBox* c : {Combo1, Combo4}) c->setCurrentText(NumberText(today.year()));
  for (QComboBox* c : {Combo2, Combo5}) c->setCurrentText(NumberText(today.month()));
  for (QComboBox* c : {Combo3, Combo6}) c->setCurrentText(NumberText(today.day()));
}

void Ondo_Form::BuildLayout() {
  MenuBar->addMenu(Grid->Edit);
  HelpMenu = MakeHelpMenu();
  MenuBar->addMenu(HelpMenu);

  Text_Titen->setObjectName(QStringLiteral("Text_Titen"));
  Text_Titen->setAccessibleName(Label1->text());
  Command10->setObjectName(QStringLiteral("Command10"));
  Command10->setAccessibleName(Command10->text());
  Command11->setObjectName(QStringLiteral("Command11"));
  Command11->setAccessibleName(Command11->text());
  MSFlexGrid1->setAccessibleName(Label6->text());
  MSFlexGrid1->setMinimumHeight(TwipsToPixels(5200));

  for (QWidget* w : {static_cast<QWidget*>(Command3), static_cast<QWidget*>(Text1),
                     static_cast<QWidget*>(Command7), static_cast<QWidget*>(Text3),
                     static_cast<QWidget*>(Command4), static_cast<QWidget*>(Command5),
                     static_cast<QWidget*>(Command1), static_cast<QWidget*>(Command8)}) {
    KeepSpaceWhenHidden(w);
  }

  // The date frames: year, month and day combos with their labels.
  auto dateRow = [](QGroupBox* frame, QComboBox* y, QComboBox* m, QComboBox* d) {
    auto* row = new QHBoxLayout(frame);
    row->setSpacing(3);
    for (auto [combo, unit] : {std::pair{y, "年"}, std::pair{m, "月"}, std::pair{d, "日"}}) {
      combo->setMinimumContentsLength(combo == y ? 4 : 2);
      combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
      row->addWidget(combo);
      row->addWidget(new QLabel(QString::fromUtf8(unit), frame));
    }
  };
  dateRow(Frame3, Combo1, Combo2, Combo3);
  dateRow(Frame4, Combo4, Combo5, Combo6);
  auto* confirm = new QHBoxLayout;
  confirm->setSpacing(2);
  confirm->addWidget(Command9);
  confirm->addWidget(Text2);
  confirm->addStretch();
  auto* dates = new QVBoxLayout(Frame2);
  dates->addWidget(Frame3);
  dates->addWidget(Frame4);
  dates->addLayout(confirm);

  // Left: the dates; middle: the grid; right: name, buttons and the list.
  auto* left = new QVBoxLayout;
  left->addWidget(Frame2);
  left->addSpacing(6);
  left->addWidget(Command10);
  left->addWidget(Command11);
  left->addStretch(1);

  auto* middle = new QVBoxLayout;
  middle->setSpacing(4);
  middle->addWidget(Label6);
  middle->addWidget(Grid, 1);

  auto* applyRow = new QHBoxLayout;
  applyRow->setSpacing(2);
  applyRow->addWidget(Command3);
  applyRow->addWidget(Text1);
  applyRow->addStretch();
  auto* newRow = new QHBoxLayout;
  newRow->setSpacing(2);
  newRow->addWidget(Command7);
  newRow->addWidget(Text3);
  newRow->addStretch();
  auto* endRow = new QHBoxLayout;
  endRow->addWidget(Command4);
  endRow->addStretch();
  endRow->addWidget(Command6);
  auto* right = new QVBoxLayout;
  right->setSpacing(4);
  right->addWidget(Label1);
  right->addWidget(Text_Titen);
  right->addSpacing(6);
  right->addLayout(applyRow);
  right->addLayout(newRow);
  right->addSpacing(6);
  right->addWidget(Frame1, 1);
  right->addSpacing(6);
  right->addWidget(Command5);
  right->addLayout(endRow);
  Text_Titen->setMinimumWidth(TwipsToPixels(3000));

  auto* body = new QHBoxLayout;
  body->setSpacing(TwipsToPixels(240));
  body->addLayout(left, 0);
  body->addLayout(middle, 0);
  body->addLayout(right, 1);
  auto* root = new QVBoxLayout(this);
  root->setMenuBar(MenuBar);
  root->setContentsMargins(10, 6, 10, 10);
  root->addLayout(body);
}

// --- operations ----------------------------------------------------------------------

RecordFlow::Binding Ondo_Form::Binding() {
  hensuu& st = Store();
  RecordFlow::Binding b;
  BindTable(b, st.TionTable, st.TionCurrent);
  b.name = [&st](int16_t i) { return st.TionTable(i).SiteName; };
  b.show = [this, &st](int16_t i) {
    const TionRecord& rec = st.TionTable(i);
    Text_Titen->setText(Q(rec.SiteName));
    Text_Titen->setCursorPosition(0);
    MSFlexGrid1->SetRows(GridTextRows(rec.GridText));
    ShowGridText(*Grid, rec.GridText);
    ShowApply(false);
  };
  b.blank = [this] {
    MSFlexGrid1->ClearText();
    MSFlexGrid1->SetRows(kNewInputRows);
    ShowApply(false);
  };
  b.cleanTable = [this] { CleanTable(); };
  b.store = [&st](int16_t i, const std::string& name, const std::string& gridText) {
    TionRecord rec{name, gridText};
    if (i > st.TionCount()) return st.TionTable.Append(std::move(rec));
    st.TionTable.Replace(i, std::move(rec));
    return true;
  };
  b.saveFile = [this, &st] { return SaveTionFile(st, Context().dataDir); };
  return b;
}

void Ondo_Form::ShowApply(bool shown) {
  Command3->setVisible(shown);
  Text1->setVisible(shown);
}

void Ondo_Form::Nyuuryoku_Mode() { flow_.NewRecord(); }
void Ondo_Form::ShowRecord() { flow_.ShowRecord(); }
bool Ondo_Form::ApplyRecord() { return flow_.ApplyRecord(); }

void Ondo_Form::CleanTable() {
  GridTable cells = MSFlexGrid1->Cells();
  for (int r = 1; r < cells.Rows(); ++r) {
    std::string& cell = cells.Cell(r, 1);
    if (cell.empty()) continue;
    const std::optional<float> value = ParseSingle(cell);
    cell = value ? SingleText(*value) : std::string();
  }
  MSFlexGrid1->SetCells(cells);
}

// --- buttons and events ----------------------------------------------------------------

void Ondo_Form::Command9_Click() {
  const DateRange range =
      CheckDateRange(Combo1->currentText().toStdString(), Combo2->currentText().toStdString(),
                     Combo3->currentText().toStdString(), Combo4->currentText().toStdString(),
                     Combo5->currentText().toStdString(), Combo6->currentText().toStdString());
  switch (range.check) {
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
    case DateRangeCheck::Ok:
      break;
  }
  RecordFlow::Reload reload(*Grid);
  // What the editor holds stays in its row like every typed temperature.
  Grid->CommitEditor();
  if (flow_.NewMode()) ShowApply(true);
  DataGrid::Step step(*Grid, QStringLiteral("確定"));
  MSFlexGrid1->SetRows(range.days + 1);
  GridTable cells = MSFlexGrid1->Cells();
  const std::vector<std::string> dates = DateTexts(range.first, range.days);
  for (int i = 0; i < range.days; ++i) cells.Cell(i + 1, 0) = dates[static_cast<size_t>(i)];
  MSFlexGrid1->SetCells(cells);
}

void Ondo_Form::Command3_Click() { flow_.ApplyButton(); }
void Ondo_Form::Command7_Click() { flow_.NewButton(); }
void Ondo_Form::Command4_Click() { flow_.CancelButton(); }
void Ondo_Form::Command1_Click() { flow_.SaveButton(); }

void Ondo_Form::Command5_Click() {
  {
    RecordFlow::Reload reload(*Grid);
    if (!ApplyRecord()) return;
  }
  Context().navigation.OpenChildScreen(Screen::Suitei_Form, Navigation::CascadeOrder::StepFirst,
                                       QSize(kSuiteiWidthTwips, kSuiteiHeightTwips));
}

void Ondo_Form::Command8_Click() {
  flow_.DeleteButton([this] { Context().navigation.RunDeletionDialog(this); });
}

void Ondo_Form::Command6_Click() { CloseScreen(); }

void Ondo_Form::Command11_Click() { MakeNormalYearSeries(*this); }

void Ondo_Form::Command10_Click() {
  const QString path = AskOpenFile(
      GetDialogs(), this, FileKind::TemperatureFile, QStringLiteral("地温ファイルを開く"),
      QStringLiteral("地温ファイル (*.csv *.tsv *.txt);;すべてのファイル (*)"));
  if (!path.isEmpty()) LoadTemperatureFile(path);
}

bool Ondo_Form::LoadTemperatureFile(const QString& path) {
  Dialogs& dialogs = GetDialogs();
  // Read off this thread: a large file does not freeze the screens.
  std::optional<TemperatureFileLoad> load = TemperatureFileLoader().Load(
      this, std::filesystem::path(QFile::encodeName(path).toStdString()));
  if (!load) return false;  // "中止"
  if (!load->error.empty()) {
    dialogs.Message(this, kTitleCaution, Q(load->error), Dialogs::Icon::Warning);
    return false;
  }
  TemperatureFileDialog preview(std::move(*load), this);
  if (dialogs.Exec(preview) != QDialog::Accepted) return false;
  const TemperatureRead& result = preview.Result();
  if (!result.series) {
    dialogs.Message(this, kTitleCaution, Q(result.error), Dialogs::Icon::Warning);
    return false;
  }
  const TemperatureSeries& series = *result.series;
  if (series.channels.size() > 1) return AddFileSeries(series, preview.Names(), preview.Rule());

  // The temperatures as a paste leaves them once applied; the name from the
  // preview (the file's name).
  const int days = static_cast<int>(series.dates.size());
  const CivilDate last = DateOfDayNumber(DayNumber(series.first) + days - 1);
  if (!ShowNewSeries(series.first, last, days, SeriesGridText(series), preview.Names().front(),
                     QStringLiteral("ファイルから読込"),
                     QStringLiteral("表の内容をファイルの内容で置き換えますか"))) {
    return false;
  }
  const QString message = FileDaysMessage(series, preview.Rule());
  if (!message.isEmpty()) dialogs.Message(this, kTitleCaution, message);
  return true;
}

bool Ondo_Form::ShowNewSeries(const CivilDate& first, const CivilDate& last, int days,
                              const std::string& gridText, const std::string& name,
                              const QString& step, const QString& replaceQuestion) {
  // A stored series is applied by NewButton before the new one is shown.
  if (flow_.NewMode() && Grid->HoldsData() &&
      !GetDialogs().YesNo(this, kTitleCaution, replaceQuestion)) {
    return false;
  }
  if (!flow_.NewMode()) {
    flow_.NewButton();
    if (!flow_.NewMode()) return false;
  }
  RecordFlow::Reload reload(*Grid);
  Combo1->setCurrentText(NumberText(first.year));
  Combo2->setCurrentText(NumberText(first.month));
  Combo3->setCurrentText(NumberText(first.day));
  Combo4->setCurrentText(NumberText(last.year));
  Combo5->setCurrentText(NumberText(last.month));
  Combo6->setCurrentText(NumberText(last.day));
  // The rows a confirmed range gives; one step of the grid's history.
  DataGrid::Step history(*Grid, step);
  MSFlexGrid1->SetRows(days + 1);
  MSFlexGrid1->SetCells(GridFromText(gridText, 0, kGridCols));
  ShowApply(true);
  // In the forms the data files keep, as long as the name box takes.
  const QString stored = Q(ToStoredForms(ReplaceQuotes(name)));
  Text_Titen->setText(stored.left(Text_Titen->maxLength()));
  Text_Titen->setCursorPosition(0);
  Grid->SelectCell(1, 1);
  return true;
}

bool Ondo_Form::AddFileSeries(const TemperatureSeries& series,
                              const std::vector<std::string>& names, const DailyMeanRule& rule) {
  Dialogs& dialogs = GetDialogs();
  std::vector<TionRecord> records;
  std::string problem;
  if (!SeriesRecords(series, names, records, problem)) {
    dialogs.Message(this, kTitleCaution, Q(problem), Dialogs::Icon::Warning);
    return false;
  }
  // The series on the screen is applied first, as "新規入力" does; then every
  // series of the file is added at once.
  {
    RecordFlow::Reload reload(*Grid);
    if (!flow_.ApplyRecord()) return false;
  }
  const int16_t first = static_cast<int16_t>(Store().TionCount() + 1);
  if (!AppendSeriesRecords(Store().TionTable, records, problem)) {
    dialogs.Message(this, kTitleCaution, Q(problem), Dialogs::Icon::Warning);
    return false;
  }
  {
    RecordFlow::Reload reload(*Grid);
    flow_.Follow();
    Store().TionCurrent = first;
    ShowRecord();
  }
  QString text = QStringLiteral("%1つの系列を追加しました。").arg(records.size());
  const QString days = FileDaysMessage(series, rule);
  if (!days.isEmpty()) text += QStringLiteral("\n\n") + days;
  dialogs.Message(this, kTitleCaution, text);
  return true;
}

QString Ondo_Form::FileDaysMessage(const TemperatureSeries& series, const DailyMeanRule& rule) {
  QStringList parts;
  if (!series.missingDays.empty()) {
    parts << QStringLiteral("ファイルにない日があります。地温は空欄になります。\n") +
                 DayList(series.missingDays);
  }
  // Columns with the same days are named together ("2列目・3列目: ").
  std::vector<bool> told(series.channels.size(), false);
  for (size_t k = 0; k < series.channels.size(); ++k) {
    if (told[k]) continue;
    const ChannelSeries& ch = series.channels[k];
    const std::vector<CivilDate>& days = series.subDaily ? ch.incompleteDays : ch.blankDays;
    QStringList columns;
    for (size_t j = k; j < series.channels.size(); ++j) {
      const ChannelSeries& other = series.channels[j];
      if ((series.subDaily ? other.incompleteDays : other.blankDays) != days) continue;
      told[j] = true;
      columns << QStringLiteral("%1列目").arg(other.column + 1);
    }
    if (days.empty()) continue;
    const QString which = columns.size() < static_cast<int>(series.channels.size())
                              ? columns.join(QStringLiteral("・")) + QStringLiteral(": ")
                              : QString();
    if (!series.subDaily) {
      parts << which +
                   QStringLiteral("地温が空欄か数値でない日があります。地温は空欄になります。\n") +
                   DayList(days);
    } else {
      parts << which +
                   QStringLiteral("読取が1日%1回の%2%に満たない日があります。%3\n")
                       .arg(ch.readingsPerDay)
                       .arg(std::lround(rule.minCoverage * 100))
                       .arg(rule.keepIncomplete
                                ? QStringLiteral(
                                      "地温は読めた値の平均になります（読めた値がない日は空欄）。")
                                : QStringLiteral("地温は空欄になります。")) +
                   DayList(days);
    }
  }
  return parts.join(QStringLiteral("\n\n"));
}

void Ondo_Form::List1_MouseDown() { flow_.ListMouseDown(); }
bool Ondo_Form::List1_KeyDown(int key) { return flow_.ListKeyDown(key); }

void Ondo_Form::Activated() {
  if (!Deleting) flow_.Follow();
}

bool Ondo_Form::QueryClose() {
  if (!flow_.Close()) return false;
  TakeCascadeBack();
  return true;
}

}  // namespace kelvora

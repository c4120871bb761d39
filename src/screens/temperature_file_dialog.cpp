#include "screens/temperature_file_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "screens/qtext.h"
#include "store/number_text.h"

namespace kelvora {

namespace {

// Columns offered in the choices: beyond this a file is no temperature list.
constexpr int kMaxColumns = 200;
// Columns of the file shown in its preview.
constexpr int kPreviewCols = 30;
// Characters of a cell shown (a cell may hold megabytes).
constexpr size_t kCellChars = 100;

const QColor kSkippedText(150, 150, 150);
const QColor kDateBack(214, 230, 250);
const QColor kTimeBack(222, 240, 222);
const QColor kTemperatureBack(252, 228, 200);

QString SeparatorName(char separator) {
  switch (separator) {
    case '\t':
      return QStringLiteral("タブ区切り");
    case ';':
      return QStringLiteral("セミコロン区切り");
    default:
      return QStringLiteral("カンマ区切り");
  }
}

QString ColumnName(int col) { return QStringLiteral("%1列目").arg(col + 1); }

// An interval as a person says it: "10分", "1時間", "30秒".
QString IntervalText(int64_t micros) {
  const int64_t seconds = micros / 1'000'000;
  if (micros % 1'000'000 != 0 || seconds == 0) {
    return QStringLiteral("%1秒").arg(Q(FormatFixed(static_cast<double>(micros) / 1e6, 3)));
  }
  if (seconds % 3600 == 0) return QStringLiteral("%1時間").arg(seconds / 3600);
  if (seconds % 60 == 0) return QStringLiteral("%1分").arg(seconds / 60);
  return QStringLiteral("%1秒").arg(seconds);
}

QString Degrees(const std::optional<float>& v) {
  return v ? Q(SingleText(*v)) : QStringLiteral("－");
}

QTableWidgetItem* ReadOnlyItem(const QString& text) {
  auto* item = new QTableWidgetItem(text);
  item->setFlags(item->flags() & ~Qt::ItemIsEditable);
  return item;
}

}  // namespace

TemperatureFileDialog::TemperatureFileDialog(TemperatureFileLoad load, QWidget* parent)
    : QDialog(parent),
      FileLabel(new QLabel(this)),
      SkipLabel(new QLabel(QStringLiteral("読み飛ばす行数"), this)),
      SkipBox(new QSpinBox(this)),
      DateLabel(new QLabel(QStringLiteral("日付の列"), this)),
      DateColumn(new QComboBox(this)),
      TimeLabel(new QLabel(QStringLiteral("時刻の列"), this)),
      TimeColumn(new QComboBox(this)),
      CoverageLabel(new QLabel(QStringLiteral("不完全な日の基準"), this)),
      CoverageBox(new QSpinBox(this)),
      KeepIncomplete(new QCheckBox(QStringLiteral("不完全な日も平均を使う"), this)),
      ChannelsLabel(
          new QLabel(QStringLiteral("地温の列（複数選ぶと列ごとに系列を作ります）"), this)),
      Channels(new QTableWidget(this)),
      PreviewLabel(new QLabel(QStringLiteral("ファイルの先頭"), this)),
      Preview(new QTableWidget(this)),
      SeriesLabel(new QLabel(QStringLiteral("作成する地温（先頭%1日）").arg(kPreviewRows), this)),
      SeriesPreview(new QTableWidget(this)),
      Status(new QLabel(this)),
      OkButton(new QPushButton(QStringLiteral("読込"), this)),
      CancelButton(new QPushButton(QStringLiteral("キャンセル"), this)),
      load_(std::move(load)) {
  setObjectName(QStringLiteral("TemperatureFileDialog"));
  setWindowTitle(QStringLiteral("地温ファイルの読込"));
  FileLabel->setText(
      QStringLiteral("%1（%2、%3）")
          .arg(Q(load_.fileName), Q(EncodingName(load_.encoding)), SeparatorName(load_.separator)));
  FileLabel->setAccessibleName(QStringLiteral("ファイル"));
  FileLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);

  const DelimitedText& rows = load_.rows;
  const TemperatureColumns& guess = load_.guess;
  const int cols = std::min(std::max(rows.MaxFields(), 2), kMaxColumns);
  TimeColumn->addItem(QStringLiteral("なし"));
  for (int c = 0; c < cols; ++c) {
    DateColumn->addItem(ColumnName(c));
    TimeColumn->addItem(ColumnName(c));
  }
  SkipBox->setRange(0, std::max(0, rows.Rows() - 1));
  SkipBox->setSuffix(QStringLiteral(" 行"));
  SkipBox->setMinimumWidth(SkipBox->fontMetrics().horizontalAdvance(QStringLiteral("0000 行")) +
                           SkipBox->fontMetrics().averageCharWidth() * 6);
  SkipBox->setValue(guess.headerRows);
  DateColumn->setCurrentIndex(std::clamp(guess.dateColumn, 0, cols - 1));
  TimeColumn->setCurrentIndex(
      guess.timeColumn >= 0 && guess.timeColumn < cols ? guess.timeColumn + 1 : 0);
  CoverageBox->setRange(0, 100);
  CoverageBox->setSuffix(QStringLiteral(" %"));
  CoverageBox->setValue(static_cast<int>(std::lround(DailyMeanRule{}.minCoverage * 100)));
  CoverageBox->setToolTip(QStringLiteral(
      "1日の読取数が、ふだんの日の読取数のこの割合に満たない日を不完全な日とします"));
  KeepIncomplete->setToolTip(QStringLiteral("切ると、不完全な日の地温は空欄になります"));
  for (auto [label, box] : {std::pair<QLabel*, QWidget*>{SkipLabel, SkipBox},
                            {DateLabel, DateColumn},
                            {TimeLabel, TimeColumn},
                            {CoverageLabel, CoverageBox},
                            {ChannelsLabel, Channels},
                            {PreviewLabel, Preview},
                            {SeriesLabel, SeriesPreview}}) {
    box->setAccessibleName(label->text());
    label->setBuddy(box);
  }
  KeepIncomplete->setAccessibleName(KeepIncomplete->text());

  // One row per column of the file: used or not, the series' name, its figures.
  // Tab leaves the table for the next control (the arrow keys move in it).
  Channels->setTabKeyNavigation(false);
  Channels->setColumnCount(kChannelColumns);
  Channels->setHorizontalHeaderLabels({QStringLiteral("列"), QStringLiteral("系列名"),
                                       QStringLiteral("1日の読取数"), QStringLiteral("不完全な日"),
                                       QStringLiteral("読取失敗"), QStringLiteral("最低(℃)"),
                                       QStringLiteral("最高(℃)")});
  Channels->setRowCount(cols);
  Channels->verticalHeader()->hide();
  Channels->setSelectionMode(QAbstractItemView::NoSelection);
  Channels->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                            QAbstractItemView::SelectedClicked | QAbstractItemView::AnyKeyPressed);
  for (int c = 0; c < cols; ++c) {
    QString heading = Q(QuotedPart(ColumnHeading(rows, guess.headerRows, c), 40));
    auto* use = ReadOnlyItem(heading.isEmpty() ? ColumnName(c) : ColumnName(c) + " " + heading);
    use->setFlags(use->flags() | Qt::ItemIsUserCheckable);
    use->setCheckState(c == guess.temperatureColumn ? Qt::Checked : Qt::Unchecked);
    Channels->setItem(c, kChannelUse, use);
    Channels->setItem(c, kChannelName, new QTableWidgetItem);
    for (int k = kChannelPerDay; k < kChannelColumns; ++k) {
      auto* item = ReadOnlyItem(QString());
      item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      Channels->setItem(c, k, item);
    }
  }
  Channels->horizontalHeader()->setSectionResizeMode(kChannelName, QHeaderView::Stretch);
  for (int k = kChannelPerDay; k < kChannelColumns; ++k) {
    Channels->horizontalHeader()->setSectionResizeMode(k, QHeaderView::ResizeToContents);
  }
  Channels->verticalHeader()->setDefaultSectionSize(Channels->fontMetrics().height() + 6);
  Channels->setMinimumHeight(Channels->verticalHeader()->defaultSectionSize() * 4 +
                             Channels->horizontalHeader()->sizeHint().height() + 4);
  Channels->setMaximumHeight(Channels->verticalHeader()->defaultSectionSize() * 6 +
                             Channels->horizontalHeader()->sizeHint().height() + 4);

  // The first rows of the file, numbered by their lines.
  const int shown = std::min(rows.Rows(), kPreviewRows);
  const int previewCols = std::min(cols, kPreviewCols);
  Preview->setRowCount(shown);
  Preview->setColumnCount(previewCols);
  Preview->setEditTriggers(QAbstractItemView::NoEditTriggers);
  Preview->setSelectionMode(QAbstractItemView::NoSelection);
  Preview->setWordWrap(false);
  QStringList lineNumbers;
  for (int r = 0; r < shown; ++r) {
    lineNumbers << QString::number(rows.Line(r));
    for (int c = 0; c < previewCols && c < rows.Fields(r); ++c) {
      const QString text = Q(QuotedPart(*rows.Field(r, c), kCellChars)).simplified();
      auto* item = new QTableWidgetItem(text);
      item->setToolTip(text);  // cut short in a narrow column
      Preview->setItem(r, c, item);
    }
  }
  Preview->setVerticalHeaderLabels(lineNumbers);
  Preview->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  Preview->horizontalHeader()->setMinimumSectionSize(60);
  Preview->setMinimumSize(420, 160);

  SeriesPreview->setEditTriggers(QAbstractItemView::NoEditTriggers);
  SeriesPreview->setSelectionMode(QAbstractItemView::NoSelection);
  SeriesPreview->setWordWrap(false);
  SeriesPreview->verticalHeader()->hide();
  SeriesPreview->verticalHeader()->setDefaultSectionSize(
      Channels->verticalHeader()->defaultSectionSize());
  Preview->verticalHeader()->setMinimumSectionSize(
      Channels->verticalHeader()->defaultSectionSize());
  SeriesPreview->setMinimumSize(260, 160);

  Status->setWordWrap(true);
  Status->setAccessibleName(QStringLiteral("読込結果"));
  Status->setMinimumHeight(Status->fontMetrics().lineSpacing() * 3);
  Status->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  Status->setTextInteractionFlags(Qt::TextSelectableByMouse);
  OkButton->setAccessibleName(OkButton->text());
  CancelButton->setAccessibleName(CancelButton->text());
  OkButton->setDefault(true);

  auto* choice = new QGridLayout;
  choice->addWidget(SkipLabel, 0, 0);
  choice->addWidget(SkipBox, 0, 1);
  choice->addWidget(DateLabel, 0, 2);
  choice->addWidget(DateColumn, 0, 3);
  choice->addWidget(TimeLabel, 0, 4);
  choice->addWidget(TimeColumn, 0, 5);
  choice->addWidget(CoverageLabel, 1, 0);
  choice->addWidget(CoverageBox, 1, 1);
  choice->addWidget(KeepIncomplete, 1, 2, 1, 4);
  choice->setColumnStretch(6, 1);
  choice->setHorizontalSpacing(8);
  auto* filePart = new QVBoxLayout;
  filePart->addWidget(PreviewLabel);
  filePart->addWidget(Preview, 1);
  auto* seriesPart = new QVBoxLayout;
  seriesPart->addWidget(SeriesLabel);
  seriesPart->addWidget(SeriesPreview, 1);
  auto* tables = new QHBoxLayout;
  tables->addLayout(filePart, 3);
  tables->addLayout(seriesPart, 2);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(OkButton);
  buttons->addWidget(CancelButton);
  auto* root = new QVBoxLayout(this);
  root->setSpacing(6);
  root->addWidget(FileLabel);
  root->addLayout(choice);
  root->addWidget(ChannelsLabel);
  root->addWidget(Channels);
  root->addLayout(tables, 1);
  root->addWidget(Status);
  root->addLayout(buttons);

  // The guess has been read already: shown as it is.
  result_ = load_.read;
  UpdateChannels();
  connect(SkipBox, &QSpinBox::valueChanged, this, &TemperatureFileDialog::Update);
  connect(DateColumn, &QComboBox::currentIndexChanged, this, &TemperatureFileDialog::Update);
  connect(TimeColumn, &QComboBox::currentIndexChanged, this, &TemperatureFileDialog::Update);
  connect(CoverageBox, &QSpinBox::valueChanged, this, &TemperatureFileDialog::Update);
  connect(KeepIncomplete, &QCheckBox::toggled, this, &TemperatureFileDialog::Update);
  connect(Channels, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
    if (updating_) return;
    if (item->column() == kChannelUse) {
      Update();
    } else if (item->column() == kChannelName) {
      typedNames_[item->row()] = item->text().toStdString();
    }
  });
  connect(OkButton, &QPushButton::clicked, this, &QDialog::accept);
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
  FitColumns(Preview);
  // As large as a small display allows.
  if (const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen()) {
    const QRect room = screen->availableGeometry();
    resize(std::min(1100, room.width() - 24), std::min(720, room.height() - 24));
  }
  Channels->resizeColumnToContents(kChannelUse);
  Channels->setColumnWidth(kChannelUse, std::min(Channels->columnWidth(kChannelUse),
                                                 Channels->fontMetrics().averageCharWidth() * 30));
}

TemperatureColumns TemperatureFileDialog::Columns() const {
  TemperatureColumns c{SkipBox->value(), DateColumn->currentIndex(), -1};
  c.timeColumn = TimeColumn->currentIndex() - 1;
  bool first = true;
  for (int r = 0; r < Channels->rowCount(); ++r) {
    if (Channels->item(r, kChannelUse)->checkState() != Qt::Checked) continue;
    if (first) {
      c.temperatureColumn = r;
      first = false;
    } else {
      c.moreTemperatureColumns.push_back(r);
    }
  }
  return c;
}

DailyMeanRule TemperatureFileDialog::Rule() const {
  return DailyMeanRule{CoverageBox->value() / 100.0, KeepIncomplete->isChecked()};
}

std::vector<std::string> TemperatureFileDialog::Names() const {
  std::vector<std::string> names;
  for (int c : Columns().AllTemperatureColumns()) {
    if (c >= 0 && c < Channels->rowCount()) {
      names.push_back(Channels->item(c, kChannelName)->text().toStdString());
    }
  }
  return names;
}

void TemperatureFileDialog::SetTemperatureColumn(int column, bool used) {
  if (column < 0 || column >= Channels->rowCount()) return;
  Channels->item(column, kChannelUse)->setCheckState(used ? Qt::Checked : Qt::Unchecked);
}

void TemperatureFileDialog::Update() {
  const TemperatureColumns columns = Columns();
  if (columns.temperatureColumn < 0) {
    result_ = TemperatureRead{};
    result_.error = "地温の列を選んで下さい。";
  } else {
    result_ = ReadTemperatureSeries(load_.rows, columns, Rule());
  }
  UpdateChannels();
}

void TemperatureFileDialog::UpdateChannels() {
  updating_ = true;
  const TemperatureColumns columns = Columns();
  const std::vector<int> temps =
      columns.temperatureColumn < 0 ? std::vector<int>{} : columns.AllTemperatureColumns();
  const bool several = temps.size() > 1;

  // Names: what the user typed, else the file's name (and the column's heading).
  const std::vector<std::string> defaults =
      temps.empty() ? std::vector<std::string>{} : SeriesNames(load_.baseName, load_.rows, columns);
  for (int r = 0; r < Channels->rowCount(); ++r) {
    const auto at = std::find(temps.begin(), temps.end(), r);
    const bool used = at != temps.end();
    QTableWidgetItem* name = Channels->item(r, kChannelName);
    const auto typed = typedNames_.find(r);
    name->setText(!used ? QString()
                  : typed != typedNames_.end()
                      ? Q(typed->second)
                      : Q(defaults[static_cast<size_t>(at - temps.begin())]));
    name->setFlags(used ? name->flags() | Qt::ItemIsEditable : name->flags() & ~Qt::ItemIsEditable);
    for (int k = kChannelPerDay; k < kChannelColumns; ++k) Channels->item(r, k)->setText(QString());
  }
  if (result_.series) {
    for (const ChannelSeries& ch : result_.series->channels) {
      if (ch.column < 0 || ch.column >= Channels->rowCount()) continue;
      Channels->item(ch.column, kChannelPerDay)->setText(QString::number(ch.readingsPerDay));
      Channels->item(ch.column, kChannelIncomplete)
          ->setText(QStringLiteral("%1日").arg(ch.incompleteDays.size()));
      Channels->item(ch.column, kChannelFailed)
          ->setText(QStringLiteral("%1件").arg(ch.failedReadings));
      Channels->item(ch.column, kChannelLowest)->setText(Degrees(ch.lowest));
      Channels->item(ch.column, kChannelHighest)->setText(Degrees(ch.highest));
    }
  }

  // Skipped rows grey, the chosen columns of the data rows coloured.
  for (int r = 0; r < Preview->rowCount(); ++r) {
    for (int c = 0; c < Preview->columnCount(); ++c) {
      QTableWidgetItem* item = Preview->item(r, c);
      if (item == nullptr) continue;
      const bool skipped = r < columns.headerRows;
      item->setForeground(skipped ? QBrush(kSkippedText) : QBrush());
      QBrush back;
      if (!skipped && c == columns.dateColumn) back = QBrush(kDateBack);
      if (!skipped && c == columns.timeColumn) back = QBrush(kTimeBack);
      if (!skipped && std::find(temps.begin(), temps.end(), c) != temps.end()) {
        back = QBrush(kTemperatureBack);
      }
      item->setBackground(back);
    }
  }
  QStringList headers;
  for (int c = 0; c < Preview->columnCount(); ++c) {
    QString h = ColumnName(c);
    if (c == columns.dateColumn) h += QStringLiteral("（日付）");
    if (c == columns.timeColumn) h += QStringLiteral("（時刻）");
    if (std::find(temps.begin(), temps.end(), c) != temps.end()) h += QStringLiteral("（地温）");
    headers << h;
  }
  Preview->setHorizontalHeaderLabels(headers);
  // A heading that grew with its mark is shown whole.
  for (int c = 0; c < Preview->columnCount(); ++c) {
    const int needed = Preview->horizontalHeader()->sectionSizeHint(c);
    if (Preview->columnWidth(c) < needed) Preview->setColumnWidth(c, needed);
  }
  OkButton->setText(several ? QStringLiteral("適用") : QStringLiteral("読込"));
  OkButton->setAccessibleName(OkButton->text());
  OkButton->setToolTip(several ? QStringLiteral("選んだ列をそれぞれ系列として追加します")
                               : QStringLiteral("系列を画面に読み込みます（「⑥ 適用」で追加）"));
  updating_ = false;
  UpdateSeriesPreview();

  if (!result_.series) {
    Status->setStyleSheet(QStringLiteral("color: #b00000;"));
    Status->setText(Q(result_.error));
    OkButton->setEnabled(false);
    return;
  }
  const TemperatureSeries& s = *result_.series;
  const ChannelSeries& first = s.channels.front();
  QString text = QStringLiteral("%1～%2（%3日）")
                     .arg(Q(s.dates.front()), Q(s.dates.back()))
                     .arg(s.dates.size());
  if (s.subDaily) {
    text += QStringLiteral("　1日%1回の読取").arg(first.readingsPerDay);
    if (s.interval > 0) text += QStringLiteral("（%1ごと）").arg(IntervalText(s.interval));
  }
  if (!s.missingDays.empty()) {
    text += QStringLiteral("\nファイルにない日: %1日").arg(s.missingDays.size());
  }
  if (!s.subDaily && !s.blankDays.empty()) {
    text += QStringLiteral("\n地温が空欄か数値でない日: %1日").arg(s.blankDays.size());
  }
  if (s.subDaily) {
    text +=
        QStringLiteral("\n%1全部ある日: %2日、不完全な日: %3日（%4）、読取失敗: %5件")
            .arg(several ? Q(Names().front()) + QStringLiteral("　") : QString())
            .arg(first.fullDays)
            .arg(first.incompleteDays.size())
            .arg(Rule().keepIncomplete ? QStringLiteral("読めた値の平均") : QStringLiteral("空欄"))
            .arg(first.failedReadings);
  }
  if (first.lowest) {
    text += QStringLiteral("\n%1の最低 %2℃、最高 %3℃")
                .arg(s.subDaily ? QStringLiteral("日平均") : QStringLiteral("地温"),
                     Degrees(first.lowest), Degrees(first.highest));
  }
  Status->setStyleSheet(QString());
  Status->setText(text);
  OkButton->setEnabled(true);
}

void TemperatureFileDialog::UpdateSeriesPreview() {
  SeriesPreview->clear();
  if (!result_.series) {
    SeriesPreview->setRowCount(0);
    SeriesPreview->setColumnCount(0);
    return;
  }
  const TemperatureSeries& s = *result_.series;
  const std::vector<std::string> names = Names();
  const int days = std::min(static_cast<int>(s.dates.size()), kPreviewRows);
  SeriesPreview->setRowCount(days);
  SeriesPreview->setColumnCount(static_cast<int>(s.channels.size()) + 1);
  QStringList headers{QStringLiteral("年/月/日")};
  for (size_t k = 0; k < s.channels.size(); ++k) {
    headers << (k < names.size() && !names[k].empty() ? Q(QuotedPart(names[k], 20))
                                                      : QStringLiteral("地温(℃)"));
  }
  SeriesPreview->setHorizontalHeaderLabels(headers);
  for (int d = 0; d < days; ++d) {
    SeriesPreview->setItem(d, 0, new QTableWidgetItem(Q(s.dates[static_cast<size_t>(d)])));
    for (size_t k = 0; k < s.channels.size(); ++k) {
      auto* item = new QTableWidgetItem(Q(s.channels[k].temperatures[static_cast<size_t>(d)]));
      item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      SeriesPreview->setItem(d, static_cast<int>(k) + 1, item);
    }
  }
  FitColumns(SeriesPreview);
}

void TemperatureFileDialog::FitColumns(QTableWidget* table) {
  // Every column readable, none so wide (a long heading line) that the
  // chosen columns are pushed out of sight.
  table->resizeColumnsToContents();
  const int widest =
      table->fontMetrics().horizontalAdvance(QStringLiteral("0000/00/00 00:00:00（日付）")) +
      2 * table->fontMetrics().averageCharWidth();
  for (int c = 0; c < table->columnCount(); ++c) {
    table->setColumnWidth(c, std::min(table->columnWidth(c), widest));
  }
}

}  // namespace kelvora

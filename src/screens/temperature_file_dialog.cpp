#include "screens/temperature_file_dialog.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "screens/qtext.h"

namespace kelvora {

namespace {

// Columns offered in the choices: beyond this a file is no daily list.
constexpr int kMaxColumns = 200;

const QColor kSkippedText(150, 150, 150);
const QColor kDateBack(214, 230, 250);
const QColor kTemperatureBack(252, 228, 200);

QString EncodingName(FileEncoding encoding) {
  switch (encoding) {
    case FileEncoding::Utf8:
      return QStringLiteral("UTF-8");
    case FileEncoding::Utf8WithBom:
      return QStringLiteral("UTF-8（BOM付き）");
    case FileEncoding::Cp932:
      return QStringLiteral("シフトJIS");
  }
  return QString();
}

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

}  // namespace

TemperatureFileDialog::TemperatureFileDialog(const QString& fileName, FileEncoding encoding,
                                             char separator, std::vector<DelimitedRow> rows,
                                             const TemperatureColumns& guess, QWidget* parent)
    : QDialog(parent),
      FileLabel(new QLabel(this)),
      SkipLabel(new QLabel(QStringLiteral("読み飛ばす行数"), this)),
      SkipBox(new QSpinBox(this)),
      DateLabel(new QLabel(QStringLiteral("日付の列"), this)),
      DateColumn(new QComboBox(this)),
      TemperatureLabel(new QLabel(QStringLiteral("地温の列"), this)),
      TemperatureColumn(new QComboBox(this)),
      Preview(new QTableWidget(this)),
      Status(new QLabel(this)),
      OkButton(new QPushButton(QStringLiteral("読込"), this)),
      CancelButton(new QPushButton(QStringLiteral("キャンセル"), this)),
      rows_(std::move(rows)) {
  setObjectName(QStringLiteral("TemperatureFileDialog"));
  setWindowTitle(QStringLiteral("地温ファイルの読込"));
  FileLabel->setText(QStringLiteral("%1（%2、%3）")
                         .arg(fileName, EncodingName(encoding), SeparatorName(separator)));
  FileLabel->setAccessibleName(QStringLiteral("ファイル"));
  FileLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);

  int cols = 1;
  for (const DelimitedRow& r : rows_) cols = std::max(cols, static_cast<int>(r.fields.size()));
  cols = std::min(std::max(cols, 2), kMaxColumns);
  for (int c = 0; c < cols; ++c) {
    DateColumn->addItem(ColumnName(c));
    TemperatureColumn->addItem(ColumnName(c));
  }
  SkipBox->setRange(0, std::max(0, static_cast<int>(rows_.size()) - 1));
  SkipBox->setSuffix(QStringLiteral(" 行"));
  SkipBox->setMinimumWidth(SkipBox->fontMetrics().horizontalAdvance(QStringLiteral("0000 行")) +
                           SkipBox->fontMetrics().averageCharWidth() * 6);
  SkipBox->setValue(guess.headerRows);
  DateColumn->setCurrentIndex(std::clamp(guess.dateColumn, 0, cols - 1));
  TemperatureColumn->setCurrentIndex(std::clamp(guess.temperatureColumn, 0, cols - 1));
  SkipBox->setAccessibleName(SkipLabel->text());
  DateColumn->setAccessibleName(DateLabel->text());
  TemperatureColumn->setAccessibleName(TemperatureLabel->text());
  SkipLabel->setBuddy(SkipBox);
  DateLabel->setBuddy(DateColumn);
  TemperatureLabel->setBuddy(TemperatureColumn);

  // The first rows of the file, numbered by their lines.
  const int shown = std::min(static_cast<int>(rows_.size()), kPreviewRows);
  const int previewCols = std::min(cols, 30);
  Preview->setRowCount(shown);
  Preview->setColumnCount(previewCols);
  Preview->setAccessibleName(QStringLiteral("ファイルの先頭"));
  Preview->setEditTriggers(QAbstractItemView::NoEditTriggers);
  Preview->setSelectionMode(QAbstractItemView::NoSelection);
  Preview->setWordWrap(false);
  QStringList lineNumbers;
  for (int r = 0; r < shown; ++r) {
    lineNumbers << QString::number(rows_[static_cast<size_t>(r)].line);
    const std::vector<std::string>& f = rows_[static_cast<size_t>(r)].fields;
    for (int c = 0; c < previewCols && c < static_cast<int>(f.size()); ++c) {
      const QString text = Q(f[static_cast<size_t>(c)]).simplified();
      auto* item = new QTableWidgetItem(text);
      item->setToolTip(text);  // cut short in a narrow column
      Preview->setItem(r, c, item);
    }
  }
  Preview->setVerticalHeaderLabels(lineNumbers);
  Preview->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  Preview->horizontalHeader()->setMinimumSectionSize(70);
  Preview->setMinimumSize(720, 320);

  Status->setWordWrap(true);
  Status->setAccessibleName(QStringLiteral("読込結果"));
  Status->setMinimumHeight(Status->fontMetrics().lineSpacing() * 3);
  Status->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  OkButton->setAccessibleName(OkButton->text());
  CancelButton->setAccessibleName(CancelButton->text());
  OkButton->setDefault(true);

  auto* choice = new QGridLayout;
  choice->addWidget(SkipLabel, 0, 0);
  choice->addWidget(SkipBox, 0, 1);
  choice->addWidget(DateLabel, 0, 2);
  choice->addWidget(DateColumn, 0, 3);
  choice->addWidget(TemperatureLabel, 0, 4);
  choice->addWidget(TemperatureColumn, 0, 5);
  choice->setColumnStretch(6, 1);
  choice->setHorizontalSpacing(8);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(OkButton);
  buttons->addWidget(CancelButton);
  auto* root = new QVBoxLayout(this);
  root->addWidget(FileLabel);
  root->addLayout(choice);
  root->addWidget(Preview, 1);
  root->addWidget(Status);
  root->addLayout(buttons);

  connect(SkipBox, &QSpinBox::valueChanged, this, &TemperatureFileDialog::Update);
  connect(DateColumn, &QComboBox::currentIndexChanged, this, &TemperatureFileDialog::Update);
  connect(TemperatureColumn, &QComboBox::currentIndexChanged, this, &TemperatureFileDialog::Update);
  connect(OkButton, &QPushButton::clicked, this, &QDialog::accept);
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
  Update();
  // Every column readable, none so wide (a long heading line) that the
  // chosen columns are pushed out of sight.
  Preview->resizeColumnsToContents();
  const int widest =
      Preview->fontMetrics().horizontalAdvance(QStringLiteral("0000/00/00（日付）")) +
      2 * Preview->fontMetrics().averageCharWidth();
  for (int c = 0; c < Preview->columnCount(); ++c) {
    Preview->setColumnWidth(c, std::min(Preview->columnWidth(c), widest));
  }
}

TemperatureColumns TemperatureFileDialog::Columns() const {
  return TemperatureColumns{SkipBox->value(), DateColumn->currentIndex(),
                            TemperatureColumn->currentIndex()};
}

void TemperatureFileDialog::Update() {
  const TemperatureColumns columns = Columns();
  result_ = ReadTemperatureSeries(rows_, columns);

  // Skipped rows grey, the chosen columns of the data rows coloured.
  for (int r = 0; r < Preview->rowCount(); ++r) {
    for (int c = 0; c < Preview->columnCount(); ++c) {
      QTableWidgetItem* item = Preview->item(r, c);
      if (item == nullptr) continue;
      const bool skipped = r < columns.headerRows;
      item->setForeground(skipped ? QBrush(kSkippedText) : QBrush());
      QBrush back;
      if (!skipped && c == columns.dateColumn) back = QBrush(kDateBack);
      if (!skipped && c == columns.temperatureColumn) back = QBrush(kTemperatureBack);
      item->setBackground(back);
    }
  }
  QStringList headers;
  for (int c = 0; c < Preview->columnCount(); ++c) {
    QString h = ColumnName(c);
    if (c == columns.dateColumn) h += QStringLiteral("（日付）");
    if (c == columns.temperatureColumn) h += QStringLiteral("（地温）");
    headers << h;
  }
  Preview->setHorizontalHeaderLabels(headers);
  // A heading that grew with the choice ("3列目（地温）") is shown whole.
  for (int c = 0; c < Preview->columnCount(); ++c) {
    Preview->setColumnWidth(
        c, std::max(Preview->columnWidth(c), Preview->horizontalHeader()->sectionSizeHint(c)));
  }

  if (!result_.series) {
    Status->setStyleSheet(QStringLiteral("color: #b00000;"));
    Status->setText(Q(result_.error));
    OkButton->setEnabled(false);
    return;
  }
  const TemperatureSeries& s = *result_.series;
  QString text = QStringLiteral("%1～%2（%3日）")
                     .arg(Q(s.dates.front()), Q(s.dates.back()))
                     .arg(s.dates.size());
  if (!s.missingDays.empty()) {
    text += QStringLiteral("\nファイルにない日: %1日").arg(s.missingDays.size());
  }
  if (!s.blankDays.empty()) {
    text += QStringLiteral("\n地温が空欄か数値でない日: %1日").arg(s.blankDays.size());
  }
  Status->setStyleSheet(QString());
  Status->setText(text);
  OkButton->setEnabled(true);
}

}  // namespace kelvora

#include "print/prifrm_select.h"

#include <QEvent>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QPageSize>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QVBoxLayout>
#include <algorithm>

#include "kinetics/estimation_export.h"
#include "print/file_export.h"
#include "print/reports.h"
#include "screens/dialogs.h"
#include "screens/qtext.h"
#include "store/hensuu.h"
#include "store/parameter_export.h"
#include "store/sakujyo.h"

namespace kelvora {

namespace {
constexpr int16_t kPrintParameters = 1;
constexpr int16_t kPrintEstimations = 2;
}  // namespace

PriFrm_Select::PriFrm_Select(hensuu& store, Dialogs& dialogs, PrintState& printing, QWidget* parent)
    : QDialog(parent),
      Frame1(new QGroupBox(QStringLiteral("印刷する項目の選択"), this)),
      Label5(new QLabel(Frame1)),
      List1(new QListWidget(Frame1)),
      Label3(new QLabel(QStringLiteral("複数選択の場合、Shift + や"), Frame1)),
      Label4(new QLabel(QStringLiteral("Ctrl + （マウスの左クリック）で選択して下さい。"), Frame1)),
      Frame2(new QGroupBox(QStringLiteral("プリンタの選択"), this)),
      List2(new QListWidget(Frame2)),
      Command1(new QPushButton(QStringLiteral("全て選択"), this)),
      Command2(new QPushButton(QStringLiteral("印刷"), this)),
      Command3(new QPushButton(QStringLiteral("キャンセル"), this)),
      Command4(new QPushButton(QStringLiteral("印刷プレビュー"), this)),
      Command5(new QPushButton(QStringLiteral("エクスポート"), this)),
      store_(store),
      dialogs_(dialogs),
      printing_(printing),
      kind_(store.PrintKind) {
  setObjectName(QStringLiteral("PriFrm_Select"));
  setWindowTitle(QStringLiteral("データの選択"));
  setModal(false);
  setAttribute(Qt::WA_DeleteOnClose);
  Frame1->setObjectName(QStringLiteral("Frame1"));
  Label5->setObjectName(QStringLiteral("Label5"));
  List1->setObjectName(QStringLiteral("List1"));
  Label3->setObjectName(QStringLiteral("Label3"));
  Label4->setObjectName(QStringLiteral("Label4"));
  Frame2->setObjectName(QStringLiteral("Frame2"));
  List2->setObjectName(QStringLiteral("List2"));
  Command1->setObjectName(QStringLiteral("Command1"));
  Command2->setObjectName(QStringLiteral("Command2"));
  Command3->setObjectName(QStringLiteral("Command3"));
  Command4->setObjectName(QStringLiteral("Command4"));
  Command5->setObjectName(QStringLiteral("Command5"));
  for (QPushButton* b : {Command1, Command2, Command3, Command4, Command5}) {
    b->setAccessibleName(b->text());
  }
  List1->setSelectionMode(QAbstractItemView::ExtendedSelection);
  List2->setSelectionMode(QAbstractItemView::SingleSelection);
  List2->setAccessibleName(Frame2->title());

  // Opening: the records of the kind, the current one selected.
  FillRecords();
  // The printers in the system's order, the current one selected.
  printers_ = FillPrinterList(*List2, printing_);

  connect(Command1, &QPushButton::clicked, this, &PriFrm_Select::Command1_Click);
  connect(Command2, &QPushButton::clicked, this, &PriFrm_Select::Command2_Click);
  connect(Command3, &QPushButton::clicked, this, &PriFrm_Select::Command3_Click);
  connect(Command4, &QPushButton::clicked, this, &PriFrm_Select::Command4_Click);
  connect(Command5, &QPushButton::clicked, this, &PriFrm_Select::Command5_Click);

  auto* records = new QVBoxLayout(Frame1);
  records->addWidget(Label5);
  records->addWidget(List1, 1);
  records->addWidget(Label3);
  records->addWidget(Label4);
  auto* printers = new QVBoxLayout(Frame2);
  printers->addWidget(List2);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(Command1);
  buttons->addWidget(Command5);
  buttons->addStretch(1);
  buttons->addWidget(Command4);
  buttons->addWidget(Command2);
  buttons->addWidget(Command3);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Frame1, 3);
  layout->addWidget(Frame2, 1);
  layout->addLayout(buttons);
  const QFontMetrics fm(font());
  resize(std::max(fm.horizontalAdvance(QLatin1Char('M')) * 46, 480), fm.height() * 26);
}

int16_t PriFrm_Select::TableKind() const {
  if (kind_ == kPrintParameters) return kDeletePara;
  if (kind_ == kPrintEstimations) return kDeleteSuitei;
  return 0;
}

uint64_t PriFrm_Select::TableGeneration() const {
  if (kind_ == kPrintParameters) return store_.ParaTable.Generation();
  if (kind_ == kPrintEstimations) return store_.SuiteiTable.Generation();
  return 0;
}

uint64_t PriFrm_Select::KeyOf(int16_t record) const {
  if (kind_ == kPrintParameters) return store_.ParaTable.KeyOf(record);
  if (kind_ == kPrintEstimations) return store_.SuiteiTable.KeyOf(record);
  return 0;
}

bool PriFrm_Select::FillRecords() {
  if (kind_ == kPrintParameters) Label5->setText(QStringLiteral("土壌（肥料）名"));
  if (kind_ == kPrintEstimations) Label5->setText(QStringLiteral("土壌（肥料）名 × 地温名"));
  List1->setAccessibleName(Label5->text());
  const bool first = keys_.empty() && List1->count() == 0;
  std::vector<uint64_t> selected;
  for (int p = 0; p < List1->count() && p < static_cast<int>(keys_.size()); ++p) {
    if (List1->item(p)->isSelected()) selected.push_back(keys_[static_cast<size_t>(p)]);
  }
  // The same entries as the deletion dialog's: the name, or "soil × site".
  List1->clear();
  keys_.clear();
  const int16_t table = TableKind();
  for (const std::string& entry : DeletionEntries(store_, table)) {
    List1->addItem(Q(entry));
    keys_.push_back(KeyOf(static_cast<int16_t>(keys_.size() + 1)));
  }
  generation_ = TableGeneration();
  if (first) {
    if (const int16_t* current = CurrentOfKind(store_, table);
        current && *current >= 1 && *current <= CountOfKind(store_, table)) {
      List1->setCurrentRow(*current - 1);
    }
    return true;
  }
  size_t kept = 0;
  for (size_t p = 0; p < keys_.size(); ++p) {
    if (std::find(selected.begin(), selected.end(), keys_[p]) == selected.end()) continue;
    List1->item(static_cast<int>(p))->setSelected(true);
    ++kept;
  }
  return kept == selected.size();
}

bool PriFrm_Select::ListStillValid() {
  if (TableGeneration() == generation_) return true;
  if (FillRecords()) return true;
  dialogs_.Message(this, kTitleCaution,
                   QStringLiteral("データが変更されたので、一覧を作り直しました。\n"
                                  "印刷する項目を選び直して下さい。"));
  return false;
}

void PriFrm_Select::changeEvent(QEvent* event) {
  // Coming back from a screen that deleted or added records: the list
  // follows the table before anything is chosen from it.
  if (event->type() == QEvent::ActivationChange && isActiveWindow() &&
      TableGeneration() != generation_) {
    FillRecords();
  }
  QDialog::changeEvent(event);
}

std::vector<int16_t> PriFrm_Select::SelectedRecords() const {
  std::vector<int16_t> records;
  for (int p = 0; p < List1->count(); ++p) {
    if (List1->item(p)->isSelected()) records.push_back(static_cast<int16_t>(p + 1));
  }
  return records;
}

QString PriFrm_Select::SuggestedFileName() const {
  if (kind_ == kPrintParameters) return QStringLiteral("パラメータ計算結果.pdf");
  const std::vector<int16_t> records = SelectedRecords();
  if (records.size() == 1) {
    QString name = List1->item(records.front() - 1)->text();
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    return name + QStringLiteral(".pdf");
  }
  return QStringLiteral("窒素無機化推定.pdf");
}

bool PriFrm_Select::DrawSelection(DocumentSink& sink, bool moveCurrent) {
  const std::vector<int16_t> records = SelectedRecords();
  if (kind_ == kPrintParameters) {
    std::vector<ParaRecord> chosen;
    for (int16_t r : records) chosen.push_back(store_.ParaTable(r));
    return PrintParameterReport(sink, chosen);
  }
  if (kind_ == kPrintEstimations) {
    for (int16_t r : records) {
      if (moveCurrent) store_.SuiteiCurrent = r;
      if (!PrintEstimationReport(sink, store_.SuiteiTable(r))) return false;
    }
  }
  return true;
}

void PriFrm_Select::Command1_Click() { List1->selectAll(); }

void PriFrm_Select::Command2_Click() {
  if (kind_ != kPrintParameters && kind_ != kPrintEstimations) {
    close();  // nothing to print for another kind
    return;
  }
  if (!ListStillValid()) return;
  if (kind_ == kPrintEstimations && SelectedRecords().empty()) {
    close();  // no estimation selected: nothing to print, no file to ask for
    return;
  }
  printing_.MakeCurrent(printers_, List2->currentRow());
  // On a failure or a cancelled file name the window stays, so that another
  // printer can be chosen without selecting the records again.
  if (PrintWith(printing_, this, dialogs_, SuggestedFileName(),
                [this](DocumentSink& sink) { return DrawSelection(sink, true); })) {
    close();
  }
}

void PriFrm_Select::Command3_Click() { close(); }

void PriFrm_Select::Command4_Click() {
  if (!ListStillValid()) return;
  QPrinter printer(QPrinter::HighResolution);
  printer.setPageSize(QPageSize(QPageSize::A4));
  printer.setPageOrientation(kind_ == kPrintParameters ? QPageLayout::Landscape
                                                       : QPageLayout::Portrait);
  QPrintPreviewDialog preview(&printer, this);
  preview.setWindowTitle(QStringLiteral("印刷プレビュー"));
  connect(&preview, &QPrintPreviewDialog::paintRequested, this, [this](QPrinter* target) {
    PagedDeviceSink sink(*target);
    DrawSelection(sink, false);
    sink.Finish();
  });
  preview.resize(size().width() * 2, size().height() * 3 / 2);
  dialogs_.Exec(preview);
}

void PriFrm_Select::Command5_Click() {
  if (kind_ != kPrintParameters && kind_ != kPrintEstimations) return;
  if (!ListStillValid()) return;
  std::vector<int> chosen;
  for (int16_t r : SelectedRecords()) chosen.push_back(r - 1);
  if (chosen.empty()) {
    for (int p = 0; p < List1->count(); ++p) chosen.push_back(p);
  }
  if (chosen.empty()) {
    dialogs_.Message(this, kTitleCaution, QStringLiteral("書き出すデータがありません"));
    return;
  }
  const bool parameters = kind_ == kPrintParameters;
  QString suggested = parameters ? QStringLiteral("パラメータ一覧") : QStringLiteral("無機化推定");
  if (chosen.size() == 1) {
    suggested = FileNameFrom(List1->item(chosen.front())->text(), suggested);
  }
  ExportToFile(this, dialogs_, QStringLiteral("エクスポート"), suggested + QStringLiteral(".xlsx"),
               kXlsxFilter + QStringLiteral(";;") + kCsvFilter,
               [this, &chosen, parameters](const std::filesystem::path& out) {
                 return parameters ? ExportParameters(store_, chosen, out)
                                   : ExportEstimations(store_, chosen, out);
               });
}

}  // namespace kelvora

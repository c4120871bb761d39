#include "screens/batch_fit_window.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeySequence>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScreen>
#include <QShortcut>
#include <QVBoxLayout>
#include <algorithm>

#include "kinetics/batch_export.h"
#include "kinetics/model_kind.h"
#include "kinetics/solver.h"
#include "print/file_export.h"
#include "screens/child_screen.h"
#include "screens/dialogs.h"
#include "screens/fit_runner.h"
#include "screens/help_window.h"
#include "screens/mdiform1.h"
#include "screens/paraall_form.h"
#include "screens/qtext.h"
#include "store/number_text.h"

namespace kelvora {
namespace {

constexpr int kTickMs = 100;
const char* kHelpChapter = "batch";

QString Elapsed(std::chrono::steady_clock::duration d) {
  const long long s = std::chrono::duration_cast<std::chrono::seconds>(d).count();
  return QStringLiteral("経過時間 %1:%2").arg(s / 60).arg(s % 60, 2, 10, QLatin1Char('0'));
}

QString MaterialText(bool fertilizer) {
  return fertilizer ? QStringLiteral("被覆肥料") : QStringLiteral("土壌");
}

QTableWidgetItem* ReadOnlyItem(const QString& text) {
  auto* item = new QTableWidgetItem(text);
  item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
  return item;
}

}  // namespace

BatchFitWindow::BatchFitWindow(const ScreenContext& context, FitSource source,
                               const QString& standardTemp, QWidget* owner)
    : QWidget(owner, Qt::Window),
      Pages(new QStackedWidget(this)),
      ChoiceLabel(new QLabel(this)),
      RecordList(new QListWidget(this)),
      SelectAllButton(new QPushButton(QStringLiteral("全て選択"), this)),
      ClearButton(new QPushButton(QStringLiteral("選択解除"), this)),
      StdTempLabel(new QLabel(QStringLiteral("標準温度"), this)),
      StdTempBox(new QLineEdit(standardTemp, this)),
      StartButton(new QPushButton(QStringLiteral("開始"), this)),
      CancelButton(new QPushButton(QStringLiteral("閉じる"), this)),
      CountLabel(new QLabel(this)),
      Bar(new QProgressBar(this)),
      RunningLabel(new QLabel(this)),
      ElapsedLabel(new QLabel(this)),
      StopButton(new QPushButton(QStringLiteral("中止"), this)),
      SummaryLabel(new QLabel(this)),
      ResultTable(new QTableWidget(this)),
      StatusLabel(new QLabel(this)),
      SaveButton(new QPushButton(QStringLiteral("選択した結果を保存"), this)),
      ExportButton(new QPushButton(QStringLiteral("エクスポート"), this)),
      CloseButton(new QPushButton(QStringLiteral("閉じる"), this)),
      context_(context),
      source_(source) {
  setObjectName(source == FitSource::Field ? QStringLiteral("BatchFitWindowField")
                                           : QStringLiteral("BatchFitWindowLab"));
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(source == FitSource::Field ? QStringLiteral("一括計算（ほ場埋設）")
                                            : QStringLiteral("一括計算（培養結果）"));
  setAccessibleName(windowTitle());
  BuildLayout();
  FillRecordList();

  connect(SelectAllButton, &QPushButton::clicked, this, [this] {
    for (int i = 0; i < RecordList->count(); ++i) RecordList->item(i)->setCheckState(Qt::Checked);
  });
  connect(ClearButton, &QPushButton::clicked, this, [this] {
    for (int i = 0; i < RecordList->count(); ++i) {
      RecordList->item(i)->setCheckState(Qt::Unchecked);
    }
  });
  connect(StartButton, &QPushButton::clicked, this, &BatchFitWindow::StartButton_Click);
  connect(CancelButton, &QPushButton::clicked, this, [this] { Frame()->close(); });
  connect(StopButton, &QPushButton::clicked, this, &BatchFitWindow::StopButton_Click);
  connect(SaveButton, &QPushButton::clicked, this, &BatchFitWindow::SaveButton_Click);
  connect(ExportButton, &QPushButton::clicked, this, &BatchFitWindow::ExportButton_Click);
  connect(CloseButton, &QPushButton::clicked, this, [this] { Frame()->close(); });
  connect(ResultTable, &QTableWidget::cellDoubleClicked, this,
          [this](int row, int) { OpenRecordResults(row); });
  connect(&ticker_, &QTimer::timeout, this, &BatchFitWindow::ShowProgress);
  auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), this);
  f1->setContext(Qt::WindowShortcut);
  connect(f1, &QShortcut::activated, this,
          [this] { ShowHelp(this, QString::fromLatin1(kHelpChapter)); });
}

BatchFitWindow::~BatchFitWindow() {
  // Only when the program ends during a batch: the fits stop at their next
  // sweep, and nothing may post to this window once it is gone.
  if (thread_.joinable()) {
    control_->Stop();
    thread_.join();
  }
}

void BatchFitWindow::BuildLayout() {
  const QString table =
      source_ == FitSource::Field ? QStringLiteral("ほ場埋設") : QStringLiteral("培養結果");
  ChoiceLabel->setText(QStringLiteral("計算する%1の記録（初期値は画面の既定）").arg(table));
  RecordList->setObjectName(QStringLiteral("RecordList"));
  RecordList->setAccessibleName(ChoiceLabel->text());
  StdTempBox->setObjectName(QStringLiteral("StdTempBox"));
  StdTempBox->setAccessibleName(StdTempLabel->text());
  StdTempBox->setAlignment(Qt::AlignRight);
  StdTempBox->setMaximumWidth(80);
  Bar->setAccessibleName(QStringLiteral("進み具合"));
  RunningLabel->setWordWrap(true);
  RunningLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  RunningLabel->setMinimumHeight(RunningLabel->fontMetrics().lineSpacing() * 4);
  SummaryLabel->setWordWrap(true);
  StatusLabel->setWordWrap(true);
  ResultTable->setObjectName(QStringLiteral("ResultTable"));
  ResultTable->setAccessibleName(QStringLiteral("一括計算の結果"));
  ResultTable->setColumnCount(7);
  ResultTable->setHorizontalHeaderLabels({QStringLiteral("保存"), QStringLiteral("記録"),
                                          QStringLiteral("名前"), QStringLiteral("モデル"),
                                          QStringLiteral("AIC"), QStringLiteral("R²"),
                                          QStringLiteral("注意")});
  ResultTable->setSelectionBehavior(QAbstractItemView::SelectRows);
  ResultTable->setSelectionMode(QAbstractItemView::SingleSelection);
  ResultTable->verticalHeader()->hide();
  ResultTable->horizontalHeader()->setStretchLastSection(true);

  auto* choice = new QWidget;
  auto* choiceButtons = new QHBoxLayout;
  choiceButtons->addWidget(SelectAllButton);
  choiceButtons->addWidget(ClearButton);
  choiceButtons->addStretch();
  choiceButtons->addWidget(StdTempLabel);
  choiceButtons->addWidget(StdTempBox);
  choiceButtons->addWidget(new QLabel(QStringLiteral("℃"), this));
  auto* choiceEnd = new QHBoxLayout;
  choiceEnd->addStretch();
  choiceEnd->addWidget(StartButton);
  choiceEnd->addWidget(CancelButton);
  auto* choiceLayout = new QVBoxLayout(choice);
  choiceLayout->addWidget(ChoiceLabel);
  choiceLayout->addWidget(RecordList, 1);
  choiceLayout->addLayout(choiceButtons);
  choiceLayout->addLayout(choiceEnd);

  auto* progress = new QWidget;
  auto* progressEnd = new QHBoxLayout;
  progressEnd->addWidget(ElapsedLabel);
  progressEnd->addStretch();
  progressEnd->addWidget(StopButton);
  auto* progressLayout = new QVBoxLayout(progress);
  progressLayout->addWidget(CountLabel);
  progressLayout->addWidget(Bar);
  progressLayout->addWidget(RunningLabel);
  progressLayout->addStretch(1);
  progressLayout->addLayout(progressEnd);
  QFont big = CountLabel->font();
  big.setPointSizeF(big.pointSizeF() * 1.6);
  CountLabel->setFont(big);

  auto* summary = new QWidget;
  auto* summaryEnd = new QHBoxLayout;
  summaryEnd->addWidget(SaveButton);
  summaryEnd->addWidget(ExportButton);
  summaryEnd->addStretch();
  summaryEnd->addWidget(CloseButton);
  auto* summaryLayout = new QVBoxLayout(summary);
  summaryLayout->addWidget(SummaryLabel);
  summaryLayout->addWidget(ResultTable, 1);
  summaryLayout->addWidget(StatusLabel);
  summaryLayout->addLayout(summaryEnd);

  Pages->addWidget(choice);
  Pages->addWidget(progress);
  Pages->addWidget(summary);
  auto* root = new QVBoxLayout(this);
  root->setContentsMargins(8, 8, 8, 8);
  root->addWidget(Pages);
  resize(860, 500);
  setMinimumSize(480, 320);
}

uint64_t BatchFitWindow::TableGeneration() const {
  const hensuu& st = context_.store;
  return source_ == FitSource::Field ? st.HojyoTable.Generation() : st.BaiyoTable.Generation();
}

void BatchFitWindow::FillRecordList() {
  const hensuu& st = context_.store;
  std::vector<uint64_t> unchecked;
  for (int i = 0; i < RecordList->count(); ++i) {
    if (RecordList->item(i)->checkState() != Qt::Checked) {
      unchecked.push_back(listKeys_[static_cast<size_t>(i)]);
    }
  }
  RecordList->clear();
  listKeys_.clear();
  const int count = source_ == FitSource::Field ? st.HojyoCount() : st.BaiyoCount();
  for (int i = 1; i <= count; ++i) {
    const bool field = source_ == FitSource::Field;
    const std::string& name = field ? st.HojyoTable(i).SoilName : st.BaiyoTable(i).SoilName;
    const bool fertilizer = field ? st.HojyoTable(i).IsFertilizer : st.BaiyoTable(i).IsFertilizer;
    const uint64_t key = field ? st.HojyoTable.KeyOf(static_cast<int16_t>(i))
                               : st.BaiyoTable.KeyOf(static_cast<int16_t>(i));
    auto* item = new QListWidgetItem(
        QStringLiteral("%1. %2（%3）").arg(i).arg(Q(name), MaterialText(fertilizer)), RecordList);
    item->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    const bool wasUnchecked = std::find(unchecked.begin(), unchecked.end(), key) != unchecked.end();
    item->setCheckState(wasUnchecked ? Qt::Unchecked : Qt::Checked);
    listKeys_.push_back(key);
  }
  listGeneration_ = TableGeneration();
  StartButton->setEnabled(count > 0);
}

void BatchFitWindow::changeEvent(QEvent* event) {
  // The list follows its table while records are being chosen.
  if (event->type() == QEvent::ActivationChange && isActiveWindow() && Pages->currentIndex() == 0 &&
      listGeneration_ != TableGeneration()) {
    FillRecordList();
  }
  QWidget::changeEvent(event);
}

FitRequest BatchFitWindow::RequestOf(size_t index) const {
  const int16_t record = chosen_[index];
  return source_ == FitSource::Field ? FieldRecordRequest(fieldCopy_(record), standardTemp_)
                                     : LabRecordRequest(labCopy_(record), standardTemp_);
}

void BatchFitWindow::StartButton_Click() {
  if (Running()) return;
  Dialogs& dialogs = context_.dialogs;
  if (listGeneration_ != TableGeneration()) {
    FillRecordList();
    dialogs.Message(this, kTitleCaution,
                    QStringLiteral("記録が変更されたため、一覧を新しくしました。\n"
                                   "計算する記録を確かめてから「開始」を押して下さい。"));
    return;
  }
  const std::string temp = StdTempBox->text().trimmed().toStdString();
  if (std::optional<std::string> message = StandardTempMessage(temp)) {
    dialogs.Message(this, kTitleCaution, Q(*message));
    return;
  }
  std::vector<int16_t> chosen;
  for (int i = 0; i < RecordList->count(); ++i) {
    if (RecordList->item(i)->checkState() == Qt::Checked)
      chosen.push_back(static_cast<int16_t>(i + 1));
  }
  if (chosen.empty()) {
    dialogs.Message(this, kTitleCaution, QStringLiteral("計算する記録を選んで下さい"));
    return;
  }
  // The records as they are now; the batch reads only this copy.
  labCopy_ = context_.store.BaiyoTable;
  fieldCopy_ = context_.store.HojyoTable;
  chosen_ = std::move(chosen);
  standardTemp_ = temp;
  rows_.clear();
  chosenModel_.clear();
  storedAt_.clear();
  control_ = std::make_unique<BatchControl>();
  Bar->setRange(0, static_cast<int>(chosen_.size()));
  Bar->setValue(0);
  StopButton->setEnabled(true);
  StopButton->setText(QStringLiteral("中止"));
  Pages->setCurrentIndex(1);
  started_ = std::chrono::steady_clock::now();
  ShowProgress();
  ticker_.start(kTickMs);

  BatchOptions options;
  options.refinement = false;  // the summary shows the fit's own values
  BatchControl* control = control_.get();
  const size_t count = chosen_.size();
  thread_ = std::thread([this, control, options, count] {
    // The threads of the batch read only the copy; what they hand over is
    // posted to this window's thread, in record order.
    RunBatchFit(
        count, [this](size_t i) { return RequestOf(i); },
        [this](BatchRecordResult&& r) {
          BatchRow row = KeepBatchRow(r, chosen_[r.index], true);
          QMetaObject::invokeMethod(
              this, [this, row = std::move(row)]() mutable { rows_.push_back(std::move(row)); },
              Qt::QueuedConnection);
        },
        options, control);
    QMetaObject::invokeMethod(
        this, [this] { Finished(); }, Qt::QueuedConnection);
  });
}

void BatchFitWindow::StopButton_Click() {
  if (!Running()) return;
  control_->Stop();
  StopButton->setEnabled(false);
  StopButton->setText(QStringLiteral("中止しています…"));
}

void BatchFitWindow::ShowProgress() {
  if (!control_) return;
  const BatchControl::Progress p = control_->Snapshot();
  CountLabel->setText(QStringLiteral("%1 / %2").arg(p.done).arg(chosen_.size()));
  Bar->setValue(static_cast<int>(p.done));
  QStringList lines;
  for (const BatchControl::Running& r : p.running) {
    QString line = QStringLiteral("%1. %2").arg(chosen_[r.index]).arg(Q(r.name));
    if (!r.stage.empty()) line += QStringLiteral("　") + Q(r.stage);
    if (r.sweep > 0) line += QStringLiteral("（反復 %1 / %2）").arg(r.sweep).arg(kIterMax);
    lines << line;
  }
  RunningLabel->setText(lines.join(QLatin1Char('\n')));
  ElapsedLabel->setText(Elapsed(std::chrono::steady_clock::now() - started_));
}

void BatchFitWindow::Finished() {
  if (thread_.joinable()) thread_.join();  // it has handed everything over
  ticker_.stop();
  ShowProgress();
  if (closeWhenDone_) {
    Frame()->deleteLater();
    return;
  }
  FillSummary();
  Pages->setCurrentIndex(2);
  emit batchFinished();
}

void BatchFitWindow::FillSummary() {
  size_t fitted = 0;
  chosenModel_.assign(rows_.size(), 0);
  storedAt_.assign(rows_.size(), 0);
  ResultTable->clearContents();
  ResultTable->setRowCount(static_cast<int>(rows_.size()));
  for (size_t i = 0; i < rows_.size(); ++i) {
    const BatchRow& row = rows_[i];
    const int r = static_cast<int>(i);
    auto* save = new QTableWidgetItem;
    if (row.ok()) {
      ++fitted;
      chosenModel_[i] = row.best;
      save->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsEnabled | Qt::ItemIsSelectable);
      save->setCheckState(Qt::Checked);
    } else {
      save->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    }
    ResultTable->setItem(r, kSaveColumn, save);
    ResultTable->setItem(r, kRecordColumn, ReadOnlyItem(QString::number(row.record)));
    ResultTable->setItem(r, kNameColumn, ReadOnlyItem(Q(row.name)));
    if (row.ok()) {
      auto* box = new QComboBox(ResultTable);
      box->setAccessibleName(QStringLiteral("%1 のモデル").arg(Q(row.name)));
      for (const BatchModelRow& m : row.models) {
        QString text = Q(ModelName(m.model));
        if (m.model == row.best) text += QStringLiteral("（最適）");
        box->addItem(text, m.model);
      }
      box->setCurrentIndex(box->findData(row.best));
      connect(box, &QComboBox::currentIndexChanged, this, [this, r, box] {
        chosenModel_[static_cast<size_t>(r)] = static_cast<int16_t>(box->currentData().toInt());
        ShowRowModel(r);
      });
      ResultTable->setCellWidget(r, kModelColumn, box);
    } else {
      ResultTable->setItem(r, kModelColumn, ReadOnlyItem(QString()));
    }
    ShowRowModel(r);
  }
  ResultTable->resizeColumnsToContents();
  ResultTable->setCurrentCell(-1, -1);
  const size_t total = chosen_.size();
  QString text = QStringLiteral("%1件中 %2件を算出しました。").arg(total).arg(fitted);
  if (rows_.size() < total) {
    text += QStringLiteral("中止したため、%1件は計算していません。").arg(total - rows_.size());
  }
  text += QStringLiteral(
      "\n保存するモデルは行ごとに選べます。行をダブルクリックすると、その記録の計算結果の画面を"
      "開きます。");
  SummaryLabel->setText(text);
  StatusLabel->clear();
  SaveButton->setEnabled(fitted > 0);
}

// AIC, R² and the note of the model chosen on a row.
void BatchFitWindow::ShowRowModel(int r) {
  const BatchRow& row = rows_[static_cast<size_t>(r)];
  QString aic, r2, note;
  QString tip;
  if (!row.ok()) {
    note = QStringLiteral("× ") + Q(row.message);
  } else if (const BatchModelRow* m = row.Model(chosenModel_[static_cast<size_t>(r)])) {
    aic = Q(FormatFixed(m->aic, 2));
    if (m->r2) r2 = Q(FormatFixed(*m->r2, 4));
    if (!m->warnings.empty()) {
      note = QStringLiteral("△ ") + Q(m->warnings.front());
      QStringList all;
      for (const std::string& w : m->warnings) all << Q(w);
      tip = all.join(QLatin1Char('\n'));
    }
  }
  if (storedAt_[static_cast<size_t>(r)] > 0) {
    note = QStringLiteral("保存済み（パラメータ一覧の %1 番）")
               .arg(storedAt_[static_cast<size_t>(r)]) +
           (note.isEmpty() ? QString() : QStringLiteral("　") + note);
  }
  ResultTable->setItem(r, kAicColumn, ReadOnlyItem(aic));
  ResultTable->item(r, kAicColumn)->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
  ResultTable->setItem(r, kR2Column, ReadOnlyItem(r2));
  ResultTable->item(r, kR2Column)->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
  QTableWidgetItem* noteItem = ReadOnlyItem(note);
  noteItem->setToolTip(tip.isEmpty() ? note : tip);
  if (!row.ok()) noteItem->setForeground(QColor(192, 0, 0));
  ResultTable->setItem(r, kNoteColumn, noteItem);
}

int16_t BatchFitWindow::ChosenModel(int row) const {
  return chosenModel_.at(static_cast<size_t>(row));
}

void BatchFitWindow::ChooseModel(int row, int16_t model) {
  auto* box = qobject_cast<QComboBox*>(ResultTable->cellWidget(row, kModelColumn));
  if (box) box->setCurrentIndex(box->findData(model));
}

void BatchFitWindow::SaveButton_Click() {
  hensuu& st = context_.store;
  int saved = 0;
  bool full = false;
  for (size_t i = 0; i < rows_.size(); ++i) {
    const int r = static_cast<int>(i);
    QTableWidgetItem* save = ResultTable->item(r, kSaveColumn);
    if (!rows_[i].ok() || storedAt_[i] > 0 || !save || save->checkState() != Qt::Checked) continue;
    // As the results screen stores a fit: the best model's record, with the
    // chosen model written over it.
    if (!st.ParaTable.Append(BatchStoredRecord(rows_[i], chosenModel_[i]))) {
      full = true;
      break;
    }
    storedAt_[i] = st.ParaCount();
    ++saved;
    save->setCheckState(Qt::Unchecked);
    save->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    if (auto* box = ResultTable->cellWidget(r, kModelColumn)) box->setEnabled(false);
    ShowRowModel(r);
  }
  if (saved > 0) {
    if (auto* list = context_.navigation.Find<ParaAll_Form>(Screen::ParaAll_Form)) list->SyncList();
  }
  StatusLabel->setText(
      saved > 0 ? QStringLiteral("%1件のパラメータをパラメータ一覧に追加しました。").arg(saved)
                : QStringLiteral("保存する行が選ばれていません。"));
  if (full) {
    context_.dialogs.Message(this, kTitleCaution, Q(TableFullMessage()), Dialogs::Icon::Warning);
  }
}

void BatchFitWindow::ExportButton_Click() {
  const std::vector<BatchRow> rows = rows_;
  const std::vector<int16_t> chosen = chosenModel_;
  ExportToFile(this, context_.dialogs, QStringLiteral("エクスポート"),
               QStringLiteral("一括計算.xlsx"), kXlsxFilter + QStringLiteral(";;") + kCsvFilter,
               [&rows, &chosen](const std::filesystem::path& out) {
                 return ExportBatch(rows, out, &chosen);
               });
}

void BatchFitWindow::OpenRecordResults(int r) {
  if (r < 0 || r >= static_cast<int>(rows_.size())) return;
  const BatchRow& row = rows_[static_cast<size_t>(r)];
  if (!row.ok() || !row.fitted) return;
  Dialogs& dialogs = context_.dialogs;
  FitRunner* runner = context_.runner;
  if (!context_.session || (runner && runner->Running())) return;
  std::optional<FitSession> session = RestoreBatchSession(RequestOf(row.index), *row.fitted);
  if (!session) {
    dialogs.Message(this, kTitleCaution, QStringLiteral("この記録の計算結果を表示できません。"));
    return;
  }
  // A results screen open for another fit is closed first (it may ask about
  // the model chosen there), as a new fit closes it.
  Navigation& navigation = context_.navigation;
  if (navigation.FindScreen(Screen::ParaKekka_Form0_1) &&
      !navigation.CloseChildScreen(Screen::ParaKekka_Form0_1)) {
    return;
  }
  *context_.session = std::move(*session);
  // Another model chosen there rewrites the row's stored set while it is the
  // last one, else it is appended, as after a single fit.
  const size_t i = static_cast<size_t>(r);
  if (runner) {
    runner->RecordRewritten(storedAt_[i],
                            BatchStoredRecord(row, storedAt_[i] > 0 ? chosenModel_[i] : row.best));
  }
  navigation.OpenChildScreen(Screen::ParaKekka_Form0_1);
}

QWidget* BatchFitWindow::Frame() {
  auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget());
  return sub ? static_cast<QWidget*>(sub) : this;
}

void BatchFitWindow::closeEvent(QCloseEvent* event) {
  if (Running()) {
    // The window goes at once; the fits stop at their next sweep and the
    // window is deleted when the batch has ended. Nothing waits.
    control_->Stop();
    closeWhenDone_ = true;
    Frame()->hide();
    event->ignore();
    return;
  }
  QWidget::closeEvent(event);
  // Closed by itself: its frame in the work area goes too.
  if (QWidget* frame = Frame(); frame != this) frame->deleteLater();
}

BatchFitWindow* ShowBatchFitWindow(ChildScreen& screen, FitSource source,
                                   const QString& standardTemp) {
  QWidget* owner = screen.window();
  const QString name = source == FitSource::Field ? QStringLiteral("BatchFitWindowField")
                                                  : QStringLiteral("BatchFitWindowLab");
  BatchFitWindow* w = nullptr;
  for (BatchFitWindow* candidate : owner->findChildren<BatchFitWindow*>(name)) {
    if (candidate->Frame()->isVisible()) w = candidate;
  }
  if (!w) {
    auto* main = qobject_cast<MDIForm1*>(owner);
    w = new BatchFitWindow(screen.Context(), source, standardTemp, main ? nullptr : owner);
    if (main) {
      // A window of the work area like the screens, so that the results
      // screen it opens comes in front of it.
      QMdiSubWindow* sub = main->MdiArea->addSubWindow(w);
      sub->setAttribute(Qt::WA_DeleteOnClose);
      const QSize room = main->MdiArea->viewport()->size();
      const QSize wanted = w->size() + (sub->frameGeometry().size() - sub->contentsRect().size());
      sub->resize(
          std::max(std::min(wanted.width(), room.width()), sub->minimumSizeHint().width()),
          std::max(std::min(wanted.height(), room.height()), sub->minimumSizeHint().height()));
      sub->move(std::max(0, std::min(40, room.width() - sub->width())),
                std::max(0, std::min(30, room.height() - sub->height())));
    } else if (const QScreen* s = owner->screen()) {
      const QRect avail = s->availableGeometry();
      w->resize(std::min(w->width(), avail.width() - 20),
                std::min(w->height(), avail.height() - 40));
      w->move(avail.x() + std::max(0, (avail.width() - w->width()) / 2),
              avail.y() + std::max(0, (avail.height() - w->height()) / 2 - 10));
    }
  }
  w->Frame()->show();
  w->Frame()->raise();
  if (auto* sub = qobject_cast<QMdiSubWindow*>(w->Frame())) {
    sub->mdiArea()->setActiveSubWindow(sub);
  } else {
    w->activateWindow();
  }
  return w;
}

}  // namespace kelvora

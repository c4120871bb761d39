#include "screens/temperature_file_loader.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <atomic>
#include <memory>
#include <thread>

#include "screens/qtext.h"

namespace kelvora {

namespace {

QString StageText(LoadStage stage) {
  switch (stage) {
    case LoadStage::Reading:
      return QStringLiteral("ファイルを読み込んでいます");
    case LoadStage::Splitting:
      return QStringLiteral("行と列に分けています");
    case LoadStage::Guessing:
      return QStringLiteral("日付と地温の列を探しています");
    case LoadStage::Averaging:
      return QStringLiteral("日ごとの地温を求めています");
  }
  return QString();
}

// How often the window looks at the worker's stage.
constexpr int kStageIntervalMs = 100;

}  // namespace

TemperatureFileProgress::TemperatureFileProgress(const QString& fileName, QWidget* owner)
    : QDialog(owner),
      Label1(new QLabel(this)),
      Bar(new QProgressBar(this)),
      CommandStop(new QPushButton(QStringLiteral("中止"), this)) {
  setObjectName(QStringLiteral("TemperatureFileProgress"));
  setWindowTitle(QStringLiteral("地温ファイルの読込"));
  setWindowModality(Qt::ApplicationModal);
  auto* file = new QLabel(fileName, this);
  file->setAccessibleName(QStringLiteral("ファイル"));
  Label1->setAccessibleName(QStringLiteral("読込の段階"));
  Bar->setRange(0, 8);  // the middle of each of the four stages
  Bar->setTextVisible(false);
  Bar->setAccessibleName(QStringLiteral("読込の進み具合"));
  CommandStop->setAccessibleName(CommandStop->text());
  auto* root = new QVBoxLayout(this);
  root->addWidget(file);
  root->addWidget(Label1);
  root->addWidget(Bar);
  root->addWidget(CommandStop, 0, Qt::AlignRight);
  setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("日付と地温の列を探しています")) *
                  3 / 2);
  SetStage(LoadStage::Reading);
  connect(CommandStop, &QPushButton::clicked, this, [this] {
    stopRequested_ = true;
    CommandStop->setEnabled(false);
    Label1->setText(QStringLiteral("中止しています"));
  });
}

void TemperatureFileProgress::SetStage(LoadStage stage) {
  if (stopRequested_) return;
  Label1->setText(StageText(stage) + QStringLiteral("…"));
  Bar->setValue(2 * static_cast<int>(stage) + 1);
}

void TemperatureFileProgress::closeEvent(QCloseEvent* event) {
  // The close box stops the reading like "中止"; the window goes when the
  // worker has ended.
  if (!stopRequested_) CommandStop->click();
  event->ignore();
}

std::optional<TemperatureFileLoad> TemperatureFileLoader::Load(QWidget* owner,
                                                               const std::filesystem::path& path) {
  // What the worker and this thread share; the worker touches nothing else.
  struct Shared {
    std::atomic<bool> cancel{false};
    std::atomic<int> stage{0};
    TemperatureFileLoad result;
  };
  auto shared = std::make_shared<Shared>();
  QEventLoop loop;
  QObject receiver;  // outlives the worker: it is joined before this returns
  bool done = false;
  TemperatureFileProgress* progress = nullptr;
  const QString fileName = Q(path.filename().string());
  auto showProgress = [&] {
    if (done || progress != nullptr) return;
    progress = new TemperatureFileProgress(fileName, owner ? owner->window() : nullptr);
    QObject::connect(progress->CommandStop, &QPushButton::clicked, &receiver,
                     [&shared] { shared->cancel.store(true); });
    progress->show();
    if (onProgressShown) onProgressShown(*progress);
    loop.quit();  // on to the loop that takes the user's input
  };
  if (showAfterMs <= 0) showProgress();

  std::thread worker([shared, path, &receiver, &loop, &done] {
    shared->result = LoadTemperatureFile(path, &shared->cancel, &shared->stage);
    QMetaObject::invokeMethod(
        &receiver,
        [&loop, &done] {
          done = true;
          loop.quit();
        },
        Qt::QueuedConnection);
  });

  QTimer stageTimer;
  QObject::connect(&stageTimer, &QTimer::timeout, &receiver, [&] {
    if (progress) progress->SetStage(static_cast<LoadStage>(shared->stage.load()));
  });
  stageTimer.start(kStageIntervalMs);
  if (progress == nullptr) {
    // A moment without a window: the user's input waits meanwhile.
    QTimer::singleShot(showAfterMs, &receiver, showProgress);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
  }
  while (!done) loop.exec();
  stageTimer.stop();
  worker.join();  // it has posted its end: nothing is left for it to do

  const bool stopped = progress != nullptr && progress->StopRequested();
  if (progress) {
    progress->hide();
    progress->deleteLater();
  }
  stoppedEarly_ = shared->result.cancelled;
  if (stopped || shared->result.cancelled) return std::nullopt;
  return std::move(shared->result);
}

}  // namespace kelvora

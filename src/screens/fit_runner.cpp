#include "screens/fit_runner.h"

#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <cstring>

#include "kinetics/fit_driver.h"
#include "screens/dialogs.h"
#include "screens/mdiform1.h"
#include "screens/qtext.h"
#include "screens/saikeisan_form.h"
#include "screens/sol_dame0_1.h"
#include "store/hensuu.h"

namespace kelvora {

namespace {

// The fit's host on the worker thread: texts and the failed-fit question go
// to the user-interface thread; the sweep counter is read there by a timer.
class WorkerHost : public FitHost {
 public:
  WorkerHost(FitRunner& runner, SaiKeisan_Form* progress, std::atomic<bool>& stop)
      : runner_(runner), progress_(progress), stop_(stop) {}

  void ShowProgress(const std::string& a, const std::string& b, const std::string& c) override {
    QPointer<SaiKeisan_Form> p = progress_;
    QMetaObject::invokeMethod(
        &runner_,
        [p, a, b, c] {
          if (p) {
            p->SetTexts(Q(a), Q(b), Q(c));
            p->SetSearchState(0, 0);
          }
        },
        Qt::QueuedConnection);
    sweep_.store(0);
  }
  void SweepDone(int16_t, int16_t sweep, float bestRss) override {
    uint32_t bits = 0;
    std::memcpy(&bits, &bestRss, sizeof bits);
    rss_.store(bits);
    sweep_.store(sweep);
  }
  bool CancelRequested() override { return stop_.load(); }
  FailedFitAnswer ModelFailed(FitSession&, int16_t model) override {
    FailedFitAnswer answer = FailedFitAnswer::Cancel;
    QMetaObject::invokeMethod(
        &runner_, [&] { answer = runner_.AskFailedFit(model); }, Qt::BlockingQueuedConnection);
    return answer;
  }

  int Sweep() const { return sweep_.load(); }
  float BestRss() const {
    uint32_t bits = rss_.load();
    float f = 0;
    std::memcpy(&f, &bits, sizeof f);
    return f;
  }

 private:
  FitRunner& runner_;
  QPointer<SaiKeisan_Form> progress_;
  std::atomic<bool>& stop_;
  std::atomic<int> sweep_{0};
  std::atomic<uint32_t> rss_{0};
};

}  // namespace

FitRunner::FitRunner(MDIForm1& host) : QObject(&host), host_(host) {}

SaiKeisan_Form* FitRunner::Progress() const { return progress_; }

FitHost::FailedFitAnswer FitRunner::AskFailedFit(int16_t model) {
  FitSession& s = host_.Session();
  s.currentModel = model;
  Sol_Dame0_1 dialog(s, host_.Store(), host_.GetDialogs(),
                     progress_ ? static_cast<QWidget*>(progress_) : &host_);
  host_.GetDialogs().Exec(dialog);
  switch (dialog.Result()) {
    case Sol_Dame0_1::Answer::Recalculate:
      return FitHost::FailedFitAnswer::Recalculate;
    case Sol_Dame0_1::Answer::Cancel:
      return FitHost::FailedFitAnswer::Cancel;
    case Sol_Dame0_1::Answer::Closed:
      break;
  }
  return FitHost::FailedFitAnswer::Closed;
}

FitOutcome FitRunner::StartLabFit(Baiyo_Form0_3& screen, const Baiyo_Form0_3::FitRequest& r) {
  if (running_) return FitOutcome::Invalid;
  FitSession& s = host_.Session();
  std::optional<std::string> message =
      PrepareCleanedLabFit(s, r.table, r.shape, r.name, r.standardTemp, r.isFertilizer);
  if (message) {
    host_.GetDialogs().Message(&screen, kTitleCaution, Q(*message));
    return FitOutcome::Invalid;
  }
  s.refitFromResults = false;
  return Run(&screen, false);
}

FitOutcome FitRunner::Refit(QWidget* owner) {
  if (running_) return FitOutcome::Invalid;
  return Run(owner, true);
}

FitOutcome FitRunner::Run(QWidget* owner, bool refit) {
  running_ = true;
  stop_.store(false);
  FitSession& s = host_.Session();

  // The progress window: application-modal, so nothing else can be used, but
  // every window keeps painting while the worker computes.
  auto* progress = new SaiKeisan_Form(host_.Store(), owner ? owner->window() : &host_);
  progress_ = progress;
  connect(progress, &SaiKeisan_Form::stopRequested, this, [this] { stop_.store(true); });
  progress->show();

  WorkerHost workerHost(*this, progress, stop_);
  QTimer ticker;
  connect(&ticker, &QTimer::timeout, progress, [&workerHost, progress] {
    if (workerHost.Sweep() > 0) progress->SetSearchState(workerHost.Sweep(), workerHost.BestRss());
  });
  ticker.start(100);

  // The worker appends its record to a store of its own; the program's
  // tables are only ever touched on this thread.
  hensuu scratch;
  FitOutcome outcome = FitOutcome::Cancelled;
  QThread* worker =
      QThread::create([&] { outcome = RunFitSequence(s, scratch, &workerHost, !refit).outcome; });
  QEventLoop loop;
  connect(worker, &QThread::finished, &loop, &QEventLoop::quit);
  worker->start();
  loop.exec();
  worker->wait();
  delete worker;
  ticker.stop();

  progress->Finish();
  progress->close();
  progress->deleteLater();
  progress_ = nullptr;
  running_ = false;
  if (outcome == FitOutcome::Completed && scratch.ParaCount() == 1) {
    Completed(scratch.ParaTable(1));
  }
  return outcome;
}

void FitRunner::Completed(const ParaRecord& record) {
  hensuu& store = host_.Store();
  FitSession& s = host_.Session();
  record_ = record;
  if (store.ParaTable.Append(record)) {
    recordIndex_ = store.ParaCount();
  } else {
    recordIndex_ = 0;
    host_.GetDialogs().Message(&host_, kTitleCaution, Q(TableFullMessage()),
                               Dialogs::Icon::Warning);
  }
  // The screen that started the fit closes; a results screen still open
  // closes too; a fresh one opens at the next cascade position.
  if (s.refitFromResults) {
    host_.CloseChildScreen(Screen::ParaKekka_Form0_1);
  } else {
    host_.CloseChildScreen(s.source == FitSource::Field ? Screen::HojyoBaiyo_Form
                                                        : Screen::Baiyo_Form0_3);
  }
  host_.CloseChildScreen(Screen::ParaKekka_Form0_1);
  host_.OpenChildScreen(Screen::ParaKekka_Form0_1);
}

}  // namespace kelvora

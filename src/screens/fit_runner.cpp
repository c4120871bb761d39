#include "screens/fit_runner.h"

#include <QEventLoop>
#include <QScreen>
#include <QTimer>
#include <algorithm>

#include "screens/baiyo_form0_3.h"
#include "screens/dialogs.h"
#include "screens/mdiform1.h"
#include "screens/paraall_form.h"
#include "screens/qtext.h"
#include "screens/saikeisan_form.h"
#include "screens/sol_dame0_1.h"
#include "store/hensuu.h"

namespace kelvora {

namespace {

// Places the failed-fit dialog below the progress window (above it, or at
// its side, when the screen has no room there), so that the progress
// window's texts and "中止" stay in view behind it.
void PlaceBeside(QWidget* dialog, const QWidget* progress) {
  dialog->adjustSize();
  const QRect p = progress->frameGeometry();
  const QScreen* screen = progress->screen();
  const QRect room = screen ? screen->availableGeometry() : QRect(0, 0, 1 << 20, 1 << 20);
  const QSize d = dialog->frameGeometry().size().expandedTo(dialog->sizeHint());
  const int gap = 8;
  const int left = std::clamp(p.center().x() - d.width() / 2, room.left(),
                              std::max(room.left(), room.right() - d.width()));
  const int top = std::clamp(p.center().y() - d.height() / 2, room.top(),
                             std::max(room.top(), room.bottom() - d.height()));
  QPoint at;
  if (p.bottom() + gap + d.height() <= room.bottom()) {
    at = QPoint(left, p.bottom() + gap);
  } else if (p.top() - gap - d.height() >= room.top()) {
    at = QPoint(left, p.top() - gap - d.height());
  } else if (p.right() + gap + d.width() <= room.right()) {
    at = QPoint(p.right() + gap, top);
  } else {
    at = QPoint(std::max(room.left(), p.left() - gap - d.width()), top);
  }
  dialog->move(at);
}

}  // namespace

FitRunner::FitRunner(MDIForm1& host) : QObject(&host), host_(host) {}

SaiKeisan_Form* FitRunner::Progress() const { return progress_; }

void FitRunner::AskFailedFit(const FitWorker::FailedFit& question) {
  Sol_Dame0_1 dialog(question.model, question.initialValues, host_.Store(), host_.GetDialogs(),
                     progress_ ? static_cast<QWidget*>(progress_) : &host_);
  if (progress_ && progress_->isVisible()) PlaceBeside(&dialog, progress_);
  host_.GetDialogs().Exec(dialog);
  FitHost::FailedFitAnswer answer = FitHost::FailedFitAnswer::Closed;
  switch (dialog.Result()) {
    case Sol_Dame0_1::Answer::Recalculate:
      answer = FitHost::FailedFitAnswer::Recalculate;
      break;
    case Sol_Dame0_1::Answer::Cancel:
      answer = FitHost::FailedFitAnswer::Cancel;
      break;
    case Sol_Dame0_1::Answer::Closed:
      break;
  }
  if (worker_) worker_->AnswerFailedFit(answer, dialog.Values());
}

FitOutcome FitRunner::StartLabFit(Baiyo_Form0_3& screen, const FitRequest& request) {
  return StartFit(&screen, request);
}

FitOutcome FitRunner::StartFit(QWidget* screen, const FitRequest& r) {
  if (running_) return FitOutcome::Invalid;
  // The checks and the capture go into a copy: on a message the session
  // stays as it was.
  FitSession work = host_.Session();
  FitRequest request = r;
  if (std::optional<std::string> message = PrepareFit(work, request)) {
    host_.GetDialogs().Message(screen, kTitleCaution, Q(*message));
    return FitOutcome::Invalid;
  }
  return Run(screen, std::move(work), request.initialValues);
}

FitOutcome FitRunner::Refit(QWidget* owner) {
  if (running_) return FitOutcome::Invalid;
  const FitSession& s = host_.Session();
  return Run(owner, s, ParamsAsInitialValues(s));
}

FitOutcome FitRunner::Run(QWidget* owner, FitSession work, const InitialValues& given) {
  running_ = true;

  // The progress window: application-modal, so nothing else can be used, but
  // every window keeps painting while the worker computes.
  auto* progress = new SaiKeisan_Form(host_.Store(), owner ? owner->window() : &host_);
  progress_ = progress;
  connect(progress, &SaiKeisan_Form::stopRequested, this, [this] {
    if (worker_) worker_->RequestStop();
  });
  progress->show();

  QEventLoop loop;
  QPointer<SaiKeisan_Form> shown = progress;
  FitWorker::Handlers handlers;
  handlers.progress = [shown](const std::string& a, const std::string& b, const std::string& c) {
    if (!shown) return;
    shown->SetTexts(Q(a), Q(b), Q(c));
    shown->SetSearchState(0, 0, 0);
  };
  handlers.failedFit = [this](const FitWorker::FailedFit& q) { AskFailedFit(q); };
  handlers.finished = [&loop] { loop.quit(); };
  FitWorker worker(
      [this](std::function<void()> f) {
        QMetaObject::invokeMethod(this, std::move(f), Qt::QueuedConnection);
      },
      std::move(handlers));
  worker_ = &worker;

  // The sweep counter is read at a pace a person can follow; the worker
  // never waits for the window.
  QTimer ticker;
  connect(&ticker, &QTimer::timeout, progress, [&worker, progress] {
    FitWorker::SearchState st = worker.State();
    if (st.sweep > 0) progress->SetSearchState(st.sweep, st.sweepLimit, st.bestRss);
  });
  ticker.start(kProgressIntervalMs);

  worker.Start(std::move(work), given);
  loop.exec();
  ticker.stop();
  FitRun run = worker.Finish(work);
  worker_ = nullptr;
  lastCounts_ = run.counts;

  // The finished session replaces the program's in one step, also after a
  // cancel (the models fitted before it stay, as they always have).
  host_.Session() = std::move(work);

  progress->Finish();
  progress->close();
  progress->deleteLater();
  progress_ = nullptr;
  running_ = false;
  if (run.outcome == FitOutcome::Completed) Completed(run.record);
  return run.outcome;
}

void FitRunner::Completed(const ParaRecord& record) {
  hensuu& store = host_.Store();
  FitSession& s = host_.Session();
  record_ = record;
  if (store.ParaTable.Append(record)) {
    recordIndex_ = store.ParaCount();
    // An open parameter list names the new record at once.
    if (auto* list = host_.Find<ParaAll_Form>(Screen::ParaAll_Form)) list->SyncList();
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

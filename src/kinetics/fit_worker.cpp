#include "kinetics/fit_worker.h"

#include <condition_variable>
#include <cstring>
#include <mutex>
#include <optional>

#include "kinetics/fit_driver.h"
#include "kinetics/parallel.h"

namespace kelvora {

// What the worker thread and the starting side share: the handlers (touched
// on the starting side only), the stop flag, the search state and the slot of
// the failed-fit answer. Posted functions hold it alive, so a function still
// queued after the worker is gone finds the handlers cleared and does
// nothing.
struct FitWorker::Shared {
  Post post;
  Handlers handlers;
  std::atomic<bool> stop{false};
  std::atomic<int16_t> model{0}, sweep{0}, sweepLimit{0};
  std::atomic<uint32_t> bestRssBits{0};

  std::mutex mutex;
  std::condition_variable answered;
  std::optional<FitHost::FailedFitAnswer> answer;  // guarded by mutex
  std::vector<float> answerValues;                 // guarded by mutex
};

// The fit's host on the worker thread.
class FitWorker::Host : public FitHost {
 public:
  explicit Host(std::shared_ptr<Shared> shared) : shared_(std::move(shared)) {}

  void ShowProgress(const std::string& a, const std::string& b, const std::string& c) override {
    shared_->sweep.store(0);
    std::shared_ptr<Shared> sh = shared_;
    sh->post([sh, a, b, c] {
      if (sh->handlers.progress) sh->handlers.progress(a, b, c);
    });
  }

  void SweepDone(int16_t model, int16_t sweep, float bestRss) override {
    uint32_t bits = 0;
    std::memcpy(&bits, &bestRss, sizeof bits);
    shared_->bestRssBits.store(bits, std::memory_order_relaxed);
    shared_->model.store(model, std::memory_order_relaxed);
    shared_->sweepLimit.store(kIterMax, std::memory_order_relaxed);
    shared_->sweep.store(sweep, std::memory_order_release);
  }

  bool CancelRequested() override { return shared_->stop.load(); }

  FailedFitAnswer ModelFailed(FitSession& session, int16_t model) override {
    std::shared_ptr<Shared> sh = shared_;
    FailedFit question{model, session.initialParams[model]};
    {
      std::lock_guard<std::mutex> lock(sh->mutex);
      sh->answer.reset();
      sh->answerValues.clear();
    }
    sh->post([sh, question] {
      if (sh->handlers.failedFit) sh->handlers.failedFit(question);
    });
    // Nothing is computed while the question is open: the turn goes to others.
    SharedProcessors().Release();
    std::unique_lock<std::mutex> lock(sh->mutex);
    sh->answered.wait(lock, [&] { return sh->answer.has_value() || sh->stop.load(); });
    lock.unlock();
    SharedProcessors().Acquire();
    lock.lock();
    if (!sh->answer || sh->stop.load()) return FailedFitAnswer::Cancel;
    if (*sh->answer == FailedFitAnswer::Recalculate) {
      session.params[model] = sh->answerValues;
      session.initialParams[model] = sh->answerValues;
    }
    return *sh->answer;
  }

 private:
  std::shared_ptr<Shared> shared_;
};

FitWorker::FitWorker(Post post, Handlers handlers) : shared_(std::make_shared<Shared>()) {
  shared_->post = std::move(post);
  shared_->handlers = std::move(handlers);
}

FitWorker::~FitWorker() {
  shared_->handlers = Handlers{};
  RequestStop();
  if (thread_.joinable()) thread_.join();
}

void FitWorker::Start(FitSession session, InitialValues given) {
  shared_->stop.store(false);
  shared_->sweep.store(0);
  shared_->model.store(0);
  thread_ = std::thread([this, sh = shared_, s = std::move(session), given]() mutable {
    Host host(sh);
    FitRun run;
    {
      // A fit computes on a turn of the program's processors, beside a batch.
      ProcessorTurn turn;
      run = RunFit(s, &host, given);
    }
    // Only this thread writes these until Finish joins it.
    session_ = std::move(s);
    run_ = std::move(run);
    sh->post([sh] {
      if (sh->handlers.finished) sh->handlers.finished();
    });
  });
}

void FitWorker::RequestStop() {
  {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->stop.store(true);
  }
  shared_->answered.notify_all();
}

void FitWorker::AnswerFailedFit(FitHost::FailedFitAnswer answer, std::vector<float> values) {
  {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->answer = answer;
    shared_->answerValues = std::move(values);
  }
  shared_->answered.notify_all();
}

FitWorker::SearchState FitWorker::State() const {
  SearchState st;
  st.sweep = shared_->sweep.load(std::memory_order_acquire);
  st.model = shared_->model.load(std::memory_order_relaxed);
  st.sweepLimit = shared_->sweepLimit.load(std::memory_order_relaxed);
  uint32_t bits = shared_->bestRssBits.load(std::memory_order_relaxed);
  std::memcpy(&st.bestRss, &bits, sizeof bits);
  return st;
}

FitRun FitWorker::Finish(FitSession& session) {
  if (thread_.joinable()) thread_.join();
  session = std::move(session_);
  return run_;
}

}  // namespace kelvora

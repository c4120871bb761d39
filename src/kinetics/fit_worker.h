// A fit on a thread of its own, for a window that must keep painting and
// answering while it runs.
//
// The worker fits its own copy of the session; the side that started it (the
// user-interface thread) touches that copy again only when the worker has
// finished and hands it back in one step. What the worker has to say on the
// way goes through `post`, which must run the given function on the starting
// side's thread, in the order posted: the progress texts, the failed-fit
// question (the worker waits for the answer, holding no lock and sharing no
// session) and the end. The sweep counter of the running search is kept in
// atomics for the starting side to read at whatever rate suits it.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "kinetics/fit_host.h"
#include "kinetics/fit_sequence.h"
#include "kinetics/fit_session.h"

namespace kelvora {

class FitWorker {
 public:
  using Post = std::function<void(std::function<void()>)>;

  // What the failed-fit question shows: the model and the initial values its
  // failed search started from.
  struct FailedFit {
    int16_t model = 0;
    std::vector<float> initialValues;
  };

  // Called on the starting side's thread (through `post`).
  struct Handlers {
    std::function<void(const std::string&, const std::string&, const std::string&)> progress;
    std::function<void(const FailedFit&)> failedFit;  // answer with AnswerFailedFit
    std::function<void()> finished;                   // then take the result with Finish
  };

  // The search under way: model, sweeps done and their limit, best sum.
  struct SearchState {
    int16_t model = 0;
    int16_t sweep = 0;
    int16_t sweepLimit = 0;
    float bestRss = 0;
  };

  FitWorker(Post post, Handlers handlers);
  // Stops a fit still running (a pending question is answered with a cancel)
  // and waits for its thread. Handlers are not called any more.
  ~FitWorker();
  FitWorker(const FitWorker&) = delete;
  FitWorker& operator=(const FitWorker&) = delete;

  // Runs RunFit(session, given) on the worker thread.
  void Start(FitSession session, InitialValues given);

  // "中止": the fit stops at the next sweep, as a cancel does.
  void RequestStop();

  // The answer to the failed-fit question; `values` are the new initial
  // values when the answer is Recalculate.
  void AnswerFailedFit(FitHost::FailedFitAnswer answer, std::vector<float> values = {});

  // Any thread.
  SearchState State() const;

  // After `finished`: waits for the thread to end, moves the worker's session
  // into `session` and returns how the fit ended.
  FitRun Finish(FitSession& session);

 private:
  struct Shared;
  class Host;

  std::shared_ptr<Shared> shared_;
  std::thread thread_;
  FitSession session_;  // the worker's copy, handed back by Finish
  FitRun run_;
};

}  // namespace kelvora

// The fit's threads: the worker that fits its own copy of the session and
// hands it back, the failed-fit question asked on the starting thread, "中止",
// and the helper thread of the Gaussian model's evaluations on one or more
// processors. These tests also run in the ThreadSanitizer build.
#include "kinetics/fit_worker.h"

#include <gtest/gtest.h>
#include <sched.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "fit_test_util.h"
#include "kinetics/fit_driver.h"
#include "kinetics/parallel.h"

namespace kelvora {
namespace {

using testing::RecordingHost;
using testing::TableGrid;

// The user-interface thread of the tests: what the worker posts is queued and
// run on the test's own thread.
class PostedQueue {
 public:
  FitWorker::Post Poster() {
    return [this](std::function<void()> f) {
      {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.push_back(std::move(f));
      }
      ready_.notify_one();
    };
  }

  // Runs posted functions on this thread until `done` holds; `tick` runs
  // between waits of a millisecond. False after two minutes without `done`.
  bool RunUntil(const std::function<bool()>& done, const std::function<void()>& tick = {}) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::minutes(2);
    while (!done()) {
      if (std::chrono::steady_clock::now() > until) return false;
      std::function<void()> f;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        ready_.wait_for(lock, std::chrono::milliseconds(1), [this] { return !queue_.empty(); });
        if (!queue_.empty()) {
          f = std::move(queue_.front());
          queue_.pop_front();
        }
      }
      if (f) f();
      if (tick) tick();
    }
    return true;
  }

 private:
  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<std::function<void()>> queue_;
};

FitRequest BenchRequest(const char* base, bool fertilizer) {
  FitRequest r;
  r.table = TableGrid(testing::ReadFile(std::string(KELVORA_BENCH_DIR) + "/" + base), 100, 4);
  r.standardTemp = "25";
  r.isFertilizer = fertilizer;
  r.name = "試料";
  return r;
}

FitSession Prepared(const char* base, bool fertilizer) {
  FitSession s;
  FitRequest r = BenchRequest(base, fertilizer);
  EXPECT_FALSE(PrepareFit(s, r).has_value());
  return s;
}

void ExpectSameFit(const FitSession& a, const FitSession& b) {
  for (int16_t m = 1; m <= 6; ++m) {
    EXPECT_EQ(a.params[m], b.params[m]) << "model " << m;
    EXPECT_EQ(a.initialParams[m], b.initialParams[m]) << "model " << m;
    EXPECT_EQ(a.rss[m], b.rss[m]) << "model " << m;
    EXPECT_EQ(a.aic[m], b.aic[m]) << "model " << m;
    EXPECT_EQ(a.sweeps[m], b.sweeps[m]) << "model " << m;
  }
  EXPECT_EQ(a.bestModel, b.bestModel);
  ASSERT_EQ(a.chartTable.size(), b.chartTable.size());
  for (size_t i = 0; i < a.chartTable.size(); ++i) {
    ASSERT_EQ(a.chartTable[i].calc.has_value(), b.chartTable[i].calc.has_value()) << i;
    if (a.chartTable[i].calc) {
      EXPECT_EQ(a.chartTable[i].calc->value, b.chartTable[i].calc->value);
    }
  }
}

// Runs `fit` on a thread pinned to one processor.
template <typename F>
void OnOneProcessor(F fit) {
  std::thread pinned([&] {
    cpu_set_t set;
    CPU_ZERO(&set);
    ASSERT_EQ(sched_getaffinity(0, sizeof set, &set), 0);
    int first = 0;
    while (!CPU_ISSET(first, &set)) ++first;
    CPU_ZERO(&set);
    CPU_SET(first, &set);
    ASSERT_EQ(sched_setaffinity(0, sizeof set, &set), 0);
    EXPECT_EQ(UsableProcessors(), 1);
    fit();
  });
  pinned.join();
}

TEST(FitWorker, FitsItsOwnCopyAndHandsItBackAsTheFitOnThisThreadWould) {
  // The fertilizer fit: its Gaussian model splits every evaluation between
  // two threads.
  FitSession here = Prepared("fertilizer-3x11.tsv", true);
  RecordingHost recorder;
  FitRun expected = RunFit(here, &recorder);
  ASSERT_EQ(expected.outcome, FitOutcome::Completed);

  FitSession program = Prepared("fertilizer-3x11.tsv", true);
  program.sampleName = "前の試料";
  std::vector<std::string> progress;
  bool finished = false;
  PostedQueue ui;
  const std::thread::id uiThread = std::this_thread::get_id();
  FitWorker::Handlers h;
  h.progress = [&](const std::string& a, const std::string& b, const std::string& c) {
    EXPECT_EQ(std::this_thread::get_id(), uiThread);
    progress.push_back(a + "|" + b + "|" + c);
  };
  h.finished = [&] { finished = true; };
  FitWorker worker(ui.Poster(), h);
  FitSession copy = program;
  copy.sampleName = "試料";
  worker.Start(copy, {});
  int16_t lastSweep = 0;
  bool sawSigma = false;
  ASSERT_TRUE(ui.RunUntil([&] { return finished; },
                          [&] {
                            FitWorker::SearchState st = worker.State();
                            if (st.sweep > 0) {
                              EXPECT_EQ(st.sweepLimit, 32767);
                              if (st.model == 6) sawSigma = true;
                              lastSweep = st.sweep;
                            }
                          }));
  EXPECT_EQ(program.sampleName, "前の試料");  // the program's session was never touched
  FitRun run = worker.Finish(program);
  ASSERT_EQ(run.outcome, FitOutcome::Completed);
  EXPECT_EQ(program.sampleName, "試料");
  ExpectSameFit(program, here);
  EXPECT_EQ(run.record, expected.record);
  EXPECT_EQ(progress, recorder.progress);
  EXPECT_GT(lastSweep, 0);
  EXPECT_TRUE(sawSigma || lastSweep > 0);
}

// Soil with model 2 started from a k1 whose exponentials overflow.
InitialValues FailingModel2() {
  InitialValues given;
  given[2] = std::vector<float>{10000, 15000, -1000, 0.005f, 2, 5, 0.5f};
  return given;
}
const std::vector<float> kGoodModel2{10000, 15000, 0.002f, 0.005f, 2, 5, 0.5f};

TEST(FitWorker, FailedModelIsAskedOnTheStartingThreadAndNewValuesContinue) {
  PostedQueue ui;
  const std::thread::id uiThread = std::this_thread::get_id();
  std::vector<FitWorker::FailedFit> questions;
  bool finished = false;
  FitWorker* self = nullptr;
  FitWorker::Handlers h;
  h.failedFit = [&](const FitWorker::FailedFit& q) {
    EXPECT_EQ(std::this_thread::get_id(), uiThread);
    questions.push_back(q);
    self->AnswerFailedFit(FitHost::FailedFitAnswer::Recalculate, kGoodModel2);
  };
  h.finished = [&] { finished = true; };
  FitWorker worker(ui.Poster(), h);
  self = &worker;
  worker.Start(Prepared("soil-3x10.tsv", false), FailingModel2());
  ASSERT_TRUE(ui.RunUntil([&] { return finished; }));
  FitSession s;
  FitRun run = worker.Finish(s);
  ASSERT_EQ(run.outcome, FitOutcome::Completed);
  ASSERT_EQ(questions.size(), 1u);
  EXPECT_EQ(questions[0].model, 2);
  EXPECT_EQ(questions[0].initialValues, *FailingModel2()[2]);
  EXPECT_EQ(s.initialParams[2], kGoodModel2);

  // The same as a fit given the good values from the start.
  FitSession direct = Prepared("soil-3x10.tsv", false);
  InitialValues good;
  good[2] = kGoodModel2;
  FitRun expected = RunFit(direct, nullptr, good);
  ExpectSameFit(s, direct);
  EXPECT_EQ(run.record, expected.record);
}

TEST(FitWorker, CancelAtTheFailedFitQuestionEndsTheFit) {
  PostedQueue ui;
  bool finished = false;
  int asked = 0;
  FitWorker* self = nullptr;
  FitWorker::Handlers h;
  h.failedFit = [&](const FitWorker::FailedFit&) {
    ++asked;
    // Closed once (the same values fail again), then given up.
    self->AnswerFailedFit(asked == 1 ? FitHost::FailedFitAnswer::Closed
                                     : FitHost::FailedFitAnswer::Cancel);
  };
  h.finished = [&] { finished = true; };
  FitWorker worker(ui.Poster(), h);
  self = &worker;
  worker.Start(Prepared("soil-3x10.tsv", false), FailingModel2());
  ASSERT_TRUE(ui.RunUntil([&] { return finished; }));
  FitSession s;
  EXPECT_EQ(worker.Finish(s).outcome, FitOutcome::Cancelled);
  EXPECT_EQ(asked, 2);
  EXPECT_TRUE(s.fitCancelled);
  EXPECT_NE(s.params[1], s.initialParams[1]);  // model 1 was fitted before
  EXPECT_EQ(s.aic[2], 0.0f);
}

TEST(FitWorker, StopDuringTheSigmaSearchEndsTheFit) {
  PostedQueue ui;
  bool finished = false;
  FitWorker::Handlers h;
  h.finished = [&] { finished = true; };
  FitWorker worker(ui.Poster(), h);
  worker.Start(Prepared("fertilizer-3x11.tsv", true), {});
  bool stopped = false;
  int16_t stoppedAt = 0;
  ASSERT_TRUE(ui.RunUntil([&] { return finished; },
                          [&] {
                            FitWorker::SearchState st = worker.State();
                            if (!stopped && st.model == 6 && st.sweep > 0) {
                              worker.RequestStop();  // "中止"
                              stopped = true;
                              stoppedAt = st.sweep;
                            }
                          }));
  FitSession s;
  EXPECT_EQ(worker.Finish(s).outcome, FitOutcome::Cancelled);
  EXPECT_TRUE(stopped);
  EXPECT_TRUE(s.fitCancelled);
  EXPECT_LT(s.iterCount, 32767);
  EXPECT_GE(s.iterCount, stoppedAt);
  EXPECT_FALSE(s.params[5].empty());  // model 5 was fitted before
}

TEST(FitWorker, ClosingWhileTheQuestionIsOpenStopsTheWorker) {
  PostedQueue ui;
  bool asked = false;
  auto worker = std::make_unique<FitWorker>(ui.Poster(),
                                            FitWorker::Handlers{{},
                                                                [&](const FitWorker::FailedFit&) {
                                                                  asked = true;  // never answered
                                                                },
                                                                {}});
  worker->Start(Prepared("soil-3x10.tsv", false), FailingModel2());
  ASSERT_TRUE(ui.RunUntil([&] { return asked; }));
  worker.reset();  // answers the question with a cancel and waits for the thread
  // What the worker posted on its way out finds no handlers.
  ui.RunUntil([] { return true; });
}

TEST(Parallel, BothHalvesRunOnceFromSeveralThreads) {
  auto work = [](int callers, int rounds) {
    std::vector<std::thread> threads;
    std::vector<long> sums(callers, 0);
    for (int t = 0; t < callers; ++t) {
      threads.emplace_back([&sums, t, rounds] {
        for (int i = 0; i < rounds; ++i) {
          std::vector<int> half(2, 0);
          RunBoth([&] { half[0] += i; }, [&] { half[1] += 2 * i; });
          sums[t] += half[0] + half[1];
        }
      });
    }
    for (std::thread& th : threads) th.join();
    for (long s : sums) EXPECT_EQ(s, 3L * rounds * (rounds - 1) / 2);
  };
  work(3, 2000);
  OnOneProcessor([&] {
    // One processor: both halves on the calling thread.
    const std::thread::id caller = std::this_thread::get_id();
    std::thread::id ranA, ranB;
    RunBoth([&] { ranA = std::this_thread::get_id(); }, [&] { ranB = std::this_thread::get_id(); });
    EXPECT_EQ(ranA, caller);
    EXPECT_EQ(ranB, caller);
  });
}

TEST(Parallel, OneProcessorFitsTheSameToTheLastBit) {
  FitSession two = Prepared("fertilizer-3x11.tsv", true);
  FitRun a = RunFit(two, nullptr);
  FitSession one = Prepared("fertilizer-3x11.tsv", true);
  FitRun b;
  OnOneProcessor([&] { b = RunFit(one, nullptr); });
  ASSERT_EQ(a.outcome, FitOutcome::Completed);
  ASSERT_EQ(b.outcome, FitOutcome::Completed);
  ExpectSameFit(one, two);
  EXPECT_EQ(a.record, b.record);
}

}  // namespace
}  // namespace kelvora

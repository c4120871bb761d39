#include "kinetics/solver.h"

#include <gtest/gtest.h>

#include <functional>

#include "session_builder.h"

namespace kelvora {
namespace {

// An objective given by a function of the vector, recording every call.
class FakeObjective : public Objective {
 public:
  explicit FakeObjective(std::function<EvalResult(const std::vector<double>&)> f, int n)
      : Objective(1), f_(std::move(f)), n_(n) {}
  EvalResult Eval(const double* p, Dest dest, FitSession*) const override {
    std::vector<double> v(p, p + n_);
    calls.push_back(v);
    EvalResult r = f_(v);
    if (dest == Dest::Single) r.sum = static_cast<float>(r.sum);
    return r;
  }
  mutable std::vector<std::vector<double>> calls;

 private:
  std::function<EvalResult(const std::vector<double>&)> f_;
  int n_;
};

FitSession Ready(std::vector<double> start) {
  FitSession s;
  s.paramCount = static_cast<int16_t>(start.size());
  s.paramVec = start;
  s.stepRatio.assign(start.size(), kStartStepRatio);
  s.minStep.assign(start.size(), kMinStep);
  s.iterMax = kIterMax;
  s.fitOk = true;
  return s;
}

TEST(Solver, NothingImprovingFromZerosStopsAfterTwoSweeps) {
  FakeObjective flat([](const std::vector<double>&) { return EvalResult{3.5, true}; }, 3);
  FitSession s = Ready({0, 0, 0});
  ASSERT_TRUE(SearchParams(s, flat, nullptr));
  EXPECT_EQ(s.iterCount, 2);
  EXPECT_EQ(s.paramVec, (std::vector<double>{0, 0, 0}));
  EXPECT_EQ(s.bestRss, s.startRss);
  EXPECT_EQ(s.stepRatio, (std::vector<float>(3, 0.1f)));  // every shrink refused by the floor
  // Trials at -1e-6 and +1e-6 around zero.
  ASSERT_GE(flat.calls.size(), 3u);
  EXPECT_EQ(flat.calls[1][0], static_cast<double>(-1e-6f));
  EXPECT_EQ(flat.calls[2][0], static_cast<double>(1e-6f));
}

TEST(Solver, StepsShrinkAfterFailureAndGrowAfterSuccess) {
  // Around 100 with ratio 0.1 the trials are 90 and 110.
  FakeObjective flat([](const std::vector<double>&) { return EvalResult{1, true}; }, 1);
  FitSession s = Ready({100});
  s.iterMax = 1;
  SearchParams(s, flat, nullptr);
  EXPECT_EQ(flat.calls[1][0], 90.0);
  EXPECT_EQ(flat.calls[2][0], 110.0);
  EXPECT_EQ(s.stepRatio[0], 0.2f * 0.1f);
  EXPECT_EQ(s.paramVec[0], 100.0);

  FakeObjective down([](const std::vector<double>& v) { return EvalResult{v[0], true}; }, 1);
  FitSession t = Ready({100});
  t.iterMax = 1;
  SearchParams(t, down, nullptr);
  EXPECT_EQ(t.paramVec[0], 90.0);
  EXPECT_EQ(t.stepRatio[0], 1.3f * 0.1f);
  EXPECT_EQ(t.bestRss, 90.0f);
}

TEST(Solver, TinyValueUsesTheFloorAndKeepsItsRatio) {
  FakeObjective flat([](const std::vector<double>&) { return EvalResult{1, true}; }, 1);
  FitSession s = Ready({1e-6f});
  s.iterMax = 1;
  SearchParams(s, flat, nullptr);
  EXPECT_EQ(flat.calls[1][0], 0.0);
  EXPECT_EQ(flat.calls[2][0], static_cast<double>(2e-6f));
  EXPECT_EQ(s.stepRatio[0], 0.1f);
}

TEST(Solver, SecondTrialWinsWhenBothImprove) {
  // Both 90 and 110 are better than 100; 110 is better still.
  FakeObjective f(
      [](const std::vector<double>& v) {
        return EvalResult{v[0] == 100 ? 10.0 : v[0] == 90 ? 5.0 : 4.0, true};
      },
      1);
  FitSession s = Ready({100});
  s.iterMax = 1;
  SearchParams(s, f, nullptr);
  EXPECT_EQ(s.paramVec[0], 110.0);
  EXPECT_EQ(s.bestRss, 4.0f);
}

TEST(Solver, TrialsCompareInDoubleAgainstTheSingleBest) {
  // The plus trial is a hair below the single best in double precision: it is
  // accepted, although its single value equals the best.
  const double best = 1.0f;
  FakeObjective f(
      [&](const std::vector<double>& v) {
        return EvalResult{v[0] > 100 ? best - 1e-12 : best, true};
      },
      1);
  FitSession s = Ready({100});
  s.iterMax = 1;
  SearchParams(s, f, nullptr);
  EXPECT_EQ(s.paramVec[0], 110.0);
  EXPECT_EQ(s.bestRss, 1.0f);
  EXPECT_EQ(s.stepRatio[0], 1.3f * 0.1f);
}

TEST(Solver, FailedEvaluationsClearFitOkButTheSearchGoesOn) {
  FakeObjective f(
      [](const std::vector<double>& v) {
        return v[0] < 100 ? EvalResult{0.5, false} : EvalResult{2, true};
      },
      1);
  FitSession s = Ready({100});
  s.iterMax = 3;
  SearchParams(s, f, nullptr);
  EXPECT_FALSE(s.fitOk);
  EXPECT_EQ(s.iterCount, 3);
  EXPECT_LT(s.paramVec[0], 100.0);  // the partial sum was accepted
}

TEST(Solver, RevisitedVectorsAreNotRecomputed) {
  FakeObjective f(
      [](const std::vector<double>& v) {
        return EvalResult{(v[0] - 3) * (v[0] - 3), true};
      },
      1);
  FitSession s = Ready({10});
  EvalCounts counts;
  SearchParams(s, f, nullptr, &counts);
  EXPECT_EQ(counts.evaluations, 1u + 2u * s.iterCount);
  EXPECT_EQ(counts.distinct, f.calls.size());
  EXPECT_LT(counts.distinct, counts.evaluations);
  EXPECT_NEAR(s.paramVec[0], 3.0, 1e-3);
}

class CancellingHost : public FitHost {
 public:
  void ShowProgress(const std::string&, const std::string&, const std::string&) override {}
  void SweepDone(int16_t, int16_t sweep, float) override { lastSweep = sweep; }
  bool CancelRequested() override { return lastSweep >= 4; }
  FailedFitAnswer ModelFailed(FitSession&, int16_t) override { return FailedFitAnswer::Cancel; }
  int lastSweep = 0;
};

TEST(Solver, CancelIsCheckedBetweenSweeps) {
  FakeObjective f(
      [](const std::vector<double>& v) {
        return EvalResult{std::abs(v[0] - 1), true};
      },
      1);
  FitSession s = Ready({1000});
  CancellingHost host;
  EXPECT_FALSE(SearchParams(s, f, &host));
  EXPECT_EQ(s.iterCount, 4);
}

// Asks for new values once, then succeeds or gives up.
class ScriptedHost : public FitHost {
 public:
  void ShowProgress(const std::string& a, const std::string& b, const std::string&) override {
    progress.push_back(a + b);
  }
  FailedFitAnswer ModelFailed(FitSession& s, int16_t model) override {
    failures.push_back(model);
    if (answers.empty()) return FailedFitAnswer::Cancel;
    FailedFitAnswer a = answers.front();
    answers.erase(answers.begin());
    if (a == FailedFitAnswer::Recalculate) {
      s.params[model] = newValues;
      s.initialParams[model] = newValues;
    }
    return a;
  }
  std::vector<FailedFitAnswer> answers;
  std::vector<float> newValues;
  std::vector<int16_t> failures;
  std::vector<std::string> progress;
};

TEST(Solver, FailedRunAsksForNewValuesAndStartsAfresh) {
  FitSession s = testing::LabSession({"25"}, {1, 5, 10}, {{"1", "2", "3"}});
  s.params[1] = {15000, -1000, 1, 0};  // exp(1000 x day) overflows
  ScriptedHost host;
  host.answers = {FitHost::FailedFitAnswer::Closed, FitHost::FailedFitAnswer::Recalculate};
  host.newValues = {15000, 0.1f, 3, 0.5f};
  EXPECT_EQ(RunSolverForModel(s, 1, 4, &host), SolverOutcome::Fitted);
  EXPECT_EQ(host.failures, (std::vector<int16_t>{1, 1}));  // closed: same values failed again
  EXPECT_EQ(s.stepRatio.size(), 4u);
  EXPECT_TRUE(s.fitOk);
  EXPECT_NE(s.params[1][1], 0.1f);  // fitted from the typed values

  FitSession c = testing::LabSession({"25"}, {1, 5, 10}, {{"1", "2", "3"}});
  c.params[1] = {15000, -1000, 1, 0};
  ScriptedHost giveUp;
  EXPECT_EQ(RunSolverForModel(c, 1, 4, &giveUp), SolverOutcome::Cancelled);
  EXPECT_TRUE(c.fitCancelled);
  EXPECT_EQ(c.params[1], (std::vector<float>{15000, -1000, 1, 0}));
}

}  // namespace
}  // namespace kelvora

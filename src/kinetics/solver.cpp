#include "kinetics/solver.h"

#include <cmath>
#include <cstring>
#include <unordered_map>

namespace kelvora {
namespace {

// The objective is a pure function of the parameter vector for a given
// session, and the search revisits the same vectors many times: results are
// remembered by the exact bits of the vector.
struct VecKey {
  std::array<uint64_t, 7> bits{};
  bool operator==(const VecKey&) const = default;
};
struct VecKeyHash {
  size_t operator()(const VecKey& k) const {
    uint64_t h = 1469598103934665603ull;
    for (uint64_t b : k.bits) {
      h ^= b;
      h *= 1099511628211ull;
      h ^= h >> 29;
    }
    return static_cast<size_t>(h);
  }
};

VecKey KeyOf(const std::vector<double>& v) {
  VecKey k;
  for (size_t i = 0; i < v.size() && i < k.bits.size(); ++i) std::memcpy(&k.bits[i], &v[i], 8);
  return k;
}

class CachedObjective {
 public:
  CachedObjective(const Objective& o, EvalCounts* counts) : obj_(o), counts_(counts) {}

  // Evaluates a vector into a double destination, computing it only the
  // first time it is seen.
  EvalResult Eval(const std::vector<double>& v) {
    if (counts_) ++counts_->evaluations;
    VecKey key = KeyOf(v);
    auto it = cache_.find(key);
    if (it != cache_.end()) return it->second;
    if (counts_) ++counts_->distinct;
    EvalResult r = obj_.Eval(v.data(), Dest::Double, nullptr);
    cache_.emplace(key, r);
    return r;
  }

 private:
  const Objective& obj_;
  EvalCounts* counts_;
  std::unordered_map<VecKey, EvalResult, VecKeyHash> cache_;
};

}  // namespace

bool SearchParams(FitSession& s, const Objective& objective, FitHost* host, EvalCounts* counts) {
  const int n = s.paramCount;
  s.prevParam.assign(n, 0.0f);
  s.prevStep.assign(n, 0.0f);
  s.iterCount = 0;

  EvalResult start = objective.Eval(s.paramVec.data(), Dest::Single, nullptr);
  if (!start.ok) s.fitOk = false;
  s.startRss = static_cast<float>(start.sum);
  s.bestRss = s.startRss;
  if (counts) {
    ++counts->evaluations;
    ++counts->distinct;
  }

  CachedObjective cached(objective, counts);
  std::vector<double> minus(s.paramVec), plus(s.paramVec);
  for (;;) {
    if (host && host->CancelRequested()) return false;
    s.iterCount = static_cast<int16_t>(s.iterCount + 1);
    bool changed = false;
    for (int c = 0; c < n; ++c) {
      float v = static_cast<float>(s.paramVec[c]);
      float keep = v;
      float d = v * s.stepRatio[c];
      if (std::fabs(d) < s.minStep[c]) d = s.minStep[c];
      if (s.iterCount == 1 || v != s.prevParam[c] || d != s.prevStep[c]) changed = true;
      s.prevParam[c] = v;
      s.prevStep[c] = d;
      bool improved = false;

      // Both trials start from v and are always evaluated; they are compared
      // in order, the second against the possibly lowered best.
      float low = v - d;
      float high = v + d;
      minus = s.paramVec;
      plus = s.paramVec;
      minus[c] = low;
      plus[c] = high;
      EvalResult r1 = cached.Eval(minus);
      EvalResult r2 = cached.Eval(plus);

      s.trialRss = r1.sum;
      if (!r1.ok) s.fitOk = false;
      if (s.trialRss < static_cast<double>(s.bestRss)) {
        s.bestRss = static_cast<float>(s.trialRss);
        improved = true;
        keep = low;
      }
      s.trialRss = r2.sum;
      if (!r2.ok) s.fitOk = false;
      if (s.trialRss < static_cast<double>(s.bestRss)) {
        s.bestRss = static_cast<float>(s.trialRss);
        improved = true;
        keep = high;
      }
      s.paramVec[c] = keep;

      if (improved) {
        s.stepRatio[c] = kExpandRatio * s.stepRatio[c];
      } else {
        float old = s.stepRatio[c];
        s.stepRatio[c] = kShrinkRatio * old;
        float step = std::fabs(keep * s.stepRatio[c]);
        if (step < s.minStep[c]) s.stepRatio[c] = old;
      }
    }
    if (host) host->SweepDone(s.currentModel, s.iterCount, s.bestRss);
    if (!(s.iterCount < s.iterMax && changed)) break;
  }
  return true;
}

bool SearchParams(FitSession& s, FitHost* host, EvalCounts* counts) {
  std::unique_ptr<Objective> objective = MakeObjective(s, s.currentModel);
  return SearchParams(s, *objective, host, counts);
}

SolverOutcome RunSolverForModel(FitSession& s, int16_t m, int16_t n, FitHost* host,
                                EvalCounts* counts) {
  s.paramCount = n;
  s.currentModel = m;
  s.paramVec.assign(n, 0.0);
  s.stepRatio.assign(n, 0.0f);
  s.minStep.assign(n, 0.0f);
  for (;;) {
    for (int i = 0; i < n; ++i) {
      s.paramVec[i] = i < static_cast<int>(s.params[m].size()) ? s.params[m][i] : 0.0f;
      s.stepRatio[i] = kStartStepRatio;
      s.minStep[i] = kMinStep;
    }
    s.iterMax = kIterMax;
    s.fitOk = true;
    if (!SearchParams(s, host, counts)) {
      s.fitCancelled = true;
      return SolverOutcome::Cancelled;
    }
    s.sweeps[m] = s.iterCount;
    if (s.fitOk) break;
    FitHost::FailedFitAnswer answer =
        host ? host->ModelFailed(s, m) : FitHost::FailedFitAnswer::Cancel;
    if (answer == FitHost::FailedFitAnswer::Cancel) {
      s.fitCancelled = true;
      return SolverOutcome::Cancelled;
    }
  }
  s.params[m].assign(n, 0.0f);
  for (int i = 0; i < n; ++i) s.params[m][i] = static_cast<float>(s.paramVec[i]);
  return SolverOutcome::Fitted;
}

}  // namespace kelvora

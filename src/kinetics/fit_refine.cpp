#include "kinetics/fit_refine.h"

#include <Eigen/Dense>
#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <unsupported/Eigen/LevenbergMarquardt>

#include "kinetics/fit_sequence.h"
#include "kinetics/model_kind.h"
#include "kinetics/objectives.h"
#include "kinetics/parallel.h"

namespace kelvora {
namespace {

// Rate constants, pool sizes, TAU and σ are kept positive by refining their
// logarithm (θ = exp(u)); activation energies and the constant C move freely.
// A start at 0 or below (a grid's Nim of 0) begins at kPositiveFloor instead.
constexpr double kPositiveFloor = 1e-6;

bool PositiveSlot(int16_t model, size_t slot) {
  if (model == 6) return true;  // σ
  const std::vector<std::string>& names = ParamNames(model);
  if (slot >= names.size()) return false;
  const std::string& n = names[slot];
  return n.rfind("k", 0) == 0 || n.rfind("No", 0) == 0 || n == "Nim" || n == "TAU";
}

// A failed evaluation is answered with residuals this large, so that the
// step is refused and the refinement goes on from where it was.
constexpr double kFailedResidual = 1e10;

struct Residuals : Eigen::DenseFunctor<double> {
  Residuals(const PreparedModel& values, const std::vector<double>& y,
            const std::vector<bool>& positive)
      : Eigen::DenseFunctor<double>(static_cast<int>(positive.size()), static_cast<int>(y.size())),
        values_(values),
        y_(y),
        positive_(positive) {}

  std::vector<double> Theta(const Eigen::VectorXd& u) const {
    std::vector<double> theta(u.size());
    for (int j = 0; j < u.size(); ++j) theta[j] = positive_[j] ? std::exp(u[j]) : u[j];
    return theta;
  }

  // Each evaluation computes the gradient as well and is remembered: the
  // Jacobian is asked for at the point just evaluated, and the day-by-day
  // Arrhenius factors cost the same with or without it.
  int operator()(const Eigen::VectorXd& u, Eigen::VectorXd& f) const {
    f.resize(values());
    if (!EvaluateAt(u) || calc_.size() != y_.size()) {
      f.setConstant(kFailedResidual);
      return 0;
    }
    for (size_t i = 0; i < y_.size(); ++i) f[i] = calc_[i] - y_[i];
    if (!f.allFinite()) f.setConstant(kFailedResidual);
    return 0;
  }

  int df(const Eigen::VectorXd& u, Eigen::MatrixXd& jac) const {
    if (!EvaluateAt(u)) return -1;
    const std::vector<double> theta = Theta(u);
    const int n = values(), p = inputs();
    jac.resize(n, p);
    for (int i = 0; i < n; ++i) {
      for (int j = 0; j < p; ++j) {
        const double g = grad_[static_cast<size_t>(i) * p + j];
        jac(i, j) = positive_[j] ? g * theta[j] : g;  // dθ/du = θ
      }
    }
    return jac.allFinite() ? 0 : -1;
  }

  bool EvaluateAt(const Eigen::VectorXd& u) const {
    if (haveLast_ && last_.size() == u.size() && last_ == u) return lastOk_;
    last_ = u;
    haveLast_ = true;
    lastOk_ = values_.ValuesAt(Theta(u), calc_, &grad_);
    return lastOk_;
  }

  const PreparedModel& values_;
  const std::vector<double>& y_;
  const std::vector<bool>& positive_;
  mutable Eigen::VectorXd last_;
  mutable bool haveLast_ = false;
  mutable bool lastOk_ = false;
  mutable std::vector<double> calc_, grad_;
};

struct Scored {
  std::vector<float> params;
  float rss = std::numeric_limits<float>::infinity();
};

// The fit's objective at values rounded to single; +inf when it fails.
float SpecifiedRss(const Objective& obj, const std::vector<float>& params) {
  std::vector<double> p(params.begin(), params.end());
  const EvalResult r = obj.Eval(p.data(), Dest::Single, nullptr);
  if (!r.ok || !std::isfinite(r.sum)) return std::numeric_limits<float>::infinity();
  return static_cast<float>(r.sum);
}

// The kRefineGridStarts best points of the model's grid under its objective.
std::vector<std::vector<double>> BestGridPoints(const Objective& obj, int16_t model) {
  const std::vector<std::vector<double>>& grid = CandidateGrid(model);
  std::vector<std::pair<double, std::vector<double>>> best;
  if (grid.empty()) return {};
  const int n = static_cast<int>(grid.size());
  std::vector<size_t> at(n, 0);
  std::vector<double> p(n);
  for (;;) {
    for (int i = 0; i < n; ++i) p[i] = grid[i][at[i]];
    const EvalResult r = obj.Eval(p.data(), Dest::Single, nullptr);
    if (r.ok && std::isfinite(r.sum)) {
      best.emplace_back(r.sum, p);
      std::stable_sort(best.begin(), best.end(),
                       [](const auto& a, const auto& b) { return a.first < b.first; });
      if (static_cast<int>(best.size()) > kRefineGridStarts) best.pop_back();
    }
    int pos = n - 1;
    while (pos >= 0 && ++at[pos] == grid[pos].size()) at[pos--] = 0;
    if (pos < 0) break;
  }
  std::vector<std::vector<double>> out;
  for (auto& b : best) out.push_back(std::move(b.second));
  return out;
}

// Levenberg–Marquardt from one start, in the refined coordinates u.
struct LmRun {
  Eigen::VectorXd u;
  bool running = false;  // stopped by its budget, not by convergence
};

Eigen::VectorXd ToU(const std::vector<bool>& positive, const std::vector<double>& start) {
  Eigen::VectorXd u(static_cast<int>(start.size()));
  for (size_t j = 0; j < start.size(); ++j)
    u[j] = positive[j] ? std::log(std::max(start[j], kPositiveFloor)) : start[j];
  return u;
}

LmRun RunLm(const Residuals& f, Eigen::VectorXd u, int evaluationsPerParameter) {
  Residuals g = f;
  Eigen::LevenbergMarquardt<Residuals> lm(g);
  lm.setMaxfev(evaluationsPerParameter * (static_cast<int>(u.size()) + 1));
  lm.setXtol(1e-12);
  lm.setFtol(1e-12);
  const Eigen::LevenbergMarquardtSpace::Status st = lm.minimize(u);
  return {std::move(u), st == Eigen::LevenbergMarquardtSpace::TooManyFunctionEvaluation};
}

std::vector<float> ToSingle(const Residuals& f, const Eigen::VectorXd& u) {
  const std::vector<double> theta = f.Theta(u);
  return std::vector<float>(theta.begin(), theta.end());
}

// Every start (the fit's optimum first, then the best grid points) gets a
// short run; the one that ends lowest goes on to the full budget. Where the
// least-squares minimum lies at the edge of the parameter space (a rate
// constant creeping to zero while its pool grows), every start crawls along
// the same valley, and running them all to the end would cost the budget
// once per start.
constexpr int kScoutEvaluations = 15;  // per parameter, for every start
constexpr int kFullEvaluations = 100;  // per parameter, for the best start

bool EndedNormally(const FitSession& s, int16_t m) {
  if (m == 6) return s.params[6].size() == 1 && s.params[5].size() == 5;
  return static_cast<int>(s.params[m].size()) == FittedParamCount(m);
}

// The first model is best unless a later one is strictly lower, as the fit chooses.
template <typename AicOf>
int16_t LowestAic(const std::vector<int16_t>& models, AicOf aicOf) {
  int16_t best = 0;
  float bestAic = 0;
  for (int16_t m : models) {
    const std::optional<float> a = aicOf(m);
    if (!a) continue;
    if (best == 0 || *a < bestAic) {
      best = m;
      bestAic = *a;
    }
  }
  return best;
}

}  // namespace

FitRefinement RefineFit(const FitSession& s) {
  // Its thread is started from the window thread and may inherit dirty
  // vector state.
  ClearWideVectorState();
  FitRefinement out;
  std::vector<double> y;
  if (!s.fitOk || !ObservedValues(s, y) || y.empty()) return out;
  const std::vector<int16_t> models = MaterialModels(s.material);
  for (int16_t m : models) {
    if (!EndedNormally(s, m)) continue;
    const std::unique_ptr<Objective> obj = MakeObjective(s, m);
    const PreparedModel values(s, m);
    if (!values.Ok()) continue;
    const std::vector<float>& fitted = s.params[m];
    std::vector<bool> positive(fitted.size());
    for (size_t j = 0; j < fitted.size(); ++j) positive[j] = PositiveSlot(m, j);

    RefinedModel r;
    r.model = m;
    r.fitRss = s.rss[m];
    r.fitAic = s.aic[m];
    r.params = fitted;
    r.rss = SpecifiedRss(*obj, fitted);
    r.start = "optimum";
    const Residuals f(values, y, positive);
    auto consider = [&](const Eigen::VectorXd& u, const char* from) {
      const std::vector<float> p = ToSingle(f, u);
      const float v = SpecifiedRss(*obj, p);
      if (v < r.rss) {
        r.rss = v;
        r.params = p;
        r.start = from;
      }
      return v;
    };
    std::vector<std::pair<std::vector<double>, const char*>> starts;
    starts.emplace_back(std::vector<double>(fitted.begin(), fitted.end()), "optimum");
    for (std::vector<double>& g : BestGridPoints(*obj, m))
      starts.emplace_back(std::move(g), "grid");
    std::optional<LmRun> lead;
    const char* leadFrom = nullptr;
    float leadRss = std::numeric_limits<float>::infinity();
    for (const auto& [start, from] : starts) {
      LmRun run = RunLm(f, ToU(positive, start), kScoutEvaluations);
      const float v = consider(run.u, from);
      if (!lead || v < leadRss) {
        leadRss = v;
        leadFrom = from;
        lead = std::move(run);
      }
    }
    if (lead && lead->running)
      consider(RunLm(f, lead->u, kFullEvaluations - kScoutEvaluations).u, leadFrom);
    if (!std::isfinite(r.rss)) continue;
    r.aic = Aic(s.obsCount, r.rss, AicCharge(m));
    r.improved =
        static_cast<double>(r.rss) < static_cast<double>(r.fitRss) * (1 - kRefineImprovement);

    // The statistics at the refined values, from a copy that holds them.
    FitSession copy = s;
    copy.params[m] = r.params;
    copy.rss[m] = r.rss;
    copy.aic[m] = r.aic;
    const FitStats stats = ComputeFitStats(copy);
    if (stats.models[m]) r.stats = stats.models[m];
    out.models[m] = std::move(r);
  }
  out.fitBestModel = LowestAic(models, [&](int16_t m) -> std::optional<float> {
    if (!EndedNormally(s, m)) return std::nullopt;
    return s.aic[m];
  });
  out.refinedBestModel = LowestAic(models, [&](int16_t m) -> std::optional<float> {
    if (out.models[m]) return out.models[m]->aic;
    if (!EndedNormally(s, m)) return std::nullopt;
    return s.aic[m];
  });
  return out;
}

std::vector<float> RefinedRecordParams(const FitSession& s, const RefinedModel& r) {
  if (r.model != 6) return r.params;
  std::vector<float> out = s.params[5];
  out.resize(5, 0.0f);
  out.insert(out.end(), r.params.begin(), r.params.end());
  return out;
}

}  // namespace kelvora

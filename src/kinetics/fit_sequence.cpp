#include "kinetics/fit_sequence.h"

#include <cfloat>
#include <cmath>
#include <limits>

#include "kinetics/curves.h"
#include "kinetics/model_kind.h"
#include "kinetics/objectives.h"
#include "store/cp932.h"

namespace kelvora {
namespace {

const char* kInitialStage = "初期値を計算しています";
const char* kSolverStage = "パラメータを計算しています";
const char* kPleaseWait = "しばらくお待ち下さい";

constexpr double kSigmaCandidates[] = {1, 2, 5, 10};

// Evaluates paramVec into trialRss (clearing fitOk on an error, which does not
// stop a candidate search) and returns it rounded to single.
float EvalTrialRounded(FitSession& s, const Objective& obj, EvalCounts* counts) {
  EvalResult r = obj.Eval(s.paramVec.data(), Dest::Double, nullptr);
  if (!r.ok) s.fitOk = false;
  s.trialRss = r.sum;
  if (counts) {
    ++counts->evaluations;
    ++counts->distinct;
  }
  return RoundToSingle(r.sum);
}

// The sigma search of the Gaussian model: no failed-fit dialog, no look at
// fitOk. False when the host cancelled.
bool FitSigma(FitSession& s, FitHost* host, EvalCounts* counts) {
  s.paramCount = 1;
  s.paramVec.assign(1, 0.0);
  s.iterMax = kIterMax;
  s.currentModel = 6;
  std::unique_ptr<Objective> obj = MakeObjective(s, 6);
  auto evalSigma = [&](double sigma) {
    s.paramVec[0] = sigma;
    return EvalTrialRounded(s, *obj, counts);
  };
  s.bestRss = evalSigma(kSigmaCandidates[0]);
  double bestSigma = kSigmaCandidates[0];
  for (double sigma : kSigmaCandidates) {
    float v = evalSigma(sigma);
    if (v < s.bestRss) {
      s.bestRss = v;
      bestSigma = sigma;
    }
  }
  s.params[6].assign(1, static_cast<float>(bestSigma));
  s.initialParams[6].assign(1, static_cast<float>(bestSigma));
  s.paramVec[0] = bestSigma;
  s.stepRatio.assign(1, kStartStepRatio);
  s.minStep.assign(1, kMinStep);
  s.fitOk = true;
  if (!SearchParams(s, *obj, host, counts)) return false;
  s.sweeps[6] = s.iterCount;
  s.params[6][0] = static_cast<float>(s.paramVec[0]);
  return true;
}

}  // namespace

const std::vector<std::vector<double>>& CandidateGrid(int16_t model) {
  static const std::vector<std::vector<double>> kSimple{
      {15000, 20000, 25000}, {0.002, 0.005, 0.01}, {5, 10, 15, 20}, {0.5, 1, 5}};
  static const std::vector<std::vector<double>> kParallel{
      {10000, 15000}, {15000, 20000, 25000}, {0.002, 0.02, 0.15, 0.3}, {0.005, 0.01}, {2, 5},
      {5, 8, 10, 15}, {0.5, 1, 2, 5}};
  static const std::vector<std::vector<double>> kImmob{
      {15000, 20000}, {10000, 15000}, {0.002, 0.001, 0.01, 0.02}, {0.0001, 0.001, 0.1}, {5, 10, 20},
      {0, 2, 5},      {0.5, 1, 2}};
  static const std::vector<std::vector<double>> kFertSimple{
      {10000, 15000, 20000, 25000}, {0.02, 0.04, 0.06}, {100}, {0}};
  static const std::vector<std::vector<double>> kSigmoid{{10000, 15000, 20000, 25000},
                                                         {0.01, 0.02, 0.04, 0.06},
                                                         {100},
                                                         {20, 30, 40, 50},
                                                         {10000, 15000, 20000, 25000}};
  static const std::vector<std::vector<double>> kNone;
  switch (model) {
    case 1:
      return kSimple;
    case 2:
      return kParallel;
    case 3:
      return kImmob;
    case 4:
      return kFertSimple;
    case 5:
      return kSigmoid;
    default:
      return kNone;
  }
}

std::vector<int16_t> MaterialModels(MaterialKind material) {
  if (material == MaterialKind::CoatedFertilizer) return {4, 5, 6};
  return {1, 2, 3};
}

int AicCharge(int16_t model) {
  static const int kCharge[] = {0, 8, 14, 14, 8, 10, 12};
  return IsValidModel(model) ? kCharge[model] : 0;
}

float Aic(int16_t obsCount, float rss, int charge) {
  if (rss == 0.0f) {
    const double smallest = std::log(static_cast<double>(std::numeric_limits<float>::denorm_min()));
    return RoundToSingle(static_cast<double>(obsCount) * smallest + charge - 14);
  }
  return RoundToSingle(static_cast<double>(obsCount) * std::log(static_cast<double>(rss)) + charge);
}

std::vector<float> InitialGridSearch(FitSession& s, int16_t model, EvalCounts* counts) {
  const std::vector<std::vector<double>>& grid = CandidateGrid(model);
  const int n = static_cast<int>(grid.size());
  s.paramCount = static_cast<int16_t>(n);
  s.paramVec.assign(n, 0.0);
  if (model == 2 || model == 3) s.currentModel = model;
  std::unique_ptr<Objective> obj = MakeObjective(s, model);
  auto eval = [&]() { return EvalTrialRounded(s, *obj, counts); };

  for (int i = 0; i < n; ++i) s.paramVec[i] = grid[i][0];
  s.bestRss = eval();
  std::vector<float> best(n);
  for (int i = 0; i < n; ++i) best[i] = static_cast<float>(s.paramVec[i]);

  // Odometer over the positions, the last position turning fastest.
  std::vector<size_t> at(n, 0);
  for (;;) {
    for (int i = 0; i < n; ++i) s.paramVec[i] = grid[i][at[i]];
    float v = eval();
    if (v < s.bestRss) {
      s.bestRss = v;
      for (int i = 0; i < n; ++i) best[i] = static_cast<float>(s.paramVec[i]);
    }
    int pos = n - 1;
    while (pos >= 0 && ++at[pos] == grid[pos].size()) at[pos--] = 0;
    if (pos < 0) break;
  }
  return best;
}

bool ChooseInitialValues(FitSession& s, FitHost* host, const InitialValues& given,
                         EvalCounts* counts) {
  for (int16_t m : MaterialModels(s.material)) {
    if (CandidateGrid(m).empty()) continue;
    std::vector<float> values;
    if (given[m]) {
      values = *given[m];
    } else {
      if (host && host->CancelRequested()) return false;
      if (host) host->ShowProgress(ProgressPrefix(m), kInitialStage, kPleaseWait);
      values = InitialGridSearch(s, m, counts);
    }
    s.params[m] = values;
    s.initialParams[m] = values;
  }
  return true;
}

void ChooseBestModel(FitSession& s) {
  const std::vector<int16_t> models = MaterialModels(s.material);
  int16_t best = models[0];
  for (size_t k = 1; k < models.size(); ++k) {
    if (s.aic[models[k]] < s.aic[best]) best = models[k];  // ties keep the earlier model
  }
  s.bestModel = best;
  s.bestAic = s.aic[best];
  s.bestModelName = ModelName(best);
  s.currentModel = best;
}

std::vector<float> RecordParams(const FitSession& s, int16_t model) {
  if (!IsValidModel(model)) return {};
  if (model != 6) return s.params[model];
  std::vector<float> v = s.params[5];
  v.resize(5, 0.0f);
  v.push_back(s.params[6].empty() ? 0.0f : s.params[6][0]);
  return v;
}

void StoreValuesInRecord(ParaRecord& r, int16_t model, const std::vector<float>& values, float aic,
                         float rss) {
  r.ModelNo = model;
  for (size_t i = 0; i < values.size() && i < r.Param.size(); ++i) r.Param[i] = values[i];
  r.Aic = aic;
  r.Rss = rss;
  r.IsManual = false;
}

void StoreModelInRecord(ParaRecord& r, const FitSession& s, int16_t model) {
  r.SoilName = ReplaceQuotes(s.sampleName);
  StoreValuesInRecord(r, model, RecordParams(s, model), IsValidModel(model) ? s.aic[model] : 0.0f,
                      IsValidModel(model) ? s.rss[model] : 0.0f);
  r.StdTemp = s.standardTemp;
}

ParaRecord MakeParaRecord(const FitSession& s, int16_t model) {
  ParaRecord r;
  StoreModelInRecord(r, s, model);
  return r;
}

FitRun FitAllModels(FitSession& s, FitHost* host) {
  FitRun result;
  s.fitCancelled = false;
  const std::vector<int16_t> models = MaterialModels(s.material);
  for (size_t k = 0; k < models.size(); ++k) {
    const int16_t m = models[k];
    if (host) host->ShowProgress(ProgressPrefix(m), kSolverStage, kPleaseWait);
    if (m == 6) {
      if (!FitSigma(s, host, &result.counts)) {
        s.fitCancelled = true;
        result.outcome = FitOutcome::Cancelled;
        return result;
      }
    } else if (RunSolverForModel(s, m, FittedParamCount(m), host, &result.counts) ==
               SolverOutcome::Cancelled) {
      result.outcome = FitOutcome::Cancelled;
      return result;
    }
    if (k == 0) {
      if (s.source == FitSource::Field) {
        s.chartRows = s.obsCount;
      } else {
        s.chartRows = static_cast<int16_t>(s.colRows[1] + s.colRows[2] + s.colRows[3]);
        s.obsCount = static_cast<int16_t>(s.colObsCount[1] + s.colObsCount[2] + s.colObsCount[3]);
      }
    }
    s.rss[m] = s.bestRss;
    s.aic[m] = Aic(s.obsCount, s.bestRss, AicCharge(m));
  }

  ChooseBestModel(s);
  result.record = MakeParaRecord(s, s.bestModel);
  EvaluateForChart(s, s.bestModel);
  result.outcome = FitOutcome::Completed;
  return result;
}

void EvaluateForChart(FitSession& s, int16_t model) {
  if (model == 6) {
    s.paramVec.assign(1, s.params[6].empty() ? 0.0 : s.params[6][0]);
  } else {
    s.paramVec.assign(s.params[model].begin(), s.params[model].end());
  }
  s.currentModel = model;
  EvalRss(s, s.trialRss);
  if (s.source == FitSource::Field) {
    BuildFieldChartTable(s);
  } else {
    BuildChartTable(s);
  }
}

void BuildChartTable(FitSession& s) {
  s.chartTable.assign(std::max<int>(s.chartRows, 0), ChartRow{});
  size_t row = 0;
  for (int c = 1; c <= 3; ++c) {
    for (int r = 1; r <= s.colRows[c] && row < s.chartTable.size(); ++r, ++row) {
      ChartRow& out = s.chartTable[row];
      if (r < static_cast<int>(s.adjTime[c].size())) {
        out.adjTime = s.adjTime[c][r];
        out.adjTime2 = s.adjTime[c][r];
        out.calc = s.calc[c][r];
      }
      const std::string& obs = s.observed[c][r];
      if (!obs.empty()) out.observed = obs;
    }
  }
}

void BuildFieldChartTable(FitSession& s) {
  const int n = s.obsCount;
  s.chartRows = static_cast<int16_t>(n);
  s.chartTable.assign(n, ChartRow{});
  for (int i = 1; i <= n; ++i) {
    ChartRow& out = s.chartTable[i - 1];
    if (i < static_cast<int>(s.adjTime[1].size())) {
      out.adjTime = s.adjTime[1][i];
      out.adjTime2 = s.adjTime[1][i];
      out.calc = s.calc[1][i];
    }
    if (i < static_cast<int>(s.fieldObserved.size())) out.observed = s.fieldObserved[i];
  }
}

}  // namespace kelvora

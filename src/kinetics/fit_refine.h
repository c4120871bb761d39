// A least-squares check of a finished fit: the coordinate search stops when no
// step of its ratio improves a parameter, which can leave it above the
// least-squares minimum. Every model is refined by Levenberg–Marquardt in
// double, from the fit's optimum and from the best points of the model's
// initial-value grid, and the refined values are judged with the fit's own
// single-precision objective so that both residual sums compare fairly.
// Computed after the fit, from a read-only session: the fit's results, its
// tables and what it stores stay as they were. No Qt.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "kinetics/fit_session.h"
#include "kinetics/fit_stats.h"

namespace kelvora {

// A refined value must lower the fit's objective by more than this fraction
// to count as an improvement.
inline constexpr double kRefineImprovement = 1e-3;

struct RefinedModel {
  int16_t model = 0;
  // The model's fitted vector (model 6: σ alone), rounded to single as a
  // stored set holds it. The fit's own values when no start did better.
  std::vector<float> params;
  float rss = 0;  // the fit's objective (single) at params
  float aic = 0;  // the fit's AIC of that sum
  float fitRss = 0;
  float fitAic = 0;
  bool improved = false;            // rss < fitRss · (1 − kRefineImprovement)
  std::string start;                // "optimum" or "grid": where the kept values came from
  std::optional<ModelStats> stats;  // the statistics at the refined values
};

struct FitRefinement {
  std::array<std::optional<RefinedModel>, 7> models;  // [1..6], the models of the fit
  int16_t fitBestModel = 0;                           // lowest AIC of the fit
  int16_t refinedBestModel = 0;                       // lowest AIC after refinement
  // 0 when no model has an AIC to compare, which changes nothing.
  bool bestModelChanges() const {
    return fitBestModel != 0 && refinedBestModel != 0 && fitBestModel != refinedBestModel;
  }
};

// How many of the best grid points start a refinement besides the optimum.
inline constexpr int kRefineGridStarts = 3;

// Refines every model of a fit that ended normally; the session is only read.
FitRefinement RefineFit(const FitSession& s);

// The record values of a refined model (model 6: the fit's model-5 values
// followed by the refined σ), as RecordParams gives the fit's.
std::vector<float> RefinedRecordParams(const FitSession& s, const RefinedModel& r);

}  // namespace kelvora

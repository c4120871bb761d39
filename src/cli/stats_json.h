// The "stats" object of a model in the JSON of kelvora-cli fit / fit-field.
#pragma once

#include <string>

#include "kinetics/fit_refine.h"
#include "kinetics/fit_stats.h"

namespace kelvora {

// {"n", "dof", "rss", "sigma", "r2", "adj_r2", "aic", "aicc", "bic",
// "delta_aic", "akaike_weight", "se", "ci95", "t", "corr", "half_life",
// "q10", "warnings"}: one list entry per parameter slot of "params", null
// where a value is not estimable or undefined.
std::string JsonModelStats(const ModelStats& stats);

// {"params", "rss", "aic", "improved", "start"}: the refined values of the
// model's "params" slots with the fit's RSS and AIC of them.
std::string JsonRefined(const RefinedModel& refined);

}  // namespace kelvora

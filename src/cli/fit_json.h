// The "models" list of kelvora-cli fit / fit-field, which fit-all prints for
// every record as well.
#pragma once

#include <cstdint>
#include <string>

#include "kinetics/fit_refine.h"
#include "kinetics/fit_session.h"
#include "kinetics/fit_stats.h"

namespace kelvora {

// One object per model the fit reached, in fitting order: "model", "name",
// "initial", "params", "rss", "aic", "sweeps", "ok", "stats", "refined". A fit
// that did not end (ok false) lists the models before `failedModel` and that
// one with the values its search stopped at.
std::string FitModelsJson(const FitSession& s, bool ok, int16_t failedModel, const FitStats& stats,
                          const FitRefinement& refined);

}  // namespace kelvora

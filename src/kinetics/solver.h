// The coordinate search over a model's parameter vector.
#pragma once

#include <cstdint>

#include "kinetics/fit_host.h"
#include "kinetics/fit_session.h"
#include "kinetics/objectives.h"

namespace kelvora {

constexpr float kExpandRatio = 1.3f;  // the single nearest to 1.3
constexpr float kShrinkRatio = 0.2f;  // the single nearest to 0.2
constexpr float kStartStepRatio = 0.1f;
constexpr float kMinStep = 1e-6f;
constexpr int16_t kIterMax = 32767;

// Counts of objective evaluations (for the benchmarks): all requested and the
// distinct ones actually computed.
struct EvalCounts {
  uint64_t evaluations = 0;
  uint64_t distinct = 0;
};

// Runs the search on the session's solver fields (currentModel, paramCount,
// paramVec, stepRatio, minStep, iterMax) with the given objective. Returns
// false when the host asked to cancel between sweeps.
bool SearchParams(FitSession& s, const Objective& objective, FitHost* host,
                  EvalCounts* counts = nullptr);
// The same with the objective of s.currentModel for the session's source.
bool SearchParams(FitSession& s, FitHost* host, EvalCounts* counts = nullptr);

enum class SolverOutcome { Fitted, Cancelled };

// Fits model m (1-5) with n parameters from params[m]: fresh steps, search,
// and on an arithmetic error the failed-fit question, again and again until
// the search runs clean or the user gives up (fitCancelled set).
SolverOutcome RunSolverForModel(FitSession& s, int16_t m, int16_t n, FitHost* host,
                                EvalCounts* counts = nullptr);

}  // namespace kelvora

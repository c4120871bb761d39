// Initial values from candidate grids, the fitting sequence over the three
// models of a material, the AIC model choice and the chart table.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "kinetics/fit_host.h"
#include "kinetics/fit_session.h"
#include "kinetics/solver.h"
#include "store/records.h"

namespace kelvora {

// Candidate values per position of a model's initial-value grid, tried in
// order, position 1 outermost; a fixed position has one value.
const std::vector<std::vector<double>>& CandidateGrid(int16_t model);

// The models of a material in fitting order (1, 2, 3 or 4, 5, 6).
std::vector<int16_t> MaterialModels(MaterialKind material);

// Parameter charge P of the AIC (8, 14, 14, 8, 10, 12).
int AicCharge(int16_t model);

// AIC = n ln(RSS) + P in double precision, rounded to single. A residual sum
// of exactly 0 has no logarithm: such a perfect fit is charged as if its sum
// were the smallest positive single, less 14 (the largest charge of any
// model). No imperfect fit can then reach it, since its sum is at least that
// smallest single and its charge at least 8, and of two perfect fits the
// earlier model, never charged more than a later one, keeps the lead. The
// stored value stays finite.
float Aic(int16_t obsCount, float rss, int charge);

// Evaluates the model's grid (objective of the session's source) and returns
// the best vector, rounded to single. Sets paramCount, paramVec, trialRss,
// bestRss (and currentModel for the parallel models); clears fitOk on an
// arithmetic error but goes on.
std::vector<float> InitialGridSearch(FitSession& s, int16_t model, EvalCounts* counts = nullptr);

// Initial values given for models 1-5 (index = model number); a model
// without given values has its grid searched.
using InitialValues = std::array<std::optional<std::vector<float>>, 7>;

// For every model of the material that has a grid: the given values, or else
// the grid search with the progress texts of the initial-value stage; the
// result goes into params and initialParams. False when the host asked to
// cancel (checked before each search).
bool ChooseInitialValues(FitSession& s, FitHost* host, const InitialValues& given = {},
                         EvalCounts* counts = nullptr);

enum class FitOutcome { Invalid, Cancelled, Completed };

// What a fit ended with.
struct FitRun {
  FitOutcome outcome = FitOutcome::Invalid;
  std::string message;  // the check's message when outcome is Invalid
  ParaRecord record;    // Completed: the record of the chosen model, for the caller to store
  EvalCounts counts;
};

// Fits the three models of the session's material from params (the initial
// values), computes AIC and RSS per model, chooses the best, re-evaluates it
// into the per-cell tables and builds the chart table. Returns the ParaRecord
// of the chosen model; storing it, and the windows, are the caller's business.
FitRun FitAllModels(FitSession& s, FitHost* host);

// Sets bestModel, bestAic, bestModelName and currentModel from the AIC of the
// material's three models: the first is best unless a later one is strictly
// lower.
void ChooseBestModel(FitSession& s);

// The values of model m as a ParaRecord holds them, slot by slot: params[m],
// or for the Gaussian model the five SigmoidFert values followed by sigma.
std::vector<float> RecordParams(const FitSession& s, int16_t model);

// Writes model m's values (slot by slot, as RecordParams gives them), AIC and
// RSS into a record, fitted and not typed by hand; slots beyond the values
// keep what the record held.
void StoreValuesInRecord(ParaRecord& record, int16_t model, const std::vector<float>& values,
                         float aic, float rss);

// Writes model m of the session into a record: name, model number, the
// model's slots, AIC, RSS, standard temperature; not fitted by hand. Slots
// beyond the model's keep what the record held.
void StoreModelInRecord(ParaRecord& record, const FitSession& s, int16_t model);

// The ParaRecord of model m of the session as it is stored (unused slots 0).
ParaRecord MakeParaRecord(const FitSession& s, int16_t model);

// Re-evaluates `model` at its fitted parameters into the per-cell tables and
// rebuilds the chart table (used after the sequence and by the results screen
// when another model is chosen).
void EvaluateForChart(FitSession& s, int16_t model);

void BuildChartTable(FitSession& s);
void BuildFieldChartTable(FitSession& s);

}  // namespace kelvora

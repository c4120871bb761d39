// Starting a fit from a data grid: clean-up, the checks with their messages,
// capture into the session, initial values and the fitting sequence.
#pragma once

#include <optional>
#include <string>

#include "kinetics/fit_host.h"
#include "kinetics/fit_sequence.h"
#include "kinetics/fit_session.h"
#include "kinetics/lab_table.h"
#include "store/grid_text.h"
#include "store/hensuu.h"

namespace kelvora {

// What the data screens hand to a fit.
struct FitRequest {
  GridTable grid;            // the screen's grid; cleaned in place
  std::string sampleName;    // "③ 土壌名（肥料名）"
  std::string standardTemp;  // "④ 標準温度", as typed
  bool fertilizer = false;   // coated fertilizer option selected
};

// Cleans the incubation table, checks it and the standard temperature, and on
// success captures the data into the session (source Laboratory) with fresh
// per-cell tables. Returns the message to show (title "注意") when a check
// fails; the session is then left as it was.
std::optional<std::string> PrepareLabFit(FitSession& s, FitRequest& request);

// The checks and the capture on a table that has already been cleaned, with
// what the clean-up found (the last filled rows are those before cleaning).
std::optional<std::string> PrepareCleanedLabFit(FitSession& s, const GridTable& cleaned,
                                                const IncubationTableShape& shape,
                                                const std::string& sampleName,
                                                const std::string& standardTemp, bool fertilizer);

// The same for the field grid (date, soil temperature, amount).
std::optional<std::string> PrepareFieldFit(FitSession& s, FitRequest& request);

struct FitRun {
  FitOutcome outcome = FitOutcome::Invalid;
  std::string message;  // the check's message when outcome is Invalid
  FitAllResult sequence;
};

// The whole fit from a screen's button: prepare, choose initial values, run
// the sequence. The progress window opens (host->ShowProgress) only after the
// checks have passed.
FitRun StartFit(FitSession& s, hensuu& store, FitRequest& request, FitHost* host);
FitRun StartFieldFit(FitSession& s, hensuu& store, FitRequest& request, FitHost* host);

// After the data have been prepared: the initial-value search (unless the
// values in params are to be used, as a recalculation from the results
// screen does) and the fitting sequence.
FitAllResult RunFitSequence(FitSession& s, hensuu& store, FitHost* host, bool chooseInitialValues);

}  // namespace kelvora

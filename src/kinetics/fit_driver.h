// The one way a fit is run, from a data screen, the command-line tool, the
// tests and the benchmarks alike: the clean-up of the grid, the checks with
// their messages, the capture into the session, the initial values and the
// fitting sequence.
#pragma once

#include <optional>
#include <string>

#include "kinetics/fit_host.h"
#include "kinetics/fit_sequence.h"
#include "kinetics/fit_session.h"
#include "kinetics/lab_table.h"
#include "store/grid_text.h"

namespace kelvora {

// What a data screen (or the command-line tool) hands to a fit.
struct FitRequest {
  FitSource source = FitSource::Laboratory;
  // Laboratory: the incubation table (row 0 temperatures, column 0 days).
  // Field: date, soil temperature and amount per day, row 0 the header.
  GridTable table;
  // Laboratory: what the clean-up found when the screen has already cleaned
  // the table (the last filled rows are those before cleaning); empty when
  // the fit is to clean it. A field table is always cleaned by the fit
  // (cleaning it twice changes nothing).
  std::optional<IncubationTableShape> shape;
  std::string name;           // "③ 土壌名（肥料名）"
  std::string standardTemp;   // "④ 標準温度", as typed
  bool isFertilizer = false;  // coated fertilizer option selected
  // Initial values given for a model replace its grid search.
  InitialValues initialValues;
  // Why the record cannot be fitted as it stands (a stored table larger than
  // the screen's grid): PrepareFit refuses it with this message.
  std::string refusal;
};

// The message (title "注意") for a standard temperature the fit refuses:
// empty, not a number, or at or below -273 ℃; nothing when it is usable.
std::optional<std::string> StandardTempMessage(const std::string& text);

// Cleans the request's table (in place), checks it and the standard
// temperature, and on success captures the data into the session with fresh
// per-cell tables (source, material, refitFromResults cleared). Returns the
// message to show (title "注意") when a check fails; the session is then left
// as it was.
std::optional<std::string> PrepareFit(FitSession& s, FitRequest& request);

// After PrepareFit, or for a recalculation from the results screen: the
// initial values (given ones, the grid search for the others) and the
// fitting sequence. The record of the chosen model is returned, not stored.
FitRun RunFit(FitSession& s, FitHost* host, const InitialValues& given = {});

// The whole fit of a request: PrepareFit, then RunFit with the request's
// given initial values. The progress texts (host->ShowProgress) start only
// after the checks have passed.
FitRun StartFit(FitSession& s, FitRequest& request, FitHost* host);

// The observations of a prepared fit: the measured cells of a laboratory
// table, the observed days of a field table.
int FitObservations(const FitSession& s);

// Fewer observations than any model of the material has parameters (the
// Gaussian model's six count, as its AIC counts them): no parameter set is
// determined by the data, whatever the fit finds. The warning for it, or
// nothing.
std::optional<std::string> UndeterminedFitWarning(const FitSession& s);

// The values in params of every model of the material that has a grid, as
// the recalculation from the results screen starts from them.
InitialValues ParamsAsInitialValues(const FitSession& s);

}  // namespace kelvora

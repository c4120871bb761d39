// A fit session captured from a table with made-up "fitted" values: what the
// statistics and the windows that show them need, without running a fit.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "kinetics/fit_driver.h"
#include "kinetics/fit_sequence.h"
#include "store/grid_text.h"

namespace kelvora::testing {

// The table (TAB/LF text) captured as the fit captures it, standard
// temperature 25, with the first values of each model's grid as its fitted
// values (model 6: σ = 1 on the model-5 values) and a residual sum of 2.5.
inline FitSession CapturedSession(const std::string& table, bool field, bool fertilizer) {
  FitRequest r;
  r.source = field ? FitSource::Field : FitSource::Laboratory;
  const int rows = static_cast<int>(std::count(table.begin(), table.end(), '\n'));
  r.table =
      GridFromRows(SplitGridText(table, kSpreadsheetFormat), field ? rows : 100, field ? 3 : 4);
  r.standardTemp = "25";
  r.isFertilizer = fertilizer;
  r.name = "試料";
  FitSession s;
  EXPECT_EQ(PrepareFit(s, r), std::nullopt);
  if (!field)
    s.obsCount = static_cast<int16_t>(s.colObsCount[1] + s.colObsCount[2] + s.colObsCount[3]);
  for (int16_t m : MaterialModels(s.material)) {
    s.params[m].clear();
    if (m == 6) s.params[6] = {1.0f};
    for (const std::vector<double>& values : CandidateGrid(m))
      s.params[m].push_back(static_cast<float>(values[0]));
    s.rss[m] = 2.5f;
  }
  s.bestModel = s.currentModel = MaterialModels(s.material)[0];
  return s;
}

}  // namespace kelvora::testing

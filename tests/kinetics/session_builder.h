// Builds laboratory fit sessions for tests without going through a grid.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "kinetics/fit_session.h"

namespace kelvora::testing {

// columns[c - 1][r - 1] is the observed text of row r in column c ("" = none).
inline FitSession LabSession(const std::vector<std::string>& temps, const std::vector<float>& days,
                             const std::vector<std::vector<std::string>>& columns,
                             float standardTemp = 25, MaterialKind material = MaterialKind::Soil) {
  FitSession s;
  s.material = material;
  s.source = FitSource::Laboratory;
  s.standardTemp = standardTemp;
  s.dayList.assign(days.size() + 1, 0.0f);
  for (size_t r = 0; r < days.size(); ++r) s.dayList[r + 1] = days[r];
  for (int c = 1; c <= 3; ++c) {
    s.tempText[c] = c <= static_cast<int>(temps.size()) ? temps[c - 1] : "25";
    const std::vector<std::string> col =
        c <= static_cast<int>(columns.size()) ? columns[c - 1] : std::vector<std::string>{};
    int last = 0;
    for (size_t r = 0; r < col.size(); ++r)
      if (!col[r].empty()) last = static_cast<int>(r) + 1;
    s.colRows[c] = static_cast<int16_t>(last);
    s.observed[c].assign(last + 1, std::string());
    for (int r = 1; r <= last; ++r) {
      s.observed[c][r] = col[r - 1];
      if (!col[r - 1].empty()) ++s.colObsCount[c];
    }
  }
  s.rowCount = std::max({s.colRows[1], s.colRows[2], s.colRows[3]});
  s.RecreateCellTables(3, s.rowCount);
  return s;
}

}  // namespace kelvora::testing

// Day-by-day estimation of the nitrogen a soil or coated fertilizer releases
// under a daily soil temperature series.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "store/records.h"

namespace kelvora {

// The prepared days of a temperature series (index 1..seriesDays).
struct SeriesDays {
  int seriesDays = 0;
  std::vector<std::string> seriesDates;  // [1..D], unchanged text
  std::vector<std::string> seriesTemps;  // [1..D]; empty = no temperature that day
};

// Splits a soil temperature series' grid text into its days: D = number of CR;
// row 0 (the header) is not used.
SeriesDays Data_Separate(const std::string& gridText);

// Keeps only the days from..to (1-based, inclusive).
SeriesDays CutSeries(const SeriesDays& days, int from, int to);

struct EstimateResult {
  bool ok = true;
  std::string message;                            // why the run was refused
  std::vector<std::optional<double>> dayAmounts;  // [1..D]; empty for a day without temperature
};

// The temperatures of a series read once as numbers, for estimating many
// parameter sets over the same days.
struct PreparedSeries {
  int days = 0;
  std::vector<bool> hasTemp;                // [1..D]
  std::vector<std::optional<double>> temp;  // [1..D]; nothing when the text is not a number
  std::vector<std::string> text;            // [1..D] the texts, for messages
};
PreparedSeries PrepareSeries(const std::vector<std::string>& seriesTemps, int days);

// Cumulative amount at the end of every day for the parameter set. Daily
// factors are rounded to single before they are added, running sums are
// singles, the model curves are evaluated in double precision. A temperature
// that is not a number, a standard temperature of -273 or a result beyond the
// number range refuses the whole run with a message. A model number outside
// 1-6 computes nothing (every day stays empty).
EstimateResult EstimateSeries(const ParaRecord& para, const std::vector<std::string>& seriesTemps,
                              int days);
EstimateResult EstimateSeries(const ParaRecord& para, const PreparedSeries& series);

// The result table as grid text: row 0 "年/月/日" and the unit, then each day's
// date and amount in the pattern "0.00" (empty for a day without temperature).
std::string EstimateGridText(const ParaRecord& para, const SeriesDays& days,
                             const EstimateResult& result);

}  // namespace kelvora

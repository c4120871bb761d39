// A store of stored estimations made as the estimation screen makes them,
// from the reference series and the parameter sets of its expected results.
#pragma once

#include <array>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "kinetics/estimation.h"
#include "mini_json.h"
#include "store/hensuu.h"

namespace kelvora::testing {

// A series record from a TSV file in the layout of the series grid.
inline TionRecord SeriesFromTsv(const std::string& path, const std::string& name) {
  std::ifstream in(path, std::ios::binary);
  std::string line, grid;
  bool first = true;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    if (!first) grid += '\r';
    grid += line;
    first = false;
  }
  return TionRecord{name, grid};
}

// One run of the reference estimations: its parameter set and, per day, the
// date and the exact amount (nothing for a day without temperature).
struct ReferenceRun {
  ParaRecord para;
  std::vector<std::pair<std::string, std::optional<double>>> rows;
};

inline std::vector<ReferenceRun> ReferenceRuns(const std::string& jsonPath) {
  std::ifstream in(jsonPath, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  const Json doc = ParseJson(ss.str());
  std::vector<ReferenceRun> runs;
  for (const Json& r : doc["runs"].items) {
    ReferenceRun run;
    run.para.ModelNo = static_cast<int16_t>(r["model"].number);
    run.para.StdTemp = static_cast<float>(r["std_temp"].number);
    for (size_t i = 0; i < r["params"].size(); ++i) {
      run.para.Param[i] = static_cast<float>(r["params"][i].number);
    }
    for (const Json& row : r["rows"].items) {
      std::optional<double> v;
      if (row[1].kind == Json::Number) v = std::strtod(row[1].text.c_str(), nullptr);
      run.rows.emplace_back(row[0].text, v);
    }
    runs.push_back(std::move(run));
  }
  return runs;
}

// The estimation record the screen stores for `para` over days from..to
// (1-based, inclusive; 0 = the whole series) of `series`.
inline SuiteiRecord EstimateAsTheScreenDoes(const ParaRecord& para, const TionRecord& series,
                                            int from = 0, int to = 0) {
  SeriesDays days = Data_Separate(series.GridText);
  if (from > 0) days = CutSeries(days, from, to);
  const EstimateResult result = EstimateSeries(para, days.seriesTemps, days.seriesDays);
  SuiteiRecord rec;
  rec.ModelNo = para.ModelNo;
  rec.SoilName = para.SoilName;
  rec.SiteName = series.SiteName;
  rec.GridText = EstimateGridText(para, days, result);
  rec.StdTemp = para.StdTemp;
  return rec;
}

}  // namespace kelvora::testing

// What the benchmarks share: a quiet fit host, reading a reference table, the
// fit request of a table and wall-clock seconds.
#pragma once

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "kinetics/fit_driver.h"
#include "kinetics/fit_host.h"
#include "store/number_text.h"
#include "store/records.h"

namespace kelvora::bench {

// No progress texts; a failed model gives up.
class QuietHost : public FitHost {
 public:
  void ShowProgress(const std::string&, const std::string&, const std::string&) override {}
  FailedFitAnswer ModelFailed(FitSession&, int16_t) override { return FailedFitAnswer::Cancel; }
};

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// A reference table by file name, where the build put the copies.
#ifdef KELVORA_BENCH_DIR
inline std::string ReferenceTable(const std::string& name) {
  return ReadFile(std::string(KELVORA_BENCH_DIR) + "/" + name);
}
#endif

// The fit of a table as the screens ask for it: a laboratory table in the
// 100-row grid of the incubation screen, a field table in its three columns;
// standard temperature 25.
inline FitRequest TableRequest(const std::string& table, bool fertilizer, bool field) {
  FitRequest req;
  req.source = field ? FitSource::Field : FitSource::Laboratory;
  req.table =
      GridFromRows(SplitGridText(table, kSpreadsheetFormat), field ? 2 : 100, field ? 3 : 4);
  req.standardTemp = "25";
  req.isFertilizer = fertilizer;
  return req;
}

// `n` incubation records made from a table, the amounts of record i scaled
// by 1 + i/500 so that no two records are the same fit.
inline std::vector<BaiyoRecord> ScaledRecords(const std::string& table, bool fertilizer, int n) {
  const GridTable base = GridFromRows(SplitGridText(table, kSpreadsheetFormat), 100, 4);
  std::vector<BaiyoRecord> records;
  for (int i = 0; i < n; ++i) {
    GridTable g = base;
    for (int r = 1; r < g.Rows(); ++r) {
      for (int c = 1; c < g.Cols(); ++c) {
        if (std::optional<double> v = ParseDouble(g.Cell(r, c))) {
          char text[32];
          std::snprintf(text, sizeof text, "%.4g", *v * (1 + i / 500.0));
          g.Cell(r, c) = text;
        }
      }
    }
    records.push_back({"bench" + std::to_string(i + 1), g.ToGridText(), fertilizer});
  }
  return records;
}

inline double Seconds(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

}  // namespace kelvora::bench

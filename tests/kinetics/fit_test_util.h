// Shared pieces of the fit tests: tables from text, a host that records, the
// reference fits.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "kinetics/fit_driver.h"
#include "kinetics/fit_host.h"
#include "kinetics/fit_session.h"
#include "store/grid_text.h"

namespace kelvora::testing {

// A TAB/LF table (as copied from a spreadsheet) into a grid of the given size.
inline GridTable TableGrid(const std::string& text, int rows, int cols) {
  GridTable g = GridFromRows(SplitGridText(text, kSpreadsheetFormat), rows, cols);
  g.Resize(rows, cols);
  return g;
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

class RecordingHost : public FitHost {
 public:
  void ShowProgress(const std::string& a, const std::string& b, const std::string& c) override {
    progress.push_back(a + "|" + b + "|" + c);
  }
  FailedFitAnswer ModelFailed(FitSession& s, int16_t model) override {
    failures.push_back(model);
    if (model == recalculateModel && !newValues.empty()) {
      s.params[model] = newValues;
      s.initialParams[model] = newValues;
      newValues.clear();
      return FailedFitAnswer::Recalculate;
    }
    return FailedFitAnswer::Cancel;
  }
  std::vector<std::string> progress;
  std::vector<int16_t> failures;
  int16_t recalculateModel = 0;
  std::vector<float> newValues;
};

// A reference table (TAB/LF text) fitted through StartFit as kelvora-cli fits
// it, with standard temperature 25: a laboratory table in a grid of 100 rows,
// a field table with one grid row per line.
inline FitRun FitReferenceTable(const std::string& table, bool field, bool fertilizer,
                                FitSession& s) {
  FitRequest req;
  req.source = field ? FitSource::Field : FitSource::Laboratory;
  req.table =
      field ? TableGrid(table, static_cast<int>(std::count(table.begin(), table.end(), '\n')), 3)
            : TableGrid(table, 100, 4);
  req.standardTemp = "25";
  req.isFertilizer = fertilizer;
  req.name = "試料";
  RecordingHost host;
  return StartFit(s, req, &host);
}

#ifdef KELVORA_BENCH_DIR
// The four reference tables and how each is fitted.
struct ReferenceFit {
  const char* base;  // file name without ".tsv"
  bool field;
  bool fertilizer;
};
inline constexpr ReferenceFit kReferenceFits[] = {{"soil-3x10", false, false},
                                                  {"fertilizer-3x11", false, true},
                                                  {"field-soil-1y", true, false},
                                                  {"field-fertilizer-1y", true, true}};

// A reference table fitted once for every test of the binary (the
// fertilizer's σ search takes seconds); the tests read or copy it.
inline const FitSession& FittedReference(const ReferenceFit& ref) {
  static std::map<std::string, FitSession> fitted;
  auto it = fitted.find(ref.base);
  if (it != fitted.end()) return it->second;
  const std::string table = ReadFile(std::string(KELVORA_BENCH_DIR) + "/" + ref.base + ".tsv");
  EXPECT_FALSE(table.empty()) << ref.base;
  FitSession s;
  EXPECT_EQ(FitReferenceTable(table, ref.field, ref.fertilizer, s).outcome, FitOutcome::Completed)
      << ref.base;
  return fitted.emplace(ref.base, std::move(s)).first->second;
}
#endif

// What a computation that only reads a finished fit must leave as it was:
// the values, the fit's tables and its chart, to the last bit.
inline void ExpectFitUnchanged(const FitSession& s, const FitSession& before) {
  EXPECT_EQ(s.params, before.params);
  EXPECT_EQ(s.initialParams, before.initialParams);
  EXPECT_EQ(s.rss, before.rss);
  EXPECT_EQ(s.aic, before.aic);
  EXPECT_EQ(s.sweeps, before.sweeps);
  EXPECT_EQ(s.currentModel, before.currentModel);
  EXPECT_EQ(s.bestModel, before.bestModel);
  EXPECT_EQ(s.paramVec, before.paramVec);
  EXPECT_EQ(s.sqResidual, before.sqResidual);
  EXPECT_EQ(s.trialRss, before.trialRss);
  ASSERT_EQ(s.chartTable.size(), before.chartTable.size());
  for (size_t i = 0; i < s.chartTable.size(); ++i) {
    EXPECT_EQ(s.chartTable[i].calc.has_value(), before.chartTable[i].calc.has_value());
    if (s.chartTable[i].calc) {
      EXPECT_EQ(s.chartTable[i].calc->value, before.chartTable[i].calc->value);
    }
  }
}

}  // namespace kelvora::testing

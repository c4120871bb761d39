// Shared pieces of the fit tests: tables from text, a host that records.
#pragma once

#include <algorithm>
#include <fstream>
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

}  // namespace kelvora::testing

#include "kinetics/fit_driver.h"

#include <algorithm>

#include "kinetics/curves.h"
#include "kinetics/lab_table.h"
#include "kinetics/model_kind.h"
#include "kinetics/parallel.h"
#include "store/cp932.h"
#include "store/number_text.h"

namespace kelvora {
namespace {

const char* kNoData = "培養結果を記入して下さい";
const char* kNoTemperature = "表の１行目に培養温度を記入して下さい";
const char* kTemperatureNotNumber = "表の１行目の培養温度に数字を記入して下さい";
const char* kMissingDay = "表の１列目に培養日数をすべて記入して下さい";
const char* kNotNumber = "表に数字を記入して下さい";
const char* kNoStandardTemp = "標準温度を記入して下さい";
const char* kStandardTempNotNumber = "標準温度に数字を記入して下さい";

// The standard temperature box; nothing when it holds a number.
std::optional<std::string> CheckStandardTemp(const std::string& text) {
  if (text.empty()) return std::string(kNoStandardTemp);
  if (!IsNumber(text)) return std::string(kStandardTempNotNumber);
  if (!IsPossibleTemperature(*ParseSingle(text))) return std::string(kStandardTempTooLow);
  return std::nullopt;
}

// The name goes into a ParaRecord and so into a data file.
std::optional<std::string> CheckName(const std::string& name) {
  std::string bad;
  const std::string stored = ToStoredForms(name);
  if (!CanStoreText(stored, &bad)) return UnstorableTextMessage(stored, bad);
  return std::nullopt;
}

// The Gaussian model of a fertilizer counts its terms day by day: a day it
// cannot count would leave its residual sum short of that day's cell and
// every later one, and such a sum must never compete with the others.
std::optional<std::string> CheckCountableDays(const GridTable& g, int16_t rowCount) {
  for (int r = 1; r <= rowCount; ++r) {
    if (IsCountableDay(*ParseSingle(g.Cell(r, 0)))) continue;
    return "表の" + std::to_string(r + 1) + "行目の培養日数「" + g.Cell(r, 0) +
           "」は被覆肥料では計算できません。\n培養日数を-32768～32767の範囲で記入して下さい";
  }
  return std::nullopt;
}

// The checks and the capture of an incubation table that has been cleaned,
// with what the clean-up found.
std::optional<std::string> PrepareLabFit(FitSession& s, const GridTable& g,
                                         const IncubationTableShape& shape,
                                         const std::string& sampleName,
                                         const std::string& standardTemp, bool fertilizer) {
  const auto& colRows = shape.colRows;
  if (colRows[1] == 0 && colRows[2] == 0 && colRows[3] == 0) return std::string(kNoData);

  // Each failing check replaces the pending message; the last one is shown.
  std::string pending;
  bool headerEmpty = false, headerNotNumber = false;
  for (int c = 1; c <= 3; ++c) {
    if (g.Cell(0, c).empty()) {
      headerEmpty = true;
    } else if (!IsNumber(g.Cell(0, c))) {
      headerNotNumber = true;
    }
  }
  if (headerEmpty) {
    pending = kNoTemperature;
  } else if (headerNotNumber) {
    pending = kTemperatureNotNumber;
  }
  std::array<int16_t, 4> colObsCount{};
  for (int c = 1; c <= 3; ++c) {
    for (int r = 1; r <= colRows[c]; ++r) {
      if (!g.Cell(r, c).empty()) ++colObsCount[c];
    }
  }
  const int16_t rowCount = std::max({colRows[1], colRows[2], colRows[3]});
  int firstEmptyDay = 1;
  while (firstEmptyDay < g.Rows() && !g.Cell(firstEmptyDay, 0).empty()) ++firstEmptyDay;
  if (firstEmptyDay - 1 < rowCount) pending = kMissingDay;
  for (int c = 0; c <= 3; ++c) {
    for (int r = 1; r <= rowCount; ++r) {
      const std::string& cell = g.Cell(r, c);
      if (!cell.empty() && !IsNumber(cell)) {
        pending = kNotNumber;
        break;
      }
    }
  }
  if (!pending.empty()) return pending;
  if (fertilizer) {
    if (auto m = CheckCountableDays(g, rowCount)) return m;
  }
  if (auto m = CheckStandardTemp(standardTemp)) return m;
  if (auto m = CheckName(sampleName)) return m;

  // Every check passed: capture.
  s.source = FitSource::Laboratory;
  s.colRows = colRows;
  s.colObsCount = colObsCount;
  s.rowCount = rowCount;
  s.dayList.assign(rowCount + 1, 0.0f);
  for (int r = 1; r <= rowCount; ++r) s.dayList[r] = *ParseSingle(g.Cell(r, 0));
  for (int c = 1; c <= 3; ++c) {
    s.observed[c].assign(colRows[c] + 1, std::string());
    for (int r = 1; r <= colRows[c]; ++r) s.observed[c][r] = g.Cell(r, c);
    s.tempText[c] = g.Cell(0, c);
  }
  s.sampleName = ToStoredForms(sampleName);
  s.standardTemp = *ParseSingle(standardTemp);
  s.RecreateCellTables(3, rowCount);
  s.material = fertilizer ? MaterialKind::CoatedFertilizer : MaterialKind::Soil;
  s.fieldDays = FieldDayTable{};
  s.fieldObserved.clear();
  return std::nullopt;
}

// The same for the field grid (date, soil temperature, amount).
std::optional<std::string> PrepareFieldFit(FitSession& s, FitRequest& request) {
  GridTable& g = request.table;
  if (g.Cols() < 3) g.Resize(g.Rows(), 3);
  CleanFieldTable(g);
  const int D = g.Rows() - 1;
  int n = 0;
  for (int d = 1; d <= D; ++d) {
    if (!g.Cell(d, 2).empty()) ++n;
  }
  if (n == 0) return std::string(kNoData);
  if (auto m = CheckStandardTemp(request.standardTemp)) return m;
  if (auto m = CheckName(request.name)) return m;
  if (D > 32767) return std::string("表の行数が多すぎます（32767行まで）");

  s.source = FitSource::Field;
  s.fieldObserved.assign(n + 1, 0.0f);
  s.fieldDays.dayCount = static_cast<int16_t>(D);
  s.fieldDays.temperatureText.assign(D + 1, std::nullopt);
  s.fieldDays.observedText.assign(D + 1, std::nullopt);
  int i = 0;
  for (int d = 1; d <= D; ++d) {
    const std::string& temp = g.Cell(d, 1);
    const std::string& obs = g.Cell(d, 2);
    if (!temp.empty()) s.fieldDays.temperatureText[d] = temp;
    if (!obs.empty()) {
      s.fieldDays.observedText[d] = obs;
      s.fieldObserved[++i] = *ParseSingle(obs);
    }
  }
  s.obsCount = static_cast<int16_t>(n);
  s.chartRows = static_cast<int16_t>(n);
  s.sampleName = ToStoredForms(request.name);
  s.standardTemp = *ParseSingle(request.standardTemp);
  s.RecreateCellTables(1, n);
  s.material = request.isFertilizer ? MaterialKind::CoatedFertilizer : MaterialKind::Soil;
  // The laboratory data of an earlier fit no longer belong to this session.
  s.colRows = {};
  s.colObsCount = {};
  s.rowCount = 0;
  s.dayList.clear();
  for (auto& col : s.observed) col.clear();
  return std::nullopt;
}

}  // namespace

std::optional<std::string> StandardTempMessage(const std::string& text) {
  return CheckStandardTemp(text);
}

std::optional<std::string> PrepareFit(FitSession& s, FitRequest& request) {
  if (!request.refusal.empty()) return request.refusal;
  std::optional<std::string> message;
  if (request.source == FitSource::Field) {
    message = PrepareFieldFit(s, request);
  } else {
    GridTable& g = request.table;
    if (!request.shape) {
      if (g.Rows() < 100 || g.Cols() < 4) g.Resize(std::max(g.Rows(), 100), std::max(g.Cols(), 4));
      request.shape = CleanIncubationTable(g);
    }
    message = PrepareLabFit(s, g, *request.shape, request.name, request.standardTemp,
                            request.isFertilizer);
  }
  if (!message) s.refitFromResults = false;
  return message;
}

FitRun RunFit(FitSession& s, FitHost* host, const InitialValues& given) {
  // The window thread, or a thread it started, may carry dirty vector state.
  ClearWideVectorState();
  EvalCounts initial;
  if (!ChooseInitialValues(s, host, given, &initial)) {
    s.fitCancelled = true;
    FitRun cancelled;
    cancelled.outcome = FitOutcome::Cancelled;
    cancelled.counts = initial;
    return cancelled;
  }
  FitRun result = FitAllModels(s, host);
  result.counts.evaluations += initial.evaluations;
  result.counts.distinct += initial.distinct;
  return result;
}

FitRun StartFit(FitSession& s, FitRequest& request, FitHost* host) {
  if (std::optional<std::string> message = PrepareFit(s, request)) {
    FitRun invalid;
    invalid.outcome = FitOutcome::Invalid;
    invalid.message = *message;
    return invalid;
  }
  return RunFit(s, host, request.initialValues);
}

InitialValues ParamsAsInitialValues(const FitSession& s) {
  InitialValues given;
  for (int16_t m : MaterialModels(s.material)) {
    if (!CandidateGrid(m).empty()) given[m] = s.params[m];
  }
  return given;
}

int FitObservations(const FitSession& s) {
  if (s.source == FitSource::Field) return s.obsCount;
  return s.colObsCount[1] + s.colObsCount[2] + s.colObsCount[3];
}

std::optional<std::string> UndeterminedFitWarning(const FitSession& s) {
  int fewest = 0;
  for (int16_t m : MaterialModels(s.material)) {
    fewest = fewest == 0 ? RecordParamCount(m) : std::min<int>(fewest, RecordParamCount(m));
  }
  const int observations = FitObservations(s);
  if (observations >= fewest) return std::nullopt;
  return "測定値が" + std::to_string(observations) + "個しかありません。どのモデルもパラメータが" +
         std::to_string(fewest) + "個以上あるため、パラメータは定まりません。";
}

}  // namespace kelvora

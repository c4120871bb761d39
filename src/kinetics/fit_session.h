// The shared state of the current fit: incubation data, per-cell tables,
// solver state, results per model and the chart table.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace kelvora {

enum class MaterialKind : int16_t { Soil = 0, CoatedFertilizer = -1 };
enum class FitSource : int16_t { Laboratory = 0, Field = -1 };

// A number of a per-cell table or of the chart; `isSingle` tells that the value
// was held in single precision (printed as a single).
struct CellValue {
  double value = 0;
  bool isSingle = false;
};

// One chart row: adjusted time, calculated amount, adjusted time again and the
// analysed amount (the observed text for a laboratory fit, a single for a
// field fit; empty when there was no observation).
struct ChartRow {
  std::optional<CellValue> adjTime;
  std::optional<CellValue> calc;
  std::optional<CellValue> adjTime2;
  std::variant<std::monostate, std::string, float> observed;
};

// The day table of a field fit: one entry per grid row 1 ... dayCount; an
// absent text means an empty cell.
struct FieldDayTable {
  int16_t dayCount = 0;
  std::vector<std::optional<std::string>> temperatureText;  // [1 .. dayCount]
  std::vector<std::optional<std::string>> observedText;     // [1 .. dayCount]
};

// Columns c are 1..3, rows r are 1..rowCount (index 0 unused). Parameter
// vectors are 0-based: position i of the model is element i - 1.
struct FitSession {
  // Incubation data.
  MaterialKind material = MaterialKind::Soil;
  FitSource source = FitSource::Laboratory;
  std::string sampleName;
  float standardTemp = 0;
  std::array<std::string, 4> tempText;               // [1..3]
  std::vector<float> dayList;                        // [1..rowCount]
  std::array<std::vector<std::string>, 4> observed;  // [c][1..colRows(c)]
  std::array<int16_t, 4> colRows{};                  // [1..3]
  int16_t rowCount = 0;
  std::array<int16_t, 4> colObsCount{};  // [1..3]
  int16_t obsCount = 0;

  // Field data (source Field): the day table and the observed amount of each
  // sample i = 1..obsCount in single precision. The per-cell tables then use
  // column 1 with one entry per sample.
  FieldDayTable fieldDays;
  std::vector<float> fieldObserved;  // [1..n]

  // Per-cell tables.
  std::array<std::vector<std::optional<CellValue>>, 4> adjTime;
  std::array<std::vector<std::optional<CellValue>>, 4> calc;
  std::array<std::vector<double>, 4> sqResidual;
  std::array<std::vector<float>, 4> adjTime1;
  std::array<std::vector<float>, 4> adjTime2;

  // Solver state.
  int16_t currentModel = 0;
  int16_t paramCount = 0;
  std::vector<double> paramVec;  // candidates may be integers or doubles; solver values are singles
  std::vector<float> stepRatio, minStep, prevParam, prevStep;
  int16_t iterCount = 0;
  int16_t iterMax = 32767;
  float startRss = 0;
  float bestRss = 0;
  double trialRss = 0;
  bool fitOk = true;
  bool fitCancelled = false;

  // Results per model, index 1..6 (index 0 unused).
  std::array<std::vector<float>, 7> params;
  std::array<std::vector<float>, 7> initialParams;
  std::array<float, 7> aic{};
  std::array<float, 7> rss{};
  std::array<int16_t, 7> sweeps{};  // iterCount of the model's last search
  int16_t bestModel = 0;            // number of the model the sequence chose
  float bestAic = 0;
  std::string bestModelName;
  std::vector<ChartRow> chartTable;  // [0 .. chartRows - 1]
  int16_t chartRows = 0;
  bool refitFromResults = false;

  // Re-creates the per-cell tables for `cols` columns of `rows` rows: adjTime
  // and calc empty, the others 0.
  void RecreateCellTables(int cols, int rows);
};

}  // namespace kelvora

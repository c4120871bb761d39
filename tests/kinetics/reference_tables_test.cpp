// Field fits and estimations checked against reference tables computed
// independently from the same rules: every single and double must agree to
// the last bit.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "fit_test_util.h"
#include "kinetics/curves.h"
#include "kinetics/estimation.h"
#include "kinetics/fit_driver.h"
#include "kinetics/fit_sequence.h"
#include "mini_json.h"
#include "reference_check.h"
#include "store/number_text.h"

namespace kelvora {
namespace {

using testing::F32;
using testing::Json;
using testing::RecordingHost;

std::string BenchFile(const std::string& name) {
  return testing::ReadFile(std::string(KELVORA_BENCH_DIR) + "/" + name);
}

void CheckFieldReference(const std::string& base, bool fertilizer) {
  const std::string table = BenchFile(base + ".tsv");
  ASSERT_FALSE(table.empty());
  const Json expected = testing::ParseJson(BenchFile(base + ".expected.json"));
  FitRequest req;
  req.source = FitSource::Field;
  req.table =
      testing::TableGrid(table, static_cast<int>(std::count(table.begin(), table.end(), '\n')), 3);
  req.standardTemp = "25";
  req.isFertilizer = fertilizer;
  req.name = "ほ場";
  FitSession s;
  RecordingHost host;
  FitRun run = StartFit(s, req, &host);
  ASSERT_EQ(run.outcome, FitOutcome::Completed) << run.message;
  EXPECT_TRUE(host.failures.empty());
  testing::ExpectFitMatchesReference(s, expected);
  EXPECT_EQ(run.record.ModelNo, s.currentModel);
  EXPECT_EQ(run.record.Aic, s.aic[s.currentModel]);
}

TEST(ReferenceTables, FieldSoilYearToTheLastBit) { CheckFieldReference("field-soil-1y", false); }

TEST(ReferenceTables, FieldFertilizerYearToTheLastBit) {
  CheckFieldReference("field-fertilizer-1y", true);
}

// The chart of every model of a field fit, against the adjusted times and
// curves worked out here day by day from the table: models 1, 4 and 5 show
// the running sum of f(Ea1), models 2 and 3 the running mean of their two
// factors, model 6 the running sum of f(Ea1) (not its weighted sum).
void CheckFieldCharts(const std::string& base, bool fertilizer) {
  const std::string table = BenchFile(base + ".tsv");
  FitRequest req;
  req.source = FitSource::Field;
  req.table =
      testing::TableGrid(table, static_cast<int>(std::count(table.begin(), table.end(), '\n')), 3);
  req.standardTemp = "25";
  req.isFertilizer = fertilizer;
  req.name = "ほ場";
  FitSession s;
  RecordingHost host;
  ASSERT_EQ(StartFit(s, req, &host).outcome, FitOutcome::Completed);
  const GridTable& g = req.table;
  const float ts = 25.0f;
  for (int16_t m : fertilizer ? std::vector<int16_t>{4, 5, 6} : std::vector<int16_t>{1, 2, 3}) {
    SCOPED_TRACE("model " + std::to_string(m));
    EvaluateForChart(s, m);
    ASSERT_TRUE(s.fitOk);
    std::vector<double> p(s.params[m].begin(), s.params[m].end());
    if (m == 6) p.assign(s.params[5].begin(), s.params[5].end());
    const double sigma = m == 6 ? s.params[6][0] : 0;
    double t1 = 0, t2 = 0, a = 0, tk = 0;
    size_t i = 0;
    for (int d = 1; d < g.Rows(); ++d) {
      if (!g.Cell(d, 1).empty()) {
        const double T = *ParseDouble(g.Cell(d, 1));
        const double f1 = ArrheniusFactor(p[0], T, ts);
        const double f2 = ArrheniusFactor(m == 2 || m == 3 ? p[1] : m >= 5 ? p[4] : 0, T, ts);
        t1 = t1 + f1;
        t2 = t2 + f2;
        a = a + (f1 + f2) / 2;
        if (m == 6) tk = tk + f1 * NormalCdf((t2 - p[3]) / sigma);
      }
      if (g.Cell(d, 2).empty()) continue;
      ASSERT_LT(i, s.chartTable.size());
      const ChartRow& row = s.chartTable[i++];
      double adj = t1, calc = 0;
      switch (m) {
        case 1:
        case 4:
          calc = p[2] * (1 - std::exp((p[1] * -1) * t1)) + p[3];
          break;
        case 2:
        case 3: {
          const double second = p[5] * (1 - std::exp((p[3] * -1) * t2));
          calc = p[4] * (1 - std::exp((p[2] * -1) * t1)) + (m == 2 ? second : -second) + p[6];
          adj = a;
          break;
        }
        case 5:
          calc = p[3] - t2 > 0 ? 0 : p[2] * (1 - std::exp((p[1] * -1) * (t1 - p[3])));
          break;
        case 6:
          calc = p[2] * (1 - std::exp((p[1] * -1) * tk));
          break;
      }
      ASSERT_TRUE(row.adjTime.has_value());
      ASSERT_TRUE(row.calc.has_value());
      EXPECT_EQ(row.adjTime->value, adj) << g.Cell(d, 0);
      EXPECT_EQ(row.adjTime2->value, adj) << g.Cell(d, 0);
      EXPECT_EQ(row.calc->value, calc) << g.Cell(d, 0);
      EXPECT_EQ(std::get<float>(row.observed), *ParseSingle(g.Cell(d, 2)));
    }
    EXPECT_EQ(i, s.chartTable.size());
  }
}

TEST(ReferenceTables, FieldChartsShowTheAdjustedTimeOfEveryModel) {
  CheckFieldCharts("field-soil-1y", false);
  CheckFieldCharts("field-fertilizer-1y", true);
}

// The series file as the grid text of a soil temperature record.
std::string SeriesGridText(std::string tsv) {
  while (!tsv.empty() && (tsv.back() == '\n' || tsv.back() == '\r')) tsv.pop_back();
  std::string text;
  for (char c : tsv) {
    if (c == '\r') continue;
    text.push_back(c == '\n' ? '\r' : c);
  }
  return text;
}

TEST(ReferenceTables, EstimationsAwayFromTheStandardTemperatureToTheLastBit) {
  const Json expected = testing::ParseJson(BenchFile("series-2y.estimates.expected.json"));
  const SeriesDays days = Data_Separate(SeriesGridText(BenchFile(expected["series"].text)));
  const Json& runs = expected["runs"];
  ASSERT_EQ(runs.size(), 6u);
  for (size_t i = 0; i < runs.size(); ++i) {
    const Json& run = runs[i];
    ParaRecord para;
    para.ModelNo = static_cast<int16_t>(run["model"].number);
    para.StdTemp = F32(run["std_temp"]);
    for (size_t k = 0; k < run["params"].size(); ++k) para.Param[k] = F32(run["params"][k]);
    SCOPED_TRACE("model " + std::to_string(para.ModelNo));
    const EstimateResult result = EstimateSeries(para, days.seriesTemps, days.seriesDays);
    ASSERT_TRUE(result.ok) << result.message;
    const Json& rows = run["rows"];
    ASSERT_EQ(static_cast<size_t>(days.seriesDays), rows.size());
    int empty = 0;
    for (size_t d = 1; d <= rows.size(); ++d) {
      const Json& row = rows[d - 1];
      ASSERT_EQ(days.seriesDates[d], row[0].text);
      const std::optional<double>& amount = result.dayAmounts[d];
      if (row[1].kind == Json::Null) {
        EXPECT_FALSE(amount.has_value()) << row[0].text;
        ++empty;
        continue;
      }
      ASSERT_TRUE(amount.has_value()) << row[0].text;
      ASSERT_EQ(*amount, row[1].number) << row[0].text;
    }
    EXPECT_EQ(empty, 9);
  }
}

}  // namespace
}  // namespace kelvora

// The fit at its edges: statistics of observations near the smallest single
// (every text whole, every number finite or absent), incubation days the
// Gaussian model cannot count refused before the fit, statistics left open
// where the data leave no degrees of freedom, and the units and names of the
// statistics and of the results workbook.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "captured_session.h"
#include "fit_test_util.h"
#include "kinetics/fit_driver.h"
#include "kinetics/fit_export.h"
#include "kinetics/fit_sequence.h"
#include "kinetics/fit_stats.h"
#include "kinetics/model_kind.h"
#include "store/temperature_file.h"

namespace kelvora {
namespace {

// Three temperatures by eight days, every observation between 7e-40 and
// 3.4e-38 (below the smallest normal single).
const char* kTinyTable =
    "培養日数\t20\t25\t30\n"
    "0\t4.86e-39\t2.93e-39\t1.9e-39\n"
    "7\t9.03e-39\t6.19e-39\t4.32e-39\n"
    "14\t1.32e-38\t1e-38\t7.63e-39\n"
    "21\t1.74e-38\t1.42e-38\t1.17e-38\n"
    "28\t2.15e-38\t1.88e-38\t1.64e-38\n"
    "42\t2.57e-38\t2.36e-38\t2.17e-38\n"
    "56\t2.98e-38\t2.87e-38\t2.76e-38\n"
    "70\t3.4e-38\t3.4e-38\t7e-40\n";

// The same amounts buried in a field: sixty days, an observation every fifth.
std::string TinyFieldTable() {
  std::string t = "年/月/日\t地温\t無機化量\n";
  for (int d = 0; d < 60; ++d) {
    const std::string date = "2020/" + std::string(d < 30 ? "04/" : "05/") +
                             (d % 30 + 1 < 10 ? "0" : "") + std::to_string(d % 30 + 1);
    char amount[32] = "";
    if (d % 5 == 0) std::snprintf(amount, sizeof amount, "%.3g", 7e-40 + d * 5.6e-40);
    t += date + "\t" + std::to_string(15 + d % 7) + "\t" + amount + "\n";
  }
  return t;
}

FitRequest Request(const std::string& table, bool fertilizer) {
  FitRequest r;
  r.table = testing::TableGrid(table, 100, 4);
  r.standardTemp = "25";
  r.isFertilizer = fertilizer;
  r.name = "試料";
  return r;
}

// The number that follows `key` up to "）", read back whole.
std::optional<double> NumberAfter(const std::string& text, const std::string& key) {
  const size_t at = text.find(key);
  if (at == std::string::npos) return std::nullopt;
  const size_t from = at + key.size();
  const size_t to = text.find("）", from);
  if (to == std::string::npos) return std::nullopt;
  const std::string number = text.substr(from, to - from);
  char* end = nullptr;
  const double v = std::strtod(number.c_str(), &end);
  if (number.empty() || end != number.c_str() + number.size()) return std::nullopt;
  return v;
}

TEST(FitEdges, StatisticsOfTinyObservationsAreWholeTextsInEveryModel) {
  struct Case {
    const char* what;
    bool field, fertilizer;
  };
  for (const Case& c : {Case{"soil", false, false}, Case{"fertilizer", false, true},
                        Case{"field soil", true, false}, Case{"field fertilizer", true, true}}) {
    SCOPED_TRACE(c.what);
    const FitSession s =
        testing::CapturedSession(c.field ? TinyFieldTable() : kTinyTable, c.field, c.fertilizer);
    const FitStats stats = ComputeFitStats(s);
    int r2Warnings = 0;
    for (int16_t m : MaterialModels(s.material)) {
      SCOPED_TRACE(m);
      ASSERT_TRUE(stats.models[m]) << stats.unavailable[m];
      const ModelStats& st = *stats.models[m];
      for (const std::string& w : st.warnings) {
        EXPECT_TRUE(IsValidUtf8(w)) << w;
        EXPECT_EQ(w.find('\0'), std::string::npos) << w;
        if (w.find("R² = ") == std::string::npos) continue;
        ++r2Warnings;
        ASSERT_TRUE(st.lsq.r2);
        const std::optional<double> shown = NumberAfter(w, "R² = ");
        ASSERT_TRUE(shown) << w;
        EXPECT_NEAR(*shown / *st.lsq.r2, 1, 0.01) << w;
      }
      for (const std::optional<double>& v : {st.lsq.r2, st.lsq.adjR2, st.lsq.sigma}) {
        if (v) {
          EXPECT_TRUE(std::isfinite(*v));
        }
      }
    }
    // The curves pass nowhere near amounts of 1e-38: R² is far below 0.
    EXPECT_GE(r2Warnings, 2);
  }
}

// A day the Gaussian model cannot count (its terms day by day, in a 16-bit
// count) is refused for a coated fertilizer, naming the row; a soil's models
// take any day.
TEST(FitEdges, DaysBeyondTheGaussianCountAreRefusedForAFertilizerNamingTheRow) {
  const std::string reference =
      testing::ReadFile(std::string(KELVORA_BENCH_DIR) + "/fertilizer-3x11.tsv");
  ASSERT_FALSE(reference.empty());
  struct Case {
    std::string day;
    bool fertilizer;
    bool refused;
  };
  const Case cases[] = {{"40000", true, true},  {"32768", true, true},    {"32767.5", true, true},
                        {"32767", true, false}, {"32767.4", true, false}, {"-32768.5", true, false},
                        {"-32769", true, true}, {"40000", false, false},  {"1e30", false, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.day + (c.fertilizer ? " fertilizer" : " soil"));
    FitSession s;
    FitRequest r = Request(reference + c.day + "\t99\t99\t99\n", c.fertilizer);
    const std::optional<std::string> message = PrepareFit(s, r);
    if (c.refused) {
      ASSERT_TRUE(message);
      EXPECT_EQ(message->rfind("表の13行目の培養日数「", 0), 0u) << *message;
      EXPECT_NE(message->find("被覆肥料では計算できません"), std::string::npos) << *message;
    } else {
      EXPECT_EQ(message, std::nullopt);
    }
  }
  // Every day but day 0 multiplied by 5000: the first of them is named.
  std::string scaled;
  int line = 0;
  for (const std::vector<std::string>& row : SplitGridText(reference, kSpreadsheetFormat)) {
    if (row.empty()) continue;
    std::string first = row[0];
    if (line++ > 0) first = std::to_string(std::stoi(first) * 5000);
    scaled += first;
    for (size_t c = 1; c < row.size(); ++c) scaled += "\t" + row[c];
    scaled += "\n";
  }
  FitSession s;
  FitRequest r = Request(scaled, true);
  const std::optional<std::string> message = PrepareFit(s, r);
  ASSERT_TRUE(message);
  EXPECT_EQ(message->rfind("表の3行目の培養日数「35000」", 0), 0u) << *message;
}

// Two observations: no model is determined; none of its statistics are
// given (R², half-lives and Q10 included), while the Gaussian model, which
// searches σ alone, still has a degree of freedom.
TEST(FitEdges, NoStatisticIsGivenWithoutDegreesOfFreedom) {
  for (bool fertilizer : {false, true}) {
    SCOPED_TRACE(fertilizer);
    const FitSession s =
        testing::CapturedSession("培養日数\t20\t25\t30\n0\t1\t\t\n28\t5\t\t\n", false, fertilizer);
    const FitStats stats = ComputeFitStats(s);
    for (int16_t m : MaterialModels(s.material)) {
      SCOPED_TRACE(m);
      ASSERT_TRUE(stats.models[m]);
      const ModelStats& st = *stats.models[m];
      EXPECT_EQ(st.lsq.n, 2);
      if (m == 6) {
        EXPECT_EQ(st.lsq.dof, 1);
        continue;
      }
      EXPECT_LE(st.lsq.dof, 0);
      EXPECT_FALSE(st.lsq.sigma);
      EXPECT_FALSE(st.lsq.r2);
      EXPECT_FALSE(st.lsq.adjR2);
      EXPECT_FALSE(st.aicc);
      for (size_t j = 0; j < st.values.size(); ++j) {
        EXPECT_FALSE(st.lsq.se[j]);
        EXPECT_FALSE(st.halfLife[j]);
        EXPECT_FALSE(st.q10[j]);
      }
    }
  }
}

// The names and units of the statistics and of the results workbook's
// "パラメータ" sheet, per model of every reference fit: the names of the
// results screen ("Nim"), a coated fertilizer's amounts in %.
TEST(FitEdges, StatisticsAndWorkbookNameEveryParameterWithTheMaterialsUnit) {
  using Rows = std::vector<std::pair<std::string, std::string>>;  // name, unit
  const std::map<int16_t, Rows> expected = {
      {1, {{"Ea", "cal/mol"}, {"k", "/day"}, {"No", "mg/100g"}, {"C", "mg/100g"}}},
      {2,
       {{"Ea1", "cal/mol"},
        {"Ea2", "cal/mol"},
        {"k1", "/day"},
        {"k2", "/day"},
        {"No1", "mg/100g"},
        {"No2", "mg/100g"},
        {"C", "mg/100g"}}},
      {3,
       {{"Ea", "cal/mol"},
        {"Eaim", "cal/mol"},
        {"k", "/day"},
        {"kim", "/day"},
        {"No", "mg/100g"},
        {"Nim", "mg/100g"},
        {"C", "mg/100g"}}},
      {4, {{"Ea", "cal/mol"}, {"k", "/day"}, {"No", "%"}, {"C", "%"}}},
      {5, {{"Ea1", "cal/mol"}, {"k", "/day"}, {"No", "%"}, {"TAU", "day"}, {"Ea2", "cal/mol"}}},
      {6,
       {{"Ea1", "cal/mol"},
        {"k", "/day"},
        {"No", "%"},
        {"TAU", "day"},
        {"Ea2", "cal/mol"},
        {"σ", "day"}}},
  };
  for (const testing::ReferenceFit& ref : testing::kReferenceFits) {
    SCOPED_TRACE(ref.base);
    const FitSession& s = testing::FittedReference(ref);
    const FitStats stats = ComputeFitStats(s);
    const std::vector<Sheet> sheets = FitSheets(s);
    ASSERT_FALSE(sheets.empty());
    const Sheet& sheet = sheets.back();
    ASSERT_EQ(sheet.name, "パラメータ");
    std::map<int16_t, Rows> workbook;
    for (size_t i = static_cast<size_t>(sheet.headerRow) + 1; i < sheet.rows.size(); ++i) {
      const std::vector<SheetCell>& row = sheet.rows[i];
      ASSERT_EQ(row.size(), 4u);
      if (row[1].text == "AIC" || row[1].text == "残差平方和") continue;
      int16_t model = 0;
      for (int16_t m = 1; m <= 6; ++m) model = ModelName(m) == row[0].text ? m : model;
      workbook[model].push_back({row[1].text, row[3].text});
    }
    for (int16_t m : MaterialModels(s.material)) {
      SCOPED_TRACE(m);
      EXPECT_EQ(workbook[m], expected.at(m));
      ASSERT_TRUE(stats.models[m]);
      Rows shown;
      for (size_t j = 0; j < stats.models[m]->names.size(); ++j)
        shown.push_back({stats.models[m]->names[j], stats.models[m]->units[j]});
      // The statistics of model 6 are σ's alone.
      EXPECT_EQ(shown, m == 6 ? Rows{expected.at(6).back()} : expected.at(m));
    }
  }
}

}  // namespace
}  // namespace kelvora

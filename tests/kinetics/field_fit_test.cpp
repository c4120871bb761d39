#include <gtest/gtest.h>

#include <cmath>

#include "burial_table.h"
#include "fit_test_util.h"
#include "kinetics/curves.h"
#include "kinetics/fit_driver.h"
#include "kinetics/objectives.h"
#include "oracles.h"
#include "store/hensuu.h"

namespace kelvora {
namespace {

using testing::RecordingHost;
using testing::TableGrid;

FitRequest FieldRequest(const std::string& table, bool fertilizer = false) {
  FitRequest r;
  r.source = FitSource::Field;
  r.table = TableGrid(table, static_cast<int>(std::count(table.begin(), table.end(), '\n')), 3);
  r.standardTemp = "25";
  r.isFertilizer = fertilizer;
  r.name = "ほ場";
  return r;
}

const char* kHeader = "年/月/日\t地温(℃)\t無機化量\n";

TEST(FieldFit, AdjustedTimeIsTheRunningSumOfDailyFactors) {
  std::string table = std::string(kHeader) +
                      "2024/05/01\t25\t1\n"  // sample 1: one day at Ts
                      "2024/05/02\t\t1.5\n"  // no temperature: nothing added
                      "2024/05/03\t30\t2\n"  // sample 3: adds one day at 30
                      "2024/05/04\t\t\n"
                      "2024/05/05\t\t2.5\n";  // below the last temperature: still a sample
  FitRequest req = FieldRequest(table);
  FitSession s;
  ASSERT_FALSE(PrepareFit(s, req).has_value());
  EXPECT_EQ(s.obsCount, 4);
  EXPECT_EQ(s.fieldDays.dayCount, 5);
  s.paramVec = {15000, 0.02, 10, 1};
  double rss = 0;
  FieldRssSimple(s, rss);
  double f30 = ArrheniusFactor(15000, 30, 25.0f);
  EXPECT_EQ(s.adjTime[1][1]->value, 1.0);
  EXPECT_EQ(s.adjTime[1][2]->value, 1.0);
  EXPECT_EQ(s.adjTime[1][3]->value, 1.0 + f30);
  EXPECT_EQ(s.adjTime[1][4]->value, 1.0 + f30);
  EXPECT_EQ(s.calc[1][1]->value, 10 * (1 - std::exp(-0.02 * 1.0)) + 1);
  EXPECT_TRUE(s.fitOk);
}

TEST(FieldFit, NoTemperaturesMeansNoTimeAndTheCurveAtZero) {
  std::string table = std::string(kHeader) + "2024/05/01\t\t1\n2024/05/02\t\t2\n";
  FitRequest req = FieldRequest(table);
  FitSession s;
  ASSERT_FALSE(PrepareFit(s, req).has_value());
  s.paramVec = {15000, 0.02, 10, 1.5};
  double rss = 0;
  FieldRssSimple(s, rss);
  EXPECT_EQ(s.adjTime[1][2]->value, 0.0);
  EXPECT_EQ(s.calc[1][1]->value, 1.5);
  EXPECT_EQ(rss, 0.25 + 0.25);
}

TEST(FieldFit, SigmoidReleasesWhenTheLagIsExactlyReached) {
  std::string table = std::string(kHeader);
  for (int d = 1; d <= 12; ++d)
    table += "2024/05/" + std::to_string(d) + "\t25\t" + (d >= 9 ? "5" : "") + "\n";
  FitRequest req = FieldRequest(table, true);
  FitSession s;
  ASSERT_FALSE(PrepareFit(s, req).has_value());
  s.paramVec = {15000, 0.05, 100, 10, 15000};  // TAU = 10 adjusted days
  double rss = 0;
  FieldRssSigmoid(s, rss);
  EXPECT_EQ(s.calc[1][1]->value, 0);  // day 9: inside the lag
  EXPECT_EQ(s.calc[1][2]->value, 0);  // day 10: t2 = TAU, release of (t1 - TAU) = 0
  EXPECT_EQ(s.calc[1][3]->value, 100 * (1 - std::exp((0.05 * -1) * 1.0)));
}

TEST(FieldFit, ChecksAndMessages) {
  FitSession s;
  FitRequest none = FieldRequest(std::string(kHeader) + "2024/05/01\t20\t\n2024/05/02\tabc\tx\n");
  EXPECT_EQ(PrepareFit(s, none).value_or(""), "培養結果を記入して下さい");
  EXPECT_EQ(none.table.Cell(2, 1), "");  // cleaned even though the fit stops
  FitRequest noTs = FieldRequest(std::string(kHeader) + "2024/05/01\t20\t1\n");
  noTs.standardTemp = "";
  EXPECT_EQ(PrepareFit(s, noTs).value_or(""), "標準温度を記入して下さい");
  noTs.standardTemp = "abc";
  EXPECT_EQ(PrepareFit(s, noTs).value_or(""), "標準温度に数字を記入して下さい");
  noTs.standardTemp = "-273";
  EXPECT_EQ(PrepareFit(s, noTs).value_or(""), "標準温度に-273℃より高い温度を記入して下さい");
  noTs.standardTemp = "-272.9";
  EXPECT_EQ(PrepareFit(s, noTs), std::nullopt);
}

TEST(FieldFit, WholeFieldFitForSoilAndFertilizer) {
  for (bool fertilizer : {false, true}) {
    SCOPED_TRACE(fertilizer ? "fertilizer" : "soil");
    FitRequest req = FieldRequest(testing::BurialTable(fertilizer), fertilizer);
    FitSession s;
    hensuu store;
    RecordingHost host;
    FitRun run = StartFit(s, req, &host);
    ASSERT_EQ(run.outcome, FitOutcome::Completed) << run.message;
    store.ParaTable.Append(run.record);
    EXPECT_EQ(s.source, FitSource::Field);
    EXPECT_EQ(s.obsCount, 12);
    EXPECT_EQ(s.chartRows, 12);
    ASSERT_EQ(s.chartTable.size(), 12u);
    EXPECT_EQ(std::get<float>(s.chartTable[0].observed), s.fieldObserved[1]);
    for (size_t i = 1; i < 12; ++i)
      EXPECT_GE(s.chartTable[i].adjTime->value, s.chartTable[i - 1].adjTime->value);
    const int16_t first = fertilizer ? 4 : 1;
    EXPECT_EQ(s.aic[first], static_cast<float>(12 * std::log(double(s.rss[first])) + 8));
    ASSERT_EQ(store.ParaCount(), 1);
    EXPECT_EQ(store.ParaTable(1).ModelNo, s.currentModel);
    if (!fertilizer) {
      EXPECT_NEAR(s.params[1][2], 8, 1.0);
    }
  }
}

}  // namespace
}  // namespace kelvora

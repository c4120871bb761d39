#include "kinetics/estimation.h"

#include <gtest/gtest.h>

#include <cmath>

#include "kinetics/curves.h"

namespace kelvora {
namespace {

ParaRecord Para(int16_t model, std::array<float, 7> p, float ts = 25) {
  ParaRecord r;
  r.ModelNo = model;
  r.Param = p;
  r.StdTemp = ts;
  return r;
}

std::vector<std::string> Temps(std::vector<std::string> t) {
  t.insert(t.begin(), std::string());
  return t;
}

TEST(Estimation, FirstDayCarriesOneDayAndEmptyDaysAreSkipped) {
  ParaRecord p = Para(1, {15000, 0.02f, 10, 1});
  EstimateResult r = EstimateSeries(p, Temps({"25", "", "30"}), 3);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(*r.dayAmounts[1], 10.0f * (1 - std::exp(-0.02f * 1.0)) + 1.0f);
  EXPECT_FALSE(r.dayAmounts[2].has_value());
  float f30 = static_cast<float>(ArrheniusFactor(15000, 30, 25.0f));
  float t = 1.0f + f30;  // single running sum of single factors
  EXPECT_EQ(*r.dayAmounts[3], 10.0f * (1 - std::exp(double(-0.02f) * t)) + 1.0f);
}

TEST(Estimation, SigmoidReleasesOnTheDayTheLagIsReached) {
  ParaRecord p = Para(5, {15000, 0.05f, 100, 2, 15000});
  EstimateResult r = EstimateSeries(p, Temps({"25", "25", "25"}), 3);
  EXPECT_EQ(*r.dayAmounts[1], 0.0);
  EXPECT_EQ(*r.dayAmounts[2], 0.0);  // t2 = TAU: release branch, t1 - TAU = 0
  EXPECT_EQ(*r.dayAmounts[3], 100.0f * (1 - std::exp(double(-0.05f) * 1.0)));
}

TEST(Estimation, GaussModelRoundsEachProductToSingle) {
  ParaRecord p = Para(6, {15000, 0.05f, 100, 1, 18000, 2});
  EstimateResult r = EstimateSeries(p, Temps({"28", "28"}), 2);
  float f2 = static_cast<float>(ArrheniusFactor(18000, 28, 25.0f));
  double f1 = ArrheniusFactor(15000, 28, 25.0f);
  float t2 = f2;
  float tk = static_cast<float>(f1 * NormalCdf((double(t2) - 1.0) / 2.0));
  EXPECT_EQ(*r.dayAmounts[1], 100.0f * (1 - std::exp(double(-0.05f) * tk)));
  t2 = t2 + f2;
  tk = tk + static_cast<float>(f1 * NormalCdf((double(t2) - 1.0) / 2.0));
  EXPECT_EQ(*r.dayAmounts[2], 100.0f * (1 - std::exp(double(-0.05f) * tk)));
}

TEST(Estimation, ParallelModelsAndUnknownModels) {
  ParaRecord p2 = Para(2, {15000, 20000, 0.1f, 0.01f, 5, 3, 1});
  ParaRecord p3 = p2;
  p3.ModelNo = 3;
  double a2 = *EstimateSeries(p2, Temps({"25"}), 1).dayAmounts[1];
  double a3 = *EstimateSeries(p3, Temps({"25"}), 1).dayAmounts[1];
  EXPECT_EQ(a2,
            5.0f * (1 - std::exp(double(-0.1f))) + 3.0f * (1 - std::exp(double(-0.01f))) + 1.0f);
  EXPECT_EQ(a3,
            5.0f * (1 - std::exp(double(-0.1f))) - 3.0f * (1 - std::exp(double(-0.01f))) + 1.0f);
  EstimateResult none = EstimateSeries(Para(9, {}), Temps({"25"}), 1);
  EXPECT_TRUE(none.ok);
  EXPECT_FALSE(none.dayAmounts[1].has_value());
}

TEST(Estimation, RunsThatCannotBeComputedAreRefused) {
  EXPECT_FALSE(EstimateSeries(Para(1, {15000, 0.02f, 10, 1}), Temps({"25", "abc"}), 2).ok);
  EXPECT_FALSE(EstimateSeries(Para(1, {15000, 0.02f, 10, 1}, -273), Temps({"25"}), 1).ok);
  EXPECT_FALSE(EstimateSeries(Para(1, {1e30f, 0.02f, 10, 1}), Temps({"40"}), 1).ok);
  EXPECT_FALSE(EstimateSeries(Para(6, {15000, 0.02f, 10, 1, 15000, 0}), Temps({"25"}), 1).ok);
}

TEST(Estimation, SeriesSplitAndResultGrid) {
  SeriesDays days =
      Data_Separate("年/月/日\t地温(℃)\r2024/04/01\t12.5\r2024/04/02\r2024/04/03\t13");
  ASSERT_EQ(days.seriesDays, 3);
  EXPECT_EQ(days.seriesDates[2], "2024/04/02");
  EXPECT_EQ(days.seriesTemps[2], "");
  EXPECT_EQ(days.seriesTemps[3], "13");
  SeriesDays cut = CutSeries(days, 2, 3);
  EXPECT_EQ(cut.seriesDays, 2);
  EXPECT_EQ(cut.seriesDates[1], "2024/04/02");
  ParaRecord p = Para(4, {15000, 0.02f, 10, 1});
  EstimateResult r = EstimateSeries(p, days.seriesTemps, days.seriesDays);
  std::string grid = EstimateGridText(p, days, r);
  EXPECT_EQ(grid.substr(0, grid.find('\r')), "年/月/日\t(%)");
  EXPECT_NE(grid.find("\r2024/04/02\t\r"), std::string::npos);
}

}  // namespace
}  // namespace kelvora

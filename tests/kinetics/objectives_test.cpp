#include "kinetics/objectives.h"

#include <gtest/gtest.h>

#include <cmath>

#include "kinetics/curves.h"
#include "oracles.h"
#include "session_builder.h"

namespace kelvora {
namespace {

using testing::LabSession;

TEST(Objectives, SingleDestinationLosesWhatDoubleKeeps) {
  // Residuals 1e8 and about 0.001 (the curve is 0 everywhere).
  FitSession s = LabSession({"25"}, {1, 2}, {{"10000", "0.0316"}});
  s.paramVec = {0, 0, 0, 0};
  float single = -1;
  double dbl = -1;
  RssSimple(s, single);
  RssSimple(s, dbl);
  EXPECT_EQ(single, 1e8f);
  EXPECT_EQ(dbl, 1e8 + 0.0316 * 0.0316);
  EXPECT_TRUE(s.fitOk);
}

TEST(Objectives, CellsAreAddedColumnByColumn) {
  // Squared residuals 2^-24, 1 in column 1 and 2^-24 in column 2. Column
  // order gives (2^-24 + 1) + 2^-24 = 1 in single precision; row order would
  // give 1 + 2^-23.
  FitSession s = LabSession({"25", "25"}, {1, 2}, {{"0.000244140625", "1"}, {"0.000244140625"}});
  s.paramVec = {0, 0, 0, 0};
  float single = 0;
  RssSimple(s, single);
  EXPECT_EQ(single, 1.0f);
}

TEST(Objectives, EmptyObservationsAreSkippedAndKeepTheirTables) {
  FitSession s = LabSession({"20", "25", "30"}, {0, 7, 14}, {{"1", "", "3"}, {}, {""}});
  s.paramVec = {15000, 0.02, 10, 1};
  s.calc[1][2] = CellValue{42, false};
  double rss = 0;
  RssSimple(s, rss);
  EXPECT_EQ(s.calc[1][2]->value, 42);  // not visited
  ASSERT_TRUE(s.adjTime[1][3].has_value());
  double t = 14.0 * ArrheniusFactor(15000, 20, 25.0f);
  EXPECT_EQ(s.adjTime[1][3]->value, t);
  double calc = 10 * (1 - std::exp(t * (0.02 * -1))) + 1;
  EXPECT_EQ(s.calc[1][3]->value, calc);
  EXPECT_EQ(rss, (1 - 1.0) * (1 - 1.0) + (3 - calc) * (3 - calc));

  FitSession none = LabSession({"25"}, {1}, {{""}});
  none.paramVec = {15000, 0.02, 10, 1};
  float zero = 5;
  RssSimple(none, zero);
  EXPECT_EQ(zero, 0.0f);
}

TEST(Objectives, ParallelTimesAreSinglesAndTheModelPicksTheCurve) {
  FitSession s = LabSession({"30"}, {10}, {{"5"}});
  s.paramVec = {15000, 20000, 0.02, 0.01, 5, 3, 1};
  s.currentModel = 2;
  double rss2 = 0, rss3 = 0;
  RssParallel(s, rss2);
  float t1 = static_cast<float>(10.0 * ArrheniusFactor(15000, 30, 25.0f));
  float t2 = static_cast<float>(10.0 * ArrheniusFactor(20000, 30, 25.0f));
  EXPECT_EQ(s.adjTime1[1][1], t1);
  EXPECT_EQ(s.adjTime2[1][1], t2);
  EXPECT_TRUE(s.adjTime[1][1]->isSingle);
  EXPECT_EQ(s.adjTime[1][1]->value, static_cast<float>((double(t1) + t2) / 2));
  double e1 = std::exp(double(t1) * -0.02), e2 = std::exp(double(t2) * -0.01);
  EXPECT_EQ(s.calc[1][1]->value, 1 + ((1 - e2) * 3 + (1 - e1) * 5));
  s.currentModel = 3;
  RssParallel(s, rss3);
  EXPECT_EQ(s.calc[1][1]->value, 1 + ((1 - e1) * 5 - (1 - e2) * 3));
  EXPECT_NE(rss2, rss3);
}

TEST(Objectives, SigmoidReleasesWhenTheLagIsExactlyReached) {
  // At T = Ts the adjusted time equals the day: day 20 with TAU 20 releases
  // (t - TAU) = 0, day 19 is inside the lag.
  FitSession s =
      LabSession({"25"}, {19, 20, 30}, {{"0", "0", "50"}}, 25, MaterialKind::CoatedFertilizer);
  s.paramVec = {15000, 0.05, 100, 20, 15000};
  double rss = 0;
  RssSigmoid(s, rss);
  EXPECT_EQ(s.adjTime2[1][2], 20.0f);
  EXPECT_EQ(s.calc[1][1]->value, 0);
  EXPECT_EQ(s.calc[1][2]->value, 0);
  EXPECT_EQ(s.calc[1][3]->value, (1 - std::exp(10 * -0.05)) * 100);
}

FitSession GaussSession(std::vector<float> days, std::vector<std::string> obs) {
  FitSession s = LabSession({"30"}, days, {obs}, 25, MaterialKind::CoatedFertilizer);
  s.params[5] = {15000, 0.05f, 100, 3, 18000};
  s.currentModel = 6;
  return s;
}

TEST(Objectives, GaussSumsTermsUpToTheDayRoundedHalfToEven) {
  FitSession s = GaussSession({2.5f, 3.5f}, {"1", "2"});
  s.paramVec = {2};
  double rss = 0;
  RssGauss(s, rss);
  const float* p = s.params[5].data();
  double tk25 = GaussCorrectedTime(p[0], p[4], p[3], 2, 30, 25.0f, 2.5f);
  double tk35 = GaussCorrectedTime(p[0], p[4], p[3], 2, 30, 25.0f, 3.5f);
  double c1 = (1 - std::exp(double(p[1]) * -1 * tk25)) * p[2];
  double c2 = (1 - std::exp(double(p[1]) * -1 * tk35)) * p[2];
  EXPECT_EQ(s.calc[1][1]->value, c1);
  EXPECT_EQ(s.calc[1][2]->value, c2);
  EXPECT_EQ(s.adjTime[1][1]->value, 2.5 * ArrheniusFactor(p[0], 30, 25.0f));
  EXPECT_EQ(rss, (1 - c1) * (1 - c1) + (2 - c2) * (2 - c2));
  // Cells in any order of days give the same sums.
  FitSession r = GaussSession({3.5f, 2.5f}, {"2", "1"});
  r.paramVec = {2};
  double rss2 = 0;
  RssGauss(r, rss2);
  EXPECT_EQ(r.calc[1][1]->value, c2);
  EXPECT_EQ(r.calc[1][2]->value, c1);
}

TEST(Objectives, GaussWithZeroSigmaFailsAndKeepsThePartialSum) {
  // Day -1 has no terms (tk = 0, calc = 0) and survives; day 3 divides by 0.
  FitSession s = GaussSession({-1, 3}, {"2", "5"});
  s.paramVec = {0};
  s.fitOk = true;
  double rss = -1;
  RssGauss(s, rss);
  EXPECT_FALSE(s.fitOk);
  EXPECT_EQ(rss, 4.0);
}

TEST(Objectives, ArithmeticErrorsEndTheEvaluation) {
  // exp overflows on the second column: the first column's sum remains.
  FitSession s = LabSession({"25", "25"}, {10}, {{"3"}, {"4"}});
  std::unique_ptr<Objective> obj = MakeObjective(s, 1);
  std::vector<double> ok{15000, 0, 0, 0};
  EvalResult r = obj->Eval(ok.data(), Dest::Double, nullptr);
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(r.sum, 25.0);
  std::vector<double> huge{15000, -1000, 1, 0};  // exp(10 x 1000) overflows
  r = obj->Eval(huge.data(), Dest::Double, nullptr);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.sum, 0.0);

  // A temperature of -273 divides by zero in the second column only.
  FitSession t = LabSession({"25", "-273"}, {10}, {{"3"}, {"4"}});
  t.paramVec = {15000, 0, 0, 0};
  t.fitOk = true;
  float single = 0;
  RssSimple(t, single);
  EXPECT_FALSE(t.fitOk);
  EXPECT_EQ(single, 9.0f);

  // A residual beyond the single range fails a single destination only.
  FitSession big = LabSession({"25"}, {10}, {{"1e30"}});
  big.paramVec = {15000, 0, 0, 0};
  big.fitOk = true;
  double d = 0;
  RssSimple(big, d);
  EXPECT_TRUE(big.fitOk);
  EXPECT_EQ(d, 1e30 * 1e30);
  float f = 7;
  RssSimple(big, f);
  EXPECT_FALSE(big.fitOk);
  EXPECT_EQ(f, 0.0f);
}

TEST(Objectives, NonNumericTextIsAnError) {
  FitSession s = LabSession({"abc"}, {10}, {{"3"}});
  s.paramVec = {15000, 0.02, 10, 1};
  double d = 0;
  RssSimple(s, d);
  EXPECT_FALSE(s.fitOk);
}

}  // namespace
}  // namespace kelvora

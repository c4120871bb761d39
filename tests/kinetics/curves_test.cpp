#include "kinetics/curves.h"

#include <gtest/gtest.h>

#include <cmath>

#include "kinetics/model_kind.h"
#include "oracles.h"

namespace kelvora {
namespace {

TEST(Curves, FactorIsExactlyOneAtTheStandardTemperature) {
  EXPECT_EQ(ArrheniusFactor(15000, 25, 25.0f), 1.0);
  EXPECT_EQ(AdjustedTime(7.0f, 15000, 25, 25.0f), 7.0);
  // Ts is a single and T a double: 25.1 is not the same number in both.
  EXPECT_NE(ArrheniusFactor(15000, 25.1, 25.1f), 1.0);
  EXPECT_GT(ArrheniusFactor(15000, 35, 25.0f), 1.0);
  EXPECT_LT(ArrheniusFactor(15000, 15, 25.0f), 1.0);
}

TEST(Curves, FactorFollowsTheArrheniusFormula) {
  // exp(E (T - Ts) / (R (T + 273) (Ts + 273))) for E = 20000, T = 35, Ts = 25.
  double expected = std::exp(20000.0 * 10 / (1.987 * 308 * 298));
  EXPECT_NEAR(ArrheniusFactor(20000, 35, 25.0f), expected, 1e-14);
}

TEST(Curves, CheckedFactorTrapsDivisionByZeroAndOverflow) {
  double f = 0;
  EXPECT_FALSE(ArrheniusFactorChecked(15000, -273, 25.0f, f));
  EXPECT_FALSE(ArrheniusFactorChecked(15000, 25, -273.0f, f));
  EXPECT_FALSE(ArrheniusFactorChecked(1e300, 200, 25.0f, f));  // exp overflows
  ASSERT_TRUE(ArrheniusFactorChecked(15000, 30, 25.0f, f));
  EXPECT_EQ(f, ArrheniusFactor(15000, 30, 25.0f));
}

TEST(Curves, NormalDistribution) {
  EXPECT_EQ(NormalCdf(0), 0.5);
  for (double z : {0.3, 1.0, 2.5, 7.0}) {
    EXPECT_EQ(NormalCdf(z), 0.5 + NormalArea(z)) << z;
    EXPECT_EQ(NormalCdf(-z), 0.5 - NormalArea(z)) << z;
    EXPECT_EQ(NormalArea(-z), NormalArea(z)) << z;
    EXPECT_NEAR(NormalCdf(z), 0.5 * std::erfc(-z / std::sqrt(2.0)), 1e-6) << z;
  }
  // Far out the Simpson sum of the underflowing densities is still what the
  // rule gives: only the end points and the first few points count.
  double x = 300, h = x / 50, c = 1 / std::sqrt(6.2831852);
  double odd = 0, even = 0;
  for (int i = 1; i <= 25; ++i) odd += c * std::exp(-((2 * i - 1) * h * ((2 * i - 1) * h)) / 2);
  for (int j = 1; j <= 24; ++j) even += c * std::exp(-((2 * j) * h * ((2 * j) * h)) / 2);
  double g = c * std::exp(-(x * x) / 2) + c * std::exp(-0.0 / 2);
  EXPECT_EQ(NormalArea(x), h * (g + 2 * even + 4 * odd) / 3);
  double cdf = 0;
  EXPECT_FALSE(NormalCdfChecked(1e200, cdf));  // z x z overflows
  EXPECT_FALSE(NormalCdfChecked(INFINITY, cdf));
}

TEST(Curves, GaussianTermsCountHalvesToEven) {
  EXPECT_EQ(RoundHalfEven(2.5), 2);
  EXPECT_EQ(RoundHalfEven(3.5), 4);
  EXPECT_EQ(RoundHalfEven(-0.5), 0);
  const double f1 = ArrheniusFactor(15000, 30, 25.0f), f2 = ArrheniusFactor(18000, 30, 25.0f);
  double three = 0, five = 0;
  for (int i = 0; i <= 2; ++i) three = three + f1 * NormalCdf((i * f2 - 1.5) / 2.0);
  for (int i = 0; i <= 4; ++i) five = five + f1 * NormalCdf((i * f2 - 1.5) / 2.0);
  EXPECT_EQ(GaussCorrectedTime(15000, 18000, 1.5, 2.0, 30, 25.0f, 2.5f), three);
  EXPECT_EQ(GaussCorrectedTime(15000, 18000, 1.5, 2.0, 30, 25.0f, 3.5f), five);
  EXPECT_EQ(GaussCorrectedTime(15000, 18000, 1.5, 2.0, 30, 25.0f, -1.0f), 0.0);
}

TEST(Curves, ModelCurves) {
  std::vector<double> simple{15000, 0.02, 10, 1};
  EXPECT_DOUBLE_EQ(ModelCurve(1, simple, 50), 10 * (1 - std::exp(-1.0)) + 1);
  EXPECT_EQ(ModelCurve(1, simple, 50), ModelCurve(4, simple, 50));
  std::vector<double> sigmoid{15000, 0.05, 100, 20, 15000};
  EXPECT_EQ(ModelCurve(5, sigmoid, 30, 19.9), 0);  // TAU - t2 > 0: inside the lag
  EXPECT_EQ(ModelCurve(5, sigmoid, 20, 20), 0);    // t2 = TAU: release branch, 0 at t1 = TAU
  EXPECT_LT(ModelCurve(5, sigmoid, 10, 20), 0);    // t1 < TAU after the lag: negative, no clamp
  std::vector<double> par{1, 1, 0.1, 0.01, 5, 3, 1};
  EXPECT_DOUBLE_EQ(ModelCurve(2, par, 10, 20),
                   5 * (1 - std::exp(-1.0)) + 3 * (1 - std::exp(-0.2)) + 1);
  EXPECT_DOUBLE_EQ(ModelCurve(3, par, 10, 20),
                   5 * (1 - std::exp(-1.0)) - 3 * (1 - std::exp(-0.2)) + 1);
}

TEST(ModelKind, TextsOfTheScreens) {
  EXPECT_EQ(ModelName(6), "シグモイド肥料ガウス補正型");
  EXPECT_EQ(ProgressPrefix(3), "有機化無機化並行型の");
  EXPECT_EQ(InitialValuesTitle(1), "単純型\u3000初期値");
  EXPECT_EQ(InitialValuesTitle(5), "シグモイド肥料型\u3000初期値");
  EXPECT_EQ(FormulaResultsLine1(1), "N = No(1-exp(-kt))+C");
  EXPECT_EQ(FormulaResultsLine1(4), "N = No(1-exp(-k・t))+C");
  EXPECT_EQ(FormulaPrintText(4), "N = No(1-exp(-k・t)) ");
  EXPECT_EQ(FormulaResultsLine2(6), "tk = ΣDexp(Ea1(T-Ts)/RTTs)");
  EXPECT_EQ(ParamNames(3)[5], "Nim");
  EXPECT_EQ(DialogParamNames(3)[5], "Noim");
  EXPECT_EQ(ParamUnits(5)[3], "day");
  EXPECT_EQ(FittedParamCount(6), 1);
  EXPECT_EQ(RecordParamCount(6), 6);
  EXPECT_FALSE(IsValidModel(0));
  EXPECT_FALSE(IsValidModel(7));
}

}  // namespace
}  // namespace kelvora

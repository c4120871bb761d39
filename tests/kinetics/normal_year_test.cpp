// The normal-year series against an independent computation: the means of
// one-decimal temperatures counted in whole tenths and rounded half away from
// zero with integers, 29 February in leap and common years, empty days, and
// the series that are refused.
#include "kinetics/normal_year.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

#include "store/grid_text.h"
#include "store/number_text.h"

namespace kelvora {
namespace {

// A series of one-decimal temperatures in tenths (nothing: an empty day).
TionRecord Series(const std::string& name, CivilDate first,
                  const std::vector<std::optional<int>>& tenths) {
  std::vector<std::vector<std::string>> rows{{"年/月/日", "地温(℃)"}};
  for (size_t i = 0; i < tenths.size(); ++i) {
    const CivilDate d = DateOfDayNumber(DayNumber(first) + static_cast<int64_t>(i));
    std::string t;
    if (tenths[i]) {
      const int v = *tenths[i];
      t = (v < 0 ? "-" : "") + std::to_string(std::abs(v) / 10) + "." +
          std::to_string(std::abs(v) % 10);
      t = SingleText(*ParseSingle(t));
    }
    rows.push_back({DateText(d), t});
  }
  return {name, JoinGridText(rows)};
}

// The expected text of a mean of tenths: hundredths = sum * 10 / n, half
// away from zero, by integers alone.
std::string ExpectedMean(long sum, long n) {
  const long twice = 2 * std::labs(sum) * 10;
  const long hundredths = (twice + n) / (2 * n);
  const std::string text = std::string(sum < 0 && hundredths ? "-" : "") +
                           std::to_string(hundredths / 100) + "." +
                           (hundredths % 100 < 10 ? "0" : "") + std::to_string(hundredths % 100);
  return SingleText(*ParseSingle(text));
}

TEST(NormalYear, MeansAgreeWithAnIndependentCount) {
  // Three series: 2019-2020 (a leap year, with gaps), 2021 and a short 2023
  // piece; temperatures from -5 to 30 degrees, one decimal.
  std::mt19937 rng(31);
  std::uniform_int_distribution<int> temp(-50, 300);
  std::uniform_int_distribution<int> gap(0, 40);
  std::map<std::pair<int, int>, std::pair<long, long>> byDay;  // (month, day): sum, count
  std::vector<TionRecord> series;
  const std::vector<std::pair<CivilDate, int>> spans{
      {{2019, 1, 1}, 731}, {{2021, 1, 1}, 365}, {{2023, 2, 20}, 20}};
  for (size_t s = 0; s < spans.size(); ++s) {
    std::vector<std::optional<int>> tenths;
    for (int i = 0; i < spans[s].second; ++i) {
      const CivilDate d = DateOfDayNumber(DayNumber(spans[s].first) + i);
      std::optional<int> v;
      if (gap(rng) != 0) v = temp(rng);
      // Every 3 March empty in every year: a day no year gives.
      if (d.month == 3 && d.day == 3) v.reset();
      if (v) {
        auto& [sum, n] = byDay[{d.month, d.day}];
        sum += *v;
        ++n;
      }
      tenths.push_back(v);
    }
    series.push_back(Series("地点" + std::to_string(s), spans[s].first, tenths));
  }
  for (int year : {2024, 2025}) {
    const NormalYear n = MakeNormalYear(series, year);
    ASSERT_TRUE(n.ok) << n.message;
    EXPECT_EQ(n.years, (std::vector<int>{2019, 2020, 2021, 2023}));
    EXPECT_EQ(n.days, year == 2024 ? 366 : 365);
    const std::vector<std::vector<std::string>> rows = SplitGridText(n.gridText);
    ASSERT_EQ(rows.size(), static_cast<size_t>(n.days) + 1);
    EXPECT_EQ(rows[0], (std::vector<std::string>{"年/月/日", "地温(℃)"}));
    std::vector<CivilDate> empty;
    for (int i = 0; i < n.days; ++i) {
      const CivilDate d = DateOfDayNumber(DayNumber({year, 1, 1}) + i);
      EXPECT_EQ(rows[static_cast<size_t>(i) + 1][0], DateText(d));
      std::pair<long, long> sn = byDay[{d.month, d.day}];
      if (d.month == 2 && d.day == 29 && sn.second == 0) {
        const auto& a = byDay[{2, 28}];
        const auto& b = byDay[{3, 1}];
        sn = {a.first + b.first, a.second + b.second};
      }
      const std::string expected = sn.second ? ExpectedMean(sn.first, sn.second) : "";
      EXPECT_EQ(rows[static_cast<size_t>(i) + 1][1], expected) << DateText(d);
      if (!sn.second) empty.push_back(d);
    }
    EXPECT_EQ(n.emptyDays, empty);
    EXPECT_EQ(n.emptyDays.front(), (CivilDate{year, 3, 3}));
  }
}

// 29 February of a leap year without any 29 February: the mean of every 28
// February and 1 March. Ties at the third decimal go away from zero, below
// zero too.
TEST(NormalYear, LeapDayAndTiesAwayFromZero) {
  // 2021-2023: 28 Feb 10.0, 10.0, 10.0; 1 Mar 10.1 (sum 40.1 over 4 = 10.025).
  std::vector<TionRecord> s{Series("a", {2021, 2, 28}, {100, std::nullopt}),
                            Series("b", {2022, 2, 28}, {100, 101}),
                            Series("c", {2023, 2, 28}, {100, std::nullopt}),
                            // 2 March: -0.1 and 0.0 and 0.0 and 0.0: -0.025 gives -0.03.
                            Series("d", {2024, 3, 2}, {-1}), Series("e", {2025, 3, 2}, {0}),
                            Series("f", {2026, 3, 2}, {0}), Series("g", {2027, 3, 2}, {0})};
  const NormalYear n = MakeNormalYear(s, 2028);
  ASSERT_TRUE(n.ok) << n.message;
  const auto rows = SplitGridText(n.gridText);
  EXPECT_EQ(rows[59], (std::vector<std::string>{"2028/02/28", "10"}));
  EXPECT_EQ(rows[60], (std::vector<std::string>{"2028/02/29", "10.03"}));
  EXPECT_EQ(rows[61], (std::vector<std::string>{"2028/03/01", "10.1"}));
  EXPECT_EQ(rows[62], (std::vector<std::string>{"2028/03/02", "-0.03"}));
  // A common year has no 29 February; a 29 February present is its own mean.
  s.push_back(Series("h", {2024, 2, 29}, {55}));
  EXPECT_EQ(SplitGridText(MakeNormalYear(s, 2028).gridText)[60][1], "5.5");
  EXPECT_EQ(MakeNormalYear(s, 2027).days, 365);
}

TEST(NormalYear, RefusesOverlapsAndSeriesWithoutTemperatures) {
  const TionRecord a = Series("A", {2024, 5, 1}, {100, 110});
  const TionRecord b = Series("B", {2024, 5, 2}, {120});
  const NormalYear overlap = MakeNormalYear({a, b}, 2025);
  EXPECT_FALSE(overlap.ok);
  EXPECT_NE(overlap.message.find("2024/05/02"), std::string::npos);
  EXPECT_NE(overlap.message.find("「B」"), std::string::npos);
  EXPECT_FALSE(MakeNormalYear({Series("C", {2024, 5, 1}, {std::nullopt})}, 2025).ok);
  EXPECT_FALSE(MakeNormalYear({}, 2025).ok);
  EXPECT_FALSE(MakeNormalYear({a}, 1899).ok);
  TionRecord cold = a;
  cold.GridText += "\r2024/05/03\t-273";
  EXPECT_NE(MakeNormalYear({cold}, 2025).message.find("-273"), std::string::npos);
  // Rows without a date (an unconfirmed series) are not used.
  TionRecord loose = a;
  loose.GridText += "\r\t12\rabc\t13";
  const NormalYear n = MakeNormalYear({loose}, 2025);
  ASSERT_TRUE(n.ok);
  EXPECT_EQ(n.years, std::vector<int>{2024});
  EXPECT_EQ(n.emptyDays.size(), 363u);
}

}  // namespace
}  // namespace kelvora

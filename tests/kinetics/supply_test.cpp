// The nitrogen supply plan against the shared reference estimations (to the
// last bit), the start days of the sources, the normal-year continuation, a
// plan kept in the store after its parameter sets are deleted, and the plans
// that are refused.
#include "kinetics/supply.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "estimation_fixture.h"
#include "kinetics/estimation.h"
#include "store/grid_text.h"
#include "store/sakujyo.h"
#include "store/temperature_file.h"

namespace kelvora {
namespace {

const std::string kSeries = std::string(KELVORA_BENCH_DIR) + "/series-2y.tsv";
const std::string kRuns = std::string(KELVORA_BENCH_DIR) + "/series-2y.estimates.expected.json";

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

PlanSource Source(const ParaRecord& para, const CivilDate& applied, float a, float b) {
  PlanSource s;
  s.para = PlanCopyOf(para);
  s.para.SoilName = "model " + std::to_string(para.ModelNo);
  if (s.IsFertilizer()) {
    s.kgPer10a = a;
    s.applied = applied;
  } else {
    s.depthCm = a;
    s.density = b;
  }
  return s;
}

// The estimation of `para` from day `start` of the plan's temperature texts,
// as kelvora-cli estimate --from computes it.
std::vector<std::optional<double>> EstimateFrom(const ParaRecord& para,
                                                const std::vector<std::string>& temps, int start) {
  SeriesDays days;
  days.seriesDays = static_cast<int>(temps.size()) - 1;
  days.seriesDates.assign(temps.size(), std::string());
  days.seriesTemps = temps;
  days = CutSeries(days, start, days.seriesDays);
  return EstimateSeries(para, days.seriesTemps, days.seriesDays).dayAmounts;
}

// Each source is the reference estimation of its set times its factor, bit
// for bit, on every day of two years; the total is their sum in order; the
// nine days without a temperature are named and have no amount.
TEST(Supply, EverySourceIsTheReferenceEstimationTimesItsFactor) {
  const std::vector<testing::ReferenceRun> runs = testing::ReferenceRuns(kRuns);
  ASSERT_EQ(runs.size(), 6u);
  SupplyInput in;
  in.observedGrid = testing::SeriesFromTsv(kSeries, "2y").GridText;
  in.first = {2006, 1, 1};
  in.last = {2007, 12, 31};
  // Conversions that are not powers of two, so a factor applied another way
  // would show in the last bits.
  const float a[] = {15, 12.5f, 17, 4.3f, 7.7f, 3.1f};
  const float b[] = {1.0f, 0.85f, 1.13f, 0, 0, 0};
  for (size_t i = 0; i < runs.size(); ++i) {
    in.sources.push_back(Source(runs[i].para, in.first, a[i], b[i]));
  }
  const SupplyResult r = ComputeSupply(in);
  ASSERT_TRUE(r.ok) << r.message;
  ASSERT_EQ(r.days.size(), 730u);
  EXPECT_EQ(r.sources[0].factor, 15.0 * 1.0 / 10.0);
  EXPECT_EQ(r.sources[1].factor, 12.5 * static_cast<double>(0.85f) / 10.0);
  EXPECT_EQ(r.sources[3].factor, static_cast<double>(4.3f) / 100.0);
  int empty = 0;
  for (size_t d = 0; d < r.days.size(); ++d) {
    const SupplyDay& day = r.days[d];
    EXPECT_EQ(DateText(day.date), runs[0].rows[d].first);
    EXPECT_FALSE(day.forecast);
    double total = 0;
    bool complete = true;
    for (size_t i = 0; i < runs.size(); ++i) {
      const std::optional<double>& expected = runs[i].rows[d].second;
      ASSERT_EQ(day.amounts[i].has_value(), expected.has_value()) << d;
      if (!expected) {
        complete = false;
        continue;
      }
      const double kg = *expected * r.sources[i].factor;
      EXPECT_TRUE(SameBits(*day.amounts[i], kg))
          << runs[0].rows[d].first << " model " << runs[i].para.ModelNo << ": " << *day.amounts[i]
          << " vs " << kg;
      total += kg;
    }
    empty += complete ? 0 : 1;
    ASSERT_EQ(day.total.has_value(), complete);
    if (complete) {
      EXPECT_TRUE(SameBits(*day.total, total)) << d;
    }
  }
  EXPECT_EQ(empty, 9);
  EXPECT_EQ(r.daysWithoutTemperature.size(), 9u);
  EXPECT_EQ(DateText(r.daysWithoutTemperature[0]), "2006/07/26");
  EXPECT_NE(NoTemperatureMessage(r).find("2006/07/26"), std::string::npos);
  EXPECT_EQ(r.lastObservedDay, 730);
}

// A fertilizer counts from its application day: 0 before it, then the
// estimation of a series that begins that day (not the soil's, which counts
// from the first day), also when its first day has no temperature.
TEST(Supply, FertilizersStartOnTheirApplicationDay) {
  const std::vector<testing::ReferenceRun> runs = testing::ReferenceRuns(kRuns);
  SupplyInput in;
  in.observedGrid = testing::SeriesFromTsv(kSeries, "2y").GridText;
  in.first = {2006, 4, 1};
  in.last = {2006, 10, 31};
  in.sources.push_back(Source(runs[0].para, in.first, 15, 1));
  in.sources.push_back(Source(runs[4].para, {2006, 5, 12}, 6, 0));  // coated, sigmoid
  in.sources.push_back(Source(runs[3].para, {2006, 7, 26}, 4, 0));  // a day without temperature
  in.sources.push_back(Source(runs[5].para, in.last, 3, 0));        // on the last day
  const SupplyResult r = ComputeSupply(in);
  ASSERT_TRUE(r.ok) << r.message;
  std::vector<std::string> temps{std::string()};
  for (const SupplyDay& day : r.days) temps.push_back(day.temperatureText);
  for (size_t i = 0; i < in.sources.size(); ++i) {
    const int start = r.sources[i].startDay;
    EXPECT_EQ(DateOfDayNumber(DayNumber(in.first) + start - 1), r.sources[i].start);
    const auto expected = EstimateFrom(in.sources[i].para, temps, start);
    for (int d = 1; d <= static_cast<int>(r.days.size()); ++d) {
      const std::optional<double>& got = r.days[static_cast<size_t>(d - 1)].amounts[i];
      if (d < start) {
        ASSERT_TRUE(got.has_value());
        EXPECT_EQ(*got, 0.0);
        continue;
      }
      const std::optional<double>& e = expected[static_cast<size_t>(d - start + 1)];
      ASSERT_EQ(got.has_value(), e.has_value()) << i << " day " << d;
      if (e) {
        EXPECT_TRUE(SameBits(*got, *e * r.sources[i].factor)) << i << " day " << d;
      }
    }
  }
  EXPECT_EQ(r.sources[1].startDay, 42);
  EXPECT_FALSE(r.days[116].amounts[2].has_value());  // 2006/07/26 itself
  EXPECT_TRUE(r.days[117].amounts[2].has_value());
}

// Days the observed series does not have (after its end, and its own empty
// days) take the normal year's temperature of the same month and day and are
// forecast days; a day neither has stays without temperature.
TEST(Supply, NormalYearFillsTheDaysAhead) {
  const std::vector<testing::ReferenceRun> runs = testing::ReferenceRuns(kRuns);
  const TionRecord series = testing::SeriesFromTsv(kSeries, "2y");
  std::vector<std::vector<std::string>> rows = SplitGridText(series.GridText);
  // Observed: 2007/01/01 ... 2007/06/30 only.
  std::vector<std::vector<std::string>> observed{rows[0]};
  observed.insert(observed.end(), rows.begin() + 366, rows.begin() + 366 + 181);
  // Normal year: the 2006 temperatures, 2006/09/15 left empty.
  std::vector<std::vector<std::string>> normal{rows[0]};
  normal.insert(normal.end(), rows.begin() + 1, rows.begin() + 366);
  normal[258][1].clear();
  SupplyInput in;
  in.observedGrid = JoinGridText(observed);
  in.normalGrid = JoinGridText(normal);
  in.first = {2007, 5, 1};
  in.last = {2007, 10, 31};
  in.sources.push_back(Source(runs[0].para, in.first, 15, 1));
  in.sources.push_back(Source(runs[4].para, {2007, 6, 1}, 5, 0));
  const SupplyResult r = ComputeSupply(in);
  ASSERT_TRUE(r.ok) << r.message;
  EXPECT_EQ(DateText(r.days[static_cast<size_t>(r.lastObservedDay - 1)].date), "2007/06/30");
  std::vector<std::string> temps{std::string()};
  for (const SupplyDay& day : r.days) {
    const int64_t n = DayNumber(day.date);
    const bool inObserved = n <= DayNumber({2007, 6, 30});
    const std::vector<std::string>& row =
        inObserved ? rows[static_cast<size_t>(n - DayNumber({2006, 1, 1}) + 1)]
                   : normal[static_cast<size_t>(n - DayNumber({2007, 1, 1}) + 1)];
    const bool observedEmpty = inObserved && row[1].empty();
    const std::string expected =
        observedEmpty ? normal[static_cast<size_t>(n - DayNumber({2007, 1, 1}) + 1)][1] : row[1];
    EXPECT_EQ(day.temperatureText, expected) << DateText(day.date);
    EXPECT_EQ(day.forecast, (!inObserved || observedEmpty) && !expected.empty())
        << DateText(day.date);
    temps.push_back(day.temperatureText);
  }
  // 2006 has no temperature on 07/26 and 08/23 either.
  ASSERT_EQ(DayRuns(r.daysWithoutTemperature),
            (std::vector<std::string>{"2007/07/26", "2007/08/23", "2007/09/15"}));
  for (size_t i = 0; i < in.sources.size(); ++i) {
    const int start = r.sources[i].startDay;
    const auto expected = EstimateFrom(in.sources[i].para, temps, start);
    for (int d = start; d <= static_cast<int>(r.days.size()); ++d) {
      const std::optional<double>& got = r.days[static_cast<size_t>(d - 1)].amounts[i];
      const std::optional<double>& e = expected[static_cast<size_t>(d - start + 1)];
      ASSERT_EQ(got.has_value(), e.has_value());
      if (e) {
        EXPECT_TRUE(SameBits(*got, *e * r.sources[i].factor));
      }
    }
  }
}

// A stored plan computes from its own copies: deleting or changing the sets
// it was made from changes nothing; deleting its series leaves it without
// one, never with the series that moved into its place.
TEST(Supply, StoredPlanOutlivesItsSetsButNotItsSeries) {
  const std::vector<testing::ReferenceRun> runs = testing::ReferenceRuns(kRuns);
  hensuu store;
  store.TionTable.Append({"他の地点", "年/月/日\t地温(℃)\r2006/01/01\t30"});
  store.TionTable.Append(testing::SeriesFromTsv(kSeries, "つくば"));
  store.TionTable.Append({"後の地点", "年/月/日\t地温(℃)\r2006/01/01\t5"});
  for (const auto& run : runs) store.ParaTable.Append(run.para);
  std::vector<PlanSource> sources{Source(store.ParaTable(1), {2006, 1, 1}, 15, 1),
                                  Source(store.ParaTable(5), {2006, 3, 1}, 6, 0)};
  store.SekkeiTable.Append(
      {"水稲 2006", "つくば", 2, "", 0, "2006/01/01", "2006/06/30", PlanSourcesText(sources)});
  auto compute = [&store] {
    const SekkeiRecord& plan = store.SekkeiTable(1);
    std::string problem;
    SupplyInput in;
    in.sources = *ReadPlanSources(plan.GridText, problem);
    in.first = *ParseDateText(plan.FirstDate);
    in.last = *ParseDateText(plan.LastDate);
    const int16_t tion = FindPlanSeries(store, plan.TionNo, plan.SiteName);
    if (tion == 0) return SupplyResult{};
    in.observedGrid = store.TionTable(tion).GridText;
    return ComputeSupply(in);
  };
  const SupplyResult before = compute();
  ASSERT_TRUE(before.ok) << before.message;
  ParaRecord changed = store.ParaTable(5);
  changed.Param[1] *= 2;
  store.ParaTable.Replace(5, changed);
  store.ParaCurrent = 1;
  ASSERT_EQ(DeleteParaRecord(store), 0);
  store.TionCurrent = 1;  // a series before the plan's
  ASSERT_EQ(DeleteTionRecord(store), 0);
  EXPECT_EQ(store.SekkeiTable(1).TionNo, 1);
  const SupplyResult after = compute();
  ASSERT_TRUE(after.ok);
  ASSERT_EQ(after.days.size(), before.days.size());
  for (size_t d = 0; d < after.days.size(); ++d) {
    EXPECT_EQ(after.days[d].amounts, before.days[d].amounts) << d;
  }
  store.TionCurrent = 1;  // the plan's own series: "後の地点" moves into its place
  ASSERT_EQ(DeleteTionRecord(store), 0);
  EXPECT_EQ(store.SekkeiTable(1).TionNo, 0);
  EXPECT_EQ(FindPlanSeries(store, 1, "つくば"), 0);
  EXPECT_FALSE(compute().ok);
}

TEST(Supply, RefusesWhatCannotBeComputed) {
  const std::string grid = "年/月/日\t地温(℃)\r2024/05/01\t20\r2024/05/02\t21\r2024/05/03\t22";
  ParaRecord soil;
  soil.SoilName = "土";
  soil.ModelNo = 1;
  soil.Param = {15000, 0.02f, 10, 1};
  soil.StdTemp = 25;
  ParaRecord fert = soil;
  fert.ModelNo = 4;
  auto run = [&](auto change) {
    SupplyInput in;
    in.observedGrid = grid;
    in.first = {2024, 5, 1};
    in.last = {2024, 5, 3};
    in.sources = {Source(soil, in.first, 15, 1), Source(fert, {2024, 5, 2}, 4, 0)};
    change(in);
    return ComputeSupply(in);
  };
  EXPECT_TRUE(run([](SupplyInput&) {}).ok);
  const std::vector<std::pair<std::string, std::function<void(SupplyInput&)>>> refused{
      {"最初の日と最後の日",
       [](SupplyInput& in) {
         in.last = {2024, 4, 30};
       }},
      {"施用日",
       [](SupplyInput& in) {
         in.sources[1].applied = {2024, 5, 4};
       }},
      {"施用日",
       [](SupplyInput& in) {
         in.sources[1].applied = {2024, 4, 30};
       }},
      {"施用量", [](SupplyInput& in) { in.sources[1].kgPer10a = 0; }},
      {"作土深", [](SupplyInput& in) { in.sources[0].density = -1; }},
      {"モデル", [](SupplyInput& in) { in.sources[0].para.ModelNo = 0; }},
      {"標準温度", [](SupplyInput& in) { in.sources[0].para.StdTemp = -273; }},
      {"10まで", [](SupplyInput& in) { in.sources.resize(11, in.sources[0]); }},
      {"2回以上", [](SupplyInput& in) { in.observedGrid += "\r2024/05/02\t19"; }},
      {"2回以上",
       [](SupplyInput& in) {
         in.normalGrid = "年/月/日\t地温(℃)\r2023/05/05\t20\r2022/05/05\t21";
       }},
      {"使えません",
       [](SupplyInput& in) {
         in.observedGrid += "\r2024/05/04\t-300";
         in.last = {2024, 5, 4};
       }},
  };
  for (const auto& [word, change] : refused) {
    const SupplyResult r = run(change);
    EXPECT_FALSE(r.ok) << word;
    EXPECT_NE(r.message.find(word), std::string::npos) << r.message;
  }
}

}  // namespace
}  // namespace kelvora

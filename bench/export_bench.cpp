// Export of stored estimations:
// - 20 estimations of ten years of daily temperatures (3 653 days each)
//   written to one workbook, as a user exports a season's plans at once, and
//   the CSV table of the same;
// - a full table: 32 767 estimations of ten days, each from its own series
//   of the 32 767 stored;
// - 1 000 one-year estimations: 20 parameter sets over 50 series, the years
//   1975-2024 of one site, every series under the site's name.
// Besides the time, each case reports the bytes written and the memory the
// export took at its peak per byte written (peak_per_byte).
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "estimation_fixture.h"
#include "kinetics/estimation_export.h"
#include "store/date_text.h"
#include "store/grid_text.h"
#include "store/number_text.h"

namespace {

using namespace kelvora;

// `days` daily temperatures from `first`, a day without one now and then.
TionRecord Series(const std::string& name, CivilDate first, int days, int shift) {
  std::vector<std::vector<std::string>> rows{{"年/月/日", "地温(℃)"}};
  const int64_t day0 = DayNumber(first);
  for (int d = 0; d < days; ++d) {
    const double t = 14 + 11 * std::sin((d - 100 + shift * 7) * 2 * M_PI / 365.0);
    rows.push_back(
        {DateText(DateOfDayNumber(day0 + d)), d % 400 == 17 ? std::string() : FormatFixed(t, 1)});
  }
  return TionRecord{name, JoinGridText(rows)};
}

ParaRecord Set(int i) {
  static const ParaRecord kinds[] = {
      {"灰色低地土", 1, {17000, 0.022f, 11.5f, 0.9f, 0, 0, 0}, 0, 0, false, 25},
      {"被覆尿素", 6, {15000, 0.032f, 95, 27.9f, 16000, 1.05f, 0}, 0, 0, false, 30},
  };
  ParaRecord p = kinds[i % 2];
  p.SoilName += std::to_string(i);
  return p;
}

const hensuu& TwentyEstimations() {
  static hensuu* store = [] {
    auto* s = new hensuu;
    for (int site = 0; site < 10; ++site) {
      s->TionTable.Append(Series("地点" + std::to_string(site), {2010, 1, 1}, 3653, site));
      for (int p = 0; p < 2; ++p) {
        s->SuiteiTable.Append(testing::EstimateAsTheScreenDoes(Set(p), s->TionTable(site + 1)));
      }
    }
    return s;
  }();
  return *store;
}

const hensuu& FullTable() {
  static hensuu* store = [] {
    auto* s = new hensuu;
    for (int i = 1; i <= 32767; ++i) {
      char name[32];
      std::snprintf(name, sizeof name, "地点%05d", i);
      s->TionTable.Append(Series(name, {2025, 4, 1}, 10, i));
      s->SuiteiTable.Append(testing::EstimateAsTheScreenDoes(Set(i), s->TionTable(i)));
    }
    return s;
  }();
  return *store;
}

const hensuu& ThousandOneYear() {
  static hensuu* store = [] {
    auto* s = new hensuu;
    for (int year = 1975; year < 2025; ++year) {
      s->TionTable.Append(Series("つくば", {year, 1, 1}, 365, year));
    }
    for (int t = 1; t <= s->TionCount(); ++t) {
      for (int p = 0; p < 20; ++p) {
        s->SuiteiTable.Append(testing::EstimateAsTheScreenDoes(Set(p), s->TionTable(t)));
      }
    }
    return s;
  }();
  return *store;
}

// Resident and peak memory of the process, in bytes; "5" into clear_refs
// starts the peak afresh.
size_t StatusBytes(const char* field) {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind(field, 0) == 0) return std::stoul(line.substr(std::strlen(field))) * 1024;
  }
  return 0;
}

void Export(benchmark::State& state, const hensuu& store, const char* name) {
  std::vector<int> all;
  for (int i = 0; i < store.SuiteiCount(); ++i) all.push_back(i);
  const auto dir = std::filesystem::temp_directory_path() /
                   ("kelvora-export-bench-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const auto out = dir / name;
  // What earlier cases freed goes back to the system, so that this case's
  // peak counts what it needs itself.
  ::malloc_trim(0);
  std::ofstream("/proc/self/clear_refs") << "5";
  const size_t before = StatusBytes("VmRSS:");
  for (auto _ : state) {
    const std::string m = ExportEstimations(store, all, out);
    if (!m.empty()) {
      state.SkipWithError(m.c_str());
      break;
    }
  }
  const auto bytes = static_cast<double>(std::filesystem::file_size(out));
  state.counters["bytes"] = bytes;
  const size_t peak = StatusBytes("VmHWM:");
  state.counters["peak_per_byte"] = static_cast<double>(peak > before ? peak - before : 0) / bytes;
  std::filesystem::remove_all(dir);
}

void BM_ExportTwentyTenYearEstimationsXlsx(benchmark::State& state) {
  Export(state, TwentyEstimations(), "推定.xlsx");
}
BENCHMARK(BM_ExportTwentyTenYearEstimationsXlsx)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ExportTwentyTenYearEstimationsCsv(benchmark::State& state) {
  Export(state, TwentyEstimations(), "推定.csv");
}
BENCHMARK(BM_ExportTwentyTenYearEstimationsCsv)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ExportFullTableOfEstimationsXlsx(benchmark::State& state) {
  Export(state, FullTable(), "推定.xlsx");
}
BENCHMARK(BM_ExportFullTableOfEstimationsXlsx)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ExportFullTableOfEstimationsCsv(benchmark::State& state) {
  Export(state, FullTable(), "推定.csv");
}
BENCHMARK(BM_ExportFullTableOfEstimationsCsv)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ExportThousandOneYearEstimationsXlsx(benchmark::State& state) {
  Export(state, ThousandOneYear(), "推定.xlsx");
}
BENCHMARK(BM_ExportThousandOneYearEstimationsXlsx)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ExportThousandOneYearEstimationsCsv(benchmark::State& state) {
  Export(state, ThousandOneYear(), "推定.csv");
}
BENCHMARK(BM_ExportThousandOneYearEstimationsCsv)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

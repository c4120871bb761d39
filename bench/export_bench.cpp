// Export of stored estimations: 20 estimations of ten years of daily
// temperatures (3 653 days each) written to one workbook, as a user exports
// a season's plans at once; the CSV table of the same for comparison.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>

#include "estimation_fixture.h"
#include "kinetics/estimation_export.h"
#include "store/date_text.h"
#include "store/grid_text.h"
#include "store/number_text.h"

namespace {

using namespace kelvora;

TionRecord TenYears(int site) {
  std::vector<std::vector<std::string>> rows{{"年/月/日", "地温(℃)"}};
  const int64_t first = DayNumber({2010, 1, 1});
  for (int d = 0; d < 3653; ++d) {
    const double t = 14 + 11 * std::sin((d - 100 + site * 7) * 2 * M_PI / 365.0);
    rows.push_back(
        {DateText(DateOfDayNumber(first + d)), d % 400 == 17 ? std::string() : FormatFixed(t, 1)});
  }
  return TionRecord{"地点" + std::to_string(site), JoinGridText(rows)};
}

const hensuu& TwentyEstimations() {
  static hensuu* store = [] {
    auto* s = new hensuu;
    const ParaRecord sets[] = {
        {"灰色低地土", 1, {17000, 0.022f, 11.5f, 0.9f, 0, 0, 0}, 0, 0, false, 25},
        {"被覆尿素", 6, {15000, 0.032f, 95, 27.9f, 16000, 1.05f, 0}, 0, 0, false, 30},
    };
    for (int site = 0; site < 10; ++site) {
      s->TionTable.Append(TenYears(site));
      for (const ParaRecord& p : sets) {
        s->SuiteiTable.Append(testing::EstimateAsTheScreenDoes(p, s->TionTable(site + 1)));
      }
    }
    return s;
  }();
  return *store;
}

void Export(benchmark::State& state, const char* name) {
  const hensuu& store = TwentyEstimations();
  std::vector<int> all;
  for (int i = 0; i < store.SuiteiCount(); ++i) all.push_back(i);
  const auto dir = std::filesystem::temp_directory_path() /
                   ("kelvora-export-bench-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const auto out = dir / name;
  for (auto _ : state) {
    const std::string m = ExportEstimations(store, all, out);
    if (!m.empty()) {
      state.SkipWithError(m.c_str());
      break;
    }
  }
  state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(out));
  std::filesystem::remove_all(dir);
}

void BM_ExportTwentyTenYearEstimationsXlsx(benchmark::State& state) { Export(state, "推定.xlsx"); }
BENCHMARK(BM_ExportTwentyTenYearEstimationsXlsx)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ExportTwentyTenYearEstimationsCsv(benchmark::State& state) { Export(state, "推定.csv"); }
BENCHMARK(BM_ExportTwentyTenYearEstimationsCsv)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

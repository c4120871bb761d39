// The cost of the fit statistics (standard errors, intervals, correlations,
// information criteria, half-lives, Q10) of every model of a finished fit,
// against the cost of the fit itself.
//
//   build/bench/kelvora_bench --benchmark_filter=Stats
//
// Each benchmark fits once, then times ComputeFitStats on the finished
// session; `fit_ms` is the time of that one fit and `share` the statistics'
// time as a fraction of it. The statistics must add at most 5 ms to a soil
// fit and 5 % to a fertilizer fit.
#include <benchmark/benchmark.h>

#include <chrono>
#include <fstream>
#include <sstream>

#include "burial_table.h"
#include "kinetics/fit_driver.h"
#include "kinetics/fit_stats.h"

namespace kelvora {
namespace {

class SilentHost : public FitHost {
 public:
  void ShowProgress(const std::string&, const std::string&, const std::string&) override {}
  FailedFitAnswer ModelFailed(FitSession&, int16_t) override { return FailedFitAnswer::Cancel; }
};

std::string BenchTable(const char* name) {
  std::ifstream in(std::string(KELVORA_BENCH_DIR) + "/" + name);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void RunStats(benchmark::State& state, const std::string& table, bool fertilizer, bool field) {
  FitRequest req;
  req.source = field ? FitSource::Field : FitSource::Laboratory;
  req.table =
      GridFromRows(SplitGridText(table, kSpreadsheetFormat), field ? 2 : 100, field ? 3 : 4);
  req.standardTemp = "25";
  req.isFertilizer = fertilizer;
  FitSession s;
  SilentHost host;
  const auto start = std::chrono::steady_clock::now();
  if (StartFit(s, req, &host).outcome != FitOutcome::Completed) {
    state.SkipWithError("fit did not complete");
    return;
  }
  const double fitSeconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  double statsSeconds = 0;
  int64_t runs = 0;
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    FitStats stats = ComputeFitStats(s);
    statsSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    ++runs;
    benchmark::DoNotOptimize(stats.models[s.currentModel]);
  }
  state.counters["fit_ms"] = fitSeconds * 1e3;
  if (runs > 0) state.counters["share"] = statsSeconds / runs / fitSeconds;
}

void BM_StatsSoilFit3x10(benchmark::State& state) {
  RunStats(state, BenchTable("soil-3x10.tsv"), false, false);
}
void BM_StatsFertilizerFit3x11(benchmark::State& state) {
  RunStats(state, BenchTable("fertilizer-3x11.tsv"), true, false);
}
void BM_StatsFieldSoilOneYear(benchmark::State& state) {
  RunStats(state, testing::BurialTable(false), false, true);
}
void BM_StatsFieldFertilizerOneYear(benchmark::State& state) {
  RunStats(state, testing::BurialTable(true), true, true);
}

BENCHMARK(BM_StatsSoilFit3x10)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StatsFertilizerFit3x11)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StatsFieldSoilOneYear)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StatsFieldFertilizerOneYear)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace kelvora

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

#include "bench_common.h"
#include "burial_table.h"
#include "kinetics/fit_driver.h"
#include "kinetics/fit_stats.h"

namespace kelvora {
namespace {

void RunStats(benchmark::State& state, const std::string& table, bool fertilizer, bool field) {
  FitRequest req = bench::TableRequest(table, fertilizer, field);
  FitSession s;
  bench::QuietHost host;
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
  RunStats(state, bench::ReferenceTable("soil-3x10.tsv"), false, false);
}
void BM_StatsFertilizerFit3x11(benchmark::State& state) {
  RunStats(state, bench::ReferenceTable("fertilizer-3x11.tsv"), true, false);
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

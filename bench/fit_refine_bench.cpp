// The cost of the least-squares refinement of every model of a finished fit.
//
//   build/bench/kelvora_bench --benchmark_filter=Refine
//
// Each benchmark fits once, then times RefineFit on the finished session;
// `fit_ms` is the time of that one fit. The refinement must add at most
// 50 ms to a soil fit and 0.5 s to a fertilizer fit.
#include <benchmark/benchmark.h>

#include "bench_common.h"
#include "burial_table.h"
#include "kinetics/fit_driver.h"
#include "kinetics/fit_refine.h"

namespace kelvora {
namespace {

void RunRefine(benchmark::State& state, const std::string& table, bool fertilizer, bool field) {
  FitRequest req = bench::TableRequest(table, fertilizer, field);
  FitSession s;
  bench::QuietHost host;
  const auto start = std::chrono::steady_clock::now();
  if (StartFit(s, req, &host).outcome != FitOutcome::Completed) {
    state.SkipWithError("fit did not complete");
    return;
  }
  state.counters["fit_ms"] = bench::Seconds(std::chrono::steady_clock::now() - start) * 1e3;
  for (auto _ : state) {
    FitRefinement r = RefineFit(s);
    benchmark::DoNotOptimize(r.models[s.currentModel]);
  }
}

void BM_RefineSoilFit3x10(benchmark::State& state) {
  RunRefine(state, bench::ReferenceTable("soil-3x10.tsv"), false, false);
}
void BM_RefineFertilizerFit3x11(benchmark::State& state) {
  RunRefine(state, bench::ReferenceTable("fertilizer-3x11.tsv"), true, false);
}
void BM_RefineFieldSoilOneYear(benchmark::State& state) {
  RunRefine(state, testing::BurialTable(false), false, true);
}
void BM_RefineFieldFertilizerOneYear(benchmark::State& state) {
  RunRefine(state, testing::BurialTable(true), true, true);
}

BENCHMARK(BM_RefineSoilFit3x10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RefineFertilizerFit3x11)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RefineFieldSoilOneYear)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RefineFieldFertilizerOneYear)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kelvora

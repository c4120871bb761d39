// Wall time and objective evaluations of the fits and of the estimation.
//
//   build/bench/kelvora_bench --benchmark_min_time=1
//
// Each fit reports `evaluations` (objective evaluations the rules ask for) and
// `distinct` (those actually computed; the rest come from remembered
// results) per run. The laboratory fits run three ways: on an otherwise idle
// machine, beside a busy neighbour (a child process burning one processor
// for as long as the benchmark runs), and pinned to a single processor.
#include <benchmark/benchmark.h>
#include <sched.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <thread>

#include "bench_common.h"
#include "burial_table.h"
#include "busy_neighbour.h"
#include "kinetics/curves.h"
#include "kinetics/estimation.h"
#include "kinetics/fit_driver.h"

namespace kelvora {
namespace {

using bench::BusyNeighbour;
using bench::QuietHost;

enum class Machine { Idle, BusyNeighbour, OneProcessor };

void RunFit(benchmark::State& state, const std::string& table, bool fertilizer, bool field,
            Machine machine = Machine::Idle) {
  const FitRequest request = bench::TableRequest(table, fertilizer, field);
  EvalCounts counts;
  auto fit = [&] {
    FitRequest req = request;  // the fit may change its request
    FitSession s;
    QuietHost host;
    FitRun run = StartFit(s, req, &host);
    if (run.outcome != FitOutcome::Completed) state.SkipWithError("fit did not complete");
    counts = run.counts;
    benchmark::DoNotOptimize(s.bestAic);
  };
  std::unique_ptr<BusyNeighbour> neighbour;
  if (machine == Machine::BusyNeighbour) neighbour = std::make_unique<BusyNeighbour>(600);
  for (auto _ : state) {
    if (machine == Machine::OneProcessor) {
      // A thread of its own pinned to the first processor it may use, as
      // `taskset -c 0` pins a whole process.
      std::thread pinned([&] {
        cpu_set_t set;
        CPU_ZERO(&set);
        sched_getaffinity(0, sizeof set, &set);
        int first = 0;
        while (first < CPU_SETSIZE && !CPU_ISSET(first, &set)) ++first;
        CPU_ZERO(&set);
        CPU_SET(first, &set);
        if (sched_setaffinity(0, sizeof set, &set) != 0) state.SkipWithError("cannot pin");
        fit();
      });
      pinned.join();
    } else {
      fit();
    }
  }
  state.counters["evaluations"] = static_cast<double>(counts.evaluations);
  state.counters["distinct"] = static_cast<double>(counts.distinct);
}

void BM_SoilFit3x10(benchmark::State& state) {
  RunFit(state, bench::ReferenceTable("soil-3x10.tsv"), false, false);
}
void BM_FertilizerFit3x11(benchmark::State& state) {
  RunFit(state, bench::ReferenceTable("fertilizer-3x11.tsv"), true, false);
}
void BM_SoilFit3x10BusyNeighbour(benchmark::State& state) {
  RunFit(state, bench::ReferenceTable("soil-3x10.tsv"), false, false, Machine::BusyNeighbour);
}
void BM_FertilizerFit3x11BusyNeighbour(benchmark::State& state) {
  RunFit(state, bench::ReferenceTable("fertilizer-3x11.tsv"), true, false, Machine::BusyNeighbour);
}
void BM_SoilFit3x10OneProcessor(benchmark::State& state) {
  RunFit(state, bench::ReferenceTable("soil-3x10.tsv"), false, false, Machine::OneProcessor);
}
void BM_FertilizerFit3x11OneProcessor(benchmark::State& state) {
  RunFit(state, bench::ReferenceTable("fertilizer-3x11.tsv"), true, false, Machine::OneProcessor);
}
void BM_FieldFitSoilOneYear(benchmark::State& state) {
  RunFit(state, testing::BurialTable(false), false, true);
}
void BM_FieldFitFertilizerOneYear(benchmark::State& state) {
  RunFit(state, testing::BurialTable(true), true, true);
}

// 100 parameter sets (models 1-5, or model 6) over ten years of daily soil
// temperatures.
void RunEstimation(benchmark::State& state, bool gauss) {
  std::vector<std::string> temps(1);
  for (int d = 1; d <= 3650; ++d) {
    char t[16];
    std::snprintf(t, sizeof t, "%.1f", 15 + 10 * std::sin((d - 100) * 2 * M_PI / 365.25));
    temps.push_back(t);
  }
  std::vector<ParaRecord> sets;
  for (int i = 0; i < 100; ++i) {
    ParaRecord p;
    p.StdTemp = 25;
    p.ModelNo = static_cast<int16_t>(gauss ? 6 : 1 + i % 5);
    p.Param = {15000.0f + 50 * i, 0.01f + 0.0001f * i, 10, 20, 17000, 3, 1};
    if (p.ModelNo == 2 || p.ModelNo == 3) p.Param = {15000, 18000, 0.02f, 0.005f, 5, 4, 1};
    sets.push_back(p);
  }
  for (auto _ : state) {
    PreparedSeries series = PrepareSeries(temps, 3650);
    for (const ParaRecord& p : sets) {
      EstimateResult r = EstimateSeries(p, series);
      benchmark::DoNotOptimize(r.dayAmounts.data());
    }
  }
}
void BM_Estimation100SetsTenYears(benchmark::State& state) { RunEstimation(state, false); }
void BM_Estimation100GaussSetsTenYears(benchmark::State& state) { RunEstimation(state, true); }

BENCHMARK(BM_SoilFit3x10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FertilizerFit3x11)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_SoilFit3x10BusyNeighbour)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FertilizerFit3x11BusyNeighbour)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();
BENCHMARK(BM_SoilFit3x10OneProcessor)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FertilizerFit3x11OneProcessor)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();
BENCHMARK(BM_FieldFitSoilOneYear)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_FieldFitFertilizerOneYear)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Estimation100SetsTenYears)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Estimation100GaussSetsTenYears)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace kelvora

BENCHMARK_MAIN();

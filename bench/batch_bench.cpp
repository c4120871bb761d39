// The batch of many records as kelvora-cli fit-all runs it (statistics and
// the least-squares check of every record included): 100 soils of the soil
// reference's size and 8 coated fertilizers of the fertilizer reference's
// size, each batch on one job and on two in the same minute. Reports
// `one_job_s`, `two_jobs_s` and `speedup` (one job / two jobs).
//
//   build/bench/kelvora_bench --benchmark_filter=Batch
#include <benchmark/benchmark.h>

#include <chrono>

#include "bench_common.h"
#include "kinetics/batch_fit.h"

namespace kelvora {
namespace {

using bench::Seconds;

// Seconds for the whole batch; fails the benchmark when a record did not fit.
double RunBatch(benchmark::State& state, const std::vector<BaiyoRecord>& records, int jobs) {
  BatchOptions options;
  options.jobs = jobs;
  size_t fitted = 0;
  const auto start = std::chrono::steady_clock::now();
  RunBatchFit(
      records.size(), [&](size_t i) { return LabRecordRequest(records[i], "25"); },
      [&](BatchRecordResult&& r) {
        if (r.ok()) ++fitted;
      },
      options);
  const double seconds = Seconds(std::chrono::steady_clock::now() - start);
  if (fitted != records.size()) state.SkipWithError("a record did not fit");
  return seconds;
}

void OneAndTwoJobs(benchmark::State& state, const char* table, bool fertilizer, int n) {
  const std::vector<BaiyoRecord> records =
      bench::ScaledRecords(bench::ReferenceTable(table), fertilizer, n);
  double one = 0, two = 0;
  for (auto _ : state) {
    one += RunBatch(state, records, 1);
    two += RunBatch(state, records, 2);
  }
  const double iterations = static_cast<double>(state.iterations());
  state.counters["one_job_s"] = one / iterations;
  state.counters["two_jobs_s"] = two / iterations;
  state.counters["speedup"] = two > 0 ? one / two : 0;
  state.counters["records"] = n;
}

void BM_BatchSoil100(benchmark::State& state) { OneAndTwoJobs(state, "soil-3x10.tsv", false, 100); }
void BM_BatchFertilizer8(benchmark::State& state) {
  OneAndTwoJobs(state, "fertilizer-3x11.tsv", true, 8);
}

BENCHMARK(BM_BatchSoil100)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_BatchFertilizer8)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

}  // namespace
}  // namespace kelvora

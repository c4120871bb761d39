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

// Seconds for the whole batch. A record whose model's search fails (as the
// same table fails alone: a few of the scaled soils do in ImmobMinParallel)
// counts; a record refused or stopped fails the benchmark.
double RunBatch(benchmark::State& state, const std::vector<BaiyoRecord>& records, int jobs,
                size_t& fitted) {
  BatchOptions options;
  options.jobs = jobs;
  fitted = 0;
  size_t ended = 0;
  const auto start = std::chrono::steady_clock::now();
  RunBatchFit(
      records.size(), [&](size_t i) { return LabRecordRequest(records[i], "25"); },
      [&](BatchRecordResult&& r) {
        if (r.ok()) ++fitted;
        if (r.ok() || r.status == BatchStatus::Failed) ++ended;
      },
      options);
  const double seconds = Seconds(std::chrono::steady_clock::now() - start);
  if (ended != records.size()) state.SkipWithError("a record was refused or stopped");
  return seconds;
}

void OneAndTwoJobs(benchmark::State& state, const char* table, bool fertilizer, int n) {
  const std::vector<BaiyoRecord> records =
      bench::ScaledRecords(bench::ReferenceTable(table), fertilizer, n);
  double one = 0, two = 0;
  size_t fittedOne = 0, fittedTwo = 0;
  for (auto _ : state) {
    one += RunBatch(state, records, 1, fittedOne);
    two += RunBatch(state, records, 2, fittedTwo);
    if (fittedOne != fittedTwo) state.SkipWithError("one job and two fitted different records");
  }
  const double iterations = static_cast<double>(state.iterations());
  state.counters["one_job_s"] = one / iterations;
  state.counters["two_jobs_s"] = two / iterations;
  state.counters["speedup"] = two > 0 ? one / two : 0;
  state.counters["records"] = n;
  state.counters["fitted"] = static_cast<double>(fittedTwo);
}

void BM_BatchSoil100(benchmark::State& state) { OneAndTwoJobs(state, "soil-3x10.tsv", false, 100); }
void BM_BatchFertilizer8(benchmark::State& state) {
  OneAndTwoJobs(state, "fertilizer-3x11.tsv", true, 8);
}

BENCHMARK(BM_BatchSoil100)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_BatchFertilizer8)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

}  // namespace
}  // namespace kelvora

// The recovery copy's cost on the user-interface thread: looking for changes
// and taking the snapshot of the tables, with 5 000 records in every table
// (a year of daily rows in each temperature, estimation and field record).
// Writing the snapshot (done on a worker thread) is measured for comparison.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "store/recovery.h"

namespace {

using namespace kelvora;

std::string YearGrid(const std::string& header, int cols) {
  std::string g = header;
  for (int d = 0; d < 365; ++d) {
    g += "\r2026/" + std::to_string(1 + d / 31) + "/" + std::to_string(1 + d % 28);
    for (int c = 1; c < cols; ++c) g += "\t" + std::to_string(10 + (d * c) % 17) + ".25";
  }
  return g;
}

const hensuu& BigStore() {
  static hensuu* store = [] {
    auto* s = new hensuu;
    std::string baiyo = "培養日数\t20\t25\t30";
    for (int r = 1; r < 100; ++r)
      baiyo += r < 12 ? "\r" + std::to_string(r * 7) + "\t1.5\t2.25\t3" : "\r\t\t\t";
    const std::string tion = YearGrid("年/月/日\t地温(℃)", 2);
    const std::string suitei = YearGrid("年/月/日\t(mg/100g)", 2);
    const std::string hojyo = YearGrid("年/月/日\t地温(℃)\t無機化量", 3);
    for (int i = 0; i < 5000; ++i) {
      const std::string n = "試料" + std::to_string(i);
      s->BaiyoTable.Append({n, baiyo, false});
      ParaRecord p;
      p.SoilName = n;
      p.ModelNo = 1;
      p.Param = {17000, 0.01f, 12, 0.5f, 0, 0, 0};
      s->ParaTable.Append(p);
      s->TionTable.Append({n, tion});
      s->SuiteiTable.Append({1, n, n, suitei, 25});
      s->HojyoTable.Append({n, hojyo, false});
    }
    return s;
  }();
  return *store;
}

// What the timer does when nothing changed.
void BM_RecoveryLookForChanges(benchmark::State& state) {
  const hensuu& store = BigStore();
  RecoveryState rs;
  rs.StartFromDataFiles(store);
  for (auto _ : state) benchmark::DoNotOptimize(rs.Pending(store));
}

// The first copy of a run: all five tables.
void BM_RecoverySnapshotAllFiveTables(benchmark::State& state) {
  const hensuu& store = BigStore();
  RecoveryState rs;
  rs.StartFromDataFiles(hensuu());
  for (auto _ : state) {
    RecoverySnapshot s = rs.TakeSnapshot(store);
    benchmark::DoNotOptimize(s.hojyo->Count());
  }
}

// For comparison: copying every record itself.
void BM_DeepCopyOfAllFiveTables(benchmark::State& state) {
  const hensuu& store = BigStore();
  for (auto _ : state) {
    std::vector<BaiyoRecord> b(store.BaiyoTable.Rows().begin(), store.BaiyoTable.Rows().end());
    std::vector<TionRecord> t(store.TionTable.Rows().begin(), store.TionTable.Rows().end());
    std::vector<SuiteiRecord> s(store.SuiteiTable.Rows().begin(), store.SuiteiTable.Rows().end());
    std::vector<HojyoRecord> h(store.HojyoTable.Rows().begin(), store.HojyoTable.Rows().end());
    std::vector<ParaRecord> p(store.ParaTable.Rows().begin(), store.ParaTable.Rows().end());
    benchmark::DoNotOptimize(b.data());
  }
}

// The worker's part: writing all five files of 5 000 records each.
void BM_RecoveryWriteAllFiveTables(benchmark::State& state) {
  const hensuu& store = BigStore();
  const std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                    ("kelvora-recovery-bench-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  RecoveryState rs;
  rs.StartFromDataFiles(hensuu());
  const RecoverySnapshot s = rs.TakeSnapshot(store);
  const RunInfo run = RunInfo::ThisRun();
  for (auto _ : state) {
    RecoveryWriteResult r = WriteSnapshot(dir, run, s);
    if (!r.messages.empty()) state.SkipWithError(r.messages[0].c_str());
    std::filesystem::remove_all(dir / kRecoveryFolder);
  }
  std::filesystem::remove_all(dir);
}

}  // namespace

BENCHMARK(BM_RecoveryLookForChanges)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RecoverySnapshotAllFiveTables)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DeepCopyOfAllFiveTables)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_RecoveryWriteAllFiveTables)->Unit(benchmark::kMillisecond)->Iterations(3);

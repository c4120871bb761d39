// The desktop program's start-up up to its main window shown with the
// incubation screen in it: the data files read, their .bak copies renewed,
// the recovery state taken, the first screen filled. Once with a data folder
// of 32 767 records in every table (started again: the files are in the
// page cache), once with the sample folder of the source tree.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTemporaryDir>
#include <ctime>
#include <filesystem>
#include <string>

#include "quiet_dialogs.h"
#include "screens/mdiform1.h"
#include "store/data_files.h"
#include "store/hensuu.h"

namespace {

using namespace kelvora;
namespace fs = std::filesystem;

// A month of daily rows after the header.
std::string MonthGrid(const std::string& header, int cols, int seed) {
  std::string g = header;
  for (int d = 1; d <= 31; ++d) {
    g += "\r2026/07/" + std::string(d < 10 ? "0" : "") + std::to_string(d);
    for (int c = 1; c < cols; ++c) g += "\t" + std::to_string(10 + (d * c + seed) % 17) + ".25";
  }
  return g;
}

double ThreadSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Writes the five data files of 32 767 records each into `dir`.
void WriteFullFolder(const fs::path& dir) {
  hensuu store;
  std::string baiyo = "培養日数\t20\t25\t30";
  for (int r = 1; r < 100; ++r)
    baiyo += r < 12 ? "\r" + std::to_string(r * 7) + "\t1.5\t2.25\t3" : "\r\t\t\t";
  for (int i = 0; i < kMaxRecords; ++i) {
    const std::string n = "試料" + std::to_string(i + 1);
    store.BaiyoTable.Append({n, baiyo, i % 3 == 0});
    ParaRecord p;
    p.SoilName = n;
    p.ModelNo = static_cast<int16_t>(1 + i % 6);
    p.Param = {17000, 0.01f, 12, 0.5f, 0, 0, 0};
    p.Aic = 12.5f;
    p.Rss = 0.75f;
    p.StdTemp = 25;
    store.ParaTable.Append(p);
    store.TionTable.Append({"地点" + std::to_string(i + 1), MonthGrid("年/月/日\t地温(℃)", 2, i)});
    store.SuiteiTable.Append(
        {1, n, "地点" + std::to_string(i + 1), MonthGrid("年/月/日\t(mg/100g)", 2, i), 25});
    store.HojyoTable.Append({n, MonthGrid("年/月/日\t地温(℃)\t無機化量", 3, i), false});
  }
  FileMessages m = SaveDataFiles(store, dir);
  if (!m.empty()) std::abort();
}

// Starts the program on `dir` again and again; each start is timed up to the
// main window shown with its first screen, then the window is dropped (no
// save, nothing of the folder changed).
void StartOn(benchmark::State& state, const fs::path& dir) {
  // A first start made the .bak copies; the timed ones start again.
  hensuu expected;
  if (!LoadDataFiles(expected, dir).empty()) std::abort();
  // The user-interface thread's own processor time: what an idle machine
  // with a core to spare waits for.
  double mainThreadSeconds = 0;
  for (auto _ : state) {
    const double before = ThreadSeconds();
    auto store = std::make_unique<hensuu>();
    bench::QuietDialogs dialogs;
    auto main = std::make_unique<MDIForm1>(*store, dir, dialogs);
    if (!main->Startup()) {
      state.SkipWithError("start-up failed");
      break;
    }
    QApplication::processEvents();  // the first paint of the shown windows
    mainThreadSeconds += ThreadSeconds() - before;
    state.PauseTiming();
    if (store->BaiyoCount() != expected.BaiyoCount() ||
        store->SuiteiCount() != expected.SuiteiCount() ||
        store->HojyoCount() != expected.HojyoCount() || dialogs.unexpected != 0) {
      state.SkipWithError("the tables were not read whole");
      break;
    }
    main.reset();
    store.reset();
    QApplication::processEvents();
    state.ResumeTiming();
  }
  state.counters["ui_thread_ms"] =
      benchmark::Counter(mainThreadSeconds * 1e3 / static_cast<double>(state.iterations()));
}

void BM_StartupFullTables(benchmark::State& state) {
  static QTemporaryDir tmp;
  static const fs::path dir = [] {
    const fs::path d = fs::path(tmp.path().toStdString()) / "Data";
    WriteFullFolder(d);
    return d;
  }();
  StartOn(state, dir);
}
BENCHMARK(BM_StartupFullTables)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime()
    ->Iterations(5);

void BM_StartupSamples(benchmark::State& state) {
  static QTemporaryDir tmp;
  static const fs::path dir = [] {
    const fs::path d = fs::path(tmp.path().toStdString()) / "Data";
    fs::create_directories(d);
    for (const auto& f : fs::directory_iterator(fs::path(KELVORA_SOURCE_DIR) / "examples/Data"))
      fs::copy_file(f.path(), d / f.path().filename());
    return d;
  }();
  StartOn(state, dir);
}
BENCHMARK(BM_StartupSamples)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();

}  // namespace

// The field fit as a user runs it: "⑩ パラメータ算出" pressed on the field
// screen with a one-year burial, until the results screen is open (offscreen
// windows, the fit on its worker thread, the progress window included),
// against the same fit through StartFit directly (`ratio`, screen / direct).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDialog>
#include <QTemporaryDir>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "bench_common.h"
#include "kinetics/fit_driver.h"
#include "quiet_dialogs.h"
#include "screens/dialogs.h"
#include "screens/fit_runner.h"
#include "screens/hojyobaiyo_form.h"
#include "screens/mdiform1.h"
#include "store/grid_text.h"
#include "store/hensuu.h"

namespace kelvora {
namespace {

using bench::QuietDialogs;
using bench::QuietHost;
using bench::Seconds;

void RunFromScreen(benchmark::State& state, const char* table, bool fertilizer) {
  const std::string text = bench::ReferenceTable(table);
  GridTable g = GridFromRows(SplitGridText(text, kSpreadsheetFormat), 2, 3);
  const HojyoRecord record{"bench", g.ToGridText(), fertilizer};
  QTemporaryDir tmp;
  double screenTotal = 0, directTotal = 0;
  for (auto _ : state) {
    state.PauseTiming();
    hensuu store;
    store.HojyoTable.Append(record);
    store.HojyoCurrent = 1;
    QuietDialogs dialogs;
    MDIForm1 main(store, std::filesystem::path(tmp.path().toStdString()) / "Data", dialogs);
    main.resize(1366, 768);
    main.show();
    auto* screen = qobject_cast<HojyoBaiyo_Form*>(main.OpenChildScreen(Screen::HojyoBaiyo_Form));
    QApplication::processEvents();
    state.ResumeTiming();
    auto start = std::chrono::steady_clock::now();
    screen->Command5->click();
    screenTotal += Seconds(std::chrono::steady_clock::now() - start);
    state.PauseTiming();
    if (store.ParaCount() != 1 || !main.FindScreen(Screen::ParaKekka_Form0_1) ||
        dialogs.unexpected) {
      state.SkipWithError("the fit did not reach the results screen");
    }
    const EvalCounts screenCounts = main.Runner().LastCounts();
    main.CloseAllChildScreens();
    // The same table through StartFit on this thread, in the same minute.
    FitRequest request = bench::TableRequest(text, fertilizer, true);
    request.name = "bench";
    FitSession s;
    QuietHost host;
    start = std::chrono::steady_clock::now();
    const FitRun run = StartFit(s, request, &host);
    directTotal += Seconds(std::chrono::steady_clock::now() - start);
    if (run.counts.evaluations != screenCounts.evaluations) {
      state.SkipWithError("the two paths made different fits");
    }
    state.ResumeTiming();
  }
  state.counters["direct_ms"] = 1000 * directTotal / static_cast<double>(state.iterations());
  state.counters["ratio"] = directTotal > 0 ? screenTotal / directTotal : 0;
}

void BM_FieldScreenFitSoilOneYear(benchmark::State& state) {
  RunFromScreen(state, "field-soil-1y.tsv", false);
}
void BM_FieldScreenFitFertilizerOneYear(benchmark::State& state) {
  RunFromScreen(state, "field-fertilizer-1y.tsv", true);
}

BENCHMARK(BM_FieldScreenFitSoilOneYear)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();
BENCHMARK(BM_FieldScreenFitFertilizerOneYear)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();

}  // namespace
}  // namespace kelvora

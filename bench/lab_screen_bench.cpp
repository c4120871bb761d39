// The laboratory fit of the coated-fertilizer reference as a user runs it
// ("⑦ パラメータ算出" on the incubation screen, the fit on its worker thread
// with the progress window, until the results screen is open) against the
// same fit through StartFit directly, in the same process and the same
// minute, on an otherwise idle machine and beside a busy neighbour process.
// Reports both times and their ratio (screen / direct), the objective
// evaluations of each path (which must be equal), and the longest time from
// "中止" in the sigma search until the fit had ended.
//
//   build/bench/kelvora_screen_bench --benchmark_filter=LabScreen
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "bench_common.h"
#include "busy_neighbour.h"
#include "kinetics/fit_driver.h"
#include "quiet_dialogs.h"
#include "screens/baiyo_form0_3.h"
#include "screens/dialogs.h"
#include "screens/fit_runner.h"
#include "screens/mdiform1.h"
#include "screens/saikeisan_form.h"
#include "store/grid_text.h"
#include "store/hensuu.h"

namespace kelvora {
namespace {

using bench::QuietDialogs;
using bench::QuietHost;
using bench::Seconds;

// One fit from the screen; seconds from the button to the results screen.
// With stopOnSigma, "中止" is pressed during the sigma search and stopSeconds
// is set to the time from that press until the fit has ended.
double ScreenFit(const BaiyoRecord& record, const QString& dataDir, uint64_t& evaluations, bool& ok,
                 bool stopOnSigma = false, double* stopSeconds = nullptr) {
  hensuu store;
  store.BaiyoTable.Append(record);
  store.BaiyoCurrent = 1;
  QuietDialogs dialogs;
  MDIForm1 main(store, std::filesystem::path(dataDir.toStdString()) / "Data", dialogs);
  main.resize(1366, 768);
  main.show();
  auto* screen = qobject_cast<Baiyo_Form0_3*>(main.OpenChildScreen(Screen::Baiyo_Form0_3));
  screen->Text1->setText(QStringLiteral("25"));
  QApplication::processEvents();
  std::chrono::steady_clock::time_point pressed{};
  QTimer watch;
  if (stopOnSigma) {
    // "中止" once the progress window shows the sigma search under way.
    QObject::connect(&watch, &QTimer::timeout, &main, [&main, &pressed, &watch] {
      SaiKeisan_Form* p = main.Runner().Progress();
      if (!p || !p->Label1[1]->text().contains(QStringLiteral("ガウス")) ||
          p->BarSweep->value() < 100) {
        return;
      }
      watch.stop();
      pressed = std::chrono::steady_clock::now();
      p->CommandStop->click();
    });
    watch.start(10);
  }
  const auto start = std::chrono::steady_clock::now();
  screen->Command5->click();
  const auto end = std::chrono::steady_clock::now();
  const double seconds = Seconds(end - start);
  evaluations = main.Runner().LastCounts().evaluations;
  if (stopOnSigma) {
    ok = pressed != std::chrono::steady_clock::time_point{} && store.ParaCount() == 0;
    if (stopSeconds) *stopSeconds = ok ? Seconds(end - pressed) : 0;
  } else {
    ok = store.ParaCount() == 1 && main.FindScreen(Screen::ParaKekka_Form0_1) &&
         dialogs.unexpected == 0;
  }
  main.CloseAllChildScreens();
  return seconds;
}

// The same fit through StartFit on this thread.
double DirectFit(const std::string& text, uint64_t& evaluations) {
  FitRequest request = bench::TableRequest(text, true, false);
  request.name = "bench";
  FitSession s;
  QuietHost host;
  const auto start = std::chrono::steady_clock::now();
  FitRun run = StartFit(s, request, &host);
  const double seconds = Seconds(std::chrono::steady_clock::now() - start);
  evaluations = run.counts.evaluations;
  return seconds;
}

void Ratio(benchmark::State& state, bool busy) {
  const std::string text = bench::ReferenceTable("fertilizer-3x11.tsv");
  GridTable g = GridFromRows(SplitGridText(text, kSpreadsheetFormat), 100, 4);
  const BaiyoRecord record{"bench", g.ToGridText(), true};
  QTemporaryDir tmp;
  std::unique_ptr<bench::BusyNeighbour> neighbour;
  if (busy) neighbour = std::make_unique<bench::BusyNeighbour>(900);
  double screenTotal = 0, directTotal = 0, stopWorst = 0;
  uint64_t screenEvals = 0, directEvals = 0;
  for (auto _ : state) {
    bool ok = false;
    screenTotal += ScreenFit(record, tmp.path(), screenEvals, ok);
    if (!ok) state.SkipWithError("the fit did not reach the results screen");
    directTotal += DirectFit(text, directEvals);
    if (screenEvals != directEvals) state.SkipWithError("the two paths made different fits");
    double stop = 0;
    uint64_t ignored = 0;
    ScreenFit(record, tmp.path(), ignored, ok, true, &stop);
    if (!ok) state.SkipWithError("中止 did not end the fit");
    stopWorst = std::max(stopWorst, stop);
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["screen_s"] = screenTotal / n;
  state.counters["direct_s"] = directTotal / n;
  state.counters["ratio"] = directTotal > 0 ? screenTotal / directTotal : 0;
  state.counters["evaluations"] = static_cast<double>(screenEvals);
  state.counters["stop_worst_s"] = stopWorst;
}

void BM_LabScreenFitFertilizerRatio(benchmark::State& state) { Ratio(state, false); }
void BM_LabScreenFitFertilizerRatioBusyNeighbour(benchmark::State& state) { Ratio(state, true); }

BENCHMARK(BM_LabScreenFitFertilizerRatio)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();
BENCHMARK(BM_LabScreenFitFertilizerRatioBusyNeighbour)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();

}  // namespace
}  // namespace kelvora

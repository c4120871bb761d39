// The field fit as a user runs it: "⑩ パラメータ算出" pressed on the field
// screen with a one-year burial, until the results screen is open (offscreen
// windows, the fit on its worker thread, the progress window included).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDialog>
#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "screens/dialogs.h"
#include "screens/hojyobaiyo_form.h"
#include "screens/mdiform1.h"
#include "store/grid_text.h"
#include "store/hensuu.h"

namespace kelvora {
namespace {

// Every question answered yes, nothing else expected.
class QuietDialogs : public Dialogs {
 public:
  int unexpected = 0;
  void Message(QWidget*, const QString&, const QString&, Icon) override { ++unexpected; }
  bool YesNo(QWidget*, const QString&, const QString&) override { return true; }
  int Exec(QDialog&) override {
    ++unexpected;
    return QDialog::Rejected;
  }
  QAction* Popup(QMenu&, const QPoint&) override { return nullptr; }
  QString SaveFileName(QWidget*, const QString&, const QString&, const QString&) override {
    return {};
  }
};

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void RunFromScreen(benchmark::State& state, const char* table, bool fertilizer) {
  const std::string text = ReadFile(std::string(KELVORA_BENCH_DIR) + "/" + table);
  GridTable g = GridFromRows(SplitGridText(text, kSpreadsheetFormat), 2, 3);
  const HojyoRecord record{"bench", g.ToGridText(), fertilizer};
  QTemporaryDir tmp;
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
    screen->Command5->click();
    state.PauseTiming();
    if (store.ParaCount() != 1 || !main.FindScreen(Screen::ParaKekka_Form0_1) ||
        dialogs.unexpected) {
      state.SkipWithError("the fit did not reach the results screen");
    }
    main.CloseAllChildScreens();
    state.ResumeTiming();
  }
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

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

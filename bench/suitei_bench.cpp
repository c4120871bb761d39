// The estimation screen's "④ 計算" for 10 parameter sets over 10 series of
// ten years (100 estimations of 3 653 days) in one press, as a user runs it:
// every pair estimated and checked, 100 records appended, the last one shown.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDate>
#include <QTemporaryDir>
#include <cmath>
#include <filesystem>

#include "screens/dialogs.h"
#include "screens/mdiform1.h"
#include "screens/suitei_form.h"
#include "store/grid_text.h"
#include "store/hensuu.h"
#include "store/number_text.h"

namespace {

using namespace kelvora;

// Messages would mean the run was refused: counted, never shown.
class CountingDialogs : public Dialogs {
 public:
  int messages = 0;
  void Message(QWidget*, const QString&, const QString&, Icon) override { ++messages; }
  bool YesNo(QWidget*, const QString&, const QString&) override { return false; }
  int Exec(QDialog&) override { return 0; }
  QAction* Popup(QMenu&, const QPoint&) override { return nullptr; }
  QString SaveFileName(QWidget*, const QString&, const QString&, const QString&) override {
    return {};
  }
  QString OpenFileName(QWidget*, const QString&, const QString&, const QString&) override {
    return {};
  }
};

TionRecord TenYears(int site) {
  std::vector<std::vector<std::string>> rows{{"年/月/日", "地温(℃)"}};
  const QDate first(2010, 1, 1);
  for (int d = 0; d < 3653; ++d) {
    const double t = 14 + 11 * std::sin((d - 100 + site * 7) * 2 * M_PI / 365.0);
    rows.push_back({first.addDays(d).toString(QStringLiteral("yyyy/MM/dd")).toStdString(),
                    d % 400 == 17 ? std::string() : FormatFixed(t, 1)});
  }
  return TionRecord{"地点" + std::to_string(site), JoinGridText(rows)};
}

ParaRecord Set(int i) {
  static const ParaRecord kinds[] = {
      {"", 1, {17000, 0.022f, 11.5f, 0.9f, 0, 0, 0}, 0, 0, false, 25},
      {"", 2, {19000, 13000, 0.016f, 0.012f, 5, 10, 0.8f}, 0, 0, false, 25},
      {"", 3, {19000, 480, 0.032f, 0.007f, 10.5f, 2.6f, 1.6f}, 0, 0, false, 20},
      {"", 4, {18800, 0.019f, 115, -14.7f, 0, 0, 0}, 0, 0, false, 25},
      {"", 5, {15000, 0.05f, 93, 29.3f, 22000, 0, 0}, 0, 0, false, 25},
      {"", 6, {15000, 0.032f, 95, 27.9f, 16000, 1.05f, 0}, 0, 0, false, 30},
  };
  ParaRecord p = kinds[i % 6];
  p.SoilName = "試料" + std::to_string(i);
  return p;
}

void BM_SuiteiTenByTenYears(benchmark::State& state) {
  QTemporaryDir tmp;
  hensuu store;
  for (int i = 0; i < 10; ++i) {
    store.ParaTable.Append(Set(i));
    store.TionTable.Append(TenYears(i));
  }
  CountingDialogs dialogs;
  MDIForm1 main(store, std::filesystem::path(tmp.path().toStdString()) / "Data", dialogs);
  main.resize(1366, 768);
  main.show();
  auto* screen = qobject_cast<Suitei_Form*>(main.OpenChildScreen(Screen::Suitei_Form));
  screen->Option2->click();
  screen->List1->selectAll();
  screen->List2->selectAll();
  QApplication::processEvents();
  for (auto _ : state) {
    screen->Command1->click();
    QApplication::processEvents();  // the repaint of the shown estimation
    state.PauseTiming();
    if (store.SuiteiCount() != 100 || dialogs.messages != 0) {
      state.SkipWithError("the estimation did not store 100 records");
      break;
    }
    store.SuiteiTable.Clear();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_SuiteiTenByTenYears)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

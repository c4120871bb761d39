// The nitrogen supply plan of 10 sources over 200 days (target: a recompute
// in 20 ms or less, so the screen recomputes as the user types): the
// computation alone, on the two-year reference series continued by a normal
// year, and the plan screen's recompute with its table and chart, as a
// keystroke in a conversion cell runs it.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTableWidget>
#include <QTemporaryDir>
#include <filesystem>

#include "bench_common.h"
#include "estimation_fixture.h"
#include "kinetics/supply.h"
#include "quiet_dialogs.h"
#include "screens/mdiform1.h"
#include "screens/supply_plan_form.h"
#include "store/grid_text.h"
#include "store/hensuu.h"

namespace {

using namespace kelvora;

const std::string kSeries = std::string(KELVORA_BENCH_DIR) + "/series-2y.tsv";
const std::string kRuns = std::string(KELVORA_BENCH_DIR) + "/series-2y.estimates.expected.json";

// The observed series up to 2007/08/31 and the 2006 temperatures as the
// normal year, so that the plan's last 60 days are forecast days.
struct PlanData {
  TionRecord observed;
  TionRecord normal;
  std::vector<ParaRecord> sets;  // ten: the six reference sets, then four again
};

PlanData MakePlanData() {
  PlanData data;
  const TionRecord series = testing::SeriesFromTsv(kSeries, "観測");
  const std::vector<std::vector<std::string>> rows = SplitGridText(series.GridText);
  std::vector<std::vector<std::string>> observed(rows.begin(), rows.begin() + 1 + 365 + 243);
  std::vector<std::vector<std::string>> normal(rows.begin(), rows.begin() + 1 + 365);
  data.observed = {"観測", JoinGridText(observed)};
  data.normal = {"平年値", JoinGridText(normal)};
  const std::vector<testing::ReferenceRun> runs = testing::ReferenceRuns(kRuns);
  for (int i = 0; i < kMaxPlanSources; ++i) {
    ParaRecord p = runs[static_cast<size_t>(i % 6)].para;
    p.SoilName = "供給源" + std::to_string(i + 1);
    data.sets.push_back(p);
  }
  return data;
}

// 2007/04/15 ... 2007/10/31: 200 days; fertilizers applied on the first day
// and on later days.
SupplyInput PlanInput(const PlanData& data) {
  SupplyInput in;
  in.observedGrid = data.observed.GridText;
  in.normalGrid = data.normal.GridText;
  in.first = {2007, 4, 15};
  in.last = {2007, 10, 31};
  for (size_t i = 0; i < data.sets.size(); ++i) {
    PlanSource s;
    s.para = PlanCopyOf(data.sets[i]);
    s.kgPer10a = 4;
    s.applied = DateOfDayNumber(DayNumber(in.first) + static_cast<int64_t>(i) * 9);
    in.sources.push_back(s);
  }
  return in;
}

void BM_SupplyPlanTenSources200Days(benchmark::State& state) {
  const PlanData data = MakePlanData();
  const SupplyInput in = PlanInput(data);
  for (auto _ : state) {
    const SupplyResult r = ComputeSupply(in);
    if (!r.ok || r.days.size() != 200) {
      state.SkipWithError("the plan was not computed");
      break;
    }
    benchmark::DoNotOptimize(r.days.back().total);
  }
}
BENCHMARK(BM_SupplyPlanTenSources200Days)->Unit(benchmark::kMillisecond)->UseRealTime();

// The screen's recompute after an edit of a cell: the plan, the table of
// 200 days and 14 columns, the chart of 11 lines with the forecast shaded.
void BM_SupplyPlanScreenRecompute(benchmark::State& state) {
  const PlanData data = MakePlanData();
  QTemporaryDir tmp;
  hensuu store;
  store.TionTable.Append(data.observed);
  store.TionTable.Append(data.normal);
  for (const ParaRecord& p : data.sets) store.ParaTable.Append(p);
  const SupplyInput in = PlanInput(data);
  store.SekkeiTable.Append(
      {"計画", "観測", 1, "平年値", 2, "2007/04/15", "2007/10/31", PlanSourcesText(in.sources)});
  bench::QuietDialogs dialogs;
  MDIForm1 main(store, std::filesystem::path(tmp.path().toStdString()) / "Data", dialogs);
  main.resize(1366, 768);
  main.show();
  auto* screen = qobject_cast<SupplyPlanForm*>(main.OpenChildScreen(Screen::SupplyPlan));
  QApplication::processEvents();
  int edits = 0;
  for (auto _ : state) {
    // As typing into a conversion cell does: the cell changes, the plan is
    // computed again and shown, the window repaints.
    screen->SourceTable->item(0, SupplyPlanForm::kKgCol)
        ->setText(edits++ % 2 ? QStringLiteral("4") : QStringLiteral("4.5"));
    QApplication::processEvents();
    if (!screen->Problem().isEmpty() || screen->Result().days.size() != 200 ||
        dialogs.unexpected != 0) {
      state.SkipWithError("the plan was not computed");
      break;
    }
  }
}
BENCHMARK(BM_SupplyPlanScreenRecompute)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

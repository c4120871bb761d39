// The batch of many records: each record's result against the same table
// fitted alone (and the reference tables' independent results), the order in
// which results are handed over, "中止", the bound on what a batch holds, the
// parameter set stored for a chosen model, and the shared processor budget
// with the Gaussian model's helper thread. The Parallel.* tests also run in
// the ThreadSanitizer build.
#include "kinetics/batch_fit.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "fit_test_util.h"
#include "kinetics/batch_export.h"
#include "kinetics/model_kind.h"
#include "kinetics/parallel.h"
#include "mini_json.h"
#include "reference_check.h"
#include "store/hensuu.h"

namespace kelvora {
namespace {

using testing::FittedReference;
using testing::kReferenceFits;
using testing::ParseJson;
using testing::ReadFile;
using testing::ReferenceFit;

std::string Bench(const std::string& name) {
  return ReadFile(std::string(KELVORA_BENCH_DIR) + "/" + name);
}

// A reference table stored as the data screens store it.
BaiyoRecord LabRecord(const std::string& tsv, bool fertilizer, const std::string& name = "試料") {
  return {name, testing::TableGrid(tsv, 100, 4).ToGridText(), fertilizer};
}
HojyoRecord FieldRecord(const std::string& tsv, bool fertilizer, const std::string& name = "試料") {
  return {name, GridFromRows(SplitGridText(tsv, kSpreadsheetFormat), 2, 3).ToGridText(),
          fertilizer};
}

// Everything a finished fit holds that the screens, the exports and the
// stored record read.
void ExpectSameFit(const FitSession& got, const FitSession& want) {
  testing::ExpectFitUnchanged(got, want);
  EXPECT_EQ(got.obsCount, want.obsCount);
  EXPECT_EQ(got.chartRows, want.chartRows);
  EXPECT_EQ(got.bestModelName, want.bestModelName);
  ASSERT_EQ(got.chartTable.size(), want.chartTable.size());
  for (size_t i = 0; i < got.chartTable.size(); ++i) {
    EXPECT_EQ(got.chartTable[i].observed, want.chartTable[i].observed) << i;
    ASSERT_EQ(got.chartTable[i].adjTime.has_value(), want.chartTable[i].adjTime.has_value());
    if (got.chartTable[i].adjTime) {
      EXPECT_EQ(got.chartTable[i].adjTime->value, want.chartTable[i].adjTime->value) << i;
    }
  }
}

// The results of a batch, kept as they came.
struct Collected {
  std::vector<BatchRecordResult> results;
  BatchTotals totals;
};

Collected RunAll(const std::vector<FitRequest>& requests, BatchOptions options,
                 BatchControl* control = nullptr) {
  Collected c;
  c.totals = RunBatchFit(
      requests.size(), [&](size_t i) { return requests[i]; },
      [&](BatchRecordResult&& r) { c.results.push_back(std::move(r)); }, options, control);
  return c;
}

// The records of a season in one batch, two at a time: a coated fertilizer
// (the slowest by far, so the soils after it are done first and wait), a
// soil, a field soil, a record with an empty table, one whose model 2 fails,
// and one with an impossible incubation temperature. Each fitted record is
// the reference table's own result to the last bit, as fitted alone.
TEST(BatchFit, EveryRecordIsTheSingleFitOfItsTableInRecordOrder) {
  const std::string soil = Bench("soil-3x10.tsv");
  std::string frozen = soil;
  frozen.replace(frozen.find("\t15\t"), 4, "\t-300\t");
  std::vector<FitRequest> requests = {
      LabRecordRequest(LabRecord(Bench("fertilizer-3x11.tsv"), true), "25"),
      LabRecordRequest(LabRecord(soil, false), "25"),
      FieldRecordRequest(FieldRecord(Bench("field-soil-1y.tsv"), false), "25"),
      LabRecordRequest(BaiyoRecord{"空", "", false}, "25"),
      LabRecordRequest(LabRecord(soil, false, "失敗"), "25"),
      LabRecordRequest(LabRecord(frozen, false, "凍結"), "25"),
  };
  // Model 2 started from a k1 whose exponentials overflow.
  requests[4].initialValues[2] = std::vector<float>{10000, 15000, -1000, 0.005f, 2, 5, 0.5f};
  BatchOptions options;
  options.jobs = 2;
  options.refinement = false;  // the command-line tests compare the refinement
  Collected c = RunAll(requests, options);

  ASSERT_EQ(c.results.size(), requests.size());
  for (size_t i = 0; i < c.results.size(); ++i) EXPECT_EQ(c.results[i].index, i);
  EXPECT_EQ(c.totals.fitted, 3u);
  EXPECT_EQ(c.totals.invalid, 2u);
  EXPECT_EQ(c.totals.failed, 1u);
  EXPECT_EQ(c.totals.jobs, std::min(2, SharedProcessors().Processors()));

  // The fertilizer against the independent reference results.
  ASSERT_TRUE(c.results[0].ok()) << c.results[0].message;
  testing::ExpectFitMatchesReference(c.results[0].session,
                                     ParseJson(Bench("fertilizer-3x11.expected.json")));
  // The soils against the same tables fitted alone.
  const std::pair<size_t, ReferenceFit> alone[] = {{1, kReferenceFits[0]}, {2, kReferenceFits[2]}};
  for (const auto& [i, ref] : alone) {
    SCOPED_TRACE(ref.base);
    const BatchRecordResult& r = c.results[i];
    ASSERT_TRUE(r.ok()) << r.message;
    const FitSession& single = FittedReference(ref);
    ExpectSameFit(r.session, single);
    testing::ExpectFitMatchesReference(r.session,
                                       ParseJson(Bench(std::string(ref.base) + ".expected.json")));
    EXPECT_EQ(r.run.record, MakeParaRecord(single, single.bestModel));
    ASSERT_TRUE(r.stats.models[single.bestModel].has_value());
  }

  EXPECT_EQ(c.results[3].status, BatchStatus::Invalid);
  EXPECT_EQ(c.results[3].message, "培養結果を記入して下さい");
  EXPECT_EQ(c.results[4].status, BatchStatus::Failed);
  EXPECT_EQ(c.results[4].failedModel, 2);
  EXPECT_EQ(c.results[4].message, "単純並行型: パラメータの解が求まりませんでした");
  EXPECT_EQ(c.results[4].session.params[1], FittedReference(kReferenceFits[0]).params[1]);
  EXPECT_EQ(c.results[5].status, BatchStatus::Invalid);
  EXPECT_EQ(c.results[5].message,
            "表の1行2列目の培養温度「-300」が-273℃以下です。"
            "培養温度に-273℃より高い温度を記入して下さい。");

  // What the summary keeps is enough to store any model as the results screen
  // would, and to show the record's results screen again without a fit.
  for (size_t i : {size_t{1}, size_t{2}}) {
    const BatchRecordResult& r = c.results[i];
    const BatchRow row = KeepBatchRow(r, static_cast<int16_t>(i + 1), true);
    ASSERT_EQ(row.models.size(), 3u);
    EXPECT_EQ(row.best, r.session.bestModel);
    for (int16_t m : MaterialModels(r.session.material)) {
      // The results screen rewrites the fit's record with the chosen model;
      // slots beyond that model's keep the best model's values.
      ParaRecord screen = MakeParaRecord(r.session, r.session.bestModel);
      StoreModelInRecord(screen, r.session, m);
      EXPECT_EQ(BatchStoredRecord(row, m), screen) << "model " << m;
    }
    ASSERT_TRUE(row.fitted.has_value());
    std::optional<FitSession> shown = RestoreBatchSession(requests[i], *row.fitted);
    ASSERT_TRUE(shown.has_value());
    ExpectSameFit(*shown, r.session);
  }
}

// A model chosen over the best one keeps the best one's later slots, as the
// results screen does: model 1 (four slots) after model 2 (seven).
TEST(BatchFit, StoredRecordOfAnotherModelKeepsTheLaterSlotsOfTheBest) {
  BatchRow row;
  row.status = BatchStatus::Fitted;
  row.best = 2;
  row.bestRecord.SoilName = "試料";
  row.bestRecord.ModelNo = 2;
  row.bestRecord.Param = {1, 2, 3, 4, 5, 6, 7};
  row.bestRecord.Aic = 20;
  row.bestRecord.Rss = 2;
  row.bestRecord.StdTemp = 25;
  row.models.resize(2);
  row.models[0].model = 1;
  row.models[0].values = {10, 20, 30, 40};
  row.models[0].rss = 1.5f;
  row.models[0].aic = 21;
  row.models[1].model = 2;
  row.models[1].values = {1, 2, 3, 4, 5, 6, 7};
  row.models[1].rss = 2;
  row.models[1].aic = 20;
  const ParaRecord rec = BatchStoredRecord(row, 1);
  EXPECT_EQ(rec.ModelNo, 1);
  EXPECT_EQ(rec.Param, (std::array<float, 7>{10, 20, 30, 40, 5, 6, 7}));
  EXPECT_EQ(rec.Aic, 21);
  EXPECT_EQ(rec.Rss, 1.5f);
  EXPECT_EQ(rec.SoilName, "試料");
  EXPECT_EQ(rec.StdTemp, 25);
  EXPECT_EQ(BatchStoredRecord(row, 2), row.bestRecord);
}

// A whole table of 32 767 records (empty ones, each refused at once): every
// one is handed over in order, and a record starts only while fewer than the
// look-ahead are done ahead of the first one not yet handed over, so what the
// batch holds does not grow with the record count.
TEST(BatchFit, AFullTableIsHandedOverInOrderHoldingNoMoreThanTheLookAhead) {
  const size_t count = kMaxRecords;
  BatchOptions options;
  options.jobs = 2;
  options.lookahead = 8;
  std::atomic<size_t> handed{0};
  std::atomic<size_t> beyond{0};
  size_t expected = 0;
  bool inOrder = true;
  BatchTotals totals = RunBatchFit(
      count,
      [&](size_t i) {
        if (i >= handed.load() + options.lookahead) beyond.fetch_add(1);
        return LabRecordRequest(BaiyoRecord{}, "25");
      },
      [&](BatchRecordResult&& r) {
        inOrder = inOrder && r.index == expected;
        ++expected;
        handed.fetch_add(1);
      },
      options);
  EXPECT_TRUE(inOrder);
  EXPECT_EQ(expected, count);
  EXPECT_EQ(totals.invalid, count);
  EXPECT_EQ(beyond.load(), 0u);
}

// The results table of a batch: a row per record and model, the parameters
// under their names, the best model marked, and a record that was not fitted
// with its message.
TEST(BatchFit, SheetHasARowPerRecordAndModel) {
  const FitSession& s = FittedReference(kReferenceFits[0]);
  BatchRecordResult fitted;
  fitted.name = "試料";
  fitted.status = BatchStatus::Fitted;
  fitted.session = s;
  fitted.run.record = MakeParaRecord(s, s.bestModel);
  fitted.stats = ComputeFitStats(s);
  BatchRecordResult invalid;
  invalid.index = 1;
  invalid.name = "空";
  invalid.status = BatchStatus::Invalid;
  invalid.message = "培養結果を記入して下さい";
  const std::vector<BatchRow> rows = {KeepBatchRow(fitted, 3, false),
                                      KeepBatchRow(invalid, 7, false)};
  const std::vector<int16_t> chosen = {1, 0};
  const Sheet sheet = BatchSheet(rows, &chosen);
  ASSERT_EQ(sheet.rows.size(), 1u + 3u + 1u);
  const std::vector<SheetCell>& header = sheet.rows[0];
  auto column = [&](const std::string& name) {
    for (size_t c = 0; c < header.size(); ++c) {
      if (header[c].text == name) return c;
    }
    ADD_FAILURE() << name;
    return size_t{0};
  };
  for (int16_t m = 1; m <= 3; ++m) {
    const std::vector<SheetCell>& row = sheet.rows[m];
    EXPECT_EQ(row[column("記録")].number, 3);
    EXPECT_EQ(row[column("モデル")].text, ModelName(m));
    const std::vector<std::string>& names = ParamNames(m);
    const std::vector<float> values = RecordParams(s, m);
    for (size_t k = 0; k < names.size(); ++k) {
      EXPECT_EQ(static_cast<float>(row[column(names[k])].number), values[k]) << names[k];
    }
    EXPECT_EQ(static_cast<float>(row[column("AIC")].number), s.aic[m]);
    EXPECT_EQ(static_cast<float>(row[column("残差平方和")].number), s.rss[m]);
    EXPECT_EQ(row[column("R²")].number, *fitted.stats.models[m]->lsq.r2);
    EXPECT_EQ(row[column("最適")].text, m == s.bestModel ? "○" : "");
    EXPECT_EQ(row[column("選択")].text, m == 1 ? "○" : "");
  }
  EXPECT_EQ(sheet.rows[4][column("名前")].text, "空");
  EXPECT_EQ(sheet.rows[4][column("モデル")].kind, SheetCell::Kind::Empty);
  EXPECT_EQ(sheet.rows[4][column("注意")].text, "培養結果を記入して下さい");
}

// ---- Threads (also under ThreadSanitizer) -----------------------------------------

// Soil records on two jobs and on one: the same results, to the last bit, as
// the table fitted alone, handed over in order; the progress shows what runs.
TEST(Parallel, BatchOfSoilsOnTwoJobsIsTheSameAsOnOne) {
  const BaiyoRecord soil = LabRecord(Bench("soil-3x10.tsv"), false);
  const std::vector<FitRequest> requests(3, LabRecordRequest(soil, "25"));
  BatchOptions options;
  options.statistics = false;
  options.refinement = false;
  options.lookahead = 1;
  const FitSession& single = FittedReference(kReferenceFits[0]);
  for (int jobs : {2, 1}) {
    SCOPED_TRACE(jobs);
    options.jobs = jobs;
    BatchControl control;
    std::atomic<bool> sawRunning{false};
    std::thread watcher([&] {
      // Reads the progress while the batch runs, as a window's timer does.
      while (control.Snapshot().done < requests.size()) {
        if (!control.Snapshot().running.empty()) sawRunning.store(true);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
    });
    Collected c = RunAll(requests, options, &control);
    watcher.join();
    ASSERT_EQ(c.results.size(), requests.size());
    for (size_t i = 0; i < c.results.size(); ++i) {
      EXPECT_EQ(c.results[i].index, i);
      ASSERT_TRUE(c.results[i].ok());
      ExpectSameFit(c.results[i].session, single);
    }
    EXPECT_EQ(control.Snapshot().total, requests.size());
    EXPECT_TRUE(control.Snapshot().running.empty());
    EXPECT_TRUE(sawRunning.load());
  }
}

// "中止" while the first record runs (pressed as the second one is taken
// up): the running fits end as stopped, unless done already, no record
// starts any more, and every record started is handed over in order.
TEST(Parallel, BatchStopEndsTheRunningFitsAndStartsNoMore) {
  const BaiyoRecord soil = LabRecord(Bench("soil-3x10.tsv"), false);
  const std::vector<FitRequest> requests(6, LabRecordRequest(soil, "25"));
  BatchOptions options;
  options.jobs = 2;
  options.statistics = false;
  options.refinement = false;
  BatchControl control;
  std::vector<BatchRecordResult> results;
  const BatchTotals totals = RunBatchFit(
      requests.size(),
      [&](size_t i) {
        if (i == 1) control.Stop();
        return requests[i];
      },
      [&](BatchRecordResult&& r) { results.push_back(std::move(r)); }, options, &control);
  ASSERT_EQ(results.size(), 2u);
  for (size_t i = 0; i < results.size(); ++i) EXPECT_EQ(results[i].index, i);
  EXPECT_TRUE(results[0].ok() || results[0].status == BatchStatus::Stopped);
  EXPECT_EQ(results[1].status, BatchStatus::Stopped);
  EXPECT_EQ(results[1].message, "中止しました");
  EXPECT_EQ(totals.fitted + totals.stopped, 2u);
  EXPECT_TRUE(control.Snapshot().running.empty());
}

// The budget hands out no more turns than it has, serves waiting threads in
// the order they came, and lends the Gaussian model's helper thread a turn
// only when one is free: with every turn taken, both halves of the work run
// on the calling thread.
TEST(Parallel, BatchBudgetServesInOrderAndLendsTheHelperOnlyAFreeTurn) {
  ProcessorBudget budget(1);
  budget.Acquire();
  EXPECT_FALSE(budget.TryAcquire());
  std::vector<int> order;
  std::mutex orderMutex;
  auto waiter = [&](int who) {
    budget.Acquire();
    {
      std::lock_guard<std::mutex> lock(orderMutex);
      order.push_back(who);
    }
    budget.Release();
  };
  std::thread first(waiter, 1);
  while (budget.Waiting() < 1) std::this_thread::yield();
  std::thread second(waiter, 2);
  while (budget.Waiting() < 2) std::this_thread::yield();
  EXPECT_FALSE(budget.TryAcquire());  // those waiting come first
  budget.Release();
  first.join();
  second.join();
  EXPECT_EQ(order, (std::vector<int>{1, 2}));
  EXPECT_EQ(budget.Free(), 1);

  ProcessorBudget& shared = SharedProcessors();
  for (int i = 0; i < shared.Processors(); ++i) shared.Acquire();
  std::thread::id ranA, ranB;
  RunBoth([&] { ranA = std::this_thread::get_id(); }, [&] { ranB = std::this_thread::get_id(); });
  EXPECT_EQ(ranA, std::this_thread::get_id());
  EXPECT_EQ(ranB, std::this_thread::get_id());
  for (int i = 0; i < shared.Processors(); ++i) shared.Release();
  EXPECT_EQ(shared.Free(), shared.Processors());
}

}  // namespace
}  // namespace kelvora

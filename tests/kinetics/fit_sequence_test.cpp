#include "kinetics/fit_sequence.h"

#include <gtest/gtest.h>

#include <cmath>

#include "fit_test_util.h"
#include "kinetics/curves.h"
#include "kinetics/fit_driver.h"
#include "kinetics/model_kind.h"
#include "mini_json.h"
#include "reference_check.h"
#include "store/hensuu.h"

namespace kelvora {
namespace {

using testing::Json;
using testing::RecordingHost;
using testing::TableGrid;

FitRequest LabRequest(const std::string& table, const std::string& ts, bool fertilizer,
                      const std::string& name = "試料") {
  FitRequest r;
  r.table = TableGrid(table, 100, 4);
  r.standardTemp = ts;
  r.isFertilizer = fertilizer;
  r.name = name;
  return r;
}

// The fit as a data screen runs it: the record it chose goes into the store.
FitRun Fit(FitSession& s, hensuu& store, FitRequest& request, FitHost* host) {
  FitRun run = StartFit(s, request, host);
  if (run.outcome == FitOutcome::Completed) store.ParaTable.Append(run.record);
  return run;
}

// The reference tables were fitted by an independent implementation of the
// same rules: every single must agree to the last bit.
void CheckAgainstReference(const std::string& base, bool fertilizer) {
  std::string dir = KELVORA_BENCH_DIR;
  FitRequest req = LabRequest(testing::ReadFile(dir + "/" + base + ".tsv"), "25", fertilizer);
  Json expected = testing::ParseJson(testing::ReadFile(dir + "/" + base + ".expected.json"));
  FitSession s;
  hensuu store;
  RecordingHost host;
  FitRun run = Fit(s, store, req, &host);
  ASSERT_EQ(run.outcome, FitOutcome::Completed) << run.message;
  testing::ExpectFitMatchesReference(s, expected);
  ASSERT_EQ(store.ParaCount(), 1);
  const ParaRecord& rec = store.ParaTable(1);
  EXPECT_EQ(rec.ModelNo, s.currentModel);
  EXPECT_EQ(rec.Aic, s.aic[s.currentModel]);
  EXPECT_EQ(rec.StdTemp, 25.0f);
  EXPECT_EQ(rec.SoilName, "試料");
  EXPECT_EQ(s.source, FitSource::Laboratory);
}

TEST(FitSequence, SoilReferenceTableToTheLastBit) { CheckAgainstReference("soil-3x10", false); }

TEST(FitSequence, FertilizerReferenceTableToTheLastBit) {
  CheckAgainstReference("fertilizer-3x11", true);
}

TEST(FitSequence, ProgressTextsInOrder) {
  FitRequest req =
      LabRequest(testing::ReadFile(std::string(KELVORA_BENCH_DIR) + "/soil-3x10.tsv"), "25", false);
  FitSession s;
  hensuu store;
  RecordingHost host;
  Fit(s, store, req, &host);
  std::vector<std::string> expected{
      "単純型の|初期値を計算しています|しばらくお待ち下さい",
      "単純並行型の|初期値を計算しています|しばらくお待ち下さい",
      "有機化無機化並行型の|初期値を計算しています|しばらくお待ち下さい",
      "単純型の|パラメータを計算しています|しばらくお待ち下さい",
      "単純並行型の|パラメータを計算しています|しばらくお待ち下さい",
      "有機化無機化並行型の|パラメータを計算しています|しばらくお待ち下さい"};
  EXPECT_EQ(host.progress, expected);
}

TEST(FitSequence, ChecksShowTheLastFailingTableMessage) {
  struct Case {
    const char* table;
    const char* ts;
    const char* message;
  } cases[] = {
      {"培養日数\t20\t25\t30\n", "25", "培養結果を記入して下さい"},
      {"培養日数\t20\t\t30\n0\t1\t1\t1\n7\t2\t2\t2\n", "25",
       "表の１行目に培養温度を記入して下さい"},
      // Letters in a header are cleaned away first, so the header is empty.
      {"培養日数\t20\tabc\t30\n0\t1\t1\t1\n", "25", "表の１行目に培養温度を記入して下さい"},
      {"培養日数\t20\t25\t30\n0\t1\t1\t1\n1\t1\t1\t1\n2\t1\t1\t1\n3\t1\t1\t1\n4\t1\t1\t1\n\t2\n",
       "25", "表の１列目に培養日数をすべて記入して下さい"},
      // An empty header and a missing day: only the day message.
      {"培養日数\t\t25\t30\n0\t1\t1\t1\n\t2\t2\t2\n", "25",
       "表の１列目に培養日数をすべて記入して下さい"},
      {"培養日数\t20\t25\t30\n0\t1\t1\t1\n", "", "標準温度を記入して下さい"},
      {"培養日数\t20\t25\t30\n0\t1\t1\t1\n", "abc", "標準温度に数字を記入して下さい"},
      // At or below absolute zero (-273 °C here) no temperature exists.
      {"培養日数\t20\t25\t30\n0\t1\t1\t1\n", "-273", "標準温度に-273℃より高い温度を記入して下さい"},
      {"培養日数\t20\t25\t30\n0\t1\t1\t1\n", "－３００",
       "標準温度に-273℃より高い温度を記入して下さい"},
      // The standard temperature is only looked at once the table passes.
      {"培養日数\t\t25\t30\n0\t1\t1\t1\n", "", "表の１行目に培養温度を記入して下さい"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.table);
    FitRequest req = LabRequest(c.table, c.ts, false);
    FitSession s;
    s.sampleName = "前の試料";
    hensuu store;
    RecordingHost host;
    FitRun run = Fit(s, store, req, &host);
    EXPECT_EQ(run.outcome, FitOutcome::Invalid);
    EXPECT_EQ(run.message, c.message);
    EXPECT_TRUE(host.progress.empty());   // no progress window
    EXPECT_EQ(s.sampleName, "前の試料");  // the session keeps its earlier data
    EXPECT_EQ(store.ParaCount(), 0);
  }
}

TEST(FitSequence, CaptureCountsRowsAndObservations) {
  // Column 2 is empty, column 3 has a gap; the header of column 2 still
  // counts. "1.50" is cleaned to "1.5".
  FitRequest req =
      LabRequest("培養日数\t20\t25\t30\n0\t1.50\t\t1\n7\t2\t\t\n14\t3\t\t4\n", "25", false);
  FitSession s;
  ASSERT_FALSE(PrepareFit(s, req).has_value());
  EXPECT_EQ(req.table.Cell(1, 1), "1.5");
  EXPECT_EQ(s.colRows, (std::array<int16_t, 4>{0, 3, 0, 3}));
  EXPECT_EQ(s.colObsCount, (std::array<int16_t, 4>{0, 3, 0, 2}));
  EXPECT_EQ(s.rowCount, 3);
  EXPECT_EQ(s.dayList[3], 14.0f);
  EXPECT_EQ(s.tempText[2], "25");
  EXPECT_EQ(s.observed[3][2], "");
  EXPECT_EQ(s.standardTemp, 25.0f);
}

TEST(FitSequence, NameTheDataFilesCannotHoldIsRefused) {
  FitRequest req = LabRequest("培養日数\t20\t25\t30\n0\t1\t1\t1\n", "25", false, "土壌😀");
  FitSession s;
  std::optional<std::string> m = PrepareFit(s, req);
  ASSERT_TRUE(m.has_value());
  EXPECT_NE(m->find("土壌😀"), std::string::npos);
}

TEST(FitSequence, FlatFertilizerGridKeepsTheFirstPoint) {
  // Every observation on day 0: every candidate gives the same residual sum.
  FitRequest req = LabRequest("培養日数\t15\t20\t30\n0\t1\t2\t3\n", "25", true);
  FitSession s;
  ASSERT_FALSE(PrepareFit(s, req).has_value());
  EXPECT_EQ(InitialGridSearch(s, 4), (std::vector<float>{10000, 0.02f, 100, 0}));
}

TEST(FitSequence, SigmaTieKeepsOneAndEqualAicKeepsTheEarlierModel) {
  // Only day -1: the Gaussian model has no terms, whatever sigma.
  FitRequest req = LabRequest("培養日数\t15\t20\t30\n-1\t1\t2\t3\n", "25", true);
  FitSession s;
  hensuu store;
  RecordingHost host;
  FitRun run = Fit(s, store, req, &host);
  ASSERT_EQ(run.outcome, FitOutcome::Completed);
  EXPECT_EQ(s.params[6], (std::vector<float>{1}));
  EXPECT_EQ(s.initialParams[6], (std::vector<float>{1}));
  // Nothing improves: the ratio shrinks 0.1, 0.02, ... until the step of
  // sigma = 1 would fall under the floor (7 shrinks), then one sweep repeats.
  EXPECT_EQ(s.sweeps[6], 9);

  s.aic[4] = 10;
  s.aic[5] = 10;
  s.aic[6] = 10;
  ChooseBestModel(s);
  EXPECT_EQ(s.currentModel, 4);
  s.aic[6] = 9.999999f;
  ChooseBestModel(s);
  EXPECT_EQ(s.currentModel, 6);
  EXPECT_EQ(s.bestModelName, "シグモイド肥料ガウス補正型");
}

TEST(FitSequence, RecordSlotsOfTheModelsAndTheBestModelByNumber) {
  FitSession s;
  s.material = MaterialKind::CoatedFertilizer;
  s.sampleName = "A\"B";
  s.standardTemp = 20;
  s.params[4] = {10000, 0.02f, 100, 1};
  s.params[5] = {15000, 0.05f, 90, 30, 16000};
  s.params[6] = {2.5f};
  s.aic = {0, 0, 0, 0, 5, 4, 4};
  s.rss = {0, 0, 0, 0, 0.5f, 0.25f, 0.125f};
  // The Gaussian model fills slot 1-5 with the SigmoidFert values, then sigma.
  EXPECT_EQ(RecordParams(s, 6), (std::vector<float>{15000, 0.05f, 90, 30, 16000, 2.5f}));
  EXPECT_EQ(RecordParams(s, 4), s.params[4]);
  ParaRecord r = MakeParaRecord(s, 6);
  EXPECT_EQ(r.SoilName, "A＂B");
  EXPECT_EQ(r.ModelNo, 6);
  EXPECT_EQ(r.Param, (std::array<float, 7>{15000, 0.05f, 90, 30, 16000, 2.5f, 0}));
  EXPECT_EQ(r.Aic, 4.0f);
  EXPECT_EQ(r.Rss, 0.125f);
  EXPECT_EQ(r.StdTemp, 20.0f);
  EXPECT_FALSE(r.IsManual);
  // Another model written into the same record keeps the slots beyond its own.
  r.IsManual = true;
  StoreModelInRecord(r, s, 4);
  EXPECT_EQ(r.ModelNo, 4);
  EXPECT_EQ(r.Param, (std::array<float, 7>{10000, 0.02f, 100, 1, 16000, 2.5f, 0}));
  EXPECT_EQ(r.Aic, 5.0f);
  EXPECT_EQ(r.Rss, 0.5f);
  EXPECT_FALSE(r.IsManual);
  // Models 5 and 6 tie: the earlier one is best, by its number.
  ChooseBestModel(s);
  EXPECT_EQ(s.bestModel, 5);
  EXPECT_EQ(s.currentModel, 5);
  EXPECT_EQ(s.bestModelName, "シグモイド肥料型");
}

TEST(FitSequence, PerfectFitAicIsFiniteAndWins) {
  const float tiny = std::numeric_limits<float>::denorm_min();
  for (int16_t n : {1, 5, 33, 300}) {
    float perfect14 = Aic(n, 0.0f, 14);
    float perfect8 = Aic(n, 0.0f, 8);
    EXPECT_TRUE(std::isfinite(perfect14));
    EXPECT_LT(perfect14, Aic(n, tiny, 8));  // beats any imperfect fit
    EXPECT_LE(perfect8, perfect14);         // an earlier perfect fit keeps the lead
  }
  EXPECT_EQ(Aic(30, 1.7014089822769165f, 8), 23.943700790405273f);
}

TEST(FitSequence, RecoversKnownParameters) {
  // Data made from the simple model (Ea 18000, k 0.015, No 9, C 1.2) with a
  // small deterministic scatter.
  const double Ea = 18000, k = 0.015, No = 9, C = 1.2;
  const int temps[] = {15, 25, 35};
  const int days[] = {0, 7, 14, 28, 42, 56, 84, 112};
  std::string table = "培養日数\t15\t25\t30\n";
  table = "培養日数\t15\t25\t35\n";
  int n = 0;
  for (int d : days) {
    table += std::to_string(d);
    for (int T : temps) {
      double t = d * ArrheniusFactor(Ea, T, 25.0f);
      double v = No * (1 - std::exp(-k * t)) + C + 0.05 * std::sin(1.7 * ++n);
      char buf[32];
      std::snprintf(buf, sizeof buf, "\t%.2f", v);
      table += buf;
    }
    table += "\n";
  }
  FitRequest req = LabRequest(table, "25", false);
  FitSession s;
  hensuu store;
  RecordingHost host;
  ASSERT_EQ(Fit(s, store, req, &host).outcome, FitOutcome::Completed);
  EXPECT_NEAR(s.params[1][0], Ea, 0.05 * Ea);
  EXPECT_NEAR(s.params[1][1], k, 0.05 * k);
  EXPECT_NEAR(s.params[1][2], No, 0.05 * No);
  EXPECT_NEAR(s.params[1][3], C, 0.1);
  EXPECT_LT(s.rss[1], 0.1f);
}

FitSession PreparedSoil(hensuu&, RecordingHost& host) {
  FitRequest req =
      LabRequest(testing::ReadFile(std::string(KELVORA_BENCH_DIR) + "/soil-3x10.tsv"), "25", false);
  FitSession s;
  EXPECT_FALSE(PrepareFit(s, req).has_value());
  ChooseInitialValues(s, &host);
  return s;
}

TEST(FitSequence, CancelInTheFailedFitDialogStoresNothing) {
  hensuu store;
  RecordingHost host;
  FitSession s = PreparedSoil(store, host);
  s.params[2][2] = -1000;  // k1: exp(1000 t) overflows
  FitRun r = FitAllModels(s, &host);
  EXPECT_EQ(r.outcome, FitOutcome::Cancelled);
  EXPECT_TRUE(s.fitCancelled);
  EXPECT_EQ(host.failures, (std::vector<int16_t>{2}));
  EXPECT_EQ(store.ParaCount(), 0);
  EXPECT_NE(s.params[1], s.initialParams[1]);  // the first model was fitted
}

TEST(FitSequence, NewValuesAfterAFailureContinueTheSequence) {
  hensuu store;
  RecordingHost host;
  FitSession s = PreparedSoil(store, host);
  std::vector<float> good = s.params[2];
  s.params[2][2] = -1000;
  host.recalculateModel = 2;
  host.newValues = good;
  FitRun r = FitAllModels(s, &host);
  EXPECT_EQ(r.outcome, FitOutcome::Completed);
  store.ParaTable.Append(r.record);
  EXPECT_EQ(host.failures, (std::vector<int16_t>{2}));
  EXPECT_EQ(s.initialParams[2], good);
  EXPECT_EQ(store.ParaCount(), 1);
  // A second run from the results screen adds a second record.
  s.refitFromResults = true;
  FitRun again = RunFit(s, &host, ParamsAsInitialValues(s));
  EXPECT_EQ(again.outcome, FitOutcome::Completed);
  store.ParaTable.Append(again.record);
  EXPECT_EQ(store.ParaCount(), 2);
}

TEST(FitSequence, ChartTableFollowsTheColumns) {
  FitRequest req =
      LabRequest("培養日数\t20\t25\t30\n0\t1\t\t1\n7\t\t\t2\n14\t3\t\t3\n", "25", false);
  FitSession s;
  hensuu store;
  RecordingHost host;
  ASSERT_EQ(Fit(s, store, req, &host).outcome, FitOutcome::Completed);
  EXPECT_EQ(s.chartRows, 6);  // rows 1-3 of column 1 and of column 3
  EXPECT_EQ(s.obsCount, 5);
  ASSERT_EQ(s.chartTable.size(), 6u);
  EXPECT_TRUE(std::holds_alternative<std::monostate>(s.chartTable[1].observed));
  EXPECT_EQ(std::get<std::string>(s.chartTable[2].observed), "3");
  EXPECT_EQ(std::get<std::string>(s.chartTable[4].observed), "2");
  ASSERT_TRUE(s.chartTable[5].adjTime.has_value());
  EXPECT_EQ(s.chartTable[5].adjTime->value, s.chartTable[5].adjTime2->value);
  EXPECT_EQ(s.chartTable[5].calc->value, s.calc[3][3]->value);
  // The per-cell tables hold the best model at its fitted parameters.
  EXPECT_EQ(s.paramVec.size(), s.params[s.currentModel].size());
}

}  // namespace
}  // namespace kelvora

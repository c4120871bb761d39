// "一括計算" from the incubation and field screens: the record list, the
// batch on its threads while the screens go on, the summary with a model per
// row, "選択した結果を保存" against kelvora-cli fit-all --store, the double
// click to the record's results screen, a record deleted on another screen
// during the batch, and "中止" during the last record.
#include "screens/batch_fit_window.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QSignalSpy>
#include <QTest>

#include "cli/cli.h"
#include "kinetics/parallel.h"
#include "mini_json.h"
#include "screen_test_env.h"
#include "screens/hojyobaiyo_form.h"
#include "screens/parakekka_form0_1.h"
#include "store/data_files.h"
#include "store/number_text.h"

namespace kelvora {
namespace {

using test::ScreenEnv;
using testing::Json;
using testing::ParseJson;

std::string BenchTable(const char* name) {
  return test::ReadBytes(std::filesystem::path(KELVORA_SOURCE_DIR) / "tests/data/bench" / name);
}

BaiyoRecord Lab(const std::string& name, const std::string& table) {
  GridTable g = GridFromRows(SplitGridText(table, kSpreadsheetFormat), 100, 4);
  return {name, g.ToGridText(), false};
}

// Ninety-nine incubation days at three temperatures: a soil that takes many
// times longer than the reference table.
std::string LongSoil() {
  std::string t = "培養日数\t15\t25\t35\n";
  for (int d = 1; d <= 99; ++d) {
    t += std::to_string(d) + "\t" + std::to_string(1 + 0.05 * d) + "\t" +
         std::to_string(1 + 0.09 * d) + "\t" + std::to_string(1 + 0.12 * d) + "\n";
  }
  return t;
}

BatchFitWindow* FindWindow(ScreenEnv& env, FitSource source) {
  return env.main->findChild<BatchFitWindow*>(source == FitSource::Field
                                                  ? QStringLiteral("BatchFitWindowField")
                                                  : QStringLiteral("BatchFitWindowLab"));
}

bool RunToEnd(BatchFitWindow* w) {
  QSignalSpy done(w, &BatchFitWindow::batchFinished);
  QTest::mouseClick(w->StartButton, Qt::LeftButton);
  return done.wait(120000);
}

// What kelvora-cli fit-all --store makes of the same records.
std::vector<ParaRecord> CliStored(const hensuu& records, const QTemporaryDir& tmp) {
  const std::filesystem::path dir = std::filesystem::path(tmp.path().toStdString()) / "cli";
  EXPECT_TRUE(SaveDataFiles(records, dir).empty());
  std::ostringstream out, err;
  RunCli({"fit-all", dir.string(), "--store"}, out, err);
  hensuu back;
  EXPECT_TRUE(ReadDataFiles(back, dir).empty());
  return std::vector<ParaRecord>(back.ParaTable.Rows().begin(), back.ParaTable.Rows().end());
}

// A parameter set as it reads back from the data file.
ParaRecord AsStored(const ParaRecord& rec, const QTemporaryDir& tmp) {
  const std::filesystem::path dir = std::filesystem::path(tmp.path().toStdString()) / "file";
  hensuu one;
  one.ParaTable.Append(rec);
  EXPECT_TRUE(SaveDataFiles(one, dir).empty());
  hensuu back;
  EXPECT_TRUE(ReadDataFiles(back, dir).empty());
  return back.ParaTable(1);
}

TEST(BatchFitWindow, StoresTheSameSetsAsTheCommandLineWithAModelChosenPerRow) {
  ScreenEnv env;
  const std::string soil = BenchTable("soil-3x10.tsv");
  env.store.BaiyoTable.Append(Lab("灰色低地土", soil));
  env.store.BaiyoTable.Append(BaiyoRecord{"空の記録", "", false});
  env.store.BaiyoTable.Append(Lab("黒ボク土", soil));
  env.store.BaiyoCurrent = 3;
  hensuu copy;
  for (const BaiyoRecord& r : env.store.BaiyoTable.Rows()) copy.BaiyoTable.Append(r);
  env.Show();
  Baiyo_Form0_3* baiyo = env.OpenBaiyo();
  ASSERT_NE(baiyo, nullptr);
  EXPECT_EQ(baiyo->BatchButton->text(), QStringLiteral("一括計算"));
  QTest::mouseClick(baiyo->BatchButton, Qt::LeftButton);
  BatchFitWindow* w = FindWindow(env, FitSource::Laboratory);
  ASSERT_NE(w, nullptr);
  ASSERT_EQ(w->RecordList->count(), 3);
  EXPECT_EQ(w->RecordList->item(2)->text(), QStringLiteral("3. 黒ボク土（土壌）"));
  QTest::mouseClick(w->ClearButton, Qt::LeftButton);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(w->RecordList->item(i)->checkState(), Qt::Unchecked);
  QTest::mouseClick(w->StartButton, Qt::LeftButton);
  ASSERT_FALSE(env.dialogs.shown.empty());
  EXPECT_EQ(env.dialogs.shown.back().text, QStringLiteral("計算する記録を選んで下さい"));
  QTest::mouseClick(w->SelectAllButton, Qt::LeftButton);

  // A record deleted on another screen while the batch runs: the batch
  // fits the table as it was at "開始" and stores by name.
  QSignalSpy done(w, &BatchFitWindow::batchFinished);
  QTest::mouseClick(w->StartButton, Qt::LeftButton);
  EXPECT_TRUE(w->Running());
  env.store.BaiyoTable.Remove(1);
  ASSERT_TRUE(done.wait(120000));
  ASSERT_EQ(w->Rows().size(), 3u);
  EXPECT_TRUE(w->ResultTable->item(1, BatchFitWindow::kNoteColumn)
                  ->text()
                  .startsWith(QStringLiteral("× 培養結果を記入して下さい")));
  EXPECT_FALSE(w->ResultTable->item(1, BatchFitWindow::kSaveColumn)->flags() &
               Qt::ItemIsUserCheckable);

  // Another model on the third row: its AIC shows, and it is what is stored.
  const Json fit = ParseJson(test::CliFit("fit", soil, "黒ボク土", false));
  const int16_t best = static_cast<int16_t>(fit["best"].number);
  const int16_t other = best == 2 ? 3 : 2;
  w->ChooseModel(2, other);
  EXPECT_EQ(w->ChosenModel(2), other);
  const Json& otherJson = fit["models"][static_cast<size_t>(other - 1)];
  EXPECT_EQ(w->ResultTable->item(2, BatchFitWindow::kAicColumn)->text(),
            QString::fromStdString(FormatFixed(otherJson["aic"].number, 2)));

  QTest::mouseClick(w->SaveButton, Qt::LeftButton);
  ASSERT_EQ(env.store.ParaCount(), 2);
  // As the data file holds them.
  const std::vector<ParaRecord> cli = CliStored(copy, env.tmp);
  ASSERT_EQ(cli.size(), 2u);
  EXPECT_EQ(AsStored(env.store.ParaTable(1), env.tmp), cli[0]);
  const ParaRecord& chosen = env.store.ParaTable(2);
  EXPECT_EQ(chosen.SoilName, "黒ボク土");
  EXPECT_EQ(chosen.ModelNo, other);
  for (size_t k = 0; k < otherJson["params"].size(); ++k) {
    EXPECT_EQ(chosen.Param[k], static_cast<float>(otherJson["params"][k].number)) << k;
  }
  EXPECT_EQ(chosen.Aic, static_cast<float>(otherJson["aic"].number));
  EXPECT_EQ(w->StoredAt(0), 1);
  EXPECT_EQ(w->StoredAt(2), 2);
  // Saving again stores nothing twice.
  QTest::mouseClick(w->SaveButton, Qt::LeftButton);
  EXPECT_EQ(env.store.ParaCount(), 2);

  // A double click opens the first record's results screen, although the
  // record itself has been deleted meanwhile.
  const QRect cell = w->ResultTable->visualItemRect(w->ResultTable->item(0, 2));
  QTest::mouseClick(w->ResultTable->viewport(), Qt::LeftButton, {}, cell.center());
  QTest::mouseDClick(w->ResultTable->viewport(), Qt::LeftButton, {}, cell.center());
  auto* results = env.main->Find<ParaKekka_Form0_1>(Screen::ParaKekka_Form0_1);
  ASSERT_NE(results, nullptr);
  EXPECT_EQ(results->Lab_Dojyo->text(), QStringLiteral("灰色低地土"));
  EXPECT_EQ(env.main->Session().bestModel, best);
  EXPECT_EQ(env.main->Session().params[best][0],
            static_cast<float>(fit["models"][static_cast<size_t>(best - 1)]["params"][0].number));
  w->close();
}

TEST(BatchFitWindow, StopDuringTheLastRecordKeepsTheFinishedOnes) {
  ScreenEnv env;
  env.store.BaiyoTable.Append(Lab("灰色低地土", BenchTable("soil-3x10.tsv")));
  env.store.BaiyoTable.Append(Lab("長い記録", LongSoil()));
  env.store.BaiyoCurrent = 1;
  env.Show();
  QTest::mouseClick(env.OpenBaiyo()->BatchButton, Qt::LeftButton);
  BatchFitWindow* w = FindWindow(env, FitSource::Laboratory);
  ASSERT_NE(w, nullptr);
  QSignalSpy done(w, &BatchFitWindow::batchFinished);
  QTest::mouseClick(w->StartButton, Qt::LeftButton);
  EXPECT_EQ(w->Pages->currentIndex(), 1);
  // "中止" as soon as the first record is handed over.
  const auto until = std::chrono::steady_clock::now() + std::chrono::minutes(2);
  while (w->Rows().empty() && done.count() == 0 && std::chrono::steady_clock::now() < until) {
    QTest::qWait(1);
  }
  QTest::mouseClick(w->StopButton, Qt::LeftButton);
  ASSERT_TRUE(done.count() > 0 || done.wait(120000));
  ASSERT_GE(w->Rows().size(), 1u);
  EXPECT_TRUE(w->Rows()[0].ok());
  if (w->Rows().size() == 2 && !w->Rows()[1].ok()) {
    EXPECT_EQ(w->Rows()[1].status, BatchStatus::Stopped);
    EXPECT_EQ(w->ResultTable->item(1, BatchFitWindow::kNoteColumn)->text(),
              QStringLiteral("× 中止しました"));
  } else if (w->Rows().size() == 1) {
    EXPECT_TRUE(w->SummaryLabel->text().contains(QStringLiteral("1件は計算していません")));
  }
  EXPECT_EQ(env.store.ParaCount(), 0);  // nothing is stored before "選択した結果を保存"
  EXPECT_TRUE(w->SaveButton->isEnabled());
  w->close();
}

TEST(BatchFitWindow, FieldScreenFitsItsRecordsAsFitField) {
  ScreenEnv env;
  const std::string table = BenchTable("field-soil-1y.tsv");
  env.store.HojyoTable.Append(HojyoRecord{
      "ほ場", GridFromRows(SplitGridText(table, kSpreadsheetFormat), 2, 3).ToGridText(), false});
  env.store.HojyoCurrent = 1;
  env.Show();
  env.main->OpenChildScreen(Screen::HojyoBaiyo_Form);
  auto* field = env.main->Find<HojyoBaiyo_Form>(Screen::HojyoBaiyo_Form);
  ASSERT_NE(field, nullptr);
  QTest::mouseClick(field->BatchButton, Qt::LeftButton);
  BatchFitWindow* w = FindWindow(env, FitSource::Field);
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->windowTitle(), QStringLiteral("一括計算（ほ場埋設）"));
  ASSERT_TRUE(RunToEnd(w));
  ASSERT_EQ(w->Rows().size(), 1u);
  ASSERT_TRUE(w->Rows()[0].ok());
  const Json fit = ParseJson(test::CliFit("fit-field", table, "ほ場", false));
  EXPECT_EQ(w->Rows()[0].best, fit["best"].number);
  EXPECT_EQ(w->Rows()[0].bestRecord.Aic, static_cast<float>(fit["record"]["Aic"].number));
  w->close();
  // Every turn of the processors has been given back.
  EXPECT_EQ(SharedProcessors().Free(), SharedProcessors().Processors());
}

}  // namespace
}  // namespace kelvora

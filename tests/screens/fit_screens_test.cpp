// The laboratory fit from the incubation screen: the checks and their
// messages, the progress window and "中止", the failed-fit dialog, and the
// results screen with its model choice and recalculation.
#include <gtest/gtest.h>

#include <QTemporaryFile>
#include <QTest>
#include <QTimer>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QScatterSeries>
#include <sstream>

#include "cli/cli.h"
#include "kinetics/model_kind.h"
#include "mini_json.h"
#include "pdf_text.h"
#include "print/prionly_select.h"
#include "screen_test_env.h"
#include "screens/fit_runner.h"
#include "screens/parakekka_form0_1.h"
#include "screens/saikeisan_form.h"
#include "screens/sol_dame0_1.h"
#include "store/number_text.h"

namespace kelvora {
namespace {

using test::ScreenEnv;

std::string BenchTable(const char* name) {
  return test::ReadBytes(std::filesystem::path(KELVORA_SOURCE_DIR) / "tests/data/bench" / name);
}

// A spreadsheet block (TAB cells, LF rows) as an incubation record.
BaiyoRecord Record(const std::string& name, const std::string& table, bool fertilizer) {
  GridTable g = GridFromRows(SplitGridText(table, kSpreadsheetFormat), 100, 4);
  g.Resize(100, 4);
  return BaiyoRecord{name, g.ToGridText(), fertilizer};
}

class FitScreens : public ::testing::Test {
 protected:
  void Open(const BaiyoRecord& record, const std::string& standardTemp = "25") {
    env.store.BaiyoTable.Append(record);
    env.store.BaiyoCurrent = 1;
    env.Show();
    baiyo = env.OpenBaiyo();
    ASSERT_NE(baiyo, nullptr);
    baiyo->Text1->setText(QString::fromStdString(standardTemp));
  }
  void PressFit() { QTest::mouseClick(baiyo->Command5, Qt::LeftButton); }
  // A click on the box's caption.
  static void ClickBox(QCheckBox* box) {
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(10, box->height() / 2));
  }
  ParaKekka_Form0_1* Results() const {
    return env.main->Find<ParaKekka_Form0_1>(Screen::ParaKekka_Form0_1);
  }
  // What kelvora-cli makes of the same table.
  testing::Json Cli(const std::string& table, bool fertilizer) {
    return testing::ParseJson(test::CliFit("fit", table, "試料", fertilizer));
  }
  // The objective evaluations of the same table fitted through StartFit on
  // this thread, as the command-line tool and the benchmarks fit it.
  static EvalCounts DirectCounts(const std::string& table, bool fertilizer) {
    FitRequest request;
    request.table = GridFromRows(SplitGridText(table, kSpreadsheetFormat), 100, 4);
    request.name = "試料";
    request.standardTemp = "25";
    request.isFertilizer = fertilizer;
    FitSession s;
    FitRun run = StartFit(s, request, nullptr);
    EXPECT_EQ(run.outcome, FitOutcome::Completed);
    return run.counts;
  }
  // The screen's fit is the very fit of the other paths: not one objective
  // evaluation more or less, none computed again.
  void ExpectSameWork(const std::string& table, bool fertilizer) {
    const EvalCounts screen = env.main->Runner().LastCounts();
    const EvalCounts direct = DirectCounts(table, fertilizer);
    EXPECT_GT(screen.evaluations, 0u);
    EXPECT_EQ(screen.evaluations, direct.evaluations);
    EXPECT_EQ(screen.distinct, direct.distinct);
  }
  void ExpectSameRecord(const ParaRecord& rec, const testing::Json& cli) {
    const testing::Json& r = cli["record"];
    EXPECT_EQ(rec.SoilName, r["SoilName"].text);
    EXPECT_EQ(rec.ModelNo, r["ModelNo"].number);
    for (int i = 0; i < 7; ++i) {
      EXPECT_EQ(rec.Param[i], static_cast<float>(r["Param" + std::to_string(i + 1)].number)) << i;
    }
    EXPECT_EQ(rec.Aic, static_cast<float>(r["Aic"].number));
    EXPECT_EQ(rec.Rss, static_cast<float>(r["Rss"].number));
    EXPECT_EQ(rec.StdTemp, 25.0f);
    EXPECT_FALSE(rec.IsManual);
  }

  ScreenEnv env;
  Baiyo_Form0_3* baiyo = nullptr;
};

TEST_F(FitScreens, ChecksShowTheirMessagesInOrder) {
  struct Case {
    const char* table;
    const char* ts;
    const char* message;
  } cases[] = {
      {"培養日数\t20\t25\t30\n", "25", "培養結果を記入して下さい"},
      {"培養日数\t\t25\t30\n0\t1\t1\t1\n", "25", "表の１行目に培養温度を記入して下さい"},
      {"培養日数\t20\tabc\t30\n0\t1\t1\t1\n", "25", "表の１行目に培養温度を記入して下さい"},
      {"培養日数\t20\t25\t30\n0\t1\t1\t1\n\t2\n", "25",
       "表の１列目に培養日数をすべて記入して下さい"},
      {"培養日数\t\t25\t30\n0\t1\t1\t1\n\t2\n", "25", "表の１列目に培養日数をすべて記入して下さい"},
      {"培養日数\t20\t25\t30\n0\t1\t1\t1\n", "", "標準温度を記入して下さい"},
      {"培養日数\t20\t25\t30\n0\t1\t1\t1\n", "abc", "標準温度に数字を記入して下さい"},
      {"培養日数\t20\t25\t30\n0\t1\t1\t1\n", "-273", "標準温度に-273℃より高い温度を記入して下さい"},
  };
  env.Show();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.table);
    env.main->CloseChildScreen(Screen::Baiyo_Form0_3);  // closing stores the screen first
    env.store.BaiyoTable.Clear();
    env.store.BaiyoTable.Append(Record("試料", c.table, false));
    env.store.BaiyoCurrent = 1;
    baiyo = env.OpenBaiyo();
    baiyo->Text1->setText(c.ts);
    env.dialogs.shown.clear();
    PressFit();
    ASSERT_EQ(env.dialogs.shown.size(), 1u);
    EXPECT_EQ(env.dialogs.shown[0].title.toStdString(), "注意");
    EXPECT_EQ(env.dialogs.shown[0].text.toStdString(), c.message);
    EXPECT_EQ(env.store.ParaCount(), 0);
    EXPECT_EQ(Results(), nullptr);
    EXPECT_NE(env.main->Find<Baiyo_Form0_3>(Screen::Baiyo_Form0_3), nullptr);
  }
}

TEST_F(FitScreens, SoilFitStoresTheCliRecordAndShowsTheResults) {
  const std::string table = BenchTable("soil-3x10.tsv");
  Open(Record("試料", table, false));
  PressFit();
  ASSERT_EQ(env.store.ParaCount(), 1);
  ExpectSameRecord(env.store.ParaTable(1), Cli(table, false));
  ExpectSameWork(table, false);
  // The incubation screen closed (and stored its record); the results opened
  // at the next cascade position.
  EXPECT_EQ(env.main->FindScreen(Screen::Baiyo_Form0_3), nullptr);
  ParaKekka_Form0_1* r = Results();
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->windowTitle().toStdString(), "パラメータ計算結果");
  EXPECT_EQ(env.store.WindowCascadeOffset, 500);
  EXPECT_EQ(r->Lab_Dojyo->text().toStdString(), "試料");
  EXPECT_EQ(r->Frame[1]->title().toStdString(), "単純型");
  EXPECT_EQ(r->Frame[3]->title().toStdString(), "有機化無機化並行型");
  EXPECT_EQ(r->Label4->text().toStdString(), "N = No1(1-exp(-k1・t))");
  EXPECT_EQ(r->Label5->text().toStdString(), "+No2(1-exp(-k2・t))+C");
  // Number patterns: Ea "0", k "0.00000", No "0.00", AIC "0.00".
  const FitSession& s = env.main->Session();
  EXPECT_EQ(r->Text_TanPara[1]->text().toStdString(), FormatFixed(s.params[1][0], 0));
  EXPECT_EQ(r->Text_TanPara[2]->text().toStdString(), FormatFixed(s.params[1][1], 5));
  EXPECT_EQ(r->Text_TanPara[5]->text().toStdString(), FormatFixed(s.aic[1], 2));
  EXPECT_EQ(r->Lal_YuuPara[6]->text().toStdString(), "Nim");
  EXPECT_EQ(r->Lal_HeiPara[9]->text().toStdString(), "残差平方和");
  // Best model 1: its box is the only one checked, and red.
  EXPECT_TRUE(r->Check[1]->isChecked());
  EXPECT_FALSE(r->Check[2]->isChecked() || r->Check[3]->isChecked());
  EXPECT_EQ(r->Check[1]->palette().color(QPalette::WindowText), QColor(255, 0, 0));
  // The chart: one point per analysed value in each series.
  QChart* chart = r->MSChart1->chart();
  EXPECT_EQ(chart->title().toStdString(), "単純型");
  ASSERT_EQ(chart->series().size(), 2);
  EXPECT_EQ(chart->series()[0]->name().toStdString(), "計算値");
  EXPECT_EQ(chart->series()[1]->name().toStdString(), "分析値");
  EXPECT_EQ(static_cast<QScatterSeries*>(chart->series()[1])->count(), 30);
  EXPECT_FALSE(r->Command1->isVisibleTo(r));
  EXPECT_FALSE(r->Command7->isVisibleTo(r));
}

TEST_F(FitScreens, PrintChoosesThePrinterThenPrintsTheWindowImage) {
  Open(Record("試料", BenchTable("soil-3x10.tsv"), false));
  PressFit();
  ParaKekka_Form0_1* r = Results();
  ASSERT_NE(r, nullptr);
  const QColor background = r->palette().color(QPalette::Window);
  env.dialogs.onExec = [&](QDialog& d) {
    auto* choice = qobject_cast<PriOnly_Select*>(&d);
    EXPECT_NE(choice, nullptr);
    if (!choice) return int(QDialog::Rejected);
    EXPECT_EQ(choice->List2->currentRow(), 1);  // the system's default printer
    choice->List2->setCurrentRow(0);
    choice->Command1->click();
    return choice->result();
  };
  QTest::mouseClick(r->Command3, Qt::LeftButton);  // "印刷"
  ASSERT_EQ(env.printers.jobs.size(), 1u);
  EXPECT_EQ(env.printers.jobs[0].printer, "事務所のプリンター");
  EXPECT_EQ(env.printers.jobs[0].title, "パラメータ計算結果");
  const std::filesystem::path job = env.printers.jobs[0].file.toStdString();
  EXPECT_EQ(testing::PdfPages(job), 1);
  EXPECT_EQ(testing::PdfPageSize(job), "842 x 595");
  const std::string images =
      testing::CommandOutput("pdfimages -list " + testing::Quote(job.string()));
  EXPECT_EQ(testing::Count(images, "image "), 1) << images;
  // Afterwards the buttons of the results are back as they were: "再計算"
  // and "キャンセル" stay hidden ("再計算" would cover "終了"), and the
  // background is the screen's own again.
  for (QPushButton* b : {r->Command2, r->Command3, r->Command4, r->Command5, r->Command6}) {
    EXPECT_TRUE(b->isVisibleTo(r)) << b->text().toStdString();
  }
  EXPECT_FALSE(r->Command1->isVisibleTo(r));
  EXPECT_FALSE(r->Command7->isVisibleTo(r));
  EXPECT_TRUE(r->Label8->isVisibleTo(r));
  EXPECT_EQ(r->palette().color(QPalette::Window), background);
}

TEST_F(FitScreens, FertilizerFitStoresTheCliRecord) {
  const std::string table = BenchTable("fertilizer-3x11.tsv");
  Open(Record("試料", table, true));
  PressFit();
  ASSERT_EQ(env.store.ParaCount(), 1);
  ExpectSameRecord(env.store.ParaTable(1), Cli(table, true));
  ParaKekka_Form0_1* r = Results();
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->Frame[3]->title().toStdString(), "シグモイド肥料ガウス補正型");
  EXPECT_TRUE(r->Check[2]->isChecked());  // model 5 was best
  // The Gaussian frame shows the model-5 values with k to four decimals and sigma.
  const FitSession& s = env.main->Session();
  EXPECT_EQ(r->Text_YuuPara[2]->text().toStdString(), FormatFixed(s.params[5][1], 4));
  EXPECT_EQ(r->Text_HeiPara[2]->text().toStdString(), FormatFixed(s.params[5][1], 5));
  EXPECT_EQ(r->Text_YuuPara[6]->text().toStdString(), FormatFixed(s.params[6][0], 2));
  EXPECT_EQ(r->Lal_YuuPara[6]->text().toStdString(), "σ");
  EXPECT_FALSE(r->Text_HeiPara[6]->isVisibleTo(r));
  EXPECT_FALSE(r->Text_YuuPara[7]->isVisibleTo(r));
}

TEST_F(FitScreens, AnotherModelIsStoredOnlyAfterYes) {
  Open(Record("試料", BenchTable("soil-3x10.tsv"), false));
  PressFit();
  ParaKekka_Form0_1* r = Results();
  ASSERT_NE(r, nullptr);
  const ParaRecord before = env.store.ParaTable(1);
  // Clicking the best model's own box asks nothing on close.
  ClickBox(r->Check[1]);
  EXPECT_TRUE(r->Check[1]->isChecked());
  // Model 3: the chart follows; its box alone is checked; the red stays on 1.
  ClickBox(r->Check[3]);
  EXPECT_TRUE(r->Check[3]->isChecked());
  EXPECT_FALSE(r->Check[1]->isChecked());
  EXPECT_EQ(r->MSChart1->chart()->title().toStdString(), "有機化無機化並行型");
  EXPECT_EQ(r->Check[1]->palette().color(QPalette::WindowText), QColor(255, 0, 0));
  env.dialogs.answers = {false};
  r->Command6->click();
  EXPECT_EQ(env.dialogs.shown.back().text.toStdString(),
            "最適なモデルが変更されています\n変更したモデルで保存しますか");
  EXPECT_EQ(env.store.ParaTable(1), before);

  // A second fit of the same data set: choosing model 3 and answering yes
  // rewrites the record of that fit only.
  baiyo = env.OpenBaiyo();
  PressFit();
  ASSERT_EQ(env.store.ParaCount(), 2);
  r = Results();
  ASSERT_NE(r, nullptr);
  ClickBox(r->Check[3]);
  env.dialogs.answers = {true};
  r->Command6->click();
  EXPECT_TRUE(env.dialogs.answers.empty());
  EXPECT_EQ(env.store.ParaTable(1), before);
  const ParaRecord& after = env.store.ParaTable(2);
  const FitSession& s = env.main->Session();
  EXPECT_EQ(after.ModelNo, 3);
  for (int i = 0; i < 7; ++i) EXPECT_EQ(after.Param[i], s.params[3][i]);
  EXPECT_EQ(after.Aic, s.aic[3]);
  EXPECT_EQ(after.Rss, s.rss[3]);
}

TEST_F(FitScreens, ChosenModelKeepsLaterSlotsAndNeverOverwritesAnotherRecord) {
  Open(Record("試料", BenchTable("soil-3x10.tsv"), false));
  PressFit();
  ParaKekka_Form0_1* r = Results();
  ASSERT_NE(r, nullptr);
  // Best was model 1 (four slots); model 2 fills seven; back to model 1
  // keeps slots 5-7 of model 2, as the record held them.
  ClickBox(r->Check[2]);
  env.dialogs.answers = {true};
  env.dialogs.onExec = [](QDialog&) { return int(QDialog::Rejected); };
  r->Command3->click();  // "印刷" stores the choice first, then prints
  EXPECT_EQ(env.printers.jobs.size(), 1u);
  EXPECT_EQ(env.store.ParaTable(1).ModelNo, 2);
  const float slot7 = env.store.ParaTable(1).Param[6];
  EXPECT_NE(slot7, 0.0f);
  // Back to model 1, the model shown at load: the record holds model 2 now,
  // so this is a change again and closing asks.
  ClickBox(r->Check[1]);
  env.dialogs.answers = {true};
  // Meanwhile another parameter set was added at the end: the choice must not
  // overwrite it, it is added after it.
  ParaRecord other;
  other.SoilName = "手入力";
  other.ModelNo = 4;
  other.IsManual = true;
  env.store.ParaTable.Append(other);
  r->Command6->click();
  EXPECT_TRUE(env.dialogs.answers.empty());
  ASSERT_EQ(env.store.ParaCount(), 3);
  EXPECT_EQ(env.store.ParaTable(2), other);
  EXPECT_EQ(env.store.ParaTable(3).ModelNo, 1);
  EXPECT_EQ(env.store.ParaTable(3).Param[6], slot7);
}

TEST_F(FitScreens, ChangedInitialValuesRefitIntoASecondRecord) {
  Open(Record("試料", BenchTable("soil-3x10.tsv"), false));
  PressFit();
  ParaKekka_Form0_1* r = Results();
  ASSERT_NE(r, nullptr);
  r->Command1->click();  // "再計算" before "初期値の変更" is only a message
  EXPECT_EQ(env.dialogs.shown.back().text.toStdString(), "初期値を変更してください");

  r->Command5->click();
  EXPECT_EQ(r->Frame[2]->title().toStdString(), "単純並行型　初期値");
  EXPECT_EQ(r->Text_TanPara[3]->text().toStdString(), "15");  // initial No, shortest text
  EXPECT_EQ(r->Text_TanPara[5]->text().toStdString(), "");
  EXPECT_TRUE(r->Command1->isVisibleTo(r));
  EXPECT_FALSE(r->Command6->isVisibleTo(r));
  r->Command7->click();  // キャンセル: back to the result buttons
  EXPECT_TRUE(r->Command6->isVisibleTo(r));
  r->Command5->click();

  // A box without a number runs nothing.
  r->Text_TanPara[2]->setText("abc");
  const size_t shown = env.dialogs.shown.size();
  r->Command1->click();
  ASSERT_EQ(env.dialogs.shown.size(), shown + 1);
  EXPECT_EQ(env.dialogs.shown.back().text.toStdString(),
            "単純型 の k の初期値に数字を記入して下さい");
  EXPECT_EQ(env.store.ParaCount(), 1);
  EXPECT_TRUE(r->Command1->isVisibleTo(r));

  r->Text_TanPara[2]->setText("0.02");
  // The recalculation is the fit the sequence makes from the same session
  // and values, evaluation for evaluation.
  // The boxes hold the initial values of the three models.
  FitSession copy = env.main->Session();
  for (int m = 1; m <= 3; ++m) copy.params[m] = copy.initialParams[m];
  copy.params[1][1] = 0.02f;
  const EvalCounts direct = RunFit(copy, nullptr, ParamsAsInitialValues(copy)).counts;
  r->Command1->click();
  EXPECT_EQ(env.main->Runner().LastCounts().evaluations, direct.evaluations);
  EXPECT_EQ(env.main->Runner().LastCounts().distinct, direct.distinct);
  EXPECT_EQ(env.store.ParaCount(), 2);
  ParaKekka_Form0_1* fresh = Results();
  ASSERT_NE(fresh, nullptr);
  EXPECT_NE(fresh, r);
  EXPECT_EQ(env.main->Session().initialParams[1][1], 0.02f);
  EXPECT_EQ(fresh->Frame[1]->title().toStdString(), "単純型");
}

TEST_F(FitScreens, FailedModelAsksForNewValuesOrGivesUp) {
  Open(Record("試料", BenchTable("soil-3x10.tsv"), false));
  PressFit();
  ParaKekka_Form0_1* r = Results();
  ASSERT_NE(r, nullptr);
  std::vector<std::string> frames;
  int asked = 0;
  env.dialogs.onExec = [&](QDialog& d) {
    auto* dialog = dynamic_cast<Sol_Dame0_1*>(&d);
    EXPECT_NE(dialog, nullptr);
    if (!dialog) return 0;
    frames.push_back(dialog->Frame1->title().toStdString());
    EXPECT_EQ(dialog->windowTitle().toStdString(), "パラメータ再計算");
    EXPECT_TRUE(dialog->Text1[7]->isVisibleTo(dialog));
    EXPECT_EQ(dialog->Text1[3]->text().toStdString(), "-1000");
    if (++asked == 1) {
      dialog->Text1[3]->setText("x");  // not a number: the dialog stays
      dialog->Command1->click();
      EXPECT_EQ(env.dialogs.shown.back().text.toStdString(), "k1 の初期値に数字を記入して下さい");
      dialog->Text1[3]->setText("0.02");
      dialog->Command1->click();
      return dialog->result();
    }
    dialog->Command2->click();  // キャンセル
    return dialog->result();
  };
  // k1 of model 2 overflows every exponential: the dialog comes, new values
  // continue the sequence.
  r->Command5->click();
  r->Text_HeiPara[3]->setText("-1000");
  r->Command1->click();
  EXPECT_EQ(frames, std::vector<std::string>{"単純並行型　初期値"});
  EXPECT_EQ(env.store.ParaCount(), 2);
  r = Results();
  ASSERT_NE(r, nullptr);

  // The same failure answered with キャンセル: no record, the screen stays.
  r->Command5->click();
  r->Text_HeiPara[3]->setText("-1000");
  r->Command1->click();
  EXPECT_EQ(asked, 2);
  EXPECT_EQ(env.store.ParaCount(), 2);
  EXPECT_EQ(Results(), r);
  EXPECT_TRUE(env.main->Session().fitCancelled);
}

TEST_F(FitScreens, StopEndsALongFitWithNothingStored) {
  Open(Record("試料", BenchTable("fertilizer-3x11.tsv"), true));
  bool stopped = false;
  int sweepsSeen = 0;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    SaiKeisan_Form* p = env.main->Runner().Progress();
    if (!p || stopped) return;
    EXPECT_EQ(p->windowTitle().toStdString(), "計算中");
    EXPECT_TRUE(p->isModal());
    // Wait for the sigma search (the last, long stage) to be under way.
    if (p->Label1[1]->text().toStdString() != "シグモイド肥料ガウス補正型の") return;
    if (!p->LabelSweep->text().isEmpty()) ++sweepsSeen;
    if (sweepsSeen < 2) return;
    EXPECT_EQ(p->Label1[2]->text().toStdString(), "パラメータを計算しています");
    EXPECT_EQ(p->Label1[3]->text().toStdString(), "しばらくお待ち下さい");
    QTest::mouseClick(p->CommandStop, Qt::LeftButton);
    stopped = true;
  });
  timer.start(20);
  PressFit();
  timer.stop();
  EXPECT_TRUE(stopped);
  EXPECT_EQ(env.store.ParaCount(), 0);
  EXPECT_EQ(Results(), nullptr);
  EXPECT_NE(env.main->Find<Baiyo_Form0_3>(Screen::Baiyo_Form0_3), nullptr);
  EXPECT_EQ(env.main->Runner().Progress(), nullptr);
  EXPECT_FALSE(env.main->Runner().Running());
}

}  // namespace
}  // namespace kelvora

// The field-burial screen inside the main window, driven with clicks and
// keys: the date range, new data sets, cleaning, pasting, the record list,
// saving and deletion, and the field fit from "⑩ パラメータ算出" through the
// results screen.
#include "screens/hojyobaiyo_form.h"

#include <gtest/gtest.h>

#include <QTemporaryFile>
#include <QTest>
#include <QTimer>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QScatterSeries>
#include <cmath>
#include <sstream>

#include "cli/cli.h"
#include "kinetics/curves.h"
#include "mini_json.h"
#include "screen_test_env.h"
#include "screens/fit_runner.h"
#include "screens/parakekka_form0_1.h"
#include "screens/saikeisan_form.h"
#include "store/data_files.h"
#include "store/grid_text.h"
#include "store/number_text.h"

namespace kelvora {
namespace {

using test::ClickCell;
using test::Key;
using test::ScreenEnv;
using test::Type;

std::string BenchTable(const char* name) {
  return test::ReadBytes(std::filesystem::path(KELVORA_SOURCE_DIR) / "tests/data/bench" / name);
}

// A spreadsheet block (TAB cells, LF rows, header row first) as a field record.
HojyoRecord Record(const std::string& name, const std::string& table, bool fertilizer) {
  GridTable g = GridFromRows(SplitGridText(table, kSpreadsheetFormat), 2, 3);
  return HojyoRecord{name, g.ToGridText(), fertilizer};
}

class HojyoTest : public ::testing::Test {
 protected:
  void Open(std::initializer_list<HojyoRecord> records = {}, int16_t current = 1) {
    for (const HojyoRecord& r : records) env.store.HojyoTable.Append(r);
    env.store.HojyoCurrent = current;
    env.Show();
    QTest::mouseClick(env.main->Command6, Qt::LeftButton);  // "ほ場埋設"
    screen = Screen();
    ASSERT_NE(screen, nullptr);
    g = screen->MSFlexGrid1;
  }
  HojyoBaiyo_Form* Screen() const {
    return env.main->Find<HojyoBaiyo_Form>(kelvora::Screen::HojyoBaiyo_Form);
  }
  ParaKekka_Form0_1* Results() const {
    return env.main->Find<ParaKekka_Form0_1>(kelvora::Screen::ParaKekka_Form0_1);
  }
  void Range(int y1, int m1, int d1, int y2, int m2, int d2) {
    Range(QString::number(y1), QString::number(m1), QString::number(d1), QString::number(y2),
          QString::number(m2), QString::number(d2));
  }
  void Range(const QString& y1, const QString& m1, const QString& d1, const QString& y2,
             const QString& m2, const QString& d2) {
    screen->Combo1->setEditText(y1);
    screen->Combo2->setEditText(m1);
    screen->Combo3->setEditText(d1);
    screen->Combo4->setEditText(y2);
    screen->Combo5->setEditText(m2);
    screen->Combo6->setEditText(d2);
    Click(screen->Command9);
  }
  bool Shown(QWidget* w) const { return w->isVisibleTo(screen); }
  static void Click(QWidget* w) { QTest::mouseClick(w, Qt::LeftButton); }
  void ClickListEntry(int index) {
    ListBox* list = screen->List1;
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(index)).center());
  }
  std::string Cell(int r, int c) const { return g->TextMatrix(r, c).toStdString(); }
  static std::string StoredCell(const HojyoRecord& rec, int r, int c) {
    return GridFromText(rec.GridText, 2, 3).Cell(r, c);
  }

  ScreenEnv env;
  HojyoBaiyo_Form* screen = nullptr;
  FlexGrid* g = nullptr;
};

TEST_F(HojyoTest, DateRangeWritesOneRowPerDayAndKeepsTheOtherColumns) {
  Open();
  EXPECT_EQ(screen->windowTitle(), "ほ場埋め込みによる培養");
  EXPECT_EQ(g->Rows(), 100);
  EXPECT_EQ(Cell(0, 0), "年/月/日");
  EXPECT_EQ(Cell(0, 1), "地温(℃)");
  EXPECT_EQ(Cell(0, 2), "無機化量");
  EXPECT_FALSE(Shown(screen->Command3));  // "⑨ 適用" waits for a date range
  EXPECT_TRUE(Shown(screen->Command4));
  EXPECT_FALSE(Shown(screen->Command7));
  EXPECT_EQ(screen->Combo1->count(), 131);
  EXPECT_EQ(screen->Combo6->count(), 31);
  // A typed year is taken as typed, not completed from the list.
  screen->Combo1->setFocus();
  screen->Combo1->lineEdit()->selectAll();
  Type("200");
  EXPECT_EQ(screen->Combo1->currentText(), "200");

  Range(2004, 5, 30, 2004, 6, 2);
  ASSERT_EQ(g->Rows(), 5);
  EXPECT_EQ(Cell(1, 0), "2004/05/30");
  EXPECT_EQ(Cell(2, 0), "2004/05/31");
  EXPECT_EQ(Cell(3, 0), "2004/06/01");
  EXPECT_EQ(Cell(4, 0), "2004/06/02");
  EXPECT_TRUE(Shown(screen->Command3));
  EXPECT_TRUE(Shown(screen->Text5));

  // Day 31 of a 30-day month is the first of the next; one day gives one row.
  Range(2004, 6, 31, 2004, 7, 1);
  ASSERT_EQ(g->Rows(), 2);
  EXPECT_EQ(Cell(1, 0), "2004/07/01");
  // Month 2, day 30 of a common year carries into March.
  Range(2005, 2, 30, 2005, 3, 3);
  ASSERT_EQ(g->Rows(), 3);
  EXPECT_EQ(Cell(1, 0), "2005/03/02");

  // A shorter range on a filled table keeps the remaining rows' values.
  Range(2004, 5, 1, 2004, 5, 10);
  for (int r = 1; r <= 10; ++r) {
    g->SetTextMatrix(r, 1, QString::number(10 + r));
    g->SetTextMatrix(r, 2, QString::number(r));
  }
  Range(2004, 4, 28, 2004, 5, 1);
  ASSERT_EQ(g->Rows(), 5);
  EXPECT_EQ(Cell(1, 0), "2004/04/28");
  EXPECT_EQ(Cell(4, 0), "2004/05/01");
  EXPECT_EQ(Cell(4, 1), "14");
  EXPECT_EQ(Cell(4, 2), "4");
  Range(2004, 4, 28, 2004, 5, 3);
  ASSERT_EQ(g->Rows(), 7);
  EXPECT_EQ(Cell(6, 1), "");

  // Refused ranges leave the grid as it was, each with its message.
  env.dialogs.shown.clear();
  Range(2004, 5, 2, 2004, 5, 1);
  Range(QStringLiteral("2004"), QStringLiteral("五"), QStringLiteral("1"), QStringLiteral("2004"),
        QStringLiteral("5"), QStringLiteral("1"));
  Range(1970, 1, 1, 2100, 1, 1);
  ASSERT_EQ(env.dialogs.shown.size(), 3u);
  EXPECT_EQ(env.dialogs.shown[0].text,
            "最初の日と最後の日の前後関係が正しくありません。\r\n正しく設定して下さい。");
  EXPECT_EQ(env.dialogs.shown[1].text, "日付を正しく入力して下さい");
  EXPECT_EQ(env.dialogs.shown[2].text, "期間は32766日以内にして下さい。");
  for (const auto& m : env.dialogs.shown) EXPECT_EQ(m.title, "注意");
  EXPECT_EQ(g->Rows(), 7);
  EXPECT_EQ(Cell(1, 0), "2004/04/28");
}

TEST_F(HojyoTest, NewRecordsCancelCloseAndCleaning) {
  Open();
  // "キャンセル" with an empty table changes nothing.
  screen->Text_Dojyo->setText("畑A");
  Click(screen->Command4);
  EXPECT_TRUE(screen->NewMode());
  EXPECT_EQ(screen->Text_Dojyo->text(), "畑A");
  EXPECT_EQ(env.store.HojyoCurrent, 1);

  // Letters are emptied, 007 becomes 7 and a trailing zero goes on "⑨ 適用".
  Range(2004, 5, 1, 2004, 5, 3);
  g->SetTextMatrix(1, 1, "abc");
  g->SetTextMatrix(2, 1, "007");
  g->SetTextMatrix(3, 2, "1.50");
  Click(screen->Command3);
  ASSERT_EQ(env.store.HojyoCount(), 1);
  const HojyoRecord& first = env.store.HojyoTable(1);
  EXPECT_EQ(first.SoilName, "畑A");
  EXPECT_EQ(StoredCell(first, 1, 1), "");
  EXPECT_EQ(StoredCell(first, 2, 1), "7");
  EXPECT_EQ(StoredCell(first, 3, 2), "1.5");
  EXPECT_EQ(StoredCell(first, 3, 0), "2004/05/03");
  EXPECT_FALSE(screen->NewMode());
  EXPECT_FALSE(Shown(screen->Command3));
  EXPECT_TRUE(Shown(screen->Command5));
  EXPECT_EQ(g->Rows(), 4);

  // "① 新規作成" then a click in the list appends the untouched new record.
  Click(screen->Command7);
  EXPECT_TRUE(screen->NewMode());
  EXPECT_EQ(screen->Text_Dojyo->text(), "");
  ClickListEntry(0);
  ASSERT_EQ(env.store.HojyoCount(), 2);
  EXPECT_EQ(env.store.HojyoTable(2).SoilName, "新規土壌");
  EXPECT_EQ(screen->List1->item(1)->text(), "新規土壌");
  EXPECT_EQ(env.store.HojyoCurrent, 1);
  EXPECT_EQ(screen->Text_Dojyo->text(), "畑A");

  // Closing with a new record on the screen appends it too; the standard
  // temperature shows 25 again at the next opening.
  Click(screen->Command7);
  screen->Text1->setText("15");
  Click(screen->Command6);
  EXPECT_EQ(Screen(), nullptr);
  ASSERT_EQ(env.store.HojyoCount(), 3);
  EXPECT_EQ(env.store.HojyoTable(3).SoilName, "新規土壌");
  Click(env.main->Command6);
  screen = Screen();
  ASSERT_NE(screen, nullptr);
  EXPECT_EQ(screen->Text1->text(), "25");
  EXPECT_EQ(env.store.HojyoCurrent, 3);
}

TEST_F(HojyoTest, PasteApplySavePageAndDelete) {
  Open({Record("最初", "年/月/日\t地温(℃)\t無機化量\n2004/05/01\t20\t\n", false)});
  EXPECT_EQ(g->Rows(), 2);
  Click(screen->Command7);
  Range(2004, 5, 1, 2004, 5, 4);
  screen->Text_Dojyo->setText("被覆");
  Click(screen->Option2);
  // A two-column block from a spreadsheet lands in columns 1 and 2.
  ClickCell(g, 1, 1);
  test::SetClipboard("18.5\t\r\n19\t0.5\r\n20.25\t\r\n21\t1.25\r\n");
  Key(Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(Cell(2, 2), "0.5");
  EXPECT_EQ(Cell(4, 1), "21");
  // A block longer than the range is refused.
  ClickCell(g, 3, 1);
  Key(Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(env.dialogs.shown.back().text, "貼り付け先が範囲外です");
  EXPECT_EQ(Cell(3, 1), "20.25");

  Click(screen->Command3);
  ASSERT_EQ(env.store.HojyoCount(), 2);
  EXPECT_TRUE(env.store.HojyoTable(2).IsFertilizer);
  EXPECT_EQ(StoredCell(env.store.HojyoTable(2), 4, 2), "1.25");

  // "ファイル保存" writes Hojyo.txt, which reads back as the table.
  Click(screen->Command1);
  EXPECT_EQ(screen->List1->currentRow(), 1);
  EXPECT_EQ(g->RowSel(), g->Rows() - 1);  // the whole grid stays selected
  hensuu reread;
  FileMessages m = LoadDataFiles(reread, env.DataDir());
  ASSERT_EQ(reread.HojyoCount(), 2);
  EXPECT_EQ(reread.HojyoTable(2), env.store.HojyoTable(2));

  // Up and Down page through the stored records, applying each first.
  screen->List1->setFocus();
  screen->Text_Dojyo->setText("被覆2");
  screen->List1->setFocus();
  Key(Qt::Key_Up);
  EXPECT_EQ(env.store.HojyoCurrent, 1);
  EXPECT_EQ(env.store.HojyoTable(2).SoilName, "被覆2");
  EXPECT_EQ(g->Rows(), 2);
  EXPECT_TRUE(screen->Option1->isChecked());
  Key(Qt::Key_Down);
  EXPECT_EQ(env.store.HojyoCurrent, 2);
  EXPECT_EQ(g->Rows(), 5);
  EXPECT_TRUE(screen->Option2->isChecked());

  // "データ削除" hands kind 4 to the dialog without applying pending edits;
  // they stay on the screen, whose record was not deleted.
  screen->Text_Dojyo->setText("残る編集");
  bool wasDeleting = false;
  env.main->SetDeletionDialog([&](QWidget*) {
    wasDeleting = screen->Deleting;
    EXPECT_EQ(env.store.DeleteKind, 4);
    EXPECT_EQ(env.store.HojyoTable(2).SoilName, "被覆2");
    env.store.HojyoTable.Remove(1);
    env.store.HojyoCurrent = 1;
  });
  Click(screen->Command8);
  EXPECT_TRUE(wasDeleting);
  EXPECT_FALSE(screen->Deleting);
  EXPECT_EQ(screen->List1->count(), 1);
  EXPECT_EQ(screen->Text_Dojyo->text(), "残る編集");
  env.main->SetDeletionDialog([&](QWidget*) { env.store.HojyoTable.Clear(); });
  Click(screen->Command8);
  EXPECT_TRUE(screen->NewMode());
  EXPECT_EQ(env.store.HojyoCurrent, 1);
  Click(screen->Command6);
  ASSERT_EQ(env.store.HojyoCount(), 1);  // the new record, appended on closing
  EXPECT_EQ(env.store.HojyoTable(1).SoilName, "新規土壌");
}

TEST_F(HojyoTest, RightClickOnDatesAndHeadersOpensNoMenu) {
  Open();
  Range(2004, 5, 1, 2004, 5, 10);
  ClickCell(g, 3, 0, Qt::RightButton);
  ClickCell(g, 0, 2, Qt::RightButton);
  EXPECT_EQ(env.dialogs.popups, 0);
  ClickCell(g, 3, 1, Qt::RightButton);
  EXPECT_EQ(env.dialogs.popups, 1);
  ClickCell(g, 1, 1);
  Key(Qt::Key_A, Qt::ControlModifier);
  ClickCell(g, 3, 0, Qt::RightButton);
  EXPECT_EQ(env.dialogs.popups, 2);
}

// ---- the field fit ---------------------------------------------------------------------

class HojyoFit : public HojyoTest {
 protected:
  testing::Json Cli(const std::string& table, bool fertilizer,
                    const std::vector<std::string>& extra = {}) {
    return testing::ParseJson(test::CliFit("fit-field", table, "圃場", fertilizer, extra));
  }
  static void ExpectSameRecord(const ParaRecord& rec, const testing::Json& cli) {
    const testing::Json& r = cli["record"];
    EXPECT_EQ(rec.SoilName, r["SoilName"].text);
    EXPECT_EQ(rec.ModelNo, r["ModelNo"].number);
    for (int i = 0; i < 7; ++i) {
      EXPECT_EQ(rec.Param[i], static_cast<float>(r["Param" + std::to_string(i + 1)].number)) << i;
    }
    EXPECT_EQ(rec.Aic, static_cast<float>(r["Aic"].number));
    EXPECT_EQ(rec.Rss, static_cast<float>(r["Rss"].number));
    EXPECT_EQ(rec.StdTemp, 25.0f);
  }
  void FitFromScreen(const std::string& table, bool fertilizer) {
    Open({Record("圃場", table, fertilizer)});
    // The logger tables have a few days without a temperature: go on.
    env.dialogs.answers = {true};
    Click(screen->Command5);
    EXPECT_TRUE(env.dialogs.answers.empty());
  }
  static void ClickBox(QCheckBox* box) {
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(10, box->height() / 2));
  }
};

TEST_F(HojyoFit, SoilAndFertilizerFitsStoreTheCliRecord) {
  for (bool fertilizer : {false, true}) {
    SCOPED_TRACE(fertilizer);
    const std::string table =
        BenchTable(fertilizer ? "field-fertilizer-1y.tsv" : "field-soil-1y.tsv");
    env.store.ParaTable.Clear();
    env.store.HojyoTable.Clear();
    FitFromScreen(table, fertilizer);
    ASSERT_EQ(env.store.ParaCount(), 1);
    ExpectSameRecord(env.store.ParaTable(1), Cli(table, fertilizer));
    // The same fit, evaluation for evaluation, as StartFit makes of the table.
    FitRequest request;
    request.source = FitSource::Field;
    request.table = GridFromRows(SplitGridText(table, kSpreadsheetFormat), 2, 3);
    request.name = "圃場";
    request.standardTemp = "25";
    request.isFertilizer = fertilizer;
    FitSession direct;
    const EvalCounts counts = StartFit(direct, request, nullptr).counts;
    EXPECT_GT(counts.evaluations, 0u);
    EXPECT_EQ(env.main->Runner().LastCounts().evaluations, counts.evaluations);
    EXPECT_EQ(env.main->Runner().LastCounts().distinct, counts.distinct);
    EXPECT_EQ(env.main->Session().source, FitSource::Field);
    // The field screen closed after the fit, storing its record.
    EXPECT_EQ(Screen(), nullptr);
    EXPECT_EQ(env.store.HojyoCount(), 1);
    ParaKekka_Form0_1* r = Results();
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->Lab_Dojyo->text(), "圃場");
    EXPECT_EQ(r->FrameModel(1), fertilizer ? 4 : 1);
    r->Command6->click();
  }
}

TEST_F(HojyoFit, ResultsScreenReevaluatesRefitsAndReturnsToTheFieldScreen) {
  const std::string table = BenchTable("field-soil-1y.tsv");
  FitFromScreen(table, false);
  ParaKekka_Form0_1* r = Results();
  ASSERT_NE(r, nullptr);
  const FitSession& s = env.main->Session();

  // Model 1 on the chart: one point per sample at its adjusted days, worked
  // out here from the daily temperatures.
  ClickBox(r->Check[2]);
  ClickBox(r->Check[1]);
  const std::vector<float>& p = s.params[1];
  std::vector<std::pair<double, double>> expected;  // adjusted days, calculated
  std::vector<double> observed;
  double t = 0;
  const GridTable g0 = GridFromRows(SplitGridText(table, kSpreadsheetFormat), 2, 3);
  for (int d = 1; d < g0.Rows(); ++d) {
    if (!g0.Cell(d, 1).empty()) t += ArrheniusFactor(p[0], *ParseDouble(g0.Cell(d, 1)), 25.0f);
    if (g0.Cell(d, 2).empty()) continue;
    expected.emplace_back(t, p[2] * (1 - std::exp(-p[1] * t)) + p[3]);
    observed.push_back(*ParseSingle(g0.Cell(d, 2)));
  }
  ASSERT_EQ(expected.size(), 12u);
  auto* calc = qobject_cast<QScatterSeries*>(r->MSChart1->chart()->series().at(0));
  auto* obs = qobject_cast<QScatterSeries*>(r->MSChart1->chart()->series().at(1));
  ASSERT_NE(calc, nullptr);
  ASSERT_EQ(calc->count(), 12);
  ASSERT_EQ(obs->count(), 12);
  for (int i = 0; i < 12; ++i) {
    EXPECT_NEAR(calc->at(i).x(), expected[i].first, 1e-9 * expected[i].first) << i;
    EXPECT_NEAR(calc->at(i).y(), expected[i].second, 1e-6) << i;
    EXPECT_EQ(obs->at(i).x(), calc->at(i).x());
    EXPECT_EQ(obs->at(i).y(), observed[i]);
  }

  // "初期値の変更" → "再計算" refits the field data set with the typed values,
  // as the command-line tool does with the same initial values.
  r->Command5->click();
  r->Text_TanPara[2]->setText("0.02");
  std::vector<std::string> given;
  for (int f = 1; f <= 3; ++f) {
    std::string v;
    for (int row = 1; row <= r->Frame[f]->ParamRows(); ++row) {
      if (!v.empty()) v += ',';
      v += r->Frame[f]->Box(row)->text().toStdString();
    }
    given.push_back("--initial");
    given.push_back(std::to_string(r->FrameModel(f)) + "=" + v);
  }
  r->Command1->click();
  ASSERT_EQ(env.store.ParaCount(), 2);
  ExpectSameRecord(env.store.ParaTable(2), Cli(table, false, given));
  EXPECT_EQ(s.source, FitSource::Field);
  EXPECT_EQ(s.chartTable.size(), 12u);

  // "他のパラメータを算出" opens the field screen again.
  r = Results();
  ASSERT_NE(r, nullptr);
  r->Command4->click();
  EXPECT_EQ(Results(), nullptr);
  screen = Screen();
  ASSERT_NE(screen, nullptr);
  EXPECT_EQ(screen->Text_Dojyo->text(), "圃場");
  EXPECT_EQ(screen->MSFlexGrid1->Rows(), g0.Rows());
}

TEST_F(HojyoFit, DaysWithoutTemperatureAreAskedAbout) {
  std::string table = "年/月/日\t地温(℃)\t無機化量\n";
  const char* rows[] = {"2004/05/01\t20\t", "2004/05/02\t\t",    "2004/05/03\t\t1",
                        "2004/05/04\t22\t", "2004/05/05\t\t",    "2004/05/06\t\t",
                        "2004/05/07\t\t2",  "2004/05/08\t21\t3", "2004/05/09\t\t"};
  for (const char* row : rows) table += std::string(row) + "\n";
  Open({Record("欠測", table, false)});
  const std::string question =
      "地温が記入されていない日があります（2004/05/02、2004/05/03、2004/05/05 など全5日）。"
      "このまま計算しますか";
  env.dialogs.answers = {false};
  Click(screen->Command5);
  ASSERT_FALSE(env.dialogs.shown.empty());
  EXPECT_EQ(env.dialogs.shown.back().kind, "question");
  EXPECT_EQ(env.dialogs.shown.back().title, "注意");
  EXPECT_EQ(env.dialogs.shown.back().text.toStdString(), question);
  EXPECT_EQ(env.store.ParaCount(), 0);
  EXPECT_EQ(Screen(), screen);

  // The checks' messages come before the question.
  screen->Text1->setText("");
  env.dialogs.shown.clear();
  Click(screen->Command5);
  ASSERT_EQ(env.dialogs.shown.size(), 1u);
  EXPECT_EQ(env.dialogs.shown[0].text, "標準温度を記入して下さい");

  screen->Text1->setText("25");
  env.dialogs.answers = {true};
  env.dialogs.onExec = [](QDialog& d) {  // a failed model, if any, is given up
    d.reject();
    return static_cast<int>(QDialog::Rejected);
  };
  Click(screen->Command5);
  EXPECT_TRUE(env.dialogs.answers.empty());
  // Yes ran the fit on this table (whether every model could be fitted
  // depends on four samples only); the screen closes only after success.
  const FitSession& s = env.main->Session();
  EXPECT_EQ(s.source, FitSource::Field);
  EXPECT_EQ(s.fieldDays.dayCount, 9);
  EXPECT_EQ(s.fieldObserved.size(), 4u);  // three samples, counted from 1
  EXPECT_EQ(Screen() == nullptr, env.store.ParaCount() == 1);
}

TEST_F(HojyoFit, StopInTheProgressWindowKeepsTheFieldScreen) {
  Open({Record("圃場", BenchTable("field-soil-1y.tsv"), false)});
  bool stopped = false;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    SaiKeisan_Form* p = env.main->Runner().Progress();
    if (!p || stopped) return;
    EXPECT_EQ(p->windowTitle().toStdString(), "計算中");
    EXPECT_TRUE(p->isModal());
    QTest::mouseClick(p->CommandStop, Qt::LeftButton);
    stopped = true;
  });
  timer.start(5);
  env.dialogs.answers = {true};
  Click(screen->Command5);
  timer.stop();
  EXPECT_TRUE(stopped);
  EXPECT_EQ(env.store.ParaCount(), 0);
  EXPECT_EQ(Results(), nullptr);
  EXPECT_EQ(Screen(), screen);
  EXPECT_FALSE(env.main->Runner().Running());
}

}  // namespace
}  // namespace kelvora

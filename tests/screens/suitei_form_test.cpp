// The estimation screen and its chart, driven through their controls: the
// selection rules and their messages, the order of the stored estimations,
// the date range, paging, the refusal of a batch before anything is stored,
// the result equal to kelvora-cli's, and the chart with its gaps and copy.
#include "screens/suitei_form.h"

#include <gtest/gtest.h>

#include <QDate>
#include <QMimeData>
#include <QTemporaryFile>
#include <QTest>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <cmath>
#include <sstream>

#include "cli/cli.h"
#include "kinetics/curves.h"
#include "kinetics/model_kind.h"
#include "mini_json.h"
#include "pdf_text.h"
#include "print/prifrm_select.h"
#include "screen_test_env.h"
#include "screens/controls.h"
#include "screens/flex_grid.h"
#include "screens/suitei_graph.h"
#include "store/number_text.h"

namespace kelvora {
namespace {

using test::ScreenEnv;

ParaRecord Para(const std::string& name, int16_t model, const std::vector<std::string>& params,
                const std::string& stdTemp) {
  ParaRecord p;
  p.SoilName = name;
  p.ModelNo = model;
  for (size_t i = 0; i < params.size(); ++i) p.Param[i] = *ParseSingle(params[i]);
  p.StdTemp = *ParseSingle(stdTemp);
  return p;
}

// A series as the soil temperature screen stores it.
TionRecord Tion(const std::string& site, const std::vector<std::vector<std::string>>& days) {
  std::vector<std::vector<std::string>> rows{{"年/月/日", "地温(℃)"}};
  rows.insert(rows.end(), days.begin(), days.end());
  return TionRecord{site, JoinGridText(rows)};
}

// `count` days from `first`, temperatures along a yearly wave.
TionRecord LongTion(const std::string& site, QDate first, int count) {
  std::vector<std::vector<std::string>> days;
  for (int d = 0; d < count; ++d) {
    const double t = 14 + 11 * std::sin((d - 100) * 2 * M_PI / 365.0);
    days.push_back(
        {first.addDays(d).toString(QStringLiteral("yyyy/MM/dd")).toStdString(), FormatFixed(t, 1)});
  }
  return Tion(site, days);
}

const std::vector<std::string> kSoilParams{"17000", "0.022", "11.5", "0.9"};
const std::vector<std::string> kFertParams{"15000", "0.05", "93", "29.3", "22000"};

class SuiteiScreen : public ::testing::Test {
 protected:
  ScreenEnv env;
  Suitei_Form* s = nullptr;

  void SetUp() override {
    env.store.ParaTable.Append(Para("黒ボク土", 1, kSoilParams, "25"));
    env.store.ParaTable.Append(Para("被覆尿素", 5, kFertParams, "25"));
    env.store.TionTable.Append(Tion("つくば", {{"2006/04/01", "12.5"},
                                               {"2006/04/02", "13"},
                                               {"2006/04/03", ""},
                                               {"2006/04/04", "25"},
                                               {"2006/04/05", "14.2"}}));
    env.store.TionTable.Append(Tion("水戸", {{"2006/05/01", "16"}, {"2006/05/02", "17.5"}}));
    env.store.TionTable.Append(Tion("つくば", {{"2006/06/01", "21"}}));
  }

  // Opens the screen with the main window's "無機化推定".
  void Open() {
    env.Show();
    QTest::mouseClick(env.main->Command5, Qt::LeftButton);
    s = env.main->Find<Suitei_Form>(Screen::Suitei_Form);
    ASSERT_NE(s, nullptr);
    ASSERT_TRUE(s->isVisible());
  }
  // Clicks the entries, the first plainly and the others with Ctrl.
  static void Pick(ListBox* list, std::initializer_list<int> rows) {
    Qt::KeyboardModifiers mods = Qt::NoModifier;
    for (int r : rows) {
      list->scrollToItem(list->item(r));
      QTest::mouseClick(list->viewport(), Qt::LeftButton, mods,
                        list->visualItemRect(list->item(r)).center());
      mods = Qt::ControlModifier;
    }
  }
  void Calculate() { QTest::mouseClick(s->Text1, Qt::LeftButton); }
  QString Shown() const { return s->Label3[0]->text() + "/" + s->Label3[1]->text(); }
};

TEST_F(SuiteiScreen, OpensOnTheLastEstimationAndWarnsAboutEmptyTables) {
  env.store.SuiteiTable.Append(
      {1, "古い土", "古い地点", "年/月/日\t(mg/100g)\r2006/01/01\t1.00", 25});
  Open();
  EXPECT_TRUE(env.dialogs.shown.empty());
  EXPECT_EQ(Shown(), "1/1");
  EXPECT_EQ(s->Text2[0]->text(), "古い土");
  EXPECT_EQ(s->Label6->text(), QString::fromStdString(ModelName(1)));
  EXPECT_EQ(s->MSFlexGrid1->TextMatrix(1, 1), "1.00");
  EXPECT_EQ(s->List1->count(), 2);
  EXPECT_EQ(s->List2->count(), 3);
  // One series chosen: the dates of the first one are ready, whole range,
  // and show once the user clicks a series.
  EXPECT_FALSE(s->Combo1[0]->isVisible());
  EXPECT_EQ(s->Combo1[0]->count(), 5);
  EXPECT_EQ(s->Combo1[0]->currentText(), "2006/04/01");
  EXPECT_EQ(s->Combo1[1]->currentText(), "2006/04/05");
  EXPECT_FALSE(s->Label8->isVisible());
  Pick(s->List2, {0});
  EXPECT_TRUE(s->Combo1[0]->isVisible());
  EXPECT_TRUE(s->Label1[1]->isVisible());
  QTest::mouseClick(s->Option2, Qt::LeftButton);
  EXPECT_FALSE(s->Combo1[0]->isVisible());
  EXPECT_TRUE(s->Label8->isVisible());
  QTest::mouseClick(s->Command2, Qt::LeftButton);
  EXPECT_EQ(env.main->FindScreen(Screen::Suitei_Form), nullptr);

  // Empty tables: both warnings, the lists hidden, the position 0 / 0.
  ScreenEnv empty;
  empty.Show();
  QTest::mouseClick(empty.main->Command5, Qt::LeftButton);
  auto* e = empty.main->Find<Suitei_Form>(Screen::Suitei_Form);
  ASSERT_NE(e, nullptr);
  ASSERT_EQ(empty.dialogs.shown.size(), 2u);
  EXPECT_EQ(empty.dialogs.shown[0].text,
            "計算した土壌のパラメーターがありません\n最初にパラメータを計算して下さい");
  EXPECT_EQ(empty.dialogs.shown[1].text,
            "記入された温度データがありません\n最初に温度データを記入して下さい");
  EXPECT_FALSE(e->List1->isVisible());
  EXPECT_FALSE(e->List2->isVisible());
  EXPECT_EQ(e->Label3[0]->text() + "/" + e->Label3[1]->text(), "0/0");
  QTest::mouseClick(e->Text1, Qt::LeftButton);
  QTest::mouseClick(e->Command10, Qt::LeftButton);
  ASSERT_EQ(empty.dialogs.shown.size(), 4u);
  EXPECT_EQ(empty.dialogs.shown[2].text, "土壌を選択して下さい");
  EXPECT_EQ(empty.dialogs.shown[3].text, "表示するデータがありません");
  EXPECT_EQ(empty.store.SuiteiCount(), 0);
}

TEST_F(SuiteiScreen, TwoSetsAndThreeSeriesGiveSixRecordsSeriesBySeries) {
  env.store.SuiteiTable.Append(
      {1, "古い土", "古い地点", "年/月/日\t(mg/100g)\r2006/01/01\t1.00", 25});
  Open();
  QTest::mouseClick(s->Option2, Qt::LeftButton);
  Pick(s->List1, {0, 1});
  Pick(s->List2, {0, 1, 2});
  Calculate();
  EXPECT_TRUE(env.dialogs.shown.empty());
  ASSERT_EQ(env.store.SuiteiCount(), 7);
  const char* expected[6][2] = {{"黒ボク土", "つくば"}, {"被覆尿素", "つくば"},
                                {"黒ボク土", "水戸"},   {"被覆尿素", "水戸"},
                                {"黒ボク土", "つくば"}, {"被覆尿素", "つくば"}};
  const int days[6] = {5, 5, 2, 2, 1, 1};
  for (int i = 0; i < 6; ++i) {
    const SuiteiRecord& r = env.store.SuiteiTable(static_cast<int16_t>(i + 2));
    EXPECT_EQ(r.SoilName, expected[i][0]) << i;
    EXPECT_EQ(r.SiteName, expected[i][1]) << i;
    EXPECT_EQ(r.ModelNo, i % 2 ? 5 : 1);
    EXPECT_EQ(r.StdTemp, 25.0f);
    EXPECT_EQ(GridTextRows(r.GridText), days[i] + 1) << i;
    EXPECT_EQ(r.GridText.substr(0, r.GridText.find('\r')),
              i % 2 ? "年/月/日\t(%)" : "年/月/日\t(mg/100g)");
  }
  // The first series' third day has no temperature: its amount is empty and
  // the next day goes on from the same sums.
  const auto rows = SplitGridText(env.store.SuiteiTable(2).GridText);
  EXPECT_EQ(rows[3], (std::vector<std::string>{"2006/04/03", ""}));
  EXPECT_FALSE(rows[4][1].empty());
  // The sixth is shown, the position reads 7 of 7; the third series is the
  // second "つくば" of the list.
  EXPECT_EQ(Shown(), "7/7");
  EXPECT_EQ(s->Text2[0]->text(), "被覆尿素");
  EXPECT_EQ(s->Text2[1]->text(), "つくば");
  EXPECT_EQ(s->MSFlexGrid1->Rows(), 2);
  EXPECT_EQ(s->MSFlexGrid1->TextMatrix(1, 0), "2006/06/01");
  EXPECT_EQ(s->MSFlexGrid1->TextMatrix(0, 1), "(%)");
  EXPECT_EQ(s->Label6->text(), QString::fromStdString(ModelName(5)));
  EXPECT_EQ(env.store.TionCurrent, 3);
  EXPECT_EQ(env.store.ParaCurrent, 2);

  // Paging at both ends changes nothing; in between it moves one by one.
  QTest::mouseClick(s->Command7, Qt::LeftButton);  // "＞" on the last
  EXPECT_EQ(Shown(), "7/7");
  QTest::mouseClick(s->Command3, Qt::LeftButton);  // "＜"
  EXPECT_EQ(Shown(), "6/7");
  EXPECT_EQ(s->Text2[0]->text(), "黒ボク土");
  EXPECT_EQ(s->MSFlexGrid1->TextMatrix(0, 1), "(mg/100g)");
  QTest::mouseClick(s->Command8, Qt::LeftButton);  // "＜＜"
  EXPECT_EQ(Shown(), "1/7");
  EXPECT_EQ(s->Text2[0]->text(), "古い土");
  EXPECT_EQ(s->MSFlexGrid1->Rows(), 2);
  QTest::mouseClick(s->Command3, Qt::LeftButton);  // "＜" on the first
  EXPECT_EQ(Shown(), "1/7");
  QTest::mouseClick(s->Command7, Qt::LeftButton);
  EXPECT_EQ(Shown(), "2/7");
  EXPECT_EQ(s->MSFlexGrid1->Rows(), 6);
  QTest::mouseClick(s->Command9, Qt::LeftButton);  // "＞＞"
  EXPECT_EQ(Shown(), "7/7");
  EXPECT_EQ(env.store.SuiteiCurrent, 7);
  EXPECT_TRUE(env.dialogs.shown.empty());
}

TEST_F(SuiteiScreen, OneSeriesWithADateRangeCountsFromTheStartDate) {
  Open();
  Pick(s->List2, {0});
  Pick(s->List1, {0});
  // Start = end: a single day, which already carries that day's factor.
  s->Combo1[0]->setCurrentIndex(3);
  s->Combo1[1]->setCurrentIndex(3);
  Calculate();
  ASSERT_EQ(env.store.SuiteiCount(), 1);
  const ParaRecord p = env.store.ParaTable(1);
  const double t = static_cast<float>(ArrheniusFactor(p.Param[0], 25.0, p.StdTemp));
  const std::string day =
      FormatFixed(p.Param[2] * (1 - std::exp((-p.Param[1]) * t)) + p.Param[3], 2);
  EXPECT_EQ(env.store.SuiteiTable(1).GridText, "年/月/日\t(mg/100g)\r2006/04/04\t" + day);
  EXPECT_EQ(s->MSFlexGrid1->Rows(), 2);
  EXPECT_EQ(s->MSFlexGrid1->TextMatrix(1, 1), QString::fromStdString(day));

  // Days 2..4: the empty day stays empty, the sums start on day 2.
  s->Combo1[0]->setCurrentIndex(1);
  Calculate();
  ASSERT_EQ(env.store.SuiteiCount(), 2);
  const auto rows = SplitGridText(env.store.SuiteiTable(2).GridText);
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[1][0], "2006/04/02");
  EXPECT_EQ(rows[2][1], "");
  EXPECT_EQ(rows[3][0], "2006/04/04");

  // Another series clicked: its dates replace the lists.
  Pick(s->List2, {1});
  EXPECT_EQ(s->Combo1[0]->count(), 2);
  EXPECT_EQ(s->Combo1[1]->currentText(), "2006/05/02");
  EXPECT_TRUE(env.dialogs.shown.empty());
}

TEST_F(SuiteiScreen, SelectionMessagesComeInTheirOrderAndStoreNothing) {
  Open();
  // Nothing selected in either list.
  s->List1->clearSelection();
  s->List2->clearSelection();
  Calculate();
  Pick(s->List1, {0});
  Calculate();
  // Two series with one-series option and the dates the wrong way round: the
  // date message wins.
  Pick(s->List2, {0, 1});
  s->Combo1[0]->setCurrentIndex(1);
  s->Combo1[1]->setCurrentIndex(0);
  Calculate();
  s->Combo1[1]->setCurrentIndex(1);
  Calculate();
  ASSERT_EQ(env.dialogs.shown.size(), 4u);
  for (const auto& m : env.dialogs.shown) EXPECT_EQ(m.title, "注意");
  EXPECT_EQ(env.dialogs.shown[0].text, "土壌を選択して下さい");
  EXPECT_EQ(env.dialogs.shown[1].text, "温度データを選択して下さい");
  EXPECT_EQ(env.dialogs.shown[2].text, "開始日と終了日の設定が間違っています");
  EXPECT_EQ(env.dialogs.shown[3].text,
            "温度データが複数選択されています\n複数選択をチェックしてください");
  EXPECT_EQ(env.store.SuiteiCount(), 0);
  EXPECT_EQ(Shown(), "0/0");
}

TEST_F(SuiteiScreen, AFaultyPairOrAFullTableRefusesTheWholeRun) {
  env.store.TionTable.Append(Tion("壊れた地点", {{"2006/07/01", "20"}, {"2006/07/02", "abc"}}));
  env.store.ParaTable.Append(Para("σなし", 6, {"15000", "0.03", "95", "27", "16000", "0"}, "25"));
  env.store.ParaTable.Append(Para("低すぎる", 1, kSoilParams, "-273"));
  Open();
  QTest::mouseClick(s->Option2, Qt::LeftButton);
  // A temperature that is not a number in the last series.
  Pick(s->List1, {0, 1});
  Pick(s->List2, {0, 1, 3});
  Calculate();
  ASSERT_EQ(env.dialogs.shown.size(), 1u);
  EXPECT_TRUE(env.dialogs.shown[0].text.contains("黒ボク土"))
      << env.dialogs.shown[0].text.toStdString();
  EXPECT_TRUE(env.dialogs.shown[0].text.contains("壊れた地点"));
  EXPECT_TRUE(env.dialogs.shown[0].text.contains("abc"));
  EXPECT_EQ(env.store.SuiteiCount(), 0);
  // σ = 0 and a standard temperature of -273: each named.
  Pick(s->List2, {0});
  Pick(s->List1, {2});
  Calculate();
  Pick(s->List1, {3});
  Calculate();
  ASSERT_EQ(env.dialogs.shown.size(), 3u);
  EXPECT_TRUE(env.dialogs.shown[1].text.contains("σなし"));
  EXPECT_TRUE(env.dialogs.shown[1].text.contains("つくば"));
  EXPECT_TRUE(env.dialogs.shown[2].text.contains("低すぎる"));
  EXPECT_TRUE(env.dialogs.shown[2].text.contains("-273"));
  EXPECT_EQ(env.store.SuiteiCount(), 0);
  EXPECT_EQ(Shown(), "0/0");

  // One place left in the table and two runs asked for: refused whole.
  const SuiteiRecord filler{1, "土", "地点", "年/月/日\t(mg/100g)\r2006/01/01\t1.00", 25};
  while (env.store.SuiteiCount() < kMaxRecords - 1) env.store.SuiteiTable.Append(filler);
  Pick(s->List1, {0, 1});
  Pick(s->List2, {1});
  Calculate();
  ASSERT_EQ(env.dialogs.shown.size(), 4u);
  EXPECT_TRUE(env.dialogs.shown[3].text.contains("32767"));
  EXPECT_EQ(env.store.SuiteiCount(), kMaxRecords - 1);
  // A single run still fits.
  Pick(s->List1, {1});
  Calculate();
  EXPECT_EQ(env.store.SuiteiCount(), kMaxRecords);
  EXPECT_EQ(Shown(), "32767/32767");
}

// What kelvora-cli estimate makes of the same series and parameter set.
testing::Json CliEstimate(const std::string& table, int model,
                          const std::vector<std::string>& params, const std::string& stdTemp,
                          const std::string& from = {}, const std::string& to = {}) {
  QTemporaryFile file;
  EXPECT_TRUE(file.open());
  file.write(table.data(), static_cast<qint64>(table.size()));
  file.flush();
  std::string joined;
  for (const std::string& p : params) joined += (joined.empty() ? "" : ",") + p;
  std::vector<std::string> args{"estimate",   file.fileName().toStdString(),
                                "--model",    std::to_string(model),
                                "--params",   joined,
                                "--std-temp", stdTemp};
  if (!from.empty()) args.insert(args.end(), {"--from", from, "--to", to});
  std::ostringstream out, err;
  EXPECT_EQ(RunCli(args, out, err), 0) << err.str();
  return testing::ParseJson(out.str());
}

TEST_F(SuiteiScreen, EveryModelEqualsTheCommandLineToolBitForBit) {
  const std::string table =
      test::ReadBytes(std::filesystem::path(KELVORA_SOURCE_DIR) / "tests/data/bench/series-2y.tsv");
  struct Set {
    int16_t model;
    std::vector<std::string> params;
    std::string stdTemp;
  };
  const std::vector<Set> sets = {
      {1, kSoilParams, "25"},
      {2, {"19000", "13000", "0.016", "0.012", "5", "10", "0.8"}, "25"},
      {3, {"19000", "480", "0.032", "0.007", "10.5", "2.6", "1.6"}, "20"},
      {4, {"18800", "0.019", "115", "-14.7"}, "25"},
      {5, kFertParams, "25"},
      {6, {"15000", "0.032", "95", "27.9", "16000", "1.05"}, "30"},
  };
  env.store.ParaTable.Clear();
  env.store.TionTable.Clear();
  for (const Set& set : sets) {
    env.store.ParaTable.Append(
        Para("set" + std::to_string(set.model), set.model, set.params, set.stdTemp));
  }
  env.store.TionTable.Append(
      TionRecord{"2年", GridFromRows(SplitGridText(table, kSpreadsheetFormat), 1, 2).ToGridText()});
  Open();
  QTest::mouseClick(s->Option2, Qt::LeftButton);
  Pick(s->List1, {0, 1, 2, 3, 4, 5});
  Pick(s->List2, {0});
  Calculate();
  ASSERT_TRUE(env.dialogs.shown.empty());
  ASSERT_EQ(env.store.SuiteiCount(), 6);
  for (size_t i = 0; i < sets.size(); ++i) {
    const testing::Json cli = CliEstimate(table, sets[i].model, sets[i].params, sets[i].stdTemp);
    std::string expected = "年/月/日\t" + cli["unit"].text;
    for (size_t d = 0; d < cli["rows"].size(); ++d) {
      expected += "\r" + cli["rows"][d][0].text + "\t" + cli["rows"][d][2].text;
    }
    EXPECT_EQ(env.store.SuiteiTable(static_cast<int16_t>(i + 1)).GridText, expected) << i;
  }
  // The screen's cells are the last set's texts.
  const testing::Json last = CliEstimate(table, 6, sets[5].params, "30");
  ASSERT_EQ(s->MSFlexGrid1->Rows(), static_cast<int>(last["rows"].size()) + 1);
  for (size_t d = 0; d < last["rows"].size(); ++d) {
    ASSERT_EQ(s->MSFlexGrid1->TextMatrix(static_cast<int>(d + 1), 1).toStdString(),
              last["rows"][d][2].text)
        << d;
  }

  // A date range on one series equals the tool's --from/--to.
  QTest::mouseClick(s->Option1, Qt::LeftButton);
  Pick(s->List1, {2});
  Pick(s->List2, {0});
  s->Combo1[0]->setCurrentIndex(200);
  s->Combo1[1]->setCurrentIndex(400);
  Calculate();
  ASSERT_EQ(env.store.SuiteiCount(), 7);
  const testing::Json cut =
      CliEstimate(table, 3, sets[2].params, "20", s->Combo1[0]->currentText().toStdString(),
                  s->Combo1[1]->currentText().toStdString());
  ASSERT_EQ(cut["rows"].size(), 201u);
  std::string expected = "年/月/日\t(mg/100g)";
  for (size_t d = 0; d < cut["rows"].size(); ++d) {
    expected += "\r" + cut["rows"][d][0].text + "\t" + cut["rows"][d][2].text;
  }
  EXPECT_EQ(env.store.SuiteiTable(7).GridText, expected);
}

TEST_F(SuiteiScreen, TheGraphDrawsTheShownEstimationWithGapsAndCopiesOnlyAPicture) {
  env.store.TionTable.Append(LongTion("十年", QDate(2010, 1, 1), 3653));
  Open();
  QTest::mouseClick(s->Command6, Qt::LeftButton);  // "印刷"
  EXPECT_EQ(env.store.PrintKind, 2);
  ASSERT_NE(env.main->PrintSelection(), nullptr);
  EXPECT_EQ(env.main->PrintSelection()->Kind(), 2);
  EXPECT_TRUE(env.dialogs.shown.empty());
  env.main->PrintSelection()->close();

  // The first series has a day without temperature: two pieces of line.
  Pick(s->List2, {0});
  Pick(s->List1, {1});
  Calculate();
  QTest::mouseClick(s->Command10, Qt::LeftButton);
  auto* g = env.main->Find<Suitei_Graph>(Screen::Suitei_Graph);
  ASSERT_NE(g, nullptr);
  EXPECT_EQ(g->windowTitle(), "窒素無機化推定量");
  EXPECT_EQ(g->Label1[3]->text(), "被覆尿素");
  EXPECT_EQ(g->Label1[4]->text(), QString::fromStdString(ModelName(5)));
  EXPECT_EQ(g->Label1[5]->text(), "つくば");
  EXPECT_EQ(g->Label2->Text(), "窒素無機化率推定値　(%)");
  EXPECT_EQ(g->PieceCount(), 2);
  EXPECT_EQ(g->DateLabels(),
            (QStringList{"2006/04/01", "2006/04/02", "2006/04/03", "2006/04/04", "2006/04/05"}));
  const auto series = g->MSChart1->chart()->series();
  ASSERT_EQ(series.size(), 2);
  auto* first = qobject_cast<QLineSeries*>(series[0]);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->count(), 2);
  EXPECT_EQ(first->at(1).x(), 1);

  // "コピー": one picture and no text.
  QGuiApplication::clipboard()->setText(QStringLiteral("前の文字"));
  g->Edit_Copy->trigger();
  const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
  ASSERT_NE(mime, nullptr);
  EXPECT_TRUE(mime->hasImage());
  EXPECT_FALSE(mime->hasText());
  EXPECT_FALSE(QGuiApplication::clipboard()->image().isNull());
  // "印刷": the printer choice closed without "印刷" keeps the current
  // printer, and the window image is printed all the same, A4 landscape.
  env.dialogs.onExec = [](QDialog& d) {
    EXPECT_EQ(d.windowTitle(), "プリンターの選択");
    return int(QDialog::Rejected);
  };
  QTest::mouseClick(g->Command1, Qt::LeftButton);
  ASSERT_EQ(env.printers.jobs.size(), 1u);
  EXPECT_EQ(env.printers.jobs[0].printer, "Canon_LBP");
  EXPECT_EQ(env.printers.jobs[0].title, "窒素無機化推定量");
  EXPECT_EQ(testing::PdfPageSize(env.printers.jobs[0].file.toStdString()), "842 x 595");
  EXPECT_TRUE(g->Command1->isVisibleTo(g) && g->Command2->isVisibleTo(g));
  EXPECT_TRUE(env.dialogs.shown.empty());
  QTest::mouseClick(g->Command2, Qt::LeftButton);
  EXPECT_EQ(env.main->FindScreen(Screen::Suitei_Graph), nullptr);

  // Ten years of a soil: one piece, the amount title, a handful of dates.
  Pick(s->List2, {3});
  Pick(s->List1, {0});
  Calculate();
  ASSERT_EQ(env.store.SuiteiCount(), 2);
  QTest::mouseClick(s->Command10, Qt::LeftButton);
  g = env.main->Find<Suitei_Graph>(Screen::Suitei_Graph);
  ASSERT_NE(g, nullptr);
  EXPECT_EQ(g->Label2->Text(), "窒素無機化量推定値　(mg/100g)");
  EXPECT_EQ(g->PieceCount(), 1);
  EXPECT_EQ(qobject_cast<QLineSeries*>(g->MSChart1->chart()->series()[0])->count(), 3653);
  // As many dates as fit side by side, whatever the width.
  const int labelWidth = QFontMetrics(g->MSChart1->chart()->axes(Qt::Horizontal)[0]->labelsFont())
                             .horizontalAdvance(QStringLiteral("2010/01/01"));
  EXPECT_GE(g->DateLabels().size(), 4);
  EXPECT_LE(g->DateLabels().size() * labelWidth, g->MSChart1->width() - 100);
  g->parentWidget()->resize(g->parentWidget()->width() + 500, g->parentWidget()->height());
  EXPECT_GT(g->DateLabels().size(), 4);
  EXPECT_LE(g->DateLabels().size() * labelWidth, g->MSChart1->width() - 100);
  EXPECT_EQ(g->DateLabels().front(), "2010/01/01");
  // It keeps what it showed while the estimation screen pages on.
  QTest::mouseClick(s->Command8, Qt::LeftButton);
  QTest::mouseClick(s->Command10, Qt::LeftButton);
  EXPECT_EQ(env.main->Find<Suitei_Graph>(Screen::Suitei_Graph), g);
  EXPECT_EQ(g->Label1[3]->text(), "黒ボク土");
  EXPECT_EQ(s->GraphTable.size(), 5u);
}

TEST_F(SuiteiScreen, EstimationsSurviveTheExitAndTheToolReadsThem) {
  Open();
  QTest::mouseClick(s->Option2, Qt::LeftButton);
  Pick(s->List1, {0, 1});
  Pick(s->List2, {1});
  Calculate();
  ASSERT_EQ(env.store.SuiteiCount(), 2);
  env.dialogs.answers = {true};
  QTest::mouseClick(env.main->Command3, Qt::LeftButton);  // "終了", yes to saving
  ASSERT_EQ(env.dialogs.shown.size(), 1u);
  EXPECT_EQ(env.dialogs.shown[0].text, "データをファイル保存しますか");

  // The next start shows the last estimation again.
  hensuu store2;
  ScriptedDialogs dialogs2;
  MDIForm1 main2(store2, env.DataDir(), dialogs2);
  main2.Startup();
  ASSERT_EQ(store2.SuiteiCount(), 2);
  EXPECT_EQ(store2.SuiteiTable(1), env.store.SuiteiTable(1));
  EXPECT_EQ(store2.SuiteiTable(2), env.store.SuiteiTable(2));
  auto* s2 = qobject_cast<Suitei_Form*>(main2.OpenChildScreen(Screen::Suitei_Form));
  ASSERT_NE(s2, nullptr);
  EXPECT_EQ(s2->Label3[0]->text() + "/" + s2->Label3[1]->text(), "2/2");
  EXPECT_EQ(s2->Text2[0]->text(), "被覆尿素");
  EXPECT_EQ(s2->Text2[1]->text(), "水戸");
  EXPECT_EQ(s2->List1->count(), 2);
  EXPECT_EQ(s2->List2->count(), 3);

  // kelvora-cli dump reads the same estimations from the files.
  std::ostringstream out, err;
  ASSERT_EQ(RunCli({"dump", env.DataDir().string()}, out, err), 0) << err.str();
  const testing::Json dump = testing::ParseJson(out.str());
  const testing::Json& suitei = dump["SuiteiTable"];
  ASSERT_EQ(suitei["records"].size(), 2u);
  EXPECT_EQ(suitei["records"][1]["SoilName"].text, "被覆尿素");
  EXPECT_EQ(suitei["records"][1]["GridText"].text, env.store.SuiteiTable(2).GridText);
  dialogs2.answers = {false};
  main2.close();
}

TEST_F(SuiteiScreen, DeletionGoesThroughTheSharedDialogAndShowsWhatIsLeft) {
  int runs = 0;
  env.main->SetDeletionDialog([&](QWidget* owner) {
    ++runs;
    EXPECT_EQ(env.store.DeleteKind, 7);
    EXPECT_EQ(owner, s);
    // What the dialog does for the estimations: records go, the current
    // index follows.
    env.store.SuiteiTable.Remove(1);
    env.store.SuiteiCurrent = 1;
  });
  Open();
  QTest::mouseClick(s->Command11, Qt::LeftButton);  // nothing stored: no dialog
  EXPECT_EQ(runs, 0);
  QTest::mouseClick(s->Option2, Qt::LeftButton);
  Pick(s->List1, {0, 1});
  Pick(s->List2, {1});
  Calculate();
  QTest::mouseClick(s->Command11, Qt::LeftButton);
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(Shown(), "1/1");
  EXPECT_EQ(s->Text2[0]->text(), "被覆尿素");
  EXPECT_EQ(s->MSFlexGrid1->TextMatrix(0, 1), "(%)");
  env.main->SetDeletionDialog([&](QWidget*) {
    ++runs;
    env.store.SuiteiTable.Clear();
    env.store.SuiteiCurrent = 0;
  });
  QTest::mouseClick(s->Command11, Qt::LeftButton);
  EXPECT_EQ(runs, 2);
  EXPECT_EQ(Shown(), "0/0");
  EXPECT_TRUE(s->Text2[0]->text().isEmpty());
  EXPECT_TRUE(s->Label6->text().isEmpty());
  EXPECT_TRUE(s->MSFlexGrid1->TextMatrix(1, 1).isEmpty());
  EXPECT_TRUE(env.dialogs.shown.empty());
}

TEST_F(SuiteiScreen, TheResultGridMenuCopiesTheSelectionAsGridText) {
  Open();
  Pick(s->List1, {0});
  Pick(s->List2, {0});
  Calculate();
  ASSERT_EQ(env.store.SuiteiCount(), 1);
  FlexGrid* g = s->MSFlexGrid1;
  // Right click on another cell: the cursor moves there and the menu opens.
  env.dialogs.onPopup = [&](QMenu& menu) {
    EXPECT_EQ(&menu, s->Edit);
    return s->Edit_Copy;
  };
  test::ClickCell(g, 2, 1, Qt::RightButton);
  EXPECT_EQ(env.dialogs.popups, 1);
  EXPECT_EQ(g->Row(), 2);
  EXPECT_EQ(QGuiApplication::clipboard()->text(), g->TextMatrix(2, 1));
  // "全てを選択" and "コピー": the whole table, the stored text with rows
  // ended by CR LF as the data grids copy them.
  s->Edit_Select_All->trigger();
  test::ClickCell(g, 3, 1, Qt::RightButton);  // inside the block: kept
  EXPECT_EQ(env.dialogs.popups, 2);
  std::string crlf;
  for (char c : env.store.SuiteiTable(1).GridText)
    crlf += c == '\r' ? std::string("\r\n") : std::string(1, c);
  EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), crlf);
}

TEST(SuiteiGraphLabels, EveryDayUpToEightThenEvenSteps) {
  EXPECT_EQ(DateLabelRows(1, 8), std::vector<int>{0});
  EXPECT_EQ(DateLabelRows(8, 8).size(), 8u);
  EXPECT_EQ(DateLabelRows(9, 8), (std::vector<int>{0, 2, 4, 6, 8}));
  EXPECT_EQ(DateLabelRows(3653, 8).size(), 8u);
  EXPECT_TRUE(DateLabelRows(0, 8).empty());
}

TEST(SuiteiGraphLabels, MonthStartsEveryFewMonthsFromJanuary) {
  // A year from 2006/04/01, the dates of its rows as QDate counts them.
  std::vector<std::string> year;
  for (QDate d(2006, 4, 1); d <= QDate(2007, 3, 31); d = d.addDays(1)) {
    year.push_back(d.toString(QStringLiteral("yyyy/MM/dd")).toStdString());
  }
  auto labels = [&](int maxLabels) {
    std::vector<std::string> out;
    for (int r : MonthStartRows(year, maxLabels)) out.push_back(year[static_cast<size_t>(r)]);
    return out;
  };
  EXPECT_EQ(labels(12).size(), 12u);
  EXPECT_EQ(labels(12)[1], "2006/05/01");
  EXPECT_EQ(labels(8), (std::vector<std::string>{"2006/05/01", "2006/07/01", "2006/09/01",
                                                 "2006/11/01", "2007/01/01", "2007/03/01"}));
  EXPECT_EQ(labels(5),
            (std::vector<std::string>{"2006/04/01", "2006/07/01", "2006/10/01", "2007/01/01"}));
  EXPECT_EQ(labels(2), (std::vector<std::string>{"2006/07/01", "2007/01/01"}));
  // Under two month starts: even steps from the first day.
  const std::vector<std::string> days{"2006/04/28", "2006/04/29", "2006/04/30", "2006/05/01"};
  EXPECT_EQ(MonthStartRows(days, 8), DateLabelRows(4, 8));
}

}  // namespace
}  // namespace kelvora

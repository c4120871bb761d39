// Several screens open at once over the same tables: every screen writes only
// into the record it shows, whatever another screen did to the current index;
// lists that mirror a table follow deletions and appends made elsewhere,
// keeping the user's selection by record; the estimation chart takes its
// curve, captions and unit from one record.
#include <gtest/gtest.h>

#include <QMdiArea>
#include <QTest>
#include <string>
#include <vector>

#include "print/prifrm_select.h"
#include "screen_test_env.h"
#include "screens/baiyo_form0_3.h"
#include "screens/chart_setup.h"
#include "screens/controls.h"
#include "screens/delfrm_select.h"
#include "screens/flex_grid.h"
#include "screens/ondo_form.h"
#include "screens/paraall_form.h"
#include "screens/suitei_form.h"
#include "screens/suitei_graph.h"
#include "store/grid_text.h"
#include "store/number_text.h"

namespace kelvora {
namespace {

using test::ScreenEnv;

TionRecord Series(const std::string& site, const std::string& temp) {
  return TionRecord{
      site, JoinGridText({{"年/月/日", "地温(℃)"}, {"2006/04/01", temp}, {"2006/04/02", temp}})};
}

ParaRecord Para(const std::string& name, int16_t model, const std::vector<std::string>& params) {
  ParaRecord p;
  p.SoilName = name;
  p.ModelNo = model;
  for (size_t i = 0; i < params.size(); ++i) p.Param[i] = *ParseSingle(params[i]);
  p.StdTemp = 25;
  return p;
}

std::string SiteName(int i) { return (i < 10 ? "地点0" : "地点") + std::to_string(i); }

// A press on an entry, as the user's mouse does it.
void Press(QListWidget* list, int row, Qt::KeyboardModifiers mods = Qt::NoModifier) {
  ASSERT_LT(row, list->count());
  list->scrollToItem(list->item(row));
  QTest::mouseClick(list->viewport(), Qt::LeftButton, mods,
                    list->visualItemRect(list->item(row)).center());
}

// Answers the deletion dialog by deleting the entries at `rows`.
std::function<int(QDialog&)> DeleteRows(std::vector<int> rows) {
  return [rows](QDialog& d) {
    auto* dialog = qobject_cast<DelFrm_Select*>(&d);
    EXPECT_NE(dialog, nullptr);
    if (!dialog) return static_cast<int>(QDialog::Rejected);
    dialog->List1->clearSelection();
    for (int r : rows) dialog->List1->item(r)->setSelected(true);
    dialog->Command2->click();
    return dialog->result();
  };
}

class SharedTables : public ::testing::Test {
 protected:
  ScreenEnv env;
  std::vector<TionRecord> series;

  void SetUp() override {
    for (int i = 1; i <= 10; ++i) {
      series.push_back(Series(SiteName(i), std::to_string(10 + i)));
      env.store.TionTable.Append(series.back());
    }
    env.store.ParaTable.Append(Para("黒ボク土", 1, {"17000", "0.022", "11.5", "0.9"}));
    env.store.ParaTable.Append(Para("被覆尿素", 5, {"15000", "0.05", "93", "29.3", "22000"}));
    env.Show();
  }
  Ondo_Form* OpenOndo() {
    QTest::mouseClick(env.main->Command4, Qt::LeftButton);  // "地温入力"
    return env.main->Find<Ondo_Form>(Screen::Ondo_Form);
  }
  Suitei_Form* OpenSuitei() {
    QTest::mouseClick(env.main->Command5, Qt::LeftButton);  // "無機化推定"
    return env.main->Find<Suitei_Form>(Screen::Suitei_Form);
  }
  ParaAll_Form* OpenParaAll() {
    QTest::mouseClick(env.main->Command2, Qt::LeftButton);  // "パラメータ一覧"
    return env.main->Find<ParaAll_Form>(Screen::ParaAll_Form);
  }
  // Brings a screen's window to the front as a click on it does.
  void Activate(Screen screen) {
    env.main->MdiArea->setActiveSubWindow(nullptr);
    env.main->MdiArea->setActiveSubWindow(env.main->FrameOf(screen));
  }
  void ExpectSeriesUnchanged(const std::string& context) {
    ASSERT_EQ(env.store.TionCount(), 10) << context;
    for (int i = 1; i <= 10; ++i) {
      EXPECT_EQ(env.store.TionTable(static_cast<int16_t>(i)), series[i - 1]) << context << " " << i;
    }
  }
};

TEST_F(SharedTables, TheSoilTemperatureScreenWritesOnlyIntoTheSeriesItShows) {
  // 地点05 shown; the estimation screen opens (its series list puts the
  // current index on 地点01) and closes; the program ends with a save.
  Ondo_Form* ondo = OpenOndo();
  ASSERT_NE(ondo, nullptr);
  Press(ondo->List1, 4);
  ASSERT_EQ(ondo->Text_Titen->text(), "地点05");
  Suitei_Form* s = OpenSuitei();
  ASSERT_NE(s, nullptr);
  QTest::mouseClick(s->Command2, Qt::LeftButton);  // "終了"
  env.dialogs.answers = {true};                    // "データをファイル保存しますか"
  EXPECT_TRUE(env.main->close());
  ExpectSeriesUnchanged("after closing everything");
}

TEST_F(SharedTables, AnEstimationOnAnotherSeriesDoesNotRedirectTheEdits) {
  Ondo_Form* ondo = OpenOndo();
  Press(ondo->List1, 4);
  Suitei_Form* s = OpenSuitei();
  Press(s->List2, 1);  // 地点02
  Press(s->List1, 0);
  QTest::mouseClick(s->Text1, Qt::LeftButton);  // "④ 計算"
  ASSERT_EQ(env.store.SuiteiCount(), 1);
  EXPECT_EQ(env.store.SuiteiTable(1).SiteName, "地点02");
  EXPECT_EQ(env.store.TionCurrent, 2);
  // Back on the soil temperature screen the name of 地点05 is changed and the
  // screen closed: the change lands in 地点05, 地点02 stays as it was.
  ondo->Text_Titen->setText(QStringLiteral("地点05改"));
  ASSERT_TRUE(env.main->CloseChildScreen(Screen::Ondo_Form));
  series[4].SiteName = "地点05改";
  ExpectSeriesUnchanged("after closing the soil temperature screen");
  EXPECT_TRUE(env.dialogs.shown.empty());
}

TEST_F(SharedTables, AShownSeriesRemovedMeanwhileIsStoredAnewOnlyAfterAYes) {
  Ondo_Form* ondo = OpenOndo();
  Press(ondo->List1, 4);
  ondo->Text_Titen->setText(QStringLiteral("地点05改"));
  // Removed behind the screen's back (the deletion of another screen).
  env.store.TionTable.Remove(5);
  env.store.TionCurrent = 5;
  env.dialogs.answers = {true};
  Press(ondo->List1, 0);  // applies the screen first
  ASSERT_EQ(env.dialogs.shown.size(), 1u);
  EXPECT_EQ(env.dialogs.shown[0].kind, "question");
  EXPECT_TRUE(env.dialogs.shown[0].text.contains("地点05改"));
  ASSERT_EQ(env.store.TionCount(), 10);
  EXPECT_EQ(env.store.TionTable(5).SiteName, "地点06");  // the neighbour untouched
  EXPECT_EQ(env.store.TionTable(10).SiteName, "地点05改");
  EXPECT_EQ(env.store.TionTable(10).GridText, series[4].GridText);
  EXPECT_EQ(ondo->Text_Titen->text(), "地点01");
  EXPECT_EQ(ondo->List1->count(), 10);

  // A no keeps nothing of the screen and writes into no other series.
  Press(ondo->List1, 2);  // 地点03
  ondo->Text_Titen->setText(QStringLiteral("書きかけ"));
  env.store.TionTable.Remove(3);
  env.dialogs.answers = {false};
  ASSERT_TRUE(env.main->CloseChildScreen(Screen::Ondo_Form));
  ASSERT_EQ(env.store.TionCount(), 9);
  for (int i = 1; i <= 9; ++i) {
    EXPECT_NE(env.store.TionTable(static_cast<int16_t>(i)).SiteName, "書きかけ") << i;
  }
  EXPECT_EQ(env.store.TionTable(3).SiteName, "地点04");
}

// The soil temperature screen deletes without applying first: what was typed
// into the series it shows stays on the screen when another series is
// deleted, and lands in that series; deleting the shown series shows another.
TEST_F(SharedTables, DeletingAnotherSeriesKeepsTheShownSeriesAndWhatWasTyped) {
  Ondo_Form* ondo = OpenOndo();
  ASSERT_NE(ondo, nullptr);
  Press(ondo->List1, 4);
  ondo->Text_Titen->setText(QStringLiteral("地点05改"));
  env.dialogs.onExec = DeleteRows({1});  // 地点02
  QTest::mouseClick(ondo->Command8, Qt::LeftButton);
  ASSERT_EQ(env.store.TionCount(), 9);
  EXPECT_EQ(ondo->Text_Titen->text(), "地点05改");
  EXPECT_EQ(ondo->List1->currentRow(), 3);
  EXPECT_EQ(env.store.TionTable(4).SiteName, "地点05");  // not applied yet
  ASSERT_TRUE(env.main->CloseChildScreen(Screen::Ondo_Form));
  EXPECT_EQ(env.store.TionTable(4).SiteName, "地点05改");
  EXPECT_EQ(env.store.TionTable(4).GridText, series[4].GridText);
  EXPECT_EQ(env.store.TionTable(3).SiteName, "地点04");

  // The shown series deleted: the screen shows the one at its place.
  ondo = OpenOndo();
  Press(ondo->List1, 2);  // 地点04
  env.dialogs.onExec = DeleteRows({2});
  QTest::mouseClick(ondo->Command8, Qt::LeftButton);
  ASSERT_EQ(env.store.TionCount(), 8);
  EXPECT_EQ(ondo->Text_Titen->text(), "地点05改");
}

TEST_F(SharedTables, TheIncubationListFollowsAppendsAndTheScreenItsRecord) {
  for (const char* name : {"土A", "土B", "土C"}) {
    env.store.BaiyoTable.Append({name, "培養日数\t20\t25\t30\r0\t1\t2\t3", false});
  }
  env.store.BaiyoCurrent = 2;
  Baiyo_Form0_3* b = env.OpenBaiyo();
  ASSERT_NE(b, nullptr);
  ASSERT_EQ(b->Text_Dojyo->text(), "土B");
  b->Text_Dojyo->setText(QStringLiteral("土B改"));
  // Elsewhere: a record appended and the current index moved.
  OpenParaAll();
  env.store.BaiyoTable.Append({"土D", "培養日数\t20\t25\t30\r0\t4\t5\t6", false});
  env.store.BaiyoCurrent = 3;
  Activate(Screen::Baiyo_Form0_3);  // back on the incubation screen: the list follows
  ASSERT_EQ(b->List1->count(), 4);
  EXPECT_TRUE(b->List1->item(1)->isSelected());
  Press(b->List1, 3);
  EXPECT_EQ(env.store.BaiyoTable(2).SoilName, "土B改");
  EXPECT_EQ(env.store.BaiyoTable(3).SoilName, "土C");
  EXPECT_EQ(b->List1->count(), 4);
  EXPECT_EQ(b->Text_Dojyo->text(), "土D");
  EXPECT_EQ(env.store.BaiyoCurrent, 4);
}

TEST_F(SharedTables, EstimationListsFollowADeletedParameterSet) {
  Suitei_Form* s = OpenSuitei();
  Press(s->List2, 0);
  Press(s->List1, 1);  // 被覆尿素, below the set that will be deleted
  ParaAll_Form* p = OpenParaAll();
  ASSERT_NE(p, nullptr);
  env.dialogs.onExec = DeleteRows({0});  // 黒ボク土
  QTest::mouseClick(p->Command8, Qt::LeftButton);
  ASSERT_EQ(env.store.ParaCount(), 1);
  // Back on the estimation screen: "④ 計算" estimates the set chosen.
  QTest::mouseClick(s->Text1, Qt::LeftButton);
  ASSERT_EQ(env.store.SuiteiCount(), 1);
  EXPECT_EQ(env.store.SuiteiTable(1).SoilName, "被覆尿素");
  ASSERT_EQ(s->List1->count(), 1);
  EXPECT_TRUE(s->List1->item(0)->isSelected());

  // The chosen set itself deleted: the choice goes, nothing is estimated.
  env.dialogs.onExec = DeleteRows({0});
  QTest::mouseClick(p->Command8, Qt::LeftButton);
  ASSERT_EQ(env.store.ParaCount(), 0);
  env.dialogs.shown.clear();
  QTest::mouseClick(s->Text1, Qt::LeftButton);
  EXPECT_EQ(env.store.SuiteiCount(), 1);
  ASSERT_EQ(env.dialogs.shown.size(), 1u);
  EXPECT_EQ(env.dialogs.shown[0].text, "土壌を選択して下さい");

  // A set added while the screen is open appears in its list.
  env.store.ParaTable.Append(Para("灰色低地土", 1, {"16000", "0.02", "10", "1"}));
  Activate(Screen::Suitei_Form);
  ASSERT_EQ(s->List1->count(), 1);
  EXPECT_TRUE(s->List1->isVisible());
  EXPECT_EQ(s->List1->item(0)->text(), "灰色低地土");
}

TEST_F(SharedTables, EstimationListsFollowDeletedAndAddedSeries) {
  Suitei_Form* s = OpenSuitei();
  Press(s->List2, 9);  // 地点10: its dates fill the date lists
  ASSERT_EQ(s->Combo1[0]->count(), 2);
  Ondo_Form* ondo = OpenOndo();
  Press(ondo->List1, 9);
  env.dialogs.onExec = DeleteRows({9});
  QTest::mouseClick(ondo->Command8, Qt::LeftButton);
  ASSERT_EQ(env.store.TionCount(), 9);
  // The series list of the estimation screen is rebuilt before it is used.
  Press(s->List2, 8);
  EXPECT_EQ(s->List2->count(), 9);
  Press(s->List1, 0);
  QTest::mouseClick(s->Text1, Qt::LeftButton);
  ASSERT_EQ(env.store.SuiteiCount(), 1);
  EXPECT_EQ(env.store.SuiteiTable(1).SiteName, "地点09");

  // A series added on the soil temperature screen appears through its
  // "窒素無機化推定".
  QTest::mouseClick(ondo->Text3, Qt::LeftButton);  // "新規入力"
  ondo->MSFlexGrid1->SetTextMatrix(1, 0, QStringLiteral("2006/07/01"));
  ondo->MSFlexGrid1->SetTextMatrix(1, 1, QStringLiteral("20"));
  ondo->Text_Titen->setText(QStringLiteral("新地点"));
  QTest::mouseClick(ondo->Command5, Qt::LeftButton);
  ASSERT_EQ(env.store.TionCount(), 10);
  Activate(Screen::Suitei_Form);
  ASSERT_EQ(s->List2->count(), 10);
  EXPECT_EQ(s->List2->item(9)->text(), "新地点");
}

TEST_F(SharedTables, TheChartIsOfTheShownEstimationAfterPrintingAnother) {
  env.store.SuiteiTable.Append(
      {1, "黒ボク土", "地点01", "年/月/日\t(mg/100g)\r2006/04/01\t0.10\r2006/04/02\t0.20", 25});
  env.store.SuiteiTable.Append(
      {5, "被覆尿素", "地点02", "年/月/日\t(%)\r2006/04/01\t1.00\r2006/04/02\t3.00", 25});
  Suitei_Form* s = OpenSuitei();
  ASSERT_EQ(s->Text2[0]->text(), "被覆尿素");
  // "印刷": the other estimation printed, which moves SuiteiCurrent to it.
  QTest::mouseClick(s->Command6, Qt::LeftButton);
  PriFrm_Select* w = env.main->PrintSelection();
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->List1->currentRow(), 1);
  w->List1->clearSelection();
  w->List1->item(0)->setSelected(true);
  QTest::mouseClick(w->Command2, Qt::LeftButton);
  ASSERT_EQ(env.printers.jobs.size(), 1u);
  EXPECT_EQ(env.store.SuiteiCurrent, 1);
  // "グラフ表示": curve, captions and unit all of the estimation shown.
  QTest::mouseClick(s->Command10, Qt::LeftButton);
  auto* graph = env.main->Find<Suitei_Graph>(Screen::Suitei_Graph);
  ASSERT_NE(graph, nullptr);
  EXPECT_EQ(graph->Label1[3]->text(), "被覆尿素");
  EXPECT_EQ(graph->Label1[5]->text(), "地点02");
  EXPECT_TRUE(graph->Label2->Text().contains("(%)"));
  ASSERT_EQ(s->GraphTable.size(), 2u);
  EXPECT_EQ(s->GraphTable[1].amount, "3.00");
  // Paging goes on from the estimation shown, not from the one printed.
  QTest::mouseClick(s->Command3, Qt::LeftButton);  // "＜"
  EXPECT_EQ(s->Text2[0]->text(), "黒ボク土");
  EXPECT_EQ(s->Label3[0]->text(), "1");
}

TEST_F(SharedTables, DeletionAndPrintingOfferTheSetTheParameterListShows) {
  ParaAll_Form* p = OpenParaAll();
  ASSERT_EQ(p->Text2->text(), "被覆尿素");
  // An estimation with 黒ボク土 moves ParaCurrent to it.
  Suitei_Form* s = OpenSuitei();
  Press(s->List2, 0);
  Press(s->List1, 0);
  QTest::mouseClick(s->Text1, Qt::LeftButton);
  ASSERT_EQ(env.store.ParaCurrent, 1);
  int offered = -1;
  env.dialogs.onExec = [&](QDialog& d) {
    offered = qobject_cast<DelFrm_Select*>(&d)->List1->currentRow();
    return static_cast<int>(QDialog::Rejected);
  };
  QTest::mouseClick(p->Command8, Qt::LeftButton);
  EXPECT_EQ(offered, 1);
  EXPECT_EQ(env.store.ParaCount(), 2);
  EXPECT_EQ(p->Text2->text(), "被覆尿素");
  env.store.ParaCurrent = 1;
  QTest::mouseClick(p->Command2, Qt::LeftButton);  // "データ印刷"
  ASSERT_NE(env.main->PrintSelection(), nullptr);
  EXPECT_EQ(env.main->PrintSelection()->List1->currentRow(), 1);
}

}  // namespace
}  // namespace kelvora

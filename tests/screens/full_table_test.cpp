// Every screen that lists or adds records with its table at the limit of
// 32767 records: the lists hold every record, a new record is refused with
// the table-full message, and nothing aborts. The tables are built in memory
// (records are shared, so 32767 of them cost little); one start-up reads a
// full data file.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>

#include "screen_test_env.h"
#include "screens/hojyobaiyo_form.h"
#include "screens/ondo_form.h"
#include "screens/paraall_form.h"
#include "screens/suitei_form.h"
#include "store/data_files.h"

namespace kelvora {
namespace {

using test::ScreenEnv;

template <typename R>
void FillTo(Table<R>& table, int count, const R& record) {
  while (table.Count() < count) ASSERT_TRUE(table.Append(record));
}

bool ShownTableFull(const ScriptedDialogs& dialogs) {
  for (const auto& s : dialogs.shown) {
    if (s.text == QString::fromStdString(TableFullMessage())) return true;
  }
  return false;
}

TEST(FullTable, TheIncubationScreenFillsTheLastPlaceAndThenSaysTheTableIsFull) {
  ScreenEnv env;
  FillTo(env.store.BaiyoTable, kMaxRecords - 1, BaiyoRecord{"土", "培養日数\t20\t25\t30", false});
  env.store.BaiyoCurrent = kMaxRecords - 1;
  env.Show();
  Baiyo_Form0_3* screen = env.OpenBaiyo();
  ASSERT_NE(screen, nullptr);
  EXPECT_EQ(screen->List1->count(), kMaxRecords - 1);
  QApplication::processEvents();

  // "① 新規作成": the last free place.
  screen->Command7->click();
  EXPECT_TRUE(screen->NewMode());
  screen->Text_Dojyo->setText(QStringLiteral("最後の土"));
  // "① 新規作成" again: the record is stored and the table is full.
  screen->Command7->click();
  ASSERT_EQ(env.store.BaiyoCount(), kMaxRecords);
  EXPECT_EQ(env.store.BaiyoTable(kMaxRecords).SoilName, "最後の土");
  EXPECT_TRUE(ShownTableFull(env.dialogs));
  EXPECT_FALSE(screen->NewMode());
  EXPECT_EQ(env.store.BaiyoCurrent, kMaxRecords);
  EXPECT_EQ(screen->List1->count(), kMaxRecords);
  EXPECT_EQ(screen->Text_Dojyo->text(), QStringLiteral("最後の土"));

  // Once more, then "⑥ 適用": the message again, the record rewritten in place.
  env.dialogs.shown.clear();
  screen->Command7->click();
  EXPECT_TRUE(ShownTableFull(env.dialogs));
  screen->Text_Dojyo->setText(QStringLiteral("最後の土2"));
  screen->Command3->click();
  EXPECT_EQ(env.store.BaiyoCount(), kMaxRecords);
  EXPECT_EQ(env.store.BaiyoTable(kMaxRecords).SoilName, "最後の土2");

  // Closed and opened again over the full table.
  screen->Command6->click();
  ASSERT_EQ(env.Baiyo(), nullptr);
  screen = env.OpenBaiyo();
  ASSERT_NE(screen, nullptr);
  EXPECT_EQ(screen->List1->count(), kMaxRecords);
  EXPECT_EQ(screen->Text_Dojyo->text(), QStringLiteral("最後の土2"));
}

TEST(FullTable, TheFieldScreenListsAFullTableAndRefusesANewRecord) {
  ScreenEnv env;
  FillTo(env.store.HojyoTable, kMaxRecords,
         HojyoRecord{"畑", "年/月/日\t地温(℃)\t無機化量\r2004/04/01\t12\t", false});
  env.store.HojyoCurrent = kMaxRecords;
  env.Show();
  QTest::mouseClick(env.main->Command6, Qt::LeftButton);  // "ほ場埋設"
  auto* screen = env.main->Find<HojyoBaiyo_Form>(Screen::HojyoBaiyo_Form);
  ASSERT_NE(screen, nullptr);
  EXPECT_EQ(screen->List1->count(), kMaxRecords);
  QApplication::processEvents();
  screen->Command7->click();  // "① 新規作成"
  EXPECT_TRUE(ShownTableFull(env.dialogs));
  EXPECT_FALSE(screen->NewMode());
  EXPECT_EQ(env.store.HojyoCount(), kMaxRecords);
  screen->Command6->click();  // "終了"
  EXPECT_EQ(env.main->Find<HojyoBaiyo_Form>(Screen::HojyoBaiyo_Form), nullptr);
}

TEST(FullTable, TheSoilTemperatureScreenOpensOnAFullTableAndRefusesToStoreANewSeries) {
  ScreenEnv env;
  FillTo(env.store.TionTable, kMaxRecords, TionRecord{"札幌", "年/月/日\t地温(℃)\r2004/04/01\t10"});
  env.Show();
  QTest::mouseClick(env.main->Command4, Qt::LeftButton);  // "地温入力"
  auto* screen = env.main->Find<Ondo_Form>(Screen::Ondo_Form);
  ASSERT_NE(screen, nullptr);
  EXPECT_EQ(screen->List1->count(), kMaxRecords);
  EXPECT_TRUE(screen->NewMode());
  EXPECT_EQ(env.store.TionCurrent, 0);  // no new index: the table is full
  // A typed series cannot be stored: the message, and the table unchanged.
  screen->MSFlexGrid1->SetTextMatrix(1, 0, QStringLiteral("2004/04/01"));
  screen->MSFlexGrid1->SetTextMatrix(1, 1, QStringLiteral("11"));
  screen->Text_Titen->setText(QStringLiteral("新しい地点"));
  screen->Command7->click();  // "新規入力"
  EXPECT_TRUE(ShownTableFull(env.dialogs));
  EXPECT_EQ(env.store.TionCount(), kMaxRecords);
  EXPECT_EQ(env.store.TionTable(kMaxRecords).SiteName, "札幌");
  // "キャンセル" goes back to the last series, which closes normally.
  screen->Command4->click();
  EXPECT_EQ(env.store.TionCurrent, kMaxRecords);
  screen->Command6->click();  // "終了"
  EXPECT_EQ(env.main->Find<Ondo_Form>(Screen::Ondo_Form), nullptr);
}

TEST(FullTable, TheEstimationAndParameterScreensListFullTables) {
  ScreenEnv env;
  ParaRecord p;
  p.SoilName = "黒ボク土";
  p.ModelNo = 1;
  p.Param = {15000, 0.02f, 10, 0.5f, 0, 0, 0};
  p.StdTemp = 25;
  FillTo(env.store.ParaTable, kMaxRecords, p);
  FillTo(env.store.TionTable, kMaxRecords, TionRecord{"札幌", "年/月/日\t地温(℃)\r2004/04/01\t10"});
  env.Show();
  QTest::mouseClick(env.main->Command5, Qt::LeftButton);  // "無機化推定"
  auto* suitei = env.main->Find<Suitei_Form>(Screen::Suitei_Form);
  ASSERT_NE(suitei, nullptr);
  EXPECT_EQ(suitei->List1->count(), kMaxRecords);
  EXPECT_EQ(suitei->List2->count(), kMaxRecords);
  QTest::mouseClick(env.main->Command2, Qt::LeftButton);  // "パラメータ一覧"
  auto* list = env.main->Find<ParaAll_Form>(Screen::ParaAll_Form);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->List1->count(), kMaxRecords);
  EXPECT_EQ(env.store.ParaCurrent, kMaxRecords);
}

TEST(FullTable, AStartOnADataFileOf32767RecordsShowsThemAll) {
  ScreenEnv env;
  hensuu full;
  FillTo(full.BaiyoTable, kMaxRecords, BaiyoRecord{"土", "培養日数\t20\t25\t30", false});
  ASSERT_TRUE(SaveDataFiles(full, env.DataDir()).empty());
  ASSERT_TRUE(env.main->Startup());
  EXPECT_TRUE(env.dialogs.shown.empty());
  EXPECT_EQ(env.store.BaiyoCount(), kMaxRecords);
  ASSERT_NE(env.Baiyo(), nullptr);
  EXPECT_EQ(env.Baiyo()->List1->count(), kMaxRecords);
  env.dialogs.answers = {false};
  EXPECT_TRUE(env.main->close());
}

}  // namespace
}  // namespace kelvora

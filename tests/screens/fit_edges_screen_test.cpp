// The screens at the edges of the fit: "フィット統計" shows the statistics'
// own whole texts for observations near the smallest single, a coated
// fertilizer's amounts in %, 推定不能 where the data leave no degrees of
// freedom; the incubation screen refuses a fertilizer's day the Gaussian
// model cannot count with the table's message.
#include <gtest/gtest.h>

#include <QTableWidget>
#include <QTest>

#include "captured_session.h"
#include "kinetics/fit_stats.h"
#include "screen_test_env.h"
#include "screens/baiyo_form0_3.h"
#include "screens/fit_stats_window.h"
#include "screens/parakekka_form0_1.h"
#include "store/temperature_file.h"

namespace kelvora {
namespace {

using test::ScreenEnv;

QString CellText(const QTableWidget* t, int r, int c) {
  const QTableWidgetItem* item = t->item(r, c);
  return item ? item->text() : QString();
}

// The value of the row of `t` whose first cell is `name`.
QString ValueOf(const QTableWidget* t, const QString& name) {
  for (int r = 0; r < t->rowCount(); ++r) {
    for (int c = 0; c + 1 < t->columnCount(); c += 2) {
      if (CellText(t, r, c) == name) return CellText(t, r, c + 1);
    }
  }
  return QStringLiteral("(none)");
}

TEST(FitEdgesScreen, StatisticsWindowShowsWholeWarningsAndAFertilizersAmountsInPercent) {
  ScreenEnv env;
  const FitSession s = testing::CapturedSession(
      "培養日数\t20\t25\t30\n0\t4.86e-39\t2.93e-39\t1.9e-39\n7\t9.03e-39\t6.19e-39\t4.32e-39\n"
      "14\t1.32e-38\t1e-38\t7.63e-39\n28\t2.15e-38\t1.88e-38\t1.64e-38\n"
      "56\t2.98e-38\t2.87e-38\t2.76e-38\n70\t3.4e-38\t3.4e-38\t7e-40\n",
      false, true);
  const FitStats stats = ComputeFitStats(s);
  ASSERT_TRUE(stats.models[5]);
  auto* w = new FitStatsWindow(s, 5, env.dialogs, nullptr, nullptr);
  w->show();
  // The warnings as the statistics word them, the R² one among them.
  ASSERT_EQ(w->WarningList->count(), static_cast<int>(stats.models[5]->warnings.size()));
  bool r2 = false;
  for (int i = 0; i < w->WarningList->count(); ++i) {
    const std::string shown = w->WarningList->item(i)->text().toStdString();
    EXPECT_EQ(shown, stats.models[5]->warnings[static_cast<size_t>(i)]);
    EXPECT_TRUE(IsValidUtf8(shown));
    r2 = r2 || shown.find("R² = -") != std::string::npos;
  }
  EXPECT_TRUE(r2);
  EXPECT_EQ(CellText(w->ParamTable, 2, 0), QStringLiteral("No (%)"));
  EXPECT_EQ(CellText(w->ParamTable, 3, 0), QStringLiteral("TAU (day)"));
  w->close();
}

TEST(FitEdgesScreen, StatisticsWindowSaysNotEstimableWithoutDegreesOfFreedom) {
  ScreenEnv env;
  const FitSession s =
      testing::CapturedSession("培養日数\t20\t25\t30\n0\t1\t\t\n28\t5\t\t\n", false, false);
  auto* w = new FitStatsWindow(s, 1, env.dialogs, nullptr, nullptr);
  w->show();
  EXPECT_EQ(ValueOf(w->QualityTable, QStringLiteral("自由度")), QStringLiteral("-2"));
  EXPECT_EQ(ValueOf(w->QualityTable, QStringLiteral("R²")), QStringLiteral("推定不能"));
  EXPECT_EQ(ValueOf(w->QualityTable, QStringLiteral("自由度調整済みR²")),
            QStringLiteral("推定不能"));
  // The half-life of k and the Q10 of Ea keep their rows, not estimable.
  ASSERT_EQ(w->DerivedTable->rowCount(), 2);
  EXPECT_EQ(CellText(w->DerivedTable, 0, 0), QStringLiteral("半減期 ln2/k (日)"));
  EXPECT_EQ(CellText(w->DerivedTable, 1, 0), QStringLiteral("Q10 (Ea)"));
  for (int r = 0; r < 2; ++r) {
    EXPECT_EQ(CellText(w->DerivedTable, r, 1), QStringLiteral("推定不能"));
    EXPECT_EQ(CellText(w->DerivedTable, r, 2), QStringLiteral("推定不能"));
  }
  w->close();
}

TEST(FitEdgesScreen, AFertilizersDayBeyondTheGaussianCountIsRefusedWithTheTablesMessage) {
  ScreenEnv env;
  const std::string table = test::ReadBytes(std::filesystem::path(KELVORA_SOURCE_DIR) /
                                            "tests/data/bench/fertilizer-3x11.tsv") +
                            "40000\t99\t99\t99\n";
  GridTable g = GridFromRows(SplitGridText(table, kSpreadsheetFormat), 100, 4);
  g.Resize(100, 4);
  env.store.BaiyoTable.Append(BaiyoRecord{"被覆尿素", g.ToGridText(), true});
  env.store.BaiyoCurrent = 1;
  env.Show();
  Baiyo_Form0_3* baiyo = env.OpenBaiyo();
  ASSERT_NE(baiyo, nullptr);
  baiyo->Text1->setText(QStringLiteral("25"));
  QTest::mouseClick(baiyo->Command5, Qt::LeftButton);  // "⑦ パラメータ算出"
  ASSERT_EQ(env.dialogs.shown.size(), 1u);
  EXPECT_EQ(env.dialogs.shown[0].title, QStringLiteral("注意"));
  EXPECT_TRUE(env.dialogs.shown[0].text.startsWith(
      QStringLiteral("表の13行目の培養日数「40000」は被覆肥料では計算できません")))
      << env.dialogs.shown[0].text.toStdString();
  EXPECT_EQ(env.main->Find<ParaKekka_Form0_1>(Screen::ParaKekka_Form0_1), nullptr);
  EXPECT_EQ(env.Baiyo(), baiyo);
}

}  // namespace
}  // namespace kelvora

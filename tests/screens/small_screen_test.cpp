// The cascade on small displays: with all eight screens open, every push
// button of every screen lies inside the visible part of the main window's
// work area, at 1024 x 600 and at 1366 x 768.
#include <gtest/gtest.h>

#include <QMdiArea>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include "screen_test_env.h"
#include "screens/controls.h"
#include "screens/frmsplash.h"
#include "screens/hojyobaiyo_form.h"
#include "screens/suitei_form.h"
#include "screens/suitei_graph.h"
#include "store/grid_text.h"
#include "store/number_text.h"

namespace kelvora {
namespace {

using test::ScreenEnv;

BaiyoRecord BenchSoil() {
  const std::string table =
      test::ReadBytes(std::filesystem::path(KELVORA_SOURCE_DIR) / "tests/data/bench/soil-3x10.tsv");
  GridTable g = GridFromRows(SplitGridText(table, kSpreadsheetFormat), 100, 4);
  g.Resize(100, 4);
  return BaiyoRecord{"試料", g.ToGridText(), false};
}

void Press(QListWidget* list, int row) {
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                    list->visualItemRect(list->item(row)).center());
}

TEST(SmallDisplay, EveryButtonOfAllSevenScreensCanBeReached) {
  for (const QSize size : {QSize(1024, 600), QSize(1366, 768)}) {
    SCOPED_TRACE(size.width());
    ScreenEnv env;
    env.store.BaiyoTable.Append(BenchSoil());
    env.store.BaiyoCurrent = 1;
    env.store.TionTable.Append(TionRecord{
        "地点01",
        JoinGridText({{"年/月/日", "地温(℃)"}, {"2006/04/01", "12"}, {"2006/04/02", "13"}})});
    env.Show();
    env.main->showNormal();
    env.main->resize(size);
    QCoreApplication::processEvents();
    ASSERT_EQ(env.main->size(), size);

    // A fit opens the results screen (and closes the incubation screen).
    Baiyo_Form0_3* baiyo = env.OpenBaiyo();
    ASSERT_NE(baiyo, nullptr);
    QTest::mouseClick(baiyo->Command5, Qt::LeftButton);
    ASSERT_NE(env.main->FindScreen(Screen::ParaKekka_Form0_1), nullptr);
    for (QPushButton* b : {env.main->Command1, env.main->Command6, env.main->Command2,
                           env.main->Command4, env.main->Command5, env.main->Command7}) {
      QTest::mouseClick(b, Qt::LeftButton);
    }
    auto* s = env.main->Find<Suitei_Form>(Screen::Suitei_Form);
    ASSERT_NE(s, nullptr);
    Press(s->List2, 0);
    Press(s->List1, 0);
    QTest::mouseClick(s->Text1, Qt::LeftButton);  // "④ 計算"
    ASSERT_EQ(env.store.SuiteiCount(), 1);
    QTest::mouseClick(s->Command10, Qt::LeftButton);  // "グラフ表示"
    QCoreApplication::processEvents();

    QWidget* viewport = env.main->MdiArea->viewport();
    const QRect area = viewport->rect();
    int open = 0;
    for (Screen screen : {Screen::Baiyo_Form0_3, Screen::HojyoBaiyo_Form, Screen::ParaAll_Form,
                          Screen::Ondo_Form, Screen::Suitei_Form, Screen::ParaKekka_Form0_1,
                          Screen::Suitei_Graph, Screen::SupplyPlan}) {
      ChildFrame* frame = env.main->FrameOf(screen);
      ASSERT_NE(frame, nullptr) << ScreenCaption(screen).toStdString();
      ++open;
      const QRect frameRect = frame->geometry();
      int buttons = 0;
      for (QPushButton* b : frame->ScreenWidget()->findChildren<QPushButton*>()) {
        if (!b->isVisibleTo(frame)) continue;
        ++buttons;
        const QRect r(b->mapTo(viewport, QPoint(0, 0)), b->size());
        EXPECT_TRUE(area.contains(r) && frameRect.contains(r))
            << ScreenCaption(screen).toStdString() << " / " << b->text().toStdString() << " "
            << b->accessibleName().toStdString() << " at " << r.x() << "," << r.y() << " "
            << r.width() << "x" << r.height() << " area " << area.width() << "x" << area.height()
            << " frame " << frameRect.x() << "," << frameRect.y() << " " << frameRect.width() << "x"
            << frameRect.height();
      }
      EXPECT_GT(buttons, 0) << ScreenCaption(screen).toStdString();
    }
    EXPECT_EQ(open, 8);
    env.dialogs.answers = {false};  // no save at the end
    env.main->close();
  }
}

TEST(ScreenHabits, NamesForScreenReadersAndTheWayBackFromTheChart) {
  ScreenEnv env;
  env.store.SuiteiTable.Append(
      {5, "被覆尿素", "地点02", "年/月/日\t(%)\r2006/04/01\t1.00\r2006/04/02\t3.00", 25});
  env.Show();
  // The incubation screen's numbered buttons and text boxes are named.
  Baiyo_Form0_3* b = env.OpenBaiyo();
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->Command7->accessibleName(), "① 新規作成");
  EXPECT_EQ(b->Command3->accessibleName(), "⑥ 適用");
  EXPECT_EQ(b->Command5->accessibleName(), "⑦ パラメータ算出");
  EXPECT_EQ(b->Text_Dojyo->accessibleName(), "③ 土壌名（肥料名）");
  EXPECT_EQ(b->Text1->accessibleName(), "④ 標準温度");
  for (QPushButton* button : b->findChildren<QPushButton*>()) {
    EXPECT_FALSE(button->accessibleName().isEmpty() && button->text().isEmpty())
        << button->objectName().toStdString();
  }
  // The estimation screen's position is read with its number.
  QTest::mouseClick(env.main->Command5, Qt::LeftButton);
  auto* s = env.main->Find<Suitei_Form>(Screen::Suitei_Form);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->Label3[0]->accessibleName(), "表示中の番号 1");
  EXPECT_EQ(s->Label3[1]->accessibleName(), "推定結果の数 1");
  // Closing the chart brings back the estimation screen it came from.
  QTest::mouseClick(s->Command10, Qt::LeftButton);
  auto* graph = env.main->Find<Suitei_Graph>(Screen::Suitei_Graph);
  ASSERT_NE(graph, nullptr);
  EXPECT_EQ(env.main->MdiArea->activeSubWindow(), env.main->FrameOf(Screen::Suitei_Graph));
  QTest::mouseClick(graph->Command2, Qt::LeftButton);  // "終了"
  QCoreApplication::processEvents();
  EXPECT_EQ(env.main->FindScreen(Screen::Suitei_Graph), nullptr);
  EXPECT_EQ(env.main->MdiArea->activeSubWindow(), env.main->FrameOf(Screen::Suitei_Form));

  // The field screen's name box shows a name of 20 characters whole, in its
  // tooltip when the box is narrower.
  const QString name = QStringLiteral("灰色低地土（水田作土）第三圃場東側北区画");
  ASSERT_EQ(name.size(), 20);
  QTest::mouseClick(env.main->Command6, Qt::LeftButton);
  auto* h = env.main->Find<HojyoBaiyo_Form>(Screen::HojyoBaiyo_Form);
  ASSERT_NE(h, nullptr);
  h->Text_Dojyo->setText(name);
  EXPECT_EQ(h->Text_Dojyo->toolTip(), name);
  env.dialogs.answers = {false, false};
  env.main->close();
}

TEST(ScreenHabits, AStartUpQuestionIsNotHiddenUnderTheSplash) {
  auto* splash = new frmSplash;
  splash->show();
  QCoreApplication::processEvents();
  ASSERT_TRUE(splash->isVisible());
  QMessageBox question(QMessageBox::Question, QStringLiteral("注意"),
                       QStringLiteral("前回、保存されずに終了したデータがあります。"),
                       QMessageBox::Yes | QMessageBox::No, splash);
  question.show();
  QCoreApplication::processEvents();
  EXPECT_FALSE(splash->isVisible());
  question.close();
  splash->close();
}

}  // namespace
}  // namespace kelvora
